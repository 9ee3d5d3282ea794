// The road's run-time work on the actors of its levels: the magnet, collection and flights of
// gifts, the rising pitch of quick pickups, moving obstacles started by the horn, and the
// consequences of the train's physical contacts; with the small operations that reach every
// level (removing an item, resetting actors, proxies, finished emitters, debug drawing).

#include <algorithm>
#include <cmath>

#include <btBulletDynamicsCommon.h>

#include "engine/math.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "engine/render/PSParticleSystem.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorEnemy.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelItem.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

const char* const kSource = "source/game/track/ZelvanRoadItems.cpp";
// A flight time of 0 would divide by zero; flights then end in their first frame.
const float kMinItemTime = 1e-4f;

// What the road reads of the train's state.
bool playerCrashed(const ActorPlayer* p) { return p->getAction() == ActorPlayer::Action_Crash; }
bool playerMagnet(const ActorPlayer* p) { return p->_goods._magnetActive != 0; }
bool playerHitState(const ActorPlayer* p) { return p->_goods._hitActive != 0; }
bool playerShieldState(const ActorPlayer* p) { return p->_goods._shieldActive != 0; }
bool playerCryState(const ActorPlayer* p) { return p->_cryTimer.isLocked(); }
bool playerDashState(const ActorPlayer* p) { return p->_dashTimer.isLocked(); }
bool playerDamageDelay(const ActorPlayer* p) { return p->_damageTimer.isRunning(); }

// The world point of an offset along the node's unit axes.
Vector3 pointToWorld(const Object* node, const Vector3& offset) {
    const Matrix4& w = node->_transform->_world;
    return w.getTranslation() + w.row3(0).normalized() * offset.x + w.row3(1).normalized() * offset.y +
           w.row3(2).normalized() * offset.z;
}

// Calls visit for the levels within reach of the player: the current level and the levels ahead
// while reach is left, then the nearest behind level and older ones while reach is left.
template <class Visit>
void visitNearLevels(const std::vector<Level*>& ahead, const std::vector<Level*>& behind, float position,
                     float reach, Visit&& visit) {
    float b = position + reach;
    for (size_t i = 0; i < ahead.size(); ++i) {
        if (i > 0 && b < 0)
            break;
        visit(ahead[i]);
        b -= ahead[i]->getLength();
    }
    b = reach - position;
    for (size_t i = behind.size(); i-- > 0;) {
        if (i + 1 < behind.size() && b < 0)
            break;
        visit(behind[i]);
        b -= behind[i]->getLength();
    }
}

bool isGift(const Object* o) { return o && o->_typeId == TypeActorItemGift; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Gifts

void Road::updateItems(std::vector<ActorItemGift*>& collected, ActorPlayer* player, StageCamera* stageCamera,
                       float dt) {
    XAssert(player && stageCamera ? 1 : 0, "actorPlayer && stageCamera", kSource, __LINE__);
    if (!player || !stageCamera)
        return;
    visitNearLevels(aheadLevels, behindLevels, position, itemMagnetDistance,
                    [&](Level* level) { updateLevelItems(collected, level, player, stageCamera, dt); });
}

void Road::updateLevelItems(std::vector<ActorItemGift*>& collected, Level* level, ActorPlayer* player,
                            StageCamera* stageCamera, float dt) {
    if (!level || !player || level->items.empty())
        return;
    const float time = std::max(itemTime, kMinItemTime);
    const Vector3 target = pointToWorld(player, itemPlayerPos);
    Vector3 boxMin, boxMax;
    getObjectScaledBounds(player, true, true, boxMin, boxMax);
    boxMin = boxMin * player->_itemScale;
    boxMax = boxMax * player->_itemScale;
    const Matrix4 toPlayer = player->_transform->_world.inverted();
    auto touches = [&](const ActorItemGift* gift, float radius) {
        const Vector3 p = toPlayer.transformPoint(gift->getWorldPosition());
        return sphereIntersectsBox(boxMin, boxMax, p, (radius + gift->_itemSphere) * 0.5f) != 0;
    };

    if (!playerCrashed(player) && playerMagnet(player)) {
        for (Actor* actor : level->items) {
            if (!isGift(actor))
                continue;
            ActorItemGift* gift = static_cast<ActorItemGift*>(actor);
            if (gift->_flyProgress >= 0 || !gift->_magnet || gift->_snap)
                continue;
            if (touches(gift, player->_goods._magnetSphere)) {
                gift->startFly(fly._remaining <= 0);
                fly.start();
            }
        }
    }

    // By index: a removed gift leaves the list, and the next one moves into its place.
    for (size_t i = 0; i < level->items.size();) {
        Actor* actor = level->items[i];
        if (!isGift(actor)) {
            ++i;
            continue;
        }
        ActorItemGift* gift = static_cast<ActorItemGift*>(actor);
        bool remove = false;
        bool flightUpdate = true;
        if (!gift->_collected && touches(gift, player->_collectRadius)) {
            collectGift(gift, player);
            collected.push_back(gift);
            if (gift->_flyMode == 0) {
                if (!gift->_snap)
                    removeItem(level, gift);
                if (i < level->items.size() && level->items[i] == actor)
                    ++i;
                continue;
            }
        }
        if (gift->_flyProgress >= 0 && !gift->_snap) {
            gift->_flyProgress += dt;
            if (gift->_flyProgress > time) {
                if (!gift->_collected) {
                    collectGift(gift, player);
                    collected.push_back(gift);
                    if (gift->_flyMode == 0)
                        remove = true;
                } else {
                    remove = true;
                }
            }
            if (remove) {
                flightUpdate = false;
                removeItem(level, gift);
            }
            if (flightUpdate) {
                Vector3 p;
                float scale = 1;
                if (!gift->_collected) {
                    const float k = std::pow(gift->_flyProgress / time, 3.0f);
                    p = gift->_flyStart * (1 - k) + target * k;
                } else {
                    const float f = gift->_flyProgress / time;
                    const Camera* camera = stageCamera ? stageCamera->getCamera() : nullptr;
                    const Vector3 q = camera ? camera->_transform->_world.transformPoint(gift->_flyCameraPos)
                                             : gift->_flyCameraPos;
                    p = gift->_flyStart * (1 - f) + q * f;
                    scale = gift->_flyScale * f + (1 - f);
                }
                const Matrix4& w = gift->_transform->_world;
                const Vector3 rows[3] = {w.row3(0), w.row3(1), w.row3(2)};
                gift->_transform->setWorld(rows, p);
                gift->setScale(Vector3(scale, scale, scale));
            }
        }
        if (i < level->items.size() && level->items[i] == actor)
            ++i;
    }
}

void Road::collectGift(ActorItemGift* gift, ActorPlayer* player) {
    if (!gift)
        return;
    const bool up = pitchUp._remaining <= 0;
    if (pitchDelay._remaining <= 0) {
        pitchStep = 0;
        pitchUp.stop();
        pitchUp.start();
        pitchDelay.start();
    } else if (pitchUp._remaining <= 0) {
        pitchUp.start();
        ++pitchStep;
        pitchDelay.stop();
        pitchDelay.start();
    }
    gift->collect(up, (uint32_t)std::max(0, pitchStep));
    gift->flushConductors();

    if (!gift->_effects || !player)
        return;
    gift->_effects->setOffset(player->_frameMove);
    EffectContainer::Effect* powerup = player->_effects ? player->_effects->find("powerup") : nullptr;
    if (!powerup)
        return;
    // The train carries the pickup's sparkle on; each taken-over emitter runs its current pass
    // and ends, so the train's list holds only the emitters of the last moments.
    for (EffectContainer::Effect* effect : gift->_effects->_effects) {
        const size_t first = powerup->_instances.size();
        powerup->shareInstances(effect, 1);
        for (size_t k = first; k < powerup->_instances.size(); ++k)
            if (PSEmitter* e = powerup->_instances[k].emitter)
                e->_loopsRemaining = std::min(e->_loopsRemaining, 1);
    }
}

void Road::removeItem(Level* level, ActorItem* item) {
    XAssert(level && item ? 1 : 0, "level && actorItem", kSource, __LINE__);
    if (!level || !item)
        return;
    level->removeItem(item);
    if (LevelItem* levelItem = item->getLevelItem())
        levelItem->release(item);
}

// ---------------------------------------------------------------------------------------------
// Obstacles and contacts

void Road::triggerObstacles(ActorPlayer* player) {
    if (!player || playerCrashed(player) || !playerCryState(player))
        return;
    const float radius = player->_cryRadius;
    const float radiusSq = radius * radius;
    const Vector3 origin = player->getWorldPosition();
    visitNearLevels(aheadLevels, behindLevels, position, radius, [&](Level* level) {
        if (!level->scene)
            return;
        for (Object* node : level->scene->_nodes) {
            if (!node || node->_typeId != TypeActorObstacle)
                continue;
            ActorObstacle* obstacle = static_cast<ActorObstacle*>(node);
            if (obstacle->_started)
                continue;
            if ((obstacle->getWorldPosition() - origin).lengthSquared() < radiusSq)
                obstacle->startMove();
        }
    });
}

void Road::checkCollisions(World* world, ActorPlayer* player, StageCamera* stageCamera) {
    XAssert(world && player ? 1 : 0, "world && actorPlayer", kSource, __LINE__);
    if (!world || !player)
        return;
    btDynamicsWorld* dynamics = world->getDynamicsWorld(nullptr);
    if (!dynamics || !dynamics->getDispatcher())
        return;
    btDispatcher* dispatcher = dynamics->getDispatcher();
    contacts.clear();
    const int manifolds = dispatcher->getNumManifolds();
    for (int m = 0; m < manifolds; ++m) {
        btPersistentManifold* manifold = dispatcher->getManifoldByIndexInternal(m);
        if (!manifold || manifold->getNumContacts() < 1)
            continue;
        Object* obj1 = static_cast<Object*>(manifold->getBody0()->getUserPointer());
        Object* obj2 = static_cast<Object*>(manifold->getBody1()->getUserPointer());
        XAssert(obj1 && obj2 && obj1->_physicsBody && obj2->_physicsBody ? 1 : 0,
                "obj1 && obj2 && obj1->getBody() && obj2->getBody()", kSource, __LINE__);
        if (!obj1 || !obj2 || !obj1->_physicsBody || !obj2->_physicsBody)
            continue;
        const bool first = obj1->_typeId == TypeActorPlayer;
        const bool second = obj2->_typeId == TypeActorPlayer;
        if (first == second)
            continue;
        Object* own = first ? obj1 : obj2;
        Object* other = first ? obj2 : obj1;
        const btManifoldPoint& point = manifold->getContactPoint(0);
        const btVector3& w = first ? point.getPositionWorldOnB() : point.getPositionWorldOnA();
        // A node that is no actor (or has no typed node above it) counts as deadly below.
        Object* typed = other;
        while (typed && typed->_typeId == 0)
            typed = typed->_parent;
        const Body* body = dynamic_cast<const Body*>(own->_physicsBody);
        RoadContact contact;
        contact.actor = typed && isActorTypeId(typed->_typeId) ? static_cast<Actor*>(typed) : nullptr;
        contact.point = Vector3(w.x(), w.y(), w.z());
        contact.bodyType = body ? body->getType() : 0;
        contacts.push_back(contact);
    }

    for (const RoadContact& contact : contacts) {
        Actor* actor = contact.actor;
        const int32_t type = actor ? actor->_typeId : 0;
        // A smashed obstacle (and any plain item) is debris: it does nothing to the train.
        if (type == TypeActorItem)
            continue;
        bool deadly = false;
        float shieldDamage = 0, dashDamage = 0;
        float strength = 1.0f;
        if (type == TypeActorEnemyTrain || type == TypeActorEnemyWaggon) {
            ActorEnemy* enemy = static_cast<ActorEnemy*>(actor);
            deadly = enemy->_damageNum < 1 || enemy->_hitCount < enemy->_damageNum;
            if (playerHitState(player))
                enemy->kill();
            else
                enemy->hit();
        } else if (type == TypeActorItemObstacle) {
            ActorItemObstacle* obstacle = static_cast<ActorItemObstacle*>(actor);
            switch (obstacle->_damageType) {
            case ActorItemObstacle::Shield: shieldDamage = obstacle->_damage; break;
            case ActorItemObstacle::Dash: dashDamage = obstacle->_damage; break;
            default: deadly = true; break;
            }
            strength = deadly ? 1.0f : 0.5f;
            if (obstacle->_obstacleType == ActorItemObstacle::Dynamic)
                obstacle->smash(player->getWorldPosition(), player->_frameMove, player->_pushStrength);
            else if (playerHitState(player))
                obstacle->playDeath();
            else
                obstacle->playDamage();
        } else {
            deadly = true;
        }

        if (contact.bodyType == Body::Kinematic_Player && !playerCrashed(player) && !playerHitState(player)) {
            if (deadly) {
                const int32_t action = player->getAction();
                const bool jumping =
                    action == ActorPlayer::Action_JumpLeft || action == ActorPlayer::Action_JumpRight;
                bool counts = true;
                if (jumping) {
                    const Vector3 side = player->_transform->_world.row3(0);
                    const float v = (contact.point - player->getWorldPosition()).dot(side);
                    counts = action == ActorPlayer::Action_JumpLeft ? v < 0 : v > 0;
                }
                if (counts) {
                    const bool turned = jumping && !player->_bounced && player->updateRailJump();
                    if (!turned)
                        player->crash();
                }
            } else if (shieldDamage > 0 && !playerShieldState(player)) {
                player->hit(shieldDamage);
            } else if (dashDamage > 0 && !playerDashState(player)) {
                player->hit(dashDamage);
            }
        }

        if (stageCamera && !playerDamageDelay(player) && !playerShieldState(player))
            stageCamera->shake(strength);
    }
    contacts.clear();
}

// ---------------------------------------------------------------------------------------------
// Every level

void Road::resetActors() {
    pitchUp.stop();
    pitchDelay.stop();
    fly.stop();
    for (Level* level : aheadLevels)
        level->resetActors();
}

void Road::replaceProxyObjects() {
    for (Level* level : aheadLevels) {
        level->removeProxyObjects();
        level->placeProxyObjects(placeProxies);
    }
    for (Level* level : behindLevels) {
        level->removeProxyObjects();
        level->placeProxyObjects(placeProxies);
    }
}

bool Road::onParticleFinished(PSEmitter* emitter, PSParticleSystem* system) {
    for (Level* level : behindLevels)
        if (level->onParticleFinished(emitter, system))
            return true;
    for (Level* level : aheadLevels)
        if (level->onParticleFinished(emitter, system))
            return true;
    return false;
}

void Road::debugDraw(DebugDraw* drawer) {
    for (Level* level : behindLevels)
        level->debugDraw(drawer);
    for (Level* level : aheadLevels)
        level->debugDraw(drawer);
}

}  // namespace Zelvan

// A level's content: gift rows and occupied ranges built once, and the roll of chance nodes,
// groups, proxies and waggons on every visit; objects put on and taken off the level.

#include <algorithm>
#include <cstdlib>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/utils.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelActors.h"
#include "game/track/ZelvanProxyContainer.h"

namespace Zelvan {

namespace la = levelactors;

namespace {

float draw() { return (float)motherRandom().nextDouble(); }

template <class T>
bool eraseFirst(std::vector<T>& list, const T& value) {
    auto it = std::find(list.begin(), list.end(), value);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

template <class T>
bool contains(const std::vector<T>& list, const T& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

struct GiftEntry {
    Actor* gift;
    float chance;
    float distance;
    bool alone;
    bool taken;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Built once

void Level::buildGiftRows() {
    if (railSets.empty())
        return;
    std::vector<int32_t> setOrder;
    std::vector<std::vector<GiftEntry>> lists;
    for (Object* node : scene->_nodes) {
        if (node->_typeId != TypeGift)
            continue;
        Actor* gift = static_cast<Actor*>(node);
        la::setGiftRowFlag(gift, true);
        gift->setActive(false);
        RailHit hit;
        if (!findNearestRail(hit, gift->getWorldPosition(), onRailDistance))
            continue;
        bool alone = la::giftAlone(gift);
        if (!alone)
            alone = gift->getProperty("alone") != nullptr;
        float giftChance = 100;
        if (const std::string* value = gift->getProperty("chance"))
            giftChance = std::min(100.0f, std::max(0.0f, (float)std::atof(value->c_str())));
        la::setGiftRowFlag(gift, !alone);
        auto at = std::find(setOrder.begin(), setOrder.end(), hit.railSetIndex);
        if (at == setOrder.end()) {
            setOrder.push_back(hit.railSetIndex);
            lists.emplace_back();
            at = setOrder.end() - 1;
        }
        lists[(size_t)(at - setOrder.begin())].push_back({gift, giftChance, hit.setDistance, alone, false});
    }

    for (size_t l = 0; l < lists.size(); ++l) {
        std::vector<GiftEntry>& entries = lists[l];
        std::stable_sort(entries.begin(), entries.end(),
                         [](const GiftEntry& a, const GiftEntry& b) { return a.distance < b.distance; });
        for (size_t i = 0; i < entries.size(); ++i) {
            GiftEntry& e = entries[i];
            if (e.taken)
                continue;
            e.taken = true;
            GiftRow row;
            row.railSetIndex = setOrder[l];
            row.startDistance = e.distance;
            row.items.push_back({e.gift, Matrix4()});
            bool alone = e.alone;
            if (!alone) {
                size_t j = i + 1;
                while (j < entries.size() && entries[j].gift->getSourceName() != e.gift->getSourceName())
                    ++j;
                if (j < entries.size()) {
                    entries[j].taken = true;
                    row.length = entries[j].distance - e.distance;
                    row.chance = e.chance * 0.01f * entries[j].chance;
                } else {
                    alone = true;
                    la::setGiftRowFlag(e.gift, false);
                }
            }
            if (alone) {
                row.length = la::itemDensity(e.gift);
                row.chance = e.chance;
            }
            giftRows.push_back(std::move(row));
        }
    }

    for (GiftRow& row : giftRows) {
        RailSet* set = railSets[(size_t)row.railSetIndex];
        set->reset(true);
        set->move(row.startDistance);
        Actor* templ = row.items.front().actor;
        row.items.clear();
        const float density = la::itemDensity(templ);
        if (!(row.length > 0))
            continue;
        float d = 0, angle = 0;
        do {
            const Vector3 f = set->getDirection();
            const Vector3 u = set->getUp();
            const Vector3 q = set->getPosition() + u * railOffset.z;
            Actor* item = templ;
            if (la::giftRowFlag(templ)) {
                ObjectPool* pool = scene->getObjectPool(templ->getSourceName());
                Object* made = pool ? pool->acquire(0) : nullptr;
                if (!made || !isActor(made))
                    break;
                item = static_cast<Actor*>(made);
                item->_pool = pool;
                item->_typeId = templ->_typeId;
                item->setLights(scene->_lights);
            }
            item->reset();
            item->setActive(false);
            const Vector3 identity[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
            item->setTransform(identity, Vector3(), Vector3(1, 1, 1));
            la::itemRotate(item, angle);
            const Matrix4& w = item->_transform->_world;
            Vector3 rows[3] = {w.row3(0), w.row3(1), w.row3(2)};
            if (la::itemOriented(item)) {
                // The item's frame: X across the rail, Y along it, Z up.
                Matrix4 frame;
                frame.setRow3(0, f.cross(u));
                frame.setRow3(1, f);
                frame.setRow3(2, u);
                Matrix4 present;
                for (int k = 0; k < 3; ++k)
                    present.setRow3(k, rows[k]);
                const Matrix4 turned = present * frame;
                for (int k = 0; k < 3; ++k)
                    rows[k] = turned.row3(k);
            }
            item->_transform->setWorld(rows, q);
            item->updateTransform();
            row.items.push_back({item, item->_transform->_local});
            angle += la::itemRotStep(item);
            set->move(density);
            d += density;
        } while (density > 0 && d < row.length);
    }
}

void Level::addJunctionRanges() {
    const float g = ConfigStore::instance().getFloat("level.itemGiftSpace", 5.0f);
    for (size_t i = 0; i < railSets.size(); ++i) {
        const std::vector<Rail*>& rails = railSets[i]->getRails();
        if (rails.size() < 2)
            continue;
        float s = 0;
        for (size_t j = 0; j < rails.size(); ++j) {
            const float len = rails[j]->getLength();
            if (j > 0)
                occupiedRanges.push_back({RangeJunction, RangeFixed, nullptr, (int32_t)i, s, rails[j], 0, g});
            if (j + 1 < rails.size())
                occupiedRanges.push_back(
                    {RangeJunction, RangeFixed, nullptr, (int32_t)i, s + len - g, rails[j], len - g, g});
            s += len;
        }
    }
    for (Object* node : scene->_nodes)
        if (node->_typeId == TypeObstacleItem)
            addOccupiedRange(static_cast<Actor*>(node), la::obstacleDynamic(static_cast<Actor*>(node)));
}

bool Level::addOccupiedRange(Actor* actor, bool moving) {
    if (!actor)
        return false;
    RailHit hit;
    if (!findNearestRail(hit, actor->getWorldPosition(), onRailDistance))
        return false;
    int32_t kind = 0;
    switch (actor->_typeId) {
    case TypeEnemyTrain:
    case TypeEnemyWaggon: kind = RangeEnemy; break;
    case TypeObstacleItem: kind = la::obstacleShield(actor) ? RangeShield : RangeDeathly; break;
    case TypeGift: kind = RangeGift; break;
    default: kind = 0; break;
    }
    const int32_t mode = moving ? RangeMoving : RangeFixed;
    if (kind == RangeGift) {
        occupiedRanges.push_back({kind, mode, actor, hit.railSetIndex, hit.setDistance, hit.rail, hit.railDistance,
                                  la::itemDensity(actor)});
        return true;
    }
    Vector3 mn, mx;
    if (!getObjectScaledBounds(actor, false, false, mn, mx))
        return false;
    const RailPos saved = hit.rail->getRailPos();
    hit.rail->setPosition(hit.position);
    const Vector3 f = hit.rail->getDirection();
    hit.rail->setPosition(saved);
    const Vector3 y = actor->_transform->_world.row3(1);
    const float offset = f.dot(y) > 0 ? mn.y : -mx.y;
    occupiedRanges.push_back({kind, mode, actor, hit.railSetIndex, hit.setDistance + offset, hit.rail,
                              hit.railDistance + offset, mx.y - mn.y});
    return true;
}

void Level::updateMovingRanges() {
    for (OccupiedRange& range : occupiedRanges) {
        if (range.mode != RangeMoving || !range.actor || range.actor->_hidden || !range.rail)
            continue;
        Vector3 mn, mx;
        if (!getObjectScaledBounds(range.actor, false, false, mn, mx))
            continue;
        const RailPos saved = range.rail->getRailPos();
        range.rail->projectPoint(range.actor->getWorldPosition());
        const float d = range.rail->getDistance();
        const Vector3 f = range.rail->getDirection();
        range.rail->setPosition(saved);
        const float s = summedLengthBefore(railSets[(size_t)range.railSetIndex], range.rail);
        const Vector3 y = range.actor->_transform->_world.row3(1);
        const float offset = f.dot(y) > 0 ? mn.y : -mx.y;
        range.setDistance = s + d + offset;
        range.railDistance = d + offset;
    }
}

// ---------------------------------------------------------------------------------------------
// The visit roll

void Level::setNodeHiddenActive(Object* node, bool hidden) {
    node->setHidden(hidden);
    const uint8_t active = hidden ? 0 : 1;
    if (node->_active != active) {
        node->_active = active;
        node->onActiveChanged();
    }
}

void Level::restoreGroupStates() {
    for (std::vector<NodeGroup>* list : {&randomGroups, &selectGroups, &linkGroups, &waggonGroups})
        for (NodeGroup& g : *list)
            for (size_t k = 0; k < g.nodes.size(); ++k) {
                Object* node = g.nodes[k];
                node->setHidden(g.startHidden[k] != 0);
                if (node->_active != g.startActive[k]) {
                    node->_active = g.startActive[k];
                    node->onActiveChanged();
                }
            }
}

void Level::rollVisiblePercent(Object* node) {
    if (!isActor(node))
        return;
    const std::string* value = static_cast<Actor*>(node)->getProperty("visible_percent");
    if (!value)
        return;
    const float p = (float)std::atof(value->c_str());
    setNodeHiddenActive(node, draw() * 100 > p);
}

void Level::placeProxyObjects(bool withProxies) {
    // Every roll starts from the groups as the scene made them; without this a group hides one
    // more plain node on every visit until none is left.
    restoreGroupStates();

    for (Object* node : scene->_nodes)
        rollVisiblePercent(node);
    for (Object* object : placedObjects)
        rollVisiblePercent(object);

    for (auto& entry : scene->_empties) {
        Object* node = entry.second->node;
        const PropertyMap& properties = entry.second->properties;
        bool visible = properties.count("visible_always") != 0;
        if (!visible) {
            auto percent = properties.find("visible_percent");
            const float p = percent == properties.end() ? 100.0f : (float)std::atof(percent->second.c_str());
            visible = proxyContainer && proxyContainer->hasProxy(entry.first, p);
        }
        setNodeHiddenActive(node, !visible);
    }

    for (NodeGroup& g : randomGroups) {
        const size_t k = (size_t)(((float)g.nodes.size() - 0.5f) * draw());
        if (k < g.nodes.size())
            setNodeHiddenActive(g.nodes[k], true);
    }
    for (NodeGroup& g : selectGroups) {
        const size_t k = (size_t)(((float)g.nodes.size() - 0.5f) * draw());
        for (size_t n = 0; n < g.nodes.size(); ++n)
            if (n != k)
                setNodeHiddenActive(g.nodes[n], true);
    }
    for (std::vector<NodeGroup>* list : {&linkGroups, &waggonGroups})
        for (NodeGroup& g : *list) {
            bool anyHidden = false;
            for (Object* node : g.nodes)
                anyHidden = anyHidden || node->_hidden;
            if (anyHidden)
                for (Object* node : g.nodes)
                    setNodeHiddenActive(node, true);
        }

    if (withProxies)
        spawnProxyObjects();

    for (GiftRow& row : giftRows) {
        row.shown = draw() * 100 <= row.chance;
        for (GiftRowItem& item : row.items) {
            if (row.shown) {
                if (contains(items, item.actor))
                    continue;
                item.actor->setActive(isSceneActive());
                item.actor->reset();
                items.push_back(item.actor);
            } else {
                removeItem(item.actor);
            }
        }
    }

    attachWaggons();
}

void Level::spawnProxyObjects() {
    if (!proxyContainer)
        return;
    proxyContainer->prepareLevel();
    for (auto& entry : scene->_empties) {
        Object* node = entry.second->node;
        if (node->_hidden)
            continue;
        Object* object = proxyContainer->spawn(entry.first, true);
        if (!object)
            continue;
        const Matrix4 placed = node->_transform->_world * rootWorld();
        const Vector3 rows[3] = {placed.row3(0), placed.row3(1), placed.row3(2)};
        object->_transform->setWorld(rows, placed.getTranslation());
        object->updateTransform();
        switch (object->_typeId) {
        case TypeEnemyTrain:
        case TypeEnemyWaggon: addEnemy(static_cast<Actor*>(object)); break;
        case TypeGift:
            addItem(static_cast<Actor*>(object), true);
            static_cast<Actor*>(object)->refreshNodes();
            break;
        default:
            giveLights(object);
            object->reset();
            placedObjects.push_back(object);
            if (object->_typeId == TypeObstacleItem)
                addOccupiedRange(static_cast<Actor*>(object), la::obstacleDynamic(static_cast<Actor*>(object)));
            break;
        }
        proxyPlacements.push_back({node, object});
    }
    proxyContainer->updateDelays();
}

void Level::removeProxyObjects() {
    while (!proxyPlacements.empty()) {
        Object* object = proxyPlacements.back().object;
        const size_t before = proxyPlacements.size();
        removeObject(object);
        // An object the lists no longer knew still leaves its placement.
        if (proxyPlacements.size() == before) {
            proxyPlacements.pop_back();
            if (proxyContainer)
                proxyContainer->release(object);
        }
    }
}

void Level::attachWaggons() {
    auto resolve = [this](Object* node) -> Object* {
        if (isActor(node))
            return node;
        for (const ProxyPlacement& p : proxyPlacements)
            if (p.node == node)
                return p.object;
        return nullptr;
    };
    for (NodeGroup& g : waggonGroups) {
        Actor* train = nullptr;
        for (Object* node : g.nodes) {
            Object* o = resolve(node);
            if (o && o->_typeId == TypeEnemyTrain) {
                train = static_cast<Actor*>(o);
                break;
            }
        }
        if (!train)
            continue;
        // A train keeps its waggons between visits: start from none, or every visit adds them again.
        la::trainClearWaggons(train);
        for (Object* node : g.nodes) {
            Object* o = resolve(node);
            if (o && o->_typeId == TypeEnemyWaggon)
                la::trainAddWaggon(train, static_cast<Actor*>(o));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Putting on and taking off

void Level::giveLights(Object* object) {
    if (isActor(object)) {
        Actor* actor = static_cast<Actor*>(object);
        actor->setParticleSystem(particleSystem);
        actor->setLights(scene->_lights);
    } else {
        world->setLights(object, scene->_lights);
    }
}

void Level::unplace(Object* object) {
    if (isActor(object)) {
        Actor* actor = static_cast<Actor*>(object);
        actor->setParticleSystem(nullptr);
        actor->setDefaultLights();
    } else {
        world->setDefaultLights(object);
    }
}

void Level::dropFirstRange(Actor* actor) {
    for (auto it = occupiedRanges.begin(); it != occupiedRanges.end(); ++it)
        if (it->actor == actor) {
            occupiedRanges.erase(it);
            return;
        }
}

bool Level::dropPlacement(Object* object) {
    for (auto it = proxyPlacements.begin(); it != proxyPlacements.end(); ++it)
        if (it->object == object) {
            proxyPlacements.erase(it);
            if (proxyContainer)
                proxyContainer->release(object);
            return true;
        }
    return false;
}

void Level::addItem(Actor* actor, bool placed) {
    if (!actor || contains(items, actor))
        return;
    actor->setActive(isSceneActive());
    actor->reset();
    items.push_back(actor);
    if (!placed)
        return;
    giveLights(actor);
    placedObjects.push_back(actor);
    if (actor->_typeId == TypeGift)
        addOccupiedRange(actor, false);
}

void Level::addEnemy(Actor* enemy) {
    if (!enemy)
        return;
    XAssert(la::enemyScene(enemy) ? 0 : 1, "!actorEnemy->getScene()", __FILE__, __LINE__);
    RailHit hit;
    if (!findNearestRail(hit, enemy->getWorldPosition(), onRailDistance)) {
        Logger::error("Not found rail for actorEnemy(%s) in level(%s)!", enemy->_name.c_str(), getName().c_str());
        XAssert(0, "false", __FILE__, __LINE__);
        return;
    }
    la::enemySetRails(enemy, this, hit.railSet, hit.setDistance);
    enemy->reset();
    enemies.push_back(enemy);
    giveLights(enemy);
    placedObjects.push_back(enemy);
    addOccupiedRange(enemy, true);
}

bool Level::removeItem(Actor* actor) {
    if (!actor || !contains(items, actor))
        return false;
    actor->flushConductors();
    // The item's live emitters finish where they are, as the level's; they are stopped so they
    // end once their particles have died instead of emitting for as long as the level lives.
    if (actor->_effects) {
        for (EffectContainer::Effect* effect : actor->_effects->_effects) {
            for (const EffectContainer::Effect::Instance& instance : effect->_instances) {
                if (!instance.emitter || contains(emitters, instance.emitter))
                    continue;
                if (particleSystem)
                    particleSystem->stopEmitter(instance.emitter);
                emitters.push_back(instance.emitter);
            }
            if (effect->_psEmitterInstance && !contains(emitters, effect->_psEmitterInstance)) {
                if (particleSystem)
                    particleSystem->stopEmitter(effect->_psEmitterInstance);
                emitters.push_back(effect->_psEmitterInstance);
            }
            effect->clearInstances();
        }
    }
    actor->setActive(false);
    eraseFirst(items, actor);
    if (eraseFirst(placedObjects, static_cast<Object*>(actor)))
        unplace(actor);
    dropFirstRange(actor);
    dropPlacement(actor);
    return true;
}

bool Level::removeEnemy(Actor* actor) {
    if (!actor || !contains(enemies, actor))
        return false;
    if (actor->_typeId == TypeEnemyTrain)
        la::trainClearWaggons(actor);
    la::enemySetRails(actor, nullptr, nullptr, 0);
    eraseFirst(enemies, actor);
    if (eraseFirst(placedObjects, static_cast<Object*>(actor)))
        unplace(actor);
    dropFirstRange(actor);
    dropPlacement(actor);
    return true;
}

bool Level::removeObject(Object* object) {
    if (!object)
        return false;
    if (object->_typeId == TypeEnemyTrain || object->_typeId == TypeEnemyWaggon)
        return removeEnemy(static_cast<Actor*>(object));
    if (object->_typeId == TypeGift)
        return removeItem(static_cast<Actor*>(object));
    if (!eraseFirst(placedObjects, object))
        return false;
    unplace(object);
    if (object->_typeId == TypeObstacleItem)
        dropFirstRange(static_cast<Actor*>(object));
    dropPlacement(object);
    return true;
}

void Level::resetActors() {
    resetRailSets();
    for (Actor* item : items)
        if (item->_typeId == TypeGift && la::giftSnap(item)) {
            item->reset();
            item->refreshNodes();
        }
    for (Actor* enemy : enemies)
        enemy->reset();
}

void Level::resetObjects() {
    scene->resetObjects();
    for (GiftRow& row : giftRows)
        for (GiftRowItem& item : row.items) {
            const Vector3 rows[3] = {item.matrix.row3(0), item.matrix.row3(1), item.matrix.row3(2)};
            item.actor->setTransform(rows, item.matrix.getTranslation(), Vector3(1, 1, 1));
            item.actor->refreshNodes();
        }
}

}  // namespace Zelvan

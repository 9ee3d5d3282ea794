// A level on the road: shown, placed, its bodies built bit by bit, its actors, emitters and
// camera animation started and stopped, and its looks (atmosphere, skin, particle system).

#include <algorithm>
#include <cstring>

#include "engine/random.h"
#include "engine/render/PSParticleSystem.h"
#include "engine_game/Body.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Light.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSkin.h"

namespace Zelvan {

namespace {

float draw() { return (float)motherRandom().nextDouble(); }

bool hasNamedAnimations(const Actor* actor) { return actor->_animator && !actor->_animator->empty(); }

void playAmbient(Actor* actor) {
    AnimationRange range;
    range.begin = 1;
    range.end = -1;
    range.loop = true;
    range.speed = 0.8f + (1.0f - 0.8f) * draw();
    range.start = draw();
    playObjectAnimation(actor, range);
}

void stopActorParts(Actor* actor, bool animations) {
    if (animations)
        actor->stopAnimations();
    if (actor->_effects)
        actor->_effects->stopAll();
    if (actor->_sounds)
        actor->_sounds->stopAll();
}

}  // namespace

void Level::show() {
    scene->show();
    for (Object* object : placedObjects)
        if (isActor(object))
            static_cast<Actor*>(object)->setActive(true);
}

void Level::hide() {
    for (Object* node : scene->_nodes)
        if (isActor(node))
            static_cast<Actor*>(node)->resetConductors();
    for (Object* object : placedObjects)
        if (isActor(object)) {
            Actor* actor = static_cast<Actor*>(object);
            actor->setActive(false);
            actor->resetConductors();
        }
    scene->hide();
}

void Level::collectDynamicBodies(Object* node) {
    if (Body* body = dynamic_cast<Body*>(node->_physicsBody))
        if (body->getType() == Body::Dynamic)
            dynamicBodies.push_back(body);
    for (Object* child : node->_children)
        collectDynamicBodies(child);
}

void Level::setWorldMatrix(const Matrix4& m) {
    // D carries what lies in the old placement into the new one: world' = world * R^-1 * M.
    const Matrix4 d = rootWorld().inverted() * m;
    for (Object* object : placedObjects) {
        if (isActor(object)) {
            static_cast<Actor*>(object)->applyTransform(d);
            continue;
        }
        const Matrix4 placed = object->_transform->_world * d;
        const Vector3 rows[3] = {placed.row3(0), placed.row3(1), placed.row3(2)};
        object->_transform->setWorld(rows, placed.getTranslation());
        setObjectBodySync(object, true);
        object->_transform->_dirty = 1;
        object->updateTransform();
        setObjectBodySync(object, false);
    }
    for (Object* node : scene->_nodes)
        collectDynamicBodies(node);
    for (Body* body : dynamicBodies)
        body->_synced = true;
    const Vector3 rows[3] = {m.row3(0), m.row3(1), m.row3(2)};
    scene->setTransform(rows, m.getTranslation());
    for (Body* body : dynamicBodies)
        body->_synced = false;
    dynamicBodies.clear();
}

void Level::buildBodies(Object* node) {
    buildObjectPhysics(world, scene, node, 1);
    setObjectPhysicsEnabled(node, physicsEnabled);
}

void Level::enablePhysics() {
    physicsEnabled = true;
    for (Object* node : scene->_nodes)
        if (!node->_hidden)
            setObjectPhysicsEnabled(node, true);
    for (Object* object : placedObjects)
        setObjectPhysicsEnabled(object, true);
}

void Level::disablePhysics() {
    physicsEnabled = false;
    for (Object* node : scene->_nodes)
        setObjectPhysicsEnabled(node, false);
    for (Object* object : placedObjects)
        setObjectPhysicsEnabled(object, false);
}

void Level::showActors(bool now) {
    if (!now) {
        physicsCursor = 0;
        return;
    }
    physicsCursor = std::max(physicsCursor, 0);
    for (size_t i = (size_t)physicsCursor; i < scene->_nodes.size(); ++i) {
        Object* node = scene->_nodes[i];
        if ((node->_typeId == TypeGround || node->_typeId == TypePlainActor) && !node->_hidden)
            buildBodies(node);
    }
    physicsCursor = -1;
}

void Level::destroyPhysics() {
    for (Object* node : scene->_nodes)
        if ((node->_typeId == TypeGround || node->_typeId == TypePlainActor) && node->_physicsBody) {
            IPhysicsBody* body = node->_physicsBody;
            node->_physicsBody = nullptr;
            world->destroyBody(body);
        }
}

void Level::update(float) {
    updateMovingRanges();
    while (physicsCursor >= 0) {
        if ((size_t)physicsCursor >= scene->_nodes.size()) {
            physicsCursor = -1;
            break;
        }
        Object* node = scene->_nodes[(size_t)physicsCursor++];
        if (node->_typeId == TypePlainActor && !node->_hidden) {
            buildBodies(node);
            if ((size_t)physicsCursor >= scene->_nodes.size())
                physicsCursor = -1;
            break;
        }
    }
}

void Level::collectAnimatedActors() {
    for (Object* node : scene->_nodes) {
        if (node->_typeId != TypePlainActor)
            continue;
        Actor* actor = static_cast<Actor*>(node);
        actor->stopAnimations();
        if (hasNamedAnimations(actor))
            continue;
        if (actor->getProperty("near_anim"))
            nearActors.push_back(actor);
        else
            ambientActors.push_back(actor);
    }
}

void Level::startActors() {
    for (Actor* actor : ambientActors) {
        if (!actor->isActive())
            continue;
        playAmbient(actor);
        if (actor->_conductors)
            actor->_conductors->startAll();
    }
    for (Object* object : placedObjects) {
        if (!isActor(object))
            continue;
        Actor* actor = static_cast<Actor*>(object);
        if (!actor->isActive())
            continue;
        if (!hasNamedAnimations(actor))
            playAmbient(actor);
        if (actor->_conductors)
            actor->_conductors->startAll();
    }
    for (Actor* actor : nearActors)
        actor->rewindAnimations(0);
    if (!particleSystem)
        return;
    for (PSEmitter* emitter : emitters)
        particleSystem->stopEmitter(emitter);
    emitters.clear();
    for (auto& entry : scene->_empties) {
        auto particle = entry.second->properties.find("particle");
        if (particle == entry.second->properties.end())
            continue;
        const Vector3 at = rootWorld().transformPoint(entry.second->node->_transform->_world.getTranslation());
        if (PSEmitter* emitter = particleSystem->addEmitter(at, particle->second.c_str()))
            emitters.push_back(emitter);
    }
}

void Level::stopActors() {
    for (Actor* actor : ambientActors)
        stopActorParts(actor, true);
    for (Object* object : placedObjects)
        if (isActor(object)) {
            Actor* actor = static_cast<Actor*>(object);
            stopActorParts(actor, !hasNamedAnimations(actor));
        }
    if (particleSystem) {
        for (PSEmitter* emitter : emitters)
            particleSystem->stopEmitter(emitter);
        emitters.clear();
    }
}

void Level::startConductors() {
    for (Actor* actor : nearActors) {
        if (!actor->isActive())
            continue;
        AnimationRange range;
        range.begin = 1;
        range.end = -1;
        range.loop = true;
        range.speed = 1.0f;
        range.start = 0;
        playObjectAnimation(actor, range);
        if (actor->_conductors)
            actor->_conductors->startAll();
    }
}

void Level::stopNearActors() {
    for (Actor* actor : nearActors)
        stopActorParts(actor, true);
}

void Level::startCamera() {
    if (!cameraAnimation)
        return;
    cameraAnimation->_enabled = 1;
    cameraAnimation->setFrame(1.0f);
    cameraAnimation->_firstFrame = 1;
    cameraAnimation->_loop = 0;
    cameraAnimation->_time = 1.0f;
    cameraAnimation->_playing = 1;
}

void Level::stopCamera() {
    if (cameraAnimation)
        cameraAnimation->_enabled = 0;
}

bool Level::onParticleFinished(PSEmitter* emitter, PSParticleSystem* system) {
    if (system != particleSystem)
        return false;
    auto it = std::find(emitters.begin(), emitters.end(), emitter);
    if (it != emitters.end()) {
        emitters.erase(it);
        return true;
    }
    for (Object* node : scene->_nodes)
        if (isActor(node) && static_cast<Actor*>(node)->forgetParticleInstance(emitter, system))
            return true;
    for (Object* object : placedObjects)
        if (isActor(object) && static_cast<Actor*>(object)->forgetParticleInstance(emitter, system))
            return true;
    return false;
}

void Level::setAtmosphere(Atmosphere* a) {
    if (a == atmosphere)
        return;
    atmosphere = a;
    if (!a)
        return;
    for (const Atmosphere::Light& entry : a->_lights)
        for (::Light* light : scene->_lights)
            if (light->_name == entry.name) {
                light->_lightColor = entry.color;
                light->_energy = entry.energy;
                break;
            }
}

void Level::setSkin(LevelSkin* s) {
    if (s == skin)
        return;
    skin = s;
    if (!s)
        return;
    for (Object* node : scene->_nodes)
        s->apply(node);
    for (Object* object : placedObjects)
        s->apply(object);
}

void Level::setParticleSystem(PSParticleSystem* system) {
    if (system == particleSystem)
        return;
    // The level's own emitters belong to the old system; the new one must never be asked to
    // stop them.
    if (particleSystem)
        for (PSEmitter* emitter : emitters)
            particleSystem->stopEmitter(emitter);
    emitters.clear();
    particleSystem = system;
    for (Object* node : scene->_nodes)
        if (isActor(node))
            static_cast<Actor*>(node)->setParticleSystem(system);
    for (Object* object : placedObjects)
        if (isActor(object))
            static_cast<Actor*>(object)->setParticleSystem(system);
}

void Level::debugDraw(DebugDraw* drawer) {
    if (!drawer)
        return;
    const Vector3 lift(0, 0, 5);
    const Vector3 b = rootWorld().transformPoint(chainBegin->_transform->_world.getTranslation()) + lift;
    const Vector3 e = rootWorld().transformPoint(chainEnd->_transform->_world.getTranslation()) + lift;
    for (RailSet* set : railSets) {
        drawer->drawLine(b, e, Vector3(0, 255, 255));
        set->debugDraw(drawer, rootWorld());
    }
    for (Object* object : placedObjects)
        if (isActor(object))
            static_cast<Actor*>(object)->debugDraw(drawer);
}

}  // namespace Zelvan

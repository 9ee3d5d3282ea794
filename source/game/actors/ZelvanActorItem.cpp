#include "game/actors/ZelvanActorItem.h"

#include <algorithm>
#include <cmath>

#include "engine/clock.h"
#include "engine/random.h"
#include "engine/bounds.h"
#include "engine_game/Body.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorKeys.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

namespace {

const float kPi = 3.14159265358979f;
const float kDegrees = 180.0f / kPi;

float frameDelta() { return Clock::isPaused() ? 0.0f : frameTime().dt; }

template <class Visit>
void visitBodyNodes(Object* node, Visit&& visit) {
    if (node->_physicsBody)
        visit(node, node->_physicsBody);
    for (Object* child : node->_children)
        visitBodyNodes(child, visit);
}

void startOrStop(Actor* actor, const char* name) {
    if (!actor || !actor->_conductors)
        return;
    if (!actor->_conductors->start(name, 0, -1))
        actor->_conductors->stopAll();
}

}  // namespace

void playDelete(Actor* actor) { startOrStop(actor, "delete"); }

// ---------------------------------------------------------------------------------------------
// ActorItem

void ActorItem::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorItem;
    for (const std::string& prefix : {std::string("actorItem"), getSourceName()}) {
        float axis = (float)_rotAxis;
        actorkeys::readFloat(prefix, ".rotAxis", axis);
        _rotAxis = floatToInt32(std::max(-3.0f, std::min(3.0f, axis)));
        if (_rotAxis == 0)
            _rotAxis = 1;
        float speed = _rotSpeed * kDegrees;
        actorkeys::readFloat(prefix, ".rotSpeed", speed);
        _rotSpeed = speed / kDegrees;
        float step = _rotStep * kDegrees;
        actorkeys::readFloat(prefix, ".rotStep", step);
        _rotStep = step / kDegrees;
        actorkeys::readBool(prefix, ".rotRandom", _rotRandom);
        actorkeys::readBool(prefix, ".oriented", _oriented);
        actorkeys::readFloat(prefix, ".density", _density);
        if (!(_density >= 0.0001f))
            _density = 0.0001f;
    }
    _conductors->load("actorItem");
}

void ActorItem::rotate(float angle) {
    if (angle == 0)
        return;
    Vector3 rows[3];
    getRotation(rows);
    const int a = std::abs(_rotAxis) - 1;  // the fixed axis
    const int b = (a + 1) % 3;
    const int c = (a + 2) % 3;
    const float co = std::cos(angle);
    const float si = std::sin(angle);
    // Right-handed turn about axis a in row form: row b turns towards row c.
    const Vector3 rb = rows[b] * co + rows[c] * si;
    const Vector3 rc = rows[c] * co - rows[b] * si;
    rows[b] = rb;
    rows[c] = rc;
    setRotation(rows);
}

void ActorItem::update() {
    Actor::update();
    if (_rotSpeed != 0)
        rotate(frameDelta() * _rotSpeed);
}

void ActorItem::reset() {
    Actor::reset();
    if (_nodes)
        _nodes->_shadowsEnabled = false;
    if (_rotRandom)
        rotate((float)motherRandom().nextDouble() * 2 * kPi);
}

void ActorItem::startOrStopAll(const char* name) { startOrStop(this, name); }

// ---------------------------------------------------------------------------------------------
// ActorItemGift

Object* ActorItemGift::create(World* world, Scene* scene, Object* parent) {
    return new ActorItemGift(world, scene, parent);
}

void ActorItemGift::createComponents() {
    ActorItem::createComponents();
    _typeId = TypeActorItemGift;
    _itemSphere = 1.0f;
    if (_bounds) {
        const Vector3 extent = _bounds->_localMax - _bounds->_localMin;
        _itemSphere = std::max(extent.x, std::max(extent.y, extent.z));
    }
    for (const std::string& prefix : {std::string("actorItemGift"), getSourceName()}) {
        actorkeys::readBool(prefix, ".snap", _snap);
        actorkeys::readBool(prefix, ".magnet", _magnet);
        actorkeys::readBool(prefix, ".alone", _alone);
        float mode = (float)_flyMode;
        actorkeys::readFloat(prefix, ".flyMode", mode);
        _flyMode = floatToInt32(mode + 0.5f);
        actorkeys::readFloat(prefix, ".flyScale", _flyScale);
        actorkeys::readVector3(prefix, ".flyCameraPos", _flyCameraPos);
        actorkeys::readString(prefix, ".shopUpdateName", _shopUpdateName);
        if (const char* boost = actorkeys::findString(prefix, ".boost"))
            if (*boost)
                _boosts.push_back(boost);
        for (const std::string& name : ConfigStore::instance().getList(prefix + ".boostUpdates"))
            _boosts.push_back(name);
        actorkeys::readFloat(prefix, ".itemSphere", _itemSphere);
    }
    _conductors->load("actorItemGift");
}

void ActorItemGift::reset() {
    ActorItem::reset();
    _flyProgress = -1;
    _collected = false;
}

void ActorItemGift::startFly(bool playSounds) {
    if (_flyProgress >= 0)
        return;
    _flyProgress = 0;
    _flyStart = getWorldPosition();
    if (_nodes)
        _nodes->_shadowsEnabled = true;
    if (_sounds)
        _sounds->_enabled = playSounds;
    startOrStopAll("fly");
}

void ActorItemGift::collect(bool playSounds, uint32_t index) {
    if (_collected)
        return;
    _flyProgress = 0;
    _collected = true;
    _flyStart = getWorldPosition();
    const uint32_t n = _conductors ? _conductors->getIndexNum("get") : 0;
    if (n >= 1 && index >= n) {
        const uint32_t q = (uint32_t)(0.75 * n);
        if (q != n)
            index = (index - n) % (n - q) + q;
    }
    if (_sounds)
        _sounds->_enabled = playSounds;
    if (_conductors && !_conductors->start("get", index, -1))
        _conductors->stopAll();
}

// ---------------------------------------------------------------------------------------------
// ActorItemObstacle

Object* ActorItemObstacle::create(World* world, Scene* scene, Object* parent) {
    return new ActorItemObstacle(world, scene, parent);
}

void ActorItemObstacle::createComponents() {
    ActorItem::createComponents();
    _typeId = TypeActorItemObstacle;
    buildPhysics(Body::Kinematic);
    setObjectBodyType(this, Body::Kinematic);
    for (const std::string& prefix : {std::string("actorItemObstacle"), getSourceName()}) {
        if (const char* type = actorkeys::findString(prefix, ".type"))
            _obstacleType = std::string(type) == "dynamic" ? Dynamic : Static;
        if (const char* damage = actorkeys::findString(prefix, ".damageType")) {
            const std::string d = damage;
            _damageType = d == "shield" ? Shield : d == "dash" ? Dash : Deathly;
        }
        actorkeys::readFloat(prefix, ".damage", _damage);
    }
    _conductors->load("actorItemObstacle");
}

void ActorItemObstacle::reset() {
    ActorItem::reset();
    _typeId = TypeActorItemObstacle;
    setObjectBodyType(this, Body::Kinematic);
}

void ActorItemObstacle::smash(const Vector3& origin, const Vector3& push, float radius) {
    if (_obstacleType != Dynamic)
        return;
    // Dynamic first: the kick then lands on bodies that keep it.
    _typeId = TypeActorItem;
    setObjectBodyType(this, Body::Dynamic);
    const float strength = push.length();
    if (radius > 0 && strength > 0) {
        const Vector3 axis = push * (1.0f / strength);
        visitBodyNodes(this, [&](Object* node, IPhysicsBody* body) {
            const Vector3 rel = node->getWorldPosition() - origin;
            const Vector3 perp = rel - axis * rel.dot(axis);
            const float dist = perp.length();
            const float k = std::min(1.0f, dist / radius);
            const float f = 1.0f - k * k;
            Vector3 velocity = body->getLinearVelocity() + push * f;
            if (dist > 0)
                velocity += perp * (0.5f * f * strength / dist);
            body->setLinearVelocity(velocity);
        });
    }
    if (_nodes)
        _nodes->_shadowsEnabled = true;
    startOrStopAll("dash");
}

void ActorItemObstacle::playDamage() { startOrStopAll("damage"); }

void ActorItemObstacle::playDeath() { startOrStopAll("death"); }

// ---------------------------------------------------------------------------------------------
// ActorObstacle

Object* ActorObstacle::create(World* world, Scene* scene, Object* parent) {
    return new ActorObstacle(world, scene, parent);
}

void ActorObstacle::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorObstacle;
    buildPhysics(Body::Kinematic);
    setObjectBodyType(this, Body::Kinematic);
    for (const std::string& prefix : {std::string("actorObstacle"), getSourceName()})
        actorkeys::readString(prefix, ".animMove", _animMove);
}

void ActorObstacle::reset() {
    Actor::reset();
    _started = false;
}

void ActorObstacle::startMove() {
    if (_started || _animMove.empty())
        return;
    _started = true;
    if (_animator)
        _animator->play(_animMove, -1);
}

}  // namespace Zelvan

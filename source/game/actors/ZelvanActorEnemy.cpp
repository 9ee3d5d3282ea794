#include "game/actors/ZelvanActorEnemy.h"

#include <algorithm>

#include "engine/clock.h"
#include "engine/random.h"
#include "engine_game/Body.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorKeys.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/track/ZelvanRail.h"

namespace Zelvan {

namespace {

const EnemyLevelReader* g_levelReader = nullptr;

// Occupied-range kinds a train brakes for: obstacles of the deathly or dash kind, and enemies.
const int32_t kBlockingKinds = 2 | 8;

float frameDelta() { return Clock::isPaused() ? 0.0f : frameTime().dt; }

// Saves the set's position on construction and puts it back on destruction.
class SetPositionGuard {
public:
    explicit SetPositionGuard(RailSet* set) : _set(set) { _set->savePosition(_saved); }
    ~SetPositionGuard() { _set->restorePosition(_saved); }
    SetPositionGuard(const SetPositionGuard&) = delete;
    SetPositionGuard& operator=(const SetPositionGuard&) = delete;

private:
    RailSet* _set;
    RailSetPos _saved;
};

bool hasRails(const RailSet* set) { return set && !set->getRails().empty(); }

// The distance from the current rail's start at a saved position of the set.
float railDistanceAt(RailSet* set, const RailSetPos& position) {
    set->restorePosition(position);
    const Rail* rail = set->getRail();
    return rail ? rail->getDistance() : 0.0f;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// ActorEnemy

void ActorEnemy::setLevelReader(const EnemyLevelReader* reader) { g_levelReader = reader; }

const EnemyLevelReader* ActorEnemy::getLevelReader() { return g_levelReader; }

void ActorEnemy::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorEnemy;
    for (const std::string& prefix : {std::string("actorEnemy"), getSourceName()}) {
        actorkeys::readVector3(prefix, ".railOffset", _railOffset);
        actorkeys::readInt(prefix, ".damageNum", _damageNum);
    }
    _nodes->load("actorEnemy", this);
    _sounds->load("actorEnemy", this);
    _conductors->load("actorEnemy");
}

void ActorEnemy::update() {
    if (_conductors && _animator && !_animator->isPlaying())
        _conductors->start("run", 0, -1);
    Actor::update();
}

void ActorEnemy::reset() {
    Actor::reset();
    _current = _start;
    _forward = _startForward;
    followRails();
    _hitCount = 0;
    if (_nodes)
        _nodes->_shadowsEnabled = true;
}

void ActorEnemy::placeOnSet() {
    Vector3 direction = _railSet->getDirection();
    if (!_startForward)
        direction = -direction;
    placeObjectOnFrame(this, RailFrame{direction, _railSet->getUp(), _railSet->getPosition()}, _railOffset);
}

void ActorEnemy::setRails(ActorEnemy* enemy, Level* level, RailSet* railSet, float distance) {
    if (!enemy)
        return;
    enemy->_level = level;
    enemy->_railSet = railSet;
    if (!railSet)
        return;
    SetPositionGuard guard(railSet);
    railSet->reset(true);
    railSet->move(distance);
    railSet->savePosition(enemy->_start);
    enemy->_current = enemy->_start;
    const bool facing = railSet->getDirection().dot(enemy->_transform->_world.row3(1)) > 0;
    enemy->_startForward = enemy->_forward = facing;
    enemy->placeOnSet();
}

void ActorEnemy::followRails() {
    if (!_railSet)
        return;
    SetPositionGuard guard(_railSet);
    _railSet->restorePosition(_current);
    placeOnSet();
}

void ActorEnemy::getRailSpan(float& low, float& high) {
    low = high = 0;
    if (!_railSet)
        return;
    SetPositionGuard guard(_railSet);
    const float s = railDistanceAt(_railSet, _current);
    Vector3 mn, mx;
    getObjectScaledBounds(this, true, false, mn, mx);
    if (_startForward) {
        low = s + mn.y;
        high = s + mx.y;
    } else {
        low = s - mx.y;
        high = s - mn.y;
    }
}

void ActorEnemy::startOrStopAll(const char* name) {
    if (!_conductors)
        return;
    if (!_conductors->start(name, 0, -1))
        _conductors->stopAll();
}

void ActorEnemy::hit() {
    if (_hitCount >= _damageNum)
        return;
    ++_hitCount;
    if (_hitCount < _damageNum)
        startOrStopAll("damage");
    else
        kill();
}

void ActorEnemy::kill() {
    _hitCount = _damageNum;
    startOrStopAll("death");
}

// ---------------------------------------------------------------------------------------------
// ActorEnemyTrain

Object* ActorEnemyTrain::create(World* world, Scene* scene, Object* parent) {
    return new ActorEnemyTrain(world, scene, parent);
}

void ActorEnemyTrain::createComponents() {
    ActorEnemy::createComponents();
    _typeId = TypeActorEnemyTrain;
    for (const std::string& prefix : {std::string("actorEnemyTrain"), getSourceName()}) {
        actorkeys::readFloat(prefix, ".speedMin", _speedMin);
        actorkeys::readFloat(prefix, ".speedMax", _speedMax);
        actorkeys::readFloat(prefix, ".brakeDistance", _brakeDistance);
        actorkeys::readFloat(prefix, ".flipDistance", _flipDistance);
        actorkeys::readBool(prefix, ".nearRun", _nearRun);
        actorkeys::readBool(prefix, ".pingPong", _pingPong);
    }
    for (float* v : {&_speedMin, &_speedMax, &_brakeDistance, &_flipDistance})
        if (!(*v > 0))
            *v = 0;
    _nodes->load("actorEnemyTrain", this);
    _sounds->load("actorEnemyTrain", this);
    _conductors->load("actorEnemyTrain");
    buildPhysics(Body::Kinematic);
    setObjectBodyType(this, Body::Kinematic);
}

void ActorEnemyTrain::reset() {
    ActorEnemy::reset();
    _speed = _speedMin + (float)motherRandom().nextDouble() * (_speedMax - _speedMin);
}

bool ActorEnemyTrain::addWaggon(ActorEnemyWaggon* waggon) {
    if (!waggon)
        return false;
    _waggons.push_back(waggon);
    return true;
}

void ActorEnemyTrain::update() {
    ActorEnemy::update();
    drive(frameDelta());
}

bool ActorEnemyTrain::canDrive() const {
    if (!_bounds || !hasRails(_railSet) || !_level || !g_levelReader)
        return false;
    if (!g_levelReader->isOnRoad(_level))
        return false;
    if (_nearRun && (g_levelReader->getRoadIndex(_level) > 0 || !g_levelReader->isRunning(_level)))
        return false;
    return true;
}

float ActorEnemyTrain::brakeFactor(float free) const {
    // No braking distance means no braking (the ratio would be 0/0 on a blocked rail).
    if (!(_brakeDistance > 0))
        return 1.0f;
    const float ratio = free / _brakeDistance;
    const float k = ratio > 1 ? 0.0f : 1.0f - ratio;
    return 1.0f - k * k;
}

void ActorEnemyTrain::drive(float dt) {
    if (!canDrive())
        return;
    SetPositionGuard guard(_railSet);
    _railSet->restorePosition(_current);
    Rail* rail = _railSet->getRail();

    float low, high;
    getRailSpan(low, high);
    for (ActorEnemyWaggon* waggon : _waggons) {
        if (!waggon->getRailSet())
            continue;
        float wl, wh;
        waggon->getRailSpan(wl, wh);
        low = std::min(low, wl);
        high = std::max(high, wh);
    }

    float ahead = rail->getLength() - high;
    float behind = low;
    const size_t count = g_levelReader->getRangeCount(_level);
    EnemyRange range;
    for (size_t i = 0; i < count; ++i) {
        if (!g_levelReader->getRange(_level, i, range))
            break;
        if (range.rail != rail || !(range.kind & kBlockingKinds) || !range.actor || range.actor == this ||
            range.actor->_hidden)
            continue;
        if (std::find(_waggons.begin(), _waggons.end(), range.actor) != _waggons.end())
            continue;
        const float a = range.start;
        const float b = range.start + range.length;
        const float first = std::min(a, b);
        const float last = std::max(a, b);
        if (last <= low)
            behind = std::min(behind, low - last);
        else if (first <= low)
            behind = 0;
        if (first >= high)
            ahead = std::min(ahead, first - high);
        else if (last >= high)
            ahead = 0;
    }

    if (_pingPong && (_forward ? ahead : behind) <= _flipDistance)
        _forward = !_forward;

    const float free = std::max(std::min(ahead, behind), _flipDistance);
    float step = _speed * dt * brakeFactor(free);
    if (!_forward)
        step = -step;

    // The step stays on the current rail: the rail's ends are where the train turns back.
    _railSet->restorePosition(_current);
    rail->move(step);
    _railSet->savePosition(_current);
    if (_nodes)
        _nodes->_distance += step;
    followRails();
    moveWaggons();
}

void ActorEnemyTrain::moveWaggons() {
    SetPositionGuard guard(_railSet);
    const float d = railDistanceAt(_railSet, _current) - railDistanceAt(_railSet, _start);
    for (ActorEnemyWaggon* waggon : _waggons) {
        RailSet* set = waggon->getRailSet();
        if (!hasRails(set))
            continue;
        // The waggon moves on its own set (the train's, for waggons placed on the same route).
        SetPositionGuard waggonGuard(set);
        const float ws = railDistanceAt(set, waggon->_start);
        set->restorePosition(waggon->_current);
        set->getRail()->seekDistance(ws + d);
        set->savePosition(waggon->_current);
    }
    // Placed once every saved position is final, so a shared set is not moved under a waggon.
    for (ActorEnemyWaggon* waggon : _waggons)
        waggon->followRails();
}

// ---------------------------------------------------------------------------------------------
// ActorEnemyWaggon

Object* ActorEnemyWaggon::create(World* world, Scene* scene, Object* parent) {
    return new ActorEnemyWaggon(world, scene, parent);
}

void ActorEnemyWaggon::createComponents() {
    ActorEnemy::createComponents();
    _typeId = TypeActorEnemyWaggon;
    _nodes->load("actorEnemyWaggon", this);
    _sounds->load("actorEnemyWaggon", this);
    _conductors->load("actorEnemyWaggon");
    buildPhysics(Body::Kinematic);
    setObjectBodyType(this, Body::Kinematic);
}

void ActorEnemyWaggon::update() {
    ActorEnemy::update();
    followRails();
}

}  // namespace Zelvan

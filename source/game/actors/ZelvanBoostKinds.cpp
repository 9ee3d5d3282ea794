#include "game/actors/ZelvanBoostKinds.h"

#include <algorithm>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine/utils.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanPlayerGoods.h"
#include "game/stage/ZelvanStageCamera.h"

namespace Zelvan {

namespace {

void readText(const ConfigStore& cfg, const std::string& key, std::string& field) {
    if (const char* v = cfg.getString(key, nullptr))
        field = v;
}

void readFlags(const ConfigStore& cfg, const std::string& prefix, bool& shield, bool& hit, bool& autopilot,
               bool& damage) {
    shield = cfg.getBool(prefix + ".shield", shield);
    hit = cfg.getBool(prefix + ".hit", hit);
    autopilot = cfg.getBool(prefix + ".autopilot", autopilot);
    damage = cfg.getBool(prefix + ".damage", damage);
}

void setFlags(PlayerGoods& record, bool shield, bool hit, bool autopilot) {
    if (shield)
        record._shieldActive = 1;
    if (hit)
        record._hitActive = 1;
    if (autopilot)
        record._autopilot = 1;
}

}  // namespace

// ---- Camera entries ----

void BoostCameraHold::push(ActorPlayer* actorPlayer, const std::string& name) {
    if (handle || name.empty() || !actorPlayer || !actorPlayer->_cameras)
        return;
    CameraStacks* cameras = actorPlayer->_cameras;
    handle = cameras->pushCamera(2, cameras->findCamera(name));
    if (handle)
        stacks = cameras;
}

void BoostCameraHold::pop() {
    if (stacks)
        stacks->popCamera(handle);
    stacks = nullptr;
    handle = 0;
}

// ---- Timed ----

void BoostTimed::load(const std::string& prefix) {
    Boost::load(prefix);
    _timer._duration = ConfigStore::instance().getFloat(prefix + ".duration", _timer._duration);
}

void BoostTimed::activate() {
    Boost::activate();
    _timer.stop();
    _timer.start();
}

bool BoostTimed::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    Boost::update(record, actorPlayer, dt);
    _timer.tick(dt);
    if (_timer._remaining > 0) {
        mark(record, 100.0f - getProgress());
        running(record, actorPlayer);
        return true;
    }
    closing(record, actorPlayer);
    return false;
}

// ---- Goods ----

void BoostGoods::load(const std::string& prefix) {
    Boost::load(prefix);
    const ConfigStore& cfg = ConfigStore::instance();
    readText(cfg, prefix + ".goods", _goods);
    _num = cfg.getFloat(prefix + ".num", _num);
}

bool BoostGoods::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    Boost::update(record, actorPlayer, dt);
    GoodsCounter& counter = record.get(_goods);
    counter._amount += counter._multiplier * _num;
    return false;
}

// ---- Goods multiplier ----

void BoostGoodsMultiplier::load(const std::string& prefix) {
    BoostTimed::load(prefix);
    const ConfigStore& cfg = ConfigStore::instance();
    readText(cfg, prefix + ".goods", _goods);
    const float mul = cfg.getFloat(prefix + ".mul", (float)_mul);
    _mul = mul <= 1.0f ? 1u : floatToUint32(mul);
}

void BoostGoodsMultiplier::activate() {
    BoostTimed::activate();
    _raiseDue = true;
}

void BoostGoodsMultiplier::mark(PlayerGoods& record, float percent) {
    record._multiplierActive = 1;
    record._multiplierPercent = std::max(record._multiplierPercent, percent);
}

void BoostGoodsMultiplier::running(PlayerGoods& record, ActorPlayer* actorPlayer) {
    (void)actorPlayer;
    if (_raiseDue) {
        record.get(_goods)._multiplier *= (float)_mul;
        _raiseDue = false;
        _raised = true;
    }
}

void BoostGoodsMultiplier::closing(PlayerGoods& record, ActorPlayer* actorPlayer) {
    (void)actorPlayer;
    if (_raised)
        record.get(_goods)._multiplier /= (float)_mul;
    _raised = false;
    _raiseDue = false;
}

// ---- Magnet ----

void BoostMagnet::load(const std::string& prefix) {
    BoostTimed::load(prefix);
    _itemSphere = ConfigStore::instance().getFloat(prefix + ".itemSphere", _itemSphere);
}

void BoostMagnet::mark(PlayerGoods& record, float percent) {
    record._magnetActive = 1;
    record._magnetPercent = std::max(record._magnetPercent, percent);
}

void BoostMagnet::running(PlayerGoods& record, ActorPlayer* actorPlayer) {
    (void)actorPlayer;
    record._magnetSphere = _itemSphere;
}

void BoostMagnet::closing(PlayerGoods& record, ActorPlayer* actorPlayer) {
    record._magnetSphere = actorPlayer ? actorPlayer->_startGoods._magnetSphere : 0.0f;
}

// ---- Shield, hit ----

void BoostShield::mark(PlayerGoods& record, float percent) {
    record._shieldActive = 1;
    record._shieldPercent = std::max(record._shieldPercent, percent);
}

void BoostHit::load(const std::string& prefix) {
    BoostTimed::load(prefix);
    _damage = ConfigStore::instance().getBool(prefix + ".damage", _damage);
}

void BoostHit::mark(PlayerGoods& record, float percent) {
    record._hitActive = 1;
    record._hitPercent = std::max(record._hitPercent, percent);
}

void BoostHit::closing(PlayerGoods& record, ActorPlayer* actorPlayer) {
    (void)record;
    if (_damage && actorPlayer)
        actorPlayer->hit(0.0f);
}

// ---- Speed ----

BoostSpeed::BoostSpeed() : Boost(TypeSpeed) { _timer.set(0.25f, 5.0f, 0.5f, 0.0f); }

float BoostSpeed::getProgress() const { return (1.0f - _timer.progress()) * 100.0f; }

void BoostSpeed::load(const std::string& prefix) {
    Boost::load(prefix);
    const ConfigStore& cfg = ConfigStore::instance();
    _timer._ascend = cfg.getFloat(prefix + ".ascendTime", _timer._ascend);
    _timer._hold = cfg.getFloat(prefix + ".holdTime", _timer._hold);
    _timer._descend = cfg.getFloat(prefix + ".descendTime", _timer._descend);
    _timer._delay = 0;
    _speedUp = cfg.getFloat(prefix + ".speedUp", _speedUp);
    readFlags(cfg, prefix, _shield, _hit, _autopilot, _damage);
    readText(cfg, prefix + ".camera", _cameraName);
}

void BoostSpeed::activate() {
    Boost::activate();
    _camera.pop();
    _timer.stop();
    _timer.start();
    _cut = false;
}

void BoostSpeed::deactivate() {
    _timer.release();
    _camera.pop();
    _cut = true;
}

bool BoostSpeed::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    Boost::update(record, actorPlayer, dt);
    _timer.tick(dt);
    if (!(_timer._remaining > 0)) {
        _camera.pop();
        if (_damage && actorPlayer)
            actorPlayer->hit(0.0f);
        return false;
    }
    record._speedUp += (_speedUp - record._speedUp) * _timer.value();
    if (_cut)
        return true;
    _camera.push(actorPlayer, _cameraName);
    record._speedActive = 1;
    record._speedPercent = std::max(record._speedPercent, _timer.progress() * 100.0f);
    setFlags(record, _shield, _hit, _autopilot);
    return true;
}

// ---- Energy, brake, letter ----

void BoostEnergy::load(const std::string& prefix) {
    Boost::load(prefix);
    const ConfigStore& cfg = ConfigStore::instance();
    _addEnergy = cfg.getFloat(prefix + ".addEnergy", _addEnergy);
    _addEnergyPercent = cfg.getFloat(prefix + ".addEnergyPercent", _addEnergyPercent);
}

bool BoostEnergy::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    Boost::update(record, actorPlayer, dt);
    const float maximum = actorPlayer ? actorPlayer->_startGoods._energy : 0.0f;
    record._energy = (record._energy + _addEnergy) + maximum * 0.01f * _addEnergyPercent;
    return false;
}

bool BoostBrake::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    Boost::update(record, actorPlayer, dt);
    if (actorPlayer)
        actorPlayer->rechargeBrake();
    return false;
}

void BoostLetter::load(const std::string& prefix) {
    Boost::load(prefix);
    readText(ConfigStore::instance(), prefix + ".letter", _letters);
}

bool BoostLetter::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    Boost::update(record, actorPlayer, dt);
    for (char c : _letters) {
        const size_t at = record._missingLetters.find(c);
        if (at != std::string::npos)
            record._missingLetters.erase(at, 1);
    }
    return false;
}

// ---- Camera ----

void BoostCamera::load(const std::string& prefix) {
    BoostTimed::load(prefix);
    const ConfigStore& cfg = ConfigStore::instance();
    readFlags(cfg, prefix, _shield, _hit, _autopilot, _damage);
    readText(cfg, prefix + ".camera", _cameraName);
}

void BoostCamera::activate() {
    _camera.pop();
    BoostTimed::activate();
}

void BoostCamera::mark(PlayerGoods& record, float percent) {
    record._cameraActive = 1;
    record._cameraPercent = std::max(record._cameraPercent, percent);
}

void BoostCamera::running(PlayerGoods& record, ActorPlayer* actorPlayer) {
    _camera.push(actorPlayer, _cameraName);
    setFlags(record, _shield, _hit, _autopilot);
}

void BoostCamera::closing(PlayerGoods& record, ActorPlayer* actorPlayer) {
    (void)record;
    _camera.pop();
    if (_damage && actorPlayer)
        actorPlayer->hit(0.0f);
}

// ---- Random ----

BoostRandom::~BoostRandom() { releaseInner(); }

void BoostRandom::releaseInner() {
    if (_inner && _container)
        _container->release(_inner);
    _inner = nullptr;
}

void BoostRandom::load(const std::string& prefix) {
    Boost::load(prefix);
    const ConfigStore::WordList& list = ConfigStore::instance().getList(prefix + ".boosts");
    if (!list.empty())
        _boosts = list;
}

void BoostRandom::activate() {
    Boost::activate();
    releaseInner();
    if (_boosts.empty() || !_container)
        return;
    const std::string& name = _boosts[(size_t)randomIndex((int32_t)_boosts.size())];
    // A random boost drawn from inside a random boost could draw itself again without end.
    for (const BoostDefinition& d : _container->definitions()) {
        if (d.name == name) {
            if (d.flag == TypeRandom) {
                Logger::error("Random boost (%s) drew the random boost (%s); nothing awarded", _name.c_str(),
                              name.c_str());
                return;
            }
            break;
        }
    }
    _inner = _container->acquire(name);
}

bool BoostRandom::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    Boost::update(record, actorPlayer, dt);
    if (!_inner)
        return false;
    if (_inner->update(record, actorPlayer, dt))
        return true;
    releaseInner();
    return false;
}

// ---- Makers ----

Boost* createBoostKind(int32_t flag) {
    switch (flag) {
        case Boost::TypeGoods: return new BoostGoods;
        case Boost::TypeGoodsMultiplier: return new BoostGoodsMultiplier;
        case Boost::TypeMagnet: return new BoostMagnet;
        case Boost::TypeShield: return new BoostShield;
        case Boost::TypeHit: return new BoostHit;
        case Boost::TypeSpeed: return new BoostSpeed;
        case Boost::TypeEnergy: return new BoostEnergy;
        case Boost::TypeBrake: return new BoostBrake;
        case Boost::TypeLetter: return new BoostLetter;
        case Boost::TypeCamera: return new BoostCamera;
        case Boost::TypeRandom: return new BoostRandom;
        default: return nullptr;
    }
}

}  // namespace Zelvan

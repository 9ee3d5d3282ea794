#include "game/actors/ZelvanActorPlayer.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/platform.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/Camera.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

namespace {

float atLeast0(float v) { return std::max(0.0f, v); }
float atMost0(float v) { return std::min(0.0f, v); }

Vector3 readVector3(const ConfigStore& cfg, const std::string& key, const Vector3& current) {
    std::string text;
    Vector3ToString(text, current);
    Vector3 v = current;
    Vector3FromString(v, cfg.getString(key, text.c_str()));
    return v;
}

Vector2 readVector2(const ConfigStore& cfg, const std::string& key, const Vector2& current) {
    std::string text;
    Vector2ToString(text, current);
    Vector2 v = current;
    Vector2FromString(v, cfg.getString(key, text.c_str()));
    return v;
}

// A user-default override: the stored number, never below 0. A text that is no finite number
// (atof reads "nan" and "inf" too) counts as 0, with a log line.
float readPref(const char* key, float current) {
    float v = getUserDefaultFloat(key, current);
    if (!std::isfinite(v)) {
        Logger::error("User default %s is not a number; 0 used", key);
        v = 0;
    }
    return atLeast0(v);
}

// Frame distance of a unit axis row of a matrix (scale removed).
Vector3 unitRow(const Matrix4& m, int r) {
    Vector3 v = m.row3(r).normalized();
    if (v.lengthSquared() == 0)
        v[r] = 1;
    return v;
}

}  // namespace

MotherRandom& autopilotRandom() {
    static MotherRandom generator(111);
    return generator;
}

ActorPlayer::ActorPlayer(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {
    _startGoods._energy = 100;
    _startGoods._speed = _speedStart;
    _startGoods.get("coins");
    _goods = _startGoods;
    _leapTimer.set(5, 0);
    _dashTimer.set(1, 0);
    _cryTimer.set(1, 1);
    _brakeEnvelope.set(0.2f, 2, 0.2f, 1);
    _damageTimer.setDuration(1);
    _shadowFade.setDuration(1);
    _characterDieFlyTimer.setDuration(0.5f);
    _characterDieCameraTimer.setDuration(2);
}

Object* ActorPlayer::create(World* world, Scene* scene, Object* parent) {
    return new ActorPlayer(world, scene, parent);
}

ActorPlayer::~ActorPlayer() {
    // detach gave everything back while the pools and the boost container still existed; by now
    // they may be gone, so only the pointers are forgotten.
    _actorCrash = nullptr;
    _actorHit = nullptr;
    _character = nullptr;
}

void ActorPlayer::registerPlayers(World* world) {
    if (!world)
        return;
    const ConfigStore& cfg = ConfigStore::instance();
    for (const std::string& name : cfg.getList("actorPlayer.players")) {
        const char* file = cfg.getString(name + ".objectFile", "");
        if (file && *file)
            world->registerObjectClass(file, &ActorPlayer::create);
    }
}

// ---------------------------------------------------------------------------------------------
// Set-up

void ActorPlayer::createComponents() {
    Actor::createComponents();
    setObjectTypeId(this, TypeActorPlayer);
    buildPhysics(Body::Kinematic_Player);
    Body::Material material;
    material.friction = 0;
    setObjectBodyMaterial(this, material);
    _sounds->load("actorPlayer", this);
    _conductors->load("actorPlayer");
    loadTuning("actorPlayer");
    resetPoses();
    _previousAction = Action_WaggleBack;
    _action = Action_Start;
    _actionTime = 0;
    _frameDistance = 0;
    _frameMove = _velocity = Vector3();
    stopTimers();
}

void ActorPlayer::load(const std::string& name) {
    _playerName = name;
    _nodes->load(name, this);
    _sounds->load(name, this);
    _conductors->load(name);
    loadTuning(name);
    _nodes->setVisible("menu", false);
    _nodes->setVisible("game", true);
    if (const std::string* outline = getProperty("outlineColor")) {
        Vector4 colour(1, 1, 1, 1);
        Vector4FromString(colour, outline->c_str());
        for (Object* node : {(Object*)this, (Object*)_actorCrash, (Object*)_actorHit})
            if (node)
                setMeshUniformVector4(node, nullptr, "outlineColor", colour);
    }
}

void ActorPlayer::loadTuning(const std::string& p) {
    const ConfigStore& cfg = ConfigStore::instance();
    auto f = [&](const char* key, float current) { return cfg.getFloat(p + key, current); };

    const std::string crashFile = cfg.getString(p + ".crashObjectFile", "");
    const std::string hitFile = cfg.getString(p + ".hitObjectFile", "");
    _cameraDuck = cfg.getString(p + ".cameraDuck", _cameraDuck.c_str());
    _cameraFly = cfg.getString(p + ".cameraFly", _cameraFly.c_str());
    _cameraDeath = cfg.getString(p + ".cameraDeath", _cameraDeath.c_str());
    _railOffset = readVector3(cfg, p + ".railOffset", _railOffset);

    _railWheel1 = atMost0(f(".railWheel1", _railWheel1));
    _railWheel2 = atLeast0(f(".railWheel2", _railWheel2));
    if (_railWheel2 == _railWheel1)
        _railWheel2 = 1;
    _railSize1 = atMost0(f(".railSize1", _railSize1));
    _railSize2 = atLeast0(f(".railSize2", _railSize2));
    _startGoods._energy = atLeast0(f(".energy", _startGoods._energy));
    _speedMin = readPref("playerspeedmin_pref", f(".speedMin", _speedMin));
    _speedMax = readPref("playerspeedmax_pref", f(".speedMax", _speedMax));
    _speedStart = readPref("playerspeedstart_pref", f(".speedStart", _speedStart));
    _speedTime = readPref("playerspeedtime_pref", f(".speedTime", _speedTime));
    if (_speedMax < _speedMin)
        std::swap(_speedMin, _speedMax);
    _startGoods._speed = clampf(_speedStart, _speedMin, _speedMax);
    _waggleAngle = degToRad(f(".waggleAngle", radToDeg(_waggleAngle)));
    _waggleLeftPos = readVector3(cfg, p + ".waggleLeftPos", _waggleLeftPos);
    _waggleRightPos = readVector3(cfg, p + ".waggleRightPos", _waggleRightPos);
    _waggleTime = atLeast0(f(".waggleTime", _waggleTime));
    _dashMin = atLeast0(f(".dashMin", _dashMin));
    _dashMax = atLeast0(f(".dashMax", _dashMax));
    _dashTimer._duration = atLeast0(f(".dashTime", _dashTimer._duration));
    _dashTimer._delay = atLeast0(f(".dashDelay", _dashTimer._delay));
    _dashRadius = atLeast0(f(".dashRadius", _dashRadius));
    _leapHeight = readPref("playerleapheight_pref", f(".leapHeight", _leapHeight));
    _leapTimer.set(readPref("playerleapdistance_pref", atLeast0(f(".leapDistance", _leapTimer._duration))), 0);
    _characterDieFlyTimer.setDuration(f(".characterDieFlyTime", _characterDieFlyTimer._duration));
    _characterDieCameraTimer.setDuration(f(".characterDieCameraTime", _characterDieCameraTimer._duration));
    _itemScale = atLeast0(f(".itemScale", _itemScale));
    _railBlendDistance = atLeast0(f(".railBlendDistance", _railBlendDistance));
    _jumpPow = f(".jumpPow", _jumpPow);
    _jumpHeight = readPref("playerjumpheight_pref", f(".jumpHeight", _jumpHeight));
    _jumpTime = readPref("playerjumptime_pref", f(".jumpTime", _jumpTime));
    _nojumpTime = atLeast0(f(".nojumpTime", _nojumpTime));
    _jumpFutureFactor = readVector2(cfg, p + ".jumpFutureFactor", _jumpFutureFactor);
    _autopilotJumpDistance = atLeast0(f(".autopilotJumpDistance", _autopilotJumpDistance));
    _autopilotJumpSideDistance = atLeast0(f(".autopilotJumpSideDistance", _autopilotJumpSideDistance));
    _autopilotLeapDistance = atLeast0(f(".autopilotLeapDistance", _autopilotLeapDistance));
    _particleVelocity = cfg.getBool(p + ".particleVelocity", _particleVelocity);
    _cryRadius = atLeast0(f(".cryRadius", _cryRadius));
    _cryTimer._duration = atLeast0(f(".cryTime", _cryTimer._duration));
    _cryTimer._delay = atLeast0(f(".cryDelay", _cryTimer._delay));
    _brakeSpeed = readPref("playerbrakespeed_pref", atLeast0(f(".brakeSpeed", _brakeSpeed)));
    const float ascend = atLeast0(f(".brakeAscendTime", _brakeEnvelope._ascend));
    _brakeHoldTime = readPref("playerbrakeholdtime_pref", f(".brakeHoldTime", _brakeHoldTime));
    const float descend = atLeast0(f(".brakeDescendTime", _brakeEnvelope._descend));
    _brakeDelayDef = readPref("playerbrakedelay_pref", f(".brakeDelayDef", _brakeDelayDef));
    _brakeDelayUpload = atLeast0(f(".brakeDelayUpload", _brakeDelayUpload));
    _brakeEnvelope.set(ascend, _brakeHoldTime, descend, _brakeDelayDef);
    for (const std::string& text : cfg.getList(p + ".brakeUpdates")) {
        Vector3 line;
        Vector3FromString(line, text.c_str());
        _brakeUpdates.push_back(Vector3(atLeast0(line.x), atLeast0(line.y), atLeast0(line.z)));
    }
    _damageFlashFreq = atLeast0(f(".damageFlashFreq", _damageFlashFreq));
    _damageDelay = atLeast0(f(".damageDelay", _damageDelay));
    _damageTimer.setDuration(_damageDelay);
    _shadowFade.setDuration(atLeast0(f(".shadowFadeTime", _shadowFade._duration)));
    _collectRadius = atLeast0(f(".collectRadius", _collectRadius));
    _pushStrength = f(".pushStrength", _pushStrength);
    const std::string bodyNode = cfg.getString(p + ".nodeBody", "");
    if (!bodyNode.empty())
        if (Object* node = findObjectByName(this, bodyNode))
            if (node->_physicsBody)
                _body = node;
    const std::string characterNode = cfg.getString(p + ".nodeCharacter", "");
    Object* node = characterNode.empty() ? nullptr : findObjectByName(this, characterNode);
    if (node || !_characterNode)
        _characterNode = node ? node : this;
    if (!crashFile.empty() || !hitFile.empty())
        loadCrashObjects(crashFile, hitFile);
}

Actor* ActorPlayer::takeObject(const std::string& file) {
    if (file.empty() || !_world)
        return nullptr;
    ObjectPool* pool = _world->getObjectPool(file);
    Object* object = pool ? pool->acquire(1) : nullptr;
    if (!object) {
        Logger::error("Object file (%s) not found!", file.c_str());
        return nullptr;
    }
    if (!isActorTypeId(object->_typeId)) {
        Logger::error("Object file (%s) is no actor", file.c_str());
        pool->release(object);
        return nullptr;
    }
    Actor* actor = static_cast<Actor*>(object);
    actor->_pool = pool;
    setObjectActive(actor, false);
    return actor;
}

void ActorPlayer::giveBack(Actor*& actor) {
    if (!actor)
        return;
    setObjectActive(actor, false);
    if (actor->_pool)
        actor->_pool->release(actor);
    actor = nullptr;
}

void ActorPlayer::loadCrashObjects(const std::string& crashFile, const std::string& hitFile) {
    if (!crashFile.empty()) {
        giveBack(_actorCrash);
        _actorCrash = takeObject(crashFile);
        if (_actorCrash)
            setObjectBodyType(_actorCrash, Body::Dynamic);
    }
    if (!hitFile.empty()) {
        giveBack(_actorHit);
        _actorHit = takeObject(hitFile);
        if (_actorHit) {
            _actorHit->buildPhysics(Body::Kinematic_Player);
            Body::Material material;
            material.friction = 0;
            setObjectBodyMaterial(_actorHit, material);
            if (_actorHit->_nodes) {
                _actorHit->_nodes->setVisible("menu", false);
                _actorHit->_nodes->setVisible("game", true);
            }
            setObjectActive(_actorHit, false);
        }
    }
}

void ActorPlayer::stopTimers() {
    _dashTimer.stop();
    _leapTimer.stop();
    _cryTimer.stop();
    _brakeEnvelope.stop();
    _damageTimer.stop();
    _characterDieFlyTimer.stop();
    _characterDieCameraTimer.stop();
}

void ActorPlayer::resetPoses() {
    applyDescriptionTransforms();
    setMatrix(Matrix4());
    _startPose = _currentPose = _airPose = TrainPose();
    _startOffset = _currentOffset = Vector3();
    _railPos = RailPos();
    _leadIn = 0;
    for (RoadSlot& slot : _roads)
        slot = RoadSlot();
}

void ActorPlayer::reset() {
    Actor::reset();
    _goods = _startGoods;
    _boosts.releaseAll();
    if (!_actorCrash) {
        // A crash may have made the train's own bodies dynamic.
        setObjectBodyType(this, Body::Kinematic_Player);
        Body::Material material;
        material.friction = 0;
        setObjectBodyMaterial(this, material);
    } else {
        // The wreck only exists in the world while the train lies crashed.
        setObjectActive(_actorCrash, false);
    }
    if (_character)
        _character->reset();
    _shadowFade._rising = 1;
    _shadowFade.finish();
    _shadowFlag._pending = 1;
    _visibleFlag._pending = 1;
    _hitFlag._pending = 1;
    if (_nodes)
        refreshNodes();
    if (_effects) {
        _effects->stopAll();
        _effects->playAuto();
    }
    resetPoses();
    _action = Action_Start;
    _previousAction = Action_WaggleBack;
    _actionTime = 0;
    _bounced = 0;
    _frameDistance = 0;
    _frameMove = _velocity = Vector3();
    stopTimers();
}

void ActorPlayer::detach() {
    Actor::detach();
    if (_character) {
        setObjectActive(_character, false);
        _character->setDefaultLights();
        _character = nullptr;
    }
    _boosts.releaseAll();
    giveBack(_actorCrash);
    giveBack(_actorHit);
}

void ActorPlayer::update() { Object::update(); }

void ActorPlayer::setActive(bool on) {
    if ((uint8_t)on == _activeFlag)
        return;
    _activeFlag = on ? 1 : 0;
    Actor* character = _character;
    if (on) {
        setObjectActive(this, true);
        if (_actorHit)
            setObjectActive(_actorHit, true);
        if (character)
            setObjectActive(character, true);
        if (isCrashed()) {
            if (_actorCrash) {
                setObjectActive(_actorCrash, true);
                setHidden(true);
            }
        } else if (_actorCrash) {
            // Not only hidden: an active wreck keeps its bodies on the track.
            setObjectActive(_actorCrash, false);
        }
        if (_actorHit)
            _actorHit->setHidden(true);
        if (_effects)
            _effects->enabled = !_effectsHidden;
    } else {
        setObjectActive(this, false);
        for (Actor* a : {_actorCrash, _actorHit, character})
            if (a)
                setObjectActive(a, false);
        if (_effects) {
            _effects->stopAll();
            _effects->enabled = false;
        }
    }
    _visibleFlag._pending = 1;
}

void ActorPlayer::setDefaultLights() {
    Actor::setDefaultLights();
    if (_character)
        _character->setDefaultLights();
}

void ActorPlayer::setLights(const std::vector<Light*>& lights) {
    Actor::setLights(lights);
    if (_character)
        _character->setLights(lights);
}

void ActorPlayer::setParticleSystem(PSParticleSystem* system) {
    Actor::setParticleSystem(system);
    if (_character)
        _character->setParticleSystem(system);
}

void ActorPlayer::applyTransform(const Matrix4& m) {
    Actor::applyTransform(m);
    for (TrainPose* pose : {&_startPose, &_currentPose, &_airPose}) {
        pose->forward = m.transformVector(pose->forward);
        pose->up = m.transformVector(pose->up);
        pose->position = m.transformPoint(pose->position);
    }
}

void ActorPlayer::debugDraw(DebugDraw* draw) {
    Actor::debugDraw(draw);
    if (!draw)
        return;
    drawObjectBox(draw, _transform->_world, Vector3(-0.5f, _railSize1, 0), Vector3(0.5f, _railSize2, 1),
                  Vector3(255, 0, 255));
}

void ActorPlayer::setRoad(int index, const RoadSlot& road) {
    XASSERT_AT(index < 2, __FILE__);
    XASSERT_AT((!road.level && !road.rail) || (road.level && road.rail), __FILE__);
    if (index < 0 || index >= 2)
        return;
    if (index == 0 && road.rail) {
        _railPos = road.rail->getRailPos();
        _leadIn = road.distance;
    }
    _roads[index] = road;
}

void ActorPlayer::setCharacter(ActorCharacter* character) {
    if (character == _character)
        return;
    if (_character) {
        setObjectActive(_character, false);
        _character->setDefaultLights();
    }
    _character = character;
    if (!_character)
        return;
    setObjectActive(_character, _activeFlag != 0);
    _character->setLights(_lights);
    _character->setMatrix(Matrix4());
    _character->reset();
    if (isCrashed())
        _character->die();
    else if (_action == Action_Stay)
        _character->stay();
    else
        _character->run();
}

void ActorPlayer::takeOver(ActorPlayer* other) {
    if (!other || other == this)
        return;
    reset();
    // The goods of the run go on; the name stays this train's own.
    _goods._counters = other->_goods._counters;
    _goods._distance = other->_goods._distance;
    _goods._missingLetters = other->_goods._missingLetters;
    _goods._word = other->_goods._word;
    _roads[0] = other->_roads[0];
    _railPos = other->_railPos;
    _leadIn = other->_leadIn;
    ActorCharacter* character = other->_character;
    if (character)
        other->setCharacter(nullptr);
    setCharacter(character);
    if (other->_action == Action_Stay) {
        stay();
    } else if (other->isCrashed()) {
        crash();
        _characterDieFlyTimer.stop();
        _characterDieCameraTimer.stop();
    } else {
        run();
    }
}

void ActorPlayer::setWord(const std::string& word) {
    _goods._missingLetters = word;
    _goods._word = word;
}

Vector3 ActorPlayer::getVelocity() const {
    if (_body && _body->_physicsBody)
        return _body->_physicsBody->getLinearVelocity();
    return _velocity;
}

void ActorPlayer::setEffectsHidden(bool hidden) {
    if ((uint8_t)hidden == _effectsHidden)
        return;
    _effectsHidden = hidden ? 1 : 0;
    if (_effects)
        _effects->setEmitterFlag((_goods._hitActive && _actorHit) ? false : !hidden);
    _visibleFlag._pending = 1;
}

// ---------------------------------------------------------------------------------------------
// Actions

void ActorPlayer::startConductor(const char* name, float duration) {
    if (_conductors)
        _conductors->start(name, 0, duration);
}

void ActorPlayer::stay() {
    _previousAction = Action_WaggleBack;
    _velocity = _frameMove = Vector3();
    _bounced = 0;
    _actionTime = _frameDistance = 0;
    _dashTimer.stop();
    _leapTimer.stop();
    _cryTimer.stop();
    _brakeEnvelope.stop();
    _damageTimer.stop();
    _hitFlag._value = 0;
    _characterDieFlyTimer.stop();
    _characterDieCameraTimer.stop();
    _visibleFlag._pending = 1;
    _shadowFlag._pending = 1;
    _action = Action_Stay;
    if (_conductors)
        _conductors->stopAll();
    startConductor("stay", -1);
    if (_character)
        _character->stay();
}

void ActorPlayer::run() {
    if (!(_action & (Action_Start | Action_Stay | Action_Run)))
        return;
    _action = Action_Run;
    _actionTime = 0;
    startConductor("run", -1);
    if (_character)
        _character->run();
}

void ActorPlayer::waggleLeft() {
    XASSERT_AT(_action == Action_Run, __FILE__);
    if (_action != Action_Run)
        return;
    _previousAction = Action_WaggleBack;
    _action = Action_WaggleLeft;
    _actionTime = _waggleTime;
}

void ActorPlayer::waggleRight() {
    XASSERT_AT(_action == Action_Run, __FILE__);
    if (_action != Action_Run)
        return;
    _previousAction = Action_WaggleBack;
    _action = Action_WaggleRight;
    _actionTime = _waggleTime;
}

void ActorPlayer::waggleBack() {
    XASSERT_AT(_action & (Action_WaggleLeft | Action_WaggleRight), __FILE__);
    if (!(_action & (Action_WaggleLeft | Action_WaggleRight)))
        return;
    _previousAction = _action;
    _action = Action_WaggleBack;
    _actionTime = _waggleTime;
}

void ActorPlayer::leap() {
    if (_leapTimer.isLocked())
        return;
    _roads[2] = _roads[0];
    _roads[3] = _roads[1];
    _startPose = _currentPose;
    _startOffset = _currentOffset = Vector3();
    _bounced = 0;
    _leapTimer.start();
    // The conductor wants seconds: the leap lasts its track length at the current speed.
    const float speed = std::max(totalSpeed(), _speedMin);
    const float time = speed > 0 ? _leapTimer._duration / speed : -1.0f;
    startConductor("leap_begin", time > 0 ? time : -1.0f);
    if (_character)
        _character->leap();
}

Vector3 ActorPlayer::slotPoint(const RoadSlot& slot) const {
    if (!slot.rail)
        return Vector3();
    Vector3 p = slot.rail->getPosition();
    if (slot.distance < 0) {
        Vector3 f = slot.rail->getDirection();
        if (!slot.forward)
            f = -f;
        p += f * slot.distance;
    }
    return p;
}

void ActorPlayer::startRailChange(Rail* rail, Level* level, bool left) {
    XASSERT_AT(level && rail, __FILE__);
    if (!level || !rail || _action != Action_Run)
        return;
    Vector3 position = _currentPose.position;
    if (_roads[0].rail) {
        _roads[0].rail->setPosition(_railPos);
        position = slotPoint(_roads[0]);
    }
    const Vector3 F = _currentPose.forward;
    const bool found = rail->projectPoint(position);
    const Vector3 T = rail->getDirection();
    const bool forward = F.dot(T) > 0;
    float offset = found ? (position - rail->getPosition()).dot(T) : 0.0f;
    if (!forward)
        offset = -offset;
    _roads[2] = _roads[0];
    _roads[3] = _roads[1];
    RoadSlot target;
    target.rail = rail;
    target.forward = forward ? 1 : 0;
    target.distance = offset;
    target.level = level;
    _roads[0] = target;
    _roads[1] = RoadSlot();
    _railPos = rail->getRailPos();
    _leadIn = offset;
    if (_leapTimer.isRunning()) {
        _leapTimer.stop();
        _startPose = _airPose;
        _startPose.position -= _currentOffset;
        _startOffset = _currentOffset;
    } else {
        _startPose = _currentPose;
        _startOffset = _currentOffset = Vector3();
    }
    _action = left ? Action_JumpLeft : Action_JumpRight;
    _actionTime = _jumpTime;
    _bounced = 0;
    startConductor(left ? "jumpleft_begin" : "jumpright_begin", _jumpTime);
    if (_character) {
        if (left)
            _character->jumpLeft();
        else
            _character->jumpRight();
    }
}

void ActorPlayer::jumpLeft(Rail* rail, Level* level) { startRailChange(rail, level, true); }
void ActorPlayer::jumpRight(Rail* rail, Level* level) { startRailChange(rail, level, false); }

void ActorPlayer::noJumpLeft() {
    if (_action != Action_Run || _leapTimer.isRunning())
        return;
    if (_conductors && _conductors->start("nojumpleft", 0, _nojumpTime)) {
        _action = Action_NoJump;
        _actionTime = _nojumpTime;
    }
}

void ActorPlayer::noJumpRight() {
    if (_action != Action_Run || _leapTimer.isRunning())
        return;
    if (_conductors && _conductors->start("nojumpright", 0, _nojumpTime)) {
        _action = Action_NoJump;
        _actionTime = _nojumpTime;
    }
}

void ActorPlayer::dash() {
    if (!_dashTimer.start())
        return;
    startConductor("dash", _dashTimer._duration);
}

void ActorPlayer::cry() {
    if (!_cryTimer.start())
        return;
    startConductor("cry", _cryTimer._duration);
}

const Vector3* ActorPlayer::brakeLine() const {
    if (_brakeUpdates.empty())
        return nullptr;
    const size_t i = (size_t)std::max(0, std::min((int32_t)_brakeUpdates.size() - 1, _brakeLevel));
    return &_brakeUpdates[i];
}

void ActorPlayer::brake() {
    if (_brakeEnvelope.isLocked())
        return;
    _goods.get("analyticsBrake")._amount += 1;
    const Vector3* line = brakeLine();
    _brakeEnvelope._hold = line ? line->y : _brakeHoldTime;
    _brakeEnvelope._delay = line ? line->z : _brakeDelayDef;
    _brakeEnvelope.start();
    if (_character)
        _character->brake();
}

void ActorPlayer::releaseBrake() {
    if (_brakeEnvelope.isRunning())
        _brakeEnvelope.release();
}

bool ActorPlayer::rechargeBrake() {
    EnvelopeTimer& e = _brakeEnvelope;
    if (!e.isLocked())
        return false;
    const float newDelay = _brakeDelayUpload;
    if (e.isRunning()) {
        const float total = e.total();
        const float fraction = total > 0 ? e._remaining / total : 0;
        e._remaining = fraction * total;
        e._delay = newDelay;
        e._lock = e._remaining + newDelay;
    } else {
        const float fraction = e._delay > 0 ? e._lock / e._delay : 0;
        e._delay = newDelay;
        e._lock = fraction * newDelay;
    }
    return true;
}

void ActorPlayer::hit(float damage) {
    if (_damageTimer.isRunning())
        return;
    _damageTimer.start();
    if (damage > 0) {
        _goods._energy -= damage;
        if (_goods._energy > 0) {
            startConductor("damage", -1);
            if (_character)
                _character->damage();
        } else {
            crash();
        }
    }
    _goods._energy = clampf(_goods._energy, 0, _startGoods._energy);
}

void ActorPlayer::crash() {
    if (_godMode || isCrashed())
        return;
    _goods._energy = 0;
    _previousAction = Action_WaggleBack;
    _action = Action_Crash;
    _actionTime = 0;
    MotherRandom& random = autopilotRandom();
    const float r1 = (float)random.nextDouble(), r2 = (float)random.nextDouble(), r3 = (float)random.nextDouble();
    const float a = 0.5f * r1 - 0.25f, b = 0.5f * r2 - 0.25f;
    _crashAngle = r3 * kPi * 0.5f - kPi * 0.25f;
    _crashFling1 = Vector3(a, b, -1.5f);
    _crashFling2 = Vector3(a, -2.5f, -1.5f);
    _characterDieFlyTimer.start();
    stopAnimations();
    _boosts.deactivateAll();
    if (_effects) {
        _effects->stopAll();
        _effects->setVelocity(Vector3());
    }
    const Vector3 linMin(-5, -5, 0), linMax(5, 5, 10), angMin(-1, -1, -1), angMax(1, 1, 1);
    if (_actorCrash) {
        // Placed first, then into the world, then pushed: a wreck never wakes up at the origin.
        const Matrix4& w = _transform->_world;
        const Vector3 rows[3] = {w.row3(0), w.row3(1), w.row3(2)};
        _actorCrash->setTransform(rows, w.getTranslation(), Vector3(1, 1, 1));
        setObjectBodySync(_actorCrash, true);
        _actorCrash->updateTransform();
        setObjectActive(_actorCrash, true);
        setObjectBodySync(_actorCrash, false);
        flingObjectBodies(_actorCrash, linMin, linMax, angMin, angMax);
    } else {
        setObjectBodyType(this, Body::Dynamic);
        Body::Material material;
        material.friction = 0.5f;
        setObjectBodyMaterial(this, material);
        flingObjectBodies(this, linMin, linMax, angMin, angMax);
    }
    if (_conductors)
        _conductors->stopAll();
    startConductor("death", -1);
    if (_character)
        _character->die();
    _visibleFlag._pending = 1;
}

void ActorPlayer::setFlying(bool on) {
    _shadowFade._rising = on ? 0 : 1;
    if (_character)
        _character->fly(on);
}

void ActorPlayer::addBoost(Boost* boost) {
    if (!boost)
        return;
    _boosts.add(boost);
    if (_character && boost->_character)
        _character->powerup(boost->_name);
}

// ---------------------------------------------------------------------------------------------
// Movement

bool ActorPlayer::moveOnRoad(int index, float d, TrainPose& pose, float* moved, bool commit) {
    XASSERT_AT(index == 0 || index == 2, __FILE__);
    RoadSlot* roads = &_roads[index == 2 ? 2 : 0];
    RoadSlot slot = roads[0];
    const RoadSlot& next = roads[1];
    if (moved)
        *moved = 0;
    if (!slot.rail) {
        pose = TrainPose();
        return false;
    }
    const RailPos savedPos = slot.rail->getRailPos();
    const RailPos savedNextPos = next.rail ? next.rail->getRailPos() : RailPos();
    float total = 0;
    float rest = d;
    bool ok = true;
    if (slot.distance < 0) {
        const float distance = std::min(0.0f, slot.distance + d);
        total += distance - slot.distance;
        rest = d - (distance - slot.distance);
        slot.distance = distance;
        if (slot.distance < 0)
            slot.rail->reset(slot.forward != 0);
    }
    bool onNext = false;
    if (slot.distance >= 0 && rest != 0) {
        float m = 0;
        const bool on = slot.rail->move(slot.forward ? rest : -rest, &m);
        const float along = slot.forward ? m : -m;
        total += along;
        if (!on) {
            if (next.rail && d >= 0) {
                const Vector3 end = slot.rail->getPosition();
                next.rail->reset(next.forward != 0);
                next.rail->projectPoint(end);
                const float remainder = rest - along;
                float m2 = 0;
                next.rail->move(next.forward ? remainder : -remainder, &m2);
                total += next.forward ? m2 : -m2;
                onNext = true;
            } else {
                ok = false;
            }
        }
    }
    const RoadSlot& at = onNext ? next : slot;
    Rail* rail = at.rail;
    Vector3 forward = rail->getDirection();
    if (!at.forward)
        forward = -forward;
    pose.forward = forward;
    pose.up = rail->getUp();
    pose.position = rail->getPosition();
    const float distance = onNext ? 0.0f : slot.distance;
    if (distance < 0)
        pose.position += forward * distance;

    // Over the last stretch of a rail the train turns smoothly into the next one.
    if (!onNext && next.rail && distance >= 0 && _railBlendDistance > 0) {
        const float travelled = rail->getDistance();
        const float left = at.forward ? rail->getLength() - travelled : travelled;
        if (left < _railBlendDistance) {
            const float t = 1.0f - left / _railBlendDistance;
            const RailPos here = rail->getRailPos();
            rail->reset(!at.forward);
            const Vector3 end = rail->getPosition();
            const RailPos nextHere = next.rail->getRailPos();
            next.rail->reset(next.forward != 0);
            next.rail->projectPoint(end);
            Vector3 nf = next.rail->getDirection();
            if (!next.forward)
                nf = -nf;
            const Vector3 nu = next.rail->getUp();
            const Vector3 np = next.rail->getPosition();
            next.rail->setPosition(nextHere);
            rail->setPosition(here);
            const Vector3 projected = np + nf * (pose.position - np).dot(nf);
            const Vector3 f = lerp(pose.forward, nf, t).normalized();
            const Vector3 u = lerp(pose.up, nu, t).normalized();
            if (f.lengthSquared() > 0)
                pose.forward = f;
            if (u.lengthSquared() > 0)
                pose.up = u;
            pose.position = lerp(pose.position, projected, t);
        }
    }
    if (moved)
        *moved = total;
    if (commit) {
        if (onNext) {
            roads[0] = next;
            roads[0].distance = 0;
            roads[1] = RoadSlot();
        } else {
            roads[0].distance = slot.distance;
        }
    } else {
        slot.rail->setPosition(savedPos);
        if (next.rail)
            next.rail->setPosition(savedNextPos);
    }
    return ok;
}

int ActorPlayer::advance(float d, float* moved, Vector3* displacement) {
    if (moved)
        *moved = 0;
    if (displacement)
        *displacement = Vector3();
    if (!_roads[0].rail)
        return 0;
    _roads[0].rail->setPosition(_railPos);
    const Vector3 p0 = slotPoint(_roads[0]);
    TrainPose pose;
    float m = 0;
    moveOnRoad(0, d, pose, &m, true);
    _railPos = _roads[0].rail->getRailPos();
    _leadIn = _roads[0].distance;
    const Vector3 p1 = slotPoint(_roads[0]);
    _frameDistance += m;
    _frameMove += p1 - p0;
    if (moved)
        *moved = m;
    if (displacement)
        *displacement = p1 - p0;
    const bool front = moveOnRoad(0, _railWheel2 - _railWheel1, pose, nullptr, false);
    _roads[0].rail->setPosition(_railPos);
    return front ? 1 : 0;
}

uint32_t ActorPlayer::getRailFlags() {
    if (!_roads[0].rail)
        return SegmentAll;
    _roads[0].rail->setPosition(_railPos);
    return _roads[0].rail->getFlags();
}

bool ActorPlayer::updateRailJump() {
    if (_bounced || !(_action & (Action_JumpLeft | Action_JumpRight)) || !_roads[2].rail)
        return false;
    Rail* origin = _roads[2].rail;
    const RailPos saved = origin->getRailPos();
    if (!origin->projectPoint(_airPose.position)) {
        origin->setPosition(saved);
        Rail* next = _roads[3].rail;
        if (!next || !next->projectPoint(_airPose.position))
            return false;
        _roads[2] = _roads[3];
        _roads[3] = RoadSlot();
    }
    _roads[2].distance = 0;
    TrainPose pose;
    moveOnRoad(2, _jumpTime * totalSpeed(), pose, nullptr, true);
    _bounced = 1;
    _roads[0] = _roads[2];
    _roads[1] = _roads[3];
    _roads[2] = _roads[3] = RoadSlot();
    _railPos = _roads[0].rail->getRailPos();
    _leadIn = _roads[0].distance;
    _startPose = _airPose;
    _startPose.position -= _currentOffset;
    _startOffset = _currentOffset;
    _actionTime = _jumpTime;
    if (_action == Action_JumpLeft) {
        _action = Action_JumpRight;
        startConductor("jumpright_begin", _jumpTime);
    } else {
        _action = Action_JumpLeft;
        startConductor("jumpleft_begin", _jumpTime);
    }
    return true;
}

void ActorPlayer::update(float dt) {
    updateState(dt);
    if (_conductors)
        _conductors->update(dt);
    if (_nodes)
        _nodes->update();
    if (_animator)
        _animator->update();
    if (_effects)
        _effects->update(dt);
    if (_sounds)
        _sounds->update();
}

void ActorPlayer::updateState(float dt) {
    PlayerGoods& g = _goods;
    g._distance += _frameDistance;

    if (_action != Action_Stay) {
        if (_speedTime > 0)
            g._speed = std::min(_speedMax, std::max(_speedMin, g._speed + (_speedMax - _speedMin) * dt / _speedTime));
        else
            g._speed = _speedMax;
    }

    g._speedUp = 0;
    if (_dashTimer._remaining > 0) {
        const float range = _speedMax - _speedMin;
        const float k = range != 0 ? clampf((g._speed - _speedMin) / range, 0, 1) : 0;
        const float r = _dashTimer._duration > 0 ? _dashTimer._remaining / _dashTimer._duration : 0;
        const float base = std::max(0.0f, 1.0f - std::sin(kPi * r));
        g._dashSpeed = (1.0f - std::pow(base, 1.5f)) * (_dashMin + k * (_dashMax - _dashMin));
    } else {
        g._dashSpeed = 0;
    }

    const Vector3* line = brakeLine();
    g._brakeDrag = -((line ? line->x : _brakeSpeed) * _brakeEnvelope.value());

    g._dashActive = _dashTimer._remaining > 0;
    g._leapActive = _leapTimer._remaining > 0;
    g._cryActive = _cryTimer._remaining > 0;
    g._brakeActive = _brakeEnvelope._remaining > 0;
    const float brakeTotal = _brakeEnvelope.total();
    g._brakeProgress = (_brakeEnvelope.isLocked() && brakeTotal > 0) ? _brakeEnvelope._remaining / brakeTotal * 100 : 0;
    if (g._brakeProgress < 0)
        g._brakeProgress = 0;
    g._brakeCharge = (_brakeEnvelope.isLocked() && _brakeEnvelope._delay > 0)
                         ? clampf(_brakeEnvelope._lock / _brakeEnvelope._delay, 0, 1) * 100
                         : 0;
    g._damageActive = _damageTimer.isRunning();

    g._shieldActive = g._hitActive = g._magnetActive = g._speedActive = g._cameraActive = g._multiplierActive = 0;
    g._shieldPercent = g._hitPercent = g._magnetPercent = g._speedPercent = g._cameraPercent =
        g._multiplierPercent = 0;
    g._autopilot = _autopilot;

    _boosts.update(g, this, dt);

    g._energy = clampf(g._energy, 0, _startGoods._energy);
    const float total = totalSpeed();
    if (total < _speedMin)
        g._speedUp += _speedMin - total;

    if (dt != 0)
        actionTick(dt);

    if (isCrashed()) {
        _velocity = _frameMove = Vector3();
        _frameDistance = 0;
        updateCharacterFlight(dt);
        return;
    }
    _velocity = dt != 0 ? _frameMove / dt : Vector3();
    _startPose.position += _frameMove;
    updatePose();
    updateShadow(dt);
    if (_nodes)
        _nodes->_distance += _frameDistance;
    updateCharacterFlight(dt);
    if (_particleVelocity && _effects)
        _effects->setVelocity(_velocity);
    _frameDistance = 0;
    _frameMove = Vector3();
}

void ActorPlayer::actionTick(float dt) {
    if (_action != Action_Stay && _action != Action_Crash) {
        _actionTime -= dt;
        if (_actionTime <= 0) {
            _actionTime = 0;
            const bool lean = _action == Action_WaggleLeft || _action == Action_WaggleRight;
            const bool railChange = _action == Action_JumpLeft || _action == Action_JumpRight;
            if (railChange)
                startConductor(_action == Action_JumpLeft ? "jumpleft_end" : "jumpright_end", -1);
            if (railChange || (!lean && _leapTimer.isRunning())) {
                _roads[2] = _roads[3] = RoadSlot();
                _bounced = 0;
                _startOffset = _currentOffset = Vector3();
            }
            // A lean holds until waggleBack; only the timed actions return to running.
            if (!lean) {
                _action = Action_Run;
                if (_character)
                    _character->run();
            }
        }
    }
    if (_action == Action_Run && !(_animator && _animator->isPlaying()))
        startConductor("run", -1);

    _dashTimer.tick(dt);
    _cryTimer.tick(dt);
    _brakeEnvelope.tick(dt);
    _damageTimer.tick(dt);
    // A leap is measured in track: its timer runs on the distance of this frame.
    const bool leaping = _leapTimer.isRunning();
    _leapTimer.tick(_frameDistance);
    if (leaping && !_leapTimer.isRunning()) {
        startConductor("leap_end", -1);
        if (_character)
            _character->run();
    }

    const bool brakeShown = _brakeEnvelope.isRunning() && !_leapTimer.isRunning() &&
                            !(_action & (Action_JumpLeft | Action_JumpRight));
    if (_brakeFlag.set(brakeShown ? 1 : 0)) {
        if (brakeShown)
            startConductor("brake", _brakeEnvelope.total());
        else if (_conductors)
            _conductors->stop("brake");
        if (_nodes)
            _nodes->setVisible("brake", brakeShown);
    }

    if (_hitFlag.set(_goods._hitActive)) {
        _visibleFlag._pending = 1;
        if (_effects)
            _effects->setEmitterFlag((_goods._hitActive && _actorHit) ? false : !_effectsHidden);
    }
    updateVisibility();
}

void ActorPlayer::updateVisibility() {
    const bool crashed = isCrashed();
    const bool standing = _action == Action_Stay || crashed;
    const bool flashOn = !_damageTimer.isRunning() || _damageFlashFreq <= 0 ||
                         std::fmod(_damageTimer._remaining, _damageFlashFreq) > _damageFlashFreq * 0.5f;
    const bool shown = _activeFlag && ((_effectsHidden && crashed) || (!_effectsHidden && (standing || flashOn)));
    if (!_visibleFlag.set(shown ? 1 : 0))
        return;
    Actor* character = _character;
    auto show = [](Object* o, bool on) {
        if (o)
            o->setHidden(!on);
    };
    if (!shown) {
        show(this, false);
        show(_actorCrash, false);
        show(_actorHit, false);
        show(character, false);
    } else if (crashed) {
        // Without a wreck the train's own flung bodies are the wreck.
        show(this, !_actorCrash);
        show(_actorHit, false);
        show(_actorCrash, true);
        show(character, true);
    } else if (_goods._hitActive && _actorHit) {
        show(this, false);
        show(_actorCrash, false);
        show(character, false);
        show(_actorHit, true);
    } else {
        show(this, true);
        show(character, true);
        show(_actorCrash, false);
        show(_actorHit, false);
    }
}

void ActorPlayer::airPose(float s, float height, float pow) {
    _airPose.forward = lerp(_startPose.forward, _currentPose.forward, s).normalized();
    if (_airPose.forward.lengthSquared() == 0)
        _airPose.forward = _currentPose.forward;
    _airPose.up = lerp(_startPose.up, _currentPose.up, s).normalized();
    if (_airPose.up.lengthSquared() == 0)
        _airPose.up = _currentPose.up;
    _airPose.position = lerp(_startPose.position, _currentPose.position, s);
    _currentOffset = _startOffset * (1.0f - s);
    const float base = std::max(0.0f, 1.0f - std::sin(kPi * s));
    _currentOffset.z += height * (1.0f - std::pow(base, pow));
    _airPose.position += _currentOffset;
}

void ActorPlayer::showPose(const TrainPose& pose) {
    RailFrame frame;
    frame.direction = pose.forward;
    frame.up = pose.up;
    frame.position = pose.position;
    if (_goods._hitActive && _actorHit)
        placeObjectOnFrame(_actorHit, frame, _railOffset);
    placeObjectOnFrame(this, frame, _railOffset);
}

void ActorPlayer::updatePose() {
    if (!_roads[0].rail)
        return;
    _roads[0].rail->setPosition(_railPos);
    TrainPose a, b;
    moveOnRoad(0, 0, a, nullptr, false);
    _roads[0].rail->setPosition(_railPos);
    moveOnRoad(0, _railWheel2 - _railWheel1, b, nullptr, false);
    _roads[0].rail->setPosition(_railPos);

    Vector3 F = ((a.forward + b.forward) * 0.5f).normalized();
    if (F.lengthSquared() == 0)
        F = a.forward;
    const Vector3 U = (a.up + b.up) * 0.5f;
    Vector3 up = F.cross(U.cross(F)).normalized();
    if (up.lengthSquared() == 0)
        up = a.up;
    _currentPose.forward = F;
    _currentPose.up = up;
    _currentPose.position = a.position - F * _railWheel1;

    if (_leapTimer.isRunning()) {
        airPose(1.0f - _leapTimer.ratio(), _leapHeight, _jumpPow);
        showPose(_airPose);
        return;
    }
    if (_action == Action_JumpLeft || _action == Action_JumpRight) {
        // A rail change of no time is over at once.
        const float s = _jumpTime > 0 ? clampf(1.0f - _actionTime / _jumpTime, 0, 1) : 1.0f;
        airPose(s, _jumpHeight, _jumpPow);
        showPose(_airPose);
        return;
    }
    float theta = 0;
    Vector3 W;
    // Leans of no time sit at their end: fully out, or back.
    const float r = _waggleTime > 0 ? _actionTime / _waggleTime : 0.0f;
    if (_action == Action_WaggleLeft) {
        theta = -(1.0f - r) * _waggleAngle;
        W = _waggleLeftPos;
    } else if (_action == Action_WaggleRight) {
        theta = (1.0f - r) * _waggleAngle;
        W = _waggleRightPos;
    } else if (_action == Action_WaggleBack) {
        if (_previousAction == Action_WaggleRight) {
            theta = _waggleAngle * r;
            W = _waggleRightPos;
        } else if (_previousAction == Action_WaggleLeft) {
            theta = -_waggleAngle * r;
            W = _waggleLeftPos;
        }
    }
    TrainPose shown = _currentPose;
    if (theta != 0) {
        const Vector3 side = F.cross(up);
        const Vector3 w = side * W.x + F * W.y + up * W.z;
        shown.up = rotateAboutAxis(up, F, theta);
        shown.position = shown.position + w - rotateAboutAxis(w, F, theta);
    }
    showPose(shown);
}

void ActorPlayer::updateShadow(float dt) {
    _shadowFade.tick(dt);
    NodeContainer* nodes = (_goods._hitActive && _actorHit && _actorHit->_nodes) ? _actorHit->_nodes : _nodes;
    ShadowEntry* shadow = nodes ? nodes->findShadow("game") : nullptr;
    if (!shadow || !shadow->shadow)
        return;
    const bool shown = _shadowFade.time() > 0 || _shadowFade._rising;
    if (_shadowFlag.set(shown ? 1 : 0)) {
        nodes->_shadowsEnabled = shown;
        shadow->shadow->setHidden(!shown);
    }
    if (shown)
        setObjectColor(shadow->shadow, Vector4(1, 1, 1, _shadowFade.ratio()));
}

void ActorPlayer::updateCharacterFlight(float dt) {
    if (_characterDieFlyTimer.tick(dt))
        _characterDieCameraTimer.start();
    else if (!_characterDieFlyTimer.isRunning())
        _characterDieCameraTimer.tick(dt);
    if (!_character)
        return;
    Object* node = _characterNode ? _characterNode : this;
    const Matrix4& base = node->_transform->_world;
    Camera* camera = _world ? _world->getCamera() : nullptr;
    if (isCrashed() && camera) {
        const Matrix4& cw = camera->_transform->_world;
        const Vector3 r = unitRow(cw, 0), u = unitRow(cw, 1), b = unitRow(cw, 2);
        const Vector3 cp = cw.getTranslation();
        // Facing the camera: forward towards the eye, up the camera's up, tilted by the
        // crash angle about the line of sight.
        Vector3 faceRows[3] = {(-r), b, u};
        Quaternion target = Quaternion::fromRows(faceRows) * Quaternion::fromAxisAngle(b, _crashAngle);
        target = target.normalized();
        const Vector3 A = cp + r * _crashFling1.x + u * _crashFling1.y + b * _crashFling1.z;
        const Vector3 B = cp + r * _crashFling2.x + u * _crashFling2.y + b * _crashFling2.z;
        Quaternion orientation = target;
        Vector3 position;
        if (_characterDieFlyTimer.isRunning()) {
            const float k = _characterDieFlyTimer.ratio();
            const Vector3 baseRows[3] = {unitRow(base, 0), unitRow(base, 1), unitRow(base, 2)};
            orientation = slerp(target, Quaternion::fromRows(baseRows), k);
            position = A + (base.getTranslation() - A) * k;
        } else {
            const float k = _characterDieCameraTimer.ratio();
            const float c = 1.0f - std::cos(kPi * 0.5f * (1.0f - k));
            position = lerp(A, B, c * c);
        }
        Vector3 rows[3];
        orientation.toRows(rows);
        _character->setTransform(rows, position, Vector3(1, 1, 1));
    } else {
        const Vector3 rows[3] = {base.row3(0), base.row3(1), base.row3(2)};
        _character->setTransform(rows, base.getTranslation(), Vector3(1, 1, 1));
    }
    _character->update(dt);
}

}  // namespace Zelvan

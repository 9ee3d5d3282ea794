#include "game/stage/ZelvanStageCamera.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/random.h"
#include "engine/sound/sfx.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/actors/ZelvanTrackServices.h"
#include "game/track/ZelvanLevelCamera.h"

namespace Zelvan {

namespace {

const int32_t kCameraTypeId = 1001;
const float kDegPerRad = 57.29578f;
const float kRadPerDeg = 0.017453292f;
// A wider or narrower view than this breaks the projection.
const float kFovMin = 1.0f, kFovMax = 170.0f;

Vector3 readVector(const ConfigStore& cfg, const std::string& key, const Vector3& current) {
    std::string text;
    Vector3ToString(text, current);
    Vector3 v = current;
    Vector3FromString(v, cfg.getString(key, text.c_str()));
    return v;
}

Vector3 pointToWorld(ActorPlayer* player, const Vector3& local) {
    const Matrix4& w = player->_transform->_world;
    return w.getTranslation() + w.row3(0).normalized() * local.x + w.row3(1).normalized() * local.y +
           w.row3(2).normalized() * local.z;
}

}  // namespace

StageCamera* StageCamera::create(World* world) {
    XASSERT_AT(world, __FILE__);
    return world ? new StageCamera(world) : nullptr;
}

StageCamera::StageCamera(World* world) : _world(world) {
    _camera = new Camera(nullptr);
    _camera->_typeId = kCameraTypeId;
    load("camera");
}

StageCamera::~StageCamera() {
    if (_world && _world->getCamera() == _camera)
        _world->setCamera(nullptr);
    if (_world && _camera->_physicsBody) {
        _world->destroyBody(_camera->_physicsBody);
        _camera->_physicsBody = nullptr;
    }
    delete _camera;
}

void StageCamera::load(const std::string& p) {
    const ConfigStore& cfg = ConfigStore::instance();
    auto f = [&](const char* key, float current) { return cfg.getFloat(p + key, current); };
    _nearPlane = std::max(0.0f, f(".nearPlane", _nearPlane));
    _farPlane = std::max(0.0f, f(".farPlane", _farPlane));
    _fovSY = cfg.getBool(p + ".fovSY", _fovSY);
    _headRollDiv = f(".headRollDiv", _headRollDiv);
    _headRollPow = f(".headRollPow", _headRollPow);
    _headRollMul = f(".headRollMul", _headRollMul);
    _railSpeedMin = f(".railSpeedMin", _railSpeedMin);
    _railSpeedMax = f(".railSpeedMax", _railSpeedMax);
    _railFreq = f(".railFreq", _railFreq);
    _railPow = f(".railPow", _railPow);
    _railAmpl = f(".railAmpl", _railAmpl);
    _shakeTime = std::max(0.0001f, f(".shakeTime", _shakeTime));
    _shakeFreq = f(".shakeFreq", _shakeFreq);
    _shakeAmplTarget = f(".shakeAmplTarget", _shakeAmplTarget);
    _shakeAmplRoll = f(".shakeAmplRoll", _shakeAmplRoll);
    _wingAmplitude = readVector(cfg, p + ".wingAmplitude", _wingAmplitude);
    _wingAngularVelocity = readVector(cfg, p + ".wingAngularVelocity", _wingAngularVelocity * kDegPerRad) * kRadPerDeg;
    _wingAngularOffset = readVector(cfg, p + ".wingAngularOffset", _wingAngularOffset * kDegPerRad) * kRadPerDeg;
    _collisionSphere = f(".collisionSphere", _collisionSphere);
    const bool collisionEnable = cfg.getBool(p + ".collisionEnable", false);
    Vector3 box = readVector(cfg, p + ".collisionBox", Vector3(1, 1, 1));
    box = Vector3(std::max(0.0f, box.x), std::max(0.0f, box.y), std::max(0.0f, box.z));
    if (!collisionEnable || !_world)
        return;
    if (_camera->_physicsBody) {
        _world->destroyBody(_camera->_physicsBody);
        _camera->_physicsBody = nullptr;
    }
    static const Vector3 kIdentity[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    btRigidBody* rigid = _world->createBoxBody(nullptr, box * 0.5f, kIdentity, Vector3(), 0.0f);
    if (!rigid)
        return;
    Body* body = _world->createBody(nullptr, rigid, Body::Kinematic_Camera, Vector3());
    if (!body) {
        _world->destroyRigidBody(nullptr, rigid);
        return;
    }
    _camera->_physicsBody = body;
    _camera->updateTransform();
}

void StageCamera::attach() {
    if (!_world)
        return;
    _world->setCamera(_camera);
    setObjectPhysicsEnabled(_camera, true);
}

void StageCamera::reset() {
    _snap = true;
    _wingTime = _railPhase = _shakeTimeLeft = 0;
}

void StageCamera::applyLevelCamera(const LevelCamera* c, ActorPlayer* player) {
    if (!c)
        return;
    const int32_t oldMode = _cameraMode;
    _cameraMode = c->_mode;
    _cameraTargetDamp = c->_targetDamp;
    _cameraOffsetDamp = c->_offsetDamp;
    _cameraRoll = c->_roll;
    _cameraFov = c->_fov;
    _cameraSpeedFov = c->_speedFov;
    _cameraFollow = c->_follow;
    _cameraTarget = c->_target;
    _cameraOffset = c->_offset;
    if (((oldMode ^ _cameraMode) & 2) && player) {
        const Vector3 w = player->getWorldPosition();
        if (_cameraMode & 2) {
            _target += w;
            _eye += w;
        } else {
            _target -= w;
            _eye -= w;
        }
    }
}

void StageCamera::applyTransform(const Matrix4& m) {
    if (!(_cameraMode & 2))
        return;
    const Vector3 up = m.transformVector(_up).normalized();
    if (up.lengthSquared() > 0)
        _up = up;
    _target = m.transformPoint(_target);
    _eye = m.transformPoint(_eye);
}

void StageCamera::shake(float strength) {
    _shakeTimeLeft = strength * _shakeTime;
    _shakeStrength = strength;
    MotherRandom& random = motherRandom();
    for (float& phase : _shakePhase)
        phase = (float)random.nextDouble() * kTwoPi - kPi;
}

void StageCamera::update(float dt, Level* level, ActorPlayer* player, const Vector3& movement, float step) {
    XASSERT_AT(level && player, __FILE__);
    if (!level || !player)
        return;
    const Matrix4& pw = player->_transform->_world;
    const Vector3 W = pw.getTranslation();
    const Vector3 X = pw.row3(0).normalized(), Y = pw.row3(1).normalized(), Z = pw.row3(2).normalized();
    const PlayerGoods& goods = player->_goods;

    Vector3 T = (_cameraMode & 1) ? W + _cameraTarget : pointToWorld(player, _cameraTarget);
    Vector3 E = (_cameraMode & 1) ? W + _cameraOffset : pointToWorld(player, _cameraOffset);
    if (!(_cameraMode & 2)) {
        T -= W;
        E -= W;
    } else {
        const Vector3 follow = X * (_cameraFollow.x * X.dot(movement)) + Y * (_cameraFollow.y * Y.dot(movement)) +
                               Z * (_cameraFollow.z * Z.dot(movement));
        _target += follow;
        _eye += follow;
    }

    float h = 0;
    if (_headRollDiv != 0) {
        const float x = _camera->_transform->_world.row3(0).normalized().dot(_eye - E);
        const float sign = x >= 0 ? 1.0f : -1.0f;
        h = sign * _headRollMul * std::pow(std::min(1.0f, std::fabs(x / _headRollDiv)), _headRollPow);
    }
    const float range = player->_speedMax - player->_speedMin;
    const float total = player->totalSpeed();
    const float s = range != 0 ? (total - player->_speedMin) / range : 0.0f;
    Vector3 levelUp = _track ? _track->getUpAxis(level) : Vector3(0, 0, 1);
    if (levelUp.lengthSquared() == 0)
        levelUp = Vector3(0, 0, 1);
    // The speed widening never takes the view past what a projection can show.
    const float wantedFov = clampf(_cameraFov + _cameraSpeedFov * s, kFovMin, kFovMax);

    if (!_snap) {
        const float a = std::min(1.0f, _cameraOffsetDamp * dt);
        const float b = std::min(1.0f, _cameraTargetDamp * dt);
        _roll += (h + _cameraRoll - _roll) * a;
        _fov += (wantedFov - _fov) * a;
        const Vector3 up = (_up + (levelUp - _up) * a).normalized();
        if (up.lengthSquared() > 0)
            _up = up;
        _target += (T - _target) * b;
        _eye += (E - _eye) * a;
    } else {
        _snap = false;
        _roll = _cameraRoll + h;
        _fov = wantedFov;
        _up = levelUp.normalized();
        _target = T;
        _eye = E;
    }

    View view;
    view.up = _up;
    view.target = _target;
    view.eye = _eye;
    view.roll = _roll;
    view.fov = _fov;
    view.nearPlane = _nearPlane;
    view.farPlane = _farPlane;

    _railPhase += step;
    const float w = std::sin(_railFreq * kTwoPi * _railPhase);
    float g = 0;
    if (_railSpeedMax != _railSpeedMin) {
        const float fr = std::max(0.0f, (total - _railSpeedMin) / (_railSpeedMax - _railSpeedMin));
        g = fr > 1 ? 0.0f : 1.0f - fr;
    }
    view.target += _up * (_railAmpl * g * std::pow(0.5f * w + 0.5f, _railPow));

    if (_shakeTimeLeft > 0) {
        const float q = player->_speedMax != 0 ? goods._speed / player->_speedMax : 0.0f;
        const float denom = _shakeTime * _shakeStrength;
        const float falloff = denom > 0 ? _shakeTimeLeft / denom : 0.0f;
        const float t = _shakeTimeLeft * kTwoPi * _shakeFreq;
        const float m = _shakeStrength * q * falloff;
        for (int i = 0; i < 3; ++i)
            view.target[i] += std::cos(_shakePhase[i] + t) * m * _shakeAmplTarget;
        view.roll += std::cos(_shakePhase[3] + t) * m * _shakeAmplRoll;
        _shakeTimeLeft -= dt;
    }

    _wingTime += dt;
    for (int i = 0; i < 3; ++i)
        view.eye[i] += std::cos(_wingAngularOffset[i] + _wingAngularVelocity[i] * _wingTime) * _wingAmplitude[i];

    placeCamera(view, player);

    const Vector3 position = _camera->getPosition();
    sfx_SetListenerPosition(position.x, position.y, position.z);
    Vector3 rows[3];
    _camera->getRotation(rows);
    // OpenAL wants the direction looked in; the camera's third row points backwards.
    const Vector3 at = -rows[2].normalized();
    const Vector3 up = rows[1].normalized();
    sfx_SetListenerOrientation(at.x, at.y, at.z, up.x, up.y, up.z);
}

void StageCamera::placeCamera(const View& view, ActorPlayer* player) {
    const Vector3 b = (view.eye - view.target).normalized();
    const Vector3 r = view.up.cross(b).normalized();
    if (b.lengthSquared() > 0 && r.lengthSquared() > 0) {
        const Vector3 u = b.cross(r);
        const float rho = view.roll * kRadPerDeg;
        _rows[0] = r * std::cos(rho) + u * std::sin(rho);
        _rows[1] = u * std::cos(rho) - r * std::sin(rho);
        _rows[2] = b;
    }  // otherwise the eye sits on the target or looks along up: the last good rotation stays

    const float width = IGame::hostWidth(), height = IGame::hostHeight();
    const float aspect = (width > 0 && height > 0) ? width / height : 1.0f;
    const float fov = _fovSY ? view.fov : view.fov * aspect;
    _camera->setPerspective(clampf(fov, kFovMin, kFovMax), aspect, view.nearPlane, view.farPlane);
    _camera->setRotation(_rows);

    Vector3 position = view.eye;
    if (!(_cameraMode & 2) && player)
        position = player->getWorldPosition() + view.eye - player->_currentOffset;
    _camera->setPosition(position);
}

// ---------------------------------------------------------------------------------------------

CameraStacks::~CameraStacks() { clear(); }

void CameraStacks::clear() {
    for (auto& stack : _stacks)
        stack.clear();
    for (LevelCamera* c : _cameras)
        delete c;
    _cameras.clear();
}

void CameraStacks::addCamera(LevelCamera* camera) {
    if (camera)
        _cameras.push_back(camera);
}

LevelCamera* CameraStacks::findCamera(const std::string& name) const {
    for (LevelCamera* c : _cameras)
        if (c->_name == name)
            return c;
    return nullptr;
}

const LevelCamera* CameraStacks::top() const {
    for (int p = PriorityCount - 1; p >= 0; --p)
        if (!_stacks[p].empty())
            return _stacks[p].back().camera;
    return nullptr;
}

int32_t CameraStacks::pushCamera(int32_t priority, const LevelCamera* camera) {
    if (priority < 0 || priority >= PriorityCount || !camera)
        return 0;
    const int32_t handle = ++_handleCounter;
    _stacks[priority].push_back(Entry{handle, camera});
    bool above = false;
    for (int p = priority + 1; p < PriorityCount; ++p)
        above = above || !_stacks[p].empty();
    if (!above && _stageCamera)
        _stageCamera->applyLevelCamera(camera, _player);
    return handle;
}

bool CameraStacks::popCamera(int32_t handle) {
    if (handle == 0)
        return false;
    for (int p = 0; p < PriorityCount; ++p) {
        std::vector<Entry>& stack = _stacks[p];
        for (size_t i = 0; i < stack.size(); ++i) {
            if (stack[i].handle != handle)
                continue;
            const bool wasTop = i + 1 == stack.size();
            stack.erase(stack.begin() + (long)i);
            bool above = false;
            for (int q = p + 1; q < PriorityCount; ++q)
                above = above || !_stacks[q].empty();
            if (!wasTop || above)
                return true;
            if (const LevelCamera* c = top())
                if (_stageCamera)
                    _stageCamera->applyLevelCamera(c, _player);
            return true;
        }
    }
    return false;
}

}  // namespace Zelvan

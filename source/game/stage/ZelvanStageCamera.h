#pragma once
// The follow camera of a run and the stacks that decide which level camera it follows.
//
// StageCamera owns the world's active camera and places it every frame behind and around the
// train from the level camera in force: a look-at point and an eye point relative to the train,
// each damped, a roll that leans into sideways motion, a field of view that widens with speed, a
// wobble at low speed, a decaying shake and a slow sway of the eye. It keeps the sound listener
// on the camera.
//
// CameraStacks holds the loaded level cameras and five stacks of entries, one per priority
// (0 level set or group, 1 duck and fly stretches, 2 boosts, 3 death, 4 menus); the top entry of
// the highest non-empty stack is applied to the stage camera. The stage owns both.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"

class Camera;
class World;

namespace Zelvan {

class ActorPlayer;
class Level;
class LevelCamera;
class TrackServices;

class StageCamera {
public:
    struct View {
        Vector3 up, target, eye;
        float roll = 0, fov = 90, nearPlane = 1, farPlane = 150;
    };

    static StageCamera* create(World* world);
    explicit StageCamera(World* world);
    ~StageCamera();
    StageCamera(const StageCamera&) = delete;
    StageCamera& operator=(const StageCamera&) = delete;

    // Reads the settings under the prefix ("camera" at construction).
    void load(const std::string& prefix);
    // Makes the camera the world's and its body part of the physics world.
    void attach();
    void reset();
    void applyLevelCamera(const LevelCamera* camera, ActorPlayer* player);
    void applyTransform(const Matrix4& m);
    void shake(float strength);
    void update(float dt, Level* level, ActorPlayer* player, const Vector3& movement, float step);
    void placeCamera(const View& view, ActorPlayer* player);

    Camera* getCamera() const { return _camera; }
    // Where the level's up axis comes from (none: world Z).
    void setTrack(TrackServices* track) { _track = track; }

    World* _world = nullptr;
    Camera* _camera = nullptr;
    TrackServices* _track = nullptr;

    float _nearPlane = 1.0f, _farPlane = 150.0f;
    bool _fovSY = true;
    float _headRollDiv = 1.5f, _headRollPow = 2.0f, _headRollMul = 5.0f;
    float _railSpeedMin = 5.0f, _railSpeedMax = 10.0f, _railFreq = 0.25f, _railPow = 1.0f, _railAmpl = 0.01f;
    float _shakeTime = 0.5f, _shakeFreq = 8.0f, _shakeAmplTarget = 0.5f, _shakeAmplRoll = 10.0f;
    Vector3 _wingAmplitude{0.025f, 0.025f, 0.025f};
    Vector3 _wingAngularVelocity{1.1f, 1.3f, 1.5f};  // radians per second
    Vector3 _wingAngularOffset{123.0f, 2.0f, 335.0f};  // radians
    float _collisionSphere = 1.0f;

    // The level camera in force (the level cameras' own defaults until one is applied).
    int32_t _cameraMode = 2;
    float _cameraTargetDamp = 5.0f, _cameraOffsetDamp = 3.0f;
    float _cameraRoll = 0, _cameraFov = 90.0f, _cameraSpeedFov = 0;
    Vector3 _cameraFollow{0, 1, 1};
    Vector3 _cameraTarget{0, 0, 0};
    Vector3 _cameraOffset{0, -5, 3};

    bool _snap = true;
    float _roll = 0, _fov = 90.0f;
    Vector3 _up{0, 0, 1};
    Vector3 _target, _eye;
    float _railPhase = 0;
    float _shakeTimeLeft = 0, _shakeStrength = 1.0f;
    float _shakePhase[4] = {0, 0, 0, 0};
    float _wingTime = 0;
    // The last rotation that could be built; kept when eye, target and up leave no frame.
    Vector3 _rows[3] = {Vector3(1, 0, 0), Vector3(0, 0, 1), Vector3(0, -1, 0)};
};

class CameraStacks {
public:
    enum { PriorityCount = 5 };
    struct Entry {
        int32_t handle = 0;
        const LevelCamera* camera = nullptr;
    };

    CameraStacks() {}
    ~CameraStacks();
    CameraStacks(const CameraStacks&) = delete;
    CameraStacks& operator=(const CameraStacks&) = delete;

    // Where the top camera goes, and the train it follows (both may be null).
    void bind(StageCamera* stageCamera, ActorPlayer* player) {
        _stageCamera = stageCamera;
        _player = player;
    }
    void setPlayer(ActorPlayer* player) { _player = player; }

    // Takes ownership.
    void addCamera(LevelCamera* camera);
    LevelCamera* findCamera(const std::string& name) const;
    // A handle (1, 2, ...; never reused), or 0 for a null camera or a priority outside 0..4.
    int32_t pushCamera(int32_t priority, const LevelCamera* camera);
    // False for 0 or a handle no entry has.
    bool popCamera(int32_t handle);
    // The camera in force, or null.
    const LevelCamera* top() const;
    void clear();

    std::vector<Entry> _stacks[PriorityCount];
    int32_t _handleCounter = 0;
    std::vector<LevelCamera*> _cameras;
    StageCamera* _stageCamera = nullptr;
    ActorPlayer* _player = nullptr;
};

}  // namespace Zelvan

#pragma once
// The player's train: an actor that follows the rails of the road, changes rails, leaps, dashes,
// brakes, cries, leans, takes damage and crashes; it carries the active boosts, the player's goods
// and a riding character.
//
// The stage drives it every frame: while a run goes and the train has not crashed it puts the
// continuation of the rail under the train into road slot 1 and calls advance with the total
// speed times the frame time; then, running or not, it calls update, which computes the next
// speed, runs the timers and boosts, and builds the pose from the rails under the wheels.
//
// Teardown: the stage calls detach (through its pool or directly) while the world and the boost
// container still exist; the destructor only forgets the crash and hit objects and the boosts.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine/random.h"
#include "game/ZelvanTimers.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanBoost.h"
#include "game/actors/ZelvanPlayerGoods.h"
#include "game/actors/ZelvanTrackServices.h"
#include "game/track/ZelvanRail.h"

namespace Zelvan {

class ActorCharacter;
class CameraStacks;

// The generator the crash fling and the autopilot share (seeded with 111 on first use).
MotherRandom& autopilotRandom();

struct TrainPose {
    Vector3 forward{0, 1, 0};
    Vector3 up{0, 0, 1};
    Vector3 position;
};

class ActorPlayer : public Actor {
public:
    enum Action {
        Action_Start = 1,
        Action_Stay = 2,
        Action_Run = 4,
        Action_WaggleLeft = 8,
        Action_WaggleBack = 16,
        Action_WaggleRight = 32,
        Action_JumpLeft = 128,
        Action_JumpRight = 256,
        Action_NoJump = 512,
        Action_Crash = 2048,
    };

    ActorPlayer(World* world, Scene* scene, Object* parent);
    static Object* create(World* world, Scene* scene, Object* parent);
    ~ActorPlayer() override;

    // Registers every object file of "actorPlayer.players" with the world's class registry.
    static void registerPlayers(World* world);

    // ---- Set-up ----
    void createComponents() override;
    // The loading step: nodes, sounds, conductors and tuning under the player's name; node sets
    // "menu" hidden and "game" shown; the outline colour.
    void load(const std::string& name);
    // Reads the tuning keys under the prefix (each with its current value as default), then the
    // "_pref" overrides of the user defaults.
    void loadTuning(const std::string& prefix);
    void reset() override;
    // Gives the crash and hit objects back to their pools and the boosts to their container, and
    // lets the character go. The stage calls it before deleting the world and the boost container.
    void detach() override;
    void update() override;  // the node's own update only; the stage calls update(dt)
    bool isActive() override { return _activeFlag != 0; }
    void setActive(bool on) override;
    void setDefaultLights() override;
    void setLights(const std::vector<Light*>& lights) override;
    void applyTransform(const Matrix4& matrix) override;
    void setParticleSystem(PSParticleSystem* system) override;
    void debugDraw(DebugDraw* draw) override;

    void setRoad(int index, const RoadSlot& road);
    const RoadSlot& getRoad(int index) const { return _roads[index]; }
    void setCharacter(ActorCharacter* character);
    ActorCharacter* getCharacter() const { return _character; }
    void takeOver(ActorPlayer* other);
    void setWord(const std::string& word);
    Vector3 getVelocity() const;
    void setEffectsHidden(bool hidden);

    // ---- Actions ----
    void stay();
    void run();
    void waggleLeft();
    void waggleRight();
    void waggleBack();
    void leap();
    void jumpLeft(Rail* rail, Level* level);
    void jumpRight(Rail* rail, Level* level);
    void noJumpLeft();
    void noJumpRight();
    void dash();
    void cry();
    void brake();
    void releaseBrake();
    bool rechargeBrake();
    void hit(float damage);
    void crash();
    void setFlying(bool on);
    void addBoost(Boost* boost);

    // ---- Movement ----
    int advance(float d, float* moved, Vector3* displacement);
    // Every bit allowed without a rail under the train.
    uint32_t getRailFlags();
    bool moveOnRoad(int slot, float d, TrainPose& pose, float* moved, bool commit);
    bool updateRailJump();
    void update(float dt);
    void updateState(float dt);
    void updatePose();

    float totalSpeed() const { return _goods._speed + _goods._speedUp + _goods._dashSpeed + _goods._brakeDrag; }
    bool isCrashed() const { return _action == Action_Crash; }
    bool isLeaping() const { return _leapTimer.isRunning(); }
    int32_t getAction() const { return _action; }

    // ---- Record ----
    Actor* _actorCrash = nullptr;
    Actor* _actorHit = nullptr;
    std::string _playerName = "actorPlayer";
    std::string _cameraDuck, _cameraFly, _cameraDeath;
    Vector3 _railOffset;

    float _railWheel1 = -1, _railWheel2 = 1;
    float _railSize1 = -1, _railSize2 = 1;
    float _speedMin = 5, _speedMax = 20, _speedStart = 10, _speedTime = 30;
    float _waggleAngle = degToRad(45);
    Vector3 _waggleLeftPos{-1, 0, 0}, _waggleRightPos{1, 0, 0};
    float _waggleTime = 0.25f;
    float _dashMin = 20, _dashMax = 20;
    float _dashRadius = 2.5f;
    float _leapHeight = 1;
    float _itemScale = 1;
    float _railBlendDistance = 5;
    float _jumpPow = 1, _jumpHeight = 0.5f, _jumpTime = 0.5f, _nojumpTime = 0.1f;
    Vector2 _jumpFutureFactor{0.5f, 1};
    float _autopilotJumpDistance = 3, _autopilotJumpSideDistance = 5, _autopilotLeapDistance = 2;
    float _collectRadius = 0;
    float _pushStrength = 1;

    uint8_t _activeFlag = 1;
    uint8_t _effectsHidden = 0;
    ChangeFlag _visibleFlag;

    Object* _body = nullptr;  // the node whose physics body answers getVelocity
    Object* _characterNode = nullptr;
    ActorCharacter* _character = nullptr;  // not owned
    // The stage's camera stacks, which the camera and speed boosts push to (not owned; may be null).
    CameraStacks* _cameras = nullptr;
    RoadSlot _roads[4];

    uint8_t _godMode = 0, _autopilot = 0;
    int32_t _previousAction = Action_WaggleBack;
    int32_t _action = Action_Start;
    float _actionTime = 0;
    float _frameDistance = 0;
    Vector3 _frameMove, _velocity;
    uint8_t _bounced = 0;

    CooldownTimer _dashTimer, _leapTimer;
    float _cryRadius = 50;
    CooldownTimer _cryTimer;
    float _brakeSpeed = 5, _brakeHoldTime = 2, _brakeDelayDef = 1, _brakeDelayUpload = 0.1f;
    EnvelopeTimer _brakeEnvelope;
    ChangeFlag _brakeFlag;
    std::vector<Vector3> _brakeUpdates;  // (speed, hold time, delay)
    int32_t _brakeLevel = 0;

    ChangeFlag _hitFlag;
    float _damageFlashFreq = 0.1f;
    float _damageDelay = 1;
    Countdown _damageTimer;
    Fade _shadowFade;
    ChangeFlag _shadowFlag;
    Countdown _characterDieFlyTimer, _characterDieCameraTimer;

    Vector3 _crashFling1, _crashFling2;
    float _crashAngle = 0;
    bool _particleVelocity = false;

    RailPos _railPos;
    float _leadIn = 0;
    TrainPose _startPose, _currentPose, _airPose;

    PlayerGoods _startGoods, _goods;
    BoostList _boosts;
    Vector3 _startOffset, _currentOffset;

private:
    void loadCrashObjects(const std::string& crashFile, const std::string& hitFile);
    Actor* takeObject(const std::string& file);
    void giveBack(Actor*& actor);
    void resetPoses();
    void stopTimers();
    void actionTick(float dt);
    void updateVisibility();
    void updateShadow(float dt);
    void updateCharacterFlight(float dt);
    void startConductor(const char* name, float duration);
    void startRailChange(Rail* rail, Level* level, bool left);
    Vector3 slotPoint(const RoadSlot& slot) const;
    void airPose(float s, float height, float jumpPow);
    void showPose(const TrainPose& pose);
    const Vector3* brakeLine() const;
};

}  // namespace Zelvan

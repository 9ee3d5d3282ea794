#pragma once
// The stage: one running game. It owns the world with its cameras, lights and post-processing
// targets, the menu, the game modes, the control, the containers of words, boosts, proxies,
// notifications and texts, the level pool and the road, the loaded characters, players, skins,
// atmospheres, level cameras and level group sets, and the state of the current run.
//
// A process-wide singleton (Stage::get). The class is split over several files:
//   ZelvanStage.cpp        creation, start-up, registries, input, particles, teardown
//   ZelvanStageRun.cpp     run states and runs
//   ZelvanStageUpdate.cpp  the per-frame update and origin rebasing
//   ZelvanStageLook.cpp    level-set transitions, level look, lights, post-processing
//   ZelvanStagePickups.cpp pickups, words and HUD values
//
// Everything runs on the main thread.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/clock.h"
#include "engine/math.h"
#include "engine/render/PSParticleSystem.h"
#include "game/ZelvanTimers.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanAtmosphere.h"

class Camera;
class DebugDraw;
class Light;
class Mesh;
class RenderTarget;
class World;

namespace Zelvan {

class ActorCharacter;
class ActorItemGift;
class ActorPlayer;
class Atmosphere;
class Boost;
class BoostContainer;
class Control;
class Game;
class Level;
class LevelCamera;
class LevelGroupSet;
class LevelPool;
class LevelSkin;
class Loader;
class Menu;
class NotificationContainer;
class ProxyContainer;
class Road;
class WordContainer;

class Stage : public HdrSettings {
public:
    enum RunState { StateIdle = 0, StateStanding = 1, StateRunning = 2, StatePaused = 3 };
    // Transition state: 0 none; 1 a stargate was entered and the switch waits; 2 a stargate switch
    // has happened; 3 the return to the start set waits; 4 the switch to a random map waits.
    enum Transition {
        TransitionNone = 0,
        TransitionStargate = 1,
        TransitionArrived = 2,
        TransitionStartSet = 3,
        TransitionRandomMap = 4,
    };
    // Camera stack priorities.
    enum CameraPriority {
        CameraLevelSet = 0,
        CameraRail = 1,
        CameraBoost = 2,
        CameraDeath = 3,
        CameraMenu = 4,
    };

    // Hands the particle system's released emitters to whoever holds them.
    class ParticleEvent : public IPSEventHandler {
    public:
        void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override;
    };

    // ---- Singleton and life (ZelvanStage.cpp) ----
    static Stage* create();
    static Stage* get();
    // Deletes the stage when it exists; 0.
    static int destroyInstance();

    Stage();
    virtual ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // Particle debug hook: restart the effects of the player and the levels, reload the system.
    virtual void debugParticles(bool restart, bool reload);
    // The shutdown; safe to call once, the destructor calls it when it has not run.
    virtual void destroy();
    // Start-up: configuration, containers, world, post chain, control, modes, road and the
    // loader's queue. Called once.
    void init();

    // ---- Registries (ZelvanStage.cpp) ----
    Atmosphere* findAtmosphere(const std::string& name) const;
    LevelCamera* findCamera(const std::string& name) const;
    // By the skin's configuration key.
    LevelSkin* findSkin(const std::string& name) const;
    // By the configuration name (the word of "actorCharacter.characters", "actorPlayer.players"),
    // as the start keys, the shop and the profile name them.
    ActorCharacter* findCharacter(const std::string& name) const;
    ActorPlayer* findPlayer(const std::string& name) const;
    void addAtmosphere(Atmosphere* atmosphere);
    void addCamera(LevelCamera* camera);
    void addSkin(LevelSkin* skin);
    void addCharacter(ActorCharacter* character);
    void addPlayer(ActorPlayer* player);
    void setSkin(LevelSkin* skin);
    bool selectSkin(const std::string& name);
    void clearSkins();
    void setCharacter(ActorCharacter* character);
    bool selectCharacter(const std::string& name);
    void clearCharacters();
    void setPlayer(ActorPlayer* player);
    bool selectPlayer(const std::string& name);
    void createLights();

    // ---- Input forwarders (ZelvanStage.cpp) ----
    void onTouch(int type, int finger, const Vector2& position, const Vector2& movement);
    void onKey(const InputEvent& event);
    void onAccelerometer(float x, float y, float z);

    // ---- Debug accessors (ZelvanStage.cpp) ----
    bool isRailsDebug() const;
    void setRailsDebug(bool on);
    // The world's camera when on, else null.
    Camera* setFreeCamera(bool on);
    bool isTurbo() const { return _turbo; }
    void setTurbo(bool on) { _turbo = on; }

    // ---- Camera stacks (ZelvanStage.cpp) ----
    // A handle, 0 when nothing was pushed (priority above 4 or no camera).
    int32_t pushCamera(int32_t priority, const LevelCamera* camera);
    void popCamera(int32_t handle);
    // Empties one stack; when no stack above it holds an entry, the top of the highest non-empty
    // stack is applied again.
    void clearCameraStack(int32_t priority);

    // ---- Run states and runs (ZelvanStageRun.cpp) ----
    // The previous state.
    int32_t setState(int32_t state);
    void startRun();
    void resetRun();
    void retryRun();
    void applyPurchases();
    void setMusicTrack(const std::string& file);
    void setMusicVolume(float volume);
    void setSoundVolume(float volume);
    void placePlayer(ActorPlayer* player);
    void clearItemsAhead(ActorPlayer* player);
    void onPause();
    void onResume();
    // Stacks 1 to 3 emptied, the fly and duck camera handles cleared (reset and retry).
    void clearRunCameras();

    // ---- Per-frame update (ZelvanStageUpdate.cpp) ----
    void update();
    void loadingTick();
    void updateGame();
    void rebaseOrigin();
    void drawDebugRails();

    // ---- Level-set transitions, look, lights, post-processing (ZelvanStageLook.cpp) ----
    LevelGroupSet* registerLevelGroupSet(const std::string& name);
    void setLevelGroupSet(LevelGroupSet* set);
    bool changeLevelGroupSet(const std::string& name);
    void advanceRoad(float distance);
    void updateLevelLook();
    void setTransition(int32_t type);
    void enterStargate();
    void returnToStartSet();
    void randomMapSet();
    Atmosphere* randomAtmosphere();
    void applyLevelLights(Level* level);
    void blendLevelLights(Level* level1, Level* level2, float t);
    void buildPostChain(World* world);
    void setHdrExposure(float value, bool persist) override;
    void setHdrEnableTonemap(float value, bool persist) override;
    void setHdrBrightThreshold(float value, bool persist) override;
    void setHdrBrightOffset(float value, bool persist) override;
    float storedHdrExposure() const;
    float storedHdrEnableTonemap() const;
    float storedHdrBrightThreshold() const;
    float storedHdrBrightOffset() const;

    // ---- Pickups, words and HUD values (ZelvanStagePickups.cpp) ----
    Boost* giftBoost(ActorItemGift* gift);
    std::vector<std::pair<Level*, ActorItemGift*>> findGiftsByObject(const std::string& objectFile);
    // Collects every pair and removes it from its level.
    void collectGifts(const std::vector<std::pair<Level*, ActorItemGift*>>& gifts);
    void clearObstacles();
    void armStargates(bool on);
    // Step 15 of the gameplay update (running only): items, gifts, battery, words, letters,
    // obstacles, collisions, record.
    void updatePickups();
    // Step 19's first part (with a menu): the results delay and the HUD values.
    void updateResultsAndHud(float dt);

    // ---- Accessors ----
    World* getWorld() const { return _world; }
    StageCamera* getStageCamera() const { return _stageCamera; }
    PSParticleSystem* getParticleSystem() const { return _particleSystem; }
    WordContainer* getWordContainer() const { return _wordContainer; }
    BoostContainer* getBoostContainer() const { return _boostContainer; }
    ProxyContainer* getProxyContainer() const { return _proxyContainer; }
    LevelPool* getLevelPool() const { return _levelPool; }
    NotificationContainer* getNotificationContainer() const { return _notificationContainer; }
    Control* getControl() const { return _control; }
    Menu* getMenu() const { return _menu; }
    Loader* getLoader() const { return _loader; }
    Road* getRoad() const { return _road; }
    int32_t getState() const { return _state; }
    LevelGroupSet* getLevelGroupSet() const { return _levelGroupSet; }
    ActorCharacter* getCharacter() const { return _actorCharacter; }
    ActorPlayer* getPlayer() const { return _actorPlayer; }
    Atmosphere* getAtmosphere() const { return _atmosphere; }
    LevelSkin* getSkin() const { return _skin; }
    const std::vector<ActorCharacter*>& getCharacters() const { return _characters; }
    const std::vector<ActorPlayer*>& getPlayers() const { return _players; }
    const std::vector<LevelSkin*>& getSkins() const { return _skins; }
    const std::vector<Atmosphere*>& getAtmospheres() const { return _atmospheres; }
    const std::vector<LevelGroupSet*>& getLevelGroupSets() const { return _levelGroupSets; }
    const std::vector<LevelCamera*>& getCameras() const { return _cameraStacks._cameras; }
    const std::vector<Light*>& getLights() const { return _lights; }
    DebugDraw* getDebugDraw() const { return _debugDraw; }

    // ---- Fields, in the order of the design ----
    World* _world = nullptr;
    StageCamera* _stageCamera = nullptr;
    PSParticleSystem* _particleSystem = nullptr;  // made and destroyed through the world
    ParticleEvent _particleEvent;
    WordContainer* _wordContainer = nullptr;
    BoostContainer* _boostContainer = nullptr;
    ProxyContainer* _proxyContainer = nullptr;
    LevelPool* _levelPool = nullptr;
    NotificationContainer* _notificationContainer = nullptr;
    Control* _control = nullptr;
    Menu* _menu = nullptr;
    Loader* _loader = nullptr;
    std::vector<Game*> _games;  // rush, robbery
    // The level cameras live in the camera stacks' list (owned there).
    std::vector<Atmosphere*> _atmospheres;
    std::vector<LevelSkin*> _skins;
    std::vector<LevelGroupSet*> _levelGroupSets;
    std::vector<ActorCharacter*> _characters;  // pooled instances
    std::vector<ActorPlayer*> _players;        // pooled instances
    float _maxDistanceToTeleport = 10000.0f;
    float _freeWayDistance = 20.0f;
    int32_t _state = StateIdle;
    LevelGroupSet* _levelGroupSet = nullptr;
    ActorCharacter* _actorCharacter = nullptr;
    ActorPlayer* _actorPlayer = nullptr;
    Atmosphere* _atmosphere = nullptr;
    LevelSkin* _skin = nullptr;
    std::vector<Light*> _lights;  // the four stage lights, made by the world
    // The gifts collected in the current frame; its storage is kept from frame to frame.
    std::vector<ActorItemGift*> _collectedGifts;
    Road* _road = nullptr;
    // Handle counter, the five stacks and the loaded level cameras.
    CameraStacks _cameraStacks;
    int32_t _levelSetCameraHandle = 0;
    int32_t _flyCameraHandle = 0;
    int32_t _duckCameraHandle = 0;
    // The train is on a fly stretch. Kept apart from the fly camera's handle, which stays 0 when
    // the player names no fly camera.
    bool _flying = false;
    std::string _shownLetters;
    std::string _surpriseObjectFile;
    int32_t _surpriseCount = 0;
    std::string _ticketObjectFile;
    int32_t _ticketCount = 0;
    float _battery = 0;
    float _lastDistance = 0;
    bool _prevCameraBoost = false;
    int32_t _transition = TransitionNone;
    Countdown _resultsCountdown;
    std::string _musicFile;
    // Post-processing: targets (final pass, vertical blur, horizontal blur, bright pass) and the
    // two effect meshes that the chain's materials hand back.
    RenderTarget* _targetFinalPass = nullptr;
    RenderTarget* _targetBlurV = nullptr;
    RenderTarget* _targetBlurH = nullptr;
    RenderTarget* _targetBrightPass = nullptr;
    Mesh* _brightPassEffect = nullptr;
    Mesh* _combineEffect = nullptr;
    DebugDraw* _debugDraw = nullptr;
    bool _freeCamera = false;
    bool _turbo = false;
    float _turboMul = 2.0f;
    // Debug switches.
    bool _hudDebug = false;
    bool _godMode = false;
    bool _autopilot = false;
    bool _log = false;
    bool _noManualItems = false;
    bool _noRandomItems = false;
    bool _noProxyObjects = false;
    bool _noParticle = false;
    bool _noSound = false;
    bool _noMusic = false;
    bool _noAdvertisements = false;
    bool _noResultsMenu = false;

    // True once destroy has run.
    bool _destroyed = false;

private:
    void shutdown();
    static Stage* s_instance;
};

// "debug.aggressive"; nothing reads it.
extern bool g_debugAggressive;

}  // namespace Zelvan

// The stage's creation, start-up, registries, input forwarders, particle handling and teardown.

#include "game/stage/ZelvanStage.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/online/SocialPlatform.h"
#include "engine/online/StoreManager.h"
#include "engine/render/Mesh.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"
#include "engine/platform.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/ZelvanNotifications.h"
#include "game/ZelvanSoundInterface.h"
#include "game/ZelvanTexts.h"
#include "game/ZelvanWords.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoost.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/menu/ZelvanMenu.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanGameModes.h"
#include "game/stage/ZelvanLoader.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelCamera.h"
#include "game/track/ZelvanLevelPool.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanLevelSkin.h"
#include "game/track/ZelvanProxyContainer.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

Stage* Stage::s_instance = nullptr;
bool g_debugAggressive = true;

namespace {

float atLeastZero(float v) { return v < 0 || !std::isfinite(v) ? 0.0f : v; }

void eraseTarget(RenderTarget* target) {
    if (!target)
        return;
    if (Render* render = Render::current()) {
        auto& list = render->targets;
        list.erase(std::remove(list.begin(), list.end(), target), list.end());
    }
    delete target;
}

}  // namespace

// ---- Singleton and life ----

Stage* Stage::create() {
    if (!s_instance)
        s_instance = new Stage();
    return s_instance;
}

Stage* Stage::get() { return s_instance; }

int Stage::destroyInstance() {
    if (s_instance) {
        // Still reachable while it goes: the particle handler gives the levels and actors their
        // released emitters back through it during the teardown.
        delete s_instance;
        s_instance = nullptr;
    }
    return 0;
}

Stage::Stage() {}

Stage::~Stage() {
    // A stage that never ran init has nothing to shut down.
    if (!_destroyed && _world)
        destroy();
    if (s_instance == this)
        s_instance = nullptr;
}

void Stage::init() {
    XASSERT_AT(!_world, __FILE__);
    ConfigStore& cfg = ConfigStore::instance();
    cfg.loadMainFile("configs/config.txt");

    TextContainer::instance()->load("text");
    _notificationContainer = NotificationContainer::create();
    _notificationContainer->load("notification");

    _brightPassEffect = nullptr;
    _combineEffect = nullptr;

    _turboMul = atLeastZero(cfg.getFloat("debug.turboMul", _turboMul));
    _hudDebug = !cfg.getBool("debug.noHud", !_hudDebug);
    _godMode = cfg.getBool("debug.godMode", _godMode);
    _autopilot = getLaunchSwitch("debug.autopilot", cfg.getBool("debug.autopilot", _autopilot));
    _log = cfg.getBool("debug.log", _log);
    _noManualItems = cfg.getBool("debug.noManualItems", _noManualItems);
    _noRandomItems = cfg.getBool("debug.noRandomItems", _noRandomItems);
    _noProxyObjects = cfg.getBool("debug.noProxyObjects", _noProxyObjects);
    _noParticle = cfg.getBool("debug.noParticle", _noParticle);
    _noSound = cfg.getBool("debug.noSound", _noSound);
    _noMusic = cfg.getBool("debug.noMusic", _noMusic);
    _noAdvertisements = cfg.getBool("debug.noAdvertisements", _noAdvertisements);
    _noResultsMenu = cfg.getBool("debug.noResultsMenu", _noResultsMenu);

    _maxDistanceToTeleport = atLeastZero(cfg.getFloat("game.maxDistanceToTeleport", _maxDistanceToTeleport));
    _freeWayDistance = atLeastZero(cfg.getFloat("game.freeWayDistance", _freeWayDistance));
    _surpriseObjectFile = cfg.getString("actorItemGift.objectSurprise", "");
    _ticketObjectFile = cfg.getString("actorItemGift.objectTicket", "");
    g_debugAggressive = cfg.getBool("debug.aggressive", true);

    _menu = Menu::create();
    if (_menu)
        _menu->setAdsEnabled(!_noAdvertisements);

    // Made before the world's own target: every new target goes to the front of the renderer's
    // list, so the frame runs "game", bright pass, blurs, final pass.
    if (Render* render = Render::current()) {
        _targetFinalPass = render->createRenderTarget();
        _targetBlurV = render->createRenderTarget();
        _targetBlurH = render->createRenderTarget();
        _targetBrightPass = render->createRenderTarget();
    }

    _world = new World(1);
    if (_menu)
        _world->_textScale = _menu->getTextScale();
    if (RenderTarget* game = _world->_renderTarget) {
        game->_name = "game";
        game->_flags = RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer | RenderTarget::FlagColourTexture;
        game->_external = 1;
        game->_clearOnBegin = 1;
        game->_clearMask = 2;
    }

    createLights();
    if (_targetFinalPass)
        buildPostChain(_world);

    if (!_noParticle) {
        _particleSystem = _world->createParticleSystem("particles");
        if (_particleSystem) {
            _particleSystem->_eventHandler = &_particleEvent;
            if (_particleSystem->_mesh)
                _particleSystem->_mesh->_visibilityDistanceSq = FLT_MAX;
        }
    }

    _stageCamera = StageCamera::create(_world);
    _stageCamera->attach();
    _cameraStacks.bind(_stageCamera, nullptr);
    _debugDraw = _world->createDebugDraw();

    SoundInterface& sound = SoundInterface::get();
    sound._channels[2].enabled = !_noSound;
    sound._channels[3].enabled = !_noSound;

    registerActorClasses(_world);
    ActorPlayer::registerPlayers(_world);

    _control = Control::create();
    _games.push_back(GameRush::create());
    _games.push_back(GameRobbery::create());
    for (Game* g : _games)
        g->init();
    _world->_meshGroundTest = _control->_dashEnable ? 0 : 1;

    _wordContainer = WordContainer::create();
    _boostContainer = BoostContainer::create();
    _proxyContainer = ProxyContainer::create();
    _levelPool = LevelPool::create(_world, _particleSystem, _proxyContainer);

    _road = Road::create();
    _road->placeProxies = !_noProxyObjects;
    _road->placeRandomItems = !_noRandomItems;
    _road->rayTestOnSetup = _world->_meshGroundTest != 0;
    _road->stepwisePhysics = _control->_dashEnable;

    _loader = Loader::create();
    _loader->push(new LoadBegin());
    for (int i = 0; i < 4; ++i)
        _loader->push(nullptr);
    _loader->push(new LoadMenu());
    _loader->push(new LoadSound());
    _loader->push(new LoadWords(_wordContainer));
    _loader->push(new LoadBoosts(_boostContainer));
    _loader->push(new LoadProxy(_proxyContainer));
    for (const std::string& w : cfg.getList("atmosphere.atmospheres"))
        _loader->push(new LoadAtmosphere(w));
    for (const std::string& w : cfg.getList("skin.skins"))
        _loader->push(new LoadLevelSkin(w));
    _loader->push(new LoadLevelCameras());
    for (const std::string& w : cfg.getList("levelItem.items"))
        _loader->push(new LoadLevelItem(w));
    for (const std::string& w : cfg.getList("actorCharacter.characters"))
        _loader->push(new LoadActorCharacter(w));
    for (const std::string& w : cfg.getList("actorPlayer.players"))
        _loader->push(new LoadActorPlayer(w));
    registerLevelGroupSet(cfg.getString("level.startLevelSet", ""));
    const std::vector<std::string> sets = cfg.getList("level.levelSets");
    for (const std::string& w : sets)
        registerLevelGroupSet(w);
    XASSERT_AT(_levelGroupSets.size(), __FILE__);
    _loader->push(new LoadEnd());
}

void Stage::createLights() {
    for (int i = 0; i < 4; ++i)
        _lights.push_back(_world->createLight());
}

// ---- Registries ----

Atmosphere* Stage::findAtmosphere(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (Atmosphere* a : _atmospheres)
        if (a->_name == name)
            return a;
    return nullptr;
}

LevelCamera* Stage::findCamera(const std::string& name) const {
    return name.empty() ? nullptr : _cameraStacks.findCamera(name);
}

LevelSkin* Stage::findSkin(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (LevelSkin* s : _skins)
        if (s->_key == name)
            return s;
    return nullptr;
}

ActorCharacter* Stage::findCharacter(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (ActorCharacter* c : _characters)
        if (c->_prefix == name)
            return c;
    return nullptr;
}

ActorPlayer* Stage::findPlayer(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (ActorPlayer* p : _players)
        if (p->_playerName == name)
            return p;
    return nullptr;
}

void Stage::addAtmosphere(Atmosphere* atmosphere) {
    if (atmosphere)
        _atmospheres.push_back(atmosphere);
}

void Stage::addCamera(LevelCamera* camera) { _cameraStacks.addCamera(camera); }

void Stage::addSkin(LevelSkin* skin) {
    if (skin)
        _skins.push_back(skin);
}

void Stage::addCharacter(ActorCharacter* character) {
    if (!character)
        return;
    character->setParticleSystem(_particleSystem);
    _characters.push_back(character);
}

void Stage::addPlayer(ActorPlayer* player) {
    if (!player)
        return;
    player->setParticleSystem(_particleSystem);
    player->_godMode = _godMode ? 1 : 0;
    player->_autopilot = _autopilot ? 1 : 0;
    _players.push_back(player);
}

// The skin a level group set shows: the chosen one, or the set's default when it is empty.
static LevelSkin* skinForSet(const Stage* stage, LevelSkin* skin, LevelGroupSet* set) {
    if (!skin || skin->isEmpty())
        return stage->findSkin(set->defaultSkin);
    return skin;
}

void Stage::setSkin(LevelSkin* skin) {
    if (skin == _skin)
        return;
    _skin = skin;
    if (_levelGroupSet)
        _levelGroupSet->setSkin(skinForSet(this, skin, _levelGroupSet));
}

bool Stage::selectSkin(const std::string& name) {
    LevelSkin* skin = findSkin(name);
    if (!skin)
        return false;
    setSkin(skin);
    return true;
}

void Stage::clearSkins() {
    if (_skin) {
        _skin = nullptr;
        if (_levelGroupSet)
            _levelGroupSet->setSkin(findSkin(_levelGroupSet->defaultSkin));
    }
    // A set must not keep a skin that is about to go.
    for (LevelGroupSet* set : _levelGroupSets)
        set->setSkin(nullptr);
    for (ActorCharacter* c : _characters)
        if (c->_skin)
            c->setSkin(nullptr);
    for (LevelSkin* s : _skins)
        delete s;
    _skins.clear();
}

void Stage::setCharacter(ActorCharacter* character) {
    if (character == _actorCharacter)
        return;
    if (character && !_actorCharacter)
        character->reset();
    if (_actorCharacter) {
        _actorCharacter->reset();
        _actorCharacter->setActive(false);
    }
    _actorCharacter = character;
    if (_actorPlayer)
        _actorPlayer->setCharacter(character);
}

bool Stage::selectCharacter(const std::string& name) {
    ActorCharacter* character = findCharacter(name);
    if (!character)
        return false;
    setCharacter(character);
    return true;
}

void Stage::clearCharacters() {
    if (_actorCharacter) {
        _actorCharacter->reset();
        _actorCharacter->setActive(false);
        _actorCharacter = nullptr;
        if (_actorPlayer)
            _actorPlayer->setCharacter(nullptr);
    }
    for (ActorCharacter* c : _characters) {
        c->setParticleSystem(nullptr);
        c->setActive(false);
        c->detach();
        if (c->_pool)
            c->_pool->release(c);
    }
    _characters.clear();
}

void Stage::setPlayer(ActorPlayer* player) {
    if (player == _actorPlayer)
        return;
    if (player) {
        if (_actorPlayer) {
            player->takeOver(_actorPlayer);
            _actorPlayer->setCharacter(nullptr);
            _actorPlayer->setActive(false);
            _actorPlayer->setDefaultLights();
            _actorPlayer->reset();
        } else {
            player->reset();
            player->setCharacter(_actorCharacter);
        }
        player->setActive(true);
        player->setLights(_lights);
    }
    _actorPlayer = player;
    _cameraStacks.setPlayer(player);
}

bool Stage::selectPlayer(const std::string& name) {
    ActorPlayer* player = findPlayer(name);
    if (!player)
        return false;
    setPlayer(player);
    _actorPlayer->updatePose();
    return true;
}

// ---- Input forwarders ----

void Stage::onTouch(int type, int finger, const Vector2& position, const Vector2& movement) {
    if (_control)
        _control->onTouch(type, finger, position, movement);
}

void Stage::onKey(const InputEvent& event) {
    if (event.type != InputKeyDown && event.type != InputKeyUp)
        return;
    if (event.keyCode < 72 || event.keyCode > 75 || !_control)
        return;
    _control->setKey(event.keyCode, event.type == InputKeyDown);
}

void Stage::onAccelerometer(float x, float y, float z) {
    if (_control)
        _control->setTilt(Vector3(x, y, z));
}

// ---- Debug accessors ----

bool Stage::isRailsDebug() const { return _menu ? _menu->isRailsDebug() : false; }

void Stage::setRailsDebug(bool on) {
    if (_menu)
        _menu->setRailsDebug(on);
}

Camera* Stage::setFreeCamera(bool on) {
    Camera* camera = on && _world ? _world->getCamera() : nullptr;
    _freeCamera = camera != nullptr;
    return camera;
}

// ---- Camera stacks ----

int32_t Stage::pushCamera(int32_t priority, const LevelCamera* camera) {
    return _cameraStacks.pushCamera(priority, camera);
}

void Stage::popCamera(int32_t handle) { _cameraStacks.popCamera(handle); }

void Stage::clearCameraStack(int32_t priority) {
    if (priority < 0 || priority >= CameraStacks::PriorityCount)
        return;
    _cameraStacks._stacks[priority].clear();
    for (int p = priority + 1; p < CameraStacks::PriorityCount; ++p)
        if (!_cameraStacks._stacks[p].empty())
            return;
    const LevelCamera* top = _cameraStacks.top();
    if (top && _stageCamera)
        _stageCamera->applyLevelCamera(top, _actorPlayer);
}

// ---- Particles ----

void Stage::ParticleEvent::onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) {
    Stage* stage = Stage::get();
    if (!stage || !system || system != stage->_particleSystem)
        return;
    if (stage->_actorCharacter && stage->_actorCharacter->forgetParticleInstance(emitter, system))
        return;
    if (stage->_actorPlayer && stage->_actorPlayer->forgetParticleInstance(emitter, system))
        return;
    if (stage->_road)
        stage->_road->onParticleFinished(emitter, system);
}

void Stage::debugParticles(bool restart, bool reload) {
    if (!_particleSystem)
        return;
    Camera* camera = _stageCamera ? _stageCamera->getCamera() : nullptr;
    if (reload) {
        _particleSystem->removeAllEmitters();
        _particleSystem->update(0, camera);
        _world->destroyParticleSystem(_particleSystem);
        _particleSystem = _world->createParticleSystem("particles");
        if (_particleSystem) {
            _particleSystem->_eventHandler = &_particleEvent;
            if (_particleSystem->_mesh)
                _particleSystem->_mesh->_visibilityDistanceSq = FLT_MAX;
        }
        for (ActorCharacter* c : _characters)
            c->setParticleSystem(_particleSystem);
        for (ActorPlayer* p : _players)
            p->setParticleSystem(_particleSystem);
        if (_levelPool)
            _levelPool->setParticleSystem(_particleSystem);
        if (!_particleSystem)
            return;
    }
    if (restart || reload) {
        _particleSystem->removeAllEmitters();
        _particleSystem->update(0, camera);
        if (_actorPlayer) {
            if (_actorPlayer->_effects)
                _actorPlayer->_effects->playAuto();
            if (_state == StateRunning || _state == StatePaused)
                _actorPlayer->run();
            else
                _actorPlayer->stay();
        }
        if (_road) {
            for (Level* level : _road->behindLevels) {
                level->resetObjects();
                level->startActors();
            }
            for (Level* level : _road->aheadLevels) {
                level->resetObjects();
                level->startActors();
            }
            if (Level* current = _road->getCurrentLevel())
                current->startConductors();
        }
    }
    const std::string name = ConfigStore::instance().getString("debug.testParticle", "testemitter");
    if (!name.empty() && _world->getCamera()) {
        const Vector3 offset =
            ConfigStore::instance().getVector3("debug.testParticleOffset", Vector3(0, 0.5f, -2.0f));
        const Matrix4& m = _world->getCamera()->_transform->_world;
        _particleSystem->addEmitter(m.transformPoint(offset), name.c_str());
    }
}

// ---- Teardown ----

void Stage::destroy() {
    XASSERT_AT(_world, __FILE__);
    if (_destroyed)
        return;
    _destroyed = true;
    shutdown();
}

void Stage::shutdown() {
    SocialPlatform::instance().saveProfile();
    StoreManager::instance().release();
    if (Render* render = Render::current())
        render->beginFrame();
    Camera* camera = _stageCamera ? _stageCamera->getCamera() : nullptr;
    if (_particleSystem) {
        _particleSystem->removeAllEmitters();
        _particleSystem->update(0, camera);
    }

    setLevelGroupSet(nullptr);
    clearCharacters();
    _actorPlayer = nullptr;
    _cameraStacks.setPlayer(nullptr);

    // Each player gives back its wreck, hit object, boosts and character while the world and the
    // boost container still exist.
    for (ActorPlayer* p : _players) {
        p->setParticleSystem(nullptr);
        p->setActive(false);
        p->detach();
        if (p->_pool)
            p->_pool->release(p);
    }
    _players.clear();

    for (Light* light : _lights)
        _world->deleteObject(light);
    _lights.clear();

    setLevelGroupSet(nullptr);
    for (LevelGroupSet* set : _levelGroupSets) {
        set->destroy();
        delete set;
    }
    _levelGroupSets.clear();

    // The level cameras, with every stack entry that names them.
    _cameraStacks.clear();
    _levelSetCameraHandle = _flyCameraHandle = _duckCameraHandle = 0;

    if (_atmosphere) {
        _atmosphere->deactivate();
        _atmosphere = nullptr;
    }
    if (_levelGroupSet)
        _levelGroupSet->setAtmosphere(nullptr);
    for (Atmosphere* a : _atmospheres) {
        a->destroy();
        delete a;
    }
    _atmospheres.clear();

    clearSkins();

    delete _loader;
    _loader = nullptr;
    delete _road;
    _road = nullptr;
    delete _levelPool;
    _levelPool = nullptr;
    delete _proxyContainer;
    _proxyContainer = nullptr;
    delete _boostContainer;
    _boostContainer = nullptr;
    delete _wordContainer;
    _wordContainer = nullptr;
    delete _control;
    _control = nullptr;
    delete _menu;
    _menu = nullptr;

    for (Game* g : _games) {
        g->release();
        delete g;
    }
    _games.clear();

    if (_particleSystem) {
        _world->destroyParticleSystem(_particleSystem);
        _particleSystem = nullptr;
    }
    // The camera's body lives in the world's physics: it goes before the world.
    _cameraStacks.bind(nullptr, nullptr);
    delete _stageCamera;
    _stageCamera = nullptr;
    // The post targets hold textures and meshes the renderer would draw after they are gone.
    _brightPassEffect = nullptr;
    _combineEffect = nullptr;
    eraseTarget(_targetBrightPass);
    eraseTarget(_targetBlurH);
    eraseTarget(_targetBlurV);
    eraseTarget(_targetFinalPass);
    _targetBrightPass = _targetBlurH = _targetBlurV = _targetFinalPass = nullptr;

    _debugDraw = nullptr;
    delete _world;
    _world = nullptr;
    delete _notificationContainer;
    _notificationContainer = nullptr;

    TextContainer::destroyInstance();
}

}  // namespace Zelvan

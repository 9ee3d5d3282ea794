// The loader's queue and the load steps of the game's own data.

#include "game/stage/ZelvanLoader.h"

#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/file.h"
#include "engine/online/NetworkManager.h"
#include "engine/online/SocialPlatform.h"
#include "engine/online/StoreManager.h"
#include "engine/platform.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/ZelvanSoundInterface.h"
#include "game/ZelvanWords.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/profile/ZelvanFriendProfile.h"
#include "game/profile/ZelvanMyProfile.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoost.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuHudExt.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevelCamera.h"
#include "game/track/ZelvanLevelSkin.h"
#include "game/track/ZelvanProxyContainer.h"
#include "game/track/ZelvanRoad.h"

#include "game/track/ZelvanLevelItem.h"

namespace Zelvan {

// ---- The queue ----

Loader::~Loader() {
    for (Load* step : _steps)
        delete step;
    _steps.clear();
}

void Loader::push(Load* step) {
    if (step)
        _totalWeight += step->weight;
    _steps.push_back(step);
}

Load* Loader::front() const { return _steps.empty() ? nullptr : _steps.front(); }

void Loader::popAndRun() {
    if (_steps.empty())
        return;
    Load* step = _steps.front();
    if (step)
        step->load();
    // The step may have queued further steps (a level group set registered while loading), so
    // the front is removed only now, by identity.
    _steps.pop_front();
    delete step;
    if (_steps.empty())
        _totalWeight = 0;
}

float Loader::progress() const {
    if (_totalWeight <= 0)
        return 100.0f;
    float remaining = 0;
    for (const Load* step : _steps)
        if (step)
            remaining += step->weight;
    const float p = (1.0f - remaining / _totalWeight) * 100.0f;
    return p < 0 ? 0.0f : (p > 100.0f ? 100.0f : p);
}

// ---- Steps ----

bool LoadBegin::load() {
    Stage* stage = Stage::get();
    if (stage && stage->getMenu()) {
        stage->getMenu()->loadTitle();
        stage->getMenu()->showPanel("loading", false);
    }
    return true;
}

bool LoadMenu::load() {
    Stage* stage = Stage::get();
    if (stage && stage->getMenu())
        stage->getMenu()->loadPanels();
    return true;
}

bool LoadSound::load() {
    SoundInterface::get().loadData("configs/sound.txt");
    return true;
}

bool LoadWords::load() {
    if (container)
        container->load("word");
    return true;
}

bool LoadBoosts::load() {
    if (container)
        container->load();
    return true;
}

bool LoadProxy::load() {
    Stage* stage = Stage::get();
    if (container && stage) {
        container->clear();
        container->load(stage->getWorld(), "object");
    }
    return true;
}

bool LoadAtmosphere::load() {
    Stage* stage = Stage::get();
    if (!stage)
        return false;
    Atmosphere* atmosphere = Atmosphere::create(stage->getWorld(), name);
    stage->addAtmosphere(atmosphere);
    return atmosphere != nullptr;
}

bool LoadLevelSkin::load() {
    Stage* stage = Stage::get();
    if (!stage)
        return false;
    LevelSkin* skin = LevelSkin::create(name);
    stage->addSkin(skin);
    return skin != nullptr;
}

bool LoadLevelCameras::load() {
    Stage* stage = Stage::get();
    if (!stage)
        return false;
    bool all = true;
    // Copied: creating a camera reads the store, which may grow its lists.
    const std::vector<std::string> names = ConfigStore::instance().getList("camera.cameras");
    for (const std::string& name : names) {
        LevelCamera* camera = LevelCamera::create(name);
        if (camera)
            stage->addCamera(camera);
        else
            all = false;
    }
    return all;
}

bool LoadLevelItem::load() {
    Stage* stage = Stage::get();
    if (!stage)
        return false;
    LevelItem* item = LevelItem::create(stage->getWorld(), name);
    if (!item)
        return false;
    if (stage->getRoad())
        stage->getRoad()->addLevelItem(item);
    else
        delete item;
    return true;
}

// An instance of the object file under name + ".objectFile", of class T, from the world's pool;
// a missing file or one of another class stops the program.
template <class T>
static T* acquireActor(World* world, const std::string& name, const char* className) {
    const std::string path = ConfigStore::instance().getString(name + ".objectFile", "");
    if (!world->loadObjectFile(path)) {
        Logger::error("Object file(%s) not found!", path.c_str());
        XASSERT_AT(false, __FILE__);
        return nullptr;
    }
    ObjectPool* pool = world->getObjectPool(path);
    Object* object = pool ? pool->acquire(1) : nullptr;
    if (!object)
        return nullptr;
    T* actor = dynamic_cast<T*>(object);
    if (!actor) {
        pool->release(object);
        Logger::error("Object file(%s) not an %s!", path.c_str(), className);
        XASSERT_AT(false, __FILE__);
        return nullptr;
    }
    actor->_pool = pool;
    return actor;
}

bool LoadActorCharacter::load() {
    Stage* stage = Stage::get();
    if (!stage)
        return false;
    ActorCharacter* character = acquireActor<ActorCharacter>(stage->getWorld(), name, "ActorCharacter");
    if (!character)
        return false;
    character->applyPrefix(name);
    character->setActive(false);
    const std::string skin = ConfigStore::instance().getString(name + ".skin", "");
    character->setSkin(stage->findSkin(skin));
    stage->addCharacter(character);
    return true;
}

bool LoadActorPlayer::load() {
    Stage* stage = Stage::get();
    if (!stage)
        return false;
    ActorPlayer* player = acquireActor<ActorPlayer>(stage->getWorld(), name, "ActorPlayer");
    if (!player)
        return false;
    player->load(name);
    player->setActive(false);
    stage->addPlayer(player);
    return true;
}

// Start values of the shop's balances: rounded to the nearest whole number, never below 0 and
// inside the balances' signed 32 bits.
static int32_t roundCount(float value) {
    if (!(value > 0))
        return 0;
    const float v = value + 0.5f;
    return v >= 2147483647.0f ? INT32_MAX : (int32_t)v;
}

// The social platform with the player's profile. The identity server is not used (empty sync and
// collection addresses). The player's own profile takes the menus' state in and out of the file.
void LoadEnd::startSocialPlatform() {
    sSocialPlatformSettings settings;
    settings.createMyProfile = [] { return new MyProfile(); };
    settings.createFriend = [] { return new FriendProfile(); };
    File::writeStorePath(settings.profilePath, "player.profile");
    settings.profileMagic = "zeLVAN";
    settings.profilePassword = "86420975";
    settings.skipPlayerData = 0;
    settings.useFriends = 1;
    settings.usePictures = 1;
    settings.useGameCenter = 1;
    settings.shareName = "Zelvan";
    settings.shareLink = "http://apps.zelvan.example/app/zelvan";
    settings.pictureMap[""] = "http://apps.zelvan.example/app/zelvan/icon.png";
    SocialPlatform::instance().init(settings);
}

bool LoadEnd::load() {
    Stage* stage = Stage::get();
    if (!stage)
        return false;
    ConfigStore& cfg = ConfigStore::instance();

    ActorCharacter* character = stage->findCharacter(cfg.getString("actorCharacter.startCharacter", ""));
    if (!character && !stage->getCharacters().empty())
        character = stage->getCharacters().front();
    stage->setCharacter(character);

    ActorPlayer* player = stage->findPlayer(cfg.getString("actorPlayer.startPlayer", ""));
    if (!player && !stage->getPlayers().empty())
        player = stage->getPlayers().front();
    stage->setPlayer(player);

    LevelSkin* skin = stage->findSkin(cfg.getString("skin.startSkin", ""));
    if (!skin && !stage->getSkins().empty())
        skin = stage->getSkins().front();
    stage->setSkin(skin);

    Menu* menu = stage->getMenu();
    if (menu) {
        if (MenuOptionsExt* options = menu->getOptionsExt()) {
            options->setMusicOn(true);
            options->setMusicVolume(100);
            options->setSoundOn(true);
            options->setSoundVolume(100);
        }
        if (MenuShopExt* shop = menu->getShopExt()) {
            shop->reload();
            if (stage->getCharacter()) {
                shop->setItemState(stage->getCharacter()->_prefix, 1);
                shop->selectItemByName(stage->getCharacter()->_prefix);
            }
            if (stage->getPlayer()) {
                shop->setItemState(stage->getPlayer()->_playerName, 1);
                shop->selectItemByName(stage->getPlayer()->_playerName);
            }
            if (stage->getSkin()) {
                shop->setItemState(stage->getSkin()->_name, 1);
                shop->selectItemByName(stage->getSkin()->_name);
            }
            shop->setCoins(roundCount(cfg.getFloat("game.startCoins", 0)));
            shop->setTickets(roundCount(cfg.getFloat("game.startTickets", 0)));
        }
        if (MenuHudExt* hud = menu->getHudExt())
            hud->setDebugVisible(stage->_hudDebug);
    }

    ResourceManager::instance().uploadAll();
    NetworkManager::instance().init();
    cancelLocalNotifications();
    std::map<int32_t, std::string> products;
    StoreProduct::buildCodeMap(products);
    StoreManager::instance().setProducts("requesting...", products);
    startSocialPlatform();
    if (menu) {
        // The store may have delivered purchases before the profile was in the menus.
        menu->creditWaitingPurchases();
    }
    startRecorder(menu);
    if (menu) {
        startVungle("402716367");
        if (menu->isAdsEnabled()) {
            startChartboost("a1f0c9e7b3d2a8f6c4e1b9d7", "0e9d8c7b6a5f4e3d2c1b0a9f8e7d6c5b4a3f2e1d");
            startLeadBolt(menu);
            createMopubBanner("9a8b7c6d5e4f3a2b1c0d9e8f7a6b5c4d");
        }
    }

    if (menu) {
        menu->enterMainMenu();
    } else if (stage->getPlayer()) {
        // No menu to choose a region: the run starts on the start set (empty: the first set).
        stage->resetRun();
        LevelGroupSet* set = stage->registerLevelGroupSet(cfg.getString("level.startLevelSet", ""));
        if (!set && !stage->getLevelGroupSets().empty())
            set = stage->getLevelGroupSets().front();
        stage->setLevelGroupSet(set);
        if (stage->getLevelGroupSet())
            stage->startRun();
    }
    return true;
}

}  // namespace Zelvan

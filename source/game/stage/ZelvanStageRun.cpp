// Run states and runs: the state machine the menu drives, starting, resetting and retrying a run,
// placing the train on the start rails and keeping the track just ahead of it free of items,
// the shop's purchases, and music and sound switches.

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/online/SocialPlatform.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanGameModes.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanProxyContainer.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

// The music channel and the three sound channels of the sound front-end.
const int kMusicChannel = 0;
const int kRunChannel = 3;

}  // namespace

int32_t Stage::setState(int32_t state) {
    const int32_t previous = _state;
    if (state == _state)
        return previous;
    if (state == StatePaused || _state == StatePaused)
        Clock::setPaused(state == StatePaused);
    if (ActorPlayer* player = _actorPlayer) {
        const int32_t action = player->getAction();
        if (state == StateStanding && !(action & (ActorPlayer::Action_Crash | ActorPlayer::Action_Stay)))
            player->stay();
        else if (state == StateRunning && !(action & (ActorPlayer::Action_Crash | ActorPlayer::Action_Run)))
            player->run();
    }
    _state = state;
    if (_road)
        _road->setCurrentLevelMode(state == StateRunning);
    SoundInterface::get().setChannelPaused(kRunChannel, state != StateRunning);
    return previous;
}

void Stage::startRun() {
    XAssert(_actorPlayer ? 1 : 0, "_actorPlayer && _levelGroupSet", __FILE__, __LINE__);
    if (!_levelGroupSet) {
        // Nothing to ride on: the stage stays where it is rather than running without a road.
        Logger::error("No level set to start a run on!");
        return;
    }
    _lastDistance = 0;
    applyPurchases();
    setMusicTrack(_levelGroupSet->musicFile);
    setState(StateRunning);
}

void Stage::clearRunCameras() {
    for (int32_t priority = CameraRail; priority <= CameraDeath; ++priority)
        clearCameraStack(priority);
    _flyCameraHandle = 0;
    _duckCameraHandle = 0;
    _flying = false;
}

void Stage::resetRun() {
    XAssert(_actorPlayer ? 1 : 0, "_actorPlayer", __FILE__, __LINE__);
    ActorPlayer* player = _actorPlayer;
    if (!player)
        return;
    clearRunCameras();
    _prevCameraBoost = false;
    _transition = TransitionNone;
    _resultsCountdown.stop();
    SoundInterface::get().stopChannel(kRunChannel);
    if (_particleSystem) {
        _particleSystem->removeAllEmitters();
        _particleSystem->update(0, _stageCamera ? _stageCamera->getCamera() : nullptr);
    }
    if (_control)
        _control->releaseAll();
    for (Game* game : _games)
        game->reset();
    if (_proxyContainer)
        _proxyContainer->reset();
    _surpriseCount = 0;
    _ticketCount = 0;
    _lastDistance = 0;

    // The battery charge and the word being collected outlive the run; everything else starts over.
    const GoodsCounter battery = player->_goods.get("battery");
    const std::string word = player->_goods._word;
    const std::string missing = player->_goods._missingLetters;
    player->reset();
    applyPurchases();
    player->_goods.get("battery") = battery;
    player->_goods._word = word;
    player->_goods._missingLetters = missing;

    if (_road)
        _road->resetActors();
    setLevelGroupSet(nullptr);
    // The region the player is at (paid for), never the one merely browsed on the map.
    std::string name;
    if (_menu)
        if (MenuMapExt02* map = _menu->getMapExt())
            name = map->currentLevelSet();
    if (!name.empty() && !changeLevelGroupSet(name))
        Logger::error("Level set(%s) of the current region cannot be set; the start level set is used", name.c_str());
    if (!_levelGroupSet) {
        // No region chosen (no menu yet, or a name no set has): the configured start region, else
        // the first region there is.
        std::string start = ConfigStore::instance().getString("level.startLevelSet", "");
        if (start.empty()) {
            const auto& sets = ConfigStore::instance().getList("level.levelSets");
            if (!sets.empty())
                start = sets.front();
        }
        if (start.empty() || !changeLevelGroupSet(start)) {
            Logger::error("No level set for region(%s) nor a start level set(%s)!", name.c_str(), start.c_str());
            return;
        }
    }
    if (!_levelGroupSet)
        return;
    setMusicTrack(_levelGroupSet->musicFile);
    setState(StateRunning);
}

void Stage::retryRun() {
    XAssert(_actorPlayer ? 1 : 0, "_actorPlayer", __FILE__, __LINE__);
    ActorPlayer* player = _actorPlayer;
    if (!player)
        return;
    clearRunCameras();
    _prevCameraBoost = false;
    if (_transition != TransitionArrived)
        _transition = TransitionNone;
    _resultsCountdown.stop();
    if (_control)
        _control->releaseAll();
    for (Game* game : _games)
        game->reset();
    rebaseOrigin();

    const std::deque<GoodsCounter> counters = player->_goods._counters;
    const float distance = player->_goods._distance;
    const std::string word = player->_goods._word;
    const std::string missing = player->_goods._missingLetters;
    player->reset();
    applyPurchases();
    player->_goods._counters = counters;
    player->_goods._distance = distance;
    player->_goods._word = word;
    player->_goods._missingLetters = missing;

    placePlayer(player);
    player->run();
    player->hit(0);
    if (_road)
        _road->resetActors();
    Level* level = _road ? _road->getCurrentLevel() : nullptr;
    if (level)
        advanceRoad(level->distanceAlong(player->_transform->_world.getTranslation()));
    clearItemsAhead(player);
    if (_stageCamera) {
        _stageCamera->reset();
        _stageCamera->update(0, _road ? _road->getCurrentLevel() : nullptr, player, Vector3(), 0);
        if (_atmosphere)
            _atmosphere->update(_stageCamera->getCamera(), 0);
    }
    setState(StateRunning);
}

void Stage::applyPurchases() {
    ActorPlayer* player = _actorPlayer;
    MenuShopExt* shop = _menu ? _menu->getShopExt() : nullptr;
    if (!player || !shop)
        return;
    MenuShopExt::ItemInfo info;
    if (shop->describeItem(info, "zelvan_boost_brake"))
        player->_brakeLevel = info.level < 0 ? 0 : info.level;
    else
        player->_brakeLevel = 0;
    if (shop->describeItem(info, "zelvan_double_coins"))
        player->_goods.get("coins")._multiplier = info.level >= 0 ? 2.0f : 1.0f;
}

void Stage::setMusicTrack(const std::string& file) {
    _musicFile = file;
    SoundInterface& sound = SoundInterface::get();
    sound.stopMusic();
    if (!file.empty())
        sound.playMusic(file.c_str());
}

void Stage::setMusicVolume(float volume) {
    SoundInterface& sound = SoundInterface::get();
    const bool wasOn = sound._musicEnabled;
    const bool on = !_noMusic && volume > 0;
    sound._channels[kMusicChannel].enabled = on;
    sound.setChannelVolume(kMusicChannel, volume);
    sound._musicEnabled = on;
    sound.setMusicVolume(volume);
    if (_musicFile.empty())
        return;
    if (!wasOn && on)
        sound.playMusic(_musicFile.c_str());
    else if (wasOn && !on)
        sound.stopMusic();
}

void Stage::setSoundVolume(float volume) {
    SoundInterface& sound = SoundInterface::get();
    const bool on = !_noSound && volume > 0;
    for (int channel = 1; channel <= 3; ++channel) {
        sound._channels[channel].enabled = on;
        sound.setChannelVolume(channel, volume);
    }
}

void Stage::placePlayer(ActorPlayer* player) {
    XAssert(player ? 1 : 0, "actorPlayer", __FILE__, __LINE__);
    Level* level = _road ? _road->getCurrentLevel() : nullptr;
    if (!player || !level)
        return;
    RailHit hit;
    if (!level->findNearestRail(hit, level->getStartPosition(), NearRail::kNoRail) || !hit.rail) {
        Logger::error("No rails in start level(%s)!", level->getName().c_str());
        XAssert(0, "false", __FILE__, __LINE__);
        return;
    }
    hit.rail->setPosition(hit.position);
    RoadSlot slot;
    slot.rail = hit.rail;
    slot.forward = level->getDirection().dot(hit.rail->getDirection()) > 0 ? 1 : 0;
    slot.level = level;
    player->setRoad(0, slot);
    player->setRoad(1, RoadSlot());
    player->updatePose();
}

void Stage::clearItemsAhead(ActorPlayer* player) {
    XAssert(player ? 1 : 0, "actorPlayer", __FILE__, __LINE__);
    player = _actorPlayer;
    if (!player)
        return;
    const RoadSlot& slot = player->getRoad(0);
    Rail* rail = slot.rail;
    Level* level = slot.level;
    if (!rail || !level)
        return;
    const RailPos saved = rail->getRailPos();
    rail->setPosition(player->_railPos);
    const float distance = rail->getDistance() + player->_railOffset.y;
    const float length = rail->getLength();
    rail->setPosition(saved);
    float start = 0, end = 0;
    if (slot.forward) {
        start = 0;
        end = distance + _freeWayDistance;
    } else {
        start = distance - _freeWayDistance;
        end = length;
    }
    std::vector<Actor*> doomed;
    for (const Level::OccupiedRange& range : level->occupiedRanges) {
        if (!range.actor || range.rail != rail || range.kind == Level::RangeJunction)
            continue;
        if (!(start < range.railDistance && range.railDistance < end))
            continue;
        if (std::find(level->items.begin(), level->items.end(), range.actor) == level->items.end())
            continue;
        if (std::find(doomed.begin(), doomed.end(), range.actor) == doomed.end())
            doomed.push_back(range.actor);
    }
    for (Actor* item : doomed)
        level->removeObject(item);
}

void Stage::onPause() {
    if (_menu && (!_actorPlayer || !_actorPlayer->isCrashed()))
        _menu->pauseRun();
    SocialPlatform::instance().saveProfile();
}

void Stage::onResume() { Clock::tick(frameTime()); }

}  // namespace Zelvan

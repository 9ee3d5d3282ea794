// Interim run states and runs, built only while ZelvanStageRun.cpp is absent: just enough for a
// stage without a menu to start and keep a run. The full behaviour lives in ZelvanStageRun.cpp.

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/utils.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanGameModes.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

int32_t Stage::setState(int32_t state) {
    const int32_t previous = _state;
    if (state == _state)
        return previous;
    if (state == StatePaused || _state == StatePaused)
        Clock::setPaused(state == StatePaused);
    if (_actorPlayer) {
        const int32_t a = _actorPlayer->getAction();
        if (state == StateStanding && !(a & (ActorPlayer::Action_Crash | ActorPlayer::Action_Stay)))
            _actorPlayer->stay();
        if (state == StateRunning && !(a & (ActorPlayer::Action_Crash | ActorPlayer::Action_Run)))
            _actorPlayer->run();
    }
    _state = state;
    if (_road)
        _road->setCurrentLevelMode(state == StateRunning);
    SoundInterface::get().setChannelPaused(3, state != StateRunning);
    return previous;
}

void Stage::startRun() {
    XASSERT_AT(_actorPlayer && _levelGroupSet, __FILE__);
    _lastDistance = 0;
    applyPurchases();
    setMusicTrack(_levelGroupSet->musicFile);
    setState(StateRunning);
}

void Stage::clearRunCameras() {
    for (int p = 1; p <= 3; ++p)
        clearCameraStack(p);
    _flyCameraHandle = _duckCameraHandle = 0;
}

void Stage::resetRun() {
    XASSERT_AT(_actorPlayer, __FILE__);
    clearRunCameras();
    _prevCameraBoost = false;
    _transition = TransitionNone;
    _resultsCountdown.stop();
    if (_control)
        _control->releaseAll();
    for (Game* g : _games)
        g->reset();
    _surpriseCount = _ticketCount = 0;
    _lastDistance = 0;
    _actorPlayer->reset();
    if (_road)
        _road->resetActors();
    setLevelGroupSet(nullptr);
    setState(StateRunning);
}

void Stage::retryRun() {
    XASSERT_AT(_actorPlayer, __FILE__);
    setState(StateRunning);
}

void Stage::applyPurchases() {}

void Stage::setMusicTrack(const std::string& file) {
    _musicFile = file;
    SoundInterface::get().stopMusic();
    if (!file.empty())
        SoundInterface::get().playMusic(file.c_str());
}

void Stage::setMusicVolume(float volume) { SoundInterface::get().setMusicVolume(volume); }

void Stage::setSoundVolume(float volume) {
    for (int c = 1; c <= 3; ++c)
        SoundInterface::get().setChannelVolume(c, volume);
}

void Stage::placePlayer(ActorPlayer* player) {
    XASSERT_AT(player, __FILE__);
    Level* level = _road ? _road->getCurrentLevel() : nullptr;
    if (!level)
        return;
    RailHit hit;
    if (!level->findNearestRail(hit, level->getStartPosition(), 10000000.0f) || !hit.rail) {
        Logger::error("No rails in start level(%s)!", level->getName().c_str());
        XASSERT_AT(false, __FILE__);
        return;
    }
    hit.rail->setPosition(hit.position);
    RoadSlot slot;
    slot.rail = hit.rail;
    slot.forward = level->getDirection().dot(hit.rail->getDirection()) > 0 ? 1 : 0;
    slot.level = level;
    player->setRoad(0, slot);
    player->updatePose();
}

void Stage::clearItemsAhead(ActorPlayer* player) { XASSERT_AT(player, __FILE__); }

void Stage::onPause() {}

void Stage::onResume() { Clock::tick(frameTime()); }

}  // namespace Zelvan

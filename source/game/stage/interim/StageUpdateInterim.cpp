// Interim per-frame update, built only while ZelvanStageUpdate.cpp is absent: the loading tick
// and a frame that keeps the world, the train and the camera alive. The full behaviour lives in
// ZelvanStageUpdate.cpp.

#include "engine/clock.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

void Stage::update() {
    if (_loader && !_loader->empty())
        loadingTick();
    else
        updateGame();
}

void Stage::loadingTick() {
    if (_loader && !_loader->empty())
        _loader->popAndRun();
}

void Stage::updateGame() {
    float dt = Clock::isPaused() || _freeCamera ? 0.0f : frameTime().dt;
    if (_turbo)
        dt *= _turboMul;
    if (dt > 0 && _world)
        _world->update();
    if (_actorPlayer) {
        _actorPlayer->update(dt);
        if (_stageCamera && !_freeCamera && _road)
            _stageCamera->update(dt, _road->getCurrentLevel(), _actorPlayer, Vector3(), 0);
    }
}

void Stage::rebaseOrigin() {}

void Stage::drawDebugRails() {}

}  // namespace Zelvan

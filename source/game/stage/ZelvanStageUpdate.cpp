// The stage's frame: one load step per frame while the loader holds entries, the gameplay update
// afterwards, and the shift of the whole track back to the origin that keeps single-precision
// positions small however long a run lasts.

#include <algorithm>
#include <string>

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/render/PSParticleSystem.h"
#include "engine_game/Camera.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuHudExt.h"
#include "game/menu/ZelvanMenuLoaderExt.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanGameModes.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanProxyContainer.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

Vector3 worldPosition(const Object* object) { return object->_transform->_world.getTranslation(); }

}  // namespace

void Stage::update() {
    if (_loader && !_loader->empty())
        loadingTick();
    else
        updateGame();
}

void Stage::loadingTick() {
    if (_loader && !_loader->empty())
        _loader->popAndRun();
    if (!_menu)
        return;
    if (MenuLoaderExt* loaderExt = _menu->getLoaderExt()) {
        loaderExt->setProgress(_loader ? _loader->progress() : 100.0f);
        if (Load* step = _loader ? _loader->front() : nullptr) {
            const std::string key = step->textKey.empty() ? std::string("#text_menu_loading_load") : step->textKey;
            TextContainer* texts = TextContainer::get();
            loaderExt->setText(texts ? texts->translate(key) : key);
        }
    }
    _menu->update(frameTime().dt);
}

void Stage::updateGame() {
    ActorPlayer* player = _actorPlayer;
    Road* road = _road;

    // 1. Game time.
    float dt = (Clock::isPaused() || _freeCamera) ? 0.0f : frameTime().dt;
    if (_turbo)
        dt *= _turboMul;

    // 2. The track goes back to the origin before positions grow large.
    if (player && worldPosition(player).length() > _maxDistanceToTeleport)
        rebaseOrigin();

    // 3-5.
    if (dt > 0 && _world)
        _world->update();
    if (_control)
        _control->updateFingers(dt);
    const int32_t actionBefore = player ? player->getAction() : 0;
    const bool running =
        _state == StateRunning && player && road && actionBefore != ActorPlayer::Action_Crash;

    Level* level = road ? road->getCurrentLevel() : nullptr;

    // 6. The game mode of the current level's group; rush when it names none.
    if (running && !_games.empty()) {
        Game* game = _games.front();
        if (level && level->group)
            for (Game* candidate : _games)
                if (candidate->getName() == level->group->gameMode) {
                    game = candidate;
                    break;
                }
        GameEnv env;
        env.world = _world;
        env.camera = _stageCamera ? _stageCamera->getCamera() : nullptr;
        env.control = _control;
        env.player = player;
        env.road = road;
        env.distance = level ? level->distanceAlong(worldPosition(player)) : 0.0f;
        env.dt = dt;
        game->update(env);
    }

    // 7. The train on the road.
    uint32_t flags = SegmentAll;
    int32_t request = TransitionNone;
    float step = 0;
    if (running) {
        // a. The rail that continues the one under the train, within the road's join radius.
        const RoadSlot& slot = player->getRoad(0);
        NearRail near;
        if (slot.rail && slot.level) {
            near.current.rail = slot.rail;
            near.current.railPos = player->_railPos;
            near.current.forward = slot.forward != 0;
            near.current.level = slot.level;
            near.next.distance = road->autoDistance;
            const std::vector<Level*>& ahead = road->aheadLevels;
            if (ahead.size() >= 2)
                road->findNearRail(&near, ahead[1]);
            if (!near.next.rail && !ahead.empty())
                road->findNearRail(&near, ahead[0]);
        }
        RoadSlot next;
        if (near.next.rail && near.next.level) {
            next.rail = near.next.rail;
            next.forward = near.next.forward ? 1 : 0;
            next.level = near.next.level;
        }
        player->setRoad(1, next);

        // b-c.
        step = player->totalSpeed() * dt;
        const int onRail = player->advance(step, nullptr, nullptr);
        flags = player->getRailFlags();

        // d. Stargate stretches ask for a transition, which happens when the train leaves them.
        if (!(flags & SegmentStargateOut))
            request = TransitionStartSet;
        else if (_battery >= 100.0f) {
            if (!(flags & SegmentStargateIn))
                request = TransitionStargate;
            else if (!(flags & SegmentStargateOther))
                request = TransitionRandomMap;
        }

        // e. Off the rail's end, or waggled over a side without a rail.
        const int32_t action = player->getAction();
        if (onRail == 0 || (!(flags & SegmentRailLeft) && action == ActorPlayer::Action_WaggleRight) ||
            (!(flags & SegmentRailRight) && action == ActorPlayer::Action_WaggleLeft)) {
            player->crash();
            if (_stageCamera)
                _stageCamera->shake(1.0f);
        }

        // f. The road follows the train, into the next level when its rail belongs there.
        Level* trainLevel = player->getRoad(0).level;
        level = road->getCurrentLevel();
        if (!trainLevel || trainLevel == level) {
            if (level)
                advanceRoad(level->distanceAlong(worldPosition(player)));
        } else {
            updateLevelLook();
            advanceRoad(0);
            level = road->getCurrentLevel();
            if (level)
                applyLevelLights(level);
            player->setLights(_lights);
        }
    }

    // 8. The train's own update, in every state; the camera follows its move without the sideways
    // swing of a rail change.
    Vector3 offsetChange;
    if (player) {
        const Vector3 offset0 = worldPosition(player) - player->_currentOffset;
        player->update(dt);
        offsetChange = (worldPosition(player) - player->_currentOffset) - offset0;
    }

    // 9. The lights turn from the current level's to the next one's over its last stretch.
    if (road && road->aheadLevels.size() >= 2 && player) {
        Level* level0 = road->aheadLevels[0];
        Level* level1 = road->aheadLevels[1];
        const float length = level0->getLength();
        const float blend = std::min(road->distanceBefore, length);
        if (blend > 0) {
            const float along = level0->distanceAlong(worldPosition(player));
            const float t = std::min(1.0f, std::max(0.0f, (blend - length + along) / blend));
            blendLevelLights(level0, level1, t);
        }
    }

    // 10-11. The camera, and the train's effects hidden while the camera is inside the train.
    level = road ? road->getCurrentLevel() : nullptr;
    // Without a level to follow (no set attached yet, or none could be) the camera stays put.
    if (!_freeCamera && _stageCamera && level && player)
        _stageCamera->update(dt, level, player, offsetChange, running ? step : 0.0f);
    if (player && _stageCamera && _stageCamera->getCamera()) {
        Vector3 low, high;
        if (getObjectScaledBounds(player, true, true, low, high)) {
            const Vector3 eye = worldPosition(_stageCamera->getCamera());
            const Vector3 local = player->_transform->_world.inverted().transformPoint(eye);
            player->setEffectsHidden(sphereIntersectsBox(low, high, local, _stageCamera->_collisionSphere * 0.5f) != 0);
        }
    }

    // 12-14.
    if (_atmosphere && _stageCamera)
        _atmosphere->update(_stageCamera->getCamera(), dt);
    if (_state == StateRunning && road)
        road->update(dt);
    if (_particleSystem) {
        _particleSystem->update(dt, _stageCamera ? _stageCamera->getCamera() : nullptr);
        _particleSystem->buildGeometry();
    }

    // 15-16.
    if (_state == StateRunning) {
        if (player)
            updatePickups();
        if (player) {
            // a. Duck stretches.
            if (!_duckCameraHandle && !(flags & SegmentCameraUp)) {
                _duckCameraHandle = pushCamera(CameraRail, findCamera(player->_cameraDuck));
            } else if (_duckCameraHandle && (flags & SegmentCameraUp)) {
                popCamera(_duckCameraHandle);
                _duckCameraHandle = 0;
            }
            // b. Fly stretches. The flag, not the camera's handle, says whether the train flies:
            // a player without a fly camera must land all the same.
            if (!_flying && !(flags & SegmentNoFly)) {
                _flying = true;
                player->releaseBrake();
                player->setFlying(true);
                _flyCameraHandle = pushCamera(CameraRail, findCamera(player->_cameraFly));
            } else if (_flying && (flags & SegmentNoFly)) {
                _flying = false;
                player->setFlying(false);
                if (_flyCameraHandle)
                    popCamera(_flyCameraHandle);
                _flyCameraHandle = 0;
            }
        }
        // c.
        setTransition(request);
    }

    // 17. The crash moment, once per crash.
    if (player && actionBefore != ActorPlayer::Action_Crash && player->isCrashed()) {
        pushCamera(CameraDeath, findCamera(player->_cameraDeath));
        if (_control)
            _control->releaseAll();
        _resultsCountdown.setDuration(ConfigStore::instance().getFloat("menu_results.showDelay", 1.5f));
        _resultsCountdown.start();
        if (_menu)
            if (MenuHudExt* hud = _menu->getHudExt())
                hud->showPlayerDeath();
        // The wreck flies through the scenery: actors hidden near the camera come back.
        if (road && _control && !_control->_dashEnable && player->_actorCrash) {
            for (size_t i = 0; i < road->aheadLevels.size() && i < 2; ++i)
                road->aheadLevels[i]->showActors(true);
            if (!road->behindLevels.empty())
                road->behindLevels.back()->showActors(true);
        }
    }

    // 18.
    if (_proxyContainer) {
        const bool onTrack = _state == StateRunning && player && !player->isCrashed();
        _proxyContainer->addTime(onTrack ? dt : 0.0f);
    }

    // 19. The results delay and HUD (the run report too, so it is kept without a menu), then the
    // menu: finger 0 and its own update in real frame time.
    updateResultsAndHud(dt);
    if (_menu) {
        if (_control) {
            const InputFinger& finger = _control->finger(0);
            const Vector3 position(finger._x, finger._y, 0);
            if (finger._ended)
                _menu->touchEnded(0, position);
            else if (finger._began)
                _menu->touchBegan(0, position);
            else if (finger._down && (finger._moveX != 0 || finger._moveY != 0))
                _menu->touchMoved(0, position);
        }
        _menu->update(frameTime().dt);
    }

    // 20.
    drawDebugRails();
}

void Stage::rebaseOrigin() {
    Level* level = _road ? _road->getCurrentLevel() : nullptr;
    if (!level)
        return;
    Matrix4 m;
    level->getBeginMatrix().inverse(m);
    if (_particleSystem)
        _particleSystem->applyTransform(m);
    _road->realignLevels();
    if (_actorPlayer)
        _actorPlayer->applyTransform(m);
    if (_stageCamera)
        _stageCamera->applyTransform(m);
}

void Stage::drawDebugRails() {
    if (!_debugDraw)
        return;
    _debugDraw->reset();
    if (!_menu || !_menu->isRailsDebug() || !_road)
        return;
    for (Level* level : _road->aheadLevels)
        _road->debugDrawJumpLinks(_debugDraw, level);
    for (size_t i = _road->behindLevels.size(); i-- > 0;)
        _road->debugDrawJumpLinks(_debugDraw, _road->behindLevels[i]);
    _road->debugDraw(_debugDraw);
    if (_actorPlayer)
        _actorPlayer->debugDraw(_debugDraw);
}

}  // namespace Zelvan

// The stage running the sample game headless: loaded through its loader, a run on the autopilot
// to the crash that the meadow's dead end forces, repeated with the same seed; swipes changing
// lanes; pause and the free camera freezing the train; the origin shift; the start region's
// fallbacks and the fly stretch without a fly camera.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine/online/SocialPlatform.h"
#include "engine/plat_linux/SocialServices.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/stage/ZelvanControl.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"

namespace {

// The game harness; load() runs the loader to its end, which leaves the train standing in the
// menus, and starts a run from the menu. Every 60th frame is drawn (drawing changes nothing of the
// game).
class StageRunTest : public GameFixture {
protected:
    StageRunTest() { _drawEvery = 60; }

    // fixture: configuration read before the sample's (the first value of a key stays).
    void load(bool autopilot, uint32_t seed = 7, const std::string& fixture = std::string(), bool expectRun = true) {
        _seed = seed;
        GameFixture::load(fixture, autopilot);
        ASSERT_FALSE(HasFatalFailure());
        _player = _stage->getPlayer();
        EXPECT_EQ(_stage->getState(), Stage::StateStanding) << "the loader's end enters the menus";
        _menu->startRun();
        if (expectRun) {
            ASSERT_EQ(_stage->getState(), Stage::StateRunning) << "the menu starts the run";
        }
        _frameCount = 0;
    }
    void unload() {
        GameFixture::unload();
        _player = nullptr;
    }
    // The next load is a first start again: no profile file, no keychain item.
    void forgetPlayer() {
        SocialPlatform::instance().reset();
        std::remove((_documents.path() + "/player.profile").c_str());
        std::remove((platform::keychainPath() + "/zelvan10.item").c_str());
    }
    void touch(int type, float x, float y) { GameFixture::touch(type, Vector3(x, y, 0)); }
    Vector3 trainAt() const { return _player->_transform->_world.getTranslation(); }
    Vector3 cameraAt() const { return _stage->getStageCamera()->getCamera()->_transform->_world.getTranslation(); }
    // The train's side offset from its level's chain axis.
    float side() const {
        Level* level = _player->getRoad(0).level;
        const Matrix4 begin = level->getBeginMatrix();
        const Vector3 d = trainAt() - begin.getTranslation();
        return d.dot(begin.row3(0).normalized());
    }

    struct Ride {
        int crashFrame = -1;
        float distance = 0;
        float coins = 0;
        std::vector<Vector3> trace;
    };
    Ride rideToCrash(int limit) {
        Ride ride;
        for (int i = 0; i < limit && !_player->isCrashed(); ++i) {
            frame();
            if (_frameCount % 30 == 0)
                ride.trace.push_back(trainAt());
        }
        if (_player->isCrashed())
            ride.crashFrame = _frameCount;
        ride.distance = _player->_goods._distance;
        ride.coins = _player->_goods.get("coins")._amount;
        return ride;
    }

    ActorPlayer* _player = nullptr;
};

const int kRideLimit = 60 * 60 * 5;  // five minutes of game time

TEST_F(StageRunTest, AutopilotRidesToTheDeadEndAndTheSameSeedRidesTheSame) {
    load(true);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(_player->_autopilot);
    const Ride first = rideToCrash(kRideLimit);
    ASSERT_GT(first.crashFrame, 0) << "the autopilot never reached the meadow's dead end";
    EXPECT_GT(first.distance, 100.0f);
    Level* level = _player->getRoad(0).level;
    ASSERT_NE(level, nullptr);
    EXPECT_NE(level->getName().find("l04"), std::string::npos) << level->getName();

    // The crash moment happens once: one death camera, one countdown that fires after its delay.
    EXPECT_EQ(_stage->_cameraStacks._stacks[Stage::CameraDeath].size(), 1u);
    // The run's end goes to the menu once, after the results delay: the menu takes the train
    // out of the running state.
    const int crashFrame = _frameCount;
    EXPECT_EQ(_stage->getState(), Stage::StateRunning) << "a crash leaves the state to the menu";
    for (int i = 0; i < 150 && _stage->getState() == Stage::StateRunning; ++i)
        frame();
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
    EXPECT_NEAR(_frameCount - crashFrame, 90, 2) << "menu_results.showDelay of 1.5 s";
    for (int i = 0; i < 30; ++i)
        frame();
    EXPECT_EQ(_stage->_cameraStacks._stacks[Stage::CameraDeath].size(), 1u);

    // A new stage, the same seed: the same ride, from a first start again (the player's profile
    // of the first ride would otherwise skip the tutorial).
    unload();
    forgetPlayer();
    load(true);
    ASSERT_FALSE(HasFatalFailure());
    const Ride second = rideToCrash(kRideLimit);
    EXPECT_EQ(second.crashFrame, first.crashFrame);
    EXPECT_FLOAT_EQ(second.distance, first.distance);
    EXPECT_FLOAT_EQ(second.coins, first.coins);
    ASSERT_EQ(second.trace.size(), first.trace.size());
    for (size_t i = 0; i < first.trace.size(); ++i)
        ASSERT_LT((second.trace[i] - first.trace[i]).length(), 1e-4f) << "trace point " << i;

    // A reset starts over from the start region, the death camera gone.
    _stage->resetRun();
    EXPECT_FALSE(_player->isCrashed());
    EXPECT_TRUE(_stage->_cameraStacks._stacks[Stage::CameraDeath].empty());
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    const float before = _player->_goods._distance;
    for (int i = 0; i < 30; ++i)
        frame();
    EXPECT_GT(_player->_goods._distance, before);
}

TEST_F(StageRunTest, SwipesChangeLanesWithoutTheAutopilot) {
    load(false);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(_player->_autopilot);
    for (int i = 0; i < 10; ++i)
        frame();
    const float start = side();
    Control* control = _stage->getControl();
    auto swipe = [&](float dx) {
        touch(InputTouchBegan, 0.5f, 0.5f);
        frame();
        for (int i = 0; i < 4; ++i) {
            touch(InputTouchMoved, 0.5f + dx * (float)(i + 1), 0.5f);
            frame();
        }
        touch(InputTouchEnded, 0.5f + dx * 4, 0.5f);
        frame();
        for (int i = 0; i < 60 && _player->getAction() != ActorPlayer::Action_Run; ++i)
            frame();
    };
    ASSERT_NE(control, nullptr);
    swipe(-0.02f);
    EXPECT_FALSE(_player->isCrashed());
    EXPECT_NEAR(side(), start - 2.0f, 0.3f) << "one lane to the left";
    swipe(0.02f);
    swipe(0.02f);
    EXPECT_NEAR(side(), start + 2.0f, 0.3f) << "two lanes to the right";
}

TEST_F(StageRunTest, PauseAndTheFreeCameraFreezeTheTrain) {
    load(false);
    ASSERT_FALSE(HasFatalFailure());
    for (int i = 0; i < 20; ++i)
        frame();
    for (int mode = 0; mode < 2; ++mode) {
        if (mode == 0)
            _stage->setState(Stage::StatePaused);
        else
            _stage->_freeCamera = true;
        const Vector3 at = trainAt();
        const float distance = _player->_goods._distance;
        for (int i = 0; i < 20; ++i)
            frame();
        EXPECT_LT((trainAt() - at).length(), 1e-5f) << (mode ? "free camera" : "paused");
        EXPECT_FLOAT_EQ(_player->_goods._distance, distance);
        if (mode == 0) {
            EXPECT_TRUE(Clock::isPaused());
            _stage->setState(Stage::StateRunning);
            EXPECT_FALSE(Clock::isPaused());
        } else {
            _stage->_freeCamera = false;
        }
        for (int i = 0; i < 5; ++i)
            frame();
        EXPECT_GT(_player->_goods._distance, distance) << "moves again";
    }
}

TEST_F(StageRunTest, AtTheOriginShiftTrainAndCameraKeepTheirRelation) {
    // Without the menus' camera, so that the run's camera is in place from the first frame.
    load(false, 7, "[menu]\ncameraName = \"\"\n");
    ASSERT_FALSE(HasFatalFailure());
    // Past the first level, so the current level does not begin at the origin.
    for (int i = 0; i < 300 && _stage->getRoad()->getCurrentLevel()->getBeginMatrix().getTranslation().length() < 1;
         ++i)
        frame();
    Level* level = _stage->getRoad()->getCurrentLevel();
    ASSERT_GT(level->getBeginMatrix().getTranslation().length(), 1.0f);
    const Vector3 relation = cameraAt() - trainAt();
    const float distance = _player->_goods._distance;
    const float along = level->distanceAlong(trainAt());
    _stage->rebaseOrigin();
    EXPECT_LT(level->getBeginMatrix().getTranslation().length(), 1e-3f);
    EXPECT_NEAR(level->distanceAlong(trainAt()), along, 1e-3f);
    frame();
    EXPECT_FALSE(_player->isCrashed());
    EXPECT_LT(((cameraAt() - trainAt()) - relation).length(), 0.5f) << "no jump of the camera";
    EXPECT_GT(_player->_goods._distance, distance);
    EXPECT_LT(_player->_goods._distance - distance, 1.0f);

    // A teleport distance of 0 moves the origin every frame; the ride goes on all the same.
    _stage->_maxDistanceToTeleport = 0;
    for (int i = 0; i < 120; ++i) {
        frame();
        ASSERT_FALSE(_player->isCrashed()) << "frame " << i;
        ASSERT_LT(_stage->getRoad()->getCurrentLevel()->getBeginMatrix().getTranslation().length(), 50.0f);
    }
}

TEST_F(StageRunTest, ARunStartsOnAFallbackRegionOrNotAtAll) {
    load(false, 7, "[menu]\npages = { map }\n");
    ASSERT_FALSE(HasFatalFailure());
    // A current region whose set is gone: logged, and the configured start region.
    MenuMapExt02* map = _stage->getMenu()->getMapExt();
    ASSERT_NE(map, nullptr);
    ASSERT_TRUE(map->selectContinent("hills"));
    map->getCurrent()->levelSet = "nowhere";
    _stage->resetRun();
    ASSERT_NE(_stage->getLevelGroupSet(), nullptr);
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionMeadow");
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    // A known region wins.
    map->getCurrent()->levelSet = "regionHills";
    _stage->resetRun();
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionHills");
    unload();
    forgetPlayer();

    // No start region configured: the first region.
    load(false, 7, "[level]\nstartLevelSet = \"\"\n");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(std::string(ConfigStore::instance().getString("level.startLevelSet", "?")), "");
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionMeadow");
    unload();
    forgetPlayer();

    // A start region that names nothing and no region on the map: the reset of the menus' entry
    // logs it and leaves no set, so the menu's start cannot run; a reset later leaves the stage
    // out of the running state.
    testsupport::captureLog();
    testsupport::clearLog();
    load(false, 7, "[level]\nstartLevelSet = nowhere\n[menu_map_extension02]\nstartContinent = \"\"\n", false);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(testsupport::logContains("No level set for region() nor a start level set(nowhere)!"));
    EXPECT_EQ(_stage->getLevelGroupSet(), nullptr);
    EXPECT_NE(_stage->getState(), Stage::StateRunning);
    _stage->setState(Stage::StateStanding);
    testsupport::clearLog();
    _stage->resetRun();
    EXPECT_TRUE(testsupport::logContains("No level set for region() nor a start level set(nowhere)!"));
    EXPECT_EQ(_stage->getLevelGroupSet(), nullptr);
    EXPECT_NE(_stage->getState(), Stage::StateRunning);
    _stage->startRun();
    EXPECT_TRUE(testsupport::logContains("No level set to start a run on!"));
    EXPECT_NE(_stage->getState(), Stage::StateRunning);
    for (int i = 0; i < 10; ++i)
        frame();
    EXPECT_FALSE(_player->isCrashed());
}

TEST_F(StageRunTest, AFlyStretchWithoutAFlyCameraStillLands) {
    load(false);
    ASSERT_FALSE(HasFatalFailure());
    frame();
    _player->_cameraFly = "";
    Rail* rail = _player->getRoad(0).rail;
    ASSERT_NE(rail, nullptr);
    std::vector<uint32_t> saved;
    for (RailPoint& point : const_cast<std::vector<RailPoint>&>(rail->getPoints())) {
        saved.push_back(point.flags);
        point.flags &= ~(uint32_t)SegmentNoFly;
    }
    frame();
    EXPECT_TRUE(_stage->_flying);
    EXPECT_EQ(_stage->_flyCameraHandle, 0);
    EXPECT_EQ(_player->_shadowFade._rising, 0) << "the shadow fades while the train flies";
    size_t i = 0;
    for (RailPoint& point : const_cast<std::vector<RailPoint>&>(rail->getPoints()))
        point.flags = saved[i++];
    frame();
    EXPECT_FALSE(_stage->_flying);
    EXPECT_EQ(_player->_shadowFade._rising, 1);
}

}  // namespace

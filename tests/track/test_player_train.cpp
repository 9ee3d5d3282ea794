// The sample train driven frame by frame over a stand-in of the road (support_player.h).

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/ConfigStore.h"
#include "engine/platform.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "engine_game/Camera.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoostKinds.h"
#include "game/actors/ZelvanTrackServices.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanLevelCamera.h"
#include "game/track/ZelvanRail.h"
#include "support_player.h"

using namespace Zelvan;
using namespace playertest;

namespace {

TEST_F(PlayerTrainTest, SampleTuningIsRead) {
    EXPECT_EQ(_train->_playerName, "trainRed");
    EXPECT_FLOAT_EQ(_train->_speedMin, 8);
    EXPECT_FLOAT_EQ(_train->_speedMax, 20);
    EXPECT_FLOAT_EQ(_train->_railWheel1, -1.2f);
    EXPECT_EQ(_train->_brakeUpdates.size(), 3u);
    EXPECT_EQ(_train->_cameraDeath, "camera_death");
    ASSERT_NE(_train->_actorCrash, nullptr);
    ASSERT_NE(_train->_actorHit, nullptr);
    EXPECT_FALSE(_train->_actorCrash->_active) << "the wreck waits outside the world";
    EXPECT_FLOAT_EQ(_train->_startGoods._speed, 8);
}

TEST_F(PlayerTrainTest, TenSecondsOfRunningFollowTheSpeedCurveWithoutJumps) {
    place(_train);
    Vector3 last;
    float worstStep = 0;
    bool first = true;
    for (int i = 0; i < 600; ++i) {
        frame(_train);
        const Vector3 p = shownPosition();
        if (!first)
            worstStep = std::max(worstStep, (p - last).length());
        first = false;
        last = p;
        if (i == 239) {  // 4 s of 8: half-way from minimum to maximum
            EXPECT_NEAR(_train->_goods._speed, 14.0f, 0.1f);
        }
    }
    EXPECT_FLOAT_EQ(_train->_goods._speed, 20.0f);
    EXPECT_LT(worstStep, 20.0f * kDt + 0.05f) << "the pose jumped between two rail pieces";
    EXPECT_GT(_train->_goods._distance, 140.0f);
    EXPECT_NEAR(shownPosition().x, 0.0f, 1e-3f);
}

TEST_F(PlayerTrainTest, RailChangeArcPeaksAtHalfTimeAndLandsOnTheNewLane) {
    place(_train);
    for (int i = 0; i < 30; ++i)
        frame(_train);
    RoadSlot left, right;
    _road->findSwitchRails(left, right, _train, 0, 10, 0, 1);
    ASSERT_NE(left.rail, nullptr);
    _train->jumpLeft(left.rail, left.level);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_JumpLeft);
    float peak = 0;
    int peakFrame = -1;
    Vector3 last = shownPosition();
    float worstStep = 0;
    for (int i = 1; i <= 40; ++i) {
        frame(_train);
        worstStep = std::max(worstStep, (shownPosition() - last).length());
        last = shownPosition();
        if (_train->_currentOffset.z > peak) {
            peak = _train->_currentOffset.z;
            peakFrame = i;
        }
    }
    EXPECT_NEAR(peak, _train->_jumpHeight, 1e-3f);
    EXPECT_EQ(peakFrame, 15) << "jumpTime 0.5 s: the top at 0.25 s";
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run);
    EXPECT_NEAR(shownPosition().x, -2.0f, 1e-3f);
    EXPECT_LT(worstStep, 0.5f);
    EXPECT_EQ(_train->getRoad(0).rail, left.rail) << "the continuation follows the new lane";
}

TEST_F(PlayerTrainTest, LeapLastsItsTrackLengthAndStartsItsConductorWithSeconds) {
    place(_train);
    frame(_train);
    const float start = _train->_goods._distance;
    _train->leap();
    EXPECT_TRUE(_train->isLeaping());
    float highest = 0;
    int frames = 0;
    while (_train->isLeaping() && frames < 1000) {
        frame(_train);
        highest = std::max(highest, shownPosition().z);
        ++frames;
    }
    frame(_train);
    const float travelled = _train->_goods._distance - start;
    EXPECT_NEAR(travelled, _train->_leapTimer._duration, 8.0f * 2 * kDt + 0.2f);
    EXPECT_GT(highest, _train->_leapHeight);
    _train->_goods._speed = 0;
    EXPECT_NO_FATAL_FAILURE(_train->leap());
}

TEST_F(PlayerTrainTest, BrakeDragsTheSpeedDownToTheMinimumOnly) {
    place(_train);
    for (int i = 0; i < 480; ++i)
        frame(_train);
    ASSERT_NEAR(_train->totalSpeed(), 20.0f, 1e-3f);
    _train->brake();
    EXPECT_FLOAT_EQ(_train->_goods.get("analyticsBrake")._amount, 1);
    _train->brake();  // locked: refused, not counted
    EXPECT_FLOAT_EQ(_train->_goods.get("analyticsBrake")._amount, 1);
    for (int i = 0; i < 30; ++i)
        frame(_train);
    EXPECT_NEAR(_train->totalSpeed(), 14.0f, 0.01f) << "the first brake line takes 6 at full level";
    _train->_goods._speed = 9;
    frame(_train);
    EXPECT_NEAR(_train->totalSpeed(), 8.0f, 1e-4f) << "never below the minimum";
}

TEST_F(PlayerTrainTest, DashFollowsItsCurve) {
    place(_train);
    _train->dash();
    frame(_train, 0);  // dt 0: timers hold, the curve is read at r = 1
    EXPECT_NEAR(_train->_goods._dashSpeed, 0.0f, 1e-3f);
    for (int i = 0; i < 30; ++i)
        frame(_train);
    // Half-way (r = 0.5): the full dash, between dashMin and dashMax by the speed.
    const float k = (_train->_goods._speed - 8) / 12;
    EXPECT_NEAR(_train->_goods._dashSpeed, 10 + 5 * k, 0.2f);
    for (int i = 0; i < 40; ++i)
        frame(_train);
    EXPECT_FLOAT_EQ(_train->_goods._dashSpeed, 0);
}

TEST_F(PlayerTrainTest, HitsThenCrashAndRetryLeavesTheWreckOutsideTheWorld) {
    place(_train);
    frame(_train);
    _train->hit(40);
    _train->hit(40);  // within the second of immunity: ignored
    EXPECT_FLOAT_EQ(_train->_goods._energy, 60);
    for (int i = 0; i < 61; ++i)
        frame(_train);
    _train->hit(40);
    EXPECT_FLOAT_EQ(_train->_goods._energy, 20);
    for (int i = 0; i < 61; ++i)
        frame(_train);
    _train->hit(20);  // exactly to 0: a crash
    EXPECT_TRUE(_train->isCrashed());
    ASSERT_TRUE(_train->_actorCrash->_active);
    EXPECT_NEAR((_train->_actorCrash->getWorldPosition() - _train->getWorldPosition()).length(), 0.0f, 1e-3f)
        << "the wreck starts where the train was";
    const Vector3 fling = _train->_crashFling1;
    _train->crash();  // twice: nothing new
    EXPECT_EQ(_train->_crashFling1, fling);
    frame(_train);
    EXPECT_TRUE(_train->_hidden) << "with a wreck the train itself is hidden";
    EXPECT_EQ(_train->getVelocity(), Vector3());

    _train->reset();
    EXPECT_FALSE(_train->_actorCrash->_active);
    EXPECT_FLOAT_EQ(_train->_goods._energy, 100);
    place(_train);
    for (int i = 0; i < 60; ++i)
        frame(_train);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run);
    EXPECT_FALSE(_train->_actorCrash->_active);
    _train->hit(20);
    EXPECT_FALSE(_train->isCrashed()) << "the retry starts with full energy and no crash left over";
    EXPECT_FLOAT_EQ(_train->_goods._energy, 80);
    _train->setActive(false);
    _train->setActive(true);
    EXPECT_FALSE(_train->_actorCrash->_active) << "activating a running train keeps the wreck out";
}

TEST_F(PlayerTrainTest, BoostsActAndExpire) {
    ConfigStore::instance();
    place(_train);
    _train->setWord("rail");
    frame(_train);
    auto give = [&](const char* name) {
        Boost* b = _boosts.acquire(name);
        EXPECT_NE(b, nullptr) << name;
        _train->addBoost(b);
        return b;
    };
    give("coinsFive");
    give("doubler");
    frame(_train);
    EXPECT_FLOAT_EQ(_train->_goods.get("coins")._amount, 5);
    EXPECT_FLOAT_EQ(_train->_goods.get("coins")._multiplier, 2);
    give("coinsFive");
    frame(_train);
    EXPECT_FLOAT_EQ(_train->_goods.get("coins")._amount, 15);
    give("magnet");
    give("turbo");
    give("lettera");
    give("repair");
    give("shield");
    _train->_goods._energy = 50;
    frame(_train);
    EXPECT_TRUE(_train->_goods._magnetActive);
    EXPECT_FLOAT_EQ(_train->_goods._magnetSphere, 20);
    EXPECT_TRUE(_train->_goods._speedActive);
    EXPECT_TRUE(_train->_goods._shieldActive);
    EXPECT_EQ(_train->_goods._missingLetters, "ril");
    EXPECT_FLOAT_EQ(_train->_goods._energy, 85);
    for (int i = 0; i < 60 * 9; ++i)
        frame(_train);
    EXPECT_FALSE(_train->_goods._magnetActive);
    EXPECT_FLOAT_EQ(_train->_goods._magnetSphere, 0);
    EXPECT_FALSE(_train->_goods._speedActive);
    EXPECT_FLOAT_EQ(_train->_goods._speedUp, 0);
    EXPECT_FLOAT_EQ(_train->_goods.get("coins")._multiplier, 1) << "the doubler restored the multiplier";
    EXPECT_EQ(_train->_boosts.size(), 0u);

    // A second onlyOne boost replaces the first.
    Boost* first = give("turbo");
    frame(_train);
    Boost* second = give("doubler");
    frame(_train);
    frame(_train);
    EXPECT_EQ(_train->_boosts.size(), 2u) << "the turbo fades out after its cut";
    EXPECT_NE(first, second);
    EXPECT_TRUE(static_cast<BoostSpeed*>(first)->_cut);
    EXPECT_FALSE(_train->_goods._speedActive) << "a cut turbo sets no flags";
    for (int i = 0; i < 40; ++i)
        frame(_train);
    ASSERT_EQ(_train->_boosts.size(), 1u);
    EXPECT_EQ(_train->_boosts[0], second);

    _train->reset();
    EXPECT_EQ(_train->_boosts.size(), 0u);
    EXPECT_FLOAT_EQ(_train->_goods.get("coins")._amount, 0) << "reset restores the goods";
    EXPECT_FLOAT_EQ(_train->_goods.get("coins")._multiplier, 1);
}

TEST_F(PlayerTrainTest, BrakeEnergyRandomAndCameraBoosts) {
    CameraStacks stacks;
    StageCamera camera(world());
    for (const std::string& name : ConfigStore::instance().getList("camera.cameras"))
        stacks.addCamera(LevelCamera::create(name));
    stacks.bind(&camera, _train);
    _train->_cameras = &stacks;
    place(_train);
    frame(_train);
    _train->brake();
    for (int i = 0; i < 150; ++i)
        frame(_train);
    ASSERT_TRUE(_train->_brakeEnvelope.isLocked());
    _train->addBoost(_boosts.acquire("brakecharge"));
    frame(_train);
    EXPECT_NEAR(_train->_brakeEnvelope._delay, 0.1f, 1e-6f);

    Boost* flyby = _boosts.acquire("flyby");
    _train->addBoost(flyby);
    frame(_train);
    EXPECT_EQ(stacks.top(), stacks.findCamera("camera_boost"));
    EXPECT_TRUE(_train->_goods._cameraActive);
    EXPECT_TRUE(_train->_goods._shieldActive);
    for (int i = 0; i < 200; ++i)
        frame(_train);
    EXPECT_EQ(stacks.top(), nullptr) << "popped at its end";

    Boost* surprise = _boosts.acquire("surprise");
    ASSERT_NE(surprise, nullptr);
    EXPECT_FALSE(surprise->getInnerName().empty());
    _train->addBoost(surprise);
    frame(_train);
    _train->_cameras = nullptr;
}

TEST_F(PlayerTrainTest, RailChangeBouncesBackOnce) {
    place(_train);
    for (int i = 0; i < 30; ++i)
        frame(_train);
    Rail* origin = _train->getRoad(0).rail;
    RoadSlot left, right;
    _road->findSwitchRails(left, right, _train, 0, 10, 0, 1);
    EXPECT_FALSE(_train->updateRailJump()) << "no rail change, no bounce";
    _train->jumpLeft(left.rail, left.level);
    for (int i = 0; i < 6; ++i)
        frame(_train);
    ASSERT_TRUE(_train->updateRailJump());
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_JumpRight);
    EXPECT_EQ(_train->getRoad(0).rail, origin);
    EXPECT_FALSE(_train->updateRailJump()) << "a second collision of the same change";
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_JumpRight);
    for (int i = 0; i < 40; ++i)
        frame(_train);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run);
    EXPECT_NEAR(shownPosition().x, 0.0f, 1e-3f) << "back on the lane it came from";
}

TEST_F(PlayerTrainTest, CharacterRidesThenFliesToTheCamera) {
    Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    auto* fox = dynamic_cast<ActorCharacter*>(world()->createObject(
        nullptr, "objects/characters/fox.object", "Fox", PropertyList(), 1, rows, Vector3(), Vector3(1, 1, 1), nullptr));
    ASSERT_NE(fox, nullptr);
    StageCamera camera(world());
    camera.attach();
    camera.setTrack(_road.get());
    _train->setCharacter(fox);
    EXPECT_EQ(_train->getCharacter(), fox);
    place(_train);
    EXPECT_TRUE(fox->_running);
    for (int i = 0; i < 60; ++i) {
        frame(_train);
        camera.update(kDt, _road->level(0), _train, Vector3(), 0);
    }
    tracktest::expectVec(fox->getWorldPosition(), _train->_characterNode->getWorldPosition(), 1e-4f);

    _train->crash();
    EXPECT_FALSE(fox->_running) << "the character dies with the train";
    const float flyTime = _train->_characterDieFlyTimer._duration;
    const float cameraTime = _train->_characterDieCameraTimer._duration;
    const Vector3 start = fox->getWorldPosition();
    auto inCamera = [&]() {
        const Matrix4& cw = camera.getCamera()->_transform->_world;
        const Vector3 d = fox->getWorldPosition() - cw.getTranslation();
        return Vector3(d.dot(cw.row3(0).normalized()), d.dot(cw.row3(1).normalized()),
                       d.dot(cw.row3(2).normalized()));
    };
    float lastDistance = 1e9f;
    int frames = 0;
    for (; frames * kDt < flyTime - kDt * 0.5f; ++frames) {
        frame(_train);
        camera.update(kDt, _road->level(0), _train, Vector3(), 0);
        const float d = inCamera().length();
        ASSERT_LE(d, lastDistance + 1e-4f) << "closer every frame, frame " << frames;
        lastDistance = d;
    }
    frame(_train);
    const Vector3 a = _train->_crashFling1;
    tracktest::expectVec(inCamera(), a, 1e-3f);
    EXPECT_NEAR(inCamera().z, -1.5f, 1e-3f) << "1.5 in front of the lens";
    EXPECT_GT((start - fox->getWorldPosition()).length(), 2.0f);
    // Facing the camera: its forward axis points back at the lens.
    const Vector3 back = camera.getCamera()->_transform->_world.row3(2).normalized();
    EXPECT_GT(fox->_transform->_world.row3(1).normalized().dot(back), 0.99f);

    for (int i = 0; i * kDt < cameraTime + kDt; ++i)
        frame(_train);
    tracktest::expectVec(inCamera(), _train->_crashFling2, 1e-3f);

    // Reset brings it back onto the train; detach lets it go.
    _train->reset();
    place(_train);
    frame(_train);
    tracktest::expectVec(fox->getWorldPosition(), _train->_characterNode->getWorldPosition(), 1e-4f);
    _train->detach();
    EXPECT_EQ(_train->getCharacter(), nullptr);
    EXPECT_FALSE(fox->_active);
    _train = nullptr;
}

TEST_F(PlayerTrainTest, TeardownWithAWreckAndABoostInTheList) {
    place(_train);
    frame(_train);
    _train->addBoost(_boosts.acquire("magnet"));
    _train->addBoost(_boosts.acquire("turbo"));
    frame(_train);
    _train->crash();
    // Deactivated, but still listed until the next update; the wreck lies in the world.
    EXPECT_EQ(_train->_boosts.size(), 2u);
    EXPECT_TRUE(_train->_actorCrash->_active);
    _train->detach();
    EXPECT_EQ(_train->_boosts.size(), 0u);
    EXPECT_EQ(_train->_actorCrash, nullptr);
    EXPECT_EQ(_boosts.active().size(), 0u) << "every boost went back to its container";
    _train = nullptr;  // the world deletes it with the rest
}

TEST_F(PlayerTrainTest, LeadInMovesOnTheStraightBeforeTheRail) {
    place(_train, 1, -3.0f);
    const float y0 = _train->getRoad(0).rail->getPosition().y;
    _train->advance(2.0f, nullptr, nullptr);
    EXPECT_FLOAT_EQ(_train->getRoad(0).distance, -1.0f);
    _train->update(kDt);
    EXPECT_NEAR(_train->_currentPose.position.y, y0 - 1.0f - _train->_railWheel1, 1e-3f);
    _train->advance(2.0f, nullptr, nullptr);
    EXPECT_FLOAT_EQ(_train->getRoad(0).distance, 0.0f);
    EXPECT_NEAR(_train->getRoad(0).rail->getDistance(), 1.0f, 1e-4f);
}

TEST_F(PlayerTrainTest, NoRailAllowsEverything) {
    EXPECT_EQ(_train->getRailFlags(), (uint32_t)SegmentAll);
    EXPECT_EQ(_train->advance(1, nullptr, nullptr), 0);
}

TEST_F(PlayerTrainTest, TakeOverKeepsItsOwnName) {
    place(_train);
    _train->_goods.get("coins")._amount = 42;
    _train->_goods._distance = 99;
    ActorPlayer* blue = makeTrain("trainBlue");
    ASSERT_NE(blue, nullptr);
    blue->takeOver(_train);
    EXPECT_EQ(blue->_playerName, "trainBlue");
    EXPECT_FLOAT_EQ(blue->_goods.get("coins")._amount, 42);
    EXPECT_FLOAT_EQ(blue->_goods._distance, 99);
    EXPECT_EQ(blue->getAction(), ActorPlayer::Action_Run);
    blue->detach();
}

struct TuningCase {
    const char* config;
    const char* prefKey;
    const char* prefValue;
    float speedMin, speedMax, wheel2, jumpTime;
};

class PlayerTuningTest : public tracktest::TrackWorldTest, public ::testing::WithParamInterface<TuningCase> {};

TEST_P(PlayerTuningTest, RulesAndOverrides) {
    const TuningCase& c = GetParam();
    loadConfig(std::string("[t]\n") + c.config);
    if (c.prefKey)
        platform::setUserDefault(c.prefKey, c.prefValue);
    ActorPlayer train(world(), nullptr, nullptr);
    train.loadTuning("t");
    if (c.prefKey)
        platform::removeUserDefault(c.prefKey);
    EXPECT_FLOAT_EQ(train._speedMin, c.speedMin);
    EXPECT_FLOAT_EQ(train._speedMax, c.speedMax);
    EXPECT_FLOAT_EQ(train._railWheel2, c.wheel2);
    EXPECT_FLOAT_EQ(train._jumpTime, c.jumpTime);
    EXPECT_GE(train._startGoods._speed, train._speedMin);
    EXPECT_LE(train._startGoods._speed, train._speedMax);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerTuningTest,
    ::testing::Values(TuningCase{"speedMin = 30\nspeedMax = 20\n", nullptr, nullptr, 20, 30, 1, 0.5f},
                      TuningCase{"railWheel1 = 0\nrailWheel2 = 0\n", nullptr, nullptr, 5, 20, 1, 0.5f},
                      TuningCase{"", "playerjumptime_pref", "0.4", 5, 20, 1, 0.4f},
                      TuningCase{"", "playerjumptime_pref", "-2", 5, 20, 1, 0.0f},
                      TuningCase{"", "playerjumptime_pref", "fast", 5, 20, 1, 0.0f},
                      TuningCase{"", "playerjumptime_pref", "nan", 5, 20, 1, 0.0f}),
    [](const ::testing::TestParamInfo<TuningCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(PlayerTrainTest, ZeroTimesDoNotDivideByZero) {
    _train->_waggleTime = 0;
    _train->_jumpTime = 0;
    place(_train);
    frame(_train);
    _train->waggleLeft();
    frame(_train);
    EXPECT_TRUE(std::isfinite(shownPosition().x));
    _train->waggleBack();
    frame(_train);
    frame(_train);
    RoadSlot left, right;
    _road->findSwitchRails(left, right, _train, 0, 10, 0, 1);
    _train->jumpRight(right.rail, right.level);
    frame(_train);
    EXPECT_TRUE(std::isfinite(shownPosition().x));
    EXPECT_NEAR(shownPosition().x, 2.0f, 1e-3f);
}

}  // namespace

// Key-frame player: interpolation at 24 frames a second, looping, stopping, reversing, and
// staying inside the key list whatever the time.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/clock.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "support_scene.h"

using scenetest::allFinite;
using scenetest::expectVec;

namespace {

KeyFrame key(float x, float value = 0, float angleZ = 0) {
    KeyFrame k;
    k.position = Vector3(x, 0, 0);
    k.value = value;
    k.angles = Vector3(0, 0, angleZ);
    return k;
}

class KeyFramePlayerTest : public ::testing::Test {
protected:
    void SetUp() override { saved = frameTime(); }
    void TearDown() override { frameTime() = saved; }
    void step(float dt) {
        frameTime().dt = dt;
        player->advance();
    }
    // A fresh node and its player over a copy of k.
    void make(const std::vector<KeyFrame>& k) {
        keys = k;
        owner.reset(new Object(nullptr));
        player = new KeyFramePlayer(owner.get(), &keys);
    }
    float x() const { return owner->_transform->_local.getTranslation().x; }

    FrameTime saved;
    std::vector<KeyFrame> keys;
    std::unique_ptr<Object> owner{new Object(nullptr)};
    KeyFramePlayer* player = nullptr;  // owned by its node
};

TEST_F(KeyFramePlayerTest, InterpolatesBetweenNeighbouringKeys) {
    make({key(0, 1), key(10, 3), key(20, 5)});
    EXPECT_EQ(owner->_animation, player);
    EXPECT_EQ(player->_lastFrame, 2);
    step(1.0f / 48.0f);
    EXPECT_NEAR(x(), 5, 1e-4f);
    EXPECT_NEAR(player->_value, 2, 1e-4f);
    EXPECT_EQ(owner->_transform->_dirty, 1);

    struct Case {
        float time, x;
    };
    for (const Case& c : {Case{0, 0}, Case{1, 10}, Case{1.25f, 12.5f}, Case{2, 20}}) {
        player->setFrame(c.time);
        EXPECT_NEAR(x(), c.x, 1e-4f) << "time " << c.time;
    }
}

TEST_F(KeyFramePlayerTest, LoopingWrapsToTheFirstKeyTheShortWayRound) {
    make({key(0, 0, degToRad(350)), key(10, 0, degToRad(200)), key(20, 0, degToRad(350))});
    keys[0].angles.z = degToRad(10);
    player->setFrame(2.5f);
    EXPECT_NEAR(x(), 10, 1e-4f) << "halfway from key 2 back to key 0";
    Vector3 xAxis = owner->_transform->_local.row3(0);
    // Between 350 and 10 degrees lies 0, not 180.
    expectVec(xAxis, Vector3(1, 0, 0), 1e-4f);
}

TEST_F(KeyFramePlayerTest, WrapAndStopRules) {
    struct Case {
        const char* name;
        bool loop;
        float speed;
        float start;
        float dt;
        float time;  // after the step
        bool playing;
    };
    const float frame = 1.0f / 24.0f;
    const Case cases[] = {
        {"loop past the end", true, 1, 2.5f, frame, 0.5f, true},
        {"stop at the end", false, 1, 1.5f, frame, 2, false},
        {"reverse loop below zero", true, -1, 0.5f, frame, 2.5f, true},
        {"reverse stop at zero", false, -1, 0.5f, frame, 0, false},
        {"long frame wraps whole periods", true, 1, 0, 10 * frame, 1, true},
        {"large negative step", true, -1, 0.5f, 50 * frame, 1.5f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make({key(0), key(10), key(20)});
        player->_loop = c.loop;
        player->_speed = c.speed;
        player->_time = c.start;
        step(c.dt);
        EXPECT_NEAR(player->_time, c.time, 1e-4f);
        EXPECT_EQ(player->_playing != 0, c.playing);
        EXPECT_GE(player->_time, 0);
        EXPECT_LT(player->_time, 3);
    }
}

TEST_F(KeyFramePlayerTest, AStoppedPlayerStaysAtTheLastKey) {
    make({key(0), key(10), key(20)});
    player->_loop = 0;
    for (int i = 0; i < 5; ++i)
        step(1.0f / 24.0f);
    EXPECT_EQ(player->_playing, 0);
    EXPECT_NEAR(x(), 20, 1e-4f);
    step(1.0f);
    EXPECT_NEAR(player->_time, 2, 1e-6f);
    EXPECT_NEAR(x(), 20, 1e-4f);
}

TEST_F(KeyFramePlayerTest, OneKeyShowsThatKeyAtAnyTime) {
    make({key(7, 3)});
    for (float t : {0.0f, 0.5f, 3.0f, -2.0f}) {
        player->setFrame(t);
        EXPECT_NEAR(x(), 7, 1e-5f) << "time " << t;
        EXPECT_NEAR(player->_value, 3, 1e-5f);
    }
    step(0.3f);
    EXPECT_NEAR(x(), 7, 1e-5f);
}

TEST_F(KeyFramePlayerTest, TimesOutsideTheRangeNeverLeaveTheKeys) {
    make({key(0), key(10), key(20)});
    struct Case {
        float time, x;
    };
    // Before the range: the first key; far past it: the last key.
    for (const Case& c : {Case{-0.5f, 0}, Case{-1e9f, 0}, Case{1e9f, 20}, Case{NAN, 0}}) {
        player->setFrame(c.time);
        EXPECT_NEAR(x(), c.x, 1e-3f) << "time " << c.time;
        EXPECT_TRUE(allFinite(owner->_transform->_local));
    }

    // A frame range the list does not hold.
    player->_firstFrame = -4;
    player->_lastFrame = 40;
    player->setFrame(1.5f);
    EXPECT_TRUE(allFinite(owner->_transform->_local));
    player->_firstFrame = 9;
    player->setFrame(0);
    EXPECT_NEAR(x(), 20, 1e-4f);
}

TEST_F(KeyFramePlayerTest, AnEmptyKeyListLeavesTheNodeAlone) {
    make({});
    owner->setPosition(Vector3(1, 2, 3));
    EXPECT_EQ(player->_lastFrame, -1);
    step(1.0f);
    player->setFrame(-5);
    player->_speed = -3;
    step(100.0f);
    expectVec(owner->getPosition(), Vector3(1, 2, 3));

    Object other(nullptr);
    other.setPosition(Vector3(4, 5, 6));
    KeyFramePlayer* noList = new KeyFramePlayer(&other, nullptr);
    noList->setFrame(1);
    frameTime().dt = 1;
    noList->advance();
    expectVec(other.getPosition(), Vector3(4, 5, 6));
}

TEST_F(KeyFramePlayerTest, ScaleIsKeptOnTheAnimatedAxes) {
    make({key(0, 0, 0), key(10, 0, kPi / 2)});
    owner->_transform->_scale = Vector3(2, 3, 4);
    player->setFrame(1);
    expectVec(owner->_transform->_local.row3(0), Vector3(0, 2, 0), 1e-5f);
    expectVec(owner->_transform->_local.row3(1), Vector3(-3, 0, 0), 1e-5f);
    expectVec(owner->_transform->_local.row3(2), Vector3(0, 0, 4), 1e-5f);
}

}  // namespace

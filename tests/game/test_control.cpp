// Fingers, keys and tilt as the game mode sees them after each frame's update.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "GameConfigFixture.h"
#include "game/stage/ZelvanControl.h"

using namespace Zelvan;

namespace {

const float kDt = 1.0f / 60.0f;

// began/down/ended of a finger, as "bde" with '-' for a clear flag.
std::string flags(const InputFinger& f) {
    std::string s = "---";
    if (f._began)
        s[0] = 'b';
    if (f._down)
        s[1] = 'd';
    if (f._ended)
        s[2] = 'e';
    return s;
}

class ControlTest : public GameConfigFixture {
protected:
    void SetUp() override {
        GameConfigFixture::SetUp();
        control.reset(Control::create());
    }
    void touch(int type, int index, float x = 0.5f, float y = 0.5f, float dx = 0, float dy = 0) {
        control->onTouch(type, index, Vector2(x, y), Vector2(dx, dy));
    }
    // The flags of finger 0 after each of n updates.
    std::string frames(int n, int index = 0) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            control->updateFingers(kDt);
            out += (i ? " " : "") + flags(control->finger(index));
        }
        return out;
    }
    std::unique_ptr<Control> control;
};

TEST_F(ControlTest, SettingsAreClampedAndAnglesReadInDegrees) {
    EXPECT_FLOAT_EQ(control->_waggleAngleIn, 25.0f * 0.017453292f);  // defaults without keys
    EXPECT_TRUE(control->_leapEnable);
    loadConfig("[control]\nholdTime = 9\nslideSpeed = -1\ntapTime = 0.3\nwaggleAngleIn = 30\n"
               "waggleAngleOut = -10\nrayDistance = -5\ndashEnable = true\nleapEnable = false\n");
    control.reset(Control::create());
    EXPECT_EQ(control->_holdTime, 5.0f);
    EXPECT_EQ(control->_slideSpeed, 0.0f);
    EXPECT_FLOAT_EQ(control->_tapTime, 0.3f);
    EXPECT_NEAR(control->_waggleAngleIn, 0.5236f, 1e-4f);
    EXPECT_NEAR(control->_waggleAngleOut, -0.1745f, 1e-4f);  // angles are not clamped
    EXPECT_EQ(control->_rayDistance, -5.0f);
    EXPECT_TRUE(control->_dashEnable);
    EXPECT_FALSE(control->_leapEnable);
    EXPECT_EQ(control->findKey(72)->_code, 72);
    EXPECT_EQ(control->findKey(75)->_code, 75);
    EXPECT_EQ(control->findKey(76), nullptr);
}

TEST_F(ControlTest, SwipeOverSeveralFrames) {
    touch(Control::TouchBegan, 0, 0.5f, 0.8f);
    EXPECT_EQ(frames(2), "bd- -d-");
    const float moves[][2] = {{0.02f, -0.01f}, {0.05f, -0.03f}, {0.04f, 0.0f}};
    float x = 0.5f, y = 0.8f;
    for (const auto& m : moves) {
        x += m[0];
        y += m[1];
        touch(Control::TouchMoved, 0, x, y, m[0], m[1]);
        EXPECT_TRUE(control->finger(0)._moved);
        control->updateFingers(kDt);
        const InputFinger& f = control->finger(0);
        EXPECT_FLOAT_EQ(f._moveX, m[0] / kDt);  // velocity in screens per second
        EXPECT_FLOAT_EQ(f._moveY, m[1] / kDt);
        EXPECT_FALSE(f._moved);
    }
    const InputFinger& f = control->finger(0);
    EXPECT_FLOAT_EQ(f._sumDx, 0.11f);
    EXPECT_FLOAT_EQ(f._sumDy, -0.04f);
    EXPECT_FLOAT_EQ(f._x, 0.61f);
    EXPECT_FLOAT_EQ(f._holdTime, 5 * kDt);
    control->updateFingers(kDt);  // no move event: no velocity
    EXPECT_EQ(f._moveX, 0.0f);
    touch(Control::TouchMoved, 0, x, y, 0.1f, 0.1f);
    control->updateFingers(0.0f);  // a frame without time gives no velocity either
    EXPECT_EQ(f._moveX, 0.0f);

    touch(Control::TouchEnded, 0);
    EXPECT_EQ(frames(2), "--e ---");  // released in one frame, then cleared
}

TEST_F(ControlTest, QuickTapIsDownForOneFrameAndReleasedInTheNext) {
    touch(Control::TouchBegan, 0);
    touch(Control::TouchEnded, 0);
    EXPECT_EQ(frames(4), "bd- --e --- ---");

    // A swipe begun and finished between two frames still shows as a held finger with its
    // movement, so the game mode can read it.
    touch(Control::TouchBegan, 0, 0.5f, 0.5f);
    touch(Control::TouchMoved, 0, 0.8f, 0.5f, 0.3f, 0.0f);
    touch(Control::TouchEnded, 0);
    control->updateFingers(kDt);
    EXPECT_EQ(flags(control->finger(0)), "bd-");
    EXPECT_FLOAT_EQ(control->finger(0)._sumDx, 0.3f);
    EXPECT_EQ(frames(2), "--e ---");

    // Lifted after the first update: the ordinary path.
    touch(Control::TouchBegan, 0);
    EXPECT_EQ(frames(1), "bd-");
    touch(Control::TouchEnded, 0);
    EXPECT_EQ(frames(2), "--e ---");
}

TEST_F(ControlTest, CancelledTouchEndsLikeALiftedOne) {
    touch(Control::TouchBegan, 0);
    EXPECT_EQ(frames(2), "bd- -d-");
    touch(Control::TouchCancelled, 0);
    EXPECT_EQ(frames(2), "--e ---");

    touch(Control::TouchBegan, 1);
    touch(Control::TouchCancelled, 1);
    EXPECT_EQ(frames(3, 1), "bd- --e ---");

    touch(7, 0);  // an unknown kind of event changes nothing
    EXPECT_EQ(frames(1), "---");
}

TEST_F(ControlTest, FingerIndexesOutOfRange) {
    touch(Control::TouchBegan, 12, 0.25f, 0.75f);
    EXPECT_EQ(control->finger(9)._began, 1);
    EXPECT_FLOAT_EQ(control->finger(9)._x, 0.25f);

    Control before = *control;
    touch(Control::TouchBegan, -1);
    touch(Control::TouchMoved, -1, 0.1f, 0.1f, 0.1f, 0.1f);
    touch(Control::TouchEnded, std::numeric_limits<int>::min());
    for (int i = 0; i < Control::FingerCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(flags(control->finger(i)), flags(before.finger(i)));
        EXPECT_EQ(control->finger(i)._x, before.finger(i)._x);
        EXPECT_EQ(control->finger(i)._moved, before.finger(i)._moved);
    }
}

TEST_F(ControlTest, KeyPressShowsInExactlyOneFrame) {
    control->setKey(73, true);
    InputKey& key = *control->findKey(73);
    EXPECT_TRUE(key._down);
    EXPECT_FALSE(key._up);
    control->updateFingers(kDt);
    EXPECT_TRUE(key._pressed);
    control->updateFingers(kDt);
    EXPECT_FALSE(key._pressed);
    EXPECT_TRUE(key._down);
    control->setKey(73, false);
    EXPECT_TRUE(key._up);

    control->setKey(74, true);
    control->setKey(74, false);
    control->updateFingers(kDt);
    EXPECT_FALSE(control->findKey(74)->_pressed);  // pressed and released between two frames

    control->setKey(13, true);  // not a direction key: ignored
    for (const InputKey& k : control->_keys)
        EXPECT_FALSE(k._down);
}

TEST_F(ControlTest, TiltFollowsSamplesAndIgnoresBrokenOnes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    control->setTilt(Vector3(0.3f, 0.3f, -1.0f));  // inside the dead zone of 0.5
    EXPECT_EQ(control->_tilt, 0.0f);
    control->setTilt(Vector3(1.0f, 0.0f, 0.0f));
    EXPECT_FLOAT_EQ(control->_tilt, 0.25f * 3.1415927f);  // half way to pi/2
    control->setTilt(Vector3(nan, 0.0f, 0.0f));
    control->setTilt(Vector3(0.0f, inf, 0.0f));
    control->setTilt(Vector3(1.0f, nan, 0.0f));
    EXPECT_FLOAT_EQ(control->_tilt, 0.25f * 3.1415927f);
    control->setTilt(Vector3(1.0f, 0.0f, nan));  // only x and y count
    EXPECT_FLOAT_EQ(control->_tilt, 0.375f * 3.1415927f);
    control->setTilt(Vector3(-1e-20f, 1.0f, 0.0f));
    EXPECT_TRUE(std::isfinite(control->_tilt));

    control->releaseAll();
    EXPECT_EQ(control->_tilt, 0.0f);
}

TEST_F(ControlTest, ReleaseAllLiftsEveryFinger) {
    touch(Control::TouchBegan, 0);
    control->updateFingers(kDt);  // held
    touch(Control::TouchBegan, 1);  // not yet seen by an update
    touch(Control::TouchBegan, 2);
    touch(Control::TouchEnded, 2);  // a quick tap waiting for its frame
    control->setKey(72, true);
    control->releaseAll();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(flags(control->finger(i)), "--e");
    EXPECT_EQ(flags(control->finger(3)), "---");
    EXPECT_TRUE(control->findKey(72)->_down);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(frames(1, i), "---");
}

}  // namespace

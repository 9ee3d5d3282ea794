// The frame timer driven by a hand-moved time source, the pause, and the input hook.

#include <gtest/gtest.h>

#include <time.h>

#include "engine/clock.h"

namespace {

ClockTime g_now;
ClockTime fakeNow() { return g_now; }

void setNowUs(int64_t us) {
    // Kept normalised as the system gives it: microseconds 0..999999, also for negative times.
    int64_t sec = us / 1000000, usec = us % 1000000;
    if (usec < 0) {
        usec += 1000000;
        --sec;
    }
    g_now = {sec, usec};
}

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::setSource(&fakeNow);
        Clock::setTimeScale(1.0);
        Clock::setPaused(false);
        _us = 1000LL * 1000000;  // an arbitrary start
        setNowUs(_us);
        Clock::start(_ft);
    }
    void TearDown() override {
        Clock::setPaused(false);
        Clock::setTimeScale(1.0);
        Clock::setSource(nullptr);
    }
    void frame(double seconds) {
        _us += (int64_t)(seconds * 1e6 + (seconds < 0 ? -0.5 : 0.5));
        setNowUs(_us);
        Clock::tick(_ft);
    }

    int64_t _us = 0;
    FrameTime _ft;
};

TEST_F(ClockTest, StartGivesAZeroFrame) {
    EXPECT_EQ(_ft.dt, 0.0f);
    EXPECT_EQ(_ft.realDt, 0.0f);
    EXPECT_EQ(_ft.msSinceStart, 0);
    EXPECT_EQ(_ft.gameMs, 0);
    EXPECT_EQ(_ft.activeMs, 0);
}

TEST_F(ClockTest, FrameTimeIsScaledAndClamped) {
    struct Case {
        const char* name;
        double scale;
        double frame;
        float dt;
        float realDt;
    };
    const Case cases[] = {
        {"ordinary frame", 1.0, 0.016, 0.016f, 0.016f},
        {"long frame clamps dt only", 1.0, 0.8, 0.5f, 0.8f},
        {"exactly the clamp", 1.0, 0.5, 0.5f, 0.5f},
        {"half speed", 0.5, 0.3, 0.15f, 0.3f},
        {"double speed reaches the clamp", 2.0, 0.3, 0.5f, 0.3f},
        {"source stepping back", 1.0, -0.25, 0.0f, -0.25f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clock::setTimeScale(c.scale);
        frame(c.frame);
        EXPECT_NEAR(_ft.dt, c.dt, 1e-6);
        EXPECT_NEAR(_ft.realDt, c.realDt, 1e-6);
    }
}

TEST_F(ClockTest, CountersRunInMillisecondsAndNeverBackwards) {
    Clock::setTimeScale(0.5);
    frame(1.0);
    frame(0.5004);
    EXPECT_EQ(_ft.msSinceStart, 1500);
    EXPECT_EQ(_ft.activeMs, 1500);
    EXPECT_EQ(_ft.gameMs, 750);

    // A frame longer than a second keeps its whole-second part when scaled.
    frame(1.2);
    EXPECT_EQ(_ft.activeMs, 2700);
    EXPECT_EQ(_ft.gameMs, 1350);

    // A source that jumps back reports the negative real frame but takes nothing off the counters.
    frame(-1.2);
    EXPECT_EQ(_ft.dt, 0.0f);
    EXPECT_NEAR(_ft.realDt, -1.2f, 1e-6);
    EXPECT_EQ(_ft.activeMs, 2700);
    EXPECT_EQ(_ft.gameMs, 1350);
    frame(0.2);
    EXPECT_EQ(_ft.activeMs, 2900);
    EXPECT_EQ(_ft.gameMs, 1450);
}

TEST_F(ClockTest, PauseFreezesGameTimeButNotFrameDeltas) {
    frame(0.1);
    frame(0.1);
    ASSERT_EQ(_ft.gameMs, 200);
    Clock::setPaused(true);
    EXPECT_TRUE(Clock::isPaused());
    for (int i = 0; i < 3; ++i) {
        frame(0.25);
        EXPECT_EQ(_ft.gameMs, 200);
        EXPECT_EQ(_ft.activeMs, 200);
        EXPECT_NEAR(_ft.dt, 0.25f, 1e-6);
        EXPECT_NEAR(_ft.realDt, 0.25f, 1e-6);
    }
    EXPECT_EQ(_ft.msSinceStart, 950);

    Clock::setPaused(true);  // same state: nothing changes
    EXPECT_TRUE(Clock::isPaused());
    Clock::setPaused(false);
    frame(0.1);
    EXPECT_EQ(_ft.gameMs, 300);
    EXPECT_EQ(_ft.activeMs, 300);
    EXPECT_EQ(_ft.msSinceStart, 1050);
}

TEST_F(ClockTest, StartResetsTheCountersButNotThePause) {
    frame(0.3);
    Clock::setPaused(true);
    Clock::start(_ft);
    EXPECT_TRUE(Clock::isPaused());
    EXPECT_EQ(_ft.gameMs, 0);
    EXPECT_EQ(_ft.activeMs, 0);
    EXPECT_EQ(_ft.msSinceStart, 0);
}

TEST(ClockSourceTest, FrameTimingReadsTheMonotonicClock) {
    Clock::setSource(nullptr);
    timespec mono;
    clock_gettime(CLOCK_MONOTONIC, &mono);
    ClockTime t = Clock::read();
    double a = (double)mono.tv_sec + mono.tv_nsec * 1e-9;
    double b = (double)t.sec + t.usec * 1e-6;
    EXPECT_NEAR(b, a, 1.0);
    EXPECT_GE(t.usec, 0);
    EXPECT_LT(t.usec, 1000000);
    // The wall clock stays available for stamps and seeds.
    timespec wall;
    clock_gettime(CLOCK_REALTIME, &wall);
    EXPECT_NEAR(Clock::now(), (double)wall.tv_sec + wall.tv_nsec * 1e-9, 1.0);
}

struct HookCall {
    void* context;
    int reserved;
    InputEvent event;
    int calls;
} g_hook;

void hookCallback(void* context, int reserved, const InputEvent& event) {
    g_hook.context = context;
    g_hook.reserved = reserved;
    g_hook.event = event;
    ++g_hook.calls;
}

TEST(InputHookTest, DispatchReachesTheInstalledCallbackOnly) {
    InputEvent e;
    e.type = 1;
    e.x = 3;
    e.finger = 2;
    InputHook::install(nullptr, nullptr);
    InputHook::dispatch(e);  // nothing installed: nothing happens
    EXPECT_EQ(g_hook.calls, 0);

    int context = 0;
    EXPECT_EQ(InputHook::install(&context, &hookCallback), 1);
    InputHook::dispatch(e);
    EXPECT_EQ(g_hook.calls, 1);
    EXPECT_EQ(g_hook.context, &context);
    EXPECT_EQ(g_hook.reserved, 0);
    EXPECT_EQ(g_hook.event.type, 1);
    EXPECT_EQ(g_hook.event.x, 3.0f);
    EXPECT_EQ(g_hook.event.finger, 2);
    EXPECT_EQ(InputHook::update(42), 42);
    InputHook::install(nullptr, nullptr);
}

}  // namespace

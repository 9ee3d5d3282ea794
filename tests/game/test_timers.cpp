// The game's timing helpers: countdowns, cooldowns, envelopes, fades, change flags, round-robin lists.

#include <gtest/gtest.h>

#include <vector>

#include "game/ZelvanTimers.h"

namespace {

TEST(CountdownTest, RunsOutOnceAndRefusesRestartWhileRunning) {
    Countdown c;
    c.setDuration(1.0f);
    EXPECT_TRUE(c.start());
    EXPECT_FALSE(c.start());
    const bool expected[] = {false, false, true, false};
    for (bool e : expected)
        EXPECT_EQ(c.tick(0.4f), e);
    EXPECT_FALSE(c.isRunning());
    EXPECT_TRUE(c.start());  // ran out: may start again
    c.stop();
    EXPECT_FALSE(c.tick(0.1f));
}

TEST(CountdownTest, Ratio) {
    struct Case {
        float duration, elapsed, ratio;
    };
    const Case cases[] = {{2, 0, 1}, {2, 0.5f, 0.75f}, {2, 2, 0}, {2, 3, 0}, {0, 0, 0}, {-1, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.duration << " after " << c.elapsed);
        Countdown t;
        t.setDuration(c.duration);
        t.start();
        t.tick(c.elapsed);
        EXPECT_FLOAT_EQ(t.ratio(), c.ratio);
    }
}

TEST(CooldownTimerTest, LockedUntilEffectAndDelayHavePassed) {
    CooldownTimer t;
    t.set(1.0f, 2.0f);
    ASSERT_TRUE(t.start());
    struct Step {
        float dt;
        bool running, canStart;
        float ratio;
    };
    // Ticks of 0.5 s: the effect ends after 1 s, a new start is allowed only after 3 s.
    const Step steps[] = {
        {0.5f, true, false, 0.5f}, {0.5f, false, false, 0}, {0.5f, false, false, 0},
        {0.5f, false, false, 0},   {0.5f, false, false, 0}, {0.5f, false, true, 0},
    };
    float time = 0;
    for (const Step& s : steps) {
        time += s.dt;
        SCOPED_TRACE(::testing::Message() << "t=" << time);
        t.tick(s.dt);
        EXPECT_EQ(t.isRunning(), s.running);
        EXPECT_FLOAT_EQ(t.ratio(), s.ratio);
        CooldownTimer probe = t;
        EXPECT_EQ(probe.start(), s.canStart);
    }
    t.start();
    t.stop();
    EXPECT_FALSE(t.isRunning());
    EXPECT_TRUE(t.start());
}

TEST(EnvelopeTimerTest, EasedCurveThroughItsPhases) {
    EnvelopeTimer e;
    e.set(0.5f, 1.0f, 0.5f, 0.0f);
    EXPECT_EQ(e.value(), 0.0f);
    ASSERT_TRUE(e.start());
    struct Point {
        float elapsed, value;
    };
    const Point points[] = {
        {0.0f, 0.0f},  {0.25f, 0.75f}, {0.5f, 1.0f}, {1.0f, 1.0f},
        {1.5f, 1.0f},  {1.75f, 0.75f}, {1.9f, 1 - 0.8f * 0.8f}, {2.0f, 0.0f}, {2.5f, 0.0f},
    };
    float at = 0;
    for (const Point& p : points) {
        SCOPED_TRACE(p.elapsed);
        e.tick(p.elapsed - at);
        at = p.elapsed;
        EXPECT_NEAR(e.value(), p.value, 1e-5);
    }
}

TEST(EnvelopeTimerTest, StartsLocksAndRatios) {
    EnvelopeTimer e;  // 1, 1, 1 and a delay of 1 as constructed
    EXPECT_FLOAT_EQ(e.total(), 3.0f);
    ASSERT_TRUE(e.start());
    EXPECT_FLOAT_EQ(e._lock, 4.0f);
    EXPECT_FALSE(e.start());
    EXPECT_FALSE(e.startDelay(1));
    e.tick(1.5f);
    EXPECT_FLOAT_EQ(e.progress(), 0.5f);
    EXPECT_FLOAT_EQ(e.lockRatio(), 1.0f);  // 2.5 of a 1 s delay: clamped
    e.tick(2.0f);
    EXPECT_EQ(e.progress(), 0.0f);
    EXPECT_FLOAT_EQ(e.lockRatio(), 0.5f);
    EXPECT_FALSE(e.start());
    e.tick(0.5f);
    EXPECT_TRUE(e.start());

    e.stop();
    ASSERT_TRUE(e.startScaled(0.5f));  // half a run: starts in the hold, at 1.5 s left
    EXPECT_FLOAT_EQ(e._remaining, 1.5f);
    EXPECT_FLOAT_EQ(e._lock, 2.5f);
    EXPECT_FLOAT_EQ(e.value(), 1.0f);

    e.stop();
    ASSERT_TRUE(e.startDelay(0.5f));  // only the delay runs
    EXPECT_EQ(e.value(), 0.0f);
    EXPECT_FLOAT_EQ(e.lockRatio(), 0.5f);
    EXPECT_FALSE(e.start());
    e.tick(0.5f);
    EXPECT_TRUE(e.start());

    // A run longer than the envelope stays within 0..1.
    e.stop();
    e.startScaled(2.0f);
    EXPECT_EQ(e.value(), 0.0f);
    EXPECT_EQ(e.progress(), 2.0f);
}

TEST(EnvelopeTimerTest, ReleaseJumpsToTheFallingPhase) {
    struct Case {
        const char* name;
        float elapsed;
        float remaining;  // after release
    };
    const Case cases[] = {
        {"during the hold", 1.0f, 0.5f},       // value 1
        {"while rising", 0.25f, 0.5f * 0.75f}, // value 0.75
        {"while falling", 1.75f, 0.5f * 0.75f},
        {"not running", 3.0f, -1.0f},  // left as it was
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnvelopeTimer e;
        e.set(0.5f, 1.0f, 0.5f, 2.0f);
        e.start();
        e.tick(c.elapsed);
        float lockBefore = e._lock;
        e.release();
        EXPECT_NEAR(e._remaining, c.remaining, 1e-6);
        if (c.remaining > 0) {
            EXPECT_NEAR(e._lock, c.remaining + 2.0f, 1e-6);
        } else {
            EXPECT_EQ(e._lock, lockBefore);
        }
    }
}

TEST(FadeTest, MovesTowardsItsEnd) {
    struct Case {
        const char* name;
        float duration;
        bool rising;
        float start;
        std::vector<float> ticks;
        float time, ratio;
    };
    const Case cases[] = {
        {"rising passes the end in its last step", 1, true, 0, {0.7f, 0.7f}, 1.4f, 1},
        {"rising stops once at the end", 1, true, 0, {0.7f, 0.7f, 0.7f}, 1.4f, 1},
        {"rising halfway", 2, true, 0, {0.5f, 0.5f}, 1.0f, 0.5f},
        {"falling below 0 is clamped in the ratio", 1, false, 0.5f, {0.3f, 0.3f, 0.3f}, -0.1f, 0},
        {"falling halfway", 1, false, 1, {0.25f}, 0.75f, 0.75f},
        {"zero duration rising", 0, true, 0, {0.1f}, 0.0f, 1},
        {"zero duration falling", 0, false, 0, {0.1f}, 0.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fade f;
        f.setDuration(c.duration);
        f._rising = c.rising;
        f._time = c.start;
        for (float dt : c.ticks)
            f.tick(dt);
        EXPECT_NEAR(f.time(), c.time, 1e-6);
        EXPECT_FLOAT_EQ(f.ratio(), c.ratio);
    }
}

TEST(FadeTest, FinishJumpsToTheEnd) {
    Fade f;
    f.setDuration(2);
    f._rising = 1;
    f.finish();
    EXPECT_EQ(f.time(), 2.0f);
    f._rising = 0;
    f.finish();
    EXPECT_EQ(f.time(), 0.0f);
}

TEST(ChangeFlagTest, ReportsChangesAndPendingReports) {
    struct Step {
        bool forcePending;
        uint8_t value;
        bool reported;
    };
    const Step steps[] = {
        {false, 1, true},  {false, 1, false}, {false, 0, true}, {false, 0, false},
        {true, 0, true},   {false, 0, false}, {true, 1, true},  {false, 1, false},
    };
    ChangeFlag flag;
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(i++);
        if (s.forcePending)
            flag._pending = 1;
        EXPECT_EQ(flag.set(s.value), s.reported);
        EXPECT_EQ(flag._value, s.value);
        EXPECT_EQ(flag._pending, 0);
    }
}

// Drives a list through ticks and checks what is on show after each.
struct Tick {
    float dt;
    bool changed;
    int32_t current;
};

void run(RoundRobinList& list, const std::vector<Tick>& ticks) {
    int i = 0;
    for (const Tick& t : ticks) {
        SCOPED_TRACE(::testing::Message() << "tick " << i++);
        EXPECT_EQ(list.tick(t.dt), t.changed);
        EXPECT_EQ(list.current(), t.current);
    }
}

TEST(RoundRobinListTest, ShowsEachIdInTurn) {
    RoundRobinList list;
    list.setPeriod(2);
    EXPECT_EQ(list.current(), 0);
    EXPECT_FALSE(list.tick(0.1f));  // empty: nothing to show
    EXPECT_EQ(list.add(5), 1);
    EXPECT_EQ(list.add(7), 1);
    EXPECT_EQ(list.add(5), 0);
    run(list, {{0.1f, true, 5}, {1.0f, false, 5}, {1.0f, true, 7}, {2.0f, true, 5}, {0.5f, false, 5}});
}

TEST(RoundRobinListTest, RemovalsWaitForTheNextSwitch) {
    RoundRobinList list;
    list.setPeriod(2);
    list.add(5);
    list.add(7);
    run(list, {{0, true, 5}, {2, true, 7}});
    EXPECT_EQ(list.remove(7), 1);
    EXPECT_EQ(list.remove(7), 0);  // already pending
    EXPECT_EQ(list.remove(9), 0);  // not listed
    run(list, {{1, false, 7}, {1, true, 5}, {2, true, 5}, {2, true, 5}});
    EXPECT_EQ(list._ids, (std::vector<int32_t>{5}));

    // Removing the id on show after others leaves the index on the right neighbour.
    list.add(6);
    list.add(8);  // 5, 6, 8
    run(list, {{2, true, 6}});
    list.remove(5);
    list.remove(6);
    run(list, {{2, true, 8}});
    EXPECT_EQ(list._ids, (std::vector<int32_t>{8}));

    // Adding an id again cancels its pending removal.
    list.add(3);  // 8, 3
    list.remove(3);
    EXPECT_EQ(list.add(3), 0);
    run(list, {{2, true, 3}, {2, true, 8}});

    // The last id leaving empties the show.
    list.remove(8);
    list.remove(3);
    run(list, {{2, true, 0}, {2, false, 0}});
    EXPECT_TRUE(list._ids.empty());
    list.add(4);
    run(list, {{0.1f, true, 4}});
}

TEST(RoundRobinListTest, ClearReportsAChangeOnlyWhenItHadIds) {
    RoundRobinList list;
    list.setPeriod(1);
    list.clear();
    EXPECT_FALSE(list.tick(0.1f));
    list.add(1);
    list.add(2);
    run(list, {{0, true, 1}, {1, true, 2}});
    list.remove(1);
    list.clear();
    EXPECT_EQ(list.current(), 0);
    EXPECT_TRUE(list._removals.empty());
    EXPECT_TRUE(list.tick(0.1f));
    EXPECT_FALSE(list.tick(0.1f));
}

}  // namespace

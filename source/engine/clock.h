#pragma once
// The frame timer: one tick per drawn frame fills the global FrameTime that every update reads.

#include <cstdint>

struct FrameTime {
    float dt = 0;            // scaled seconds of this frame, clamped to 0..0.5
    float realDt = 0;        // real seconds of this frame
    int32_t msSinceStart = 0;
    int32_t gameMs = 0;      // scaled, only while not paused
    int32_t activeMs = 0;    // real, only while not paused
};

// The global record the platform loop ticks.
FrameTime& frameTime();

// A time value as the system clock gives it: whole seconds and microseconds (0..999999).
struct ClockTime {
    int64_t sec = 0;
    int64_t usec = 0;
};

class Clock {
public:
    // Wall-clock seconds (for seeding and stamps).
    static double now();
    static void start(FrameTime& ft);
    static void tick(FrameTime& ft);
    static bool isPaused();
    static void setPaused(bool paused);
    static double timeScale();
    static void setTimeScale(double scale);

    // Frame timing reads a monotonic source so a wall clock stepping back never reverses time.
    // Tests may replace it; null restores the system's monotonic clock.
    typedef ClockTime (*Source)();
    static void setSource(Source source);
    static ClockTime read();
};

void sleepMs(uint32_t milliseconds);

struct InputEvent {
    int32_t type = 0;  // 1 began, 2 ended, 3 moved, 4 cancelled
    float x = 0, y = 0;
    int32_t tapCount = 0;
    int32_t finger = 0;
};

typedef void (*InputHookCallback)(void* context, int reserved, const InputEvent& event);

class InputHook {
public:
    static int install(void* context, InputHookCallback callback);
    static void dispatch(const InputEvent& event);
    static void shutdown() {}
    static int update(int value) { return value; }
};

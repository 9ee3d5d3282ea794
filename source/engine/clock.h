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

// Event types of the input event record.
enum InputEventType {
    InputTouchBegan = 1,
    InputTouchEnded = 2,
    InputTouchMoved = 3,
    InputTouchCancelled = 4,
    InputMouseMoved = 5,
    InputMouseDown = 6,
    InputMouseUp = 7,
    InputKeyDown = 13,
    InputKeyUp = 14,
};

// Modifier bits of key events: 2 selects coarse steps (shift), 4 the alternative action (control).
enum InputModifier { InputModifierCoarse = 2, InputModifierAlternative = 4 };

// One raw input event. Each kind of event has its own fields; the ones a kind does not use stay 0.
struct InputEvent {
    int32_t type = 0;  // InputEventType
    // Touches and mouse buttons: the position in pixels of the drawing size (y down).
    float x = 0, y = 0;
    int32_t tapCount = 0;  // touches
    int32_t finger = 0;    // touches: the slot 0..4, or 5 for a finger the platform does not track
    int32_t keyCode = 0;   // key events: the engine's key code
    int32_t modifiers = 0; // key events: InputModifier bits
    float mouseDx = 0, mouseDy = 0;  // mouse moved: the movement since the last event, pixels
};

typedef void (*InputHookCallback)(void* context, int reserved, const InputEvent& event);

class InputHook {
public:
    static int install(void* context, InputHookCallback callback);
    static void dispatch(const InputEvent& event);
    static void shutdown() {}
    static int update(int value) { return value; }
};

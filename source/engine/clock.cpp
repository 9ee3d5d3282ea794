#include "engine/clock.h"

#include <sys/time.h>
#include <time.h>

namespace {

struct ClockState {
    ClockTime start;
    ClockTime lastTick;
    ClockTime gameTime;
    ClockTime activeTime;
    bool paused = false;
    ClockTime pauseStart;
    double scale = 1.0;
    Clock::Source source = nullptr;
};

ClockState& state() {
    static ClockState s;
    return s;
}

ClockTime monotonicNow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return {(int64_t)ts.tv_sec, (int64_t)ts.tv_nsec / 1000};
}

void normalise(ClockTime& t) {
    while (t.usec >= 1000000) {
        t.usec -= 1000000;
        ++t.sec;
    }
    while (t.usec < 0) {
        t.usec += 1000000;
        --t.sec;
    }
}

ClockTime sub(const ClockTime& a, const ClockTime& b) {
    ClockTime r{a.sec - b.sec, a.usec - b.usec};
    normalise(r);
    return r;
}

void addTo(ClockTime& acc, const ClockTime& d) {
    acc.sec += d.sec;
    acc.usec += d.usec;
    normalise(acc);
}

int32_t toMs(const ClockTime& t) { return (int32_t)(t.sec * 1000 + t.usec / 1000); }
double toSeconds(const ClockTime& t) { return (double)t.sec + (double)t.usec * 1e-6; }

struct InputHookState {
    void* context = nullptr;
    InputHookCallback callback = nullptr;
} g_inputHook;

}  // namespace

FrameTime& frameTime() {
    static FrameTime ft;
    return ft;
}

double Clock::now() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return (double)tv.tv_sec + (double)tv.tv_usec * 1e-6;
}

ClockTime Clock::read() { return state().source ? state().source() : monotonicNow(); }

void Clock::setSource(Source source) { state().source = source; }

void Clock::start(FrameTime& ft) {
    ClockState& s = state();
    s.start = read();
    s.lastTick = s.start;
    s.gameTime = ClockTime();
    s.activeTime = ClockTime();
    tick(ft);
}

void Clock::tick(FrameTime& ft) {
    ClockState& s = state();
    ClockTime now = read();
    ClockTime real = sub(now, s.lastTick);
    s.lastTick = now;

    // Scaled as one microsecond count: scaling seconds and microseconds apart would drop the
    // fraction of whole seconds (1.2 s at half speed would give 0.1 s).
    int64_t realUs = real.sec * 1000000 + real.usec;
    int64_t scaledUs = (int64_t)((double)realUs * s.scale);
    ClockTime scaled{scaledUs / 1000000, scaledUs % 1000000};
    normalise(scaled);

    // The counters only ever move forward, whatever a replaced source or a negative scale does.
    if (!s.paused) {
        if (real.sec >= 0)
            addTo(s.activeTime, real);
        if (scaled.sec >= 0)
            addTo(s.gameTime, scaled);
    }
    ft.gameMs = toMs(s.gameTime);
    ft.activeMs = toMs(s.activeTime);

    float dt = (float)toSeconds(scaled);
    if (!(dt >= 0.0f))
        dt = 0.0f;
    if (dt > 0.5f)
        dt = 0.5f;
    ft.dt = dt;
    ft.realDt = (float)toSeconds(real);
    ft.msSinceStart = toMs(sub(now, s.start));
}

bool Clock::isPaused() { return state().paused; }

void Clock::setPaused(bool paused) {
    ClockState& s = state();
    if (paused == s.paused)
        return;
    if (paused)
        s.pauseStart = s.lastTick;
    s.paused = paused;
}

double Clock::timeScale() { return state().scale; }
void Clock::setTimeScale(double scale) { state().scale = scale; }

void sleepMs(uint32_t ms) {
    timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = (long)(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0) {
    }
}

int InputHook::install(void* context, InputHookCallback callback) {
    g_inputHook.context = context;
    g_inputHook.callback = callback;
    return 1;
}

void InputHook::dispatch(const InputEvent& event) {
    if (g_inputHook.callback)
        g_inputHook.callback(g_inputHook.context, 0, event);
}

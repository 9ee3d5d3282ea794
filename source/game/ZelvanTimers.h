#pragma once
// Small timing values the game's classes embed to time their effects frame by frame.
// Their owners advance them with the frame's delta time in seconds; none reads a clock.
// A timer runs while its remaining time is above 0.

#include <cstdint>
#include <vector>

// Runs once from its duration down to 0.
class Countdown {
public:
    void setDuration(float d) { _duration = d; }
    // False while running; otherwise starts a full run.
    bool start();
    void stop() { _remaining = 0; }
    // True exactly in the call in which the remaining time reaches 0 or below.
    bool tick(float dt);
    // Remaining share of the duration, never below 0; 0 without a positive duration.
    float ratio() const;
    bool isRunning() const { return _remaining > 0; }

    float _duration = 0;
    float _remaining = 0;
};

// An effect of some duration followed by a delay; it cannot be started again before both
// have passed.
class CooldownTimer {
public:
    void set(float duration, float delay) {
        _duration = duration;
        _delay = delay;
    }
    bool start();
    void stop() { _remaining = _lock = 0; }
    void tick(float dt);
    float ratio() const;
    bool isRunning() const { return _remaining > 0; }
    bool isLocked() const { return _lock > 0; }

    float _duration = 0;
    float _delay = 0;
    float _remaining = 0;  // the effect
    float _lock = 0;       // the effect plus the delay after it
};

// Rise over ascend, hold at 1, fall over descend, each phase eased out by 1 - (1 - x)^2,
// then a delay before it can start again.
class EnvelopeTimer {
public:
    void set(float ascend, float hold, float descend, float delay) {
        _ascend = ascend;
        _hold = hold;
        _descend = descend;
        _delay = delay;
    }
    float total() const { return _ascend + _hold + _descend; }

    bool start();
    // A run of k times the whole envelope (the remaining time is k * total).
    bool startScaled(float k);
    // Only the delay runs, k times its length.
    bool startDelay(float k);
    void stop() { _remaining = _lock = 0; }
    void tick(float dt);

    // Level 0..1 at the current time.
    float value() const;
    // Jumps to the falling phase from the current level.
    void release();
    // Remaining share of the whole envelope.
    float progress() const;
    // Remaining share of the delay lock, 0..1.
    float lockRatio() const;

    bool isRunning() const { return _remaining > 0; }
    bool isLocked() const { return _lock > 0; }

    float _ascend = 1.0f;
    float _hold = 1.0f;
    float _descend = 1.0f;
    float _delay = 1.0f;
    float _remaining = 0;
    float _lock = 0;
};

// Moves its time towards the duration while rising and towards 0 while falling.
class Fade {
public:
    void setDuration(float d) { _duration = d; }
    float time() const { return _time; }
    void tick(float dt);
    float ratio() const;
    // Jumps to the end the fade is moving towards.
    void finish();

    float _duration = 1.0f;
    uint8_t _rising = 0;  // set by the owner
    float _time = 0;
};

// Passes a value on only when it changed, or once more when the owner asks for it.
class ChangeFlag {
public:
    // True when v differs from the stored value or a report was pending; clears the pending flag.
    bool set(uint8_t v);

    uint8_t _value = 0;
    uint8_t _pending = 0;  // set by the owner to force the next report
};

// Shows one id of its list at a time and moves on to the next every period.
// Ids marked for removal leave the list only at a switch.
class RoundRobinList {
public:
    void setPeriod(float p) { _period = p; }
    // The id on show, 0 when the list is empty.
    int32_t current() const;
    // 1 when the id was appended; an id already listed only loses a pending removal (0).
    int add(int32_t id);
    // 1 when the id was marked for removal at the next switch; 0 for an id not listed or
    // already marked.
    int remove(int32_t id);
    void clear();
    // True when the id on show changed (or the showing restarted) in this call.
    bool tick(float dt);

    float _period = 0;
    std::vector<int32_t> _ids;
    std::vector<int32_t> _removals;
    int32_t _index = 0;
    float _timer = 0;
    uint8_t _changed = 0;
};

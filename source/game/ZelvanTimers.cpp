#include "game/ZelvanTimers.h"

#include <algorithm>

namespace {

bool contains(const std::vector<int32_t>& list, int32_t id) {
    return std::find(list.begin(), list.end(), id) != list.end();
}

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

}  // namespace

// Countdown

bool Countdown::start() {
    if (_remaining > 0)
        return false;
    _remaining = _duration;
    return true;
}

bool Countdown::tick(float dt) {
    if (_remaining <= 0)
        return false;
    _remaining -= dt;
    return _remaining <= 0;
}

float Countdown::ratio() const {
    if (_duration <= 0)
        return 0;
    return std::max(0.0f, _remaining / _duration);
}

// CooldownTimer

bool CooldownTimer::start() {
    if (_lock > 0)
        return false;
    _remaining = _duration;
    _lock = _duration + _delay;
    return true;
}

void CooldownTimer::tick(float dt) {
    if (_remaining > 0)
        _remaining -= dt;
    if (_lock > 0)
        _lock -= dt;
}

float CooldownTimer::ratio() const {
    if (_remaining <= 0 || _duration <= 0)
        return 0;
    return std::max(0.0f, _remaining / _duration);
}

// EnvelopeTimer

bool EnvelopeTimer::start() { return startScaled(1.0f); }

bool EnvelopeTimer::startScaled(float k) {
    if (_lock > 0)
        return false;
    _remaining = k * total();
    _lock = _remaining + _delay;
    return true;
}

bool EnvelopeTimer::startDelay(float k) {
    if (_lock > 0)
        return false;
    _remaining = 0;
    _lock = k * _delay;
    return true;
}

void EnvelopeTimer::tick(float dt) {
    if (_remaining > 0)
        _remaining -= dt;
    if (_lock > 0)
        _lock -= dt;
}

float EnvelopeTimer::value() const {
    if (_remaining <= 0)
        return 0;
    float elapsed = total() - _remaining;
    float x;
    if (elapsed < _ascend)
        x = _ascend > 0 ? elapsed / _ascend : 0;
    else if (elapsed < _ascend + _hold)
        x = 1;
    else
        x = _descend > 0 ? _remaining / _descend : 0;
    // A run longer than the envelope (startScaled above 1) or rounding at the phase edges
    // must not push the level outside 0..1.
    x = clamp01(x);
    float rest = 1 - x;
    return 1 - rest * rest;
}

void EnvelopeTimer::release() {
    if (_remaining <= 0)
        return;
    _remaining = _descend * value();
    _lock = _remaining + _delay;
}

float EnvelopeTimer::progress() const {
    float t = total();
    if (_remaining <= 0 || t <= 0)
        return 0;
    return std::max(0.0f, _remaining / t);
}

float EnvelopeTimer::lockRatio() const {
    if (_lock <= 0 || _delay <= 0)
        return 0;
    return clamp01(_lock / _delay);
}

// Fade

void Fade::tick(float dt) {
    if (_rising) {
        if (_time < _duration)
            _time += dt;
    } else if (_time > 0) {
        _time -= dt;
    }
}

float Fade::ratio() const {
    if (_duration <= 0)
        return _rising ? 1.0f : 0.0f;
    return clamp01(_time / _duration);
}

void Fade::finish() { _time = _rising ? _duration : 0; }

// ChangeFlag

bool ChangeFlag::set(uint8_t v) {
    bool pending = _pending != 0;
    _pending = 0;
    if (v != _value) {
        _value = v;
        return true;
    }
    return pending;
}

// RoundRobinList

int32_t RoundRobinList::current() const {
    if (_ids.empty() || _index < 0 || _index >= (int32_t)_ids.size())
        return 0;
    return _ids[(size_t)_index];
}

int RoundRobinList::add(int32_t id) {
    if (!contains(_ids, id)) {
        _ids.push_back(id);
        return 1;
    }
    _removals.erase(std::remove(_removals.begin(), _removals.end(), id), _removals.end());
    return 0;
}

int RoundRobinList::remove(int32_t id) {
    if (!contains(_ids, id) || contains(_removals, id))
        return 0;
    _removals.push_back(id);
    return 1;
}

void RoundRobinList::clear() {
    _index = 0;
    _timer = 0;
    if (!_ids.empty())
        _changed = 1;
    _ids.clear();
    _removals.clear();
}

bool RoundRobinList::tick(float dt) {
    if (_timer > 0) {
        _timer -= dt;
        if (_timer <= 0) {
            ++_index;
            for (int32_t id : _removals) {
                auto it = std::find(_ids.begin(), _ids.end(), id);
                if (it == _ids.end())
                    continue;
                if (it - _ids.begin() < _index)
                    --_index;
                _ids.erase(it);
            }
            _index = _ids.empty() ? 0 : _index % (int32_t)_ids.size();
            _removals.clear();
            _changed = 1;
        }
    }
    if (_timer <= 0 && !_ids.empty()) {
        _timer = _period;
        _changed = 1;
    }
    bool changed = _changed != 0;
    _changed = 0;
    return changed;
}

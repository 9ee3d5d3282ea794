#include "game/stage/ZelvanControl.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"

namespace Zelvan {

namespace {

const float kDegreesPerRadian = 57.29578f;
const float kRadiansPerDegree = 0.017453292f;

float clampTo(float v, float limit) { return std::min(limit, std::max(0.0f, v)); }

}  // namespace

Control* Control::create() {
    Control* c = new Control;
    c->load();
    return c;
}

Control::Control() : _waggleAngleIn(25.0f * kRadiansPerDegree), _waggleAngleOut(20.0f * kRadiansPerDegree) {
    for (int i = 0; i < KeyCount; ++i)
        _keys[i]._code = KeyFirst + i;
}

void Control::load() {
    const ConfigStore& cfg = ConfigStore::instance();
    _holdTime = clampTo(cfg.getFloat("control.holdTime", _holdTime), 5.0f);
    _tapTime = clampTo(cfg.getFloat("control.tapTime", _tapTime), 1.0f);
    _slideSpeed = clampTo(cfg.getFloat("control.slideSpeed", _slideSpeed), 1.0f);
    _slideDistance = clampTo(cfg.getFloat("control.slideDistance", _slideDistance), 1.0f);
    _slideDistanceEnable = cfg.getBool("control.slideDistanceEnable", _slideDistanceEnable);
    _dashEnable = cfg.getBool("control.dashEnable", _dashEnable);
    _leapEnable = cfg.getBool("control.leapEnable", _leapEnable);
    _cryEnable = cfg.getBool("control.cryEnable", _cryEnable);
    _brakeEnable = cfg.getBool("control.brakeEnable", _brakeEnable);
    _pingpongEnable = cfg.getBool("control.pingpongEnable", _pingpongEnable);
    _waggleEnable = cfg.getBool("control.waggleEnable", _waggleEnable);
    _waggleTilt = clampTo(cfg.getFloat("control.waggleTilt", _waggleTilt), 1.0f);
    _waggleAngleIn = cfg.getFloat("control.waggleAngleIn", _waggleAngleIn * kDegreesPerRadian) * kRadiansPerDegree;
    _waggleAngleOut = cfg.getFloat("control.waggleAngleOut", _waggleAngleOut * kDegreesPerRadian) * kRadiansPerDegree;
    _rayDistance = cfg.getFloat("control.rayDistance", _rayDistance);
}

void Control::onTouch(int type, int index, const Vector2& position, const Vector2& delta) {
    if (index < 0)
        return;
    InputFinger& f = _inputFingers[std::min(index, FingerCount - 1)];
    switch (type) {
    case TouchBegan:
        f = InputFinger();
        f._began = 1;
        f._x = position.x;
        f._y = position.y;
        break;
    case TouchEnded:
    case TouchCancelled:
        if (f._began && !f._down)
            f._endPending = 1;  // no update has seen it down yet
        else
            f._ended = 1;
        break;
    case TouchMoved:
        f._moved = 1;
        f._x = position.x;
        f._y = position.y;
        f._sumDx += delta.x;
        f._sumDy += delta.y;
        f._moveX = delta.x;
        f._moveY = delta.y;
        break;
    default:
        break;
    }
}

void Control::setKey(int32_t code, bool down) {
    for (InputKey& k : _keys) {
        if (k._code != code)
            continue;
        k._down = down;
        k._up = !down;
        k._pressed = down;
        k._pressedSeen = 0;
    }
}

InputKey* Control::findKey(int32_t code) {
    for (InputKey& k : _keys)
        if (k._code == code)
            return &k;
    return nullptr;
}

void Control::setTilt(const Vector3& sample) {
    if (!std::isfinite(sample.x) || !std::isfinite(sample.y))
        return;
    const float m = std::sqrt(sample.x * sample.x + sample.y * sample.y);
    if (_waggleTilt >= m) {
        _tilt = 0.0f;
        return;
    }
    // x / m may round just past 1, where acos has no value.
    const float c = std::min(1.0f, std::max(-1.0f, sample.x / m));
    const float angle = kPi * 0.5f - std::acos(c);
    _tilt = (_tilt + angle) * 0.5f;
}

void Control::updateFingers(float dt) {
    for (InputFinger& f : _inputFingers) {
        // A touch that began and ended between two updates was shown down by the previous one;
        // now it is lifted like any other.
        if (f._endPending && f._down) {
            f._endPending = 0;
            f._ended = 1;
        }
        const bool wasDown = f._down;
        const bool wasBeginning = f._began;
        if (f._began) {
            if (!f._down)
                f._down = 1;
            else
                f._began = 0;
            f._holdTime += dt;
        } else if (f._down) {
            f._holdTime += dt;
        }
        if (f._ended) {
            if (!wasDown && !wasBeginning)
                f._ended = 0;
            else
                f._down = 0;
        }
        if (dt > 0 && f._moved) {
            f._moveX /= dt;
            f._moveY /= dt;
        } else {
            f._moveX = 0;
            f._moveY = 0;
        }
        f._moved = 0;
    }
    for (InputKey& k : _keys) {
        if (!k._pressed)
            continue;
        if (k._pressedSeen)
            k._pressed = k._pressedSeen = 0;
        else
            k._pressedSeen = 1;
    }
}

void Control::releaseAll() {
    for (InputFinger& f : _inputFingers) {
        f._ended = f._down ? 1 : (f._began | f._endPending);
        f._began = 0;
        f._down = 0;
        f._endPending = 0;
    }
    _tilt = 0.0f;
}

void Control::beginFrame() {
    for (InputFinger& f : _inputFingers) {
        f._began = 0;
        f._ended = 0;
        f._endPending = 0;
    }
}

}  // namespace Zelvan

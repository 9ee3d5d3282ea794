#include "engine_game/KeyFramePlayer.h"

#include <algorithm>
#include <cmath>

#include "engine/clock.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"

const float KeyFramePlayer::kFramesPerSecond = 24.0f;

KeyFramePlayer::KeyFramePlayer(Object* node, const std::vector<KeyFrame>* keys) : _keys(keys), _node(node) {
    _lastFrame = keyCount() - 1;
    if (node)
        node->_animation = this;
}

KeyFramePlayer::~KeyFramePlayer() {
    if (_node && _node->_animation == this)
        _node->_animation = nullptr;
}

void KeyFramePlayer::advance() {
    if (keyCount() == 0)
        return;
    if (_playing)
        _time += _speed * frameTime().dt * kFramesPerSecond;

    float span = (float)(_lastFrame - _firstFrame);
    if (span < 0)
        span = 0;
    float period = span + 1;
    // One wrap by the period is not enough after a long frame or a fast speed: wrap by whole
    // periods so time always ends inside the range.
    if (_speed > 0) {
        if (_loop && _time >= period)
            _time = std::fmod(_time, period);
        else if (!_loop && _time >= span) {
            _time = span;
            _playing = 0;
        }
    } else {
        if (_loop && _time < 0) {
            _time = std::fmod(_time, period) + period;
            if (_time >= period)
                _time = 0;
        } else if (!_loop && _time < 0) {
            _time = 0;
            _playing = 0;
        }
    }
    apply();
}

void KeyFramePlayer::setFrame(float time) {
    _time = time;
    apply();
}

void KeyFramePlayer::apply() {
    int32_t count = keyCount();
    if (count == 0 || !_node)
        return;
    const std::vector<KeyFrame>& keys = *_keys;

    // Times before the range (a caller's setFrame, a non-looping reverse) show the first key;
    // indices are kept inside the list whatever the frame range says.
    float t = _time;
    if (!(t >= 0))
        t = 0;
    int32_t last = std::min(_lastFrame, count - 1);
    int32_t first = std::max(0, std::min(_firstFrame, count - 1));
    float whole = std::floor(t);
    int32_t i = whole >= (float)(count - first) ? count - 1 : first + (int32_t)whole;
    i = std::max(0, std::min(i, count - 1));
    const KeyFrame& a = keys[i];

    KeyFrame b = a;
    if (i + 1 <= last) {
        b = keys[i + 1];
    } else if (_loop) {
        b = keys[first];
        for (int k = 0; k < 3; ++k)
            b.angles[k] = nearestAngle(a.angles[k], b.angles[k]);
    }

    float f = t - whole;
    _value = a.value + f * (b.value - a.value);
    Vector3 ang = a.angles + (b.angles - a.angles) * f;
    Vector3 pos = a.position + (b.position - a.position) * f;

    float cx = std::cos(ang.x), sx = std::sin(ang.x);
    float cy = std::cos(ang.y), sy = std::sin(ang.y);
    float cz = std::cos(ang.z), sz = std::sin(ang.z);
    Vector3 rows[3] = {
        Vector3(cy * cz, cy * sz, -sy),
        Vector3(sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy),
        Vector3(cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy),
    };

    Transform* tr = _node->_transform;
    Matrix4& local = tr->_local;
    for (int k = 0; k < 3; ++k) {
        tr->rememberDirection(k, rows[k]);
        local.setRow3(k, rows[k] * tr->_scale[k]);
        local.at(k, 3) = 0;
    }
    local.setTranslation(pos);
    local.at(3, 3) = 1;
    tr->update();
    tr->_dirty = 1;
}

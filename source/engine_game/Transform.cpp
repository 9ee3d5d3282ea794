#include "engine_game/Transform.h"

Transform::Transform() : _scale(1, 1, 1) {
    _axisDirections[0] = Vector3(1, 0, 0);
    _axisDirections[1] = Vector3(0, 1, 0);
    _axisDirections[2] = Vector3(0, 0, 1);
}

void Transform::setParent(Transform* parent) {
    _parentWorld = parent ? &parent->_world : nullptr;
    _dirty = 1;
    update();
}

void Transform::update() {
    if (_parentWorld)
        _world = _local * *_parentWorld;
    else
        _world = _local;

    if (!_notify)
        return;
    for (const Listener& l : _listeners) {
        switch (l.kind) {
        case ListenerFlag:
            *static_cast<uint8_t*>(l.target) = 1;
            break;
        case ListenerWorld:
            *static_cast<Matrix4*>(l.target) = _world;
            break;
        case ListenerInverseWorld:
            _world.inverse(*static_cast<Matrix4*>(l.target));
            break;
        default:
            break;
        }
    }
}

void Transform::setWorld(const Vector3 rows[3], const Vector3& position) {
    if (!_parentWorld) {
        for (int i = 0; i < 3; ++i)
            setAxisRow(i, rows[i], _scale[i]);
        update();
        _dirty = 1;
        _local.setTranslation(position);
        update();
        _dirty = 1;
        update();
        return;
    }
    Matrix4 m;
    for (int i = 0; i < 3; ++i) {
        m.setRow3(i, rows[i]);
        m.at(i, 3) = 0;
    }
    m.setTranslation(position);
    m.at(3, 3) = 1;
    _local = m * _parentWorld->inverted();
    _dirty = 1;
    update();
}

void Transform::addListener(int32_t kind, void* target) { _listeners.push_back({kind, target}); }

void Transform::removeListener(void* target) {
    for (size_t i = 0; i < _listeners.size();) {
        if (_listeners[i].target == target)
            _listeners.erase(_listeners.begin() + (long)i);
        else
            ++i;
    }
}

void Transform::setAxisRow(int i, const Vector3& direction, float scale) {
    float len = direction.length();
    Vector3 unit = _axisDirections[i];
    if (len > 0 && std::isfinite(len)) {
        unit = direction / len;
        _axisDirections[i] = unit;
    }
    _local.setRow3(i, unit * scale);
    _local.at(i, 3) = 0;
}

void Transform::rememberDirection(int i, const Vector3& direction) {
    float len = direction.length();
    if (len > 0 && std::isfinite(len))
        _axisDirections[i] = direction / len;
}

Vector3 Transform::axisDirection(int i) const {
    Vector3 row = _local.row3(i);
    float len = row.length();
    if (len > 0 && std::isfinite(len))
        return row / len;
    return _axisDirections[i];
}

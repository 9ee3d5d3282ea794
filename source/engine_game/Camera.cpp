#include "engine_game/Camera.h"

#include <cmath>

#include "engine_game/Transform.h"

Camera::Camera(Object* parent) : Object(parent) {
    _transform->addListener(Transform::ListenerInverseWorld, &_view);
    _transform->update();
    _transform->_dirty = 1;
}

Camera::~Camera() {}

void Camera::setOrtho(float w, float h) {
    _projection.setIdentity();
    _projection.at(0, 0) = 2.0f / w;
    _projection.at(1, 1) = 2.0f / h;
    _projection.at(2, 2) = -0.01f;
    _inverseProjection.setIdentity();
    _inverseProjection.at(0, 0) = w / 2.0f;
    _inverseProjection.at(1, 1) = h / 2.0f;
    _inverseProjection.at(2, 2) = -100.0f;
    _orthoWidth = w;
    _orthoHeight = h;
}

void Camera::setPerspective(float fov, float aspect, float n, float f) {
    _fov = fov * kPi / 180.0f;
    _orthoWidth = _orthoHeight = 1.0f;
    float s = std::tan(kPi / 2.0f - fov * kPi / 360.0f);
    float m[16] = {s, 0, 0, 0, 0, aspect * s, 0, 0, 0, 0, (n + f) / (n - f), -1, 0, 0, 2.0f * n * f / (n - f), 0};
    _projection = Matrix4(m);
    _projection.inverse(_inverseProjection);
}

void Camera::project(Vector3& p) const {
    Vector4 q = _projection.transform(_view.transform(Vector4(p, 1)));
    if (q.w != 0) {
        q.x /= q.w;
        q.y /= q.w;
        q.z /= q.w;
    }
    p = q.xyz();
}

void Camera::unproject(Vector3& p) const {
    Vector4 d(2 * p.x - 1, 2 * p.y - 1, 2 * p.z - 1, 1);
    Vector4 e = _inverseProjection.transform(d);
    Vector4 w = _transform->_world.transform(e);
    if (w.w != 0) {
        w.x /= w.w;
        w.y /= w.w;
        w.z /= w.w;
    }
    p = w.xyz();
}

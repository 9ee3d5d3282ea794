#pragma once
// A node with a projection (orthographic or perspective) and a view matrix that its Transform
// keeps equal to the inverse of the camera's world matrix.

#include "engine/math.h"
#include "engine_game/Object.h"

class Camera : public Object {
public:
    explicit Camera(Object* parent);
    ~Camera() override;

    void setOrtho(float width, float height);
    // fov spans the x axis; aspect (width / height) scales y.
    void setPerspective(float fovDegrees, float aspect, float nearPlane, float farPlane);

    // World point to normalised device coordinates, in place. A point at w = 0 (the camera's
    // own position) is left as undivided clip coordinates.
    void project(Vector3& point) const;
    // Screen point (x, y in 0..1, depth in 0..1) to world point, in place.
    void unproject(Vector3& point) const;

    float _orthoWidth = 1.0f;
    float _orthoHeight = 1.0f;
    float _fov = kPi;
    Matrix4 _inverseProjection;
    Matrix4 _projection;
    Matrix4 _view;
};

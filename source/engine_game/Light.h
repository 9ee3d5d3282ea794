#pragma once
// A light node: colour, energy and a second factor, with a direction derived from where it
// sits under its parent. Meshes receive up to four lights through their nodes.

#include "engine/math.h"
#include "engine_game/Object.h"

class Light : public Object {
public:
    explicit Light(Object* parent);
    ~Light() override;

    // After the node's own update: the direction is the light's local position, normalised and
    // turned by its world rotation. A light at its parent's origin has no such direction and
    // keeps the one it had.
    void updateTransform() override;

    Vector3 _direction;
    Vector3 _lightColor{1, 1, 1};
    float _energy = 1.0f;
    float _secondFactor = 1.0f;
};

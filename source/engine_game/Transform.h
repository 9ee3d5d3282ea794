#pragma once
// The placement of one scene node: local and world matrices, scale, the parent's world matrix
// and the listeners that receive every recomputed world matrix (meshes, a camera's view).

#include <cstdint>
#include <vector>

#include "engine/math.h"

class Transform {
public:
    // What a listener's target is and what it receives on every update.
    enum ListenerKind {
        ListenerFlag = 0,          // a byte, set to 1
        ListenerWorld = 1,         // a Matrix4, receives _world
        ListenerInverseWorld = 2,  // a Matrix4, receives the inverse of _world
    };

    struct Listener {
        int32_t kind;
        void* target;
    };

    Transform();

    // Follows the parent's world matrix from now on (null: none), then updates.
    void setParent(Transform* parent);

    // _world = _local (x parent world), then the listeners, while _notify is set.
    void update();

    // Places the node by a world-space rotation (three axis rows) and position.
    void setWorld(const Vector3 rows[3], const Vector3& position);

    void addListener(int32_t kind, void* target);
    // Forgets every listener writing into target (a mesh leaving the node, say).
    void removeListener(void* target);

    // Writes axis row i of _local as direction (normalised) x scale. The direction of each
    // axis is remembered, so an axis scaled to zero keeps its orientation for a later rescale.
    void setAxisRow(int i, const Vector3& direction, float scale);
    // Remembers the direction of axis i without writing the row (a row written with a zero
    // scale keeps the direction it was given). A zero vector is ignored.
    void rememberDirection(int i, const Vector3& direction);
    // Unit direction of axis row i: the row normalised, or the remembered one while the row
    // is zero. Never NaN.
    Vector3 axisDirection(int i) const;

    Matrix4 _local;
    Matrix4 _world;
    Vector3 _scale;
    const Matrix4* _parentWorld = nullptr;
    uint8_t _dirty = 1;
    std::vector<Listener> _listeners;
    uint8_t _notify = 1;

private:
    Vector3 _axisDirections[3];
};

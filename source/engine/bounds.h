#pragma once
// The bounding volume every mesh and scene node carries: an axis-aligned box and a sphere,
// each kept in local space and in world space. A node's bounds are the union of its members'
// (its meshes' bounds), which it does not own.

#include <cstdint>
#include <vector>

#include "engine/math.h"

class Bounds {
public:
    // An empty box at the origin; nodes start from this before their first mesh is merged.
    Bounds() : Bounds(Vector3(), Vector3()) {}
    Bounds(const Vector3& min, const Vector3& max);

    // Local and world box both (min, max); centres at the middle, radii half the diagonal.
    void set(const Vector3& min, const Vector3& max);

    // World sphere from the local sphere under a matrix (row vectors), and the world box as
    // the cube around that sphere.
    void transform(const Matrix4& matrix);

    // World box as the union of the members' world boxes. With no members the box is left
    // inverted (min at +1e7, max at -1e7), which no plane test treats as visible.
    void updateFromMembers();

    // Grows the local box by the member's local box and remembers the member (not owned).
    void merge(Bounds* member);

    // True when the world box lies wholly behind the plane normal . p = distance.
    // signFlags holds one byte per axis, set where the normal's component is negative, so the
    // tested corner is the one farthest along the normal.
    bool isOutsidePlane(float distance, const Vector3& normal, const uint8_t signFlags[3]) const;

    // True when the world sphere lies wholly behind the plane normal . p = distance.
    bool isSphereOutsidePlane(float distance, const Vector3& normal) const;

    Vector3 _localMin;
    Vector3 _localMax;
    Vector3 _worldMin;
    Vector3 _worldMax;
    Vector3 _localCentre;
    float _localRadius = 0.0f;
    Vector3 _worldCentre;
    float _worldRadius = 0.0f;
    std::vector<Bounds*> _members;
};

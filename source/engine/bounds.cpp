#include "engine/bounds.h"

#include <algorithm>
#include <cmath>

namespace {

// Inverted start box of a union: any real member box replaces it on every axis.
const float kSentinel = 10000000.0f;

Vector3 minOf(const Vector3& a, const Vector3& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
}

Vector3 maxOf(const Vector3& a, const Vector3& b) {
    return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}

}  // namespace

Bounds::Bounds(const Vector3& min, const Vector3& max) { set(min, max); }

void Bounds::set(const Vector3& min, const Vector3& max) {
    _localMin = min;
    _localMax = max;
    _worldMin = min;
    _worldMax = max;
    _localCentre = (min + max) * 0.5f;
    _localRadius = (max - min).length() * 0.5f;
    _worldCentre = _localCentre;
    _worldRadius = _localRadius;
}

void Bounds::transform(const Matrix4& matrix) {
    Vector4 c = matrix.transform(Vector4(_localCentre, 1.0f));
    Vector3 centre = c.xyz();
    if (c.w != 0.0f)
        centre = centre / c.w;
    _worldCentre = centre;

    float scale = std::max(matrix.row3(0).length(), std::max(matrix.row3(1).length(), matrix.row3(2).length()));
    _worldRadius = _localRadius * scale;

    Vector3 extent(_worldRadius, _worldRadius, _worldRadius);
    _worldMin = _worldCentre - extent;
    _worldMax = _worldCentre + extent;
}

void Bounds::updateFromMembers() {
    Vector3 lo(kSentinel, kSentinel, kSentinel);
    Vector3 hi(-kSentinel, -kSentinel, -kSentinel);
    for (const Bounds* member : _members) {
        if (!member)
            continue;
        lo = minOf(lo, minOf(member->_worldMin, member->_worldMax));
        hi = maxOf(hi, maxOf(member->_worldMin, member->_worldMax));
    }
    _worldMin = lo;
    _worldMax = hi;
}

void Bounds::merge(Bounds* member) {
    if (!member)
        return;
    _localMin = minOf(_localMin, member->_localMin);
    _localMax = maxOf(_localMax, member->_localMax);
    _members.push_back(member);
    _localCentre = (_localMin + _localMax) * 0.5f;
    _localRadius = (_localMax - _localMin).length() * 0.5f;
    _worldCentre = _localCentre;
    _worldRadius = _localRadius;
}

bool Bounds::isOutsidePlane(float distance, const Vector3& normal, const uint8_t signFlags[3]) const {
    Vector3 corner(signFlags[0] ? _worldMin.x : _worldMax.x, signFlags[1] ? _worldMin.y : _worldMax.y,
                   signFlags[2] ? _worldMin.z : _worldMax.z);
    return normal.dot(corner) < distance;
}

bool Bounds::isSphereOutsidePlane(float distance, const Vector3& normal) const {
    return normal.dot(_worldCentre) < distance - _worldRadius;
}

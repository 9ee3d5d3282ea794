#include "game/track/ZelvanRail.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/utils.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

namespace {

// Distances at or beyond this count as "nothing found" in the nearest-point searches.
const float kFarAway = 10000000.0f;

// Axis row |code| - 1 of a matrix, negated for a negative code (rows are the X, Y, Z axes).
Vector3 axisOf(const Matrix4& m, int code) {
    Vector3 v = m.row3((code < 0 ? -code : code) - 1);
    return code < 0 ? -v : v;
}

// A property of a rail node: actors consult their own scene pairs after the description.
const std::string* nodeProperty(Object* node, const ObjectNode* description, const char* key) {
    (void)node;
    return findNodeProperty(description, key);
}

bool validAxis(int code) { return code != 0 && -3 <= code && code <= 3; }

// Normalised sum of a and b, with b turned to a's side first; a when the sum vanishes.
Vector3 mergeAxis(const Vector3& a, const Vector3& b) {
    Vector3 other = a.dot(b) <= 0 ? -b : b;
    Vector3 sum = a + other;
    float length = sum.length();
    return length > 0 ? sum / length : a;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Building

uint32_t Rail::readSegmentFlags(World* world, Scene* scene, Object* node) {
    if (!node)
        return SegmentAll;
    const ObjectNode* description = findObjectDescription(world, scene, node);
    if (!description)
        return SegmentAll;

    struct Word {
        const char* key;
        uint32_t bit;
    };
    static const Word kWords[] = {
        {"noitemleft", SegmentItemLeft},     {"noitemcenter", SegmentItemCenter},
        {"noitemright", SegmentItemRight},   {"noobstacle", SegmentObstacle},
        {"norailleft", SegmentRailLeft},     {"norailright", SegmentRailRight},
        {"noleap", SegmentLeap},             {"nojumpleft", SegmentJumpLeft},
        {"nojumpright", SegmentJumpRight},   {"fly", SegmentNoFly},
        {"nocameraleft", SegmentCameraLeft}, {"nocameraright", SegmentCameraRight},
        {"nocameraup", SegmentCameraUp},     {"nocameradown", SegmentCameraDown},
    };
    uint32_t cleared = 0;
    bool any = false;
    for (const Word& w : kWords) {
        if (nodeProperty(node, description, w.key)) {
            cleared |= w.bit;
            any = true;
        }
    }
    if (const std::string* stargate = nodeProperty(node, description, "stargate")) {
        any = true;
        if (*stargate == "in")
            cleared |= SegmentStargateIn;
        else if (*stargate == "out")
            cleared |= SegmentStargateOut;
        else
            cleared |= SegmentStargateOther;
    }
    return any ? (SegmentAllMeaningful & ~cleared) : (uint32_t)SegmentAll;
}

Rail* Rail::buildPoints(const std::string& name, uint32_t railKinds, World* world, Scene* scene, Transform* owner,
                        const std::vector<Object*>& nodes, int axisDir, int axisUp, float mergeDistance,
                        float nearPointDistance) {
    XAssert(owner != nullptr, "transform", __FILE__, __LINE__);
    XAssert(validAxis(axisDir), "axisDir && -3<=axisDir && axisDir<=3", __FILE__, __LINE__);
    XAssert(validAxis(axisUp), "axisUp && -3<=axisUp && axisUp<=3", __FILE__, __LINE__);

    const Matrix4 toOwner = owner->_world.inverted();

    // Collect the points: mesh-less direct children of every node.
    std::vector<RailPoint> collected;
    for (Object* node : nodes) {
        if (!node)
            continue;
        const uint32_t nodeFlags = readSegmentFlags(world, scene, node) & railKinds;
        for (Object* child : node->_children) {
            if (!child->_meshes.empty())
                continue;
            const Matrix4 m = child->_transform->_world * toOwner;
            RailPoint p;
            p.position = m.getTranslation();
            p.direction = axisOf(m, axisDir);
            p.up = axisOf(m, axisUp);
            p.flags = readSegmentFlags(world, scene, child) & nodeFlags;
            p.distance = 0;
            collected.push_back(p);
        }
    }

    // Merge points that lie closer than the merge distance into the first such kept point.
    std::vector<RailPoint> points;
    points.reserve(collected.size());
    for (const RailPoint& p : collected) {
        RailPoint* into = nullptr;
        for (RailPoint& q : points) {
            if ((q.position - p.position).length() < mergeDistance) {
                into = &q;
                break;
            }
        }
        if (!into) {
            points.push_back(p);
            continue;
        }
        into->position = (into->position + p.position) * 0.5f;
        into->direction = mergeAxis(into->direction, p.direction);
        into->up = mergeAxis(into->up, p.up);
    }

    const size_t n = points.size();
    if (n < 2)
        return nullptr;

    // Find the first point: while some point lies behind point 0, the nearest of them takes its
    // place. A closed point set has a point behind every point; after as many swaps as there are
    // points the search gives up and keeps what it has.
    size_t swaps = 0;
    for (;; ++swaps) {
        if (swaps >= n) {
            Logger::error("[Rail::buildPoints] rail '%s': every point has one behind it (a closed loop?); "
                          "starting at an arbitrary point",
                          name.c_str());
            break;
        }
        const RailPoint& first = points[0];
        size_t best = 0;
        float bestDistance = kFarAway;
        for (size_t k = 1; k < n; ++k) {
            const Vector3 offset = points[k].position - first.position;
            if (offset.dot(first.direction) >= 0)
                continue;
            const float d = offset.length();
            if (d < bestDistance) {
                bestDistance = d;
                best = k;
            }
        }
        if (best == 0)
            break;
        RailPoint& behind = points[best];
        if (behind.direction.dot(first.position - behind.position) < 0)
            behind.direction = -behind.direction;
        std::swap(points[0], points[best]);
    }

    // Chain: each next point is the nearest one, unless a nearby point lies between.
    std::vector<size_t> tried;
    tried.reserve(n);
    for (size_t i = 0; i + 1 < n - 1; ++i) {
        const Vector3 from = points[i].position;
        size_t candidate = i + 1;
        float nearest = kFarAway;
        for (size_t k = i + 1; k < n; ++k) {
            const float d = (points[k].position - from).length();
            if (d < nearest) {
                nearest = d;
                candidate = k;
            }
        }
        tried.clear();
        tried.push_back(candidate);
        for (;;) {
            const Vector3 v = points[candidate].position - from;
            const Vector3 u = v.normalized();
            float threshold = v.length();
            size_t best = n;
            for (size_t k = i + 1; k < n; ++k) {
                if (std::find(tried.begin(), tried.end(), k) != tried.end())
                    continue;
                const Vector3 offset = points[k].position - from;
                if (!(offset.length() < nearPointDistance))
                    continue;
                const float p = offset.dot(u);
                if (p > 0 && p < threshold) {
                    best = k;
                    threshold = p;
                }
            }
            if (best == n)
                break;
            candidate = best;
            tried.push_back(candidate);
        }
        const Vector3 v = points[candidate].position - from;
        if (points[candidate].direction.dot(v) < 0)
            points[candidate].direction = -points[candidate].direction;
        std::swap(points[i + 1], points[candidate]);
    }

    return new Rail(name, owner, points);
}

Rail* Rail::fromObject(const std::string& name, uint32_t flags, Transform* owner, Object* object,
                       KeyFramePlayer* player, int axisDir, int axisUp) {
    XAssert(owner && object, "transform && object", __FILE__, __LINE__);
    XAssert(validAxis(axisUp), "axisUp && -3<=axisUp && axisUp<=3", __FILE__, __LINE__);
    if (!player || !player->_keys)
        return nullptr;

    // A key pose is the node's local placement (the player writes it into the node's local
    // matrix), so it is placed by the parent's world matrix, not by the node's own: that one
    // already holds a pose and would apply it twice.
    const Matrix4 toOwner = owner->_world.inverted();
    const Matrix4* parentWorld = object->_transform->_parentWorld;
    std::vector<RailPoint> points;
    points.reserve(player->_keys->size());
    for (const KeyFrame& key : *player->_keys) {
        Matrix4 m = Matrix4::compose(key.position, key.angles, Vector3(1, 1, 1));
        if (parentWorld)
            m = m * *parentWorld;
        m = m * toOwner;
        RailPoint p;
        p.position = m.getTranslation();
        p.direction = validAxis(axisDir) ? axisOf(m, axisDir) : Vector3();
        p.up = axisOf(m, axisUp);
        p.flags = flags;
        p.distance = 0;
        points.push_back(p);
    }
    if (points.size() < 2)
        return nullptr;
    return new Rail(name, owner, points);
}

Rail::Rail(const std::string& name, Transform* owner, const std::vector<RailPoint>& points)
    : _name(name), _owner(owner), _points(points) {
    fillDistances();
}

void Rail::fillDistances() {
    float d = 0;
    for (size_t i = 0; i < _points.size(); ++i) {
        if (i > 0)
            d += (_points[i].position - _points[i - 1].position).length();
        _points[i].distance = d;
    }
}

// ---------------------------------------------------------------------------------------------
// Position

void Rail::reset(bool atStart) {
    if (atStart || _points.size() < 2) {
        _segment = 0;
        _fraction = atStart ? 0.0f : 1.0f;
        return;
    }
    _segment = (int32_t)_points.size() - 2;
    _fraction = 1.0f;
}

void Rail::setPosition(const RailPos& position) {
    const int32_t last = std::max<int32_t>(0, (int32_t)_points.size() - 2);
    _segment = std::min(last, std::max(0, position.segment));
    // A NaN fraction would survive min/max; it means nothing, so it reads as the start.
    _fraction = position.fraction == position.fraction ? std::min(1.0f, std::max(0.0f, position.fraction)) : 0.0f;
}

Vector3 Rail::getPosition() const {
    if (_points.empty())
        return _owner ? _owner->_world.getTranslation() : Vector3();
    Vector3 local = _points[_segment].position;
    if (_segment + 1 < (int32_t)_points.size())
        local = local + (_points[_segment + 1].position - local) * _fraction;
    return _owner ? _owner->_world.transformPoint(local) : local;
}

Vector3 Rail::blendedAxis(Vector3 RailPoint::*field) const {
    if (_points.empty())
        return Vector3();
    const Vector3 a = _points[_segment].*field;
    if (_segment + 1 >= (int32_t)_points.size())
        return a.normalized();
    const Vector3 b = _points[_segment + 1].*field;
    const Vector3 v = a + (b - a) * _fraction;
    const float length = v.length();
    if (length > 0)
        return v / length;
    // Opposite vectors cancel halfway: take the nearer point's.
    return (_fraction < 0.5f ? a : b).normalized();
}

Vector3 Rail::getDirection() const {
    Vector3 v = blendedAxis(&RailPoint::direction);
    return _owner ? _owner->_world.transformVector(v) : v;
}

Vector3 Rail::getUp() const {
    Vector3 v = blendedAxis(&RailPoint::up);
    return _owner ? _owner->_world.transformVector(v) : v;
}

uint32_t Rail::getFlags() const { return _points.empty() ? (uint32_t)SegmentAll : _points[_segment].flags; }

float Rail::getDistance() const {
    if (_points.empty())
        return 0;
    float d = _points[_segment].distance;
    if (_segment + 1 < (int32_t)_points.size())
        d += (_points[_segment + 1].distance - d) * _fraction;
    return d;
}

float Rail::getLength() const { return _points.empty() ? 0.0f : _points.back().distance; }

// ---------------------------------------------------------------------------------------------
// Travel

bool Rail::move(float distance, float* moved) {
    if (moved)
        *moved = 0;
    if (_points.size() < 2 || distance != distance)
        return false;
    const int32_t last = (int32_t)_points.size() - 2;
    int32_t s = _segment;
    float t = _fraction;

    if (distance >= 0) {
        float d = distance;
        float len = segmentLength(s);
        float r = (1 - t) * len;
        if (d < r) {
            _fraction = len > 0 ? t + d / len : 0.0f;
            if (moved)
                *moved = d;
            return true;
        }
        float sum = 0;
        for (;;) {
            sum += r;
            if (s >= last) {
                _segment = s;
                _fraction = 1.0f;
                if (moved)
                    *moved = sum;
                return false;
            }
            ++s;
            d -= r;
            r = segmentLength(s);
            if (d < r)
                break;
        }
        _segment = s;
        _fraction = r > 0 ? d / r : 0.0f;
        if (moved)
            *moved = sum + d;
        return true;
    }

    float D = -distance;
    float len = segmentLength(s);
    float r = t * len;
    if (r >= D) {
        _fraction = len > 0 ? t - D / len : 0.0f;
        if (moved)
            *moved = -D;
        return true;
    }
    float sum = 0;
    for (;;) {
        sum += r;
        if (s <= 0) {
            _segment = 0;
            _fraction = 0.0f;
            if (moved)
                *moved = -sum;
            return false;
        }
        --s;
        D -= r;
        r = segmentLength(s);
        if (!(D > r))
            break;
    }
    _segment = s;
    _fraction = r > 0 ? 1 - D / r : 0.0f;
    // The stretch into the segment it stopped in counts as travelled too.
    if (moved)
        *moved = -(sum + D);
    return true;
}

bool Rail::seekDistance(float x) {
    if (_points.size() < 2)
        return false;
    const int32_t last = (int32_t)_points.size() - 2;
    int32_t s = std::min(last, std::max(0, _segment));
    while (x < _points[s].distance) {
        if (s == 0) {
            _segment = 0;
            _fraction = 0.0f;
            return false;
        }
        --s;
    }
    while (x >= _points[s + 1].distance) {
        if (s >= last) {
            _segment = s;
            _fraction = 1.0f;
            return false;
        }
        ++s;
    }
    if (x != x) {  // NaN passes both tests above: keep the segment's start
        _segment = s;
        _fraction = 0.0f;
        return false;
    }
    const float len = segmentLength(s);
    _segment = s;
    _fraction = len > 0 ? (x - _points[s].distance) / len : 1.0f;
    return true;
}

bool Rail::findNearestPoint(const Vector3& q) {
    const int32_t count = (int32_t)_points.size() - 1;
    int32_t winner = -1;
    float winnerAlong = 0;
    float best = kFarAway * kFarAway;
    for (int32_t i = 0; i < count; ++i) {
        const Vector3& a = _points[i].position;
        const float len = segmentLength(i);
        // The distances hold the segment lengths already: no square root per segment.
        const Vector3 u = len > 0 ? (_points[i + 1].position - a) * (1.0f / len) : Vector3();
        float p = (q - a).dot(u);
        p = p < 0 ? 0 : (p > len ? len : p);
        const Vector3 candidate = a + u * p;
        const float d = (q - candidate).lengthSquared();
        if (d < best) {
            best = d;
            winner = i;
            winnerAlong = p;
        }
    }
    if (winner < 0)
        return false;
    const float len = segmentLength(winner);
    _segment = winner;
    // Two points on one spot (not merged) make a segment without length: its start.
    _fraction = len > 0 ? std::min(1.0f, winnerAlong / len) : 0.0f;
    if (winner == 0)
        return (q - _points[0].position).dot(_points[0].direction) > 0;
    if (winner == count - 1)
        return (q - _points.back().position).dot(_points.back().direction) < 0;
    return true;
}

bool Rail::projectPoint(const Vector3& world) {
    if (!_owner)
        return findNearestPoint(world);
    Matrix4 inverse;
    _owner->_world.inverse(inverse);
    return findNearestPoint(inverse.transformPoint(world));
}

void Rail::reverse() {
    const size_t n = _points.size();
    for (size_t i = 0; i < n / 2; ++i)
        std::swap(_points[i], _points[n - 1 - i]);
    for (RailPoint& p : _points)
        p.direction = -p.direction;
    fillDistances();
}

// ---------------------------------------------------------------------------------------------

void Rail::debugDraw(DebugDraw* drawer, const Matrix4& matrix) const {
    if (!drawer)
        return;
    const Vector3 green(0, 255, 0), blue(0, 0, 255), red(255, 0, 0);
    const Vector3 lift(0, 0, 0.5f), axesLift(0, 0, 0.75f);
    for (size_t i = 0; i + 1 < _points.size(); ++i) {
        const Vector3 P = matrix.transformPoint(_points[i].position);
        const Vector3 Q = matrix.transformPoint(_points[i + 1].position);
        const Vector3 D = matrix.transformVector(_points[i].direction);
        const Vector3 U = matrix.transformVector(_points[i].up);
        drawer->drawLine(P + lift, Q + lift, green);
        const Vector3 B = P + axesLift;
        drawer->drawLine(B, B + D * 0.25f, green);
        drawer->drawLine(B, B + U * 0.25f, blue);
        drawer->drawLine(B, B + D.cross(U) * 0.25f, red);
    }
}

}  // namespace Zelvan

#pragma once
// One lane of track inside a level: a polyline of points in the local space of the node that
// carries it, each with a travel direction, an up vector, the permission flags of the segment
// that starts there and its distance from the first point. The rail keeps one current position
// (segment, fraction) that trains and item placement move, seek and project; every world-space
// answer goes through the owner's current world matrix, so a rail follows its level wherever
// the road puts it.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"

class DebugDraw;
class KeyFramePlayer;
class Object;
class Scene;
class Transform;
class World;

namespace Zelvan {

// Permission bits of a rail segment: a set bit allows. A word among a rail node's properties
// clears its bit; only the low 17 bits carry meaning.
enum SegmentFlag : uint32_t {
    SegmentItemLeft = 0x1,         // "noitemleft"
    SegmentItemCenter = 0x2,       // "noitemcenter"
    SegmentItemRight = 0x4,        // "noitemright"
    SegmentObstacle = 0x8,         // "noobstacle"
    SegmentRailLeft = 0x10,        // "norailleft"
    SegmentRailRight = 0x20,       // "norailright"
    SegmentLeap = 0x40,            // "noleap"
    SegmentJumpLeft = 0x80,        // "nojumpleft"
    SegmentJumpRight = 0x100,      // "nojumpright"
    SegmentNoFly = 0x200,          // "fly"
    SegmentStargateIn = 0x400,     // "stargate" = "in"
    SegmentStargateOut = 0x800,    // "stargate" = "out"
    SegmentStargateOther = 0x1000, // "stargate" = anything else
    SegmentCameraLeft = 0x2000,    // "nocameraleft"
    SegmentCameraRight = 0x4000,   // "nocameraright"
    SegmentCameraUp = 0x8000,      // "nocameraup"
    SegmentCameraDown = 0x10000,   // "nocameradown"
    SegmentAllMeaningful = 0x1FFFF,
    SegmentAll = 0xFFFFFFFFu,
};

struct RailPoint {
    Vector3 position;   // owner space
    Vector3 direction;  // a matrix axis as built (not normalised unless merged)
    Vector3 up;
    uint32_t flags = SegmentAll;  // of the segment that starts here
    float distance = 0;           // along the rail from the first point
};

// A place on a rail: the segment's first point (0..n-2) and the fraction within it (0..1).
struct RailPos {
    int32_t segment = 0;
    float fraction = 0;
};

class Rail {
public:
    // Segment flags of one rail node from its scene description (every bit set without one).
    static uint32_t readSegmentFlags(World* world, Scene* scene, Object* node);

    // A rail from the mesh-less direct children of the group's nodes (positions, axes and
    // flags), merged where points lie closer than mergeDistance and chained into track order.
    // Axis codes: +-1..3 select the X, Y or Z axis of a node, negated when negative. Null with
    // fewer than two points. The caller owns the rail.
    static Rail* buildPoints(const std::string& name, uint32_t railKinds, World* world, Scene* scene,
                             Transform* owner, const std::vector<Object*>& nodes, int axisDir, int axisUp,
                             float mergeDistance, float nearPointDistance);

    // A rail through the key poses of an animated node, in key order. Null with fewer than two
    // keys. The caller owns the rail.
    static Rail* fromObject(const std::string& name, uint32_t flags, Transform* owner, Object* object,
                            KeyFramePlayer* player, int axisDir, int axisUp);

    // Copies the points and fills their distances; the position is the start.
    Rail(const std::string& name, Transform* owner, const std::vector<RailPoint>& points);

    // At the start (segment 0, fraction 0) or at the end (last segment, fraction 1).
    void reset(bool atStart);
    // Clamped into the rail.
    void setPosition(const RailPos& position);
    RailPos getRailPos() const { return RailPos{_segment, _fraction}; }

    // World-space answers at the current position.
    Vector3 getPosition() const;
    Vector3 getDirection() const;
    Vector3 getUp() const;
    uint32_t getFlags() const;
    float getDistance() const;
    float getLength() const;

    // Moves along this rail by a signed distance; false when an end stopped it. moved receives
    // the signed distance actually travelled.
    bool move(float distance, float* moved = nullptr);
    // Puts the position at a distance from the first point; false (clamped to an end) outside.
    bool seekDistance(float distance);
    // Moves the position to the polyline point nearest to q (owner space). False when nothing
    // was found, or when the nearest point lies before the start or past the end of the rail.
    bool findNearestPoint(const Vector3& q);
    // The same for a world-space point.
    bool projectPoint(const Vector3& world);

    // Reverses the point order and the directions; the position keeps its numbers.
    void reverse();

    // Lines for every segment and the axes at each point, placed by matrix.
    void debugDraw(DebugDraw* drawer, const Matrix4& matrix) const;

    const std::string& getName() const { return _name; }
    Transform* getOwner() const { return _owner; }
    const std::vector<RailPoint>& getPoints() const { return _points; }

    std::string _name;
    Transform* _owner = nullptr;  // not owned
    std::vector<RailPoint> _points;
    int32_t _segment = 0;
    float _fraction = 0;

private:
    void fillDistances();
    float segmentLength(int32_t s) const { return _points[s + 1].distance - _points[s].distance; }
    // The interpolated, normalised point vector (direction or up) in owner space.
    Vector3 blendedAxis(Vector3 RailPoint::*field) const;
};

}  // namespace Zelvan

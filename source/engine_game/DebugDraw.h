#pragma once
// Coloured line segments in world coordinates, collected anew every frame: the owner empties the
// node (reset) once a frame and then adds the lines it wants to see. The lines are drawn from
// memory as one mesh with the material "materials/debugdraw.txt".

#include <cstdint>

#include "engine/render/Geometry.h"
#include "engine_game/Object.h"

class Mesh;

// Room for 65520 vertices and as many indices, allocated once; two of each per line.
class DebugDrawGeometryResource : public Geometry {
public:
    enum { MaxVertices = 65520, MaxIndices = 65520 };

    DebugDrawGeometryResource();

    bool isDynamic() const override { return true; }
    int getPrimitiveType() const override { return PrimitiveLines; }

    // Appends one line. When the buffers are full every line of the frame is thrown away and
    // this one is dropped; the lines after it start a new collection.
    void addLine(const float from[3], const float to[3], const float colour[3]);
};

class DebugDraw : public Object {
public:
    DebugDraw();
    ~DebugDraw() override;

    // Forgets every line collected so far.
    void reset() override;

    void drawLine(const float from[3], const float to[3], const float colour[3]);
    void drawLine(const Vector3& from, const Vector3& to, const Vector3& colour);

    DebugDrawGeometryResource* _geometry = nullptr;
    Mesh* _mesh = nullptr;  // in _meshes (owned by the node), never bound to the transform
};

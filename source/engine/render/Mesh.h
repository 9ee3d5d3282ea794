#pragma once
// One drawable instance: a range of a Geometry drawn with a Material, placed by a world matrix,
// tinted by a colour, lit by up to four lights, with its bounds, visibility distance, stencil
// flags and per-mesh values of named shader uniforms. Scene nodes own their meshes; render
// targets link them into their draw lists; the renderer draws them.

#include <cstdint>
#include <vector>

#include "engine/math.h"

class Bounds;
class Geometry;
class Light;
class Material;
class ShaderUniform;
struct RenderLink;

// Selects how a mesh's world bounds follow its matrix (and which culling test render targets
// use): 0 = box around the eight transformed local corners, 1 = Bounds::transform (sphere).
extern int boundsMode;

struct DrawRange {
    int32_t first = -1;  // -1 reads as 0
    int32_t count = -1;  // -1 reads as the geometry's index count
};

struct UniformOverride {
    ShaderUniform* uniform = nullptr;
    // The uniform's type uses the first 4, 12 or 16 bytes.
    alignas(16) float value[16] = {};
};

// Neighbour, face-normal and mirror tables of the triangles of one material range of a
// character model; built once and shared by the meshes made from that range (not owned by them).
class TriangleAdjacency {
public:
    struct Face {
        Vector3 normal;
        float unused = 0;
    };
    struct Mirror {
        int32_t mirror = 0;  // the mirroring triangle, or -1
        uint16_t vertex0 = 0, vertex1 = 0, vertex2 = 0;
    };

    // Triangles 0 .. count-1 are the indices at first + 3t, +1, +2. A range reaching past the
    // geometry's indices, or a geometry without positions, is logged and builds empty tables.
    void build(const Geometry& geometry, int32_t first, int32_t triangleCount);

    std::vector<std::vector<uint32_t>> _neighbours;
    std::vector<Face> _faces;
    std::vector<Mirror> _mirrors;
};

class Mesh {
public:
    Mesh();
    // Sets hidden, releases the override and draw-range lists and deletes the mesh's bounds
    // (a node that merged them must be done with the mesh first) and its render link. The
    // adjacency is not released here. Take the mesh out of every render target first.
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Stores the geometry and range; when the mesh has no bounds yet and neither value is -1,
    // creates them from the box of the referenced positions.
    void setGeometry(Geometry* geometry, int32_t firstIndex, int32_t indexCount);
    int32_t getFirstIndex() const;  // 0 for -1
    int32_t getIndexCount() const;  // the geometry's index count for -1

    // Brings the world part of the bounds to _worldMatrix (see boundsMode).
    void updateBounds();

    // Per-mesh value of a uniform of the material's shader. Unknown names, or a mesh without
    // material or shader, change nothing; a uniform of another type is logged and ignored.
    void setUniformFloat(const char* name, float value);
    void setUniformVector3(const char* name, float x, float y, float z);
    void setUniformVector4(const char* name, float x, float y, float z, float w);

    // Writes the overrides into their uniforms (changed only when different).
    void updateShaderUniforms();

    std::vector<DrawRange> _drawRanges;
    TriangleAdjacency* _adjacency = nullptr;
    float _visibilityDistanceSq = 10000000.0f;
    Vector4 _colour{1, 1, 1, 1};  // sent as "meshColor"
    uint8_t _hidden = 0;
    uint8_t _cullable = 1;
    uint8_t _stencilWrite = 0;
    uint8_t _stencilTest = 0;
    Bounds* _bounds = nullptr;  // owned; created by setGeometry
    Geometry* _geometry = nullptr;  // not owned
    int32_t _firstIndex = -1;
    int32_t _indexCount = -1;
    Material* _material = nullptr;  // not owned
    Light* _lights[4] = {nullptr, nullptr, nullptr, nullptr};
    alignas(16) Matrix4 _worldMatrix;
    std::vector<UniformOverride> _uniformOverrides;
    uint32_t _lastDrawn = 0;  // msSinceStart of the frame that last drew it
    // Owned. Made when a render target first links the mesh and kept while the mesh lives, also
    // when it is in no target: meshes leave and rejoin the targets whenever their scene is
    // hidden and shown or their pooled node is released and taken again.
    RenderLink* _renderLink = nullptr;

private:
    void setOverride(const char* name, int type, const float* value, int count);
};

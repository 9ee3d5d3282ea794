#include "engine/render/Mesh.h"

#include <cmath>
#include <cstring>

#include "engine/bounds.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/Shader.h"
#include "engine/utils.h"

int boundsMode = 0;

Mesh::Mesh() {}

Mesh::~Mesh() {
    _hidden = 1;
    _uniformOverrides.clear();
    _drawRanges.clear();
    delete _bounds;
    _bounds = nullptr;
    delete _renderLink;
    _renderLink = nullptr;
}

void Mesh::setGeometry(Geometry* geometry, int32_t firstIndex, int32_t indexCount) {
    _lastDrawn = 0;
    _geometry = geometry;
    _firstIndex = firstIndex;
    _indexCount = indexCount;
    if (!_bounds && geometry && firstIndex != -1 && indexCount != -1) {
        Vector3 lo, hi;
        geometry->computeBounds(firstIndex, indexCount, lo, hi);
        _bounds = new Bounds(lo, hi);
    }
}

int32_t Mesh::getFirstIndex() const { return _firstIndex == -1 ? 0 : _firstIndex; }

int32_t Mesh::getIndexCount() const {
    if (_indexCount != -1)
        return _indexCount;
    return _geometry ? (int32_t)_geometry->_indexCount : 0;
}

void Mesh::updateBounds() {
    if (!_bounds)
        return;
    if (boundsMode == 1) {
        _bounds->transform(_worldMatrix);
        return;
    }
    const Vector3& a = _bounds->_localMin;
    const Vector3& b = _bounds->_localMax;
    Vector3 lo(10000000.0f, 10000000.0f, 10000000.0f);
    Vector3 hi(-10000000.0f, -10000000.0f, -10000000.0f);
    for (int corner = 0; corner < 8; ++corner) {
        Vector4 p((corner & 1) ? b.x : a.x, (corner & 2) ? b.y : a.y, (corner & 4) ? b.z : a.z, 1.0f);
        Vector4 q = _worldMatrix.transform(p);
        Vector3 w = q.xyz();
        if (q.w != 0.0f)
            w = w / q.w;
        for (int k = 0; k < 3; ++k) {
            if (w[k] < lo[k]) lo[k] = w[k];
            if (w[k] > hi[k]) hi[k] = w[k];
        }
    }
    _bounds->_worldMin = lo;
    _bounds->_worldMax = hi;
}

void Mesh::setOverride(const char* name, int type, const float* value, int count) {
    if (!_material || !_material->_shader)
        return;
    ShaderUniform* uniform = _material->_shader->getUniform(name);
    if (!uniform)
        return;
    if (uniform->getType() != type) {
        static const char* const kTypeNames[] = {"float", "Vector3", "Vector4"};
        Logger::error("Shader uniform <%s> type is not %s", name, kTypeNames[type]);
        return;
    }
    UniformOverride* target = nullptr;
    for (UniformOverride& o : _uniformOverrides) {
        if (o.uniform == uniform) {
            target = &o;
            break;
        }
    }
    if (!target) {
        _uniformOverrides.emplace_back();
        target = &_uniformOverrides.back();
        target->uniform = uniform;
    }
    std::memset(target->value, 0, sizeof(target->value));
    std::memcpy(target->value, value, sizeof(float) * count);
}

void Mesh::setUniformFloat(const char* name, float value) { setOverride(name, UniformFloat, &value, 1); }

void Mesh::setUniformVector3(const char* name, float x, float y, float z) {
    const float v[3] = {x, y, z};
    setOverride(name, UniformVector3, v, 3);
}

void Mesh::setUniformVector4(const char* name, float x, float y, float z, float w) {
    const float v[4] = {x, y, z, w};
    setOverride(name, UniformVector4, v, 4);
}

void Mesh::updateShaderUniforms() {
    for (UniformOverride& o : _uniformOverrides) {
        switch (o.uniform->getType()) {
        case UniformFloat:
            writeUniformFloat(o.uniform, o.value[0]);
            break;
        case UniformVector3:
            writeUniformVector3(o.uniform, o.value);
            break;
        case UniformVector4:
            writeUniformVector4(o.uniform, o.value);
            break;
        default:
            break;
        }
    }
}

// ---- TriangleAdjacency ----

static int sharedVertices(const uint16_t* a, const uint16_t* b) {
    int shared = 0;
    for (int i = 0; i < 3; ++i) {
        bool repeated = false;
        for (int j = 0; j < i; ++j)
            repeated = repeated || a[j] == a[i];
        if (repeated)
            continue;
        if (a[i] == b[0] || a[i] == b[1] || a[i] == b[2])
            ++shared;
    }
    return shared;
}

void TriangleAdjacency::build(const Geometry& geometry, int32_t first, int32_t triangleCount) {
    _neighbours.clear();
    _faces.clear();
    _mirrors.clear();
    if (triangleCount <= 0)
        return;
    uint64_t end = (uint64_t)(first < 0 ? 0 : first) + (uint64_t)triangleCount * 3;
    if (first < 0 || end > geometry._indexCount || !geometry._indices || !geometry._adjacencyIndices ||
        !geometry._vertices || !geometry.hasPositions()) {
        Logger::error("[TriangleAdjacency::build] triangles %d+%d do not fit the geometry's %u indices", first,
                      triangleCount, geometry._indexCount);
        return;
    }
    const uint16_t* indices = geometry._indices + first;
    const uint16_t* adjacency = geometry._adjacencyIndices + first;
    for (uint64_t i = 0; i < (uint64_t)triangleCount * 3; ++i) {
        if (indices[i] >= geometry._vertexCount || adjacency[i] >= geometry._vertexCount) {
            Logger::error("[TriangleAdjacency::build] index %u is not below the vertex count %u",
                          (unsigned)(indices[i] >= geometry._vertexCount ? indices[i] : adjacency[i]),
                          geometry._vertexCount);
            return;
        }
    }

    const uint32_t count = (uint32_t)triangleCount;
    _neighbours.resize(count);
    _faces.resize(count);
    _mirrors.resize(count);

    for (uint32_t t = 0; t < count; ++t) {
        const uint16_t* tri = adjacency + t * 3;
        Vector3 p0 = geometry.position(tri[0]);
        Vector3 p1 = geometry.position(tri[1]);
        Vector3 p2 = geometry.position(tri[2]);
        _faces[t].normal = (p1 - p0).cross(p2 - p0).normalized();
    }

    for (uint32_t t = 0; t < count; ++t) {
        for (uint32_t u = t + 1; u < count; ++u) {
            if (sharedVertices(adjacency + t * 3, adjacency + u * 3) >= 2) {
                _neighbours[t].push_back(u);
                _neighbours[u].push_back(t);
            }
        }
    }

    for (uint32_t t = 0; t < count; ++t) {
        Mirror& m = _mirrors[t];
        m.mirror = -1;
        float ny = _faces[t].normal.y;
        for (uint32_t u = t + 1; u < count; ++u) {
            float uy = _faces[u].normal.y;
            if (!((ny > 0.5f && uy < -0.5f) || (ny < -0.5f && uy > 0.5f)))
                continue;
            bool allOver = true;
            for (int k = 0; k < 3 && allOver; ++k) {
                Vector3 p = geometry.position(indices[t * 3 + k]);
                bool found = false;
                for (int j = 0; j < 3; ++j) {
                    uint16_t v = indices[u * 3 + j];
                    Vector3 q = geometry.position(v);
                    if (std::fabs(q.x - p.x) <= 0.001f && std::fabs(q.z - p.z) <= 0.001f &&
                        std::fabs(q.y - p.y) >= 0.01f) {
                        uint16_t* slot = k == 0 ? &m.vertex0 : k == 1 ? &m.vertex1 : &m.vertex2;
                        *slot = v;
                        found = true;
                        break;
                    }
                }
                allOver = found;
            }
            if (allOver) {
                m.mirror = (int32_t)u;
                break;
            }
        }
    }
}

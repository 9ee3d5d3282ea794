#include "engine_game/DebugDraw.h"

#include <cstdlib>
#include <cstring>

#include "engine/render/Mesh.h"
#include "engine/render/ResourceManager.h"

DebugDrawGeometryResource::DebugDrawGeometryResource() {
    addElevenFloatAttributes(_attributes);
    updateStride();  // 44 bytes
    _vertices = static_cast<uint8_t*>(std::calloc(MaxVertices, _stride));
    _indices = static_cast<uint16_t*>(std::calloc(MaxIndices, sizeof(uint16_t)));
}

void DebugDrawGeometryResource::addLine(const float from[3], const float to[3], const float colour[3]) {
    if (!_vertices || !_indices) return;
    if (_indexCount > MaxIndices - 1) {
        _vertexCount = 0;
        _indexCount = 0;
        return;
    }
    const uint32_t v = _vertexCount;
    _indices[_indexCount] = (uint16_t)v;
    _indices[_indexCount + 1] = (uint16_t)(v + 1);
    const float* ends[2] = {from, to};
    for (int e = 0; e < 2; ++e) {
        // position, texture coordinates (1, 1), normal (1, 1, 1), colour
        const float vertex[11] = {ends[e][0], ends[e][1], ends[e][2], 1, 1, 1, 1, 1, colour[0], colour[1], colour[2]};
        std::memcpy(_vertices + (size_t)(v + e) * _stride, vertex, sizeof(vertex));
    }
    _vertexCount += 2;
    _indexCount += 2;
}

DebugDraw::DebugDraw() : Object(nullptr) {
    _geometry = new DebugDrawGeometryResource();
    _mesh = new Mesh();
    // The whole geometry, -1 and -1: no bounds, so never culled.
    _mesh->setGeometry(_geometry, -1, -1);
    _mesh->_material = ResourceManager::instance().getMaterial("materials/debugdraw.txt");
    // Straight into the list, not through addMesh: the mesh keeps the identity world matrix,
    // so line points are world coordinates.
    _meshes.push_back(_mesh);
}

DebugDraw::~DebugDraw() {
    // Render lists must drop the mesh before the geometry it draws goes.
    releaseLinks();
    delete _geometry;
    _geometry = nullptr;
    if (_mesh) _mesh->_geometry = nullptr;
}

void DebugDraw::reset() {
    _geometry->_vertexCount = 0;
    _geometry->_indexCount = 0;
}

void DebugDraw::drawLine(const float from[3], const float to[3], const float colour[3]) {
    _geometry->addLine(from, to, colour);
}

void DebugDraw::drawLine(const Vector3& from, const Vector3& to, const Vector3& colour) {
    const float f[3] = {from.x, from.y, from.z};
    const float t[3] = {to.x, to.y, to.z};
    const float c[3] = {colour.x, colour.y, colour.z};
    _geometry->addLine(f, t, c);
}

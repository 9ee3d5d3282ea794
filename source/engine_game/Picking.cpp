// Ray tests against the triangles of the meshes of shown scenes, without the physics world.

#include <algorithm>
#include <cmath>

#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"
#include "engine_game/Camera.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"

namespace {

Vector3 throughMatrix(const Matrix4& m, const Vector3& p) {
    Vector4 q = m.transform(Vector4(p, 1));
    if (q.w != 0)
        return Vector3(q.x / q.w, q.y / q.w, q.z / q.w);
    return q.xyz();
}

Vector4 throughMatrix4(const Matrix4& m, const Vector4& p) { return m.transform(p); }

Vector3 divided(const Vector4& q) { return q.w != 0 ? Vector3(q.x / q.w, q.y / q.w, q.z / q.w) : q.xyz(); }

bool testable(const Object* node) { return (!node->_hidden || node->_hitWhenHidden) && node->_blocking; }

}  // namespace

void World::pick(std::vector<RayHit>& result, float x, float y, int typeFilter, Vector3* outDirection) {
    result.clear();
    if (!_camera)
        return;
    const float nx = 2 * x - 1;
    const float ny = 1 - 2 * y;
    const Matrix4& world = _camera->_transform->_world;
    Vector3 start = divided(throughMatrix4(world, throughMatrix4(_camera->_inverseProjection, Vector4(nx, ny, 0, 1))));
    Vector3 end = divided(throughMatrix4(world, throughMatrix4(_camera->_inverseProjection, Vector4(nx, ny, 1, 1))));
    if (outDirection)
        *outDirection = (end - start).normalized();
    rayTest(result, start, end, typeFilter);
}

void World::rayTest(std::vector<RayHit>& result, const Vector3& start, const Vector3& end, int typeFilter) {
    result.clear();
    std::vector<RayHit>& hits = _rayHits;
    hits.clear();
    for (Scene* scene : _scenes) {
        if (!scene->_rayTestable || !scene->_shown)
            continue;
        for (Object* node : scene->_nodes) {
            const bool considered = testable(node) || node->_typeId == 100;
            if (!considered || (typeFilter != -1 && typeFilter != node->_typeId))
                continue;
            rayTestNode(scene, node, start, end, hits);
        }
    }
    if (hits.empty())
        return;
    auto nearest = std::min_element(hits.begin(), hits.end(),
                                    [](const RayHit& a, const RayHit& b) { return a.distance < b.distance; });
    result.push_back(*nearest);
}

void World::rayTestNode(Scene* scene, Object* node, const Vector3& start, const Vector3& end,
                        std::vector<RayHit>& hits) {
    if (testable(node))
        for (Mesh* mesh : node->_meshes)
            rayTestMesh(scene, node, mesh, start, end, hits);
    for (Object* child : node->_children)
        rayTestNode(scene, child, start, end, hits);
}

void World::rayTestMesh(Scene* scene, Object* node, Mesh* mesh, const Vector3& start, const Vector3& end,
                        std::vector<RayHit>& hits) {
    // Hiding a node hides its meshes too; a node that is hit while hidden keeps them testable.
    if (!mesh || (mesh->_hidden && !node->_hitWhenHidden))
        return;
    const Geometry* g = mesh->_geometry;
    if (!g || !g->_vertices || !g->_indices || !g->hasPositions())
        return;

    Matrix4 inverse;
    if (!mesh->_worldMatrix.inverse(inverse))
        return;
    const Vector3 S = throughMatrix(inverse, start);
    const Vector3 E = throughMatrix(inverse, end);

    // The mesh's range, kept inside the geometry's indices.
    const int64_t first = mesh->getFirstIndex();
    int64_t count = mesh->getIndexCount();
    if (first < 0 || first >= (int64_t)g->_indexCount)
        return;
    count = std::min<int64_t>(count, (int64_t)g->_indexCount - first);
    if (count < 3)
        return;

    float best = 10000000.0f;
    int32_t bestTriangle = 0;
    Vector3 bestPoint, bestNormal;
    for (int64_t t = 0; t + 3 <= count; t += 3) {
        uint16_t i0 = g->_indices[first + t], i1 = g->_indices[first + t + 1], i2 = g->_indices[first + t + 2];
        if (i0 >= g->_vertexCount || i1 >= g->_vertexCount || i2 >= g->_vertexCount)
            continue;
        const Vector3 T0 = g->position(i0), T1 = g->position(i1), T2 = g->position(i2);
        const Vector3 n = (T1 - T0).cross(T2 - T0);
        const float nT0 = n.dot(T0);
        const float dS = n.dot(S) - nT0;
        const float dE = n.dot(E) - nT0;
        if (dS * dE >= 0)
            continue;
        const float t01 = dS / (n.dot(S) - n.dot(E));
        if (!(t01 < best))
            continue;
        const Vector3 P = S + (E - S) * t01;
        const float tolerance = -0.0001f * n.lengthSquared();
        if (n.dot((T1 - T0).cross(P - T0)) < tolerance || n.dot((T2 - T1).cross(P - T1)) < tolerance ||
            n.dot((T0 - T2).cross(P - T2)) < tolerance)
            continue;
        best = t01;
        bestTriangle = (int32_t)(first / 3 + t / 3);
        bestPoint = P;
        bestNormal = n;
    }
    if (best == 10000000.0f)
        return;

    RayHit hit;
    hit.mesh = mesh;
    hit.triangle = bestTriangle;
    hit.scene = scene;
    hit.distance = best;
    hit.node = node;
    hit.point = throughMatrix(mesh->_worldMatrix, bestPoint);
    const Matrix4& w = mesh->_worldMatrix;
    Vector3 normal = w.row3(0) * bestNormal.x + w.row3(1) * bestNormal.y + w.row3(2) * bestNormal.z;
    hit.normal = normal.normalized();
    hits.push_back(hit);
}

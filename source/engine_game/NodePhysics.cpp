// Rigid bodies for nodes made from object files, and the shape makers the game also uses.

#include <algorithm>
#include <cmath>
#include <vector>

#include <btBulletDynamicsCommon.h>

#include "engine/bounds.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"

namespace {

btVector3 toBt(const Vector3& v) { return btVector3(v.x, v.y, v.z); }

// The physics library takes a pure rotation: rows are normalised (a zero row becomes its axis).
btTransform makeTransform(const Vector3 rows[3], const Vector3& position) {
    static const Vector3 kAxes[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    Vector3 r[3];
    for (int i = 0; i < 3; ++i) {
        const Vector3 row = rows ? rows[i] : kAxes[i];
        float len = row.length();
        r[i] = (len > 0 && std::isfinite(len)) ? row / len : kAxes[i];
    }
    btTransform t;
    // Rows are the axes (points are row vectors); the library's basis holds them as columns.
    t.setBasis(btMatrix3x3(r[0].x, r[1].x, r[2].x, r[0].y, r[1].y, r[2].y, r[0].z, r[1].z, r[2].z));
    t.setOrigin(toBt(position));
    return t;
}

float maxOf(float a, float b, float c) { return std::max(a, std::max(b, c)); }

// Triangle parts whose positions and indices the shape keeps for itself: used for geometries
// that free their memory copies once uploaded, which the physics library would otherwise read
// after they are gone.
class OwnedTriangleParts : public btTriangleIndexVertexArray {
public:
    explicit OwnedTriangleParts(size_t parts) {
        _positions.reserve(parts);
        _indices.reserve(parts);
    }
    btIndexedMesh copyOf(const Geometry& g, int32_t first, int32_t count) {
        _positions.emplace_back();
        std::vector<float>& p = _positions.back();
        p.reserve((size_t)g._vertexCount * 3);
        for (uint32_t v = 0; v < g._vertexCount; ++v) {
            const Vector3 q = g.position(v);
            p.push_back(q.x);
            p.push_back(q.y);
            p.push_back(q.z);
        }
        _indices.emplace_back(g._indices + first, g._indices + first + count);
        btIndexedMesh part;
        part.m_numTriangles = count / 3;
        part.m_triangleIndexBase = (const unsigned char*)_indices.back().data();
        part.m_triangleIndexStride = 6;
        part.m_numVertices = (int)g._vertexCount;
        part.m_vertexBase = (const unsigned char*)p.data();
        part.m_vertexStride = 12;
        part.m_indexType = PHY_SHORT;
        part.m_vertexType = PHY_FLOAT;
        return part;
    }

private:
    std::vector<std::vector<float>> _positions;
    std::vector<std::vector<uint16_t>> _indices;
};

}  // namespace

btRigidBody* World::finishPrimitiveBody(Scene* scene, btCollisionShape* shape, const Vector3 rotation[3],
                                        const Vector3& position, float mass) {
    btDynamicsWorld* dynamicsWorld = getDynamicsWorld(scene);
    btVector3 inertia(0, 0, 0);
    if (mass != 0)
        shape->calculateLocalInertia(mass, inertia);
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape, inertia);
    btRigidBody* body = new btRigidBody(info);
    body->setWorldTransform(makeTransform(rotation, position));
    body->setRestitution(0.5f);
    body->setFriction(0.5f);
    body->setDamping(0.1f, 0.1f);
    body->setCollisionFlags(0);
    dynamicsWorld->addRigidBody(body, 1, -2);

    MadeBody made;
    made.scene = scene;
    made.world = dynamicsWorld;
    if (scene) {
        scene->_bodyCount++;
        made.counted = true;
    }
    _madeBodies[body] = made;
    return body;
}

btRigidBody* World::createSphereBody(Scene* scene, float radius, const Vector3 rotation[3],
                                     const Vector3& position, float mass) {
    if (!getDynamicsWorld(scene))
        return nullptr;
    return finishPrimitiveBody(scene, new btSphereShape(radius), rotation, position, mass);
}

btRigidBody* World::createBoxBody(Scene* scene, const Vector3& size, const Vector3 rotation[3],
                                  const Vector3& position, float mass) {
    if (!getDynamicsWorld(scene))
        return nullptr;
    return finishPrimitiveBody(scene, new btBoxShape(toBt(size * 0.5f)), rotation, position, mass);
}

btRigidBody* World::createCylinderBody(Scene* scene, float radius, float height, int axis,
                                       const Vector3 rotation[3], const Vector3& position, float mass) {
    if (!getDynamicsWorld(scene))
        return nullptr;
    const float h = height * 0.5f;
    btCollisionShape* shape;
    switch (axis) {
    case 0:
        shape = new btCylinderShapeX(btVector3(h, radius, radius));
        break;
    case 2:
        shape = new btCylinderShapeZ(btVector3(radius, radius, h));
        break;
    default:
        shape = new btCylinderShape(btVector3(radius, h, radius));
        break;
    }
    return finishPrimitiveBody(scene, shape, rotation, position, mass);
}

btRigidBody* World::createConvexHullShape(Scene* scene, const float* points, int count, const Vector3 rotation[3],
                                          const Vector3& position, float mass) {
    if (!getDynamicsWorld(scene) || !points || count <= 0)
        return nullptr;
    btConvexHullShape* shape = new btConvexHullShape(points, count, 12);
    return finishPrimitiveBody(scene, shape, rotation, position, mass);
}

btRigidBody* World::createMeshBody(Scene* scene, const Vector3& scale, int convex, Object* node, float mass) {
    btDynamicsWorld* dynamicsWorld = getDynamicsWorld(scene);
    if (!dynamicsWorld || !node || node->_meshes.empty())
        return nullptr;

    if (convex == 0) {
        // Static triangle mesh over the node's meshes; the parts read the geometries in place
        // unless a geometry is going to free its memory copy.
        OwnedTriangleParts* parts = new OwnedTriangleParts(node->_meshes.size());
        for (Mesh* mesh : node->_meshes) {
            Geometry* g = mesh->_geometry;
            if (!g || g->_vertexCount == 0 || !g->_vertices || !g->_indices || !g->hasPositions())
                continue;
            const int32_t first = mesh->getFirstIndex();
            const int32_t count = mesh->getIndexCount();
            if (count < 3 || first < 0 || (uint64_t)first + (uint64_t)count > g->_indexCount)
                continue;
            if (g->_releaseData) {
                parts->addIndexedMesh(parts->copyOf(*g, first, count), PHY_SHORT);
                continue;
            }
            btIndexedMesh part;
            part.m_numTriangles = count / 3;
            part.m_triangleIndexBase = (const unsigned char*)(g->_indices + first);
            part.m_triangleIndexStride = 6;
            part.m_numVertices = (int)g->_vertexCount;
            part.m_vertexBase = g->_vertices;
            part.m_vertexStride = (int)g->_stride;
            part.m_indexType = PHY_SHORT;
            part.m_vertexType = PHY_FLOAT;
            parts->addIndexedMesh(part, PHY_SHORT);
        }
        if (parts->getIndexedMeshArray().size() == 0) {
            delete parts;
            return nullptr;
        }
        btBvhTriangleMeshShape* shape = new btBvhTriangleMeshShape(parts, false, true);
        shape->setLocalScaling(toBt(scale));
        btRigidBody::btRigidBodyConstructionInfo info(0, nullptr, shape, btVector3(0, 0, 0));
        btRigidBody* body = new btRigidBody(info);
        body->setWorldTransform(btTransform::getIdentity());
        dynamicsWorld->addRigidBody(body);
        body->setRestitution(0.5f);
        body->setFriction(0.5f);
        body->setCollisionFlags(btCollisionObject::CF_STATIC_OBJECT);
        MadeBody made;
        made.scene = scene;
        made.world = dynamicsWorld;
        _madeBodies[body] = made;
        return body;
    }

    // Convex hull of the positions the meshes use; near-duplicates are dropped.
    std::vector<Vector3> points;
    for (Mesh* mesh : node->_meshes) {
        Geometry* g = mesh->_geometry;
        if (!g || !g->_vertices || !g->_indices || !g->hasPositions())
            continue;
        const int32_t first = mesh->getFirstIndex();
        const int32_t count = mesh->getIndexCount();
        if (first < 0 || count <= 0 || (uint64_t)first + (uint64_t)count > g->_indexCount)
            continue;
        for (int32_t i = first; i < first + count; ++i) {
            uint16_t v = g->_indices[i];
            if (v >= g->_vertexCount)
                continue;
            Vector3 p = g->position(v);
            bool near = false;
            for (const Vector3& q : points) {
                if ((p - q).lengthSquared() < 0.0001f) {
                    near = true;
                    break;
                }
            }
            if (!near)
                points.push_back(p);
        }
    }
    if (points.size() < 4)
        return nullptr;
    std::vector<float> flat;
    flat.reserve(points.size() * 3);
    for (const Vector3& p : points) {
        flat.push_back(p.x);
        flat.push_back(p.y);
        flat.push_back(p.z);
    }
    btRigidBody* body = createConvexHullShape(scene, flat.data(), (int)points.size(), nullptr, Vector3(), mass);
    if (!body)
        return nullptr;
    body->setRestitution(0.5f);
    body->setFriction(0.5f);
    body->setDamping(0.1f, 0.1f);
    body->setAngularFactor(btVector3(1, 1, 1));
    body->setSleepingThresholds(50.0f, 50.0f);
    body->setCcdMotionThreshold(0.01f);
    body->setCollisionFlags(0);
    return body;
}

bool World::createPhysics(Scene* scene, Object* node, ObjectNode* objectNode, const Vector3 rotation[3],
                          const Vector3& position, const Vector3& scale, float mass) {
    if (!node || !objectNode || objectNode->hasProperty("nophysics"))
        return false;
    btDynamicsWorld* dynamicsWorld = getDynamicsWorld(scene);
    if (!dynamicsWorld)
        return false;

    const std::string* coll = objectNode->property("coll");
    Vector3 offset;
    btRigidBody* body = nullptr;
    const std::string shape = coll ? *coll : std::string("trimesh");
    const bool primitive = shape == "sphere" || shape == "box" || shape == "cylinder_x" || shape == "cylinder_y" ||
                           shape == "cylinder_z";
    if (primitive) {
        if (!node->_bounds)
            return false;
        const Vector3 mn = node->_bounds->_localMin;
        const Vector3 mx = node->_bounds->_localMax;
        const Vector3 ext = mx - mn;
        offset = (mn + mx) * 0.5f;
        if (shape == "sphere")
            body = createSphereBody(scene, 0.35f * maxOf(ext.x, ext.y, ext.z), rotation, position, mass);
        else if (shape == "box")
            body = createBoxBody(scene, ext, rotation, position, mass);
        else if (shape == "cylinder_x")
            body = createCylinderBody(scene, 0.5f * std::max(scale.y * ext.y, scale.z * ext.z), scale.x * ext.x, 0,
                                      rotation, position, mass);
        else if (shape == "cylinder_y")
            body = createCylinderBody(scene, 0.5f * std::max(scale.x * ext.x, scale.z * ext.z), scale.y * ext.y, 1,
                                      rotation, position, mass);
        else
            body = createCylinderBody(scene, 0.5f * std::max(scale.x * ext.x, scale.y * ext.y), scale.z * ext.z, 2,
                                      rotation, position, mass);
    } else if (shape == "convexhull") {
        body = createMeshBody(scene, scale, 1, node, mass);
    } else if (shape == "trimesh") {
        body = createMeshBody(scene, scale, 0, node, mass);
    }
    if (!body)
        return false;
    body->setUserPointer(node);

    int32_t type = Body::Static;
    if (const std::string* physics = objectNode->property("physics"))
        type = Body::typeFromName(physics->c_str(), Body::Static);
    if (type == Body::Kinematic_Camera || type == Body::Kinematic_Player || type == Body::Kinematic_Player_Hit ||
        type == Body::Dynamic)
        type = Body::Kinematic;

    Body* handle = createBody(scene, body, type, offset);
    if (!handle) {
        destroyRigidBody(scene, body);
        return false;
    }
    if (node->_physicsBody) {
        IPhysicsBody* old = node->_physicsBody;
        node->_physicsBody = nullptr;
        destroyBody(old);
    }
    node->_physicsBody = handle;
    return true;
}

Body* World::createBody(Scene* scene, btRigidBody* rigidBody, int type, const Vector3& offset) {
    btDynamicsWorld* dynamicsWorld = getDynamicsWorld(scene);
    if (!rigidBody || !dynamicsWorld)
        return nullptr;
    return new Body(rigidBody, dynamicsWorld, type, offset);
}

void World::destroyBody(IPhysicsBody* body) {
    if (!body)
        return;
    btRigidBody* rigidBody = body->getRigidBody();
    body->removeFromWorld();
    Scene* scene = nullptr;
    auto it = _madeBodies.find(rigidBody);
    if (it != _madeBodies.end())
        scene = it->second.scene;
    destroyRigidBody(scene, rigidBody);
    delete body;
}

void World::destroyRigidBody(Scene* scene, btRigidBody* rigidBody) {
    if (!rigidBody)
        return;
    // Only the world that holds the body may remove it (another's broadphase would be corrupted).
    btDynamicsWorld* world = getDynamicsWorld(scene);
    auto it = _madeBodies.find(rigidBody);
    if (it != _madeBodies.end()) {
        world = it->second.world;
        // The count follows what the makers added, so it returns to 0 with the last body even
        // when a body changed its type on the way.
        if (it->second.counted && it->second.scene)
            it->second.scene->_bodyCount--;
        _madeBodies.erase(it);
    } else if (scene && !rigidBody->isStaticOrKinematicObject()) {
        scene->_bodyCount--;
    }
    if (rigidBody->isInWorld() && world)
        world->removeRigidBody(rigidBody);
    deleteCollisionShape(rigidBody->getCollisionShape());
    delete rigidBody;
}

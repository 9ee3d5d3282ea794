// Rigid bodies for nodes: the shape from "coll", masses, body types, scene body counts.

#include <gtest/gtest.h>

#include <functional>

#include <btBulletDynamicsCommon.h>

#include "engine/clock.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"
#include "engine_game/Body.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "support_scene.h"
#include "support_world.h"

namespace {

using namespace worldtest;

btRigidBody* rigidOf(Object* n) { return n && n->_physicsBody ? n->_physicsBody->getRigidBody() : nullptr; }

Vector3 toV(const btVector3& v) { return Vector3(v.x(), v.y(), v.z()); }

struct ShapeCase {
    const char* name;
    cw::Properties properties;
    int shapeType;  // -1: no body
    std::function<void(btCollisionShape*)> check;
};

// The box of every case: size (1, 2, 4) centred on (0.5, 0, 0) (a node's bounds always hold its
// origin); the node is scaled by (2, 3, 1).
const ShapeCase kShapeCases[] = {
    {"sphere", {{"coll", "sphere"}}, SPHERE_SHAPE_PROXYTYPE,
     [](btCollisionShape* s) { EXPECT_NEAR(static_cast<btSphereShape*>(s)->getRadius(), 0.35f * 4, 1e-5f); }},
    {"box_unscaled", {{"coll", "box"}}, BOX_SHAPE_PROXYTYPE,
     [](btCollisionShape* s) {
         scenetest::expectVec(toV(static_cast<btBoxShape*>(s)->getHalfExtentsWithMargin()), Vector3(0.5f, 1, 2), 1e-5f);
     }},
    {"cylinder_x", {{"coll", "cylinder_x"}}, CYLINDER_SHAPE_PROXYTYPE,
     [](btCollisionShape* s) {
         auto* c = static_cast<btCylinderShape*>(s);
         EXPECT_EQ(c->getUpAxis(), 0);
         // radius 0.5 x max(3 x 2, 1 x 4) = 3, height 2 x 1 = 2
         scenetest::expectVec(toV(c->getHalfExtentsWithMargin()), Vector3(1, 3, 3), 1e-5f);
     }},
    {"cylinder_y", {{"coll", "cylinder_y"}}, CYLINDER_SHAPE_PROXYTYPE,
     [](btCollisionShape* s) {
         auto* c = static_cast<btCylinderShape*>(s);
         EXPECT_EQ(c->getUpAxis(), 1);
         // radius 0.5 x max(2 x 1, 1 x 4) = 2, height 3 x 2 = 6
         scenetest::expectVec(toV(c->getHalfExtentsWithMargin()), Vector3(2, 3, 2), 1e-5f);
     }},
    {"cylinder_z", {{"coll", "cylinder_z"}}, CYLINDER_SHAPE_PROXYTYPE,
     [](btCollisionShape* s) {
         auto* c = static_cast<btCylinderShape*>(s);
         EXPECT_EQ(c->getUpAxis(), 2);
         // radius 0.5 x max(2 x 1, 3 x 2) = 3, height 1 x 4 = 4
         scenetest::expectVec(toV(c->getHalfExtentsWithMargin()), Vector3(3, 3, 2), 1e-5f);
     }},
    {"convexhull", {{"coll", "convexhull"}}, CONVEX_HULL_SHAPE_PROXYTYPE,
     [](btCollisionShape* s) { EXPECT_EQ(static_cast<btConvexHullShape*>(s)->getNumPoints(), 8); }},
    {"trimesh", {{"coll", "trimesh"}}, TRIANGLE_MESH_SHAPE_PROXYTYPE,
     [](btCollisionShape* s) { scenetest::expectVec(toV(s->getLocalScaling()), Vector3(2, 3, 1)); }},
    {"no_coll_is_a_trimesh", {}, TRIANGLE_MESH_SHAPE_PROXYTYPE, nullptr},
    {"unknown_coll", {{"coll", "capsule"}}, -1, nullptr},
    {"nophysics", {{"coll", "box"}, {"nophysics", "1"}}, -1, nullptr},
};

class ShapeChoice : public WorldFixture, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(ShapeChoice, FromColl) {
    const ShapeCase& c = GetParam();
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendBox(v, i, cw::Vec3(0.5f, 0, 0), cw::Vec3(1, 2, 4));
    cw::ObjectFileDesc f;
    f.top.name = "shape";
    f.top.ranges.push_back(cw::wholeRange("plain", (uint32_t)v.size(), (uint32_t)i.size()));
    f.trailingProperties = c.properties;
    f.mesh = cw::makeMesh(v, i);
    writeObject("shape.object", f);

    Scene* scene = world()->createScene("s", 1, 0);
    Object* n = place(scene, "shape.object", "n", Vector3(0, 0, 5), Vector3(2, 3, 1));
    btRigidBody* body = rigidOf(n);
    if (c.shapeType < 0) {
        EXPECT_EQ(body, nullptr);
        return;
    }
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->getCollisionShape()->getShapeType(), c.shapeType);
    EXPECT_EQ(body->getUserPointer(), n);
    if (c.check)
        c.check(body->getCollisionShape());
    const bool primitive = c.shapeType != TRIANGLE_MESH_SHAPE_PROXYTYPE && c.shapeType != CONVEX_HULL_SHAPE_PROXYTYPE;
    scenetest::expectVec(static_cast<Body*>(n->_physicsBody)->_offset, primitive ? Vector3(0.5f, 0, 0) : Vector3());
}

INSTANTIATE_TEST_SUITE_P(Coll, ShapeChoice, ::testing::ValuesIn(kShapeCases),
                         [](const ::testing::TestParamInfo<ShapeCase>& info) { return info.param.name; });

struct MassCase {
    const char* mass;  // null: no property
    float inverseMass;
};

class MassDefaults : public WorldFixture, public ::testing::WithParamInterface<MassCase> {};

TEST_P(MassDefaults, NonPositiveAndMissingMassesAreOne) {
    cw::Properties p = {{"coll", "box"}};
    if (GetParam().mass)
        p.push_back({"mass", GetParam().mass});
    writeObject("m.object", boxObject("m", cw::Vec3(1, 1, 1), p));
    Object* n = place(world()->createScene("s", 1, 0), "m.object", "n");
    ASSERT_NE(rigidOf(n), nullptr);
    EXPECT_FLOAT_EQ(rigidOf(n)->getInvMass(), GetParam().inverseMass);
}

INSTANTIATE_TEST_SUITE_P(Masses, MassDefaults,
                         ::testing::Values(MassCase{nullptr, 1}, MassCase{"0", 1}, MassCase{"-3", 1},
                                           MassCase{"nonsense", 1}, MassCase{"4", 0.25f}));

class NodePhysics : public WorldFixture {};

TEST_F(NodePhysics, BodyTypes) {
    struct {
        const char* physics;
        int type;
    } cases[] = {{nullptr, Body::Static},         {"static_obstacle", Body::Static_Obstacle},
                 {"kinematic_player", Body::Kinematic}, {"kinematic_camera", Body::Kinematic},
                 {"dynamic", Body::Kinematic},   {"kinematic_selectable", Body::Kinematic_Selectable},
                 {"rubbish", Body::Static}};
    Scene* scene = world()->createScene("s", 1, 0);
    int k = 0;
    for (const auto& c : cases) {
        cw::Properties p = {{"coll", "sphere"}};
        if (c.physics)
            p.push_back({"physics", c.physics});
        const std::string path = "t" + std::to_string(k++) + ".object";
        writeObject(path, boxObject("t", cw::Vec3(1, 1, 1), p));
        Object* n = place(scene, path, "n");
        ASSERT_NE(n->_physicsBody, nullptr);
        EXPECT_EQ(static_cast<Body*>(n->_physicsBody)->getType(), c.type) << (c.physics ? c.physics : "none");
    }
}

TEST_F(NodePhysics, ConvexHullsNeedFourPoints) {
    auto hullOf = [&](const std::vector<cw::Vertex>& v, const std::vector<uint16_t>& i, const char* path) {
        cw::ObjectFileDesc f;
        f.top.name = "hull";
        f.top.ranges.push_back(cw::wholeRange("plain", (uint32_t)v.size(), (uint32_t)i.size()));
        f.trailingProperties = {{"coll", "convexhull"}};
        f.mesh = cw::makeMesh(v, i);
        writeObject(path, f);
        return rigidOf(place(world()->createScene(path, 1, 0), path, "n"));
    };
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendQuad(v, i, cw::Vec3(0, 0, 0), 1, 1);
    EXPECT_NE(hullOf(v, i, "quad.object"), nullptr);
    i.resize(3);
    EXPECT_EQ(hullOf(v, i, "triangle.object"), nullptr);
}

TEST_F(NodePhysics, ScenesWithoutPhysicsGetNoBodies) {
    writeObject("b.object", boxObject("b", cw::Vec3(1, 1, 1), {{"coll", "box"}}));
    EXPECT_EQ(place(world()->createScene("s", 0, 0), "b.object", "n")->_physicsBody, nullptr);
    EXPECT_EQ(world()->createSphereBody(world()->createScene("t", 0, 0), 1, kIdentityRows, Vector3(), 1), nullptr);
    World flat(0);
    EXPECT_EQ(flat.createBoxBody(nullptr, Vector3(1, 1, 1), kIdentityRows, Vector3(), 1), nullptr);
}

TEST_F(NodePhysics, BodiesTakeAPureRotation) {
    writeObject("b.object", boxObject("b", cw::Vec3(1, 1, 1), {{"coll", "box"}}));
    Vector3 rows[3];
    eulerToRows(Vector3(0.3f, 0.2f, 0.1f), rows);
    Object* n = world()->createObject(world()->createScene("s", 1, 0), "b.object", "n", PropertyList(), 1, rows,
                                      Vector3(1, 2, 3), Vector3(3, 3, 3), nullptr);
    const btMatrix3x3& basis = rigidOf(n)->getWorldTransform().getBasis();
    EXPECT_NEAR(basis.determinant(), 1.0f, 1e-4f);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(basis.getColumn(c).length(), 1.0f, 1e-5f);
    scenetest::expectVec(toV(rigidOf(n)->getWorldTransform().getOrigin()), Vector3(1, 2, 3), 1e-5f);
}

TEST_F(NodePhysics, StaticTriangleMeshesFollowTheirNodeScaledOnce) {
    writeObject("floor.object", boxObject("floor", cw::Vec3(2, 2, 2)));
    Object* n = place(world()->createScene("s", 1, 0), "floor.object", "n", Vector3(0, 0, -1), Vector3(2, 2, 2));
    btRigidBody* body = rigidOf(n);
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(body->isStaticObject());
    btVector3 mn, mx;
    body->getAabb(mn, mx);
    // Box of 2 scaled by 2 at z = -1: from -2 to 2 across and -3 to 1 in height (plus margins).
    EXPECT_NEAR(mx.x(), 2.0f, 0.1f);
    EXPECT_NEAR(mn.z(), -3.0f, 0.1f);
    EXPECT_NEAR(mx.z(), 1.0f, 0.1f);
}

// Geometries that free their memory once uploaded leave the triangle mesh its own copy.
TEST_F(NodePhysics, TriangleMeshesOutliveFreedGeometryMemory) {
    world()->_releaseGeometryData = 1;
    writeObject("floor.object", boxObject("floor", cw::Vec3(2, 2, 2)));
    Object* n = place(world()->createScene("s", 1, 0), "floor.object", "n");
    ASSERT_NE(rigidOf(n), nullptr);
    Geometry* g = n->_meshes[0]->_geometry;
    ASSERT_EQ(g->_releaseData, 1);
    g->freeData();
    ASSERT_EQ(g->_vertices, nullptr);
    btCollisionWorld::ClosestRayResultCallback ray(btVector3(0, -10, 0), btVector3(0, 10, 0));
    ray.m_collisionFilterGroup = Body::Ray_Kinematic_Selectable;  // a group static bodies accept
    world()->_dynamicsWorld->rayTest(btVector3(0, -10, 0), btVector3(0, 10, 0), ray);
    ASSERT_TRUE(ray.hasHit());
    EXPECT_NEAR(ray.m_hitPointWorld.y(), -1.0f, 1e-3f);
}

TEST_F(NodePhysics, SceneBodyCountsAndStepping) {
    World* w = new World(0);
    Scene* scene = w->createScene("own", 1, 0);
    writeObject("b.object", boxObject("b", cw::Vec3(1, 1, 1), {{"coll", "box"}}));
    writeObject("floor.object", boxObject("floor"));
    Object* floor = w->createObject(scene, "floor.object", "floor", PropertyList(), 1, kIdentityRows, Vector3(),
                                    Vector3(1, 1, 1), nullptr);
    EXPECT_NE(floor->_physicsBody, nullptr);
    EXPECT_EQ(scene->_bodyCount, 0);  // triangle meshes are static and not counted

    // A dynamic body the game adds on its own: the scene steps only while its count says so.
    btBoxShape shape(btVector3(0.5f, 0.5f, 0.5f));
    btRigidBody loose(btRigidBody::btRigidBodyConstructionInfo(1, nullptr, &shape, btVector3(1, 1, 1)));
    loose.setWorldTransform(btTransform(btQuaternion::getIdentity(), btVector3(0, 0, 10)));
    scene->_dynamicsWorld->addRigidBody(&loose);
    frameTime().dt = 1.0f / 60.0f;
    scene->update();
    EXPECT_FLOAT_EQ(loose.getWorldTransform().getOrigin().z(), 10.0f);

    Object* box = w->createObject(scene, "b.object", "box", PropertyList(), 1, kIdentityRows, Vector3(0, 0, 5),
                                  Vector3(1, 1, 1), nullptr);
    EXPECT_EQ(scene->_bodyCount, 1);
    static_cast<Body*>(box->_physicsBody)->setType(Body::Dynamic);
    scene->update();
    EXPECT_LT(loose.getWorldTransform().getOrigin().z(), 10.0f);

    w->deleteObject(box);
    EXPECT_EQ(scene->_bodyCount, 0);
    const float z = loose.getWorldTransform().getOrigin().z();
    scene->update();
    EXPECT_EQ(loose.getWorldTransform().getOrigin().z(), z);

    // The makers count, destroyRigidBody uncounts.
    btRigidBody* made = w->createSphereBody(scene, 1, kIdentityRows, Vector3(), 1);
    EXPECT_EQ(scene->_bodyCount, 1);
    w->destroyRigidBody(scene, made);
    EXPECT_EQ(scene->_bodyCount, 0);
    scene->_dynamicsWorld->removeRigidBody(&loose);
    frameTime().dt = 0;
    delete w;
}

TEST_F(NodePhysics, CreateBodyNeedsARigidBodyAndAWorld) {
    EXPECT_EQ(world()->createBody(nullptr, nullptr, Body::Dynamic, Vector3()), nullptr);
    btRigidBody* rb = world()->createBoxBody(nullptr, Vector3(1, 1, 1), kIdentityRows, Vector3(), 1);
    Body* body = world()->createBody(nullptr, rb, Body::Dynamic, Vector3());
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->getType(), Body::Dynamic);
    world()->destroyBody(body);
    world()->destroyBody(nullptr);
}

}  // namespace

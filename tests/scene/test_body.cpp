// Physics bodies over the physics library: type names, collision groups and masks, motion
// flags, placement both ways between node and body, and a body falling onto the ground.

#include <gtest/gtest.h>

#include <btBulletDynamicsCommon.h>

#include <memory>
#include <vector>

#include "engine_game/Body.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "support_scene.h"

using scenetest::expectVec;

namespace {

// A small dynamics world with the engine's gravity, and the rigid bodies made in it.
class PhysicsFixture : public ::testing::Test {
protected:
    PhysicsFixture()
        : dispatcher(&config),
          world(&dispatcher, &broadphase, &solver, &config) {
        world.setGravity(btVector3(0, 0, -20));
    }
    ~PhysicsFixture() override {
        for (auto& b : bodies)
            world.removeRigidBody(b.get());
    }

    btRigidBody* makeRigidBody(btCollisionShape* shape, float mass, const btVector3& at) {
        btVector3 inertia(0, 0, 0);
        if (mass > 0)
            shape->calculateLocalInertia(mass, inertia);
        btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape, inertia);
        info.m_startWorldTransform.setOrigin(at);
        bodies.emplace_back(new btRigidBody(info));
        return bodies.back().get();
    }

    btDefaultCollisionConfiguration config;
    btCollisionDispatcher dispatcher;
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world;
    btBoxShape box{btVector3(1, 1, 1)};
    btBoxShape ground{btVector3(10, 10, 0.5f)};
    std::vector<std::unique_ptr<btRigidBody>> bodies;
};

TEST(BodyTypeTest, NamesMapToTypeBits) {
    struct Case {
        const char* name;
        int32_t fallback;
        int32_t type;
    };
    const Case cases[] = {
        {"static", 0, 1},
        {"static_ground", 8, 1},
        {"static_obstacle", 0, 2},
        {"kinematic_camera", 0, 4},
        {"kinematic", 0, 8},
        {"kinematic_obstacle", 0, 8},
        {"kinematic_player", 0, 16},
        {"kinematic_player_collision", 0, 16},
        {"kinematic_player_hit", 0, 32},
        {"kinematic_selectable", 0, 64},
        {"dynamic", 0, 128},
        {"Dynamic", 5, 5},
        {"", 7, 7},
        {nullptr, 3, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Body::typeFromName(c.name, c.fallback), c.type) << (c.name ? c.name : "(null)");
}

TEST(BodyTypeTest, GroupAndMaskPairs) {
    struct Case {
        int32_t a, b;
        bool collide;
    };
    const Case cases[] = {
        {16, 2, true},   {16, 8, true},    {16, 128, true}, {16, 1, false}, {16, 4, false},
        {16, 64, false}, {16, 16, false},  {16, 32, false}, {32, 8, true},  {1, 1, false},
        {1, 2, false},   {2, 8, false},    {4, 1, false},   {64, 64, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body::typesCollide(c.a, c.b), c.collide) << c.a << " with " << c.b;
        EXPECT_EQ(Body::typesCollide(c.b, c.a), c.collide) << "symmetric " << c.a;
    }
    for (int32_t t : {1, 2, 4, 8, 16, 32, 64, 128})
        EXPECT_TRUE(Body::typesCollide(128, t)) << "dynamic collides with " << t;

    // Masks keep the upper bits 1024..32768 set for every type; unknown types are static.
    for (int32_t t : {1, 2, 4, 8, 16, 32, 64, 128, 3, 1000}) {
        EXPECT_EQ(Body::maskOfType(t) & 0xFC00, 0xFC00) << t;
        EXPECT_EQ(Body::maskOfType(t) & ~0xFFFF, 0) << t;
    }
    EXPECT_EQ(Body::maskOfType(1000), 0xFDB0);
    EXPECT_EQ(Body::groupOfType(1000), 1);
}

TEST_F(PhysicsFixture, BodiesEnterTheWorldWithTheirTypesFilter) {
    struct Case {
        int32_t type;
        int group, mask;
        int flags;  // static / kinematic collision flags
    };
    const Case cases[] = {
        {1, 1, 0xFDB0, btCollisionObject::CF_STATIC_OBJECT},
        {2, 2, 0xFCB0, btCollisionObject::CF_STATIC_OBJECT},
        {4, 4, 0xFCB0, btCollisionObject::CF_KINEMATIC_OBJECT},
        {8, 8, 0xFCB0, btCollisionObject::CF_KINEMATIC_OBJECT},
        {16, 16, 0xFC8A, btCollisionObject::CF_KINEMATIC_OBJECT},
        {32, 32, 0xFC8A, btCollisionObject::CF_KINEMATIC_OBJECT},
        {64, 64, 0xFEB0, btCollisionObject::CF_KINEMATIC_OBJECT},
        {128, 128, 0xFCFF, 0},
        {77, 1, 0xFDB0, btCollisionObject::CF_STATIC_OBJECT},
    };
    std::vector<std::unique_ptr<Body>> made;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        btRigidBody* rb = makeRigidBody(&box, c.type == 128 ? 1.0f : 0.0f, btVector3(0, 0, 0));
        made.emplace_back(new Body(rb, &world, c.type, Vector3()));
        ASSERT_NE(rb->getBroadphaseHandle(), nullptr);
        EXPECT_EQ(rb->getBroadphaseHandle()->m_collisionFilterGroup, c.group);
        EXPECT_EQ(rb->getBroadphaseHandle()->m_collisionFilterMask, c.mask);
        int motion = rb->getCollisionFlags() &
                     (btCollisionObject::CF_STATIC_OBJECT | btCollisionObject::CF_KINEMATIC_OBJECT);
        EXPECT_EQ(motion, c.flags);
        if (c.flags != btCollisionObject::CF_STATIC_OBJECT) {
            EXPECT_EQ(rb->getActivationState(), DISABLE_DEACTIVATION);
        }
    }

    // The library's own pair filter agrees with typesCollide.
    btOverlappingPairCache* cache = world.getBroadphase()->getOverlappingPairCache();
    for (size_t i = 0; i < made.size(); ++i)
        for (size_t j = 0; j < made.size(); ++j) {
            btBroadphaseProxy* a = made[i]->getRigidBody()->getBroadphaseHandle();
            btBroadphaseProxy* b = made[j]->getRigidBody()->getBroadphaseHandle();
            EXPECT_EQ(cache->needsBroadphaseCollision(a, b), Body::typesCollide(cases[i].type, cases[j].type))
                << cases[i].type << " with " << cases[j].type;
        }
}

TEST_F(PhysicsFixture, SetTypeReaddsTheBodyWithTheNewFilter) {
    btRigidBody* rb = makeRigidBody(&box, 1.0f, btVector3(0, 0, 0));
    Body body(rb, &world, Body::Kinematic, Vector3());
    EXPECT_EQ(world.getNumCollisionObjects(), 1);
    body.setType(Body::Dynamic);
    EXPECT_EQ(world.getNumCollisionObjects(), 1);
    EXPECT_EQ(body.getType(), 128);
    EXPECT_EQ(rb->getBroadphaseHandle()->m_collisionFilterGroup, 128);
    EXPECT_EQ(rb->getBroadphaseHandle()->m_collisionFilterMask, 0xFCFF);
    EXPECT_FALSE(rb->isStaticOrKinematicObject());

    body.removeFromWorld();
    body.removeFromWorld();
    EXPECT_EQ(world.getNumCollisionObjects(), 0);
    body.setType(Body::Static);  // out of the world: stays out
    EXPECT_EQ(world.getNumCollisionObjects(), 0);
    EXPECT_TRUE(rb->isStaticObject());
    body.addToWorld();
    body.addToWorld();
    EXPECT_EQ(world.getNumCollisionObjects(), 1);
    EXPECT_EQ(rb->getBroadphaseHandle()->m_collisionFilterMask, 0xFDB0);
}

TEST_F(PhysicsFixture, SetTransformMovesStaticAndKinematicBodiesAndSyncedOnes) {
    Matrix4 r = Matrix4::rotationZ(kPi / 2);
    Vector3 rows[3] = {r.row3(0) * 2.0f, r.row3(1) * 2.0f, r.row3(2) * 2.0f};  // scaled node axes
    struct Case {
        int32_t type;
        bool synced;
        bool moves;
    };
    for (const Case& c : {Case{Body::Static, false, true}, Case{Body::Kinematic, false, true},
                          Case{Body::Dynamic, false, false}, Case{Body::Dynamic, true, true}}) {
        SCOPED_TRACE(c.type);
        btRigidBody* rb = makeRigidBody(&box, c.type == Body::Dynamic ? 1.0f : 0.0f, btVector3(0, 0, 0));
        Body body(rb, &world, c.type, Vector3(1, 0, 0));
        body._synced = c.synced;
        body.setTransform(Vector3(5, 0, 0), rows);
        const btTransform& t = rb->getWorldTransform();
        if (!c.moves) {
            EXPECT_EQ(t.getOrigin(), btVector3(0, 0, 0));
            continue;
        }
        // The offset is in the node's axes: (1, 0, 0) turned a quarter about z is (0, 1, 0).
        EXPECT_NEAR(t.getOrigin().x(), 5, 1e-5f);
        EXPECT_NEAR(t.getOrigin().y(), 1, 1e-5f);
        // The basis is a pure rotation, whatever the node's scale.
        btVector3 xAxis = t.getBasis().getColumn(0);
        EXPECT_NEAR(xAxis.length(), 1, 1e-5f);
        EXPECT_NEAR(xAxis.y(), 1, 1e-5f);
        if (c.synced) {
            EXPECT_NEAR(rb->getInterpolationWorldTransform().getOrigin().y(), 1, 1e-5f);
        }
    }
}

TEST_F(PhysicsFixture, MaterialChangesOnlyTheValuesGiven) {
    btRigidBody* rb = makeRigidBody(&box, 1.0f, btVector3(0, 0, 0));
    rb->setFriction(0.7f);
    rb->setDamping(0.1f, 0.2f);
    Body body(rb, &world, Body::Dynamic, Vector3());
    Body::Material m;
    m.friction = -1;
    m.restitution = 0.5f;
    body.setMaterial(m);
    EXPECT_FLOAT_EQ(rb->getRestitution(), 0.5f);
    EXPECT_FLOAT_EQ(rb->getFriction(), 0.7f);
    EXPECT_FLOAT_EQ(rb->getLinearDamping(), 0.1f);

    Body::Material damping;
    damping.angularDamping = 0.9f;
    body.setMaterial(damping);
    EXPECT_FLOAT_EQ(rb->getLinearDamping(), 0.1f);
    EXPECT_FLOAT_EQ(rb->getAngularDamping(), 0.9f);

    body.setLinearVelocity(Vector3(1, 2, 3));
    expectVec(body.getLinearVelocity(), Vector3(1, 2, 3));
    body.setAngularVelocity(Vector3(0, 0, 4));
    expectVec(body.getAngularVelocity(), Vector3(0, 0, 4));
}

TEST_F(PhysicsFixture, AKinematicBodyFollowsItsNode) {
    Object parent(nullptr);
    Object* node = new Object(&parent);
    btRigidBody* rb = makeRigidBody(&box, 0, btVector3(0, 0, 0));
    node->_physicsBody = new Body(rb, &world, Body::Kinematic, Vector3(0, 0, 1));
    node->setPosition(Vector3(1, 0, 0));
    parent.setPosition(Vector3(0, 3, 0));
    EXPECT_EQ(rb->getWorldTransform().getOrigin(), btVector3(1, 3, 1));
    // The node owns the body handle: releasing the node takes the rigid body out of the world.
}

TEST_F(PhysicsFixture, ADynamicBodyFallsOntoTheGroundAndItsNodeFollows) {
    btRigidBody* groundBody = makeRigidBody(&ground, 0, btVector3(0, 0, -0.5f));
    Object groundNode(nullptr);
    groundNode._physicsBody = new Body(groundBody, &world, Body::Static, Vector3());

    Object parent(nullptr);
    parent.setPosition(Vector3(0, 0, 1));  // the falling node's z is relative to this
    Object* falling = new Object(&parent);
    btRigidBody* rb = makeRigidBody(&box, 1.0f, btVector3(0, 0, 0));
    Body* body = new Body(rb, &world, Body::Dynamic, Vector3(0, 0, 0.5f));
    falling->_physicsBody = body;
    body->_synced = true;  // let the node place the dynamic body once
    falling->setPosition(Vector3(0, 0, 5));
    body->_synced = false;
    EXPECT_NEAR(rb->getWorldTransform().getOrigin().z(), 6.5f, 1e-5f);

    float lastZ = falling->getWorldPosition().z;
    bool fell = false;
    for (int i = 0; i < 180; ++i) {
        world.stepSimulation(1.0f / 60.0f, 2, 1.0f / 60.0f);
        parent.update();
        float z = falling->getWorldPosition().z;
        if (z < lastZ - 1e-4f)
            fell = true;
        lastZ = z;
    }
    EXPECT_TRUE(fell);
    // The box (half height 1) rests on the ground's top at z 0; the node sits below its centre
    // by the offset, and its local position is relative to the parent.
    EXPECT_NEAR(rb->getWorldTransform().getOrigin().z(), 1.0f, 0.05f);
    EXPECT_NEAR(falling->getWorldPosition().z, 0.5f, 0.05f);
    EXPECT_NEAR(falling->getPosition().z, -0.5f, 0.05f);
    EXPECT_GT(dispatcher.getNumManifolds(), 0);

    // Nodes take their bodies out of the world when they go.
    int before = world.getNumCollisionObjects();
    groundNode._physicsBody->removeFromWorld();
    EXPECT_EQ(world.getNumCollisionObjects(), before - 1);
}

TEST_F(PhysicsFixture, ReleasingANodeTakesItsBodyOutOfTheWorld) {
    btRigidBody* rb = makeRigidBody(&box, 0, btVector3(0, 0, 0));
    Object* node = new Object(nullptr);
    node->_physicsBody = new Body(rb, &world, Body::Static, Vector3());
    EXPECT_EQ(world.getNumCollisionObjects(), 1);
    delete node;
    EXPECT_EQ(world.getNumCollisionObjects(), 0);
}

TEST_F(PhysicsFixture, MisuseStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    btRigidBody* rb = makeRigidBody(&box, 0, btVector3(0, 0, 0));
    EXPECT_DEATH(
        {
            scenetest::logToStderr();
            Body(nullptr, &world, Body::Static, Vector3());
        },
        "body && dynamicsWorld");
    EXPECT_DEATH(
        {
            scenetest::logToStderr();
            Body(rb, &world, Body::Ray_Static_Ground, Vector3());
        },
        "Ray_Static_Ground");
}

}  // namespace

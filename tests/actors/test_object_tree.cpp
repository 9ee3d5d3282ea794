// Functions on node trees: activation, lookups, descriptions, animations, bounds, bodies built
// from description properties, placement on a rail frame.

#include <gtest/gtest.h>

#include <btBulletDynamicsCommon.h>

#include <cmath>

#include "engine/bounds.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine_game/Body.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanObjectTree.h"
#include "support_actors.h"

namespace {

using actortest::ActorWorldTest;
using actortest::boxNode;
using actortest::boxObject;
namespace cw = contentwriter;

void expectNear(const Vector3& want, const Vector3& have, float tolerance = 1e-4f) {
    EXPECT_NEAR(want.x, have.x, tolerance);
    EXPECT_NEAR(want.y, have.y, tolerance);
    EXPECT_NEAR(want.z, have.z, tolerance);
}

class HookCounter : public Object {
public:
    explicit HookCounter(Object* parent) : Object(parent) {}
    void onActiveChanged() override { ++changes; }
    int changes = 0;
};

TEST(ObjectTreeActivation, InactiveNodesInsideStayHiddenAndTheHookRunsOnChangeOnly) {
    HookCounter root(nullptr);
    Object* arm = new Object(&root);
    Object* hand = new Object(arm);
    Object* finger = new Object(hand);
    hand->_active = 0;

    setObjectActive(&root, false);
    EXPECT_EQ(root._active, 0);
    EXPECT_EQ(root.changes, 1);
    for (Object* n : {(Object*)&root, arm, hand, finger})
        EXPECT_EQ(n->_hidden, 1);

    setObjectActive(&root, false);
    EXPECT_EQ(root.changes, 1);

    setObjectActive(&root, true);
    EXPECT_EQ(root._active, 1);
    EXPECT_EQ(root.changes, 2);
    EXPECT_EQ(root._hidden, 0);
    EXPECT_EQ(arm->_hidden, 0);
    EXPECT_EQ(hand->_hidden, 1);    // inactive: stays hidden
    EXPECT_EQ(finger->_hidden, 1);  // and so does what hangs below it
}

TEST(ObjectTreeLookups, NamesTreesAndMaterials) {
    Object root(nullptr);
    root._name = "root";
    Object* a = new Object(&root);
    a->_name = "a";
    Object* b = new Object(a);
    b->_name = "twin";
    Object* c = new Object(&root);
    c->_name = "twin";

    EXPECT_EQ(findObjectByName(&root, "root"), &root);
    EXPECT_EQ(findObjectByName(&root, "twin"), b);  // depth first: a's child before root's second child
    EXPECT_EQ(findObjectByName(&root, "none"), nullptr);
    EXPECT_TRUE(isObjectInTree(&root, b));
    EXPECT_TRUE(isObjectInTree(a, a));
    EXPECT_FALSE(isObjectInTree(a, c));
    EXPECT_EQ(findNodeProperty(nullptr, "x"), nullptr);

    Material red, blue, green;
    Mesh* m1 = new Mesh();
    Mesh* m2 = new Mesh();
    m1->_material = &red;
    m2->_material = &blue;
    a->addMesh(m1);
    c->addMesh(m2);
    replaceMeshMaterials(&root, {&red}, &green);
    EXPECT_EQ(m1->_material, &green);
    EXPECT_EQ(m2->_material, &blue);
    replaceMeshMaterials(&root, {}, &red);
    EXPECT_EQ(m1->_material, &red);
    EXPECT_EQ(m2->_material, &red);

    setObjectColor(&root, Vector4(1, 0, 0, 0.5f));
    EXPECT_EQ(m2->_colour, Vector4(1, 0, 0, 0.5f));
    setObjectTypeId(&root, 1005);
    EXPECT_EQ(b->_typeId, 1005);
}

// Ten keys moving along X one unit a frame.
std::vector<KeyFrame> tenKeys() {
    std::vector<KeyFrame> keys(10);
    for (int k = 0; k < 10; ++k)
        keys[k].position = Vector3((float)k, 0, 0);
    return keys;
}

TEST(ObjectTreeAnimation, RangesAreClampedToTheKeys) {
    const std::vector<KeyFrame> keys = tenKeys();
    struct Case {
        AnimationRange range;
        int first, last;
        float time;
    } cases[] = {
        {{20, -1, false, 1, 0}, 9, 9, 0},     // begin beyond the last key
        {{2, -1, false, 1, 0.5f}, 2, 9, 3.5f}, // negative end: to the last key
        {{2, 6, true, 1, 1.5f}, 2, 6, 4},     // start above 1 acts as 1
        {{-4, 40, false, 2, -1}, 0, 9, 0},    // below 0 and beyond the end
    };
    for (const Case& c : cases) {
        Object root(nullptr);
        KeyFramePlayer* player = new KeyFramePlayer(&root, &keys);
        player->_enabled = 0;
        playObjectAnimationTree(&root, c.range);
        EXPECT_EQ(player->_firstFrame, c.first);
        EXPECT_EQ(player->_lastFrame, c.last);
        EXPECT_FLOAT_EQ(player->_time, c.time);
        EXPECT_EQ(player->_enabled, 1);
        EXPECT_EQ(player->_playing, 1);
        EXPECT_EQ(player->_loop, c.range.loop ? 1 : 0);
        EXPECT_EQ(player->_speed, c.range.speed);
    }
}

TEST(ObjectTreeAnimation, KeylessPlayersNeverCountAsPlaying) {
    const std::vector<KeyFrame> none;
    Object root(nullptr);
    KeyFramePlayer* player = new KeyFramePlayer(&root, &none);
    ASSERT_EQ(player->_playing, 1);
    playObjectAnimationTree(&root, AnimationRange());
    EXPECT_EQ(player->_enabled, 0);
    EXPECT_EQ(player->_playing, 0);
    EXPECT_FALSE(isObjectAnimating(&root));
    rewindObjectAnimations(&root, 3);
    EXPECT_EQ(player->_lastFrame, 0);
}

TEST(ObjectTreeAnimation, PlayingEndsStopsAndRewinds) {
    const std::vector<KeyFrame> keys = tenKeys();
    Object root(nullptr);
    Object* child = new Object(&root);
    KeyFramePlayer* player = new KeyFramePlayer(child, &keys);
    frameTime().dt = 0.25f;  // six frames at 24 a second

    playObjectAnimationTree(&root, {0, 8, false, 1, 0});
    EXPECT_TRUE(isObjectAnimating(&root));
    child->_active = 0;
    EXPECT_FALSE(isObjectAnimating(&root));  // inactive nodes do not count
    child->_active = 1;
    player->advance();
    EXPECT_TRUE(isObjectAnimating(&root));
    player->advance();
    EXPECT_FALSE(isObjectAnimating(&root));  // a non-looping range ends
    expectNear(Vector3(8, 0, 0), child->_transform->_local.getTranslation());

    playObjectAnimationTree(&root, {0, 8, true, 1, 0});
    stopObjectAnimations(&root);
    EXPECT_FALSE(isObjectAnimating(&root));
    setObjectAnimationsPlaying(&root, true);
    EXPECT_TRUE(isObjectAnimating(&root));
    stopObjectAnimation(child);
    EXPECT_EQ(player->_enabled, 0);

    rewindObjectAnimations(&root, 2);
    EXPECT_EQ(player->_firstFrame, 0);
    EXPECT_EQ(player->_lastFrame, 9);
    EXPECT_EQ(player->_loop, 0);
    EXPECT_EQ(player->_enabled, 0);
    expectNear(Vector3(2, 0, 0), child->_transform->_local.getTranslation());
    frameTime().dt = 1.0f / 60.0f;
}

class ObjectTreeWorld : public ActorWorldTest {};

TEST_F(ObjectTreeWorld, BoundsOfTreesWithAndWithoutBoxes) {
    Object empty(nullptr);
    new Object(&empty);
    Vector3 mn(9, 9, 9), mx(9, 9, 9);
    EXPECT_FALSE(getObjectBounds(&empty, false, mn, mx));
    expectNear(Vector3(), mn);
    expectNear(Vector3(), mx);
    EXPECT_FALSE(getObjectScaledBounds(&empty, false, false, mn, mx));
    expectNear(Vector3(), mx);

    // A 2 x 1 x 1 box with a 1 x 1 x 1 box child at +3 in Y, placed turned and scaled by 2.
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, "body", cw::Vec3(), cw::Vec3(2, 1, 1), {{"nophysics", "1"}});
    f.top.children.push_back(boxNode(v, i, "cap", cw::Vec3(0, 3, 0), cw::Vec3(1, 1, 1)));
    f.mesh = cw::makeMesh(v, i);
    writeObject("objects/pair.object", f);
    const Vector3 turned[3] = {Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)};
    Object* node = world()->createObject(nullptr, "objects/pair.object", "pair", PropertyList(), 0, turned,
                                         Vector3(10, 0, 0), Vector3(2, 2, 2), nullptr);
    ASSERT_NE(node, nullptr);

    ASSERT_TRUE(getObjectScaledBounds(node, false, false, mn, mx));
    expectNear(Vector3(-2, -1, -1), mn);
    expectNear(Vector3(2, 7, 1), mx);

    ASSERT_TRUE(getObjectBounds(node, false, mn, mx));
    // In the world the pair lies along -X from x = 10, cap centre at x = 10 - 6.
    EXPECT_NEAR(mx.x, 11.0f, 1e-3f);
    EXPECT_NEAR(mn.x, 3.0f, 1e-3f);

    Object* cap = findObjectByName(node, "cap");
    ASSERT_NE(cap, nullptr);
    cap->setHidden(true);
    ASSERT_TRUE(getObjectScaledBounds(node, true, false, mn, mx));
    expectNear(Vector3(2, 1, 1), mx);
    EXPECT_FALSE(getObjectScaledBounds(node, false, true, mn, mx));  // no bodies at all
}

TEST_F(ObjectTreeWorld, DescriptionsOfNodesInsideInstances) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, "cart", cw::Vec3(), cw::Vec3(1, 1, 1), {{"colour", "red"}});
    cw::ObjectNodeDesc wheel = boxNode(v, i, "wheel", cw::Vec3(0.5f, 0, -0.5f), cw::Vec3(0.2f, 0.5f, 0.5f));
    wheel.rotation = cw::Vec3(0, 0, 1.5707964f);
    f.top.children.push_back(wheel);
    f.mesh = cw::makeMesh(v, i);
    writeObject("objects/cart.object", f);

    Scene* scene = world()->createScene("level", 0, 0);
    Object* cart = place(scene, "objects/cart.object", "Cart", Vector3(), 0);
    ASSERT_NE(cart, nullptr);
    Object* wheelNode = findObjectByName(cart, "wheel");
    ASSERT_NE(wheelNode, nullptr);

    ObjectNode* top = findObjectDescription(world(), scene, wheelNode);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->_name, "wheel");
    EXPECT_EQ(findObjectDescription(world(), scene, cart)->_name, "cart");  // no node named "Cart"
    const std::string* colour = findNodeProperty(findObjectDescription(world(), scene, cart), "colour");
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(*colour, "red");
    // Without the scene the climb ends at the scene's root, which has no object file.
    EXPECT_EQ(findObjectDescription(world(), nullptr, wheelNode), nullptr);

    // A node made by hand has no object file: nothing is looked for, nothing is logged.
    testsupport::LogCapture log;
    Object loose(nullptr);
    loose._name = "objects/cart.object";
    EXPECT_EQ(findObjectDescription(world(), nullptr, &loose), nullptr);
    EXPECT_TRUE(log.errors().empty());

    // Moved away, then put back where the file places it.
    wheelNode->setPosition(Vector3(5, 5, 5));
    applyDescriptionTransforms(cart, objectFileDescription(world(), cart));
    expectNear(Vector3(0.5f, 0, -0.5f), wheelNode->getPosition());
    expectNear(Vector3(0, 1, 0), wheelNode->_transform->_local.row3(0));
}

btCollisionShape* shapeOf(Object* node) {
    return node && node->_physicsBody ? node->_physicsBody->getRigidBody()->getCollisionShape() : nullptr;
}

TEST_F(ObjectTreeWorld, BodiesFromDescriptionProperties) {
    struct Case {
        const char* name;
        cw::Properties properties;
        int32_t defaultType;
        int shapeType;  // Bullet's broadphase type; -1: no body
    } cases[] = {
        {"sphere", {{"coll", "sphere"}}, Body::Static, SPHERE_SHAPE_PROXYTYPE},
        {"cylinder", {{"coll", "cylinder_y"}}, Body::Static, CYLINDER_SHAPE_PROXYTYPE},
        {"odd", {{"coll", "pyramid"}}, Body::Static, BOX_SHAPE_PROXYTYPE},
        {"dynamicTrimesh", {{"coll", "trimesh"}}, Body::Dynamic, CONVEX_HULL_SHAPE_PROXYTYPE},
        {"staticTrimesh", {{"coll", "trimesh"}}, Body::Static, TRIANGLE_MESH_SHAPE_PROXYTYPE},
        {"plainStatic", {}, Body::Static, TRIANGLE_MESH_SHAPE_PROXYTYPE},
        {"plainObstacle", {}, Body::Static_Obstacle, -1},
        {"physicsOnly", {{"physics", "dynamic"}}, Body::Static, BOX_SHAPE_PROXYTYPE},
        {"none", {{"coll", "box"}, {"nophysics", "1"}}, Body::Static, -1},
        {"shadowed", {{"coll", "box"}, {"shadow", "1"}}, Body::Static, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string("objects/") + c.name + ".object";
        writeObject(path, boxObject(c.name, cw::Vec3(2, 1, 1), c.properties));
        Object* node = place(nullptr, path, c.name, Vector3(), 0);
        ASSERT_NE(node, nullptr);
        // The meshes hang on the node itself (no key frames); the description is the file's top.
        buildObjectPhysics(world(), nullptr, node, c.defaultType);
        btCollisionShape* shape = shapeOf(node);
        if (c.shapeType < 0) {
            EXPECT_EQ(shape, nullptr);
            continue;
        }
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(shape->getShapeType(), c.shapeType);
        EXPECT_EQ(node->_physicsBody->getRigidBody()->getUserPointer(), node);
        if (c.shapeType == SPHERE_SHAPE_PROXYTYPE) {
            EXPECT_NEAR(static_cast<btSphereShape*>(shape)->getRadius(), 0.7f, 1e-5f);
        }
    }
}

TEST_F(ObjectTreeWorld, MassAndChildrenOfTheDescription) {
    for (const char* mass : {"-3", "0", "junk"}) {
        SCOPED_TRACE(mass);
        const std::string path = std::string("objects/mass") + mass + ".object";
        writeObject(path, boxObject("crate", cw::Vec3(1, 1, 1), {{"coll", "box"}, {"physics", "dynamic"}, {"mass", mass}}));
        Object* node = place(nullptr, path, "crate", Vector3(), 0);
        buildObjectPhysics(world(), nullptr, node, Body::Static);
        ASSERT_NE(node->_physicsBody, nullptr);
        EXPECT_FLOAT_EQ(node->_physicsBody->getRigidBody()->getInvMass(), 1.0f);
        EXPECT_FLOAT_EQ(node->_physicsBody->getRigidBody()->getLinearDamping(), 0.1f);
    }

    // A child description with a shape of its own gets its own body; a node that has one keeps it.
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, "cart", cw::Vec3(), cw::Vec3(1, 1, 1), {{"nophysics", "1"}});
    f.top.children.push_back(boxNode(v, i, "coll", cw::Vec3(0, 0, 1), cw::Vec3(1, 2, 1), {{"coll", "box"}}));
    f.mesh = cw::makeMesh(v, i);
    writeObject("objects/cart.object", f);
    Object* cart = place(nullptr, "objects/cart.object", "cart", Vector3(0, 0, 5), 0);
    buildObjectPhysics(world(), nullptr, cart, Body::Kinematic);
    Object* coll = findObjectByName(cart, "coll");
    EXPECT_EQ(cart->_physicsBody, nullptr);
    ASSERT_NE(coll->_physicsBody, nullptr);
    IPhysicsBody* first = coll->_physicsBody;
    EXPECT_EQ(static_cast<Body*>(first)->getType(), Body::Kinematic);
    buildObjectPhysics(world(), nullptr, cart, Body::Kinematic);
    EXPECT_EQ(coll->_physicsBody, first);

    setObjectPhysicsEnabled(cart, false);
    EXPECT_FALSE(static_cast<Body*>(first)->_inWorld);
    setObjectActive(cart, true);
    EXPECT_TRUE(static_cast<Body*>(first)->_inWorld);
    setObjectBodySync(cart, true);
    EXPECT_TRUE(static_cast<Body*>(first)->_synced);
    setObjectBodyType(cart, Body::Dynamic);
    EXPECT_EQ(static_cast<Body*>(first)->getType(), Body::Dynamic);

    // Six draws per body, linear then angular.
    motherRandom().seed(77);
    MotherRandom copy(77);
    first->setLinearVelocity(Vector3(1, 0, 0));
    flingObjectBodies(cart, Vector3(0, 0, 0), Vector3(2, 4, 6), Vector3(-1, -1, -1), Vector3(1, 1, 1));
    Vector3 linear(1, 0, 0), angular;
    for (int k = 0; k < 3; ++k)
        linear[k] += (float)copy.nextDouble() * (float)(2 * (k + 1));
    for (int k = 0; k < 3; ++k)
        angular[k] += -1 + (float)copy.nextDouble() * 2;
    expectNear(linear, first->getLinearVelocity());
    expectNear(angular, first->getAngularVelocity());
}

TEST(ObjectTreePlacement, RailFramesKeepTheScale) {
    Object node(nullptr);
    node.setScale(Vector3(2, 2, 2));
    RailFrame frame;
    frame.direction = Vector3(1, 0, 0);
    frame.up = Vector3(0, 0, 1);
    frame.position = Vector3(10, 0, 0);
    placeObjectOnFrame(&node, frame, Vector3(1, 2, 3));
    const Matrix4& w = node._transform->_world;
    expectNear(Vector3(0, -2, 0), w.row3(0));  // side, scale kept
    expectNear(Vector3(2, 0, 0), w.row3(1));   // forward
    expectNear(Vector3(0, 0, 2), w.row3(2));   // up
    expectNear(Vector3(12, -1, 3), w.getTranslation());
}

TEST_F(ObjectTreeWorld, DebugBoxesHaveTwelveEdgesInUnitColours) {
    DebugDraw draw;
    drawObjectBox(&draw, Matrix4::translation(Vector3(5, 0, 0)), Vector3(-1, -1, -1), Vector3(1, 1, 1),
                  Vector3(255, 0, 51));
    const DebugDrawGeometryResource* g = draw._geometry;
    ASSERT_EQ(g->_vertexCount, 24u);
    const float* first = reinterpret_cast<const float*>(g->_vertices);
    EXPECT_FLOAT_EQ(first[0], 4.0f);
    EXPECT_FLOAT_EQ(first[8], 1.0f);
    EXPECT_FLOAT_EQ(first[10], 0.2f);
}

}  // namespace

// The world: physics worlds, the per-frame update, lights, attaching, EMPTY lookups and the
// release of nodes from every list.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <btBulletDynamicsCommon.h>

#include "engine/clock.h"
#include "engine/render/Mesh.h"
#include "engine/render/RecordingRender.h"
#include "engine/render/RenderTarget.h"
#include "engine_game/Camera.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "support_scene.h"
#include "support_world.h"

namespace {

using namespace worldtest;

template <typename T>
int countOf(const std::vector<T*>& list, const void* item) {
    return (int)std::count_if(list.begin(), list.end(), [item](T* p) { return (const void*)p == item; });
}

cw::ObjectFileDesc animatedBox() {
    cw::ObjectFileDesc f = boxObject("spin");
    f.top.keys = {{cw::Vec3(0, 0, 0), cw::Vec3()}, {cw::Vec3(10, 0, 0), cw::Vec3()}, {cw::Vec3(20, 0, 0), cw::Vec3()}};
    return f;
}

class WorldTest : public WorldFixture {
protected:
    WorldTest() {
        frameTime().dt = 1.0f / 48.0f;
        writeObject("box.object", boxObject("box"));
        writeObject("spin.object", animatedBox());
    }
    ~WorldTest() override { frameTime().dt = 0; }
};

TEST_F(WorldTest, PhysicsWorlds) {
    World* flat = new World(0);
    EXPECT_EQ(flat->getDynamicsWorld(nullptr), nullptr);
    flat->update();
    // A physics scene without a world physics world builds its own, with gravity -10.
    Scene* own = flat->createScene("own", 1, 0);
    ASSERT_NE(own->_dynamicsWorld, nullptr);
    EXPECT_EQ(flat->getDynamicsWorld(own), own->_dynamicsWorld);
    EXPECT_FLOAT_EQ(own->_dynamicsWorld->getGravity().z(), -10);
    Scene* none = flat->createScene("none", 0, 0);
    EXPECT_EQ(flat->getDynamicsWorld(none), nullptr);
    delete flat;

    World* w = world(1);
    ASSERT_NE(w->_dynamicsWorld, nullptr);
    EXPECT_FLOAT_EQ(w->_dynamicsWorld->getGravity().z(), -20);
    Scene* shared = w->createScene("shared", 1, 0);
    EXPECT_EQ(shared->_dynamicsWorld, nullptr);
    EXPECT_EQ(w->getDynamicsWorld(shared), w->_dynamicsWorld);
}

TEST_F(WorldTest, HiddenScenesAndHiddenNodesDoNotAdvance) {
    world()->registerObjectClass("box.object", countingFactory);
    Scene* scene = world()->createScene("s", 0, 0);
    auto* node = static_cast<CountingObject*>(place(scene, "box.object", "n"));
    Object* spin = place(scene, "spin.object", "spin");
    ASSERT_EQ(spin->_children.size(), 1u);
    Object* holder = spin->_children[0];
    ASSERT_NE(holder->_animation, nullptr);

    world()->update();
    EXPECT_EQ(node->updates, 1);
    EXPECT_NEAR(holder->getPosition().x, 5.0f, 1e-4f);  // 1/48 s at 24 frames a second

    scene->hide();
    world()->update();
    EXPECT_EQ(node->updates, 1);
    EXPECT_NEAR(holder->getPosition().x, 5.0f, 1e-4f);

    scene->show();
    spin->setHidden(true);
    world()->update();
    EXPECT_EQ(node->updates, 2);
    EXPECT_NEAR(holder->getPosition().x, 5.0f, 1e-4f);
}

TEST_F(WorldTest, SetLights) {
    Scene* scene = world()->createScene("s", 0, 0);
    Object* node = place(scene, "box.object", "n");
    std::vector<Light*> lights;
    for (int i = 0; i < 6; ++i)
        lights.push_back(new Light(scene->_root));
    world()->setLights(node, lights);
    ASSERT_EQ(node->_lights.size(), 6u);
    EXPECT_EQ(node->_meshes[0]->_lights[3], lights[3]);

    world()->setLights(node, {lights[5]});
    ASSERT_EQ(node->_lights.size(), 4u);
    EXPECT_EQ(node->_meshes[0]->_lights[0], lights[5]);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(node->_meshes[0]->_lights[i], world()->_defaultLight);

    world()->setDefaultLights(node);
    EXPECT_EQ(node->_lights.size(), 4u);
    EXPECT_EQ(node->_meshes[0]->_lights[0], world()->_defaultLight);
    world()->setLights(nullptr, lights);  // nothing
}

TEST_F(WorldTest, AttachTwiceListsTheNodeTwiceAndItsPlayerOnce) {
    Object* spin = place(nullptr, "spin.object", "spin");
    KeyFramePlayer* player = spin->_children[0]->_animation;
    world()->detachObject(nullptr, spin);
    EXPECT_EQ(countOf(world()->_objects, spin), 0);
    EXPECT_EQ(player->_enabled, 0);
    EXPECT_EQ(countOf(world()->_parkedAnimations, player), 1);
    EXPECT_EQ(countOf(world()->_animations, player), 0);

    world()->attachObject(nullptr, spin);
    world()->attachObject(nullptr, spin);
    EXPECT_EQ(countOf(world()->_objects, spin), 2);
    EXPECT_EQ(countOf(world()->_animations, player), 1);
    EXPECT_EQ(countOf(world()->_parkedAnimations, player), 0);
    EXPECT_EQ(player->_enabled, 1);
}

TEST_F(WorldTest, FindEmptyTakesTheEarliestScene) {
    writeData("a.txt", std::string("EMPTY spot 1 0 0 0 0 0 1 1 1\n"));
    writeData("b.txt", std::string("EMPTY spot 2 0 0 0 0 0 1 1 1\nEMPTY other 0 0 0 0 0 0 1 1 1\n"));
    Scene* a = world()->loadScene("a.txt", 0, 0);
    world()->loadScene("b.txt", 0, 0);
    EXPECT_EQ(world()->findEmpty("spot"), a->_empties["spot"]->node);
    EXPECT_NE(world()->findEmpty("other"), nullptr);
    EXPECT_EQ(world()->findEmpty("nowhere"), nullptr);
}

TEST_F(WorldTest, ASceneLoadedTwiceIsUpdatedOncePerFrame) {
    world()->registerObjectClass("objs/box.object", countingFactory);
    writeData("s.txt", std::string("n box objs 0 0 0 0 0 0 1 1 1\n"));
    writeObject("objs/box.object", boxObject("box"));
    Scene* scene = world()->loadScene("s.txt", 0, 0);
    world()->loadLevel(scene, "s.txt");
    EXPECT_EQ(countOf(world()->_scenes, scene), 1);
    ASSERT_EQ(scene->_nodes.size(), 2u);
    world()->update();
    for (Object* n : scene->_nodes)
        EXPECT_EQ(static_cast<CountingObject*>(n)->updates, 1);
}

// Everything that lists a node drops it before it is freed.
TEST_F(WorldTest, ADeletedNodeLeavesEveryList) {
    writeObject("crate.object", boxObject("crate", cw::Vec3(1, 1, 1), {{"coll", "box"}}));
    Scene* scene = world()->createScene("s", 1, 1);
    Object* spin = place(scene, "spin.object", "spin");
    Object* crate = place(scene, "crate.object", "crate");
    scene->addToGroup("g", crate);
    ASSERT_NE(crate->_physicsBody, nullptr);
    const int bodies = world()->_dynamicsWorld->getNumCollisionObjects();
    const size_t linked = world()->_renderTarget->linkedMeshCount();
    ASSERT_GT(linked, 0u);

    world()->deleteObject(crate);
    EXPECT_EQ(scene->findObject("crate"), nullptr);
    EXPECT_TRUE(scene->getGroup("g").empty());
    EXPECT_EQ(countOf(world()->_objects, crate), 0);
    EXPECT_EQ(countOf(scene->_renderList->nodes, crate), 0);
    EXPECT_EQ(world()->_dynamicsWorld->getNumCollisionObjects(), bodies - 1);
    EXPECT_EQ(world()->_renderTarget->linkedMeshCount(), linked - 1);
    EXPECT_EQ(scene->_bodyCount, 0);

    KeyFramePlayer* player = spin->_children[0]->_animation;
    ASSERT_EQ(countOf(scene->_animations, player), 1);
    world()->deleteObject(spin);
    EXPECT_EQ(countOf(scene->_animations, player), 0);
    world()->update();
    world()->deleteObject(nullptr);
}

// Releasing visits only the lists the node is in: those lose every occurrence, in order, and the
// lists of other scenes and of another world stay as they were.
TEST_F(WorldTest, ReleasingANodeEmptiesExactlyItsOwnLists) {
    Scene* a = world()->createScene("a", 0, 1);
    Scene* b = world()->createScene("b", 0, 1);
    Object* first = place(a, "box.object", "first");
    Object* twice = place(a, "spin.object", "twice");
    Object* last = place(a, "box.object", "last");
    Object* inB = place(b, "box.object", "inB");
    world()->attachObject(a, twice);  // listed twice in the world and in the scene
    a->addToGroup("g", twice);
    a->addToGroup("g", last);
    b->addToGroup("g", inB);
    ASSERT_EQ(countOf(a->_nodes, twice), 2);

    World* other = new World(0);
    Scene* elsewhere = other->createScene("elsewhere", 0, 0);
    other->attachObject(elsewhere, inB);  // a node another world lists as well

    world()->deleteObject(twice);
    EXPECT_EQ(a->_nodes, (std::vector<Object*>{first, last}));
    EXPECT_EQ(a->getGroup("g"), std::vector<Object*>{last});
    EXPECT_EQ(countOf(world()->_objects, twice), 0);
    EXPECT_EQ(countOf(a->_renderList->nodes, twice), 0);
    EXPECT_EQ(a->_animations.size(), 0u);
    EXPECT_EQ(b->_nodes, std::vector<Object*>{inB});

    // Detached first: nothing is left to drop, and the rest stays.
    world()->detachObject(a, first);
    world()->deleteObject(first);
    EXPECT_EQ(a->_nodes, std::vector<Object*>{last});

    world()->deleteObject(inB);
    EXPECT_TRUE(b->_nodes.empty());
    EXPECT_TRUE(b->getGroup("g").empty());
    EXPECT_TRUE(elsewhere->_nodes.empty());
    EXPECT_EQ(countOf(other->_objects, inB), 0);
    delete other;
}

TEST_F(WorldTest, DeletingTheActiveCameraForgetsIt) {
    writeData("c.txt", std::string("CAMERA cam PERSP 0 0 0 0 0 0 50\n"));
    Scene* scene = world()->loadScene("c.txt", 0, 0);
    ASSERT_NE(world()->getCamera(), nullptr);
    world()->deleteObject(scene->_cameras[0]);
    EXPECT_EQ(world()->getCamera(), nullptr);
    EXPECT_EQ(world()->_renderTarget->_camera, nullptr);
    EXPECT_TRUE(scene->_cameras.empty());
    std::vector<RayHit> hits;
    world()->pick(hits, 0.5f, 0.5f, -1, nullptr);
    EXPECT_TRUE(hits.empty());
}

// A node whose update frees other nodes of its scene and adds new ones.
class Churner : public Object {
public:
    Churner(World* w, Scene* s) : Object(s->_root), world(w), scene(s) {}
    void update() override {
        for (Object* n : std::vector<Object*>(scene->_nodes))
            if (n != this)
                world->deleteObject(n);
        world->createObject(scene, "box.object", "fresh", PropertyList(), 0, kIdentityRows, Vector3(),
                            Vector3(1, 1, 1), nullptr);
        Object::update();
    }
    World* world;
    Scene* scene;
};

TEST_F(WorldTest, NodeListsMayChangeDuringTheUpdate) {
    Scene* scene = world()->createScene("s", 0, 0);
    place(scene, "box.object", "before");
    Churner* churner = new Churner(world(), scene);
    scene->_nodes.push_back(churner);
    for (int i = 0; i < 3; ++i)
        place(scene, "box.object", "after");
    for (int frame = 0; frame < 3; ++frame)
        world()->update();
    EXPECT_EQ(scene->_nodes.size(), 2u);  // the churner and this frame's fresh node
}

class CountingDrawer : public btIDebugDraw {
public:
    void drawLine(const btVector3&, const btVector3&, const btVector3&) override { ++lines; }
    void drawContactPoint(const btVector3&, const btVector3&, btScalar, int, const btVector3&) override {}
    void reportErrorWarning(const char*) override {}
    void draw3dText(const btVector3&, const char*) override {}
    void setDebugMode(int) override {}
    int getDebugMode() const override { return DBG_DrawWireframe; }
    void clearLines() override {
        ++clears;
        lines = 0;
    }
    int lines = 0, clears = 0;
};

TEST_F(WorldTest, DebugDrawing) {
    DebugDraw* draw = world()->createDebugDraw();
    EXPECT_EQ(countOf(world()->_objects, draw), 1);

    writeObject("crate.object", boxObject("crate", cw::Vec3(1, 1, 1), {{"coll", "box"}}));
    place(nullptr, "crate.object", "crate");
    CountingDrawer drawer;
    world()->_physicsDebugDraw = &drawer;
    world()->update();
    world()->update();
    EXPECT_GE(drawer.clears, 2);  // the update clears, and the library clears again before drawing
    EXPECT_GT(drawer.lines, 0);
    world()->_physicsDebugDraw = nullptr;
}

// A menu world lives beside the game world, and the stage makes and frees both more than once in a
// process: a node released in one world must never touch the other's lists, whichever world goes
// first, with or without a renderer (a world made before the renderer included).
TEST_F(WorldTest, TwoLiveWorldsKeepTheirOwnListsAndGoInEitherOrder) {
    enum Renderer { NoRenderer, RendererFirst, RendererBetween };
    for (Renderer renderer : {NoRenderer, RendererFirst, RendererBetween}) {
        for (bool firstGoesFirst : {true, false}) {
            SCOPED_TRACE(testing::Message() << "renderer " << renderer << ", first goes first " << firstGoesFirst);
            for (int cycle = 0; cycle < 2; ++cycle) {
                std::unique_ptr<RecordingRender> render;
                if (renderer == RendererFirst)
                    render.reset(RecordingRender::create());
                World* first = new World(0);
                if (renderer == RendererBetween)
                    render.reset(RecordingRender::create());
                World* second = new World(0);
                ASSERT_NE(first->_renderTarget->_index, second->_renderTarget->_index);
                Scene* a = first->createScene("game", 0, 1);
                Scene* b = second->createScene("menu", 0, 1);
                Object* gone = first->createObject(a, "box.object", "gone", PropertyList(), 0, kIdentityRows,
                                                   Vector3(), Vector3(1, 1, 1), nullptr);
                first->createObject(a, "spin.object", "stays", PropertyList(), 0, kIdentityRows, Vector3(),
                                    Vector3(1, 1, 1), nullptr);
                for (const char* name : {"play", "quit"})
                    second->createObject(b, "box.object", name, PropertyList(), 0, kIdentityRows, Vector3(),
                                         Vector3(1, 1, 1), nullptr);
                const size_t firstLinked = first->_renderTarget->linkedMeshCount();
                const size_t secondLinked = second->_renderTarget->linkedMeshCount();
                ASSERT_GT(firstLinked, 0u);
                ASSERT_EQ(secondLinked, 2u);

                first->deleteObject(gone);
                EXPECT_EQ(first->_renderTarget->linkedMeshCount(), firstLinked - 1);
                EXPECT_EQ(second->_renderTarget->linkedMeshCount(), secondLinked);

                World* goesFirst = firstGoesFirst ? first : second;
                World* goesLast = firstGoesFirst ? second : first;
                const size_t lastLinked = goesLast->_renderTarget->linkedMeshCount();
                std::vector<RenderTarget*> listed = render ? render->targets : std::vector<RenderTarget*>();
                listed.erase(std::remove(listed.begin(), listed.end(), goesFirst->_renderTarget), listed.end());
                delete goesFirst;
                EXPECT_EQ(goesLast->_renderTarget->linkedMeshCount(), lastLinked);
                if (render) {
                    EXPECT_EQ(render->targets, listed);
                }
                goesLast->update();
                delete goesLast;
                if (render) {
                    EXPECT_TRUE(render->targets.empty());
                }
            }
        }
    }
}

}  // namespace

// Scene-graph nodes: placement, meshes and bounds, lights, flags, and how nodes are released.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/bounds.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Light.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "support_scene.h"

using scenetest::allFinite;
using scenetest::expectMatrix;
using scenetest::expectVec;

namespace {

Mesh* boxMesh(Geometry* g) {
    Mesh* m = new Mesh();
    m->setGeometry(g, 0, (int32_t)g->_indexCount);
    return m;
}

// A node with one child, each holding a box mesh; the geometry outlives both.
struct NodeAndChild {
    NodeAndChild() {
        node.addMesh(mesh);
        child->addMesh(childMesh);
    }
    std::unique_ptr<Geometry> geometry{scenetest::makeBoxGeometry(Vector3(), Vector3(1, 1, 1))};
    Object node{nullptr};
    Object* child = new Object(&node);
    Mesh* mesh = boxMesh(geometry.get());
    Mesh* childMesh = boxMesh(geometry.get());
};

Vector3 rowsOf(const Matrix4& m, Vector3 rows[3]) {
    for (int i = 0; i < 3; ++i)
        rows[i] = m.row3(i);
    return m.getTranslation();
}

TEST(ObjectTest, ChildWorldFollowsParentWorldTimesLocal) {
    struct Case {
        const char* name;
        Vector3 parentEuler, parentPos, parentScale;
        Vector3 childEuler, childPos, childScale;
    };
    const Case cases[] = {
        {"translations", {0, 0, 0}, {1, 2, 3}, {1, 1, 1}, {0, 0, 0}, {0, 0, 4}, {1, 1, 1}},
        {"parent turned", {0, 0, kPi / 2}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {1, 1, 1}},
        {"scaled both", {0.3f, 0.1f, -1}, {5, 0, 0}, {2, 2, 2}, {1, 0.5f, 0}, {0, 1, 0}, {1, 3, 0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Object parent(nullptr);
        Object* child = new Object(&parent);
        Object* grandChild = new Object(child);
        Matrix4 p = Matrix4::rotationEuler(c.parentEuler);
        Matrix4 q = Matrix4::rotationEuler(c.childEuler);
        Vector3 pr[3], qr[3];
        rowsOf(p, pr);
        rowsOf(q, qr);
        parent.setTransform(pr, c.parentPos, c.parentScale);
        child->setTransform(qr, c.childPos, c.childScale);
        grandChild->setPosition(Vector3(0, 0, 1));
        parent.updateTransform();

        Matrix4 parentWorld = Matrix4::compose(c.parentPos, c.parentEuler, c.parentScale);
        Matrix4 childLocal = Matrix4::compose(c.childPos, c.childEuler, c.childScale);
        expectMatrix(parent._transform->_world, parentWorld, 1e-5f);
        expectMatrix(child->_transform->_world, childLocal * parentWorld, 1e-4f);
        expectMatrix(grandChild->_transform->_world,
                     Matrix4::translation(Vector3(0, 0, 1)) * childLocal * parentWorld, 1e-4f);
        EXPECT_EQ(child->_transform->_dirty, 0);

        // Moving the parent again reaches the whole subtree through the dirty flags.
        parent.setPosition(c.parentPos + Vector3(10, 0, 0));
        expectVec(grandChild->getWorldPosition(),
                  (Matrix4::translation(Vector3(0, 0, 1)) * childLocal * parentWorld).getTranslation() +
                      Vector3(10, 0, 0),
                  1e-4f);
    }
}

TEST(ObjectTest, FirstMeshCreatesBoundsAndMeshesFollowTheNode) {
    std::unique_ptr<Geometry> g(scenetest::makeBoxGeometry(Vector3(-1, -1, -1), Vector3(1, 1, 1)));
    Object node(nullptr);
    EXPECT_EQ(node._bounds, nullptr);

    Mesh* a = boxMesh(g.get());
    node.addMesh(a);
    ASSERT_NE(node._bounds, nullptr);
    ASSERT_EQ(node._bounds->_members.size(), 1u);

    Mesh* noBounds = new Mesh();
    noBounds->setGeometry(g.get(), -1, -1);
    node.addMesh(noBounds);
    EXPECT_EQ(node._bounds->_members.size(), 1u) << "a mesh without bounds adds no member";
    node.addMesh(a);
    EXPECT_EQ(node._meshes.size(), 2u) << "a mesh is listed (and owned) once";

    node.setPosition(Vector3(10, 0, 0));
    expectVec(a->_worldMatrix.getTranslation(), Vector3(10, 0, 0));
    expectVec(noBounds->_worldMatrix.getTranslation(), Vector3(10, 0, 0));
    expectVec(node._bounds->_worldMin, Vector3(9, -1, -1));
    expectVec(node._bounds->_worldMax, Vector3(11, 1, 1));
}

TEST(ObjectTest, ApplyLightsFillsOnlyTheSlotsItHas) {
    NodeAndChild t;
    Light old(nullptr), l0(nullptr), l1(nullptr);
    for (Light*& slot : t.mesh->_lights)
        slot = &old;

    t.node.addLight(&l0);
    t.node.addLight(&l1);
    EXPECT_EQ(t.mesh->_lights[0], &l0);
    EXPECT_EQ(t.mesh->_lights[1], &l1);
    EXPECT_EQ(t.mesh->_lights[2], &old);
    EXPECT_EQ(t.mesh->_lights[3], &old);
    EXPECT_EQ(t.childMesh->_lights[1], &l1) << "lights reach the descendants";
    EXPECT_EQ(t.child->_lights.size(), 2u);

    // Only four reach the meshes; the list keeps all of them.
    Light e0(nullptr), e1(nullptr), e2(nullptr);
    for (Light* l : {&e0, &e1, &e2})
        t.node.addLight(l);
    EXPECT_EQ(t.node._lights.size(), 5u);
    EXPECT_EQ(t.mesh->_lights[3], &e1);
}

TEST(ObjectTest, ColourStaysOnTheNodeWhileHiddenReachesTheSubtree) {
    NodeAndChild t;

    t.node.setColor(Vector4(1, 0, 0, 0.5f));
    EXPECT_EQ(t.mesh->_colour, Vector4(1, 0, 0, 0.5f));
    EXPECT_EQ(t.childMesh->_colour, Vector4(1, 1, 1, 1));

    t.node.setHidden(true);
    EXPECT_EQ(t.mesh->_hidden, 1);
    EXPECT_EQ(t.childMesh->_hidden, 1);
    EXPECT_EQ(t.child->_hidden, 1);

    t.node.setBlocking(false);
    EXPECT_EQ(t.child->_blocking, 0);
    t.child->setBlockingSelf(true);
    t.node.setBlockingSelf(true);
    EXPECT_EQ(t.node._blocking, 1);
    t.node.setBlockingWhenHidden(true);
    EXPECT_EQ(t.node._hitWhenHidden, 1);
    EXPECT_EQ(t.child->_hitWhenHidden, 0);

    t.node.setOffDistanceSq(400);
    EXPECT_EQ(t.mesh->_visibilityDistanceSq, 400);
    EXPECT_EQ(t.childMesh->_visibilityDistanceSq, 10000000.0f);
}

TEST(ObjectTest, SourceNameFallsBackToTheName) {
    Object node(nullptr);
    node._name = "crate";
    EXPECT_EQ(node.getSourceName(), "crate");
    node._sourceName = "objects/crate.object";
    EXPECT_EQ(node.getSourceName(), "objects/crate.object");
}

TEST(ObjectTest, PlacementWritesTheLocalMatrix) {
    Object node(nullptr);
    Matrix4 r = Matrix4::rotationEuler(Vector3(0.2f, 0.4f, 0.6f));
    Vector3 rows[3];
    rowsOf(r, rows);

    node.setScale(Vector3(2, 3, 4));
    Vector3 doubled[3] = {rows[0] * 7, rows[1] * 7, rows[2] * 7};
    node.setRotation(doubled);
    Vector3 got[3];
    node.getRotation(got);
    for (int i = 0; i < 3; ++i)
        expectVec(got[i], rows[i] * node.getScale()[i]);

    node.setTransform(doubled, Vector3(1, 2, 3), Vector3(1, 1, 2));
    node.getRotation(got);
    expectVec(got[2], rows[2] * 14.0f, 1e-4f);  // not normalised
    expectVec(node.getPosition(), Vector3(1, 2, 3));

    Matrix4 m = Matrix4::translation(Vector3(4, 5, 6));
    node.setMatrix(m);
    EXPECT_EQ(node._transform->_local, m);
    expectVec(node.getWorldPosition(), Vector3(4, 5, 6));
}

TEST(ObjectTest, ScaleThroughZeroStaysFiniteAndKeepsTheRotation) {
    Matrix4 r = Matrix4::rotationEuler(Vector3(0.5f, -0.3f, 1.2f));
    Vector3 rows[3];
    rowsOf(r, rows);
    struct Case {
        const char* name;
        Vector3 zero;
    };
    for (const Case& c : {Case{"all axes", {0, 0, 0}}, Case{"one axis", {1, 0, 1}}}) {
        SCOPED_TRACE(c.name);
        Object node(nullptr);
        node.setRotation(rows);
        node.setScale(c.zero);
        EXPECT_TRUE(allFinite(node._transform->_world));
        node.setScale(Vector3(2, 2, 2));
        EXPECT_TRUE(allFinite(node._transform->_world));
        Vector3 got[3];
        node.getRotation(got);
        for (int i = 0; i < 3; ++i)
            expectVec(got[i], rows[i] * 2.0f, 1e-5f);
    }

    // A zero scale given with the rotation keeps that rotation too.
    Object node(nullptr);
    node.setTransform(rows, Vector3(), Vector3(0, 0, 0));
    node.setScale(Vector3(1, 1, 1));
    Vector3 got[3];
    node.getRotation(got);
    for (int i = 0; i < 3; ++i)
        expectVec(got[i], rows[i], 1e-5f);
}

TEST(LightTest, DirectionIsTheLocalPositionTurnedByTheWorldRotation) {
    struct Case {
        const char* name;
        Vector3 parentEuler;
        Vector3 localPosition;
        Vector3 direction;
    };
    const Case cases[] = {
        {"above, parent turned about z", {0, 0, kPi / 2}, {0, 0, 5}, {0, 0, 1}},
        {"along x, parent turned about z", {0, 0, kPi / 2}, {3, 0, 0}, {0, 1, 0}},
        {"along y, parent turned about x", {kPi / 2, 0, 0}, {0, 2, 0}, {0, 0, 1}},
        {"no parent turn", {0, 0, 0}, {1, 1, 0}, {0.70710677f, 0.70710677f, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Object parent(nullptr);
        Matrix4 p = Matrix4::rotationEuler(c.parentEuler);
        Vector3 rows[3];
        rowsOf(p, rows);
        parent.setTransform(rows, Vector3(7, 7, 7), Vector3(1, 1, 1));
        Light* light = new Light(&parent);
        light->setPosition(c.localPosition);
        parent.updateTransform();
        expectVec(light->_direction, c.direction, 1e-5f);
    }

    // At the parent's origin there is no direction to take: the last one stays, with no NaN.
    Light light(nullptr);
    light.setPosition(Vector3(0, 0, 3));
    light.setPosition(Vector3(0, 0, 0));
    expectVec(light._direction, Vector3(0, 0, 1));
}

// Records the order in which nodes are reported released and what they still held then.
class RecordingListener : public IObjectReleaseListener {
public:
    struct Entry {
        Object* node;
        size_t meshes;
        bool hadParent;
        bool hadAnimation;
    };
    void onObjectReleased(Object* node) override {
        entries.push_back({node, node->_meshes.size(), node->_parent != nullptr, node->_animation != nullptr});
    }
    std::vector<Entry> entries;
};

TEST(ObjectReleaseTest, DeletingANodeReleasesItsSubtreeChildrenFirst) {
    std::unique_ptr<Geometry> g(scenetest::makeBoxGeometry(Vector3(), Vector3(1, 1, 1)));
    std::vector<KeyFrame> keys(2);
    RecordingListener listener;
    Object::addReleaseListener(&listener);
    Object::addReleaseListener(&listener);  // registered once

    Object* root = new Object(nullptr);
    Object* a = new Object(root);
    Object* b = new Object(root);
    Object* a1 = new Object(a);
    a1->addMesh(boxMesh(g.get()));
    new KeyFramePlayer(a1, &keys);
    delete root;

    Object::removeReleaseListener(&listener);
    ASSERT_EQ(listener.entries.size(), 4u);
    std::vector<Object*> order;
    for (auto& e : listener.entries)
        order.push_back(e.node);
    EXPECT_EQ(order, (std::vector<Object*>{b, a1, a, root})) << "last created child first, children first";
    EXPECT_EQ(listener.entries[1].meshes, 1u) << "meshes are still there for render lists to unlink";
    EXPECT_TRUE(listener.entries[1].hadParent);
    EXPECT_TRUE(listener.entries[1].hadAnimation);
}

TEST(ObjectReleaseTest, ADeletedChildLeavesItsParent) {
    RecordingListener listener;
    Object::addReleaseListener(&listener);
    Object root(nullptr);
    Object* a = new Object(&root);
    Object* b = new Object(&root);
    delete a;
    EXPECT_EQ(root._children, std::vector<Object*>{b});

    // A node that only points at a parent (a pooled instance) is not among its children.
    Object* loose = new Object(nullptr);
    loose->_parent = &root;
    loose->_transform->setParent(root._transform);
    delete loose;
    EXPECT_EQ(root._children, std::vector<Object*>{b});
    Object::removeReleaseListener(&listener);
    EXPECT_EQ(listener.entries.size(), 2u);
}

TEST(ObjectReleaseTest, AListenerMayUnregisterWhileCalled) {
    struct OneShot : IObjectReleaseListener {
        int calls = 0;
        void onObjectReleased(Object*) override {
            ++calls;
            Object::removeReleaseListener(this);
        }
    } once;
    Object::addReleaseListener(&once);
    Object* root = new Object(nullptr);
    new Object(root);
    delete root;
    EXPECT_EQ(once.calls, 1);
}

TEST(ObjectReleaseTest, ADeletedPlayerUnbindsItselfFromItsNode) {
    std::vector<KeyFrame> keys(1);
    Object node(nullptr);
    KeyFramePlayer* player = new KeyFramePlayer(&node, &keys);
    EXPECT_EQ(node._animation, player);
    delete player;
    EXPECT_EQ(node._animation, nullptr);
}

}  // namespace

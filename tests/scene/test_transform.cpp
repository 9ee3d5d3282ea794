// Transform: listener kinds, parent chains and placement by world rotation.

#include <gtest/gtest.h>

#include "engine_game/Transform.h"
#include "support_scene.h"

using scenetest::expectMatrix;
using scenetest::expectVec;

namespace {

Matrix4 sample(float angle, const Vector3& t, const Vector3& s = Vector3(1, 1, 1)) {
    return Matrix4::compose(t, Vector3(0.3f, -0.2f, angle), s);
}

TEST(TransformTest, ListenerKindsReceiveWhatTheirKindSays) {
    Transform t;
    t._local = sample(0.7f, Vector3(1, 2, 3), Vector3(2, 2, 2));

    uint8_t flag = 0;
    Matrix4 world, inverse;
    Matrix4 untouched = Matrix4::translation(Vector3(9, 9, 9));
    int32_t kinds[] = {Transform::ListenerFlag, Transform::ListenerWorld, Transform::ListenerInverseWorld, 7, -1};
    void* targets[] = {&flag, &world, &inverse, &untouched, &untouched};
    for (int i = 0; i < 5; ++i)
        t.addListener(kinds[i], targets[i]);
    t.update();

    EXPECT_EQ(flag, 1);
    expectMatrix(world, t._world);
    expectMatrix(inverse * t._world, Matrix4::identity(), 1e-5f);
    EXPECT_EQ(untouched, Matrix4::translation(Vector3(9, 9, 9))) << "unknown kinds are ignored";
}

TEST(TransformTest, InverseListenerOfIdentityIsIdentityAndNotifyGatesListeners) {
    Transform t;
    Matrix4 inverse = Matrix4::translation(Vector3(5, 5, 5));
    Matrix4 world;
    t.addListener(Transform::ListenerInverseWorld, &inverse);
    t.addListener(Transform::ListenerWorld, &world);
    t.update();
    EXPECT_EQ(inverse, Matrix4::identity());

    t._notify = 0;
    t._local = Matrix4::translation(Vector3(1, 0, 0));
    t.update();
    EXPECT_EQ(t._world, Matrix4::translation(Vector3(1, 0, 0)));
    EXPECT_EQ(world, Matrix4::identity()) << "listeners keep their old values while notify is off";
    EXPECT_EQ(inverse, Matrix4::identity());

    t.removeListener(&world);
    t._notify = 1;
    t.update();
    EXPECT_EQ(world, Matrix4::identity()) << "a removed listener is not written";
    expectMatrix(inverse, Matrix4::translation(Vector3(-1, 0, 0)));
}

TEST(TransformTest, WorldIsLocalTimesParentWorldDownAChain) {
    struct Case {
        const char* name;
        Matrix4 root, mid, leaf;
    };
    const Case cases[] = {
        {"translations", Matrix4::translation(Vector3(1, 0, 0)), Matrix4::translation(Vector3(0, 2, 0)),
         Matrix4::translation(Vector3(0, 0, 3))},
        {"rotated and scaled", sample(1.1f, Vector3(4, -1, 2), Vector3(2, 2, 2)), sample(-0.5f, Vector3(0, 3, 0)),
         sample(0.25f, Vector3(1, 1, 1), Vector3(1, 0.5f, 3))},
        {"no root transform", Matrix4::identity(), sample(2.0f, Vector3(0, 0, 5)), Matrix4::identity()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Transform root, mid, leaf;
        mid.setParent(&root);
        leaf.setParent(&mid);
        root._local = c.root;
        mid._local = c.mid;
        leaf._local = c.leaf;
        root.update();
        mid.update();
        leaf.update();
        expectMatrix(root._world, c.root);
        expectMatrix(mid._world, c.mid * c.root, 1e-4f);
        expectMatrix(leaf._world, c.leaf * c.mid * c.root, 1e-4f);

        leaf.setParent(nullptr);
        expectMatrix(leaf._world, c.leaf);
    }
}

TEST(TransformTest, SetWorldWithoutParentKeepsTheScale) {
    Transform t;
    t._scale = Vector3(2, 2, 2);
    Matrix4 r = Matrix4::rotationZ(0.5f);
    Vector3 rows[3] = {r.row3(0), r.row3(1), r.row3(2)};
    t.setWorld(rows, Vector3(1, 2, 3));
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(t._world.row3(i).length(), 2.0f, 1e-5f);
        expectVec(t._world.row3(i), rows[i] * 2.0f);
    }
    expectVec(t._world.getTranslation(), Vector3(1, 2, 3));
}

TEST(TransformTest, SetWorldUnderAParentLandsOnTheGivenWorldPose) {
    Transform parent, child;
    parent._local = sample(0.8f, Vector3(3, -2, 1), Vector3(2, 2, 2));
    parent.update();
    child.setParent(&parent);
    child._scale = Vector3(5, 5, 5);  // not applied under a parent

    Matrix4 r = Matrix4::rotationEuler(Vector3(0.1f, 0.2f, 0.3f));
    Vector3 rows[3] = {r.row3(0), r.row3(1), r.row3(2)};
    child.setWorld(rows, Vector3(7, 8, 9));
    Matrix4 want = r;
    want.setTranslation(Vector3(7, 8, 9));
    expectMatrix(child._world, want, 1e-4f);
    EXPECT_EQ(child._dirty, 1);
}

}  // namespace

// Camera projections, projecting world points and unprojecting screen points.

#include <gtest/gtest.h>

#include <cmath>

#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "support_scene.h"

using scenetest::expectMatrix;
using scenetest::expectVec;

namespace {

// A camera placed by Euler angles and a position (no parent).
void place(Camera& camera, const Vector3& euler, const Vector3& position) {
    Matrix4 r = Matrix4::rotationEuler(euler);
    Vector3 rows[3] = {r.row3(0), r.row3(1), r.row3(2)};
    camera.setTransform(rows, position, Vector3(1, 1, 1));
}

TEST(CameraTest, StartsWithIdentityMatricesAndAHalfTurnFov) {
    Camera camera(nullptr);
    EXPECT_EQ(camera._projection, Matrix4::identity());
    EXPECT_EQ(camera._inverseProjection, Matrix4::identity());
    EXPECT_EQ(camera._view, Matrix4::identity());
    EXPECT_FLOAT_EQ(camera._fov, kPi);
    EXPECT_EQ(camera._transform->_dirty, 1);
}

TEST(CameraTest, OrthoMapsTheBoxOntoDeviceCoordinates) {
    struct Case {
        float w, h;
        Vector3 world, ndc;
    };
    const Case cases[] = {
        {4, 2, {2, 1, 0}, {1, 1, 0}},
        {4, 2, {-2, -1, 0}, {-1, -1, 0}},
        {10, 10, {2.5f, -5, 100}, {0.5f, -1, -1}},
    };
    for (const Case& c : cases) {
        Camera camera(nullptr);
        camera.setOrtho(c.w, c.h);
        Vector3 p = c.world;
        camera.project(p);
        expectVec(p, c.ndc);
        EXPECT_EQ(camera._orthoWidth, c.w);
        EXPECT_EQ(camera._orthoHeight, c.h);
        expectMatrix(camera._projection * camera._inverseProjection, Matrix4::identity());
    }
}

TEST(CameraTest, PerspectiveRows) {
    struct Case {
        float fov, aspect, n, f;
        float s;
    };
    const Case cases[] = {
        {90, 1, 1, 100, 1},
        {60, 1.5f, 0.1f, 150, 1.7320508f},
    };
    for (const Case& c : cases) {
        Camera camera(nullptr);
        camera.setPerspective(c.fov, c.aspect, c.n, c.f);
        const Matrix4& p = camera._projection;
        EXPECT_NEAR(p.at(0, 0), c.s, 1e-5f);
        EXPECT_NEAR(p.at(1, 1), c.aspect * c.s, 1e-5f);
        EXPECT_NEAR(p.at(2, 2), (c.n + c.f) / (c.n - c.f), 1e-5f);
        EXPECT_EQ(p.at(2, 3), -1);
        EXPECT_NEAR(p.at(3, 2), 2 * c.n * c.f / (c.n - c.f), 1e-4f);
        EXPECT_EQ(p.at(3, 3), 0);
        EXPECT_NEAR(camera._fov, c.fov * kPi / 180, 1e-6f);
        EXPECT_EQ(camera._orthoWidth, 1);
        expectMatrix(camera._inverseProjection * p, Matrix4::identity(), 1e-4f);
    }

    Camera camera(nullptr);
    camera.setPerspective(90, 1, 1, 100);
    expectVec(camera._projection.row3(2), Vector3(0, 0, -101.0f / 99.0f));
    expectVec(camera._projection.row3(3), Vector3(0, 0, -200.0f / 99.0f));
    EXPECT_NEAR(camera._fov, kPi / 2, 1e-6f);
}

TEST(CameraTest, UnprojectOfTheScreenCentreLiesOnTheViewingAxis) {
    struct Case {
        const char* name;
        Vector3 euler, position;
    };
    const Case cases[] = {
        {"at the origin", {0, 0, 0}, {0, 0, 0}},
        {"moved and turned", {0.4f, -0.2f, 1.3f}, {5, -3, 2}},
        {"looking along x", {kPi / 2, 0, -kPi / 2}, {0, 0, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Camera camera(nullptr);
        camera.setPerspective(60, 1.5f, 0.5f, 200);
        place(camera, c.euler, c.position);
        const Matrix4& world = camera._transform->_world;
        Vector3 eye = world.getTranslation();
        Vector3 forward = -world.row3(2);  // the camera looks down its -Z axis
        for (float depth : {0.0f, 0.3f, 0.9f, 0.999f}) {
            Vector3 p(0.5f, 0.5f, depth);
            camera.unproject(p);
            Vector3 d = p - eye;
            float along = d.dot(forward);
            EXPECT_GT(along, 0) << "depth " << depth;
            EXPECT_NEAR((d - forward * along).length(), 0, 1e-3f * std::max(1.0f, along)) << "depth " << depth;

            // And back: projecting the point gives the screen centre at that depth.
            Vector3 q = p;
            camera.project(q);
            expectVec(q, Vector3(0, 0, 2 * depth - 1), 2e-3f);
        }
    }
}

TEST(CameraTest, ProjectingTheEyeLeavesClipCoordinatesUndivided) {
    Camera camera(nullptr);
    camera.setPerspective(90, 1, 1, 100);
    place(camera, Vector3(0, 0, 0), Vector3(3, 4, 5));
    Vector3 p(3, 4, 5);
    camera.project(p);
    expectVec(p, Vector3(0, 0, -200.0f / 99.0f));
}

TEST(CameraTest, ViewFollowsTheCameraUnderAParent) {
    Object parent(nullptr);
    Camera* camera = new Camera(&parent);
    camera->setPosition(Vector3(0, 0, 2));
    parent.setPosition(Vector3(1, 0, 0));
    expectMatrix(camera->_view, Matrix4::translation(Vector3(-1, 0, -2)));
}

}  // namespace

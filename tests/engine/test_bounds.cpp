// Bounding boxes and spheres: building, moving into world space, unions and plane tests.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/bounds.h"

namespace {

void expectVec(const Vector3& got, const Vector3& want, float tolerance = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

const float kRoot3 = std::sqrt(3.0f);

TEST(BoundsTest, SetFillsLocalAndWorldAlike) {
    Bounds b(Vector3(0, 0, 0), Vector3(2, 2, 2));
    for (const Vector3* centre : {&b._localCentre, &b._worldCentre})
        expectVec(*centre, Vector3(1, 1, 1));
    EXPECT_NEAR(b._localRadius, kRoot3, 1e-6);
    EXPECT_NEAR(b._worldRadius, kRoot3, 1e-6);
    EXPECT_EQ(b._localMin, Vector3(0, 0, 0));
    EXPECT_EQ(b._worldMax, Vector3(2, 2, 2));
    EXPECT_TRUE(b._members.empty());

    Bounds empty;
    EXPECT_EQ(empty._localMin, Vector3());
    EXPECT_EQ(empty._localRadius, 0.0f);
}

TEST(BoundsTest, TransformMovesTheSphereAndBoxesIt) {
    struct Case {
        const char* name;
        Matrix4 matrix;
        Vector3 centre;
        float radius;
    };
    Matrix4 projective;  // w = 2 for the centre (1, 1, 1)
    projective.at(3, 3) = -1.0f;
    projective.at(0, 3) = 3.0f;
    const Case cases[] = {
        {"scale 2 and move 5 along x",
         Matrix4::scaling(Vector3(2, 2, 2)) * Matrix4::translation(Vector3(5, 0, 0)), {7, 2, 2}, 2 * kRoot3},
        {"identity", Matrix4(), {1, 1, 1}, kRoot3},
        {"largest axis scale wins", Matrix4::scaling(Vector3(1, 3, 0.5f)), {1, 3, 0.5f}, 3 * kRoot3},
        {"rotation keeps the radius", Matrix4::rotationZ(kPi / 2), {-1, 1, 1}, kRoot3},
        {"divided by w", projective, {0.5f, 0.5f, 0.5f}, kRoot3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bounds b(Vector3(0, 0, 0), Vector3(2, 2, 2));
        b.transform(c.matrix);
        expectVec(b._worldCentre, c.centre);
        EXPECT_NEAR(b._worldRadius, c.radius, 1e-5);
        Vector3 r(c.radius, c.radius, c.radius);
        expectVec(b._worldMin, c.centre - r);
        expectVec(b._worldMax, c.centre + r);
        // The local part is untouched.
        EXPECT_EQ(b._localMin, Vector3(0, 0, 0));
        EXPECT_EQ(b._localMax, Vector3(2, 2, 2));
    }
}

TEST(BoundsTest, UpdateFromMembersTakesTheUnionOfWorldBoxes) {
    Bounds a(Vector3(0, 0, 0), Vector3(1, 1, 1));
    Bounds b(Vector3(2, -1, 0), Vector3(3, 0, 1));
    Bounds node;
    node.updateFromMembers();
    EXPECT_EQ(node._worldMin, Vector3(10000000, 10000000, 10000000));
    EXPECT_EQ(node._worldMax, Vector3(-10000000, -10000000, -10000000));

    node.merge(&a);
    node.merge(&b);
    node.updateFromMembers();
    EXPECT_EQ(node._worldMin, Vector3(0, -1, 0));
    EXPECT_EQ(node._worldMax, Vector3(3, 1, 1));

    // Members that moved are followed on the next update.
    b.transform(Matrix4::translation(Vector3(0, 0, 10)));
    node.updateFromMembers();
    expectVec(node._worldMax, Vector3(2.5f + b._worldRadius, 1, 10.5f + b._worldRadius));
}

TEST(BoundsTest, MergeGrowsTheLocalBoxAndRemembersMembers) {
    Bounds node;  // starts as the empty box at the origin, as a node's bounds do
    Bounds a(Vector3(1, 1, 1), Vector3(2, 2, 2));
    Bounds b(Vector3(-1, 0, 0), Vector3(0, 3, 0.5f));
    node.merge(&a);
    EXPECT_EQ(node._localMin, Vector3(0, 0, 0));
    EXPECT_EQ(node._localMax, Vector3(2, 2, 2));
    node.merge(&b);
    EXPECT_EQ(node._localMin, Vector3(-1, 0, 0));
    EXPECT_EQ(node._localMax, Vector3(2, 3, 2));
    expectVec(node._localCentre, Vector3(0.5f, 1.5f, 1));
    EXPECT_NEAR(node._localRadius, std::sqrt(9.0f + 9.0f + 4.0f) / 2, 1e-6);
    expectVec(node._worldCentre, node._localCentre);
    EXPECT_EQ(node._worldRadius, node._localRadius);
    ASSERT_EQ(node._members.size(), 2u);
    EXPECT_EQ(node._members[0], &a);
    EXPECT_EQ(node._members[1], &b);
}

TEST(BoundsTest, PlaneTests) {
    Bounds b(Vector3(0, 0, 0), Vector3(2, 2, 2));  // world centre (1,1,1), radius sqrt 3
    struct Case {
        const char* name;
        Vector3 normal;
        float distance;
        bool boxOutside;
        bool sphereOutside;
    };
    const Case cases[] = {
        {"up, plane at 0", {0, 0, 1}, 0, false, false},
        {"up, plane at the top", {0, 0, 1}, 2, false, false},
        {"up, plane 5 beyond the top", {0, 0, 1}, 7, true, true},
        {"up, just above the top", {0, 0, 1}, 2.01f, true, false},
        {"down, box above the plane", {0, 0, -1}, 0, false, false},
        {"down, inside side below the box", {0, 0, -1}, 0.5f, true, false},
        {"down, sphere clear of the inside", {0, 0, -1}, 1.0f, true, true},
        {"down, plane through the box", {0, 0, -1}, -1, false, false},
        {"sideways negative x", {-1, 0, 0}, 3, true, true},
        {"sphere reaches beyond the box", {0, 0, 1}, 2.5f, true, false},
        {"sphere just out", {0, 0, 1}, 1 + kRoot3 + 0.01f, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t flags[3] = {(uint8_t)(c.normal.x < 0), (uint8_t)(c.normal.y < 0), (uint8_t)(c.normal.z < 0)};
        EXPECT_EQ(b.isOutsidePlane(c.distance, c.normal, flags), c.boxOutside);
        EXPECT_EQ(b.isSphereOutsidePlane(c.distance, c.normal), c.sphereOutside);
    }

    // The flags, not the normal, choose the corner.
    const uint8_t wrong[3] = {1, 1, 1};
    EXPECT_TRUE(b.isOutsidePlane(1, Vector3(0, 0, 1), wrong));
}

}  // namespace

// Rails: segment flags from node words, building from group nodes and from key frames, moving,
// seeking, projecting and reversing.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>

#include "engine/math.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/track/ZelvanRail.h"
#include "support_track.h"
#include "writer/TrackContent.h"

namespace {

using namespace tracktest;
using Zelvan::Rail;
using Zelvan::RailPoint;
using Zelvan::RailPos;

const float kPi = 3.14159265f;

// ---------------------------------------------------------------------------------------------
// Segment flags

class RailFlags : public TrackWorldTest {};

TEST_F(RailFlags, WordsClearTheirBits) {
    struct Case {
        const char* node;
        cw::Properties words;
        uint32_t flags;
    } cases[] = {
        {"none", {}, 0xFFFFFFFFu},
        {"fly", {{"fly", "1"}}, 0x1FDFFu},
        {"rnd", {{"stargate", "rnd"}}, 0x1EFFFu},
        {"in", {{"stargate", "in"}}, 0x1FBFFu},
        {"out", {{"stargate", "out"}}, 0x1F7FFu},
        {"two", {{"noitemleft", ""}, {"nocameradown", "0"}}, 0x0FFFEu},
        {"all",
         {{"noitemleft", ""}, {"noitemcenter", ""}, {"noitemright", ""}, {"noobstacle", ""}, {"norailleft", ""},
          {"norailright", ""}, {"noleap", ""}, {"nojumpleft", ""}, {"nojumpright", ""}, {"fly", ""},
          {"nocameraleft", ""}, {"nocameraright", ""}, {"nocameraup", ""}, {"nocameradown", ""}},
         0x1C00u},
        {"other", {{"speed", "3"}}, 0xFFFFFFFFu},
    };
    cw::ObjectFileDesc f;
    f.top.name = "flags";
    f.top.properties = {{"noleap", "1"}};
    for (const Case& c : cases) {
        cw::ObjectNodeDesc child;
        child.name = c.node;
        child.properties = c.words;
        f.top.children.push_back(child);
    }
    writeData("objects/t/flags.object", cw::writeObjectFile(f));
    Scene* scene = world()->createScene("flags", 0, 0);
    Object* top = place(scene, "objects/t/flags.object", "Flags");
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(top->_children.size(), sizeof cases / sizeof cases[0]);

    EXPECT_EQ(Rail::readSegmentFlags(_world, scene, top), 0x1FFBFu);
    for (size_t k = 0; k < top->_children.size(); ++k) {
        SCOPED_TRACE(cases[k].node);
        EXPECT_EQ(Rail::readSegmentFlags(_world, scene, top->_children[k]), cases[k].flags);
    }
    // A node that comes from no object file has no description: everything allowed.
    Object loose(nullptr);
    EXPECT_EQ(Rail::readSegmentFlags(_world, scene, &loose), 0xFFFFFFFFu);
}

// ---------------------------------------------------------------------------------------------
// Building from group nodes

class RailBuild : public TrackWorldTest {
protected:
    // One node with mesh-less children at the given places and Euler angles.
    Object* pointsNode(const std::vector<std::pair<cw::Vec3, cw::Vec3>>& points) {
        cw::ObjectFileDesc f;
        f.top.name = "points" + std::to_string(_made);
        for (size_t k = 0; k < points.size(); ++k) {
            cw::ObjectNodeDesc child;
            child.name = "c" + std::to_string(k);
            child.position = points[k].first;
            child.rotation = points[k].second;
            f.top.children.push_back(child);
        }
        const std::string path = "objects/t/points" + std::to_string(_made++) + ".object";
        writeData(path, cw::writeObjectFile(f));
        if (!_scene)
            _scene = world()->createScene("build", 0, 0);
        return place(_scene, path, "node" + std::to_string(_made));
    }
    std::unique_ptr<Rail> build(const std::vector<Object*>& nodes, float merge = 0.1f, float nearDistance = 5.0f) {
        return std::unique_ptr<Rail>(Rail::buildPoints("r", Zelvan::SegmentAll, _world, _scene,
                                                       _scene->_root->_transform, nodes, 2, 3, merge,
                                                       nearDistance));
    }
    Scene* _scene = nullptr;
    int _made = 0;
};

TEST_F(RailBuild, ClosePointsMergeAtTheirMidpointWithOppositeDirectionsTurned) {
    Object* node = pointsNode({{cw::Vec3(0, 0, 0), cw::Vec3(0, 0, 0)},
                               {cw::Vec3(0.05f, 0, 0), cw::Vec3(0, 0, kPi)},  // facing back
                               {cw::Vec3(0, 10, 0), cw::Vec3(0, 0, 0)}});
    std::unique_ptr<Rail> rail = build({node});
    ASSERT_NE(rail, nullptr);
    const std::vector<RailPoint>& p = rail->getPoints();
    ASSERT_EQ(p.size(), 2u);
    expectVec(p[0].position, Vector3(0.025f, 0, 0));
    expectVec(p[0].direction, Vector3(0, 1, 0));  // (0,1,0) - (0,-1,0), normalised
    expectVec(p[0].up, Vector3(0, 0, 1));
    EXPECT_NEAR(rail->getLength(), (Vector3(0, 10, 0) - p[0].position).length(), 1e-5f);
}

TEST_F(RailBuild, OutOfOrderChildrenAreChainedFromThePointWithNothingBehind) {
    Object* node = pointsNode({{cw::Vec3(0, 20, 0), cw::Vec3()},
                               {cw::Vec3(0, 5, 0), cw::Vec3()},
                               {cw::Vec3(0, 15, 0), cw::Vec3()},
                               {cw::Vec3(0, 0, 0), cw::Vec3()},
                               {cw::Vec3(0, 10, 0), cw::Vec3()}});
    std::unique_ptr<Rail> rail = build({node});
    ASSERT_NE(rail, nullptr);
    ASSERT_EQ(rail->getPoints().size(), 5u);
    for (size_t k = 0; k < 5; ++k) {
        expectVec(rail->getPoints()[k].position, Vector3(0, 5.0f * k, 0));
        EXPECT_FLOAT_EQ(rail->getPoints()[k].distance, 5.0f * k);
    }
}

TEST_F(RailBuild, ChainPrefersANearbyPointLyingOnTheWayToTheNearestOne) {
    // All four face -Y. The start search walks back against that direction to D (2,4), which
    // has nothing behind it. From D the nearest point is B (3 away), but C (3.2 away, within
    // the near-point distance) projects 2.5 along the way to B, so C comes next; from C the
    // nearest is A, with B on the way (0.5 along), so B, then A.
    const cw::Vec3 back(0, 0, kPi);
    Object* node = pointsNode({{cw::Vec3(0, 0, 0), back},
                               {cw::Vec3(2, 1, 0), back},
                               {cw::Vec3(0, 1.5f, 0), back},
                               {cw::Vec3(2, 4, 0), back}});
    std::unique_ptr<Rail> rail = build({node});
    ASSERT_NE(rail, nullptr);
    const std::vector<RailPoint>& p = rail->getPoints();
    ASSERT_EQ(p.size(), 4u);
    const Vector3 route[4] = {Vector3(2, 4, 0), Vector3(0, 1.5f, 0), Vector3(2, 1, 0), Vector3(0, 0, 0)};
    for (size_t k = 0; k < 4; ++k) {
        expectVec(p[k].position, route[k]);
        if (k > 0) {
            EXPECT_GT(p[k].direction.dot(p[k].position - p[k - 1].position), 0) << k;
        }
    }
    // With a smaller near-point distance C is not considered: D goes straight to B.
    std::unique_ptr<Rail> direct = build({node}, 0.1f, 3.1f);
    ASSERT_NE(direct, nullptr);
    expectVec(direct->getPoints()[1].position, Vector3(2, 1, 0));
}

TEST_F(RailBuild, ClosedLoopStopsLookingForAStart) {
    std::vector<std::pair<cw::Vec3, cw::Vec3>> ring;
    for (int k = 0; k < 8; ++k) {
        const float a = 2 * kPi * (float)k / 8;
        // Facing along the circle: the local Y axis turned by a + 90 degrees about Z.
        ring.push_back({cw::Vec3(10 * std::cos(a), 10 * std::sin(a), 0), cw::Vec3(0, 0, a)});
    }
    Object* node = pointsNode(ring);
    testsupport::LogCapture log;
    std::unique_ptr<Rail> rail = build({node});
    ASSERT_NE(rail, nullptr);
    EXPECT_EQ(rail->getPoints().size(), 8u);
    EXPECT_TRUE(log.contains("closed loop")) << log.all();
}

TEST_F(RailBuild, FewerThanTwoPointsMakeNoRail) {
    Object* one = pointsNode({{cw::Vec3(0, 0, 0), cw::Vec3()}, {cw::Vec3(0, 0.05f, 0), cw::Vec3()}});
    EXPECT_EQ(build({one}), nullptr);
    EXPECT_EQ(build({}), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Travel on a rail of points at 0, 10 and 20

struct MoveCase {
    int32_t segment;
    float fraction;
    float distance;
    bool result;
    int32_t wantSegment;
    float wantFraction;
    float wantMoved;
};

void PrintTo(const MoveCase& c, std::ostream* os) {
    *os << "from " << c.segment << "/" << c.fraction << " by " << c.distance;
}

class RailMove : public ::testing::TestWithParam<MoveCase> {};

TEST_P(RailMove, EndsWhereExpected) {
    const MoveCase& c = GetParam();
    std::unique_ptr<Rail> rail(straightRail(nullptr, {0, 10, 20}));
    rail->setPosition(RailPos{c.segment, c.fraction});
    float moved = -999;
    EXPECT_EQ(rail->move(c.distance, &moved), c.result);
    EXPECT_EQ(rail->getRailPos().segment, c.wantSegment);
    EXPECT_NEAR(rail->getRailPos().fraction, c.wantFraction, 1e-6f);
    EXPECT_NEAR(moved, c.wantMoved, 1e-5f);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RailMove,
    ::testing::Values(MoveCase{0, 0, 10, true, 1, 0, 10},       // onto a point: the next segment
                      MoveCase{0, 0, 20, false, 1, 1, 20},      // exactly to the end
                      MoveCase{0, 0, 25, false, 1, 1, 20},      // past the end
                      MoveCase{0, 0, 5, true, 0, 0.5f, 5},      // inside a segment
                      MoveCase{0, 0.5f, 12, true, 1, 0.7f, 12}, // across a point
                      MoveCase{1, 0.5f, -10, true, 0, 0.5f, -10},
                      MoveCase{1, 0.5f, -15, true, 0, 0, -15},  // exactly to the start
                      MoveCase{1, 0.5f, -15.5f, false, 0, 0, -15},
                      MoveCase{1, 0.5f, -2, true, 1, 0.3f, -2},
                      MoveCase{1, 0.5f, -5, true, 1, 0, -5}));  // onto a point, backward

TEST(RailTravel, ZeroLengthSegmentIsCrossedWithoutNaN) {
    std::unique_ptr<Rail> rail(straightRail(nullptr, {0, 10, 10, 20}));
    float moved = 0;
    EXPECT_TRUE(rail->move(15, &moved));
    EXPECT_EQ(rail->getRailPos().segment, 2);
    EXPECT_NEAR(rail->getRailPos().fraction, 0.5f, 1e-6f);
    EXPECT_NEAR(moved, 15, 1e-5f);
    EXPECT_TRUE(rail->move(-15, &moved));
    EXPECT_EQ(rail->getRailPos().segment, 0);
    EXPECT_NEAR(rail->getRailPos().fraction, 0, 1e-6f);
    EXPECT_NEAR(moved, -15, 1e-5f);

    // Sitting on the empty segment itself.
    rail->setPosition(RailPos{1, 0.5f});
    EXPECT_FLOAT_EQ(rail->getDistance(), 10);
    EXPECT_TRUE(rail->move(-4, &moved));
    EXPECT_NEAR(rail->getDistance(), 6, 1e-5f);
    EXPECT_TRUE(rail->seekDistance(10));
    EXPECT_TRUE(std::isfinite(rail->getRailPos().fraction));
    EXPECT_NEAR(rail->getDistance(), 10, 1e-5f);
    EXPECT_TRUE(rail->findNearestPoint(Vector3(1, 10, 0)));
    EXPECT_TRUE(std::isfinite(rail->getRailPos().fraction));
    expectVec(rail->getPosition(), Vector3(0, 10, 0));
    for (float f : {0.0f, 0.5f, 1.0f}) {
        rail->setPosition(RailPos{1, f});
        const Vector3 d = rail->getDirection();
        EXPECT_TRUE(std::isfinite(d.x) && std::isfinite(d.y) && std::isfinite(d.z));
    }
}

TEST(RailTravel, SeekAndSetPositionClampToTheRail) {
    std::unique_ptr<Rail> rail(straightRail(nullptr, {0, 10, 20}));
    struct {
        float x;
        bool result;
        int32_t segment;
        float fraction;
    } seeks[] = {{20, false, 1, 1}, {-1, false, 0, 0}, {5, true, 0, 0.5f}, {15, true, 1, 0.5f},
                 {10, true, 1, 0},  {0, true, 0, 0},   {3, true, 0, 0.3f}};
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.x);
        EXPECT_EQ(rail->seekDistance(s.x), s.result);
        EXPECT_EQ(rail->getRailPos().segment, s.segment);
        EXPECT_NEAR(rail->getRailPos().fraction, s.fraction, 1e-6f);
    }
    rail->setPosition(RailPos{-4, 1.7f});
    EXPECT_EQ(rail->getRailPos().segment, 0);
    EXPECT_EQ(rail->getRailPos().fraction, 1.0f);
    rail->setPosition(RailPos{9, -0.5f});
    EXPECT_EQ(rail->getRailPos().segment, 1);
    EXPECT_EQ(rail->getRailPos().fraction, 0.0f);
    rail->reset(false);
    EXPECT_EQ(rail->getRailPos().segment, 1);
    EXPECT_EQ(rail->getRailPos().fraction, 1.0f);
    EXPECT_FLOAT_EQ(rail->getDistance(), 20);
    rail->reset(true);
    EXPECT_FLOAT_EQ(rail->getDistance(), 0);
}

// ---------------------------------------------------------------------------------------------
// World answers through the owner, projection, reversing

TEST(RailPlacement, AnswersFollowTheOwnerAndProjectionFindsTheSegment) {
    Object owner(nullptr);
    const Vector3 turned[3] = {Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)};  // Y now points -X
    owner.setTransform(turned, Vector3(100, 50, 2), Vector3(1, 1, 1));
    std::unique_ptr<Rail> rail(straightRail(owner._transform, {0, 10, 20}));

    rail->setPosition(RailPos{1, 0.25f});
    expectVec(rail->getPosition(), Vector3(100 - 12.5f, 50, 2));
    expectVec(rail->getDirection(), Vector3(-1, 0, 0));
    expectVec(rail->getUp(), Vector3(0, 0, 1));

    // Beside the middle: found, on segment 1.
    EXPECT_TRUE(rail->projectPoint(Vector3(100 - 14, 53, 2)));
    EXPECT_EQ(rail->getRailPos().segment, 1);
    EXPECT_NEAR(rail->getRailPos().fraction, 0.4f, 1e-5f);
    // Before the first point: clamped onto its start and reported as off the rail.
    EXPECT_FALSE(rail->projectPoint(Vector3(103, 50, 2)));
    EXPECT_EQ(rail->getRailPos().segment, 0);
    EXPECT_EQ(rail->getRailPos().fraction, 0.0f);
    // Past the end.
    EXPECT_FALSE(rail->projectPoint(Vector3(100 - 25, 49, 2)));
    EXPECT_EQ(rail->getRailPos().segment, 1);
    EXPECT_EQ(rail->getRailPos().fraction, 1.0f);

    // The owner moves on; nothing was cached from it.
    owner.setPosition(Vector3(0, 0, 0));
    expectVec(rail->getPosition(), Vector3(-20, 0, 0));
}

TEST(RailPlacement, ATwoPointRailOnlyTestsItsStart) {
    std::unique_ptr<Rail> rail(straightRail(nullptr, {0, 10}));
    EXPECT_TRUE(rail->findNearestPoint(Vector3(0, 30, 0)));  // past the end, still true
    EXPECT_EQ(rail->getRailPos().fraction, 1.0f);
    EXPECT_FALSE(rail->findNearestPoint(Vector3(0, -1, 0)));
}

TEST(RailPlacement, ReversingTwiceRestoresTheRail) {
    std::vector<RailPoint> points(3);
    const float ys[3] = {0, 4, 10};
    for (int k = 0; k < 3; ++k) {
        points[k].position = Vector3((float)k, ys[k], 0);
        points[k].direction = Vector3(0, 1, 0.1f * k);
        points[k].up = Vector3(0, 0, 1);
        points[k].flags = 0x100u + k;
    }
    Rail rail("r", nullptr, points);
    const std::vector<RailPoint> before = rail.getPoints();
    rail.setPosition(RailPos{1, 0.25f});

    rail.reverse();
    const std::vector<RailPoint>& p = rail.getPoints();
    expectVec(p[0].position, Vector3(2, 10, 0));
    expectVec(p[0].direction, Vector3(0, -1, -0.2f));
    EXPECT_EQ(p[0].flags, 0x102u);
    EXPECT_FLOAT_EQ(p[0].distance, 0);
    EXPECT_NEAR(p[2].distance, before[2].distance, 1e-5f);
    EXPECT_EQ(rail.getRailPos().segment, 1);  // the numbers stay
    EXPECT_EQ(rail.getRailPos().fraction, 0.25f);

    rail.reverse();
    for (size_t k = 0; k < 3; ++k) {
        expectVec(rail.getPoints()[k].position, before[k].position);
        expectVec(rail.getPoints()[k].direction, before[k].direction);
        EXPECT_EQ(rail.getPoints()[k].flags, before[k].flags);
        EXPECT_NEAR(rail.getPoints()[k].distance, before[k].distance, 1e-5f);
    }
}

// ---------------------------------------------------------------------------------------------
// Building from key frames

TEST(RailKeys, PosesArePlacedByTheParentLikeThePlayerPlacesThem) {
    Object level(nullptr);  // the rail's owner
    const Vector3 levelRows[3] = {Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)};
    level.setTransform(levelRows, Vector3(7, -3, 1), Vector3(1, 1, 1));
    Object parent(&level);
    const Vector3 parentRows[3] = {Vector3(1, 0, 0), Vector3(0, 0.8f, 0.6f), Vector3(0, -0.6f, 0.8f)};
    parent.setTransform(parentRows, Vector3(1, 2, 3), Vector3(1, 1, 1));
    Object* node = new Object(&parent);
    node->setPosition(Vector3(50, 50, 50));  // a pose of its own, which the keys replace

    std::vector<KeyFrame> keys(4);
    for (int k = 0; k < 4; ++k) {
        keys[k].position = Vector3(0.5f * k, 3.0f * k, 0.2f * k);
        keys[k].angles = Vector3(0.1f * k, -0.2f * k, 0.3f + 0.4f * k);
    }
    KeyFramePlayer* player = new KeyFramePlayer(node, &keys);  // owned by the node

    std::unique_ptr<Rail> rail(Rail::fromObject("anim", 0x77u, level._transform, node, player, 2, 3));
    ASSERT_NE(rail, nullptr);
    ASSERT_EQ(rail->getPoints().size(), 4u);
    const Matrix4 toLevel = level._transform->_world.inverted();
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        player->setFrame((float)k);
        const Matrix4 pose = node->_transform->_world * toLevel;
        const RailPoint& p = rail->getPoints()[k];
        expectVec(p.position, pose.getTranslation());
        expectVec(p.direction, pose.row3(1));
        expectVec(p.up, pose.row3(2));
        EXPECT_EQ(p.flags, 0x77u);
    }
    std::vector<KeyFrame> one(1);
    KeyFramePlayer* single = new KeyFramePlayer(new Object(&parent), &one);
    EXPECT_EQ(Rail::fromObject("one", 0, level._transform, single->_node, single, 2, 3), nullptr);
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Debug drawing

class RailDebugDraw : public tracktest::TrackWorldTest {};

TEST_F(RailDebugDraw, FourLinesASegmentThroughTheMatrix) {
    std::unique_ptr<Rail> rail(tracktest::straightRail(nullptr, {0, 10, 20}));
    DebugDraw draw;
    const Matrix4 m = Matrix4::translation(Vector3(5, 0, 0));
    rail->debugDraw(&draw, m);
    const DebugDrawGeometryResource* g = draw._geometry;
    ASSERT_EQ(g->_vertexCount, 16u);  // two segments, four lines of two vertices each
    auto vertex = [&](uint32_t v) { return reinterpret_cast<const float*>(g->_vertices + (size_t)v * g->_stride); };
    // The segment line, lifted by 0.5, in green.
    const float* a = vertex(0);
    const float* b = vertex(1);
    EXPECT_FLOAT_EQ(a[0], 5);
    EXPECT_FLOAT_EQ(a[2], 0.5f);
    EXPECT_FLOAT_EQ(b[1], 10);
    EXPECT_FLOAT_EQ(a[9], 255);
    // Then direction (green), up (blue) and side (red) from 0.75 above the point.
    const float* dirEnd = vertex(3);
    const float* upEnd = vertex(5);
    const float* sideEnd = vertex(7);
    EXPECT_FLOAT_EQ(dirEnd[1], 0.25f);
    EXPECT_FLOAT_EQ(upEnd[2], 1.0f);
    EXPECT_FLOAT_EQ(upEnd[10], 255);
    EXPECT_FLOAT_EQ(sideEnd[0], 5.25f);  // direction x up = +X
    EXPECT_FLOAT_EQ(sideEnd[8], 255);
}

}  // namespace

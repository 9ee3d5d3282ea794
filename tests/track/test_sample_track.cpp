// The sample level's rails: its three lanes built from the scene groups, travelled, sampled and
// projected; the lane made of pieces listed back to front and the lane with a piece turned
// round give the same route; the animated enemy path; the committed track content.

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRailSet.h"
#include "support_track.h"
#include "writer/TrackContent.h"

namespace {

using namespace tracktest;
using Zelvan::Rail;
using Zelvan::RailPos;
using Zelvan::RailSet;

class SampleRails : public SampleLevelTest {};

TEST_F(SampleRails, LanesAreFortyUnitsOfPointsEveryFive) {
    const struct {
        const char* group;
        float x;
    } lanes[] = {{"rail_l", -2}, {"rail_c", 0}, {"rail_r", 2}};
    for (const auto& lane : lanes) {
        SCOPED_TRACE(lane.group);
        Rail* rail = laneRail(lane.group);
        ASSERT_NE(rail, nullptr);
        // Two pieces share their joint point (merged); sleepers carry meshes and are no points.
        ASSERT_EQ(rail->getPoints().size(), 9u);
        EXPECT_FLOAT_EQ(rail->getLength(), 40);
        for (size_t k = 0; k < 9; ++k) {
            expectVec(rail->getPoints()[k].position, Vector3(lane.x, 5.0f * k, 0));
            expectVec(rail->getPoints()[k].direction.normalized(), Vector3(0, 1, 0));
            expectVec(rail->getPoints()[k].up.normalized(), Vector3(0, 0, 1));
        }
    }
}

TEST_F(SampleRails, MoveSeekProjectAndSampleALane) {
    Rail* rail = laneRail("rail_l");
    ASSERT_NE(rail, nullptr);
    // The word "noobstacle" on the third point of each piece closes 10..15 and 30..35.
    for (float d : {2.0f, 12.0f, 17.0f, 32.0f, 38.0f}) {
        ASSERT_TRUE(rail->seekDistance(d));
        const bool closed = (d > 10 && d < 15) || (d > 30 && d < 35);
        EXPECT_EQ(rail->getFlags(), closed ? 0x1FFF7u : 0xFFFFFFFFu) << d;
    }

    rail->reset(true);
    float moved = 0;
    EXPECT_TRUE(rail->move(12.5f, &moved));
    EXPECT_FLOAT_EQ(moved, 12.5f);
    EXPECT_EQ(rail->getRailPos().segment, 2);
    EXPECT_NEAR(rail->getRailPos().fraction, 0.5f, 1e-5f);
    expectVec(rail->getPosition(), Vector3(-2, 12.5f, 0));
    expectVec(rail->getDirection(), Vector3(0, 1, 0));
    expectVec(rail->getUp(), Vector3(0, 0, 1));
    EXPECT_FALSE(rail->move(30, &moved));
    EXPECT_FLOAT_EQ(moved, 27.5f);
    EXPECT_FALSE(rail->seekDistance(40));
    EXPECT_TRUE(rail->seekDistance(39.5f));

    EXPECT_TRUE(rail->projectPoint(Vector3(-1.5f, 22, 1)));
    EXPECT_NEAR(rail->getDistance(), 22, 1e-4f);
    EXPECT_FALSE(rail->projectPoint(Vector3(-2, -3, 0)));
    EXPECT_FLOAT_EQ(rail->getDistance(), 0);

    // The level moved along the road: every answer follows its root.
    const Vector3 turned[3] = {Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)};
    _scene->setTransform(turned, Vector3(500, 20, 3));
    ASSERT_TRUE(rail->seekDistance(10));
    expectVec(rail->getPosition(), Vector3(500 - 10, 20 - 2, 3));
    expectVec(rail->getDirection(), Vector3(-1, 0, 0));
    EXPECT_TRUE(rail->projectPoint(Vector3(500 - 31, 18.3f, 3)));
    EXPECT_NEAR(rail->getDistance(), 31, 1e-3f);
}

TEST_F(SampleRails, ReversedChildOrderAndATurnedMiddlePieceGiveTheSameRoute) {
    Rail* left = laneRail("rail_l");
    Rail* centre = laneRail("rail_c");  // pieces that list their points back to front
    std::vector<Rail*> pieces = pieceRails("rail_r");  // 10, then 20 turned round, then 10
    ASSERT_NE(left, nullptr);
    ASSERT_NE(centre, nullptr);
    ASSERT_EQ(pieces.size(), 3u);
    expectVec(pieces[1]->getPoints().front().position, Vector3(2, 30, 0));  // built backward

    RailSet leftSet({left}), centreSet({centre}), rightSet(pieces);
    EXPECT_FLOAT_EQ(rightSet.getTotalLength(), 40);
    leftSet.reset(true);
    centreSet.reset(true);
    rightSet.reset(true);
    for (int step = 0; step <= 40; ++step) {
        SCOPED_TRACE(step);
        const Vector3 l = leftSet.getPosition();
        expectVec(centreSet.getPosition(), l + Vector3(2, 0, 0));
        expectVec(rightSet.getPosition(), l + Vector3(4, 0, 0));
        expectVec(centreSet.getDirection(), leftSet.getDirection());
        expectVec(rightSet.getDirection(), leftSet.getDirection());
        expectVec(rightSet.getUp(), leftSet.getUp());
        EXPECT_NEAR(rightSet.getDistance(), leftSet.getDistance(), 1e-4f);
        const bool more = step + 1 < 40;  // landing exactly on the end reports false
        EXPECT_EQ(leftSet.move(1), more);
        EXPECT_EQ(centreSet.move(1), more);
        EXPECT_EQ(rightSet.move(1), more);
    }

    // And back again, from the far end.
    rightSet.reset(false);
    float moved = 0;
    EXPECT_TRUE(rightSet.move(-33, &moved));
    EXPECT_FLOAT_EQ(moved, -33);
    expectVec(rightSet.getPosition(), Vector3(2, 7, 0));
    EXPECT_EQ(rightSet.getIndex(), 0);
}

TEST_F(SampleRails, AnimatedPathFollowsItsKeysOnce) {
    Object* path = _scene->findObject("EnemyPath");
    ASSERT_NE(path, nullptr);
    KeyFramePlayer* player = _world->getAnimation(path);
    ASSERT_NE(player, nullptr);
    std::unique_ptr<Rail> rail(
        Rail::fromObject("EnemyPath", 0x1FFFFu, _scene->_root->_transform, path, player, 2, 3));
    ASSERT_NE(rail, nullptr);
    ASSERT_EQ(rail->getPoints().size(), 5u);
    // The keys are poses in the level, the node's own placement is the first of them: applied
    // on top, they would put the path at (2,80)..(2,40) running the other way.
    for (size_t k = 0; k < 5; ++k) {
        expectVec(rail->getPoints()[k].position, Vector3(2, 40 - 10.0f * k, 0));
        expectVec(rail->getPoints()[k].direction, Vector3(0, -1, 0));
    }
    EXPECT_FLOAT_EQ(rail->getLength(), 40);
}

TEST(SampleTrackContent, CommittedFilesMatchTheWriters) {
    for (const contentwriter::ContentFile& f : contentwriter::trackContent()) {
        const std::string have = testsupport::readFile(testsupport::contentDir() + "/data/" + f.path);
        EXPECT_EQ(have, std::string(f.bytes.begin(), f.bytes.end()))
            << f.path << " is out of date: run zelvan_content write content/data";
    }
}

}  // namespace

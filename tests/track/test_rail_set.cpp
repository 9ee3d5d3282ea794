// Rail sets: orientation of the rails at construction, travel across rails in both directions,
// saved positions, reversing, and the empty set.

#include <gtest/gtest.h>

#include <memory>

#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRailSet.h"
#include "support_track.h"

namespace {

using namespace tracktest;
using Zelvan::Rail;
using Zelvan::RailPos;
using Zelvan::RailSet;
using Zelvan::RailSetPos;

// Rails built for one test, freed with it.
struct Rails {
    Rail* add(Rail* rail) {
        owned.emplace_back(rail);
        return rail;
    }
    Rail* add(const std::vector<float>& distances) { return add(straightRail(nullptr, distances)); }
    std::vector<std::unique_ptr<Rail>> owned;
};

Vector3 first(const Rail* r) { return r->getPoints().front().position; }

TEST(RailSetOrientation, RailsAreTurnedToRunEndIntoStart) {
    {   // End to end, same way: untouched.
        Rails rs;
        Rail* a = rs.add({0, 10});
        Rail* b = rs.add({10, 20});
        RailSet set({a, b});
        expectVec(first(a), Vector3(0, 0, 0));
        expectVec(first(b), Vector3(0, 10, 0));
    }
    {   // The second built pointing back: its end lies nearer the first one's end.
        Rails rs;
        Rail* a = rs.add({0, 10});
        Rail* b = rs.add({10, 20});
        b->reverse();
        ASSERT_EQ(first(b).y, 20.0f);
        RailSet set({a, b});
        expectVec(first(a), Vector3(0, 0, 0));
        expectVec(first(b), Vector3(0, 10, 0));
        expectVec(b->getPoints().front().direction, Vector3(0, 1, 0));
    }
    {   // The middle one of three points back: only it is turned.
        Rails rs;
        Rail* a = rs.add({0, 10});
        Rail* b = rs.add({10, 20});
        Rail* c = rs.add({20, 30});
        b->reverse();
        RailSet set({a, b, c});
        expectVec(first(a), Vector3(0, 0, 0));
        expectVec(first(b), Vector3(0, 10, 0));
        expectVec(b->getPoints().front().direction, Vector3(0, 1, 0));
        expectVec(first(c), Vector3(0, 20, 0));
    }
    {   // The first one points back.
        Rails rs;
        Rail* a = rs.add({0, 10});
        Rail* b = rs.add({10, 20});
        a->reverse();
        RailSet set({a, b});
        expectVec(first(a), Vector3(0, 0, 0));
    }
}

TEST(RailSetTravel, ForwardAndBackwardAcrossRails) {
    Rails rs;
    RailSet set({rs.add({0, 10}), rs.add({10, 15, 20}), rs.add({20, 30})});
    EXPECT_FLOAT_EQ(set.getTotalLength(), 30);

    set.reset(true);
    EXPECT_EQ(set.getIndex(), 0);
    EXPECT_FLOAT_EQ(set.getDistance(), 0);
    float moved = 0;
    EXPECT_TRUE(set.move(12, &moved));
    EXPECT_FLOAT_EQ(moved, 12);
    EXPECT_EQ(set.getIndex(), 1);
    EXPECT_FLOAT_EQ(set.getDistance(), 12);
    expectVec(set.getPosition(), Vector3(0, 12, 0));
    // Back over the boundary: the first rail is entered at its end, though the set runs forward.
    EXPECT_TRUE(set.move(-4, &moved));
    EXPECT_FLOAT_EQ(moved, -4);
    EXPECT_EQ(set.getIndex(), 0);
    EXPECT_FLOAT_EQ(set.getDistance(), 8);
    EXPECT_FALSE(set.move(100, &moved));
    EXPECT_FLOAT_EQ(moved, 22);
    EXPECT_EQ(set.getIndex(), 2);
    EXPECT_FLOAT_EQ(set.getDistance(), 30);

    set.reset(false);
    EXPECT_EQ(set.getIndex(), 2);
    EXPECT_FLOAT_EQ(set.getDistance(), 30);
    EXPECT_TRUE(set.move(-17, &moved));
    EXPECT_FLOAT_EQ(moved, -17);
    EXPECT_EQ(set.getIndex(), 1);
    EXPECT_FLOAT_EQ(set.getDistance(), 13);
    EXPECT_FALSE(set.move(-40, &moved));
    EXPECT_FLOAT_EQ(moved, -13);
    EXPECT_EQ(set.getIndex(), 0);
    EXPECT_FLOAT_EQ(set.getDistance(), 0);
}

TEST(RailSetTravel, SavedPositionsComeBackClamped) {
    Rails rs;
    RailSet set({rs.add({0, 10}), rs.add({10, 20}), rs.add({20, 30})});
    set.reset(true);
    set.move(15);
    RailSetPos saved;
    set.savePosition(saved);
    EXPECT_TRUE(saved.forward);
    EXPECT_EQ(saved.index, 1);
    EXPECT_FLOAT_EQ(saved.position.fraction, 0.5f);

    set.reset(false);
    set.restorePosition(saved);
    EXPECT_TRUE(set.isForward());
    EXPECT_FLOAT_EQ(set.getDistance(), 15);

    saved.index = -3;
    set.restorePosition(saved);
    EXPECT_EQ(set.getIndex(), 0);
    saved.index = 7;
    set.restorePosition(saved);
    EXPECT_EQ(set.getIndex(), 2);
}

TEST(RailSetTravel, EmptySetAnswersDefaults) {
    RailSet set({});
    set.reset(false);
    EXPECT_EQ(set.getIndex(), 0);
    EXPECT_FALSE(set.move(5));
    expectVec(set.getPosition(), Vector3(0, 0, 0));
    expectVec(set.getDirection(), Vector3(0, 1, 0));
    expectVec(set.getUp(), Vector3(0, 0, 1));
    EXPECT_EQ(set.getFlags(), 0u);
    EXPECT_EQ(set.getDistance(), 0.0f);
    EXPECT_EQ(set.getTotalLength(), 0.0f);
    RailSetPos saved;
    saved.index = 5;
    saved.position = RailPos{3, 0.5f};
    set.savePosition(saved);
    EXPECT_EQ(saved.position.segment, 0);
    EXPECT_EQ(saved.position.fraction, 0.0f);
    saved.index = -1;
    set.restorePosition(saved);
    EXPECT_EQ(set.getIndex(), 0);  // never -1: every later answer indexes with it
    EXPECT_EQ(set.getRail(), nullptr);
}

TEST(RailSetReverse, TheRouteRunsBackWithoutJumps) {
    Rails rs;
    RailSet set({rs.add({0, 10}), rs.add({10, 15, 20}), rs.add({20, 30})});
    set.reset(true);
    set.move(5);
    ASSERT_EQ(set.getIndex(), 0);
    set.reverse();
    EXPECT_EQ(set.getIndex(), 2);  // the same rail, now last
    EXPECT_EQ(set.getRail(), rs.owned[0].get());

    set.reset(true);
    for (float d = 0; d <= 30; d += 2.5f) {
        SCOPED_TRACE(d);
        expectVec(set.getPosition(), Vector3(0, 30 - d, 0));
        expectVec(set.getDirection(), Vector3(0, -1, 0));
        EXPECT_NEAR(set.getDistance(), d, 1e-4f);
        set.move(2.5f);
    }
}

}  // namespace

// Enemy trains and waggons on the sample level's rails and on straight fixture rails: driving,
// braking, turning back, waggons at their spacing, hits and death, placement and reset.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/clock.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorEnemy.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRailSet.h"
#include "support_level_actors.h"

namespace {

using namespace Zelvan;
using leveltest::FakeLevel;
using leveltest::queuedNames;

const char* kTrainFile = "objects/enemies/enemy_train.object";
const char* kWaggonFile = "objects/enemies/enemy_waggon.object";
const float kPi = 3.14159265f;

class EnemyTest : public leveltest::SampleActorWorld {
protected:
    // The distance from the rail's start at the enemy's current position.
    static float railDistance(ActorEnemy* enemy) {
        RailSet* set = enemy->getRailSet();
        RailSetPos saved;
        set->savePosition(saved);
        set->restorePosition(enemy->_current);
        const float d = set->getRail()->getDistance();
        set->restorePosition(saved);
        return d;
    }

    // A train put on the set with its span starting at low (its rear end).
    ActorEnemyTrain* trainWithRearAt(RailSet* set, float low) {
        ActorEnemyTrain* train = make<ActorEnemyTrain>(kTrainFile, "Train", Vector3(0, 50, 0));
        EXPECT_NE(train, nullptr);
        ActorEnemy::setRails(train, _level.handle(), set, 50);
        float l, h;
        train->getRailSpan(l, h);
        ActorEnemy::setRails(train, _level.handle(), set, 50 + (low - l));
        train->reset();
        return train;
    }

    FakeLevel _level;
};

TEST_F(EnemyTest, TrainDrivesBrakesToItsFlipDistanceAndPingPongsWithItsWaggon) {
    Rail* lane = laneRail("rail_l");
    ASSERT_NE(lane, nullptr);
    ASSERT_FLOAT_EQ(lane->getLength(), 40);
    RailSet* set = railSet({lane});
    RailSetPos setBefore;
    lane->seekDistance(7);
    set->savePosition(setBefore);

    ActorEnemyTrain* train = make<ActorEnemyTrain>(kTrainFile, "Train", Vector3(-2, 20, 0));
    ActorEnemyWaggon* waggon = make<ActorEnemyWaggon>(kWaggonFile, "Waggon", Vector3(-2, 14, 0));
    ASSERT_NE(train, nullptr);
    ASSERT_NE(waggon, nullptr);
    ActorEnemy::setRails(train, _level.handle(), set, 20);
    ActorEnemy::setRails(waggon, _level.handle(), set, 14);
    ASSERT_TRUE(train->addWaggon(waggon));
    EXPECT_FALSE(train->addWaggon(nullptr));
    train->reset();
    waggon->reset();
    EXPECT_GE(train->_speed, 4.0f);
    EXPECT_LE(train->_speed, 6.0f);
    EXPECT_TRUE(train->_startForward);
    EXPECT_FLOAT_EQ(train->_flipDistance, 0.5f);
    EXPECT_FLOAT_EQ(train->_brakeDistance, 5.0f);

    const float dt = frameTime().dt;
    const float fullStep = train->_speed * dt;
    int flips = 0;
    bool forward = train->_forward;
    float lastStep = fullStep;
    float position = railDistance(train);
    for (int frame = 0; frame < 1500; ++frame) {
        train->update();
        waggon->update();
        if (frame == 0) {
            EXPECT_TRUE(train->_animator->isPlaying());  // "run" loops its ride
        }
        const float now = railDistance(train);
        ASSERT_NEAR(now - railDistance(waggon), 6.0f, 1e-3f) << "frame " << frame;
        ASSERT_NEAR((train->getWorldPosition() - waggon->getWorldPosition()).length(), 6.0f, 1e-3f);
        float low, high, wl, wh;
        train->getRailSpan(low, high);
        waggon->getRailSpan(wl, wh);
        ASSERT_LE(high, 40.0f + 1e-3f);
        ASSERT_GE(wl, -1e-3f);
        if (train->_forward != forward) {
            // Braked on the way in, turned within the flip distance of the rail's end.
            EXPECT_LT(lastStep, 0.5f * fullStep) << "flip " << flips;
            const float gap = forward ? 40 - high : wl;
            EXPECT_LE(gap, 0.5f + fullStep);
            EXPECT_GE(gap, 0.0f);
            forward = train->_forward;
            ++flips;
        }
        lastStep = std::fabs(now - position);
        position = now;
    }
    EXPECT_GE(flips, 3);
    // The shared set keeps its own position.
    RailSetPos setAfter;
    set->savePosition(setAfter);
    EXPECT_EQ(setAfter.index, setBefore.index);
    EXPECT_EQ(setAfter.position.segment, setBefore.position.segment);
    EXPECT_FLOAT_EQ(setAfter.position.fraction, setBefore.position.fraction);

    // A reset puts both back where they were placed.
    train->reset();
    waggon->reset();
    EXPECT_FLOAT_EQ(railDistance(train), 20);
    EXPECT_FLOAT_EQ(railDistance(waggon), 14);
    leveltest::expectVec(train->getWorldPosition(), Vector3(-2, 20, 0));
    EXPECT_TRUE(train->_nodes->_shadowsEnabled);
}

// The factor of full speed for the free way around the train (full step 1 per drive).
TEST_F(EnemyTest, BrakingFollowsTheFreeWayAroundTheTrain) {
    Rail* rail = straightRail(100, 0);
    Rail* other = straightRail(100, 5);
    RailSet* set = railSet({rail});
    ActorItemObstacle* block = make<ActorItemObstacle>("objects/obstacles/obstacle_deathly.object", "Block");
    ASSERT_NE(block, nullptr);

    struct Case {
        const char* what;
        float low;            // rear end of the train
        float brake, flip;
        bool pingPong;
        std::vector<EnemyRange> ranges;  // start relative to the train's front
        bool hideBlock;
        float step;           // expected signed step
    };
    const float eased = 1 - 0.5f * 0.5f;  // free = brake / 2
    const std::vector<Case> cases = {
        {"free way", 40, 10, 0.1f, true, {}, false, 1},
        {"start behind at half the brake distance", 5, 10, 0.1f, true, {}, false, eased},
        {"obstacle half the brake distance ahead", 40, 10, 0.1f, true, {{2, block, rail, 5, 2}}, false, eased},
        {"enemy kind counts", 40, 10, 0.1f, true, {{8, block, rail, 5, 2}}, false, eased},
        {"shield kind ignored", 40, 10, 0.1f, true, {{4, block, rail, 5, 2}}, false, 1},
        {"hidden actor ignored", 40, 10, 0.1f, true, {{2, block, rail, 5, 2}}, true, 1},
        {"other rail ignored", 40, 10, 0.1f, true, {{2, block, other, 5, 2}}, false, 1},
        {"no actor ignored", 40, 10, 0.1f, true, {{2, nullptr, rail, 5, 2}}, false, 1},
        {"front covered: turns back at once", 40, 10, 2, true, {{2, block, rail, -1, 3}}, false,
         -(1 - 0.8f * 0.8f)},
        {"front covered without ping-pong creeps on", 40, 10, 2, false, {{2, block, rail, -1, 3}}, false,
         1 - 0.8f * 0.8f},
        {"no brake distance: full speed even when blocked", 40, 0, 0, false, {{2, block, rail, -1, 3}}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ActorEnemyTrain* train = trainWithRearAt(set, c.low);
        ASSERT_NE(train, nullptr);
        train->_speed = 10;
        train->_brakeDistance = c.brake;
        train->_flipDistance = c.flip;
        train->_pingPong = c.pingPong;
        float low, high;
        train->getRailSpan(low, high);
        ASSERT_NEAR(low, c.low, 1e-3f);
        _level.ranges = c.ranges;
        for (EnemyRange& r : _level.ranges)
            r.start += high;
        block->_hidden = c.hideBlock ? 1 : 0;
        const float before = railDistance(train);
        train->drive(0.1f);
        const float step = railDistance(train) - before;
        EXPECT_FALSE(std::isnan(step));
        EXPECT_NEAR(step, c.step, 1e-3f);
        EXPECT_NEAR(train->_nodes->_distance, c.step, 1e-3f);  // the wheels turn by the step
        _world->deleteObject(train);
    }
}

TEST_F(EnemyTest, TrainStandsStillOffTheRoad) {
    RailSet* set = railSet({straightRail(100, 0)});
    ActorEnemyTrain* train = trainWithRearAt(set, 40);
    ASSERT_NE(train, nullptr);
    train->_nearRun = true;
    struct Case {
        const char* what;
        bool onRoad;
        int32_t roadIndex;
        bool running;
        bool reader;
        bool moves;
    } cases[] = {
        {"current level, running", true, 0, true, true, true},
        {"behind the player", true, -1, true, true, true},
        {"not queued on the road", false, 0, true, true, false},
        {"ahead of the player's level", true, 1, true, true, false},
        {"level not running", true, 0, false, true, false},
        {"no level reader", true, 0, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        _level.onRoad = c.onRoad;
        _level.roadIndex = c.roadIndex;
        _level.running = c.running;
        ActorEnemy::setLevelReader(c.reader ? &_reader : nullptr);
        const float before = railDistance(train);
        train->drive(0.1f);
        EXPECT_EQ(railDistance(train) != before, c.moves);
    }
    ActorEnemy::setLevelReader(&_reader);
    // A paused clock gives the update no time.
    Clock::setPaused(true);
    const float before = railDistance(train);
    train->update();
    Clock::setPaused(false);
    EXPECT_EQ(railDistance(train), before);
}

TEST_F(EnemyTest, BackwardFacingTrainKeepsItsFacingWhileItTurnsBack) {
    RailSet* set = railSet({straightRail(30, 0)});
    ActorEnemyTrain* train = make<ActorEnemyTrain>(kTrainFile, "Train", Vector3(0, 15, 0), kPi);
    ASSERT_NE(train, nullptr);
    ActorEnemy::setRails(train, _level.handle(), set, 15);
    train->reset();
    EXPECT_FALSE(train->_startForward);
    EXPECT_FALSE(train->_forward);
    int flips = 0;
    for (int frame = 0; frame < 600; ++frame) {
        const bool was = train->_forward;
        train->update();
        flips += train->_forward != was;
        ASSERT_LT(train->_transform->_world.row3(1).y, -0.99f);
    }
    EXPECT_GE(flips, 2);
    // Its span runs from the rail point backwards over its length.
    float low, high;
    train->reset();
    train->getRailSpan(low, high);
    EXPECT_NEAR(0.5f * (low + high), 15, 0.3f);
}

TEST_F(EnemyTest, HitsCountToTheDamageNumberThenTheEnemyDies) {
    RailSet* set = railSet({straightRail(100, 0)});
    ActorEnemyTrain* train = trainWithRearAt(set, 40);
    ASSERT_NE(train, nullptr);
    ASSERT_EQ(train->_damageNum, 3);
    train->_conductors->_queue.clear();
    train->hit();
    train->hit();
    EXPECT_EQ(queuedNames(train), (std::vector<std::string>{"damage", "damage"}));
    train->hit();
    EXPECT_EQ(queuedNames(train).back(), "death");
    EXPECT_EQ(train->_hitCount, 3);
    train->_conductors->_queue.clear();
    train->hit();
    EXPECT_TRUE(queuedNames(train).empty());

    train->reset();
    EXPECT_EQ(train->_hitCount, 0);
    train->kill();
    EXPECT_EQ(train->_hitCount, 3);
    train->_conductors->_queue.clear();
    train->hit();
    EXPECT_TRUE(queuedNames(train).empty());

    // The waggon's own section gives it one life; it has no "damage", so a second life stops
    // all of its reactions instead.
    ActorEnemyWaggon* waggon = make<ActorEnemyWaggon>(kWaggonFile, "Waggon");
    ASSERT_NE(waggon, nullptr);
    EXPECT_EQ(waggon->_damageNum, 1);
    waggon->_conductors->_queue.clear();
    waggon->hit();
    EXPECT_EQ(queuedNames(waggon), (std::vector<std::string>{"death"}));
    waggon->reset();
    waggon->_damageNum = 2;
    waggon->_conductors->_queue.clear();
    waggon->hit();
    EXPECT_EQ(queuedNames(waggon), (std::vector<std::string>{"stop run", "stop death"}));

    // An enemy without a damage number ignores hits.
    waggon->reset();
    waggon->_damageNum = 0;
    waggon->_conductors->_queue.clear();
    waggon->hit();
    EXPECT_TRUE(queuedNames(waggon).empty());
    EXPECT_EQ(waggon->_hitCount, 0);
}

TEST_F(EnemyTest, EnemiesWithoutRailsKeepTheirPlacement) {
    ActorEnemyTrain* train = make<ActorEnemyTrain>(kTrainFile, "Train", Vector3(3, 4, 0));
    ASSERT_NE(train, nullptr);
    ActorEnemy::setRails(train, _level.handle(), nullptr, 10);
    train->reset();
    train->update();
    leveltest::expectVec(train->getWorldPosition(), Vector3(3, 4, 0));
    float low = 1, high = 1;
    train->getRailSpan(low, high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(train->_typeId, TypeActorEnemyTrain);
}

}  // namespace

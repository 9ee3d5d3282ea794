// The autopilot driving the sample train over the real road: the first sample level set, with its
// obstacles and enemy trains, chained ahead as the train goes. Without the autopilot the train
// runs into them (some 170 frames over these 5 km); with it, never.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoost.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanGameModes.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/stage/ZelvanLoad.h"
#include "game/track/ZelvanRoad.h"
#include "TestSupport.h"
#include "support_levels.h"

using namespace Zelvan;

namespace {

const float kDt = 1.0f / 60.0f;

// Runs every queued step at once, in order.
class ImmediateLoader : public LoadQueue {
public:
    void push(Load* step) override { steps.emplace_back(step); }
    bool runAll() {
        bool ok = true;
        for (auto& step : steps)
            ok = step->load() && ok;
        steps.clear();
        return ok;
    }
    std::vector<std::unique_ptr<Load>> steps;
};

TEST(AutopilotRoad, RunsFiveKilometresOnTheSampleLevels) {
    leveltest::SampleLevelWorld w;
    ASSERT_NE(w.world, nullptr);
    ActorPlayer::registerPlayers(w.world);
    BoostContainer boosts;
    boosts.load();

    ImmediateLoader loader;
    const std::vector<std::string> names = ConfigStore::instance().getList("level.levelSets");
    ASSERT_FALSE(names.empty());
    std::unique_ptr<LevelGroupSet> set(LevelGroupSet::create(&loader, w.pool, names.front()));
    ASSERT_NE(set, nullptr);
    ASSERT_TRUE(loader.runAll());
    // Every lane of the dead end stops at a buffer, which no autopilot avoids: left out here.
    if (LevelGroup* end = set->findGroup("meadow_end"))
        end->acChance = 0;
    std::unique_ptr<Road> road(Road::create());
    road->placeRandomItems = false;
    road->setLevelGroupSet(set.get());
    set->reset();
    road->restart();
    Level* first = road->getCurrentLevel();
    ASSERT_NE(first, nullptr);

    const std::string file = ConfigStore::instance().getString("trainRed.objectFile", "");
    static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    ActorPlayer* train = dynamic_cast<ActorPlayer*>(w.world->createObject(
        nullptr, file, "trainRed", PropertyList(), 1, rows, Vector3(), Vector3(1, 1, 1), nullptr));
    ASSERT_NE(train, nullptr);
    train->init();
    train->load("trainRed");
    train->reset();

    // At the start of the centre lane of the first level, facing along the level.
    ASSERT_GT(first->railSets.size(), 1u);
    Rail* rail = first->railSets[1]->getRails().front();
    RoadSlot slot;
    slot.rail = rail;
    rail->reset(true);
    slot.forward = rail->getDirection().dot(first->getDirection()) > 0 ? 1 : 0;
    if (!slot.forward) {
        rail = first->railSets[1]->getRails().back();
        rail->reset(false);
        slot.rail = rail;
    }
    slot.level = first;
    train->setRoad(0, slot);
    train->run();
    train->_autopilot = 1;

    autopilotRandom().seed(111);
    Control control;
    Camera camera(nullptr);
    GameRush rush;
    rush.reset();
    RoadTrackServices track(road.get());
    GameEnv env;
    env.world = w.world;
    env.camera = &camera;
    env.control = &control;
    env.player = train;
    env.road = road.get();

    int changes = 0, leaps = 0, frames = 0, runInto = 0;
    int32_t lastAction = train->getAction();
    bool wasLeaping = false;
    while (train->_goods._distance < 5000.0f && frames < 60 * 60 * 10) {
        ++frames;
        control.updateFingers(kDt);
        env.dt = kDt;
        rush.update(env);
        const int32_t action = train->getAction();
        if (action != lastAction && (action & (ActorPlayer::Action_JumpLeft | ActorPlayer::Action_JumpRight)))
            ++changes;
        lastAction = action;
        if (train->isLeaping() && !wasLeaping)
            ++leaps;
        wasLeaping = train->isLeaping();

        RoadSlot next;
        if (track.findNextRail(train->getRoad(0), next))
            train->setRoad(1, next);
        float moved = 0;
        train->advance(train->totalSpeed() * kDt, &moved, nullptr);
        ASSERT_NE(moved, 0.0f) << "the rail ended under the train after " << train->_goods._distance << " m";
        const uint32_t flags = train->getRailFlags();
        ASSERT_FALSE(!(flags & SegmentRailLeft) && train->getAction() == ActorPlayer::Action_WaggleRight);
        ASSERT_FALSE(!(flags & SegmentRailRight) && train->getAction() == ActorPlayer::Action_WaggleLeft);

        // The road follows the train into the next level and grows ahead of it.
        Level* current = road->getCurrentLevel();
        if (train->getRoad(0).level != current) {
            road->advanceLevel();
            road->extend(0);
        } else {
            road->extend(current->distanceAlong(train->_transform->_world.getTranslation()));
        }
        road->update(kDt);
        train->update(kDt);
        // Obstacles and enemies on the train's own lane, under its body, while it is on the rail.
        if (train->getAction() == ActorPlayer::Action_Run && !train->isLeaping()) {
            NearRail under;
            road->initNearRail(&under, train);
            if (road->isNearRailBlocked(&under, -1.0f, 1.0f, 10, 3))
                ++runInto;
        }
        ASSERT_FALSE(train->isCrashed()) << "after " << train->_goods._distance << " m";
    }
    EXPECT_GE(train->_goods._distance, 5000.0f);
    EXPECT_GT(changes, 0) << "obstacles and enemies lie on the sample lanes";
    EXPECT_EQ(runInto, 0) << "frames with an obstacle or enemy under the running train";
    RecordProperty("laneChanges", changes);
    RecordProperty("leaps", leaps);

    train->detach();
    road->clear();
    road->setLevelGroupSet(nullptr);
}

}  // namespace

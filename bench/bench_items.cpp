// Level items: placing the random items of one appended level (time and heap allocations per
// placement), and the per-frame item work of a full road with the sample train on it (magnet
// and collection tests, the horn's obstacle scan, the contact test; time and allocations per
// frame, whose goal is none). Allocations are counted by a replaced global operator new.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoost.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelItem.h"
#include "game/track/ZelvanLevelPool.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"
#include "../tests/track/support_levels.h"

#include "AllocationCounter.h"

namespace {

using namespace Zelvan;

const char* const kSample = "scenes/l02.bin";

void addSampleItems(Road& road, World* world) {
    for (const std::string& key : ConfigStore::instance().getList("levelItem.items"))
        road.addLevelItem(LevelItem::create(world, key));
}

void takeItemsBack(Road& road, Level* level) {
    for (size_t i = level->items.size(); i-- > 0;)
        if (ActorItem* item = dynamic_cast<ActorItem*>(level->items[i]))
            if (item->getLevelItem())
                road.removeItem(level, item);
}

void BM_PlaceLevelItems(benchmark::State& state) {
    leveltest::SampleLevelWorld w;
    Road road;
    addSampleItems(road, w.world);
    w.pool->markAllUnused();
    Level* level = w.pool->getLevel(kSample);
    w.pool->markAllUsed();
    road.placeRandomItems = false;
    road.appendLevels({level});
    // Warm the pools and the slot lists.
    for (int i = 0; i < 20; ++i) {
        road.placeItems(level);
        takeItemsBack(road, level);
        w.world->update();
    }
    uint64_t allocations = 0, placed = 0, runs = 0;
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        road.placeItems(level);
        allocations += benchalloc::count() - before;
        state.PauseTiming();
        placed += level->items.size();
        ++runs;
        takeItemsBack(road, level);
        w.world->update();
        state.ResumeTiming();
    }
    state.counters["allocs/placement"] = runs ? (double)allocations / (double)runs : 0;
    state.counters["items/level"] = runs ? (double)placed / (double)runs : 0;
    road.clear();
}
BENCHMARK(BM_PlaceLevelItems)->Unit(benchmark::kMicrosecond);

void BM_ItemsFrameFullRoad(benchmark::State& state) {
    leveltest::SampleLevelWorld w;
    Road road;
    addSampleItems(road, w.world);
    w.pool->markAllUnused();
    std::vector<LevelGroup*> groups;
    for (int g = 0; g < 6; ++g) {
        groups.push_back(new LevelGroup("benchItemsGroup" + std::to_string(g)));
        for (int i = 0; i < 2; ++i)
            groups.back()->addLevel(w.pool->getLevel(kSample));
    }
    w.pool->markAllUsed();
    LevelGroupSet* set = new LevelGroupSet("benchItemsSet", groups, {});
    set->reset();
    road.setLevelGroupSet(set);
    road.restart();

    ActorPlayer::registerPlayers(w.world);
    BoostContainer boosts;
    boosts.load();
    static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    const std::string file = ConfigStore::instance().getString("trainRed.objectFile", "");
    ActorPlayer* train = dynamic_cast<ActorPlayer*>(
        w.world->createObject(nullptr, file, "trainRed", PropertyList(), 0, rows, Vector3(), Vector3(1, 1, 1), nullptr));
    train->init();
    train->load("trainRed");
    train->reset();
    train->run();
    StageCamera* camera = StageCamera::create(w.world);
    // Beside the road, within reach of the current level and its neighbours.
    train->setMatrix(road.getCurrentLevel()->getBeginMatrix() * Matrix4::translation(Vector3(30, 20, 0)));
    train->updateTransform();
    road.position = 20;
    train->_cryTimer._lock = 1;  // the horn's scan runs too
    std::vector<ActorItemGift*> collected;
    collected.reserve(64);
    w.world->update();
    uint64_t allocations = 0, frames = 0;
    size_t items = 0;
    for (Level* l : road.aheadLevels)
        items += l->items.size();
    for (Level* l : road.behindLevels)
        items += l->items.size();
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        collected.clear();
        road.updateItems(collected, train, camera, 1.0f / 60.0f);
        road.triggerObstacles(train);
        road.checkCollisions(w.world, train, camera);
        allocations += benchalloc::count() - before;
        ++frames;
        benchmark::DoNotOptimize(collected.size());
    }
    state.counters["allocs/frame"] = frames ? (double)allocations / (double)frames : 0;
    state.counters["items on road"] = (double)items;
    state.counters["levels"] = (double)(road.aheadLevels.size() + road.behindLevels.size());
    train->detach();
    delete camera;
    road.clear();
    road.setLevelGroupSet(nullptr);
    delete set;
}
BENCHMARK(BM_ItemsFrameFullRoad)->Unit(benchmark::kNanosecond);

}  // namespace

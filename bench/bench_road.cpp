// One gameplay frame of road work over the sample road (6-8 levels on it): extend, advance when
// the traveller enters the next level, update and the rail queries of the stage and the game mode
// (next rail, look-ahead, blocking test, switch rails). Reports the time per frame and the heap
// allocations per steady-state frame (counted by a replaced global operator new); and the time
// of appending one level with its contents rolled.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "../tests/track/support_levels.h"
#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "game/stage/ZelvanLoad.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelPool.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"

#include "AllocationCounter.h"

namespace {

using namespace Zelvan;

class StepQueue : public LoadQueue {
public:
    ~StepQueue() override {
        for (Load* step : steps)
            delete step;
    }
    void push(Load* step) override { steps.push_back(step); }
    std::vector<Load*> steps;
};

struct SampleRoad {
    leveltest::SampleLevelWorld w;
    StepQueue queue;
    std::vector<std::unique_ptr<LevelGroupSet>> sets;
    std::unique_ptr<Road> road;
    NearRail traveller;

    SampleRoad() {
        for (const std::string& name :
             std::vector<std::string>(ConfigStore::instance().getList("level.levelSets")))
            sets.emplace_back(LevelGroupSet::create(&queue, w.pool, name));
        for (Load* step : queue.steps)
            step->load();
        road.reset(Road::create());
        road->levelGroupSet = sets[0].get();
        motherRandom().seed(5);
        sets[0]->reset();
        road->restart();
        Level* level = road->getCurrentLevel();
        Rail* rail = level->railSets[1]->getRails().front();
        traveller.current.rail = rail;
        traveller.current.forward = rail->getDirection().dot(level->getDirection()) > 0;
        rail->reset(traveller.current.forward);
        traveller.current.railPos = rail->getRailPos();
        traveller.current.level = level;
        traveller.current.distance = 0;
    }
    ~SampleRoad() {
        road->levelGroupSet = nullptr;
        road->clear();
    }
    void frame(float dt) {
        if (!traveller.next.rail) {
            traveller.next.distance = road->autoDistance;
            road->findNearRail(&traveller, traveller.current.level);
            if (road->aheadLevels.size() > 1)
                road->findNearRail(&traveller, road->aheadLevels[1]);
        }
        // The game mode's look-ahead and blocking test on a copy.
        NearRail probe = traveller;
        road->advanceNearRail(&probe, nullptr, 8.0f, false);
        road->isNearRailBlocked(&probe, 0, 8.0f, 10, 3);
        road->advanceNearRail(&traveller, nullptr, 30.0f * dt, true);
        if (traveller.current.level != road->getCurrentLevel()) {
            road->advanceLevel();
            road->extend(0);
        } else {
            traveller.current.rail->setPosition(traveller.current.railPos);
            road->extend(road->getCurrentLevel()->distanceAlong(traveller.current.rail->getPosition()));
        }
        if (traveller.current.rail->getPosition().length() > 2000)
            road->realignLevels();
        road->update(dt);
    }
};

void BM_RoadFrame(benchmark::State& state) {
    benchalloc::countOnlyThisThread();
    SampleRoad r;
    const float dt = 1.0f / 60.0f;
    // Warm up over several levels so lists and pools reach their steady size.
    for (int i = 0; i < 2000; ++i)
        r.frame(dt);
    uint64_t allocations = 0, frames = 0, steadyAllocations = 0, steadyFrames = 0;
    for (auto _ : state) {
        Level* const front = r.road->aheadLevels.front();
        Level* const back = r.road->aheadLevels.back();
        const size_t behind = r.road->behindLevels.size();
        const uint64_t before = benchalloc::count();
        r.frame(dt);
        const uint64_t used = benchalloc::count() - before;
        allocations += used;
        ++frames;
        // A frame that appended, advanced or released no level is a steady one.
        if (r.road->aheadLevels.front() == front && r.road->aheadLevels.back() == back &&
            r.road->behindLevels.size() == behind) {
            steadyAllocations += used;
            ++steadyFrames;
        }
    }
    state.counters["levelsOnRoad"] = double(r.road->aheadLevels.size() + r.road->behindLevels.size());
    state.counters["allocsPerFrame"] = frames ? double(allocations) / double(frames) : 0;
    state.counters["allocsPerSteadyFrame"] = steadyFrames ? double(steadyAllocations) / double(steadyFrames) : 0;
}
BENCHMARK(BM_RoadFrame);

void BM_RoadAppendLevel(benchmark::State& state) {
    SampleRoad r;
    std::vector<Level*> one(1);
    for (auto _ : state) {
        // Take the oldest level off the road and append it again at the far end.
        state.PauseTiming();
        Level* level = r.road->behindLevels.empty() ? nullptr : r.road->behindLevels.front();
        if (!level) {
            r.road->advanceLevel();
            level = r.road->behindLevels.front();
        }
        r.road->behindLevels.erase(r.road->behindLevels.begin());
        level->onRoad = false;
        level->hide();
        level->disablePhysics();
        level->destroyPhysics();
        level->removeProxyObjects();
        one[0] = level;
        state.ResumeTiming();
        r.road->appendLevels(one);
        state.PauseTiming();
        r.road->advanceLevel();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RoadAppendLevel)->Unit(benchmark::kMicrosecond);

}  // namespace

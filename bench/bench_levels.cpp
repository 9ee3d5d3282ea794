// A visit of the sample level with every kind of content: its contents rolled (chance actors,
// placeholders, rem/or/link/snake groups, proxy decorations, obstacles, the enemy train with
// its waggons, gift rows) and released again (proxy objects back to their pools, items off).
// Reports the time and the heap allocations per visit (counted by a replaced global operator
// new) after the pools and lists have reached their steady size.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "../tests/track/support_levels.h"
#include "engine/math.h"
#include "game/actors/ZelvanActor.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelPool.h"

#include "AllocationCounter.h"

namespace {

void visit(leveltest::SampleLevelWorld& w, Zelvan::Level* level) {
    level->resetObjects();
    level->removeProxyObjects();
    level->placeProxyObjects(true);
    w.drop(level);
    // The pools take their instances back.
    w.world->update();
}

void BM_LevelVisit(benchmark::State& state) {
    leveltest::SampleLevelWorld w;
    w.pool->markAllUnused();
    Zelvan::Level* level = w.pool->getLevel("scenes/l02.bin");
    w.pool->markAllUsed();
    if (!level) {
        state.SkipWithError("no sample level");
        return;
    }
    level->show();
    // Warm up: every pool holds as many instances as a visit can ask for.
    for (int i = 0; i < 200; ++i)
        visit(w, level);

    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        visit(w, level);
        allocations += benchalloc::count() - before;
    }
    state.counters["allocs_per_visit"] = (double)allocations / (double)state.iterations();
}
BENCHMARK(BM_LevelVisit)->Unit(benchmark::kMicrosecond);

}  // namespace

// Rail queries: projecting a world point onto a rail (the road's nearest-rail searches and item
// placement), the local nearest-point search, and the per-frame advance of a train on a rail and
// a rail set. Each reports the heap allocations per query (the goal is none).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRailSet.h"


#include "AllocationCounter.h"

namespace {

using Zelvan::Rail;
using Zelvan::RailPoint;
using Zelvan::RailSet;

// A winding rail of n points one unit apart, carried by a placed, turned owner.
struct WindingRail {
    explicit WindingRail(int n) : owner(nullptr) {
        const Vector3 rows[3] = {Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)};
        owner.setTransform(rows, Vector3(250, -40, 3), Vector3(1, 1, 1));
        std::vector<RailPoint> points(n);
        for (int k = 0; k < n; ++k) {
            points[k].position = Vector3(3 * std::sin(0.05f * k), (float)k, 0.2f * std::sin(0.11f * k));
            points[k].direction = Vector3(0.15f * std::cos(0.05f * k), 1, 0).normalized();
            points[k].up = Vector3(0, 0, 1);
        }
        rail.reset(new Rail("bench", owner._transform, points));
        // Query points scattered along and beside the rail, in world space and in the owner's.
        for (int q = 0; q < 64; ++q) {
            const float along = (float)n * (float)q / 64.0f;
            local.push_back(Vector3(2.0f * std::sin(1.7f * q), along, 0.5f * std::cos(0.9f * q)));
            world.push_back(owner._transform->_world.transformPoint(local.back()));
        }
    }
    Object owner;
    std::unique_ptr<Rail> rail;
    std::vector<Vector3> local, world;
};

void reportAllocations(benchmark::State& state, uint64_t before) {
    const uint64_t made = benchalloc::count() - before;
    state.counters["allocs/query"] =
        benchmark::Counter((double)made / (double)std::max<int64_t>(1, state.iterations()));
    state.SetItemsProcessed(state.iterations());
}

void BM_RailProjectPoint(benchmark::State& state) {
    WindingRail w((int)state.range(0));
    size_t q = 0;
    const uint64_t before = benchalloc::count();
    for (auto _ : state) {
        benchmark::DoNotOptimize(w.rail->projectPoint(w.world[q]));
        q = (q + 1) & 63;
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_RailProjectPoint)->Arg(9)->Arg(64)->Arg(512);

void BM_RailFindNearestPoint(benchmark::State& state) {
    WindingRail w((int)state.range(0));
    size_t q = 0;
    const uint64_t before = benchalloc::count();
    for (auto _ : state) {
        benchmark::DoNotOptimize(w.rail->findNearestPoint(w.local[q]));
        q = (q + 1) & 63;
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_RailFindNearestPoint)->Arg(9)->Arg(64)->Arg(512);

// A frame's advance (a train at 30 units a second, 60 frames a second) and its pose.
void BM_RailAdvanceAndSample(benchmark::State& state) {
    WindingRail w(512);
    w.rail->reset(true);
    const uint64_t before = benchalloc::count();
    for (auto _ : state) {
        if (!w.rail->move(0.5f))
            w.rail->reset(true);
        benchmark::DoNotOptimize(w.rail->getPosition());
        benchmark::DoNotOptimize(w.rail->getDirection());
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_RailAdvanceAndSample);

void BM_RailSetAdvance(benchmark::State& state) {
    std::vector<std::unique_ptr<WindingRail>> pieces;
    std::vector<Rail*> rails;
    for (int k = 0; k < 4; ++k) {
        pieces.emplace_back(new WindingRail(64));
        rails.push_back(pieces.back()->rail.get());
    }
    // Pieces end to end: each one's first point where the previous one ends.
    for (int k = 1; k < 4; ++k) {
        Rail* prev = rails[k - 1];
        prev->reset(false);
        const Vector3 end = prev->getPosition();
        Object& owner = pieces[k]->owner;
        owner.setPosition(owner.getPosition() + end - owner._transform->_world.transformPoint(Vector3()));
    }
    RailSet set(rails);
    set.reset(true);
    const uint64_t before = benchalloc::count();
    for (auto _ : state) {
        if (!set.move(0.5f))
            set.reset(true);
        benchmark::DoNotOptimize(set.getPosition());
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_RailSetAdvance);

// The sample level's left lane, projected from points around it.
void BM_SampleLaneProject(benchmark::State& state) {
    testsupport::TempDir docs;
    testsupport::ScopedStores stores(testsupport::contentDir(), docs.path());
    testsupport::FixedSizeGame screen(800, 600);
    IGame::setInstance(&screen);
    {
        World world(0);
        Scene* scene = world.loadScene("scenes/l01.txt", 0, 0);
        std::unique_ptr<Rail> rail(Rail::buildPoints("rail_l", Zelvan::SegmentAll, &world, scene,
                                                     scene->_root->_transform, scene->getGroup("rail_l"), 2, 3,
                                                     0.1f, 5.0f));
        if (!rail) {
            state.SkipWithError("sample lane missing");
            return;
        }
        std::vector<Vector3> points;
        for (int q = 0; q < 64; ++q)
            points.push_back(Vector3(-2 + std::sin((float)q), 40.0f * q / 64.0f, 0.5f));
        size_t q = 0;
        const uint64_t before = benchalloc::count();
        for (auto _ : state) {
            benchmark::DoNotOptimize(rail->projectPoint(points[q]));
            q = (q + 1) & 63;
        }
        reportAllocations(state, before);
    }
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
    IGame::setInstance(nullptr);
}
BENCHMARK(BM_SampleLaneProject);

}  // namespace

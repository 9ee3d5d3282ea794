// Decorating a level and clearing it again: the sample decorations on a level of 60
// placeholders (trees, houses, signs), placed and removed the way a level on the road does it,
// the pools flushed after each removal. Reports the time and the heap allocations per cycle
// (counted by a replaced global operator new) and the objects placed per cycle.
//
//   build/bench/bench_track_atmo

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ProxyFixtures.h"
#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/random.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/track/ZelvanProxyContainer.h"

#include "AllocationCounter.h"

namespace {

// The sample content's decorations over one level of placeholders.
class DecoratedLevel {
public:
    DecoratedLevel() {
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _documents.path()));
        IGame::setInstance(&_screen);
        frameTime().dt = 1.0f / 60.0f;
        ConfigStore& config = ConfigStore::instance();
        config.resetForTests();
        config.loadMainFile("configs/config.txt");
        motherRandom().seed(1);

        _world = new World(1);
        _proxies.load(_world, "object");
        _proxies.reset();
        _proxies.addTime(300);  // past every difficulty ramp
        _scene = _world->createScene("level", 0, 0);
        for (const proxyfixtures::Placeholder& p : proxyfixtures::placeholderRow({"tree", "house", "sign"}, 20)) {
            EmptyEntry* entry = new EmptyEntry();
            entry->node = new Object(nullptr);
            entry->node->_name = p.name;
            entry->node->setPosition(Vector3(p.position.x, p.position.y, p.position.z));
            _scene->_empties[p.name] = entry;
        }
        _level.reset(new proxyfixtures::PlaceholderLevel(_scene, &_proxies));
    }

    ~DecoratedLevel() {
        _level.reset();
        _proxies.clear();
        delete _world;
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        rm.resetForTests();
        ConfigStore::instance().resetForTests();
        IGame::setInstance(nullptr);
    }

    // Returns how many objects were placed.
    size_t cycle() {
        _level->place();
        const size_t placed = _level->placements.size();
        _level->remove();
        for (ObjectPool* pool : _world->_pools)
            pool->flush();
        _proxies.addTime(1.0f / 60.0f);
        return placed;
    }

private:
    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    World* _world = nullptr;
    Scene* _scene = nullptr;
    Zelvan::ProxyContainer _proxies;
    std::unique_ptr<proxyfixtures::PlaceholderLevel> _level;
};

void BM_PlaceAndRemoveProxies(benchmark::State& state) {
    DecoratedLevel level;
    for (int i = 0; i < 100; ++i)  // pools grow to what a level needs at most
        level.cycle();
    uint64_t allocations = 0, placed = 0;
    double seconds = 0;
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        const auto start = std::chrono::steady_clock::now();
        placed += level.cycle();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += benchalloc::count() - before;
    }
    const double n = (double)state.iterations();
    state.counters["us_per_cycle"] = seconds * 1e6 / n;
    state.counters["allocs_per_cycle"] = (double)allocations / n;
    state.counters["placed_per_cycle"] = (double)placed / n;
}
BENCHMARK(BM_PlaceAndRemoveProxies)->Unit(benchmark::kMicrosecond);

}  // namespace

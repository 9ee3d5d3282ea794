// 50 sample enemy trains, each with two waggons, driving, braking and turning back on their own
// straight rails of a level with obstacle ranges. Reports the time per train (its waggons included)
// and the heap allocations per steady-state frame (counted by a replaced global operator new).
//
//   build/bench/bench_enemies

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine/sound/sfx.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/ZelvanSoundInterface.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorEnemy.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRailSet.h"

#include "AllocationCounter.h"

namespace {

using namespace Zelvan;

const int kTrains = 50;
const int kWaggons = 2;
const float kRailLength = 100;

// The level as the trains see it: on the road, running, and one obstacle range on every rail.
struct BenchLevel {
    std::vector<EnemyRange> ranges;
};

class BenchReader : public EnemyLevelReader {
public:
    bool isOnRoad(const Level*) const override { return true; }
    int32_t getRoadIndex(const Level*) const override { return 0; }
    bool isRunning(const Level*) const override { return true; }
    size_t getRangeCount(const Level* level) const override { return get(level)->ranges.size(); }
    bool getRange(const Level* level, size_t index, EnemyRange& out) const override {
        const BenchLevel* l = get(level);
        if (index >= l->ranges.size())
            return false;
        out = l->ranges[index];
        return true;
    }

private:
    static const BenchLevel* get(const Level* level) { return reinterpret_cast<const BenchLevel*>(level); }
};

class Yard {
public:
    Yard() {
        setenv("ALSOFT_DRIVERS", "null", 0);
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _documents.path()));
        IGame::setInstance(&_screen);
        frameTime().dt = 1.0f / 60.0f;
        ConfigStore& config = ConfigStore::instance();
        config.resetForTests();
        config.loadMainFile("configs/config.txt");
        SfxInitParams p;
        p.maxVoices = 16;
        sfx_Init(p);
        SoundInterface::get().loadData("configs/sound.txt");
        motherRandom().seed(1);

        _world = new World(1);
        registerActorClasses(_world);
        _scene = _world->loadScene("scenes/l01.txt", 1, 0);
        ActorEnemy::setLevelReader(&_reader);
        Level* level = reinterpret_cast<Level*>(&_level);

        const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        for (int t = 0; t < kTrains; ++t) {
            const float x = 4.0f * (float)t;
            std::vector<RailPoint> points;
            for (float d = 0; d <= kRailLength; d += 5) {
                RailPoint point;
                point.position = Vector3(x, d, 0);
                point.direction = Vector3(0, 1, 0);
                point.up = Vector3(0, 0, 1);
                points.push_back(point);
            }
            _rails.emplace_back(new Rail("bench", _scene->_root->_transform, points));
            _sets.emplace_back(new RailSet({_rails.back().get()}));
            RailSet* set = _sets.back().get();

            const float at = 30.0f + 0.2f * (float)t;
            auto* train = dynamic_cast<ActorEnemyTrain*>(
                _world->createObject(_scene, "objects/enemies/enemy_train.object", "Train" + std::to_string(t),
                                     PropertyList(), 1, rows, Vector3(x, at, 0), Vector3(1, 1, 1), nullptr));
            ActorEnemy::setRails(train, level, set, at);
            for (int w = 0; w < kWaggons; ++w) {
                const float wat = at - 5.0f * (float)(w + 1);
                auto* waggon = dynamic_cast<ActorEnemyWaggon*>(_world->createObject(
                    _scene, "objects/enemies/enemy_waggon.object", "Waggon" + std::to_string(t) + "_" + std::to_string(w),
                    PropertyList(), 1, rows, Vector3(x, wat, 0), Vector3(1, 1, 1), nullptr));
                ActorEnemy::setRails(waggon, level, set, wat);
                train->addWaggon(waggon);
                waggon->reset();
                waggons.push_back(waggon);
            }
            train->reset();
            trains.push_back(train);
            // An obstacle ahead on the rail, which the train brakes for and turns back at (any
            // visible node stands for the obstacle's actor).
            _level.ranges.push_back(EnemyRange{2, _scene->_root, _rails.back().get(), 80, 3});
        }
    }

    ~Yard() {
        ActorEnemy::setLevelReader(nullptr);
        delete _world;
        _sets.clear();
        _rails.clear();
        sfx_Shutdown();
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        rm.resetForTests();
        ConfigStore::instance().resetForTests();
        IGame::setInstance(nullptr);
    }

    // One frame as the level runs it: every train, then every waggon.
    void frame() {
        for (ActorEnemyTrain* t : trains)
            t->update();
        for (ActorEnemyWaggon* w : waggons)
            w->update();
    }

    std::vector<ActorEnemyTrain*> trains;
    std::vector<ActorEnemyWaggon*> waggons;

private:
    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    World* _world = nullptr;
    Scene* _scene = nullptr;
    BenchLevel _level;
    BenchReader _reader;
    std::vector<std::unique_ptr<Rail>> _rails;
    std::vector<std::unique_ptr<RailSet>> _sets;
};

void BM_EnemyTrainFrame(benchmark::State& state) {
    Yard yard;
    for (int n = 0; n < 120; ++n)  // the first frames start everything; then it is steady
        yard.frame();
    uint64_t allocations = 0;
    double seconds = 0;
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        const auto start = std::chrono::steady_clock::now();
        yard.frame();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += benchalloc::count() - before;
    }
    state.counters["ns_per_train"] = seconds * 1e9 / (double)state.iterations() / kTrains;
    state.counters["allocs_per_frame"] = (double)allocations / (double)state.iterations();
}
BENCHMARK(BM_EnemyTrainFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

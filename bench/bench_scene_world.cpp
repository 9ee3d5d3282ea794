// The world over the sample demo scene: loading it (text and binary), a frame of its update,
// and a ray test through it; releasing nodes while many large scenes are loaded.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"

namespace {

struct Setup {
    Setup() : stores(testsupport::contentDir(), docs.path()) { IGame::setInstance(&screen); }
    ~Setup() {
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        rm.resetForTests();
        IGame::setInstance(nullptr);
    }
    testsupport::TempDir docs;
    testsupport::ScopedStores stores;
    testsupport::FixedSizeGame screen{800, 600};
};

// Object files, materials and textures stay cached after the first load, as in the game.
void BM_LoadDemoScene(benchmark::State& state, const char* path) {
    Setup setup;
    for (auto _ : state) {
        World world(1);
        benchmark::DoNotOptimize(world.loadScene(path, 1, 0));
    }
}
BENCHMARK_CAPTURE(BM_LoadDemoScene, text, "scenes/demo.txt")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadDemoScene, binary, "scenes/demo.bin")->Unit(benchmark::kMicrosecond);

void BM_UpdateDemoScene(benchmark::State& state) {
    Setup setup;
    World world(1);
    world.loadScene("scenes/demo.bin", 1, 0);
    frameTime().dt = 1.0f / 60.0f;
    for (auto _ : state)
        world.update();
    frameTime().dt = 0;
}
BENCHMARK(BM_UpdateDemoScene)->Unit(benchmark::kMicrosecond);

void BM_RayTestDemoScene(benchmark::State& state) {
    Setup setup;
    World world(1);
    world.loadScene("scenes/demo.bin", 1, 0);
    std::vector<RayHit> hits;
    for (auto _ : state) {
        world.rayTest(hits, Vector3(0, -10, 5.5f), Vector3(0, 20, -9.5f), -1);
        benchmark::DoNotOptimize(hits.data());
    }
}
BENCHMARK(BM_RayTestDemoScene)->Unit(benchmark::kMicrosecond);

// Twenty scenes of 1,000 to 3,000 nodes each (about 40,000), as when several level stretches and
// the interface are loaded: crates, some animated spinners, every tenth node in a group.
struct LoadedLevels {
    enum { SceneCount = 20 };
    LoadedLevels() : world(0) {
        for (int s = 0; s < SceneCount; ++s) {
            Scene* scene = world.createScene("level" + std::to_string(s), 0, 1);
            scenes.push_back(scene);
            const int count = 1000 + s * 2000 / (SceneCount - 1);
            for (int i = 0; i < count; ++i)
                add(scene);
        }
    }
    void add(Scene* scene) {
        static const Vector3 kRows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        const bool spinner = ++made % 50 == 0;
        Object* node = world.createObject(scene, spinner ? "objects/demo/spinner.object" : "objects/demo/crate.object",
                                          "n", PropertyList(), 0, kRows, Vector3(), Vector3(1, 1, 1), nullptr);
        if (made % 10 == 0)
            scene->addToGroup("g" + std::to_string(made % 7), node);
    }
    World world;
    std::vector<Scene*> scenes;
    int made = 0;
};

// Single nodes released here and there (actors dying, pickups taken), each followed by a new one.
void BM_ReleaseNodesAmongLoadedScenes(benchmark::State& state) {
    Setup setup;
    LoadedLevels levels;
    MotherRandom random;
    random.seed(7);
    const int batch = 200;
    std::vector<std::pair<Scene*, Object*>> victims;
    for (auto _ : state) {
        state.PauseTiming();
        victims.clear();
        for (int i = 0; i < batch; ++i) {
            Scene* scene = levels.scenes[(size_t)random.nextInt(0, LoadedLevels::SceneCount - 1)];
            Object* node = scene->_nodes[(size_t)random.nextInt(0, (int)scene->_nodes.size() - 1)];
            bool taken = false;
            for (auto& v : victims)
                taken = taken || v.second == node;
            if (!taken)
                victims.emplace_back(scene, node);
        }
        state.ResumeTiming();
        for (auto& v : victims)
            levels.world.deleteObject(v.second);
        state.PauseTiming();
        for (auto& v : victims)
            levels.add(v.first);
        state.ResumeTiming();
        state.counters["nodes"] += (double)victims.size();
    }
    state.counters["per_node"] =
        benchmark::Counter(state.counters["nodes"], benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters.erase("nodes");
}
BENCHMARK(BM_ReleaseNodesAmongLoadedScenes)->Unit(benchmark::kMillisecond);

// A whole level stretch cleared node by node (last made first) while the others stay loaded.
void BM_ClearOneLoadedScene(benchmark::State& state) {
    Setup setup;
    LoadedLevels levels;
    Scene* scene = levels.scenes[LoadedLevels::SceneCount / 2];
    const size_t count = scene->_nodes.size();
    double nodes = 0;
    for (auto _ : state) {
        std::vector<Object*> doomed(scene->_nodes);
        for (size_t i = doomed.size(); i-- > 0;)
            levels.world.deleteObject(doomed[i]);
        nodes += (double)doomed.size();
        state.PauseTiming();
        for (size_t i = 0; i < count; ++i)
            levels.add(scene);
        state.ResumeTiming();
    }
    state.counters["per_node"] = benchmark::Counter(nodes, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ClearOneLoadedScene)->Unit(benchmark::kMillisecond);

}  // namespace

// The world over the sample demo scene: loading it (text and binary), a frame of its update,
// and a ray test through it.

#include <benchmark/benchmark.h>

#include <string>

#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/clock.h"
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

}  // namespace

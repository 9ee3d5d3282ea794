// Loading the whole sample game through the stage's loader on headless OpenGL ES: the time of the
// load (one step a frame, as the game runs it) and the slowest single step.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <typeinfo>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/gles2/EglHeadless.h"
#include "game/stage/ZelvanApplication.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"

using namespace Zelvan;

namespace {

void BM_StageLoad(benchmark::State& state) {
    if (!EglHeadless::shared(270, 480)) {
        state.SkipWithError("no headless context");
        return;
    }
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    testsupport::FixedSizeGame game(270, 480);
    IGame::setInstance(&game);
    double slowest = 0, total = 0;
    std::string slowestName;
    int steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ConfigStore::instance().resetForTests();
        ResourceManager::instance().resetForTests();
        Application* app = Application::instance();
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        app->OnAppStarted();
        Stage* stage = Stage::get();
        steps = 0;
        while (!stage->getLoader()->empty()) {
            Load* step = stage->getLoader()->front();
            const std::string name = step ? typeid(*step).name() : "(empty frame)";
            const auto t0 = std::chrono::steady_clock::now();
            frameTime().dt = 1.0f / 60.0f;
            app->OnUpdate();
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            if (ms > slowest) {
                slowest = ms;
                slowestName = name;
            }
            ++steps;
        }
        total = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        Application::destroyInstance();
        state.ResumeTiming();
    }
    IGame::setInstance(nullptr);
    state.counters["load_ms"] = total;
    state.counters["steps"] = steps;
    state.counters["slowest_step_ms"] = slowest;
    state.SetLabel("slowest step: " + slowestName);
}
BENCHMARK(BM_StageLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

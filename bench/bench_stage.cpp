// Loading the whole sample game through the stage's loader on headless OpenGL ES: the time of the
// load (one step a frame, as the game runs it) and the slowest single step. Then a whole gameplay
// frame on the sample content (update then render, autopilot, fixed 1/60 s, after a warm-up),
// drawn through OpenGL ES (glFinish, so the driver's work counts) and through the recording
// back end (our own CPU cost without a driver): mean and worst time a frame and the heap
// allocations a steady-state frame makes, counted by a replaced operator new.

#include <benchmark/benchmark.h>

#include <GLES2/gl2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <typeinfo>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/plat_linux/RunServices.h"
#include "engine/random.h"
#include "engine/render/RecordingRender.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/gles2/EglHeadless.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/stage/ZelvanApplication.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"

// Every allocation through operator new in the process, counted (the sound threads included,
// which make none in a steady frame).
static std::atomic<uint64_t> gAllocations{0};

// Kept out of line: inlined into a caller, GCC pairs malloc with delete (or new with free) and warns.
__attribute__((noinline)) void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

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

const int kWarmUpFrames = 120;
const int kMeasuredFrames = 600;  // ten seconds of game time

// One gameplay frame as the platform drives it.
void gameFrame(Application* app) {
    frameTime().dt = 1.0f / 60.0f;
    frameTime().realDt = 1.0f / 60.0f;
    app->OnUpdate();
    app->OnRender();
}

// arg 0: OpenGL ES; arg 1: the recording back end, made current for this benchmark only.
void BM_StageFrame(benchmark::State& state) {
    const bool recording = state.range(0) != 0;
    if (!EglHeadless::shared(270, 480)) {
        state.SkipWithError("no headless context");
        return;
    }
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    testsupport::FixedSizeGame game(270, 480);
    IGame::setInstance(&game);
    ConfigStore::instance().resetForTests();
    // Device records in the cache belong to the renderer that made them.
    ResourceManager::instance().resetForTests();
    Render* previous = Render::current();
    RecordingRender* recorder = recording ? RecordingRender::create() : nullptr;
    platform::setLaunchSwitch("debug.autopilot", true);

    Application* app = Application::instance();
    int generation = 0;
    sGameSettings settings;
    app->OnInitWindow(generation, 1.0f, 270, 480, settings);
    app->OnAppStarted();
    motherRandom().seed(7);
    autopilotRandom().seed(111);
    srand(7);
    Stage* stage = Stage::get();
    for (int i = 0; i < 10000 && !stage->getLoader()->empty(); ++i)
        gameFrame(app);
    for (int i = 0; i < kWarmUpFrames; ++i) {
        gameFrame(app);
        if (recorder)
            recorder->clearCalls();
    }
    if (!recording)
        glFinish();

    double worst = 0, total = 0;
    uint64_t allocations = 0, worstAllocations = 0;
    int frames = 0;
    for (auto _ : state) {
        const uint64_t before = gAllocations.load(std::memory_order_relaxed);
        const auto t0 = std::chrono::steady_clock::now();
        gameFrame(app);
        if (!recording)
            glFinish();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const uint64_t made = gAllocations.load(std::memory_order_relaxed) - before;
        // The recorder's log of calls is the test tool's, not the game's: emptied outside the
        // measured frame (its capacity stays, so it allocates only for long slot names).
        if (recorder)
            recorder->clearCalls();
        worst = std::max(worst, ms);
        total += ms;
        allocations += made;
        worstAllocations = std::max(worstAllocations, made);
        ++frames;
    }
    ActorPlayer* player = stage->getPlayer();
    state.counters["mean_ms"] = frames ? total / frames : 0;
    state.counters["worst_ms"] = worst;
    state.counters["allocs_per_frame"] = frames ? (double)allocations / frames : 0;
    state.counters["worst_allocs"] = (double)worstAllocations;
    state.counters["crashed"] = player && player->isCrashed() ? 1 : 0;
    state.SetLabel(recording ? "recording back end" : "OpenGL ES");

    Application::destroyInstance();
    ResourceManager::instance().resetForTests();
    platform::clearLaunchSwitches();
    if (recorder) {
        Render::setCurrent(previous);
        delete recorder;
    }
    IGame::setInstance(nullptr);
}
BENCHMARK(BM_StageFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(kMeasuredFrames);

}  // namespace

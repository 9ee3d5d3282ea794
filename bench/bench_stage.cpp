// Loading the whole sample game through the stage's loader on headless OpenGL ES: the time of the
// load (one step a frame, as the game runs it), warm (the first of the iterations fills the file
// cache and the driver's caches), and the time of each kind of step, printed slowest first. Then
// a whole gameplay frame on the sample content (update then render, autopilot, fixed 1/60 s, after
// a warm-up), drawn through OpenGL ES (glFinish, so the driver's work counts) and through the
// recording back end (our own CPU cost without a driver): mean and worst time a frame and the heap
// allocations a frame makes on the main thread (operator new and the C allocator, counted by
// support/AllocationCounter), for all frames and for the frames in which the road appends no
// level, the steady state.
//
// ZELVAN_TRACE_ALLOCS=1 in the environment prints the call stacks of the allocations of the
// steady frames after the frame benchmark (=all: of every measured frame; =appends: of the
// level-append frames of the second half of the run).

#include <benchmark/benchmark.h>

#include <GLES2/gl2.h>
#include <cxxabi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

#include "AllocationCounter.h"
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
#include "game/track/ZelvanLevelLoadSteps.h"
#include "game/track/ZelvanRoad.h"

using namespace Zelvan;

namespace {

// "LoadProxy trains" for a step: its class and, for the steps that load one named thing, the name.
std::string stepName(Load* step) {
    if (!step)
        return "(frame without a step)";
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(*step).name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : typeid(*step).name();
    std::free(demangled);
    if (name.rfind("Zelvan::", 0) == 0)
        name = name.substr(8);
    if (name.find("LoadLevelStep") != std::string::npos)
        name = "LoadLevel";
    const std::string* what = nullptr;
    if (auto* p = dynamic_cast<LoadProxy*>(step)) what = &p->name;
    if (auto* p = dynamic_cast<LoadAtmosphere*>(step)) what = &p->name;
    if (auto* p = dynamic_cast<LoadLevelSkin*>(step)) what = &p->name;
    if (auto* p = dynamic_cast<LoadLevelItem*>(step)) what = &p->name;
    if (auto* p = dynamic_cast<LoadActorCharacter*>(step)) what = &p->name;
    if (auto* p = dynamic_cast<LoadActorPlayer*>(step)) what = &p->name;
    if (auto* p = dynamic_cast<LoadLevel*>(step)) what = &p->name;
    if (what && !what->empty())
        name += " " + *what;
    return name;
}

void BM_StageLoad(benchmark::State& state) {
    if (!EglHeadless::shared(270, 480)) {
        state.SkipWithError("no headless context");
        return;
    }
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    testsupport::FixedSizeGame game(270, 480);
    IGame::setInstance(&game);
    struct StepTime {
        double ms = 0;
        int count = 0;
    };
    std::map<std::string, StepTime> steps;  // of the last (warm) load
    double slowest = 0, total = 0, worstTotal = 0;
    std::string slowestName;
    int stepCount = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ConfigStore::instance().resetForTests();
        ResourceManager::instance().resetForTests();
        Application* app = Application::instance();
        steps.clear();
        slowest = 0;
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        const auto t0 = std::chrono::steady_clock::now();
        app->OnAppStarted();
        steps["OnAppStarted (queues the steps)"] = {
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(), 1};
        Stage* stage = Stage::get();
        stepCount = 0;
        while (!stage->getLoader()->empty()) {
            const std::string name = stepName(stage->getLoader()->front());
            const auto s0 = std::chrono::steady_clock::now();
            frameTime().dt = 1.0f / 60.0f;
            app->OnUpdate();
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - s0).count();
            if (ms > slowest) {
                slowest = ms;
                slowestName = name;
            }
            steps[name].ms += ms;
            ++steps[name].count;
            ++stepCount;
        }
        total = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
        worstTotal = std::max(worstTotal, total);
        state.PauseTiming();
        Application::destroyInstance();
        state.ResumeTiming();
    }
    IGame::setInstance(nullptr);
    std::vector<std::pair<std::string, StepTime>> order(steps.begin(), steps.end());
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
    std::fprintf(stderr, "Load steps of the last load, slowest first (total %.1f ms, %d steps):\n", total, stepCount);
    for (size_t i = 0; i < order.size() && i < 12; ++i)
        std::fprintf(stderr, "  %8.2f ms  %3d x  %s\n", order[i].second.ms, order[i].second.count, order[i].first.c_str());
    state.counters["load_ms"] = total;  // the last load: warm
    state.counters["worst_load_ms"] = worstTotal;
    state.counters["steps"] = stepCount;
    state.counters["slowest_step_ms"] = slowest;
    state.SetLabel("slowest step: " + slowestName);
}
// Three loads: the first warms the caches, the figures are the last one's.
BENCHMARK(BM_StageLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

const int kWarmUpFrames = 120;
const int kMeasuredFrames = 3600;  // a minute of game time

// One gameplay frame as the platform drives it.
void gameFrame(Application* app) {
    frameTime().dt = 1.0f / 60.0f;
    frameTime().realDt = 1.0f / 60.0f;
    app->OnUpdate();
    app->OnRender();
}

// Mean and worst of a set of frames.
struct FrameFigures {
    double total = 0, worst = 0;
    uint64_t allocations = 0, worstAllocations = 0;
    int frames = 0, allocatingFrames = 0;

    void add(double ms, uint64_t made) {
        allocatingFrames += made ? 1 : 0;
        total += ms;
        worst = std::max(worst, ms);
        allocations += made;
        worstAllocations = std::max(worstAllocations, made);
        ++frames;
    }
    void report(benchmark::State& state, const std::string& prefix) const {
        state.counters[prefix + "mean_ms"] = frames ? total / frames : 0;
        state.counters[prefix + "worst_ms"] = worst;
        state.counters[prefix + "allocs_per_frame"] = frames ? (double)allocations / frames : 0;
        state.counters[prefix + "worst_allocs"] = (double)worstAllocations;
        state.counters[prefix + "allocating_frames"] = allocatingFrames;
    }
};

// arg 0: OpenGL ES; arg 1: the recording back end, made current for this benchmark only.
void BM_StageFrame(benchmark::State& state) {
    const bool recording = state.range(0) != 0;
    if (!EglHeadless::shared(270, 480)) {
        state.SkipWithError("no headless context");
        return;
    }
    const char* traceSetting = std::getenv("ZELVAN_TRACE_ALLOCS");
    const bool trace = traceSetting && *traceSetting && std::string(traceSetting) != "0";
    const bool traceAll = trace && std::string(traceSetting) == "all";
    // =appends: only the level-append frames of the second half of the run, once the pools of
    // level items and proxies have mostly grown.
    const bool traceAppends = trace && std::string(traceSetting) == "appends";
    benchalloc::countOnlyThisThread();
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    testsupport::FixedSizeGame game(270, 480);
    IGame::setInstance(&game);
    ConfigStore::instance().resetForTests();
    // Device records in the cache belong to the renderer that made them.
    ResourceManager::instance().resetForTests();
    Render* previous = Render::current();
    RecordingRender* recorder = recording ? RecordingRender::create() : nullptr;
    // The recorder's log of calls is the test tool's, not the game's.
    if (recorder)
        recorder->logCalls = false;
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
    for (int i = 0; i < kWarmUpFrames; ++i)
        gameFrame(app);
    if (!recording)
        glFinish();

    Road* road = stage->getRoad();
    ActorPlayer* player = stage->getPlayer();
    // Frames from the train's crash on belong to the end of the run, not to the run: autopilot
    // crashes after about 55 s of the sample road with these seeds.
    FrameFigures all, steady, appending;
    int afterCrash = 0;
    if (trace)
        benchalloc::traceStart();
    for (auto _ : state) {
        const size_t aheadBefore = road ? road->aheadLevels.size() : 0;
        const Level* lastBefore = road && aheadBefore ? road->aheadLevels.back() : nullptr;
        const bool crashed = player && player->isCrashed();
        const uint64_t traced = benchalloc::traceCount();
        const uint64_t before = benchalloc::count();
        const auto t0 = std::chrono::steady_clock::now();
        gameFrame(app);
        if (!recording)
            glFinish();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const uint64_t made = benchalloc::count() - before;
        // The road appended a level when its last level ahead changed (a level the pool hands
        // out again is never the one it replaces at the end).
        const size_t aheadAfter = road ? road->aheadLevels.size() : 0;
        const bool appended = aheadAfter > aheadBefore || (aheadAfter && road->aheadLevels.back() != lastBefore);
        // The frame of the crash itself does the crash's once-a-run work (the wreck's physics).
        if (crashed || (player && player->isCrashed())) {
            ++afterCrash;
            if (trace)
                benchalloc::traceRewind(traced);
            continue;
        }
        all.add(ms, made);
        (appended ? appending : steady).add(ms, made);
        if (trace && !traceAll && (traceAppends ? !appended || all.frames < kMeasuredFrames / 2 : appended))
            benchalloc::traceRewind(traced);
    }
    if (trace) {
        benchalloc::traceStop();
        benchalloc::traceReport(stderr, 40);
    }
    all.report(state, "");
    steady.report(state, "steady_");
    state.counters["append_frames"] = appending.frames;
    state.counters["append_allocs_per_frame"] = appending.frames ? (double)appending.allocations / appending.frames : 0;
    state.counters["append_mean_ms"] = appending.frames ? appending.total / appending.frames : 0;
    state.counters["run_frames"] = all.frames;
    state.counters["frames_after_crash"] = afterCrash;
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

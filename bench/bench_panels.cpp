// One frame of the menu's panel container: every visible panel's items and extensions, the
// interface world and the shared particles, with the fixture page sets loaded and the title
// and menu panels on screen (items idling, effects emitting). Reports nanoseconds and heap
// allocations per steady-state frame.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "AllocationCounter.h"
#include "PanelFixtures.h"
#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/render/ResourceManager.h"
#include "engine/ui/UiEvent.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"

namespace {

void BM_PanelContainerFrame(benchmark::State& state) {
    testsupport::TempDir dir;
    panelfixtures::writeBundle(dir.path());
    testsupport::ScopedStores stores(dir.path(), dir.file("documents"));
    testsupport::FixedSizeGame screen(540, 960);
    IGame* oldGame = IGame::instance();
    IGame::setInstance(&screen);
    frameTime().dt = 1.0f / 60.0f;
    ConfigStore::instance().resetForTests();
    ConfigStore::instance().loadFile("configs/panels.txt", "");

    UiEventHandler handler;
    Zelvan::PanelContainer* container = Zelvan::PanelContainer::create(&handler, "bench");
    container->load("title");
    container->load("menu");
    container->findPanel("title")->show(false);
    container->findPanel("menu")->show(false);
    container->findPanel("menu")->findItem("spinner")->setVisible(true);
    // Past the "in" animations, with the idle looping and the particles at their steady count.
    for (int i = 0; i < 240; ++i)
        container->update(1.0f / 60.0f);

    uint64_t allocations = 0;
    double seconds = 0;
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        const auto start = std::chrono::steady_clock::now();
        container->update(1.0f / 60.0f);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += benchalloc::count() - before;
    }
    state.counters["ns_per_frame"] = seconds * 1e9 / (double)state.iterations();
    state.counters["allocs_per_frame"] = (double)allocations / (double)state.iterations();
    state.counters["particles"] = container->getParticleSystem() ? container->getParticleSystem()->particleCount() : 0;
    state.counters["logo_state"] = container->findPanel("title")->findItem("logo")->state();

    delete container;
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(oldGame);
}
BENCHMARK(BM_PanelContainerFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

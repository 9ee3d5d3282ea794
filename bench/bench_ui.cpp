// The interface's hit test: one touch against a page of 200 views, flat and nested, with the heap
// allocations per touch (the goal is none).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine/ui/Page.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "writer/ContentWriter.h"

namespace {

namespace cw = contentwriter;

cw::ObjectFileDesc boxFile(const cw::Properties& top, int children) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), cw::Vec3(1, 1, 1));
    cw::ObjectFileDesc f;
    f.top.name = "top";
    f.top.properties = top;
    f.top.ranges.push_back(cw::wholeRange("plain", (uint32_t)v.size(), (uint32_t)i.size()));
    for (int c = 0; c < children; ++c) {
        cw::ObjectNodeDesc child;
        child.name = "child" + std::to_string(c);
        child.properties = {{"class", "Button"}};
        child.position = cw::Vec3(-0.4f + 0.2f * (float)c, -0.05f, 0);
        child.scale = cw::Vec3(0.15f, 0.15f, 0.15f);
        child.ranges = f.top.ranges;
        f.top.children.push_back(child);
    }
    f.mesh = cw::makeMesh(v, i);
    return f;
}

// A square screen under an orthographic camera looking along +Y: world X and Z -1..1 span it.
struct Setup {
    explicit Setup(bool nested) : stores(dir.path(), dir.file("documents")) {
        IGame::setInstance(&screen);
        testsupport::writeFile(dir.path() + "/data/materials/plain.txt", std::string("emit = 0.5\n"));
        testsupport::writeFile(dir.path() + "/data/ui/box.object", cw::writeObjectFile(boxFile({}, 0)));
        testsupport::writeFile(dir.path() + "/data/ui/row.object",
                               cw::writeObjectFile(boxFile({{"class", "View"}}, 4)));
        cw::BinarySceneWriter w("BIN1.1");
        w.camera("cam", cw::Vec3(0, -10, 0), cw::Vec3(1.5707964f, 0, 0), cw::Layers(), 0, 2.0f);
        // Flat: a 20 x 10 grid of buttons. Nested: 40 rows of a view with four buttons each.
        const int columns = nested ? 4 : 20, rows = nested ? 10 : 10;
        int n = 0;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c, ++n) {
                const float x = -1 + (2.0f / (float)columns) * ((float)c + 0.5f);
                const float z = -1 + 0.2f * ((float)r + 0.5f);
                const float depth = (float)((n * 37) % 101) * 0.01f;  // scattered, some equal
                if (nested)
                    w.object("row" + std::to_string(n), "ui", "row", cw::Vec3(x, depth, z), cw::Vec3(),
                             cw::Vec3(0.45f, 0.45f, 0.18f), {}, {}, cw::Layers());
                else
                    w.object("b" + std::to_string(n), "ui", "box", cw::Vec3(x, depth, z), cw::Vec3(),
                             cw::Vec3(0.09f, 0.09f, 0.18f), {{"class", "Button"}}, {}, cw::Layers());
            }
        testsupport::writeFile(dir.path() + "/data/pages/bench.scene", w.bytes());
        ui = new UIObject();
        page = ui->loadPage("pages/bench.scene", nullptr);
        frameTime().dt = 1.0f / 60.0f;
        ui->update();
    }
    ~Setup() {
        delete ui;
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        rm.resetForTests();
        IGame::setInstance(nullptr);
        frameTime().dt = 0;
    }
    testsupport::TempDir dir;
    testsupport::ScopedStores stores;
    testsupport::FixedSizeGame screen{1000, 1000};
    UIObject* ui = nullptr;
    Page* page = nullptr;
};

void BM_HitTest(benchmark::State& state, bool nested) {
    benchalloc::countOnlyThisThread();
    Setup setup(nested);
    if (setup.page->_views.size() != 200) {
        state.SkipWithError("the page does not hold 200 views");
        return;
    }
    // Touches spread over the screen, some on views and some between them.
    std::vector<Vector3> points;
    for (int i = 0; i < 256; ++i)
        points.push_back(Vector3((float)((i * 53) % 997) / 997.0f, (float)((i * 71) % 991) / 991.0f, 0.5f));
    setup.page->hitTest(points[0]);  // the first test orders the list
    uint64_t allocations = 0, hits = 0, touches = 0;
    size_t next = 0;
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        View* hit = setup.page->hitTest(points[next]);
        allocations += benchalloc::count() - before;
        benchmark::DoNotOptimize(hit);
        hits += hit ? 1 : 0;
        ++touches;
        next = (next + 1) & 255;
    }
    state.counters["allocs_per_touch"] = (double)allocations / (double)(touches ? touches : 1);
    state.counters["hit_share"] = (double)hits / (double)(touches ? touches : 1);
}
BENCHMARK_CAPTURE(BM_HitTest, flat_200, false);
BENCHMARK_CAPTURE(BM_HitTest, nested_40x5, true);

// The rectangle pass of a frame in which one nested button moved (its row is projected again).
void BM_RectanglesAfterOneMove(benchmark::State& state) {
    benchalloc::countOnlyThisThread();
    Setup setup(true);
    View* moving = setup.page->_views[1];
    uint64_t allocations = 0, frames = 0;
    float x = 0;
    for (auto _ : state) {
        x = x > 0.1f ? 0 : x + 0.001f;
        const uint64_t before = benchalloc::count();
        moving->setPosition(Vector3(x, -0.05f, 0));
        setup.ui->update();
        allocations += benchalloc::count() - before;
        ++frames;
    }
    state.counters["allocs_per_frame"] = (double)allocations / (double)(frames ? frames : 1);
}
BENCHMARK(BM_RectanglesAfterOneMove);

}  // namespace

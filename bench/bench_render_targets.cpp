// Linking meshes into a render target's draw lists: many meshes of one material, each with its
// own index range (a level whose objects share one atlas material), and the same meshes coming
// back from the culled list.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "DrawFixtures.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"

namespace {

struct Meshes {
    explicit Meshes(int count) {
        std::vector<uint16_t> indices((size_t)count * 3);
        for (size_t i = 0; i < indices.size(); ++i)
            indices[i] = (uint16_t)(i % 3);
        geometry.reset(drawfixtures::makePositionGeometry({0, 0, 0, 1, 0, 0, 0, 1, 0}, indices));
        for (int i = 0; i < count; ++i) {
            meshes.emplace_back(new Mesh());
            meshes.back()->setGeometry(geometry.get(), i * 3, 3);
            meshes.back()->_material = &material;
        }
    }
    Material material;
    std::unique_ptr<Geometry> geometry;
    std::vector<std::unique_ptr<Mesh>> meshes;
};

void BM_AddMeshesOfOneMaterial(benchmark::State& state) {
    Meshes set((int)state.range(0));
    for (auto _ : state) {
        RenderTarget target;
        for (auto& mesh : set.meshes)
            target.addMesh(mesh.get());
        state.PauseTiming();
        for (auto& mesh : set.meshes)
            target.removeMesh(mesh.get());
        state.ResumeTiming();
    }
    state.counters["per_mesh"] =
        benchmark::Counter((double)state.iterations() * (double)state.range(0),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddMeshesOfOneMaterial)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Every other mesh of one range: pairs must sit together, so each addition looks for its twin.
void BM_AddMeshPairsOfOneMaterial(benchmark::State& state) {
    const int count = (int)state.range(0);
    Meshes set(count);
    for (int i = 0; i < count; ++i)
        set.meshes[(size_t)i]->setGeometry(set.geometry.get(), (i / 2) * 3, 3);
    for (auto _ : state) {
        RenderTarget target;
        for (auto& mesh : set.meshes)
            target.addMesh(mesh.get());
        state.PauseTiming();
        for (auto& mesh : set.meshes)
            target.removeMesh(mesh.get());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddMeshPairsOfOneMaterial)->Arg(20000)->Unit(benchmark::kMillisecond);

// Removing meshes in a scattered order (nodes released one by one) from a full chain.
void BM_RemoveMeshesOfOneMaterial(benchmark::State& state) {
    Meshes set((int)state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        RenderTarget target;
        for (auto& mesh : set.meshes)
            target.addMesh(mesh.get());
        state.ResumeTiming();
        for (size_t i = 0; i < set.meshes.size(); i += 2)
            target.removeMesh(set.meshes[i].get());
        for (size_t i = 1; i < set.meshes.size(); i += 2)
            target.removeMesh(set.meshes[i].get());
    }
}
// Filling the target is not timed and dominates: a fixed count of rounds keeps the run short.
BENCHMARK(BM_RemoveMeshesOfOneMaterial)->Arg(20000)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

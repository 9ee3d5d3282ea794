// Costs of the engine's hottest small helpers: random draws, formatting, logging with no
// sinks, buffer growth, bounds updates and frame ticks.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/bounds.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/utils.h"

namespace {

void BM_MotherRandomNextDouble(benchmark::State& state) {
    MotherRandom r(111);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.nextDouble());
}
BENCHMARK(BM_MotherRandomNextDouble);

void BM_MotherRandomNextInt(benchmark::State& state) {
    MotherRandom r(111);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.nextInt(-1000, 1000));
}
BENCHMARK(BM_MotherRandomNextInt);

void BM_MotherRandomSeed(benchmark::State& state) {
    MotherRandom r;
    uint32_t s = 0;
    for (auto _ : state) {
        r.seed(++s);
        benchmark::DoNotOptimize(r.x0);
    }
}
BENCHMARK(BM_MotherRandomSeed);

// Short texts fit the first block; long ones take the second formatting pass.
void BM_FormatString(benchmark::State& state) {
    std::string arg((size_t)state.range(0), 'x');
    std::string out;
    for (auto _ : state) {
        formatString(out, "%s:%d:%f", arg.c_str(), 42, 1.5);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)out.size());
}
BENCHMARK(BM_FormatString)->Arg(16)->Arg(400)->Arg(2000);

void BM_FormatTemp(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(formatTemp("line %d: unexpected '%s'", 12, "token"));
}
BENCHMARK(BM_FormatTemp);

// The cost every Logger::message pays before any sink: formatting into the stack line.
void BM_LoggerMessageNoSinks(benchmark::State& state) {
    Logger::resetForTests();
    for (auto _ : state)
        Logger::message("[Bench] value %d of %s", 7, "something");
}
BENCHMARK(BM_LoggerMessageNoSinks);

void BM_BufferAppend(benchmark::State& state) {
    const int n = (int)state.range(0);
    for (auto _ : state) {
        Buffer b(0);
        for (int i = 0; i < n; ++i)
            b.Append((uint8_t)i);
        benchmark::DoNotOptimize(b.data);
    }
    state.SetBytesProcessed(state.iterations() * n);
}
BENCHMARK(BM_BufferAppend)->Arg(1 << 10)->Arg(1 << 16);

void BM_BoundsTransform(benchmark::State& state) {
    Bounds b(Vector3(-1, -2, -3), Vector3(4, 5, 6));
    Matrix4 m = Matrix4::compose(Vector3(10, 20, 30), Vector3(0.3f, 0.2f, 0.1f), Vector3(1, 2, 3));
    for (auto _ : state) {
        b.transform(m);
        benchmark::DoNotOptimize(b._worldMin);
    }
}
BENCHMARK(BM_BoundsTransform);

// A node with several meshes, as every moved node does once per frame.
void BM_BoundsUpdateFromMembers(benchmark::State& state) {
    std::vector<Bounds> meshes((size_t)state.range(0));
    Bounds node;
    for (size_t i = 0; i < meshes.size(); ++i) {
        meshes[i].set(Vector3((float)i, 0, 0), Vector3((float)i + 1, 1, 1));
        node.merge(&meshes[i]);
    }
    for (auto _ : state) {
        node.updateFromMembers();
        benchmark::DoNotOptimize(node._worldMax);
    }
}
BENCHMARK(BM_BoundsUpdateFromMembers)->Arg(1)->Arg(8)->Arg(64);

void BM_BoundsPlaneTests(benchmark::State& state) {
    Bounds b(Vector3(0, 0, 0), Vector3(2, 2, 2));
    const Vector3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    uint8_t flags[6][3];
    for (int p = 0; p < 6; ++p)
        for (int a = 0; a < 3; ++a)
            flags[p][a] = normals[p][a] < 0;
    for (auto _ : state) {
        int outside = 0;
        for (int p = 0; p < 6; ++p)
            outside += b.isOutsidePlane(-5, normals[p], flags[p]);
        benchmark::DoNotOptimize(outside);
    }
}
BENCHMARK(BM_BoundsPlaneTests);

void BM_ClockTick(benchmark::State& state) {
    FrameTime ft;
    Clock::start(ft);
    for (auto _ : state) {
        Clock::tick(ft);
        benchmark::DoNotOptimize(ft.dt);
    }
}
BENCHMARK(BM_ClockTick);

}  // namespace

// Particle cost per frame with 10,000 live particles: the fixed step (motion, births, deaths) and
// the sprite geometry build, reported in nanoseconds per live particle. The build is set against
// a plain loop that writes the same 156 bytes a particle (four 36-byte vertices, six indices)
// with no key frames, colours or rotation: the floor any build can reach.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>
#include <string>

#include "ParticleFixtures.h"
#include "engine/random.h"
#include "engine/render/PSParticleSystem.h"
#include "engine_game/Camera.h"

using namespace particlefixtures;

namespace {

// 10,000 a second living one second each: about 10,000 alive at any time once warmed up.
const char* const kPlain =
    "[layer] { name = L sprite_geom = quad particles_per_sec = 10000 10000 life_times = 0.2 : 0.6 : 0.2 "
    "sizes = anim4_rnd 0.1 0.2 : 0.2 0.3 : 0.2 0.3 : 0 0.1 "
    "argb_colors = anim4 0 255 200 100 : 255 255 200 100 : 200 255 150 50 : 0 200 100 50 "
    "sphere_emitter { inclination = 0 60 azimuth = 0 360 radius = 0 0.2 speed = 1 3 } drag = 0 0 -5 }\n"
    "[emitter] { name = E add_layer L }\n";

// The same with spin, sprite rotation, damping and local particles.
const char* const kBusy =
    "[layer] { name = L sprite_geom = quad particles_per_sec = 10000 10000 life_times = 0.2 : 0.6 : 0.2 "
    "sizes = anim4 0.1 0.2 0.3 0.1 argb_colors = fixed 255 255 255 255 spin_vector = 0 0 1 spin = minmax -2 2 "
    "sprite_rotation = minmax -90 90 random_start_rotation = 0 360 velDamp = 0.5 "
    "sphere_emitter { inclination = 0 60 azimuth = 0 360 radius = 0 0.2 speed = 1 3 } drag = 0 0 -5 }\n"
    "[emitter] { name = E add_layer L particles_are_local = true }\n";

struct Fixture {
    EffectBundle bundle;
    SpriteSet sprites;
    PSParticleSystem system;
    std::unique_ptr<Camera> camera{new Camera(nullptr)};

    Fixture(const char* emitters, bool sort) {
        motherRandom().seed(42);
        sprites.add("quad", makeSprite());
        bundle.write("fx", std::string(emitters) + (sort ? "sort = true\n" : ""));
        system.init("fx", sprites.list);
        Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 0, 1), Vector3(0, -1, 0)};
        camera->setTransform(rows, Vector3(0, -10, 1), Vector3(1, 1, 1));
        camera->updateTransform();
        system.update(0, camera.get());
        system.addEmitter(Vector3(), "E");
        for (int i = 0; i < 90; ++i)  // a second and a half: births and deaths balance
            system.update(PSParticleSystem::kStepTime, camera.get());
    }
};

enum Work { StepOnly = 1, BuildOnly = 2, StepAndBuild = 3 };

void run(benchmark::State& state, const char* emitters, bool sort, int work) {
    Fixture f(emitters, sort);
    int64_t particles = 0;
    for (auto _ : state) {
        if (work & StepOnly)
            f.system.update(PSParticleSystem::kStepTime, f.camera.get());
        if (work & BuildOnly)
            f.system.buildGeometry();
        particles += f.system.particleCount();
        benchmark::DoNotOptimize(f.system._geometry->_vertexCount);
    }
    state.counters["live"] = f.system.particleCount();
    // Seconds per particle, shown with SI prefixes (n = nanoseconds per particle).
    state.counters["per_particle"] =
        benchmark::Counter((double)particles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Four vertices and six indices a particle: the sprite's corners scaled and moved to the particle,
// its texture coordinates, the normal (1, 0, 0) and one colour.
uint32_t plainLoop(const PSParticleSystem& system, const Geometry& sprite, uint8_t* vertices, uint16_t* indices) {
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    for (const PSParticleNode* node = system._first; node; node = node->next) {
        const PSParticle& p = *node->particle;
        const float size = p.sizes[0];
        uint8_t* out = vertices + (size_t)vertexCount * PSGeometry::VertexStride;
        for (uint32_t v = 0; v < 4; ++v, out += PSGeometry::VertexStride) {
            const float* in = reinterpret_cast<const float*>(sprite._vertices + (size_t)v * sprite._stride);
            const float vertex[8] = {in[0] * size + p.position.x, in[1] * size + p.position.y,
                                     in[2] * size + p.position.z, in[3], in[4], 1.0f, 0.0f, 0.0f};
            std::memcpy(out, vertex, sizeof(vertex));
            out[32] = 200;
            out[33] = 100;
            out[34] = 50;
            out[35] = 255;
        }
        for (uint32_t i = 0; i < 6; ++i)
            indices[indexCount + i] = (uint16_t)(sprite._indices[i] + vertexCount);
        vertexCount += 4;
        indexCount += 6;
    }
    return vertexCount;
}

void BM_ParticlesPlainLoop(benchmark::State& state) {
    Fixture f(kPlain, false);
    const Geometry& sprite = *f.sprites.list[0].geometry;
    std::vector<uint8_t> vertices((size_t)PSParticleSystem::MaxParticles * 4 * PSGeometry::VertexStride);
    std::vector<uint16_t> indices((size_t)PSParticleSystem::MaxParticles * 6);
    int64_t particles = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(plainLoop(f.system, sprite, vertices.data(), indices.data()));
        benchmark::ClobberMemory();
        particles += f.system.particleCount();
    }
    state.counters["per_particle"] =
        benchmark::Counter((double)particles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Both over the same particles in one run, so the ratio holds for one machine load.
void BM_ParticlesBuildAgainstPlainLoop(benchmark::State& state) {
    Fixture f(kPlain, false);
    const Geometry& sprite = *f.sprites.list[0].geometry;
    std::vector<uint8_t> vertices((size_t)PSParticleSystem::MaxParticles * 4 * PSGeometry::VertexStride);
    std::vector<uint16_t> indices((size_t)PSParticleSystem::MaxParticles * 6);
    typedef std::chrono::steady_clock Clock;
    double build = 0, plain = 0, particles = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        f.system.buildGeometry();
        const Clock::time_point t1 = Clock::now();
        benchmark::DoNotOptimize(plainLoop(f.system, sprite, vertices.data(), indices.data()));
        benchmark::ClobberMemory();
        const Clock::time_point t2 = Clock::now();
        build += std::chrono::duration<double, std::nano>(t1 - t0).count();
        plain += std::chrono::duration<double, std::nano>(t2 - t1).count();
        particles += f.system.particleCount();
    }
    state.counters["build_ns"] = build / particles;
    state.counters["plain_ns"] = plain / particles;
    state.counters["ratio"] = build / plain;
}

void BM_ParticlesStepAndBuild(benchmark::State& state) { run(state, kPlain, false, StepAndBuild); }
void BM_ParticlesStepAndBuildSorted(benchmark::State& state) { run(state, kPlain, true, StepAndBuild); }
void BM_ParticlesStepAndBuildBusy(benchmark::State& state) { run(state, kBusy, false, StepAndBuild); }
void BM_ParticlesStep(benchmark::State& state) { run(state, kPlain, false, StepOnly); }
void BM_ParticlesBuild(benchmark::State& state) { run(state, kPlain, false, BuildOnly); }

}  // namespace

BENCHMARK(BM_ParticlesStepAndBuild);
BENCHMARK(BM_ParticlesStepAndBuildSorted);
BENCHMARK(BM_ParticlesStepAndBuildBusy);
BENCHMARK(BM_ParticlesStep);
BENCHMARK(BM_ParticlesBuild);
BENCHMARK(BM_ParticlesPlainLoop);
BENCHMARK(BM_ParticlesBuildAgainstPlainLoop);

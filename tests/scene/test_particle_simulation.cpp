// The particle simulation: fixed steps and the backlog cap, spawning, life and release, motion,
// and the sprite geometry built for a camera. Runs repeat exactly with the shared generator
// seeded; ranges with min = max make the values themselves known.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ParticleFixtures.h"
#include "engine/random.h"
#include "engine/render/Mesh.h"
#include "engine/render/PSParticleSystem.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "support_world.h"

using namespace particlefixtures;

namespace {

const float kStep = PSParticleSystem::kStepTime;

// A folder "fx" with the given text, a quad sprite "quad" (radius 0.5) and a camera at the origin
// looking down -Z.
struct Sim {
    EffectBundle bundle;
    SpriteSet sprites;
    ReleaseLog handler;  // outlives the system, which tells it about its emitters when destroyed
    PSParticleSystem system;
    std::unique_ptr<Camera> camera{new Camera(nullptr)};

    explicit Sim(const std::string& emitters, Geometry* sprite = nullptr) {
        motherRandom().seed(1234);
        sprites.add("quad", sprite ? sprite : makeSprite());
        bundle.write("fx", emitters);
        init_ok = system.init("fx", sprites.list);
        system._eventHandler = &handler;
        system.update(0.0f, camera.get());
    }
    PSEmitter* add(const char* name, const Vector3& at = Vector3()) { return system.addEmitter(at, name); }
    void steps(int n) {
        for (int i = 0; i < n; ++i)
            system.step();
    }
    std::vector<PSParticle*> particles() const {
        std::vector<PSParticle*> out;
        for (PSParticleNode* n = system.firstParticle(); n; n = n->next)
            out.push_back(n->particle);
        return out;
    }
    PSParticle* only() const {
        std::vector<PSParticle*> all = particles();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? nullptr : all[0];
    }
    bool init_ok = false;
};

// A quad layer named "L" with the given keys and an emitter "E" of it.
std::string effect(const std::string& layerKeys, const std::string& emitterKeys = "") {
    return "[layer] { name = L sprite_geom = quad " + layerKeys + " }\n[emitter] { name = E add_layer L " +
           emitterKeys + " }\n";
}

// How many fixed steps make the age a particle reaches after them.
int stepsForAge(float age) {
    float a = 0.0f;
    for (int k = 0; k < 100000; ++k) {
        if (a == age)
            return k;
        a += kStep;
    }
    return -1;
}

int stepsUntilAge(float life) {
    float a = 0.0f;
    int k = 0;
    while (a < life) {
        a += kStep;
        ++k;
    }
    return k;
}

void placeCamera(Camera& camera, const Vector3 rows[3], const Vector3& position) {
    camera.setTransform(rows, position, Vector3(1, 1, 1));
    camera.updateTransform();
}

Vector3 vertexPosition(const PSGeometry& g, uint32_t v) {
    float f[3];
    std::memcpy(f, g._vertices + (size_t)v * PSGeometry::VertexStride, sizeof(f));
    return {f[0], f[1], f[2]};
}

const uint8_t* vertexColour(const PSGeometry& g, uint32_t v) {
    return g._vertices + (size_t)v * PSGeometry::VertexStride + 32;
}

void expectNear(const Vector3& got, const Vector3& want, float tolerance = 1e-4f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

// ---- Time steps and the backlog cap ----

struct BacklogCase {
    const char* name;
    std::vector<float> frames;
    std::vector<int> steps;  // fixed steps each frame runs
};

class ParticleBacklog : public ::testing::TestWithParam<BacklogCase> {};

TEST_P(ParticleBacklog, RunsTheFixedStepsTheBacklogAllows) {
    const BacklogCase& c = GetParam();
    // One particle spawned in the first step that lives long: its age counts the steps.
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 1000 : 0 : 0"));
    ASSERT_TRUE(sim.init_ok);
    sim.add("E");
    int total = 0;
    for (size_t i = 0; i < c.frames.size(); ++i) {
        sim.system.update(c.frames[i], sim.camera.get());
        total += c.steps[i];
        const int ran = sim.system.particleCount() ? stepsForAge(sim.only()->age) : 0;
        EXPECT_EQ(ran, total) << "frame " << i;
    }
}

std::vector<float> repeated(float dt, int n) { return std::vector<float>((size_t)n, dt); }

const BacklogCase kBacklogCases[] = {
    {"FiftyMillisecondsRunTwoAndKeepTheRest", {0.05f, 0.0f, 1e-6f}, {2, 0, 1}},
    {"HalfASecondIsCutToFourSteps", {0.5f, 0.0f}, {4, 0}},
    {"TwoSlowFramesRunFourEach", {0.1f, 0.1f}, {4, 4}},
    {"ShortFramesAccumulate", {0.01f, 0.01f, 0.01f}, {0, 1, 0}},
    {"SixtyFramesOfOneSixtiethRunSixtySteps", repeated(1.0f / 60.0f, 60), std::vector<int>(60, 1)},
};

INSTANTIATE_TEST_SUITE_P(Particles, ParticleBacklog, ::testing::ValuesIn(kBacklogCases),
                         [](const ::testing::TestParamInfo<BacklogCase>& info) { return std::string(info.param.name); });

TEST(ParticleSimulation, BacklogKeepsJustUnderOneStep) {
    Sim sim(effect("life_times = 1 : 0 : 0"));
    sim.system.update(0.05f, sim.camera.get());
    EXPECT_FLOAT_EQ((float)sim.system._backlog, 0.0166666657f);
    EXPECT_LT(sim.system._backlog, (double)kStep);
    sim.system.update(0.5f, sim.camera.get());
    EXPECT_LT(sim.system._backlog, (double)kStep);
}

// ---- Spawn counts ----

struct SpawnCase {
    const char* name;
    const char* layerKeys;
    std::vector<std::pair<int, int>> checkpoints;  // (steps run, particles spawned so far)
};

class ParticleSpawning : public ::testing::TestWithParam<SpawnCase> {};

TEST_P(ParticleSpawning, SpawnsWhatTheRateAndLimitsAllow) {
    const SpawnCase& c = GetParam();
    Sim sim(effect(std::string(c.layerKeys) + " life_times = 1000 : 0 : 0"));
    ASSERT_TRUE(sim.init_ok);
    sim.add("E");
    int ran = 0;
    for (const auto& point : c.checkpoints) {
        sim.steps(point.first - ran);
        ran = point.first;
        EXPECT_EQ(sim.system.particleCount(), point.second) << "after " << ran << " steps";
    }
}

const SpawnCase kSpawnCases[] = {
    // Nothing in the half-second delay, the first particle about 0.1 s later, nine in all (the
    // time adds up in single precision just under 1 s when the target is last truncated).
    {"DelayAndLifeTime", "particles_per_sec = 10 10 delay = 0.5 life_time = 1",
     {{30, 0}, {35, 0}, {36, 1}, {60, 5}, {200, 9}}},
    // The minimum count keeps the layer spawning past its life time, to twenty at about 2 s.
    {"CountMinimumOutlivesTheLifeTime", "particles_per_sec = 10 10 life_time = 0.5 particle_count_min = 20",
     {{30, 5}, {60, 9}, {120, 19}, {121, 20}, {300, 20}}},
    // The maximum is tested before spawning: a step whose target jumps to 8 spawns all 8.
    {"CountMaximumIsTestedBeforeSpawning", "particles_per_sec = 480 480 particle_count_max = 5",
     {{1, 8}, {100, 8}}},
    // The target is truncated from a time summed in single precision, a hair under whole seconds.
    {"RateWithoutEnd", "particles_per_sec = 60 60", {{1, 1}, {60, 59}, {120, 119}}},
};

INSTANTIATE_TEST_SUITE_P(Particles, ParticleSpawning, ::testing::ValuesIn(kSpawnCases),
                         [](const ::testing::TestParamInfo<SpawnCase>& info) { return std::string(info.param.name); });

TEST(ParticleSimulation, FullPoolStopsSpawningAndTheLayerCatchesUpLater) {
    Sim sim(effect("particles_per_sec = 700000 700000 life_times = 0.02 : 0 : 0"));
    PSEmitter* e = sim.add("E");
    sim.steps(1);
    EXPECT_EQ(sim.system.particleCount(), PSParticleSystem::MaxParticles);
    EXPECT_EQ(e->_layers[0].count, PSParticleSystem::MaxParticles);
    sim.steps(1);  // the pool is still full when the layer runs; then they all die
    EXPECT_EQ(sim.system.particleCount(), 0);
    EXPECT_EQ(e->_layers[0].count, PSParticleSystem::MaxParticles);
    sim.steps(1);
    EXPECT_EQ(sim.system.particleCount(), PSParticleSystem::MaxParticles);
    EXPECT_EQ(e->_layers[0].count, 2 * PSParticleSystem::MaxParticles);
}

// ---- Life and release ----

TEST(ParticleSimulation, ALifeOfTwoSecondsEndsAtTwoSecondsAndTheEmitterGoesTheStepAfter) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 0.5 : 1 : 0.5"));
    PSEmitter* e = sim.add("E");
    sim.steps(1);
    ASSERT_EQ(sim.system.particleCount(), 1);
    EXPECT_EQ(sim.only()->life, 2.0f);
    const int dies = stepsUntilAge(2.0f);
    sim.steps(dies - 2);
    EXPECT_EQ(sim.system.particleCount(), 1);
    sim.steps(1);
    EXPECT_EQ(sim.system.particleCount(), 0);
    EXPECT_EQ(e->_liveParticles, 0);
    EXPECT_TRUE(sim.handler.released.empty());
    sim.steps(1);
    EXPECT_EQ(sim.handler.released, std::vector<PSEmitter*>{e});
    EXPECT_EQ(sim.handler.systems, std::vector<PSParticleSystem*>{&sim.system});
    EXPECT_TRUE(sim.system._emitters.empty());
    sim.steps(10);
    EXPECT_EQ(sim.handler.released.size(), 1u);
}

TEST(ParticleSimulation, AParticleWithoutLifeDiesInItsFirstStepUndrawn) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 0 : 0 : 0"));
    PSEmitter* e = sim.add("E");
    sim.steps(1);
    EXPECT_EQ(sim.system.particleCount(), 0);
    EXPECT_EQ(e->_layers[0].count, 1);
    sim.system.buildGeometry();
    EXPECT_EQ(sim.system._geometry->_vertexCount, 0u);
    sim.steps(1);
    EXPECT_EQ(sim.handler.count(e), 1);
}

TEST(ParticleSimulation, ThreeLoopsWithOneSecondPausesAreReleasedOnce) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 2 life_times = 0.1 : 0 : 0",
                   "loop = 3 : 1 1"));
    PSEmitter* e = sim.add("E");
    std::vector<int> spawnSteps;
    int releasedAt = -1;
    for (int step = 1; step <= 400; ++step) {
        sim.steps(1);
        for (PSParticle* p : sim.particles())
            if (p->age == kStep)
                spawnSteps.push_back(step);
        if (releasedAt < 0 && !sim.handler.released.empty())
            releasedAt = step;
    }
    ASSERT_EQ(spawnSteps.size(), 6u);
    // Two particles a pass; about a second between passes.
    EXPECT_EQ(spawnSteps[1] - spawnSteps[0], 1);
    EXPECT_GE(spawnSteps[2] - spawnSteps[1], 59);
    EXPECT_LE(spawnSteps[2] - spawnSteps[1], 63);
    EXPECT_EQ(spawnSteps[4] - spawnSteps[2], spawnSteps[2] - spawnSteps[0]);
    // Released once the last particle of the third pass has died (0.1 s after its spawn).
    EXPECT_EQ(sim.handler.count(e), 1);
    EXPECT_EQ(releasedAt, spawnSteps[5] + stepsUntilAge(0.1f));
}

TEST(ParticleSimulation, AStoppedEmitterLetsItsParticlesLiveOut) {
    Sim sim(effect("particles_per_sec = 60 60 life_times = 0.5 : 0 : 0"));
    PSEmitter* e = sim.add("E");
    sim.steps(10);  // one particle a step
    EXPECT_EQ(sim.system.particleCount(), 10);
    sim.system.stopEmitter(e);
    sim.system.stopEmitter(nullptr);
    sim.steps(1);
    EXPECT_EQ(sim.system.particleCount(), 10);
    // The last one, spawned in step 10, dies when its age reaches its life.
    const int lastDiesAt = 9 + stepsUntilAge(0.5f);
    int step = 11;
    while (sim.system.particleCount() > 0 && step < 300) {
        sim.steps(1);
        ++step;
    }
    EXPECT_EQ(step, lastDiesAt);
    EXPECT_TRUE(sim.handler.released.empty());
    sim.steps(1);
    EXPECT_EQ(sim.handler.count(e), 1);
}

const char* const kCarrierAndTrail =
    "[layer] { name = carrier sprite_geom = quad particles_per_sec = 60 60 particle_count_max = 1 "
    "life_times = 0.5 : 0 : 0 embedded_emitter = trail sphere_emitter { speed = 6 6 } }\n"
    "[layer] { name = puff sprite_geom = quad particles_per_sec = 30 30 life_times = 0.2 : 0 : 0 }\n"
    "[layer] { name = blip sprite_geom = quad particles_per_sec = 60 60 particle_count_max = 1 "
    "life_times = 0.05 : 0 : 0 }\n"
    "[emitter] { name = rocket add_layer carrier }\n"
    "[emitter] { name = trail add_layer puff }\n"
    "[emitter] { name = shortTrail add_layer blip }\n"
    "[layer] { name = shortCarrier copy_layer carrier embedded_emitter = shortTrail name = shortCarrier }\n"
    "[emitter] { name = shortRocket add_layer shortCarrier }\n";

TEST(ParticleSimulation, ADyingParticleStopsItsEmbeddedEmitter) {
    Sim sim(kCarrierAndTrail);
    ASSERT_TRUE(sim.init_ok);
    PSEmitter* rocket = sim.add("rocket");
    sim.steps(1);
    ASSERT_EQ(sim.system._emitters.size(), 2u);
    PSEmitter* trail = sim.system._emitters[1];
    EXPECT_STREQ(trail->_type->name, "trail");
    PSParticle* carrier = sim.only();
    EXPECT_EQ(carrier->embeddedEmitter, trail);
    sim.steps(10);
    // The trail rides on its particle.
    for (PSParticle* p : sim.particles())
        if (p->emitter == rocket)
            expectNear(trail->_position, p->position);
    sim.steps(stepsUntilAge(0.5f));
    EXPECT_TRUE(trail->_stopped);
    // The trail's own particles live out, then both emitters are gone and the run stays empty.
    sim.steps(60);
    EXPECT_EQ(sim.system.particleCount(), 0);
    EXPECT_TRUE(sim.system._emitters.empty());
    EXPECT_EQ(sim.handler.count(rocket), 1);
    EXPECT_EQ(sim.handler.count(trail), 1);
}

TEST(ParticleSimulation, AnEmbeddedEmitterEndingFirstLeavesItsCarrierUnlinked) {
    Sim sim(kCarrierAndTrail);
    sim.add("shortRocket");
    sim.steps(1);
    ASSERT_EQ(sim.system._emitters.size(), 2u);
    PSEmitter* shortTrail = sim.system._emitters[1];
    sim.steps(10);
    EXPECT_EQ(sim.handler.count(shortTrail), 1);
    PSParticle* carrier = sim.only();
    EXPECT_EQ(carrier->embeddedEmitter, nullptr);
    sim.steps(60);  // the carrier dies without touching the released emitter
    EXPECT_TRUE(sim.system._emitters.empty());
}

TEST(ParticleSimulation, RemoveAllEmittersReleasesEveryEmitterInOrder) {
    Sim sim(effect("particles_per_sec = 60 60 life_times = 5 : 0 : 0"));
    PSEmitter* a = sim.add("E");
    PSEmitter* b = sim.add("E", Vector3(1, 0, 0));
    sim.steps(5);
    sim.system.removeAllEmitters();
    EXPECT_EQ(sim.handler.released, (std::vector<PSEmitter*>{a, b}));
    EXPECT_EQ(sim.system.particleCount(), 0);
    EXPECT_EQ(sim.system.firstParticle(), nullptr);
    sim.steps(5);
    EXPECT_EQ(sim.system.particleCount(), 0);
}

TEST(ParticleSimulation, DestroyingTheSystemTellsTheHandler) {
    ReleaseLog handler;
    PSEmitter* e = nullptr;
    {
        Sim sim(effect("particles_per_sec = 60 60"));
        sim.system._eventHandler = &handler;
        e = sim.add("E");
        sim.steps(3);
    }
    EXPECT_EQ(handler.released, std::vector<PSEmitter*>{e});
}

TEST(ParticleSimulation, UnknownEmitterNamesGiveNone) {
    Sim sim(effect(""));
    LogLines log;
    EXPECT_EQ(sim.add("nope"), nullptr);
    EXPECT_EQ(sim.add(""), nullptr);
    EXPECT_TRUE(log.contains("[PSParticleSystem::addEmitter] Hiba: nincs 'nope' nevu emitter")) << log.all();
    EXPECT_TRUE(sim.system._emitters.empty());
}

// ---- Motion ----

TEST(ParticleSimulation, SpinTurnsTwoDegreesEachStepAboutTheEmitter) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0 "
                   "spin_vector = 0 0 1 spin = minmax 2 2 sphere_emitter { inclination = 90 90 radius = 1 1 }"));
    sim.add("E", Vector3(3, 4, 5));
    sim.steps(60);  // the spawn step turns it too
    const PSParticle* p = sim.only();
    const float a = 120.0f * 3.1415927f / 180.0f;
    expectNear(p->position, Vector3(3 + std::cos(a), 4 + std::sin(a), 5), 2e-4f);
}

TEST(ParticleSimulation, DragDampingAndInheritedVelocity) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0 velDamp = 0.5 "
                   "emitterVelocityFactor = 0.5 particle_direction = vector 1 0 0 drag = 0 0 -6 "
                   "sphere_emitter { speed = 10 10 }"));
    PSEmitter* e = sim.add("E");
    e->_velocity = Vector3(0, 4, 0);
    // The direction vector is taken in the emitter's frame: its first axis is world +Y.
    e->_rotation[0] = Vector3(0, 1, 0);
    e->_rotation[1] = Vector3(-1, 0, 0);
    sim.steps(1);
    const PSParticle* p = sim.only();
    const float damp = std::pow(0.5f, 1.0f / 60.0f);
    expectNear(p->velocity, Vector3(0, 12 * damp, -6 * kStep * damp), 1e-4f);
    sim.steps(59);
    EXPECT_NEAR(p->velocity.y, 6.0f, 1e-3f);  // half the speed is kept after one second
}

TEST(ParticleSimulation, OffsetPullsTheEmitterTowardTheCamera) {
    Sim sim(effect("", "offset = 2"));
    PSEmitter* e = sim.add("E", Vector3(0, 10, 0));
    ASSERT_NE(e, nullptr);
    expectNear(e->_position, Vector3(0, 8, 0));
    e->setPosition(Vector3(0, 0, 0));  // at the camera: the old position stays
    expectNear(e->_position, Vector3(0, 8, 0));
}

TEST(ParticleSimulation, OffsetBeforeAnyCameraIsPulledAtTheFirstCameraUpdate) {
    // A still particle born at its emitter shows where the emitter stood when it spawned; a local
    // one would show the pull twice if the late pull counted as a movement of the emitter.
    for (const char* local : {"false", "true"}) {
        EffectBundle bundle;
        SpriteSet sprites;
        sprites.add("quad", makeSprite());
        bundle.write("fx", effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0",
                                  std::string("offset = 2 particles_are_local = ") + local));
        PSParticleSystem system;
        ASSERT_TRUE(system.init("fx", sprites.list));
        PSEmitter* e = system.addEmitter(Vector3(0, 10, 0), "E");
        ASSERT_NE(e, nullptr) << local;
        expectNear(e->_position, Vector3(0, 10, 0));  // no line of sight yet: taken as it is
        system.update(0.0f, nullptr);
        expectNear(e->_position, Vector3(0, 10, 0));

        Camera camera(nullptr);  // at the origin
        system.update(kStep, &camera);
        expectNear(e->_position, Vector3(0, 8, 0));
        ASSERT_EQ(system.particleCount(), 1) << local;
        expectNear(system.firstParticle()->particle->position, Vector3(0, 8, 0));
        // From then on placing it pulls at once, as for any emitter placed after a camera.
        e->setPosition(Vector3(0, -6, 0));
        expectNear(e->_position, Vector3(0, -4, 0));
        EXPECT_FALSE(e->_pullPending) << local;
    }
}

TEST(ParticleSimulation, LocalParticlesFollowTheEmitter) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0 "
                   "sphere_emitter { inclination = 90 90 radius = 1 1 }",
                   "particles_are_local = true"));
    PSEmitter* e = sim.add("E");
    sim.steps(1);
    expectNear(sim.only()->position, Vector3(1, 0, 0));
    // Moved to (5, 0, 0) and turned a quarter about Z: the particle rides along.
    e->_position = Vector3(5, 0, 0);
    e->_rotation[0] = Vector3(0, 1, 0);
    e->_rotation[1] = Vector3(-1, 0, 0);
    sim.steps(1);
    expectNear(sim.only()->position, Vector3(5, 1, 0));
    sim.steps(1);
    expectNear(sim.only()->position, Vector3(5, 1, 0));
}

TEST(ParticleSimulation, ApplyTransformMovesEverythingOnce) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0 "
                   "sphere_emitter { inclination = 90 90 radius = 1 1 }",
                   "particles_are_local = true"));
    PSEmitter* e = sim.add("E", Vector3(2, 0, 0));
    sim.steps(1);
    sim.system.applyTransform(Matrix4::translation(Vector3(-10, 0, 0)));
    expectNear(e->_position, Vector3(-8, 0, 0));
    expectNear(sim.only()->position, Vector3(-7, 0, 0));
    sim.steps(1);  // the shift is not taken for a movement of the emitter
    expectNear(sim.only()->position, Vector3(-7, 0, 0));
}

TEST(ParticleSimulation, SeededRunsRepeatExactly) {
    const std::string text = effect(
        "particles_per_sec = 20 90 life_times_rnd = 0.2 0.6 : 0 0.3 : 0.1 0.2 sizes = anim4_rnd 0.1 0.3 : 0.2 0.5 "
        ": 0.1 0.4 : 0 0.1 spin_vector = 0 0 1 spin = minmax -3 3 random_start_rotation = 0 360 "
        "sprite_rotation = minmax -90 90 sphere_emitter { inclination = 0 60 azimuth = 0 360 radius = 0 0.5 "
        "speed = 1 4 } drag = 0 0 -3",
        "loop = 2 : 0.1 0.4");
    auto run = [&]() {
        Sim sim(text);
        motherRandom().seed(99);
        sim.add("E");
        sim.add("E", Vector3(1, 2, 3));
        std::vector<float> state;
        for (int frame = 0; frame < 90; ++frame) {
            sim.system.update(0.021f, sim.camera.get());
            for (PSParticle* p : sim.particles()) {
                state.push_back(p->position.x);
                state.push_back(p->position.y);
                state.push_back(p->position.z);
                state.push_back(p->life);
                state.push_back(p->sizes[1]);
                state.push_back(p->startAngle);
            }
        }
        return state;
    };
    const std::vector<float> first = run();
    EXPECT_GT(first.size(), 1000u);
    EXPECT_EQ(run(), first);
}

// ---- The sample effects ----

// The sample "pickup" is started where a pickup lies, often while the level loads and before the
// system's first update. Its offset then waits for the camera: the emitter must not stop the
// program, and once the camera is known it sits half a unit toward it and runs to its end.
TEST(ParticleSampleEffects, PickupStartedBeforeTheFirstUpdateRunsWhereTheCameraSeesIt) {
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    ReleaseLog handler;
    {
        World world(0);
        PSParticleSystem* system = world.createParticleSystem("particles");
        ASSERT_NE(system, nullptr);
        system->_eventHandler = &handler;
        motherRandom().seed(7);

        const Vector3 at(0, 10, 0);
        PSEmitter* pickup = system->addEmitter(at, "pickup");
        ASSERT_NE(pickup, nullptr);
        ASSERT_EQ(pickup->_type->offset, 0.5f);
        expectNear(pickup->_position, at);

        // A camera 10 units away: the emitter comes 0.5 units along the line toward it.
        Camera camera(nullptr);
        const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 0, 1), Vector3(0, -1, 0)};
        const Vector3 eye(0, 4, 8);
        placeCamera(camera, rows, eye);
        const Vector3 pulled = eye + (at - eye) * 0.95f;
        system->update(1.0f / 60.0f, &camera);
        expectNear(pickup->_position, pulled);

        // The first step's ring flies out flat around the pulled position, all at one distance.
        ASSERT_GT(system->particleCount(), 0);
        const float travelled = 3.0f * std::pow(0.1f, 1.0f / 60.0f) * kStep;
        for (PSParticleNode* n = system->firstParticle(); n; n = n->next) {
            const PSParticle* p = n->particle;
            EXPECT_STREQ(p->layerType->name, "sparkle_ring");
            const Vector3 d = p->position - pulled;
            EXPECT_NEAR(d.z, 0.0f, 1e-5f);
            EXPECT_NEAR(d.length(), travelled, 1e-4f);
        }
        system->buildGeometry();
        EXPECT_GT(system->_geometry->_vertexCount, 0u);

        // Both layers spawn, the effect ends by itself and its owner hears it once.
        int frames = 0;
        for (; frames < 600 && handler.released.empty(); ++frames) {
            expectNear(pickup->_position, pulled);
            system->update(1.0f / 60.0f, &camera);
        }
        EXPECT_EQ(handler.released, std::vector<PSEmitter*>{pickup});
        EXPECT_GT(frames, 20);  // the floating sparkles live at least 0.6 s
        EXPECT_EQ(system->particleCount(), 0);
        EXPECT_TRUE(system->_emitters.empty());
        world.destroyParticleSystem(system);
    }
    worldtest::releaseResources();
}

// ---- Geometry ----

TEST(ParticleGeometry, OneSpritePerParticleWithOffsetIndices) {
    Sim sim(effect("particles_per_sec = 60 60 life_times = 10 : 0 : 0 argb_colors = fixed 255 255 255 255"));
    sim.add("E");
    sim.steps(5);
    sim.system.buildGeometry();
    const PSGeometry& g = *sim.system._geometry;
    EXPECT_EQ(g._vertexCount, 20u);
    EXPECT_EQ(g._indexCount, 30u);
    EXPECT_EQ(g._stride, 36u);
    EXPECT_TRUE(g.isDynamic());
    for (uint32_t s = 0; s < 5; ++s)
        for (uint32_t i = 0; i < 6; ++i)
            EXPECT_EQ(g._indices[s * 6 + i], sim.sprites.list[0].geometry->_indices[i] + s * 4);
    EXPECT_EQ(sim.system._mesh->_geometry, &g);
    EXPECT_EQ(sim.system._mesh->getFirstIndex(), 0);
    EXPECT_EQ(sim.system._mesh->getIndexCount(), 30);
}

TEST(ParticleGeometry, NothingIsBuiltForHiddenOrMissingThings) {
    Sim sim(effect("particles_per_sec = 60 60 life_times = 10 : 0 : 0"));
    PSEmitter* a = sim.add("E");
    PSEmitter* b = sim.add("E");
    sim.steps(3);
    b->_visible = false;  // simulated, not drawn
    sim.system.buildGeometry();
    EXPECT_EQ(sim.system._geometry->_vertexCount, 12u);
    a->_visible = false;
    sim.system.buildGeometry();
    EXPECT_EQ(sim.system._geometry->_vertexCount, 0u);
    a->_visible = b->_visible = true;
    sim.system.visible = false;
    sim.system.buildGeometry();
    EXPECT_EQ(sim.system._geometry->_vertexCount, 0u);
    sim.system.visible = true;
    sim.system.removeAllEmitters();
    sim.system.buildGeometry();
    EXPECT_EQ(sim.system._geometry->_vertexCount, 0u);
}

TEST(ParticleGeometry, WithoutACameraNothingHappens) {
    EffectBundle bundle;
    SpriteSet sprites;
    sprites.add("quad", makeSprite());
    bundle.write("fx", effect("particles_per_sec = 60 60 life_times = 10 : 0 : 0"));
    PSParticleSystem system;
    ASSERT_TRUE(system.init("fx", sprites.list));
    system.addEmitter(Vector3(), "E");
    system.update(0.1f, nullptr);
    EXPECT_GT(system.particleCount(), 0);
    system.buildGeometry();
    EXPECT_EQ(system._geometry->_vertexCount, 0u);
}

TEST(ParticleGeometry, OneGeometryStopsAtItsVertexLimit) {
    // 1000-vertex sprites: 65 fit below 65536 vertices, the rest wait for a later frame.
    Sim sim(effect("particles_per_sec = 4200 4200 particle_count_max = 70 life_times = 10 : 0 : 0"),
            makeSprite(1000));
    sim.add("E");
    sim.steps(1);
    ASSERT_EQ(sim.system.particleCount(), 70);
    LogLines log;
    sim.system.buildGeometry();
    EXPECT_EQ(sim.system._geometry->_vertexCount, 65000u);
    EXPECT_EQ(sim.system._geometry->_indexCount, 65u * 998u * 3u);
    for (uint32_t i = 0; i < sim.system._geometry->_indexCount; ++i)
        ASSERT_LT(sim.system._geometry->_indices[i], 65000u);
    sim.system.buildGeometry();
    EXPECT_EQ(log.count("[PSParticleSystem::buildGeometry]"), 1) << log.all();
}

struct KeyCase {
    float age;
    int pairFirst;  // the key pair (k, k + 1)
    float t;
};

TEST(ParticleGeometry, ColourAndSizeFollowTheKeysOfTheLifePhases) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 1 : 1 : 1 "
                   "sizes = anim4 1 2 4 8 argb_colors = anim4 255 0 0 0 : 128 200 0 0 : 64 200 100 0 : 0 0 100 50"));
    sim.add("E");
    sim.steps(1);
    PSParticle* p = sim.only();
    const float sizes[4] = {1, 2, 4, 8};
    const int alpha[4] = {255, 128, 64, 0}, red[4] = {0, 200, 200, 0}, green[4] = {0, 0, 100, 100},
              blue[4] = {0, 0, 0, 50};
    const KeyCase cases[] = {{0.5f, 0, 0.5f}, {1.0f, 0, 1.0f}, {1.5f, 1, 0.5f}, {2.0f, 1, 1.0f},
                             {2.75f, 2, 0.75f}, {3.0f, 2, 1.0f}};
    for (const KeyCase& c : cases) {
        p->age = c.age;
        sim.system.buildGeometry();
        const PSGeometry& g = *sim.system._geometry;
        const int k = c.pairFirst;
        const float size = sizes[k] + (sizes[k + 1] - sizes[k]) * c.t;
        EXPECT_NEAR((vertexPosition(g, 0) - p->position).length(), 0.5f * size, 1e-5f) << "age " << c.age;
        const uint8_t* colour = vertexColour(g, 0);
        auto mix = [&](const int* keys) { return (int)((float)keys[k] + (float)(keys[k + 1] - keys[k]) * c.t); };
        EXPECT_EQ(colour[0], mix(red)) << "age " << c.age;
        EXPECT_EQ(colour[1], mix(green)) << "age " << c.age;
        EXPECT_EQ(colour[2], mix(blue)) << "age " << c.age;
        EXPECT_EQ(colour[3], mix(alpha)) << "age " << c.age;
    }
}

TEST(ParticleGeometry, VertexColoursTintTheParticleColour) {
    struct Row {
        SpriteLayout layout;
        float tint;
        uint8_t red;
    };
    // 36-byte sprites keep their tint as bytes (0.5 -> 127 -> 127/255), 44-byte ones as floats.
    const Row rows[] = {{SpriteBytes36, 0.5f, (uint8_t)(200.0f * (127.0f / 255.0f))},
                        {SpriteFloats44, 0.5f, 100}, {SpriteFloats44, 1.0f, 200}};
    for (const Row& row : rows) {
        Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 1 : 0 : 0 "
                       "argb_colors = fixed 77 200 200 200"),
                makeSprite(4, 0.5f, row.layout, row.tint, 1.0f, 0.0f));
        sim.add("E");
        sim.steps(1);
        sim.system.buildGeometry();
        const uint8_t* colour = vertexColour(*sim.system._geometry, 2);
        EXPECT_EQ(colour[0], row.red) << row.layout;
        EXPECT_EQ(colour[1], 200) << row.layout;
        EXPECT_EQ(colour[2], 0) << row.layout;
        EXPECT_EQ(colour[3], 77) << row.layout;
    }
}

TEST(ParticleGeometry, SortingDrawsTheFarthestFirst) {
    for (bool sorted : {false, true}) {
        Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0") +
                (sorted ? "sort = true\n" : ""));
        sim.add("E", Vector3(0, 0, -2));
        sim.add("E", Vector3(0, 0, -9));
        sim.add("E", Vector3(0, 0, -5));
        sim.steps(1);
        sim.system.buildGeometry();
        const PSGeometry& g = *sim.system._geometry;
        ASSERT_EQ(g._vertexCount, 12u);
        const float want[2][3] = {{-2, -9, -5}, {-9, -5, -2}};
        for (int s = 0; s < 3; ++s)
            EXPECT_NEAR(vertexPosition(g, (uint32_t)s * 4).z, want[sorted][s], 1e-5f) << "sorted " << sorted;
    }
}

TEST(ParticleGeometry, SpritesFaceTheCamera) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0 sizes = fixed 2"));
    // A camera turned about Z and tilted: rows are its right, up and backward axes.
    const Matrix4 turn = Matrix4::rotationEuler(Vector3(0.4f, -0.3f, 1.2f));
    const Vector3 rows[3] = {turn.row3(0), turn.row3(1), turn.row3(2)};
    placeCamera(*sim.camera, rows, Vector3(3, -2, 1));
    sim.system.update(0.0f, sim.camera.get());
    sim.add("E", Vector3(1, 1, 1));
    sim.steps(1);
    sim.system.buildGeometry();
    const PSGeometry& g = *sim.system._geometry;
    const Geometry& sprite = *sim.sprites.list[0].geometry;
    for (uint32_t v = 0; v < 4; ++v) {
        Vector3 local = sprite.position(v) * 2.0f;
        Vector3 want = Vector3(1, 1, 1) + rows[0] * local.x + rows[1] * local.y + rows[2] * local.z;
        expectNear(vertexPosition(g, v), want, 1e-4f);
    }
}

TEST(ParticleGeometry, SpriteAngleTurnsAboutTheSpriteYAxis) {
    Sim sim(effect("particles_per_sec = 60 60 particle_count_max = 1 life_times = 10 : 0 : 0 sizes = fixed 1 "
                   "sprite_rotation = anim4 90 90 90 90"));
    sim.add("E");
    sim.steps(1);
    sim.system.buildGeometry();
    const Geometry& sprite = *sim.sprites.list[0].geometry;
    for (uint32_t v = 0; v < 4; ++v) {
        const Vector3 local = sprite.position(v);
        // A quarter turn about +Y takes x to -z.
        expectNear(vertexPosition(*sim.system._geometry, v), Vector3(0, local.y, -local.x), 1e-5f);
    }
}

// The sprites built the plain way, one particle and one vertex at a time, straight from the
// definitions: what the build must write byte for byte, however it gets there.
void referenceBuild(const PSParticleSystem& system, std::vector<uint8_t>& vertices, std::vector<uint16_t>& indices) {
    vertices.clear();
    indices.clear();
    std::vector<const PSParticle*> drawn;
    for (PSParticleNode* n = system.firstParticle(); n; n = n->next)
        if (n->particle->emitter->_visible)
            drawn.push_back(n->particle);
    if (system.sort) {
        auto far = [&](const PSParticle* p) { return (p->position - system._cameraPosition).lengthSquared(); };
        std::stable_sort(drawn.begin(), drawn.end(),
                         [&](const PSParticle* a, const PSParticle* b) { return far(a) > far(b); });
    }
    auto byte = [](float v) -> uint8_t { return !(v > 0.0f) ? 0 : v >= 255.0f ? 255 : (uint8_t)v; };
    for (const PSParticle* p : drawn) {
        const PSLayerType& type = *p->layerType;
        const Geometry& sg = *type.spriteGeometry->geometry;
        const float p1 = p->phases[0], p2 = p->phases[1], p3 = p->phases[2];
        int k;
        float t;
        if (p->age <= p1) {
            k = 0;
            t = p1 > 0.0f ? p->age / p1 : 1.0f;
        } else if (p->age <= p1 + p2) {
            k = 1;
            t = p2 > 0.0f ? (p->age - p1) / p2 : 1.0f;
        } else {
            k = 2;
            t = p3 > 0.0f ? std::min(1.0f, (p->age - p1 - p2) / p3) : 1.0f;
        }
        uint8_t rgba[4];
        for (int c = 0; c < 4; ++c) {
            const float a = (float)((type.colours[type.colourMode == PSColourAnim4 ? k : 0] >> (8 * c)) & 255u);
            const float b = (float)((type.colours[type.colourMode == PSColourAnim4 ? k + 1 : 0] >> (8 * c)) & 255u);
            rgba[c] = type.colourMode == PSColourAnim4 ? byte(a + (b - a) * t) : (uint8_t)a;
        }
        const float size = type.sizeMode == PSSizeAnim4 ? p->sizes[k] + (p->sizes[k + 1] - p->sizes[k]) * t : p->sizes[0];
        float angle = type.rotationMode == PSRotationAnim4
                          ? type.rotation[k] + (type.rotation[k + 1] - type.rotation[k]) * t
                          : type.rotationMode == PSRotationMinMax ? p->rotationSpeed * p->age : 0.0f;
        angle += p->startAngle;
        float R[3][3];
        system.spriteRotation(angle, R);

        const uint32_t base = (uint32_t)(vertices.size() / PSGeometry::VertexStride);
        for (uint32_t v = 0; v < sg._vertexCount; ++v) {
            const uint8_t* in = sg._vertices + (size_t)v * sg._stride;
            float f[11] = {};
            std::memcpy(f, in, std::min<size_t>(sg._stride, 32));
            const float l[3] = {f[0] * size, f[1] * size, f[2] * size};
            float out[8] = {R[0][0] * l[0] + R[0][1] * l[1] + R[0][2] * l[2] + p->position.x,
                            R[1][0] * l[0] + R[1][1] * l[1] + R[1][2] * l[2] + p->position.y,
                            R[2][0] * l[0] + R[2][1] * l[1] + R[2][2] * l[2] + p->position.z,
                            f[3], f[4], 1, 0, 0};
            float tint[3] = {0, 0, 0};
            if (sg._stride == 36)
                for (int c = 0; c < 3; ++c)
                    tint[c] = in[32 + c] / 255.0f;
            else if (sg._stride == 44)
                std::memcpy(tint, in + 32, sizeof(tint));
            const uint8_t colour[4] = {byte((float)rgba[0] * tint[0]), byte((float)rgba[1] * tint[1]),
                                       byte((float)rgba[2] * tint[2]), rgba[3]};
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(out);
            vertices.insert(vertices.end(), bytes, bytes + sizeof(out));
            vertices.insert(vertices.end(), colour, colour + 4);
        }
        for (uint32_t i = 0; i < sg._indexCount; ++i)
            indices.push_back((uint16_t)(sg._indices[i] + base));
    }
}

// Three layers over three sprite kinds (a tinted quad whose corners differ in colour, a 44-byte
// hexagon with tints outside 0..1, a plain white quad), with key-framed and fixed colours, sizes
// and angles, spin, several emitters (one hidden), sorted and unsorted, from a tilted camera.
TEST(ParticleGeometry, TheBuildWritesWhatThePlainBuildWrites) {
    const std::string layers =
        "[layer] { name = A sprite_geom = quad particles_per_sec = 200 300 life_times_rnd = 0.1 0.4 : 0 0.3 : 0.1 0.5 "
        "sizes = anim4_rnd 0.1 0.3 : 0.2 0.5 : 0.1 0.4 : 0 0.1 "
        "argb_colors = anim4 255 250 10 0 : 128 20 200 90 : 64 200 100 255 : 0 0 100 50 "
        "sprite_rotation = minmax -90 90 random_start_rotation = 0 360 spin_vector = 0 0 1 spin = minmax -3 3 "
        "sphere_emitter { inclination = 0 90 azimuth = 0 360 radius = 0 0.5 speed = 1 4 } drag = 0 0 -3 }\n"
        "[layer] { name = B sprite_geom = hex particles_per_sec = 100 150 life_times = 0.3 : 0.2 : 0.4 "
        "sizes = fixed 0.7 argb_colors = fixed 200 180 90 250 sprite_rotation = anim4 0 45 -30 180 "
        "sphere_emitter { inclination = 0 180 azimuth = 0 360 radius = 0 1 speed = 0 2 } }\n"
        "[layer] { name = C sprite_geom = plain particles_per_sec = 150 150 life_times = 0.5 : 0.5 : 0.5 "
        "argb_colors = fixed 255 255 255 255 sphere_emitter { inclination = 0 30 azimuth = 0 360 radius = 0 0.2 "
        "speed = 2 3 } }\n"
        "[emitter] { name = E add_layer A add_layer B add_layer C }\n";
    for (bool sorted : {false, true}) {
        // Corners of differing tint: the colour is worked out for every vertex.
        Geometry* quad = makeSprite(4, 0.5f, SpriteBytes36, 0.8f, 0.6f, 1.0f);
        for (uint32_t v = 0; v < 4; ++v)
            quad->_vertices[v * 36 + 32 + v % 3] = (uint8_t)(40 * v + 17);
        Sim sim(layers + (sorted ? "sort = true\n" : ""), quad);
        sim.sprites.add("hex", makeSprite(6, 0.7f, SpriteFloats44, 1.7f, -0.2f, 0.45f));
        sim.sprites.add("plain", makeSprite(4, 0.3f));
        ASSERT_TRUE(sim.system.init("fx", sim.sprites.list));
        const Matrix4 turn = Matrix4::rotationEuler(Vector3(0.4f, -0.3f, 1.2f));
        const Vector3 rows[3] = {turn.row3(0), turn.row3(1), turn.row3(2)};
        placeCamera(*sim.camera, rows, Vector3(3, -2, 1));
        sim.system.update(0.0f, sim.camera.get());
        sim.add("E");
        sim.add("E", Vector3(2, -1, 0.5f));
        PSEmitter* hidden = sim.add("E", Vector3(-1, 3, 0));
        std::vector<uint8_t> vertices;
        std::vector<uint16_t> indices;
        for (int frame = 0; frame < 40; ++frame) {
            hidden->_visible = frame % 3 != 0;
            sim.system.update(1.0f / 60.0f, sim.camera.get());
            sim.system.buildGeometry();
            referenceBuild(sim.system, vertices, indices);
            const PSGeometry& g = *sim.system._geometry;
            ASSERT_EQ((size_t)g._vertexCount * PSGeometry::VertexStride, vertices.size()) << "frame " << frame;
            ASSERT_EQ((size_t)g._indexCount, indices.size()) << "frame " << frame;
            ASSERT_EQ(std::memcmp(g._vertices, vertices.data(), vertices.size()), 0) << "frame " << frame;
            ASSERT_EQ(std::memcmp(g._indices, indices.data(), indices.size() * sizeof(uint16_t)), 0)
                << "frame " << frame;
        }
        EXPECT_GT(sim.system.particleCount(), 100);
    }
}

}  // namespace

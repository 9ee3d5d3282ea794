// 1,000 live sample handcars updated frame by frame: conductors, animator, wheels, shadows,
// effects and sounds. Reports the time per actor and the heap allocations per steady-state frame
// (counted by a replaced global operator new).
//
//   build/bench/bench_actors

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/font/TextFont.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/render/ResourceManager.h"
#include "engine/sound/sfx.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"

#include "AllocationCounter.h"

namespace {

using Zelvan::Actor;

const int kActors = 1000;

class ForwardToActors : public IPSEventHandler {
public:
    void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override {
        for (Actor* a : *actors)
            if (a->forgetParticleInstance(emitter, system))
                return;
    }
    std::vector<Actor*>* actors = nullptr;
};

// The sample content with 1,000 handcars on a grid over the sample ground.
class Herd {
public:
    explicit Herd(bool meshGround) {
        setenv("ALSOFT_DRIVERS", "null", 0);
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _documents.path()));
        IGame::setInstance(&_screen);
        frameTime().dt = 1.0f / 60.0f;
        ConfigStore& config = ConfigStore::instance();
        config.resetForTests();
        config.loadMainFile("configs/config.txt");
        SfxInitParams p;
        p.maxVoices = 16;
        sfx_Init(p);
        SoundInterface::get().loadData("configs/sound.txt");
        motherRandom().seed(1);

        _world = new World(1);
        _world->_meshGroundTest = meshGround ? 1 : 0;
        Zelvan::registerActorClasses(_world);
        _scene = _world->loadScene("scenes/actors.txt", 1, 0);
        _particles = _world->createParticleSystem("particles");
        _forward.actors = &actors;
        _particles->_eventHandler = &_forward;

        const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        for (int i = 0; i < kActors; ++i) {
            const Vector3 at(-13.5f + 0.9f * (float)(i % 30), -13.5f + 0.8f * (float)(i / 30), 0);
            Object* node = _world->createObject(_scene, "objects/actors/handcar.object", "Handcar" + std::to_string(i),
                                                PropertyList(), 1, rows, at, Vector3(1, 1, 1), nullptr);
            Actor* actor = dynamic_cast<Actor*>(node);
            actor->setParticleSystem(_particles);
            actor->_nodes->_shadowsEnabled = true;
            actors.push_back(actor);
        }
    }

    ~Herd() {
        for (Actor* a : actors)
            a->setParticleSystem(nullptr);
        _world->destroyParticleSystem(_particles);
        delete _world;
        sfx_Shutdown();
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        rm.resetForTests();
        ConfigStore::instance().resetForTests();
        IGame::setInstance(nullptr);
    }

    // One frame of the game's use: every actor rolls a little (back and forth), restarts "run"
    // whenever nothing plays, and is updated; then the particle system.
    void frame(int n) {
        const float step = (n / 60) % 2 ? -0.05f : 0.05f;
        const Matrix4 move = Matrix4::translation(Vector3(0, step, 0));
        for (Actor* a : actors) {
            a->applyTransform(move);
            a->_nodes->_distance += step;
            if (!a->_animator->isPlaying())
                a->_conductors->start("run", 0, -1);
            a->update();
        }
    }
    void particles() { _particles->update(frameTime().dt, _world->getCamera()); }

    std::vector<Actor*> actors;

private:
    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    World* _world = nullptr;
    Scene* _scene = nullptr;
    PSParticleSystem* _particles = nullptr;
    ForwardToActors _forward;
};

// Arg 0: shadow rays through the physics world; 1: through the ground meshes.
void BM_ActorFrame(benchmark::State& state) {
    Herd herd(state.range(0) != 0);
    int n = 0;
    for (; n < 120; ++n) {  // the first frames start everything; then it is steady
        herd.frame(n);
        herd.particles();
    }
    uint64_t allocations = 0;
    double seconds = 0;
    for (auto _ : state) {
        const uint64_t before = benchalloc::count();
        const auto start = std::chrono::steady_clock::now();
        herd.frame(n);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += benchalloc::count() - before;
        state.PauseTiming();
        herd.particles();
        ++n;
        state.ResumeTiming();
    }
    state.counters["ns_per_actor"] = seconds * 1e9 / (double)state.iterations() / kActors;
    state.counters["allocs_per_frame"] = (double)allocations / (double)state.iterations();
}
BENCHMARK(BM_ActorFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

// The sample train's whole per-frame update (continuation rail, advance, update with conductors,
// nodes, animator, effects and sounds) while a magnet, a shield and a turbo run, on the stand-in
// of the sample road. Reports the time per frame and the heap allocations per steady-state frame
// (counted by a replaced global operator new; the goal is none).
//
//   build/bench/bench_player

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "engine/clock.h"
#include "support_player.h"

#include "AllocationCounter.h"

namespace {

using namespace Zelvan;

const int kPieces = 60;

// The train test's set-up (sample content, world, sample train, stand-in road) outside a test run.
class TrainRig : public playertest::PlayerTrainTest {
public:
    TrainRig() {
        setenv("ALSOFT_DRIVERS", "null", 0);
        frameTime().dt = playertest::kDt;
        SetUp();
        _road->rail(0, kPieces - 1);  // the whole stand-in road built up front
        restart();
        for (const char* name : {"magnet", "shield", "turbo"}) {
            Boost* b = _boosts.acquire(name);
            if (auto* timed = dynamic_cast<BoostTimed*>(b))
                timed->_timer.setDuration(1e5f);
            if (auto* speed = dynamic_cast<BoostSpeed*>(b))
                speed->_timer._hold = 1e5f;  // float seconds: still fine-grained enough for 1/60 s steps
            if (b)
                b->activate();
            _train->addBoost(b);
        }
    }
    ~TrainRig() override {
        TearDown();
        frameTime().dt = 0;
    }
    void TestBody() override {}

    void restart() {
        _piece = 0;
        RoadSlot s = _road->slot(1, 0);
        s.rail->reset(true);
        _train->setRoad(0, s);
        _train->run();
    }
    bool nearEnd() const { return _piece >= kPieces - 4; }
    // The stage's frame for the train: continuation rail, advance, update.
    void frame() {
        if (_train->getRoad(0).rail == _road->rail(1, _piece + 1))
            ++_piece;
        _train->setRoad(1, _road->slot(1, _piece + 1));
        _train->advance(_train->totalSpeed() * playertest::kDt, nullptr, nullptr);
        _train->update(playertest::kDt);
    }
    size_t boosts() const { return _train->_boosts.size(); }
    float speed() const { return _train->totalSpeed(); }
    float speedUp() const { return _train->_goods._speedUp; }

    int _piece = 0;
};

void BM_TrainFrameThreeBoosts(benchmark::State& state) {
    TrainRig rig;
    for (int i = 0; i < 600; ++i)  // warm-up: full speed, every list and string at its working size
        rig.frame();
    uint64_t allocations = 0, frames = 0;
    for (auto _ : state) {
        if (rig.nearEnd()) {
            state.PauseTiming();
            rig.restart();
            rig.frame();
            state.ResumeTiming();
        }
        const uint64_t before = benchalloc::count();
        rig.frame();
        allocations += benchalloc::count() - before;
        ++frames;
    }
    if (rig.boosts() != 3 || rig.speedUp() < 7.9f)
        state.SkipWithError("a boost ended or the turbo did not act");
    state.counters["allocs_per_frame"] = frames ? (double)allocations / (double)frames : 0.0;
    state.counters["speed"] = rig.speed();
    state.counters["boosts"] = (double)rig.boosts();
}
BENCHMARK(BM_TrainFrameThreeBoosts)->Unit(benchmark::kNanosecond);

}  // namespace

// Sound benchmarks on OpenAL Soft's null device: one frame of the voice system under load, and
// Ogg decoding.

#include <AL/al.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "TestSupport.h"
#include "engine/clock.h"
#include "engine/sound/OggVorbis.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"

namespace {

struct NullDevice {
    NullDevice() { setenv("ALSOFT_DRIVERS", "null", 0); }
} g_nullDevice;

std::string oggFixture() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind("/bench/")) + "/tests/sound/data/tone_mono.ogg";
}

// Sixteen busy voices, then each frame 64 starts (of sounds at their instance limit, so they
// are all turned away after walking the pool) and the frame's update with a voice update due.
void BM_SfxUpdate16Voices64Plays(benchmark::State& state) {
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    SfxInitParams p;
    p.pitchIntervalMs = 66;
    p.voiceIntervalMs = 100;
    p.maxVoices = 16;
    sfx_Init(p);
    std::vector<std::unique_ptr<SoundBuffer>> sounds;
    for (int i = 0; i < 4; ++i) {
        sounds.emplace_back(new SoundBuffer());
        sounds.back()->AddFile("sounds/engine_loop.wav");
        sounds.back()->max_instances = 4;
        sounds.back()->attenuation = 1;
        sounds.back()->max_distance = 100;
    }
    SoundParams params;
    params.flags = SoundLoop | SoundPositional;
    for (int i = 0; i < 16; ++i) {
        params.position[0] = (float)i * 5;
        params.group = i % 4;
        sfx_Play(sounds[(size_t)i % 4].get(), params);
    }
    int frame = 0;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i) {
            params.position[1] = (float)(i % 7);
            benchmark::DoNotOptimize(sfx_Play(sounds[(size_t)i % 4].get(), params));
        }
        frameTime().msSinceStart += 101;
        sfx_SetListenerPosition((float)(++frame % 50), 0, 0);
        sfx_Update();
    }
    int busy = 0;
    for (int i = 0; i < sfx_VoiceCount(); ++i)
        busy += sfx_Voice(i)->IsBusy() ? 1 : 0;
    state.counters["busy_voices"] = busy;
    sounds.clear();
    sfx_Shutdown();
}

// Decoding one second of 22050 Hz mono Ogg Vorbis: four passes over a quarter-second file.
void BM_OggDecodeOneSecond(benchmark::State& state) {
    std::string bytes = testsupport::readFile(oggFixture());
    std::vector<short> out(4096);
    int64_t samples = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < 4; ++pass) {
            int error = 0;
            stb_vorbis* v = stb_vorbis_open_memory((const unsigned char*)bytes.data(), (int)bytes.size(), &error, nullptr);
            int got;
            while ((got = stb_vorbis_get_samples_short_interleaved(v, 1, out.data(), (int)out.size())) > 0)
                samples += got;
            stb_vorbis_close(v);
        }
    }
    state.SetItemsProcessed(samples);
}

// The whole loader path for the same file: open, decode, upload into an OpenAL buffer.
void BM_LoadOggQuarterSecond(benchmark::State& state) {
    sfx_Init(SfxInitParams());
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    std::string path = oggFixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadOgg(path.c_str(), buffer));
    alDeleteBuffers(1, &buffer);
    sfx_Shutdown();
}

}  // namespace

BENCHMARK(BM_SfxUpdate16Voices64Plays)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_OggDecodeOneSecond)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_LoadOggQuarterSecond)->Unit(benchmark::kNanosecond);

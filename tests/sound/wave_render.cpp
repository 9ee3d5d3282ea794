// Plays the sample content through OpenAL Soft's wave-writer back end and checks the written
// file: real samples, in the places and for the time the sounds last.
// Its own CTest entry: it points OpenAL at a configuration of its own before the first call.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "TestSupport.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"
#include "game/ZelvanSoundInterface.h"

namespace {

struct Pcm {
    int channels = 0;
    int rate = 0;
    std::vector<float> mono;  // channel 0, -1..1
};

uint32_t le32(const std::string& b, size_t at) {
    return (uint8_t)b[at] | ((uint8_t)b[at + 1] << 8) | ((uint8_t)b[at + 2] << 16) | ((uint32_t)(uint8_t)b[at + 3] << 24);
}
uint16_t le16(const std::string& b, size_t at) { return (uint16_t)((uint8_t)b[at] | ((uint8_t)b[at + 1] << 8)); }

// Reads the writer's file: 16-bit or float samples, plain or extensible format chunk.
bool readWave(const std::string& bytes, Pcm& out) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return false;
    int bits = 0, format = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::string id = bytes.substr(at, 4);
        uint32_t size = le32(bytes, at + 4);
        at += 8;
        if (id == "fmt ") {
            format = le16(bytes, at);
            out.channels = le16(bytes, at + 2);
            out.rate = (int)le32(bytes, at + 4);
            bits = le16(bytes, at + 14);
            if (format == 0xFFFE)
                format = le16(bytes, at + 24);
        } else if (id == "data") {
            if (at + size > bytes.size() || out.channels <= 0)
                return false;
            size_t frameBytes = (size_t)out.channels * (size_t)bits / 8;
            for (size_t f = 0; f + frameBytes <= size; f += frameBytes) {
                if (format == 1 && bits == 16)
                    out.mono.push_back((int16_t)le16(bytes, at + f) / 32768.0f);
                else if (format == 3 && bits == 32) {
                    uint32_t u = le32(bytes, at + f);
                    float v;
                    std::memcpy(&v, &u, 4);
                    out.mono.push_back(v);
                } else
                    return false;
            }
            return true;
        }
        at += size + (size & 1);
    }
    return false;
}

struct Segment {
    double start, end;
    float peak;
};

// Stretches of sound separated by at least 5 ms below the threshold (longer than any quiet
// stretch around the zero crossings of the tones used).
std::vector<Segment> segments(const Pcm& pcm, float threshold = 0.01f) {
    std::vector<Segment> out;
    const size_t gap = (size_t)pcm.rate / 200;
    size_t lastLoud = 0;
    bool open = false;
    for (size_t i = 0; i < pcm.mono.size(); ++i) {
        float a = std::fabs(pcm.mono[i]);
        if (a < threshold)
            continue;
        if (!open || i - lastLoud > gap) {
            out.push_back({(double)i / pcm.rate, (double)i / pcm.rate, 0});
            open = true;
        }
        out.back().end = (double)(i + 1) / pcm.rate;
        out.back().peak = std::max(out.back().peak, a);
        lastLoud = i;
    }
    return out;
}

void sleepFor(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(WaveRender, SampleSoundsAndMusicReachTheOutput) {
    testsupport::TempDir dir;
    const std::string output = dir.file("render.wav");
    testsupport::writeFile(dir.file("alsoft.conf"), "[general]\nchannels = stereo\nsample-type = int16\n"
                                                   "frequency = 44100\n[wave]\nfile = " + output + "\n");
    setenv("ALSOFT_DRIVERS", "wave", 1);
    setenv("ALSOFT_CONF", dir.file("alsoft.conf").c_str(), 1);
    testsupport::ScopedStores stores(testsupport::contentDir(), dir.path());

    SfxInitParams params;
    params.maxVoices = 16;
    // The file's length lies between the time the device was surely open and the time from
    // opening it to closing it.
    auto beforeOpen = std::chrono::steady_clock::now();
    ASSERT_EQ(sfx_Init(params), 1);
    auto opened = std::chrono::steady_clock::now();
    {
        SoundInterface sound;
        sound.loadData("configs/sound.txt");
        ASSERT_NE(sound.findSound("coin"), nullptr);
        sleepFor(100);
        // Each sound starts once the one before has been rendered to its end (the mixer sets
        // the state), so even a stalled mixer catching up cannot overlap them.
        for (const char* name : {"coin", "menu_click"}) {
            SoundHandle* h = sound.createHandle(name);
            h->play(1, false);
            ASSERT_TRUE(h->isPlaying()) << name;
            auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (h->isPlaying() && std::chrono::steady_clock::now() < end)
                sleepFor(2);
            sound.releaseHandle(h);
            sleepFor(150);
        }
        sound.playMusic("music/theme.ogg");
        sleepFor(400);
        sound.stopMusic();
        sleepFor(150);
    }
    auto closing = std::chrono::steady_clock::now();
    sfx_Shutdown();  // closing the device completes the file
    double inner = std::chrono::duration<double>(closing - opened).count();
    double outer = std::chrono::duration<double>(std::chrono::steady_clock::now() - beforeOpen).count();

    Pcm pcm;
    ASSERT_TRUE(readWave(testsupport::readFile(output), pcm));
    EXPECT_EQ(pcm.rate, 44100);
    EXPECT_EQ(pcm.channels, 2);
    double length = (double)pcm.mono.size() / pcm.rate;
    // A stalled mixer catches up, but what it had not rendered at the close is lost.
    EXPECT_GT(length, inner * 0.75);
    EXPECT_LT(length, outer + 0.1);

    std::vector<Segment> parts = segments(pcm);
    for (const Segment& s : parts)
        std::printf("sound from %.3f s to %.3f s, peak %.3f\n", s.start, s.end, s.peak);
    ASSERT_EQ(parts.size(), 3u);
    // "coin" lasts as long as its file (0.2 s of Ogg) and is loud.
    EXPECT_NEAR(parts[0].end - parts[0].start, 0.2, 0.02);
    EXPECT_GT(parts[0].peak, 0.1f);
    // "menu_click": 80 ms of a fast-decaying tone, from a WAVE file.
    EXPECT_GT(parts[1].end - parts[1].start, 0.04);
    EXPECT_LT(parts[1].end - parts[1].start, 0.09);
    EXPECT_GT(parts[1].peak, 0.1f);
    // The music (at a third of the volume) plays until it is stopped.
    EXPECT_GT(parts[2].end - parts[2].start, 0.1);
    EXPECT_LT(parts[2].end - parts[2].start, 0.6);
    EXPECT_GT(parts[2].peak, 0.03f);
}

}  // namespace

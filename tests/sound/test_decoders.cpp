// The WAVE and Ogg decoders: formats accepted and refused, chunk walking, bad sizes.

#include <AL/al.h>
#include <gtest/gtest.h>

#include "SoundTestSupport.h"
#include "TestSupport.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"

using soundtest::WaveLayout;

namespace {

class Decoders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(soundtest::initSound(), 1);
        alGenBuffers(1, &buffer);
        soundtest::clearLog();
    }
    void TearDown() override {
        alDeleteBuffers(1, &buffer);
        sfx_Shutdown();
    }
    int loadWave(const std::vector<uint8_t>& bytes, const char* name = "sounds/t.wav") {
        testsupport::writeFile(bundle.path() + "/data/" + name, bytes);
        return LoadWave(name, buffer);
    }
    ALint bufferValue(ALenum what) {
        ALint v = -1;
        alGetBufferi(buffer, what, &v);
        return v;
    }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores{bundle.path(), documents.path()};
    ALuint buffer = 0;
};

struct WaveCase {
    const char* label;
    WaveLayout layout;
    int expected;
    const char* logText;  // expected in the log when the load fails
};

WaveLayout wave(uint16_t channels, uint16_t bits, uint32_t fmtSize = 16) {
    WaveLayout s;
    s.channels = channels;
    s.bits = bits;
    s.fmtSize = fmtSize;
    return s;
}

std::vector<WaveCase> waveCases() {
    std::vector<WaveCase> cases;
    cases.push_back({"mono 16-bit", wave(1, 16), 1, nullptr});
    cases.push_back({"stereo 16-bit", wave(2, 16), 1, nullptr});
    cases.push_back({"fmt chunk of 18 bytes", wave(1, 16, 18), 1, nullptr});
    cases.push_back({"extensible fmt chunk of 40 bytes", wave(2, 16, 40), 1, nullptr});
    cases.push_back({"four channels", wave(4, 16), 1, nullptr});
    cases.push_back({"8-bit", wave(1, 8), 0, "[LoadWave] Unsupported type: 'sounds/t.wav'"});
    WaveLayout flt = wave(1, 32);
    flt.audioFormat = 3;
    cases.push_back({"float samples", flt, 0, "[LoadWave] Unsupported type"});
    WaveLayout extFloat = wave(1, 32, 40);
    extFloat.audioFormat = 3;
    cases.push_back({"extensible float samples", extFloat, 0, "[LoadWave] Unsupported type"});
    WaveLayout three = wave(3, 16);
    cases.push_back({"three channels have no format", three, 0, "alGetError() ="});

    WaveLayout before = wave(1, 16);
    before.chunkBeforeData = "LIST";
    before.chunkBeforeDataSize = 5;  // odd: a pad byte follows
    cases.push_back({"odd chunk before data", before, 1, nullptr});
    WaveLayout first = wave(2, 16, 18);
    first.chunkBeforeFmt = "JUNK";
    first.chunkBeforeFmtSize = 3;
    cases.push_back({"odd chunk before fmt", first, 1, nullptr});
    WaveLayout upper = wave(1, 16);
    upper.dataId = "DATA";
    cases.push_back({"upper-case DATA", upper, 1, nullptr});

    WaveLayout noData = wave(1, 16);
    noData.withData = false;
    noData.chunkBeforeData = "cue ";
    noData.chunkBeforeDataSize = 24;
    cases.push_back({"no data chunk", noData, 0, "[LoadWave] 'data' chunk not found: sounds/t.wav"});
    WaveLayout tooLong = wave(1, 16);
    tooLong.dataSizeOverride = 0x7FFFFFF0;
    cases.push_back({"data size beyond the file", tooLong, 0, "beyond the end"});
    WaveLayout hugeOther = wave(1, 16);
    hugeOther.chunkBeforeData = "fact";
    hugeOther.chunkBeforeDataSize = 4;
    hugeOther.withData = true;
    cases.push_back({"fact chunk", hugeOther, 1, nullptr});
    return cases;
}

TEST_F(Decoders, WaveFilesOfEachLayout) {
    for (const WaveCase& c : waveCases()) {
        SCOPED_TRACE(c.label);
        soundtest::clearLog();
        EXPECT_EQ(loadWave(soundtest::makeWave(c.layout)), c.expected);
        if (c.expected) {
            EXPECT_EQ(bufferValue(AL_CHANNELS), c.layout.channels);
            EXPECT_EQ(bufferValue(AL_BITS), 16);
            EXPECT_EQ(bufferValue(AL_FREQUENCY), (ALint)c.layout.rate);
            EXPECT_EQ(bufferValue(AL_SIZE), (ALint)(c.layout.frames * c.layout.channels * 2));
        } else {
            EXPECT_TRUE(soundtest::logContains(c.logText)) << c.logText;
            EXPECT_TRUE(soundtest::logContains("[LoadSound] Failed to load: 'sounds/t.wav'"));
        }
    }
}

TEST_F(Decoders, WaveHeadersThatAreNoWave) {
    std::vector<uint8_t> good = soundtest::makeWave(wave(1, 16));
    std::vector<uint8_t> notRiff = good;
    notRiff[0] = 'X';
    std::vector<uint8_t> notWave = good;
    notWave[8] = 'A';
    std::vector<uint8_t> shortFile(good.begin(), good.begin() + 6);
    std::vector<uint8_t> cutInFmt(good.begin(), good.begin() + 24);
    std::vector<uint8_t> cutInData(good.begin(), good.end() - 10);

    struct Case {
        const char* label;
        std::vector<uint8_t> bytes;
        const char* logText;
    } cases[] = {
        {"not RIFF", notRiff, "[LoadWave] Error: not a RIFF file 'sounds/t.wav'"},
        {"RIFF but not WAVE", notWave, "[LoadWave] Error: RIFF file but not a wave file: 'sounds/t.wav'"},
        {"six bytes", shortFile, "[LoadWave] Error: not a RIFF file"},
        {"cut inside fmt", cutInFmt, "bad 'fmt ' chunk"},
        {"cut inside the samples", cutInData, "beyond the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        soundtest::clearLog();
        EXPECT_EQ(loadWave(c.bytes), 0);
        EXPECT_TRUE(soundtest::logContains(c.logText)) << c.logText;
    }
}

TEST_F(Decoders, WaveMissingNullOrWithoutBufferFails) {
    EXPECT_EQ(LoadWave("sounds/none.wav", buffer), 0);
    EXPECT_TRUE(soundtest::logContains("[LoadSound] Failed to load: 'sounds/none.wav'"));
    EXPECT_EQ(LoadWave(nullptr, buffer), 0);
    EXPECT_TRUE(soundtest::logContains("[LoadSound] Failed to load 'NULL'"));
    testsupport::writeFile(bundle.path() + "/data/ok.wav", soundtest::makeWave(wave(1, 16)));
    EXPECT_EQ(LoadWave("ok.wav", 0), 0);
    EXPECT_EQ(LoadWave("ok.wav", 987654), 0);
    EXPECT_TRUE(soundtest::logContains("[LoadSound] Failed to load 'ok.wav' (invalid buffer_id)"));
}

TEST_F(Decoders, OggMonoLoadsWholeStream) {
    ASSERT_EQ(LoadOgg(soundtest::fixture("tone_mono.ogg").c_str(), buffer), 1);
    EXPECT_EQ(bufferValue(AL_CHANNELS), 1);
    EXPECT_EQ(bufferValue(AL_FREQUENCY), 22050);
    // 0.25 s at 22050 Hz, cut to whole frames by the encoder's source.
    EXPECT_EQ(bufferValue(AL_SIZE), 5512 * 2);
}

TEST_F(Decoders, OggRefusals) {
    std::string stereo = soundtest::fixture("tone_stereo.ogg");
    EXPECT_EQ(LoadOgg(stereo.c_str(), buffer), 0);
    EXPECT_TRUE(soundtest::logContains("[LoadOgg] channels != 1 (" + stereo + ")"));

    std::string missing = bundle.path() + "/none.ogg";
    EXPECT_EQ(LoadOgg(missing.c_str(), buffer), 0);
    EXPECT_TRUE(soundtest::logContains("[LoadOgg] failed to load: '" + missing + "'"));

    std::string garbage = bundle.path() + "/garbage.ogg";
    testsupport::writeFile(garbage, soundtest::makeWave(wave(1, 16)));
    EXPECT_EQ(LoadOgg(garbage.c_str(), buffer), 0);

    EXPECT_EQ(LoadOgg(nullptr, buffer), 0);
    EXPECT_TRUE(soundtest::logContains("[LoadOgg] Failed to load 'NULL'"));
    EXPECT_EQ(LoadOgg(soundtest::fixture("tone_mono.ogg").c_str(), 0), 0);
    EXPECT_TRUE(soundtest::logContains("(invalid buffer_id)"));
}

}  // namespace

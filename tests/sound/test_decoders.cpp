// The WAVE and Ogg decoders: formats accepted and refused, chunk walking, bad sizes.

#include <AL/al.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "SoundTestSupport.h"
#include "TestSupport.h"
#include "engine/sound/OggVorbis.h"
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

// ---- Damaged Ogg headers ----

void le32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back((uint8_t)(v >> (8 * i)));
}

// One Ogg page of the stream 1234 holding whole packets (no CRC: nothing on this path checks it).
std::vector<uint8_t> oggPage(uint8_t flags, uint32_t sequence, const std::vector<std::vector<uint8_t>>& packets) {
    std::vector<uint8_t> lacing, body;
    for (const auto& p : packets) {
        size_t n = p.size();
        for (; n >= 255; n -= 255)
            lacing.push_back(255);
        lacing.push_back((uint8_t)n);
        body.insert(body.end(), p.begin(), p.end());
    }
    std::vector<uint8_t> page = {'O', 'g', 'g', 'S', 0, flags, 0, 0, 0, 0, 0, 0, 0, 0};
    le32(page, 1234);
    le32(page, sequence);
    le32(page, 0);
    page.push_back((uint8_t)lacing.size());
    page.insert(page.end(), lacing.begin(), lacing.end());
    page.insert(page.end(), body.begin(), body.end());
    return page;
}

// The identification packet of a mono 22050 Hz stream with blocks of 256 and 2048.
std::vector<uint8_t> identification() {
    std::vector<uint8_t> p = {1, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, 1};
    le32(p, 22050);
    le32(p, 0);
    le32(p, 64000);
    le32(p, 0);
    p.push_back(0xb8);
    p.push_back(1);
    return p;
}

// A comment packet: vendor length, vendor bytes, comment count, then (length, bytes) pairs.
std::vector<uint8_t> comment(uint32_t vendorLength, const std::string& vendor, uint32_t count,
                             const std::vector<std::pair<uint32_t, std::string>>& comments) {
    std::vector<uint8_t> p = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    le32(p, vendorLength);
    p.insert(p.end(), vendor.begin(), vendor.end());
    le32(p, count);
    for (const auto& c : comments) {
        le32(p, c.first);
        p.insert(p.end(), c.second.begin(), c.second.end());
    }
    p.push_back(1);
    return p;
}

std::vector<uint8_t> oggFile(const std::vector<uint8_t>& commentPacket, const std::vector<uint8_t>& setupPacket) {
    std::vector<uint8_t> f = oggPage(2, 0, {identification()});
    std::vector<uint8_t> second = oggPage(0, 1, {commentPacket, setupPacket});
    f.insert(f.end(), second.begin(), second.end());
    return f;
}

TEST_F(Decoders, OggHeadersWhoseLengthsDoNotFitTheirPacketAreRefused) {
    const std::vector<uint8_t> setup = {5, 'v', 'o', 'r', 'b', 'i', 's', 0};
    std::vector<uint8_t> cut = oggFile(comment(4, "abcd", 0, {}), setup);
    cut.resize(cut.size() - 3);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* refusal;
    };
    const Case cases[] = {
        // Four billion vendor bytes in a file of a hundred: stb_vorbis would read them one by one.
        {"huge vendor length", oggFile(comment(0xfffffff0u, "abcd", 0, {}), setup),
         "the vendor text is longer than its header"},
        {"vendor one byte beyond the packet", oggFile(comment(10, "abcd", 0, {}), setup),
         "the vendor text is longer than its header"},
        {"huge comment count", oggFile(comment(4, "abcd", 0x40000000u, {}), setup),
         "more comments than the comment header can hold"},
        {"huge comment length", oggFile(comment(4, "abcd", 1, {{0x7fffffffu, "x=y"}}), setup),
         "a comment is longer than its header"},
        {"page cut", cut, "the file ends inside a page"},
        {"no Ogg page", std::vector<uint8_t>(64, 'x'), "no Ogg page where one should start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(oggCheckHeaders(c.bytes.data(), c.bytes.size()), c.refusal);
        std::string path = bundle.path() + "/bad.ogg";
        testsupport::writeFile(path, c.bytes);
        soundtest::clearLog();
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(LoadOgg(path.c_str(), buffer), 0);
        EXPECT_TRUE(soundtest::logContains("[LoadOgg] failed to load: '" + path + "' (" + c.refusal + ")"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // no spinning
    }

    // Every length at its limit is accepted by the check.
    std::vector<uint8_t> tight = oggFile(comment(4, "abcd", 2, {{3, "a=b"}, {0, ""}}), setup);
    EXPECT_EQ(oggCheckHeaders(tight.data(), tight.size()), nullptr);
}

TEST_F(Decoders, OggDecoderThatFailsOrOverrunsItsBudgetLeavesNothingBehind) {
    // Headers that pass the check, then a setup header stb_vorbis refuses after allocating.
    std::vector<uint8_t> damagedSetup = {5, 'v', 'o', 'r', 'b', 'i', 's', 0, 0x42, 0x43, 0x56, 1, 0, 8, 0, 0, 0xff};
    // Then one codebook of 2^24 - 1 entries, all of length 24 in a few bits (the "ordered" form):
    // its tables would take 80 MiB, beyond one decoder's budget.
    std::vector<uint8_t> hugeCodebooks = {5,    'v',  'o',  'r',  'b',  'i',  's', 0,    0x42, 0x43,
                                          0x56, 1,    0,    0xff, 0xff, 0xff, 239, 0xff, 0xff, 0x3f, 0, 0};
    struct Case {
        const char* name;
        std::vector<uint8_t> setup;
        int error;  // 0: any
    };
    const Case cases[] = {{"damaged setup", damagedSetup, 0}, {"huge codebooks", hugeCodebooks, VORBIS_outofmem}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = oggFile(comment(4, "abcd", 1, {{3, "a=b"}}), c.setup);
        ASSERT_EQ(oggCheckHeaders(bytes.data(), bytes.size()), nullptr);
        int error = 0;
        const char* refusal = nullptr;
        // The sanitizer build's leak check sees any block a failed open left behind.
        EXPECT_EQ(oggOpenMemory(bytes.data(), (int)bytes.size(), &error, &refusal), nullptr);
        EXPECT_EQ(refusal, nullptr);
        EXPECT_NE(error, 0);
        if (c.error) {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST_F(Decoders, OggFilesAboveTheSizeCapAreNotRead) {
    std::string path = bundle.path() + "/long.ogg";
    testsupport::writeFile(path, "");
    ASSERT_EQ(truncate(path.c_str(), (off_t)kOggMaxFileBytes + 1), 0);  // sparse: nothing written
    EXPECT_EQ(LoadOgg(path.c_str(), buffer), 0);
    EXPECT_TRUE(soundtest::logContains("[LoadOgg] failed to load: '" + path +
                                       "' (the file is larger than an Ogg file may be)"));
}

TEST(OggDecoder, MemoryIsCountedPerDecoderAndReleasedOnClose) {
    int error = 0;
    stb_vorbis* a = oggOpenFile(soundtest::fixture("tone_mono.ogg").c_str(), &error, nullptr);
    stb_vorbis* b = oggOpenFile(soundtest::fixture("tone_stereo.ogg").c_str(), &error, nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    size_t opened = oggDecoderMemory(a);
    EXPECT_GT(opened, 0u);
    EXPECT_LE(opened, kOggDecoderBudget);
    std::vector<short> out(4096);
    EXPECT_GT(oggGetSamplesShortInterleaved(a, 1, out.data(), (int)out.size()), 0);
    EXPECT_GE(oggDecoderMemory(a), opened);  // decoding charges its work buffers to a, not b
    size_t bBefore = oggDecoderMemory(b);
    EXPECT_GT(oggGetSamplesShortInterleaved(a, 1, out.data(), (int)out.size()), 0);
    EXPECT_EQ(oggDecoderMemory(b), bBefore);
    oggClose(a);
    oggClose(b);
}

}  // namespace

// Sound definitions: ".sfd" files of "[snd]" records, blocks of the sound table, variants and
// their chances.

#include <AL/al.h>
#include <gtest/gtest.h>

#include <cstring>

#include "SoundTestSupport.h"
#include "TestSupport.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"
#include "engine/tokenizer.h"

namespace {

class SoundDefinitions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(soundtest::initSound(), 1);
        soundtest::clearLog();
        writeData("sounds/a.wav", soundtest::makeWave({}));
        soundtest::WaveLayout stereo;
        stereo.channels = 2;
        writeData("sounds/b.wav", soundtest::makeWave(stereo));
        writeData("sounds/c.ogg", testsupport::readFile(soundtest::fixture("tone_mono.ogg")));
        writeData("sounds/stereo.ogg", testsupport::readFile(soundtest::fixture("tone_stereo.ogg")));
    }
    void TearDown() override { sfx_Shutdown(); }

    void writeData(const std::string& name, const std::string& bytes) {
        testsupport::writeFile(bundle.path() + "/data/" + name, bytes);
    }
    void writeData(const std::string& name, const std::vector<uint8_t>& bytes) {
        testsupport::writeFile(bundle.path() + "/data/" + name, bytes);
    }
    // Reads a table block: the text stands after the block's opening brace.
    int loadBlock(SoundBuffer& sound, const std::string& text, std::string* after = nullptr) {
        CTokenizer tokenizer;
        tokenizer.OpenMemory(text.data(), (uint32_t)text.size(),
                             CTokenizer::FlagComments | CTokenizer::FlagQuotes | CTokenizer::FlagKeepQuotes);
        int result = sound.LoadFromMemory("sounds", tokenizer);
        if (after) {
            const char* next = tokenizer.Next(0);
            *after = next ? next : "";
        }
        return result;
    }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores{bundle.path(), documents.path()};
};

TEST_F(SoundDefinitions, FileWithTwoRecordsAndItsProperties) {
    writeData("sounds/two.sfd",
              "// two variants\n"
              "max_instances = 3\npower = 70\nvolume = 40\n"
              "min_distance = 0.5\nmax_distance = 80\nattenuation = 0.25\n"
              "[snd] { filename = a.wav chance = 30 }\n"
              "[snd] { filename = c.ogg chance = 70 }\n");
    SoundBuffer sound;
    ASSERT_EQ(sound.Load("sounds/two.sfd"), 1);
    EXPECT_EQ(sound.m_BufferCount, 2u);
    EXPECT_EQ(sound.totalChance, 100);
    EXPECT_EQ(sound.max_instances, 3u);
    EXPECT_EQ(sound.power, 70);
    EXPECT_EQ(sound.volume, 40);
    EXPECT_FLOAT_EQ(sound.min_distance, 1.0f);
    EXPECT_FLOAT_EQ(sound.max_distance, 80.0f);
    EXPECT_FLOAT_EQ(sound.attenuation, 0.25f);
    EXPECT_STREQ(sound.name, "sounds/c.ogg");
    EXPECT_EQ(sound.m_Variants[0].chance, 30);
    EXPECT_EQ(sound.m_Variants[1].chance, 70);
    EXPECT_TRUE(alIsBuffer(sound.m_Variants[0].buffer));
    EXPECT_TRUE(alIsBuffer(sound.m_Variants[1].buffer));
    // A random value below 30 picks the first variant; the value is taken modulo the total.
    const struct {
        uint32_t random;
        int index;
    } picks[] = {{0, 0}, {29, 0}, {30, 1}, {99, 1}, {100, 0}, {129, 0}, {130, 1}};
    for (const auto& p : picks)
        EXPECT_EQ(sound.PickVariant(p.random), p.index) << p.random;
}

TEST_F(SoundDefinitions, FileFailures) {
    const struct {
        const char* label;
        const char* text;
        const char* logText;
    } cases[] = {
        {"no record", "power = 5\n", "[SoundBuffer::Load] Failed to load 'sounds/x.sfd' (no sound files found)"},
        {"a record's file is missing", "[snd] { filename = a.wav }\n[snd] { filename = gone.wav }\n",
         "[LoadSound] Failed to load: 'sounds/gone.wav'"},
        {"a stereo Ogg record", "[snd] { filename = stereo.ogg }\n", "[LoadOgg] channels != 1"},
        {"no brace after the record", "[snd] filename = a.wav }\n", "[SoundBuffer::Load] Failed to load 'sounds/x.sfd' (<CTokenizer::Skip>"},
        {"value missing at the end", "[snd] { filename = a.wav }\nchance =", "[SoundBuffer::Load] Failed to load 'sounds/x.sfd' ("},
        {"total chance too large", "[snd] { filename = a.wav chance = 2147483000 }\n[snd] { filename = a.wav chance = 2000 }\n",
         "(total chance >= RAND_MAX)"},
        {"a record never closed", "[snd] { filename = a.wav\n", "(no sound files found)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        soundtest::clearLog();
        writeData("sounds/x.sfd", c.text);
        SoundBuffer sound;
        EXPECT_EQ(sound.Load("sounds/x.sfd"), 0);
        EXPECT_TRUE(soundtest::logContains(c.logText)) << c.logText;
    }
    SoundBuffer sound;
    EXPECT_EQ(sound.Load("sounds/none.sfd"), 0);
    EXPECT_EQ(sound.m_BufferCount, 0u);
}

TEST_F(SoundDefinitions, MoreClosingBracesThanRecordsAddNothing) {
    writeData("sounds/x.sfd", "}\n[snd] { filename = a.wav chance = 10 } }\n}\n");
    SoundBuffer sound;
    ASSERT_EQ(sound.Load("sounds/x.sfd"), 1);
    EXPECT_EQ(sound.m_BufferCount, 1u);
    EXPECT_EQ(sound.m_Variants.size(), 1u);
    EXPECT_EQ(sound.totalChance, 10);
    EXPECT_TRUE(soundtest::logContains("'}' without a \"[snd]\" record ignored"));
}

TEST_F(SoundDefinitions, ChancesOfZeroOrBelowNeverDivideByZero) {
    writeData("sounds/x.sfd", "[snd] { filename = a.wav chance = 0 }\n[snd] { filename = b.wav chance = -5 }\n");
    SoundBuffer sound;
    ASSERT_EQ(sound.Load("sounds/x.sfd"), 1);
    EXPECT_EQ(sound.totalChance, 0);
    EXPECT_EQ(sound.m_Variants[1].chance, 0);
    for (uint32_t r : {0u, 1u, 12345u, 0xFFFFFFFFu})
        EXPECT_EQ(sound.PickVariant(r), 0);
    // Starting it picks a variant without any division by the total.
    SoundParams params;
    for (int i = 0; i < 3; ++i) {
        SoundInstance* voice = sfx_Play(&sound, params);
        ASSERT_NE(voice, nullptr);
        voice->Stop();
    }

    // A zero-chance variant beside a positive one is never drawn.
    writeData("sounds/y.sfd", "[snd] { filename = a.wav chance = 0 }\n[snd] { filename = b.wav chance = 5 }\n");
    SoundBuffer mixed;
    ASSERT_EQ(mixed.Load("sounds/y.sfd"), 1);
    for (uint32_t r = 0; r < 20; ++r)
        EXPECT_EQ(mixed.PickVariant(r), 1);
}

TEST_F(SoundDefinitions, AddFileKeepsFailedEntryWithoutBuffer) {
    SoundBuffer sound;
    EXPECT_EQ(sound.AddFile("sounds/gone.wav"), 0);
    EXPECT_EQ(sound.m_BufferCount, 1u);
    EXPECT_EQ(sound.m_Variants[0].buffer, 0u);
    EXPECT_EQ(sound.PickVariant(0), -1);
    SoundParams params;
    EXPECT_EQ(sfx_Play(&sound, params), nullptr);

    EXPECT_EQ(sound.AddFile("sounds/c.ogg"), 1);
    EXPECT_EQ(sound.m_BufferCount, 2u);
    EXPECT_EQ(sound.totalChance, 100);
    for (uint32_t r : {0u, 50u, 99u, 100u})
        EXPECT_EQ(sound.PickVariant(r), 1);

    // The name keeps the last file, cut to 47 characters.
    std::string longName = "sounds/" + std::string(60, 'n') + ".wav";
    sound.AddFile(longName.c_str());
    EXPECT_EQ(std::strlen(sound.name), 47u);
    EXPECT_EQ(std::string(sound.name), longName.substr(0, 47));

    sound.Release();
    EXPECT_EQ(sound.m_BufferCount, 0u);
    EXPECT_EQ(sound.max_instances, 1u);
    EXPECT_EQ(sound.totalChance, 0);
    EXPECT_STREQ(sound.name, "unnamed");
}

TEST_F(SoundDefinitions, TableBlocks) {
    const struct {
        const char* label;
        const char* text;
        int result;
        uint32_t variants;
        int32_t totalChance;
        const char* logText;  // expected in the log, or null
    } cases[] = {
        {"one wav", "sound = a.wav volume = 50 }", 1, 1, 100, nullptr},
        {"missing wav falls back to the ogg of that name", "sound = c.wav }", 1, 1, 100, nullptr},
        {"records weigh the same whatever their chance",
         "[snd] { filename = a.wav chance = 5 } [snd] { filename = c.ogg chance = 7 } }", 1, 2, 200, nullptr},
        {"random sounds", "randomSounds = { a.wav b.wav c.ogg } }", 1, 3, 300, nullptr},
        {"a failing random sound skips the rest of its list", "randomSounds = { a.wav gone.wav b.wav } power = 9 }", 1,
         2, 100, "[LoadOgg] failed to load"},
        {"every random sound fails", "randomSounds = { gone.wav lost.wav } }", 0, 1, 0,
         "[SoundBuffer::Load] Failed to load from memory (no sound files found)"},
        {"a failing sound fails the block", "sound = a.wav sound = gone.wav }", 0, 2, 100, "sounds/gone.ogg"},
        {"a failing record fails the block", "[snd] { filename = stereo.ogg } }", 0, 1, 0, "[LoadOgg] channels != 1"},
        {"nothing in it", "volume = 3 }", 0, 0, 0, "(no sound files found)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        soundtest::clearLog();
        SoundBuffer sound;
        EXPECT_EQ(loadBlock(sound, c.text), c.result);
        EXPECT_EQ(sound.m_BufferCount, c.variants);
        EXPECT_EQ(sound.totalChance, c.totalChance);
        if (c.logText) {
            EXPECT_TRUE(soundtest::logContains(c.logText)) << c.logText;
        }
    }
}

TEST_F(SoundDefinitions, BlockStopsAtItsClosingBrace) {
    SoundBuffer sound;
    std::string after;
    ASSERT_EQ(loadBlock(sound, "sound = a.wav max_instances = 4 min_distance = 0.25 } [next]", &after), 1);
    EXPECT_EQ(after, "[next]");
    EXPECT_EQ(sound.max_instances, 4u);
    EXPECT_FLOAT_EQ(sound.min_distance, 1.0f);
    EXPECT_STREQ(sound.name, "sounds/a.wav");

    SoundBuffer broken;
    EXPECT_EQ(loadBlock(broken, "randomSounds { a.wav } }"), 0);
    EXPECT_TRUE(soundtest::logContains("[SoundBuffer::Load] Failed to load from memory (<CTokenizer::Skip>"));
}

TEST_F(SoundDefinitions, NoDivisionByZeroWhenDistancesMeet) {
    // min_distance == max_distance, or max_distance below 1, leave no falling range.
    writeData("sounds/x.sfd", "min_distance = 4 max_distance = 4 attenuation = 1 power = 90\n[snd] { filename = a.wav }\n");
    SoundBuffer sound;
    ASSERT_EQ(sound.Load("sounds/x.sfd"), 1);
    const float near[3] = {3, 0, 0}, at[3] = {4, 0, 0}, beyond[3] = {4.5f, 0, 0};
    EXPECT_EQ(sfx_Priority(&sound, SoundPositional, near), 90);
    EXPECT_EQ(sfx_Priority(&sound, SoundPositional, at), 90);
    EXPECT_EQ(sfx_Priority(&sound, SoundPositional, beyond), 0);
    sound.max_distance = 0.5f;
    EXPECT_EQ(sfx_Priority(&sound, SoundPositional, beyond), 0);
    sound.attenuation = 0.5f;
    EXPECT_EQ(sfx_Priority(&sound, SoundPositional, beyond), 45);
    SoundParams params;
    params.flags = SoundPositional;
    params.position[0] = 10;
    SoundInstance* voice = sfx_Play(&sound, params);
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(voice->priority, 45);
    // OpenAL gets distances it accepts: the maximum never below the reference.
    ALfloat ref = 0, max = 0;
    alGetSourcef(voice->source, AL_REFERENCE_DISTANCE, &ref);
    alGetSourcef(voice->source, AL_MAX_DISTANCE, &max);
    EXPECT_FLOAT_EQ(ref, 4.0f);
    EXPECT_FLOAT_EQ(max, 4.0f);
    voice->Stop();
}

}  // namespace

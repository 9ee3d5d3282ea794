// The music player: name mapping, the read store, volume scaling, loops, failures.

#include <AL/al.h>
#include <gtest/gtest.h>

#include <memory>

#include "SoundTestSupport.h"
#include "TestSupport.h"
#include "engine/sound/AudioFilePlayer.h"
#include "engine/sound/MusicPlayer.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"

namespace {

TEST(MusicName, OnlyAFinalOggBecomesMp3) {
    const struct {
        const char* name;
        const char* file;
    } cases[] = {
        {"music/theme.ogg", "music/theme.mp3"},
        {"theme", "theme.mp3"},
        {"music/theme.mp3", "music/theme.mp3"},
        {"oggs.ogg/theme.ogg", "oggs.ogg/theme.mp3"},
        {"music.ogg/theme", "music.ogg/theme.mp3"},
        {"theme.ogg.bak", "theme.ogg.bak.mp3"},
        {"", ".mp3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(musicFileName(c.name), c.file) << c.name;
    EXPECT_EQ(musicFileName(nullptr), ".mp3");
}

class Music : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(soundtest::initSound(), 1);
        testsupport::writeFile(bundle.path() + "/data/music/theme.mp3",
                               testsupport::readFile(testsupport::contentDir() + "/data/music/theme.mp3"));
        soundtest::clearLog();
    }
    void TearDown() override {
        player.reset();
        sfx_Shutdown();
    }
    CCocoaMusicPlayer* cocoa() { return static_cast<CCocoaMusicPlayer*>(player.get()); }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores{bundle.path(), documents.path()};
    std::unique_ptr<ISimpleMusicPlayer> player{createMusicPlayer()};
};

TEST_F(Music, PlaysTheMp3OfAnOggNameFromTheReadStore) {
    EXPECT_STREQ(player->GetFileName(), "");
    EXPECT_EQ(player->GetVolume(), 0.0f);
    ASSERT_TRUE(player->Play("music/theme.ogg", 2147483647, 0.9f));
    EXPECT_STREQ(player->GetFileName(), "music/theme.ogg");
    AudioFilePlayer* system = cocoa()->player();
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->path(), bundle.path() + "/data/music/theme.mp3");
    EXPECT_EQ(system->channels(), 1);
    EXPECT_EQ(system->sampleRate(), 22050);
    // Four seconds of music, give or take the encoder's padding.
    EXPECT_NEAR((double)system->frames() / 22050.0, 4.0, 0.1);
    EXPECT_TRUE(system->isPlaying());
    ALint looping = 0;
    alGetSourcei(system->source(), AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_TRUE);

    // The documents copy of the data folder wins over the bundle.
    testsupport::writeFile(documents.path() + "/data/music/theme.mp3",
                           testsupport::readFile(bundle.path() + "/data/music/theme.mp3"));
    ASSERT_TRUE(player->Play("music/theme", 0, 1.0f));
    EXPECT_EQ(cocoa()->player()->path(), documents.path() + "/data/music/theme.mp3");
}

TEST_F(Music, VolumeSeenByTheGameIsThreeTimesThePlayers) {
    player->SetVolume(0.5f);  // no player yet: nothing to set
    EXPECT_EQ(player->GetVolume(), 0.0f);
    ASSERT_TRUE(player->Play("music/theme.mp3", 0, 1.5f));
    EXPECT_FLOAT_EQ(cocoa()->player()->volume(), 0.5f);
    player->SetVolume(0.9f);
    EXPECT_NEAR(cocoa()->player()->volume(), 0.3f, 1e-6);
    EXPECT_NEAR(player->GetVolume(), 0.9f, 1e-6);
    ALfloat gain = 0;
    alGetSourcef(cocoa()->player()->source(), AL_GAIN, &gain);
    EXPECT_NEAR(gain, 0.3f, 1e-6);
}

TEST_F(Music, LoopsAreExtraPlays) {
    const struct {
        int loops;
        ALint looping;
        ALint queued;
    } cases[] = {{0, AL_FALSE, 1}, {2, AL_FALSE, 3}, {-1, AL_TRUE, 1}, {2147483647, AL_TRUE, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loops);
        ASSERT_TRUE(player->Play("music/theme.ogg", c.loops, 1.0f));
        ALint looping = -1, queued = -1;
        alGetSourcei(cocoa()->player()->source(), AL_LOOPING, &looping);
        alGetSourcei(cocoa()->player()->source(), AL_BUFFERS_QUEUED, &queued);
        EXPECT_EQ(looping, c.looping);
        EXPECT_EQ(queued, c.queued);
    }
}

TEST_F(Music, FailuresLeaveNoPlayer) {
    const struct {
        const char* label;
        const char* name;
        const char* bytes;  // written as the mapped file when not null
    } cases[] = {
        {"missing file", "music/none.ogg", nullptr},
        {"no MPEG audio", "music/text.ogg", "this is no mp3 file at all, only some text"},
        {"empty file", "music/empty.ogg", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.bytes)
            testsupport::writeFile(bundle.path() + "/data/" + musicFileName(c.name), std::string(c.bytes));
        ASSERT_TRUE(player->Play("music/theme.ogg", 0, 1.0f));
        EXPECT_FALSE(player->Play(c.name, 0, 1.0f));
        EXPECT_EQ(cocoa()->player(), nullptr);
        EXPECT_STREQ(player->GetFileName(), c.name);
        EXPECT_EQ(player->GetVolume(), 0.0f);
    }
}

TEST_F(Music, PlaysBesideAFullVoicePoolAndStops) {
    soundtest::WaveLayout tone;
    testsupport::writeFile(bundle.path() + "/data/t.wav", soundtest::makeWave(tone));
    SoundBuffer sound;
    ASSERT_EQ(sound.AddFile("t.wav"), 1);
    sound.max_instances = 16;
    SoundParams p;
    p.flags = SoundLoop;
    for (int i = 0; i < 16; ++i)
        ASSERT_NE(sfx_Play(&sound, p), nullptr);
    ASSERT_TRUE(player->Play("music/theme.ogg", 0, 1.0f));
    EXPECT_TRUE(cocoa()->player()->isPlaying());
    for (int i = 0; i < sfx_VoiceCount(); ++i)
        EXPECT_NE(sfx_Voice(i)->source, cocoa()->player()->source());
    player->Update();
    player->Stop();
    EXPECT_STREQ(player->GetFileName(), "");
    EXPECT_FALSE(cocoa()->player()->isPlaying());
    player->SetFileName("x");
    EXPECT_STREQ(player->GetFileName(), "x");
    for (int i = 0; i < sfx_VoiceCount(); ++i)
        sfx_Voice(i)->Stop();
}

}  // namespace

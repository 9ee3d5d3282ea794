// Every sound call without any audio device: OpenAL Soft finds no back end at all
// (ALSOFT_DRIVERS=none), so nothing opens and everything must go on silently.
// Its own CTest entry, so no other test shares the environment.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "TestSupport.h"
#include "engine/sound/MusicPlayer.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"
#include "engine/tokenizer.h"
#include "game/ZelvanSoundInterface.h"

namespace {

using testsupport::logContains;
using testsupport::logLines;

struct NoDevice {
    NoDevice() {
        setenv("ALSOFT_DRIVERS", "none", 1);
        testsupport::captureLog();
    }
} g_noDevice;

class NoSoundDevice : public ::testing::Test {
protected:
    void SetUp() override {
        logLines().clear();
        SfxInitParams p;
        p.maxVoices = 16;
        ASSERT_EQ(sfx_Init(p), 0);
    }
    void TearDown() override { sfx_Shutdown(); }

    testsupport::TempDir documents;
    testsupport::ScopedStores stores{testsupport::contentDir(), documents.path()};
};

TEST_F(NoSoundDevice, SoundSystemAnswersWithTheSilentVoice) {
    EXPECT_TRUE(logContains("[sfx_Init] alcOpenDevice() failed"));
    EXPECT_FALSE(sfx_HasDevice());
    EXPECT_EQ(sfx_VoiceCount(), 0);
    SoundInstance* dummy = sfx_DummyVoice();
    ASSERT_NE(dummy, nullptr);

    SoundBuffer sound;
    SoundParams params;
    params.flags = SoundPositional | SoundLoop;
    SoundInstance* v = sfx_Play(&sound, params);
    EXPECT_EQ(v, dummy);
    v->SetPosition(1, 2, 3);
    v->Pause();
    EXPECT_EQ(v->IsPlaying(), 0);
    EXPECT_FALSE(v->IsBusy());
    v->Stop();
    EXPECT_EQ(sfx_Play(nullptr, SoundParams()), dummy);

    sfx_SetListenerPosition(1, 2, 3);
    sfx_SetListenerOrientation(0, 0, -1, 0, 1, 0);
    sfx_SetGroupVolume(2, 0.5f);
    EXPECT_FLOAT_EQ(sfx_GetGroupVolume(2), 0.5f);
    sfx_PauseGroup(2);
    sfx_ResumeGroup(2);
    sfx_StopGroup(2);
    sfx_Update();
    sfx_UpdateVoices();
    // Starting again still finds no device and keeps working.
    EXPECT_EQ(sfx_Init(SfxInitParams()), 0);
    EXPECT_NE(sfx_DummyVoice(), nullptr);
}

TEST_F(NoSoundDevice, DefinitionsLoadNothingAndDecodersFail) {
    SoundBuffer sound;
    EXPECT_EQ(sound.Load("sounds/steps.sfd"), 1);
    EXPECT_EQ(sound.m_BufferCount, 0u);
    // A table block is still read to its end, so the table's reader goes on after it.
    const char* text = "sound = menu_click.wav randomSounds = { a.wav } [snd] { filename = b.wav } } [next]";
    CTokenizer tokenizer;
    tokenizer.OpenMemory(text, (uint32_t)std::strlen(text), CTokenizer::FlagComments | CTokenizer::FlagQuotes);
    EXPECT_EQ(sound.LoadFromMemory("sounds", tokenizer), 1);
    EXPECT_STREQ(tokenizer.Next(0), "[next]");

    EXPECT_EQ(sound.AddFile("sounds/menu_click.wav"), 0);
    EXPECT_EQ(LoadWave("sounds/menu_click.wav", 1), 0);
    EXPECT_EQ(LoadOgg("sounds/coin.ogg", 1), 0);
    EXPECT_EQ(sfx_Play(&sound, SoundParams()), sfx_DummyVoice());
}

TEST_F(NoSoundDevice, MusicReportsItCouldNotPlay) {
    ISimpleMusicPlayer* player = createMusicPlayer();
    EXPECT_FALSE(player->Play("music/theme.ogg", 2147483647, 1.0f));
    EXPECT_STREQ(player->GetFileName(), "music/theme.ogg");
    player->SetVolume(0.5f);
    EXPECT_EQ(player->GetVolume(), 0.0f);
    player->Update();
    player->Stop();
    delete player;
}

TEST_F(NoSoundDevice, FrontEndWorksSilently) {
    SoundInterface sound;
    sound.loadData("configs/sound.txt");
    ASSERT_EQ(sound._namedSounds.size(), 5u);
    EXPECT_FALSE(logContains("invalid token"));
    sound.play("menu_click", 0, 1.0f);
    sound.setChannelPaused(1, true);
    sound.play("coin", 1, 1.2f);

    SoundHandle* engine = sound.createHandle3d("engine");
    engine->play3d(2, true, 10, 0, 0);
    engine->setPosition(Vector3(20, 0, 0));
    EXPECT_FALSE(engine->isPlaying());
    SoundHandle* steps = sound.createHandle("steps");
    steps->play(1, false);
    sound.update();
    engine->play3d(2, true, 10, 0, 0);
    engine->setPosition(Vector3(30, 0, 0));
    sound.setChannelPaused(1, false);
    sound.setChannelVolume(2, 0.3f);
    sound.stopChannel(2);
    steps->stop();
    sound.releaseHandle(steps);
    sound.releaseHandle(engine);
    EXPECT_TRUE(sound._handles.empty());

    sound.setMusicVolume(0.4f);
    sound.playMusic("music/theme.ogg");
    sound.update();
    sound.stopMusic();
}

}  // namespace

// The game's sound front-end on OpenAL Soft's null device: the sound table, channels, handles
// and music.

#include <AL/al.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/FileBuffer.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/sound/AudioFilePlayer.h"
#include "engine/sound/MusicPlayer.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"
#include "game/ZelvanSoundInterface.h"

namespace {

using testsupport::logContains;
using testsupport::logLines;
using testsupport::waitUntil;

struct Setup {
    Setup() {
        testsupport::captureLog();
        setenv("ALSOFT_DRIVERS", "null", 0);
    }
} g_setup;

int busyVoices() {
    int n = 0;
    for (int i = 0; i < sfx_VoiceCount(); ++i)
        n += sfx_Voice(i)->IsBusy() ? 1 : 0;
    return n;
}

float gainOf(SoundInstance* voice) {
    ALfloat g = -1;
    alGetSourcef(voice->source, AL_GAIN, &g);
    return g;
}

std::string sampleTablePlainText() {
    // Not __FILE__: a compiler cache with a base folder makes it relative to the build folder.
    return testsupport::readFile(std::string(ZELVAN_TESTS_DIR) + "/../tools/content/sound.txt");
}

class SoundFrontEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ConfigStore::instance().resetForTests();
        SfxInitParams p;
        p.pitchIntervalMs = 66;
        p.reserved1 = 200;
        p.voiceIntervalMs = 100;
        p.maxVoices = 16;
        p.threadSleepMs = 50;
        ASSERT_EQ(sfx_Init(p), 1);
        // A bundle of its own holding the sample sounds and music.
        std::string content = testsupport::contentDir() + "/data/";
        for (const char* f : {"sounds/menu_click.wav", "sounds/engine_loop.wav", "sounds/coin.ogg", "sounds/horn.ogg",
                              "sounds/horn_low.ogg", "sounds/steps_a.ogg", "sounds/steps_b.wav", "sounds/steps.sfd",
                              "music/theme.mp3"})
            testsupport::writeFile(bundle.path() + "/data/" + f, testsupport::readFile(content + f));
        logLines().clear();
    }
    void TearDown() override {
        sound.reset();
        sfx_Shutdown();
        ConfigStore::instance().resetForTests();
        platform::removeUserDefault("sound_disabled");
    }
    void writeTable(const std::string& text, const char* name = "configs/sound.txt") {
        testsupport::writeFile(bundle.path() + "/data/" + name, text);
    }
    SoundInterface& front() {
        if (!sound)
            sound.reset(new SoundInterface());
        return *sound;
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const auto& n : front()._namedSounds)
            out.push_back(n.name);
        return out;
    }
    void loadSimpleTable() {
        writeTable("soundDir = sounds\n"
                   "[click] { sound = menu_click.wav volume = 80 max_instances = 4 }\n"
                   "[loop] { sound = engine_loop.wav min_distance = 2 max_distance = 50 }\n");
        front().loadData("configs/sound.txt");
        ASSERT_EQ(front()._namedSounds.size(), 2u);
    }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores{bundle.path(), documents.path()};
    std::unique_ptr<SoundInterface> sound;
};

TEST_F(SoundFrontEnd, SampleTableIsSealedAndLoads) {
    testsupport::ScopedStores content(testsupport::contentDir(), documents.path());
    std::string path = testsupport::contentDir() + "/data/configs/sound.txt";
    FileBuffer raw;
    ASSERT_EQ(raw.loadFromFile(path.c_str()), 1);
    EXPECT_TRUE(raw.isSealed());
    // The committed table is the sealed form of its plain text.
    FileBuffer unsealed;
    ASSERT_EQ(unsealed.loadSealed(path.c_str(), SoundInterface::kTablePassword), 1);
    std::string text;
    unsealed.toString(text);
    EXPECT_EQ(text, sampleTablePlainText());

    front().loadData("configs/sound.txt");
    EXPECT_EQ(names(), (std::vector<std::string>{"steps", "menu_click", "coin", "engine", "horn"}));
    EXPECT_EQ(front().findSound("steps")->m_BufferCount, 2u);
    EXPECT_EQ(front().findSound("steps")->totalChance, 100);
    EXPECT_EQ(front().findSound("coin")->m_BufferCount, 1u);
    EXPECT_STREQ(front().findSound("coin")->name, "sounds/coin.ogg");
    EXPECT_EQ(front().findSound("horn")->m_BufferCount, 2u);
    EXPECT_EQ(front().findSound("engine")->power, 80);
    EXPECT_FALSE(logContains("ERROR"));
}

TEST_F(SoundFrontEnd, SealedAndPlainTablesReadAlike) {
    std::string text = sampleTablePlainText();
    writeTable(text, "configs/plain.txt");
    FileBuffer plain(text.data(), text.size());
    std::unique_ptr<FileBuffer> sealed = SealedFile::seal(plain, SoundInterface::kTablePassword);
    ASSERT_TRUE(sealed);
    ASSERT_EQ(sealed->saveToFile((bundle.path() + "/data/configs/sealed.txt").c_str()), 1);

    front().loadData("configs/plain.txt");
    std::vector<std::string> fromPlain = names();
    sound.reset();
    front().loadData("configs/sealed.txt");
    EXPECT_EQ(names(), fromPlain);
    EXPECT_EQ(fromPlain.size(), 5u);

    // The wrong password gives nothing.
    sealed = SealedFile::seal(plain, "another password");
    ASSERT_EQ(sealed->saveToFile((bundle.path() + "/data/configs/other.txt").c_str()), 1);
    sound.reset();
    front().loadData("configs/other.txt");
    EXPECT_TRUE(names().empty());
}

TEST_F(SoundFrontEnd, TableReadingKeepsWhatItCouldRead) {
    writeTable("soundDir = sounds\n"
               "sounds { steps nothing }\n"
               "[click] { sound = menu_click.wav }\n"
               "stray\n"
               "[click] { sound = coin.wav volume = 10 }\n"
               "[broken] { sound = missing.wav }\n"
               "soundDir sounds\n"  // a tokenizer error ends the reading
               "[never] { sound = horn.ogg }\n");
    front().loadData("configs/sound.txt");
    EXPECT_EQ(names(), (std::vector<std::string>{"steps", "click", "click"}));
    EXPECT_TRUE(logContains("[SoundInterface::loadData] invalid token: stray"));
    EXPECT_TRUE(logContains("sounds/nothing.sfd"));
    EXPECT_TRUE(logContains("[SoundInterface::loadData] 'configs/sound.txt': <CTokenizer::Skip>"));
    // The first of two definitions of a name wins.
    EXPECT_STREQ(front().findSound("click")->name, "sounds/menu_click.wav");
}

TEST_F(SoundFrontEnd, MissingTableLeavesOnlyTheDummy) {
    front().loadData("configs/none.txt");
    EXPECT_TRUE(names().empty());
    front().play("menu_click", 0, 1.0f);
    EXPECT_TRUE(logContains("Sound not found menu_click"));
    SoundHandle* h = front().createHandle3d("menu_click");
    EXPECT_EQ(h, &front()._dummyHandle);
    EXPECT_TRUE(front()._handles.empty());
    h->play3d(0, true, 1, 2, 3);
    h->setPosition(Vector3(4, 5, 6));
    EXPECT_FALSE(h->isPlaying());
    h->stop();
    front().releaseHandle(h);
    EXPECT_EQ(busyVoices(), 0);
}

TEST_F(SoundFrontEnd, SoundOffSilencesPlaysAndHandles) {
    testsupport::writeFile(bundle.path() + "/data/configs/options.txt", std::string("[options]\nsound = 0\n"));
    ConfigStore::instance().loadFile("configs/options.txt", "");
    loadSimpleTable();
    for (const auto& ch : front()._channels)
        EXPECT_FALSE(ch.enabled);
    front().play("click", 1, 1.0f);
    SoundHandle* h = front().createHandle("loop");
    h->play(1, true);
    EXPECT_EQ(h->_voice, nullptr);
    EXPECT_EQ(busyVoices(), 0);

    ConfigStore::instance().resetForTests();
    platform::setUserDefault("sound_disabled", "1");
    sound.reset();
    EXPECT_FALSE(front()._channels[0].enabled);
    platform::removeUserDefault("sound_disabled");
    sound.reset();
    EXPECT_TRUE(front()._channels[15].enabled);
    EXPECT_FALSE(front()._channels[15].paused);
}

TEST_F(SoundFrontEnd, SwitchingAChannelOffStopsItsHandles) {
    loadSimpleTable();
    SoundHandle* h = front().createHandle("loop");
    h->play(2, true);
    ASSERT_TRUE(h->isPlaying());
    front()._channels[2].enabled = false;
    front().update();
    EXPECT_EQ(h->_voice, nullptr);
    EXPECT_EQ(busyVoices(), 0);
}

TEST_F(SoundFrontEnd, HandlePlaysOnceUntilItsSoundEnds) {
    loadSimpleTable();
    SoundHandle* h = front().createHandle("click");
    h->play(1, false);
    SoundInstance* voice = h->_voice;
    ASSERT_NE(voice, nullptr);
    EXPECT_TRUE(voice->reserved);
    h->play(1, false);
    EXPECT_EQ(h->_voice, voice);
    EXPECT_EQ(busyVoices(), 1);
    ASSERT_TRUE(waitUntil([&] { return !h->isPlaying(); }));
    EXPECT_EQ(h->_voice, voice) << "held until the next update";
    front().update();
    EXPECT_EQ(h->_voice, nullptr);
    EXPECT_FALSE(voice->reserved);
    h->play(1, false);
    EXPECT_NE(h->_voice, nullptr);
}

TEST_F(SoundFrontEnd, PausedChannelKeepsItsHandleVoicesUntilResumed) {
    loadSimpleTable();
    SoundHandle* h = front().createHandle("loop");
    h->play(3, true);
    SoundInstance* voice = h->_voice;
    ASSERT_NE(voice, nullptr);
    front().setChannelPaused(3, true);
    EXPECT_TRUE(voice->IsPaused());
    front().update();
    EXPECT_EQ(h->_voice, voice);
    // Plays on a paused channel start paused.
    SoundHandle* late = front().createHandle3d("loop");
    late->play3d(3, true, 1, 2, 3);
    ASSERT_NE(late->_voice, nullptr);
    EXPECT_TRUE(late->_voice->IsPaused());
    front().play("click", 3, 1.0f);
    front().setChannelPaused(3, false);
    EXPECT_TRUE(h->isPlaying());
    EXPECT_TRUE(late->isPlaying());
    front().update();
    EXPECT_EQ(h->_voice, voice);
    EXPECT_EQ(busyVoices(), 3);

    front().stopChannel(3);
    front().update();
    EXPECT_EQ(h->_voice, nullptr);
    EXPECT_EQ(late->_voice, nullptr);
}

TEST_F(SoundFrontEnd, HandleGetsTheChannelVolumeOnce) {
    loadSimpleTable();
    front().setChannelVolume(2, 0.5f);
    EXPECT_TRUE(front()._musicVolumeDirty);
    SoundHandle* h = front().createHandle("click");
    h->play(2, false);
    ASSERT_NE(h->_voice, nullptr);
    EXPECT_FLOAT_EQ(gainOf(h->_voice), 0.5f * 0.8f);
    SoundInstance* v = sfx_Play(front().findSound("click"), SoundParams());
    EXPECT_FLOAT_EQ(gainOf(v), 0.8f);
}

TEST_F(SoundFrontEnd, PositionalHandleFollowsItsPosition) {
    loadSimpleTable();
    SoundHandle* h = front().createHandle3d("loop");
    h->play3d(4, true, 1, 2, 3);
    ASSERT_NE(h->_voice, nullptr);
    EXPECT_TRUE(h->_voice->Is3D());
    EXPECT_EQ(h->_voice->position[2], 3.0f);
    h->setPosition(Vector3(7, 8, 9));
    EXPECT_EQ(h->_voice->position[0], 7.0f);
    h->stop();
    EXPECT_EQ(h->_voice, nullptr);
    EXPECT_EQ(busyVoices(), 0);
}

TEST_F(SoundFrontEnd, ReleaseRemovesExactlyThatHandle) {
    loadSimpleTable();
    SoundHandle* a = front().createHandle("loop");
    SoundHandle* b = front().createHandle("loop");
    SoundHandle* c = front().createHandle3d("loop");
    b->play(0, true);
    SoundInstance* voice = b->_voice;
    ASSERT_NE(voice, nullptr);
    front().releaseHandle(b);
    EXPECT_EQ(front()._handles, (std::vector<SoundHandle*>{a, c}));
    EXPECT_FALSE(voice->reserved);
    EXPECT_FALSE(voice->IsPlaying());
    front().releaseHandle(b);  // released already: ignored
    EXPECT_TRUE(logContains("[SoundInterface::releaseHandle] unknown handle"));
    front().releaseHandle(&front()._dummyHandle);
    front().releaseHandle(nullptr);
    EXPECT_EQ(front()._handles.size(), 2u);
}

TEST_F(SoundFrontEnd, ChannelsOutsideTheRangeAreRefused) {
    loadSimpleTable();
    front().play("click", 16, 1.0f);
    front().play("click", -1, 1.0f);
    front().setChannelPaused(99, true);
    SoundHandle* h = front().createHandle("click");
    h->play(16, false);
    EXPECT_EQ(h->_voice, nullptr);
    EXPECT_EQ(busyVoices(), 0);
    EXPECT_TRUE(logContains("[SoundInterface::play] invalid channel 16"));
}

TEST_F(SoundFrontEnd, MusicVolumeAndSwitch) {
    front().setMusicVolume(0.6f);
    front().update();
    EXPECT_TRUE(front()._musicVolumeDirty) << "kept for the next track";
    front().playMusic("music/theme.ogg");
    ASSERT_NE(front()._musicPlayer, nullptr);
    EXPECT_NEAR(front()._musicPlayer->GetVolume(), 0.6f, 1e-6);
    EXPECT_STREQ(front()._musicPlayer->GetFileName(), "music/theme.ogg");
    front().setMusicVolume(0.3f);
    EXPECT_NEAR(front()._musicPlayer->GetVolume(), 0.6f, 1e-6);
    front().update();
    EXPECT_FALSE(front()._musicVolumeDirty);
    EXPECT_NEAR(front()._musicPlayer->GetVolume(), 0.3f, 1e-6);
    auto* system = static_cast<CCocoaMusicPlayer*>(front()._musicPlayer)->player();
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(system->isPlaying());

    front().stopMusic();
    EXPECT_EQ(front()._musicPlayer, nullptr);
    front()._musicEnabled = false;
    front().playMusic("music/theme.ogg");
    EXPECT_EQ(front()._musicPlayer, nullptr);
    front()._musicEnabled = true;
    front().playMusic("music/none.ogg");
    EXPECT_TRUE(logContains("[SoundInterface::playMusic] cannot play 'music/none.ogg'"));
}

}  // namespace

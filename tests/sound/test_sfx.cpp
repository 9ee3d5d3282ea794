// The voice pool on OpenAL Soft's null device: voice choice and limits, priorities, groups,
// the listener, throttled updates and streaming voices.

#include <AL/al.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <thread>

#include "SoundTestSupport.h"
#include "TestSupport.h"
#include "engine/clock.h"
#include "engine/sound/OggVorbis.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"

namespace {

ALint sourceState(const SoundInstance* voice) {
    ALint state = 0;
    alGetSourcei(voice->source, AL_SOURCE_STATE, &state);
    return state;
}

float sourceFloat(const SoundInstance* voice, ALenum what) {
    ALfloat v = -1;
    alGetSourcef(voice->source, what, &v);
    return v;
}

class Sfx : public ::testing::Test {
protected:
    void SetUp() override {
        soundtest::WaveLayout shortTone;  // 0.1 s
        testsupport::writeFile(bundle.path() + "/data/short.wav", soundtest::makeWave(shortTone));
        ASSERT_EQ(start(), 1);
        frameTime().msSinceStart = 0;
        frameTime().dt = 0.016f;
    }
    void TearDown() override {
        sounds.clear();
        sfx_Shutdown();
        frameTime() = FrameTime();
    }
    virtual int start() { return soundtest::initSound(16); }

    SoundBuffer* makeSound(uint32_t maxInstances = 32) {
        sounds.emplace_back(new SoundBuffer());
        SoundBuffer* s = sounds.back().get();
        EXPECT_EQ(s->AddFile("short.wav"), 1);
        s->max_instances = maxInstances;
        return s;
    }
    SoundInstance* play(SoundBuffer* sound, uint32_t flags = SoundLoop, int group = 0, float x = 0, float y = 0,
                        float z = 0) {
        SoundParams p;
        p.flags = flags;
        p.group = group;
        p.position[0] = x;
        p.position[1] = y;
        p.position[2] = z;
        return sfx_Play(sound, p);
    }
    // Runs one voice update: the clock moves past the voice interval first.
    void voiceUpdate() {
        frameTime().msSinceStart += sfx_Params().voiceIntervalMs + 1;
        sfx_Update();
    }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores{bundle.path(), documents.path()};
    std::vector<std::unique_ptr<SoundBuffer>> sounds;
};

TEST_F(Sfx, VoicePoolIsTheSmallerOfSourcesAndMaxVoices) {
    EXPECT_TRUE(sfx_HasDevice());
    ASSERT_EQ(sfx_VoiceCount(), 16);
    std::set<uint32_t> names;
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(alIsSource(sfx_Voice(i)->source));
        EXPECT_EQ(sfx_Voice(i)->priority, 100);
        names.insert(sfx_Voice(i)->source);
    }
    EXPECT_EQ(names.size(), 16u);
    EXPECT_EQ(sfx_DummyVoice(), nullptr);
    ASSERT_EQ(soundtest::initSound(1000), 1);
    EXPECT_EQ(sfx_VoiceCount(), 256);
}

TEST_F(Sfx, SeventeenthStartFindsNoVoice) {
    SoundBuffer* sound = makeSound();
    std::set<SoundInstance*> voices;
    for (int i = 0; i < 16; ++i) {
        SoundInstance* v = play(sound);
        ASSERT_NE(v, nullptr) << i;
        EXPECT_EQ(sourceState(v), AL_PLAYING);
        voices.insert(v);
    }
    EXPECT_EQ(voices.size(), 16u);
    EXPECT_EQ(play(sound), nullptr);
    EXPECT_EQ(play(makeSound()), nullptr);
    SoundInstance* freed = sfx_Voice(5);
    freed->Stop();
    EXPECT_EQ(play(sound), freed);
}

TEST_F(Sfx, MaxInstancesLimitsOneSoundWhateverVoicesAreFree) {
    const struct {
        uint32_t maxInstances;
        int allowed;
    } cases[] = {{2, 2}, {1, 1}, {0, 1}, {5, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxInstances);
        SoundBuffer* sound = makeSound(c.maxInstances);
        for (int i = 0; i < c.allowed; ++i)
            ASSERT_NE(play(sound), nullptr);
        EXPECT_EQ(play(sound), nullptr);
        EXPECT_NE(play(makeSound(1)), nullptr) << "another sound still starts";
        for (int i = 0; i < 16; ++i)
            sfx_Voice(i)->Stop();
    }
}

TEST_F(Sfx, ReuseBitReturnsTheOwnersBusyVoice) {
    SoundBuffer* sound = makeSound();
    SoundParams p;
    p.ownerId = 7;
    p.flags = SoundLoop;
    SoundInstance* first = sfx_Play(sound, p);
    ASSERT_NE(first, nullptr);
    alSourcef(first->source, AL_SEC_OFFSET, 0.05f);  // a restart would rewind it
    p.flags |= SoundReuse;
    EXPECT_EQ(sfx_Play(sound, p), first);
    EXPECT_GT(sourceFloat(first, AL_SEC_OFFSET), 0.04f);
    p.flags = SoundLoop;
    SoundInstance* second = sfx_Play(sound, p);
    EXPECT_NE(second, nullptr);
    EXPECT_NE(second, first);
}

TEST_F(Sfx, ReservedAndPausedVoicesAreNotChosen) {
    ASSERT_EQ(soundtest::initSound(2), 1);
    SoundBuffer* sound = makeSound();
    SoundInstance* a = play(sound);
    SoundInstance* b = play(sound);
    ASSERT_TRUE(a && b);
    a->Stop();
    a->reserved = 1;
    b->Pause();
    EXPECT_EQ(sourceState(b), AL_PAUSED);
    EXPECT_EQ(play(sound), nullptr);
    a->reserved = 0;
    EXPECT_EQ(play(sound), a);
}

TEST_F(Sfx, PositionalPriorityFallsWithDistance) {
    SoundBuffer* sound = makeSound();
    sound->power = 200;
    sound->min_distance = 10;
    sound->max_distance = 110;
    sound->attenuation = 1;
    sfx_SetListenerPosition(100, 0, 0);
    const struct {
        float distance;
        int32_t priority;
    } cases[] = {{0, 200}, {5, 200}, {10, 200}, {60, 100}, {110, 0}, {500, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.distance);
        SoundInstance* v = play(sound, SoundPositional, 0, 100, c.distance, 0);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->priority, c.priority);
        v->Stop();
    }
    // Half the attenuation leaves half the power at the far end.
    sound->attenuation = 0.5f;
    SoundInstance* far = play(sound, SoundPositional, 0, 100, 110, 0);
    EXPECT_EQ(far->priority, 100);
    EXPECT_EQ(sourceFloat(far, AL_ROLLOFF_FACTOR), 0.5f);
    EXPECT_EQ(sourceFloat(far, AL_REFERENCE_DISTANCE), 10.0f);
    EXPECT_EQ(sourceFloat(far, AL_MAX_DISTANCE), 110.0f);
    ALint relative = -1;
    alGetSourcei(far->source, AL_SOURCE_RELATIVE, &relative);
    EXPECT_EQ(relative, AL_FALSE);
}

TEST_F(Sfx, NonPositionalSoundIgnoresTheListener) {
    SoundBuffer* sound = makeSound();
    sound->power = 70;
    sound->attenuation = 1;
    sound->max_distance = 5;
    sfx_SetListenerPosition(1e6f, 0, 0);
    voiceUpdate();
    SoundInstance* v = play(sound, 0, 0, 1e6f, 1e6f, 0);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->priority, 70);
    ALint relative = 0;
    alGetSourcei(v->source, AL_SOURCE_RELATIVE, &relative);
    EXPECT_EQ(relative, AL_TRUE);
    ALfloat pos[3] = {1, 1, 1};
    alGetSourcefv(v->source, AL_POSITION, pos);
    EXPECT_EQ(pos[0], 0.0f);
    EXPECT_EQ(sourceFloat(v, AL_REFERENCE_DISTANCE), 9999899.0f);
    EXPECT_EQ(sourceFloat(v, AL_MAX_DISTANCE), 9999989.0f);
    EXPECT_EQ(sourceFloat(v, AL_GAIN), 1.0f);
}

TEST_F(Sfx, GainAndGroupVolumeReachTheSourceAtTheNextVoiceUpdate) {
    SoundBuffer* sound = makeSound();
    sound->volume = 80;
    SoundParams p;
    p.flags = SoundLoop;
    p.volume = 0.5f;
    p.group = 3;
    SoundInstance* v = sfx_Play(sound, p);
    p.group = 4;
    SoundInstance* other = sfx_Play(sound, p);
    ASSERT_TRUE(v && other);
    EXPECT_FLOAT_EQ(v->gain, 0.5f * 0.01f * 80);
    EXPECT_FLOAT_EQ(sourceFloat(v, AL_GAIN), 0.4f);

    sfx_SetGroupVolume(3, 0.5f);
    EXPECT_FLOAT_EQ(sfx_GetGroupVolume(3), 0.5f);
    EXPECT_FLOAT_EQ(sourceFloat(v, AL_GAIN), 0.4f) << "not at once";
    frameTime().msSinceStart += sfx_Params().voiceIntervalMs;  // not past the interval yet
    sfx_Update();
    EXPECT_FLOAT_EQ(sourceFloat(v, AL_GAIN), 0.4f);
    voiceUpdate();
    EXPECT_FLOAT_EQ(sourceFloat(v, AL_GAIN), 0.2f);
    EXPECT_FLOAT_EQ(sourceFloat(other, AL_GAIN), 0.4f);

    // A voice started in a quiet group starts quiet.
    p.group = 3;
    SoundInstance* late = sfx_Play(sound, p);
    EXPECT_FLOAT_EQ(sourceFloat(late, AL_GAIN), 0.2f);
}

TEST_F(Sfx, ListenerIsSentAtTheNextVoiceUpdate) {
    sfx_SetListenerPosition(1, 2, 3);
    sfx_SetListenerOrientation(0, 0, -1, 0, 1, 0);
    ALfloat pos[3] = {0, 0, 0};
    alGetListenerfv(AL_POSITION, pos);
    EXPECT_EQ(pos[0], 0.0f);
    voiceUpdate();
    alGetListenerfv(AL_POSITION, pos);
    EXPECT_EQ(pos[2], 3.0f);
    ALfloat o[6] = {0};
    alGetListenerfv(AL_ORIENTATION, o);
    EXPECT_EQ(o[2], -1.0f);
    EXPECT_EQ(o[4], 1.0f);
    // Only the up vector changes: still sent.
    sfx_SetListenerOrientation(0, 0, -1, 1, 0, 0);
    voiceUpdate();
    alGetListenerfv(AL_ORIENTATION, o);
    EXPECT_EQ(o[3], 1.0f);
    EXPECT_EQ(o[4], 0.0f);
}

TEST_F(Sfx, PositionMovesAreBatched) {
    SoundBuffer* sound = makeSound();
    SoundInstance* v = play(sound, SoundLoop | SoundPositional, 0, 1, 0, 0);
    ASSERT_NE(v, nullptr);
    v->SetPosition(5, 6, 7);
    EXPECT_EQ(v->dirty & (DirtyPosition | DirtyGain), (uint32_t)(DirtyPosition | DirtyGain));
    ALfloat pos[3];
    alGetSourcefv(v->source, AL_POSITION, pos);
    EXPECT_EQ(pos[0], 1.0f);
    voiceUpdate();
    alGetSourcefv(v->source, AL_POSITION, pos);
    EXPECT_EQ(pos[0], 5.0f);
    EXPECT_EQ(pos[2], 7.0f);
    EXPECT_EQ(v->dirty, 0u);
}

TEST_F(Sfx, PauseAndResumeGroupWithoutReplayingFinishedVoices) {
    SoundBuffer* sound = makeSound();
    SoundInstance* looping = play(sound, SoundLoop, 2);
    SoundInstance* oneShot = play(sound, 0, 2);
    SoundInstance* otherGroup = play(sound, SoundLoop, 5);
    ASSERT_TRUE(looping && oneShot && otherGroup);
    ASSERT_TRUE(soundtest::waitUntil([&] { return sourceState(oneShot) == AL_STOPPED; }));

    sfx_PauseGroup(2);
    EXPECT_EQ(sourceState(looping), AL_PAUSED);
    EXPECT_EQ(sourceState(otherGroup), AL_PLAYING);
    EXPECT_FALSE(looping->IsBusy());
    sfx_ResumeGroup(2);
    EXPECT_EQ(sourceState(looping), AL_PLAYING);
    EXPECT_EQ(sourceState(oneShot), AL_STOPPED) << "a finished one-shot stays finished";

    sfx_StopGroup(2);
    EXPECT_EQ(sourceState(looping), AL_STOPPED);
    EXPECT_EQ(sourceState(otherGroup), AL_PLAYING);
}

TEST_F(Sfx, PriorityMixScalesByTheLoudestVoice) {
    ASSERT_EQ(soundtest::initSound(16, false, true), 1);
    SoundBuffer* sound = makeSound();
    sound->min_distance = 1;
    sound->max_distance = 101;
    sound->attenuation = 1;
    SoundInstance* near = play(sound, SoundLoop | SoundPositional, 0, 0, 0, 0);
    SoundInstance* far = play(sound, SoundLoop | SoundPositional, 0, 76, 0, 0);
    ASSERT_TRUE(near && far);
    EXPECT_EQ(far->priority, 25);
    EXPECT_FLOAT_EQ(far->targetFactor, 0.25f);
    EXPECT_FLOAT_EQ(far->currentFactor, 0.25f);
    // The near one moves away: its target falls, and the current factor follows in steps.
    near->SetPosition(51, 0, 0);
    frameTime().dt = 0.01f;
    voiceUpdate();
    EXPECT_EQ(near->priority, 50);
    EXPECT_FLOAT_EQ(near->targetFactor, 1.0f);
    EXPECT_FLOAT_EQ(far->targetFactor, 0.5f);
    EXPECT_GT(far->currentFactor, 0.25f);
    EXPECT_LT(far->currentFactor, 0.5f);
    float before = far->currentFactor;
    for (int i = 0; i < 200; ++i)
        voiceUpdate();
    EXPECT_GT(far->currentFactor, before);
    EXPECT_FLOAT_EQ(far->currentFactor, 0.5f);
    EXPECT_FLOAT_EQ(sourceFloat(far, AL_GAIN), 0.5f);
}

TEST_F(Sfx, FreshSourcesWhenSourcesAreNotKept) {
    SfxInitParams p;
    p.maxVoices = 2;
    p.keepSources = 0;
    ASSERT_EQ(sfx_Init(p), 1);
    SoundBuffer* sound = makeSound();
    SoundInstance* v = play(sound);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(sourceState(v), AL_PLAYING);
    uint32_t firstSource = v->source;
    v->Stop();
    EXPECT_EQ(play(sound), v);
    EXPECT_TRUE(alIsSource(v->source));
    EXPECT_FALSE(alIsSource(firstSource) && firstSource != v->source);
    EXPECT_EQ(sourceState(v), AL_PLAYING);
}

// A stream set up by hand on a voice: four buffers of Ogg refilled as they finish.
void startStream(SoundInstance* voice, int32_t bytesPerRefill) {
    int error = 0;
    SoundStream& st = voice->stream;
    st.vorbis = oggOpenFile(soundtest::fixture("tone_mono.ogg").c_str(), &error, nullptr);
    ASSERT_NE(st.vorbis, nullptr);
    st.channels = 1;
    st.sampleRate = 22050;
    st.format = AL_FORMAT_MONO16;
    st.samplesPerRefill = bytesPerRefill;
    alGenBuffers(4, st.buffers);
    std::vector<short> block((size_t)bytesPerRefill / 2);
    for (uint32_t b : st.buffers) {
        int frames = oggGetSamplesShortInterleaved(st.vorbis, 1, block.data(), (int)block.size());
        alBufferData(b, st.format, block.data(), frames * 2, st.sampleRate);
    }
    alSourceQueueBuffers(voice->source, 4, st.buffers);
    alSourcePlay(voice->source);
    voice->streaming = 1;
}

class SfxStreams : public Sfx, public ::testing::WithParamInterface<bool> {
protected:
    int start() override { return soundtest::initSound(4, GetParam()); }
};

TEST_P(SfxStreams, StreamRefillsUntilTheEndThenReleases) {
    SoundInstance* voice = sfx_Voice(0);
    // 512 frames a refill: the 5512 frames need several rounds beyond the first four buffers.
    startStream(voice, 1024);
    EXPECT_TRUE(voice->IsBusy());
    SoundBuffer* sound = makeSound();
    EXPECT_NE(play(sound), voice) << "a streaming voice is not free";
    auto begun = std::chrono::steady_clock::now();
    ASSERT_TRUE(soundtest::waitUntil(
        [&] {
            sfx_Update();
            return !voice->streaming;
        },
        5000));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    // The first four buffers hold 0.09 s; the whole stream lasts 0.25 s.
    EXPECT_GT(seconds, 0.18);
    EXPECT_EQ(voice->stream.vorbis, nullptr);
    for (uint32_t b : voice->stream.buffers)
        EXPECT_EQ(b, 0u);
}

TEST_P(SfxStreams, StoppingAStreamReleasesIt) {
    SoundInstance* voice = sfx_Voice(1);
    startStream(voice, 4096);
    uint32_t first = voice->stream.buffers[0];
    voice->Stop();
    EXPECT_EQ(voice->streaming, 0);
    EXPECT_EQ(voice->stream.vorbis, nullptr);
    EXPECT_FALSE(alIsBuffer(first));
    EXPECT_EQ(sourceState(voice), AL_STOPPED);
}

INSTANTIATE_TEST_SUITE_P(MainThreadAndStreamThread, SfxStreams, ::testing::Bool());

using SfxDeath = Sfx;

TEST_F(SfxDeath, AssertionsOfTheVoiceSystem) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SoundBuffer* sound = makeSound();
    EXPECT_DEATH(sfx_SetGroupVolume(16, 1.0f), "group_id >= 0 && group_id < SFX_MAX_GROUP_ID");
    EXPECT_DEATH(sfx_PauseGroup(-1), "group_id >= 0");
    EXPECT_DEATH(play(sound, 0, 16), "group_id >= 0");
    SoundInstance* flat = play(sound);
    ASSERT_NE(flat, nullptr);
    EXPECT_DEATH(flat->SetPosition(1, 2, 3), "Is3D\\(\\)");
    EXPECT_DEATH(
        {
            startStream(sfx_Voice(3), 2048);
            sfx_Voice(3)->Pause();
        },
        "SoundInstance::Pause nem tamogatott stream-eken");
}

}  // namespace

#include "engine/sound/sfx.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/clock.h"
#include "engine/sound/OggVorbis.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/utils.h"

static const char* const kSfxSource = "source/engine/sound/sfx";

namespace {

enum { MaxSources = 256 };
enum ListenerDirty : uint32_t { ListenerPositionDirty = 4, ListenerOrientationDirty = 8 };

struct SfxState {
    SfxInitParams params;
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    std::vector<SoundInstance*> voices;
    std::vector<uint8_t> busy;  // per voice, filled during a voice update
    SoundInstance* dummy = nullptr;
    float listenerPosition[3] = {0, 0, 0};
    float listenerOrientation[6] = {0, 0, 0, 0, 0, 0};
    uint32_t listenerDirty = 0;
    float groupVolume[SFX_MAX_GROUP_ID];
    int32_t lastPitchMs = 0;
    int32_t lastVoiceMs = 0;
    std::mutex mutex;
    std::thread thread;
    std::atomic<bool> threadRun{false};
    bool threadStarted = false;

    SfxState() {
        for (float& v : groupVolume)
            v = 1.0f;
    }
};

SfxState& sfx() {
    static SfxState s;
    return s;
}

// The decode buffer of the stream refills, made once at program start.
Buffer& decodeBuffer() {
    static Buffer buffer(51200);
    return buffer;
}
const bool kDecodeBufferMade = (decodeBuffer(), true);

// Holds the sound mutex only while the streaming thread runs; without it everything is on
// the main thread and nothing needs locking.
class StreamLock {
public:
    StreamLock() {
        if (sfx().threadStarted)
            _lock = std::unique_lock<std::mutex>(sfx().mutex);
    }

private:
    std::unique_lock<std::mutex> _lock;
};

void checkGroup(int group) {
    XAssert(group >= 0 && group < SFX_MAX_GROUP_ID ? 1 : 0, "group_id >= 0 && group_id < SFX_MAX_GROUP_ID",
            kSfxSource, 412);
}

ALint sourceState(uint32_t source) {
    if (!source)
        return AL_INITIAL;
    ALint value = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &value);
    return value;
}

bool stateIsBusy(const SoundInstance* voice, ALint state) {
    return state == AL_PLAYING || (voice->streaming && (state == AL_INITIAL || state == AL_STOPPED));
}

float sentGain(const SoundInstance* voice) {
    const SfxState& s = sfx();
    int group = voice->group >= 0 && voice->group < SFX_MAX_GROUP_ID ? voice->group : 0;
    float g = voice->gain * (s.params.priorityGain ? voice->currentFactor : 1.0f) * s.groupVolume[group];
    // OpenAL refuses negative gains; a NaN or negative product is silence.
    return g > 0 ? g : 0.0f;
}

// The attenuation distances as OpenAL accepts them: both positive, the maximum not below the
// reference.
float alReference(const SoundInstance* voice) {
    return voice->referenceDistance >= 1.0f ? voice->referenceDistance : 1.0f;
}
float alMaximum(const SoundInstance* voice) {
    float ref = alReference(voice);
    return voice->maxDistance > ref ? voice->maxDistance : ref;
}
float alRolloff(const SoundInstance* voice) { return voice->rolloff > 0 ? voice->rolloff : 0.0f; }

void sendPosition(SoundInstance* voice) {
    alSource3f(voice->source, AL_POSITION, voice->position[0], voice->position[1], voice->position[2]);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// SoundInstance

SoundInstance::SoundInstance() {}

SoundInstance::~SoundInstance() {
    ReleaseStream();
    if (source) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
        alDeleteSources(1, &source);
        source = 0;
    }
}

bool SoundInstance::IsBusy() { return stateIsBusy(this, sourceState(source)); }

int SoundInstance::IsPlaying() { return source && sourceState(source) == AL_PLAYING ? 1 : 0; }

int SoundInstance::IsPaused() { return source && sourceState(source) == AL_PAUSED ? 1 : 0; }

void SoundInstance::Stop() {
    if (source) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
    }
    StreamLock lock;
    ReleaseStream();
}

void SoundInstance::Pause() {
    if (streaming)
        XAssert(0, "!\"SoundInstance::Pause nem tamogatott stream-eken\"", kSfxSource, 301);
    if (source)
        alSourcePause(source);
}

void SoundInstance::SetPosition(float x, float y, float z) {
    // The silent stand-in voice answers every start without a device, positional or not.
    if (!source)
        return;
    XAssert(Is3D() ? 1 : 0, "Is3D()", kSfxSource, 322);
    const float p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        if (position[i] != p[i]) {
            position[i] = p[i];
            dirty |= DirtyPosition | DirtyGain;
        }
    }
}

void SoundInstance::ReleaseStream() {
    if (!streaming && !stream.vorbis && !stream.buffers[0])
        return;
    // Queued buffers cannot be deleted: detach them first.
    if (source) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
    }
    if (stream.vorbis) {
        oggClose(stream.vorbis);
        stream.vorbis = nullptr;
    }
    for (uint32_t& b : stream.buffers) {
        if (b) {
            alDeleteBuffers(1, &b);
            b = 0;
        }
    }
    streaming = 0;
}

void SoundInstance::Play(SoundBuffer* sound, const SoundParams& params) {
    {
        StreamLock lock;
        ReleaseStream();
    }
    SfxState& s = sfx();
    if (source) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
    }
    gain = params.volume * 0.01f * (float)sound->volume;
    pitch = params.pitch;
    std::memcpy(position, params.position, sizeof(position));
    rolloff = sound->attenuation;
    referenceDistance = sound->min_distance;
    maxDistance = sound->max_distance;
    dirty = 0;
    group = params.group;
    buffer = sound;
    ownerId = params.ownerId;
    flags = params.flags;
    if (priority <= 0)
        flags |= SoundUnmixed;
    // streaming is 0 here: the stream was released above, under the lock the thread takes.

    priority = sfx_Priority(sound, flags, position);
    int32_t loudest = priority;
    for (SoundInstance* other : s.voices) {
        if (other == this || !other->buffer || !other->IsBusy())
            continue;
        int32_t p = sfx_Priority(other->buffer, other->flags, other->position);
        if (p > loudest)
            loudest = p;
    }
    targetFactor = currentFactor = loudest > 0 ? std::max(0.0f, (float)priority / (float)loudest) : 1.0f;

    if (!s.params.keepSources && source) {
        alDeleteSources(1, &source);
        source = 0;
        alGenSources(1, &source);
    }

    XAssert(sound->m_BufferCount >= 1 ? 1 : 0, "m_BufferCount >= 1", kSfxSource, 503);
    int index = sound->PickVariant(sound->m_BufferCount == 1 ? 0u : (uint32_t)std::rand());
    if (index < 0 || !source)
        return;

    alSourcei(source, AL_BUFFER, (ALint)sound->m_Variants[(size_t)index].buffer);
    alSourcei(source, AL_LOOPING, (flags & SoundLoop) ? AL_TRUE : AL_FALSE);
    alSourcef(source, AL_PITCH, pitch);
    alSourcef(source, AL_GAIN, sentGain(this));
    if (Is3D()) {
        sendPosition(this);
        alSourcef(source, AL_REFERENCE_DISTANCE, alReference(this));
        alSourcef(source, AL_MAX_DISTANCE, alMaximum(this));
        alSourcef(source, AL_ROLLOFF_FACTOR, alRolloff(this));
        alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
    } else {
        // Pinned to the listener, with distances no level ever reaches.
        alSource3f(source, AL_POSITION, 0, 0, 0);
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
        alSourcef(source, AL_REFERENCE_DISTANCE, 9999899.0f);
        alSourcef(source, AL_MAX_DISTANCE, 9999989.0f);
    }
    alSourcePlay(source);
}

// ---------------------------------------------------------------------------------------------
// The system

int32_t sfx_Priority(const SoundBuffer* sound, uint32_t flags, const float position[3]) {
    if (!sound)
        return 0;
    if (!(flags & SoundPositional))
        return sound->power;
    const SfxState& s = sfx();
    float dx = position[0] - s.listenerPosition[0];
    float dy = position[1] - s.listenerPosition[1];
    float dz = position[2] - s.listenerPosition[2];
    float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    float minD = sound->min_distance;
    float maxD = sound->max_distance;
    float factor;
    if (!(d > minD)) {
        factor = 1.0f;  // within min_distance (or an unknown distance): full power
    } else if (!(maxD > minD)) {
        // No falling range: everything beyond min_distance is at the far end.
        factor = 1.0f - sound->attenuation;
    } else {
        float c = d < maxD ? d : maxD;
        factor = 1.0f + sound->attenuation * (minD - c) / (maxD - minD);
    }
    float p = (float)sound->power * factor;
    if (!(p == p))
        return 0;
    if (p >= 2147483520.0f)
        return INT32_MAX;
    if (p <= -2147483648.0f)
        return INT32_MIN;
    return (int32_t)p;
}

bool sfx_HasDevice() { return sfx().device != nullptr && sfx().context != nullptr; }
int sfx_VoiceCount() { return (int)sfx().voices.size(); }
SoundInstance* sfx_Voice(int index) {
    SfxState& s = sfx();
    return index >= 0 && index < (int)s.voices.size() ? s.voices[(size_t)index] : nullptr;
}
SoundInstance* sfx_DummyVoice() { return sfx().dummy; }
const SfxInitParams& sfx_Params() { return sfx().params; }

int sfx_Init(const SfxInitParams& params) {
    sfx_Shutdown();
    SfxState& s = sfx();
    s.params = params;

    s.device = alcOpenDevice(nullptr);
    if (!s.device) {
        Logger::error("[sfx_Init] alcOpenDevice() failed");
        s.dummy = new SoundInstance();
        return 0;
    }
    s.context = alcCreateContext(s.device, nullptr);
    if (!s.context) {
        Logger::error("[sfx_Init] alcCreateContext() failed");
        sfx_Shutdown();
        s.dummy = new SoundInstance();
        return 0;
    }
    alcMakeContextCurrent(s.context);
    alGetError();

    // How many sources this device gives, at most 256.
    ALuint probe[MaxSources];
    int available = 0;
    while (available < MaxSources) {
        alGenSources(1, &probe[available]);
        if (alGetError() != AL_NO_ERROR)
            break;
        ++available;
    }
    if (available > 0)
        alDeleteSources(available, probe);
    int count = std::min(available, std::max(0, params.maxVoices));

    s.voices.reserve((size_t)count);
    for (int i = 0; i < count; ++i) {
        SoundInstance* voice = new SoundInstance();
        alGenSources(1, &voice->source);
        voice->priority = 100;
        voice->targetFactor = voice->currentFactor = 1.0f;
        s.voices.push_back(voice);
    }
    s.busy.assign(s.voices.size(), 0);

    std::memset(s.listenerPosition, 0, sizeof(s.listenerPosition));
    std::memset(s.listenerOrientation, 0, sizeof(s.listenerOrientation));
    s.listenerDirty = 0;
    alListenerfv(AL_POSITION, s.listenerPosition);
    alListenerfv(AL_ORIENTATION, s.listenerOrientation);
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    s.lastPitchMs = 0;
    s.lastVoiceMs = 0;

    if (params.useStreamThread) {
        s.threadRun = true;
        s.threadStarted = true;
        s.thread = std::thread(sfx_StreamThread);
    }
    for (float& v : s.groupVolume)
        v = 1.0f;
    return 1;
}

void sfx_Shutdown() {
    SfxState& s = sfx();
    s.threadRun = false;
    if (s.thread.joinable())
        s.thread.join();
    s.threadStarted = false;
    for (SoundInstance* voice : s.voices)
        voice->Stop();
    for (SoundInstance* voice : s.voices)
        delete voice;
    s.voices.clear();
    s.busy.clear();
    if (s.context) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(s.context);
        s.context = nullptr;
    }
    if (s.device) {
        alcCloseDevice(s.device);
        s.device = nullptr;
    }
    delete s.dummy;
    s.dummy = nullptr;
}

SoundInstance* sfx_Play(SoundBuffer* sound, const SoundParams& params) {
    SfxState& s = sfx();
    if (!sfx_HasDevice())
        return s.dummy;
    if (s.voices.empty())
        return nullptr;
    checkGroup(params.group);
    // A sound whose variants all failed (or that has none) has nothing to play.
    if (!sound || !sound->HasPlayableVariant())
        return nullptr;

    uint32_t limit = sound->max_instances > 0 ? sound->max_instances : 1;
    uint32_t instances = 0;
    SoundInstance* chosen = nullptr;
    for (SoundInstance* voice : s.voices) {
        ALint state = sourceState(voice->source);
        if (stateIsBusy(voice, state)) {
            if (voice->ownerId == params.ownerId && (params.flags & SoundReuse))
                return voice;
            if (voice->buffer == sound && ++instances >= limit)
                return nullptr;
            continue;
        }
        if (state == AL_PAUSED)
            continue;
        if (!chosen && !voice->reserved)
            chosen = voice;
    }
    if (!chosen)
        return nullptr;
    chosen->Play(sound, params);
    return chosen;
}

void sfx_Update() {
    SfxState& s = sfx();
    if (!sfx_HasDevice())
        return;
    if (s.threadStarted) {
        std::lock_guard<std::mutex> lock(s.mutex);
        sfx_UpdateVoices();
    } else {
        sfx_UpdateVoices();
        sfx_UpdateStreams();
    }
}

void sfx_UpdateVoices() {
    SfxState& s = sfx();
    if (!sfx_HasDevice())
        return;
    const int32_t now = frameTime().msSinceStart;
    const size_t n = s.voices.size();

    if (now - s.lastPitchMs > s.params.pitchIntervalMs) {
        s.lastPitchMs = now;
        for (SoundInstance* voice : s.voices) {
            if ((voice->dirty & DirtyPitch) && voice->IsBusy()) {
                voice->dirty &= ~(uint32_t)DirtyPitch;
                alSourcef(voice->source, AL_PITCH, voice->pitch);
            }
        }
    }

    if (!(now - s.lastVoiceMs > s.params.voiceIntervalMs))
        return;
    s.lastVoiceMs = now;
    for (size_t i = 0; i < n; ++i)
        s.busy[i] = s.voices[i]->IsBusy() ? 1 : 0;

    // The priority mix: every mixed voice relative to the loudest one.
    int32_t loudest = 0;
    for (size_t i = 0; i < n; ++i) {
        SoundInstance* voice = s.voices[i];
        if (!s.busy[i] || (voice->flags & SoundUnmixed))
            continue;
        voice->priority = sfx_Priority(voice->buffer, voice->flags, voice->position);
        if (voice->priority > loudest)
            loudest = voice->priority;
    }
    const float f = loudest > 0 ? 1.0f / (float)loudest : 1.0f;
    const float dt = frameTime().dt;
    for (size_t i = 0; i < n; ++i) {
        SoundInstance* voice = s.voices[i];
        if (!s.busy[i] || (voice->flags & SoundUnmixed))
            continue;
        float target = f * (float)voice->priority;
        if (target != voice->targetFactor) {
            voice->targetFactor = target;
            voice->dirty |= DirtyGain;
        }
        float diff = voice->targetFactor - voice->currentFactor;
        if (std::fabs(diff) < 0.0001f) {
            voice->currentFactor = voice->targetFactor;
            continue;
        }
        if (diff > 0) {
            float rate = std::min(std::max(5.0f * diff, 0.1f), 5.5f);
            voice->currentFactor = std::min(voice->currentFactor + dt * rate, voice->targetFactor);
        } else {
            float rate = std::min(std::max(40.0f * -diff, 0.4f), 50.0f);
            voice->currentFactor = std::max(voice->currentFactor - dt * rate, voice->targetFactor);
        }
        voice->dirty |= DirtyGain;
    }

    if (s.listenerDirty & ListenerPositionDirty) {
        alListenerfv(AL_POSITION, s.listenerPosition);
        s.listenerDirty &= ~(uint32_t)ListenerPositionDirty;
    }
    if (s.listenerDirty & ListenerOrientationDirty) {
        alListenerfv(AL_ORIENTATION, s.listenerOrientation);
        s.listenerDirty &= ~(uint32_t)ListenerOrientationDirty;
    }

    for (size_t i = 0; i < n; ++i) {
        SoundInstance* voice = s.voices[i];
        if (!s.busy[i] || !voice->dirty)
            continue;
        if (voice->dirty & DirtyGain)
            alSourcef(voice->source, AL_GAIN, sentGain(voice));
        if (voice->dirty & DirtyRolloff)
            alSourcef(voice->source, AL_ROLLOFF_FACTOR, alRolloff(voice));
        if (voice->dirty & DirtyPosition)
            sendPosition(voice);
        if (voice->dirty & DirtyReferenceDistance)
            alSourcef(voice->source, AL_REFERENCE_DISTANCE, alReference(voice));
        if (voice->dirty & DirtyMaxDistance)
            alSourcef(voice->source, AL_MAX_DISTANCE, alMaximum(voice));
        voice->dirty &= (uint32_t)DirtyPitch;
    }
}

void sfx_UpdateStreams() {
    SfxState& s = sfx();
    Buffer& decoded = decodeBuffer();
    for (SoundInstance* voice : s.voices) {
        if (!voice->streaming)
            continue;
        SoundStream& st = voice->stream;
        const int32_t shorts = st.samplesPerRefill / 2;
        if (shorts <= 0 || st.channels <= 0 || !decoded.Resize(st.samplesPerRefill))
            continue;
        ALint processed = 0;
        alGetSourcei(voice->source, AL_BUFFERS_PROCESSED, &processed);
        while (processed-- > 0) {
            ALuint b = 0;
            alSourceUnqueueBuffers(voice->source, 1, &b);
            int frames = st.vorbis ? oggGetSamplesShortInterleaved(
                                         st.vorbis, st.channels, (short*)decoded.data, shorts)
                                   : 0;
            if (frames > 0) {
                alBufferData(b, st.format, decoded.data, frames * st.channels * 2, st.sampleRate);
                alSourceQueueBuffers(voice->source, 1, &b);
            }
        }
        if (sourceState(voice->source) != AL_PLAYING) {
            ALint queued = 0;
            alGetSourcei(voice->source, AL_BUFFERS_QUEUED, &queued);
            if (queued > 0) {
                alSourcePlay(voice->source);
            } else {
                alSourceStop(voice->source);
                alSourcei(voice->source, AL_BUFFER, 0);
                voice->ReleaseStream();
            }
        }
    }
}

void sfx_StreamThread() {
    SfxState& s = sfx();
    do {
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            sfx_UpdateStreams();
        }
        sleepMs((uint32_t)std::max(0, s.params.threadSleepMs));
    } while (s.threadRun);
}

// ---------------------------------------------------------------------------------------------
// Groups and listener

void sfx_SetGroupVolume(int group, float volume) {
    checkGroup(group);
    SfxState& s = sfx();
    if (s.groupVolume[group] == volume)
        return;
    s.groupVolume[group] = volume;
    for (SoundInstance* voice : s.voices) {
        if (voice->group == group)
            voice->dirty |= DirtyGain;
    }
}

float sfx_GetGroupVolume(int group) {
    checkGroup(group);
    return sfx().groupVolume[group];
}

void sfx_StopGroup(int group) {
    checkGroup(group);
    for (SoundInstance* voice : sfx().voices) {
        if (voice->group == group && !voice->streaming)
            voice->Stop();
    }
}

void sfx_PauseGroup(int group) {
    checkGroup(group);
    for (SoundInstance* voice : sfx().voices) {
        if (voice->group == group && !voice->streaming)
            alSourcePause(voice->source);
    }
}

void sfx_ResumeGroup(int group) {
    checkGroup(group);
    // Only paused voices go on: telling a finished voice to play would start it again.
    for (SoundInstance* voice : sfx().voices) {
        if (voice->group == group && !voice->streaming && sourceState(voice->source) == AL_PAUSED)
            alSourcePlay(voice->source);
    }
}

void sfx_SetListenerPosition(float x, float y, float z) {
    SfxState& s = sfx();
    if (!sfx_HasDevice())
        return;
    if (s.listenerPosition[0] != x || s.listenerPosition[1] != y || s.listenerPosition[2] != z) {
        s.listenerPosition[0] = x;
        s.listenerPosition[1] = y;
        s.listenerPosition[2] = z;
        s.listenerDirty |= ListenerPositionDirty;
    }
}

void sfx_SetListenerOrientation(float fx, float fy, float fz, float ux, float uy, float uz) {
    SfxState& s = sfx();
    if (!sfx_HasDevice())
        return;
    const float o[6] = {fx, fy, fz, ux, uy, uz};
    bool changed = false;
    for (int i = 0; i < 6; ++i)
        changed = changed || o[i] != s.listenerOrientation[i];
    if (changed) {
        std::memcpy(s.listenerOrientation, o, sizeof(o));
        s.listenerDirty |= ListenerOrientationDirty;
    }
}

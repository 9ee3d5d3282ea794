#pragma once
// The sound-effect system over OpenAL: a fixed pool of voices, sixteen group volumes, the
// listener, throttled voice updates from the frame loop and optional Ogg streaming voices.

#include <cstdint>

class SoundBuffer;
struct stb_vorbis;

struct SfxInitParams {
    int32_t pitchIntervalMs = 16;  // least time between two pitch refreshes
    int32_t reserved1 = 66;
    int32_t voiceIntervalMs = 33;  // least time between two voice updates
    int32_t maxVoices = 32;
    int32_t reserved2 = 300;
    int32_t threadSleepMs = 66;    // sleep of the streaming thread between refills
    uint8_t useStreamThread = 0;
    uint8_t priorityGain = 0;      // scale each voice's gain by its priority factor
    uint8_t keepSources = 1;       // 0: every start deletes and creates the source anew
    uint8_t reservedFlag = 1;
};

enum { SFX_MAX_GROUP_ID = 16 };

// Flag bits of SoundParams::flags and SoundInstance::flags.
enum SoundFlag : uint32_t {
    SoundReuse = 1,       // an owner's busy voice is returned instead of starting another
    SoundLoop = 2,
    SoundUnmixed = 8,     // voice left out of the priority mix
    SoundPositional = 16  // 3D
};

struct SoundParams {
    int32_t ownerId = 0;
    uint32_t flags = 0;
    float position[3] = {0, 0, 0};
    float volume = 1.0f;
    float pitch = 1.0f;
    int32_t group = 0;
};

// Dirty bits of a voice: values changed since they were last sent to OpenAL.
enum SoundDirty : uint32_t {
    DirtyPitch = 1,
    DirtyGain = 2,
    DirtyPosition = 4,
    DirtyReferenceDistance = 16,
    DirtyMaxDistance = 32,
    DirtyRolloff = 64
};

// An Ogg file played through four queued buffers that are refilled as they finish.
struct SoundStream {
    uint32_t buffers[4] = {0, 0, 0, 0};
    stb_vorbis* vorbis = nullptr;  // opened with oggOpenFile (engine/sound/OggVorbis.h); closed here
    int32_t sampleRate = 0;
    int32_t format = 0;
    int32_t channels = 0;
    int32_t samplesPerRefill = 0;  // bytes of 16-bit samples decoded per refill
};

// One voice: an OpenAL source and what it plays.
class SoundInstance {
public:
    SoundInstance();
    ~SoundInstance();
    SoundInstance(const SoundInstance&) = delete;
    SoundInstance& operator=(const SoundInstance&) = delete;

    void Stop();
    void Pause();
    int IsPlaying();
    // Paused voices keep their place: they are neither busy nor free.
    int IsPaused();
    void SetPosition(float x, float y, float z);
    bool Is3D() const { return (flags & SoundPositional) != 0; }

    // Busy: playing, or a stream that has not started or has run dry and waits for a refill.
    bool IsBusy();
    void Play(SoundBuffer* buffer, const SoundParams& params);
    void ReleaseStream();

    SoundBuffer* buffer = nullptr;
    int32_t ownerId = 0;
    uint32_t flags = 0;
    uint32_t source = 0;  // 0 only for the silent stand-in voice used without a device
    int32_t group = 0;
    float pitch = 1.0f;
    float gain = 1.0f;
    float position[3] = {0, 0, 0};
    float referenceDistance = 1.0f;
    float maxDistance = 1.0f;
    float rolloff = 1.0f;
    uint32_t dirty = 0;
    int32_t priority = 100;
    float targetFactor = 1.0f;
    float currentFactor = 1.0f;
    SoundStream stream;
    uint8_t streaming = 0;
    uint8_t reserved = 0;  // held by a sound handle; never handed to another start
};

// 1 when the device and context opened; 0 otherwise (every call then works silently).
int sfx_Init(const SfxInitParams& params);
void sfx_Shutdown();
void sfx_Update();
// The voice that plays, or null (no free voice, instance limit, nothing playable).
SoundInstance* sfx_Play(SoundBuffer* buffer, const SoundParams& params);

void sfx_SetGroupVolume(int group, float volume);
float sfx_GetGroupVolume(int group);
void sfx_StopGroup(int group);
void sfx_PauseGroup(int group);
void sfx_ResumeGroup(int group);

void sfx_SetListenerPosition(float x, float y, float z);
void sfx_SetListenerOrientation(float fx, float fy, float fz, float ux, float uy, float uz);

// Internal steps, reachable for the per-frame driver and tests.
void sfx_UpdateVoices();
void sfx_UpdateStreams();
void sfx_StreamThread();

// True while a device and context are open.
bool sfx_HasDevice();
// The voice pool (null entries never); count is 0 without a device.
int sfx_VoiceCount();
SoundInstance* sfx_Voice(int index);
// The silent voice every start gets without a device (null while a device is open).
SoundInstance* sfx_DummyVoice();
// The priority a voice playing this sound would get at that position from the current
// listener (the power for sounds that are not positional).
int32_t sfx_Priority(const SoundBuffer* buffer, uint32_t flags, const float position[3]);
const SfxInitParams& sfx_Params();

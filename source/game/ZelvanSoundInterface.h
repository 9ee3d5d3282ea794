#pragma once
// The game's one entry to sound: the named sounds of the sound table, sixteen channels that
// can be switched off, paused, stopped and given a volume, handles for sounds that actors
// start, move and stop themselves, and the music track.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/math.h"

class ISimpleMusicPlayer;
class SoundBuffer;
class SoundInstance;
class SoundInterface;

class SoundHandle {
public:
    enum { FlagPositional = 16 };

    void play(int channel, bool loop);
    void play3d(int channel, bool loop, float x, float y, float z);
    void stop();
    bool isPlaying();
    void setPosition(const Vector3& position);

    uint32_t _flags = 0;
    SoundBuffer* _sound = nullptr;  // null for the dummy handle
    SoundInstance* _voice = nullptr;
    int _channel = -1;              // channel of the voice held
    SoundInterface* _owner = nullptr;

private:
    void start(int channel, bool loop, const float* position);
};

class SoundInterface {
public:
    enum { ChannelCount = 16 };
    static const char* const kTablePassword;

    struct Channel {
        bool enabled = true;
        bool paused = false;
    };
    struct NamedSound {
        std::string name;
        std::unique_ptr<SoundBuffer> sound;
    };

    // The game's instance, made on first use and never destroyed.
    static SoundInterface& get();

    // Channels start enabled only when "options.sound" is not 0 and "sound_disabled" is unset.
    SoundInterface();
    ~SoundInterface();
    SoundInterface(const SoundInterface&) = delete;
    SoundInterface& operator=(const SoundInterface&) = delete;

    // Reads the sound table (sealed or plain) of the read store.
    void loadData(const char* name);
    void addSound(const char* path, const char* name);
    // The first sound of that name, or null.
    SoundBuffer* findSound(const char* name) const;

    void play(const char* name, int channel, float pitch);
    // A handle for the named sound, or the dummy handle (which does nothing) for unknown names.
    SoundHandle* createHandle(const char* name);
    SoundHandle* createHandle3d(const char* name);
    void releaseHandle(SoundHandle* handle);

    void playMusic(const char* name);
    void stopMusic();
    void setMusicVolume(float volume);

    void setChannelVolume(int channel, float volume);
    void setChannelPaused(int channel, bool paused);
    void stopChannel(int channel);

    void update();

    bool _musicEnabled = true;
    bool _musicVolumeDirty = false;
    float _musicVolume = 1.0f;
    Channel _channels[ChannelCount];
    SoundHandle _dummyHandle;
    ISimpleMusicPlayer* _musicPlayer = nullptr;
    std::vector<NamedSound> _namedSounds;
    std::vector<SoundHandle*> _handles;

private:
    SoundHandle* makeHandle(const char* name, uint32_t flags);
};

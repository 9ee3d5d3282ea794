#pragma once
// Background music, played outside the sound system's voices by the platform's audio player.
// Music is named like the other sounds (".ogg") but shipped as MP3.

#include <string>

class AudioFilePlayer;

class ISimpleMusicPlayer {
public:
    virtual ~ISimpleMusicPlayer() {}
    virtual void SetVolume(float volume) = 0;
    virtual float GetVolume() = 0;
    // False when the music could not be played (missing or unreadable file, no device).
    virtual bool Play(const char* name, int loops, float volume) = 0;
    virtual void Stop() = 0;
    virtual void Update() = 0;
    virtual const char* GetFileName() = 0;
    virtual void SetFileName(const char* name) = 0;
};

ISimpleMusicPlayer* createMusicPlayer();

// The file a music name is played from: a final ".ogg" becomes ".mp3"; a name without ".mp3"
// gets ".mp3" appended.
std::string musicFileName(const char* name);

class CCocoaMusicPlayer : public ISimpleMusicPlayer {
public:
    CCocoaMusicPlayer();
    ~CCocoaMusicPlayer() override;

    void SetVolume(float volume) override;
    float GetVolume() override;
    bool Play(const char* name, int loops, float volume) override;
    void Stop() override;
    void Update() override;
    const char* GetFileName() override;
    void SetFileName(const char* name) override;

    // The system player, or null.
    AudioFilePlayer* player() const { return _player; }

private:
    void releasePlayer();

    AudioFilePlayer* _player = nullptr;
    std::string _fileName;
};

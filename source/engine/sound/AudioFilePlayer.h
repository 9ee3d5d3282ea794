#pragma once
// Linux stand-in for the platform's compressed-audio player: decodes a whole MP3 file with
// libmpg123 and plays it on an OpenAL source of its own, outside the sound system's voices.

#include <cstdint>
#include <string>

class AudioFilePlayer {
public:
    // A player for the file at a full path, or null when the file cannot be decoded or no
    // OpenAL context is current (no sound device).
    static AudioFilePlayer* createWithFile(const std::string& path);
    ~AudioFilePlayer();
    AudioFilePlayer(const AudioFilePlayer&) = delete;
    AudioFilePlayer& operator=(const AudioFilePlayer&) = delete;

    void setVolume(float volume);
    float volume() const { return _volume; }
    // Extra plays after the first; a negative number plays endlessly.
    void setNumberOfLoops(int loops) { _loops = loops; }
    int numberOfLoops() const { return _loops; }
    // False when the source refused to start.
    bool play();
    void stop();
    bool isPlaying() const;

    const std::string& path() const { return _path; }
    int channels() const { return _channels; }
    int sampleRate() const { return _sampleRate; }
    // Frames (samples per channel) decoded from the file.
    uint64_t frames() const { return _frames; }
    uint32_t source() const { return _source; }

private:
    AudioFilePlayer() {}

    std::string _path;
    uint32_t _source = 0;
    uint32_t _buffer = 0;
    float _volume = 1.0f;
    int _loops = 0;
    int _channels = 0;
    int _sampleRate = 0;
    uint64_t _frames = 0;
};

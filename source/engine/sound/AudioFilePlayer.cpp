#include "engine/sound/AudioFilePlayer.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <mpg123.h>

#include <mutex>
#include <vector>

#include "engine/utils.h"

namespace {

// Loops up to this many are queued as repeated buffers; more are played as an endless loop.
const int kMaxQueuedPlays = 64;

// Longest track decoded: thirty minutes of 48 kHz stereo.
const size_t kMaxSamples = 48000u * 2u * 1800u;

bool decodeMp3(const std::string& path, std::vector<short>& samples, int& channels, int& rate) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });
    int error = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    if (!mh) {
        Logger::error("[AudioFilePlayer] mpg123_new failed: %s", mpg123_plain_strerror(error));
        return false;
    }
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // One output format whatever the file: signed 16-bit at its own rate and channel count.
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    bool ok = false;
    if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
        Logger::error("[AudioFilePlayer] cannot open '%s': %s", path.c_str(), mpg123_strerror(mh));
    } else {
        long fileRate = 0;
        int fileChannels = 0, encoding = 0;
        if (mpg123_getformat(mh, &fileRate, &fileChannels, &encoding) != MPG123_OK) {
            Logger::error("[AudioFilePlayer] '%s' is no MPEG audio file: %s", path.c_str(), mpg123_strerror(mh));
        } else {
            samples.clear();
            unsigned char block[16384];
            for (;;) {
                size_t done = 0;
                int r = mpg123_read(mh, block, sizeof(block), &done);
                samples.insert(samples.end(), (short*)block, (short*)(block + (done & ~(size_t)1)));
                if (samples.size() > kMaxSamples) {
                    Logger::error("[AudioFilePlayer] '%s' is too long", path.c_str());
                    break;
                }
                if (r == MPG123_DONE) {
                    ok = true;
                    break;
                }
                if (r == MPG123_NEW_FORMAT)
                    continue;
                if (r != MPG123_OK) {
                    Logger::error("[AudioFilePlayer] decoding '%s' failed: %s", path.c_str(), mpg123_strerror(mh));
                    break;
                }
            }
            channels = fileChannels;
            rate = (int)fileRate;
            if (ok && samples.empty()) {
                Logger::error("[AudioFilePlayer] '%s' holds no samples", path.c_str());
                ok = false;
            }
        }
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return ok;
}

}  // namespace

AudioFilePlayer* AudioFilePlayer::createWithFile(const std::string& path) {
    if (!alcGetCurrentContext())
        return nullptr;
    std::vector<short> samples;
    int channels = 0, rate = 0;
    if (!decodeMp3(path, samples, channels, rate))
        return nullptr;
    if (channels != 1 && channels != 2) {
        Logger::error("[AudioFilePlayer] '%s': %d channels not supported", path.c_str(), channels);
        return nullptr;
    }
    samples.resize(samples.size() - samples.size() % (size_t)channels);

    AudioFilePlayer* player = new AudioFilePlayer();
    player->_path = path;
    player->_channels = channels;
    player->_sampleRate = rate;
    player->_frames = samples.size() / (size_t)channels;
    alGetError();
    alGenBuffers(1, &player->_buffer);
    if (alGetError() != AL_NO_ERROR)
        player->_buffer = 0;
    if (player->_buffer) {
        alBufferData(player->_buffer, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, samples.data(),
                     (ALsizei)(samples.size() * sizeof(short)), rate);
    }
    if (player->_buffer && alGetError() == AL_NO_ERROR) {
        alGenSources(1, &player->_source);
        if (alGetError() != AL_NO_ERROR)
            player->_source = 0;
    }
    if (!player->_source) {
        Logger::error("[AudioFilePlayer] no OpenAL buffer or source for '%s'", path.c_str());
        delete player;
        return nullptr;
    }
    // Music follows the listener: no position, no distance attenuation.
    alSourcei(player->_source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(player->_source, AL_POSITION, 0, 0, 0);
    alSourcef(player->_source, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcef(player->_source, AL_GAIN, player->_volume);
    return player;
}

AudioFilePlayer::~AudioFilePlayer() {
    if (_source) {
        alSourceStop(_source);
        alSourcei(_source, AL_BUFFER, 0);
        alDeleteSources(1, &_source);
    }
    if (_buffer)
        alDeleteBuffers(1, &_buffer);
}

void AudioFilePlayer::setVolume(float volume) {
    _volume = volume;
    alSourcef(_source, AL_GAIN, volume > 0 ? volume : 0.0f);
}

bool AudioFilePlayer::play() {
    alSourceStop(_source);
    alSourcei(_source, AL_BUFFER, 0);
    alGetError();
    if (_loops < 0 || _loops >= kMaxQueuedPlays) {
        alSourcei(_source, AL_LOOPING, AL_TRUE);
        alSourcei(_source, AL_BUFFER, (ALint)_buffer);
    } else {
        alSourcei(_source, AL_LOOPING, AL_FALSE);
        ALuint queue[kMaxQueuedPlays];
        for (int i = 0; i <= _loops; ++i)
            queue[i] = _buffer;
        alSourceQueueBuffers(_source, _loops + 1, queue);
    }
    alSourcePlay(_source);
    return alGetError() == AL_NO_ERROR;
}

void AudioFilePlayer::stop() { alSourceStop(_source); }

bool AudioFilePlayer::isPlaying() const {
    ALint state = AL_STOPPED;
    alGetSourcei(_source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

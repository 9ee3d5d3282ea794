#include "game/ZelvanSoundInterface.h"

#include <algorithm>
#include <cstring>

#include "engine/ConfigStore.h"
#include "engine/FileBuffer.h"
#include "engine/file.h"
#include "engine/platform.h"
#include "engine/sound/MusicPlayer.h"
#include "engine/sound/SoundBuffer.h"
#include "engine/sound/sfx.h"
#include "engine/tokenizer.h"
#include "engine/utils.h"

const char* const SoundInterface::kTablePassword = "Qp7Rt2Lx9Kw4Zn6B";

namespace {

// Loops passed to the music player: the track plays until it is stopped.
const int kEndlessLoops = 2147483647;

bool validChannel(int channel, const char* where) {
    if (channel >= 0 && channel < SoundInterface::ChannelCount)
        return true;
    Logger::error("[%s] invalid channel %d", where, channel);
    return false;
}

std::string joinPath(const std::string& directory, const std::string& name) {
    return directory.empty() ? name : directory + "/" + name;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// SoundHandle

void SoundHandle::start(int channel, bool loop, const float* position) {
    if (_voice || !_sound || !_owner)
        return;
    if (!validChannel(channel, "SoundHandle::play"))
        return;
    const SoundInterface::Channel& ch = _owner->_channels[channel];
    // Sound switched off silences handles too.
    if (!ch.enabled)
        return;
    SoundParams params;
    params.flags = _flags | (loop ? (uint32_t)SoundLoop : 0u);
    // The channel's volume is applied by the sound system itself; passing it here as well
    // would apply it twice.
    params.volume = 1.0f;
    params.pitch = 1.0f;
    params.group = channel;
    if (position)
        std::memcpy(params.position, position, sizeof(params.position));
    _voice = sfx_Play(_sound, params);
    if (!_voice)
        return;
    if (ch.paused)
        _voice->Pause();
    _voice->reserved = 1;
    _channel = channel;
}

void SoundHandle::play(int channel, bool loop) { start(channel, loop, nullptr); }

void SoundHandle::play3d(int channel, bool loop, float x, float y, float z) {
    const float position[3] = {x, y, z};
    start(channel, loop, position);
}

void SoundHandle::stop() {
    if (!_voice)
        return;
    _voice->reserved = 0;
    _voice->Stop();
    _voice = nullptr;
    _channel = -1;
}

bool SoundHandle::isPlaying() { return _voice && _voice->IsPlaying(); }

void SoundHandle::setPosition(const Vector3& position) {
    if (_voice)
        _voice->SetPosition(position.x, position.y, position.z);
}

// ---------------------------------------------------------------------------------------------
// SoundInterface

SoundInterface& SoundInterface::get() {
    static SoundInterface* instance = new SoundInterface();
    return *instance;
}

SoundInterface::SoundInterface() {
    bool soundOn = ConfigStore::instance().getFloat("options.sound", 1.0f) != 0.0f &&
                   !getUserDefaultBool("sound_disabled");
    for (Channel& ch : _channels) {
        ch.enabled = soundOn;
        ch.paused = false;
    }
    _dummyHandle._owner = this;
}

SoundInterface::~SoundInterface() {
    stopMusic();
    for (SoundHandle* handle : _handles) {
        handle->stop();
        delete handle;
    }
    _handles.clear();
    _namedSounds.clear();
}

void SoundInterface::loadData(const char* name) {
    std::string path;
    File::resolvePath(path, name, StoreRead);
    FileBuffer table;
    if (!table.loadSealed(path.c_str(), kTablePassword))
        return;
    if (table.size() > UINT32_MAX) {
        Logger::error("[SoundInterface::loadData] '%s' is too large", name ? name : "");
        return;
    }
    CTokenizer tokenizer;
    tokenizer.OpenMemory(table.data(), (uint32_t)table.size(),
                         CTokenizer::FlagComments | CTokenizer::FlagQuotes | CTokenizer::FlagKeepQuotes);
    std::string soundDir;
    try {
        while (const char* token = tokenizer.Next(0)) {
            size_t length = std::strlen(token);
            if (std::strcmp(token, "soundDir") == 0) {
                soundDir = tokenizer.ReadToken();
            } else if (std::strcmp(token, "sounds") == 0) {
                tokenizer.NextToken();  // the opening brace
                while (const char* entry = tokenizer.Next(0)) {
                    if (std::strcmp(entry, "}") == 0)
                        break;
                    std::string soundName = entry;
                    addSound(joinPath(soundDir, soundName + ".sfd").c_str(), soundName.c_str());
                }
            } else if (length >= 2 && token[0] == '[' && token[length - 1] == ']') {
                std::string soundName(token + 1, length - 2);
                tokenizer.NextToken();  // the opening brace
                std::unique_ptr<SoundBuffer> sound(new SoundBuffer());
                if (sound->LoadFromMemory(soundDir.c_str(), tokenizer))
                    _namedSounds.push_back(NamedSound{soundName, std::move(sound)});
            } else {
                Logger::error("[SoundInterface::loadData] invalid token: %s", token);
            }
        }
    } catch (const CTokenizerException& e) {
        Logger::error("[SoundInterface::loadData] '%s': %s", name ? name : "", e.GetMessage());
    }
}

void SoundInterface::addSound(const char* path, const char* name) {
    std::unique_ptr<SoundBuffer> sound(new SoundBuffer());
    if (sound->Load(path))
        _namedSounds.push_back(NamedSound{name ? name : "", std::move(sound)});
}

SoundBuffer* SoundInterface::findSound(const char* name) const {
    if (!name)
        return nullptr;
    for (const NamedSound& named : _namedSounds) {
        if (named.name == name)
            return named.sound.get();
    }
    return nullptr;
}

void SoundInterface::play(const char* name, int channel, float pitch) {
    if (!validChannel(channel, "SoundInterface::play") || !_channels[channel].enabled)
        return;
    SoundBuffer* sound = findSound(name);
    if (!sound) {
        Logger::message("Sound not found %s", name ? name : "");
        return;
    }
    SoundParams params;
    params.pitch = pitch;
    params.group = channel;
    SoundInstance* voice = sfx_Play(sound, params);
    if (voice && _channels[channel].paused)
        voice->Pause();
}

SoundHandle* SoundInterface::makeHandle(const char* name, uint32_t flags) {
    SoundBuffer* sound = findSound(name);
    // The dummy handle is never released, so it is not listed either.
    if (!sound)
        return &_dummyHandle;
    SoundHandle* handle = new SoundHandle();
    handle->_flags = flags;
    handle->_sound = sound;
    handle->_owner = this;
    _handles.push_back(handle);
    return handle;
}

SoundHandle* SoundInterface::createHandle(const char* name) { return makeHandle(name, 0); }

SoundHandle* SoundInterface::createHandle3d(const char* name) {
    return makeHandle(name, SoundHandle::FlagPositional);
}

void SoundInterface::releaseHandle(SoundHandle* handle) {
    if (!handle || handle == &_dummyHandle || _handles.empty())
        return;
    auto it = std::find(_handles.begin(), _handles.end(), handle);
    if (it == _handles.end()) {
        Logger::error("[SoundInterface::releaseHandle] unknown handle %p", (void*)handle);
        return;
    }
    _handles.erase(it);
    handle->stop();
    delete handle;
}

void SoundInterface::playMusic(const char* name) {
    if (!_musicEnabled)
        return;
    stopMusic();
    _musicPlayer = createMusicPlayer();
    if (!_musicPlayer->Play(name, kEndlessLoops, _musicVolume))
        Logger::error("[SoundInterface::playMusic] cannot play '%s'", name ? name : "");
}

void SoundInterface::stopMusic() {
    if (!_musicPlayer)
        return;
    _musicPlayer->Stop();
    delete _musicPlayer;
    _musicPlayer = nullptr;
}

void SoundInterface::setMusicVolume(float volume) {
    _musicVolume = volume;
    _musicVolumeDirty = true;
}

void SoundInterface::setChannelVolume(int channel, float volume) {
    sfx_SetGroupVolume(channel, volume);
    _musicVolumeDirty = true;
}

void SoundInterface::setChannelPaused(int channel, bool paused) {
    if (!validChannel(channel, "SoundInterface::setChannelPaused") || _channels[channel].paused == paused)
        return;
    _channels[channel].paused = paused;
    if (paused)
        sfx_PauseGroup(channel);
    else
        sfx_ResumeGroup(channel);
}

void SoundInterface::stopChannel(int channel) { sfx_StopGroup(channel); }

void SoundInterface::update() {
    for (SoundHandle* handle : _handles) {
        SoundInstance* voice = handle->_voice;
        if (!voice)
            continue;
        // A paused voice is kept for its handle: it goes on when its channel resumes.
        bool switchedOff = handle->_channel >= 0 && !_channels[handle->_channel].enabled;
        if (switchedOff || (!voice->IsPlaying() && !voice->IsPaused()))
            handle->stop();
    }
    if (_musicPlayer) {
        _musicPlayer->Update();
        if (_musicVolumeDirty) {
            _musicVolumeDirty = false;
            _musicPlayer->SetVolume(_musicVolume);
        }
    }
}

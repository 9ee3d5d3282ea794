#include "engine/sound/MusicPlayer.h"

#include "engine/file.h"
#include "engine/sound/AudioFilePlayer.h"
#include "engine/utils.h"

namespace {
// The rest of the game sees volumes three times what the system player is given.
const float kVolumeScale = 0.33333334f;
}

std::string musicFileName(const char* name) {
    std::string mapped = name ? name : "";
    if (endsWith(mapped, ".ogg"))
        mapped.replace(mapped.size() - 3, 3, "mp3");
    else if (mapped.find(".mp3") == std::string::npos)
        mapped += ".mp3";
    return mapped;
}

ISimpleMusicPlayer* createMusicPlayer() { return new CCocoaMusicPlayer(); }

CCocoaMusicPlayer::CCocoaMusicPlayer() {}

CCocoaMusicPlayer::~CCocoaMusicPlayer() {
    Stop();
    releasePlayer();
}

void CCocoaMusicPlayer::releasePlayer() {
    delete _player;
    _player = nullptr;
}

void CCocoaMusicPlayer::SetVolume(float volume) {
    if (_player)
        _player->setVolume(volume * kVolumeScale);
}

float CCocoaMusicPlayer::GetVolume() { return _player ? _player->volume() * 3.0f : 0.0f; }

bool CCocoaMusicPlayer::Play(const char* name, int loops, float volume) {
    Stop();
    releasePlayer();
    _fileName = name ? name : "";

    std::string path;
    File::readStorePath(path, musicFileName(name).c_str());
    if (!pathExists(path.c_str()))
        return false;
    _player = AudioFilePlayer::createWithFile(path);
    if (!_player)
        return false;
    _player->setVolume(volume * kVolumeScale);
    _player->setNumberOfLoops(loops);
    if (!_player->play()) {
        Logger::error("[CCocoaMusicPlayer::Play] could not start '%s'", path.c_str());
        releasePlayer();
        return false;
    }
    return true;
}

void CCocoaMusicPlayer::Stop() {
    if (_player)
        _player->stop();
    _fileName.clear();
}

void CCocoaMusicPlayer::Update() {}

const char* CCocoaMusicPlayer::GetFileName() { return _fileName.c_str(); }

void CCocoaMusicPlayer::SetFileName(const char* name) { _fileName = name ? name : ""; }

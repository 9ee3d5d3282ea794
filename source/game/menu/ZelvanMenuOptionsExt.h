#pragma once
// The options screen: music and sound switches and volumes. Only what the stage, the menu
// controller and the player's profile call exists so far: the setters keep the values, and
// nothing is shown or played yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuOptionsExt : public MenuExtension {
public:
    MenuOptionsExt(const std::string& name, Menu* menu, Panel* panel);

    // Volumes are percentages.
    void setMusicOn(bool on);
    void setMusicVolume(float volume);
    void setSoundOn(bool on);
    void setSoundVolume(float volume);
    void applyVolumes();

    bool isMusicOn() const { return _musicOn; }
    float getMusicVolume() const { return _musicVolume; }
    bool isSoundOn() const { return _soundOn; }
    float getSoundVolume() const { return _soundVolume; }

    Panel* _panel = nullptr;
    bool _musicOn = true;
    float _musicVolume = 100;
    bool _soundOn = true;
    float _soundVolume = 100;
};

}  // namespace Zelvan

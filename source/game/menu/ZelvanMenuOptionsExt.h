#pragma once
// The options screen: music and sound switches and volumes. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuOptionsExt : public MenuExtension {
public:
    MenuOptionsExt(const std::string& name, Menu* menu, Panel* panel);
    void setMusicOn(bool on);
    void setMusicVolume(int32_t volume);
    void setSoundOn(bool on);
    void setSoundVolume(int32_t volume);
    void applyVolumes();

    Panel* _panel = nullptr;
};

}  // namespace Zelvan

#pragma once
// The revive offer after a crash. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuReviveExt : public MenuExtension {
public:
    MenuReviveExt(const std::string& name, Menu* menu, Panel* panel);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan

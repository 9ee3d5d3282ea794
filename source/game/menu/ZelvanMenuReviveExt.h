#pragma once
// The revive offer after a crash. Its behaviour comes later: for now the menu controller only
// attaches it to its panel.

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

#pragma once
// The first start's screen. Its behaviour comes later: for now the menu controller only attaches it
// to its panel.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;
class MenuWorldExt;

class MenuTutorialExt : public MenuExtension {
public:
    MenuTutorialExt(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan

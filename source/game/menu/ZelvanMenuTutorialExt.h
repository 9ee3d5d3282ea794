#pragma once
// The first start's screen. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

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

#pragma once
// The surprise box after a crash. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuSurpriseExt : public MenuExtension {
public:
    MenuSurpriseExt(const std::string& name, Menu* menu, Panel* panel);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan

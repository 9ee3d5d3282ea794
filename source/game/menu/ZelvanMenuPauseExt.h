#pragma once
// The pause screen. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class MenuPauseExt : public MenuExtension {
public:
    MenuPauseExt(const std::string& name, Panel* panel);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan

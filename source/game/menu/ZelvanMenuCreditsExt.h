#pragma once
// The credits screen. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class MenuCreditsExt : public MenuExtension {
public:
    MenuCreditsExt(const std::string& name, Panel* panel);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan

#pragma once
// The pause screen. Its behaviour comes later: for now the menu controller only attaches it to its
// panel.

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

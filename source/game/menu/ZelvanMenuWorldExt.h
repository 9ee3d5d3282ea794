#pragma once
// The globe behind the main menus, shared by the panels that show it. Only what the stage and the
// menu controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

namespace Zelvan {

class MenuWorldExt : public MenuExtension {
public:
    MenuWorldExt(const std::string& name);
    void clearSpin();

};

}  // namespace Zelvan

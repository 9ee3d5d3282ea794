#include "game/menu/ZelvanMenuCreditsExt.h"

namespace Zelvan {

MenuCreditsExt::MenuCreditsExt(const std::string& name, Panel* panel) {
    _name = name;
    _panel = panel;
}

}  // namespace Zelvan

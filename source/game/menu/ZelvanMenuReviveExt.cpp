#include "game/menu/ZelvanMenuReviveExt.h"

namespace Zelvan {

MenuReviveExt::MenuReviveExt(const std::string& name, Menu* /*menu*/, Panel* panel) {
    _name = name;
    _panel = panel;
}

}  // namespace Zelvan

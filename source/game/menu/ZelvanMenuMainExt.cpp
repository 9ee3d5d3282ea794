#include "game/menu/ZelvanMenuMainExt.h"

namespace Zelvan {

MenuMainExt::MenuMainExt(const std::string& name, Menu* /*menu*/, Panel* panel, MenuWorldExt* /*world*/) {
    _name = name;
    _panel = panel;
}

}  // namespace Zelvan

#include "game/menu/ZelvanMenuTutorialExt.h"

namespace Zelvan {

MenuTutorialExt::MenuTutorialExt(const std::string& name, Menu* /*menu*/, Panel* panel, MenuWorldExt* /*world*/) {
    _name = name;
    _panel = panel;
}

}  // namespace Zelvan

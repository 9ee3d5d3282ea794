#include "game/menu/ZelvanMenuSurpriseExt.h"

namespace Zelvan {

MenuSurpriseExt::MenuSurpriseExt(const std::string& name, Menu* /*menu*/, Panel* panel) {
    _name = name;
    _panel = panel;
}

}  // namespace Zelvan

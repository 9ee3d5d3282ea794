#include "game/menu/ZelvanMenuWorldExt.h"

namespace Zelvan {

MenuWorldExt::MenuWorldExt(const std::string& name) {
    _name = name;
}
void MenuWorldExt::clearSpin() {}

}  // namespace Zelvan

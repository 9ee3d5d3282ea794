#include "game/menu/ZelvanMenuPauseExt.h"

namespace Zelvan {

MenuPauseExt::MenuPauseExt(const std::string& name, Panel* panel) : MenuExtension(name), _panel(panel) {}

}  // namespace Zelvan

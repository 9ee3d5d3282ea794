#include "game/menu/ZelvanMenuLoaderExt.h"

namespace Zelvan {

MenuLoaderExt::MenuLoaderExt(const std::string& name, Panel* panel) {
    _name = name;
    _panel = panel;
}
void MenuLoaderExt::setProgress(float /*percent*/) {}
void MenuLoaderExt::setText(const std::string& /*text*/) {}

}  // namespace Zelvan

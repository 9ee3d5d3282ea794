#include "game/menu/ZelvanMenuOptionsExt.h"

namespace Zelvan {

MenuOptionsExt::MenuOptionsExt(const std::string& name, Menu* /*menu*/, Panel* panel) {
    _name = name;
    _panel = panel;
}
void MenuOptionsExt::setMusicOn(bool /*on*/) {}
void MenuOptionsExt::setMusicVolume(int32_t /*volume*/) {}
void MenuOptionsExt::setSoundOn(bool /*on*/) {}
void MenuOptionsExt::setSoundVolume(int32_t /*volume*/) {}
void MenuOptionsExt::applyVolumes() {}

}  // namespace Zelvan

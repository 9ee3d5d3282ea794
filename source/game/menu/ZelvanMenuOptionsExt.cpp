#include "game/menu/ZelvanMenuOptionsExt.h"

namespace Zelvan {

MenuOptionsExt::MenuOptionsExt(const std::string& name, Menu* /*menu*/, Panel* panel) {
    _name = name;
    _panel = panel;
}

void MenuOptionsExt::setMusicOn(bool on) { _musicOn = on; }
void MenuOptionsExt::setMusicVolume(float volume) { _musicVolume = volume; }
void MenuOptionsExt::setSoundOn(bool on) { _soundOn = on; }
void MenuOptionsExt::setSoundVolume(float volume) { _soundVolume = volume; }
void MenuOptionsExt::applyVolumes() {}

}  // namespace Zelvan

#include "game/menu/ZelvanMenuMissionExt.h"

namespace Zelvan {

MenuMissionExt::MenuMissionExt(const std::string& name, Menu* /*menu*/, Panel* panel, World* /*world*/, PSParticleSystem* /*particles*/) {
    _name = name;
    _panel = panel;
}

void MenuMissionExt::reportDistance(float /*distance*/) {}

}  // namespace Zelvan

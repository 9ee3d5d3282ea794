#include "game/menu/ZelvanMenuMissionExt.h"

#include "engine/ConfigStore.h"

namespace Zelvan {

MenuMissionExt::MenuMissionExt(const std::string& name, Menu* /*menu*/, Panel* panel, World* /*world*/, PSParticleSystem* /*particles*/) {
    _name = name;
    _panel = panel;
    _gamecenter = ConfigStore::instance().getString(name + ".gamecenter", "");
}

void MenuMissionExt::reportDistance(float /*distance*/) {}

}  // namespace Zelvan

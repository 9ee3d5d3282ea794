#include "game/menu/ZelvanMenuResultsExt.h"

namespace Zelvan {

MenuResultsExt::MenuResultsExt(const std::string& name, Menu* /*menu*/, Panel* panel, World* /*menuWorld*/, PSParticleSystem* /*particles*/) {
    _name = name;
    _panel = panel;
}

}  // namespace Zelvan

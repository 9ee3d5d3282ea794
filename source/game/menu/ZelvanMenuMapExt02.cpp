#include "game/menu/ZelvanMenuMapExt02.h"

namespace Zelvan {

MenuMapExt02::MenuMapExt02(const std::string& name, Menu* /*menu*/, Panel* panel, World* /*menuWorld*/,
                           PSParticleSystem* /*particles*/) {
    _name = name;
    _panel = panel;
}

const MenuMapExt02::Entry* MenuMapExt02::getSelectedEntry() const {
    return _selected >= 0 && _selected < (int32_t)_entries.size() ? &_entries[(size_t)_selected] : nullptr;
}

void MenuMapExt02::selectContinent(int32_t index) { _selected = index; }

}  // namespace Zelvan

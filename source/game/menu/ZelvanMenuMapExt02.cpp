#include "game/menu/ZelvanMenuMapExt02.h"

#include "engine/ConfigStore.h"

namespace Zelvan {

MenuMapExt02::MenuMapExt02(const std::string& name, Menu* /*menu*/, Panel* panel, World* /*menuWorld*/,
                           PSParticleSystem* /*particles*/) {
    _name = name;
    _panel = panel;
    const ConfigStore& cfg = ConfigStore::instance();
    for (const std::string& word : cfg.getList(_name + ".continents")) {
        Entry entry;
        entry.name = cfg.getString(word + ".name", word.c_str());
        _entries.push_back(entry);
    }
}

const MenuMapExt02::Entry* MenuMapExt02::getSelectedEntry() const {
    return _selected >= 0 && _selected < (int32_t)_entries.size() ? &_entries[(size_t)_selected] : nullptr;
}

void MenuMapExt02::selectContinent(int32_t index) { _selected = index; }

bool MenuMapExt02::selectContinent(const std::string& name) {
    _selected = -1;
    for (size_t i = 0; i < _entries.size(); ++i)
        if (_entries[i].name == name) {
            _selected = (int32_t)i;
            return true;
        }
    return false;
}

}  // namespace Zelvan

#pragma once
// The world map: its continents (level group sets by name), which are unlocked and which is chosen.
// Only what the stage, the menu controller and the player's profile call exists so far: the
// continents' names come from the configuration, none is unlocked, and nothing is shown.

#include <cstdint>
#include <string>
#include <vector>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;
class PSParticleSystem;
class World;

namespace Zelvan {

class Menu;

class MenuMapExt02 : public MenuExtension {
public:
    struct Entry {
        std::string name;
        int32_t flag = 0;  // 1: unlocked
    };
    MenuMapExt02(const std::string& name, Menu* menu, Panel* panel, World* menuWorld, PSParticleSystem* particles);
    const std::vector<Entry>& getEntries() const { return _entries; }
    // Null when none is selected.
    const Entry* getSelectedEntry() const;
    void selectContinent(int32_t index);
    // The continent of that name becomes the current one (none when there is none); false when
    // the name is not known.
    bool selectContinent(const std::string& name);

    Panel* _panel = nullptr;
    std::vector<Entry> _entries;
    int32_t _selected = -1;
};

}  // namespace Zelvan

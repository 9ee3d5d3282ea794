#pragma once
// The results screen after a run. Its behaviour comes later: for now the menu controller only
// attaches it to its panel.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;
class World;
class PSParticleSystem;

namespace Zelvan {

class Menu;

class MenuResultsExt : public MenuExtension {
public:
    MenuResultsExt(const std::string& name, Menu* menu, Panel* panel, World* menuWorld, PSParticleSystem* particles);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan

#pragma once
// The results screen after a run. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

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

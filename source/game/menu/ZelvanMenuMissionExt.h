#pragma once
// The missions screen and the player's best distance. Only what the stage and the menu controller
// call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;
class PSParticleSystem;
class World;

namespace Zelvan {

class Menu;

class MenuMissionExt : public MenuExtension {
public:
    MenuMissionExt(const std::string& name, Menu* menu, Panel* panel, World* world, PSParticleSystem* particles);

    float getBestDistance() const { return _bestDistance; }
    void reportDistance(float distance);
    // The leaderboard of the overall best distance (".gamecenter"); no maps are loaded yet, so
    // it is also the one the results' ranking uses.
    const std::string& getGamecenter() const { return _gamecenter; }

    Panel* _panel = nullptr;
    float _bestDistance = 0;
    std::string _gamecenter;
};

}  // namespace Zelvan

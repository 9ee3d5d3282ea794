#pragma once
// The missions screen and the player's best distance. Only what the stage, the menu controller
// and the player's profile call exists so far: the mission maps with their names, leaderboards,
// distances and waypoint frames come from the configuration, and nothing is shown yet.

#include <cstdint>
#include <string>
#include <vector>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;
class PSParticleSystem;
class World;

namespace Zelvan {

class Menu;

class MenuMissionExt : public MenuExtension {
public:
    struct Waypoint {
        float frame = 0;
        bool giftWaiting = false;
    };
    struct MissionMap {
        std::string name;
        std::string levelSet;
        std::string gamecenter;
        float cameraFrameMin = 0, cameraFrameMax = 0;
        bool trainWaiting = false;
        std::vector<Waypoint> waypoints;  // by increasing frame, never empty
        float distance = 0;
        float travelled = 0;
        float best = 0;
        float cameraFrame = 0;
        // The frame of the map's progress between its first and last waypoint.
        float progressValue() const;
    };

    MenuMissionExt(const std::string& name, Menu* menu, Panel* panel, World* world, PSParticleSystem* particles);
    ~MenuMissionExt() override;

    float getBestDistance() const { return _bestDistance; }
    void reportDistance(float distance);
    // Sets the best distance as given; the own profile keeps the larger one for the leaderboard.
    void setBestDistance(float distance);
    // The map's best as given, when the map exists.
    void setMapBest(const std::string& mapName, float distance);
    // The first map of that name, or null.
    MissionMap* findMap(const std::string& name) const;
    const std::vector<MissionMap*>& getMaps() const { return _maps; }

    Panel* _panel = nullptr;
    std::string _gamecenter;
    float _bestDistance = 0;
    std::vector<MissionMap*> _maps;  // owned, configuration order
};

}  // namespace Zelvan

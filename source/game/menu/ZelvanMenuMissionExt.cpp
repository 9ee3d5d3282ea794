#include "game/menu/ZelvanMenuMissionExt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/ConfigStore.h"
#include "engine/online/SocialPlatform.h"
#include "game/profile/ZelvanFriendProfile.h"

namespace Zelvan {

namespace {

// The integer part of a distance as the leaderboards keep it.
uint32_t wholeMetres(float distance) {
    if (!(distance > 0))
        return 0;
    return distance >= 4294967295.0f ? UINT32_MAX : (uint32_t)distance;
}

void keepBest(const std::string& leaderboard, float distance) {
    if (leaderboard.empty())
        return;
    if (FriendProfile* own = dynamic_cast<FriendProfile*>(SocialPlatform::instance().getMyProfile()))
        own->setBestDistance(leaderboard, wholeMetres(distance));
}

}  // namespace

float MenuMissionExt::MissionMap::progressValue() const {
    float p = 0;
    if (distance > 0)
        p = std::max(0.0f, std::min(1.0f, travelled / distance));
    const float first = waypoints.front().frame, last = waypoints.back().frame;
    return first + p * (last - first);
}

MenuMissionExt::MenuMissionExt(const std::string& name, Menu* /*menu*/, Panel* panel, World* /*world*/,
                               PSParticleSystem* /*particles*/) {
    _name = name;
    _panel = panel;
    const ConfigStore& cfg = ConfigStore::instance();
    _gamecenter = cfg.getString(_name + ".gamecenter", "");
    for (const std::string& word : cfg.getList(_name + ".maps")) {
        MissionMap* map = new MissionMap();
        map->name = cfg.getString(word + ".name", word.c_str());
        map->levelSet = cfg.getString(word + ".levelSet", "");
        map->gamecenter = cfg.getString(word + ".gamecenter", "");
        map->distance = std::max(0.0f, cfg.getFloat(word + ".distance", 0));
        const ConfigStore::WordList& points = cfg.getList(word + ".waypoints");
        for (size_t i = 0; i + 2 < points.size(); i += 3) {
            Waypoint waypoint;
            waypoint.frame = (float)std::atof(points[i].c_str());
            map->waypoints.push_back(waypoint);
        }
        std::sort(map->waypoints.begin(), map->waypoints.end(),
                  [](const Waypoint& a, const Waypoint& b) { return a.frame < b.frame; });
        if (map->waypoints.empty())
            map->waypoints.push_back(Waypoint());
        float lo = 0, hi = map->waypoints.back().frame;
        std::sscanf(cfg.getString(word + ".cameraFrameLimit", ""), "%f,%f", &lo, &hi);
        map->cameraFrameMin = std::min(lo, hi);
        map->cameraFrameMax = std::max(lo, hi);
        map->cameraFrame = std::max(map->cameraFrameMin, std::min(map->cameraFrameMax, map->waypoints.front().frame));
        _maps.push_back(map);
    }
}

MenuMissionExt::~MenuMissionExt() {
    for (MissionMap* map : _maps)
        delete map;
}

void MenuMissionExt::reportDistance(float /*distance*/) {}

void MenuMissionExt::setBestDistance(float distance) {
    _bestDistance = distance;
    keepBest(_gamecenter, distance);
}

void MenuMissionExt::setMapBest(const std::string& mapName, float distance) {
    MissionMap* map = findMap(mapName);
    if (!map)
        return;
    map->best = distance;
    keepBest(map->gamecenter, distance);
}

MenuMissionExt::MissionMap* MenuMissionExt::findMap(const std::string& name) const {
    for (MissionMap* map : _maps)
        if (map->name == name)
            return map;
    return nullptr;
}

}  // namespace Zelvan

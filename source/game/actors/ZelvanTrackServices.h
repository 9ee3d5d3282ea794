#pragma once
// What the player's train and the stage camera need of the road: the rail that continues the one
// under the train, the rails a rail change can reach, and a level's up axis. The road implements
// it; until it exists, tests drive the train over a stand-in of the sample level's lanes.
//
// Levels are opaque here: the train and the camera only store and pass them on.

#include <cstdint>

#include "engine/math.h"

namespace Zelvan {

class ActorPlayer;
class Level;
class Rail;

// A place on the road: a rail travelled in one direction and the level that holds it. A distance
// below 0 is a lead-in: the train is that far before the rail's first point (in its direction of
// travel), on the straight line that continues the rail backwards.
struct RoadSlot {
    Rail* rail = nullptr;
    uint8_t forward = 1;
    float distance = 0;
    Level* level = nullptr;
};

class TrackServices {
public:
    virtual ~TrackServices() {}
    // Level::getUpAxis: the level's world up axis, normalised.
    virtual Vector3 getUpAxis(Level* level) = 0;
    // The rail that continues the slot's rail in its direction of travel (the stage puts it into
    // road slot 1 before every advance); false at the end of the road.
    virtual bool findNextRail(const RoadSlot& slot, RoadSlot& next) = 0;
    // Road::findSwitchRails: the rails a rail change to either side reaches within the window of
    // distances ahead of the train; a side without one gets a null rail.
    virtual void findSwitchRails(RoadSlot& left, RoadSlot& right, ActorPlayer* player, float from, float to,
                                 int mode, int mode2) = 0;
};

}  // namespace Zelvan

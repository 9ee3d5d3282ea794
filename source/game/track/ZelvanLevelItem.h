#pragma once
// One kind of random item that the road sprinkles along new levels (coins, tickets, letters,
// boost gifts, item obstacles): its object file's pool, and the rules of its runs: the gap
// before a run, how many items a run holds, their spacing, and the rail-set index and side a run
// uses. Runs carry over from level to level: a level item keeps its delay, run length, rail-set
// index and side between levels, so a run that does not fit goes on in the next level.
//
// The road owns its level items (Road::addLevelItem); actors handed out by take go back through
// release when their level lets them go or the train collects them.

#include <cstdint>
#include <string>

class ObjectPool;
class World;

namespace Zelvan {

class ActorItem;
struct ItemRun;

class LevelItem {
public:
    enum Side { SideLeft = 1, SideCenter = 2, SideRight = 4 };

    // The level item of a configuration key: its ".objectFile" loaded, one sample actor taken
    // from the world's pool to read its values. A missing file, an empty file or an object that
    // is not an item actor is an authoring error: logged, then the program stops.
    static LevelItem* create(World* world, const std::string& key);

    // The sample actor goes back to the pool; the configuration is read from "levelItem", then
    // from the key's own section; the first run is rolled.
    LevelItem(const std::string& key, ObjectPool* pool, ActorItem* sample);
    LevelItem(const LevelItem&) = delete;
    LevelItem& operator=(const LevelItem&) = delete;

    void loadConfig(const std::string& section);
    // Back to the start of a fresh road: a new run after the start delay.
    void reset();
    void rollRun();
    int32_t pickSide();
    // Consumes a length of rail; true when a run falls into it (described in out when given).
    bool nextRun(ItemRun* out, float length);
    void addDelay(float distance) { delay += distance; }
    int32_t getSideIndex() const { return sideIndex(side); }
    float getSideOffset() const { return sideOffset(side); }
    static int32_t sideIndex(int32_t sideBit);
    static float sideOffset(int32_t sideBit);

    // An actor from the pool, reset, at the origin, turned by the running spin angle and
    // inactive; none when the pool can make none.
    ActorItem* take();
    // The actor must be one this level item handed out.
    void release(ActorItem* actor);
    void advanceSpin(float dt) { spinAngle += dt * rotSpeed; }

    bool isObstacle() const;

    std::string name;
    int32_t typeId = 0;
    ObjectPool* pool = nullptr;
    float startDelayDistance = 0;
    float delayDistanceMin = 10;
    float delayDistanceMax = 20;
    float numberMin = 5;
    float numberMax = 10;
    int32_t numberLimit = 0;
    float density = 1;
    int32_t railIndexMin = 0;
    int32_t railIndexMax = 0;
    int32_t sides = SideCenter;
    float rotSpeed = 0;  // radians per second
    float rotStep = 0;   // radians
    float spinAngle = 0;
    float delay = 0;
    float runLength = 0;
    int32_t railIndex = 0;
    int32_t side = SideCenter;
};

}  // namespace Zelvan

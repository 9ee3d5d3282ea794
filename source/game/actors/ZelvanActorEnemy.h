#pragma once
// Rail-bound enemies placed by the levels: locomotives that drive along their rail set, brake in
// front of whatever else occupies the rail and may turn back, and waggons that keep their
// distance to the locomotive they belong to. Hits count up to a damage number, then the enemy
// dies.
//
// An enemy never leaves the shared rail set's own position changed: every operation saves the
// set's position, works with the enemy's own saved position and restores the set's.

#include <cstdint>
#include <vector>

#include "engine/math.h"
#include "game/actors/ZelvanActor.h"
#include "game/track/ZelvanRailSet.h"

namespace Zelvan {

class Level;
class Rail;

// One stretch of a level's rail that something occupies, as the enemy train reads it.
struct EnemyRange {
    int32_t kind = 0;             // bits: 2 deathly or dash obstacle, 4 shield obstacle, 8 enemy, ...
    const Object* actor = nullptr;
    const Rail* rail = nullptr;
    float start = 0;              // along the rail from its first point
    float length = 0;
};

// What an enemy train reads of the level that placed it. The level installs one reader for
// all enemies (ActorEnemy::setLevelReader); without one, no level counts as being on the road
// and trains stand still.
class EnemyLevelReader {
public:
    virtual ~EnemyLevelReader() = default;
    // The level is queued on the road.
    virtual bool isOnRoad(const Level* level) const = 0;
    // 0 for the level that holds the player, positive ahead, negative behind.
    virtual int32_t getRoadIndex(const Level* level) const = 0;
    // The run flag the level holds while it is the road's current level.
    virtual bool isRunning(const Level* level) const = 0;
    virtual size_t getRangeCount(const Level* level) const = 0;
    // False past the end of the list.
    virtual bool getRange(const Level* level, size_t index, EnemyRange& out) const = 0;
};

class ActorEnemy : public Actor {
public:
    ActorEnemy(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}

    static void setLevelReader(const EnemyLevelReader* reader);
    static const EnemyLevelReader* getLevelReader();

    // Starts "run" whenever nothing plays, then the Actor's update.
    void update() override;
    // Back on the placed position, facing, hits forgotten, shadows on.
    void reset() override;
    void createComponents() override;

    // Level and rail set stored; with a rail set, the enemy is put on it at that distance from
    // the set's start, facing along the set when its Y axis points that way. A null rail set
    // leaves the enemy where it stands, off any rail.
    static void setRails(ActorEnemy* enemy, Level* level, RailSet* railSet, float distance);
    // Places the enemy at its current rail position; nothing without a rail set.
    void followRails();
    // The stretch of the current rail the enemy's visible tree covers, as distances from the
    // rail's start; (0, 0) without a rail set.
    void getRailSpan(float& low, float& high);

    // Counts a hit up to the damage number (plays "damage"); the last one kills.
    virtual void hit();
    // Plays "death"; later hits are ignored until the next reset.
    virtual void kill();

    Level* getLevel() const { return _level; }
    RailSet* getRailSet() const { return _railSet; }

    Vector3 _railOffset;
    int32_t _damageNum = 0;
    Level* _level = nullptr;      // not owned
    RailSet* _railSet = nullptr;  // not owned
    RailSetPos _start;
    RailSetPos _current;
    bool _startForward = true;
    bool _forward = true;
    int32_t _hitCount = 0;

protected:
    // Starts the named reaction, or stops every reaction when the actor has none of that name.
    void startOrStopAll(const char* name);
    // The rail frame at the set's current position, turned round when the enemy faces backwards.
    void placeOnSet();
};

class ActorEnemyWaggon;

class ActorEnemyTrain : public ActorEnemy {
public:
    ActorEnemyTrain(World* world, Scene* scene, Object* parent) : ActorEnemy(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // ActorEnemy's update, then one step of driving (which also moves the waggons).
    void update() override;
    // ActorEnemy's reset, then a new speed between speedMin and speedMax.
    void reset() override;
    void createComponents() override;

    // False for a null waggon.
    bool addWaggon(ActorEnemyWaggon* waggon);
    void clearWaggons() { _waggons.clear(); }

    // One frame of driving with the given time step.
    void drive(float dt);

    float _speedMin = 5.0f;
    float _speedMax = 5.0f;
    float _brakeDistance = 5.0f;
    float _flipDistance = 0.1f;
    bool _nearRun = false;
    bool _pingPong = true;
    std::vector<ActorEnemyWaggon*> _waggons;  // not owned
    float _speed = 0;

private:
    bool canDrive() const;
    // The factor of full speed for the free way ahead of and behind the train.
    float brakeFactor(float free) const;
    void moveWaggons();
};

class ActorEnemyWaggon : public ActorEnemy {
public:
    ActorEnemyWaggon(World* world, Scene* scene, Object* parent) : ActorEnemy(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // ActorEnemy's update, then placed at its current rail position (its train moves it).
    void update() override;
    void createComponents() override;
};

}  // namespace Zelvan

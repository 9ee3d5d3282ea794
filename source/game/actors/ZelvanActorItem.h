#pragma once
// The things that lie on or beside the rails: spinning items, gifts the train collects (they
// fly to it when attracted and name the boosts they give), item obstacles the train hits
// (static, or dynamic ones that are smashed away) and level obstacles that start moving when
// the train comes near. The track places, attracts, collects and smashes them.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "game/actors/ZelvanActor.h"

namespace Zelvan {

class LevelItem;

// Starts the actor's "delete" reaction, or stops all of its reactions when it has none.
void playDelete(Actor* actor);

class ActorItem : public Actor {
public:
    ActorItem(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}

    // The Actor's update, then the spin.
    void update() override;
    // The Actor's reset, shadows off and, with rotRandom, a random turn.
    void reset() override;
    void createComponents() override;

    // Turns the item about its own spin axis, which keeps its direction; 0 does nothing.
    void rotate(float angle);

    LevelItem* getLevelItem() const { return _levelItem; }
    void setLevelItem(LevelItem* item) { _levelItem = item; }

    int32_t _rotAxis = 3;     // +-1 X, +-2 Y, +-3 Z; the sign is not used
    float _rotSpeed = 0;      // radians per second
    float _rotStep = 0;       // radians
    bool _rotRandom = false;
    bool _oriented = false;
    float _density = 1.0f;
    LevelItem* _levelItem = nullptr;  // the level item that placed the actor; not owned

protected:
    // Starts the named reaction, or stops every reaction when the actor has none of that name.
    void startOrStopAll(const char* name);
};

class ActorItemGift : public ActorItem {
public:
    ActorItemGift(World* world, Scene* scene, Object* parent) : ActorItem(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // ActorItem's reset; not flying, not collected.
    void reset() override;
    void createComponents() override;

    // Starts the flight to the train (the track moves the gift); nothing while it flies.
    void startFly(bool playSounds);
    // Collects the gift once, playing the "get" variant of the index; indexes past the last
    // variant cycle through the top quarter of the variants.
    void collect(bool playSounds, uint32_t index);

    bool _snap = true;
    bool _magnet = true;
    bool _alone = true;
    int32_t _flyMode = 1;
    float _flyScale = 0.5f;
    Vector3 _flyCameraPos;
    std::string _shopUpdateName;
    std::vector<std::string> _boosts;  // the shared section's names first, then the object's
    float _itemSphere = 1.0f;
    float _flyProgress = -1;  // below 0: not flying
    bool _collected = false;
    Vector3 _flyStart;
    bool _notAlone = false;   // written and read by the track
};

class ActorItemObstacle : public ActorItem {
public:
    enum ObstacleType { Static = 1, Dynamic = 2 };
    enum DamageType { Deathly = 1, Shield = 2, Dash = 4 };

    ActorItemObstacle(World* world, Scene* scene, Object* parent) : ActorItem(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // ActorItem's reset; an obstacle again with kinematic bodies (after a smash).
    void reset() override;
    void createComponents() override;

    // A dynamic obstacle is pushed away from the line of the hit and becomes a plain dynamic
    // item; a static one ignores it.
    void smash(const Vector3& origin, const Vector3& push, float radius);
    void playDamage();
    void playDeath();

    int32_t _obstacleType = Static;
    int32_t _damageType = Deathly;
    float _damage = 0;
};

class ActorObstacle : public Actor {
public:
    ActorObstacle(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // The Actor's reset; the move may start again.
    void reset() override;
    void createComponents() override;

    // Plays the move animation once per run.
    void startMove();

    std::string _animMove = "move";
    bool _started = false;
};

}  // namespace Zelvan

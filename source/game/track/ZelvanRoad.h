#pragma once
// The track of a game: a short chain of levels laid end to start, the levels already passed
// (oldest first) and the levels ahead (the current level first). Each frame the stage tells the
// road how far the player has come along the current level; the road drops what fell behind,
// asks the current level group set for new levels until enough track lies ahead and places each
// new level so that its chain begin sits on the chain end before it.
//
// The road also answers rail questions (ZelvanRoadRails.cpp), owns the level items that sprinkle
// new levels with gifts and obstacles, and does the run-time work on them: magnet, collection,
// flights, moving obstacles and the consequences of the train's contacts (ZelvanRoadItems.cpp).
//
// Levels belong to the level pool; the road links them and never deletes one. Every list of the
// road is a member whose storage is reused, so a steady frame allocates nothing.

#include <cstdint>
#include <vector>

#include "engine/math.h"
#include "game/ZelvanTimers.h"
#include "game/actors/ZelvanTrackServices.h"
#include "game/track/ZelvanRail.h"

class DebugDraw;
class PSEmitter;
class PSParticleSystem;
class World;

namespace Zelvan {

class Actor;
class ActorItem;
class ActorItemGift;
class ActorPlayer;
class Level;
class LevelGroupSet;
class LevelItem;
class StageCamera;

// The rail under a traveller and the rail that continues it. A half with no rail has the
// distance kNoRail.
struct NearRail {
    static constexpr float kNoRail = 10000000.0f;

    struct Half {
        Rail* rail = nullptr;
        RailPos railPos;
        bool forward = true;
        Level* level = nullptr;
        // Current half: carried along. Next half: the search radius on entry to a search, the
        // gap from the end of the current rail to the chosen rail on exit.
        float distance = kNoRail;

        void clear() { *this = Half(); }
    };

    Half current;
    Half next;

    void clear() {
        current.clear();
        next.clear();
    }
};

// A stretch of items that one level item lays on one rail set and side: items at start,
// start + spacing, ... start + (count - 1) x spacing (distances from the start of the rail set).
struct ItemRun {
    LevelItem* levelItem = nullptr;
    float start = 0;
    float spacing = 0;
    int32_t count = 0;
    // The run ended inside the measured length and a new one was rolled.
    bool anotherRun = false;
    // The side bit the run was rolled with (the level item may have rolled the next one since).
    int32_t side = 0;
};

// One physical contact of the train with another actor in this frame.
struct RoadContact {
    Actor* actor = nullptr;  // the first node with an object type id above the touched one
    Vector3 point;           // world-space contact point on the actor's side
    int32_t bodyType = 0;    // of the player's body: 16 its own body, 32 its hit body
};

class Road {
public:
    // ---- The chain of levels ----
    // A road without a set and without levels; configuration read from "road" and friends.
    static Road* create();
    Road();
    ~Road();
    Road(const Road&) = delete;
    Road& operator=(const Road&) = delete;
    // Deletes the level items and frees the lists; the levels are left to the level pool.
    void destroy();

    void loadConfig();
    // Takes ownership; null is ignored.
    void addLevelItem(LevelItem* levelItem);
    Level* getCurrentLevel() const;
    void setCurrentLevelMode(bool running);

    // Releases what fell behind and grows the road ahead; the levels added in this call are
    // appended to added when given. Nothing at all without a level group set.
    void extend(float position, std::vector<Level*>* added = nullptr);
    void appendLevels(const std::vector<Level*>& levels);
    void advanceLevel();
    void realignLevels();
    void clear();
    void restart();
    void update(float dt);
    // The level group set the road takes levels from; the caller restarts or clears afterwards.
    void setLevelGroupSet(LevelGroupSet* set) { levelGroupSet = set; }
    LevelGroupSet* getLevelGroupSet() const { return levelGroupSet; }

    // ---- Rail queries ----
    void findNearRail(NearRail* nearRail, Level* level);
    void initNearRail(NearRail* nearRail, ActorPlayer* player);
    // 1 when the move ended on a rail, else 0; moved receives the distance covered.
    int advanceNearRail(NearRail* nearRail, float* moved, float distance, bool commit);
    bool isNearRailBlocked(NearRail* nearRail, float from, float to, int32_t kinds, int32_t modes);
    bool hasRailItem(Rail* rail, Level* level, int32_t kinds, int32_t modes, const Vector2& range);
    // Pose in the engine's row form: row 0 the side axis (right), row 1 forward, row 2 up, row 3
    // the position.
    void findRailInDirection(NearRail* left, NearRail* right, Level* level, const Matrix4& pose, Rail* excluded);
    void findSwitchRails(NearRail* left, NearRail* right, ActorPlayer* player, const Vector2& range, int32_t kinds,
                         int32_t modes);
    void debugDrawJumpLinks(DebugDraw* drawer, Level* level);

    // ---- Level items: placement ----
    void placeItems(Level* level);
    void removeSlotRange(std::vector<ItemRun>& list, float lo, float hi);

    // ---- Items at run time ----
    // Magnet, collection and flights of the gifts near the player; every gift collected in this
    // frame is appended to collected.
    void updateItems(std::vector<ActorItemGift*>& collected, ActorPlayer* player, StageCamera* stageCamera, float dt);
    void updateLevelItems(std::vector<ActorItemGift*>& collected, Level* level, ActorPlayer* player,
                          StageCamera* stageCamera, float dt);
    void collectGift(ActorItemGift* gift, ActorPlayer* player);
    void triggerObstacles(ActorPlayer* player);
    void checkCollisions(World* world, ActorPlayer* player, StageCamera* stageCamera);
    void removeItem(Level* level, ActorItem* item);
    void resetActors();
    void replaceProxyObjects();
    bool onParticleFinished(PSEmitter* emitter, PSParticleSystem* system);
    void debugDraw(DebugDraw* drawer);

    // ---- Fields ----
    bool placeProxies = true;
    bool placeRandomItems = true;
    bool rayTestOnSetup = false;
    bool stepwisePhysics = false;
    float autoDistance = 0.5f;
    float heightUpDistance = 1.0f;
    float heightDownDistance = 2.0f;
    float jumpMinDistance = 1.0f;
    float jumpMaxDistance = 2.5f;
    float jumpMaxAngle = 1.0471976f;  // radians
    float distanceBehind = 100;
    float distanceBefore = 100;
    float itemGiftSpace = 5.0f;
    float itemSide = 1.0f;
    Vector3 itemPlayerPos;
    float itemMagnetDistance = 10;
    float itemTime = 1.0f;
    std::vector<LevelItem*> levelItems;  // owned
    LevelGroupSet* levelGroupSet = nullptr;
    int32_t pitchStep = 0;
    Countdown pitchUp;
    Countdown pitchDelay;
    Countdown fly;
    std::vector<Level*> behindLevels;  // oldest first
    std::vector<Level*> aheadLevels;   // the current level first
    float position = 0;
    bool running = true;
    std::vector<Level*> newLevels;
    std::vector<std::vector<ItemRun>> slotLists;
    std::vector<RoadContact> contacts;

    // A level of no length would let extend ask for levels without end; one call takes at most
    // this many.
    static constexpr int kMaxLevelsPerExtend = 64;

private:
    void releaseLevel(Level* level, bool clearing);
    void hideBehindLevel(Level* level);
};

// What the player's train and the stage camera need of the road, answered by the road.
class RoadTrackServices : public TrackServices {
public:
    explicit RoadTrackServices(Road* road_ = nullptr) : road(road_) {}
    Vector3 getUpAxis(Level* level) override;
    bool findNextRail(const RoadSlot& slot, RoadSlot& next) override;
    void findSwitchRails(RoadSlot& left, RoadSlot& right, ActorPlayer* player, float from, float to, int mode,
                         int mode2) override;

    Road* road;
};

}  // namespace Zelvan

#pragma once
// One piece of track: a level scene with the node where the piece begins, the node where it
// ends, rails built from node groups, and the content that changes from visit to visit (gift
// rows, chance nodes, groups of which one node goes or one stays, placeholders that receive
// decorations, obstacles and enemies, enemy trains with their waggons) with the occupied ranges
// that keep the road's item placement off junctions and actors.
//
// A level is made once by the level pool (load) and lives until the pool is destroyed. Each
// visit on the road: show, resetObjects, setWorldMatrix, removeProxyObjects, placeProxyObjects,
// the road's items, enablePhysics, startActors ... and when dropped: hide, stopActors,
// disablePhysics, destroyPhysics, removeProxyObjects.
//
// Matrices are the engine's (row vectors): a node's world matrix is local * parent world.
// A scene's EMPTY placeholders have no parent: their matrices are level space.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRailSet.h"

class Body;
class Camera;
class DebugDraw;
class KeyFramePlayer;
class Object;
class PSEmitter;
class PSParticleSystem;
class Scene;
class World;

namespace Zelvan {

class Actor;
class Atmosphere;
class LevelGroup;
class LevelSkin;
class ProxyContainer;

// The answer of a nearest-rail search.
struct RailHit {
    Rail* rail = nullptr;
    float railDistance = 0;      // from the rail's first point
    RailSet* railSet = nullptr;
    int32_t railSetIndex = -1;   // -1: nothing found
    float setDistance = 0;       // along the set: earlier rails plus railDistance
    bool found = false;
    int32_t railIndex = 0;       // the rail's place in its set
    RailPos position;
};

class Level {
public:
    // Object type ids the level dispatches on.
    enum {
        TypeGround = 100,
        TypeLastPlain = 1001,  // above it: actors
        TypePlainActor = 1002,
        TypeGift = 1006,
        TypeObstacleItem = 1007,
        TypeEnemyTrain = 1011,
        TypeEnemyWaggon = 1012,
    };
    // Occupied-range kinds and modes.
    enum { RangeJunction = 1, RangeDeathly = 2, RangeShield = 4, RangeEnemy = 8, RangeGift = 16 };
    enum { RangeFixed = 1, RangeMoving = 2 };

    struct NodeGroup {
        std::string name;
        std::vector<Object*> nodes;
        // Each node's hidden and active flags as the scene made them; every roll starts from them,
        // so a group that hides a plain node on one visit gives it back on the next.
        std::vector<uint8_t> startHidden;
        std::vector<uint8_t> startActive;
    };

    struct GiftRowItem {
        Actor* actor = nullptr;
        Matrix4 matrix;  // local matrix as laid, relative to its parent in the level scene
    };

    struct GiftRow {
        int32_t railSetIndex = 0;
        float startDistance = 0;
        float length = 0;
        float chance = 100;  // percent
        bool shown = false;
        std::vector<GiftRowItem> items;
    };

    struct OccupiedRange {
        int32_t kind = 0;
        int32_t mode = RangeFixed;
        Actor* actor = nullptr;  // null for a junction
        int32_t railSetIndex = 0;
        float setDistance = 0;
        Rail* rail = nullptr;
        float railDistance = 0;
        float length = 0;
    };

    struct ProxyPlacement {
        Object* node = nullptr;    // the placeholder
        Object* object = nullptr;  // what was spawned on it
    };

    // ---- Loading ----
    // The level of the scene file of that name (its path below the bundle's data folder), or
    // null when there is no such file (logged). A missing chain node stops the program: it is
    // an authoring error of the level file.
    static Level* load(World* world, PSParticleSystem* particleSystem, ProxyContainer* proxyContainer,
                       const std::string& name);
    Level(World* world, Scene* scene, PSParticleSystem* particleSystem, ProxyContainer* proxyContainer,
          Object* chainBegin, Object* chainEnd, Object* startNode, const std::vector<RailSet*>& railSets,
          int directionCode, int upCode);
    ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    static uint32_t readRailKinds(const std::string& section);
    void collectGroups(std::vector<NodeGroup>& target, const char* listWord, const char* prefixWord,
                       const char* defaultPrefix);

    // ---- Geometry ----
    const std::string& getName() const;
    Matrix4 getBeginMatrix() const;
    Matrix4 getEndMatrix() const;
    Matrix4 getBeginLocalMatrix() const;
    Matrix4 getEndLocalMatrix() const;
    Vector3 getStartPosition() const;
    Vector3 getDirection() const;
    Vector3 getUpAxis() const;
    float getLength() const;
    float distanceAlong(const Vector3& worldPosition) const;
    bool findNearestRail(RailHit& hit, const Vector3& worldPosition, float maxDistance) const;
    bool isSceneActive() const;

    // ---- Contents ----
    void buildGiftRows();
    void addJunctionRanges();
    void placeProxyObjects(bool withProxies);
    void spawnProxyObjects();
    void removeProxyObjects();
    void addItem(Actor* actor, bool placed);
    void addEnemy(Actor* enemy);
    bool addOccupiedRange(Actor* actor, bool moving);
    bool removeObject(Object* object);
    bool removeItem(Actor* actor);
    bool removeEnemy(Actor* actor);
    void attachWaggons();
    void rollVisiblePercent(Object* node);
    void updateMovingRanges();
    void resetActors();
    void resetObjects();

    // ---- On the road ----
    void show();
    void hide();
    void setWorldMatrix(const Matrix4& matrix);
    void enablePhysics();
    void disablePhysics();
    void showActors(bool now);
    void destroyPhysics();
    void collectAnimatedActors();
    void startActors();
    void stopActors();
    void startConductors();
    void stopNearActors();
    void startCamera();
    void stopCamera();
    bool onParticleFinished(PSEmitter* emitter, PSParticleSystem* system);
    void setAtmosphere(Atmosphere* atmosphere);
    void setSkin(LevelSkin* skin);
    void setParticleSystem(PSParticleSystem* system);
    void update(float frameTime);
    void debugDraw(DebugDraw* drawer);

    static bool isActor(const Object* object);

    // ---- Fields ----
    World* world = nullptr;
    Scene* scene = nullptr;
    PSParticleSystem* particleSystem = nullptr;
    ProxyContainer* proxyContainer = nullptr;
    Atmosphere* atmosphere = nullptr;
    Camera* camera = nullptr;
    KeyFramePlayer* cameraAnimation = nullptr;
    Object* chainBegin = nullptr;
    Object* chainEnd = nullptr;
    Object* startNode = nullptr;
    std::vector<RailSet*> railSets;  // owned
    int32_t axisDir = 1;
    int32_t axisUp = 2;
    Vector3 railOffset;
    float onRailDistance = 0.5f;
    float chance = 100;
    LevelGroup* group = nullptr;
    LevelSkin* skin = nullptr;
    std::vector<Actor*> ambientActors;
    std::vector<Actor*> nearActors;
    std::vector<GiftRow> giftRows;
    std::vector<NodeGroup> randomGroups;
    std::vector<NodeGroup> selectGroups;
    std::vector<NodeGroup> linkGroups;
    std::vector<NodeGroup> waggonGroups;
    std::vector<OccupiedRange> occupiedRanges;
    std::vector<Object*> placedObjects;
    std::vector<ProxyPlacement> proxyPlacements;
    std::vector<Actor*> items;
    std::vector<Actor*> enemies;
    std::vector<PSEmitter*> emitters;
    bool picked = false;
    bool onRoad = false;
    int32_t roadIndex = 0;
    bool runFlag = false;
    bool physicsEnabled = false;
    int32_t physicsCursor = -1;
    std::vector<Body*> dynamicBodies;

    // The rails of every set (the sets do not own them).
    std::vector<Rail*> ownedRails;

private:
    void orientRailSets();
    void resetRailSets();
    void restoreGroupStates();
    void setNodeHiddenActive(Object* node, bool hidden);
    void dropFirstRange(Actor* actor);
    bool dropPlacement(Object* object);
    void unplace(Object* object);
    void giveLights(Object* object);
    float summedLengthBefore(const RailSet* set, const Rail* rail) const;
    void collectDynamicBodies(Object* node);
    void buildBodies(Object* node);
    const Matrix4& rootWorld() const;
};

}  // namespace Zelvan

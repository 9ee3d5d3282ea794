#pragma once
// The game-world object: a scene-graph node with five components (named nodes, animations,
// effects, sounds, and the conductors that drive the other four) and a list of its own
// properties. Every top-level node the World makes from an object file becomes an Actor or one
// of its subclasses, chosen through the World's class registry.
//
// Configuration keys of an actor are read under its source name (its object file's path, or the
// node name for a node without one).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/math.h"
#include "engine_game/Object.h"
#include "engine_game/World.h"

class ActorAnimator;
class ActorSoundList;
class ConductorContainer;
class DebugDraw;
class Light;
class NodeContainer;
class ObjectNode;
class ObjectPool;
class PSEmitter;
class PSParticleSystem;
class Scene;

namespace Zelvan {

class EffectContainer;

// Type ids in the node's type-id field; below TypeActor a node is not an actor.
enum ActorTypeId {
    TypeActor = 1002,
    TypeActorCharacter = 1003,
    TypeActorPlayer = 1004,
    TypeActorItem = 1005,
    TypeActorItemGift = 1006,
    TypeActorItemObstacle = 1007,
    TypeActorSwitch = 1008,
    TypeActorObstacle = 1009,
    TypeActorEnemy = 1010,
    TypeActorEnemyTrain = 1011,
    TypeActorEnemyWaggon = 1012,
    TypeActorDecoration = 1013,
    TypeActorStargate = 1014,
    TypeActorMenu = 1015,
};

inline bool isActorTypeId(int32_t typeId) { return typeId >= TypeActor; }

class Actor : public Object {
public:
    Actor(World* world, Scene* scene, Object* parent);
    // The allocating form: the World's default factory.
    static Object* create(World* world, Scene* scene, Object* parent);
    ~Actor() override;

    // Creates the components once (again after releaseComponents).
    void init() override;
    // Object's update, then conductors (dt: the clock's scaled frame delta, 0 while paused),
    // nodes, animator, effects, sounds.
    void update() override;
    // Back to a pool: the start state, with its effects stopped so nothing keeps emitters the
    // particle system may release while the actor waits.
    void detach() override;
    // The start state: conductors re-armed, animations stopped, sounds stopped.
    void reset() override;
    void addProperty(const char* key, const char* value) override;

    // One node update with shadows placed whatever the shadow switch says.
    virtual void refreshNodes();
    virtual bool isActive() { return _active != 0; }
    virtual void setActive(bool on);
    virtual void setDefaultLights();
    virtual void setLights(const std::vector<Light*>& lights);
    // The matrix is applied after the current world placement; bodies move along.
    virtual void applyTransform(const Matrix4& matrix);
    virtual void setParticleSystem(PSParticleSystem* system);
    virtual bool forgetParticleInstance(PSEmitter* emitter, PSParticleSystem* system);
    // The boxes of the visible tree (white) and of its bodies (red).
    virtual void debugDraw(DebugDraw* draw);
    virtual void createComponents();
    virtual void releaseComponents();

    void resetConductors();
    void flushConductors();
    // The description's property, else the first own property of that key, else null.
    const std::string* findProperty(const ObjectNode* description, const char* key) const;
    const std::string* getProperty(const char* key) const;
    void applyDescriptionTransforms();
    void rewindAnimations(float frame);
    void stopAnimations();
    void buildPhysics(int32_t defaultType);
    // The top description node of the actor's object file, looked up when the components are
    // made (null when the actor has no object file).
    ObjectNode* description() const { return _description; }

    World* _world = nullptr;
    Scene* _scene = nullptr;
    ObjectPool* _pool = nullptr;
    std::vector<std::pair<std::string, std::string>> _properties;
    bool _created = false;
    NodeContainer* _nodes = nullptr;
    ActorAnimator* _animator = nullptr;
    EffectContainer* _effects = nullptr;
    ActorSoundList* _sounds = nullptr;
    ConductorContainer* _conductors = nullptr;

protected:
    ObjectNode* _description = nullptr;
};

// The actor classes for the World's factories: the Actor for every top-level node, then each
// class for the object files its section lists under ".objectFiles".
void registerActorClasses(World* world);

}  // namespace Zelvan

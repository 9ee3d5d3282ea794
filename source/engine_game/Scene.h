#pragma once
// A group of nodes loaded together from one scene file, or made empty: a level, an interface
// page, a background. It keeps its cameras, lights, top-level nodes, players, named EMPTY
// placeholders and groups, is shown or hidden as a whole, placed through its root node and may
// own a physics world. Object pools keep reusable instances of one object file.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine_game/World.h"

class Camera;
class KeyFramePlayer;
class Light;
class Object;
class ObjectPool;
class RenderTarget;
class PhysicsWorld;

// One EMPTY placeholder of a scene file: a named, placed node that is never drawn.
struct EmptyEntry {
    EmptyEntry() = default;
    ~EmptyEntry();
    EmptyEntry(const EmptyEntry&) = delete;
    EmptyEntry& operator=(const EmptyEntry&) = delete;

    Object* node = nullptr;         // owned, no parent
    KeyFrameList* keys = nullptr;   // owned; only binary scenes fill it
    PropertyMap properties;
};

// The nodes made into a scene, for a caller that draws the scene on its own.
struct SceneRenderList {
    RenderTarget* renderTarget = nullptr;
    std::vector<Object*> nodes;
};

class Scene {
public:
    // physics 1: the scene's nodes get bodies; without a world physics world the scene builds
    // its own with gravity (0, 0, -10).
    Scene(World* world, const std::string& name, int physics);
    // Frees the pools and their instances, the EMPTY entries, the root with every node below it
    // (cameras, lights, instances, texts), the key lists and the own physics world.
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Steps the own physics world while it has dynamic bodies, flushes the pools, debug lines.
    virtual void update();

    void setTransform(const Vector3 rotation[3], const Vector3& position);
    void hide();
    void show();
    void resetObjects();
    Object* findObject(const std::string& name) const;
    Camera* findCamera(const std::string& name) const;
    ObjectPool* getObjectPool(const std::string& path);
    std::vector<Object*> getGroup(const std::string& name) const;
    std::vector<std::string> getGroupNames() const;

    // Appends a node to a group (made when missing).
    void addToGroup(const std::string& group, Object* node);
    // Keeps a key list alive for as long as the scene (players do not own their keys).
    KeyFrameList* keepKeys(KeyFrameList* keys);
    // Replaces the root; the old one is freed with the scene.
    void setRoot(Object* root);

    SceneRenderList* _renderList = nullptr;
    int32_t _bodyCount = 0;
    uint8_t _physics = 0;
    uint8_t _rayTestable = 1;
    std::vector<Camera*> _cameras;
    std::vector<Light*> _lights;
    std::vector<Object*> _nodes;
    std::vector<KeyFramePlayer*> _animations;
    std::map<std::string, EmptyEntry*> _empties;
    Object* _root = nullptr;
    Vector3 _position;
    Vector3 _rotation[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    uint8_t _shown = 1;
    std::string _name;
    World* _world = nullptr;
    btDiscreteDynamicsWorld* _dynamicsWorld = nullptr;
    std::vector<ObjectPool*> _pools;
    std::map<std::string, std::vector<Object*>> _groups;
    btIDebugDraw* _physicsDebugDraw = nullptr;

private:
    PhysicsWorld* _physicsWorld = nullptr;
    std::vector<Object*> _oldRoots;
    std::vector<KeyFrameList*> _keyLists;
};

class ObjectPool {
public:
    // Loads the object file once.
    ObjectPool(World* world, Scene* scene, const std::string& path);
    // Frees every instance the pool made.
    ~ObjectPool();
    ObjectPool(const ObjectPool&) = delete;
    ObjectPool& operator=(const ObjectPool&) = delete;

    // An instance shown, active and attached; null when the object file cannot be loaded.
    Object* acquire(int physics);
    // Queues an instance for return; foreign or already returned instances are ignored.
    void release(Object* instance);
    // Returns the queued instances: detached, parentless and hidden.
    void flush();
    // Updates the active handed-out instances, then flushes.
    void update();

    // Drops a node that is being freed from every list.
    void forget(Object* node);

    World* _world = nullptr;
    Scene* _scene = nullptr;
    std::string _path;
    std::vector<Object*> _updating;
    std::vector<Object*> _inUse;
    std::vector<Object*> _free;
    std::vector<Object*> _releasing;

private:
    // The instances a flush works through; kept so neither list loses its storage.
    std::vector<Object*> _flushing;
    std::vector<Object*> _made;  // every instance made, freed with the pool
};

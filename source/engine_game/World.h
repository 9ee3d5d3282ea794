#pragma once
// The container of everything in the game's 3D space: scenes loaded from scene files, nodes made
// from object files, world-level animations and pools, a default light, the active camera, one
// default render target, the object-file cache, the table of node factories and (when asked for)
// a physics world. Its per-frame update drives physics, animations, scenes, nodes and pools.
//
// Ownership: the world owns its scenes, its pools, the cached object-file trees, the default
// light, the render target, the nodes it made without a scene (object instances, debug drawing)
// and the rigid bodies its shape makers made. Scenes own their node trees; nodes own their meshes,
// players and body handles. The world listens for released nodes and drops them from every list
// it or its scenes and pools keep, and frees their rigid bodies.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/math.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"

class BinaryReader;
class Body;
class Camera;
class DebugDraw;
class File;
class IPhysicsBody;
class Light;
class Mesh;
class ObjectNode;
class ObjectPool;
class PSParticleSystem;
class RenderTarget;
class Scene;
class Text;
class World;

class btCollisionShape;
class btDiscreteDynamicsWorld;
class btDynamicsWorld;
class btIDebugDraw;
class btRigidBody;

// Makes the node for a description, not yet named or placed.
typedef Object* (*ObjectFactory)(World* world, Scene* scene, Object* parent);
// Object-file paths and class names to factories.
typedef std::map<std::string, ObjectFactory> ObjectClassRegistry;
// Ordered key/value pairs (scene properties of an object record).
typedef std::vector<std::pair<std::string, std::string>> PropertyList;
typedef std::map<std::string, std::string> PropertyMap;
typedef std::vector<KeyFrame> KeyFrameList;

// The nearest hit of a ray test.
struct RayHit {
    Mesh* mesh = nullptr;
    int32_t triangle = 0;  // first index of the mesh / 3 + the triangle within its range
    Scene* scene = nullptr;
    float distance = 0;    // fraction of the segment from its start
    Object* node = nullptr;
    alignas(16) Vector3 point;
    alignas(16) Vector3 normal;
};

// A physics world of the physics library with what it is built from.
class PhysicsWorld {
public:
    explicit PhysicsWorld(const Vector3& gravity);
    // Removes and deletes every collision object still in the world with its shape.
    ~PhysicsWorld();
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;

    btDiscreteDynamicsWorld* dynamicsWorld() const { return _dynamicsWorld; }

private:
    class Parts;
    Parts* _parts;
    btDiscreteDynamicsWorld* _dynamicsWorld;
};

// Deletes a collision shape and what only it uses (a triangle mesh's vertex arrays).
void deleteCollisionShape(btCollisionShape* shape);

// Rotation rows from Euler radians: about X first, then Y, then Z (fixed axes).
void eulerToRows(const Vector3& angles, Vector3 rows[3]);

class World : public IObjectReleaseListener {
public:
    // physics 1 builds a physics world (gravity (0, 0, -20)); any other value none.
    explicit World(int physics);
    virtual ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Per frame: physics, world animations, shown scenes and their nodes, pools, debug lines.
    virtual void update();
    // Chooses the class of a new node (see ObjectFactory).
    virtual Object* instantiate(Scene* scene, Object* parent, const std::string& sourceName,
                                const PropertyMap& fileProperties, const PropertyList& sceneProperties);

    // ---- World ----
    btDynamicsWorld* getDynamicsWorld(Scene* scene);
    void setCamera(Camera* camera);
    Camera* getCamera() const { return _camera; }
    Light* createLight();
    void deleteObject(Object* node);
    KeyFramePlayer* getAnimation(Object* node) const;
    void clearLights(Object* node);
    void setLights(Object* node, const std::vector<Light*>& lights);
    void setDefaultLights(Object* node);
    void attachObject(Scene* scene, Object* node);
    void detachObject(Scene* scene, Object* node);
    Object* findEmpty(const std::string& name) const;
    DebugDraw* createDebugDraw();
    // The particle system of an effect folder, drawn through _renderTarget; null (logged) when the
    // folder cannot be loaded. Destroying takes it out of the target first.
    PSParticleSystem* createParticleSystem(const char* name);
    void destroyParticleSystem(PSParticleSystem* system);
    void releaseScene(Scene*) {}

    // ---- Object files ----
    ObjectNode* loadObjectFile(const std::string& path);
    // Reads one node and its children; false (logged) when the file is damaged.
    bool readObjectNode(const std::string& path, ObjectNode* node, BinaryReader& reader, int depth);

    // ---- Instantiation ----
    void registerObjectClass(const std::string& name, ObjectFactory factory);
    Object* createObject(Scene* scene, const std::string& path, const std::string& name,
                         const PropertyList& sceneProperties, int physics, const Vector3 rotation[3],
                         const Vector3& position, const Vector3& scale, const KeyFrameList* keys);
    void createChildren(Scene* scene, const std::string& name, Object* parent, ObjectNode* objectNode,
                        int physics);
    Text* createText(Scene* scene, const std::string& name, const std::string& fontPath, Object* parent);
    // The key list is not owned by the player: it must outlive it (object-file trees, scenes).
    KeyFramePlayer* createAnimation(Scene* scene, Object* node, const KeyFrameList* keys);

    // ---- Scenes ----
    Scene* createScene(const std::string& name, int physics, int renderList);
    Scene* loadScene(const std::string& path, int physics, int renderList);
    void loadLevel(Scene* scene, const std::string& path);
    void loadText(Scene* scene, File& file, std::vector<Object*>& loaded);
    void loadBinary(Scene* scene, File& file, std::vector<Object*>& loaded, const std::string& path);
    ObjectPool* getObjectPool(const std::string& path);

    // ---- Picking ----
    // x, y in 0..1 from the top left of the screen. Without an active camera: no hit.
    void pick(std::vector<RayHit>& result, float x, float y, int typeFilter, Vector3* outDirection);
    void rayTest(std::vector<RayHit>& result, const Vector3& start, const Vector3& end, int typeFilter);
    void rayTestNode(Scene* scene, Object* node, const Vector3& start, const Vector3& end,
                     std::vector<RayHit>& hits);
    void rayTestMesh(Scene* scene, Object* node, Mesh* mesh, const Vector3& start, const Vector3& end,
                     std::vector<RayHit>& hits);

    // ---- Node physics ----
    bool createPhysics(Scene* scene, Object* node, ObjectNode* objectNode, const Vector3 rotation[3],
                       const Vector3& position, const Vector3& scale, float mass);
    btRigidBody* createSphereBody(Scene* scene, float radius, const Vector3 rotation[3], const Vector3& position,
                                  float mass);
    btRigidBody* createBoxBody(Scene* scene, const Vector3& size, const Vector3 rotation[3],
                               const Vector3& position, float mass);
    btRigidBody* createCylinderBody(Scene* scene, float radius, float height, int axis, const Vector3 rotation[3],
                                    const Vector3& position, float mass);
    btRigidBody* createMeshBody(Scene* scene, const Vector3& scale, int convex, Object* node, float mass);
    // points: count x 3 floats.
    btRigidBody* createConvexHullShape(Scene* scene, const float* points, int count, const Vector3 rotation[3],
                                       const Vector3& position, float mass);
    Body* createBody(Scene* scene, btRigidBody* rigidBody, int type, const Vector3& offset);
    void destroyBody(IPhysicsBody* body);
    void destroyRigidBody(Scene* scene, btRigidBody* rigidBody);

    // A node is about to be freed: drop it from every list of this world, its scenes and pools.
    // Only the lists the node was put in are visited (its _listings), so the cost does not grow
    // with the number or size of the loaded scenes. Nodes therefore enter these lists through
    // the world's, scenes' and pools' operations (attachObject, createObject, the scene loaders,
    // Scene::addToGroup, Scene::setRoot), which record it, not by pushing onto them directly.
    void onObjectReleased(Object* node) override;

    // The kinds of NodeListing.
    enum ListingKind : uint8_t {
        ListedObjects,     // _objects (owner: the world)
        ListedNodes,       // a scene's _nodes
        ListedCameras,     // a scene's _cameras
        ListedLights,      // a scene's _lights
        ListedGroup,       // one group of a scene (list: its node list)
        ListedRenderList,  // a scene's render list
        ListedEmpty,       // an EMPTY entry of a scene
        ListedRoot,        // a scene's root
        ListedPool,        // made by a pool (owner: the pool's scene or world; list: the pool)
        ListedPlayers      // the node's player in a player list (owner: world or scene; list: it)
    };
    // Records that the node was put into one list once more, or taken out of it count times.
    static void noteListed(Object* node, uint8_t kind, const void* owner, const void* list = nullptr);
    static void noteUnlisted(Object* node, uint8_t kind, const void* owner, const void* list = nullptr,
                             uint32_t count = 1);

    // ---- Fields ----
    Light* _defaultLight = nullptr;
    uint8_t _releaseGeometryData = 0;
    Camera* _camera = nullptr;
    std::vector<Object*> _objects;
    std::vector<KeyFramePlayer*> _animations;
    std::vector<KeyFramePlayer*> _parkedAnimations;
    std::vector<Scene*> _scenes;
    std::vector<ObjectPool*> _pools;
    std::map<std::string, ObjectNode*> _objectFiles;
    ObjectFactory _defaultFactory = nullptr;
    ObjectClassRegistry _objectClasses;
    RenderTarget* _renderTarget = nullptr;
    float _textScale = 0.8f;
    uint8_t _meshGroundTest = 1;
    btDiscreteDynamicsWorld* _dynamicsWorld = nullptr;
    btIDebugDraw* _physicsDebugDraw = nullptr;
    uint8_t _objectsHaveProperties = 0;
    uint8_t _emptiesHaveAnimation = 0;
    std::vector<std::string> _decalNames;

    // Deepest child nesting an object file may have.
    enum { MaxObjectNodeDepth = 64 };

private:
    friend class Scene;
    friend class ObjectPool;

    // Storage reused by the calls that walk a node tree or gather ray hits, so that attaching,
    // detaching, relighting and ray tests allocate nothing once it has grown. None of those calls
    // reenters another of them while it uses its list.
    std::vector<Object*> _treeNodes;
    std::vector<RayHit> _rayHits;

    // A scene is going: its bodies' records go with it.
    void forgetScene(Scene* scene);
    // A pool took over an instance the world made without a scene.
    void adoptPoolInstance(Object* node) { _ownedObjects.erase(node); }

    // A rigid body made by a shape maker, with the scene whose count it raised (if any).
    struct MadeBody {
        Scene* scene = nullptr;
        btDynamicsWorld* world = nullptr;
        bool counted = false;
    };

    btRigidBody* finishPrimitiveBody(Scene* scene, btCollisionShape* shape, const Vector3 rotation[3],
                                     const Vector3& position, float mass);
    void addMeshesOf(Object* holder, ObjectNode* objectNode, bool skipEmpty, bool adjacency);
    void placeCamera(Scene* scene, Camera* camera);
    void forgetPlayer(KeyFramePlayer* player);
    // The scene of this world that a listing names, or null (another world's scene, or gone).
    Scene* listedScene(const void* owner) const;
    // Takes the node out of one list of this world; false when the listing is not this world's.
    bool dropListing(Object* node, const NodeListing& listing);

    PhysicsWorld* _physics = nullptr;
    std::map<btRigidBody*, MadeBody> _madeBodies;
    std::set<Object*> _ownedObjects;  // made without a scene; freed with the world
    bool _destroying = false;
};

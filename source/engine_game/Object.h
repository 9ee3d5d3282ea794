#pragma once
// The scene-graph node. Everything placed in the world derives from it: cameras, lights, text,
// debug drawing, interface views and every game actor. The node draws nothing itself: the world
// hands its meshes to a render target.
//
// Ownership of nodes (every subsystem that lists nodes relies on this):
// - A node with a parent is owned by that parent: it is in the parent's _children, and deleting
//   the parent deletes it. A node without a parent is owned by whoever made it (its scene, a
//   pool, the world or a game class), which deletes it with `delete` (World::deleteObject).
//   A node that only points at a parent without being in its _children (a pooled instance under
//   a scene root) is not owned by that parent and must be deleted, or re-parented, before it.
// - A node owns its Transform, its Bounds, the meshes handed to addMesh, its key-frame player
//   and its physics-body handle (IPhysicsBody; not the physics library's rigid body, which
//   belongs to the world that made it). Lights it lists are nodes of their own and not owned.
// - Releasing a node (see Object::releaseLinks) runs in this order: its children are deleted
//   (last created first); every registered IObjectReleaseListener is told, so worlds, scenes,
//   pools and render targets drop the node, its meshes and its player from their lists; the node
//   leaves its parent's _children; then its player, body handle, meshes, Bounds and Transform
//   are freed. Nothing that lists a node may keep it past onObjectReleased.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"

class Bounds;
class IPhysicsBody;
class KeyFramePlayer;
class Light;
class Mesh;
class Object;
class Transform;

// Something that lists nodes and must forget one before it is freed.
// One list a world or one of its scenes or pools keeps the node in (see World::onObjectReleased):
// the kind of list, the world or scene that owns it, the list itself where the kind needs it, and
// how often the node was put there. Releasing a node visits these lists only.
struct NodeListing {
    uint8_t kind = 0;
    const void* owner = nullptr;
    const void* list = nullptr;
    uint32_t count = 0;
};

class IObjectReleaseListener {
public:
    virtual ~IObjectReleaseListener() {}
    // Called once for every node about to be freed (children before their parent), while the
    // node still has its parent, meshes, player and body. Unlist the node, unlink its meshes
    // from render lists and drop its player from animation lists. A listener that releases the
    // node's physics body itself (with its rigid body) sets _physicsBody to null. The node may
    // be part-way through its destructor: use its fields, never its virtual operations.
    virtual void onObjectReleased(Object* node) = 0;
};

class Object {
public:
    explicit Object(Object* parent);
    // Releases the node as described above (releaseLinks), then what the node owns.
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // Called after a node was made from an object file and placed, and each time a pool hands
    // it out.
    virtual void init() {}
    // Per-frame update: a dynamic body writes its pose into the node, then the children.
    // Does not look at _active: the caller decides.
    virtual void update();
    // Called when a pooled node goes back to its pool.
    virtual void detach() {}
    virtual void reset() {}
    virtual void setHidden(bool hidden);
    virtual void setBlocking(bool blocking);
    virtual void setBlockingSelf(bool blocking);
    virtual void setBlockingWhenHidden(bool hit);
    // Recomputes the world matrices of a dirty node and its subtree.
    virtual void updateTransform();
    // One property of the node's description.
    virtual void addProperty(const char* key, const char* value);
    // Called after _active changed.
    virtual void onActiveChanged() {}

    // Placement; each writes the local matrix and updates the subtree.
    void setPosition(const Vector3& position);
    // Keeps each axis's direction and gives it the new length. An axis scaled to zero keeps the
    // direction it had, so scaling back up restores the rotation.
    void setScale(const Vector3& scale);
    // Rows are normalised and given the current scale.
    void setRotation(const Vector3 rows[3]);
    // Rows are used as given (not normalised) times the scale.
    void setTransform(const Vector3 rows[3], const Vector3& position, const Vector3& scale);
    void setMatrix(const Matrix4& matrix);

    Vector3 getPosition() const;
    Vector3 getScale() const;
    // The local axis rows, scale included.
    void getRotation(Vector3 rows[3]) const;
    Vector3 getWorldPosition() const;
    const std::string& getSourceName() const;

    // Takes ownership of the mesh; its world matrix follows the node from now on.
    void addMesh(Mesh* mesh);
    // Appends the light to this node and every descendant (not owned).
    void addLight(Light* light);
    // The first four lights go into the light slots of the node's meshes.
    void applyLights();
    void setColor(const Vector4& color);
    void setOffDistanceSq(float distanceSq);

    // Worlds, scenes, pools and render-target owners register here to hear of released nodes.
    static void addReleaseListener(IObjectReleaseListener* listener);
    static void removeReleaseListener(IObjectReleaseListener* listener);

    Bounds* _bounds = nullptr;
    Vector4 _color{1, 1, 1, 1};
    int32_t _typeId = 0;
    uint32_t _layerMask = 0;
    uint8_t _hidden = 0;
    uint8_t _active = 1;
    uint8_t _blocking = 1;
    uint8_t _hitWhenHidden = 0;
    IPhysicsBody* _physicsBody = nullptr;
    Object* _parent = nullptr;
    KeyFramePlayer* _animation = nullptr;
    Transform* _transform = nullptr;
    std::string _name;
    std::string _sourceName;
    std::vector<Mesh*> _meshes;
    std::vector<Object*> _children;
    std::vector<Light*> _lights;
    // Where worlds list this node; kept by World, Scene and ObjectPool as they list it.
    std::vector<NodeListing> _listings;

protected:
    // Deletes the children, tells the release listeners and leaves the parent; runs once.
    // A derived class whose destructor frees something its meshes use (a geometry) calls it
    // first, so no list still holds the meshes when that happens.
    void releaseLinks();

private:
    // Marks the transform dirty after a write of the local matrix and updates the subtree.
    void placed();

    bool _released = false;
};

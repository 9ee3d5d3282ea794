#include "engine_game/World.h"

#include <algorithm>
#include <cmath>

#include <btBulletDynamicsCommon.h>
#include <BulletCollision/CollisionDispatch/btGhostObject.h>

#include "engine/clock.h"
#include "engine/render/Mesh.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/Camera.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/Light.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"

namespace {

template <typename T>
void eraseAll(std::vector<T*>& list, const void* item) {
    list.erase(std::remove_if(list.begin(), list.end(), [item](T* p) { return (const void*)p == item; }),
               list.end());
}

template <typename T>
bool contains(const std::vector<T*>& list, const T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

template <typename T>
bool eraseFirst(std::vector<T*>& list, const T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

// Takes count occurrences out of a list, searching from the back: nodes are mostly released in
// the reverse order they were listed in. Without count occurrences the whole list is searched.
template <typename T>
void eraseCounted(std::vector<T*>& list, const void* item, uint32_t count) {
    for (size_t i = list.size(); i-- > 0 && count > 0;) {
        if ((const void*)list[i] == item) {
            list.erase(list.begin() + (long)i);
            --count;
        }
    }
}

// Every node of a tree, parents before children (work list: take the first, append its children),
// into nodes (emptied first; its storage is the caller's to reuse).
const std::vector<Object*>& walkTree(Object* top, std::vector<Object*>& nodes) {
    nodes.clear();
    if (!top)
        return nodes;
    nodes.push_back(top);
    for (size_t i = 0; i < nodes.size(); ++i)
        for (Object* child : nodes[i]->_children)
            nodes.push_back(child);
    return nodes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Physics worlds

class PhysicsWorld::Parts {
public:
    btDefaultCollisionConfiguration* configuration = nullptr;
    btCollisionDispatcher* dispatcher = nullptr;
    btDbvtBroadphase* broadphase = nullptr;
    btGhostPairCallback* ghostPairs = nullptr;
    btSequentialImpulseConstraintSolver* solver = nullptr;
};

PhysicsWorld::PhysicsWorld(const Vector3& gravity) : _parts(new Parts()) {
    btDefaultCollisionConstructionInfo info;
    info.m_defaultMaxPersistentManifoldPoolSize = 256;
    info.m_defaultMaxCollisionAlgorithmPoolSize = 256;
    info.m_useEpaPenetrationAlgorithm = true;
    _parts->configuration = new btDefaultCollisionConfiguration(info);
    _parts->dispatcher = new btCollisionDispatcher(_parts->configuration);
    _parts->broadphase = new btDbvtBroadphase();
    _parts->ghostPairs = new btGhostPairCallback();
    _parts->broadphase->getOverlappingPairCache()->setInternalGhostPairCallback(_parts->ghostPairs);
    _parts->solver = new btSequentialImpulseConstraintSolver();
    _dynamicsWorld = new btDiscreteDynamicsWorld(_parts->dispatcher, _parts->broadphase, _parts->solver,
                                                 _parts->configuration);
    _dynamicsWorld->setGravity(btVector3(gravity.x, gravity.y, gravity.z));
}

PhysicsWorld::~PhysicsWorld() {
    for (int i = _dynamicsWorld->getNumCollisionObjects() - 1; i >= 0; --i) {
        btCollisionObject* object = _dynamicsWorld->getCollisionObjectArray()[i];
        btRigidBody* body = btRigidBody::upcast(object);
        if (body)
            _dynamicsWorld->removeRigidBody(body);
        else
            _dynamicsWorld->removeCollisionObject(object);
        deleteCollisionShape(object->getCollisionShape());
        delete object;
    }
    delete _dynamicsWorld;
    delete _parts->solver;
    delete _parts->broadphase;
    delete _parts->ghostPairs;
    delete _parts->dispatcher;
    delete _parts->configuration;
    delete _parts;
}

void deleteCollisionShape(btCollisionShape* shape) {
    if (!shape)
        return;
    if (shape->getShapeType() == TRIANGLE_MESH_SHAPE_PROXYTYPE)
        delete static_cast<btBvhTriangleMeshShape*>(shape)->getMeshInterface();
    delete shape;
}

void eulerToRows(const Vector3& a, Vector3 rows[3]) {
    const float sx = std::sin(a.x), cx = std::cos(a.x);
    const float sy = std::sin(a.y), cy = std::cos(a.y);
    const float sz = std::sin(a.z), cz = std::cos(a.z);
    rows[0] = Vector3(cy * cz, cy * sz, -sy);
    rows[1] = Vector3(sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy);
    rows[2] = Vector3(cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy);
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

World::World(int physics) {
    _defaultLight = new Light(nullptr);
    _defaultLight->_lightColor = Vector3(0, 0, 0);
    _defaultLight->_energy = 0;
    _defaultLight->_secondFactor = 0;

    Render* render = Render::current();
    if (render) {
        _renderTarget = render->createRenderTarget();
    } else {
        // No renderer yet (tools, tests of the scene graph): a screen-like target of its own.
        _renderTarget = new RenderTarget();
        _renderTarget->_flags = RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer;
    }

    if (physics == 1) {
        _physics = new PhysicsWorld(Vector3(0, 0, -20));
        _dynamicsWorld = _physics->dynamicsWorld();
    }
    Object::addReleaseListener(this);
}

World::~World() {
    _destroying = true;

    // Pools first: world-level instances have no parent that would free them.
    std::vector<ObjectPool*> pools;
    pools.swap(_pools);
    for (ObjectPool* pool : pools)
        delete pool;

    // Scenes, last made first; each frees its node tree (the listener keeps the lists clean).
    while (!_scenes.empty()) {
        Scene* scene = _scenes.back();
        _scenes.pop_back();
        delete scene;
    }

    // Nodes the world made without a scene.
    while (!_ownedObjects.empty()) {
        Object* node = *_ownedObjects.begin();
        _ownedObjects.erase(_ownedObjects.begin());
        delete node;
    }

    for (auto& entry : _objectFiles)
        delete entry.second;
    _objectFiles.clear();

    Object::removeReleaseListener(this);
    delete _defaultLight;
    _defaultLight = nullptr;

    // The target leaves the list of the renderer that made it, whichever renderer is current now.
    delete _renderTarget;
    _renderTarget = nullptr;

    // Bodies the game made and never destroyed go with the physics world.
    _madeBodies.clear();
    delete _physics;
    _physics = nullptr;
    _dynamicsWorld = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Per-frame update

void World::update() {
    const float dt = frameTime().dt;
    if (_dynamicsWorld)
        _dynamicsWorld->stepSimulation(dt, 2, 1.0f / 60.0f);

    for (size_t i = 0; i < _animations.size(); ++i) {
        KeyFramePlayer* player = _animations[i];
        if (player->_enabled && player->_node && !player->_node->_hidden)
            player->advance();
    }

    // Lists may change while nodes update (a node released, a pool instance handed out): every
    // index is checked against the current size, and no scene is listed twice.
    for (size_t s = 0; s < _scenes.size(); ++s) {
        Scene* scene = _scenes[s];
        if (!scene->_shown)
            continue;
        scene->update();
        for (size_t i = 0; i < scene->_animations.size(); ++i) {
            KeyFramePlayer* player = scene->_animations[i];
            if (player->_enabled && player->_node && !player->_node->_hidden)
                player->advance();
        }
        const size_t count = scene->_nodes.size();
        for (size_t i = 0; i < count && i < scene->_nodes.size(); ++i) {
            Object* node = scene->_nodes[i];
            if (node->_active)
                node->update();
        }
    }

    for (size_t i = 0; i < _pools.size(); ++i)
        _pools[i]->update();

    if (_physicsDebugDraw && _dynamicsWorld) {
        _physicsDebugDraw->clearLines();
        _dynamicsWorld->setDebugDrawer(_physicsDebugDraw);
        _dynamicsWorld->debugDrawWorld();
    }
}

// ---------------------------------------------------------------------------------------------
// Cameras, lights, nodes

btDynamicsWorld* World::getDynamicsWorld(Scene* scene) {
    if (!scene)
        return _dynamicsWorld;
    if (!scene->_physics)
        return nullptr;
    return _dynamicsWorld ? _dynamicsWorld : scene->_dynamicsWorld;
}

void World::setCamera(Camera* camera) {
    _camera = camera;
    if (_renderTarget)
        _renderTarget->_camera = camera;
}

Light* World::createLight() { return new Light(nullptr); }

void World::deleteObject(Object* node) { delete node; }

KeyFramePlayer* World::getAnimation(Object* node) const { return node ? node->_animation : nullptr; }

void World::clearLights(Object* node) {
    for (Object* n : walkTree(node, _treeNodes))
        n->_lights.clear();
}

void World::setLights(Object* node, const std::vector<Light*>& lights) {
    if (!node)
        return;
    clearLights(node);
    for (Light* light : lights)
        node->addLight(light);
    for (size_t i = lights.size(); i < 4; ++i)
        node->addLight(_defaultLight);
}

void World::setDefaultLights(Object* node) {
    if (!node)
        return;
    clearLights(node);
    for (int i = 0; i < 4; ++i)
        node->addLight(_defaultLight);
}

void World::attachObject(Scene* scene, Object* node) {
    if (!node)
        return;
    // A scene's players are advanced with the scene; the world's list would advance them twice.
    std::vector<KeyFramePlayer*>& active = scene ? scene->_animations : _animations;
    const void* activeOwner = scene ? (const void*)scene : (const void*)this;
    for (Object* n : walkTree(node, _treeNodes)) {
        KeyFramePlayer* player = n->_animation;
        if (!player)
            continue;
        player->_enabled = 1;
        if (!contains(active, player)) {
            active.push_back(player);
            noteListed(n, ListedPlayers, activeOwner, &active);
        }
        if (scene) {
            eraseAll(_animations, player);
            noteUnlisted(n, ListedPlayers, this, &_animations, ~0u);
        }
        eraseAll(_parkedAnimations, player);
        noteUnlisted(n, ListedPlayers, this, &_parkedAnimations, ~0u);
    }
    _renderTarget->addObject(node);
    _objects.push_back(node);
    noteListed(node, ListedObjects, this);
    if (scene) {
        scene->_nodes.push_back(node);
        noteListed(node, ListedNodes, scene);
    }
}

void World::detachObject(Scene* scene, Object* node) {
    if (!node)
        return;
    for (Object* n : walkTree(node, _treeNodes)) {
        KeyFramePlayer* player = n->_animation;
        if (!player)
            continue;
        player->_enabled = 0;
        if (!contains(_parkedAnimations, player)) {
            _parkedAnimations.push_back(player);
            noteListed(n, ListedPlayers, this, &_parkedAnimations);
        }
        eraseAll(_animations, player);
        noteUnlisted(n, ListedPlayers, this, &_animations, ~0u);
        if (scene) {
            eraseAll(scene->_animations, player);
            noteUnlisted(n, ListedPlayers, scene, &scene->_animations, ~0u);
        }
    }
    _renderTarget->removeObject(node);
    if (eraseFirst(_objects, node))
        noteUnlisted(node, ListedObjects, this);
    if (scene && eraseFirst(scene->_nodes, node))
        noteUnlisted(node, ListedNodes, scene);
}

Object* World::findEmpty(const std::string& name) const {
    for (Scene* scene : _scenes) {
        auto it = scene->_empties.find(name);
        if (it != scene->_empties.end() && it->second->node)
            return it->second->node;
    }
    return nullptr;
}

DebugDraw* World::createDebugDraw() {
    DebugDraw* draw = new DebugDraw();
    _objects.push_back(draw);
    noteListed(draw, ListedObjects, this);
    _ownedObjects.insert(draw);
    _renderTarget->addObject(draw);
    return draw;
}

// createParticleSystem and destroyParticleSystem: WorldParticles.cpp.

// ---------------------------------------------------------------------------------------------
// Released nodes

void World::forgetPlayer(KeyFramePlayer* player) {
    eraseAll(_animations, player);
    eraseAll(_parkedAnimations, player);
    for (Scene* scene : _scenes)
        eraseAll(scene->_animations, player);
}

void World::noteListed(Object* node, uint8_t kind, const void* owner, const void* list) {
    for (NodeListing& listing : node->_listings) {
        if (listing.kind == kind && listing.owner == owner && listing.list == list) {
            ++listing.count;
            return;
        }
    }
    NodeListing listing;
    listing.kind = kind;
    listing.owner = owner;
    listing.list = list;
    listing.count = 1;
    // A node moves between a few lists (a player parked, then active again): room for some
    // listings from the first one on, so those moves in the frames of a run do not allocate.
    if (node->_listings.capacity() == node->_listings.size())
        node->_listings.reserve(std::max<size_t>(4, 2 * node->_listings.size()));
    node->_listings.push_back(listing);
}

void World::noteUnlisted(Object* node, uint8_t kind, const void* owner, const void* list, uint32_t count) {
    std::vector<NodeListing>& listings = node->_listings;
    for (size_t k = 0; k < listings.size(); ++k) {
        NodeListing& listing = listings[k];
        if (listing.kind != kind || listing.owner != owner || listing.list != list)
            continue;
        if (listing.count > count) {
            listing.count -= count;
        } else {
            listings[k] = listings.back();
            listings.pop_back();
        }
        return;
    }
}

Scene* World::listedScene(const void* owner) const {
    for (Scene* scene : _scenes)
        if ((const void*)scene == owner)
            return scene;
    return nullptr;
}

bool World::dropListing(Object* node, const NodeListing& listing) {
    const bool mine = listing.owner == (const void*)this;
    Scene* scene = mine ? nullptr : listedScene(listing.owner);
    if (!mine && !scene)
        return false;  // another world's, or its scene is gone with everything it listed
    switch (listing.kind) {
        case ListedObjects:
            eraseCounted(_objects, node, listing.count);
            break;
        case ListedNodes:
            eraseCounted(scene->_nodes, node, listing.count);
            break;
        case ListedCameras:
            eraseCounted(scene->_cameras, node, listing.count);
            break;
        case ListedLights:
            eraseCounted(scene->_lights, node, listing.count);
            break;
        case ListedGroup:
            for (auto& group : scene->_groups)
                if ((const void*)&group.second == listing.list)
                    eraseCounted(group.second, node, listing.count);
            break;
        case ListedRenderList:
            if (scene->_renderList)
                eraseCounted(scene->_renderList->nodes, node, listing.count);
            break;
        case ListedEmpty:
            for (auto& empty : scene->_empties)
                if (empty.second->node == node)
                    empty.second->node = nullptr;
            break;
        case ListedRoot:
            if (scene->_root == node)
                scene->_root = nullptr;
            break;
        case ListedPool: {
            const std::vector<ObjectPool*>& pools = scene ? scene->_pools : _pools;
            for (ObjectPool* pool : pools)
                if ((const void*)pool == listing.list)
                    pool->forget(node);
            break;
        }
        case ListedPlayers:
            if (node->_animation) {
                // The list is one of the owner's own player lists.
                auto* players = static_cast<std::vector<KeyFramePlayer*>*>(const_cast<void*>(listing.list));
                eraseCounted(*players, node->_animation, listing.count);
            }
            break;
        default:
            break;
    }
    return true;
}

void World::onObjectReleased(Object* node) {
    if (node == _camera)
        _camera = nullptr;
    if (_renderTarget) {
        if ((Object*)_renderTarget->_camera == node)
            _renderTarget->_camera = nullptr;
        for (Mesh* mesh : node->_meshes)
            _renderTarget->removeMesh(mesh);
    }
    _ownedObjects.erase(node);

    // The lists of this world, its scenes and pools that hold the node; other worlds' stay.
    std::vector<NodeListing>& listings = node->_listings;
    for (size_t k = 0; k < listings.size();) {
        if (dropListing(node, listings[k])) {
            listings[k] = listings.back();
            listings.pop_back();
        } else {
            ++k;
        }
    }

    // The rigid body of a body this world made goes with its handle.
    if (node->_physicsBody) {
        btRigidBody* rigidBody = node->_physicsBody->getRigidBody();
        if (rigidBody && _madeBodies.count(rigidBody)) {
            IPhysicsBody* body = node->_physicsBody;
            node->_physicsBody = nullptr;
            destroyBody(body);
        }
    }
}

void World::forgetScene(Scene* scene) {
    for (auto it = _madeBodies.begin(); it != _madeBodies.end();) {
        if (it->second.scene == scene || (scene->_dynamicsWorld && it->second.world == scene->_dynamicsWorld))
            it = _madeBodies.erase(it);
        else
            ++it;
    }
    eraseAll(_scenes, scene);
}

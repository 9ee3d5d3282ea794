#include "engine_game/Scene.h"

#include <algorithm>

#include <btBulletDynamicsCommon.h>

#include "engine/clock.h"
#include "engine/render/RenderTarget.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Light.h"
#include "engine_game/Object.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Transform.h"

namespace {

template <typename T>
void eraseAll(std::vector<T*>& list, const T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

template <typename T>
bool contains(const std::vector<T*>& list, const T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

EmptyEntry::~EmptyEntry() {
    delete node;
    delete keys;
}

// ---------------------------------------------------------------------------------------------

Scene::Scene(World* world, const std::string& name, int physics)
    : _physics(physics == 1 ? 1 : 0), _name(name), _world(world) {
    if (physics == 1 && world && !world->_dynamicsWorld) {
        _physicsWorld = new PhysicsWorld(Vector3(0, 0, -10));
        _dynamicsWorld = _physicsWorld->dynamicsWorld();
    }
}

Scene::~Scene() {
    // Pool instances first: they point at the root without being its children.
    std::vector<ObjectPool*> pools;
    pools.swap(_pools);
    for (ObjectPool* pool : pools)
        delete pool;

    for (auto& entry : _empties)
        delete entry.second;
    _empties.clear();

    // The root frees every camera, light, instance and text below it; the world's release
    // listener keeps the lists clean meanwhile.
    delete _root;
    _root = nullptr;
    for (size_t i = _oldRoots.size(); i-- > 0;)
        delete _oldRoots[i];
    _oldRoots.clear();

    delete _renderList;
    _renderList = nullptr;
    for (KeyFrameList* keys : _keyLists)
        delete keys;
    _keyLists.clear();

    if (_world)
        _world->forgetScene(this);
    delete _physicsWorld;
    _physicsWorld = nullptr;
    _dynamicsWorld = nullptr;
}

void Scene::update() {
    if (_dynamicsWorld && _bodyCount != 0)
        _dynamicsWorld->stepSimulation(frameTime().dt, 2, 1.0f / 60.0f);
    for (size_t i = 0; i < _pools.size(); ++i)
        _pools[i]->flush();
    if (_physicsDebugDraw && _dynamicsWorld) {
        _physicsDebugDraw->clearLines();
        _dynamicsWorld->setDebugDrawer(_physicsDebugDraw);
        _dynamicsWorld->debugDrawWorld();
    }
}

void Scene::setTransform(const Vector3 rotation[3], const Vector3& position) {
    for (int i = 0; i < 3; ++i)
        _rotation[i] = rotation[i];
    _position = position;
    if (_root) {
        _root->setPosition(position);
        _root->setRotation(rotation);
    }
}

void Scene::hide() {
    if (!_shown)
        return;
    if (_world && _world->_renderTarget)
        for (Object* node : _nodes)
            _world->_renderTarget->removeObject(node);
    _shown = 0;
}

void Scene::show() {
    if (_shown)
        return;
    if (_world && _world->_renderTarget)
        for (Object* node : _nodes)
            _world->_renderTarget->addObject(node);
    _shown = 1;
}

void Scene::resetObjects() {
    for (size_t i = 0; i < _nodes.size(); ++i)
        _nodes[i]->reset();
}

Object* Scene::findObject(const std::string& name) const {
    for (Object* node : _nodes)
        if (node->_name == name)
            return node;
    return nullptr;
}

Camera* Scene::findCamera(const std::string& name) const {
    for (Camera* camera : _cameras)
        if (camera->_name == name)
            return camera;
    return nullptr;
}

ObjectPool* Scene::getObjectPool(const std::string& path) {
    for (ObjectPool* pool : _pools)
        if (pool->_path == path)
            return pool;
    ObjectPool* pool = new ObjectPool(_world, this, path);
    _pools.push_back(pool);
    return pool;
}

std::vector<Object*> Scene::getGroup(const std::string& name) const {
    auto it = _groups.find(name);
    return it == _groups.end() ? std::vector<Object*>() : it->second;
}

std::vector<std::string> Scene::getGroupNames() const {
    std::vector<std::string> names;
    for (const auto& group : _groups)
        names.push_back(group.first);
    return names;
}

void Scene::addToGroup(const std::string& group, Object* node) {
    std::vector<Object*>& members = _groups[group];
    members.push_back(node);
    if (node)
        World::noteListed(node, World::ListedGroup, this, &members);
}

KeyFrameList* Scene::keepKeys(KeyFrameList* keys) {
    if (keys)
        _keyLists.push_back(keys);
    return keys;
}

void Scene::setRoot(Object* root) {
    if (_root && _root != root)
        _oldRoots.push_back(_root);
    _root = root;
    if (root)
        World::noteListed(root, World::ListedRoot, this);
}

// ---------------------------------------------------------------------------------------------

ObjectPool::ObjectPool(World* world, Scene* scene, const std::string& path)
    : _world(world), _scene(scene), _path(path) {
    if (_world)
        _world->loadObjectFile(path);
}

ObjectPool::~ObjectPool() {
    // forget() runs for each freed instance and shrinks _made.
    while (!_made.empty()) {
        Object* node = _made.back();
        _made.pop_back();
        delete node;
    }
}

Object* ObjectPool::acquire(int physics) {
    Object* instance = nullptr;
    if (!_free.empty()) {
        instance = _free.front();
        _free.erase(_free.begin());
        instance->setHidden(false);
        if (!instance->_active) {
            instance->_active = 1;
            instance->onActiveChanged();
        }
        if (_scene && _scene->_root) {
            // Placed under the root without joining its children: the pool keeps owning it.
            instance->_parent = _scene->_root;
            instance->_transform->setParent(_scene->_root->_transform);
        }
        _world->attachObject(_scene, instance);
        instance->init();
    } else {
        static const Vector3 kIdentity[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        instance = _world->createObject(_scene, _path, _path, PropertyList(), physics, kIdentity, Vector3(),
                                        Vector3(1, 1, 1), nullptr);
        if (!instance)
            return nullptr;
        _world->adoptPoolInstance(instance);
        _made.push_back(instance);
        // Every list an instance moves through on release and flush holds all of them already, so
        // the release of an instance later (a frame of the run) never grows a list.
        for (std::vector<Object*>* list : {&_free, &_releasing, &_flushing})
            if (list->capacity() < _made.size())
                list->reserve(std::max(_made.size(), 2 * list->capacity()));
        World::noteListed(instance, World::ListedPool, _scene ? (const void*)_scene : (const void*)_world, this);
    }
    _updating.push_back(instance);
    _inUse.push_back(instance);
    return instance;
}

void ObjectPool::release(Object* instance) {
    if (!instance || !contains(_inUse, instance) || contains(_free, instance) || contains(_releasing, instance))
        return;
    _releasing.push_back(instance);
    instance->setHidden(true);
    if (instance->_active) {
        instance->_active = 0;
        instance->onActiveChanged();
    }
}

void ObjectPool::flush() {
    // Instances released while this runs wait for the next flush. The list worked through keeps
    // its storage for the next frame; a flush from inside a flush works through a list of its own.
    std::vector<Object*> nested;
    std::vector<Object*>& releasing = _flushing.empty() ? _flushing : nested;
    releasing.swap(_releasing);
    for (Object* instance : releasing) {
        if (!contains(_made, instance))
            continue;  // freed meanwhile
        instance->detach();
        _free.push_back(instance);
        eraseAll(_inUse, instance);
        eraseAll(_updating, instance);
        if (instance->_parent) {
            // A first-made instance is its scene root's child; from now on the pool alone owns it.
            eraseAll(instance->_parent->_children, instance);
            instance->_parent = nullptr;
        }
        instance->_transform->setParent(nullptr);
        _world->detachObject(_scene, instance);
        instance->setHidden(true);
        if (instance->_active) {
            instance->_active = 0;
            instance->onActiveChanged();
        }
    }
    releasing.clear();
}

void ObjectPool::update() {
    for (size_t i = 0; i < _updating.size(); ++i) {
        Object* instance = _updating[i];
        if (instance->_active)
            instance->update();
    }
    flush();
}

void ObjectPool::forget(Object* node) {
    eraseAll(_made, node);
    eraseAll(_updating, node);
    eraseAll(_inUse, node);
    eraseAll(_free, node);
    eraseAll(_releasing, node);
}

// ---------------------------------------------------------------------------------------------

ObjectPool* World::getObjectPool(const std::string& path) {
    for (ObjectPool* pool : _pools)
        if (pool->_path == path)
            return pool;
    ObjectPool* pool = new ObjectPool(this, nullptr, path);
    _pools.push_back(pool);
    return pool;
}

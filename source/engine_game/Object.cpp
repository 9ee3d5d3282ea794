#include "engine_game/Object.h"

#include <algorithm>

#include "engine/bounds.h"
#include "engine/render/Mesh.h"
#include "engine_game/Body.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Light.h"
#include "engine_game/Transform.h"

namespace {

std::vector<IObjectReleaseListener*>& releaseListeners() {
    static std::vector<IObjectReleaseListener*> listeners;
    return listeners;
}

}  // namespace

void Object::addReleaseListener(IObjectReleaseListener* listener) {
    if (!listener)
        return;
    auto& list = releaseListeners();
    if (std::find(list.begin(), list.end(), listener) == list.end())
        list.push_back(listener);
}

void Object::removeReleaseListener(IObjectReleaseListener* listener) {
    auto& list = releaseListeners();
    list.erase(std::remove(list.begin(), list.end(), listener), list.end());
}

Object::Object(Object* parent) : _parent(parent), _transform(new Transform()) {
    if (parent) {
        parent->_children.push_back(this);
        _transform->setParent(parent->_transform);
    }
}

// Where nodes are released. The rules (written out at the top of Object.h): a parent owns the
// children in its _children, a root belongs to whoever made it; a node owns its Transform,
// Bounds, meshes, key-frame player and body handle. Before anything is freed the subtree goes
// (children first), every IObjectReleaseListener (world, scenes, pools, render lists) forgets the
// node, and the node leaves its parent's _children.
Object::~Object() {
    releaseLinks();

    // Render lists were told by the listeners; the meshes can go now. Mesh bounds are members
    // of _bounds, so the node's bounds go first.
    delete _bounds;
    _bounds = nullptr;
    for (Mesh* mesh : _meshes)
        delete mesh;
    _meshes.clear();
    delete _transform;
    _transform = nullptr;
}

void Object::releaseLinks() {
    if (_released)
        return;
    _released = true;

    // 1. The subtree, last created first. Each child leaves _children while it is released.
    while (!_children.empty()) {
        Object* child = _children.back();
        delete child;
        if (!_children.empty() && _children.back() == child)
            _children.pop_back();
    }

    // 2. Everything that lists nodes drops this one (a listener may unregister while called).
    std::vector<IObjectReleaseListener*> listeners = releaseListeners();
    for (IObjectReleaseListener* listener : listeners) {
        auto& current = releaseListeners();
        if (std::find(current.begin(), current.end(), listener) != current.end())
            listener->onObjectReleased(this);
    }

    // 3. Out of the parent's children; the world matrix no longer follows the parent.
    if (_parent) {
        auto& siblings = _parent->_children;
        auto it = std::find(siblings.begin(), siblings.end(), this);
        if (it != siblings.end())
            siblings.erase(it);
        _parent = nullptr;
    }
    _transform->_parentWorld = nullptr;

    // 4. What hangs on the node besides its meshes.
    if (_animation) {
        KeyFramePlayer* player = _animation;
        _animation = nullptr;
        delete player;
    }
    if (_physicsBody) {
        _physicsBody->removeFromWorld();
        delete _physicsBody;
        _physicsBody = nullptr;
    }
    _lights.clear();
}

void Object::update() {
    if (_physicsBody)
        _physicsBody->syncObject(this);
    for (size_t i = 0; i < _children.size(); ++i)
        _children[i]->update();
}

void Object::setHidden(bool hidden) {
    _hidden = hidden ? 1 : 0;
    for (Mesh* mesh : _meshes)
        mesh->_hidden = _hidden;
    for (size_t i = 0; i < _children.size(); ++i)
        _children[i]->setHidden(hidden);
}

void Object::setBlocking(bool blocking) {
    _blocking = blocking ? 1 : 0;
    for (size_t i = 0; i < _children.size(); ++i)
        _children[i]->setBlocking(blocking);
}

void Object::setBlockingSelf(bool blocking) { _blocking = blocking ? 1 : 0; }

void Object::setBlockingWhenHidden(bool hit) { _hitWhenHidden = hit ? 1 : 0; }

void Object::updateTransform() {
    if (_transform->_dirty) {
        _transform->update();
        for (Mesh* mesh : _meshes)
            mesh->updateBounds();
        if (_bounds)
            _bounds->updateFromMembers();
        if (_physicsBody) {
            const Matrix4& w = _transform->_world;
            Vector3 rows[3] = {w.row3(0), w.row3(1), w.row3(2)};
            _physicsBody->setTransform(w.getTranslation(), rows);
        }
        _transform->_dirty = 0;
        for (Object* child : _children)
            child->_transform->_dirty = 1;
    }
    for (size_t i = 0; i < _children.size(); ++i)
        _children[i]->updateTransform();
}

void Object::addProperty(const char*, const char*) {}

void Object::placed() {
    _transform->update();
    _transform->_dirty = 1;
    updateTransform();
}

void Object::setPosition(const Vector3& position) {
    _transform->_local.setTranslation(position);
    placed();
}

void Object::setScale(const Vector3& scale) {
    _transform->_scale = scale;
    for (int i = 0; i < 3; ++i)
        _transform->setAxisRow(i, _transform->axisDirection(i), scale[i]);
    placed();
}

void Object::setRotation(const Vector3 rows[3]) {
    for (int i = 0; i < 3; ++i)
        _transform->setAxisRow(i, rows[i], _transform->_scale[i]);
    placed();
}

void Object::setTransform(const Vector3 rows[3], const Vector3& position, const Vector3& scale) {
    Matrix4& local = _transform->_local;
    _transform->_scale = scale;
    for (int i = 0; i < 3; ++i) {
        _transform->rememberDirection(i, rows[i]);
        local.setRow3(i, rows[i] * scale[i]);
        local.at(i, 3) = 0;
    }
    local.setTranslation(position);
    local.at(3, 3) = 1;
    placed();
}

void Object::setMatrix(const Matrix4& matrix) {
    _transform->_local = matrix;
    for (int i = 0; i < 3; ++i)
        _transform->rememberDirection(i, matrix.row3(i));
    placed();
}

Vector3 Object::getPosition() const { return _transform->_local.getTranslation(); }

Vector3 Object::getScale() const { return _transform->_scale; }

void Object::getRotation(Vector3 rows[3]) const {
    for (int i = 0; i < 3; ++i)
        rows[i] = _transform->_local.row3(i);
}

Vector3 Object::getWorldPosition() const { return _transform->_world.getTranslation(); }

const std::string& Object::getSourceName() const { return _sourceName.empty() ? _name : _sourceName; }

void Object::addMesh(Mesh* mesh) {
    // The node owns its meshes: one listed twice would be freed twice.
    if (!mesh || std::find(_meshes.begin(), _meshes.end(), mesh) != _meshes.end())
        return;
    _meshes.push_back(mesh);
    _transform->addListener(Transform::ListenerWorld, &mesh->_worldMatrix);
    _transform->update();
    _transform->_dirty = 1;
    if (!_bounds)
        _bounds = new Bounds(Vector3(), Vector3());
    if (mesh->_bounds)
        _bounds->merge(mesh->_bounds);
}

void Object::addLight(Light* light) {
    _lights.push_back(light);
    applyLights();
    for (size_t i = 0; i < _children.size(); ++i)
        _children[i]->addLight(light);
}

void Object::applyLights() {
    for (size_t i = 0; i < 4 && i < _lights.size(); ++i)
        for (Mesh* mesh : _meshes)
            mesh->_lights[i] = _lights[i];
}

void Object::setColor(const Vector4& color) {
    _color = color;
    for (Mesh* mesh : _meshes)
        mesh->_colour = color;
}

void Object::setOffDistanceSq(float distanceSq) {
    for (Mesh* mesh : _meshes)
        mesh->_visibilityDistanceSq = distanceSq;
}

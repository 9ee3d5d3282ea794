#include "game/actors/ZelvanNodeContainer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <btBulletDynamicsCommon.h>

#include "engine/ConfigStore.h"
#include "engine/bounds.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/Object.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanObjectTree.h"

namespace {

const Vector3 kDown(0, 0, -1);
// A wheel whose radius times its scale is below this would turn by an endless angle.
const float kMinWheelRadius = 1e-6f;

// "ROOT" is the actor itself; any other name is looked up in its tree.
Object* namedNode(Object* actor, const std::string& name) {
    if (name.empty())
        return nullptr;
    if (name == "ROOT")
        return actor;
    return findObjectByName(actor, name);
}

std::string key(const std::string& prefix, const char* suffix) { return prefix + suffix; }

int32_t axisFromNumber(float v) {
    if (!(v >= -3.0f))
        v = v > 0 ? 3.0f : -3.0f;  // NaN reads as the positive end
    v = std::min(3.0f, std::max(-3.0f, v));
    const int32_t axis = (int32_t)v;
    return axis == 0 ? 1 : axis;
}

template <class Visit>
void visitDescription(const ObjectNode* description, Visit&& visit) {
    visit(description);
    for (const ObjectNode* child : description->_children)
        visitDescription(child, visit);
}

int32_t shadowModeOf(const std::string& type) {
    if (type == "raycast")
        return NodeContainer::ShadowRaycast;
    if (type == "surfaceworld")
        return NodeContainer::ShadowSurfaceWorldDown;
    if (type == "none")
        return NodeContainer::ShadowNever;
    // "surface", "surfacelight", an empty or a missing type.
    return NodeContainer::ShadowSurface;
}

}  // namespace

NodeContainer::NodeContainer() {
    const ConfigStore& config = ConfigStore::instance();
    _shadowOffset = config.getFloat("game.shadowOffset", 0.1f);
    _shadowRayLen = config.getFloat("game.shadowRayLen", 100.0f);
}

void NodeContainer::setWorld(World* world, Scene* scene) {
    _world = world;
    _scene = scene;
}

void NodeContainer::bind(Object* actor, World* world) {
    if (!actor || !world)
        return;
    bind(actor, objectFileDescription(world, actor));
}

void NodeContainer::bind(Object* actor, const ObjectNode* description) {
    if (!actor || !description)
        return;
    auto nodeOf = [actor](const ObjectNode* d) {
        Object* node = findObjectByName(actor, d->_name);
        return node ? node : actor;
    };

    visitDescription(description, [&](const ObjectNode* d) {
        if (const std::string* value = d->property("node")) {
            NodeEntry entry;
            entry.name = *value;
            entry.node = nodeOf(d);
            setObjectActive(entry.node, false);
            _nodes.push_back(entry);
        }
    });
    visitDescription(description, [&](const ObjectNode* d) {
        if (const std::string* value = d->property("wheel")) {
            WheelEntry wheel;
            wheel.node = nodeOf(d);
            const float v = (float)std::atof(value->c_str());
            wheel.axis = axisFromNumber(std::floor(v + 0.5f));
            wheel.size = -1;
            _wheels.push_back(wheel);
        }
    });
    visitDescription(description, [&](const ObjectNode* d) {
        const std::string* value = d->property("shadow");
        if (!value || !d->_parent)
            return;
        Object* caster = findObjectByName(actor, d->_parent->_name);
        Object* shadow = findObjectByName(actor, d->_name);
        if (!caster || !shadow)
            return;
        ShadowEntry entry;
        entry.name = d->_name;
        entry.shadow = shadow;
        entry.mode = ShadowRaycast;
        entry.oriented = *value == "oriented";
        entry.caster = caster;
        _shadows.push_back(entry);
    });
}

void NodeContainer::load(const std::string& prefix, Object* actor) {
    if (!actor)
        return;
    const ConfigStore& config = ConfigStore::instance();

    for (const std::string& e : config.getList(key(prefix, ".nodes"))) {
        Object* node = namedNode(actor, config.getString(key(e, ".node"), ""));
        if (!node)
            continue;
        NodeEntry entry;
        entry.node = node;
        entry.target = namedNode(actor, config.getString(key(e, ".nodeTarget"), ""));
        entry.name = config.getString(key(e, ".name"), prefix.c_str());
        setObjectActive(node, config.getBool(key(e, ".visible"), false));
        _nodes.push_back(entry);
    }

    for (const std::string& e : config.getList(key(prefix, ".wheels"))) {
        const std::string nodeName = config.getString(key(e, ".node"), "");
        Object* node = namedNode(actor, nodeName);
        if (!node) {
            // A data error: logged, and the wheel is left out so the actor still works.
            Logger::error("Unknown wheel node(%s) in object(%s)!", nodeName.c_str(), actor->getSourceName().c_str());
            continue;
        }
        WheelEntry wheel;
        wheel.node = node;
        wheel.axis = axisFromNumber(config.getFloat(key(e, ".axis"), 1.0f));
        wheel.size = config.getFloat(key(e, ".size"), -1.0f);
        _wheels.push_back(wheel);
    }

    for (const std::string& e : config.getList(key(prefix, ".shadows"))) {
        const std::string casterName = config.getString(key(e, ".nodeCaster"), "");
        Object* caster = namedNode(actor, casterName);
        const std::string shadowName = config.getString(key(e, ".nodeShadow"), "");
        Object* shadow = namedNode(actor, shadowName);
        if (!shadow) {
            Logger::error("Not found nodeShadow(%s) in object(%s)!", shadowName.c_str(), actor->getSourceName().c_str());
            continue;
        }
        ShadowEntry entry;
        entry.caster = caster ? caster : actor;
        entry.shadow = shadow;
        entry.mode = shadowModeOf(config.getString(key(e, ".type"), ""));
        entry.name = config.getString(key(e, ".name"), e.c_str());
        entry.oriented = config.getBool(key(e, ".oriented"), false);
        entry.distanceMin = config.getFloat(key(e, ".distanceMin"), 0.0f);
        for (const std::string& item : config.getList(key(e, ".positions"))) {
            ShadowProbe probe;
            Vector3FromString(probe.position, item.c_str());
            entry.probes.push_back(probe);
        }
        _shadows.push_back(entry);
    }
}

bool NodeContainer::setVisible(const std::string& name, bool on) {
    if (name.empty())
        return false;
    bool matched = false;
    for (NodeEntry& e : _nodes)
        if (e.name == name) {
            setObjectActive(e.node, on);
            matched = true;
        }
    for (WheelEntry& e : _wheels)
        if (e.name == name) {
            setObjectActive(e.node, on);
            matched = true;
        }
    for (ShadowEntry& e : _shadows)
        if (e.name == name) {
            setObjectActive(e.shadow, on);
            matched = true;
        }
    return matched;
}

void NodeContainer::hideAll() {
    for (NodeEntry& e : _nodes)
        setObjectActive(e.node, false);
    for (WheelEntry& e : _wheels)
        setObjectActive(e.node, false);
    for (ShadowEntry& e : _shadows)
        setObjectActive(e.shadow, false);
}

void NodeContainer::setEntryActive(NodeEntry& entry, bool on) { setObjectActive(entry.node, on); }

void NodeContainer::setEntryColor(NodeEntry& entry, const Vector4& rgba) { setObjectColor(entry.node, rgba); }

ShadowEntry* NodeContainer::findShadow(const std::string& name) {
    for (ShadowEntry& e : _shadows)
        if (e.name == name)
            return &e;
    return nullptr;
}

void NodeContainer::update() {
    // Standing still turns nothing: skipping saves rewriting every wheel's matrix each frame.
    if (_distance != 0)
        for (WheelEntry& wheel : _wheels)
            turnWheel(wheel, _distance);
    if (_shadowsEnabled)
        for (ShadowEntry& entry : _shadows)
            placeShadow(entry);
    _distance = 0;
}

void NodeContainer::turnWheel(WheelEntry& wheel, float distance) {
    Object* node = wheel.node;
    const int32_t k = std::abs(wheel.axis);
    if (k < 1 || k > 3)
        return;
    const int32_t m = k % 3;  // 0-based index of the axis after k's: Y for X wheels, Z for Y, X for Z

    float diameter = 1.0f;
    if (wheel.size > 0)
        diameter = wheel.size;
    else if (node->_bounds)
        diameter = node->_bounds->_localMax[m] - node->_bounds->_localMin[m];
    const float scale = node->_transform->_world.row3(m).length();
    const float radius = 0.5f * diameter * scale;
    if (!(radius > kMinWheelRadius))
        return;
    const float angle = -distance / radius * (wheel.axis < 0 ? -1.0f : 1.0f);

    Matrix4 turn;
    if (k == 1)
        turn = Matrix4::rotationX(angle);
    else if (k == 2)
        turn = Matrix4::rotationY(angle);
    else
        turn = Matrix4::rotationZ(angle);

    Vector3 rows[3];
    node->getRotation(rows);
    Vector3 turned[3];
    for (int i = 0; i < 3; ++i)
        turned[i] = turn.transformVector(rows[i]);
    node->setRotation(turned);
}

bool NodeContainer::groundRay(const Vector3& from, const Vector3& to, Vector3& point, Vector3& normal) {
    if (!_world)
        return false;
    if (_world->_meshGroundTest) {
        _world->rayTest(_hits, from, to, 100);
        if (_hits.empty())
            return false;
        point = _hits[0].point;
        normal = _hits[0].normal;
        return true;
    }
    btDynamicsWorld* dynamics = _world->getDynamicsWorld(_scene);
    if (!dynamics)
        return false;
    const btVector3 a(from.x, from.y, from.z), b(to.x, to.y, to.z);
    btCollisionWorld::ClosestRayResultCallback result(a, b);
    result.m_collisionFilterGroup = Body::Ray_Kinematic_Selectable;
    result.m_collisionFilterMask = Body::Static;
    dynamics->rayTest(a, b, result);
    if (!result.hasHit())
        return false;
    point = Vector3(result.m_hitPointWorld.x(), result.m_hitPointWorld.y(), result.m_hitPointWorld.z());
    normal = Vector3(result.m_hitNormalWorld.x(), result.m_hitNormalWorld.y(), result.m_hitNormalWorld.z());
    return true;
}

void NodeContainer::placeShadow(ShadowEntry& entry) {
    if (entry.mode == ShadowNever || !entry.shadow || !entry.caster || entry.shadow->_hidden)
        return;
    const Matrix4& cw = entry.caster->_transform->_world;
    const Vector3 P = cw.getTranslation();
    const Vector3 axisX = cw.row3(0), axisY = cw.row3(1), axisZ = cw.row3(2);

    Vector3 point, normal(0, 0, 1);
    if (entry.mode == ShadowRaycast) {
        if (entry.probes.empty()) {
            if (!groundRay(P, P + kDown * _shadowRayLen, point, normal))
                return;
        } else {
            float depth = 1e7f;
            bool hit = false;
            for (const ShadowProbe& probe : entry.probes) {
                const Vector3& o = probe.position;
                const Vector3 start = P + axisY * o.x + axisX * o.y + axisZ * o.z;
                Vector3 p, n;
                if (!groundRay(start, start + kDown * _shadowRayLen, p, n))
                    continue;
                depth = std::min(depth, (p - start).dot(kDown));
                if (!hit)
                    normal = n;
                hit = true;
            }
            if (!hit)
                return;
            point = P + kDown * std::max(depth, entry.distanceMin);
        }
    } else {
        const Vector3 dir = entry.mode == ShadowSurface ? -axisZ.normalized() : kDown;
        const ShadowProbe* best = nullptr;
        float bestDistance = 1e7f;
        for (const ShadowProbe& probe : entry.probes) {
            const float q = (P - probe.position).dot(dir);
            if (q < 0 && -q < bestDistance) {
                bestDistance = -q;
                best = &probe;
            }
        }
        if (!best)
            return;
        point = P + dir * std::max(bestDistance, entry.distanceMin);
        normal = best->normal;
    }

    Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    if (entry.oriented) {
        const Vector3 side = axisY.cross(normal);
        if (side.lengthSquared() > 0) {
            rows[0] = side.normalized();
            rows[1] = normal.cross(rows[0]).normalized();
            rows[2] = normal;
        }
    }
    entry.shadow->_transform->setWorld(rows, point + normal * _shadowOffset);
    entry.shadow->updateTransform();
}

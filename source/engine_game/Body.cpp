#include "engine_game/Body.h"

#include <btBulletDynamicsCommon.h>

#include <cstring>

#include "engine/utils.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"

static const char* const kBodySource = "source/engine_game/Body";

namespace {

struct TypeName {
    const char* name;
    int32_t type;
};

const TypeName kTypeNames[] = {
    {"static", Body::Static},
    {"static_ground", Body::Static},
    {"static_obstacle", Body::Static_Obstacle},
    {"kinematic_camera", Body::Kinematic_Camera},
    {"kinematic", Body::Kinematic},
    {"kinematic_obstacle", Body::Kinematic},
    {"kinematic_player", Body::Kinematic_Player},
    {"kinematic_player_collision", Body::Kinematic_Player},
    {"kinematic_player_hit", Body::Kinematic_Player_Hit},
    {"kinematic_selectable", Body::Kinematic_Selectable},
    {"dynamic", Body::Dynamic},
};

bool isKinematicType(int32_t type) {
    return type == Body::Kinematic_Camera || type == Body::Kinematic || type == Body::Kinematic_Player ||
           type == Body::Kinematic_Player_Hit || type == Body::Kinematic_Selectable;
}

// The node's axis rows as a rotation: normalised, since the physics library takes the basis
// as a pure rotation and scale in it would skew every contact.
btMatrix3x3 basisFromRows(const Vector3 rows[3]) {
    static const Vector3 kAxes[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    Vector3 r[3];
    for (int i = 0; i < 3; ++i) {
        float len = rows[i].length();
        r[i] = (len > 0 && std::isfinite(len)) ? rows[i] / len : kAxes[i];
    }
    // Rows are the axes (points are row vectors); the library's basis holds them as columns.
    return btMatrix3x3(r[0].x, r[1].x, r[2].x, r[0].y, r[1].y, r[2].y, r[0].z, r[1].z, r[2].z);
}

Vector3 toVector3(const btVector3& v) { return Vector3(v.x(), v.y(), v.z()); }
btVector3 toBt(const Vector3& v) { return btVector3(v.x, v.y, v.z); }

}  // namespace

Body::Body(btRigidBody* body, btDynamicsWorld* dynamicsWorld, int32_t type, const Vector3& offset)
    : _world(dynamicsWorld), _body(body), _offset(offset) {
    XAssert(body && dynamicsWorld ? 1 : 0, "body && dynamicsWorld", kBodySource, 24);
    _inWorld = true;
    _synced = false;
    setType(type);
}

Body::~Body() {}

int32_t Body::typeFromName(const char* name, int32_t defaultType) {
    if (!name)
        return defaultType;
    for (const TypeName& t : kTypeNames)
        if (std::strcmp(t.name, name) == 0)
            return t.type;
    return defaultType;
}

int32_t Body::maskOfType(int32_t type) {
    switch (type) {
    case Static_Obstacle:
    case Kinematic_Camera:
    case Kinematic:
        return 0xFCB0;
    case Kinematic_Player:
    case Kinematic_Player_Hit:
        return 0xFC8A;
    case Kinematic_Selectable:
        return 0xFEB0;
    case Dynamic:
        return 0xFCFF;
    default:
        return 0xFDB0;
    }
}

int32_t Body::groupOfType(int32_t type) {
    switch (type) {
    case Static:
    case Static_Obstacle:
    case Kinematic_Camera:
    case Kinematic:
    case Kinematic_Player:
    case Kinematic_Player_Hit:
    case Kinematic_Selectable:
    case Dynamic:
        return type;
    default:
        return Static;
    }
}

bool Body::typesCollide(int32_t typeA, int32_t typeB) {
    return (groupOfType(typeA) & maskOfType(typeB)) != 0 && (groupOfType(typeB) & maskOfType(typeA)) != 0;
}

void Body::setType(int32_t type) {
    XAssert(type != Ray_Static_Ground && type != Ray_Kinematic_Selectable ? 1 : 0,
            "type!=Ray_Static_Ground && type!=Ray_Kinematic_Selectable", kBodySource, 79);
    _type = type;
    if (_inWorld)
        _world->removeRigidBody(_body);

    int flags = _body->getCollisionFlags() &
                ~(btCollisionObject::CF_STATIC_OBJECT | btCollisionObject::CF_KINEMATIC_OBJECT);
    if (type == Dynamic) {
        _body->setCollisionFlags(flags);
        _body->setActivationState(DISABLE_DEACTIVATION);
    } else if (isKinematicType(type)) {
        _body->setCollisionFlags(flags | btCollisionObject::CF_KINEMATIC_OBJECT);
        _body->setActivationState(DISABLE_DEACTIVATION);
    } else {
        _body->setCollisionFlags(flags | btCollisionObject::CF_STATIC_OBJECT);
    }

    if (_inWorld)
        _world->addRigidBody(_body, groupOfType(type), maskOfType(type));
}

void Body::setMaterial(const Material& m) {
    if (m.restitution >= 0)
        _body->setRestitution(m.restitution);
    if (m.friction >= 0)
        _body->setFriction(m.friction);
    if (m.rollingFriction >= 0)
        _body->setRollingFriction(m.rollingFriction);
    if (m.linearDamping >= 0 || m.angularDamping >= 0) {
        float linear = m.linearDamping >= 0 ? m.linearDamping : _body->getLinearDamping();
        float angular = m.angularDamping >= 0 ? m.angularDamping : _body->getAngularDamping();
        _body->setDamping(linear, angular);
    }
}

void Body::addToWorld() {
    if (_inWorld)
        return;
    _inWorld = true;
    _world->addRigidBody(_body, groupOfType(_type), maskOfType(_type));
}

void Body::removeFromWorld() {
    if (!_inWorld)
        return;
    _inWorld = false;
    _world->removeRigidBody(_body);
}

void Body::setTransform(const Vector3& position, const Vector3 rotation[3]) {
    if (_type == Dynamic && !_synced)
        return;
    XAssert(!_body->getMotionState() ? 1 : 0, "!_body->getMotionState()", kBodySource, 132);
    btTransform t;
    t.setBasis(basisFromRows(rotation));
    t.setOrigin(toBt(position) + t.getBasis() * toBt(_offset));
    _body->setWorldTransform(t);
    if (_synced)
        _body->setInterpolationWorldTransform(t);
}

void Body::syncObject(Object* node) {
    if (_type != Dynamic || !node)
        return;
    XAssert(!_body->getMotionState() ? 1 : 0, "!_body->getMotionState()", kBodySource, 147);
    const btTransform& t = _body->getWorldTransform();
    const btMatrix3x3& b = t.getBasis();
    btVector3 origin = t.getOrigin() - b * toBt(_offset);

    // The library keeps a pure rotation; the node's own scale goes back onto its axes.
    const Vector3& scale = node->_transform->_scale;
    Matrix4 m;
    for (int i = 0; i < 3; ++i) {
        btVector3 axis = b.getColumn(i);
        m.setRow3(i, toVector3(axis) * scale[i]);
    }
    m.setTranslation(toVector3(origin));
    if (node->_parent)
        m = m * node->_parent->_transform->_world.inverted();
    node->setMatrix(m);
}

Vector3 Body::getLinearVelocity() { return toVector3(_body->getLinearVelocity()); }

void Body::setLinearVelocity(const Vector3& v) { _body->setLinearVelocity(toBt(v)); }

Vector3 Body::getAngularVelocity() { return toVector3(_body->getAngularVelocity()); }

void Body::setAngularVelocity(const Vector3& v) { _body->setAngularVelocity(toBt(v)); }

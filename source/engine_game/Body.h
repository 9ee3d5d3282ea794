#pragma once
// A node's handle on one rigid body of the physics library inside one dynamics world: the
// body's type decides how it moves and what it collides with.

#include <cstdint>

#include "engine/math.h"

class btRigidBody;
class btDynamicsWorld;
class Object;

// What nodes and actors see of a physics body.
class IPhysicsBody {
public:
    virtual ~IPhysicsBody() {}
    virtual void addToWorld() = 0;
    virtual void removeFromWorld() = 0;
    // Moves the rigid body to the node's world pose (rows = the node's world axes).
    virtual void setTransform(const Vector3& position, const Vector3 rotation[3]) = 0;
    virtual btRigidBody* getRigidBody() = 0;
    // A dynamic body writes its pose into the node.
    virtual void syncObject(Object* node) = 0;
    virtual Vector3 getLinearVelocity() = 0;
    virtual void setLinearVelocity(const Vector3& velocity) = 0;
    virtual Vector3 getAngularVelocity() = 0;
    virtual void setAngularVelocity(const Vector3& velocity) = 0;
};

class Body : public IPhysicsBody {
public:
    // Type bits. The collision group of a body is its type bit; 256 and 512 are ray-test
    // filters only and never the type of a body.
    enum Type {
        Static = 1,
        Static_Obstacle = 2,
        Kinematic_Camera = 4,
        Kinematic = 8,
        Kinematic_Player = 16,
        Kinematic_Player_Hit = 32,
        Kinematic_Selectable = 64,
        Dynamic = 128,
        Ray_Kinematic_Selectable = 256,
        Ray_Static_Ground = 512,
    };

    // restitution, friction, rolling friction, linear damping, angular damping; a negative
    // value keeps the body's current one.
    struct Material {
        float restitution = -1;
        float friction = -1;
        float rollingFriction = -1;
        float linearDamping = -1;
        float angularDamping = -1;
    };

    // The rigid body and the world are not owned: releasing them is their creator's work.
    // The rigid body must have no motion state.
    Body(btRigidBody* body, btDynamicsWorld* dynamicsWorld, int32_t type, const Vector3& offset);
    ~Body() override;

    static int32_t typeFromName(const char* name, int32_t defaultType);
    // The collision mask of a type (16 bits); any non-body type gets the static one.
    static int32_t maskOfType(int32_t type);
    // The collision group of a type: its bit, or the static bit for anything else.
    static int32_t groupOfType(int32_t type);
    // True when bodies of these types collide (each mask holds the other's group).
    static bool typesCollide(int32_t typeA, int32_t typeB);

    void setType(int32_t type);
    int32_t getType() const { return _type; }
    void setMaterial(const Material& material);

    void addToWorld() override;
    void removeFromWorld() override;
    void setTransform(const Vector3& position, const Vector3 rotation[3]) override;
    btRigidBody* getRigidBody() override { return _body; }
    void syncObject(Object* node) override;
    Vector3 getLinearVelocity() override;
    void setLinearVelocity(const Vector3& velocity) override;
    Vector3 getAngularVelocity() override;
    void setAngularVelocity(const Vector3& velocity) override;

    btDynamicsWorld* _world;
    btRigidBody* _body;
    Vector3 _offset;
    bool _inWorld = true;
    int32_t _type = Static;
    // While set, setTransform moves a dynamic body too.
    bool _synced = false;
};

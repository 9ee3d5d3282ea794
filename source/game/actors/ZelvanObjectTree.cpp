#include "game/actors/ZelvanObjectTree.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <btBulletDynamicsCommon.h>

#include "engine/bounds.h"
#include "engine/random.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/utils.h"
#include "engine_game/Body.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"

namespace {

const char* const kSource = "source/game/actors/ZelvanObjectTree";

#define TREE_ASSERT(cond, text) XAssert((cond) ? 1 : 0, text, kSource, __LINE__)

// Root first, then each child in order, depth first. The child list is read by index so a
// visitor may not add or remove children, but reading is safe while it changes flags.
template <class Visit>
void visitTree(Object* node, Visit&& visit) {
    visit(node);
    for (size_t i = 0; i < node->_children.size(); ++i)
        visitTree(node->_children[i], visit);
}

template <class Visit>
void visitBodies(Object* node, Visit&& visit) {
    visitTree(node, [&](Object* n) {
        if (n->_physicsBody)
            visit(n->_physicsBody);
    });
}

int32_t keyCountOf(const KeyFramePlayer* player) {
    return player->_keys ? (int32_t)player->_keys->size() : 0;
}

const float kBoundsStart = 1e7f;

void growBox(Vector3& min, Vector3& max, const Vector3& p) {
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], p[i]);
        max[i] = std::max(max[i], p[i]);
    }
}

bool validBox(const Vector3& min, const Vector3& max) {
    return min.x <= max.x && min.y <= max.y && min.z <= max.z;
}

void scaledBoundsOf(Object* node, const Matrix4& matrix, bool skipHidden, bool onlyBodies, Vector3& min,
                    Vector3& max, bool& any) {
    const bool skipped = (skipHidden && node->_hidden) || (onlyBodies && !node->_physicsBody);
    if (!skipped && node->_bounds && validBox(node->_bounds->_localMin, node->_bounds->_localMax)) {
        const Vector3& a = node->_bounds->_localMin;
        const Vector3& b = node->_bounds->_localMax;
        for (int c = 0; c < 8; ++c) {
            const Vector3 corner((c & 1) ? b.x : a.x, (c & 2) ? b.y : a.y, (c & 4) ? b.z : a.z);
            growBox(min, max, matrix.transformPoint(corner));
        }
        any = true;
    }
    for (size_t i = 0; i < node->_children.size(); ++i) {
        Object* child = node->_children[i];
        scaledBoundsOf(child, child->_transform->_local * matrix, skipHidden, onlyBodies, min, max, any);
    }
}

float maxOf(float a, float b, float c) { return std::max(a, std::max(b, c)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Activation, looks

void setObjectActive(Object* node, bool on) {
    TREE_ASSERT(node, "object");
    if (on) {
        setObjectPhysicsEnabled(node, true);
        if (!node->_active) {
            node->_active = 1;
            node->onActiveChanged();
        }
        node->setHidden(false);
        hideInactiveObjects(node);
    } else {
        setObjectPhysicsEnabled(node, false);
        node->setHidden(true);
        if (node->_active) {
            node->_active = 0;
            node->onActiveChanged();
        }
    }
}

void setObjectPhysicsEnabled(Object* node, bool on) {
    TREE_ASSERT(node, "object");
    visitBodies(node, [on](IPhysicsBody* body) {
        if (on)
            body->addToWorld();
        else
            body->removeFromWorld();
    });
}

void hideInactiveObjects(Object* node) {
    TREE_ASSERT(node, "object");
    visitTree(node, [](Object* n) {
        if (!n->_active)
            n->setHidden(true);
    });
}

void setObjectColor(Object* node, const Vector4& rgba) {
    TREE_ASSERT(node, "object");
    visitTree(node, [&rgba](Object* n) { n->setColor(rgba); });
}

namespace {

template <class Apply>
void forShadedMeshes(Object* node, Material* material, Apply&& apply) {
    visitTree(node, [&](Object* n) {
        for (Mesh* mesh : n->_meshes) {
            if (!mesh->_material || !mesh->_material->_shader)
                continue;
            if (material && mesh->_material != material)
                continue;
            apply(mesh);
        }
    });
}

}  // namespace

void setMeshUniformFloat(Object* node, Material* material, const char* name, float value) {
    TREE_ASSERT(node, "object");
    forShadedMeshes(node, material, [&](Mesh* mesh) { mesh->setUniformFloat(name, value); });
}

void setMeshUniformVector4(Object* node, Material* material, const char* name, const Vector4& value) {
    TREE_ASSERT(node, "object");
    forShadedMeshes(node, material,
                    [&](Mesh* mesh) { mesh->setUniformVector4(name, value.x, value.y, value.z, value.w); });
}

void replaceMeshMaterials(Object* node, const std::vector<Material*>& materials, Material* material) {
    TREE_ASSERT(node, "object");
    visitTree(node, [&](Object* n) {
        for (Mesh* mesh : n->_meshes)
            if (materials.empty() || std::find(materials.begin(), materials.end(), mesh->_material) != materials.end())
                mesh->_material = material;
    });
}

void setObjectTypeId(Object* node, int32_t typeId) {
    TREE_ASSERT(node, "object");
    visitTree(node, [typeId](Object* n) { n->_typeId = typeId; });
}

// ---------------------------------------------------------------------------------------------
// Lookups

Object* findObjectByName(Object* node, const std::string& name) {
    TREE_ASSERT(node, "object");
    if (node->_name == name)
        return node;
    for (size_t i = 0; i < node->_children.size(); ++i)
        if (Object* found = findObjectByName(node->_children[i], name))
            return found;
    return nullptr;
}

bool isObjectInTree(Object* node, Object* candidate) {
    TREE_ASSERT(node && candidate, "object && child");
    for (Object* n = candidate; n; n = n->_parent)
        if (n == node)
            return true;
    return false;
}

const std::string* findNodeProperty(const ObjectNode* description, const char* key) {
    return description ? description->property(key) : nullptr;
}

ObjectNode* findDescriptionByName(ObjectNode* description, const std::string& name) {
    TREE_ASSERT(description, "tobject");
    if (description->_name == name)
        return description;
    for (ObjectNode* child : description->_children)
        if (ObjectNode* found = findDescriptionByName(child, name))
            return found;
    return nullptr;
}

ObjectNode* objectFileDescription(World* world, const Object* node) {
    // A node made without an object file has no source name of its own: looking its node name
    // up as a file would only fail (and log) each time.
    if (!world || !node || node->_sourceName.empty())
        return nullptr;
    return world->loadObjectFile(node->_sourceName);
}

ObjectNode* findObjectDescription(World* world, Scene* scene, Object* node) {
    TREE_ASSERT(world && node, "world && object");
    Object* top = node;
    Object* sceneRoot = scene ? scene->_root : nullptr;
    while (top->_parent && top->_parent != sceneRoot)
        top = top->_parent;
    ObjectNode* description = objectFileDescription(world, top);
    if (!description)
        return nullptr;
    ObjectNode* named = findDescriptionByName(description, node->_name);
    return named ? named : description;
}

namespace {

void applyTransformsBelow(Object* root, const ObjectNode* description) {
    for (const ObjectNode* child : description->_children) {
        if (Object* node = findObjectByName(root, child->_name)) {
            const Vector3& r = child->_rotation;
            const float sx = std::sin(r.x), cx = std::cos(r.x);
            const float sy = std::sin(r.y), cy = std::cos(r.y);
            const float sz = std::sin(r.z), cz = std::cos(r.z);
            const Vector3 rows[3] = {
                Vector3(cy * cz, cy * sz, -sy),
                Vector3(sx * sy * cz - cx * sz, cx * cz + sx * sy * sz, sx * cy),
                Vector3(cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy),
            };
            node->setTransform(rows, child->_position, child->_scale);
        }
        applyTransformsBelow(root, child);
    }
}

}  // namespace

void applyDescriptionTransforms(Object* root, const ObjectNode* description) {
    TREE_ASSERT(root, "object");
    if (description)
        applyTransformsBelow(root, description);
}

// ---------------------------------------------------------------------------------------------
// Key-frame animations

void rewindObjectAnimation(Object* node, float frame) {
    TREE_ASSERT(node, "object");
    KeyFramePlayer* player = node->_animation;
    if (!player)
        return;
    player->_firstFrame = 0;
    player->_lastFrame = std::max(0, keyCountOf(player) - 1);
    player->_loop = 0;
    player->setFrame(frame);
    player->_enabled = 0;
}

void rewindObjectAnimations(Object* node, float frame) {
    TREE_ASSERT(node, "object");
    visitTree(node, [frame](Object* n) { rewindObjectAnimation(n, frame); });
}

void playObjectAnimationTree(Object* node, const AnimationRange& range) {
    TREE_ASSERT(node, "object");
    visitTree(node, [&range](Object* n) {
        KeyFramePlayer* player = n->_animation;
        if (!player)
            return;
        const int32_t last = keyCountOf(player) - 1;
        if (last < 0) {
            // Nothing to play: left still, so it never counts as a running animation.
            player->_enabled = 0;
            player->_playing = 0;
            return;
        }
        const int32_t b = std::clamp(range.begin, 0, last);
        const int32_t e = range.end < 0 ? last : std::clamp(range.end, 0, last);
        float t = range.start;
        if (!(t >= 0.0f))
            t = 0.0f;
        if (t > 1.0f)
            t = 1.0f;
        player->_enabled = 1;
        player->_firstFrame = b;
        player->_lastFrame = e;
        player->_speed = range.speed;
        player->_loop = range.loop ? 1 : 0;
        player->setFrame(t * (float)(e - b));
        player->_playing = 1;
    });
}

void setObjectAnimationsPlaying(Object* node, bool on) {
    TREE_ASSERT(node, "object");
    visitTree(node, [on](Object* n) {
        if (n->_animation)
            n->_animation->_enabled = on ? 1 : 0;
    });
}

void stopObjectAnimation(Object* node) {
    TREE_ASSERT(node, "object");
    if (node->_animation)
        node->_animation->_enabled = 0;
}

void stopObjectAnimations(Object* node) { setObjectAnimationsPlaying(node, false); }

bool isObjectAnimating(Object* node) {
    TREE_ASSERT(node, "object");
    bool animating = false;
    visitTree(node, [&animating](Object* n) {
        const KeyFramePlayer* p = n->_animation;
        if (n->_active && p && p->_enabled && p->_playing && keyCountOf(p) > 0)
            animating = true;
    });
    return animating;
}

// ---------------------------------------------------------------------------------------------
// Bounds

bool getObjectBounds(Object* node, bool skipHidden, Vector3& min, Vector3& max) {
    TREE_ASSERT(node, "object");
    min = Vector3(kBoundsStart, kBoundsStart, kBoundsStart);
    max = Vector3(-kBoundsStart, -kBoundsStart, -kBoundsStart);
    bool any = false;
    visitTree(node, [&](Object* n) {
        if ((skipHidden && n->_hidden) || !n->_bounds)
            return;
        // A node whose meshes are gone keeps an inverted (empty) world box.
        if (!validBox(n->_bounds->_worldMin, n->_bounds->_worldMax))
            return;
        growBox(min, max, n->_bounds->_worldMin);
        growBox(min, max, n->_bounds->_worldMax);
        any = true;
    });
    if (!any)
        min = max = Vector3();
    return any;
}

bool getObjectScaledBounds(Object* node, bool skipHidden, bool onlyBodies, Vector3& min, Vector3& max) {
    TREE_ASSERT(node, "object");
    min = Vector3(kBoundsStart, kBoundsStart, kBoundsStart);
    max = Vector3(-kBoundsStart, -kBoundsStart, -kBoundsStart);
    const Matrix4& w = node->_transform->_world;
    const Matrix4 start = Matrix4::scaling(Vector3(w.row3(0).length(), w.row3(1).length(), w.row3(2).length()));
    bool any = false;
    scaledBoundsOf(node, start, skipHidden, onlyBodies, min, max, any);
    if (!any)
        min = max = Vector3();
    return any;
}

// ---------------------------------------------------------------------------------------------
// Physics

void buildObjectPhysics(World* world, Scene* scene, Object* node, int32_t defaultType) {
    TREE_ASSERT(node, "object");
    if (ObjectNode* description = objectFileDescription(world, node))
        buildNodePhysics(world, scene, node, description, defaultType);
}

void buildNodePhysics(World* world, Scene* scene, Object* node, const ObjectNode* description, int32_t defaultType) {
    TREE_ASSERT(world && node && description, "world && object && tobject");

    if (!description->hasProperty("nophysics") && !description->hasProperty("shadow") && !node->_physicsBody) {
        const std::string* physics = description->property("physics");
        const int32_t type = physics ? Body::typeFromName(physics->c_str(), defaultType) : defaultType;
        float mass = 1.0f;
        if (const std::string* m = description->property("mass")) {
            const float value = std::max(0.0f, (float)std::atof(m->c_str()));
            mass = value > 0 ? value : 1.0f;
        }

        const Matrix4& w = node->_transform->_world;
        const Vector3 rows[3] = {w.row3(0), w.row3(1), w.row3(2)};
        const Vector3 position = w.getTranslation();
        const bool hasBox = node->_bounds && validBox(node->_bounds->_localMin, node->_bounds->_localMax);
        Vector3 extent, centre;
        if (hasBox) {
            extent = node->_bounds->_localMax - node->_bounds->_localMin;
            centre = (node->_bounds->_localMin + node->_bounds->_localMax) * 0.5f;
        }
        auto boxBody = [&]() -> btRigidBody* {
            return hasBox ? world->createBoxBody(scene, extent, rows, position, mass) : nullptr;
        };

        const std::string* coll = description->property("coll");
        btRigidBody* body = nullptr;
        Vector3 offset = centre;
        bool wanted = true;
        if (coll) {
            const std::string& c = *coll;
            if (c == "convexhull" || c == "trimesh") {
                const int convex = (c == "convexhull" || (type != Body::Static && type != Body::Static_Obstacle)) ? 1 : 0;
                body = world->createMeshBody(scene, Vector3(1, 1, 1), convex, node, mass);
                offset = body ? Vector3() : centre;
            } else if (hasBox && c == "sphere") {
                body = world->createSphereBody(scene, 0.35f * maxOf(extent.x, extent.y, extent.z), rows, position, mass);
            } else if (hasBox && c == "cylinder_x") {
                body = world->createCylinderBody(scene, 0.5f * std::max(extent.y, extent.z), extent.x, 0, rows, position,
                                                 mass);
            } else if (hasBox && c == "cylinder_y") {
                body = world->createCylinderBody(scene, 0.5f * std::max(extent.x, extent.z), extent.y, 1, rows, position,
                                                 mass);
            } else if (hasBox && c == "cylinder_z") {
                body = world->createCylinderBody(scene, 0.5f * std::max(extent.x, extent.y), extent.z, 2, rows, position,
                                                 mass);
            }
        } else if (physics) {
            // The box below.
        } else if (type == Body::Static) {
            body = world->createMeshBody(scene, Vector3(1, 1, 1), 0, node, 1.0f);
            offset = body ? Vector3() : centre;
        } else {
            wanted = false;
        }
        // Any other shape name, a missing one with "physics" given, and a shape that failed.
        if (wanted && !body) {
            body = boxBody();
            offset = centre;
        }

        if (body) {
            if (type != Body::Static && type != Body::Static_Obstacle) {
                body->setDamping(0.1f, 0.1f);
                body->setFriction(0.5f);
                body->setRestitution(0.5f);
                body->setAngularFactor(btVector3(1, 1, 1));
                body->setSleepingThresholds(50.0f, 50.0f);
                body->setCcdMotionThreshold(0.01f);
            }
            if (Body* handle = world->createBody(scene, body, type, offset)) {
                body->setUserPointer(node);
                node->_physicsBody = handle;
                node->_transform->_dirty = 1;
                node->updateTransform();
            } else {
                world->destroyRigidBody(scene, body);
            }
        }
    }

    for (const ObjectNode* child : description->_children)
        if (Object* found = findObjectByName(node, child->_name))
            buildNodePhysics(world, scene, found, child, defaultType);
}

void setObjectBodyType(Object* node, int32_t type) {
    TREE_ASSERT(node, "object");
    visitBodies(node, [type](IPhysicsBody* b) {
        if (Body* body = dynamic_cast<Body*>(b))
            body->setType(type);
    });
}

void setObjectBodyMaterial(Object* node, const Body::Material& material) {
    TREE_ASSERT(node, "object");
    visitBodies(node, [&material](IPhysicsBody* b) {
        if (Body* body = dynamic_cast<Body*>(b))
            body->setMaterial(material);
    });
}

void setObjectBodySync(Object* node, bool on) {
    TREE_ASSERT(node, "object");
    visitBodies(node, [on](IPhysicsBody* b) {
        if (Body* body = dynamic_cast<Body*>(b))
            body->_synced = on;
    });
}

void flingObjectBodies(Object* node, const Vector3& linearMin, const Vector3& linearMax, const Vector3& angularMin,
                       const Vector3& angularMax) {
    TREE_ASSERT(node, "object");
    visitBodies(node, [&](IPhysicsBody* body) {
        MotherRandom& random = motherRandom();
        Vector3 linear, angular;
        for (int i = 0; i < 3; ++i)
            linear[i] = linearMin[i] + (float)random.nextDouble() * (linearMax[i] - linearMin[i]);
        for (int i = 0; i < 3; ++i)
            angular[i] = angularMin[i] + (float)random.nextDouble() * (angularMax[i] - angularMin[i]);
        body->setLinearVelocity(body->getLinearVelocity() + linear);
        body->setAngularVelocity(body->getAngularVelocity() + angular);
    });
}

// ---------------------------------------------------------------------------------------------
// Placement and debugging

void placeObjectOnFrame(Object* node, const RailFrame& frame, const Vector3& offset) {
    TREE_ASSERT(node, "object");
    const Vector3 side = frame.direction.cross(frame.up).normalized();
    const Vector3 up = side.cross(frame.direction);
    const Vector3 rows[3] = {side, frame.direction, up};
    const Vector3 position = frame.position + side * offset.x + frame.direction * offset.y + up * offset.z;
    node->_transform->setWorld(rows, position);
    node->updateTransform();
}

void drawObjectBox(DebugDraw* draw, const Matrix4& matrix, const Vector3& min, const Vector3& max,
                   const Vector3& colour) {
    if (!draw)
        return;
    Vector3 corners[8];
    for (int c = 0; c < 8; ++c)
        corners[c] = matrix.transformPoint(
            Vector3((c & 1) ? max.x : min.x, (c & 2) ? max.y : min.y, (c & 4) ? max.z : min.z));
    // The debug lines take colours in 0..1.
    const Vector3 unit = colour * (1.0f / 255.0f);
    for (int c = 0; c < 8; ++c)
        for (int bit = 1; bit < 8; bit <<= 1)
            if (!(c & bit))
                draw->drawLine(corners[c], corners[c | bit], unit);
}

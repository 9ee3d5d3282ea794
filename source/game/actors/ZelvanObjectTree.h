#pragma once
// Functions on scene-graph node trees shared by the actors, the stage, the track and the menus:
// activation, colours, uniforms and materials, description lookups, key-frame animations,
// bounds, physics bodies from description properties, velocity kicks, placement on a rail frame
// and debug boxes. They keep no state of their own.
//
// Every function that takes a tree visits the root first, then each child in child order, depth
// first. A null root is a programming error and fails the assertion check.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine_game/Body.h"

class DebugDraw;
class Material;
class Object;
class ObjectNode;
class Scene;
class World;

// A frame range of the key-frame animation of a tree.
struct AnimationRange {
    int32_t begin = 0;
    int32_t end = -1;     // negative: the last frame
    bool loop = false;
    float speed = 1.0f;
    float start = 0.0f;   // fraction 0..1 of the range where playing starts
};

// A place on a rail as the track gives it.
struct RailFrame {
    Vector3 direction;
    Vector3 up;
    Vector3 position;
};

// ---- Activation, looks ----
// On: bodies into the world, active flag set (with the hook when it changed), the tree shown,
// then inactive nodes inside it hidden again. Off: bodies out, the tree hidden, flag cleared.
void setObjectActive(Object* node, bool on);
void setObjectPhysicsEnabled(Object* node, bool on);
void hideInactiveObjects(Object* node);
void setObjectColor(Object* node, const Vector4& rgba);
// Meshes whose material has a shader (and is the given material, when one is given).
void setMeshUniformFloat(Object* node, Material* material, const char* name, float value);
void setMeshUniformVector4(Object* node, Material* material, const char* name, const Vector4& value);
// Meshes whose material is in the list get the new one; an empty list replaces every material.
void replaceMeshMaterials(Object* node, const std::vector<Material*>& materials, Material* material);
void setObjectTypeId(Object* node, int32_t typeId);

// ---- Lookups ----
Object* findObjectByName(Object* node, const std::string& name);
bool isObjectInTree(Object* node, Object* candidate);
// The value of a description property, or null (also for a null description).
const std::string* findNodeProperty(const ObjectNode* description, const char* key);
ObjectNode* findDescriptionByName(ObjectNode* description, const std::string& name);
// The top description node of the node's object file; null for a node made without one (no
// file is looked for then) or when the file cannot be loaded.
ObjectNode* objectFileDescription(World* world, const Object* node);
// The description of a node inside an object instance: the object file of its top node (below
// the scene's root when a scene is given), then the description node of the node's name, or
// the file's top node when none bears it.
ObjectNode* findObjectDescription(World* world, Scene* scene, Object* node);
// Rotation, position and scale of every named node of the tree from the description nodes below
// the given one.
void applyDescriptionTransforms(Object* root, const ObjectNode* description);

// ---- Key-frame animations ----
void rewindObjectAnimation(Object* node, float frame);
void rewindObjectAnimations(Object* node, float frame);
void playObjectAnimationTree(Object* node, const AnimationRange& range);
inline void playObjectAnimation(Object* node, const AnimationRange& range) { playObjectAnimationTree(node, range); }
void setObjectAnimationsPlaying(Object* node, bool on);
void stopObjectAnimation(Object* node);
void stopObjectAnimations(Object* node);
// True while an active node of the tree has an enabled player that still plays keys.
bool isObjectAnimating(Object* node);

// ---- Bounds ----
// Both return whether any box was merged; with none, min and max are zero.
// The union of the world boxes of the tree's nodes (a hidden node adds none with skipHidden;
// its children are still visited).
bool getObjectBounds(Object* node, bool skipHidden, Vector3& min, Vector3& max);
// A box in the root's own frame with the root's world scale but not its rotation or position.
bool getObjectScaledBounds(Object* node, bool skipHidden, bool onlyBodies, Vector3& min, Vector3& max);

// ---- Physics ----
void buildObjectPhysics(World* world, Scene* scene, Object* node, int32_t defaultType);
void buildNodePhysics(World* world, Scene* scene, Object* node, const ObjectNode* description, int32_t defaultType);
void setObjectBodyType(Object* node, int32_t type);
void setObjectBodyMaterial(Object* node, const Body::Material& material);
void setObjectBodySync(Object* node, bool on);
// Adds a random velocity in [min, max] per component to every body of the tree.
void flingObjectBodies(Object* node, const Vector3& linearMin, const Vector3& linearMax, const Vector3& angularMin,
                       const Vector3& angularMax);

// ---- Placement and debugging ----
// Y along the rail, Z up; the offset is in that frame (x side, y forward, z up).
void placeObjectOnFrame(Object* node, const RailFrame& frame, const Vector3& offset);
// The twelve edges of the box through the matrix; colour components 0..255.
void drawObjectBox(DebugDraw* draw, const Matrix4& matrix, const Vector3& min, const Vector3& max,
                   const Vector3& colour);

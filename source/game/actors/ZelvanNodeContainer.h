#pragma once
// The named parts of one actor: sub-nodes that conductors show and hide by name, wheels that
// turn by the distance the actor travelled, and shadows kept on the ground below their casters.
// Entries come from properties of the actor's object-file description ("node", "wheel",
// "shadow") and from configuration lists under one or more prefixes (".nodes", ".wheels",
// ".shadows").

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine_game/World.h"

class Object;
class ObjectNode;
class Scene;

struct NodeEntry {
    std::string name;
    Object* node = nullptr;
    Object* target = nullptr;  // kept for the entry's users; nothing here reads it
};

struct WheelEntry {
    std::string name;  // empty for wheels from configuration
    Object* node = nullptr;
    int32_t axis = 1;   // +-1 X, +-2 Y, +-3 Z; the sign is the turning sense
    float size = -1;    // diameter before scaling; not above 0: from the node's box
};

struct ShadowProbe {
    Vector3 position;
    Vector3 normal{0, 0, 1};
};

struct ShadowEntry {
    std::string name;
    Object* shadow = nullptr;  // the node that is placed
    int32_t mode = 1;
    bool oriented = false;     // aligned with the surface normal
    Object* caster = nullptr;  // the node whose position is followed
    float distanceMin = 0;
    std::vector<ShadowProbe> probes;
};

class NodeContainer {
public:
    enum ShadowMode {
        ShadowNever = 0,
        ShadowRaycast = 1,
        ShadowSurfaceWorldDown = 2,  // ".type" "surfaceworld"
        ShadowSurface = 3,           // along the caster's down axis
    };

    // Reads "game.shadowOffset" and "game.shadowRayLen".
    NodeContainer();

    void setWorld(World* world, Scene* scene);
    // Entries from the description of the actor's object file: nodes, then wheels, then shadows.
    void bind(Object* actor, World* world);
    void bind(Object* actor, const ObjectNode* description);
    // Entries from the configuration lists under the prefix, appended.
    void load(const std::string& prefix, Object* actor);

    // Every entry of that name activated or deactivated; false when none matched.
    bool setVisible(const std::string& name, bool on);
    void hideAll();
    void setEntryActive(NodeEntry& entry, bool on);
    void setEntryColor(NodeEntry& entry, const Vector4& rgba);
    ShadowEntry* findShadow(const std::string& name);

    // Wheels turned by _distance, shadows placed while _shadowsEnabled, then _distance := 0.
    void update();

    World* _world = nullptr;
    Scene* _scene = nullptr;
    std::vector<NodeEntry> _nodes;
    std::vector<WheelEntry> _wheels;
    std::vector<ShadowEntry> _shadows;
    float _shadowOffset = 0.1f;
    float _shadowRayLen = 100.0f;
    bool _shadowsEnabled = false;
    float _distance = 0;

private:
    void turnWheel(WheelEntry& wheel, float distance);
    void placeShadow(ShadowEntry& entry);
    // The nearest ground hit of the segment; false when nothing was hit.
    bool groundRay(const Vector3& from, const Vector3& to, Vector3& point, Vector3& normal);

    std::vector<RayHit> _hits;  // reused by every ray, so placing shadows allocates nothing
};

#pragma once
// The cached tree of one loaded object file: node names, placements, the material ranges of the
// file's shared geometry, key frames, text children and properties. The world reads a file once
// and makes nodes from the tree as often as asked.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine_game/KeyFramePlayer.h"

class Geometry;
class Material;
class TriangleAdjacency;

struct MaterialRange {
    Material* material = nullptr;  // null when the material file is missing
    uint32_t firstVertex = 0;
    uint32_t lastVertex = 0;
    uint16_t firstIndex = 0;
    uint16_t indexCount = 0;
    TriangleAdjacency* adjacency = nullptr;  // built on first use; owned by the range's node
};

struct TextDescriptor {
    std::string text;
    std::string alignment;
    std::string font;
};

class ObjectNode {
public:
    explicit ObjectNode(ObjectNode* parent = nullptr) : _parent(parent) {}
    // Deletes the children, the key list and the adjacency tables (the geometry and materials
    // belong to the resource manager).
    ~ObjectNode();
    ObjectNode(const ObjectNode&) = delete;
    ObjectNode& operator=(const ObjectNode&) = delete;

    // The value of a property, or null.
    const std::string* property(const char* key) const;
    bool hasProperty(const char* key) const { return property(key) != nullptr; }

    ObjectNode* _parent = nullptr;
    std::string _name;
    Vector3 _position;
    Vector3 _rotation;
    Vector3 _scale{1, 1, 1};
    uint8_t _version = 0;
    Geometry* _geometry = nullptr;
    std::vector<MaterialRange> _ranges;
    std::vector<TextDescriptor> _texts;
    std::vector<KeyFrame>* _keys = nullptr;
    std::vector<ObjectNode*> _children;
    std::map<std::string, std::string> _properties;
};

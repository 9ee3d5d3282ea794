// Reading object files into cached ObjectNode trees.

#include <cstring>

#include "engine/file.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"
#include "engine_game/BinaryReader.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/World.h"

namespace {

// Smallest encodings, used to reject counts the rest of the file cannot hold.
const uint64_t kMinMaterialBytes = 14;  // u32 + u32 + u16 + u16 + next length
const uint64_t kMinKeyBytes = 26;       // u16 + 6 x f32
const uint64_t kMinPropertyBytes = 4;   // two empty strings
const uint64_t kMinChildBytes = 38;     // 9 x f32 + u16 (a name, a kind or a count follows)

const char* const kWhere = "World::loadObjectFile";

}  // namespace

ObjectNode::~ObjectNode() {
    for (ObjectNode* child : _children)
        delete child;
    _children.clear();
    delete _keys;
    _keys = nullptr;
    for (MaterialRange& range : _ranges) {
        delete range.adjacency;
        range.adjacency = nullptr;
    }
}

const std::string* ObjectNode::property(const char* key) const {
    auto it = _properties.find(key ? key : "");
    return it == _properties.end() ? nullptr : &it->second;
}

static bool readProperties(World* world, BinaryReader& r, ObjectNode* node) {
    uint16_t count;
    if (!r.u16(count, "property count") || !r.fits(count, kMinPropertyBytes, "property"))
        return false;
    for (uint16_t i = 0; i < count; ++i) {
        std::string key, value;
        if (!r.str16(key, "property key") || !r.str16(value, "property value"))
            return false;
        node->_properties.insert(std::make_pair(key, value));
        if (key == "decal") {
            bool known = false;
            for (const std::string& d : world->_decalNames)
                known = known || d == value;
            if (!known)
                world->_decalNames.push_back(value);
        }
    }
    return true;
}

bool World::readObjectNode(const std::string& path, ObjectNode* node, BinaryReader& r, int depth) {
    if (depth > MaxObjectNodeDepth)
        return r.fail("children nested deeper than %d levels", (int)MaxObjectNodeDepth);

    if (!r.str16(node->_name, "node name"))
        return false;

    // Each material's name length comes before it; after the last one, the same field is the
    // key count.
    uint16_t materialCount, length;
    if (!r.u16(materialCount, "material count") || !r.u16(length, "material name length"))
        return false;
    if (!r.fits(materialCount, kMinMaterialBytes, "material"))
        return false;
    node->_ranges.reserve(materialCount);
    for (uint16_t i = 0; i < materialCount; ++i) {
        std::string name(length, '\0');
        uint32_t firstFloat, floatCount;
        uint16_t firstIndex, indexCount;
        if (!r.bytes(length ? &name[0] : nullptr, length, "material name") ||
            !r.u32(firstFloat, "material range") || !r.u32(floatCount, "material range") ||
            !r.u16(firstIndex, "material range") || !r.u16(indexCount, "material range") ||
            !r.u16(length, "material name length"))
            return false;
        MaterialRange range;
        range.material = ResourceManager::instance().getMaterial(formatString("materials/%s.txt", name.c_str()));
        range.firstVertex = firstFloat / 11;
        range.lastVertex = floatCount >= 11 ? range.firstVertex + floatCount / 11 - 1 : range.firstVertex;
        range.firstIndex = firstIndex;
        range.indexCount = indexCount;
        node->_ranges.push_back(range);
    }

    const uint16_t keyCount = length;
    if (keyCount > 0) {
        if (!r.fits(keyCount, kMinKeyBytes, "key frame"))
            return false;
        node->_keys = new KeyFrameList();
        node->_keys->reserve(keyCount);
        for (uint16_t i = 0; i < keyCount; ++i) {
            uint16_t unused;
            KeyFrame key;
            if (!r.u16(unused, "key frame") || !r.vec3(key.position, "key frame") || !r.vec3(key.angles, "key frame"))
                return false;
            node->_keys->push_back(key);
        }
    }

    if (!node->_parent)
        node->_geometry = ResourceManager::instance().getGeometry(path);

    if (node->_version >= 1 && !readProperties(this, r, node))
        return false;

    uint16_t childCount;
    if (!r.u16(childCount, "child count") || !r.fits(childCount, kMinChildBytes, "child"))
        return false;
    for (uint16_t i = 0; i < childCount; ++i) {
        // Listed at once, so a failure further down frees it with the tree.
        ObjectNode* child = new ObjectNode(node);
        node->_children.push_back(child);
        child->_version = node->_version;
        child->_geometry = node->_geometry;
        if (!r.vec3(child->_position, "child placement") || !r.vec3(child->_rotation, "child placement") ||
            !r.vec3(child->_scale, "child placement"))
            return false;
        if (node->_version == 0) {
            if (!readObjectNode(path, child, r, depth + 1))
                return false;
            continue;
        }
        uint16_t kind;
        if (!r.u16(kind, "child kind"))
            return false;
        if (kind != 2) {
            if (!readObjectNode(path, child, r, depth + 1))
                return false;
            continue;
        }
        TextDescriptor text;
        if (!r.str16(child->_name, "text name") || !r.str16(text.text, "text"))
            return false;
        child->_rotation.x -= 1.5707964f;
        if (node->_version >= 2) {
            float size;
            if (!r.f32(size, "text size") || !r.str16(text.alignment, "text alignment"))
                return false;
            child->_scale *= size * _textScale;
        }
        if (node->_version >= 3 && !r.str16(text.font, "text font"))
            return false;
        child->_texts.push_back(text);
    }
    return true;
}

// Every range must lie inside the geometry's indices before meshes or bodies read them.
static bool checkRanges(BinaryReader& r, ObjectNode* node, const Geometry* g) {
    for (const MaterialRange& range : node->_ranges) {
        if (range.indexCount == 0)
            continue;
        if ((uint32_t)range.firstIndex + range.indexCount > g->_indexCount)
            return r.fail("node '%s': material range %u + %u passes the %u indices of the mesh data",
                          node->_name.c_str(), (unsigned)range.firstIndex, (unsigned)range.indexCount,
                          (unsigned)g->_indexCount);
    }
    for (ObjectNode* child : node->_children)
        if (!checkRanges(r, child, g))
            return false;
    return true;
}

ObjectNode* World::loadObjectFile(const std::string& path) {
    auto cached = _objectFiles.find(path);
    if (cached != _objectFiles.end() && cached->second)
        return cached->second;

    File file;
    if (!file.open(path.c_str(), "rb", StoreAuto))
        return nullptr;
    BinaryReader r(file, kWhere, path);

    uint8_t version = 0;
    char tag[4] = {0, 0, 0, 0};
    if (r.remaining() >= 4 && file.read(tag, 4)) {
        if (std::memcmp(tag, "v1.0", 4) == 0)
            version = 1;
        else if (std::memcmp(tag, "v1.1", 4) == 0)
            version = 2;
        else if (std::memcmp(tag, "v1.2", 4) == 0)
            version = 3;
    }
    if (version == 0)
        file.seek(0);

    ObjectNode* top = new ObjectNode(nullptr);
    top->_version = version;
    bool ok = readObjectNode(path, top, r, 0) && readProperties(this, r, top);

    if (ok) {
        Geometry* g = top->_geometry;
        const bool hadData = g->_vertexCount != 0 || g->_indexCount != 0;
        const bool loaded = g->load(file);
        if (!hadData && !loaded)
            ok = r.fail("the mesh data could not be read");
        g->_releaseData = _releaseGeometryData;
        if (ok)
            ok = checkRanges(r, top, g);
    }

    if (!ok) {
        delete top;
        return nullptr;
    }
    _objectFiles[path] = top;
    return top;
}

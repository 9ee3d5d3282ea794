// The record format of scene files: typed records of cameras, object instances, lights, EMPTY
// placeholders and text nodes after a 6-byte header. Each record is read whole before anything
// is made from it, so a damaged record makes nothing and ends the file.

#include "engine/ConfigStore.h"
#include "engine/file.h"
#include "engine/platform.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"
#include "engine_game/BinaryReader.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/SceneFormat.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"

namespace {

const char* const kWhere = "World::loadBinary";

const uint64_t kMinStringBytes = 2;
const uint64_t kMinPairBytes = 4;
const uint64_t kCameraKeyBytes = 28;  // value + two Vec3
const uint64_t kPoseKeyBytes = 24;    // two Vec3

bool readLayers(BinaryReader& r, uint32_t& mask) {
    mask = 0;
    for (int i = 0; i < sceneformat::kLayerCount; ++i) {
        uint16_t flag;
        if (!r.u16(flag, "layers"))
            return false;
        if (flag)
            mask |= 1u << i;
    }
    return true;
}

bool readStrings(BinaryReader& r, std::vector<std::string>& out, const char* what) {
    uint16_t count;
    if (!r.u16(count, what) || !r.fits(count, kMinStringBytes, what))
        return false;
    out.resize(count);
    for (uint16_t i = 0; i < count; ++i)
        if (!r.str16(out[i], what))
            return false;
    return true;
}

bool readPairs(BinaryReader& r, PropertyList& out) {
    uint16_t count;
    if (!r.u16(count, "property count") || !r.fits(count, kMinPairBytes, "property"))
        return false;
    out.resize(count);
    for (uint16_t i = 0; i < count; ++i)
        if (!r.str16(out[i].first, "property key") || !r.str16(out[i].second, "property value"))
            return false;
    return true;
}

// s16 count of {Vec3 position; Vec3 rotation}; 0 or less means none (keys stays null).
bool readPoseKeys(BinaryReader& r, KeyFrameList*& keys) {
    keys = nullptr;
    int16_t count;
    if (!r.s16(count, "key count"))
        return false;
    if (count <= 0)
        return true;
    if (!r.fits((uint64_t)count, kPoseKeyBytes, "key frame"))
        return false;
    keys = new KeyFrameList((size_t)count);
    for (KeyFrame& key : *keys) {
        if (!r.vec3(key.position, "key frame") || !r.vec3(key.angles, "key frame")) {
            delete keys;
            keys = nullptr;
            return false;
        }
    }
    return true;
}

}  // namespace

void World::loadBinary(Scene* scene, File& file, std::vector<Object*>& loaded, const std::string& path) {
    BinaryReader r(file, kWhere, path);
    while (r.ok() && !r.atEnd()) {
        uint16_t type;
        if (!r.u16(type, "record type"))
            break;

        switch (type) {
        case 1: {  // camera
            std::string name;
            Vector3 position, rotation;
            uint32_t mask;
            uint16_t projection, keyCount;
            float lens;
            if (!r.str16(name, "camera name") || !r.vec3(position, "camera") || !r.vec3(rotation, "camera") ||
                !readLayers(r, mask) || !r.u16(projection, "camera projection") || !r.f32(lens, "camera lens") ||
                !r.u16(keyCount, "camera key count") || !r.fits(keyCount, kCameraKeyBytes, "camera key"))
                break;
            KeyFrameList* keys = keyCount ? new KeyFrameList(keyCount) : nullptr;
            bool ok = true;
            for (size_t k = 0; keys && k < keys->size() && ok; ++k) {
                KeyFrame& key = (*keys)[k];
                ok = r.f32(key.value, "camera key") && r.vec3(key.position, "camera key") &&
                     r.vec3(key.angles, "camera key");
            }
            if (ok && projection > 1)
                ok = r.fail("camera '%s' has projection %u", name.c_str(), (unsigned)projection);
            if (!ok) {
                delete keys;
                break;
            }
            Camera* camera = new Camera(scene->_root);
            camera->_name = name;
            Vector3 rows[3];
            eulerToRows(rotation, rows);
            camera->setTransform(rows, position, Vector3(1, 1, 1));
            camera->_layerMask = mask;
            placeCamera(scene, camera);
            sceneformat::setCameraProjection(camera, projection == 1, lens, true, kWhere);
            if (keys)
                createAnimation(scene, camera, scene->keepKeys(keys));
            break;
        }
        case 2: {  // object instance
            std::string name, folder, object;
            Vector3 position, rotation, scale;
            PropertyList properties;
            std::vector<std::string> groups;
            uint32_t mask;
            KeyFrameList* keys = nullptr;
            if (!r.str16(name, "object name") || !r.str16(folder, "object folder") ||
                !r.str16(object, "object file") || !r.vec3(position, "object") || !r.vec3(rotation, "object") ||
                !r.vec3(scale, "object") || (_objectsHaveProperties && !readPairs(r, properties)) ||
                !readStrings(r, groups, "object group") || !readLayers(r, mask) || !readPoseKeys(r, keys))
                break;
            const std::string objectPath = sceneformat::objectPath(folder, object);
            if (!loadObjectFile(objectPath)) {
                Logger::message("Failed to load object: %s", objectPath.c_str());
                delete keys;
                break;
            }
            Vector3 rows[3];
            eulerToRows(rotation, rows);
            Object* node = createObject(scene, objectPath, name, properties, 1, rows, position, scale,
                                        scene->keepKeys(keys));
            if (node) {
                loaded.push_back(node);
                node->_layerMask = mask;
                for (const std::string& g : groups)
                    scene->addToGroup(g, node);
            }
            break;
        }
        case 3: {  // light
            std::string name;
            Vector3 position, colour;
            float energy, secondFactor;
            uint32_t mask;
            if (!r.str16(name, "light name") || !r.vec3(position, "light") || !r.vec3(colour, "light") ||
                !r.f32(energy, "light") || !r.f32(secondFactor, "light") || !readLayers(r, mask))
                break;
            ConfigStore& config = ConfigStore::instance();
            if (config.getFloat("lights.enabled", 0) != 0) {
                int environment = getUserDefaultInt("environment_preference", 0);
                if (environment == 0)
                    environment = 1;
                const std::string prefix = formatString("lights.env%d_%s", environment, name.c_str());
                colour = config.getVector3(prefix + "_color", colour);
                energy = config.getFloat(prefix + "_energy", energy);
            }
            Light* light = new Light(scene->_root);
            light->_name = name;
            light->_lightColor = colour;
            light->_energy = energy * 0.71428573f;
            light->_secondFactor = secondFactor;
            light->setPosition(position);
            light->_layerMask = mask;
            scene->_lights.push_back(light);
            noteListed(light, ListedLights, scene);
            break;
        }
        case 4: {  // EMPTY
            std::string name;
            Vector3 position, rotation, scale;
            PropertyList properties;
            std::vector<std::string> groups;
            uint32_t mask;
            KeyFrameList* keys = nullptr;
            if (!r.str16(name, "empty name") || !r.vec3(position, "empty") || !r.vec3(rotation, "empty") ||
                !r.vec3(scale, "empty") || !readPairs(r, properties) || !readStrings(r, groups, "empty group") ||
                !readLayers(r, mask) || (_emptiesHaveAnimation && !readPoseKeys(r, keys)))
                break;
            EmptyEntry* entry = new EmptyEntry();
            entry->node = new Object(nullptr);
            entry->node->_name = name;
            Vector3 rows[3];
            eulerToRows(rotation, rows);
            entry->node->setTransform(rows, position, scale);
            entry->node->_layerMask = mask;
            for (const auto& p : properties)
                entry->properties.insert(p);
            entry->keys = keys;
            Object* node = entry->node;
            if (!scene->_empties.insert(std::make_pair(name, entry)).second) {
                // The first EMPTY of a name stays; a later one is dropped whole.
                delete entry;
                break;
            }
            noteListed(node, ListedEmpty, scene);
            for (const std::string& g : groups)
                scene->addToGroup(g, node);
            break;
        }
        case 5: {  // text node
            Vector3 position, rotation, scale;
            std::string name, text, alignment, font;
            float size;
            std::vector<std::string> groups;
            if (!r.vec3(position, "text") || !r.vec3(rotation, "text") || !r.vec3(scale, "text") ||
                !r.str16(name, "text name") || !r.str16(text, "text") || !r.f32(size, "text size") ||
                !r.str16(alignment, "text alignment") || !r.str16(font, "text font") ||
                !readStrings(r, groups, "text group"))
                break;
            Text* node = new Text(scene->_root);
            const float factor = size * _textScale;
            Vector3 rows[3];
            eulerToRows(rotation, rows);
            Transform* t = node->_transform;
            for (int i = 0; i < 3; ++i)
                t->setAxisRow(i, rows[i], scale[i] * factor);
            t->_local.setTranslation(position);
            t->_scale = scale * factor;
            t->update();
            t->_dirty = 1;
            node->setFont(ResourceManager::instance().getFont("fonts/" + font));
            node->_name = name;
            if (alignment == "CENTER")
                node->_alignH = 1;
            else if (alignment == "RIGHT")
                node->_alignH = 2;
            else
                node->_alignH = 0;
            node->setText("%s", text.c_str());
            for (const std::string& g : groups)
                scene->addToGroup(g, node);
            _objects.push_back(node);
            noteListed(node, ListedObjects, this);
            scene->_nodes.push_back(node);
            noteListed(node, ListedNodes, scene);
            break;
        }
        default:
            r.fail("unknown record type %u", (unsigned)type);
            break;
        }
    }
}

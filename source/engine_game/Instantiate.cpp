// Live nodes from loaded object files: class choice, meshes, children, texts, properties,
// animation and physics.

#include <algorithm>
#include <cstdlib>

#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/Text.h"
#include "engine_game/World.h"

namespace {

// A property read as a number the way the files mean it (text that is no number reads as 0).
float propertyNumber(const std::string& value) { return (float)std::atof(value.c_str()); }

// "mass" as a positive number: absent gives 1, anything not above 0 gives 1 as well.
float massOf(const ObjectNode* node) {
    const std::string* mass = node->property("mass");
    float m = mass ? propertyNumber(*mass) : 1.0f;
    if (m < 0)
        m = 0;
    return m > 0 ? m : 1.0f;
}

int alignmentOf(const std::string& alignment, int current) {
    if (alignment == "LEFT")
        return 0;
    if (alignment == "CENTER")
        return 1;
    if (alignment == "RIGHT")
        return 2;
    return current;
}

ObjectFactory registeredClass(const ObjectClassRegistry& classes, const std::string& name) {
    auto it = classes.find(name);
    return it != classes.end() ? it->second : nullptr;
}

// The class named by the first "script" or "class" entry; later entries are not looked at, so
// an unregistered name there gives null.
template <class Properties>
ObjectFactory classNamedBy(const Properties& properties, const ObjectClassRegistry& classes) {
    for (const auto& p : properties)
        if (p.first == "script" || p.first == "class")
            return registeredClass(classes, p.second);
    return nullptr;
}

}  // namespace

void World::registerObjectClass(const std::string& name, ObjectFactory factory) {
    _objectClasses.insert(std::make_pair(name, factory));
}

Object* World::instantiate(Scene* scene, Object* parent, const std::string& sourceName,
                           const PropertyMap& fileProperties, const PropertyList& sceneProperties) {
    if (ObjectFactory factory = classNamedBy(fileProperties, _objectClasses))
        return factory(this, scene, parent);
    if (ObjectFactory factory = classNamedBy(sceneProperties, _objectClasses))
        return factory(this, scene, parent);
    if (ObjectFactory factory = registeredClass(_objectClasses, sourceName))
        return factory(this, scene, parent);
    const bool topLevel = !parent || (scene && parent == scene->_root);
    if (topLevel && _defaultFactory)
        return _defaultFactory(this, scene, parent);
    return new Object(parent);
}

void World::addMeshesOf(Object* holder, ObjectNode* objectNode, bool skipEmpty, bool adjacency) {
    for (MaterialRange& range : objectNode->_ranges) {
        if (skipEmpty && range.indexCount == 0)
            continue;
        Mesh* mesh = new Mesh();
        mesh->setGeometry(objectNode->_geometry, range.firstIndex, range.indexCount);
        mesh->_material = range.material;
        if (adjacency && objectNode->_geometry) {
            if (!range.adjacency) {
                range.adjacency = new TriangleAdjacency();
                range.adjacency->build(*objectNode->_geometry, range.firstIndex, range.indexCount / 3);
            }
            mesh->_adjacency = range.adjacency;
        }
        holder->addMesh(mesh);
    }
}

Object* World::createObject(Scene* scene, const std::string& path, const std::string& name,
                            const PropertyList& sceneProperties, int physics, const Vector3 rotation[3],
                            const Vector3& position, const Vector3& scale, const KeyFrameList* keys) {
    ObjectNode* top = loadObjectFile(path);
    if (!top)
        return nullptr;

    Object* parent = scene ? scene->_root : nullptr;
    Object* node = instantiate(scene, parent, path, top->_properties, sceneProperties);
    if (!node)
        return nullptr;
    for (const auto& p : sceneProperties)
        node->addProperty(p.first.c_str(), p.second.c_str());
    node->_name = name;
    node->_sourceName = path;

    Object* holder = node;
    if (keys) {
        createAnimation(scene, node, keys);
    } else if (top->_keys) {
        holder = new Object(node);
        holder->_name = name;
        createAnimation(scene, holder, top->_keys);
    }

    addMeshesOf(holder, top, true, path.find("characters") != std::string::npos);
    createChildren(scene, name, holder, top, physics);

    if (const std::string* off = top->property("off")) {
        float d = propertyNumber(*off);
        node->setOffDistanceSq(d * d);
    }
    if (top->hasProperty("noblock"))
        node->setBlocking(false);
    if (top->hasProperty("ground") || name == "invisible_ground")
        node->_typeId = 100;
    for (const auto& p : top->_properties)
        node->addProperty(p.first.c_str(), p.second.c_str());

    if (physics == 1)
        createPhysics(scene, holder, top, rotation, position, scale, massOf(top));

    _objects.push_back(node);
    noteListed(node, ListedObjects, this);
    if (scene) {
        scene->_nodes.push_back(node);
        noteListed(node, ListedNodes, scene);
    }
    // Under a scene root the root owns it; without one the world does.
    if (!node->_parent)
        _ownedObjects.insert(node);

    node->setTransform(rotation, position, scale);
    if (top->hasProperty("invisible"))
        node->setHidden(true);
    node->init();

    if (!scene || scene->_shown)
        _renderTarget->addObject(node);
    if (scene && scene->_renderList) {
        scene->_renderList->nodes.push_back(node);
        noteListed(node, ListedRenderList, scene);
    }
    return node;
}

void World::createChildren(Scene* scene, const std::string& name, Object* parent, ObjectNode* objectNode,
                           int physics) {
    for (ObjectNode* child : objectNode->_children) {
        Object* node;
        if (child->_texts.empty()) {
            node = instantiate(scene, parent, child->_name, child->_properties, PropertyList());
            if (!node)
                continue;
            addMeshesOf(node, child, false, name.find("characters") != std::string::npos);
            if (const std::string* off = child->property("off")) {
                float d = propertyNumber(*off);
                node->setOffDistanceSq(d * d);
            }
        } else {
            const TextDescriptor& d = child->_texts.front();
            Text* text = createText(scene, "noname", "fonts/" + d.font, parent);
            text->_alignH = alignmentOf(d.alignment, text->_alignH);
            text->setString(d.text.c_str());
            text->setScale(child->_scale);
            node = text;
        }
        node->_name = child->_name;

        Vector3 rows[3];
        eulerToRows(child->_rotation, rows);
        if (child->_keys)
            createAnimation(scene, node, child->_keys);
        else
            node->setTransform(rows, child->_position, child->_scale);

        if (physics == 1)
            createPhysics(scene, node, child, rows, child->_position, child->_scale, massOf(child));
        createChildren(scene, name, node, child, physics);
    }
}

Text* World::createText(Scene* scene, const std::string& name, const std::string& fontPath, Object* parent) {
    Text* text = new Text(parent);
    text->setFont(ResourceManager::instance().getFont(fontPath));
    if (!parent)
        _renderTarget->addObject(text);
    if (scene) {
        auto it = scene->_empties.find(name);
        if (it != scene->_empties.end() && it->second->node) {
            Object* empty = it->second->node;
            text->setScale(empty->getScale());
            text->setPosition(empty->getPosition());
            Vector3 rows[3];
            empty->getRotation(rows);
            text->setRotation(rows);
        }
    }
    return text;
}

KeyFramePlayer* World::createAnimation(Scene* scene, Object* node, const KeyFrameList* keys) {
    if (!node)
        return nullptr;
    if (node->_animation) {
        // A node has one player; the old one leaves every list before it goes.
        KeyFramePlayer* old = node->_animation;
        forgetPlayer(old);
        delete old;
        std::vector<NodeListing>& listings = node->_listings;
        listings.erase(std::remove_if(listings.begin(), listings.end(),
                                      [](const NodeListing& l) { return l.kind == ListedPlayers; }),
                       listings.end());
    }
    KeyFramePlayer* player = new KeyFramePlayer(node, keys);
    std::vector<KeyFramePlayer*>& players = scene ? scene->_animations : _animations;
    players.push_back(player);
    noteListed(node, ListedPlayers, scene ? (const void*)scene : (const void*)this, &players);
    return player;
}

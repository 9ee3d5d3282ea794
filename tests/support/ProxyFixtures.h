#pragma once
// A placeholder level for the proxy container's tests and benchmark: a scene of empty
// placeholder nodes, decorated and cleared the way a level on the road does it. Header only.

#include <string>
#include <utility>
#include <vector>

#include "engine/math.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "game/track/ZelvanProxyContainer.h"
#include "writer/ContentWriter.h"

namespace proxyfixtures {

namespace cw = contentwriter;

struct Placeholder {
    std::string name;
    cw::Vec3 position;
    cw::Properties properties;  // "visible_percent", "visible_always"
};

// A binary scene holding the placeholders as empty records.
inline std::vector<uint8_t> placeholderScene(const std::vector<Placeholder>& placeholders) {
    cw::BinarySceneWriter s("BIN1.1");
    const cw::Layers layer0 = cw::Layers::bits(1);
    for (const Placeholder& p : placeholders)
        s.empty(p.name, p.position, cw::Vec3(0, 0, 0), cw::Vec3(1, 1, 1), p.properties, {}, layer0);
    return s.bytes();
}

// n placeholders of each kind, spread along Y.
inline std::vector<Placeholder> placeholderRow(const std::vector<std::string>& kinds, int n) {
    std::vector<Placeholder> out;
    for (int i = 0; i < n; ++i)
        for (size_t k = 0; k < kinds.size(); ++k)
            out.push_back({kinds[k] + std::to_string(i), cw::Vec3(k % 2 ? 6.0f : -6.0f, 10.0f * i, 0), {}});
    return out;
}

// The decoration half of a level's visit: which placeholders show, then an object on each, then
// the delays; removal takes every placement off, dropping each whatever the object is.
class PlaceholderLevel {
public:
    PlaceholderLevel(Scene* scene, Zelvan::ProxyContainer* proxies) : _scene(scene), _proxies(proxies) {}

    void place() {
        for (auto& entry : _scene->_empties) {
            Object* node = entry.second->node;
            const PropertyMap& properties = entry.second->properties;
            bool visible = properties.count("visible_always") != 0;
            if (!visible) {
                auto percent = properties.find("visible_percent");
                const float p = percent == properties.end() ? 100.0f : std::stof(percent->second);
                visible = _proxies->hasProxy(entry.first, p);
            }
            node->setHidden(!visible);
        }
        _proxies->prepareLevel();
        for (auto& entry : _scene->_empties) {
            Object* node = entry.second->node;
            if (node->_hidden)
                continue;
            Object* object = _proxies->spawn(entry.first, true);
            if (!object)
                continue;
            const Matrix4& world = node->_transform->_world;
            const Vector3 rows[3] = {world.row3(0), world.row3(1), world.row3(2)};
            object->_transform->setWorld(rows, world.getTranslation());
            object->updateTransform();
            placements.push_back({node, object});
        }
        _proxies->updateDelays();
    }

    void remove() {
        while (!placements.empty()) {
            Object* object = placements.back().second;
            placements.pop_back();
            _proxies->release(object);
        }
    }

    std::vector<std::pair<Object*, Object*>> placements;

private:
    Scene* _scene;
    Zelvan::ProxyContainer* _proxies;
};

}  // namespace proxyfixtures

#include "game/track/ZelvanLevelSkin.h"

#include <algorithm>

#include "engine/ConfigStore.h"
#include "engine/render/Mesh.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"
#include "engine_game/Object.h"

namespace Zelvan {

namespace {

// Materials are cached under their path, so the same file name gives the same object the
// object files' meshes use.
Material* materialOf(const std::string& file) {
    return ResourceManager::instance().getMaterial(formatString("materials/%s.txt", file.c_str()));
}

void replaceIn(Object* node, const std::vector<Material*>& targets, Material* material) {
    for (Mesh* mesh : node->_meshes)
        if (std::find(targets.begin(), targets.end(), mesh->_material) != targets.end())
            mesh->_material = material;
    for (Object* child : node->_children)
        replaceIn(child, targets, material);
}

}  // namespace

LevelSkin* LevelSkin::create(const std::string& key) {
    const ConfigStore& config = ConfigStore::instance();
    LevelSkin* skin = new LevelSkin();
    const std::string file = config.getString(key + ".materialNewFile", "");
    skin->_newMaterial = file.empty() ? nullptr : materialOf(file);
    skin->_key = key;
    skin->_name = config.getString(key + ".name", key.c_str());
    if (skin->_newMaterial) {
        skin->addTargets("skin");
        skin->addTargets(key);
    }
    return skin;
}

void LevelSkin::addTargets(const std::string& section) {
    for (const std::string& file : ConfigStore::instance().getList(section + ".materialTargetFiles")) {
        if (file.empty())
            continue;
        if (Material* m = materialOf(file))
            _targets.push_back(m);
    }
}

void LevelSkin::apply(Object* object) const {
    if (!object || isEmpty())
        return;
    replaceIn(object, _targets, _newMaterial);
}

}  // namespace Zelvan

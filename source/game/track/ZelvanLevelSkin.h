#pragma once
// A look for the track made by material replacement: every mesh that uses one of the target
// materials is switched to one new material. The stage keeps the loaded skins, makes one
// current and applies it to the levels of the current set and to the menu's actors.

#include <string>
#include <vector>

class Material;
class Object;

namespace Zelvan {

class LevelSkin {
public:
    // The skin of a configuration section: its new material, display name and targets (the
    // shared "skin" targets first). Never null; a skin without a new material is empty.
    static LevelSkin* create(const std::string& key);

    ~LevelSkin() = default;

    // Appends the materials listed under section + ".materialTargetFiles" that the cache gives.
    void addTargets(const std::string& section);
    bool isEmpty() const { return _targets.empty() || !_newMaterial; }
    // Switches the meshes of the tree that use a target material to the new one.
    void apply(Object* object) const;

    std::string _name;  // display name
    std::string _key;   // configuration section; the stage finds skins by it
    std::vector<Material*> _targets;  // not owned (the resource cache keeps them)
    Material* _newMaterial = nullptr;  // not owned
};

}  // namespace Zelvan

#pragma once
// Every top-level object of the menu scenes (the menus' World makes all of them with this
// class): its menu look, its skin and its reactions.

#include <string>

#include "game/actors/ZelvanActor.h"

namespace Zelvan {

class LevelSkin;

class ActorMenu : public Actor {
public:
    ActorMenu(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}
    // The menu World's default factory.
    static Object* create(World* world, Scene* scene, Object* parent);

    // The Actor's detach, every named part hidden, the skin dropped, default lights.
    void detach() override;
    void createComponents() override;

    // Named parts and menu keys under the prefix; the "menu" parts shown, the "game" ones
    // hidden, no outline.
    void applyMenuLook(const std::string& prefix);
    // Applies a new skin (none: only forgets the old one); the current skin is not applied again.
    void setSkin(LevelSkin* skin);

    LevelSkin* _skin = nullptr;  // not owned
    std::string _nodeName;
    std::string _menuNode;

private:
    void readMenuKeys(const std::string& prefix);
};

}  // namespace Zelvan

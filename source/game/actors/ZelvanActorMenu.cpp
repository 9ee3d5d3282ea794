#include "game/actors/ZelvanActorMenu.h"

#include "game/actors/ZelvanActorKeys.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/track/ZelvanLevelSkin.h"

namespace Zelvan {

Object* ActorMenu::create(World* world, Scene* scene, Object* parent) { return new ActorMenu(world, scene, parent); }

void ActorMenu::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorMenu;
    _conductors->load("actorMenu");
    readMenuKeys("actorMenu");
    readMenuKeys(getSourceName());
}

void ActorMenu::readMenuKeys(const std::string& prefix) {
    actorkeys::readString(prefix, ".name", _name);
    actorkeys::readString(prefix, ".nodeName", _nodeName);
    actorkeys::readString(prefix, ".menuNode", _menuNode);
    if (!_nodes)
        return;
    if (!_nodeName.empty())
        _nodes->setVisible(_nodeName, true);
    if (!_menuNode.empty())
        _nodes->setVisible(_menuNode, true);
}

void ActorMenu::detach() {
    Actor::detach();
    if (_nodes)
        _nodes->hideAll();
    _skin = nullptr;
    setDefaultLights();
}

void ActorMenu::applyMenuLook(const std::string& prefix) {
    if (_nodes)
        _nodes->load(prefix, this);
    readMenuKeys(prefix);
    if (_nodes) {
        _nodes->setVisible("game", false);
        _nodes->setVisible("menu", true);
    }
    setMeshUniformVector4(this, nullptr, "outlineColor", Vector4(0, 0, 0, 0));
}

void ActorMenu::setSkin(LevelSkin* skin) {
    if (skin == _skin)
        return;
    _skin = skin;
    if (skin)
        skin->apply(this);
}

}  // namespace Zelvan

#include "game/actors/ZelvanActorStargate.h"

#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"

namespace Zelvan {

Object* ActorStargate::create(World* world, Scene* scene, Object* parent) {
    return new ActorStargate(world, scene, parent);
}

void ActorStargate::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorStargate;
}

void ActorStargate::reset() {
    Actor::reset();
    if (_nodes)
        _nodes->setVisible("active", false);
    _activated = false;
}

void ActorStargate::activate() {
    if (_activated)
        return;
    if (_conductors)
        _conductors->start("activate", 0, -1);
    _activated = true;
}

void ActorStargate::deactivate() {
    if (!_activated)
        return;
    if (_conductors)
        _conductors->stop("activate");
    _activated = false;
}

}  // namespace Zelvan

#include "game/actors/ZelvanActorSwitch.h"

#include "engine/clock.h"
#include "engine_game/Body.h"
#include "game/actors/ZelvanActorKeys.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

Object* ActorSwitch::create(World* world, Scene* scene, Object* parent) { return new ActorSwitch(world, scene, parent); }

void ActorSwitch::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorSwitch;
    buildPhysics(Body::Kinematic_Selectable);
    setObjectBodyType(this, Body::Kinematic_Selectable);
    for (const std::string& prefix : {std::string("actorSwitch"), getSourceName()}) {
        actorkeys::readString(prefix, ".animFront", _animFront);
        actorkeys::readString(prefix, ".animBack", _animBack);
        actorkeys::readFloat(prefix, ".switchTime", _switchTime);
    }
}

void ActorSwitch::update() {
    Actor::update();
    if (_timer > 0)
        _timer -= Clock::isPaused() ? 0.0f : frameTime().dt;
}

void ActorSwitch::reset() {
    Actor::reset();
    _switched = false;
    _timer = 0;
}

}  // namespace Zelvan

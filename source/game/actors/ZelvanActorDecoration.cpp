#include "game/actors/ZelvanActorDecoration.h"

#include "engine_game/Body.h"
#include "game/actors/ZelvanActorKeys.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

Object* ActorDecoration::create(World* world, Scene* scene, Object* parent) {
    return new ActorDecoration(world, scene, parent);
}

void ActorDecoration::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorDecoration;
    for (const std::string& prefix : {std::string("actorDecoration"), getSourceName()}) {
        if (const char* type = actorkeys::findString(prefix, ".type")) {
            const std::string t = type;
            if (t == "anim")
                _decorationType = Anim;
            else if (t == "anim_physics")
                _decorationType = AnimPhysics;
            else if (t == "physics")
                _decorationType = Physics;
        }
        actorkeys::readFloat(prefix, ".distance", _distance);
        actorkeys::readString(prefix, ".animAction", _animAction);
        actorkeys::readString(prefix, ".effectAction", _effectAction);
    }
    if (_decorationType == AnimPhysics || _decorationType == Physics) {
        buildPhysics(Body::Kinematic);
        setObjectBodyType(this, Body::Kinematic);
    }
}

void ActorDecoration::reset() {
    Actor::reset();
    if (_nodes)
        _nodes->_shadowsEnabled = false;
    if (_decorationType == Physics)
        setObjectBodyType(this, Body::Kinematic);
    _triggered = false;
}

}  // namespace Zelvan

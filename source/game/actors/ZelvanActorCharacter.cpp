#include "game/actors/ZelvanActorCharacter.h"

#include "engine/random.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorKeys.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/track/ZelvanLevelSkin.h"

namespace Zelvan {

Object* ActorCharacter::create(World* world, Scene* scene, Object* parent) {
    return new ActorCharacter(world, scene, parent);
}

void ActorCharacter::createComponents() {
    Actor::createComponents();
    _typeId = TypeActorCharacter;
    _prefix = getSourceName();
    _sounds->load("actorCharacter", this);
    _conductors->load("actorCharacter");
    readCharacterKeys("actorCharacter");
    readCharacterKeys(_prefix);
}

void ActorCharacter::readCharacterKeys(const std::string& prefix) {
    actorkeys::readFloat(prefix, ".sayDelayMin", _sayDelayMin);
    actorkeys::readFloat(prefix, ".sayDelayMax", _sayDelayMax);
    actorkeys::readString(prefix, ".name", _name);
    actorkeys::readString(prefix, ".nodeName", _nodeName);
    actorkeys::readString(prefix, ".gameNode", _gameNode);
    if (!_nodes)
        return;
    if (!_nodeName.empty())
        _nodes->setVisible(_nodeName, true);
    if (!_gameNode.empty())
        _nodes->setVisible(_gameNode, true);
}

void ActorCharacter::applyPrefix(const std::string& prefix) {
    _prefix = prefix;
    if (_nodes)
        _nodes->load(prefix, this);
    if (_sounds)
        _sounds->load(prefix, this);
    if (_conductors)
        _conductors->load(prefix);
    readCharacterKeys(prefix);
    if (_nodes) {
        _nodes->setVisible("menu", false);
        _nodes->setVisible("game", true);
    }
    setMeshUniformVector4(this, nullptr, "outlineColor", Vector4(0, 0, 0, 0));
}

void ActorCharacter::setSkin(LevelSkin* skin) {
    if (skin == _skin)
        return;
    _skin = skin;
    if (skin)
        skin->apply(this);
}

void ActorCharacter::detach() {
    Actor::detach();
    _skin = nullptr;
    setDefaultLights();
}

void ActorCharacter::reset() {
    Actor::reset();
    if (_nodes)
        _nodes->setVisible("game", true);
    _sayTimer._duration = 0;
    _sayTimer._remaining = 0;
    _running = false;
}

void ActorCharacter::rearmSay() {
    _sayTimer._duration = 0;
    _sayTimer._remaining = 0;
    _sayTimer.setDuration(_sayDelayMin + (float)motherRandom().nextDouble() * (_sayDelayMax - _sayDelayMin));
    _sayTimer.start();
}

void ActorCharacter::act(const char* name) {
    if (_conductors)
        _conductors->start(name, 0, -1);
    rearmSay();
}

void ActorCharacter::stay() {
    if (_conductors && !_conductors->start("stay", 0, -1))
        _conductors->stopAll();
    _running = false;
}

void ActorCharacter::run() { _running = true; }

void ActorCharacter::leap() { act("leap"); }

void ActorCharacter::jumpLeft() { act("jumpleft"); }

void ActorCharacter::jumpRight() { act("jumpright"); }

void ActorCharacter::brake() { act("brake"); }

void ActorCharacter::powerup(const std::string& kind) { act(kind == "fruit" ? "powerup_fruit" : "powerup"); }

void ActorCharacter::fly(bool on) {
    if (on)
        act("fly");
}

void ActorCharacter::damage() { act("damage"); }

void ActorCharacter::die() {
    if (_nodes)
        _nodes->setVisible("game", false);
    if (_conductors && !_conductors->start("death", 0, -1))
        _conductors->stopAll();
    _running = false;
}

void ActorCharacter::update(float dt) {
    if (dt == 0 || !_running)
        return;
    _sayTimer.tick(dt);
    if (_sayTimer._remaining <= 0) {
        rearmSay();
        if (_conductors)
            _conductors->start("say", 0, -1);
    }
    if (_conductors && _animator && !_animator->isPlaying())
        _conductors->start("run", 0, -1);
}

}  // namespace Zelvan

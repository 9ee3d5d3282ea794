#pragma once
// A character riding on the player's train: it reacts to the train's actions with its
// reactions and, while the train runs, loops "run" and says something ("say") every
// sayDelayMin..sayDelayMax seconds; each action postpones the next saying.

#include <string>

#include "game/ZelvanTimers.h"
#include "game/actors/ZelvanActor.h"

namespace Zelvan {

class LevelSkin;

class ActorCharacter : public Actor {
public:
    ActorCharacter(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // The Actor's detach, the skin dropped, default lights.
    void detach() override;
    // The Actor's reset, the "game" parts shown, the say timer cleared, not running.
    void reset() override;
    void createComponents() override;

    // Named parts, sounds, reactions and character keys under the prefix; the "game" parts
    // shown, the "menu" ones hidden, no outline.
    void applyPrefix(const std::string& prefix);
    void setSkin(LevelSkin* skin);

    // The train's actions.
    void stay();
    void run();
    void leap();
    void jumpLeft();
    void jumpRight();
    void brake();
    void powerup(const std::string& kind);
    void fly(bool on);
    void damage();
    void die();
    // Called when the stage makes the character current.
    void select() {}

    // Called by the player every frame with its frame time (the slot update stays the Actor's).
    using Actor::update;
    void update(float dt);

    std::string _prefix;
    float _sayDelayMin = 5.0f;
    float _sayDelayMax = 10.0f;
    LevelSkin* _skin = nullptr;  // not owned
    bool _running = false;
    Countdown _sayTimer;
    std::string _nodeName;
    std::string _gameNode;

private:
    void readCharacterKeys(const std::string& prefix);
    void rearmSay();
    // Starts the reaction and postpones the next saying.
    void act(const char* name);
};

}  // namespace Zelvan

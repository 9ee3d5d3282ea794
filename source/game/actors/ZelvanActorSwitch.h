#pragma once
// A rail switch of a level: selectable kinematic bodies, the names of its front and back
// animations and a switch time that counts down while it runs.

#include <string>

#include "game/actors/ZelvanActor.h"

namespace Zelvan {

class ActorSwitch : public Actor {
public:
    ActorSwitch(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // The Actor's update, then the switch timer counts down while it is above 0.
    void update() override;
    // The Actor's reset; not switched, timer 0.
    void reset() override;
    void createComponents() override;

    std::string _animFront = "front";
    std::string _animBack = "back";
    float _switchTime = -1;  // seconds
    bool _switched = false;
    float _timer = 0;        // seconds
};

}  // namespace Zelvan

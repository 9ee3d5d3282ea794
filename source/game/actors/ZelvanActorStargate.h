#pragma once
// The gate of a level that takes the train to another level set. The stage arms it
// (activate: its "activate" reaction) and disarms it; a reset hides its "active" parts.

#include "game/actors/ZelvanActor.h"

namespace Zelvan {

class ActorStargate : public Actor {
public:
    ActorStargate(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    void reset() override;
    void createComponents() override;

    void activate();
    void deactivate();
    bool isActivated() const { return _activated; }

    bool _activated = false;
};

}  // namespace Zelvan

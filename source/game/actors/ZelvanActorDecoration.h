#pragma once
// A scenery object of a level: animated, physical (kinematic bodies) or both. Its distance,
// action animation and action effect are kept for whoever triggers it.

#include <cstdint>
#include <string>

#include "game/actors/ZelvanActor.h"

namespace Zelvan {

class ActorDecoration : public Actor {
public:
    enum DecorationType { Anim = 1, AnimPhysics = 2, Physics = 4 };

    ActorDecoration(World* world, Scene* scene, Object* parent) : Actor(world, scene, parent) {}
    static Object* create(World* world, Scene* scene, Object* parent);

    // The Actor's reset, shadows off, kinematic bodies again for a physics decoration.
    void reset() override;
    void createComponents() override;

    int32_t _decorationType = Anim;
    float _distance = 50.0f;
    std::string _animAction = "action";
    std::string _effectAction;
    bool _triggered = false;
};

}  // namespace Zelvan

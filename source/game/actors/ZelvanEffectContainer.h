#pragma once
// The named particle effects of one actor (or menu panel). Each effect ties an emitter type of a
// particle system to a node: starting it adds a live emitter at the node, and every frame the
// container moves its emitters with the node.
//
// Live emitters belong to the particle system. The system's owner must forward every released
// emitter (IPSEventHandler::onEmitterReleased) to forgetParticleInstance, and must unbind the
// system (setParticleSystem(nullptr)) or stop the effects before destroying it.

#include <string>
#include <vector>

#include "engine/math.h"

class Object;
class ObjectNode;
class PSEmitter;
class PSParticleSystem;
class World;

namespace Zelvan {

class EffectContainer {
public:
    class Effect {
    public:
        // An emitter this effect moves, with its placement relative to the effect's node.
        struct Instance {
            PSEmitter* emitter = nullptr;
            Matrix4 relative;
        };

        Effect() = default;
        // Must be stopped (or cleared) first: "!_psEmitterInstance".
        ~Effect();
        Effect(const Effect&) = delete;
        Effect& operator=(const Effect&) = delete;

        void start(PSParticleSystem* system);
        void stop(PSParticleSystem* system);
        void update();
        // Forgets the emitters without stopping them (they were handed to another owner).
        void clearInstances();
        // Takes over the other effect's emitters; mode 1 keeps them where they are in the world,
        // any other mode puts them on this effect's node.
        void shareInstances(Effect* other, int mode);

        std::string _name;
        bool _autoPlay = false;
        Object* _node = nullptr;
        std::string _particleName;
        PSEmitter* _psEmitterInstance = nullptr;
        std::vector<Instance> _instances;
        bool _visible = true;
        Vector3 _velocity;
    };

    static EffectContainer* create();
    EffectContainer() = default;
    ~EffectContainer();
    EffectContainer(const EffectContainer&) = delete;
    EffectContainer& operator=(const EffectContainer&) = delete;

    // Effects from the configuration list under the prefix (".effects").
    void load(const std::string& prefix, Object* actor);
    // Effects from the "particle" properties of the actor's object-file description.
    void scanObject(Object* actor, World* world);
    void scanDescription(Object* actor, const ObjectNode* description);

    // Stops every effect in the old system, then binds the new one; starts nothing.
    void setParticleSystem(PSParticleSystem* system);
    void playAuto();
    bool play(const std::string& name);
    bool stop(const std::string& name);
    void stopAll();
    Effect* find(const std::string& name) const;
    void setEmitterFlag(bool visible);
    void setVelocity(const Vector3& velocity);
    // The velocity new particles inherit from the emitters, under the name the track uses.
    void setOffset(const Vector3& velocity) { setVelocity(velocity); }
    void update(float dt);
    // The system released the emitter: every effect drops it. True when one listed it.
    bool forgetParticleInstance(PSEmitter* emitter, PSParticleSystem* system);
    // Stops every effect (with a system bound) and deletes them all.
    void clear();

    PSParticleSystem* psParticleSystem = nullptr;
    std::vector<Effect*> _effects;
    bool enabled = true;
};

}  // namespace Zelvan

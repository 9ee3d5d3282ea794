#pragma once
// Conductors: named, data-defined reactions of an actor ("run", "damage", "death", ...). One
// start shows or hides named nodes, plays a named animation, starts named effects and plays a
// named sound, each picked by an index among the conductor's variants. Commands are queued and
// run in order when the container is flushed (normally in the actor's update).

#include <cstdint>
#include <string>
#include <vector>

class ActorAnimator;
class ActorSoundList;
class NodeContainer;

namespace Zelvan {
class EffectContainer;
}

struct Conductor {
    std::string name;
    uint32_t indexNum = 1;  // at least 1
    std::vector<std::string> nodeNames;
    bool nodeVisible = true;
    std::vector<std::string> animNames;
    std::vector<std::string> effectNames;
    float soundChance = 100.0f;  // percent, 0..100
    std::vector<std::string> soundNames;
    float repeatDelay = 0;       // seconds, not below 0
    float countdown = 0;         // left of the repeat delay
};

struct ConductorCommand {
    enum { Stop = 0, Start = 1 };
    int32_t kind = Start;
    Conductor* conductor = nullptr;  // none: all
    uint32_t index = 0;
    float duration = -1;  // seconds; negative: the animation's own speed
};

class ConductorContainer {
public:
    // Any component may be null: that part of a conductor is skipped.
    ConductorContainer(NodeContainer* nodes, ActorAnimator* animator, Zelvan::EffectContainer* effects,
                       ActorSoundList* sounds);
    ~ConductorContainer();
    ConductorContainer(const ConductorContainer&) = delete;
    ConductorContainer& operator=(const ConductorContainer&) = delete;

    // Appends the conductors listed under the prefix (".conductors").
    void load(const std::string& prefix);
    Conductor* find(const std::string& name) const;
    uint32_t getIndexNum(const std::string& name) const;

    // Queue a start; false (nothing queued) when no conductor has the name.
    bool start(const std::string& name, uint32_t index, float duration);
    bool stop(const std::string& name);
    void stopAll();
    // One command that starts the auto-play effects and sounds.
    void startAll();
    void flush();
    // Counts the repeat delays down, then flushes.
    void update(float dt);
    // Re-arms every conductor and drops the queue unexecuted.
    void reset();

    NodeContainer* _nodes;
    ActorAnimator* _animator;
    Zelvan::EffectContainer* _effects;
    ActorSoundList* _sounds;
    std::vector<Conductor*> _conductors;
    std::vector<ConductorCommand> _queue;

private:
    void execute(const ConductorCommand& command);
    void executeStart(Conductor& c, uint32_t index, float duration);
    void executeStop(Conductor& c);
};

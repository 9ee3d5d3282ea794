#pragma once
// Named frame ranges of an actor's key-frame animation (every animated node of the tree plays
// the same range) and groups of them played one after another or at random.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/math.h"

class Object;

struct Animation {
    std::string name;
    int32_t frameBegin = 0;
    int32_t frameEnd = 0;
    bool loop = false;
    Vector2 speed{1, 1};  // (min, max)
    Vector2 time{0, 0};   // (min, max) fraction of the range where playing starts
};

struct AnimationGroup {
    std::string name;
    bool ordered = false;  // else random
    bool loop = false;
    std::vector<std::pair<float, Animation*>> entries;  // (weight, animation)
};

class ActorAnimator {
public:
    ActorAnimator() = default;
    ~ActorAnimator();
    ActorAnimator(const ActorAnimator&) = delete;
    ActorAnimator& operator=(const ActorAnimator&) = delete;

    void setActor(Object* actor) { _actor = actor; }
    // Appends the animations, then the groups, listed under the prefix (".anims", ".animGroups").
    void load(const std::string& prefix);
    // An animation or a group by name; duration in seconds, not above 0: the animation's own speed.
    bool play(const std::string& name, float duration);
    void playRange(const Animation& animation, float duration);
    void stop();
    // Starts the current group's next animation once the tree stopped animating.
    void update();
    bool isPlaying() const;

    Animation* findAnimation(const std::string& name) const;
    AnimationGroup* findGroup(const std::string& name) const;
    bool empty() const { return _animations.empty() && _groups.empty(); }

    Object* _actor = nullptr;
    std::vector<Animation*> _animations;
    std::vector<AnimationGroup*> _groups;
    AnimationGroup* _current = nullptr;
    uint32_t _index = 0;
    float _duration = -1;

private:
    void playNext();
};

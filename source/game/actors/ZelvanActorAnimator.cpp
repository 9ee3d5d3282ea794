#include "game/actors/ZelvanActorAnimator.h"

#include <cstdlib>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "game/actors/ZelvanObjectTree.h"

namespace {

// Frame numbers are read as floats and rounded; huge or odd values are kept inside what an
// int holds before the cast.
int32_t roundedFrame(float value) {
    const float limit = 16777216.0f;
    if (!(value > -limit))
        value = value > 0 ? limit : -limit;
    if (value > limit)
        value = limit;
    return (int32_t)(value + 0.5f);
}

float drawBetween(const Vector2& range) {
    const float r = (float)motherRandom().nextDouble();
    return range.x + r * (range.y - range.x);
}

Vector2 vector2Key(const ConfigStore& config, const std::string& key, const Vector2& fallback) {
    const char* text = config.getString(key, nullptr);
    if (!text)
        return fallback;
    Vector2 v = fallback;
    Vector2FromString(v, text);
    return v;
}

}  // namespace

ActorAnimator::~ActorAnimator() {
    for (AnimationGroup* g : _groups)
        delete g;
    for (Animation* a : _animations)
        delete a;
}

void ActorAnimator::load(const std::string& prefix) {
    const ConfigStore& config = ConfigStore::instance();
    for (const std::string& e : config.getList(prefix + ".anims")) {
        Animation* a = new Animation();
        a->name = config.getString(e + ".name", e.c_str());
        a->frameBegin = roundedFrame(config.getFloat(e + ".frameBegin", 0.0f));
        a->frameEnd = roundedFrame(config.getFloat(e + ".frameEnd", 0.0f));
        a->loop = config.getBool(e + ".loop", false);
        a->speed = vector2Key(config, e + ".speed", Vector2(1, 1));
        a->time = vector2Key(config, e + ".time", Vector2(0, 0));
        _animations.push_back(a);
    }
    for (const std::string& g : config.getList(prefix + ".animGroups")) {
        AnimationGroup* group = new AnimationGroup();
        group->name = config.getString(g + ".name", g.c_str());
        group->ordered = std::string(config.getString(g + ".type", "")) == "ordered";
        group->loop = config.getBool(g + ".loop", false);
        const ConfigStore::WordList& words = config.getList(g + ".animNames");
        for (size_t i = 0; i + 1 < words.size(); i += 2) {
            if (Animation* a = findAnimation(words[i + 1]))
                group->entries.push_back(std::make_pair((float)std::atof(words[i].c_str()), a));
        }
        _groups.push_back(group);
    }
}

Animation* ActorAnimator::findAnimation(const std::string& name) const {
    for (Animation* a : _animations)
        if (a->name == name)
            return a;
    return nullptr;
}

AnimationGroup* ActorAnimator::findGroup(const std::string& name) const {
    for (AnimationGroup* g : _groups)
        if (g->name == name)
            return g;
    return nullptr;
}

void ActorAnimator::playRange(const Animation& a, float duration) {
    if (!_actor)
        return;
    float speed = drawBetween(a.speed);
    const float start = drawBetween(a.time);
    if (duration > 0) {
        const float sign = speed > 0 ? 1.0f : (speed < 0 ? -1.0f : 0.0f);
        speed = sign * (float)(a.frameEnd - a.frameBegin) / 24.0f / duration;
    }
    AnimationRange range;
    range.begin = a.frameBegin;
    range.end = a.frameEnd;
    range.loop = a.loop;
    range.speed = speed;
    range.start = start;
    playObjectAnimationTree(_actor, range);
}

bool ActorAnimator::play(const std::string& name, float duration) {
    if (!_actor)
        return false;
    if (Animation* a = findAnimation(name)) {
        playRange(*a, duration);
        return true;
    }
    if (AnimationGroup* g = findGroup(name)) {
        _current = g;
        stopObjectAnimations(_actor);
        if (g->entries.empty()) {
            _current = nullptr;
        } else {
            _index = 0;
            _duration = duration;
            playNext();
        }
        return true;
    }
    _current = nullptr;
    return false;
}

void ActorAnimator::stop() {
    if (_actor)
        stopObjectAnimations(_actor);
    _current = nullptr;
}

void ActorAnimator::update() {
    if (_current && _actor && !isObjectAnimating(_actor))
        playNext();
}

bool ActorAnimator::isPlaying() const { return _actor && isObjectAnimating(_actor); }

void ActorAnimator::playNext() {
    AnimationGroup* g = _current;
    if (!g || g->entries.empty()) {
        _current = nullptr;
        return;
    }
    if (g->ordered) {
        if (_index >= g->entries.size())
            _index = 0;
        Animation* a = g->entries[_index].second;
        ++_index;
        if (_index >= g->entries.size()) {
            if (g->loop)
                _index = 0;
            else
                _current = nullptr;
        }
        playRange(*a, _duration);
        return;
    }

    float total = 0;
    for (const auto& entry : g->entries)
        total += entry.first;
    float s = total * (float)motherRandom().nextDouble();
    const Animation* chosen = nullptr;
    for (const auto& entry : g->entries) {
        s -= entry.first;
        if (!(s > 0)) {
            chosen = entry.second;
            break;
        }
    }
    if (!chosen) {
        // Rounding, or negative weights, walked past the end: the last entry that has a
        // weight, or the first one when none has.
        chosen = g->entries.front().second;
        for (const auto& entry : g->entries)
            if (entry.first > 0)
                chosen = entry.second;
    }
    if (!g->loop)
        _current = nullptr;
    playRange(*chosen, _duration);
}

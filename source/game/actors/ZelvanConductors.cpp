#include "game/actors/ZelvanConductors.h"

#include <algorithm>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanNodeContainer.h"

namespace {

// The single-name key first (when not empty), then the non-empty items of the list key.
std::vector<std::string> nameList(const ConfigStore& config, const std::string& entry, const char* single,
                                  const char* list) {
    std::vector<std::string> names;
    const char* one = config.getString(entry + single, "");
    if (*one)
        names.push_back(one);
    for (const std::string& item : config.getList(entry + list))
        if (!item.empty())
            names.push_back(item);
    return names;
}

// Read as a number and truncated; the value is kept inside what the count can hold first.
uint32_t indexCount(float value) {
    if (!(value >= 0))
        value = 0;  // negative or NaN
    value = std::min(value, 1048576.0f);
    const uint32_t n = (uint32_t)value;
    return n < 2 ? 1 : n;
}

const std::string& chosen(const std::vector<std::string>& names, uint32_t index) {
    return names[std::min<size_t>(index, names.size() - 1)];
}

}  // namespace

ConductorContainer::ConductorContainer(NodeContainer* nodes, ActorAnimator* animator,
                                       Zelvan::EffectContainer* effects, ActorSoundList* sounds)
    : _nodes(nodes), _animator(animator), _effects(effects), _sounds(sounds) {}

ConductorContainer::~ConductorContainer() {
    for (Conductor* c : _conductors)
        delete c;
}

void ConductorContainer::load(const std::string& prefix) {
    const ConfigStore& config = ConfigStore::instance();
    for (const std::string& e : config.getList(prefix + ".conductors")) {
        Conductor* c = new Conductor();
        c->name = config.getString(e + ".name", e.c_str());
        c->indexNum = indexCount(config.getFloat(e + ".indexNum", 1.0f));
        c->nodeNames = nameList(config, e, ".nodeName", ".nodeNames");
        c->nodeVisible = config.getBool(e + ".nodeVisible", true);
        c->animNames = nameList(config, e, ".animName", ".animNames");
        c->effectNames = nameList(config, e, ".effectName", ".effectNames");
        c->soundChance = std::clamp(config.getFloat(e + ".soundChance", 100.0f), 0.0f, 100.0f);
        c->soundNames = nameList(config, e, ".soundName", ".soundNames");
        c->repeatDelay = std::max(0.0f, config.getFloat(e + ".repeatDelay", 0.0f));
        _conductors.push_back(c);
    }
    // Room for a start and a stop of every conductor, so queueing never allocates in a frame.
    _queue.reserve(_conductors.size() * 2 + 2);
}

Conductor* ConductorContainer::find(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (Conductor* c : _conductors)
        if (c->name == name)
            return c;
    return nullptr;
}

uint32_t ConductorContainer::getIndexNum(const std::string& name) const {
    const Conductor* c = find(name);
    return c ? c->indexNum : 0;
}

bool ConductorContainer::start(const std::string& name, uint32_t index, float duration) {
    Conductor* c = find(name);
    if (!c)
        return false;
    ConductorCommand command;
    command.kind = ConductorCommand::Start;
    command.conductor = c;
    command.index = index;
    command.duration = duration;
    _queue.push_back(command);
    return true;
}

bool ConductorContainer::stop(const std::string& name) {
    Conductor* c = find(name);
    if (!c)
        return false;
    ConductorCommand command;
    command.kind = ConductorCommand::Stop;
    command.conductor = c;
    _queue.push_back(command);
    return true;
}

void ConductorContainer::stopAll() {
    for (Conductor* c : _conductors) {
        ConductorCommand command;
        command.kind = ConductorCommand::Stop;
        command.conductor = c;
        _queue.push_back(command);
    }
}

void ConductorContainer::startAll() {
    ConductorCommand command;
    command.kind = ConductorCommand::Start;
    _queue.push_back(command);
}

void ConductorContainer::flush() {
    for (size_t i = 0; i < _queue.size(); ++i)
        execute(_queue[i]);
    _queue.clear();
}

void ConductorContainer::update(float dt) {
    for (Conductor* c : _conductors)
        if (c->countdown > 0)
            c->countdown -= dt;
    flush();
}

void ConductorContainer::reset() {
    for (Conductor* c : _conductors)
        c->countdown = 0;
    _queue.clear();
}

void ConductorContainer::execute(const ConductorCommand& command) {
    if (!command.conductor) {
        if (command.kind == ConductorCommand::Start) {
            if (_effects)
                _effects->playAuto();
            if (_sounds)
                _sounds->playAll();
        }
        return;
    }
    if (command.kind == ConductorCommand::Start)
        executeStart(*command.conductor, command.index, command.duration);
    else
        executeStop(*command.conductor);
}

void ConductorContainer::executeStart(Conductor& c, uint32_t index, float duration) {
    if (c.countdown > 0)
        return;  // in its repeat delay: dropped, not deferred
    c.countdown = c.repeatDelay;
    const uint32_t i = std::min(index, c.indexNum - 1);

    if (!c.nodeNames.empty() && _nodes)
        _nodes->setVisible(chosen(c.nodeNames, i), c.nodeVisible);
    if (!c.animNames.empty() && _animator) {
        if (!_animator->play(chosen(c.animNames, i), duration))
            _animator->stop();
    }
    if (!c.effectNames.empty() && _effects)
        _effects->play(chosen(c.effectNames, i));
    if (!c.soundNames.empty() && _sounds) {
        const float r = (float)motherRandom().nextDouble();
        if (!(c.soundChance < r * 100.0f))
            _sounds->play(chosen(c.soundNames, i));
    }
}

void ConductorContainer::executeStop(Conductor& c) {
    if (_nodes)
        for (const std::string& name : c.nodeNames)
            _nodes->setVisible(name, !c.nodeVisible);
    if (!c.animNames.empty() && _animator)
        _animator->stop();
    if (_effects)
        for (const std::string& name : c.effectNames)
            _effects->stop(name);
    if (_sounds)
        for (const std::string& name : c.soundNames)
            _sounds->stop(name);
}

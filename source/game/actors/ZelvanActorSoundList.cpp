#include "game/actors/ZelvanActorSoundList.h"

#include <cstring>

#include "engine/ConfigStore.h"
#include "engine_game/Object.h"
#include "engine_game/ObjectNode.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanObjectTree.h"

namespace {

template <class Visit>
void visitDescription(const ObjectNode* description, Visit&& visit) {
    visit(description);
    for (const ObjectNode* child : description->_children)
        visitDescription(child, visit);
}

}  // namespace

ActorSoundList::~ActorSoundList() {
    SoundInterface& front = SoundInterface::get();
    for (SoundEntry* e : _entries) {
        if (e->handle) {
            e->handle->stop();
            front.releaseHandle(e->handle);
        }
        delete e;
    }
}

int32_t ActorSoundList::channelOfGroup(const char* group) {
    if (!group)
        return 1;
    if (std::strcmp(group, "music") == 0)
        return 0;
    if (std::strcmp(group, "menu") == 0)
        return 2;
    if (std::strcmp(group, "game") == 0)
        return 3;
    return 1;
}

void ActorSoundList::bind(Object* actor, World* world) {
    if (!actor || !world)
        return;
    bind(actor, objectFileDescription(world, actor));
}

void ActorSoundList::bind(Object* actor, const ObjectNode* description) {
    if (!actor || !description)
        return;
    visitDescription(description, [&](const ObjectNode* d) {
        const std::string* effect = d->property("effect");
        const bool named = effect && !effect->empty();
        for (const char* property : {"sound", "sound2d"}) {
            const std::string* sound = d->property(property);
            if (!sound || sound->empty())
                continue;
            const bool positional = property[5] == 0;  // "sound", not "sound2d"
            SoundEntry* e = new SoundEntry();
            e->sound = *sound;
            e->channel = 3;
            if (positional) {
                Object* node = findObjectByName(actor, d->_name);
                e->node = node ? node : actor;
            }
            e->name = named ? *effect : "default";
            e->loop = e->autoPlay = !named;
            e->controlled = positional || named;
            _entries.push_back(e);
        }
    });
}

void ActorSoundList::load(const std::string& prefix, Object* actor) {
    const ConfigStore& config = ConfigStore::instance();
    for (const std::string& key : config.getList(prefix + ".sounds")) {
        const char* sound = config.getString(key + ".sound", "");
        if (!*sound)
            continue;
        SoundEntry* e = new SoundEntry();
        e->sound = sound;
        if (actor) {
            const std::string nodeName = config.getString(key + ".soundNode", "");
            if (nodeName == "ROOT")
                e->node = actor;
            else if (!nodeName.empty())
                e->node = findObjectByName(actor, nodeName);
        }
        e->channel = channelOfGroup(config.getString(key + ".group", ""));
        e->name = config.getString(key + ".name", key.c_str());
        e->autoPlay = config.getBool(key + ".autoPlay", false);
        e->loop = config.getBool(key + ".loop", false);
        e->controlled = e->node || e->loop || config.getBool(key + ".controlled", false);
        _entries.push_back(e);
    }
}

void ActorSoundList::playEntry(SoundEntry& e) {
    SoundInterface& front = SoundInterface::get();
    if (!e.controlled) {
        front.play(e.sound.c_str(), e.channel, 1.0f);
        return;
    }
    if (!e.handle)
        e.handle = e.node ? front.createHandle3d(e.sound.c_str()) : front.createHandle(e.sound.c_str());
    if (!e.handle)
        return;
    if (e.node) {
        const Vector3 p = e.node->getWorldPosition();
        e.handle->play3d(e.channel, e.loop, p.x, p.y, p.z);
    } else {
        e.handle->play(e.channel, e.loop);
    }
}

bool ActorSoundList::play(const std::string& name) {
    if (!_enabled || name.empty())
        return false;
    bool matched = false;
    for (SoundEntry* e : _entries)
        if (e->name == name) {
            playEntry(*e);
            matched = true;
        }
    return matched;
}

bool ActorSoundList::stop(const std::string& name) {
    bool matched = false;
    for (SoundEntry* e : _entries)
        if (e->name == name) {
            if (e->handle)
                e->handle->stop();
            matched = true;
        }
    return matched;
}

void ActorSoundList::playAll() {
    if (!_enabled)
        return;
    for (SoundEntry* e : _entries)
        if (e->autoPlay)
            playEntry(*e);
}

void ActorSoundList::stopAll() {
    for (SoundEntry* e : _entries)
        if (e->handle)
            e->handle->stop();
}

void ActorSoundList::update() {
    for (SoundEntry* e : _entries)
        if (e->handle && e->node && e->handle->isPlaying())
            e->handle->setPosition(e->node->getWorldPosition());
}

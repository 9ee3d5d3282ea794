#include "game/track/ZelvanProxyContainer.h"

#include <algorithm>
#include <cstdlib>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine/utils.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

namespace {

const char* const kSource = "source/game/track/ZelvanProxyContainer";
const Vector3 kIdentityRows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};

float nextRandom() { return (float)motherRandom().nextDouble(); }

bool beginsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A weight word: any text that reads as a number, else 0.
float readWeight(const std::string& word) { return std::strtof(word.c_str(), nullptr); }

}  // namespace

Proxy::~Proxy() {
    for (ProxyGroup* group : groups)
        delete group;
}

ProxyContainer* ProxyContainer::create() { return new ProxyContainer(); }

ProxyContainer::~ProxyContainer() { clear(); }

void ProxyContainer::clear() {
    for (Proxy* proxy : _proxies)
        delete proxy;
    _proxies.clear();
    _chosenGroups.clear();
}

float ProxyContainer::nextVisibleFrom(const ProxyGroup& group) const {
    return _time + group.visibleDelayMin + nextRandom() * (group.visibleDelayMax - group.visibleDelayMin);
}

void ProxyContainer::load(World* world, const std::string& section) {
    _world = world;
    const ConfigStore& config = ConfigStore::instance();

    for (const std::string& proxyKey : config.getList(section + ".proxies")) {
        Proxy* proxy = nullptr;
        for (const std::string& groupKey : config.getList(proxyKey + ".groups")) {
            const ConfigStore::WordList& files = config.getList(groupKey + ".objectFiles");
            if (files.empty())
                continue;
            if (!proxy) {
                proxy = new Proxy();
                proxy->name = config.getString(proxyKey + ".objectName", "");
                const int32_t limit = (int32_t)config.getFloat(proxyKey + ".numPerLevel", 0.0f);
                proxy->numPerLevel = limit < 1 ? 0 : limit;
            }

            ProxyGroup* group = new ProxyGroup();
            group->name = config.getString(groupKey + ".name", groupKey.c_str());
            group->difficultyVisiblePercentMin = config.getFloat(groupKey + ".difficultyVisiblePercentMin", 100.0f);
            group->difficultyVisiblePercentMax = config.getFloat(groupKey + ".difficultyVisiblePercentMax", 100.0f);
            group->difficultyVisiblePercentTime = config.getFloat(groupKey + ".difficultyVisiblePercentTime", 0.0f);
            group->visibleDelayMin = config.getFloat(groupKey + ".visibleDelayMin", 0.0f);
            group->visibleDelayMax = config.getFloat(groupKey + ".visibleDelayMax", 0.0f);
            const int32_t types = (int32_t)config.getFloat(groupKey + ".typePerLevel", 0.0f);
            group->typePerLevel = types < 1 ? 0 : types;
            group->nextVisible = nextVisibleFrom(*group);

            // (weight, file) pairs; an odd last word is ignored.
            for (size_t i = 0; i + 1 < files.size(); i += 2) {
                const std::string& file = files[i + 1];
                if (file.empty())
                    continue;
                if (!world || !world->loadObjectFile(file)) {
                    // A decoration the content names but does not ship: fix the content.
                    const std::string text = formatString("Object file(%s) not found!", file.c_str());
                    Logger::error("%s", text.c_str());
                    XAssert(0, text.c_str(), kSource, __LINE__);
                    continue;
                }
                ProxyObject entry;
                entry.enabled = true;
                entry.weight = readWeight(files[i]);
                entry.pool = world->getObjectPool(file);
                group->objects.push_back(entry);
            }
            proxy->groups.push_back(group);
        }
        if (proxy)
            _proxies.push_back(proxy);
    }
}

void ProxyContainer::reset() {
    _time = 0;
    for (Proxy* proxy : _proxies)
        for (ProxyGroup* group : proxy->groups)
            group->nextVisible = nextVisibleFrom(*group);
}

void ProxyContainer::addTime(float seconds) { _time += seconds; }

void ProxyContainer::prepareLevel() {
    for (Proxy* proxy : _proxies) {
        proxy->count = 0;
        for (ProxyGroup* group : proxy->groups) {
            group->levelTypes.clear();
            for (int32_t i = 0; i < group->typePerLevel; ++i) {
                const int32_t type = pickType(*group);
                if (type != -1)
                    group->levelTypes.push_back(type);
            }
        }
    }
}

Proxy* ProxyContainer::findProxy(const std::string& nodeName) const {
    for (Proxy* proxy : _proxies)
        if (beginsWith(nodeName, proxy->name))
            return proxy;
    return nullptr;
}

bool ProxyContainer::hasProxy(const std::string& nodeName, float percentage) {
    Proxy* proxy = findProxy(nodeName);
    auto chosen = _chosenGroups.find(nodeName);
    if (chosen != _chosenGroups.end())
        chosen->second = -1;
    if (!proxy)
        return false;

    float p = percentage;
    for (size_t i = 0; i < proxy->groups.size(); ++i) {
        const ProxyGroup& group = *proxy->groups[i];
        if (_time < group.nextVisible)
            continue;
        float ramp = 1.0f;
        if (group.difficultyVisiblePercentTime > 0)
            ramp = std::min(1.0f, _time / group.difficultyVisiblePercentTime);
        p = p * 0.01f *
            (group.difficultyVisiblePercentMin +
             (group.difficultyVisiblePercentMax - group.difficultyVisiblePercentMin) * ramp);
        p = std::min(100.0f, std::max(0.0f, p));
        if (nextRandom() * 100.0f <= p) {
            if (chosen != _chosenGroups.end())
                chosen->second = (int32_t)i;
            else
                _chosenGroups.emplace(nodeName, (int32_t)i);
            return true;
        }
    }
    return false;
}

Object* ProxyContainer::spawn(const std::string& nodeName, bool buildPhysics) {
    Proxy* proxy = findProxy(nodeName);
    if (!proxy || proxy->groups.empty())
        return nullptr;
    if (proxy->numPerLevel > 0 && proxy->count >= proxy->numPerLevel)
        return nullptr;
    ++proxy->count;

    // The group that passed this placeholder's visibility test; a placeholder shown without one
    // ("visible_always") draws a group.
    int32_t groupIndex = -1;
    auto chosen = _chosenGroups.find(nodeName);
    if (chosen != _chosenGroups.end()) {
        groupIndex = chosen->second;
        chosen->second = -1;
    }
    const size_t n = proxy->groups.size();
    if (groupIndex < 0 || (size_t)groupIndex >= n)
        groupIndex = (int32_t)(uint32_t)(nextRandom() * ((float)n - 0.5f));
    ProxyGroup& group = *proxy->groups[std::min((size_t)groupIndex, n - 1)];

    int32_t index;
    if (group.levelTypes.empty()) {
        index = pickType(group);
    } else {
        const size_t m = group.levelTypes.size();
        const size_t pick = (size_t)(int32_t)(nextRandom() * ((float)m - 0.5f));
        index = group.levelTypes[std::min(pick, m - 1)];
    }
    if (index < 0 || (size_t)index >= group.objects.size())
        return nullptr;
    ObjectPool* pool = group.objects[index].pool;
    if (!pool)
        return nullptr;
    Object* object = pool->acquire(0);
    if (!object)
        return nullptr;

    applyDescriptionTransforms(object, _world ? _world->loadObjectFile(pool->_path) : nullptr);
    object->setTransform(kIdentityRows, Vector3(), Vector3(1, 1, 1));
    if (buildPhysics && _world)
        buildObjectPhysics(_world, nullptr, object, 2);
    setObjectPhysicsEnabled(object, true);
    return object;
}

void ProxyContainer::updateDelays() {
    for (Proxy* proxy : _proxies)
        for (ProxyGroup* group : proxy->groups)
            if (_time >= group->nextVisible)
                group->nextVisible = nextVisibleFrom(*group);
    // The level's decoration is over: no placeholder keeps a choice into the next level.
    for (auto& entry : _chosenGroups)
        entry.second = -1;
}

void ProxyContainer::release(Object* object) {
    if (!object)
        return;
    const std::string& source = object->getSourceName();
    for (Proxy* proxy : _proxies)
        for (ProxyGroup* group : proxy->groups)
            for (ProxyObject& entry : group->objects) {
                if (!entry.pool || entry.pool->_path != source)
                    continue;
                setObjectPhysicsEnabled(object, false);
                entry.pool->release(object);
            }
}

ProxyObject* ProxyContainer::findObject(const std::string& name, const std::string& objectFile) {
    Proxy* proxy = findProxy(name);
    if (!proxy)
        return nullptr;
    for (ProxyGroup* group : proxy->groups)
        for (ProxyObject& entry : group->objects)
            if (entry.pool && entry.pool->_path == objectFile)
                return &entry;
    return nullptr;
}

bool ProxyContainer::setObjectEnabled(const std::string& name, const std::string& objectFile, bool enabled) {
    ProxyObject* entry = findObject(name, objectFile);
    if (!entry)
        return false;
    entry->enabled = enabled;
    return true;
}

int32_t ProxyContainer::pickType(const ProxyGroup& group) {
    if (group.objects.empty())
        return -1;
    float sum = 0;
    for (const ProxyObject& entry : group.objects)
        if (entry.enabled)
            sum += std::max(0.0f, entry.weight);
    float t = nextRandom() * sum;
    for (size_t i = 0; i < group.objects.size(); ++i) {
        const ProxyObject& entry = group.objects[i];
        if (!entry.enabled)
            continue;
        t -= std::max(0.0f, entry.weight);
        if (t <= 0)
            return (int32_t)i;
    }
    return -1;
}

}  // namespace Zelvan

#include "game/track/ZelvanLevelSet.h"

#include <string>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine/utils.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelLoadSteps.h"
#include "game/track/ZelvanLevelPool.h"

namespace Zelvan {

namespace {

float draw() { return float(motherRandom().nextDouble()); }

std::string readString(const std::string& key, const std::string& current) {
    return ConfigStore::instance().getString(key, current.c_str());
}

// Weights of 0 or less are stored as 0.
float weight(float value) { return value > 0 ? value : 0; }

int32_t roundedCount(float value) { return int32_t(value + 0.5f); }

}  // namespace

// ---- The closing step of a set's loading ----

bool LoadLevelGroupSet::load() {
    if (pool) {
        if (begin)
            pool->markAllUnused();
        else
            pool->markAllUsed();
    }
    // The clusters need their groups' totals, which exist only now that every level step ran.
    if (!begin && set)
        set->buildClusters();
    return true;
}

// ---- LevelGroup ----

LevelGroup::LevelGroup(const std::string& key_) : key(key_), name(key_) {}

LevelGroup* LevelGroup::create(LoadQueue* loader, LevelPool* pool, const std::string& key) {
    ConfigStore& config = ConfigStore::instance();
    LevelGroup* group = new LevelGroup(key);
    group->name = readString(key + ".name", group->name);
    group->acChance = weight(config.getFloat(key + ".acChance", group->acChance));
    group->random = config.getBool(key + ".random", group->random);
    group->_onlyone = config.getBool(key + ".onlyone", group->_onlyone);
    group->atmosphere = readString(key + ".atmosphere", group->atmosphere);
    group->camera = readString(key + ".camera", group->camera);
    group->gameMode = readString(key + ".gameMode", group->gameMode);
    const ConfigStore::WordList& links = config.getList(key + ".groupLinks");
    if (!links.empty())
        group->groupLinks = links;
    if (loader) {
        for (const std::string& levelName : config.getList(key + ".levels"))
            loader->push(new LoadLevel(pool, group, levelName));
    }
    return group;
}

void LevelGroup::addLevel(Level* level) {
    if (!level)
        return;
    level->group = this;
    level->hide();
    level->stopCamera();
    level->stopActors();
    level->stopNearActors();
    level->disablePhysics();
    levels.push_back(level);
}

float LevelGroup::getLength() const {
    float sum = 0;
    for (const Level* level : levels)
        sum += level->getLength();
    return sum;
}

bool LevelGroup::isQueuedLevel() const {
    for (const Level* level : levels)
        if (level->onRoad)
            return true;
    return false;
}

bool LevelGroup::isUnqueuedLevel() const {
    for (const Level* level : levels)
        if (!level->onRoad)
            return true;
    return false;
}

bool LevelGroup::hasUnpickedLevel() const {
    for (const Level* level : levels)
        if (!level->picked)
            return true;
    return false;
}

int32_t LevelGroup::countUnpicked() const {
    int32_t n = 0;
    for (const Level* level : levels)
        if (!level->picked)
            ++n;
    return n;
}

void LevelGroup::setPicked(bool value) {
    for (Level* level : levels)
        level->picked = value;
}

void LevelGroup::resetPicked() {
    XAssert((!isQueuedLevel() || (_onlyone && isUnqueuedLevel())) ? 1 : 0,
            "!isQueuedLevel() || (_onlyone && isUnqueuedLevel())", __FILE__, __LINE__);
    for (Level* level : levels)
        level->picked = level->onRoad;
}

void LevelGroup::setAtmosphere(Atmosphere* atmosphere_) {
    for (Level* level : levels)
        level->setAtmosphere(atmosphere_);
}

void LevelGroup::setSkin(LevelSkin* skin) {
    for (Level* level : levels)
        level->setSkin(skin);
}

bool LevelGroup::hasPlayableLevel() const {
    for (const Level* level : levels)
        if (level->chance > 0)
            return true;
    return false;
}

// ---- LevelCluster ----

LevelCluster::LevelCluster(const std::string& key_) : key(key_) {}

LevelCluster* LevelCluster::create(const std::string& key, const std::vector<LevelGroup*>& setGroups) {
    ConfigStore& config = ConfigStore::instance();
    const ConfigStore::WordList& names = config.getList(key + ".groups");
    if (names.empty()) {
        Logger::error("No group in cluster(%s)!", key.c_str());
        return nullptr;
    }
    LevelCluster* cluster = new LevelCluster(key);
    cluster->chance = weight(config.getFloat(key + ".chance", cluster->chance));
    cluster->distanceMin = config.getFloat(key + ".distanceMin", cluster->distanceMin);
    cluster->distanceMax = config.getFloat(key + ".distanceMax", cluster->distanceMax);
    cluster->levelNumMin = roundedCount(config.getFloat(key + ".levelNumMin", float(cluster->levelNumMin)));
    cluster->levelNumMax = roundedCount(config.getFloat(key + ".levelNumMax", float(cluster->levelNumMax)));

    float length = 0;
    int32_t levelCount = 0;
    for (const std::string& groupName : names) {
        LevelGroup* found = nullptr;
        for (LevelGroup* group : setGroups) {
            if (group->name == groupName) {
                found = group;
                break;
            }
        }
        if (!found) {
            Logger::error("Cluster(%s) group(%s) not found!", key.c_str(), groupName.c_str());
            continue;
        }
        cluster->groups.push_back(found);
        length += found->getLength();
        levelCount += int32_t(found->levels.size());
    }
    // A cluster that can hand out nothing would only stop the draw later: leave it out now.
    if (cluster->groups.empty()) {
        Logger::error("No group found for cluster(%s)!", key.c_str());
        delete cluster;
        return nullptr;
    }
    if (!(length > 0) || levelCount <= 0) {
        Logger::error("No level in cluster(%s)!", key.c_str());
        delete cluster;
        return nullptr;
    }
    if (cluster->distanceMin <= 0)
        cluster->distanceMin = length;
    if (cluster->distanceMax <= 0)
        cluster->distanceMax = length;
    if (cluster->levelNumMin <= 0)
        cluster->levelNumMin = levelCount;
    if (cluster->levelNumMax <= 0)
        cluster->levelNumMax = levelCount;
    cluster->distanceLimit = cluster->distanceMin;
    cluster->levelNumLimit = cluster->levelNumMin;
    return cluster;
}

void LevelCluster::reset() {
    const float r = draw();
    distanceLimit = distanceMin + r * (distanceMax - distanceMin);
    const float r2 = draw();
    levelNumLimit = int32_t(float(levelNumMax - levelNumMin) * r2 + float(levelNumMin) + 0.5f);
    for (LevelGroup* group : groups)
        group->setPicked(false);
}

// ---- LevelGroupSet ----

LevelGroupSet* LevelGroupSet::create(LoadQueue* loader, LevelPool* pool, const std::string& setName) {
    ConfigStore& config = ConfigStore::instance();
    if (loader)
        loader->push(new LoadLevelGroupSet(pool, true));
    std::vector<LevelGroup*> groups;
    for (const std::string& groupKey : config.getList(setName + ".groups"))
        groups.push_back(LevelGroup::create(loader, pool, groupKey));
    if (groups.size() < 2) {
        Logger::error("Minimum 2 level groups needed in LevelSet(%s)!", setName.c_str());
        XAssert(0, "false", __FILE__, __LINE__);
    }
    LevelGroupSet* set = new LevelGroupSet(setName, groups, std::vector<LevelCluster*>());
    if (loader) {
        LoadLevelGroupSet* closing = new LoadLevelGroupSet(pool, false);
        closing->set = set;
        loader->push(closing);
    } else {
        set->buildClusters();
    }
    return set;
}

LevelGroupSet::LevelGroupSet(const std::string& key_, const std::vector<LevelGroup*>& groups_,
                             const std::vector<LevelCluster*>& clusters_)
    : key(key_), name(key_), groups(groups_), clusters(clusters_) {
    readKeys("level");
    readKeys(key);
    reset();
}

LevelGroupSet::~LevelGroupSet() { destroy(); }

void LevelGroupSet::readKeys(const std::string& section) {
    name = readString(section + ".name", name);
    startGroup = readString(section + ".startGroup", startGroup);
    startAtmosphere = readString(section + ".startAtmosphere", startAtmosphere);
    startCamera = readString(section + ".startCamera", startCamera);
    defaultSkin = readString(section + ".defaultSkin", defaultSkin);
    musicFile = readString(section + ".musicFile", musicFile);
}

void LevelGroupSet::buildClusters() {
    for (LevelCluster* cluster : clusters)
        delete cluster;
    clusters.clear();
    currentCluster = nullptr;
    for (const std::string& clusterKey : ConfigStore::instance().getList(key + ".clusters")) {
        if (LevelCluster* cluster = LevelCluster::create(clusterKey, groups))
            clusters.push_back(cluster);
    }
}

void LevelGroupSet::destroy() {
    for (LevelGroup* group : groups)
        delete group;
    groups.clear();
    for (LevelCluster* cluster : clusters)
        delete cluster;
    clusters.clear();
    currentCluster = nullptr;
    currentGroup = nullptr;
}

void LevelGroupSet::reset() {
    currentCluster = nullptr;
    currentGroup = nullptr;
    index = 0;
    distance = 0;
    count = 0;
    for (LevelGroup* group : groups) {
        for (Level* level : group->levels) {
            level->picked = false;
            // Sets share pooled levels; the stage reads the group's camera and atmosphere, so a
            // level must answer with this set's group while this set runs.
            level->group = group;
        }
    }
    for (LevelCluster* cluster : clusters)
        cluster->reset();
}

LevelGroup* LevelGroupSet::findGroup(const std::string& groupName) const {
    if (groupName.empty())
        return nullptr;
    for (LevelGroup* group : groups)
        if (group->name == groupName)
            return group;
    return nullptr;
}

void LevelGroupSet::setAtmosphere(Atmosphere* atmosphere) {
    for (LevelGroup* group : groups)
        group->setAtmosphere(atmosphere);
}

void LevelGroupSet::setSkin(LevelSkin* skin) {
    for (LevelGroup* group : groups)
        group->setSkin(skin);
}

Level* LevelGroupSet::nextLevel() {
    // Each visit of a group that gives no level moves on to another group; after more visits
    // than the set has groups, no group can give one now (refused chance draws, empty groups).
    const size_t maxVisits = groups.size() + 1;
    size_t visits = 0;
    for (;;) {
        LevelGroup* candidate = nullptr;
        if (!currentGroup) {
            index = 0;
            candidate = findGroup(startGroup);
        } else {
            LevelGroup* G = currentGroup;
            const int32_t n = int32_t(G->levels.size());
            if (!(G->_onlyone && index != 0) && n > 0) {
                Level* accepted = nullptr;
                if (G->random) {
                    const uint32_t h = uint32_t(draw() * (float(n) - 0.5f));
                    for (int32_t i = 0; i < n; ++i) {
                        Level* level = G->levels[(h + uint32_t(i)) % uint32_t(n)];
                        if (level->picked)
                            continue;
                        level->picked = true;
                        if (draw() * 100.0f <= level->chance) {
                            accepted = level;
                            break;
                        }
                    }
                    ++index;
                } else {
                    for (int32_t i = index; i < n; ++i) {
                        Level* level = G->levels[i];
                        if (!level->picked) {
                            level->picked = true;
                            if (draw() * 100.0f <= level->chance) {
                                accepted = level;
                                break;
                            }
                        }
                        index = i + 1;
                    }
                }
                if (accepted) {
                    distance += accepted->getLength();
                    ++count;
                    return accepted;
                }
            }
            // The group is done for this visit.
            if (++visits > maxVisits) {
                Logger::error("No level found in LevelSet(%s)!", key.c_str());
                index = 0;
                currentGroup = nullptr;
                return nullptr;
            }
            index = 0;
            currentGroup = nullptr;
            const int32_t m = int32_t(G->groupLinks.size());
            if (m > 0) {
                const int32_t h = int32_t(draw() * (float(m) - 0.5f));
                for (int32_t i = 0; i < m; ++i) {
                    LevelGroup* link = findGroup(G->groupLinks[(h + i) % m]);
                    if (link && !link->isQueuedLevel() && link->hasPlayableLevel()) {
                        candidate = link;
                        break;
                    }
                }
            }
        }
        if (!candidate)
            candidate = pickGroup();
        currentGroup = candidate;
        if (!candidate)
            return nullptr;
        if (!(candidate->_onlyone && candidate->hasUnpickedLevel()))
            candidate->setPicked(false);
    }
}

bool LevelGroupSet::passes(LevelGroup* group) {
    // A group that can hand out nothing would be visited again and again.
    if (!group->hasPlayableLevel())
        return false;
    if (group->_onlyone) {
        if (group->hasUnpickedLevel())
            return true;
        // Every level still on the road: nothing to start over with.
        if (!group->isUnqueuedLevel())
            return false;
        group->resetPicked();
        return group->hasUnpickedLevel();
    }
    return !group->isQueuedLevel();
}

LevelGroup* LevelGroupSet::pickGroup() {
    const std::vector<LevelGroup*>* list = &groups;
    if (!clusters.empty()) {
        if (!(currentCluster && distance <= currentCluster->distanceLimit && count <= currentCluster->levelNumLimit)) {
            currentCluster = nullptr;
            float sum = 0;
            for (const LevelCluster* cluster : clusters)
                sum += weight(cluster->chance);
            float t = draw() * sum;
            for (LevelCluster* cluster : clusters) {
                if (cluster->chance <= 0)
                    continue;
                t -= cluster->chance;
                if (t <= 0) {
                    currentCluster = cluster;
                    break;
                }
            }
            distance = 0;
            count = 0;
            if (!currentCluster)
                return nullptr;
            currentCluster->reset();
        }
        list = &currentCluster->groups;
    }

    const int32_t n = int32_t(list->size());
    float sum = 0;
    for (const LevelGroup* group : *list)
        sum += weight(group->acChance);
    float t = draw() * sum;
    int32_t hit = -1;
    for (int32_t i = 0; i < n; ++i) {
        LevelGroup* group = (*list)[i];
        if (group->acChance <= 0)
            continue;
        t -= group->acChance;
        if (t <= 0) {
            hit = i;
            break;
        }
    }
    if (hit < 0)
        return nullptr;
    if (passes((*list)[hit]))
        return (*list)[hit];
    if (n >= 2) {
        for (int32_t j = 1; j < n; ++j) {
            LevelGroup* group = (*list)[(hit + j) % n];
            if (group->acChance <= 0)
                continue;
            if (passes(group))
                return group;
        }
    }
    Logger::error("Need more level group!");
    XAssert(0, "false", __FILE__, __LINE__);
    return nullptr;
}

}  // namespace Zelvan

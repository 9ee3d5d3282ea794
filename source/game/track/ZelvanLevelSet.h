#pragma once
// Level sets, groups and clusters: where the road's next level comes from.
//
// A level set is one kind of endless track (a region, the set behind a stargate). It is made of
// level groups, each an ordered or shuffled list of levels, and optionally of clusters: weighted
// selections of groups that hold for a rolled distance or number of levels. The set answers the
// road with a level of its current group, moves on through the group's links, or draws a new
// group (and, when its cluster's limits are used up, a new cluster) by weighted chance. Every draw
// uses the shared MotherRandom.
//
// The groups' levels arrive later, through the loader steps the set queues; the clusters are made
// by the set's closing step, once the totals of their groups are known.

#include <cstdint>
#include <string>
#include <vector>

namespace Zelvan {

class Atmosphere;
class Level;
class LevelPool;
class LevelSkin;
class Load;

// Where the loader steps of a set go; the stage's loader implements it.
class LoadQueue {
public:
    virtual ~LoadQueue() {}
    // Takes ownership of the step.
    virtual void push(Load* step) = 0;
};

class LevelGroup {
public:
    // Reads the group's keys and queues one level step per name of its ".levels" list.
    static LevelGroup* create(LoadQueue* loader, LevelPool* pool, const std::string& key);
    explicit LevelGroup(const std::string& key);

    void addLevel(Level* level);
    float getLength() const;
    bool isQueuedLevel() const;
    bool isUnqueuedLevel() const;
    bool hasUnpickedLevel() const;
    int32_t countUnpicked() const;
    void setPicked(bool value);
    void resetPicked();
    void setAtmosphere(Atmosphere* atmosphere);
    void setSkin(LevelSkin* skin);
    // Levels that can ever be handed out: at least one of chance above 0.
    bool hasPlayableLevel() const;

    std::string key;
    std::string name;
    float acChance = 1.0f;
    bool random = false;
    bool _onlyone = false;
    std::string atmosphere;
    std::string camera;
    std::string gameMode;
    std::vector<std::string> groupLinks;
    std::vector<Level*> levels;  // not owned
};

class LevelCluster {
public:
    // None for an empty group list, or when none of its names finds a group (logged).
    static LevelCluster* create(const std::string& key, const std::vector<LevelGroup*>& setGroups);
    explicit LevelCluster(const std::string& key);

    void reset();

    std::string key;
    float chance = 1.0f;
    float distanceMin = -1;
    float distanceMax = -1;
    int32_t levelNumMin = -1;
    int32_t levelNumMax = -1;
    std::vector<LevelGroup*> groups;  // not owned
    float distanceLimit = 0;
    int32_t levelNumLimit = 0;
};

class LevelGroupSet {
public:
    static LevelGroupSet* create(LoadQueue* loader, LevelPool* pool, const std::string& name);
    LevelGroupSet(const std::string& key, const std::vector<LevelGroup*>& groups,
                  const std::vector<LevelCluster*>& clusters);
    ~LevelGroupSet();
    LevelGroupSet(const LevelGroupSet&) = delete;
    LevelGroupSet& operator=(const LevelGroupSet&) = delete;

    void reset();
    Level* nextLevel();
    LevelGroup* pickGroup();
    LevelGroup* findGroup(const std::string& name) const;
    void setAtmosphere(Atmosphere* atmosphere);
    void setSkin(LevelSkin* skin);
    void destroy();
    // Makes the clusters of the set's ".clusters" list; run by the set's closing load step, when
    // the groups hold their levels.
    void buildClusters();

    std::string key;
    std::string name;
    std::string startGroup;
    std::string startAtmosphere;
    std::string startCamera;
    std::string defaultSkin;
    std::string musicFile;
    std::vector<LevelGroup*> groups;      // owned
    std::vector<LevelCluster*> clusters;  // owned
    LevelCluster* currentCluster = nullptr;
    LevelGroup* currentGroup = nullptr;
    int32_t index = 0;
    float distance = 0;
    int32_t count = 0;

private:
    bool passes(LevelGroup* group);
    void readKeys(const std::string& section);
};

}  // namespace Zelvan

#pragma once
// The loader steps of a level group set: one that opens the set's loading (every pooled level
// free), one per level of its groups, and one that closes it (every pooled level taken).

#include <string>

#include "game/stage/ZelvanLoad.h"
#include "game/track/ZelvanLevelPool.h"

namespace Zelvan {

class Level;
class LevelGroup;
class LevelGroupSet;

class LoadLevelGroupSet : public Load {
public:
    LoadLevelGroupSet(LevelPool* pool_, bool begin_) : Load(0.0f), pool(pool_), begin(begin_ ? 1 : 0) {}
    // The closing step also makes the set's clusters (ZelvanLevelSet.cpp).
    bool load() override;

    LevelPool* pool;
    unsigned char begin;
    LevelGroupSet* set = nullptr;  // the set the closing step completes; not owned
};

// Asks the pool for a level and hands it to the group (Group::addLevel (Level*)). The group
// type is a parameter so the step does not tie the track's loading to the group's definition.
template <class Group>
class LoadLevelStep : public Load {
public:
    LoadLevelStep(LevelPool* pool_, Group* group_, const std::string& name_)
        : Load(1.0f), pool(pool_), group(group_), name(name_) {}
    bool load() override {
        Level* level = pool ? pool->getLevel(name) : nullptr;
        if (!level)
            return false;
        if (group)
            group->addLevel(level);
        return true;
    }

    LevelPool* pool;
    Group* group;
    std::string name;
};

using LoadLevel = LoadLevelStep<LevelGroup>;

}  // namespace Zelvan

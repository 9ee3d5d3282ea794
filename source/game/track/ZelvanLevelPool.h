#pragma once
// The cache of loaded levels. A level set's loading marks every pooled level free, asks for its
// levels by name (each request takes a level no earlier request of the set took, loading a new
// one when none is free) and marks them all taken again, so a scene is loaded only as often as
// one set needs it at once and later sets reuse what earlier sets loaded. The pool owns every
// level until destroy.

#include <string>
#include <vector>

class PSParticleSystem;
class World;

namespace Zelvan {

class Level;
class ProxyContainer;

class LevelPool {
public:
    struct Entry {
        Level* level = nullptr;  // owned
        bool inUse = false;
    };

    // None without a world.
    static LevelPool* create(World* world, PSParticleSystem* particleSystem, ProxyContainer* proxyContainer);
    LevelPool(World* world, PSParticleSystem* particleSystem, ProxyContainer* proxyContainer);
    ~LevelPool();
    LevelPool(const LevelPool&) = delete;
    LevelPool& operator=(const LevelPool&) = delete;

    // A free level of that name marked in use, else a newly loaded one; null when it cannot be
    // loaded (nothing is recorded then).
    Level* getLevel(const std::string& name);
    void markAllUnused();
    void markAllUsed();
    void setParticleSystem(PSParticleSystem* particleSystem);
    // Deletes every level.
    void destroy();

    World* world = nullptr;
    PSParticleSystem* particleSystem = nullptr;
    ProxyContainer* proxyContainer = nullptr;
    std::vector<Entry> entries;
};

}  // namespace Zelvan

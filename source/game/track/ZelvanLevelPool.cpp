#include "game/track/ZelvanLevelPool.h"

#include "game/track/ZelvanLevel.h"

namespace Zelvan {

LevelPool* LevelPool::create(World* world, PSParticleSystem* particleSystem, ProxyContainer* proxyContainer) {
    return world ? new LevelPool(world, particleSystem, proxyContainer) : nullptr;
}

LevelPool::LevelPool(World* world_, PSParticleSystem* particleSystem_, ProxyContainer* proxyContainer_)
    : world(world_), particleSystem(particleSystem_), proxyContainer(proxyContainer_) {}

LevelPool::~LevelPool() { destroy(); }

Level* LevelPool::getLevel(const std::string& name) {
    for (Entry& entry : entries)
        if (!entry.inUse && entry.level->getName() == name) {
            entry.inUse = true;
            return entry.level;
        }
    Level* level = Level::load(world, particleSystem, proxyContainer, name);
    if (!level)
        return nullptr;
    entries.push_back({level, true});
    return level;
}

void LevelPool::markAllUnused() {
    for (Entry& entry : entries)
        entry.inUse = false;
}

void LevelPool::markAllUsed() {
    for (Entry& entry : entries)
        entry.inUse = true;
}

void LevelPool::setParticleSystem(PSParticleSystem* system) {
    if (system == particleSystem)
        return;
    particleSystem = system;
    for (Entry& entry : entries)
        entry.level->setParticleSystem(system);
}

void LevelPool::destroy() {
    for (Entry& entry : entries)
        delete entry.level;
    entries.clear();
}

}  // namespace Zelvan

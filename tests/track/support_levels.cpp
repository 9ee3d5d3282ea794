#include "support_levels.h"

#include <cstdlib>

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine/sound/sfx.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanActor.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelPool.h"
#include "game/track/ZelvanProxyContainer.h"

namespace leveltest {

SampleLevelWorld::SampleLevelWorld() {
    setenv("ALSOFT_DRIVERS", "null", 0);
    _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _documents.path()));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    frameTime().dt = 1.0f / 60.0f;

    ConfigStore& config = ConfigStore::instance();
    config.resetForTests();
    config.loadMainFile("configs/config.txt");
    SfxInitParams p;
    p.maxVoices = 16;
    sfx_Init(p);
    SoundInterface::get().loadData("configs/sound.txt");
    motherRandom().seed(1234);

    world = new World(1);
    Zelvan::registerActorClasses(world);
    particles = world->createParticleSystem("particles");
    if (particles)
        particles->_eventHandler = this;
    proxies = Zelvan::ProxyContainer::create();
    proxies->load(world, "object");
    proxies->reset();
    pool = Zelvan::LevelPool::create(world, particles, proxies);
}

SampleLevelWorld::~SampleLevelWorld() {
    // Levels let go of the particle system before it goes; then the world with every scene.
    pool->setParticleSystem(nullptr);
    if (particles)
        particles->_eventHandler = nullptr;
    delete pool;
    delete proxies;
    if (particles)
        world->destroyParticleSystem(particles);
    delete world;
    sfx_Shutdown();
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
}

void SampleLevelWorld::onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) {
    ++released;
    for (const Zelvan::LevelPool::Entry& entry : pool->entries)
        if (entry.level->onParticleFinished(emitter, system))
            return;
}

void SampleLevelWorld::append(Zelvan::Level* level, const Matrix4& placement, int frames) {
    level->onRoad = true;
    level->show();
    level->resetObjects();
    level->setWorldMatrix(placement);
    level->removeProxyObjects();
    level->placeProxyObjects(true);
    level->showActors(false);
    level->enablePhysics();
    level->stopCamera();
    level->startActors();
    level->startCamera();
    level->startConductors();
    for (int i = 0; i < frames; ++i) {
        level->update(frameTime().dt);
        frame();
    }
}

void SampleLevelWorld::drop(Zelvan::Level* level) {
    level->onRoad = false;
    level->hide();
    level->stopCamera();
    level->stopActors();
    level->stopNearActors();
    level->disablePhysics();
    level->destroyPhysics();
    level->removeProxyObjects();
    const std::vector<Zelvan::Actor*> items = level->items;
    for (Zelvan::Actor* item : items)
        level->removeItem(item);
}

void SampleLevelWorld::frame() {
    world->update();
    if (particles)
        particles->update(frameTime().dt, world->getCamera());
}

size_t SampleLevelWorld::pooledInUse() const {
    size_t n = 0;
    for (ObjectPool* p : world->_pools)
        n += p->_inUse.size();
    for (Scene* scene : world->_scenes)
        for (ObjectPool* p : scene->_pools)
            n += p->_inUse.size();
    return n;
}

}  // namespace leveltest

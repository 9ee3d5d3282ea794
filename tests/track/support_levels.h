#pragma once
// A world of the sample content for level tests and the level benchmark: the whole sample
// configuration, the actor classes, a particle system whose released emitters go to the levels,
// the proxy container loaded from "object" and a level pool.

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/render/PSParticleSystem.h"

class Object;
class World;

namespace Zelvan {
class Level;
class LevelPool;
class ProxyContainer;
}  // namespace Zelvan

namespace leveltest {

class SampleLevelWorld : public IPSEventHandler {
public:
    SampleLevelWorld();
    ~SampleLevelWorld() override;

    void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override;

    // One visit as the road makes it, at the placement; then frames of the world.
    void append(Zelvan::Level* level, const Matrix4& placement, int frames);
    // The road leaving the level behind.
    void drop(Zelvan::Level* level);
    void frame();
    // Pooled objects handed out, over every pool of the world and of the level scenes.
    size_t pooledInUse() const;

    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    class IGame* _oldGame = nullptr;
    World* world = nullptr;
    PSParticleSystem* particles = nullptr;
    Zelvan::ProxyContainer* proxies = nullptr;
    Zelvan::LevelPool* pool = nullptr;
    int released = 0;
};

}  // namespace leveltest

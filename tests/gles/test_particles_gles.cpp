// The sample effect folders run in a world and drawn through the OpenGL ES back end: sparks show
// up in front of the camera while they live, the frame is empty again once they have died, and
// the owner hears the end of its emitter.

#include <gtest/gtest.h>

#include <memory>

#include "ParticleFixtures.h"
#include "engine/random.h"
#include "engine/render/Mesh.h"
#include "engine/render/PSParticleSystem.h"
#include "engine_game/Camera.h"
#include "engine_game/World.h"
#include "support_gles.h"

namespace glestest {
namespace {

class ParticlePixels : public GlesTest {
protected:
    void SetUp() override {
        GlesTest::SetUp();
        if (HasFatalFailure()) return;
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _documents.path()));
        world.reset(new World(0));
        camera = new Camera(nullptr);
        camera->setPerspective(60, 1, 0.1f, 100);  // at the origin, looking down -Z
        world->setCamera(camera);
        motherRandom().seed(5);
    }
    void TearDown() override {
        if (world) {
            for (PSParticleSystem* system : systems)
                world->destroyParticleSystem(system);
            delete camera;
            world.reset();
        }
        _stores.reset();
        GlesTest::TearDown();
    }

    PSParticleSystem* load(const char* name) {
        PSParticleSystem* system = world->createParticleSystem(name);
        if (system) systems.push_back(system);
        return system;
    }

    // One game frame: the fixed steps, the sprites, then the drawn frame.
    void tick(PSParticleSystem* system) {
        system->update(1.0f / 60.0f, camera);
        system->buildGeometry();
        frame();
    }

    // Pixels of the screen brighter than the cleared background, and how many of them are warm.
    int litPixels(int* warm = nullptr) {
        screenPixel(0, 0);  // binds the screen's framebuffer
        const std::vector<uint8_t> rgba = EglHeadless::readPixels(0, 0, kWidth, kHeight);
        int lit = 0, hot = 0;
        for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
            if (rgba[i] + rgba[i + 1] + rgba[i + 2] > 24) {
                ++lit;
                hot += rgba[i] > rgba[i + 2] ? 1 : 0;
            }
        }
        if (warm) *warm = hot;
        return lit;
    }

    std::unique_ptr<World> world;
    Camera* camera = nullptr;
    std::vector<PSParticleSystem*> systems;

private:
    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
};

TEST_F(ParticlePixels, SparksAreDrawnWhileTheyLiveAndTheOwnerHearsTheEnd) {
    PSParticleSystem* system = load("particles");
    ASSERT_NE(system, nullptr);
    particlefixtures::ReleaseLog handler;
    system->_eventHandler = &handler;

    tick(system);
    EXPECT_EQ(litPixels(), 0);

    PSEmitter* sparks = system->addEmitter(Vector3(0, 0, -4), "sparks");
    ASSERT_NE(sparks, nullptr);
    for (int i = 0; i < 8; ++i)
        tick(system);
    EXPECT_GT(system->particleCount(), 10);
    int warm = 0;
    const int lit = litPixels(&warm);
    EXPECT_GT(lit, 100);
    EXPECT_GT(warm, lit / 2);  // hot white-yellow sparks through a warm glow texture
    EXPECT_GT(render->drawCalls, 0u);

    int frames = 0;
    while (handler.released.empty() && frames < 600) {
        tick(system);
        ++frames;
    }
    EXPECT_EQ(handler.released, std::vector<PSEmitter*>{sparks});
    EXPECT_EQ(handler.systems, std::vector<PSParticleSystem*>{system});
    EXPECT_EQ(system->particleCount(), 0);
    tick(system);
    EXPECT_EQ(litPixels(), 0);
}

TEST_F(ParticlePixels, HiddenSystemsAndEmittersDrawNothing) {
    PSParticleSystem* system = load("particles");
    ASSERT_NE(system, nullptr);
    PSEmitter* smoke = system->addEmitter(Vector3(0.5f, 0, -3), "smoke");
    ASSERT_NE(smoke, nullptr);
    for (int i = 0; i < 20; ++i)
        tick(system);
    EXPECT_GT(litPixels(), 0);
    smoke->_visible = false;
    tick(system);
    EXPECT_EQ(litPixels(), 0);
    smoke->_visible = true;
    system->visible = false;
    tick(system);
    EXPECT_EQ(litPixels(), 0);
}

TEST_F(ParticlePixels, EverySampleSetLoadsCleanly) {
    LogLines log;
    for (const char* name : {"particles", "particles_weather"}) {
        PSParticleSystem* system = load(name);
        ASSERT_NE(system, nullptr) << name;
        EXPECT_FALSE(system->_emitterTypes.empty()) << name;
        tick(system);  // emitters with an offset need the camera first
        for (const PSEmitterType& type : system->_emitterTypes) {
            EXPECT_FALSE(type.layers.empty()) << name << " " << type.name;
            PSEmitter* e = system->addEmitter(Vector3(0, 0, -6), type.name);
            ASSERT_NE(e, nullptr) << type.name;
        }
        for (int i = 0; i < 30; ++i)
            tick(system);
        EXPECT_GT(system->particleCount(), 0) << name;
        EXPECT_GT(litPixels(), 0) << name;
        system->removeAllEmitters();
    }
    EXPECT_EQ(log.count("ERROR"), 0);
    if (log.count("ERROR"))
        for (const std::string& line : log.lines)
            ADD_FAILURE() << line;
    // A missing folder is no system at all.
    EXPECT_EQ(world->createParticleSystem("no_such_effects"), nullptr);
}

}  // namespace
}  // namespace glestest

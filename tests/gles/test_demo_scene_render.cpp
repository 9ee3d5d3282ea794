// The sample demo scene drawn through the OpenGL ES back end: loaded, simulated for a second,
// picked and rendered to pixels.

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Body.h"
#include "engine_game/Camera.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "support_gles.h"

namespace glestest {
namespace {

class DemoSceneRender : public GlesTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        GlesTest::SetUp();
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _docs.path()));
        frameTime().dt = 1.0f / 60.0f;
    }
    void TearDown() override {
        delete _world;  // before the renderer and its targets go
        _world = nullptr;
        // The resource cache forgets fonts without freeing them.
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        frameTime().dt = 0;
        _stores.reset();
        GlesTest::TearDown();
    }

    testsupport::TempDir _docs;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    World* _world = nullptr;
};

bool same(const Rgba& a, const Rgba& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

TEST_P(DemoSceneRender, LoadsSimulatesPicksAndDraws) {
    _world = new World(1);
    Scene* scene = _world->loadScene(GetParam(), 1, 0);
    ASSERT_NE(_world->getCamera(), nullptr);
    Object* crate = scene->findObject("Crate");
    ASSERT_NE(crate, nullptr);
    ASSERT_NE(crate->_physicsBody, nullptr);
    static_cast<Body*>(crate->_physicsBody)->setType(Body::Dynamic);

    for (int frame = 0; frame < 60; ++frame)
        _world->update();
    EXPECT_NEAR(crate->getWorldPosition().z, 0.5f, 0.05f);

    std::vector<RayHit> hits;
    _world->pick(hits, 0.5f, 0.5f, -1, nullptr);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].node, crate);

    ResourceManager::instance().uploadAll();
    frame();
    const Rgba sky = screenPixel(kWidth / 2, kHeight - 2);
    const Rgba centre = screenPixel(kWidth / 2, kHeight / 2);
    const Rgba ground = screenPixel(8, 8);
    EXPECT_FALSE(same(centre, sky)) << "the crate is drawn where the camera looks";
    EXPECT_FALSE(same(ground, sky)) << "the ground fills the bottom of the view";
    EXPECT_GT(render->drawCalls, 5u);

    // Hidden, the scene leaves the screen to the clear colour.
    scene->hide();
    frame();
    EXPECT_TRUE(same(screenPixel(kWidth / 2, kHeight / 2), sky));
    EXPECT_TRUE(same(screenPixel(8, 8), sky));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, DemoSceneRender, ::testing::Values("scenes/demo.txt", "scenes/demo.bin"));

}  // namespace
}  // namespace glestest

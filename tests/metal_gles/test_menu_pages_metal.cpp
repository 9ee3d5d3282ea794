// The sample interface pages drawn through the Metal renderer on the stand-in: every page draws
// its panels, buttons, progress bars and texts with the interface shader classes, with valid
// uniforms and vertices in the layout those classes read.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MetalTestSupport.h"
#include "TestSupport.h"
#include "engine/clock.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"

using namespace metaltest;

namespace {

class MenuPagesMetal : public MetalRenderTest {
protected:
    void SetUp() override {
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _docs.path()));
        frameTime().dt = 1.0f / 60.0f;
        MetalRenderTest::SetUp();
    }
    void TearDown() override {
        world.reset();  // before the renderer and its targets go
        MetalRenderTest::TearDown();
        frameTime().dt = 0;
        _stores.reset();
    }

    // The page in a world of its own behind the title page's camera, its items at rest.
    void load(const std::string& panel) {
        world.reset(new World(0));
        world->_textScale = 0.3f;
        Scene* title = world->loadScene("scenes/menu/loading.bin", 0, 0);
        ASSERT_NE(title, nullptr);
        Scene* page = title;
        if (panel != "loading") {
            title->hide();
            page = world->loadScene("scenes/menu/" + panel + ".bin", 0, 0);
            ASSERT_NE(page, nullptr);
        }
        for (KeyFramePlayer* player : page->_animations) {
            player->_playing = 0;
            player->setFrame(6);
        }
        world->update();
        render->createRenderTargets();
        ResourceManager::instance().uploadAll();
    }

    std::unique_ptr<World> world;

private:
    testsupport::TempDir _docs;
    std::unique_ptr<testsupport::ScopedStores> _stores;
};

TEST_F(MenuPagesMetal, EveryPageDrawsWithTheInterfaceShaders) {
    for (const char* panel : {"loading", "main", "tutorial", "options", "credits", "shop", "map", "mission", "hud",
                              "pause", "revive", "surprise", "results", "message"}) {
        SCOPED_TRACE(panel);
        load(panel);
        mtl::CommandBufferPtr cb = drawFrame();
        ASSERT_TRUE(cb);
        size_t draws = 0;
        for (const DrawAt& d : drawsOf(cb)) {
            ASSERT_TRUE(d.draw->pipeline);
            if (d.draw->pipeline->label() == "RenderTargetClear")
                continue;
            ++draws;
            EXPECT_TRUE(d.draw->errors.empty()) << d.draw->pipeline->label() << ": " << d.draw->errors[0];
        }
        EXPECT_GT(draws, 0u);
        EXPECT_FALSE(drawsWith(cb, "materials/menu/flat.txt").empty());
        EXPECT_FALSE(drawsWith(cb, "materials/fonts/dejavu_sans.txt").empty()) << "its texts are drawn";
    }
    EXPECT_FALSE(drawsWith(drawFrame(), "materials/menu/flat.txt").empty());
    render->device->waitGpuIdle();
    EXPECT_EQ(render->device->validationErrorCount(), 0u)
        << (render->device->validationErrors().empty() ? "" : render->device->validationErrors()[0]);
    EXPECT_FALSE(logContains("invalid vertex attributes"));
}

// The HUD's bars use the progress-bar shader class.
TEST_F(MenuPagesMetal, ProgressBarsDrawWithTheirShader) {
    load("hud");
    EXPECT_FALSE(drawsWith(drawFrame(), "materials/menu/progressbar.txt").empty());
    render->device->waitGpuIdle();
    EXPECT_EQ(render->device->validationErrorCount(), 0u);
}

}  // namespace

// The sample interface pages drawn through the OpenGL ES back end with the interface camera of
// the title page: every page draws, and no two pages look alike. With ZELVAN_PAGE_SHOTS set to a
// folder, each page is also written there as a PNG to look at.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/gles2/EglHeadless.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "support_gles.h"
#include "writer/PageContent.h"
#include "writer/PngWriter.h"

namespace glestest {
namespace {

class MenuPagesRender : public GlesTest {
protected:
    void SetUp() override {
        GlesTest::SetUp();
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _docs.path()));
        frameTime().dt = 1.0f / 60.0f;
    }
    void TearDown() override {
        delete _world;
        _world = nullptr;
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        frameTime().dt = 0;
        _stores.reset();
        GlesTest::TearDown();
    }

    // The page drawn alone, every item at rest in its place (the end of its "in" animation).
    std::vector<uint8_t> draw(const std::string& panel) {
        delete _world;
        _world = new World(0);
        _world->_textScale = 0.3f;  // the interface world's object scale
        Scene* title = _world->loadScene(contentwriter::pagePath("loading"), 0, 0);
        EXPECT_NE(_world->getCamera(), nullptr);
        Scene* page = title;
        if (panel != "loading") {
            title->hide();
            page = _world->loadScene(contentwriter::pagePath(panel), 0, 0);
        }
        EXPECT_NE(page, nullptr);
        for (KeyFramePlayer* player : page->_animations) {
            player->_playing = 0;
            player->setFrame(6);
        }
        _world->update();
        ResourceManager::instance().uploadAll();
        frame();
        glBindFramebuffer(GL_FRAMEBUFFER, (GLuint)std::max(render->defaultFramebuffer, 0));
        return EglHeadless::readPixels(0, 0, kWidth, kHeight);
    }

    testsupport::TempDir _docs;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    World* _world = nullptr;
};

TEST_F(MenuPagesRender, EveryPageDrawsAndLooksDifferent) {
    const char* panels[] = {"loading", "main",    "tutorial", "options", "credits",  "shop",    "map",
                            "mission", "hud",     "pause",    "revive",  "surprise", "results", "message"};
    const char* shots = std::getenv("ZELVAN_PAGE_SHOTS");
    std::vector<std::vector<uint8_t>> images;
    const std::vector<uint8_t> empty = [&] {
        delete _world;
        _world = new World(0);
        frame();
        glBindFramebuffer(GL_FRAMEBUFFER, (GLuint)std::max(render->defaultFramebuffer, 0));
        return EglHeadless::readPixels(0, 0, kWidth, kHeight);
    }();
    for (const char* panel : panels) {
        images.push_back(draw(panel));
        EXPECT_NE(images.back(), empty) << panel << " draws nothing";
        if (shots)
            contentwriter::writePng(std::string(shots) + "/" + panel + ".png", kWidth, kHeight, true, images.back());
    }
    for (size_t a = 0; a < images.size(); ++a)
        for (size_t b = a + 1; b < images.size(); ++b)
            EXPECT_NE(images[a], images[b]) << panels[a] << " and " << panels[b] << " look the same";
}

}  // namespace
}  // namespace glestest

// The whole path on Mesa with the sample content: a lit, textured mesh (the model shader over the
// checker texture) drawn by a camera into an off-screen target, then a bright pass and a
// combining pass to the screen. Set ZELVAN_PNG_DIR to also write the frame as a PNG there.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/render/Material.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "support_gles.h"

namespace glestest {
namespace {

class PostChain : public GlesTest {
protected:
    PostChain() : stores(testsupport::contentDir(), documents.path()), camera(nullptr), lamp(nullptr) {}

    void SetUp() override {
        GlesTest::SetUp();
        if (HasFatalFailure()) return;
        // Drawn in list order: every new target goes to the front.
        final = screen("finalPass");
        bright = offscreen("brightpass", kWidth, kHeight, RenderTarget::FlagColourBuffer | RenderTarget::FlagColourTexture);
        game = offscreen("game", kWidth, kHeight,
                         RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer | RenderTarget::FlagColourTexture);
        camera.setPerspective(60, 1, 0.1f, 100);
        game->_camera = &camera;

        Material* model = ResourceManager::instance().getMaterial("materials/model.txt");
        ASSERT_NE(model, nullptr);
        ASSERT_NE(model->_shader, nullptr);
        ASSERT_NE(model->_shader->_program, nullptr) << "the sample model shader does not build";
        quad = mesh(geometry(makeQuad(-1, -1, 1, 1)), model);
        quad->_worldMatrix = Matrix4::translation(Vector3(0, 0, -2));
        quad->_lights[0] = &lamp;
        game->addMesh(quad);

        brightEffect = bright->addPostEffect(game, "brightpass");
        combineEffect = final->addPostEffect(bright, "combine");
        ASSERT_NE(brightEffect->_material, nullptr);
        ASSERT_NE(combineEffect->_material, nullptr);
        ASSERT_NE(combineEffect->_material->_shader->_program, nullptr);
        // The scene itself is the combining pass's second texture.
        combineEffect->_material->_textures.push_back(game->_colourTexture);
        brightEffect->setUniformFloat("hdrBrightThres", 0.5f);
        brightEffect->setUniformFloat("hdrBrightOffset", 0.0f);
        combineEffect->setUniformFloat("hdrExposure", 1.0f);
        combineEffect->setUniformFloat("hdrEnableTonemap", 0.0f);
        render->createRenderTargets();
    }
    void TearDown() override {
        game->removeMesh(quad);
        GlesTest::TearDown();
    }

    // The screen pixel that shows a point of the quad (quad coordinates -1..1).
    void pixelOf(float x, float y, int& px, int& py) {
        Vector3 p = quad->_worldMatrix.transformPoint(Vector3(x, y, 0));
        camera.project(p);
        px = (int)((p.x + 1) * 0.5f * kWidth);
        py = (int)((p.y + 1) * 0.5f * kHeight);
    }

    testsupport::TempDir documents;
    testsupport::ScopedStores stores;
    Camera camera;
    Light lamp;
    RenderTarget* final = nullptr;
    RenderTarget* bright = nullptr;
    RenderTarget* game = nullptr;
    Mesh* quad = nullptr;
    RenderTarget::RenderTargetMesh* brightEffect = nullptr;
    RenderTarget::RenderTargetMesh* combineEffect = nullptr;
};

// Texture coordinate u or v at the centre of checker texel t (16 texels).
float quadCoordinate(int texel) { return (texel + 0.5f) / 16.0f * 2.0f - 1.0f; }

TEST_F(PostChain, ALitTexturedMeshGoesThroughTwoPassesToTheScreen) {
    // Checker cells are 4 texels: cell (1, 2) is light (200), cell (2, 2) dark (90).
    int lightX, lightY, darkX, darkY;
    pixelOf(quadCoordinate(6), quadCoordinate(10), lightX, lightY);
    pixelOf(quadCoordinate(10), quadCoordinate(10), darkX, darkY);

    struct Case {
        const char* what;
        Vector3 lampAt;
        float energy;
        int light, dark;  // expected scene values: albedo x (diffuse x energy + emit 0.3)
    };
    const Case cases[] = {
        {"lamp in front", {0, 0, 5}, 0.5f, 160, 72},
        {"lamp off", {0, 0, 5}, 0.0f, 60, 27},
        {"lamp behind", {0, 0, -10}, 0.5f, 60, 27},
    };
    for (const Case& c : cases) {
        lamp.setPosition(c.lampAt);
        lamp._energy = c.energy;
        frame();
        const Rgba sceneLight = targetPixel(game, lightX, lightY);
        const Rgba sceneDark = targetPixel(game, darkX, darkY);
        EXPECT_TRUE(near(sceneLight, Rgba{c.light, c.light, c.light, 255}, 4)) << c.what;
        EXPECT_TRUE(near(sceneDark, Rgba{c.dark, c.dark, c.dark, 255}, 4)) << c.what;
        // Bright pass: what lies above 0.5; combined: the scene plus that.
        const int glow = std::max(0, c.light - 128);
        EXPECT_TRUE(near(targetPixel(bright, lightX, lightY), Rgba{glow, glow, glow, 255}, 4)) << c.what;
        EXPECT_TRUE(near(screenPixel(lightX, lightY), Rgba{c.light + glow, c.light + glow, c.light + glow, 255}, 5))
            << c.what;
        EXPECT_TRUE(near(screenPixel(darkX, darkY), Rgba{c.dark, c.dark, c.dark, 255}, 5)) << c.what;
        EXPECT_TRUE(near(screenPixel(2, 2), Rgba{0, 0, 0, 255})) << c.what;  // outside the mesh
    }
    EXPECT_EQ(render->drawCalls, 3u);

    if (const char* dir = std::getenv("ZELVAN_PNG_DIR")) {
        lamp.setPosition(Vector3(0, 0, 5));
        lamp._energy = 0.5f;
        frame();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        EXPECT_TRUE(EglHeadless::writePng(std::string(dir) + "/post_chain.png", kWidth, kHeight,
                                          EglHeadless::readPixels(0, 0, kWidth, kHeight)));
    }
}

}  // namespace
}  // namespace glestest

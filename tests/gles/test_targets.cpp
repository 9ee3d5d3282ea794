// Off-screen targets on Mesa: power-of-two attachments, drawing through the full-screen
// post-processing quad, and a framebuffer the device refuses.

#include <gtest/gtest.h>

#include <GLES2/gl2.h>

#include "engine/render/ResourceManager.h"
#include "support_gles.h"

namespace glestest {
namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};

// A bundle with a copying post-processing material.
class Targets : public GlesTest {
protected:
    Targets() : stores(bundle.path(), bundle.path()) {
        testsupport::writeFile(bundle.file("data/shaders/copy.shader"), std::string(kCopyShader));
        testsupport::writeFile(bundle.file("data/materials/copy.txt"),
                               std::string("shader = shaders/copy.shader\ncullMode = none\ndepthTest = false\n"));
    }
    void SetUp() override {
        GlesTest::SetUp();
        if (HasFatalFailure()) return;
        flat = shader("test/flat.shader", kFlatShader);
    }
    testsupport::TempDir bundle;
    testsupport::ScopedStores stores;
    Shader* flat = nullptr;
};

TEST_F(Targets, A300By200TargetGetsPowerOfTwoAttachmentsAndItsOwnViewport) {
    RenderTarget* t = offscreen("scene", 300, 200,
                                RenderTarget::FlagColourTexture | RenderTarget::FlagDepthBuffer | RenderTarget::FlagStencil);
    t->addMesh(mesh(geometry(makeQuad(-1, -1, 1, 1)), material(flat, {1, 0, 0, 1})));
    render->createRenderTargets();
    ASSERT_NE(t->_framebuffer, nullptr);
    auto* fb = static_cast<DeviceFramebuffer*>(t->_framebuffer);
    GLint w = 0, h = 0;
    glBindRenderbuffer(GL_RENDERBUFFER, fb->depthRenderbuffer);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &w);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 256);
    EXPECT_EQ(t->_colourTexture->_width, 512);
    EXPECT_EQ(t->_colourTexture->_height, 256);
    ASSERT_NE(t->_colourTexture->_deviceTexture, nullptr);

    render->beginFrame();
    render->beginRenderTarget(t);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 300);
    EXPECT_EQ(viewport[3], 200);
    render->finishRenderTarget(t);

    frame();
    EXPECT_TRUE(near(targetPixel(t, 0, 0), kRed));
    EXPECT_TRUE(near(targetPixel(t, 299, 199), kRed));
    EXPECT_TRUE(near(targetPixel(t, 310, 100), Rgba{0, 0, 0, 0}));  // cleared, outside the viewport
    EXPECT_TRUE(near(targetPixel(t, 100, 210), Rgba{0, 0, 0, 0}));
}

TEST_F(Targets, AnOffscreenTargetReachesTheScreenThroughThePostQuad) {
    RenderTarget* final = screen("final");
    RenderTarget* scene = offscreen("scene", 300, 200, RenderTarget::FlagColourBuffer | RenderTarget::FlagColourTexture);
    scene->addMesh(mesh(geometry(makeQuad(-1, -1, 0, 1)), material(flat, {1, 0, 0, 1})));
    scene->addMesh(mesh(geometry(makeQuad(0, -1, 1, 1)), material(flat, {0, 0, 1, 1})));
    RenderTarget::RenderTargetMesh* quad = final->addPostEffect(scene, "copy");
    ASSERT_NE(quad->_material, nullptr);
    ASSERT_EQ(render->targets.front(), scene);  // drawn before the screen
    frame();
    // The quad maps the used 300 x 200 corner of the 512 x 256 texture onto the whole screen.
    EXPECT_TRUE(near(screenPixel(64, 128), kRed));
    EXPECT_TRUE(near(screenPixel(192, 128), kBlue));
    EXPECT_TRUE(near(screenPixel(1, 1), kRed));
    EXPECT_TRUE(near(screenPixel(254, 254), kBlue));
    EXPECT_TRUE(near(screenPixel(126, 5), kRed, 40));
    EXPECT_EQ(render->drawCalls, 3u);
}

TEST_F(Targets, ARefusedFramebufferIsLoggedAndTheTargetDrawsToTheScreen) {
    RenderTarget* t = offscreen("nothing", 64, 64, 0);  // no attachment at all
    t->addMesh(mesh(geometry(makeQuad(-1, -1, 1, 1)), material(flat, {1, 0, 0, 1})));
    {
        LogLines log;
        render->createRenderTargets();
        EXPECT_EQ(log.count("failed to make complete framebuffer object 8cd7"), 1);
    }
    EXPECT_EQ(t->_framebuffer, nullptr);
    LogLines log;
    frame();  // tried again, then drawn into the default framebuffer
    EXPECT_EQ(log.count("failed to make complete framebuffer object"), 1);
    EXPECT_TRUE(near(screenPixel(10, 10), kRed));
}

}  // namespace
}  // namespace glestest

// Pixels drawn through the whole frame on Mesa: depth, blending, stencil, face culling and the
// colour mask before a target's clear. Quads are given in device coordinates (screen target,
// no camera), so pixel (x, y) of the 256 x 256 screen sees device point ((x + 0.5) / 128 - 1, ...).

#include <gtest/gtest.h>

#include "engine_game/Light.h"
#include "support_gles.h"

namespace glestest {
namespace {

const Rgba kBlack{0, 0, 0, 0};
const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kYellow{255, 255, 0, 255};

class Pixels : public GlesTest {
protected:
    void SetUp() override {
        GlesTest::SetUp();
        if (HasFatalFailure()) return;
        flat = shader("test/flat.shader", kFlatShader);
        ASSERT_NE(flat->_program, nullptr);
    }
    Mesh* quad(float x0, float y0, float x1, float y1, float z, Material* m, bool clockwise = false) {
        return mesh(geometry(makeQuad(x0, y0, x1, y1, z, clockwise)), m);
    }
    Shader* flat = nullptr;
};

TEST_F(Pixels, NearerFragmentsWinAndDepthTestOffDrawsOver) {
    RenderTarget* t = screen();
    t->addMesh(quad(-1, -1, 1, 1, 0.5f, material(flat, {1, 0, 0, 1}, BlendNone, 0)));    // red, everywhere
    t->addMesh(quad(-1, -1, 0, 1, -0.5f, material(flat, {0, 1, 0, 1}, BlendNone, 1)));   // green, nearer, left
    t->addMesh(quad(0, -1, 1, 1, 0.9f, material(flat, {0, 0, 1, 1}, BlendNone, 2)));     // blue, farther, right
    Material* overlay = material(flat, {1, 1, 0, 1}, BlendNone, 3);
    overlay->_depthTest = 0;
    t->addMesh(quad(-1, 0.5f, 1, 1, 0.99f, overlay));  // yellow, top quarter, no depth test
    frame();
    EXPECT_TRUE(near(screenPixel(64, 64), kGreen));
    EXPECT_TRUE(near(screenPixel(192, 64), kRed));
    EXPECT_TRUE(near(screenPixel(64, 230), kYellow));
    EXPECT_TRUE(near(screenPixel(192, 230), kYellow));
    EXPECT_EQ(render->drawCalls, 4u);
    EXPECT_EQ(render->triangles, 8u);
}

TEST_F(Pixels, BlendModes) {
    RenderTarget* t = screen();
    t->addMesh(quad(-1, -1, 1, 1, 0, material(flat, {0.25f, 0.25f, 0.25f, 1})));
    // Left: alpha blend; right: additive; top left: premultiplied, which draws like alpha blend.
    t->addMesh(quad(-1, -1, 0, 0, 0, material(flat, {0, 0, 1, 0.5f}, BlendAlpha, 1)));
    t->addMesh(quad(0, -1, 1, 1, 0, material(flat, {0.5f, 0, 0, 1}, BlendAdditive, 2)));
    t->addMesh(quad(-1, 0, 0, 1, 0, material(flat, {0, 0, 1, 0.5f}, BlendPremultAlpha, 3)));
    frame();
    const Rgba halfBlue{32, 32, 160, 191};  // 0.25 * 0.5 + (0, 0, 1) * 0.5; alpha 0.5 * 0.5 + 1 * 0.5
    EXPECT_TRUE(near(screenPixel(64, 64), halfBlue));
    EXPECT_TRUE(near(screenPixel(64, 192), halfBlue));
    EXPECT_TRUE(near(screenPixel(192, 128), Rgba{191, 64, 64, 255}));
}

TEST_F(Pixels, StencilMasksAndIsClearedEveryFrame) {
    struct Case {
        uint32_t flags;
        bool masked;
    };
    const Case cases[] = {{RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer | RenderTarget::FlagStencil, true},
                          {RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer, false}};
    for (const Case& c : cases) {
        RenderTarget* t = screen();
        t->_flags = c.flags;
        Material* invisible = material(flat, {1, 0, 0, 1}, BlendNone, 0);
        invisible->_colorWrite = 0;
        invisible->_depthWrite = 0;
        Mesh* writer = quad(-0.5f, -0.5f, 0.5f, 0.5f, 0, invisible);
        writer->_stencilWrite = 1;
        Mesh* tester = quad(-1, -1, 1, 1, 0, material(flat, {0, 1, 0, 1}, BlendNone, 1));
        // Testing and writing at once after a writer leaves the stencil mask at 0 while the
        // write cache stays on; the next clear must still reach the stencil.
        tester->_stencilTest = 1;
        tester->_stencilWrite = 1;
        t->addMesh(writer);
        t->addMesh(tester);
        frame();
        EXPECT_TRUE(near(screenPixel(128, 128), kGreen));
        EXPECT_TRUE(near(screenPixel(10, 10), c.masked ? kBlack : kGreen)) << "flags " << c.flags;

        writer->_hidden = 1;
        frame();
        EXPECT_TRUE(near(screenPixel(128, 128), c.masked ? kBlack : kGreen)) << "flags " << c.flags;
        t->_disabled = 1;  // the next case draws its own target
    }
}

TEST_F(Pixels, FaceCullingFollowsTheMaterial) {
    struct Case {
        int cullMode;
        bool clockwise;
        bool drawn;
    };
    const Case cases[] = {
        {CullBack, false, true}, {CullBack, true, false}, {CullFront, true, true},
        {CullFront, false, false}, {CullNone, true, true}, {CullNone, false, true},
    };
    for (const Case& c : cases) {
        RenderTarget* t = screen();
        Material* m = material(flat, {1, 0, 0, 1});
        m->_cullMode = c.cullMode;
        t->addMesh(quad(-1, -1, 1, 1, 0, m, c.clockwise));
        frame();
        EXPECT_TRUE(near(screenPixel(128, 128), c.drawn ? kRed : kBlack))
            << "cull mode " << c.cullMode << (c.clockwise ? " clockwise" : " counter-clockwise");
        t->_disabled = 1;
    }
}

TEST_F(Pixels, TheClearReachesColourAfterAMaterialThatTurnedColourWritesOff) {
    RenderTarget* t = screen();
    Mesh* red = quad(-1, -1, 1, 1, 0, material(flat, {1, 0, 0, 1}, BlendNone, 0));
    Material* depthOnly = material(flat, {0, 0, 1, 1}, BlendNone, 1);
    depthOnly->_colorWrite = 0;
    t->addMesh(red);
    t->addMesh(quad(-0.2f, -0.2f, 0.2f, 0.2f, 0, depthOnly));  // drawn last: colour writes stay off
    frame();
    EXPECT_TRUE(near(screenPixel(128, 128), kRed));
    EXPECT_FALSE(render->colorWriteOn);
    red->_hidden = 1;
    frame();
    EXPECT_TRUE(near(screenPixel(10, 10), kBlack));
}

TEST_F(Pixels, AnEmptyLightSlotDoesNotKeepThePreviousMeshsLight) {
    // A shader that shows its first light's colour.
    Shader* lightShader = shader("test/light.shader", R"(
#ifdef GL_ES
precision mediump float;
#endif
#ifdef VERTEX_SHADER
attribute vec3 vertPos;
uniform mat4 worldMat;
void main() { gl_Position = worldMat * vec4(vertPos, 1.0); }
#endif
#ifdef FRAGMENT_SHADER
uniform vec3 light0Color;
void main() { gl_FragColor = vec4(light0Color, 1.0); }
#endif
)");
    ASSERT_NE(lightShader->_program, nullptr);
    RenderTarget* t = screen();
    Light lamp(nullptr);
    lamp._lightColor = Vector3(1, 0, 0);
    lamp.setPosition(Vector3(0, 0, 5));
    Material* m = material(lightShader);
    Mesh* lit = quad(-1, -1, 0, 1, 0, m);
    Mesh* unlit = quad(0, -1, 1, 1, 0, m);
    lit->_lights[0] = &lamp;
    t->addMesh(unlit);
    t->addMesh(lit);  // a geometry of its own: the chain's new head, drawn first
    frame();
    EXPECT_TRUE(near(screenPixel(64, 128), kRed));
    EXPECT_TRUE(near(screenPixel(192, 128), Rgba{0, 0, 0, 255}));
}

}  // namespace
}  // namespace glestest

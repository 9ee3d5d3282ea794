#pragma once
// Helpers of the OpenGL ES pixel tests: the one headless context of the process, a renderer per
// test, quads in device coordinates, small shaders written by the test, pixel reads.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DrawFixtures.h"
#include "TestSupport.h"
#include "engine/math.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/gles2/EglHeadless.h"
#include "engine/render/gles2/OpenGLES2Render.h"

namespace glestest {

const int kWidth = 256;
const int kHeight = 256;

// Colour packed red in the low byte, as EglHeadless::readPixel gives it.
struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
};
Rgba unpack(uint32_t packed);
// Each channel within tolerance of the expected one (0..255).
::testing::AssertionResult near(const Rgba& got, const Rgba& want, int tolerance = 3);

// A quad from (x0, y0) to (x1, y1) at depth z in the four standard attributes; texture
// coordinates 0..1 across it, normal +Z. Counter-clockwise (front-facing) unless clockwise.
Geometry* makeQuad(float x0, float y0, float x1, float y1, float z = 0, bool clockwise = false);

// Shader texts of the tests.
using drawfixtures::kFlatShader;          // color * meshColor through the three matrices
extern const char* const kCopyShader;     // tex0 on a quad already in clip space
extern const char* const kTexturedShader; // tex0 * meshColor through the three matrices

using LogLines = testsupport::LogCapture;
using testsupport::FixedSizeGame;

// A renderer on the process's headless context, with everything a test makes released after it.
class GlesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A shader from text, built now and cached in the resource manager under name.
    Shader* shader(const std::string& name, const char* source);
    Material* material(Shader* shader, Vector4 colour = Vector4(1, 1, 1, 1), int blendMode = BlendNone,
                       int orderID = 0);
    Geometry* geometry(Geometry* g);
    Mesh* mesh(Geometry* g, Material* m);
    // The screen target (the pbuffer) with the host size.
    RenderTarget* screen(const std::string& name = "screen");
    // An off-screen target of the given size and buffers.
    RenderTarget* offscreen(const std::string& name, uint16_t w, uint16_t h, uint32_t flags);
    void frame();

    // A pixel of the screen or of a target's framebuffer, GL coordinates (y up).
    Rgba screenPixel(int x, int y);
    Rgba targetPixel(RenderTarget* target, int x, int y);

    OpenGLES2Render* render = nullptr;
    EglHeadless* context = nullptr;

private:
    std::unique_ptr<FixedSizeGame> _game;
    std::vector<std::unique_ptr<RenderTarget>> _targets;
    std::vector<std::unique_ptr<Material>> _materials;
    std::vector<std::unique_ptr<Geometry>> _geometries;
    std::vector<std::unique_ptr<Mesh>> _meshes;
};

}  // namespace glestest

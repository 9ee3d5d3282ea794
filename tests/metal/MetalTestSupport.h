#pragma once
// Helpers of the Metal back-end tests: log capture, the host size, a stand-in for the platform's
// Metal view that runs one display refresh, small geometries and materials built in code.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/MetalRender/MetalRender.h"
#include "engine/plat_linux/metal/Metal.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"

namespace metaltest {

// Log lines written since the last clear (every test binary of this folder captures them;
// assertion lines also go to stderr for death tests).
std::vector<std::string>& logLines();
void clearLog();
bool logContains(const std::string& text);
int logCount(const std::string& text);

// The host's logical screen size, read for the screen target.
void setHostSize(float width, float height);

// What the platform's Metal view does once per display refresh: ask for a drawable, make the
// render pass (colour cleared to black and stored, a depth texture of the drawable's size that
// is neither loaded nor stored), beginDrawable, the game's drawing (only with a drawable),
// presentDrawable.
class ViewStandin {
public:
    ViewStandin(const mtl::DevicePtr& device, uint32_t width, uint32_t height);
    mtl::RenderPassDescriptorPtr descriptorFor(const mtl::DrawablePtr& drawable);
    // Returns the frame's command buffer.
    mtl::CommandBufferPtr frame(const std::function<void()>& draw);

    mtl::MetalLayer layer;
    mtl::TexturePtr depth;
    mtl::DrawablePtr lastDrawable;
};

// A dynamic geometry (its content may change every frame).
class DynamicGeometry : public Geometry {
public:
    bool isDynamic() const override { return true; }
};

// A quad of 4 vertices and 6 indices in the layout of the shader classes: position, texture
// coordinates and normal as floats, then the colour as four bytes or as three floats.
// Vertex i has the position (x0 + i, 0, 0).
Geometry* makeQuad(bool floatColour, bool dynamic = false, float x0 = 0);
// A material drawn with the registered shader class of shaderFile.
Material* makeMaterial(const std::string& name, const char* shaderFile, int blendMode = BlendNone);

// Every draw of a command buffer, with the encoder it belongs to.
struct DrawAt {
    const mtl::RenderCommandEncoder* encoder;
    const mtl::DrawRecord* draw;
};
std::vector<DrawAt> drawsOf(const mtl::CommandBufferPtr& commandBuffer);
// Draws that use a given pipeline label (the material's name, or "RenderTargetClear").
std::vector<DrawAt> drawsWith(const mtl::CommandBufferPtr& commandBuffer, const std::string& label);
// Command texts of an encoder that contain a part.
int commandCount(const mtl::RenderCommandEncoder& encoder, const std::string& part);

// A fresh renderer over the registered shader classes, with a 320 x 240 view.
class MetalRenderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Made here and freed after the test (geometries, materials, meshes).
    Geometry* quad(bool floatColour = false, bool dynamic = false, float x0 = 0);
    Material* material(const std::string& name, const char* shaderFile, int blendMode = BlendNone);
    // A mesh over the whole quad, placed at a position, linked into the target.
    Mesh* addMesh(RenderTarget* target, Geometry* geometry, Material* material, const Vector3& position);
    // The screen target (host size), and an off-screen target; both go to the front of the list.
    RenderTarget* screen();
    RenderTarget* offscreen(const char* name, uint16_t width, uint16_t height,
                            uint32_t flags = RenderTarget::FlagColourTexture | RenderTarget::FlagDepthBuffer);
    // Metal texture of an engine texture (none before upload).
    static mtl::TexturePtr metalTexture(Texture* texture);
    // Draws every target once inside one display refresh; returns the frame's command buffer.
    mtl::CommandBufferPtr drawFrame();
    // With the GPU held back, three frames are drawn and a fourth is started on a thread of its
    // own: it must wait until one step of the GPU completes the first. Checks that, releases the
    // GPU and returns the fourth frame's command buffer (null if it never came).
    mtl::CommandBufferPtr fourthFrameWaitsForTheFirst();

    MetalRender* render = nullptr;
    std::unique_ptr<ViewStandin> view;
    std::vector<Geometry*> geometries;
    std::vector<Material*> materials;
    std::vector<std::unique_ptr<Mesh>> meshes;
    std::vector<RenderTarget*> ownedTargets;
};

}  // namespace metaltest

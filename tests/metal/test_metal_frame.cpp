// The Metal renderer's frame: construction, frames in flight, render targets and their encoders,
// materials, geometry, and what it does with no encoder at all.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

#include "MetalTestSupport.h"
#include "TestSupport.h"
#include "engine/MetalRender/MetalShaderData.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/plat_linux/SystemAlert.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Shader.h"
#include "game/metal/MetalShaders.h"

using namespace metaltest;

namespace {

// beginDrawable of one more frame, on a thread of its own: it blocks while every lane is still in
// use. The caller joins the thread and finishes the frame with drawable and pass.
struct BeginOnThread {
    explicit BeginOnThread(ViewStandin& view)
        : drawable(view.layer.nextDrawable()), pass(view.descriptorFor(drawable)) {
        thread = std::thread([this] {
            MetalRender::beginDrawable(pass);
            began = true;
        });
    }
    mtl::DrawablePtr drawable;
    mtl::RenderPassDescriptorPtr pass;
    std::atomic<bool> began{false};
    std::thread thread;
};

class MetalFrame : public MetalRenderTest {};

TEST_F(MetalFrame, ConstructionFindsTheLibraryOrAlertsWhenTheShaderTextFailsToCompile) {
    EXPECT_EQ(Render::current(), render);
    EXPECT_EQ(render->cullMode, mtl::CullModeFront);
    EXPECT_EQ(render->depthPixelFormat, mtl::PixelFormatDepth32Float);
    EXPECT_EQ(render->inFlight->value(), 3);
    ASSERT_TRUE(render->library);

    testsupport::TempDir bundle;
    std::string oldBundle = platform::bundlePath();
    platform::setBundlePath(bundle.path());
    render->device->setHasDefaultLibrary(false);
    platform::clearAlerts();
    struct Case {
        const char* name;
        const char* metallib;      // nullptr: no file
        const char* shaderSource;  // nullptr: no file
        bool library;
        const char* alert;  // nullptr: no alert
    };
    const Case cases[] = {
        {"nothing in the bundle", nullptr, nullptr, false, nullptr},
        {"compiled library", "MTLB-library", nullptr, true, nullptr},
        {"shader text", nullptr, "vertex V SkyShaderVertexShader(uint v) {}", true, nullptr},
        {"shader text that fails", nullptr, "nothing to see", false, "Compilation failed"},
        {"text that is not UTF-8", nullptr, "\xff\xfe", false, nullptr},
    };
    for (const Case& c : cases) {
        std::remove(bundle.file("default.metallib").c_str());
        std::remove(bundle.file("metal.shaders").c_str());
        if (c.metallib)
            testsupport::writeFile(bundle.file("default.metallib"), std::string(c.metallib));
        if (c.shaderSource)
            testsupport::writeFile(bundle.file("metal.shaders"), std::string(c.shaderSource));
        platform::clearAlerts();
        MetalRender other;
        EXPECT_EQ((bool)other.library, c.library) << c.name;
        ASSERT_EQ(platform::alertsShown().size(), c.alert ? 1u : 0u) << c.name;
        if (c.alert) {
            const platform::AlertRecord& a = platform::alertsShown()[0];
            EXPECT_EQ(a.title, "Error");
            EXPECT_NE(a.message.find(c.alert), std::string::npos) << a.message;
            EXPECT_EQ(a.cancelButton, "OK");
            EXPECT_EQ(a.otherButton, "nil");
        }
    }
    platform::setBundlePath(oldBundle);
    render->device->setHasDefaultLibrary(true);
    Render::setCurrent(render);
}

TEST_F(MetalFrame, FramesWithoutADrawableGiveTheirPermitBackAtOnce) {
    screen();
    // No drawable: nothing is committed, the frame index still moves on, no frame ever waits.
    view->layer.setDrawablesAvailable(false);
    for (int i = 0; i < 5; ++i) {
        mtl::CommandBufferPtr cb = drawFrame();
        EXPECT_EQ(cb->status(), mtl::CommandBufferStatusNotEnqueued);
        EXPECT_EQ(render->frameIndex, (uint32_t)(i + 1) % 3);
    }
    EXPECT_EQ(render->inFlight->value(), 3);

    // A descriptor but no drawable to present: nothing to commit, and the permit comes back too.
    view->layer.setDrawablesAvailable(true);
    for (int i = 0; i < 5; ++i) {
        mtl::DrawablePtr d = view->layer.nextDrawable();
        MetalRender::beginDrawable(view->descriptorFor(d));
        mtl::CommandBufferPtr cb = render->commandBuffer;
        render->render();
        MetalRender::presentDrawable(nullptr, view->descriptorFor(d));
        EXPECT_EQ(cb->status(), mtl::CommandBufferStatusNotEnqueued);
        EXPECT_FALSE(render->encoder);
        EXPECT_FALSE(render->commandBuffer);
    }
    EXPECT_EQ(render->inFlight->value(), 3);
}

TEST_F(MetalFrame, AHeldBackGpuMakesTheFourthFrameWaitForTheFirst) {
    RenderTarget* s = screen();
    addMesh(s, quad(), material("crate", "shaders/model.shader"), Vector3(0, 0, 0));
    render->device->holdGpu();
    std::vector<mtl::CommandBufferPtr> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(drawFrame());
    for (auto& cb : frames)
        EXPECT_EQ(cb->status(), mtl::CommandBufferStatusCommitted);
    EXPECT_EQ(render->inFlight->value(), 0);

    BeginOnThread fourth(*view);
    ASSERT_TRUE(testsupport::waitUntil([&] { return render->inFlight->waiting() == 1; }, 60000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(fourth.began);

    render->device->stepGpu(1);
    fourth.thread.join();
    EXPECT_TRUE(fourth.began);
    EXPECT_EQ(frames[0]->status(), mtl::CommandBufferStatusCompleted);
    EXPECT_EQ(frames[1]->status(), mtl::CommandBufferStatusCommitted);
    EXPECT_TRUE(frames[0]->drawables()[0]->presented());
    render->render();
    MetalRender::presentDrawable(fourth.drawable, fourth.pass);
    render->device->releaseGpu();
    render->device->waitGpuIdle();
    EXPECT_EQ(render->inFlight->value(), 3);
}

// A frame that commits nothing returns its permit at once; the next frame of the same lane must
// still wait until the GPU is done with what the lane's last committed frame wrote.
TEST_F(MetalFrame, ALaneIsNotRewrittenWhileItsLastFrameIsOnTheGpu) {
    RenderTarget* s = screen();
    Geometry* dynamic = quad(false, true);
    Mesh* mesh = addMesh(s, dynamic, material("crate", "shaders/model.shader"), Vector3(0, 0, 0));
    render->device->holdGpu();
    mtl::CommandBufferPtr first = drawFrame();  // lane 0, held on the GPU
    view->layer.setDrawablesAvailable(false);
    drawFrame();  // lane 1, nothing committed
    drawFrame();  // lane 2, nothing committed
    view->layer.setDrawablesAvailable(true);
    EXPECT_EQ(render->inFlight->value(), 2);

    BeginOnThread fourth(*view);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(fourth.began);
    render->device->stepGpu(1);
    fourth.thread.join();
    EXPECT_EQ(first->status(), mtl::CommandBufferStatusCompleted);
    // The lane is free: new vertices and uniforms may go into it.
    dynamic->_vertices[0] ^= 0x55;
    mesh->_worldMatrix = Matrix4::translation(Vector3(5, 0, 0));
    render->render();
    MetalRender::presentDrawable(fourth.drawable, fourth.pass);
    render->device->releaseGpu();
}

TEST_F(MetalFrame, DynamicGeometryKeepsWhatAFrameInFlightReads) {
    RenderTarget* s = screen();
    Geometry* dynamic = quad(false, true);
    addMesh(s, dynamic, material("crate", "shaders/model.shader"), Vector3(0, 0, 0));
    render->device->holdGpu();
    std::vector<mtl::BufferPtr> buffers;
    for (int i = 0; i < 3; ++i) {
        // The content changes every frame while the earlier frames wait on the GPU.
        float x = (float)(10 * i);
        std::memcpy(dynamic->_vertices, &x, 4);
        mtl::CommandBufferPtr cb = drawFrame();
        std::vector<DrawAt> draws = drawsWith(cb, "crate");
        ASSERT_EQ(draws.size(), 1u);
        buffers.push_back(draws[0].draw->vertexBuffers.at(0).buffer);
    }
    EXPECT_NE(buffers[0], buffers[1]);
    EXPECT_NE(buffers[1], buffers[2]);
    render->device->releaseGpu();
    render->device->waitGpuIdle();
    // Frame four reuses lane 0's buffers, now free.
    mtl::CommandBufferPtr cb = drawFrame();
    EXPECT_EQ(drawsWith(cb, "crate")[0].draw->vertexBuffers.at(0).buffer, buffers[0]);
}

TEST_F(MetalFrame, OneEncoderPerTargetSwitchAndTheScreenClearedByAQuad) {
    RenderTarget* s1 = screen();
    RenderTarget* s2 = screen();
    // Two screen targets in a row share one encoder.
    mtl::CommandBufferPtr cb = drawFrame();
    ASSERT_EQ(cb->encoders().size(), 1u);
    EXPECT_EQ(cb->encoders()[0]->passDescriptor().colorAttachments[0].texture, view->lastDrawable->texture());
    EXPECT_EQ(cb->encoders()[0]->passDescriptor().colorAttachments[0].loadAction, mtl::LoadActionClear);
    // Only the first begins an encoder, and only that one clears the depth.
    std::vector<DrawAt> clears = drawsWith(cb, "RenderTargetClear");
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0].draw->vertexCount, 6u);
    EXPECT_EQ(clears[0].draw->instanceCount, 1u);
    EXPECT_EQ(clears[0].draw->depthStencil->descriptor.depthCompareFunction, mtl::CompareFunctionAlways);
    EXPECT_TRUE(clears[0].draw->depthStencil->descriptor.depthWriteEnabled);
    EXPECT_EQ(clears[0].draw->pipeline->descriptor.colorAttachments[0].writeMask, (uint32_t)mtl::ColorWriteMaskNone);
    const float* quad = static_cast<const float*>(clears[0].draw->vertexBuffers.at(0).buffer->contents());
    for (int v = 0; v < 6; ++v)
        EXPECT_EQ(quad[3 * v + 2], 1.0f);

    // Screen, off-screen, screen: three encoders, the screen's colour cleared again by the view's pass.
    RenderTarget* off = offscreen("mirror", 64, 64);
    render->targets = {s1, off, s2};
    cb = drawFrame();
    ASSERT_EQ(cb->encoders().size(), 3u);
    EXPECT_EQ(cb->encoders()[1]->passDescriptor().colorAttachments[0].texture, metalTexture(off->_colourTexture));
    EXPECT_EQ(cb->encoders()[2]->passDescriptor().colorAttachments[0].loadAction, mtl::LoadActionClear);
    EXPECT_EQ(drawsWith(cb, "RenderTargetClear").size(), 2u);
    uint32_t pipelines = render->device->counters().pipelineStates;
    EXPECT_EQ(pipelines, 2u) << "one clear pipeline for each screen target";
    drawFrame();
    EXPECT_EQ(render->device->counters().pipelineStates, pipelines) << "built once";

    // Without clear-on-begin the screen's depth is left alone.
    s1->_clearOnBegin = 0;
    s2->_clearOnBegin = 0;
    render->targets = {s1, s2};
    cb = drawFrame();
    EXPECT_EQ(drawsOf(cb).size(), 0u);
    render->targets = {s1, off, s2};
}

TEST_F(MetalFrame, AnOffscreenTargetDrawsIntoTheLowerLeftOfItsPowerOfTwoTextures) {
    screen();
    RenderTarget* off = offscreen("reflection", 300, 200,
                                  RenderTarget::FlagColourTexture | RenderTarget::FlagDepthTexture);
    clearLog();
    render->createRenderTargets();
    EXPECT_TRUE(logContains("reflection"));
    auto* data = static_cast<MetalTargetData*>(off->_framebuffer);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->textureWidth, 512);
    EXPECT_EQ(data->textureHeight, 256);
    mtl::TexturePtr colour = metalTexture(off->_colourTexture), depth = metalTexture(off->_depthTexture);
    ASSERT_TRUE(colour && depth);
    EXPECT_EQ(colour->pixelFormat(), mtl::PixelFormatBGRA8Unorm);
    EXPECT_EQ(depth->pixelFormat(), mtl::PixelFormatDepth32Float);
    EXPECT_EQ(colour->width(), 512u);
    EXPECT_EQ(depth->height(), 256u);
    EXPECT_EQ(data->passDescriptor->colorAttachments[0].loadAction, mtl::LoadActionClear);
    EXPECT_EQ(data->passDescriptor->depthAttachment.storeAction, mtl::StoreActionStore);
    EXPECT_EQ(render->samplerCache.size(), 1u) << "both textures sample alike";

    mtl::CommandBufferPtr cb = drawFrame();
    ASSERT_EQ(cb->encoders().size(), 2u);
    const mtl::RenderCommandEncoder& e = *cb->encoders()[0];
    EXPECT_EQ(e.passDescriptor().colorAttachments[0].texture, colour);
    ASSERT_FALSE(e.commands().empty());
    EXPECT_EQ(e.commands()[0].text, "setViewport 0 56 300 200 0 1");

    // 1 stays 1; a screen target gets sizes only.
    RenderTarget* tiny = offscreen("tiny", 1, 3, RenderTarget::FlagColourBuffer);
    render->createTargetData(tiny);
    EXPECT_EQ(static_cast<MetalTargetData*>(tiny->_framebuffer)->textureWidth, 1);
    EXPECT_EQ(static_cast<MetalTargetData*>(tiny->_framebuffer)->textureHeight, 4);
    EXPECT_FALSE(static_cast<MetalTargetData*>(tiny->_framebuffer)->passDescriptor->depthAttachment.texture);
}

TEST_F(MetalFrame, CullModesFollowTheMaterialAndFaceTwoKeepsTheLastMode) {
    RenderTarget* s = screen();
    Material* back = material("back", "shaders/model.shader");
    Material* none = material("none", "shaders/model.shader");
    none->_cullMode = CullNone;
    Material* front = material("front", "shaders/model.shader");
    front->_cullMode = CullFront;
    addMesh(s, quad(), back, Vector3(0, 0, 0));
    addMesh(s, quad(), none, Vector3(1, 0, 0));
    addMesh(s, quad(), front, Vector3(2, 0, 0));
    mtl::CommandBufferPtr cb = drawFrame();
    std::vector<DrawAt> draws = drawsOf(cb);
    ASSERT_EQ(draws.size(), 4u);
    std::map<std::string, mtl::CullMode> modes;
    for (const DrawAt& d : draws)
        modes[d.draw->pipeline->label()] = d.draw->cullMode;
    EXPECT_EQ(modes["back"], mtl::CullModeFront) << "Metal's front faces are the engine's back faces";
    EXPECT_EQ(modes["none"], mtl::CullModeNone);
    EXPECT_EQ(modes["front"], mtl::CullModeBack);
    EXPECT_EQ(modes["RenderTargetClear"], mtl::CullModeNone);

    view->frame([&] {
        render->beginRenderTarget(s);
        render->setCullFace(0);
        render->setCullFace(2);
        EXPECT_EQ(render->cullMode, mtl::CullModeBack);
        EXPECT_EQ(render->encoder->commands().back().text, "setCullMode back");
    });
}

TEST_F(MetalFrame, PipelinesAreBuiltOncePerMaterialAndTargetFromItsBlendAndDepth) {
    RenderTarget* s = screen();
    RenderTarget* flat = offscreen("flat", 64, 64, RenderTarget::FlagColourTexture);
    Material* opaque = material("opaque", "shaders/model.shader");
    opaque->_alphatestEnabled = 1;
    Material* alpha = material("alpha", "shaders/model.shader", BlendAlpha);
    Material* premult = material("premult", "shaders/model.shader", BlendPremultAlpha);
    Material* additive = material("additive", "shaders/model.shader", BlendAdditive);
    additive->_depthWrite = 0;
    for (RenderTarget* t : {s, flat}) {
        addMesh(t, quad(), opaque, Vector3(0, 0, 0));
        addMesh(t, quad(), alpha, Vector3(1, 0, 0));
        addMesh(t, quad(), premult, Vector3(2, 0, 0));
        addMesh(t, quad(), additive, Vector3(3, 0, 0));
    }
    mtl::CommandBufferPtr cb = drawFrame();
    uint32_t pipelines = render->device->counters().pipelineStates;
    uint32_t depthStates = render->device->counters().depthStencilStates;
    EXPECT_EQ(pipelines, 1u + 8u);

    struct Case {
        const char* label;
        bool blending;
        mtl::BlendFactor source, destination;
        bool alphaToCoverage;
    };
    const Case cases[] = {
        {"opaque", false, mtl::BlendFactorOne, mtl::BlendFactorZero, true},
        {"alpha", true, mtl::BlendFactorSourceAlpha, mtl::BlendFactorOneMinusSourceAlpha, false},
        {"premult", true, mtl::BlendFactorSourceAlpha, mtl::BlendFactorOneMinusSourceAlpha, false},
        {"additive", true, mtl::BlendFactorOne, mtl::BlendFactorOne, false},
    };
    for (const Case& c : cases) {
        std::vector<DrawAt> draws = drawsWith(cb, c.label);
        ASSERT_EQ(draws.size(), 2u) << c.label;
        for (const DrawAt& d : draws) {
            const mtl::RenderPipelineDescriptor& p = d.draw->pipeline->descriptor;
            bool onScreen = d.encoder == cb->encoders()[1].get();
            EXPECT_EQ(p.colorAttachments[0].blendingEnabled, c.blending) << c.label;
            EXPECT_EQ(p.colorAttachments[0].sourceRGBBlendFactor, c.source) << c.label;
            EXPECT_EQ(p.colorAttachments[0].destinationRGBBlendFactor, c.destination) << c.label;
            EXPECT_EQ(p.colorAttachments[0].sourceAlphaBlendFactor, mtl::BlendFactorOne) << c.label;
            EXPECT_EQ(p.colorAttachments[0].destinationAlphaBlendFactor, mtl::BlendFactorZero) << c.label;
            EXPECT_EQ(p.alphaToCoverageEnabled, c.alphaToCoverage) << c.label;
            EXPECT_EQ(p.depthAttachmentPixelFormat, onScreen ? mtl::PixelFormatDepth32Float : mtl::PixelFormatInvalid);
            const mtl::DepthStencilDescriptor& ds = d.draw->depthStencil->descriptor;
            if (onScreen) {
                EXPECT_EQ(ds.depthCompareFunction, mtl::CompareFunctionLessEqual) << c.label;
                EXPECT_EQ(ds.depthWriteEnabled, std::string(c.label) != "additive") << c.label;
            } else {
                EXPECT_EQ(ds.depthCompareFunction, mtl::CompareFunctionAlways) << c.label;
                EXPECT_FALSE(ds.depthWriteEnabled) << c.label;
            }
        }
    }
    // (write, test) = (1, 1), (0, 1), the target without depth's (0, 0), and the clear quad's own.
    EXPECT_EQ(render->depthStencilCache.size(), 3u);

    drawFrame();
    EXPECT_EQ(render->device->counters().pipelineStates, pipelines);
    EXPECT_EQ(render->device->counters().depthStencilStates, depthStates);
}

TEST_F(MetalFrame, VertexLayoutsAreComparedByTypeAndCountNotByName) {
    RenderTarget* s = screen();
    Geometry* text = quad(true);
    Geometry* renamed = quad(false);
    renamed->_attributes[1].name = "uv";
    addMesh(s, text, material("text", "shaders/text.shader"), Vector3(0, 0, 0));
    addMesh(s, renamed, material("model", "shaders/model.shader"), Vector3(0, 0, 0));
    clearLog();
    drawFrame();
    EXPECT_FALSE(logContains("invalid vertex attributes"));

    // Text vertices (colour as three floats) do not fit the menu shader (four bytes).
    s->removeMesh(meshes[0].get());
    s->removeMesh(meshes[1].get());
    addMesh(s, text, material("menu", "shaders/menu.shader"), Vector3(0, 0, 0));
    clearLog();
    render->device->holdGpu();
    drawFrame();
    EXPECT_TRUE(logContains("invalid vertex attributes MenuShader 44"));
    EXPECT_TRUE(logContains("shader: vertColor 1 4"));
    EXPECT_TRUE(logContains("geometry: vertColor 0 3"));
    EXPECT_EQ(logCount("shader: "), 4);
    EXPECT_EQ(logCount("geometry: "), 4);
    // Drawn anyway: the stand-in sees the function read 36-byte vertices from 44-byte ones, which fits.
    render->device->releaseGpu();
}

TEST_F(MetalFrame, StaticGeometriesArePackedWithShiftedIndicesAndIndexBases) {
    RenderTarget* s = screen();
    Geometry* a = quad(false, false, 0);
    Geometry* b = quad(false, false, 10);
    Geometry* other = quad(true, false, 20);
    Geometry* dynamic = quad(false, true);
    b->_releaseData = 1;
    render->batchGeometries({a, b, other, dynamic});
    auto* da = static_cast<MetalGeometryData*>(a->_deviceBuffers);
    auto* db = static_cast<MetalGeometryData*>(b->_deviceBuffers);
    auto* dother = static_cast<MetalGeometryData*>(other->_deviceBuffers);
    ASSERT_TRUE(da && db && dother);
    EXPECT_FALSE(dynamic->_deviceBuffers);
    EXPECT_EQ(da->vertexBuffer, db->vertexBuffer);
    EXPECT_NE(da->vertexBuffer, dother->vertexBuffer);
    EXPECT_EQ(da->indexBase, 0u);
    EXPECT_EQ(db->indexBase, 6u);
    const uint16_t* packed = static_cast<const uint16_t*>(db->indexBuffer->contents());
    EXPECT_EQ(packed[6], 4);  // b's first index (0) moved behind a's 4 vertices
    EXPECT_EQ(packed[11], 7);
    EXPECT_EQ(b->_vertices, nullptr) << "released once packed";
    EXPECT_NE(a->_vertices, nullptr);

    addMesh(s, b, material("crate", "shaders/model.shader"), Vector3(0, 0, 0));
    mtl::CommandBufferPtr cb = drawFrame();
    std::vector<DrawAt> draws = drawsWith(cb, "crate");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].draw->indexBufferOffset, 12u);
    EXPECT_EQ(draws[0].draw->indexCount, 6u);

    // A group never holds more vertices than 16-bit indices can reach.
    std::vector<Geometry*> big;
    for (int i = 0; i < 3; ++i) {
        Geometry* g = quad();
        g->_vertexCount = 30000;
        g->_vertices = static_cast<uint8_t*>(std::realloc(g->_vertices, (size_t)30000 * g->_stride));
        big.push_back(g);
    }
    render->batchGeometries(big);
    EXPECT_EQ(static_cast<MetalGeometryData*>(big[0]->_deviceBuffers)->vertexBuffer,
              static_cast<MetalGeometryData*>(big[1]->_deviceBuffers)->vertexBuffer);
    EXPECT_NE(static_cast<MetalGeometryData*>(big[1]->_deviceBuffers)->vertexBuffer,
              static_cast<MetalGeometryData*>(big[2]->_deviceBuffers)->vertexBuffer);
    EXPECT_EQ(static_cast<MetalGeometryData*>(big[2]->_deviceBuffers)->indexBase, 0u);
}

TEST_F(MetalFrame, NoEncoderCallIsMadeWithoutAnEncoder) {
    RenderTarget* s = screen();
    Material* m = material("crate", "shaders/model.shader");
    Texture* t = new Texture();
    t->_format = TextureRGBA;
    t->_width = t->_height = 2;
    t->_levelCount = 1;
    t->_levels.push_back(static_cast<uint8_t*>(std::calloc(16, 1)));
    m->_textures.push_back(t);
    addMesh(s, quad(), m, Vector3(0, 0, 0));
    // Outside any frame: the whole frame runs, nothing is encoded and nothing breaks.
    render->beginFrame();
    render->render();
    MetalRender::presentDrawable(nullptr, nullptr);
    render->bindTexture(0, t);
    render->bindTexture(0, nullptr);
    render->setCullFace(0);
    render->drawTriangles(0, 6);
    EXPECT_EQ(render->device->counters().commandBuffers, 0u);
    EXPECT_EQ(render->drawCalls, 0u);
    delete t;
}

TEST_F(MetalFrame, APlainShaderIsRefusedClearlyAndItsMeshesAreNotDrawn) {
    RenderTarget* s = screen();
    Shader* plain = new Shader();
    ResourceManager::instance()._shaders["shaders/custom.shader"] = plain;
    Material* m = material("custom", "shaders/custom.shader");
    Material* ok = material("crate", "shaders/model.shader");
    addMesh(s, quad(), m, Vector3(0, 0, 0));
    addMesh(s, quad(), m, Vector3(0, 0, 0));
    addMesh(s, quad(), ok, Vector3(0, 0, 0));
    clearLog();
    mtl::CommandBufferPtr cb = drawFrame();
    drawFrame();
    EXPECT_EQ(logCount("[MetalRender::createShader]"), 1);
    EXPECT_EQ(plain->_program, nullptr);
    EXPECT_EQ(drawsWith(cb, "custom").size(), 0u);
    EXPECT_EQ(drawsWith(cb, "crate").size(), 1u);
}

TEST_F(MetalFrame, ShaderDataGoesWithItsShaderOrItsRenderer) {
    ModelShader* shader = new ModelShader();
    render->createShader(shader);
    ASSERT_TRUE(shader->_program);
    EXPECT_EQ(MetalShaderData::all().size(), 1u);
    delete shader;
    EXPECT_EQ(MetalShaderData::all().size(), 0u);

    Shader* model = ResourceManager::instance()._shaders["shaders/model.shader"];
    render->setShader(model);
    ASSERT_TRUE(model->_program);
    MetalRender::create();  // a renderer made again replaces the first
    render = MetalRender::instance();
    EXPECT_EQ(model->_program, nullptr);
    EXPECT_EQ(Render::current(), render);
    view.reset(new ViewStandin(render->device, 320, 240));
}

}  // namespace

// The Metal stand-in itself: its function table, the checks it makes on draws and texture writes,
// the command log, and the GPU thread that tests hold back.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "TestSupport.h"
#include "engine/plat_linux/metal/Metal.h"

using namespace mtl;

namespace {

bool anyErrorContains(const std::vector<std::string>& errors, const std::string& part) {
    for (const std::string& e : errors)
        if (e.find(part) != std::string::npos)
            return true;
    return false;
}

// A colour + depth render pass of the given size.
RenderPassDescriptor makePass(Device& device, uint32_t w, uint32_t h, bool depth = true) {
    RenderPassDescriptor pass;
    TextureDescriptor c = TextureDescriptor::texture2D(PixelFormatBGRA8Unorm, w, h, false);
    c.usage = TextureUsageRenderTarget | TextureUsageShaderRead;
    pass.colorAttachments[0].texture = device.newTexture(c);
    pass.colorAttachments[0].loadAction = LoadActionClear;
    if (depth) {
        TextureDescriptor d = TextureDescriptor::texture2D(PixelFormatDepth32Float, w, h, false);
        d.usage = TextureUsageRenderTarget;
        pass.depthAttachment.texture = device.newTexture(d);
    }
    return pass;
}

struct Fixture {
    DevicePtr device = std::make_shared<Device>();
    LibraryPtr library = device->newDefaultLibrary();
    CommandQueuePtr queue = device->newCommandQueue();

    RenderPipelineStatePtr pipeline(const std::string& cls, bool depth = true) {
        RenderPipelineDescriptor d;
        d.label = cls;
        d.vertexFunction = library->newFunctionWithName(cls + "VertexShader");
        d.fragmentFunction = library->newFunctionWithName(cls + "FragmentShader");
        d.colorAttachments[0].pixelFormat = PixelFormatBGRA8Unorm;
        d.depthAttachmentPixelFormat = depth ? PixelFormatDepth32Float : PixelFormatInvalid;
        ErrorPtr error;
        RenderPipelineStatePtr p = device->newRenderPipelineState(d, &error);
        EXPECT_TRUE(p) << (error ? error->localizedDescription : "");
        return p;
    }
};

TEST(MetalStandinLibrary, KnowsEveryShaderFunctionAndItsBuffers) {
    const char* classes[] = {"DecalShader",     "ParticlesShader",   "BrightpassShader",      "BlurHShader",
                             "BlurVShader",     "CombineShader",     "DebugDrawShader",       "MenuShader",
                             "ModelShader",     "TextShader",        "ModelRefShader",        "StencilMaskShader",
                             "MenuProgressbarShader", "UVScrollShader", "SkyShader",          "OutlineShader"};
    Device device;
    LibraryPtr library = device.newDefaultLibrary();
    ASSERT_TRUE(library);
    std::set<std::string> names;
    for (const std::string& n : library->functionNames())
        names.insert(n);
    EXPECT_EQ(names.size(), 34u);
    for (const char* c : classes) {
        EXPECT_TRUE(names.count(std::string(c) + "VertexShader")) << c;
        EXPECT_TRUE(names.count(std::string(c) + "FragmentShader")) << c;
    }
    EXPECT_TRUE(library->newFunctionWithName("ClearShaderVertexShader"));
    EXPECT_FALSE(library->newFunctionWithName("NoSuchShaderVertexShader"));

    struct Case {
        const char* function;
        FunctionType type;
        uint32_t stride;
        std::vector<BufferUse> uses;
    };
    const Case cases[] = {
        {"ModelShaderVertexShader", FunctionTypeVertex, 36, {{1, 288, false}, {2, 128, true}}},
        {"ModelShaderFragmentShader", FunctionTypeFragment, 0, {}},
        {"TextShaderVertexShader", FunctionTypeVertex, 44, {{1, 128, false}, {2, 80, true}}},
        {"BrightpassShaderVertexShader", FunctionTypeVertex, 44, {}},
        {"BrightpassShaderFragmentShader", FunctionTypeFragment, 0, {{0, 8, false}}},
        {"BlurVShaderVertexShader", FunctionTypeVertex, 44, {{1, 16, false}}},
        {"BlurVShaderFragmentShader", FunctionTypeFragment, 0, {{0, 16, false}}},
        {"UVScrollShaderFragmentShader", FunctionTypeFragment, 0, {{0, 144, false}, {1, 96, true}}},
        {"SkyShaderVertexShader", FunctionTypeVertex, 36, {{1, 192, true}}},
        {"ClearShaderVertexShader", FunctionTypeVertex, 12, {}},
    };
    for (const Case& c : cases) {
        FunctionPtr f = library->newFunctionWithName(c.function);
        ASSERT_TRUE(f) << c.function;
        EXPECT_EQ(f->functionType(), c.type) << c.function;
        EXPECT_EQ(f->vertexStride(), c.stride) << c.function;
        ASSERT_EQ(f->bufferUses().size(), c.uses.size()) << c.function;
        for (size_t i = 0; i < c.uses.size(); ++i) {
            EXPECT_EQ(f->bufferUses()[i].index, c.uses[i].index) << c.function;
            EXPECT_EQ(f->bufferUses()[i].structSize, c.uses[i].structSize) << c.function;
            EXPECT_EQ(f->bufferUses()[i].perInstance, c.uses[i].perInstance) << c.function;
        }
    }
}

TEST(MetalStandinLibrary, LoadsFromAFileOrFromSourceAndReportsFailures) {
    testsupport::TempDir dir;
    Device device;
    ErrorPtr error;
    EXPECT_FALSE(device.newLibraryWithFile(dir.file("missing.metallib"), &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription.find("not found"), std::string::npos);

    testsupport::writeFile(dir.file("bad.metallib"), std::string("XXXX"));
    error.reset();
    EXPECT_FALSE(device.newLibraryWithFile(dir.file("bad.metallib"), &error));
    EXPECT_TRUE(error);

    testsupport::writeFile(dir.file("default.metallib"), std::string("MTLB....."));
    LibraryPtr fromFile = device.newLibraryWithFile(dir.file("default.metallib"), nullptr);
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->functionNames().size(), 34u);

    LibraryPtr fromSource = device.newLibraryWithSource(
        "vertex VertexOut SkyShaderVertexShader (uint vid [[vertex_id]]) {}\n"
        "fragment float4 SkyShaderFragmentShader(VertexOut in [[stage_in]]) {}\n"
        "// SkyShaderVertexShaderX( is another name\n",
        nullptr);
    ASSERT_TRUE(fromSource);
    EXPECT_EQ(fromSource->functionNames(),
              (std::vector<std::string>{"SkyShaderVertexShader", "SkyShaderFragmentShader"}));

    error.reset();
    EXPECT_FALSE(device.newLibraryWithSource("int main() {}", &error));
    EXPECT_TRUE(error);

    device.setHasDefaultLibrary(false);
    EXPECT_FALSE(device.newDefaultLibrary());
}

TEST(MetalStandinPipeline, RefusesBrokenDescriptors) {
    Fixture f;
    struct Case {
        const char* name;
        std::function<void(RenderPipelineDescriptor&)> change;
        bool ok;
    };
    const Case cases[] = {
        {"valid", [](RenderPipelineDescriptor&) {}, true},
        {"no vertex function", [](RenderPipelineDescriptor& d) { d.vertexFunction.reset(); }, false},
        {"fragment as vertex", [](RenderPipelineDescriptor& d) { d.vertexFunction = d.fragmentFunction; }, false},
        {"colour as depth",
         [](RenderPipelineDescriptor& d) { d.depthAttachmentPixelFormat = PixelFormatBGRA8Unorm; }, false},
        {"depth as colour",
         [](RenderPipelineDescriptor& d) { d.colorAttachments[0].pixelFormat = PixelFormatDepth32Float; }, false},
        {"sample count 3", [](RenderPipelineDescriptor& d) { d.sampleCount = 3; }, false},
    };
    for (const Case& c : cases) {
        RenderPipelineDescriptor d;
        d.label = c.name;
        d.vertexFunction = f.library->newFunctionWithName("SkyShaderVertexShader");
        d.fragmentFunction = f.library->newFunctionWithName("SkyShaderFragmentShader");
        d.colorAttachments[0].pixelFormat = PixelFormatBGRA8Unorm;
        c.change(d);
        ErrorPtr error;
        RenderPipelineStatePtr p = f.device->newRenderPipelineState(d, &error);
        EXPECT_EQ((bool)p, c.ok) << c.name;
        EXPECT_EQ((bool)error, !c.ok) << c.name;
        if (error) {
            EXPECT_NE(error->localizedDescription.find(c.name), std::string::npos) << error->localizedDescription;
        }
    }
}

// A 4-vertex, 6-index quad for a 36-byte-stride shader, and uniform blocks.
struct DrawSetup : Fixture {
    BufferPtr vertices = device->newBuffer(4 * 36, ResourceCPUCacheModeDefaultCache);
    BufferPtr indices;
    BufferPtr shared = device->newBuffer(288 * 4, ResourceCPUCacheModeDefaultCache);
    BufferPtr perInstance = device->newBuffer(128 * 4, ResourceCPUCacheModeDefaultCache);
    RenderPassDescriptor pass = makePass(*device, 64, 32);

    DrawSetup() {
        const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
        indices = device->newBuffer(idx, sizeof(idx), ResourceCPUCacheModeDefaultCache);
        for (int i = 0; i < 4; ++i)
            std::memset((uint8_t*)perInstance->contents() + 128 * i, 0x10 + i, 128);
    }
};

TEST(MetalStandinEncoder, ValidatesEachDrawAndRecordsItsUniformBytes) {
    struct Case {
        const char* name;
        std::function<void(DrawSetup&, RenderCommandEncoder&)> encode;
        const char* expectedError;  // nullptr: a clean draw
    };
    auto bindAll = [](DrawSetup& s, RenderCommandEncoder& e) {
        e.setRenderPipelineState(s.pipeline("ModelShader"));
        e.setVertexBuffer(s.vertices, 0, 0);
        e.setVertexBuffer(s.shared, 0, 1);
        e.setVertexBuffer(s.perInstance, 128, 2);
    };
    const Case cases[] = {
        {"clean instanced draw",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             bindAll(s, e);
             e.drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 0, 3);
         },
         nullptr},
        {"no pipeline",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             e.setVertexBuffer(s.vertices, 0, 0);
             e.drawPrimitives(PrimitiveTypeTriangle, 0, 3);
         },
         "without a render pipeline state"},
        {"missing shared struct",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             bindAll(s, e);
             e.setVertexBuffer(nullptr, 0, 1);
             e.drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 0, 1);
         },
         "288-byte struct from vertex buffer 1, none is bound"},
        {"short per-instance block",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             bindAll(s, e);
             e.drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 0, 4);
         },
         "reads 4 x 128 bytes from offset 128"},
        {"short shared struct",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             bindAll(s, e);
             e.setVertexBuffer(s.shared, 288 * 3 + 4, 1);
             e.drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 0, 1);
         },
         "reads 1 x 288 bytes"},
        {"index range beyond the buffer",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             bindAll(s, e);
             e.drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 2, 1);
         },
         "index buffer of 12 bytes, the draw reads 14"},
        {"vertices beyond the buffer",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             bindAll(s, e);
             e.setVertexBuffer(s.vertices, 36, 0);
             e.drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 0, 1);
         },
         "reads 4 vertices of 36 bytes from offset 36"},
        {"pipeline without depth in a pass with depth",
         [&](DrawSetup& s, RenderCommandEncoder& e) {
             bindAll(s, e);
             e.setRenderPipelineState(s.pipeline("ModelShader", false));
             e.drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 0, 1);
         },
         "has depth format Invalid, the pass Depth32Float"},
    };
    for (const Case& c : cases) {
        DrawSetup s;
        CommandBufferPtr cb = s.queue->commandBuffer();
        RenderCommandEncoderPtr e = cb->renderCommandEncoder(s.pass);
        ASSERT_TRUE(e);
        c.encode(s, *e);
        e->endEncoding();
        ASSERT_EQ(e->draws().size(), 1u) << c.name;
        const DrawRecord& d = e->draws()[0];
        if (!c.expectedError) {
            EXPECT_TRUE(e->errors().empty()) << c.name << ": " << e->errors()[0];
            EXPECT_EQ(s.device->validationErrorCount(), 0u) << c.name;
            ASSERT_TRUE(d.uniform(FunctionTypeVertex, 2)) << c.name;
            const UniformRead& u = *d.uniform(FunctionTypeVertex, 2);
            EXPECT_EQ(u.copies, 3u);
            EXPECT_EQ(u.bytes.size(), 3u * 128);
            for (uint32_t i = 0; i < 3; ++i)
                EXPECT_EQ(u.copy(i)[0], 0x11 + i) << "instance " << i;
            ASSERT_TRUE(d.uniform(FunctionTypeVertex, 1));
            EXPECT_EQ(d.uniform(FunctionTypeVertex, 1)->copies, 1u);
        } else {
            EXPECT_TRUE(anyErrorContains(d.errors, c.expectedError)) << c.name << ": "
                                                                     << (d.errors.empty() ? "no error" : d.errors[0]);
            EXPECT_GE(s.device->validationErrorCount(), 1u) << c.name;
        }
    }
}

TEST(MetalStandinEncoder, LogsCommandsAndRefusesCallsOutsideItsLife) {
    DrawSetup s;
    CommandBufferPtr cb = s.queue->commandBuffer();
    RenderCommandEncoderPtr first = cb->renderCommandEncoder(s.pass);
    ASSERT_TRUE(first);
    first->setCullMode(CullModeBack);
    first->setViewport({0, 8, 40, 24, 0, 1});
    first->setFragmentTexture(nullptr, 0);
    EXPECT_EQ(first->logText(),
              "setCullMode back\nsetViewport 0 8 40 24 0 1\nsetFragmentTexture index=0 none\n");

    // A second encoder while the first is open is refused.
    EXPECT_FALSE(cb->renderCommandEncoder(s.pass));
    first->endEncoding();
    first->setCullMode(CullModeNone);
    first->drawPrimitives(PrimitiveTypeTriangle, 0, 3);
    EXPECT_EQ(first->commands().size(), 4u);
    EXPECT_TRUE(anyErrorContains(first->errors(), "setCullMode after endEncoding"));
    EXPECT_TRUE(anyErrorContains(first->errors(), "drawPrimitives after endEncoding"));

    RenderCommandEncoderPtr second = cb->renderCommandEncoder(s.pass);
    ASSERT_TRUE(second);
    second->setViewport({0, 0, 65, 32, 0, 1});
    EXPECT_TRUE(anyErrorContains(second->errors(), "outside the 64 x 32 pass"));
    second->setFragmentSamplerState(nullptr, 16);
    EXPECT_TRUE(anyErrorContains(second->errors(), "setFragmentSamplerState index 16"));
    cb->commit();
    cb->waitUntilCompleted();
    EXPECT_TRUE(anyErrorContains(s.device->validationErrors(), "committed with encoder 1 still open"));
    EXPECT_FALSE(cb->renderCommandEncoder(s.pass));

    RenderPassDescriptor empty;
    CommandBufferPtr cb2 = s.queue->commandBuffer();
    RenderCommandEncoderPtr none = cb2->renderCommandEncoder(empty);
    ASSERT_TRUE(none);
    EXPECT_TRUE(anyErrorContains(none->errors(), "without attachments"));
}

TEST(MetalStandinEncoder, AttachmentsMustAgreeAndBeRenderable) {
    Fixture f;
    RenderPassDescriptor pass = makePass(*f.device, 64, 32);
    TextureDescriptor d = TextureDescriptor::texture2D(PixelFormatDepth32Float, 32, 32, false);
    d.usage = TextureUsageShaderRead;
    pass.depthAttachment.texture = f.device->newTexture(d);
    CommandBufferPtr cb = f.queue->commandBuffer();
    RenderCommandEncoderPtr e = cb->renderCommandEncoder(pass);
    ASSERT_TRUE(e);
    EXPECT_TRUE(anyErrorContains(e->errors(), "depth attachment is 32 x 32, the pass is 64 x 32"));
    EXPECT_TRUE(anyErrorContains(e->errors(), "depth attachment texture was not made for rendering"));
    e->endEncoding();
}

TEST(MetalStandinTexture, RefusesImpossibleTextures) {
    Device device;
    struct Case {
        const char* name;
        TextureDescriptor d;
        bool ok;
    };
    auto make = [](TextureType t, PixelFormat f, uint32_t w, uint32_t h, uint32_t depth, uint32_t levels) {
        TextureDescriptor d;
        d.textureType = t;
        d.pixelFormat = f;
        d.width = w;
        d.height = h;
        d.depth = depth;
        d.mipmapLevelCount = levels;
        return d;
    };
    const Case cases[] = {
        {"2D", make(TextureType2D, PixelFormatRGBA8Unorm, 8, 4, 1, 4), true},
        {"too many levels", make(TextureType2D, PixelFormatRGBA8Unorm, 8, 4, 1, 5), false},
        {"3D", make(TextureType3D, PixelFormatRGBA8Unorm, 4, 4, 2, 3), true},
        {"3D of depth 0", make(TextureType3D, PixelFormatRGBA8Unorm, 4, 4, 0, 1), false},
        {"2D with depth", make(TextureType2D, PixelFormatRGBA8Unorm, 4, 4, 2, 1), false},
        {"zero width", make(TextureType2D, PixelFormatRGBA8Unorm, 0, 4, 1, 1), false},
        {"no levels", make(TextureType2D, PixelFormatRGBA8Unorm, 4, 4, 1, 0), false},
        {"3D PVRTC", make(TextureType3D, PixelFormatPVRTC_RGB_4BPP, 8, 8, 2, 1), false},
    };
    for (const Case& c : cases) {
        size_t before = device.validationErrorCount();
        EXPECT_EQ((bool)device.newTexture(c.d), c.ok) << c.name;
        EXPECT_EQ(device.validationErrorCount() > before, !c.ok) << c.name;
    }
}

TEST(MetalStandinTexture, ReplaceRegionChecksBoundsAndRowLengths) {
    Device device;
    TexturePtr t = device.newTexture(TextureDescriptor::texture2D(PixelFormatRGBA8Unorm, 5, 3, true));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->mipmapLevelCount(), 3u);
    EXPECT_EQ(t->levelWidth(1), 2u);
    EXPECT_EQ(t->levelHeight(2), 1u);

    std::vector<uint8_t> level0(5 * 3 * 4);
    for (size_t i = 0; i < level0.size(); ++i)
        level0[i] = (uint8_t)i;
    t->replaceRegion(Region::make2D(0, 0, 5, 3), 0, level0.data(), 20);
    EXPECT_EQ(t->levelBytes(0), level0);

    struct Case {
        const char* name;
        Region region;
        uint32_t level;
        uint32_t bytesPerRow;
        const char* error;
    };
    const Case bad[] = {
        {"beyond the right edge", Region::make2D(4, 0, 2, 1), 0, 8, "outside level 0 of 5 x 3"},
        {"beyond level 1", Region::make2D(0, 0, 3, 1), 1, 12, "outside level 1 of 2 x 1"},
        {"missing level", Region::make2D(0, 0, 1, 1), 3, 4, "level 3 of 3"},
        {"short rows", Region::make2D(0, 0, 5, 3), 0, 16, "shorter than a row of 20 bytes"},
    };
    for (const Case& c : bad) {
        size_t before = device.validationErrorCount();
        t->replaceRegion(c.region, c.level, level0.data(), c.bytesPerRow);
        ASSERT_EQ(device.validationErrorCount(), before + 1) << c.name;
        EXPECT_NE(device.validationErrors().back().find(c.error), std::string::npos)
            << c.name << ": " << device.validationErrors().back();
    }
    EXPECT_EQ(t->levelBytes(0), level0);
    EXPECT_EQ(t->writeCount(0), 1u);

    // One pixel of a 3D slice lands at (x, y, z).
    TextureDescriptor d3;
    d3.textureType = TextureType3D;
    d3.width = d3.height = 2;
    d3.depth = 3;
    TexturePtr v = device.newTexture(d3);
    ASSERT_TRUE(v);
    const uint8_t px[4] = {1, 2, 3, 4};
    v->replaceRegion(Region::make3D(1, 0, 2, 1, 1, 1), 0, 0, px, 4, 4);
    EXPECT_EQ(std::memcmp(v->levelBytes(0).data() + ((2 * 2 + 0) * 2 + 1) * 4, px, 4), 0);

    // A compressed level goes in whole, with bytesPerRow 0.
    TexturePtr c = device.newTexture(TextureDescriptor::texture2D(PixelFormatPVRTC_RGBA_4BPP, 4, 4, false));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->levelBytes(0).size(), 32u);
    std::vector<uint8_t> blocks(32, 7);
    size_t before = device.validationErrorCount();
    c->replaceRegion(Region::make2D(0, 0, 4, 4), 0, blocks.data(), 0);
    EXPECT_EQ(device.validationErrorCount(), before);
    EXPECT_EQ(c->levelBytes(0), blocks);
    c->replaceRegion(Region::make2D(0, 0, 4, 4), 0, blocks.data(), 16);
    EXPECT_EQ(device.validationErrorCount(), before + 1);
}

TEST(MetalStandinGpu, HeldBackCommandBuffersCompleteInOrderOneStepAtATime) {
    Fixture f;
    f.device->holdGpu();
    std::mutex m;
    std::vector<uint64_t> order;
    std::set<std::thread::id> threads;
    std::vector<CommandBufferPtr> cbs;
    for (int i = 0; i < 3; ++i) {
        CommandBufferPtr cb = f.queue->commandBuffer();
        cb->addCompletedHandler([&](CommandBuffer& done) {
            std::lock_guard<std::mutex> lock(m);
            order.push_back(done.serial());
            threads.insert(std::this_thread::get_id());
        });
        cb->commit();
        cbs.push_back(cb);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(cbs[0]->status(), CommandBufferStatusCommitted);
    EXPECT_EQ(f.device->pendingCommandBuffers(), 3u);

    f.device->stepGpu(1);
    cbs[0]->waitUntilCompleted();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(cbs[1]->status(), CommandBufferStatusCommitted);
    {
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(order, (std::vector<uint64_t>{cbs[0]->serial()}));
    }
    f.device->releaseGpu();
    f.device->waitGpuIdle();
    EXPECT_EQ(order, (std::vector<uint64_t>{cbs[0]->serial(), cbs[1]->serial(), cbs[2]->serial()}));
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    EXPECT_EQ(f.device->counters().completedCommandBuffers.load(), 3u);
}

TEST(MetalStandinGpu, BytesRewrittenBeforeTheGpuRunsAreReported) {
    for (bool rewrite : {false, true}) {
        DrawSetup s;
        s.device->holdGpu();
        CommandBufferPtr cb = s.queue->commandBuffer();
        RenderCommandEncoderPtr e = cb->renderCommandEncoder(s.pass);
        e->setRenderPipelineState(s.pipeline("ModelShader"));
        e->setVertexBuffer(s.vertices, 0, 0);
        e->setVertexBuffer(s.shared, 0, 1);
        e->setVertexBuffer(s.perInstance, 0, 2);
        e->drawIndexedPrimitives(PrimitiveTypeTriangle, 6, IndexTypeUInt16, s.indices, 0, 1);
        e->endEncoding();
        cb->commit();
        // Bytes beside the ranges the draw reads may change freely.
        ((uint8_t*)s.perInstance->contents())[200] ^= 0xff;
        if (rewrite)
            ((uint8_t*)s.perInstance->contents())[5] ^= 0xff;
        s.device->releaseGpu();
        cb->waitUntilCompleted();
        EXPECT_EQ(s.device->validationErrorCount(), rewrite ? 1u : 0u);
        if (rewrite) {
            EXPECT_TRUE(anyErrorContains(s.device->validationErrors(), "vertex buffer 2 of ModelShaderVertexShader"));
        }
    }
}

TEST(MetalStandinGpu, DrawablesArePresentedWhenTheirCommandBufferCompletes) {
    Fixture f;
    MetalLayer layer(f.device);
    layer.drawableWidth = 32;
    layer.drawableHeight = 16;
    DrawablePtr drawable = layer.nextDrawable();
    ASSERT_TRUE(drawable);
    EXPECT_EQ(drawable->texture()->pixelFormat(), PixelFormatBGRA8Unorm);
    f.device->holdGpu();
    CommandBufferPtr cb = f.queue->commandBuffer();
    cb->presentDrawable(drawable);
    cb->commit();
    EXPECT_FALSE(drawable->presented());
    f.device->releaseGpu();
    cb->waitUntilCompleted();
    EXPECT_TRUE(drawable->presented());

    layer.setDrawablesAvailable(false);
    EXPECT_FALSE(layer.nextDrawable());
}

TEST(MetalStandinSemaphore, CountsWaitsAndSignals) {
    Semaphore s(2);
    s.wait();
    s.wait();
    EXPECT_EQ(s.value(), 0);
    EXPECT_FALSE(s.waitFor(10));
    std::thread waiter([&] { s.wait(); });
    for (int i = 0; i < 200 && s.waiting() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(s.waiting(), 1);
    s.signal();
    waiter.join();
    EXPECT_EQ(s.waiting(), 0);
    EXPECT_EQ(s.value(), 0);
    s.signal();
    EXPECT_TRUE(s.waitFor(10));
}

TEST(MetalStandinDevice, SystemDefaultDeviceIsSharedWhileHeldAndCanBeSwitchedOff) {
    DevicePtr a = createSystemDefaultDevice();
    DevicePtr b = createSystemDefaultDevice();
    ASSERT_TRUE(a);
    EXPECT_EQ(a, b);
    setSystemDefaultDeviceAvailable(false);
    EXPECT_FALSE(createSystemDefaultDevice());
    setSystemDefaultDeviceAvailable(true);
    EXPECT_FALSE(a->newBuffer(0, ResourceCPUCacheModeDefaultCache));
    EXPECT_EQ(a->validationErrorCount(), 1u);
}

}  // namespace

#include "MetalTestSupport.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine/render/RenderTarget.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"
#include "game/metal/MetalShaders.h"

namespace metaltest {

namespace {

void captureSink(uint8_t, const char* line, void*) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    logLines().push_back(text);
    // Death tests read stderr: failed assertions go there too.
    if (std::strncmp(line, "ERROR: XASSERT", 14) == 0 || std::strncmp(line, "ERROR: struct", 13) == 0)
        std::fputs(line, stderr);
}

struct RegisterCapture {
    RegisterCapture() { Logger::addSink(&captureSink, nullptr); }
} g_registerCapture;

testsupport::FixedSizeGame& testGame() {
    static testsupport::FixedSizeGame game(320, 240);
    return game;
}

}  // namespace

std::vector<std::string>& logLines() {
    static std::vector<std::string> lines;
    return lines;
}

void clearLog() { logLines().clear(); }

bool logContains(const std::string& text) { return logCount(text) > 0; }

int logCount(const std::string& text) {
    int n = 0;
    for (const std::string& l : logLines())
        if (l.find(text) != std::string::npos)
            ++n;
    return n;
}

void setHostSize(float width, float height) {
    testGame().width = width;
    testGame().height = height;
    IGame::setInstance(&testGame());
}

ViewStandin::ViewStandin(const mtl::DevicePtr& device, uint32_t width, uint32_t height) : layer(device) {
    layer.drawableWidth = width;
    layer.drawableHeight = height;
    mtl::TextureDescriptor d = mtl::TextureDescriptor::texture2D(mtl::PixelFormatDepth32Float, width, height, false);
    d.usage = mtl::TextureUsageRenderTarget;
    depth = device->newTexture(d);
}

mtl::RenderPassDescriptorPtr ViewStandin::descriptorFor(const mtl::DrawablePtr& drawable) {
    if (!drawable)
        return nullptr;
    auto pass = std::make_shared<mtl::RenderPassDescriptor>();
    pass->colorAttachments[0].texture = drawable->texture();
    pass->colorAttachments[0].loadAction = mtl::LoadActionClear;
    pass->colorAttachments[0].storeAction = mtl::StoreActionStore;
    pass->colorAttachments[0].clearColor = {0, 0, 0, 1};
    pass->depthAttachment.texture = depth;
    pass->depthAttachment.loadAction = mtl::LoadActionDontCare;
    pass->depthAttachment.storeAction = mtl::StoreActionDontCare;
    pass->depthAttachment.clearDepth = 1.0;
    return pass;
}

mtl::CommandBufferPtr ViewStandin::frame(const std::function<void()>& draw) {
    lastDrawable = layer.nextDrawable();
    mtl::RenderPassDescriptorPtr pass = descriptorFor(lastDrawable);
    MetalRender::beginDrawable(pass);
    mtl::CommandBufferPtr cb = MetalRender::instance()->commandBuffer;
    if (lastDrawable && draw)
        draw();
    MetalRender::presentDrawable(lastDrawable, pass);
    return cb;
}

Geometry* makeQuad(bool floatColour, bool dynamic, float x0) {
    Geometry* g = dynamic ? new DynamicGeometry() : new Geometry();
    auto add = [&](int type, int components, const char* name) {
        GeometryAttribute a;
        a.type = type;
        a.components = (uint8_t)components;
        a.name = name;
        g->_attributes.push_back(a);
    };
    add(GeometryAttribute::TypeFloat, 3, "vertPos");
    add(GeometryAttribute::TypeFloat, 2, "texCoords0");
    add(GeometryAttribute::TypeFloat, 3, "vertNormal");
    if (floatColour)
        add(GeometryAttribute::TypeFloat, 3, "vertColor");
    else
        add(GeometryAttribute::TypeUnsignedByte, 4, "vertColor");
    g->updateStride();
    g->_vertexCount = 4;
    g->_indexCount = 6;
    g->_vertices = static_cast<uint8_t*>(std::calloc(4, g->_stride));
    for (uint32_t v = 0; v < 4; ++v) {
        float pos[3] = {x0 + (float)v, (float)(v & 1), 0};
        std::memcpy(g->_vertices + v * g->_stride, pos, sizeof(pos));
    }
    g->_indices = static_cast<uint16_t*>(std::malloc(6 * sizeof(uint16_t)));
    g->_adjacencyIndices = static_cast<uint16_t*>(std::malloc(6 * sizeof(uint16_t)));
    const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(g->_indices, idx, sizeof(idx));
    std::memcpy(g->_adjacencyIndices, idx, sizeof(idx));
    g->_boundsMin = Vector3(x0, 0, 0);
    g->_boundsMax = Vector3(x0 + 3, 1, 0);
    return g;
}

Material* makeMaterial(const std::string& name, const char* shaderFile, int blendMode) {
    auto* m = new Material();
    m->_name = name;
    m->_blendMode = blendMode;
    auto it = ResourceManager::instance()._shaders.find(shaderFile);
    m->_shader = it == ResourceManager::instance()._shaders.end() ? nullptr : it->second;
    return m;
}

std::vector<DrawAt> drawsOf(const mtl::CommandBufferPtr& cb) {
    std::vector<DrawAt> out;
    for (const mtl::RenderCommandEncoderPtr& e : cb->encoders())
        for (const mtl::DrawRecord& d : e->draws())
            out.push_back({e.get(), &d});
    return out;
}

std::vector<DrawAt> drawsWith(const mtl::CommandBufferPtr& cb, const std::string& label) {
    std::vector<DrawAt> out;
    for (const DrawAt& d : drawsOf(cb))
        if (d.draw->pipeline && d.draw->pipeline->label() == label)
            out.push_back(d);
    return out;
}

int commandCount(const mtl::RenderCommandEncoder& encoder, const std::string& part) {
    int n = 0;
    for (const mtl::Command& c : encoder.commands())
        if (c.text.find(part) != std::string::npos)
            ++n;
    return n;
}

void MetalRenderTest::SetUp() {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    clearLog();
    setHostSize(320, 240);
    ResourceManager::instance().resetForTests();
    registerMetalShaders();
    render = MetalRender::create();
    render->init();
    view.reset(new ViewStandin(render->device, 320, 240));
}

void MetalRenderTest::TearDown() {
    if (render) {
        render->device->releaseGpu();
        render->device->waitGpuIdle();
        EXPECT_EQ(render->device->validationErrorCount(), 0u)
            << (render->device->validationErrors().empty() ? "" : render->device->validationErrors()[0]);
    }
    for (RenderTarget* t : render ? render->targets : std::vector<RenderTarget*>())
        delete t;
    for (RenderTarget* t : ownedTargets)
        delete t;
    if (render)
        render->targets.clear();
    meshes.clear();
    view.reset();
    MetalRender::destroyInstance();
    render = nullptr;
    for (Material* m : materials)
        delete m;
    for (Geometry* g : geometries)
        delete g;
    ResourceManager::instance().resetForTests();
}

Geometry* MetalRenderTest::quad(bool floatColour, bool dynamic, float x0) {
    geometries.push_back(makeQuad(floatColour, dynamic, x0));
    return geometries.back();
}

Material* MetalRenderTest::material(const std::string& name, const char* shaderFile, int blendMode) {
    materials.push_back(makeMaterial(name, shaderFile, blendMode));
    return materials.back();
}

Mesh* MetalRenderTest::addMesh(RenderTarget* target, Geometry* geometry, Material* material, const Vector3& position) {
    auto* mesh = new Mesh();
    mesh->setGeometry(geometry, -1, -1);
    mesh->_material = material;
    mesh->_worldMatrix = Matrix4::translation(position);
    meshes.emplace_back(mesh);
    if (target)
        target->addMesh(mesh);
    return mesh;
}

RenderTarget* MetalRenderTest::screen() { return render->createRenderTarget(); }

RenderTarget* MetalRenderTest::offscreen(const char* name, uint16_t width, uint16_t height, uint32_t flags) {
    RenderTarget* t = render->createRenderTarget();
    t->_external = 0;
    t->_flags = flags;
    t->_width = width;
    t->_height = height;
    t->_name = name;
    return t;
}

mtl::TexturePtr MetalRenderTest::metalTexture(Texture* texture) {
    auto* box = texture ? static_cast<MetalTextureBox*>(texture->_deviceTexture) : nullptr;
    return box ? box->texture : nullptr;
}

mtl::CommandBufferPtr MetalRenderTest::drawFrame() {
    return view->frame([&] {
        render->beginFrame();
        render->render();
    });
}

mtl::CommandBufferPtr MetalRenderTest::fourthFrameWaitsForTheFirst() {
    render->device->holdGpu();
    std::vector<mtl::CommandBufferPtr> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(drawFrame());
    std::atomic<bool> done{false};
    mtl::CommandBufferPtr fourthFrame;
    std::thread fourth([&] {
        fourthFrame = drawFrame();
        done = true;
    });
    // A loaded machine may take long to reach the wait; the bound only ends a broken run.
    EXPECT_TRUE(testsupport::waitUntil([&] { return render->inFlight->waiting() != 0; }, 60000));
    EXPECT_EQ(render->inFlight->waiting(), 1);
    EXPECT_FALSE(done);
    EXPECT_EQ(frames[0]->status(), mtl::CommandBufferStatusCommitted);
    render->device->stepGpu(1);
    fourth.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(frames[0]->status(), mtl::CommandBufferStatusCompleted);
    EXPECT_EQ(frames[1]->status(), mtl::CommandBufferStatusCommitted);
    render->device->releaseGpu();
    render->device->waitGpuIdle();
    EXPECT_TRUE(fourthFrame);
    if (fourthFrame) {
        EXPECT_EQ(fourthFrame->status(), mtl::CommandBufferStatusCompleted);
    }
    return fourthFrame;
}

}  // namespace metaltest

// Encoding cost of one frame on the Metal renderer over the stand-in: a screen of repeated meshes
// (drawn as instances) and of distinct meshes (one draw each). The stand-in's read checks are
// off, so mostly the renderer's own work is measured.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/MetalRender/MetalRender.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/ResourceManager.h"
#include "game/metal/MetalShaders.h"

namespace {

Geometry* makeBox() {
    auto* g = new Geometry();
    const char* names[4] = {"vertPos", "texCoords0", "vertNormal", "vertColor"};
    const int types[4] = {0, 0, 0, 1}, counts[4] = {3, 2, 3, 4};
    for (int i = 0; i < 4; ++i) {
        GeometryAttribute a;
        a.type = types[i];
        a.components = (uint8_t)counts[i];
        a.name = names[i];
        g->_attributes.push_back(a);
    }
    g->updateStride();
    g->_vertexCount = 24;
    g->_indexCount = 36;
    g->_vertices = static_cast<uint8_t*>(std::calloc(24, g->_stride));
    g->_indices = static_cast<uint16_t*>(std::calloc(36, 2));
    for (int i = 0; i < 36; ++i)
        g->_indices[i] = (uint16_t)(i % 24);
    return g;
}

// meshesPerGeometry equal meshes per geometry; the screen holds `total` meshes.
void runFrames(benchmark::State& state, int total, int meshesPerGeometry) {
    static testsupport::FixedSizeGame game(320, 240);
    IGame::setInstance(&game);
    ResourceManager::instance().resetForTests();
    registerMetalShaders();
    MetalRender* render = MetalRender::create();
    render->device->setReadChecks(false);
    render->commandQueue->setHistoryLimit(0);
    mtl::MetalLayer layer(render->device);
    layer.drawableWidth = 320;
    layer.drawableHeight = 240;
    mtl::TextureDescriptor dd = mtl::TextureDescriptor::texture2D(mtl::PixelFormatDepth32Float, 320, 240, false);
    dd.usage = mtl::TextureUsageRenderTarget;
    mtl::TexturePtr depth = render->device->newTexture(dd);

    RenderTarget* screen = render->createRenderTarget();
    auto* material = new Material();
    material->_name = "crate";
    material->_shader = ResourceManager::instance()._shaders["shaders/model.shader"];
    std::vector<std::unique_ptr<Geometry>> geometries;
    std::vector<std::unique_ptr<Mesh>> meshes;
    for (int i = 0; i < total; ++i) {
        if (i % meshesPerGeometry == 0)
            geometries.emplace_back(makeBox());
        auto* m = new Mesh();
        m->setGeometry(geometries.back().get(), -1, -1);
        m->_material = material;
        m->_worldMatrix = Matrix4::translation(Vector3((float)(i % 20), (float)(i / 20), 0));
        screen->addMesh(m);
        meshes.emplace_back(m);
    }
    for (auto _ : state) {
        mtl::DrawablePtr drawable = layer.nextDrawable();
        auto pass = std::make_shared<mtl::RenderPassDescriptor>();
        pass->colorAttachments[0].texture = drawable->texture();
        pass->colorAttachments[0].loadAction = mtl::LoadActionClear;
        pass->depthAttachment.texture = depth;
        MetalRender::beginDrawable(pass);
        render->beginFrame();
        render->render();
        MetalRender::presentDrawable(drawable, pass);
    }
    render->device->waitGpuIdle();
    state.counters["draws"] = render->drawCalls;
    delete screen;
    render->targets.clear();
    meshes.clear();
    MetalRender::destroyInstance();
    delete material;
    ResourceManager::instance().resetForTests();
}

void BM_MetalFrameRepeatedMeshes(benchmark::State& state) { runFrames(state, (int)state.range(0), (int)state.range(0)); }
BENCHMARK(BM_MetalFrameRepeatedMeshes)->Arg(100)->Arg(1000);

void BM_MetalFrameDistinctMeshes(benchmark::State& state) { runFrames(state, (int)state.range(0), 1); }
BENCHMARK(BM_MetalFrameDistinctMeshes)->Arg(100)->Arg(1000);

}  // namespace

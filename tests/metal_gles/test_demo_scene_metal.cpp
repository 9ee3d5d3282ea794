// The world's demo scene (text and binary form) drawn through the Metal renderer on the stand-in
// and, in the same process, through the OpenGL ES back end: the Metal frame must draw exactly the
// meshes the OpenGL ES back end draws (one draw per mesh there), group the repeated pillar into
// one instanced draw, open one encoder per target in list order and pass validation.
//
// Besides the world's screen target, an off-screen "mirror" target in front of it shows the same
// nodes through the same camera, so the target order and the per-target batches are checked on
// more than one target.

#include <gtest/gtest.h>
#include <GLES2/gl2.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "MetalTestSupport.h"
#include "TestSupport.h"
#include "engine/clock.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/gles2/EglHeadless.h"
#include "engine/render/gles2/OpenGLES2Render.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"

using namespace metaltest;

namespace {

// Both back ends draw at the Metal view's size, so the camera's view volume (and the culling
// it drives) is the same for both.
const int kWidth = 320;
const int kHeight = 240;
const int kFrames = 3;

// The demo scene loaded into a world on the current renderer, with the mirror target in front of
// the world's target and a few simulated frames behind it.
class DemoWorld {
public:
    DemoWorld(Render* render, const char* path) {
        world.reset(new World(1));
        scene = world->loadScene(path, 1, 0);
        if (!scene || !world->getCamera())
            return;
        mirror = render->createRenderTarget();  // goes to the front of the list
        mirror->_external = 0;
        mirror->_flags = RenderTarget::FlagColourTexture | RenderTarget::FlagDepthBuffer;
        mirror->_width = 256;
        mirror->_height = 128;
        mirror->_name = "mirror";
        mirror->_camera = world->getCamera();
        for (Object* node : world->_objects)
            mirror->addObject(node);
        for (int i = 0; i < 10; ++i)
            world->update();
        render->createRenderTargets();
        ResourceManager::instance().uploadAll();
    }
    ~DemoWorld() {
        // The mirror leaves before the world frees the meshes it links.
        if (mirror) {
            std::vector<RenderTarget*>& targets = Render::current()->targets;
            targets.erase(std::remove(targets.begin(), targets.end(), mirror), targets.end());
            delete mirror;
        }
        world.reset();
    }
    bool loaded() const { return mirror != nullptr; }
    // The mesh both pillars share through their object file.
    Mesh* pillarMesh() const {
        Object* left = scene->findObject("PillarLeft");
        Object* right = scene->findObject("PillarRight");
        if (!left || !right || left->_meshes.size() != 1 || right->_meshes.size() != 1)
            return nullptr;
        return left->_meshes[0];
    }

    std::unique_ptr<World> world;
    Scene* scene = nullptr;
    RenderTarget* mirror = nullptr;
};

// Draw calls per frame of the scene on the OpenGL ES back end, which draws every mesh (every
// draw range) with a draw of its own. The renderer and everything it made are gone afterwards.
std::vector<uint32_t> glesDrawsPerFrame(const char* path) {
    std::vector<uint32_t> draws;
    EglHeadless* context = EglHeadless::shared(kWidth, kHeight);
    EXPECT_NE(context, nullptr) << "no headless EGL context";
    if (!context)
        return draws;
    EXPECT_EQ(context->width(), kWidth);
    setHostSize(kWidth, kHeight);
    ResourceManager::instance().resetForTests();
    OpenGLES2Render* gles = OpenGLES2Render::create();
    {
        DemoWorld demo(gles, path);
        EXPECT_TRUE(demo.loaded()) << path;
        for (int frame = 0; frame < kFrames && demo.loaded(); ++frame) {
            gles->beginFrame();
            gles->render();
            draws.push_back(gles->drawCalls);
        }
    }
    ResourceManager::instance().resetForTests();  // program records go back to the renderer here
    gles->targets.clear();
    Render::setCurrent(nullptr);
    delete gles;
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    return draws;
}

class DemoSceneMetal : public MetalRenderTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _docs.path()));
        frameTime().dt = 1.0f / 60.0f;
        glesDraws = glesDrawsPerFrame(GetParam());
        MetalRenderTest::SetUp();
        demo.reset(new DemoWorld(render, GetParam()));
        ASSERT_TRUE(demo->loaded()) << GetParam();
        ASSERT_EQ(render->targets.size(), 2u);
        ASSERT_EQ(render->targets[0], demo->mirror);
    }
    void TearDown() override {
        demo.reset();  // before the renderer and its remaining targets go
        MetalRenderTest::TearDown();
        frameTime().dt = 0;
        _stores.reset();
    }

    std::vector<uint32_t> glesDraws;
    std::unique_ptr<DemoWorld> demo;

private:
    testsupport::TempDir _docs;
    std::unique_ptr<testsupport::ScopedStores> _stores;
};

TEST_P(DemoSceneMetal, DrawsTheMeshesOfTheOpenGlesBackEndWithRepeatedMeshesInstanced) {
    ASSERT_EQ(glesDraws.size(), (size_t)kFrames);
    Mesh* pillar = demo->pillarMesh();
    ASSERT_NE(pillar, nullptr);
    ASSERT_EQ(demo->scene->findObject("PillarRight")->_meshes[0]->_geometry, pillar->_geometry)
        << "both pillars come from one cached object file";

    for (int frame = 0; frame < kFrames; ++frame) {
        SCOPED_TRACE(frame);
        mtl::CommandBufferPtr cb = drawFrame();

        // One encoder per target, in list order: the mirror's texture, then the drawable.
        ASSERT_EQ(cb->encoders().size(), 2u);
        EXPECT_EQ(cb->encoders()[0]->passDescriptor().colorAttachments[0].texture,
                  metalTexture(demo->mirror->_colourTexture));
        EXPECT_EQ(cb->encoders()[1]->passDescriptor().colorAttachments[0].texture, view->lastDrawable->texture());

        // Every target shows the whole scene: the same meshes on both, none of them culled.
        const size_t linked = demo->mirror->linkedMeshCount();
        EXPECT_EQ(linked, 8u) << "ground, crate, ball, two pillars, the spinner's block, cap and label";
        EXPECT_EQ(demo->world->_renderTarget->linkedMeshCount(), linked);

        uint32_t meshesDrawn = 0, draws = 0;
        for (size_t e = 0; e < cb->encoders().size(); ++e) {
            const mtl::RenderCommandEncoder& encoder = *cb->encoders()[e];
            uint32_t batches = 0;
            for (const mtl::DrawRecord& d : encoder.draws()) {
                ASSERT_TRUE(d.pipeline);
                if (d.pipeline->label() == "RenderTargetClear")
                    continue;
                EXPECT_TRUE(d.errors.empty()) << d.pipeline->label() << ": " << d.errors[0];
                meshesDrawn += d.instanceCount;
                ++draws;
                if (d.instanceCount > 1) {
                    ++batches;
                    // The pillars: their shared index range under their material, twice.
                    EXPECT_EQ(d.instanceCount, 2u);
                    EXPECT_EQ(d.pipeline->label(), pillar->_material->_name);
                    EXPECT_EQ(d.indexCount, (uint32_t)pillar->getIndexCount());
                }
            }
            EXPECT_EQ(batches, 1u) << "encoder " << e;
        }
        EXPECT_EQ(meshesDrawn, glesDraws[frame]);
        EXPECT_EQ(meshesDrawn, 2 * linked);
        EXPECT_EQ(draws, meshesDrawn - 2) << "one draw saved per target by the pillar batch";
        EXPECT_EQ(render->drawCalls, draws);
    }
    render->device->waitGpuIdle();
    EXPECT_EQ(render->device->validationErrorCount(), 0u)
        << (render->device->validationErrors().empty() ? "" : render->device->validationErrors()[0]);
    // Every mesh's vertices are laid out as its Metal shader class reads them.
    EXPECT_FALSE(logContains("invalid vertex attributes"));
}

TEST_P(DemoSceneMetal, AHeldBackGpuMakesTheFourthFrameWaitForTheFirst) {
    mtl::CommandBufferPtr fourthFrame = fourthFrameWaitsForTheFirst();
    ASSERT_TRUE(fourthFrame);
    EXPECT_EQ(fourthFrame->encoders().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, DemoSceneMetal, ::testing::Values("scenes/demo.txt", "scenes/demo.bin"));

}  // namespace

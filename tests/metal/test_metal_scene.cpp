// A whole scene through the Metal renderer's frame: an off-screen reflection and the screen,
// repeated meshes, blended meshes, lights, fog, a dynamic text quad and a material that samples
// the reflection. The scene is built in code by buildScene; the world's demo scene can take its
// place there, and every check below stays as it is.

#include <tuple>

#include "MetalTestSupport.h"
#include "engine/render/Texture.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"

using namespace metaltest;

namespace {

// The frame as a back end with one draw per mesh sees it (the OpenGL ES back end's way): the
// base frame, every group drawn mesh by mesh, and nothing but the draws counted.
class OneDrawPerMeshRender : public Render {
public:
    void beginFrame() override {}
    void endFrame() override {}
    void init() override {}
    void createRenderTargets() override {}
    void uploadTexture(Texture*) override {}
    void deleteTexture(Texture*) override {}
    void createShader(Shader*) override {}
    void deleteShader(Shader*) override {}
    void createGeometry(Geometry*) override {}
    void batchGeometries(const std::vector<Geometry*>&) override {}
    void enableCulling() override {}
    void enableBlend() override {}
    void enableDepthWrite() override {}
    void enableColorWrite() override {}
    void enableDepthTest() override {}
    void beginStencilWrite() override {}
    void beginStencilTest() override {}
    void disableCulling() override {}
    void disableBlend() override {}
    void disableDepthWrite() override {}
    void disableColorWrite() override {}
    void disableDepthTest() override {}
    void endStencilWrite() override {}
    void endStencilTest() override {}
    void setCullFace(int) override {}
    void beginRenderTarget(RenderTarget*) override {}
    void finishRenderTarget(RenderTarget*) override {}
    void setBlendFunc(int) override {}
    void useShader(Shader*) override {}
    void bindGeometry(Geometry*) override {}
    void bindTexture(int, Texture*) override {}
    void drawTriangles(int32_t, int32_t) override { ++meshesDrawn; }
    void drawLines(int32_t, int32_t) override { ++meshesDrawn; }
    int queryReserved() override { return 0; }
    void uploadUniform(ShaderUniform*) override {}
    int meshesDrawn = 0;
};

class MetalScene : public MetalRenderTest {
protected:
    struct Scene {
        RenderTarget* reflection = nullptr;
        RenderTarget* screen = nullptr;
        // Expected instanced batches: material name and target -> instances.
        std::vector<std::tuple<std::string, RenderTarget*, uint32_t>> batches;
    };

    void TearDown() override {
        MetalRenderTest::TearDown();
        delete crateTexture;
        nodes.clear();
    }

    Scene buildScene() {
        Scene scene;
        scene.screen = screen();
        scene.reflection = offscreen("reflection", 300, 200);  // goes first in the list

        auto* camera = new Camera(nullptr);
        camera->setPerspective(60, 320.0f / 240.0f, 0.1f, 200);
        camera->setPosition(Vector3(0, -20, 3));
        auto* mirrorCamera = new Camera(nullptr);
        mirrorCamera->setPerspective(60, 1.5f, 0.1f, 200);
        mirrorCamera->setPosition(Vector3(0, -20, -3));
        auto* sun = new Light(nullptr);
        sun->_direction = Vector3(0, 0, -1);
        sun->_lightColor = Vector3(1, 0.9f, 0.8f);
        auto* lamp = new Light(nullptr);
        lamp->_direction = Vector3(1, 0, 0);
        lamp->_energy = 2;
        for (Object* o : std::initializer_list<Object*>{camera, mirrorCamera, sun, lamp})
            nodes.emplace_back(o);
        scene.screen->_camera = camera;
        scene.screen->_fogDistance = 50;
        scene.reflection->_camera = mirrorCamera;

        crateTexture = new Texture();
        crateTexture->_format = TextureRGBA;
        crateTexture->_width = crateTexture->_height = 4;
        crateTexture->_levelCount = crateTexture->_levelsLoaded = 3;
        for (int i = 0; i < 3; ++i)
            crateTexture->_levels.push_back(static_cast<uint8_t*>(std::calloc(64, 1)));

        Material* crate = material("crate", "shaders/model.shader");
        crate->_textures.push_back(crateTexture);
        Material* decal = material("decal", "shaders/decal.shader", BlendAlpha);
        decal->_depthWrite = 0;
        Material* sky = material("sky", "shaders/sky.shader");
        sky->_cullMode = CullNone;
        sky->_orderID = -1;
        Material* text = material("text", "shaders/text.shader", BlendAlpha);
        text->_orderID = 10;
        Material* water = material("water", "shaders/uvscroll.shader");
        water->_uvAnimSpeed = 2;
        water->_uvAnimScrollSpeedU = 0.25f;
        water->_textures.push_back(scene.reflection->_colourTexture);
        Material* outline = material("outline", "shaders/outline.shader");

        Geometry* box = quad();
        Geometry* skyDome = quad();
        Geometry* plane = quad();
        Geometry* ring = quad();
        Geometry* label = quad(true, true);
        for (int i = 0; i < 5; ++i) {
            Mesh* m = addMesh(scene.screen, box, crate, Vector3(2.0f * i, 0, 0));
            m->_lights[0] = sun;
            m->_lights[1] = lamp;
        }
        for (int i = 0; i < 3; ++i) {
            Mesh* m = addMesh(scene.reflection, box, crate, Vector3(2.0f * i, 0, 0));
            m->_lights[0] = sun;
        }
        addMesh(scene.screen, skyDome, sky, Vector3(0, 0, 0));
        addMesh(scene.reflection, skyDome, sky, Vector3(0, 0, 0));
        addMesh(scene.screen, plane, water, Vector3(0, 0, -1));
        addMesh(scene.screen, ring, outline, Vector3(-3, 0, 0));
        addMesh(scene.screen, ring, outline, Vector3(3, 0, 0));
        addMesh(scene.screen, box, decal, Vector3(1, 1, 0));
        addMesh(scene.screen, box, decal, Vector3(1, 2, 0));
        addMesh(scene.screen, label, text, Vector3(0, 0, 5));

        scene.batches = {{"crate", scene.screen, 5}, {"crate", scene.reflection, 3}, {"outline", scene.screen, 2}};
        return scene;
    }

    std::vector<std::unique_ptr<Object>> nodes;
    Texture* crateTexture = nullptr;
};

TEST_F(MetalScene, DrawsEveryTargetWithOneEncoderAndRepeatedMeshesInstanced) {
    Scene scene = buildScene();
    OneDrawPerMeshRender reference;
    reference.targets = render->targets;

    for (int frame = 0; frame < 3; ++frame) {
        mtl::CommandBufferPtr cb = drawFrame();
        reference.meshesDrawn = 0;
        reference.render();
        Render::setCurrent(render);
        SCOPED_TRACE(frame);

        // One encoder per target, in list order.
        ASSERT_EQ(render->targets.size(), 2u);
        ASSERT_EQ(cb->encoders().size(), 2u);
        EXPECT_EQ(cb->encoders()[0]->passDescriptor().colorAttachments[0].texture,
                  metalTexture(scene.reflection->_colourTexture));
        EXPECT_EQ(cb->encoders()[1]->passDescriptor().colorAttachments[0].texture, view->lastDrawable->texture());

        // As many meshes as a one-draw-per-mesh back end draws, in fewer draws.
        uint32_t meshesDrawn = 0, draws = 0;
        for (const DrawAt& d : drawsOf(cb)) {
            if (d.draw->pipeline && d.draw->pipeline->label() == "RenderTargetClear")
                continue;
            meshesDrawn += d.draw->instanceCount;
            ++draws;
            EXPECT_TRUE(d.draw->errors.empty()) << d.draw->pipeline->label() << ": " << d.draw->errors[0];
        }
        EXPECT_EQ(meshesDrawn, (uint32_t)reference.meshesDrawn);
        EXPECT_EQ(meshesDrawn, 16u);
        EXPECT_EQ(draws, 16u - 4 - 2 - 1);
        EXPECT_EQ(render->drawCalls, draws);

        for (const auto& batch : scene.batches) {
            const mtl::RenderCommandEncoder* encoder =
                cb->encoders()[std::get<1>(batch) == scene.reflection ? 0 : 1].get();
            bool found = false;
            for (const mtl::DrawRecord& d : encoder->draws())
                if (d.pipeline->label() == std::get<0>(batch) && d.instanceCount == std::get<2>(batch))
                    found = true;
            EXPECT_TRUE(found) << std::get<0>(batch) << " x " << std::get<2>(batch);
        }
    }
    render->device->waitGpuIdle();
    EXPECT_EQ(render->device->validationErrorCount(), 0u)
        << (render->device->validationErrors().empty() ? "" : render->device->validationErrors()[0]);
}

TEST_F(MetalScene, AHeldBackGpuMakesTheFourthFrameOfTheSceneWaitForTheFirst) {
    buildScene();
    fourthFrameWaitsForTheFirst();
}

}  // namespace

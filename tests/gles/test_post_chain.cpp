// The whole path on Mesa with the sample content: a lit, textured mesh drawn by a camera into an
// off-screen target, then a bright pass and a combining pass to the screen. Once with a quad built
// here under the sample model material, once with an object file of the demo content placed in a
// world. Set ZELVAN_PNG_DIR to also write the frames as PNGs there.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/Material.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "engine_game/World.h"
#include "support_gles.h"

namespace glestest {
namespace {

// The two post-processing passes of the sample content: a bright pass of the scene target into
// "brightpass", then the scene plus that glow to the screen target.
class ChainTest : public GlesTest {
protected:
    ChainTest() : stores(testsupport::contentDir(), documents.path()), camera(nullptr), lamp(nullptr) {}

    // Drawn in list order and every new target goes to the front: the scene target must be made
    // after these two.
    void makePassTargets() {
        final = screen("finalPass");
        bright = offscreen("brightpass", kWidth, kHeight, RenderTarget::FlagColourBuffer | RenderTarget::FlagColourTexture);
    }
    void linkPasses(RenderTarget* scene) {
        brightEffect = bright->addPostEffect(scene, "brightpass");
        combineEffect = final->addPostEffect(bright, "combine");
        ASSERT_NE(brightEffect->_material, nullptr);
        ASSERT_NE(combineEffect->_material, nullptr);
        ASSERT_NE(combineEffect->_material->_shader->_program, nullptr);
        // The scene itself is the combining pass's second texture.
        combineEffect->_material->_textures.push_back(scene->_colourTexture);
        brightEffect->setUniformFloat("hdrBrightThres", 0.5f);
        brightEffect->setUniformFloat("hdrBrightOffset", 0.0f);
        combineEffect->setUniformFloat("hdrExposure", 1.0f);
        combineEffect->setUniformFloat("hdrEnableTonemap", 0.0f);
        render->createRenderTargets();
    }
    // The screen pixel of a world point.
    void pixelOfPoint(const Vector3& point, int& px, int& py) {
        Vector3 p = point;
        camera.project(p);
        px = (int)((p.x + 1) * 0.5f * kWidth);
        py = (int)((p.y + 1) * 0.5f * kHeight);
    }
    void writeScreenPng(const char* name) {
        const char* dir = std::getenv("ZELVAN_PNG_DIR");
        if (!dir) return;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        EXPECT_TRUE(EglHeadless::writePng(std::string(dir) + "/" + name, kWidth, kHeight,
                                          EglHeadless::readPixels(0, 0, kWidth, kHeight)));
    }

    testsupport::TempDir documents;
    testsupport::ScopedStores stores;
    Camera camera;
    Light lamp;
    RenderTarget* final = nullptr;
    RenderTarget* bright = nullptr;
    RenderTarget::RenderTargetMesh* brightEffect = nullptr;
    RenderTarget::RenderTargetMesh* combineEffect = nullptr;
};

class PostChain : public ChainTest {
protected:
    void SetUp() override {
        GlesTest::SetUp();
        if (HasFatalFailure()) return;
        makePassTargets();
        game = offscreen("game", kWidth, kHeight,
                         RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer | RenderTarget::FlagColourTexture);
        camera.setPerspective(60, 1, 0.1f, 100);
        game->_camera = &camera;

        Material* model = ResourceManager::instance().getMaterial("materials/model.txt");
        ASSERT_NE(model, nullptr);
        ASSERT_NE(model->_shader, nullptr);
        ASSERT_NE(model->_shader->_program, nullptr) << "the sample model shader does not build";
        quad = mesh(geometry(makeQuad(-1, -1, 1, 1)), model);
        quad->_worldMatrix = Matrix4::translation(Vector3(0, 0, -2));
        quad->_lights[0] = &lamp;
        game->addMesh(quad);
        linkPasses(game);
    }
    void TearDown() override {
        if (game) game->removeMesh(quad);
        GlesTest::TearDown();
    }

    // The screen pixel that shows a point of the quad (quad coordinates -1..1).
    void pixelOf(float x, float y, int& px, int& py) {
        pixelOfPoint(quad->_worldMatrix.transformPoint(Vector3(x, y, 0)), px, py);
    }

    RenderTarget* game = nullptr;
    Mesh* quad = nullptr;
};

// Texture coordinate u or v at the centre of checker texel t (16 texels).
float quadCoordinate(int texel) { return (texel + 0.5f) / 16.0f * 2.0f - 1.0f; }

TEST_F(PostChain, ALitTexturedMeshGoesThroughTwoPassesToTheScreen) {
    // Checker cells are 4 texels: cell (1, 2) is light (200), cell (2, 2) dark (90).
    int lightX, lightY, darkX, darkY;
    pixelOf(quadCoordinate(6), quadCoordinate(10), lightX, lightY);
    pixelOf(quadCoordinate(10), quadCoordinate(10), darkX, darkY);

    struct Case {
        const char* what;
        Vector3 lampAt;
        float energy;
        int light, dark;  // expected scene values: albedo x (diffuse x energy + emit 0.3)
    };
    const Case cases[] = {
        {"lamp in front", {0, 0, 5}, 0.5f, 160, 72},
        {"lamp off", {0, 0, 5}, 0.0f, 60, 27},
        {"lamp behind", {0, 0, -10}, 0.5f, 60, 27},
    };
    for (const Case& c : cases) {
        lamp.setPosition(c.lampAt);
        lamp._energy = c.energy;
        frame();
        const Rgba sceneLight = targetPixel(game, lightX, lightY);
        const Rgba sceneDark = targetPixel(game, darkX, darkY);
        EXPECT_TRUE(near(sceneLight, Rgba{c.light, c.light, c.light, 255}, 4)) << c.what;
        EXPECT_TRUE(near(sceneDark, Rgba{c.dark, c.dark, c.dark, 255}, 4)) << c.what;
        // Bright pass: what lies above 0.5; combined: the scene plus that.
        const int glow = std::max(0, c.light - 128);
        EXPECT_TRUE(near(targetPixel(bright, lightX, lightY), Rgba{glow, glow, glow, 255}, 4)) << c.what;
        EXPECT_TRUE(near(screenPixel(lightX, lightY), Rgba{c.light + glow, c.light + glow, c.light + glow, 255}, 5))
            << c.what;
        EXPECT_TRUE(near(screenPixel(darkX, darkY), Rgba{c.dark, c.dark, c.dark, 255}, 5)) << c.what;
        EXPECT_TRUE(near(screenPixel(2, 2), Rgba{0, 0, 0, 255})) << c.what;  // outside the mesh
    }
    EXPECT_EQ(render->drawCalls, 3u);

    lamp.setPosition(Vector3(0, 0, 5));
    lamp._energy = 0.5f;
    frame();
    writeScreenPng("post_chain.png");
}

// The demo crate's object file placed in a world through the object-file reader: its mesh, its
// "model" material with the checker texture, lit by one lamp, drawn by the world's own target
// made off-screen, then both passes to the screen.
class WorldPostChain : public ChainTest {
protected:
    void SetUp() override {
        GlesTest::SetUp();
        if (HasFatalFailure()) return;
        makePassTargets();
        world.reset(new World(0));
        RenderTarget* scene = world->_renderTarget;
        scene->_external = 0;
        scene->_flags = RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer | RenderTarget::FlagColourTexture;

        // Looking down at the crate's corner: its +X, -Y and top faces are in view.
        camera.setPerspective(60, 1, 0.1f, 100);
        const Vector3 eye(1.8f, -1.5f, 1.4f);
        const Vector3 back = eye.normalized();
        const Vector3 right = Vector3(0, 0, 1).cross(back).normalized();
        const Vector3 rows[3] = {right, back.cross(right), back};
        camera.setTransform(rows, eye, Vector3(1, 1, 1));
        camera.updateTransform();
        world->setCamera(&camera);

        const Vector3 identity[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        crate = world->createObject(nullptr, "objects/demo/crate.object", "Crate", PropertyList(), 0, identity,
                                    Vector3(), Vector3(1, 1, 1), nullptr);
        ASSERT_NE(crate, nullptr);
        ASSERT_EQ(crate->_meshes.size(), 1u);
        Material* model = crate->_meshes[0]->_material;
        ASSERT_NE(model, nullptr);
        ASSERT_NE(model->_shader, nullptr);
        ASSERT_NE(model->_shader->_program, nullptr) << "the sample model shader does not build";
        ASSERT_FALSE(model->_textures.empty());
        world->setLights(crate, std::vector<Light*>{&lamp});
        EXPECT_EQ(crate->_meshes[0]->_lights[0], &lamp);

        linkPasses(scene);
        ResourceManager::instance().uploadAll();
    }
    void TearDown() override {
        world.reset();  // its target and nodes go before the renderer
        GlesTest::TearDown();
    }

    std::unique_ptr<World> world;
    Object* crate = nullptr;
};

struct CrateFace {
    const char* name;
    Vector3 normal, uAxis, vAxis;  // as the content writer lays out a box face
};

// A point of a face of the unit crate at texture coordinates (u, v).
Vector3 facePoint(const CrateFace& f, float u, float v) {
    return (f.normal + f.uAxis * (2 * u - 1) + f.vAxis * (2 * v - 1)) * 0.5f;
}

TEST_F(WorldPostChain, AnObjectFileIsLitTexturedAndPostProcessedToTheScreen) {
    const CrateFace faces[] = {
        {"+X", Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)},
        {"-Y", Vector3(0, -1, 0), Vector3(1, 0, 0), Vector3(0, 0, 1)},
        {"top", Vector3(0, 0, 1), Vector3(1, 0, 0), Vector3(0, 1, 0)},
    };
    // Checker cells of 4 texels: cell (1, 2) is light (200), cell (2, 2) dark (90).
    const float lightU = 6.5f / 16, darkU = 10.5f / 16, cellV = 10.5f / 16;

    struct Case {
        const char* what;
        Vector3 towardLamp;  // unit
        float energy;
    };
    // Lit from the +X side and above; the -Y face turns away and keeps only the emit of 0.3.
    const Case cases[] = {
        {"lamp on", Vector3(0.8f, 0, 0.6f), 0.7f},
        {"lamp off", Vector3(0.8f, 0, 0.6f), 0.0f},
    };
    for (const Case& c : cases) {
        lamp.setPosition(c.towardLamp * 10.0f);
        lamp._energy = c.energy;
        frame();
        EXPECT_EQ(render->drawCalls, 3u) << c.what;
        for (const CrateFace& f : faces) {
            const float diffuse = std::max(0.0f, f.normal.dot(c.towardLamp));
            const float light = diffuse * c.energy + 0.3f;
            const struct {
                float u;
                int albedo;
            } cells[] = {{lightU, 200}, {darkU, 90}};
            for (const auto& cell : cells) {
                int x, y;
                pixelOfPoint(facePoint(f, cell.u, cellV), x, y);
                const int scene = (int)(cell.albedo * light + 0.5f);
                const int glow = std::max(0, scene - 128);
                const std::string where = std::string(c.what) + ", face " + f.name + ", albedo " +
                                          std::to_string(cell.albedo);
                EXPECT_TRUE(near(targetPixel(world->_renderTarget, x, y), Rgba{scene, scene, scene, 255}, 4)) << where;
                EXPECT_TRUE(near(targetPixel(bright, x, y), Rgba{glow, glow, glow, 255}, 4)) << where;
                EXPECT_TRUE(near(screenPixel(x, y), Rgba{scene + glow, scene + glow, scene + glow, 255}, 5)) << where;
            }
        }
        EXPECT_TRUE(near(screenPixel(2, 2), Rgba{0, 0, 0, 255})) << c.what;  // beside the crate
    }

    // The lit light cell of the +X face glows on the screen; the turned-away face does not.
    lamp.setPosition(Vector3(0.8f, 0, 0.6f) * 10.0f);
    lamp._energy = 0.7f;
    frame();
    int litX, litY, shadeX, shadeY;
    pixelOfPoint(facePoint(faces[0], lightU, cellV), litX, litY);
    pixelOfPoint(facePoint(faces[1], lightU, cellV), shadeX, shadeY);
    EXPECT_GT(screenPixel(litX, litY).r, targetPixel(world->_renderTarget, litX, litY).r + 30);
    EXPECT_LT(screenPixel(shadeX, shadeY).r, 70);
    writeScreenPng("world_post_chain.png");
}

}  // namespace
}  // namespace glestest

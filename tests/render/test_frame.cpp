// The frame through a renderer without a device: targets in list order, grouping of identical
// opaque meshes, culled meshes leaving and returning, blended meshes back to front, distance
// skipping, lights, the standard uniforms and the material state.

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DrawFixtures.h"
#include "FrameRecorder.h"
#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/bounds.h"
#include "engine/clock.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"

namespace {

// A shader with every standard uniform, built by the recorder.
class TestShader : public Shader {
public:
    explicit TestShader(Render& render) {
        auto add = [this](ShaderUniform* u) { _uniforms.push_back(u); };
        add(new Matrix4ShaderUniform("projMat"));
        add(new Matrix4ShaderUniform("viewMat"));
        add(new Matrix4ShaderUniform("worldMat"));
        add(new Matrix3ShaderUniform("normalMat"));
        add(new FloatShaderUniform("fogDistance"));
        add(new FloatShaderUniform("time"));
        add(new FloatShaderUniform("materialEmit"));
        add(new Vector4ShaderUniform("color"));
        add(new Vector4ShaderUniform("meshColor"));
        add(new Vector3ShaderUniform("uvOffset"));
        add(new Vector3ShaderUniform("aabbSize"));
        for (int i = 0; i < 4; ++i) {
            add(new Vector3ShaderUniform(("light" + std::to_string(i) + "Color").c_str()));
            add(new Vector3ShaderUniform(("light" + std::to_string(i) + "Direction").c_str()));
            add(new Vector4ShaderUniform(("light" + std::to_string(i) + "Pos").c_str()));
        }
        for (int i = 0; i < 8; ++i) add(new SamplerShaderUniform(("tex" + std::to_string(i)).c_str()));
        render.createShader(this);
    }
    // The record is the back end's; this one has no device objects to release.
    ~TestShader() override {
        delete _program;
        _program = nullptr;
    }
    const float* value(const char* name) { return static_cast<const float*>(getUniform(name)->getValue()); }
};

// A slanted quad across the cube from (-1, -1, -1) to (1, 1, 1), two triangles.
Geometry* makeGeometry() {
    return drawfixtures::makePositionGeometry({-1, -1, -1, 1, -1, -1, -1, 1, 1, 1, 1, 1}, {0, 1, 2, 2, 1, 3});
}

// One recorder with targets, shaders, materials, geometries and meshes it cleans up after.
class Frame : public ::testing::Test {
protected:
    Frame() : shader(render), geometry(makeGeometry()) {}
    ~Frame() override {
        for (auto& t : targets)
            for (auto& m : meshes) t->removeMesh(m.get());
        Render::setCurrent(nullptr);
    }

    RenderTarget* target(const std::string& name, Camera* camera = nullptr) {
        RenderTarget* t = render.createRenderTarget();
        t->_name = name;
        t->_camera = camera;
        targets.emplace_back(t);
        return t;
    }
    Material* material(int blendMode = BlendNone, Shader* s = nullptr) {
        materials.emplace_back(new Material());
        Material* m = materials.back().get();
        m->_blendMode = blendMode;
        m->_shader = s ? s : &shader;
        return m;
    }
    Mesh* mesh(Material* m, Vector3 at = Vector3(), int32_t first = 0, int32_t count = 6) {
        meshes.emplace_back(new Mesh());
        Mesh* mesh = meshes.back().get();
        mesh->setGeometry(geometry.get(), first, count);
        mesh->_material = m;
        place(mesh, at);
        return mesh;
    }
    static void place(Mesh* mesh, const Vector3& at) {
        mesh->_worldMatrix = Matrix4::translation(at);
        mesh->updateBounds();
    }
    void frame() {
        render.clearRecords();
        render.beginFrame();
        render.render();
    }

    FrameRecorder render;
    TestShader shader;
    std::unique_ptr<Geometry> geometry;
    std::vector<std::unique_ptr<RenderTarget>> targets;
    std::vector<std::unique_ptr<Material>> materials;
    std::vector<std::unique_ptr<Mesh>> meshes;
};

TEST_F(Frame, TargetsAreDrawnInListOrderAndDisabledOnesAreSkipped) {
    Camera camera(nullptr);
    RenderTarget* last = target("last");
    RenderTarget* off = target("off", &camera);
    RenderTarget* first = target("first");  // every new target goes to the front
    off->_disabled = 1;
    ASSERT_EQ(render.targets, (std::vector<RenderTarget*>{first, off, last}));
    frame();
    EXPECT_EQ(render.begun, (std::vector<const RenderTarget*>{first, last}));
    EXPECT_EQ(render.finished, (std::vector<const RenderTarget*>{first, last}));
    EXPECT_EQ(off->_cullPhase, 1);  // never culled
    EXPECT_EQ(render.log.back(), "endFrame");
}

TEST_F(Frame, IdenticalOpaqueMeshesAreGrouped) {
    RenderTarget* t = target("game");
    Material* m = material();
    Mesh* a = mesh(m, {1, 0, 0});
    Mesh* b = mesh(m, {2, 0, 0});
    Mesh* hidden = mesh(m, {3, 0, 0});
    Mesh* c = mesh(m, {4, 0, 0});
    Mesh* shorter = mesh(m, {5, 0, 0}, 0, 3);
    hidden->_hidden = 1;
    for (Mesh* x : {a, b, hidden, c, shorter}) t->addMesh(x);
    // Chain: shorter, a, c, hidden, b.
    frame();
    EXPECT_EQ(render.groupSizes, (std::vector<size_t>{3}));
    EXPECT_EQ(render.drawnX(), (std::vector<float>{5, 1, 4, 2}));
    EXPECT_EQ(render.drawCalls, 4u);
    EXPECT_EQ(render.triangles, 1u + 2 + 2 + 2);
}

TEST_F(Frame, AMeshWithDrawRangesIsDrawnAloneRangeByRange) {
    RenderTarget* t = target("game");
    Material* m = material();
    Mesh* a = mesh(m, {1, 0, 0});
    Mesh* ranged = mesh(m, {2, 0, 0});
    Mesh* b = mesh(m, {3, 0, 0});
    DrawRange whole, second;
    second.first = 3;
    second.count = 3;
    ranged->_drawRanges = {whole, second};
    for (Mesh* x : {a, ranged, b}) t->addMesh(x);
    // Chain: a, b, ranged (each new equal mesh goes right after the first equal one).
    frame();
    EXPECT_EQ(render.groupSizes, std::vector<size_t>{2});
    ASSERT_EQ(render.draws.size(), 4u);
    const FrameRecorder::Draw& r1 = render.draws[2];
    const FrameRecorder::Draw& r2 = render.draws[3];
    EXPECT_EQ(r1.position.x, 2);
    EXPECT_EQ(r1.first, 0);
    EXPECT_EQ(r1.count, 6);  // -1 reads as the geometry's whole index count
    EXPECT_EQ(r2.first, 3);
    EXPECT_EQ(r2.count, 3);

    // In the middle of equal meshes it closes the open group.
    t->removeMesh(b);
    t->removeMesh(ranged);
    t->addMesh(b);       // chain: a, b
    t->addMesh(ranged);  // chain: a, ranged, b
    std::vector<float> order;
    for (RenderLink* n = t->_opaqueChains[0]; n; n = n->nextIn(t->_index))
        order.push_back(n->mesh->_worldMatrix.getTranslation().x);
    ASSERT_EQ(order, (std::vector<float>{1, 2, 3}));
    ranged->_drawRanges = {second};
    frame();
    EXPECT_TRUE(render.groupSizes.empty());
    EXPECT_EQ(render.drawnX(), (std::vector<float>{1, 2, 3}));
}

TEST_F(Frame, CulledMeshesLeaveAndReturn) {
    Camera camera(nullptr);
    camera.setPerspective(90, 1, 1, 100);
    RenderTarget* t = target("game", &camera);
    Material* m = material();
    Mesh* a = mesh(m, {-3, 0, -10});
    Mesh* b = mesh(m, {3, 0, 10});  // behind the camera
    t->addMesh(a);
    t->addMesh(b);

    frame();  // odd cull: b leaves before drawing
    EXPECT_EQ(render.drawnX(), (std::vector<float>{-3}));
    place(b, {3, 0, -10});
    frame();  // even cull: b comes back and is drawn
    EXPECT_EQ(render.drawnX().size(), 2u);
    place(a, {-3, 0, 200});
    frame();
    EXPECT_EQ(render.drawnX(), (std::vector<float>{3}));
    frame();  // a is back only when it returns to view
    EXPECT_EQ(render.drawnX(), (std::vector<float>{3}));
    EXPECT_EQ(t->culledMeshCount(), 1u);
}

TEST_F(Frame, BlendedMeshesAreSortedBackToFrontAfterTheOpaqueOnes) {
    Camera camera(nullptr);
    camera.setPerspective(90, 1, 1, 100);
    RenderTarget* t = target("game", &camera);
    t->_sortType = RenderTarget::SortZAscending;  // looking down -Z: the farthest first
    Material* glass = material(BlendAlpha);
    Material* solid = material();
    for (float z : {-5.0f, -20.0f, -10.0f}) t->addMesh(mesh(glass, {0, 0, z}));  // chain: -5, -10, -20
    t->addMesh(mesh(solid, {0, 0, -50}));
    frame();
    std::vector<float> zs;
    for (const auto& d : render.draws) zs.push_back(d.position.z);
    EXPECT_EQ(zs, (std::vector<float>{-50, -20, -10, -5}));
}

TEST_F(Frame, MeshesAtOrBeyondTheirVisibilityDistanceAreSkippedWithACamera) {
    Camera camera(nullptr);
    camera.setPerspective(90, 1, 1, 100);
    RenderTarget* t = target("game", &camera);
    Material* m = material();
    Mesh* atLimit = mesh(m, {0, 0, -10});
    Mesh* inside = mesh(m, {0, 0, -9.99f});
    atLimit->_visibilityDistanceSq = 100;
    inside->_visibilityDistanceSq = 100;
    t->addMesh(atLimit);
    t->addMesh(inside);
    frame();
    EXPECT_EQ(render.distanceSkipped, 1u);
    EXPECT_EQ(render.drawnX().size(), 1u);
    EXPECT_FLOAT_EQ(render.draws[0].position.z, -9.99f);

    t->_camera = nullptr;  // no camera: no distance test
    frame();
    EXPECT_EQ(render.distanceSkipped, 0u);
    EXPECT_EQ(render.draws.size(), 2u);
    EXPECT_EQ(render.projection, Matrix4::identity());
    EXPECT_EQ(render.view, Matrix4::identity());
}

TEST_F(Frame, CameraAndFogReachTheUniforms) {
    Camera camera(nullptr);
    camera.setPerspective(60, 1.5f, 0.5f, 80);
    RenderTarget* t = target("game", &camera);
    t->_fogDistance = 50;
    t->addMesh(mesh(material(), {0, 0, -10}));
    frame();
    EXPECT_EQ(std::memcmp(shader.value("projMat"), camera._projection.m, 64), 0);
    EXPECT_EQ(std::memcmp(shader.value("viewMat"), camera._view.m, 64), 0);
    EXPECT_FLOAT_EQ(*shader.value("fogDistance"), -1.0f / 50);
    t->_fogDistance = 0;
    frame();
    EXPECT_FLOAT_EQ(*shader.value("fogDistance"), 0);
}

TEST_F(Frame, StandardMeshUniforms) {
    Material* m = material();
    Mesh* x = mesh(m, {1, 2, 3});
    x->_worldMatrix = Matrix4::compose(Vector3(1, 2, 3), Vector3(0, 0, kPi / 2), Vector3(2, 2, 2));
    x->_colour = Vector4(0.5f, 0.25f, 1, 1);
    m->_colour = Vector4(1, 0, 0, 0.5f);
    m->_emit = 0.7f;
    render.time = 2.5f;
    render.renderMesh(x);
    EXPECT_EQ(std::memcmp(shader.value("worldMat"), x->_worldMatrix.m, 64), 0);
    const float* n = shader.value("normalMat");
    // Rows of the world matrix, each divided by its length: the scale is gone.
    EXPECT_NEAR(n[0], 0, 1e-6);
    EXPECT_NEAR(n[1], 1, 1e-6);
    EXPECT_NEAR(n[3], -1, 1e-6);
    EXPECT_NEAR(n[8], 1, 1e-6);
    EXPECT_FLOAT_EQ(shader.value("meshColor")[1], 0.25f);
    EXPECT_FLOAT_EQ(shader.value("color")[3], 0.5f);
    EXPECT_FLOAT_EQ(*shader.value("materialEmit"), 0.7f);
    EXPECT_FLOAT_EQ(*shader.value("time"), 2.5f);
    const float* half = shader.value("aabbSize");
    EXPECT_FLOAT_EQ(half[0], 1);  // local box of the geometry: -1..1
    EXPECT_FLOAT_EQ(half[2], 1);
    EXPECT_EQ(x->_lastDrawn, (uint32_t)frameTime().msSinceStart);

    Mesh* unbounded = mesh(m);
    delete unbounded->_bounds;
    unbounded->_bounds = nullptr;
    render.renderMesh(unbounded);
    EXPECT_FLOAT_EQ(shader.value("aabbSize")[0], 0);
}

TEST_F(Frame, UvAnimation) {
    struct Case {
        float speed, scrollU, scrollV;
        uint32_t width, frames;
        float time;
        float u, v;
    };
    const Case cases[] = {
        {1, 0, 0, 2, 5, 5.0f, 0.5f, 2.0f / 3},      // counter 5: column 1, row 2 of 3
        {1, 0.25f, 0, 0, 0, 3.0f, 0.75f, 0},        // no sheet: scrolling only
        {2, 0.3f, 0.5f, 4, 8, 1.0f, 0.5f + 0.05f, 0.0f},  // counter 2; 0.3 mod 0.25, 0.5 mod 0.5
        {-1, 0, 0, 2, 4, 3.0f, 0, 0},               // negative counters read as 0
    };
    for (const Case& c : cases) {
        Material* m = material();
        m->_uvAnimSpeed = c.speed;
        m->_uvAnimScrollSpeedU = c.scrollU;
        m->_uvAnimScrollSpeedV = c.scrollV;
        m->_uvAnimWidth = c.width;
        m->_uvAnimNumberOfFrames = c.frames;
        render.time = c.time;
        render.renderMesh(mesh(m));
        const float* uv = shader.value("uvOffset");
        EXPECT_NEAR(uv[0], c.u, 1e-5) << c.speed << " " << c.width;
        EXPECT_NEAR(uv[1], c.v, 1e-5) << c.speed << " " << c.width;
        EXPECT_EQ(uv[2], 0);
    }

    // Speed 0 switches the whole animation off, scrolling included.
    TestShader fresh(render);
    Material* still = material(BlendNone, &fresh);
    still->_uvAnimScrollSpeedU = 1;
    render.renderMesh(mesh(still));
    EXPECT_TRUE(std::isnan(fresh.value("uvOffset")[0]));
}

TEST_F(Frame, LightsStayInTheirSlotsAndEmptySlotsGoDark) {
    Light l1(nullptr), l2(nullptr);
    l1._lightColor = Vector3(1, 0.5f, 0.25f);
    l1._energy = 2;
    l1._secondFactor = 4;
    l1.setPosition(Vector3(0, 0, 5));
    l2._secondFactor = 0;
    l2.setPosition(Vector3(3, 0, 0));
    Material* m = material();

    Mesh* both = mesh(m);
    both->_lights[0] = &l1;
    both->_lights[1] = &l2;
    render.renderMesh(both);
    EXPECT_EQ(render.boundLights[0], &l1);
    EXPECT_EQ(render.boundLights[1], &l2);
    const float* c0 = shader.value("light0Color");
    EXPECT_FLOAT_EQ(c0[0], 2);
    EXPECT_FLOAT_EQ(c0[1], 1);
    EXPECT_FLOAT_EQ(c0[2], 0.5f);
    EXPECT_FLOAT_EQ(shader.value("light0Pos")[2], 5);
    EXPECT_FLOAT_EQ(shader.value("light0Pos")[3], 0.25f);  // 1 / second factor
    EXPECT_FLOAT_EQ(shader.value("light1Pos")[3], 1);      // factor 0 reads as 1
    EXPECT_FLOAT_EQ(shader.value("light1Direction")[0], l2._direction.x);

    // The same lights in other slots of the mesh: nothing is sent again.
    Mesh* swapped = mesh(m);
    swapped->_lights[2] = &l2;
    swapped->_lights[3] = &l1;
    render.clearRecords();
    render.renderMesh(swapped);
    for (const std::string& name : render.uploadedUniforms) EXPECT_EQ(name.find("light"), std::string::npos) << name;
    EXPECT_EQ(render.boundLights[0], &l1);

    // One light fewer: the slot the mesh leaves empty must not keep l2.
    Mesh* single = mesh(m);
    single->_lights[0] = &l1;
    render.renderMesh(single);
    EXPECT_EQ(render.boundLights[1], nullptr);
    EXPECT_FLOAT_EQ(shader.value("light1Color")[0], 0);
    EXPECT_FLOAT_EQ(shader.value("light1Color")[1], 0);
    EXPECT_FLOAT_EQ(shader.value("light1Color")[2], 0);
    EXPECT_FLOAT_EQ(shader.value("light1Direction")[2], 1);  // a unit vector, never zero

    // A shader change empties the bound lights; the next mesh binds its lights again.
    TestShader other(render);
    render.renderMesh(mesh(material(BlendNone, &other)));
    for (Light* l : render.boundLights) EXPECT_EQ(l, nullptr);
    render.renderMesh(both);
    EXPECT_EQ(render.boundLights[0], &l1);
    EXPECT_EQ(render.boundLights[1], &l2);
}

TEST_F(Frame, MaterialStateGoesThroughTheCaches) {
    struct Case {
        int blend, cull;
        bool colour;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {BlendPremultAlpha, CullBack, true, {"enableBlend", "setBlendFunc 1", "enableDepthTest", "enableDepthWrite"}},
        {BlendAlpha, CullFront, true, {"setCullFace 0"}},
        {BlendAdditive, CullNone, false, {"setBlendFunc 2", "disableCulling", "disableColorWrite"}},
        {BlendNone, CullBack, true, {"disableBlend", "enableCulling", "setCullFace 1", "enableColorWrite"}},
    };
    render.toggleCullFace(1);
    render.toggleCulling(true);
    for (const Case& c : cases) {
        Material* m = material(c.blend);
        m->_cullMode = c.cull;
        m->_colorWrite = c.colour;
        render.clearRecords();
        render.applyMaterialState(m);
        EXPECT_EQ(render.log, c.expected) << c.blend << " " << c.cull;
    }
    // A target without depth keeps depth test and writes off whatever the material says.
    RenderTarget* flat = target("flat");
    flat->_flags = RenderTarget::FlagColourTexture;
    render.currentTarget = flat;
    render.applyMaterialState(material());
    EXPECT_FALSE(render.depthTestOn);
    EXPECT_FALSE(render.depthWriteOn);
}

TEST_F(Frame, OnlyTheFirstEightTexturesAreBoundAndBoundOnesAreNotSentAgain) {
    std::vector<std::unique_ptr<Texture>> textures;
    Material* m = material();
    for (int i = 0; i < 10; ++i) {
        textures.emplace_back(new Texture());
        m->_textures.push_back(textures.back().get());
    }
    render.applyMaterial(m);
    int binds = 0;
    for (const std::string& line : render.log) binds += line.rfind("bindTexture", 0) == 0;
    EXPECT_EQ(binds, 8);
    render.clearRecords();
    textures[3]->_reload = 1;
    render.applyMaterial(m);
    EXPECT_EQ(render.log, (std::vector<std::string>{"bindTexture 3", "deleteTexture", "uploadTexture"}));
    for (auto& t : textures) render.deleteTexture(t.get());
}

TEST_F(Frame, NothingIsDrawnForAnIncompleteMesh) {
    Material* noShader = material();
    noShader->_shader = nullptr;
    Geometry empty;
    Mesh* a = mesh(noShader);
    Mesh* b = mesh(material());
    b->_geometry = &empty;
    Mesh* c = mesh(nullptr);
    Mesh* d = mesh(material(), Vector3(), 0, 0);
    render.clearRecords();
    for (Mesh* x : {a, b, c, d}) render.renderMesh(x);
    EXPECT_TRUE(render.draws.empty());
    EXPECT_TRUE(render.log.empty());
}

TEST_F(Frame, TheScreenTargetTakesTheHostSize) {
    testsupport::FixedSizeGame game(480.7f, 320.2f);
    IGame::setInstance(&game);
    RenderTarget* a = target("a");
    RenderTarget* b = target("b");
    EXPECT_EQ(b->_width, 480);
    EXPECT_EQ(b->_height, 320);
    EXPECT_EQ(b->_flags, 3u);
    EXPECT_EQ(b->_external, 1);
    EXPECT_EQ(a->_index, 0u);
    EXPECT_EQ(b->_index, 1u);
    EXPECT_EQ(render.targets.front(), b);
    IGame::setInstance(nullptr);
}

// A world (or an interface page, which is a world) frees its target while later ones live on: the
// next target must not take an index a live target holds, or both would write the same links.
TEST_F(Frame, AFreedTargetsIndexIsReusedWithoutSharingALiveOne) {
    RenderTarget* a = target("a");
    RenderTarget* b = target("b");
    Material* m = material();
    Mesh* onB = mesh(m);
    Mesh* onC = mesh(m);
    Mesh* shared = mesh(m);
    b->addMesh(onB);
    b->addMesh(shared);

    const uint32_t freed = a->_index;
    render.targets.erase(std::find(render.targets.begin(), render.targets.end(), a));
    targets.erase(targets.begin());  // frees a
    RenderTarget* c = target("c");
    EXPECT_NE(c->_index, b->_index);
    EXPECT_EQ(c->_index, freed);

    c->addMesh(onC);
    c->addMesh(shared);
    ASSERT_EQ(b->_opaqueChains.size(), 1u);
    ASSERT_EQ(c->_opaqueChains.size(), 1u);
    EXPECT_EQ(b->linkedMeshCount(), 2u);
    EXPECT_EQ(c->linkedMeshCount(), 2u);
    c->removeMesh(shared);
    EXPECT_EQ(b->linkedMeshCount(), 2u);
    EXPECT_EQ(c->linkedMeshCount(), 1u);
    EXPECT_TRUE(onB->_renderLink->isLinkedIn(b->_index));
    EXPECT_FALSE(onB->_renderLink->isLinkedIn(c->_index));

    // With every index held, the next one is new.
    RenderTarget* d = target("d");
    EXPECT_EQ(d->_index, 2u);
}

class LinesOfAThirdKind : public Geometry {
public:
    int getPrimitiveType() const override { return 2; }
};

TEST_F(Frame, APrimitiveTypeOtherThanTrianglesOrLinesStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LinesOfAThirdKind odd;
    odd._vertexCount = 1;
    odd._indexCount = 3;
    Mesh* x = mesh(material());
    x->_geometry = &odd;
    EXPECT_DEATH(
        {
            testsupport::logToStderr();
            render.renderMesh(x);
        },
        "source/engine/render/Render@[0-9]+: !\"ide nem juthatunk\"");
}

TEST_F(Frame, LinesSwitchCullingOffAndDrawAsLines) {
    class Lines : public Geometry {
    public:
        int getPrimitiveType() const override { return PrimitiveLines; }
    } lines;
    lines._vertexCount = 2;
    lines._indexCount = 2;
    Material* m = material();
    Mesh* x = mesh(m);
    x->_geometry = &lines;
    x->_indexCount = -1;
    render.renderMesh(x);
    EXPECT_FALSE(render.cullingOn);
    ASSERT_EQ(render.draws.size(), 1u);
    EXPECT_TRUE(render.draws[0].lines);
    EXPECT_EQ(render.draws[0].count, 2);
    EXPECT_EQ(render.triangles, 0u);
}

TEST_F(Frame, StencilFlagsFollowTheMesh) {
    RenderTarget* t = target("game");
    Material* m = material();
    Mesh* writer = mesh(m, {1, 0, 0});
    Mesh* tester = mesh(m, {2, 0, 0});
    writer->_stencilWrite = 1;
    tester->_stencilTest = 1;
    t->addMesh(writer);
    t->addMesh(tester);
    frame();
    std::vector<std::string> stencil;
    for (const std::string& line : render.log)
        if (line.find("Stencil") != std::string::npos) stencil.push_back(line);
    // Chain: writer, tester (same range, so a group of two).
    EXPECT_EQ(stencil, (std::vector<std::string>{"beginStencilWrite", "beginStencilTest", "endStencilWrite"}));
}

}  // namespace

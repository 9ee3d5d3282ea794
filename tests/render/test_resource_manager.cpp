// The resource cache: one object per name, the ".xml" material names, retries of missing files,
// shader registration, the uploads after a material and at the end of loading, and the sample
// content read through it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/RecordingRender.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"
#include "support_RenderFixtures.h"

using namespace renderfixtures;
using testsupport::writeFile;

namespace {

std::vector<uint8_t> tga(uint16_t w, uint16_t h) {
    std::vector<uint8_t> bytes = tgaHeader(2, w, h, 24);
    std::vector<uint8_t> px = pattern(w, h, 3);
    bytes.insert(bytes.end(), px.begin(), px.end());
    return bytes;
}

class Resources : public ::testing::Test {
protected:
    explicit Resources(bool withRenderer = true) : _stores(_bundle.path(), _documents.path()) {
        ResourceManager::instance().resetForTests();
        if (withRenderer)
            Render::setCurrent(&_render);
        writeFile(_bundle.file("data/textures/a.tga"), tga(4, 4));
        writeFile(_bundle.file("data/textures/b.tga"), tga(2, 2));
        writeFile(_bundle.file("data/textures/broken.tga"), std::string("not an image at all"));
        writeFile(_bundle.file("data/shaders/s.shader"),
                  std::string("uniform mat4 projMat;\nuniform vec4 color;\nuniform sampler2D tex0, tex1;\n"
                              "uniform float custom;\n"));
    }
    ~Resources() override {
        ResourceManager::instance().resetForTests();
        Render::setCurrent(nullptr);
    }

    void writeMaterial(const std::string& name, const std::string& text) {
        writeFile(_bundle.file("data/" + name), text);
    }

    ResourceManager& rm() { return ResourceManager::instance(); }

    testsupport::TempDir _bundle, _documents;
    testsupport::ScopedStores _stores;
    RecordingRender _render;
};

class ResourcesWithoutRenderer : public Resources {
protected:
    ResourcesWithoutRenderer() : Resources(false) {}
};

class CountingShader : public Shader {
public:
    void validateUniforms() override { ++validations; }
    int validations = 0;
};

class DynamicGeometry : public Geometry {
public:
    bool isDynamic() const override { return true; }
};

// A static geometry holding a little data of its own.
Geometry* fillGeometry(Geometry* g, uint32_t indexCount) {
    GeometryAttribute a;
    a.components = 3;
    a.name = "vertPos";
    g->_attributes = {a};
    g->updateStride();
    g->_vertexCount = 1;
    g->_indexCount = indexCount;
    g->_vertices = static_cast<uint8_t*>(std::calloc(1, 12));
    g->_indices = static_cast<uint16_t*>(std::calloc(indexCount + 1, 2));
    g->_adjacencyIndices = static_cast<uint16_t*>(std::calloc(indexCount + 1, 2));
    return g;
}

}  // namespace

TEST_F(Resources, EveryKindIsSharedByNameAndReadOnce) {
    writeMaterial("materials/one.txt", "texture0 = textures/a.tga\nshader = shaders/s.shader\nemit = 0.5\n");
    writeMaterial("materials/two.txt", "texture0 = textures/a.tga\nshader = shaders/s.shader\n");
    Material* one = rm().getMaterial("materials/one.txt");
    ASSERT_NE(nullptr, one);
    EXPECT_EQ("materials/one.txt", one->_name);

    writeMaterial("materials/one.txt", "emit = 0.9\n");  // a cached material is not read again
    EXPECT_EQ(one, rm().getMaterial("materials/one.txt"));
    EXPECT_EQ(0.5f, one->_emit);

    Material* two = rm().getMaterial("materials/two.txt");
    ASSERT_NE(nullptr, two);
    EXPECT_NE(one, two);
    EXPECT_EQ(one->_textures[0], two->_textures[0]);
    EXPECT_EQ(one->_shader, two->_shader);
    EXPECT_EQ(rm().getTexture("textures/a.tga"), one->_textures[0]);
    EXPECT_EQ(1, _render.count("createShader"));  // built once, when first read
    EXPECT_EQ(1, _render.count("uploadTexture"));  // uploaded by the first material only

    Geometry* g = rm().getGeometry("objects/train.obj");
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(g, rm().getGeometry("objects/train.obj"));
    EXPECT_NE(g, rm().getGeometry("objects/train.obj "));
    EXPECT_EQ(0u, g->_vertexCount);
}

TEST_F(Resources, XmlMaterialNamesReadTheTxtFile) {
    writeMaterial("materials/old.txt", "emit = 0.4\n");
    Material* m = rm().getMaterial("materials/old.xml");
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0.4f, m->_emit);
    EXPECT_EQ("materials/old.xml", m->_name);
    EXPECT_EQ(m, rm().getMaterial("materials/old.xml"));
    EXPECT_EQ(1u, rm()._materials.count("materials/old.xml"));
    EXPECT_EQ(0u, rm()._materials.count("materials/old.txt"));
}

TEST_F(Resources, MissingFilesAreReportedNotCachedAndLookedUpAgain) {
    LogCapture log;
    EXPECT_EQ(nullptr, rm().getMaterial("materials/later.txt"));
    EXPECT_EQ(nullptr, rm().getShader("shaders/later.shader"));
    EXPECT_EQ(nullptr, rm().getTexture("textures/later.tga"));
    EXPECT_EQ(3, log.count("FAILED: cannot open"));
    EXPECT_TRUE(rm()._materials.empty());
    EXPECT_TRUE(rm()._shaders.empty());
    EXPECT_TRUE(rm()._textures.empty());

    writeMaterial("materials/later.txt", "orderID = 3\n");
    writeFile(_bundle.file("data/textures/later.tga"), tga(2, 2));
    Material* m = rm().getMaterial("materials/later.txt");
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(3, m->_orderID);
    EXPECT_NE(nullptr, rm().getTexture("textures/later.tga"));

    // A file that opens but does not decode is cached like any other: it is never drawn.
    Texture* broken = rm().getTexture("textures/broken.tga");
    ASSERT_NE(nullptr, broken);
    EXPECT_EQ(TextureNone, broken->_format);
    EXPECT_EQ(broken, rm().getTexture("textures/broken.tga"));
}

TEST_F(Resources, ShadersAreBuiltByTheCurrentRendererOrKeptAsText) {
    Shader* s = rm().getShader("shaders/s.shader");
    ASSERT_NE(nullptr, s);
    ASSERT_NE(nullptr, s->_program);
    EXPECT_EQ(s->getUniform("projMat"), s->_program->projMat);
    EXPECT_EQ(s->getUniform("tex1"), s->_program->tex[1]);
    EXPECT_EQ(UniformSampler, s->getUniform("tex1")->getType());
    EXPECT_NE(nullptr, s->getUniform("custom"));

    Render::setCurrent(nullptr);
    writeFile(_bundle.file("data/shaders/t.shader"), std::string("uniform float time;"));
    Shader* t = rm().getShader("shaders/t.shader");
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(nullptr, t->_program);
    EXPECT_STREQ("uniform float time;", t->_source);
    Render::setCurrent(&_render);  // so the program made above goes back to it
}

TEST_F(Resources, RegisterShaderKeepsTheFirstUnderAName) {
    CountingShader* first = new CountingShader();
    CountingShader second;
    rm().registerShader("shaders/model.shader", first);
    rm().registerShader("shaders/model.shader", &second);
    EXPECT_EQ(1, first->validations);
    EXPECT_EQ(1, second.validations);
    EXPECT_EQ(first, rm().getShader("shaders/model.shader"));  // no file needed
    EXPECT_EQ(0, _render.count("createShader"));
}

TEST_F(Resources, MaterialTexturesWithPixelsAreUploadedThenReleased) {
    writeMaterial("materials/m.txt",
                  "texture0 = textures/a.tga\ntexture1 = textures/broken.tga\ntexture2 = textures/b.tga\n");
    Material* m = rm().getMaterial("materials/m.txt");
    ASSERT_NE(nullptr, m);
    ASSERT_EQ(3u, m->_textures.size());
    std::vector<std::string> uploads;
    for (const RecordingRender::Call& c : _render.calls)
        if (c.slot == "uploadTexture")
            uploads.push_back(c.object == m->_textures[0] ? "a" : c.object == m->_textures[2] ? "b" : "?");
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), uploads);  // the undecodable one is skipped
    for (Texture* t : m->_textures) {
        EXPECT_EQ(0, t->_levelCount);
        EXPECT_TRUE(t->_levels.empty());
    }
    EXPECT_NE(nullptr, m->_textures[0]->_deviceTexture);
    EXPECT_EQ(nullptr, m->_textures[1]->_deviceTexture);
}

TEST_F(ResourcesWithoutRenderer, TexturesKeepTheirPixelsUntilARendererTakesThem) {
    writeMaterial("materials/m.txt", "texture0 = textures/a.tga\ntexture0_generateMipMap = true\n");
    Material* m = rm().getMaterial("materials/m.txt");
    ASSERT_NE(nullptr, m);
    Texture* t = m->_textures[0];
    EXPECT_EQ(3, t->_levelCount);
    rm().uploadAll();  // nothing to hand the data to
    EXPECT_EQ(3, t->_levelCount);

    Render::setCurrent(&_render);
    rm().uploadAll();
    EXPECT_EQ(0, t->_levelCount);
    EXPECT_NE(nullptr, t->_deviceTexture);
}

TEST_F(Resources, UploadAllHandsEverythingOverInNameOrder) {
    Texture* b = rm().getTexture("textures/b.tga");
    Texture* a = rm().getTexture("textures/a.tga");
    _render.uploadTexture(b);
    b->_reload = 1;
    Shader* s = rm().getShader("shaders/s.shader");
    Geometry* g2 = fillGeometry(rm().getGeometry("objects/2"), 30);
    Geometry* g1 = fillGeometry(rm().getGeometry("objects/1"), 12);
    g1->_releaseData = 1;
    rm().getGeometry("objects/empty");  // asked for but never filled: nothing to pack
    DynamicGeometry* dyn = new DynamicGeometry();
    rm()._geometries["objects/dynamic"] = dyn;
    _render.clearCalls();

    rm().uploadAll();
    std::vector<std::string> expected = {"uploadTexture", "deleteTexture", "uploadTexture", "createShader",
                                         "createGeometry", "batchGeometries", "batchGeometry", "batchGeometry"};
    EXPECT_EQ(expected, _render.slots());
    ASSERT_EQ(expected.size(), _render.calls.size());
    EXPECT_EQ(a, _render.calls[0].object);
    EXPECT_EQ(b, _render.calls[1].object);
    EXPECT_EQ(b, _render.calls[2].object);
    EXPECT_EQ(s, _render.calls[3].object);
    EXPECT_EQ(dyn, _render.calls[4].object);
    EXPECT_EQ(g1, _render.calls[6].object);
    EXPECT_EQ(g2, _render.calls[7].object);
    EXPECT_EQ(0, b->_reload);
    EXPECT_EQ(0, a->_levelCount);
    EXPECT_EQ(0, b->_levelCount);
    EXPECT_EQ(nullptr, g1->_vertices);  // released: its flag is set
    EXPECT_NE(nullptr, g2->_vertices);

    // A second pass packs nothing again: the packed geometries may have no memory copy left.
    _render.clearCalls();
    rm().uploadAll();
    EXPECT_EQ(0, _render.count("batchGeometries"));
    EXPECT_EQ(0, _render.count("deleteTexture"));
}

TEST(SampleContent, MaterialsShaderAndTexturesLoad) {
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    ResourceManager& rm = ResourceManager::instance();
    rm.resetForTests();
    RecordingRender render;
    Render::setCurrent(&render);
    LogCapture log;

    struct Case {
        const char* name;
        int blendMode, cullMode;
        uint8_t depthWrite;
        const char* texture;
        int format;
        int levels;
    } cases[] = {
        {"materials/model.txt", BlendNone, CullBack, 1, "textures/checker.png", TextureRGB, 5},
        {"materials/ground.txt", BlendNone, CullBack, 1, "textures/ground.tga", TextureRGB, 5},
        {"materials/glass.txt", BlendAlpha, CullNone, 0, "textures/checker.png", TextureRGB, 5},
        {"materials/glow.txt", BlendAdditive, CullBack, 0, "textures/glow.png", TextureRGBA, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Material* m = rm.getMaterial(c.name);
        ASSERT_NE(nullptr, m);
        EXPECT_EQ(c.blendMode, m->_blendMode);
        EXPECT_EQ(c.cullMode, m->_cullMode);
        EXPECT_EQ(c.depthWrite, m->_depthWrite);
        ASSERT_EQ(1u, m->_textures.size());
        Texture* t = m->_textures[0];
        EXPECT_EQ(rm.getTexture(c.texture), t);
        EXPECT_EQ(c.format, t->_format);
        EXPECT_EQ(16, t->_width);
        EXPECT_EQ(c.levels, t->_levelsLoaded);
        EXPECT_NE(nullptr, t->_deviceTexture);
        ASSERT_NE(nullptr, m->_shader);
        EXPECT_EQ(rm.getShader("shaders/model.shader"), m->_shader);
    }
    EXPECT_TRUE(log.errors().empty()) << log.errors()[0];

    // The model shader declares the standard uniforms the renderer fills.
    Shader* shader = rm.getShader("shaders/model.shader");
    ASSERT_NE(nullptr, shader->_program);
    const StandardUniforms& p = *shader->_program;
    for (ShaderUniform* u : {p.projMat, p.viewMat, p.worldMat, p.normalMat, p.fogDistance, p.tex[0], p.color,
                             p.meshColor, p.materialEmit, p.lightColor[0], p.lightDirection[0]})
        EXPECT_NE(nullptr, u);
    EXPECT_EQ(UniformMatrix3, p.normalMat->getType());
    EXPECT_EQ(UniformVector4, p.color->getType());
    EXPECT_EQ(nullptr, std::strstr(shader->_source, "#version"));
    EXPECT_NE(nullptr, std::strstr(shader->_source, "VERTEX_SHADER"));
    EXPECT_NE(nullptr, std::strstr(shader->_source, "FRAGMENT_SHADER"));

    rm.resetForTests();
    Render::setCurrent(nullptr);
}

// Device resources on Mesa: shader builds and their logs, texture uploads (also asked for from
// another thread), packed static geometry and the vertex-array cache.

#include <gtest/gtest.h>

#include <GLES2/gl2.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine/render/ResourceManager.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"
#include "support_gles.h"

namespace glestest {
namespace {

// A texture of w x h pixels of one RGBA colour, not uploaded.
Texture* solidTexture(uint16_t w, uint16_t h, const uint8_t rgba[4]) {
    Texture* t = new Texture();
    t->_format = TextureRGBA;
    t->_width = w;
    t->_height = h;
    t->_levelCount = t->_levelsLoaded = 1;
    uint8_t* level = static_cast<uint8_t*>(std::malloc((size_t)w * h * 4));
    for (size_t i = 0; i < (size_t)w * h; ++i) std::memcpy(level + i * 4, rgba, 4);
    t->_levels.push_back(level);
    return t;
}

// Serves frames until done is set (at most two seconds).
// Serves the render thread's queues until the loader thread is done. There is no deadline short
// of a real hang: under a sanitizer on a loaded machine the loader can take many seconds, and a
// loader still waiting when the serving stops would block join() forever.
void serveFramesUntil(OpenGLES2Render* render, const std::atomic<bool>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!done) {
        if (std::chrono::steady_clock::now() > end) {
            std::fprintf(stderr, "the loader thread never finished: stopping\n");
            std::abort();
        }
        render->beginFrame();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

using Resources = GlesTest;

TEST_F(Resources, ShaderBuildsWriteTheirLogsOnlyWhenThereIsSomethingToSay) {
    struct Case {
        const char* name;
        const char* source;
        bool linked;
        const char* log;
    };
    const Case cases[] = {
        {"good", kFlatShader, true, nullptr},
        {"vertex", "#ifdef VERTEX_SHADER\nvoid main() { gl_Position = nonsense; }\n#endif\n"
                   "#ifdef FRAGMENT_SHADER\nvoid main() { gl_FragColor = vec4(1.0); }\n#endif\n",
         false, "Vertex shader compile log:"},
        {"fragment", "#ifdef VERTEX_SHADER\nvoid main() { gl_Position = vec4(0.0); }\n#endif\n"
                     "#ifdef FRAGMENT_SHADER\nvoid main() { gl_FragColor = nonsense; }\n#endif\n",
         false, "Fragment shader compile log:"},
        {"link", "#ifdef GL_ES\nprecision mediump float;\n#endif\n"
                 "#ifdef VERTEX_SHADER\nvoid main() { gl_Position = vec4(0.0); }\n#endif\n"
                 "#ifdef FRAGMENT_SHADER\nvarying vec3 missing;\nvoid main() { gl_FragColor = vec4(missing, 1.0); }\n#endif\n",
         false, "Program link log:"},
        {"runtime", "#ifndef RUNTIME\nbroken\n#endif\n"
                    "#ifdef VERTEX_SHADER\nvoid main() { gl_Position = vec4(0.0); }\n#endif\n"
                    "#ifdef FRAGMENT_SHADER\nvoid main() { gl_FragColor = vec4(1.0); }\n#endif",  // no final newline
         true, nullptr},
    };
    for (const Case& c : cases) {
        LogLines log;
        Shader* s = shader(std::string("test/") + c.name, c.source);
        EXPECT_EQ(s->_program != nullptr, c.linked) << c.name;
        if (c.log) {
            EXPECT_EQ(log.count(c.log), 1) << c.name;
            EXPECT_TRUE(s->_uniforms.empty());
        } else {
            EXPECT_TRUE(log.lines.empty()) << c.name << ": " << (log.lines.empty() ? "" : log.lines[0]);
        }
    }
}

TEST_F(Resources, LinkingBuildsTheUniformsAndTheStandardTable) {
    Shader* s = shader("test/textured", kTexturedShader);
    ASSERT_NE(s->_program, nullptr);
    auto* program = static_cast<ShaderProgram*>(s->_program);
    ASSERT_NE(program->worldMat, nullptr);
    EXPECT_EQ(program->worldMat->getType(), UniformMatrix4);
    EXPECT_NE(dynamic_cast<OpenGLES2Matrix4ShaderUniform*>(program->worldMat), nullptr);
    ASSERT_NE(program->tex[0], nullptr);
    EXPECT_EQ(*static_cast<int32_t*>(program->tex[0]->getValue()), 0);
    EXPECT_EQ(program->tex[1], nullptr);
    EXPECT_EQ(program->color, nullptr);
    EXPECT_EQ(program->attributeLocation("vertPos") >= 0, true);
    EXPECT_EQ(program->attributeLocation("vertNormal"), -1);
    EXPECT_EQ(program->attributes.size(), 2u);

    render->deleteShader(s);
    EXPECT_EQ(s->_program, nullptr);
    EXPECT_EQ(s->getUniform("worldMat"), nullptr);
    render->createShader(s);  // built again on request
    EXPECT_NE(s->_program, nullptr);
}

TEST_F(Resources, TexturesUploadTheirLevelsAndSampling) {
    const uint8_t green[4] = {0, 255, 0, 255};
    std::unique_ptr<Texture> t(solidTexture(4, 4, green));
    t->_filter = FilterNearest;
    t->_addressMode = AddressClamp;
    t->_maxAniso = 4;
    render->uploadTexture(t.get());
    ASSERT_NE(t->_deviceTexture, nullptr);
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, static_cast<DeviceTexture*>(t->_deviceTexture)->handle);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    GLfloat aniso = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &aniso);
    EXPECT_FLOAT_EQ(aniso, 4);

    t->generateMipMaps();
    render->deleteTexture(t.get());
    EXPECT_EQ(t->_deviceTexture, nullptr);
    render->uploadTexture(t.get());
    glBindTexture(GL_TEXTURE_2D, static_cast<DeviceTexture*>(t->_deviceTexture)->handle);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(Resources, CompressedFormatsTheDeviceLacksGetAnEmptyTexture) {
    EXPECT_FALSE(render->extensions().pvrtc);  // Mesa has no PVRTC
    struct Case {
        int format;
        int logLines;
    };
    const Case cases[] = {{TexturePVRTC4RGB, 1}, {TexturePVRTC4RGBA, 1}, {TextureETC1, 0}};
    for (const Case& c : cases) {
        std::unique_ptr<Texture> t(new Texture());
        t->_format = c.format;
        t->_width = t->_height = 16;
        t->_levelCount = t->_levelsLoaded = 2;
        t->_levels.push_back(static_cast<uint8_t*>(std::calloc(128, 1)));
        t->_levels.push_back(static_cast<uint8_t*>(std::calloc(32, 1)));
        LogLines log;
        render->uploadTexture(t.get());
        EXPECT_NE(t->_deviceTexture, nullptr) << c.format;
        EXPECT_EQ(log.count("PVRTC"), c.logLines) << c.format;
        EXPECT_EQ(log.lines.size(), (size_t)c.logLines) << c.format;
    }
}

TEST_F(Resources, ATextureAskedForFromAnotherThreadIsUploadedByTheRenderThread) {
    Shader* textured = shader("test/textured", kTexturedShader);
    const uint8_t magenta[4] = {255, 0, 255, 255};
    std::unique_ptr<Texture> t(solidTexture(2, 2, magenta));
    std::atomic<bool> done{false};
    std::thread loader([&] {
        render->uploadTexture(t.get());  // returns once the render thread has uploaded it
        EXPECT_NE(t->_deviceTexture, nullptr);
        t->freeData();
        done = true;
    });
    serveFramesUntil(render, done);
    loader.join();
    ASSERT_TRUE(done);

    RenderTarget* s = screen();
    Material* m = material(textured);
    m->_textures.push_back(t.get());
    s->addMesh(mesh(geometry(makeQuad(-1, -1, 1, 1)), m));
    frame();
    EXPECT_TRUE(near(screenPixel(128, 128), Rgba{255, 0, 255, 255}));
    s->_disabled = 1;
}

TEST_F(Resources, AMaterialLoadedOnAnotherThreadGetsItsShaderAndTexturesFromTheRenderThread) {
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    Material* loaded = nullptr;
    std::atomic<bool> done{false};
    std::thread loader([&] {
        loaded = ResourceManager::instance().getMaterial("materials/model.txt");
        done = true;
    });
    serveFramesUntil(render, done);
    loader.join();
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(loaded->_shader, nullptr);
    EXPECT_NE(loaded->_shader->_program, nullptr);
    ASSERT_FALSE(loaded->_textures.empty());
    EXPECT_NE(loaded->_textures[0]->_deviceTexture, nullptr);
    EXPECT_EQ(loaded->_textures[0]->_levelCount, 0);  // memory copy released after the upload
}

TEST_F(Resources, AFailedBuildStillReleasesTheWaitingThread) {
    Shader broken;
    const char* text = "this is not a shader";
    broken._source = static_cast<char*>(std::calloc(std::strlen(text) + 1, 1));
    std::memcpy(broken._source, text, std::strlen(text));
    std::atomic<bool> done{false};
    LogLines log;
    std::thread loader([&] {
        render->createShader(&broken);
        done = true;
    });
    serveFramesUntil(render, done);
    loader.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(broken._program, nullptr);
    EXPECT_EQ(log.count("Vertex shader compile log:"), 1);
}

// n vertices (positions only, spread along x) with count indices cycling through them.
Geometry* indexedGeometry(uint32_t vertices, uint32_t indices, const char* name = "vertPos") {
    Geometry* g = new Geometry();
    GeometryAttribute a;
    a.components = 3;
    a.name = name;
    g->_attributes.push_back(a);
    g->updateStride();
    g->_vertexCount = vertices;
    g->_indexCount = indices;
    g->_vertices = static_cast<uint8_t*>(std::calloc(vertices, g->_stride));
    g->_indices = static_cast<uint16_t*>(std::calloc(indices, 2));
    for (uint32_t i = 0; i < indices; ++i) g->_indices[i] = (uint16_t)(i % vertices);
    return g;
}

TEST_F(Resources, PackingGroupsByIndexCountVertexCountAndLayout) {
    std::unique_ptr<Geometry> a(indexedGeometry(3, 40000)), b(indexedGeometry(3, 30000)), c(indexedGeometry(3, 20000));
    std::unique_ptr<Geometry> manyA(indexedGeometry(40000, 3)), manyB(indexedGeometry(40000, 3));
    std::unique_ptr<Geometry> named(indexedGeometry(3, 6, "position"));
    std::unique_ptr<Geometry> wider(indexedGeometry(3, 6));
    wider->_attributes[0].components = 4;
    wider->updateStride();
    std::free(wider->_vertices);
    wider->_vertices = static_cast<uint8_t*>(std::calloc(3, wider->_stride));
    c->_releaseData = 1;

    render->batchGeometries({a.get(), b.get(), c.get(), manyA.get(), manyB.get(), named.get(), wider.get()});
    auto buffers = [](const std::unique_ptr<Geometry>& g) { return static_cast<GeometryBuffers*>(g->_deviceBuffers); };
    for (auto* g : {&a, &b, &c, &manyA, &manyB, &named, &wider}) ASSERT_NE(buffers(*g), nullptr);
    // 40000 + 30000 would reach 70000 indices: b goes on; c joins a after a's 40000 indices.
    EXPECT_EQ(buffers(a)->shared, buffers(c)->shared);
    EXPECT_EQ(buffers(c)->firstIndex, 40000u);
    EXPECT_NE(buffers(b)->shared, buffers(a)->shared);
    // manyA fits beside a and c; manyB would take that group to 80006 vertices, past what
    // rebased 16-bit indices reach, so it goes with b.
    EXPECT_EQ(buffers(manyA)->shared, buffers(a)->shared);
    EXPECT_EQ(buffers(manyB)->shared, buffers(b)->shared);
    for (auto* g : {&a, &b, &c, &manyA, &manyB, &named, &wider}) EXPECT_LE(buffers(*g)->shared->vertexCount, 65536u);
    // Names are not compared: the same layout packs together.
    EXPECT_EQ(buffers(named)->shared, buffers(a)->shared);
    EXPECT_EQ(buffers(wider)->shared->memberCount, 1);
    EXPECT_EQ(c->_vertices, nullptr);  // released once in the device
    EXPECT_NE(a->_vertices, nullptr);
}

TEST_F(Resources, PackedGeometriesDrawFromTheirOwnPartOfTheSharedBuffers) {
    Shader* flat = shader("test/flat.shader", kFlatShader);
    Geometry* left = geometry(makeQuad(-1, -1, 0, 1));
    Geometry* right = geometry(makeQuad(0, -1, 1, 1));
    render->batchGeometries({left, right});
    ASSERT_EQ(static_cast<GeometryBuffers*>(left->_deviceBuffers)->shared,
              static_cast<GeometryBuffers*>(right->_deviceBuffers)->shared);
    RenderTarget* s = screen();
    s->addMesh(mesh(right, material(flat, {0, 0, 1, 1})));
    frame();
    EXPECT_TRUE(near(screenPixel(192, 128), Rgba{0, 0, 255, 255}));
    EXPECT_TRUE(near(screenPixel(64, 128), Rgba{0, 0, 0, 0}));

    // One vertex array per group and attribute layout of the program, shared by the members.
    s->addMesh(mesh(left, material(flat, {1, 0, 0, 1})));
    frame();
    EXPECT_TRUE(near(screenPixel(64, 128), Rgba{255, 0, 0, 255}));
    EXPECT_EQ(static_cast<GeometryBuffers*>(left->_deviceBuffers)->shared->vertexArrays.size(), 1u);
    Shader* textured = shader("test/textured", kTexturedShader);
    const uint8_t white[4] = {255, 255, 255, 255};
    std::unique_ptr<Texture> t(solidTexture(1, 1, white));
    Material* m = material(textured);
    m->_textures.push_back(t.get());
    s->addMesh(mesh(left, m));
    frame();
    EXPECT_EQ(static_cast<GeometryBuffers*>(left->_deviceBuffers)->shared->vertexArrays.size(), 2u);
    s->_disabled = 1;
}

TEST_F(Resources, DynamicGeometryIsDrawnFromMemory) {
    Shader* flat = shader("test/flat.shader", kFlatShader);
    class Dynamic : public Geometry {
    public:
        bool isDynamic() const override { return true; }
    };
    Dynamic* d = new Dynamic();
    std::unique_ptr<Geometry> source(makeQuad(-1, -1, 0, 0));
    d->_attributes = source->_attributes;
    d->updateStride();
    d->_vertexCount = 4;
    d->_indexCount = 6;
    d->_vertices = static_cast<uint8_t*>(std::malloc(4 * d->_stride));
    std::memcpy(d->_vertices, source->_vertices, 4 * d->_stride);
    d->_indices = static_cast<uint16_t*>(std::malloc(12));
    std::memcpy(d->_indices, source->_indices, 12);
    geometry(d);
    RenderTarget* s = screen();
    s->addMesh(mesh(d, material(flat, {0, 1, 0, 1})));
    frame();
    EXPECT_EQ(d->_deviceBuffers, nullptr);
    EXPECT_TRUE(near(screenPixel(64, 64), Rgba{0, 255, 0, 255}));
    // The content changes between frames.
    float* v = reinterpret_cast<float*>(d->_vertices);
    for (int i = 0; i < 4; ++i) v[i * 11] += 1.0f;
    frame();
    EXPECT_TRUE(near(screenPixel(64, 64), Rgba{0, 0, 0, 0}));
    EXPECT_TRUE(near(screenPixel(192, 64), Rgba{0, 255, 0, 255}));
}

}  // namespace
}  // namespace glestest

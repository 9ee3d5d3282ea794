#include "support_gles.h"

#include <GLES2/gl2.h>

#include <cstdlib>
#include <cstring>

#include "engine/render/ResourceManager.h"
#include "engine/render/Shader.h"
#include "engine/utils.h"

namespace glestest {

Rgba unpack(uint32_t packed) {
    Rgba c;
    c.r = (int)(packed & 0xff);
    c.g = (int)((packed >> 8) & 0xff);
    c.b = (int)((packed >> 16) & 0xff);
    c.a = (int)(packed >> 24);
    return c;
}

::testing::AssertionResult near(const Rgba& got, const Rgba& want, int tolerance) {
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance && std::abs(got.a - want.a) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << ", " << got.a
                                         << "), want (" << want.r << ", " << want.g << ", " << want.b << ", "
                                         << want.a << ")";
}

Geometry* makeQuad(float x0, float y0, float x1, float y1, float z, bool clockwise) {
    Geometry* g = new Geometry();
    static const char* const kNames[4] = {"vertPos", "texCoords0", "vertNormal", "vertColor"};
    static const uint8_t kComponents[4] = {3, 2, 3, 3};
    for (int i = 0; i < 4; ++i) {
        GeometryAttribute a;
        a.components = kComponents[i];
        a.name = kNames[i];
        g->_attributes.push_back(a);
    }
    g->updateStride();
    g->_vertexCount = 4;
    g->_indexCount = 6;
    const float v[4][11] = {{x0, y0, z, 0, 0, 0, 0, 1, 1, 1, 1},
                            {x1, y0, z, 1, 0, 0, 0, 1, 1, 1, 1},
                            {x0, y1, z, 0, 1, 0, 0, 1, 1, 1, 1},
                            {x1, y1, z, 1, 1, 0, 0, 1, 1, 1, 1}};
    g->_vertices = static_cast<uint8_t*>(std::malloc(sizeof(v)));
    std::memcpy(g->_vertices, v, sizeof(v));
    const uint16_t ccw[6] = {0, 1, 2, 2, 1, 3};
    const uint16_t cw[6] = {0, 2, 1, 2, 3, 1};
    g->_indices = static_cast<uint16_t*>(std::malloc(sizeof(ccw)));
    std::memcpy(g->_indices, clockwise ? cw : ccw, sizeof(ccw));
    g->_adjacencyIndices = static_cast<uint16_t*>(std::malloc(sizeof(ccw)));
    std::memcpy(g->_adjacencyIndices, g->_indices, sizeof(ccw));
    g->_boundsMin = Vector3(x0, y0, z);
    g->_boundsMax = Vector3(x1, y1, z);
    return g;
}

const char* const kCopyShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying vec2 vUv;
#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec2 texCoords0;
void main() { gl_Position = vec4(vertPos.xy, 0.0, 1.0); vUv = texCoords0; }
#endif
#ifdef FRAGMENT_SHADER
uniform sampler2D tex0;
void main() { gl_FragColor = texture2D(tex0, vUv); }
#endif
)";

const char* const kTexturedShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying vec2 vUv;
#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec2 texCoords0;
uniform mat4 projMat;
uniform mat4 viewMat;
uniform mat4 worldMat;
void main() { gl_Position = projMat * (viewMat * (worldMat * vec4(vertPos, 1.0))); vUv = texCoords0; }
#endif
#ifdef FRAGMENT_SHADER
uniform sampler2D tex0;
uniform vec4 meshColor;
void main() { gl_FragColor = texture2D(tex0, vUv) * meshColor; }
#endif
)";

void GlesTest::SetUp() {
    context = EglHeadless::shared(kWidth, kHeight);
    ASSERT_NE(context, nullptr) << "no headless EGL context";
    _game.reset(new FixedSizeGame((float)context->width(), (float)context->height()));
    IGame::setInstance(_game.get());
    ResourceManager::instance().resetForTests();
    render = OpenGLES2Render::create();
}

void GlesTest::TearDown() {
    for (auto& t : _targets)
        for (auto& m : _meshes) t->removeMesh(m.get());
    _meshes.clear();
    _targets.clear();
    _materials.clear();
    _geometries.clear();
    if (render) {
        // Shaders do not free their program records; the back end does.
        for (auto& entry : ResourceManager::instance()._shaders) render->deleteShader(entry.second);
    }
    ResourceManager::instance().resetForTests();
    if (render) {
        render->targets.clear();
        Render::setCurrent(nullptr);
        delete render;
        render = nullptr;
    }
    IGame::setInstance(nullptr);
    _game.reset();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

Shader* GlesTest::shader(const std::string& name, const char* source) {
    Shader* s = new Shader();
    const size_t length = std::strlen(source);
    s->_source = static_cast<char*>(std::calloc(length + 1, 1));
    std::memcpy(s->_source, source, length);
    s->_sourceLength = (uint32_t)length;
    render->createShader(s);
    ResourceManager::instance().registerShader(name, s);
    return s;
}

Material* GlesTest::material(Shader* s, Vector4 colour, int blendMode, int orderID) {
    _materials.emplace_back(new Material());
    Material* m = _materials.back().get();
    m->_shader = s;
    m->_colour = colour;
    m->_blendMode = blendMode;
    m->_orderID = orderID;
    return m;
}

Geometry* GlesTest::geometry(Geometry* g) {
    _geometries.emplace_back(g);
    return g;
}

Mesh* GlesTest::mesh(Geometry* g, Material* m) {
    _meshes.emplace_back(new Mesh());
    Mesh* mesh = _meshes.back().get();
    mesh->setGeometry(g, -1, -1);
    mesh->_material = m;
    return mesh;
}

RenderTarget* GlesTest::screen(const std::string& name) {
    RenderTarget* t = render->createRenderTarget();
    t->_name = name;
    _targets.emplace_back(t);
    return t;
}

RenderTarget* GlesTest::offscreen(const std::string& name, uint16_t w, uint16_t h, uint32_t flags) {
    RenderTarget* t = screen(name);
    t->_external = 0;
    t->_width = w;
    t->_height = h;
    t->_flags = flags;
    return t;
}

void GlesTest::frame() {
    render->beginFrame();
    render->render();
}

Rgba GlesTest::screenPixel(int x, int y) {
    glBindFramebuffer(GL_FRAMEBUFFER, (GLuint)std::max(render->defaultFramebuffer, 0));
    return unpack(EglHeadless::readPixel(x, y));
}

Rgba GlesTest::targetPixel(RenderTarget* target, int x, int y) {
    auto* fb = static_cast<DeviceFramebuffer*>(target->_framebuffer);
    if (!fb) return Rgba();
    glBindFramebuffer(GL_FRAMEBUFFER, fb->framebuffer);
    return unpack(EglHeadless::readPixel(x, y));
}

}  // namespace glestest

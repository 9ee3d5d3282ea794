// CPU cost of one frame: 1,000 and 10,000 meshes with one material or 50, first through the
// recording renderer (the frame's own logic: culling, grouping, uniforms, state caches), then the
// same scene through OpenGLES2Render on Mesa's headless context (each frame finished with
// glFinish, so the driver's work is counted), then the same meshes drawn by a bare OpenGL ES 2.0
// loop with the same shader and one batched buffer (the least a program can do for this scene:
// the engine's frame over this one is the engine's overhead). Counters: draw calls per frame and
// the time per mesh.

#include <benchmark/benchmark.h>

#include <GLES2/gl2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "DrawFixtures.h"
#include "FrameRecorder.h"
#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/math.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/Shader.h"
#include "engine/render/gles2/EglHeadless.h"
#include "engine/render/gles2/OpenGLES2Render.h"
#include "engine_game/Camera.h"

namespace {

const int kSize = 256;
const int kGeometries = 10;

// A square of side 2 * size in the XY plane, two triangles.
Geometry* makeQuad(float size) {
    return drawfixtures::makePositionGeometry({-size, -size, 0, size, -size, 0, -size, size, 0, size, size, 0},
                                              {0, 1, 2, 2, 1, 3});
}

// meshes small quads in a grid in front of a camera, spread over materials materials and ten
// geometries, all in one target.
struct Scene {
    Scene(Render& render, Shader* shader, int meshes, int materialCount) : camera(nullptr) {
        camera.setPerspective(60, 1, 0.1f, 1000);
        target = render.createRenderTarget();
        target->_camera = &camera;
        for (int g = 0; g < kGeometries; ++g) geometries.emplace_back(makeQuad(0.2f + 0.01f * g));
        for (int m = 0; m < materialCount; ++m) {
            materials.emplace_back(new Material());
            materials.back()->_shader = shader;
            materials.back()->_colour = Vector4((m % 5) / 5.0f, (m % 7) / 7.0f, 1, 1);
            materials.back()->_orderID = m;
        }
        const int side = 100;
        for (int i = 0; i < meshes; ++i) {
            Mesh* mesh = new Mesh();
            mesh->setGeometry(geometries[(size_t)(i % kGeometries)].get(), 0, 6);
            mesh->_material = materials[(size_t)(i % materialCount)].get();
            mesh->_worldMatrix = Matrix4::translation(
                Vector3((float)(i % side) - side / 2, (float)((i / side) % side) - side / 2, -120.0f - (float)(i / (side * side))));
            mesh->updateBounds();
            this->meshes.emplace_back(mesh);
            target->addMesh(mesh);
        }
    }
    ~Scene() {
        for (auto& m : meshes) target->removeMesh(m.get());
        delete target;
    }
    std::vector<Geometry*> geometryList() {
        std::vector<Geometry*> list;
        for (auto& g : geometries) list.push_back(g.get());
        return list;
    }

    Camera camera;
    RenderTarget* target = nullptr;
    std::vector<std::unique_ptr<Geometry>> geometries;
    std::vector<std::unique_ptr<Material>> materials;
    std::vector<std::unique_ptr<Mesh>> meshes;
};

void report(benchmark::State& state, const Render& render, int meshes) {
    state.counters["draw_calls"] = render.drawCalls;
    state.counters["time_per_mesh"] = benchmark::Counter((double)meshes, benchmark::Counter::kIsIterationInvariantRate |
                                                                            benchmark::Counter::kInvert);
}

void BM_FrameRecorded(benchmark::State& state) {
    const int meshes = (int)state.range(0);
    const int materialCount = (int)state.range(1);
    testsupport::FixedSizeGame game(kSize, kSize);
    IGame::setInstance(&game);
    FrameRecorder render;
    render.logCalls = false;
    Shader shader;
    for (const char* name : {"projMat", "viewMat", "worldMat"}) shader._uniforms.push_back(new Matrix4ShaderUniform(name));
    shader._uniforms.push_back(new Vector4ShaderUniform("color"));
    shader._uniforms.push_back(new Vector4ShaderUniform("meshColor"));
    render.createShader(&shader);
    {
        Scene scene(render, &shader, meshes, materialCount);
        for (auto _ : state) {
            render.beginFrame();
            render.render();
        }
        report(state, render, meshes);
        render.targets.clear();
    }
    render.deleteShader(&shader);
    Render::setCurrent(nullptr);
    IGame::setInstance(nullptr);
}

void BM_FrameOpenGLES2(benchmark::State& state) {
    const int meshes = (int)state.range(0);
    const int materialCount = (int)state.range(1);
    EglHeadless* context = EglHeadless::shared(kSize, kSize);
    if (!context) {
        state.SkipWithError("no headless EGL context");
        return;
    }
    testsupport::FixedSizeGame game(kSize, kSize);
    IGame::setInstance(&game);
    OpenGLES2Render* render = OpenGLES2Render::create();
    Shader* shader = new Shader();
    const char* source = drawfixtures::kFlatShader;
    shader->_source = static_cast<char*>(std::calloc(std::strlen(source) + 1, 1));
    std::memcpy(shader->_source, source, std::strlen(source));
    render->createShader(shader);
    {
        Scene scene(*render, shader, meshes, materialCount);
        render->batchGeometries(scene.geometryList());
        for (auto _ : state) {
            render->beginFrame();
            render->render();
            glFinish();
        }
        report(state, *render, meshes);
        render->targets.clear();
    }
    render->deleteShader(shader);
    delete shader;
    Render::setCurrent(nullptr);
    delete render;
    IGame::setInstance(nullptr);
}

GLuint compileStage(GLenum type, const char* define, const char* source) {
    const char* parts[2] = {define, source};
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 2, parts, nullptr);
    glCompileShader(shader);
    return shader;
}

// The scene's meshes without the engine: the flat shader, the ten quads in one vertex and one
// index buffer, the meshes in material order (as the engine's chains draw them), per material its
// colour, per mesh its world matrix and one glDrawElements.
void BM_FrameBareGLES2(benchmark::State& state) {
    const int meshes = (int)state.range(0);
    const int materialCount = (int)state.range(1);
    if (!EglHeadless::shared(kSize, kSize)) {
        state.SkipWithError("no headless EGL context");
        return;
    }
    GLuint program = glCreateProgram();
    GLuint vs = compileStage(GL_VERTEX_SHADER, "#define VERTEX_SHADER\n", drawfixtures::kFlatShader);
    GLuint fs = compileStage(GL_FRAGMENT_SHADER, "#define FRAGMENT_SHADER\n", drawfixtures::kFlatShader);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindAttribLocation(program, 0, "vertPos");
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        state.SkipWithError("bare program did not link");
        return;
    }
    const GLint projLoc = glGetUniformLocation(program, "projMat");
    const GLint viewLoc = glGetUniformLocation(program, "viewMat");
    const GLint worldLoc = glGetUniformLocation(program, "worldMat");
    const GLint colorLoc = glGetUniformLocation(program, "color");
    const GLint meshColorLoc = glGetUniformLocation(program, "meshColor");

    // The ten quads, batched.
    std::vector<float> vertices;
    std::vector<uint16_t> indices;
    for (int g = 0; g < kGeometries; ++g) {
        const float size = 0.2f + 0.01f * g;
        const uint16_t base = (uint16_t)(vertices.size() / 3);
        for (float v : {-size, -size, 0.0f, size, -size, 0.0f, -size, size, 0.0f, size, size, 0.0f}) vertices.push_back(v);
        for (uint16_t i : {0, 1, 2, 2, 1, 3}) indices.push_back((uint16_t)(base + i));
    }
    GLuint buffers[2];
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(vertices.size() * sizeof(float)), vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)(indices.size() * 2), indices.data(), GL_STATIC_DRAW);

    // The meshes as the scene places them, in material order, then geometry.
    struct Draw {
        int material, geometry;
        Matrix4 world;
    };
    std::vector<Draw> draws;
    const int side = 100;
    for (int i = 0; i < meshes; ++i)
        draws.push_back({i % materialCount, i % kGeometries,
                         Matrix4::translation(Vector3((float)(i % side) - side / 2, (float)((i / side) % side) - side / 2,
                                                      -120.0f - (float)(i / (side * side))))});
    std::stable_sort(draws.begin(), draws.end(), [](const Draw& a, const Draw& b) {
        return a.material != b.material ? a.material < b.material : a.geometry < b.geometry;
    });
    std::vector<Vector4> colours;
    for (int m = 0; m < materialCount; ++m) colours.push_back(Vector4((m % 5) / 5.0f, (m % 7) / 7.0f, 1, 1));
    Camera camera(nullptr);
    camera.setPerspective(60, 1, 0.1f, 1000);
    const Matrix4 view;  // the camera sits at the origin looking down -z

    glViewport(0, 0, kSize, kSize);
    glEnable(GL_DEPTH_TEST);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUseProgram(program);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 12, nullptr);
        glUniformMatrix4fv(projLoc, 1, GL_FALSE, camera._projection.m);
        glUniformMatrix4fv(viewLoc, 1, GL_FALSE, view.m);
        const float white[4] = {1, 1, 1, 1};
        glUniform4fv(meshColorLoc, 1, white);
        int material = -1;
        for (const Draw& d : draws) {
            if (d.material != material) {
                material = d.material;
                glUniform4fv(colorLoc, 1, &colours[(size_t)material].x);
            }
            glUniformMatrix4fv(worldLoc, 1, GL_FALSE, d.world.m);
            glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, (const void*)(uintptr_t)(d.geometry * 6 * 2));
        }
        glFinish();
    }
    state.counters["draw_calls"] = (double)draws.size();
    state.counters["time_per_mesh"] = benchmark::Counter((double)meshes, benchmark::Counter::kIsIterationInvariantRate |
                                                                            benchmark::Counter::kInvert);
    glDeleteBuffers(2, buffers);
    glDeleteShader(vs);
    glDeleteShader(fs);
    glDeleteProgram(program);
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int meshes : {1000, 10000})
        for (int materials : {1, 50}) b->Args({meshes, materials});
    b->ArgNames({"meshes", "materials"});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_FrameRecorded)->Apply(sizes);
BENCHMARK(BM_FrameOpenGLES2)->Apply(sizes);
BENCHMARK(BM_FrameBareGLES2)->Apply(sizes);

}  // namespace

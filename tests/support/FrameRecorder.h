#pragma once
// A renderer with no device: it keeps the frame's logic (the base class) and records what reaches
// the back-end slots, so tests and benchmarks can check and time the frame without a GPU.
// Header only: include it where engine_render is linked.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/render/Geometry.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"

class FrameRecorder : public Render {
public:
    struct Draw {
        const Geometry* geometry = nullptr;
        int32_t first = 0;
        int32_t count = 0;
        bool lines = false;
        Vector3 position;  // world translation of the mesh being drawn
        const Shader* shader = nullptr;
        const RenderTarget* target = nullptr;
    };

    // Slot calls as text ("beginRenderTarget game", "bindTexture 0", ...); off for benchmarks.
    bool logCalls = true;
    std::vector<std::string> log;
    std::vector<Draw> draws;
    std::vector<size_t> groupSizes;           // sizes handed to renderMeshes
    std::vector<std::string> uploadedUniforms;  // names, in upload order
    std::vector<const RenderTarget*> begun;
    std::vector<const RenderTarget*> finished;
    int frameCount = 0;

    FrameRecorder() { Render::setCurrent(this); }

    void clearRecords() {
        log.clear();
        draws.clear();
        groupSizes.clear();
        uploadedUniforms.clear();
        begun.clear();
        finished.clear();
    }

    // Positions of the drawn meshes along one axis, in draw order.
    std::vector<float> drawnX() const {
        std::vector<float> xs;
        for (const Draw& d : draws) xs.push_back(d.position.x);
        return xs;
    }

    void beginFrame() override { note("beginFrame"); ++frameCount; }
    void endFrame() override { note("endFrame"); }
    void init() override {}
    void createRenderTargets() override { note("createRenderTargets"); }
    void uploadTexture(Texture* texture) override {
        note("uploadTexture");
        if (texture && !texture->_deviceTexture) texture->_deviceTexture = new BackEndData();
    }
    void deleteTexture(Texture* texture) override {
        note("deleteTexture");
        if (!texture || !texture->_deviceTexture) return;
        delete texture->_deviceTexture;
        texture->_deviceTexture = nullptr;
        for (Texture*& bound : boundTextures)
            if (bound == texture) bound = nullptr;
    }
    // The program record is the standard-uniform table over whatever uniforms the test put in
    // the shader's list; it goes with deleteShader or with the shader.
    void createShader(Shader* shader) override {
        note("createShader");
        if (!shader || shader->_program) return;
        StandardUniforms* program = new StandardUniforms();
        program->fill(*shader);
        shader->_program = program;
    }
    void deleteShader(Shader* shader) override {
        note("deleteShader");
        if (!shader || !shader->_program) return;
        shader->clearUniforms();
        releaseProgram(shader);
    }
    void createGeometry(Geometry*) override { note("createGeometry"); }
    void batchGeometries(const std::vector<Geometry*>&) override { note("batchGeometries"); }
    void enableCulling() override { note("enableCulling"); }
    void enableBlend() override { note("enableBlend"); }
    void enableDepthWrite() override { note("enableDepthWrite"); }
    void enableColorWrite() override { note("enableColorWrite"); }
    void enableDepthTest() override { note("enableDepthTest"); }
    void beginStencilWrite() override { note("beginStencilWrite"); }
    void beginStencilTest() override { note("beginStencilTest"); }
    void disableCulling() override { note("disableCulling"); }
    void disableBlend() override { note("disableBlend"); }
    void disableDepthWrite() override { note("disableDepthWrite"); }
    void disableColorWrite() override { note("disableColorWrite"); }
    void disableDepthTest() override { note("disableDepthTest"); }
    void endStencilWrite() override { note("endStencilWrite"); }
    void endStencilTest() override { note("endStencilTest"); }
    void setCullFace(int face) override { note("setCullFace", face); }
    void beginRenderTarget(RenderTarget* target) override {
        note("beginRenderTarget " + target->_name);
        begun.push_back(target);
    }
    void finishRenderTarget(RenderTarget* target) override {
        note("finishRenderTarget " + target->_name);
        finished.push_back(target);
    }
    void setBlendFunc(int function) override { note("setBlendFunc", function); }
    void useShader(Shader* shader) override {
        note("useShader");
        currentProgram = shader ? shader->_program : nullptr;
        if (!currentProgram) return;
        ++programSwitches;
        writeUniformMatrix4(currentProgram->projMat, projection.m);
        writeUniformMatrix4(currentProgram->viewMat, view.m);
        writeUniformMatrix4(currentProgram->worldMat, world.m);
    }
    void renderMeshes(const std::vector<Mesh*>& meshes) override {
        groupSizes.push_back(meshes.size());
        Render::renderMeshes(meshes);
    }
    void bindGeometry(Geometry*) override { note("bindGeometry"); }
    void bindTexture(int unit, Texture* texture) override {
        note("bindTexture", unit);
        if (texture && texture->_reload) {
            deleteTexture(texture);
            texture->_reload = 0;
        }
        if (texture && !texture->_deviceTexture) uploadTexture(texture);
    }
    void drawTriangles(int32_t firstIndex, int32_t indexCount) override { record(firstIndex, indexCount, false); }
    void drawLines(int32_t firstIndex, int32_t indexCount) override { record(firstIndex, indexCount, true); }
    int queryReserved() override { return 0; }
    void uploadUniform(ShaderUniform* uniform) override {
        if (logCalls) uploadedUniforms.push_back(uniform->_name);
    }

private:
    void note(const std::string& text) {
        if (logCalls) log.push_back(text);
    }
    void note(const char* text, int value) {
        if (logCalls) log.push_back(std::string(text) + " " + std::to_string(value));
    }
    void record(int32_t first, int32_t count, bool lines) {
        ++drawCalls;
        if (!lines) triangles += (uint32_t)count / 3;
        if (!logCalls) return;
        Draw d;
        d.first = first;
        d.count = count;
        d.lines = lines;
        d.position = world.getTranslation();
        d.shader = currentShader;
        d.target = currentTarget;
        draws.push_back(d);
    }
    void releaseProgram(Shader* shader) {
        if (!shader->_program) return;
        if (currentProgram == shader->_program) {
            currentProgram = nullptr;
            currentShader = nullptr;
        }
        delete shader->_program;
        shader->_program = nullptr;
    }
};

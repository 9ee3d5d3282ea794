#pragma once
// A renderer without a device, for tests: it records every slot call it gets, in order, and keeps
// enough state for the frame and the resources to behave as with a real back end. Shaders are
// "linked" by reading the uniform declarations of their source ("uniform <type> <name>;" for
// float, vec3, vec4, mat3, mat4 and sampler2D), so the standard-uniform table fills as it would
// on a device; textures and geometries get small records as their device objects.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/render/BackEndData.h"
#include "engine/render/Render.h"
#include "engine/render/Shader.h"

class RecordingRender : public Render {
public:
    struct Call {
        std::string slot;            // the operation's name, e.g. "uploadTexture"
        const void* object = nullptr;  // its object argument, if any
        int64_t a = 0, b = 0;        // its integer arguments, if any
    };

    // The device records it hands out.
    struct DeviceTexture : BackEndData {
        uint32_t handle = 0;
    };
    struct DeviceBuffers : BackEndData {
        bool batched = false;
        uint32_t firstIndex = 0;  // where the geometry starts in its batch
    };
    struct Program : StandardUniforms {
        uint32_t handle = 0;
    };

    RecordingRender() {}
    ~RecordingRender() override;

    // Makes a new recording renderer current and calls init, as a back end's create does.
    static RecordingRender* create();

    // Calls recorded so far.
    std::vector<Call> calls;
    // Off: calls are not recorded (a benchmark measuring the frame, not the log).
    bool logCalls = true;
    // Shaders whose "link" fails (they get no program), for failure paths.
    bool failShaders = false;

    void clearCalls() { calls.clear(); }
    int count(const std::string& slot) const;
    // Slot names in order, optionally only those whose name is in the filter.
    std::vector<std::string> slots(const std::vector<std::string>& only = {}) const;
    // "slot a b" for each call, integer arguments shown only for the slots that take them.
    std::vector<std::string> lines() const;

    void beginFrame() override { record("beginFrame"); }
    void endFrame() override { record("endFrame"); }
    void init() override { record("init"); }
    void createRenderTargets() override { record("createRenderTargets"); }
    void uploadTexture(Texture* texture) override;
    void deleteTexture(Texture* texture) override;
    void createShader(Shader* shader) override;
    void deleteShader(Shader* shader) override;
    void createGeometry(Geometry* geometry) override;
    void batchGeometries(const std::vector<Geometry*>& geometries) override;
    void setShader(Shader* shader) override;
    void commitUniforms(Shader* shader) override;
    void enableCulling() override { record("enableCulling"); }
    void enableBlend() override { record("enableBlend"); }
    void enableDepthWrite() override { record("enableDepthWrite"); }
    void enableColorWrite() override { record("enableColorWrite"); }
    void enableDepthTest() override { record("enableDepthTest"); }
    void beginStencilWrite() override { record("beginStencilWrite"); }
    void beginStencilTest() override { record("beginStencilTest"); }
    void disableCulling() override { record("disableCulling"); }
    void disableBlend() override { record("disableBlend"); }
    void disableDepthWrite() override { record("disableDepthWrite"); }
    void disableColorWrite() override { record("disableColorWrite"); }
    void disableDepthTest() override { record("disableDepthTest"); }
    void endStencilWrite() override { record("endStencilWrite"); }
    void endStencilTest() override { record("endStencilTest"); }
    void setCullFace(int face) override { record("setCullFace", nullptr, face); }
    void beginRenderTarget(RenderTarget* target) override { record("beginRenderTarget", target); }
    void finishRenderTarget(RenderTarget* target) override { record("finishRenderTarget", target); }
    void setBlendFunc(int function) override { record("setBlendFunc", nullptr, function); }
    void useShader(Shader* shader) override;
    void renderMeshes(const std::vector<Mesh*>& meshes) override;
    void applyMaterial(Material* material) override;
    void bindGeometry(Geometry* geometry) override;
    void bindTexture(int unit, Texture* texture) override;
    void drawTriangles(int32_t firstIndex, int32_t indexCount) override;
    void drawLines(int32_t firstIndex, int32_t indexCount) override;
    int queryReserved() override { return 0; }
    void uploadUniform(ShaderUniform* uniform) override;

private:
    void record(const char* slot, const void* object = nullptr, int64_t a = 0, int64_t b = 0);
    uint32_t _nextHandle = 1;
};

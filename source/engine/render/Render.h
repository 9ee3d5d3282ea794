#pragma once
// The abstract renderer. Exactly one renderer is current at a time (an OpenGL ES 2.0 or a Metal
// back end). The base owns what both share: the render targets, the caches of device state, the
// camera, world and normal matrices, the four bound lights and eight bound textures, the clock,
// and the frame algorithm; back ends supply the primitive operations below (their slot order is
// the order both back ends implement them in).
//
// Bodies: construction, destruction and the current renderer are in Render.cpp; the frame
// (render, renderTarget, setCamera, renderMesh, setLight, applyMaterialState,
// createRenderTarget and the base bodies of setShader, commitUniforms, renderMeshes and
// applyMaterial) is in RenderFrame.cpp.

#include <cstdint>
#include <vector>

#include "engine/math.h"

class Camera;
class Geometry;
class Light;
class Material;
class Mesh;
class RenderTarget;
class Shader;
class ShaderUniform;
class Texture;
struct StandardUniforms;

enum BlendFunction {
    BlendFuncPremultiplied = 0,  // (ONE, ONE_MINUS_SRC_ALPHA); no material chooses it
    BlendFuncAlpha = 1,          // (SRC_ALPHA, ONE_MINUS_SRC_ALPHA)
    BlendFuncAdditive = 2        // (ONE, ONE)
};

class Render {
public:
    enum { MaxLights = 4, MaxTextureUnits = 8 };

    Render();
    // Frees the target list storage; the targets are not owned.
    virtual ~Render();
    Render(const Render&) = delete;
    Render& operator=(const Render&) = delete;

    // The current renderer (null until a back end makes itself current).
    static Render* current();
    static void setCurrent(Render* render);

    // ---- Operations of the interface, in slot order ----
    virtual void beginFrame() = 0;
    virtual void endFrame() = 0;
    virtual void init() = 0;
    // Device objects of every off-screen target that has none.
    virtual void createRenderTargets() = 0;
    // Afterwards the texture has a device texture (nothing happens when it has one).
    virtual void uploadTexture(Texture* texture) = 0;
    // Deletes the device texture and forgets it in the unit bindings.
    virtual void deleteTexture(Texture* texture) = 0;
    // Afterwards the shader has a program record and its uniform list, or none on failure.
    virtual void createShader(Shader* shader) = 0;
    // Deletes the program record and empties the uniform list.
    virtual void deleteShader(Shader* shader) = 0;
    virtual void createGeometry(Geometry* geometry) = 0;
    // Packs static geometries into shared buffers.
    virtual void batchGeometries(const std::vector<Geometry*>& geometries) = 0;
    // Makes a shader current: useShader when it changes, and empties the bound lights.
    virtual void setShader(Shader* shader);
    // Uploads the shader's changed uniforms and clears their flags.
    virtual void commitUniforms(Shader* shader);
    virtual void enableCulling() = 0;
    virtual void enableBlend() = 0;
    virtual void enableDepthWrite() = 0;
    virtual void enableColorWrite() = 0;
    virtual void enableDepthTest() = 0;      // depth compare LEQUAL
    virtual void beginStencilWrite() = 0;    // following draws write 1 into the stencil
    virtual void beginStencilTest() = 0;     // following draws pass only where the stencil is 1
    virtual void disableCulling() = 0;
    virtual void disableBlend() = 0;
    virtual void disableDepthWrite() = 0;
    virtual void disableColorWrite() = 0;
    virtual void disableDepthTest() = 0;     // depth compare ALWAYS
    virtual void endStencilWrite() = 0;
    virtual void endStencilTest() = 0;
    virtual void setCullFace(int face) = 0;  // 1 = cull back faces, 0 = cull front faces
    // Binds a target, sets its viewport, clears it.
    virtual void beginRenderTarget(RenderTarget* target) = 0;
    virtual void finishRenderTarget(RenderTarget* target) = 0;
    virtual void setBlendFunc(int function) = 0;  // BlendFunction
    // Activates the shader's program in the device and sets currentProgram.
    virtual void useShader(Shader* shader) = 0;
    // A group of meshes sharing geometry and index range; the base draws each with renderMesh.
    virtual void renderMeshes(const std::vector<Mesh*>& meshes);
    // Material state, "color" and "materialEmit", and textures on units 0..7.
    virtual void applyMaterial(Material* material);
    virtual void bindGeometry(Geometry* geometry) = 0;
    // Binds a texture to unit 0..7, uploading it first when needed.
    virtual void bindTexture(int unit, Texture* texture) = 0;
    virtual void drawTriangles(int32_t firstIndex, int32_t indexCount) = 0;
    virtual void drawLines(int32_t firstIndex, int32_t indexCount) = 0;
    virtual int queryReserved() = 0;  // 0 in both back ends; nothing calls it
    // Uploads one uniform by its type.
    virtual void uploadUniform(ShaderUniform* uniform) = 0;

    // ---- The frame ----
    void render();
    void renderTarget(RenderTarget* target);
    void setCamera(Camera* camera);
    void renderMesh(Mesh* mesh);
    // renderMesh up to and including the light slots (shader, matrices, standard uniforms,
    // overrides, geometry, material, stencil, culling, lights); false when the mesh is not drawn.
    // A back end drawing groups of meshes prepares each one with it.
    bool prepareMesh(Mesh* mesh);
    void setLight(int slot, Light* light);
    void applyMaterialState(Material* material);
    // The screen target, inserted at the front of the target list. The caller owns it; freeing
    // it takes it off this renderer's list.
    RenderTarget* createRenderTarget();
    // A target made by createRenderTarget is being freed: it leaves the target list.
    void forgetTarget(RenderTarget* target);

    // ---- Cached toggles: the device call happens only when the cache differs ----
    void toggleStencilTest(bool on) {
        if (stencilTestOn == on) return;
        if (on) beginStencilTest(); else endStencilTest();
        stencilTestOn = on;
    }
    void toggleStencilWrite(bool on) {
        if (stencilWriteOn == on) return;
        if (on) beginStencilWrite(); else endStencilWrite();
        stencilWriteOn = on;
    }
    void toggleCulling(bool on) {
        if (cullingOn == on) return;
        if (on) enableCulling(); else disableCulling();
        cullingOn = on;
    }
    void toggleCullFace(int face) {
        if (cullFaceCache == face) return;
        setCullFace(face);
        cullFaceCache = face;
    }
    bool toggleDepthTest(bool on) {
        if (depthTestOn != on) {
            if (on) enableDepthTest(); else disableDepthTest();
            depthTestOn = on;
        }
        return depthTestOn;
    }
    void toggleDepthWrite(bool on) {
        if (depthWriteOn == on) return;
        if (on) enableDepthWrite(); else disableDepthWrite();
        depthWriteOn = on;
    }
    void toggleBlend(bool on) {
        if (blendOn == on) return;
        if (on) enableBlend(); else disableBlend();
        blendOn = on;
    }
    void toggleBlendFunc(int function) {
        if (blendFuncCache == function) return;
        setBlendFunc(function);
        blendFuncCache = function;
    }
    void toggleColorWrite(bool on) {
        if (colorWriteOn == on) return;
        if (on) enableColorWrite(); else disableColorWrite();
        colorWriteOn = on;
    }

    // ---- State ----
    // Frame statistics, zeroed at the start of every frame.
    uint32_t drawCalls = 0;
    uint32_t triangles = 0;
    uint32_t distanceSkipped = 0;
    uint32_t programSwitches = 0;

    // What the renderer believes the device state is.
    int32_t cullFaceCache = 0;
    int32_t blendFuncCache = 3;  // matches no function, so the first blend use sets it
    bool blendOn = false;
    bool cullingOn = false;
    bool depthWriteOn = false;
    bool colorWriteOn = true;
    bool depthTestOn = false;
    bool stencilWriteOn = false;
    bool stencilTestOn = false;

    Shader* currentShader = nullptr;
    Light* boundLights[MaxLights] = {nullptr, nullptr, nullptr, nullptr};
    Matrix4 projection;
    Matrix4 view;
    Matrix4 world;
    // Three rows of four floats; the fourth float of each row is ignored.
    float normalMatrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    RenderTarget* currentTarget = nullptr;
    float fogDistance = 0;
    float time = 0;  // sum of the scaled frame times drawn so far, seconds
    Texture* boundTextures[MaxTextureUnits] = {};
    // The standard-uniform table of the current shader's program record, or null.
    StandardUniforms* currentProgram = nullptr;
    std::vector<RenderTarget*> targets;

private:
    // The live targets createRenderTarget made, which drop out of the list when freed.
    std::vector<RenderTarget*> _issued;
};

#pragma once
// The renderer on OpenGL ES 2.0: shader builds with their uniform objects, texture uploads,
// vertex and index buffers (static geometries packed into shared buffers), vertex array objects
// cached per buffer set and attribute layout, framebuffers for off-screen targets. Every device
// call happens on the thread that created the renderer; uploads and shader builds asked for by
// another thread are queued, carried out at the start of the next frame, and the asking thread
// waits until its request has been dealt with.

#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/render/BackEndData.h"
#include "engine/render/Render.h"
#include "engine/render/Shader.h"

class Geometry;
class RenderTarget;
class Texture;

// ---- Uniforms with their device location ----

class OpenGLES2FloatShaderUniform : public FloatShaderUniform {
public:
    OpenGLES2FloatShaderUniform(const char* name, GLint location) : FloatShaderUniform(name), _location(location) {}
    GLint _location;
};

class OpenGLES2Vector3ShaderUniform : public Vector3ShaderUniform {
public:
    OpenGLES2Vector3ShaderUniform(const char* name, GLint location) : Vector3ShaderUniform(name), _location(location) {}
    GLint _location;
};

class OpenGLES2Vector4ShaderUniform : public Vector4ShaderUniform {
public:
    OpenGLES2Vector4ShaderUniform(const char* name, GLint location) : Vector4ShaderUniform(name), _location(location) {}
    GLint _location;
};

class OpenGLES2Matrix3ShaderUniform : public Matrix3ShaderUniform {
public:
    OpenGLES2Matrix3ShaderUniform(const char* name, GLint location) : Matrix3ShaderUniform(name), _location(location) {}
    GLint _location;
};

class OpenGLES2Matrix4ShaderUniform : public Matrix4ShaderUniform {
public:
    OpenGLES2Matrix4ShaderUniform(const char* name, GLint location) : Matrix4ShaderUniform(name), _location(location) {}
    GLint _location;
};

class OpenGLES2SamplerShaderUniform : public SamplerShaderUniform {
public:
    OpenGLES2SamplerShaderUniform(const char* name, GLint location) : SamplerShaderUniform(name), _location(location) {}
    GLint _location;
};

// ---- Device records hung on engine objects ----

struct GeometryBuffers;

// The program record of a linked shader: the standard-uniform table, the device handles, the
// attribute signature per buffer set and the program's active attributes.
struct ShaderProgram : StandardUniforms {
    struct Attribute {
        GLint location = -1;
        std::string name;
    };

    // Deletes the program and both stage objects.
    ~ShaderProgram() override;

    GLuint program = 0;
    GLuint vertexShader = 0;
    GLuint fragmentShader = 0;
    std::map<const GeometryBuffers*, uint32_t> signatureCache;
    std::vector<Attribute> attributes;

    // The program's location for an attribute name, or -1.
    GLint attributeLocation(const std::string& name) const;
};

// Device buffers of a geometry. A packed geometry's record points at its group's record (shared)
// and keeps where its indices start there; vertex arrays are cached on the group's record. The
// group's record lives while any member does.
struct GeometryBuffers : BackEndData {
    ~GeometryBuffers() override;

    GeometryBuffers* shared = nullptr;
    uint32_t firstIndex = 0;
    GLuint indexBuffer = 0;
    GLuint vertexBuffer = 0;
    std::map<uint32_t, GLuint> vertexArrays;
    // Indices and vertices this record's buffers hold (for the group: all members').
    uint32_t indexCount = 0;
    uint32_t vertexCount = 0;
    // A group's members; the group's buffers go with the last of them.
    int memberCount = 0;
    bool ownsBuffers = true;
};

// A device texture.
struct DeviceTexture : BackEndData {
    explicit DeviceTexture(GLuint handle_) : handle(handle_) {}
    // Deletes the texture and forgets it in the unit bindings of every renderer.
    ~DeviceTexture() override;
    GLuint handle = 0;
};

// The framebuffer of an off-screen target and the renderbuffers it owns (a colour texture
// belongs to the target's colour texture).
struct DeviceFramebuffer : BackEndData {
    ~DeviceFramebuffer() override;
    GLuint framebuffer = 0;
    GLuint colourRenderbuffer = 0;
    GLuint depthRenderbuffer = 0;
};

// What the device offers beyond OpenGL ES 2.0, read once at start-up; entry points come from
// eglGetProcAddress.
struct GLES2Extensions {
    bool vertexArrayObject = false;   // OES_vertex_array_object
    bool discardFramebuffer = false;  // EXT_discard_framebuffer
    bool anisotropic = false;         // EXT_texture_filter_anisotropic
    bool pvrtc = false;               // IMG_texture_compression_pvrtc
    bool rgb8rgba8 = false;           // OES_rgb8_rgba8
    bool packedDepthStencil = false;  // OES_packed_depth_stencil

    PFNGLGENVERTEXARRAYSOESPROC genVertexArrays = nullptr;
    PFNGLBINDVERTEXARRAYOESPROC bindVertexArray = nullptr;
    PFNGLDELETEVERTEXARRAYSOESPROC deleteVertexArrays = nullptr;
    PFNGLDISCARDFRAMEBUFFEREXTPROC discardFramebuffer_ = nullptr;

    // Reads the extension string of the current context and loads the entry points. An
    // extension whose entry points are missing counts as absent.
    void probe();
    // Exact token match in an extension string.
    static bool has(const char* extensions, const char* name);
};

class OpenGLES2Render : public Render {
public:
    // A new renderer on the calling thread's current context, made the current renderer and
    // initialised (extensions probed). The thread becomes the render thread.
    static OpenGLES2Render* create();

    OpenGLES2Render();
    // Releases threads still waiting on the queues.
    ~OpenGLES2Render() override;

    void beginFrame() override;
    void endFrame() override;
    void init() override;
    void createRenderTargets() override;
    void uploadTexture(Texture* texture) override;
    void deleteTexture(Texture* texture) override;
    void createShader(Shader* shader) override;
    void deleteShader(Shader* shader) override;
    void createGeometry(Geometry* geometry) override;
    void batchGeometries(const std::vector<Geometry*>& geometries) override;
    void enableCulling() override;
    void enableBlend() override;
    void enableDepthWrite() override;
    void enableColorWrite() override;
    void enableDepthTest() override;
    void beginStencilWrite() override;
    void beginStencilTest() override;
    void disableCulling() override;
    void disableBlend() override;
    void disableDepthWrite() override;
    void disableColorWrite() override;
    void disableDepthTest() override;
    void endStencilWrite() override;
    void endStencilTest() override;
    void setCullFace(int face) override;
    void beginRenderTarget(RenderTarget* target) override;
    void finishRenderTarget(RenderTarget* target) override;
    void setBlendFunc(int function) override;
    void useShader(Shader* shader) override;
    void bindGeometry(Geometry* geometry) override;
    void bindTexture(int unit, Texture* texture) override;
    void drawTriangles(int32_t firstIndex, int32_t indexCount) override;
    void drawLines(int32_t firstIndex, int32_t indexCount) override;
    int queryReserved() override { return 0; }
    void uploadUniform(ShaderUniform* uniform) override;

    // Power-of-two attachments for an off-screen target; logs and leaves the target without a
    // framebuffer when the device refuses the combination.
    void createFramebuffer(RenderTarget* target);

    bool isRenderThread() const { return std::this_thread::get_id() == _renderThread; }
    const GLES2Extensions& extensions() const { return _extensions; }

    // Called by the device records as they die, so no cache keeps a deleted object.
    static void forgetBuffers(const GeometryBuffers* record);
    static void forgetVertexArray(GLuint vertexArray);
    static void forgetTexture(const DeviceTexture* record);
    static void forgetProgram(const ShaderProgram* program);

    // ---- Back-end state ----
    uint32_t currentTargetFlags = 0;
    GLint defaultFramebuffer = -1;
    GLint boundIndexBuffer = -1;
    GLint activeTextureUnit = -1;
    GLint boundVertexArray = -1;
    uintptr_t indexBase = 0;
    std::vector<GLint> enabledArrays;
    std::thread::id _renderThread;

private:
    struct Request {
        void* object = nullptr;
        bool done = false;
    };
    struct Queue {
        std::mutex mutex;
        std::condition_variable handled;
        std::vector<Request*> requests;
    };

    void createShaderNow(Shader* shader);
    void uploadTextureNow(Texture* texture);
    // Queues a request and waits until the render thread has dealt with it.
    void waitFor(Queue& queue, void* object);
    void drainQueue(Queue& queue, bool shaders);

    void setActiveTextureUnit(int unit);
    void bindVertexArrayCached(GLint vertexArray);
    uint32_t signatureFor(ShaderProgram* program, const GeometryBuffers* key, const Geometry* geometry);
    GLuint buildVertexArray(const GeometryBuffers* key, const Geometry* geometry, uint32_t signature);
    // Points the attribute arrays of the current program at base (a buffer offset or memory),
    // enabling what is used and disabling what the previous such draw left enabled.
    void pointArrays(const Geometry* geometry, const uint8_t* base);
    bool indexRangeOk(int32_t firstIndex, int32_t indexCount);

    GLES2Extensions _extensions;
    Queue _shaderQueue;
    Queue _textureQueue;
    // What the draws read: set by bindGeometry, false when the geometry could not be bound.
    bool _geometryReady = false;
    uint32_t _boundIndexCount = 0;
    std::vector<uint8_t> _batchVertices;
    std::vector<uint8_t> _batchIndices;
};

#include "engine/render/gles2/OpenGLES2Render.h"

#include <EGL/egl.h>

#include <algorithm>
#include <cstring>

#include "engine/IGame.h"
#include "engine/render/Geometry.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"
#include "engine/utils.h"

// ---- Bookkeeping shared by the device records ----
// Records die with the engine objects that carry them (a geometry, a texture, a shader), maybe
// after the renderer that made them. They find the live renderers and programs here to drop
// every cached reference to what they delete. Render thread only, like every device call.

static std::vector<OpenGLES2Render*>& liveRenderers() {
    static std::vector<OpenGLES2Render*> renderers;
    return renderers;
}

static std::vector<ShaderProgram*>& livePrograms() {
    static std::vector<ShaderProgram*> programs;
    return programs;
}

// Vertex array objects come from an extension; the records need its delete entry point.
static PFNGLDELETEVERTEXARRAYSOESPROC gDeleteVertexArrays = nullptr;

void OpenGLES2Render::forgetBuffers(const GeometryBuffers* record) {
    for (ShaderProgram* program : livePrograms()) program->signatureCache.erase(record);
    for (OpenGLES2Render* render : liveRenderers()) {
        if (render->boundIndexBuffer == (GLint)record->indexBuffer && record->ownsBuffers)
            render->boundIndexBuffer = -1;
    }
}

void OpenGLES2Render::forgetVertexArray(GLuint vertexArray) {
    for (OpenGLES2Render* render : liveRenderers()) {
        if (render->boundVertexArray == (GLint)vertexArray) {
            render->boundVertexArray = -1;
            render->boundIndexBuffer = -1;
        }
    }
}

void OpenGLES2Render::forgetTexture(const DeviceTexture* record) {
    for (OpenGLES2Render* render : liveRenderers()) {
        for (Texture*& bound : render->boundTextures)
            if (bound && bound->_deviceTexture == record) bound = nullptr;
    }
}

void OpenGLES2Render::forgetProgram(const ShaderProgram* program) {
    for (OpenGLES2Render* render : liveRenderers()) {
        if (render->currentProgram == program) {
            render->currentProgram = nullptr;
            render->currentShader = nullptr;
        }
    }
    auto& programs = livePrograms();
    programs.erase(std::remove(programs.begin(), programs.end(), program), programs.end());
}

ShaderProgram::~ShaderProgram() {
    OpenGLES2Render::forgetProgram(this);
    if (program) {
        if (vertexShader) glDetachShader(program, vertexShader);
        if (fragmentShader) glDetachShader(program, fragmentShader);
        glDeleteProgram(program);
    }
    if (vertexShader) glDeleteShader(vertexShader);
    if (fragmentShader) glDeleteShader(fragmentShader);
}

GLint ShaderProgram::attributeLocation(const std::string& name) const {
    for (const Attribute& attribute : attributes)
        if (attribute.name == name) return attribute.location;
    return -1;
}

GeometryBuffers::~GeometryBuffers() {
    OpenGLES2Render::forgetBuffers(this);
    if (shared) {
        // A member: the buffers are the group's, which goes with its last member.
        if (--shared->memberCount <= 0) delete shared;
        return;
    }
    for (auto& entry : vertexArrays) {
        OpenGLES2Render::forgetVertexArray(entry.second);
        if (gDeleteVertexArrays) gDeleteVertexArrays(1, &entry.second);
    }
    if (ownsBuffers) {
        if (vertexBuffer) glDeleteBuffers(1, &vertexBuffer);
        if (indexBuffer) glDeleteBuffers(1, &indexBuffer);
    }
}

DeviceTexture::~DeviceTexture() {
    OpenGLES2Render::forgetTexture(this);
    if (handle) glDeleteTextures(1, &handle);
}

DeviceFramebuffer::~DeviceFramebuffer() {
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    if (colourRenderbuffer) glDeleteRenderbuffers(1, &colourRenderbuffer);
    if (depthRenderbuffer) glDeleteRenderbuffers(1, &depthRenderbuffer);
}

// ---- Extensions ----

bool GLES2Extensions::has(const char* extensions, const char* name) {
    if (!extensions || !name || !*name) return false;
    const size_t length = strlen(name);
    for (const char* at = strstr(extensions, name); at; at = strstr(at + 1, name)) {
        const bool startOk = at == extensions || at[-1] == ' ';
        const bool endOk = at[length] == ' ' || at[length] == '\0';
        if (startOk && endOk) return true;
    }
    return false;
}

void GLES2Extensions::probe() {
    const char* list = (const char*)glGetString(GL_EXTENSIONS);
    vertexArrayObject = has(list, "GL_OES_vertex_array_object");
    discardFramebuffer = has(list, "GL_EXT_discard_framebuffer");
    anisotropic = has(list, "GL_EXT_texture_filter_anisotropic");
    pvrtc = has(list, "GL_IMG_texture_compression_pvrtc");
    rgb8rgba8 = has(list, "GL_OES_rgb8_rgba8");
    packedDepthStencil = has(list, "GL_OES_packed_depth_stencil");

    if (vertexArrayObject) {
        genVertexArrays = (PFNGLGENVERTEXARRAYSOESPROC)eglGetProcAddress("glGenVertexArraysOES");
        bindVertexArray = (PFNGLBINDVERTEXARRAYOESPROC)eglGetProcAddress("glBindVertexArrayOES");
        deleteVertexArrays = (PFNGLDELETEVERTEXARRAYSOESPROC)eglGetProcAddress("glDeleteVertexArraysOES");
        vertexArrayObject = genVertexArrays && bindVertexArray && deleteVertexArrays;
    }
    if (discardFramebuffer) {
        discardFramebuffer_ = (PFNGLDISCARDFRAMEBUFFEREXTPROC)eglGetProcAddress("glDiscardFramebufferEXT");
        discardFramebuffer = discardFramebuffer_ != nullptr;
    }
    if (vertexArrayObject) gDeleteVertexArrays = deleteVertexArrays;
}

// ---- Construction ----

OpenGLES2Render* OpenGLES2Render::create() {
    OpenGLES2Render* render = new OpenGLES2Render();
    Render::setCurrent(render);
    render->init();
    return render;
}

OpenGLES2Render::OpenGLES2Render() {
    _renderThread = std::this_thread::get_id();
    liveRenderers().push_back(this);
}

OpenGLES2Render::~OpenGLES2Render() {
    // Nobody is left to serve the queues: let the waiting threads go.
    for (Queue* queue : {&_shaderQueue, &_textureQueue}) {
        std::lock_guard<std::mutex> lock(queue->mutex);
        for (Request* request : queue->requests) request->done = true;
        queue->requests.clear();
        queue->handled.notify_all();
    }
    auto& renderers = liveRenderers();
    renderers.erase(std::remove(renderers.begin(), renderers.end(), this), renderers.end());
}

void OpenGLES2Render::init() {
    _extensions.probe();
    // The state caches start from known values; make the device agree with them, whatever the
    // context saw before this renderer.
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_ALWAYS);
    glDisable(GL_STENCIL_TEST);
    glStencilMask(0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    if (_extensions.vertexArrayObject) _extensions.bindVertexArray(0);
    Logger::message("[OpenGLES2Render::init] %s, %s; vertex arrays %d, discard %d, anisotropy %d, PVRTC %d",
                    (const char*)glGetString(GL_RENDERER), (const char*)glGetString(GL_VERSION),
                    _extensions.vertexArrayObject, _extensions.discardFramebuffer, _extensions.anisotropic,
                    _extensions.pvrtc);
}

// ---- Frame ----

void OpenGLES2Render::beginFrame() {
    drainQueue(_shaderQueue, true);
    drainQueue(_textureQueue, false);
    if (defaultFramebuffer == -1) glGetIntegerv(GL_FRAMEBUFFER_BINDING, &defaultFramebuffer);
    programSwitches = 0;
    triangles = 0;
    drawCalls = 0;
    activeTextureUnit = -1;
    glViewport(0, 0, (GLsizei)IGame::hostWidth(), (GLsizei)IGame::hostHeight());
    glClearStencil(0);
    glClearColor(0, 0, 0, 0);
    glClearDepthf(1.0f);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    boundVertexArray = -1;
    boundIndexBuffer = -1;
    indexBase = 0;
    toggleCulling(true);
    toggleCullFace(1);
    toggleDepthWrite(true);
    toggleDepthTest(true);
}

void OpenGLES2Render::endFrame() { glFlush(); }

void OpenGLES2Render::createRenderTargets() {
    for (RenderTarget* target : targets)
        if (!target->_external && !target->_framebuffer) createFramebuffer(target);
}

// ---- Requests from other threads ----

void OpenGLES2Render::waitFor(Queue& queue, void* object) {
    Request request;
    request.object = object;
    std::unique_lock<std::mutex> lock(queue.mutex);
    queue.requests.push_back(&request);
    queue.handled.wait(lock, [&request] { return request.done; });
}

void OpenGLES2Render::drainQueue(Queue& queue, bool shaders) {
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (queue.requests.empty()) return;
    for (Request* request : queue.requests) {
        // A request that fails is dealt with all the same: its thread must not wait forever.
        if (shaders) createShaderNow(static_cast<Shader*>(request->object));
        else uploadTextureNow(static_cast<Texture*>(request->object));
        request->done = true;
    }
    queue.requests.clear();
    queue.handled.notify_all();
}

// ---- Shaders ----

void OpenGLES2Render::createShader(Shader* shader) {
    if (!shader) return;
    if (isRenderThread()) createShaderNow(shader);
    else waitFor(_shaderQueue, shader);
}

static GLuint compileStage(GLenum type, const char* stageLine, const std::string& text, const char* logFormat) {
    GLuint stage = glCreateShader(type);
    if (!stage) return 0;
    const char* strings[3] = {stageLine, "#define RUNTIME\n", text.c_str()};
    glShaderSource(stage, 3, strings, nullptr);
    glCompileShader(stage);
    GLint logLength = 0;
    glGetShaderiv(stage, GL_INFO_LOG_LENGTH, &logLength);
    if (logLength > 1) {
        std::string log((size_t)logLength, '\0');
        glGetShaderInfoLog(stage, logLength, nullptr, &log[0]);
        if (log.find("Success.") == std::string::npos) Logger::message(logFormat, log.c_str());
    }
    GLint compiled = GL_FALSE;
    glGetShaderiv(stage, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        glDeleteShader(stage);
        return 0;
    }
    return stage;
}

void OpenGLES2Render::createShaderNow(Shader* shader) {
    if (!shader || shader->_program) return;
    const std::string text = std::string(shader->_source ? shader->_source : "") + "\n";

    GLuint vertexShader = compileStage(GL_VERTEX_SHADER, "#define VERTEX_SHADER\n", text,
                                       "Vertex shader compile log:\n%s");
    if (!vertexShader) return;
    GLuint fragmentShader = compileStage(GL_FRAGMENT_SHADER, "#define FRAGMENT_SHADER\n", text,
                                         "Fragment shader compile log:\n%s");
    if (!fragmentShader) {
        glDeleteShader(vertexShader);
        return;
    }

    GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    GLint logLength = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
    if (logLength > 0) {
        std::string log((size_t)logLength, '\0');
        glGetProgramInfoLog(program, logLength, nullptr, &log[0]);
        if (log.find("Success.") == std::string::npos && log[0] != '\0') Logger::message("Program link log:\n%s", log.c_str());
    }
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        glDetachShader(program, vertexShader);
        glDetachShader(program, fragmentShader);
        glDeleteProgram(program);
        glDeleteShader(vertexShader);
        glDeleteShader(fragmentShader);
        return;
    }

    ShaderProgram* record = new ShaderProgram();
    record->program = program;
    record->vertexShader = vertexShader;
    record->fragmentShader = fragmentShader;
    livePrograms().push_back(record);

    char name[32];
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_ATTRIBUTES, &count);
    for (GLint i = 0; i < count; ++i) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        name[0] = '\0';
        glGetActiveAttrib(program, (GLuint)i, sizeof(name), &length, &size, &type, name);
        ShaderProgram::Attribute attribute;
        attribute.location = glGetAttribLocation(program, name);
        attribute.name = name;
        record->attributes.push_back(attribute);
    }

    count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        name[0] = '\0';
        glGetActiveUniform(program, (GLuint)i, sizeof(name), &length, &size, &type, name);
        const GLint location = glGetUniformLocation(program, name);
        ShaderUniform* uniform = nullptr;
        switch (type) {
            case GL_FLOAT: uniform = new OpenGLES2FloatShaderUniform(name, location); break;
            case GL_FLOAT_VEC3: uniform = new OpenGLES2Vector3ShaderUniform(name, location); break;
            case GL_FLOAT_VEC4: uniform = new OpenGLES2Vector4ShaderUniform(name, location); break;
            case GL_FLOAT_MAT3: uniform = new OpenGLES2Matrix3ShaderUniform(name, location); break;
            case GL_FLOAT_MAT4: uniform = new OpenGLES2Matrix4ShaderUniform(name, location); break;
            case GL_SAMPLER_2D: uniform = new OpenGLES2SamplerShaderUniform(name, location); break;
            default: break;  // other types get no object
        }
        if (uniform) shader->_uniforms.push_back(uniform);
    }

    record->fill(*shader);
    for (int unit = 0; unit < StandardUniforms::TextureUnits; ++unit)
        writeUniformSampler(record->tex[unit], unit);
    shader->_program = record;
}

void OpenGLES2Render::deleteShader(Shader* shader) {
    if (!shader || !shader->_program) return;
    shader->clearUniforms();
    StandardUniforms* record = shader->_program;
    shader->_program = nullptr;
    if (currentShader == shader) currentShader = nullptr;
    delete record;  // the program, both stages, the attribute list and the signature cache
}

void OpenGLES2Render::useShader(Shader* shader) {
    currentProgram = shader ? shader->_program : nullptr;
    if (!currentProgram) return;
    ShaderProgram* program = static_cast<ShaderProgram*>(currentProgram);
    ++programSwitches;
    glUseProgram(program->program);
    writeUniformMatrix4(program->projMat, projection.m);
    writeUniformMatrix4(program->viewMat, view.m);
    writeUniformMatrix4(program->worldMat, world.m);
    const float normal[9] = {normalMatrix[0], normalMatrix[1], normalMatrix[2], normalMatrix[4], normalMatrix[5],
                             normalMatrix[6], normalMatrix[8], normalMatrix[9], normalMatrix[10]};
    writeUniformMatrix3(program->normalMat, normal);
}

void OpenGLES2Render::uploadUniform(ShaderUniform* uniform) {
    if (!uniform) return;
    switch (uniform->getType()) {
        case UniformFloat: {
            auto* u = static_cast<OpenGLES2FloatShaderUniform*>(uniform);
            glUniform1f(u->_location, u->_value);
            break;
        }
        case UniformVector3: {
            auto* u = static_cast<OpenGLES2Vector3ShaderUniform*>(uniform);
            glUniform3fv(u->_location, 1, u->_value);
            break;
        }
        case UniformVector4: {
            auto* u = static_cast<OpenGLES2Vector4ShaderUniform*>(uniform);
            glUniform4fv(u->_location, 1, u->_value);
            break;
        }
        case UniformMatrix3: {
            auto* u = static_cast<OpenGLES2Matrix3ShaderUniform*>(uniform);
            glUniformMatrix3fv(u->_location, 1, GL_FALSE, u->_value);
            break;
        }
        case UniformMatrix4: {
            auto* u = static_cast<OpenGLES2Matrix4ShaderUniform*>(uniform);
            glUniformMatrix4fv(u->_location, 1, GL_FALSE, u->_value);
            break;
        }
        case UniformSampler: {
            auto* u = static_cast<OpenGLES2SamplerShaderUniform*>(uniform);
            glUniform1i(u->_location, u->_value);
            break;
        }
        default: break;
    }
}

// ---- Textures ----

void OpenGLES2Render::setActiveTextureUnit(int unit) {
    if (activeTextureUnit == unit) return;
    glActiveTexture(GL_TEXTURE0 + (GLenum)unit);
    activeTextureUnit = unit;
}

void OpenGLES2Render::uploadTexture(Texture* texture) {
    if (!texture) return;
    if (isRenderThread()) uploadTextureNow(texture);
    else waitFor(_textureQueue, texture);
}

void OpenGLES2Render::uploadTextureNow(Texture* texture) {
    if (!texture || texture->_deviceTexture) return;
    GLuint handle = 0;
    glGenTextures(1, &handle);
    glBindTexture(GL_TEXTURE_2D, handle);
    // The bind replaced whatever the active unit held.
    if (activeTextureUnit >= 0 && activeTextureUnit < MaxTextureUnits) boundTextures[activeTextureUnit] = nullptr;
    else for (Texture*& bound : boundTextures) bound = nullptr;

    const int levelCount = std::min<int>(texture->_levelCount, (int)texture->_levels.size());
    bool pvrtcReported = false;
    for (int i = 0; i < levelCount; ++i) {
        const uint8_t* data = texture->_levels[(size_t)i];
        if (!data) continue;
        const GLsizei w = (GLsizei)texture->levelWidth(i);
        const GLsizei h = (GLsizei)texture->levelHeight(i);
        switch (texture->_format) {
            case TextureRGB:
            case TextureRGBColorizer:
                glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
                glTexImage2D(GL_TEXTURE_2D, i, GL_RGB, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, data);
                break;
            case TextureRGBA:
            case TextureRGBAColorizer:
                glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
                glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
                break;
            case TexturePVRTC4RGB:
            case TexturePVRTC4RGBA: {
                if (!_extensions.pvrtc) {
                    // Like ETC1: the texture object exists, without data.
                    if (!pvrtcReported)
                        Logger::message("[OpenGLES2Render::uploadTexture] PVRTC texture %ux%u not uploaded: no "
                                        "IMG_texture_compression_pvrtc on this device",
                                        (unsigned)texture->_width, (unsigned)texture->_height);
                    pvrtcReported = true;
                    break;
                }
                const GLenum format = texture->_format == TexturePVRTC4RGB ? GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG
                                                                           : GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG;
                const GLsizei size = (std::max(h, 8) * std::max(w, 8) * 4 + 7) / 8;
                glCompressedTexImage2D(GL_TEXTURE_2D, i, format, w, h, 0, size, data);
                break;
            }
            default: break;  // ETC1 and none: nothing is uploaded
        }
    }

    if (texture->_levelCount > 1) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    } else {
        const GLint filter = texture->_filter == FilterNearest ? GL_NEAREST : GL_LINEAR;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    }
    if (texture->_maxAniso > 0) {
        static float deviceMaximum = -1.0f;
        if (deviceMaximum < 0) {
            deviceMaximum = 0;
            if (_extensions.anisotropic) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &deviceMaximum);
        }
        if (deviceMaximum > 0)
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min(deviceMaximum, texture->_maxAniso));
    }
    const GLint wrap = texture->_addressMode == AddressClamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    texture->_deviceTexture = new DeviceTexture(handle);
}

void OpenGLES2Render::deleteTexture(Texture* texture) {
    if (!texture || !texture->_deviceTexture) return;
    delete texture->_deviceTexture;  // deletes the device texture, forgets it in the bindings
    texture->_deviceTexture = nullptr;
}

void OpenGLES2Render::bindTexture(int unit, Texture* texture) {
    if (!texture || unit < 0 || unit >= MaxTextureUnits) return;
    if (texture->_reload) {
        deleteTexture(texture);
        texture->_reload = 0;
    }
    if (!texture->_deviceTexture) {
        setActiveTextureUnit(unit);
        uploadTexture(texture);
        if (!texture->_deviceTexture) return;
    }
    setActiveTextureUnit(unit);
    glBindTexture(GL_TEXTURE_2D, static_cast<DeviceTexture*>(texture->_deviceTexture)->handle);
    if (currentProgram) writeUniformSampler(currentProgram->tex[unit], unit);
}

// ---- Geometry ----

void OpenGLES2Render::bindVertexArrayCached(GLint vertexArray) {
    if (!_extensions.vertexArrayObject || boundVertexArray == vertexArray) return;
    _extensions.bindVertexArray((GLuint)vertexArray);
    boundVertexArray = vertexArray;
    // The element buffer binding belongs to the vertex array.
    boundIndexBuffer = -1;
}

void OpenGLES2Render::createGeometry(Geometry* geometry) {
    if (!geometry || geometry->isDynamic() || geometry->_deviceBuffers) return;
    if ((geometry->_vertexCount && !geometry->_vertices) || (geometry->_indexCount && !geometry->_indices)) {
        Logger::error("[OpenGLES2Render::createGeometry] no data for %u vertices and %u indices",
                      geometry->_vertexCount, geometry->_indexCount);
        return;
    }
    // Buffer bindings made now must not land in a vertex array that happens to be bound.
    bindVertexArrayCached(0);
    GeometryBuffers* record = new GeometryBuffers();
    glGenBuffers(1, &record->vertexBuffer);
    glGenBuffers(1, &record->indexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, record->vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)geometry->_vertexCount * geometry->_stride, geometry->_vertices,
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, record->indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)geometry->_indexCount * 2, geometry->_indices, GL_STATIC_DRAW);
    record->indexCount = geometry->_indexCount;
    record->vertexCount = geometry->_vertexCount;
    geometry->_deviceBuffers = record;

    if (currentProgram && _extensions.vertexArrayObject) {
        ShaderProgram* program = static_cast<ShaderProgram*>(currentProgram);
        const uint32_t signature = signatureFor(program, record, geometry);
        if (!record->vertexArrays.count(signature)) buildVertexArray(record, geometry, signature);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    boundIndexBuffer = 0;
    boundVertexArray = -1;
}

static bool sameLayout(const Geometry* a, const Geometry* b) {
    if (a->_stride != b->_stride || a->_attributes.size() != b->_attributes.size()) return false;
    for (size_t i = 0; i < a->_attributes.size(); ++i) {
        if (a->_attributes[i].type != b->_attributes[i].type ||
            a->_attributes[i].components != b->_attributes[i].components)
            return false;
    }
    return true;
}

void OpenGLES2Render::batchGeometries(const std::vector<Geometry*>& geometries) {
    std::vector<Geometry*> remaining;
    for (Geometry* geometry : geometries) {
        if (!geometry || geometry->isDynamic() || geometry->_deviceBuffers) continue;
        if (!geometry->_vertices || !geometry->_indices || geometry->_vertexCount == 0) {
            if (geometry->_vertexCount || geometry->_indexCount)
                Logger::error("[OpenGLES2Render::batchGeometries] no data for %u vertices and %u indices",
                              geometry->_vertexCount, geometry->_indexCount);
            continue;
        }
        remaining.push_back(geometry);
    }
    if (remaining.empty()) return;

    _batchVertices.resize(2758260);
    _batchIndices.resize(141070);
    bindVertexArrayCached(0);

    std::vector<Geometry*> group;
    std::vector<Geometry*> rest;
    while (!remaining.empty()) {
        group.clear();
        rest.clear();
        Geometry* first = remaining[0];
        group.push_back(first);
        uint64_t indexTotal = first->_indexCount;
        uint64_t vertexTotal = first->_vertexCount;
        for (size_t k = 1; k < remaining.size(); ++k) {
            Geometry* candidate = remaining[k];
            // Rebased indices are 16-bit: the group is limited by its vertices as well as its
            // indices, so no member's indices wrap past 65535.
            if (indexTotal + candidate->_indexCount < 65536 && vertexTotal + candidate->_vertexCount <= 65536 &&
                sameLayout(first, candidate)) {
                group.push_back(candidate);
                indexTotal += candidate->_indexCount;
                vertexTotal += candidate->_vertexCount;
            } else {
                rest.push_back(candidate);
            }
        }
        remaining.swap(rest);

        const size_t vertexBytes = (size_t)vertexTotal * first->_stride;
        const size_t indexBytes = (size_t)indexTotal * 2;
        if (_batchVertices.size() < vertexBytes) _batchVertices.resize(vertexBytes);
        if (_batchIndices.size() < indexBytes) _batchIndices.resize(indexBytes);
        uint8_t* vertexOut = _batchVertices.data();
        uint16_t* indexOut = reinterpret_cast<uint16_t*>(_batchIndices.data());
        uint32_t vertexBase = 0;
        uint32_t indexBase_ = 0;
        std::vector<uint32_t> firstIndices;
        for (Geometry* member : group) {
            std::memcpy(vertexOut + (size_t)vertexBase * first->_stride, member->_vertices,
                        (size_t)member->_vertexCount * member->_stride);
            for (uint32_t i = 0; i < member->_indexCount; ++i)
                indexOut[indexBase_ + i] = (uint16_t)(member->_indices[i] + vertexBase);
            firstIndices.push_back(indexBase_);
            vertexBase += member->_vertexCount;
            indexBase_ += member->_indexCount;
        }

        GeometryBuffers* shared = new GeometryBuffers();
        glGenBuffers(1, &shared->vertexBuffer);
        glGenBuffers(1, &shared->indexBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, shared->vertexBuffer);
        glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)vertexBytes, vertexOut, GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, shared->indexBuffer);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)indexBytes, indexOut, GL_STATIC_DRAW);
        shared->indexCount = (uint32_t)indexTotal;
        shared->vertexCount = (uint32_t)vertexTotal;
        shared->memberCount = (int)group.size();

        for (size_t m = 0; m < group.size(); ++m) {
            GeometryBuffers* record = new GeometryBuffers();
            record->shared = shared;
            record->firstIndex = firstIndices[m];
            record->vertexBuffer = shared->vertexBuffer;
            record->indexBuffer = shared->indexBuffer;
            record->ownsBuffers = false;
            record->indexCount = group[m]->_indexCount;
            record->vertexCount = group[m]->_vertexCount;
            group[m]->_deviceBuffers = record;
            group[m]->freeData();
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    boundIndexBuffer = 0;
    std::vector<uint8_t>().swap(_batchVertices);
    std::vector<uint8_t>().swap(_batchIndices);
}

uint32_t OpenGLES2Render::signatureFor(ShaderProgram* program, const GeometryBuffers* key, const Geometry* geometry) {
    auto found = program->signatureCache.find(key);
    if (found != program->signatureCache.end()) return found->second;
    uint32_t signature = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t location = 255;
        if ((size_t)i < geometry->_attributes.size()) {
            const GLint l = program->attributeLocation(geometry->_attributes[(size_t)i].name);
            if (l >= 0 && l < 255) location = (uint32_t)l;
        }
        signature |= location << (8 * i);
    }
    program->signatureCache[key] = signature;
    return signature;
}

GLuint OpenGLES2Render::buildVertexArray(const GeometryBuffers* key, const Geometry* geometry, uint32_t signature) {
    ShaderProgram* program = static_cast<ShaderProgram*>(currentProgram);
    GLuint vertexArray = 0;
    _extensions.genVertexArrays(1, &vertexArray);
    _extensions.bindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, key->vertexBuffer);
    uintptr_t offset = 0;
    for (size_t i = 0; i < geometry->_attributes.size(); ++i) {
        const GeometryAttribute& attribute = geometry->_attributes[i];
        GLint location = 255;
        if (i < 4) location = (GLint)((signature >> (8 * i)) & 255u);
        else if (program) location = program->attributeLocation(attribute.name);
        if (location >= 0 && location != 255) {
            glEnableVertexAttribArray((GLuint)location);
            glVertexAttribPointer((GLuint)location, attribute.components,
                                  attribute.type == GeometryAttribute::TypeFloat ? GL_FLOAT : GL_UNSIGNED_BYTE,
                                  GL_FALSE, (GLsizei)geometry->_stride, reinterpret_cast<const void*>(offset));
        }
        offset += attribute.byteSize();
    }
    _extensions.bindVertexArray(0);
    boundVertexArray = 0;
    boundIndexBuffer = -1;
    const_cast<GeometryBuffers*>(key)->vertexArrays[signature] = vertexArray;
    return vertexArray;
}

void OpenGLES2Render::pointArrays(const Geometry* geometry, const uint8_t* base) {
    ShaderProgram* program = static_cast<ShaderProgram*>(currentProgram);
    GLint used[16];
    int usedCount = 0;
    uintptr_t offset = 0;
    for (const GeometryAttribute& attribute : geometry->_attributes) {
        const GLint location = program->attributeLocation(attribute.name);
        if (location >= 0 && usedCount < 16) {
            glEnableVertexAttribArray((GLuint)location);
            glVertexAttribPointer((GLuint)location, attribute.components,
                                  attribute.type == GeometryAttribute::TypeFloat ? GL_FLOAT : GL_UNSIGNED_BYTE,
                                  GL_FALSE, (GLsizei)geometry->_stride, base + offset);
            used[usedCount++] = location;
        }
        offset += attribute.byteSize();
    }
    for (GLint location : enabledArrays) {
        if (std::find(used, used + usedCount, location) == used + usedCount)
            glDisableVertexAttribArray((GLuint)location);
    }
    enabledArrays.assign(used, used + usedCount);
}

void OpenGLES2Render::bindGeometry(Geometry* geometry) {
    _geometryReady = false;
    _boundIndexCount = 0;
    if (!geometry) return;
    if (!geometry->_deviceBuffers && !geometry->isDynamic()) createGeometry(geometry);
    ShaderProgram* program = static_cast<ShaderProgram*>(currentProgram);
    GeometryBuffers* buffers = static_cast<GeometryBuffers*>(geometry->_deviceBuffers);

    if (buffers) {
        indexBase = (uintptr_t)buffers->firstIndex * 2;
        _boundIndexCount = buffers->indexCount;
        if (!program) return;  // nothing to read the attributes
        GeometryBuffers* key = buffers->shared ? buffers->shared : buffers;
        if (_extensions.vertexArrayObject) {
            const uint32_t signature = signatureFor(program, key, geometry);
            auto found = key->vertexArrays.find(signature);
            const GLuint vertexArray =
                found != key->vertexArrays.end() ? found->second : buildVertexArray(key, geometry, signature);
            bindVertexArrayCached((GLint)vertexArray);
        } else {
            glBindBuffer(GL_ARRAY_BUFFER, key->vertexBuffer);
            pointArrays(geometry, nullptr);
        }
        if (boundIndexBuffer != (GLint)key->indexBuffer) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, key->indexBuffer);
            boundIndexBuffer = (GLint)key->indexBuffer;
        }
        _geometryReady = true;
        return;
    }

    // Drawn from memory: a dynamic geometry whose content changes every frame.
    bindVertexArrayCached(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    boundIndexBuffer = 0;
    indexBase = (uintptr_t)geometry->_indices;
    if (!program || !geometry->_vertices || !geometry->_indices) return;
    _boundIndexCount = geometry->_indexCount;
    pointArrays(geometry, geometry->_vertices);
    _geometryReady = true;
}

bool OpenGLES2Render::indexRangeOk(int32_t firstIndex, int32_t indexCount) {
    if (!currentProgram || !_geometryReady || indexCount <= 0) return false;
    if (firstIndex < 0 || (uint64_t)firstIndex + (uint64_t)indexCount > _boundIndexCount) {
        Logger::error("[OpenGLES2Render::draw] indices %d..%d are past the geometry's %u", firstIndex,
                      firstIndex + indexCount - 1, _boundIndexCount);
        return false;
    }
    return true;
}

void OpenGLES2Render::drawTriangles(int32_t firstIndex, int32_t indexCount) {
    if (!indexRangeOk(firstIndex, indexCount)) return;
    triangles += (uint32_t)indexCount / 3;
    ++drawCalls;
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(indexBase + (uintptr_t)firstIndex * 2));
}

void OpenGLES2Render::drawLines(int32_t firstIndex, int32_t indexCount) {
    if (!indexRangeOk(firstIndex, indexCount)) return;
    ++drawCalls;
    glDrawElements(GL_LINES, indexCount, GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(indexBase + (uintptr_t)firstIndex * 2));
}

// ---- State ----

void OpenGLES2Render::enableCulling() { glEnable(GL_CULL_FACE); }
void OpenGLES2Render::disableCulling() { glDisable(GL_CULL_FACE); }
void OpenGLES2Render::enableBlend() { glEnable(GL_BLEND); }
void OpenGLES2Render::disableBlend() { glDisable(GL_BLEND); }
void OpenGLES2Render::enableDepthWrite() { glDepthMask(GL_TRUE); }
void OpenGLES2Render::disableDepthWrite() { glDepthMask(GL_FALSE); }
void OpenGLES2Render::enableColorWrite() { glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE); }
void OpenGLES2Render::disableColorWrite() { glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE); }
void OpenGLES2Render::enableDepthTest() { glDepthFunc(GL_LEQUAL); }
void OpenGLES2Render::disableDepthTest() { glDepthFunc(GL_ALWAYS); }

void OpenGLES2Render::beginStencilWrite() {
    if (!(currentTargetFlags & RenderTarget::FlagStencil)) return;
    glStencilMask(0xff);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
}

void OpenGLES2Render::beginStencilTest() {
    if (!(currentTargetFlags & RenderTarget::FlagStencil)) return;
    glEnable(GL_STENCIL_TEST);
    glStencilMask(0);
    glStencilFunc(GL_EQUAL, 1, 0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void OpenGLES2Render::endStencilWrite() {
    if (!(currentTargetFlags & RenderTarget::FlagStencil)) return;
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void OpenGLES2Render::endStencilTest() {
    if (!(currentTargetFlags & RenderTarget::FlagStencil)) return;
    glDisable(GL_STENCIL_TEST);
}

void OpenGLES2Render::setCullFace(int face) {
    if (face == 1) glCullFace(GL_BACK);
    else if (face == 0) glCullFace(GL_FRONT);
}

void OpenGLES2Render::setBlendFunc(int function) {
    switch (function) {
        case BlendFuncPremultiplied: glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA); break;
        case BlendFuncAlpha: glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); break;
        case BlendFuncAdditive: glBlendFunc(GL_ONE, GL_ONE); break;
        default: break;
    }
}

// ---- Targets ----

static uint32_t powerOfTwoAtLeast(uint32_t value) {
    uint32_t p = 1;
    while (p < value) p <<= 1;
    return p;
}

void OpenGLES2Render::createFramebuffer(RenderTarget* target) {
    if (!target || target->_framebuffer) return;
    const GLsizei width = (GLsizei)powerOfTwoAtLeast(target->_width);
    const GLsizei height = (GLsizei)powerOfTwoAtLeast(target->_height);
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);

    DeviceFramebuffer* record = new DeviceFramebuffer();
    glGenFramebuffers(1, &record->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, record->framebuffer);

    const uint32_t flags = target->_flags;
    // A colour texture takes the colour attachment, so a renderbuffer would only be replaced.
    if ((flags & RenderTarget::FlagColourBuffer) && !(flags & RenderTarget::FlagColourTexture)) {
        glGenRenderbuffers(1, &record->colourRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, record->colourRenderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, _extensions.rgb8rgba8 ? GL_RGBA8_OES : GL_RGBA4, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, record->colourRenderbuffer);
    }
    if (flags & RenderTarget::FlagDepthBuffer) {
        glGenRenderbuffers(1, &record->depthRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, record->depthRenderbuffer);
        if (flags & RenderTarget::FlagStencil) {
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8_OES, width, height);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, record->depthRenderbuffer);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, record->depthRenderbuffer);
        } else {
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, record->depthRenderbuffer);
        }
    }
    GLuint colourTexture = 0;
    if (flags & RenderTarget::FlagColourTexture) {
        glGenTextures(1, &colourTexture);
        glBindTexture(GL_TEXTURE_2D, colourTexture);
        if (activeTextureUnit >= 0 && activeTextureUnit < MaxTextureUnits) boundTextures[activeTextureUnit] = nullptr;
        else for (Texture*& bound : boundTextures) bound = nullptr;
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colourTexture, 0);
    }
    // Flag 16 (a depth texture) is not offered by this back end.

    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) {
        if (colourTexture) {
            RenderTarget::RenderTargetTexture* texture = target->_colourTexture;
            deleteTexture(texture);  // an empty stand-in made by an early bind
            texture->_deviceTexture = new DeviceTexture(colourTexture);
            texture->_width = (uint16_t)width;
            texture->_height = (uint16_t)height;
            for (Texture*& bound : boundTextures)
                if (bound == texture) bound = nullptr;
        }
        target->_framebuffer = record;
    } else {
        Logger::error("failed to make complete framebuffer object %x\n", status);
        if (colourTexture) glDeleteTextures(1, &colourTexture);
        delete record;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, (GLuint)previous);
}

void OpenGLES2Render::beginRenderTarget(RenderTarget* target) {
    if (!target) return;
    if (!target->_external && !target->_framebuffer) createFramebuffer(target);
    currentTargetFlags = target->_flags;
    GLuint framebuffer = (GLuint)std::max(defaultFramebuffer, 0);
    if (!target->_external && target->_framebuffer)
        framebuffer = static_cast<DeviceFramebuffer*>(target->_framebuffer)->framebuffer;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, target->_width, target->_height);
    // Stencil state never carries over from the previous target: a target without the stencil
    // flag ignores the stencil operations, so a test left on there would mask every draw.
    glDisable(GL_STENCIL_TEST);
    glStencilMask(0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    stencilTestOn = false;
    stencilWriteOn = false;
    if (target->hasDepth()) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);

    if (target->_clearOnBegin) {
        // Writes on, so the clear reaches every buffer it names, whatever the last material
        // of the previous target switched off.
        toggleDepthWrite(true);
        toggleDepthTest(true);
        toggleStencilWrite(true);
        GLbitfield mask = 0;
        if (target->_clearMask & RenderTarget::ClearColour) {
            toggleColorWrite(true);
            mask |= GL_COLOR_BUFFER_BIT;
        }
        if (target->_clearMask & RenderTarget::ClearDepth) mask |= GL_DEPTH_BUFFER_BIT;
        if (target->_clearMask & RenderTarget::ClearStencil) mask |= GL_STENCIL_BUFFER_BIT;
        if (mask) glClear(mask);
    }
}

void OpenGLES2Render::finishRenderTarget(RenderTarget* target) {
    if (!target || target->_external || !target->_framebuffer || !_extensions.discardFramebuffer) return;
    GLenum attachments[2];
    GLsizei count = 0;
    if (!(target->_flags & RenderTarget::FlagColourTexture)) attachments[count++] = GL_COLOR_ATTACHMENT0;
    if (!(target->_flags & RenderTarget::FlagDepthTexture)) attachments[count++] = GL_DEPTH_ATTACHMENT;
    if (count) _extensions.discardFramebuffer_(GL_FRAMEBUFFER, count, attachments);
}

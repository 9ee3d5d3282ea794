#include "engine/render/RecordingRender.h"

#include <cctype>
#include <cstring>

#include "engine/render/Geometry.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"

RecordingRender::~RecordingRender() {}

RecordingRender* RecordingRender::create() {
    RecordingRender* render = new RecordingRender();
    Render::setCurrent(render);
    render->init();
    return render;
}

void RecordingRender::record(const char* slot, const void* object, int64_t a, int64_t b) {
    if (!logCalls)
        return;
    Call c;
    c.slot = slot;
    c.object = object;
    c.a = a;
    c.b = b;
    calls.push_back(c);
}

int RecordingRender::count(const std::string& slot) const {
    int n = 0;
    for (const Call& c : calls)
        n += c.slot == slot ? 1 : 0;
    return n;
}

std::vector<std::string> RecordingRender::slots(const std::vector<std::string>& only) const {
    std::vector<std::string> out;
    for (const Call& c : calls) {
        bool wanted = only.empty();
        for (const std::string& s : only)
            wanted = wanted || s == c.slot;
        if (wanted)
            out.push_back(c.slot);
    }
    return out;
}

std::vector<std::string> RecordingRender::lines() const {
    std::vector<std::string> out;
    for (const Call& c : calls) {
        std::string line = c.slot;
        if (c.slot == "setCullFace" || c.slot == "setBlendFunc" || c.slot == "bindTexture")
            line += " " + std::to_string(c.a);
        else if (c.slot == "drawTriangles" || c.slot == "drawLines")
            line += " " + std::to_string(c.a) + " " + std::to_string(c.b);
        out.push_back(line);
    }
    return out;
}

void RecordingRender::uploadTexture(Texture* texture) {
    record("uploadTexture", texture);
    if (!texture || texture->_deviceTexture)
        return;
    DeviceTexture* device = new DeviceTexture();
    device->handle = _nextHandle++;
    texture->_deviceTexture = device;
}

void RecordingRender::deleteTexture(Texture* texture) {
    record("deleteTexture", texture);
    if (!texture || !texture->_deviceTexture)
        return;
    delete texture->_deviceTexture;
    texture->_deviceTexture = nullptr;
    for (Texture*& bound : boundTextures) {
        if (bound == texture)
            bound = nullptr;
    }
}

namespace {

ShaderUniform* makeUniform(const std::string& type, const std::string& name) {
    if (type == "float")
        return new FloatShaderUniform(name.c_str());
    if (type == "vec3")
        return new Vector3ShaderUniform(name.c_str());
    if (type == "vec4")
        return new Vector4ShaderUniform(name.c_str());
    if (type == "mat3")
        return new Matrix3ShaderUniform(name.c_str());
    if (type == "mat4")
        return new Matrix4ShaderUniform(name.c_str());
    if (type == "sampler2D")
        return new SamplerShaderUniform(name.c_str());
    return nullptr;
}

// Whitespace-separated words of the source, with ';' and ',' as words of their own.
std::vector<std::string> words(const char* text) {
    std::vector<std::string> out;
    std::string word;
    for (const char* p = text; p && *p; ++p) {
        char c = *p;
        if (std::isspace((unsigned char)c) || c == ';' || c == ',') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
            if (c == ';' || c == ',')
                out.push_back(std::string(1, c));
        } else {
            word += c;
        }
    }
    if (!word.empty())
        out.push_back(word);
    return out;
}

}  // namespace

void RecordingRender::createShader(Shader* shader) {
    record("createShader", shader);
    if (!shader || shader->_program || failShaders)
        return;
    // "uniform <precision>? <type> <name> (, <name>)* ;" declarations, each name once.
    std::vector<std::string> w = words(shader->_source);
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] != "uniform")
            continue;
        size_t t = i + 1;
        if (t < w.size() && (w[t] == "lowp" || w[t] == "mediump" || w[t] == "highp"))
            ++t;
        if (t >= w.size())
            break;
        const std::string type = w[t];
        for (size_t n = t + 1; n < w.size() && w[n] != ";"; ++n) {
            if (w[n] == ",")
                continue;
            std::string name = w[n].substr(0, w[n].find('['));
            if (shader->getUniform(name.c_str()))
                continue;
            if (ShaderUniform* u = makeUniform(type, name))
                shader->_uniforms.push_back(u);
        }
    }
    Program* program = new Program();
    program->handle = _nextHandle++;
    program->fill(*shader);
    for (int unit = 0; unit < StandardUniforms::TextureUnits; ++unit)
        writeUniformSampler(program->tex[unit], unit);
    shader->_program = program;
}

void RecordingRender::deleteShader(Shader* shader) {
    record("deleteShader", shader);
    if (!shader || !shader->_program)
        return;
    shader->clearUniforms();
    if (currentProgram == shader->_program)
        currentProgram = nullptr;
    delete shader->_program;
    shader->_program = nullptr;
}

void RecordingRender::createGeometry(Geometry* geometry) {
    record("createGeometry", geometry);
    if (!geometry || geometry->isDynamic() || geometry->_deviceBuffers)
        return;
    geometry->_deviceBuffers = new DeviceBuffers();
}

void RecordingRender::batchGeometries(const std::vector<Geometry*>& geometries) {
    record("batchGeometries", nullptr, (int64_t)geometries.size());
    uint32_t first = 0;
    for (Geometry* g : geometries) {
        record("batchGeometry", g);
        DeviceBuffers* buffers = new DeviceBuffers();
        buffers->batched = true;
        buffers->firstIndex = first;
        first += g->_indexCount;
        delete g->_deviceBuffers;
        g->_deviceBuffers = buffers;
        g->freeData();
    }
}

void RecordingRender::setShader(Shader* shader) {
    record("setShader", shader);
    Render::setShader(shader);
}

void RecordingRender::commitUniforms(Shader* shader) {
    record("commitUniforms", shader);
    Render::commitUniforms(shader);
}

void RecordingRender::useShader(Shader* shader) {
    record("useShader", shader);
    currentProgram = shader ? shader->_program : nullptr;
    if (currentProgram)
        ++programSwitches;
}

void RecordingRender::renderMeshes(const std::vector<Mesh*>& meshes) {
    record("renderMeshes", nullptr, (int64_t)meshes.size());
    Render::renderMeshes(meshes);
}

void RecordingRender::applyMaterial(Material* material) {
    record("applyMaterial", material);
    Render::applyMaterial(material);
}

void RecordingRender::bindGeometry(Geometry* geometry) {
    record("bindGeometry", geometry);
    if (geometry && !geometry->_deviceBuffers && !geometry->isDynamic())
        createGeometry(geometry);
}

void RecordingRender::bindTexture(int unit, Texture* texture) {
    record("bindTexture", texture, unit);
    if (!texture)
        return;
    if (texture->_reload) {
        deleteTexture(texture);
        texture->_reload = 0;
    }
    if (!texture->_deviceTexture)
        uploadTexture(texture);
    if (currentProgram && unit >= 0 && unit < StandardUniforms::TextureUnits)
        writeUniformSampler(currentProgram->tex[unit], unit);
}

void RecordingRender::drawTriangles(int32_t firstIndex, int32_t indexCount) {
    record("drawTriangles", nullptr, firstIndex, indexCount);
    ++drawCalls;
    triangles += (uint32_t)indexCount / 3;
}

void RecordingRender::drawLines(int32_t firstIndex, int32_t indexCount) {
    record("drawLines", nullptr, firstIndex, indexCount);
    ++drawCalls;
}

void RecordingRender::uploadUniform(ShaderUniform* uniform) { record("uploadUniform", uniform); }

#include "engine/MetalRender/MetalShader.h"

#include <cstring>

#include "engine/MetalRender/MetalShaderData.h"
#include "engine/utils.h"

static const char* const kMetalShaderSource = "source/engine/MetalRender/MetalShader";
static const char* const kMetalRenderSource = "source/engine/MetalRender/MetalRender";

MetalShader::MetalShader() {}

MetalShader::~MetalShader() {
    // The back end's data points into this shader's uniforms: it goes with the shader.
    MetalShaderData::destroy(this);
    for (std::vector<ShaderUniform*>& list : _structs) {
        for (ShaderUniform* u : list)
            delete u;
        list.clear();
    }
    _attributes.clear();
}

std::vector<ShaderUniform*>& MetalShader::getUniforms(int structID) {
    XAssert(structID >= 0 && structID < MAX_NUMBER_OF_UNIFORM_STRUCTS ? 1 : 0,
            "structID < MAX_NUMBER_OF_UNIFORM_STRUCTS", kMetalShaderSource, 105);
    return _structs[structID];
}

uint32_t MetalShader::layoutSize(int type) {
    switch (type) {
        case UniformFloat: return 4;
        case UniformVector3: return 16;
        case UniformVector4: return 16;
        case UniformMatrix3: return 48;
        case UniformMatrix4: return 64;
        default: return 0;
    }
}

uint32_t MetalShader::structByteSize(const std::vector<ShaderUniform*>& members) {
    uint32_t size = 0;
    for (ShaderUniform* u : members)
        size += layoutSize(u->getType());
    return size;
}

void MetalShader::writeStruct(const std::vector<ShaderUniform*>& members, uint8_t* dst) {
    uint32_t offset = 0;
    for (ShaderUniform* u : members) {
        const float* v = static_cast<const float*>(u->getValue());
        switch (u->getType()) {
            case UniformFloat: std::memcpy(dst + offset, v, 4); break;
            case UniformVector3: std::memcpy(dst + offset, v, 12); break;
            case UniformVector4: std::memcpy(dst + offset, v, 16); break;
            case UniformMatrix3:
                for (int c = 0; c < 3; ++c)
                    std::memcpy(dst + offset + 16 * c, v + 3 * c, 12);
                break;
            case UniformMatrix4: std::memcpy(dst + offset, v, 64); break;
            default: break;
        }
        offset += layoutSize(u->getType());
        u->_changed = 0;
    }
}

void MetalShader::validateUniforms() {
    int count = getNumberOfUniformStructs();
    if (count <= 0)
        return;
    for (int s = 0; s < count; ++s) {
        int offset = (int)structByteSize(getUniforms(s));
        int uniformSize = count == 1 ? getUniformSize() : getUniformStructSize(s);
        if (offset != uniformSize) {
            Logger::error("struct %d: %d != %d", s, offset, uniformSize);
            XAssert(0, "offset == uniformSize", kMetalRenderSource, 1977);
        }
    }
}

ShaderUniform* MetalShader::getUniform(const char* name) {
    int count = getNumberOfUniformStructs();
    if (count <= 0 || !name)
        return nullptr;
    ShaderUniform* found = nullptr;
    for (int s = 0; s < count; ++s) {
        for (ShaderUniform* u : getUniforms(s)) {
            if (u->_name == name) {
                found = u;
                break;
            }
        }
    }
    return found;
}

ShaderUniform* MetalShader::addUniform(int structID, int type, const char* name) {
    ShaderUniform* u = nullptr;
    switch (type) {
        case UniformFloat: u = new MetalFloatShaderUniform(name); break;
        case UniformVector3: u = new MetalVector3ShaderUniform(name); break;
        case UniformVector4: u = new MetalVector4ShaderUniform(name); break;
        case UniformMatrix3: u = new MetalMatrix3ShaderUniform(name); break;
        case UniformMatrix4: u = new MetalMatrix4ShaderUniform(name); break;
        default: return nullptr;
    }
    getUniforms(structID).push_back(u);
    return u;
}

void MetalShader::addAttribute(int type, int components, const char* name) {
    MetalVertexAttribute a;
    a.type = type;
    a.components = (uint8_t)components;
    a.name = name;
    _attributes.push_back(a);
}

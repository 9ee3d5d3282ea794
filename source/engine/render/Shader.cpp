#include "engine/render/Shader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/file.h"

const char* const kAttribVertPos = "vertPos";
const char* const kAttribTexCoords0 = "texCoords0";
const char* const kAttribVertNormal = "vertNormal";
const char* const kAttribVertColor = "vertColor";

// All bits set: a NaN that no real value compares equal to.
static void fillNaN(float* values, int count) { std::memset(values, 0xff, sizeof(float) * count); }

ShaderUniform::ShaderUniform(const char* name) : _name(name ? name : "") {}

ShaderUniform::~ShaderUniform() {}

Vector3ShaderUniform::Vector3ShaderUniform(const char* name) : ShaderUniform(name) { fillNaN(_value, 3); }
Vector4ShaderUniform::Vector4ShaderUniform(const char* name) : ShaderUniform(name) { fillNaN(_value, 4); }
Matrix3ShaderUniform::Matrix3ShaderUniform(const char* name) : ShaderUniform(name) { fillNaN(_value, 9); }
Matrix4ShaderUniform::Matrix4ShaderUniform(const char* name) : ShaderUniform(name) { fillNaN(_value, 16); }

static bool writeFloats(ShaderUniform* uniform, int type, const float* value, int count) {
    if (!uniform || uniform->getType() != type)
        return false;
    float* cached = static_cast<float*>(uniform->getValue());
    bool differs = false;
    for (int i = 0; i < count; ++i) {
        if (cached[i] != value[i]) {
            differs = true;
            break;
        }
    }
    if (!differs)
        return false;
    std::memcpy(cached, value, sizeof(float) * count);
    uniform->_changed = 1;
    return true;
}

static bool writeBytes(ShaderUniform* uniform, int type, const float* value, int count) {
    if (!uniform || uniform->getType() != type)
        return false;
    void* cached = uniform->getValue();
    if (std::memcmp(cached, value, sizeof(float) * count) == 0)
        return false;
    std::memcpy(cached, value, sizeof(float) * count);
    uniform->_changed = 1;
    return true;
}

bool writeUniformFloat(ShaderUniform* uniform, float value) { return writeFloats(uniform, UniformFloat, &value, 1); }
bool writeUniformVector3(ShaderUniform* uniform, const float value[3]) { return writeFloats(uniform, UniformVector3, value, 3); }
bool writeUniformVector4(ShaderUniform* uniform, const float value[4]) { return writeFloats(uniform, UniformVector4, value, 4); }
bool writeUniformMatrix3(ShaderUniform* uniform, const float value[9]) { return writeBytes(uniform, UniformMatrix3, value, 9); }
bool writeUniformMatrix4(ShaderUniform* uniform, const float value[16]) { return writeBytes(uniform, UniformMatrix4, value, 16); }

bool writeUniformSampler(ShaderUniform* uniform, int32_t unit) {
    if (!uniform || uniform->getType() != UniformSampler)
        return false;
    int32_t* cached = static_cast<int32_t*>(uniform->getValue());
    if (*cached == unit)
        return false;
    *cached = unit;
    uniform->_changed = 1;
    return true;
}

void StandardUniforms::fill(Shader& shader, bool withSamplers) {
    char name[32];
    projMat = shader.getUniform("projMat");
    viewMat = shader.getUniform("viewMat");
    normalMat = shader.getUniform("normalMat");
    worldMat = shader.getUniform("worldMat");
    fogDistance = shader.getUniform("fogDistance");
    for (int i = 0; i < TextureUnits; ++i) {
        std::snprintf(name, sizeof(name), "tex%d", i);
        tex[i] = withSamplers ? shader.getUniform(name) : nullptr;
    }
    for (int i = 0; i < LightSlots; ++i) {
        std::snprintf(name, sizeof(name), "light%dColor", i);
        lightColor[i] = shader.getUniform(name);
        std::snprintf(name, sizeof(name), "light%dDirection", i);
        lightDirection[i] = shader.getUniform(name);
        std::snprintf(name, sizeof(name), "light%dPos", i);
        lightPos[i] = shader.getUniform(name);
    }
    aabbSize = shader.getUniform("aabbSize");
    color = shader.getUniform("color");
    materialEmit = shader.getUniform("materialEmit");
    meshColor = shader.getUniform("meshColor");
    uvOffset = shader.getUniform("uvOffset");
    time = shader.getUniform("time");
}

Shader::Shader() {}

Shader::~Shader() {
    std::free(_source);
    for (ShaderUniform* u : _uniforms)
        delete u;
    for (ShaderUniform* u : _retired)
        delete u;
}

ShaderUniform* Shader::getUniform(const char* name) {
    if (!name)
        return nullptr;
    for (ShaderUniform* u : _uniforms) {
        if (u->_name == name)
            return u;
    }
    return nullptr;
}

void Shader::loadSource(File& file) {
    std::free(_source);
    _source = nullptr;
    _sourceLength = file.size();
    _source = static_cast<char*>(std::calloc((size_t)_sourceLength + 1, 1));
    if (!_source) {
        _sourceLength = 0;
        return;
    }
    // Read straight from the handle so a short read keeps what arrived; the rest stays zero.
    if (file.handle() && _sourceLength > 0)
        (void)std::fread(_source, 1, _sourceLength, file.handle());
}

void Shader::clearUniforms() {
    _retired.insert(_retired.end(), _uniforms.begin(), _uniforms.end());
    _uniforms.clear();
}

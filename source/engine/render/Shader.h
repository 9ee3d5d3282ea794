#pragma once
// Shader programs as the engine sees them: the source text of a ".shader" file (both stages in
// one text, chosen by the VERTEX_SHADER / FRAGMENT_SHADER macros), the back end's program record
// and the list of the program's uniforms. Every uniform caches its value and a changed flag;
// writers compare before copying, and Render::commitUniforms uploads only what changed.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/render/BackEndData.h"

class File;
class Shader;

// Type codes of ShaderUniform::getType.
enum ShaderUniformType {
    UniformFloat = 0,
    UniformVector3 = 1,
    UniformVector4 = 2,
    UniformMatrix3 = 3,
    UniformMatrix4 = 4,
    UniformSampler = 5,
    UniformNone = 6
};

// Standard vertex attribute names, bound by name to the geometry's attributes.
extern const char* const kAttribVertPos;     // "vertPos", float x 3, always the first attribute
extern const char* const kAttribTexCoords0;  // "texCoords0", float x 2
extern const char* const kAttribVertNormal;  // "vertNormal", float x 3
extern const char* const kAttribVertColor;   // "vertColor", float x 3

class ShaderUniform {
public:
    explicit ShaderUniform(const char* name);
    virtual ~ShaderUniform();
    ShaderUniform(const ShaderUniform&) = delete;
    ShaderUniform& operator=(const ShaderUniform&) = delete;

    virtual int getType() const { return UniformNone; }
    // The cached value (float, 3, 4, 9 or 16 floats, or the 32-bit unit); null for the base.
    virtual void* getValue() { return nullptr; }

    std::string _name;
    uint8_t _changed = 1;  // a new uniform is uploaded by its first commit
};

// Start values make the first comparison with any real value unequal (NaN for vectors and
// matrices), so the first write always takes.
class FloatShaderUniform : public ShaderUniform {
public:
    explicit FloatShaderUniform(const char* name) : ShaderUniform(name) {}
    int getType() const override { return UniformFloat; }
    void* getValue() override { return &_value; }
    float _value = 10000000.0f;
};

class Vector3ShaderUniform : public ShaderUniform {
public:
    explicit Vector3ShaderUniform(const char* name);
    int getType() const override { return UniformVector3; }
    void* getValue() override { return _value; }
    float _value[3];
};

class Vector4ShaderUniform : public ShaderUniform {
public:
    explicit Vector4ShaderUniform(const char* name);
    int getType() const override { return UniformVector4; }
    void* getValue() override { return _value; }
    float _value[4];
};

class Matrix3ShaderUniform : public ShaderUniform {
public:
    explicit Matrix3ShaderUniform(const char* name);
    int getType() const override { return UniformMatrix3; }
    void* getValue() override { return _value; }
    float _value[9];
};

class Matrix4ShaderUniform : public ShaderUniform {
public:
    explicit Matrix4ShaderUniform(const char* name);
    int getType() const override { return UniformMatrix4; }
    void* getValue() override { return _value; }
    alignas(16) float _value[16];
};

class SamplerShaderUniform : public ShaderUniform {
public:
    explicit SamplerShaderUniform(const char* name) : ShaderUniform(name) {}
    int getType() const override { return UniformSampler; }
    void* getValue() override { return &_value; }
    int32_t _value = -1;
};

// Writing a uniform: the value is copied and the uniform marked changed only when it differs
// from the cached one. Each writer checks the declared type first, so a uniform declared with
// another type (a "color" declared vec3, say) is never written with the wrong size; a null
// uniform or a type mismatch writes nothing. Floats and vectors compare component by component,
// matrices as raw bytes. Return true when the value was copied.
bool writeUniformFloat(ShaderUniform* uniform, float value);
bool writeUniformVector3(ShaderUniform* uniform, const float value[3]);
bool writeUniformVector4(ShaderUniform* uniform, const float value[4]);
bool writeUniformMatrix3(ShaderUniform* uniform, const float value[9]);
bool writeUniformMatrix4(ShaderUniform* uniform, const float value[16]);
bool writeUniformSampler(ShaderUniform* uniform, int32_t unit);

// The standard-uniform table every back end's program record begins with: one uniform per
// standard name, null when the program has no active uniform of that name. The renderer writes
// camera, mesh, material, light, fog and clock values through it.
struct StandardUniforms : BackEndData {
    enum { TextureUnits = 8, LightSlots = 4 };

    ShaderUniform* projMat = nullptr;      // "projMat", 4x4
    ShaderUniform* viewMat = nullptr;      // "viewMat", 4x4
    ShaderUniform* normalMat = nullptr;    // "normalMat", 3x3
    ShaderUniform* worldMat = nullptr;     // "worldMat", 4x4
    ShaderUniform* fogDistance = nullptr;  // "fogDistance", float
    ShaderUniform* tex[TextureUnits] = {};               // "tex0" .. "tex7", sampler
    ShaderUniform* lightColor[LightSlots] = {};          // "light0Color" .., vec3
    ShaderUniform* lightDirection[LightSlots] = {};      // "light0Direction" .., vec3
    ShaderUniform* lightPos[LightSlots] = {};            // "light0Pos" .., vec4
    ShaderUniform* aabbSize = nullptr;      // "aabbSize", vec3
    ShaderUniform* color = nullptr;         // "color", vec4
    ShaderUniform* materialEmit = nullptr;  // "materialEmit", float
    ShaderUniform* meshColor = nullptr;     // "meshColor", vec4
    ShaderUniform* uvOffset = nullptr;      // "uvOffset", vec3
    ShaderUniform* time = nullptr;          // "time", float

    // Looks every standard name up with Shader::getUniform. withSamplers false leaves the
    // "tex0" .. "tex7" entries empty (a back end that binds textures by channel).
    void fill(Shader& shader, bool withSamplers = true);
};

class Shader {
public:
    Shader();
    // Frees the source and every uniform object the shader ever listed (also those put aside
    // by clearUniforms). The program record belongs to the back end: delete it (deleteShader)
    // before the shader dies.
    virtual ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // Nothing in the base; a back end with fixed uniform layouts checks them here.
    virtual void validateUniforms() {}
    // The first uniform in list order whose name equals name exactly, else null.
    virtual ShaderUniform* getUniform(const char* name);

    // Replaces the source with the whole file (binary read), NUL-terminated; a short read
    // leaves the rest zero.
    void loadSource(File& file);

    // Empties the uniform list (the program was deleted). Meshes may still point at the
    // uniform objects through their overrides, so they stay alive until the shader dies.
    void clearUniforms();

    char* _source = nullptr;
    uint32_t _sourceLength = 0;
    // The back end's program record; null until Render::createShader succeeds.
    StandardUniforms* _program = nullptr;
    // Filled by the back end when the program is linked, in the device's order. Owned.
    std::vector<ShaderUniform*> _uniforms;

private:
    std::vector<ShaderUniform*> _retired;
};

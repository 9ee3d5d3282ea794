#pragma once
// Shaders of the Metal path. Metal shaders are precompiled: each shader file of the game has a
// class naming its vertex and fragment functions in the shader library, its vertex attributes,
// and its uniforms grouped into the structs those functions read from buffers. The order of a
// struct list is the byte order of the struct: members follow each other with no alignment of
// their own (a float takes 4 bytes, a vec3 16, a vec4 16, a mat3 48 as three padded columns, a
// mat4 64); classes add explicit "padding" floats where a function needs alignment.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/render/Shader.h"

// The Metal uniform classes add nothing but their identity: the back end uploads whole structs.
class MetalFloatShaderUniform : public FloatShaderUniform {
public:
    using FloatShaderUniform::FloatShaderUniform;
};
class MetalVector3ShaderUniform : public Vector3ShaderUniform {
public:
    using Vector3ShaderUniform::Vector3ShaderUniform;
};
class MetalVector4ShaderUniform : public Vector4ShaderUniform {
public:
    using Vector4ShaderUniform::Vector4ShaderUniform;
};
class MetalMatrix3ShaderUniform : public Matrix3ShaderUniform {
public:
    using Matrix3ShaderUniform::Matrix3ShaderUniform;
};
class MetalMatrix4ShaderUniform : public Matrix4ShaderUniform {
public:
    using Matrix4ShaderUniform::Matrix4ShaderUniform;
};

// One vertex attribute a shader class's vertex function reads (type as GeometryAttribute:
// 0 float, 1 unsigned byte).
struct MetalVertexAttribute {
    int32_t type = 0;
    uint8_t components = 0;
    std::string name;
};

// Where a class's struct buffers are bound (getUniformStage).
enum MetalUniformStage { MetalStageFragment = 0, MetalStageVertex = 1, MetalStageBoth = 2 };

class MetalShader : public Shader {
public:
    enum { MAX_NUMBER_OF_UNIFORM_STRUCTS = 8 };

    MetalShader();
    // Frees the struct lists, the attribute list and the back end's data of this shader.
    ~MetalShader() override;

    // Checks that every struct's members add up to the size the class declares; a mismatch
    // is logged and stops the program.
    void validateUniforms() override;
    // The last struct holding the name wins; within a struct, the first member.
    ShaderUniform* getUniform(const char* name) override;

    virtual int getUniformStage() { return MetalStageVertex; }
    // The class name used in messages.
    virtual const char* getName() = 0;
    virtual int getNumberOfUniformStructs() { return 1; }
    virtual int getUniformStructSize(int structID) {
        (void)structID;
        return getUniformSize();
    }
    // 1 when the struct holds per-mesh values written once per instance of an instanced draw.
    virtual int isPerInstanceStruct(int structID) = 0;
    // The size of the only struct of a one-struct class.
    virtual int getUniformSize() { return 0; }
    virtual const char* getVertexFunctionName() = 0;
    virtual const char* getFragmentFunctionName() = 0;
    virtual const std::vector<MetalVertexAttribute>& getAttributes() { return _attributes; }

    // The members of struct structID in byte order; structID must be below 8.
    std::vector<ShaderUniform*>& getUniforms(int structID);

    // Bytes a uniform of a type takes in a struct (0 for types that take no room).
    static uint32_t layoutSize(int type);
    // The summed size of a struct list.
    static uint32_t structByteSize(const std::vector<ShaderUniform*>& members);
    // Writes a struct's members at dst by the layout rules and clears their changed flags.
    // Padding bytes of vec3 and mat3 members are left as they are.
    static void writeStruct(const std::vector<ShaderUniform*>& members, uint8_t* dst);

protected:
    ShaderUniform* addUniform(int structID, int type, const char* name);
    void addAttribute(int type, int components, const char* name);

    std::vector<MetalVertexAttribute> _attributes;
    std::vector<ShaderUniform*> _structs[MAX_NUMBER_OF_UNIFORM_STRUCTS];
};

#pragma once
// The Metal back end's data of one shader: its standard-uniform table, its two library functions,
// and the rings of uniform blocks its structs are written into. Each ring has one lane per frame
// in flight; a lane is written during one frame and reused three frames later, once the GPU is
// done with it. Within a lane, struct copies follow each other through blocks of 1000 copies.

#include <cstdint>
#include <vector>

#include "engine/MetalRender/MetalShader.h"
#include "engine/plat_linux/metal/Metal.h"

// One buffer of struct copies and the number written to it in the current use of its lane.
struct UniformBlock {
    mtl::BufferPtr buffer;
    uint32_t count = 0;
};

class MetalShaderData : public StandardUniforms {
public:
    enum { Lanes = 3, MaxStructs = MetalShader::MAX_NUMBER_OF_UNIFORM_STRUCTS };

    explicit MetalShaderData(MetalShader* owner);
    ~MetalShaderData() override;

    MetalShader* shader;
    mtl::FunctionPtr vertexFunction;
    mtl::FunctionPtr fragmentFunction;
    uint32_t blockCapacity = 1000;
    uint32_t currentBlock[Lanes][MaxStructs] = {};
    std::vector<UniformBlock> blocks[Lanes][MaxStructs];
    // The encoder each struct was last bound on: a new encoder starts with nothing bound, so a
    // struct not bound on the current one is written and bound again before the next draw.
    uint64_t boundEncoder[MaxStructs] = {};

    // Every shader's data, so a frame can reset all rings.
    static std::vector<MetalShaderData*>& all();
    // Deletes the data of a shader (if any) and clears the shader's program record.
    static void destroy(Shader* shader);
    // Deletes every shader's data (the renderer that owns the buffers is going away).
    static void destroyAll();
};

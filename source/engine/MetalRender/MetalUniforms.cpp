// Shader data of the Metal renderer: uniform structs written into per-lane rings of blocks and
// bound by offset, and equal meshes drawn as instances of one draw, one struct copy per instance.

#include <algorithm>

#include "engine/MetalRender/MetalRender.h"
#include "engine/MetalRender/MetalShader.h"
#include "engine/MetalRender/MetalShaderData.h"
#include "engine/clock.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/utils.h"

static const char* const kMetalRenderSource = "source/engine/MetalRender/MetalRender";

// ---------------------------------------------------------------------------------------------------
// MetalShaderData

MetalShaderData::MetalShaderData(MetalShader* owner) : shader(owner) { all().push_back(this); }

MetalShaderData::~MetalShaderData() {
    std::vector<MetalShaderData*>& list = all();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

std::vector<MetalShaderData*>& MetalShaderData::all() {
    static std::vector<MetalShaderData*> list;
    return list;
}

void MetalShaderData::destroy(Shader* shader) {
    if (!shader || !shader->_program)
        return;
    auto* data = dynamic_cast<MetalShaderData*>(shader->_program);
    shader->_program = nullptr;
    delete data;
}

void MetalShaderData::destroyAll() {
    std::vector<MetalShaderData*> list = all();
    for (MetalShaderData* data : list) {
        data->shader->_program = nullptr;
        delete data;
    }
}

static MetalShaderData* dataOf(Shader* shader) {
    return shader ? dynamic_cast<MetalShaderData*>(shader->_program) : nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Shader slots

void MetalRender::createShader(Shader* shader) {
    if (!shader || shader->_program)
        return;
    auto* metal = dynamic_cast<MetalShader*>(shader);
    if (!metal) {
        // Shader text cannot be compiled here: only the precompiled classes have functions.
        if (_refusedShaders.insert(shader).second)
            Logger::error("[MetalRender::createShader] a shader of %u bytes of source is no Metal shader class; "
                          "meshes using it are not drawn",
                          shader->_sourceLength);
        return;
    }
    auto* data = new MetalShaderData(metal);
    data->fill(*metal, false);
    data->blockCapacity = 1000;
    data->fragmentFunction = library ? library->newFunctionWithName(metal->getFragmentFunctionName()) : nullptr;
    if (!data->fragmentFunction)
        Logger::message(">> ERROR: Couldn't load fragment function from default library");
    data->vertexFunction = library ? library->newFunctionWithName(metal->getVertexFunctionName()) : nullptr;
    if (!data->vertexFunction)
        Logger::message(">> ERROR: Couldn't load vertex function from default library");
    shader->_program = data;
}

void MetalRender::setShader(Shader* shader) {
    if (shader && !shader->_program)
        createShader(shader);
    MetalShaderData* data = dataOf(shader);
    Render::setShader(shader);
    for (Light*& light : boundLights)
        light = nullptr;
    currentShader = shader;
    currentData = data;
    currentProgram = data;
    if (!data)
        return;
    writeUniformMatrix4(data->projMat, projection.m);
    writeUniformMatrix4(data->viewMat, view.m);
}

void MetalRender::useShader(Shader* shader) {
    ++programSwitches;
    auto* metal = dynamic_cast<MetalShader*>(shader);
    if (!metal)
        return;
    for (int s = 0; s < metal->getNumberOfUniformStructs(); ++s)
        for (ShaderUniform* u : metal->getUniforms(s))
            u->_changed = 1;
}

void MetalRender::commitUniforms(Shader*) {
    if (!currentData)
        return;
    applyShader(currentShader, 0);
}

void MetalRender::resetUniformBlocks(uint32_t lane) {
    for (MetalShaderData* data : MetalShaderData::all())
        for (int s = 0; s < MetalShaderData::MaxStructs; ++s) {
            for (UniformBlock& block : data->blocks[lane][s])
                block.count = 0;
            data->currentBlock[lane][s] = 0;
        }
}

void MetalRender::applyShader(Shader* shader, uint32_t pendingInstances) {
    MetalShaderData* data = dataOf(shader);
    XAssert(data ? 1 : 0, "data != NULL", kMetalRenderSource, 973);
    MetalShader* metal = data->shader;
    // Without an encoder nothing would read the copies, and the lane may still be on the GPU:
    // the values keep their changed flags for the next encoder.
    if (!encoder)
        return;
    const uint32_t lane = frameIndex;
    for (int s = 0; s < metal->getNumberOfUniformStructs(); ++s) {
        std::vector<ShaderUniform*>& members = metal->getUniforms(s);
        bool changed = false;
        for (ShaderUniform* u : members)
            changed = changed || u->_changed;
        const bool perInstance = metal->isPerInstanceStruct(s) != 0;
        // A new encoder has no uniform buffers bound: every struct goes out again on it.
        const bool boundHere = data->boundEncoder[s] == encoderSerial;
        // An unchanged shared struct is still bound. A per-instance struct is written for every
        // mesh, so copy n of a batch always belongs to instance n.
        if (!changed && boundHere && !perInstance)
            continue;
        const uint32_t size = MetalShader::structByteSize(members);
        if (size == 0)
            continue;

        std::vector<UniformBlock>& blocks = data->blocks[lane][s];
        uint32_t& current = data->currentBlock[lane][s];
        bool rebind = false;
        if (blocks.empty()) {
            blocks.push_back({device->newBuffer((uint64_t)size * data->blockCapacity,
                                                mtl::ResourceCPUCacheModeDefaultCache),
                              0});
            current = 0;
            rebind = true;
        }
        if (blocks[current].count >= data->blockCapacity) {
            ++current;
            if (current >= blocks.size())
                blocks.push_back({device->newBuffer((uint64_t)size * data->blockCapacity,
                                                    mtl::ResourceCPUCacheModeDefaultCache),
                                  0});
            rebind = true;
        }
        UniformBlock& block = blocks[current];
        const uint64_t offset = (uint64_t)block.count * size;
        MetalShader::writeStruct(members, static_cast<uint8_t*>(block.buffer->contents()) + offset);

        if (pendingInstances == 0 || rebind || !boundHere) {
            const int stage = metal->getUniformStage();
            if (stage == MetalStageVertex || stage == MetalStageBoth)
                encoder->setVertexBuffer(block.buffer, offset, (uint32_t)s + 1);
            if (stage == MetalStageFragment || stage == MetalStageBoth)
                encoder->setFragmentBuffer(block.buffer, offset, (uint32_t)s);
            data->boundEncoder[s] = encoderSerial;
        }
        ++block.count;
    }
    Render::commitUniforms(shader);
}

// ---------------------------------------------------------------------------------------------------
// Instanced drawing

bool MetalRender::batchMustBreak(MetalShader* shader, MetalShaderData* data) {
    const uint32_t lane = frameIndex;
    for (int s = 0; s < shader->getNumberOfUniformStructs(); ++s) {
        bool changed = false;
        for (ShaderUniform* u : shader->getUniforms(s))
            changed = changed || u->_changed;
        const std::vector<UniformBlock>& blocks = data->blocks[lane][s];
        if (shader->isPerInstanceStruct(s)) {
            // This mesh's copy must follow the previous one in the same block.
            if (blocks.empty() || blocks[data->currentBlock[lane][s]].count >= data->blockCapacity)
                return true;
        } else if (changed || data->boundEncoder[s] != encoderSerial) {
            return true;
        }
    }
    return false;
}

void MetalRender::renderMeshes(const std::vector<Mesh*>& meshes) {
    uint32_t pending = 0;
    Mesh* batch = nullptr;
    auto drawBatch = [&]() {
        if (!pending || !batch)
            return;
        mtl::PrimitiveType type = batch->_geometry->getPrimitiveType() == PrimitiveLines ? mtl::PrimitiveTypeLine
                                                                                           : mtl::PrimitiveTypeTriangle;
        drawPrimitive(type, batch->getFirstIndex(), batch->getIndexCount(), pending);
        pending = 0;
    };

    for (Mesh* mesh : meshes) {
        if (!prepareMesh(mesh))
            continue;
        if (!currentData)
            continue;
        MetalShaderData* data = dataOf(currentShader);
        XAssert(data ? 1 : 0, "data != NULL", kMetalRenderSource, 1744);
        if (pending > 0 && data->shader->getNumberOfUniformStructs() > 0 && batchMustBreak(data->shader, data))
            drawBatch();
        applyShader(currentShader, pending);
        mesh->_lastDrawn = (uint32_t)frameTime().msSinceStart;
        batch = mesh;
        ++pending;
    }
    drawBatch();
}

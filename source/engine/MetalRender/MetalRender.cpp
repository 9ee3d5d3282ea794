// The Metal renderer: construction, the frame, render targets, materials, geometry and drawing.

#include "engine/MetalRender/MetalRender.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/MetalRender/MetalShader.h"
#include "engine/MetalRender/MetalShaderData.h"
#include "engine/file.h"
#include "engine/platform.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"
#include "engine/utils.h"

static const char* const kMetalRenderSource = "source/engine/MetalRender/MetalRender";

static MetalRender* s_entryRender = nullptr;
// Encoders of every renderer are numbered from one counter, so a serial is never seen twice.
static std::atomic<uint64_t> s_encoderSerial{0};

// ---------------------------------------------------------------------------------------------------
// Entry points

MetalRender* MetalRender::create() {
    MetalRender* previous = s_entryRender;
    s_entryRender = new MetalRender();
    delete previous;
    return s_entryRender;
}

void MetalRender::callInit() {
    if (s_entryRender)
        s_entryRender->init();
}

void MetalRender::beginDrawable(const mtl::RenderPassDescriptorPtr& passDescriptor) {
    if (s_entryRender)
        s_entryRender->beginDrawableFrame(passDescriptor);
}

void MetalRender::presentDrawable(const mtl::DrawablePtr& drawable, const mtl::RenderPassDescriptorPtr& passDescriptor) {
    if (s_entryRender)
        s_entryRender->presentDrawableFrame(drawable, passDescriptor);
}

MetalRender* MetalRender::instance() { return s_entryRender; }

void MetalRender::destroyInstance() {
    delete s_entryRender;
    s_entryRender = nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Construction

static bool readTextFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

// Well-formed UTF-8 (the shader text must decode before it can be compiled).
static bool isUtf8(const std::string& s) {
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = (unsigned char)s[i];
        size_t follow = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xe ? 2 : (c >> 3) == 0x1e ? 3 : 4;
        if (follow == 4 || (follow > 0 && i + follow >= n))
            return false;
        for (size_t k = 1; k <= follow; ++k)
            if (((unsigned char)s[i + k] >> 6) != 0x2)
                return false;
        i += follow + 1;
    }
    return true;
}

MetalRender::MetalRender() {
    cullMode = mtl::CullModeFront;
    Render::setCurrent(this);
    depthPixelFormat = mtl::PixelFormatDepth32Float;

    device = mtl::createSystemDefaultDevice();
    // The platform takes the Metal path only when a device exists.
    XAssert(device ? 1 : 0, "device != nil", kMetalRenderSource, __LINE__);
    commandQueue = device->newCommandQueue();
    library = device->newDefaultLibrary();

    if (!library) {
        std::string path = platform::bundlePath() + "/default.metallib";
        if (pathExists(path.c_str()))
            library = device->newLibraryWithFile(path, nullptr);
    }
    if (!library) {
        std::string path = platform::bundlePath() + "/metal.shaders";
        std::string text;
        if (pathExists(path.c_str()) && readTextFile(path, text) && isUtf8(text)) {
            mtl::ErrorPtr error;
            library = device->newLibraryWithSource(text, &error);
            if (!library)
                platform::showAlert("Error", error ? error->localizedDescription : std::string("error is nil"), "OK",
                                    "nil");
        }
    }

    frameIndex = 0;
    inFlight = std::make_shared<mtl::Semaphore>(FramesInFlight);
}

MetalRender::~MetalRender() {
    if (encoder && !encoder->ended())
        encoder->endEncoding();
    encoder.reset();
    commandBuffer.reset();
    // The rings belong to this renderer's device; shaders get fresh data from the next renderer.
    MetalShaderData::destroyAll();
    if (s_entryRender == this)
        s_entryRender = nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Frame

void MetalRender::beginFrame() {
    toggleCulling(true);
    toggleCullFace(1);
    toggleDepthWrite(true);
    toggleDepthTest(true);
}

void MetalRender::beginDrawableFrame(const mtl::RenderPassDescriptorPtr& passDescriptor) {
    currentTarget = nullptr;
    for (mtl::SamplerStatePtr& s : boundSamplers)
        s.reset();
    resetUniformBlocks(frameIndex);

    inFlight->wait();
    // Frames that committed nothing return their permit at once, so the permit alone does not say
    // the GPU is done with this lane: wait for the frame that used it last.
    mtl::CommandBufferPtr& previous = laneCommandBuffer[frameIndex];
    if (previous && previous->status() != mtl::CommandBufferStatusCompleted)
        previous->waitUntilCompleted();
    previous.reset();

    ++frameSerial;
    commandBuffer = commandQueue->commandBuffer();
    if (passDescriptor) {
        screenPassDescriptor = passDescriptor;
        _framePermitHeld = true;
    } else {
        screenPassDescriptor.reset();
        _framePermitHeld = false;
        inFlight->signal();
    }
}

void MetalRender::presentDrawableFrame(const mtl::DrawablePtr& drawable,
                                       const mtl::RenderPassDescriptorPtr& passDescriptor) {
    if (encoder) {
        encoder->endEncoding();
        encoder.reset();
    }
    if (commandBuffer && drawable && passDescriptor) {
        if (_framePermitHeld) {
            mtl::SemaphorePtr semaphore = inFlight;
            commandBuffer->addCompletedHandler([semaphore](mtl::CommandBuffer&) { semaphore->signal(); });
        }
        commandBuffer->presentDrawable(drawable);
        commandBuffer->commit();
        laneCommandBuffer[frameIndex] = commandBuffer;
    } else if (_framePermitHeld) {
        // Nothing is committed, so no completion will give the permit back.
        inFlight->signal();
    }
    _framePermitHeld = false;
    frameIndex = (frameIndex + 1) % FramesInFlight;
    commandBuffer.reset();
    screenPassDescriptor.reset();
    currentTarget = nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Render targets

static uint16_t roundUpPowerOfTwo(uint32_t v) {
    uint32_t p = 1;
    while (p < v && p < 32768)
        p <<= 1;
    return (uint16_t)p;
}

static void attachTexture(Texture* texture, const mtl::TexturePtr& metalTexture) {
    if (!texture)
        return;
    auto* box = new MetalTextureBox();
    box->texture = metalTexture;
    delete texture->_deviceTexture;
    texture->_deviceTexture = box;
}

uint32_t MetalRender::targetFormat(const RenderTarget* target) {
    bool colour = (target->_flags & (RenderTarget::FlagColourBuffer | RenderTarget::FlagColourTexture)) != 0;
    bool depth = target->_external ||
                 (target->_flags & (RenderTarget::FlagDepthBuffer | RenderTarget::FlagDepthTexture)) != 0;
    return (colour ? 1u : 0u) | (depth ? 2u : 0u);
}

void MetalRender::createRenderTargets() {
    for (RenderTarget* t : targets)
        if (!t->_external && !t->_framebuffer)
            createTargetData(t);
}

void MetalRender::createTargetData(RenderTarget* target) {
    auto* data = new MetalTargetData();
    data->textureWidth = roundUpPowerOfTwo(target->_width);
    data->textureHeight = roundUpPowerOfTwo(target->_height);
    Logger::message("%s", target->_name.c_str());

    if (!target->_external) {
        data->passDescriptor = std::make_shared<mtl::RenderPassDescriptor>();
        if (target->_flags & (RenderTarget::FlagDepthBuffer | RenderTarget::FlagDepthTexture)) {
            mtl::TextureDescriptor d =
                mtl::TextureDescriptor::texture2D(depthPixelFormat, data->textureWidth, data->textureHeight, false);
            d.usage = mtl::TextureUsageRenderTarget | mtl::TextureUsageShaderRead;
            mtl::TexturePtr depth = device->newTexture(d);
            mtl::RenderPassDepthAttachment& a = data->passDescriptor->depthAttachment;
            a.texture = depth;
            a.loadAction = mtl::LoadActionClear;
            a.storeAction = mtl::StoreActionStore;
            a.clearDepth = 1.0;
            attachTexture(target->_depthTexture, depth);
            if (target->_depthTexture)
                getSamplerState(target->_depthTexture);
        }
        if (target->_flags & (RenderTarget::FlagColourBuffer | RenderTarget::FlagColourTexture)) {
            mtl::TextureDescriptor d = mtl::TextureDescriptor::texture2D(mtl::PixelFormatBGRA8Unorm, data->textureWidth,
                                                                         data->textureHeight, false);
            d.usage = mtl::TextureUsageRenderTarget | mtl::TextureUsageShaderRead;
            mtl::TexturePtr colour = device->newTexture(d);
            mtl::RenderPassColorAttachment& a = data->passDescriptor->colorAttachments[0];
            a.texture = colour;
            a.loadAction = mtl::LoadActionClear;
            a.storeAction = mtl::StoreActionStore;
            attachTexture(target->_colourTexture, colour);
            if (target->_colourTexture)
                getSamplerState(target->_colourTexture);
        }
    }
    delete target->_framebuffer;
    target->_framebuffer = data;
}

void MetalRender::forgetBoundState() {
    boundPipeline.reset();
    boundDepthStencil.reset();
    boundVertexBuffer.reset();
    for (mtl::SamplerStatePtr& s : boundSamplers)
        s.reset();
    for (Texture*& t : boundTextures)
        t = nullptr;
}

void MetalRender::beginRenderTarget(RenderTarget* target) {
    // A new encoder starts with culling off; make the cache say so.
    toggleCulling(true);
    toggleCulling(false);

    if (!target->_framebuffer)
        createTargetData(target);
    auto* data = static_cast<MetalTargetData*>(target->_framebuffer);

    if (target == currentTarget || (target->_external && currentTarget && currentTarget->_external))
        return;

    if (encoder) {
        encoder->endEncoding();
        encoder.reset();
    }
    forgetBoundState();
    // Outside a frame, or on a frame without a drawable, there is nothing to encode into.
    if (!commandBuffer)
        return;
    if (target->_external) {
        if (!screenPassDescriptor)
            return;
        encoder = commandBuffer->renderCommandEncoder(*screenPassDescriptor);
    } else {
        if (!data->passDescriptor)
            return;
        encoder = commandBuffer->renderCommandEncoder(*data->passDescriptor);
        if (encoder) {
            mtl::Viewport v;
            v.originX = 0;
            v.originY = (double)data->textureHeight - target->_height;
            v.width = target->_width;
            v.height = target->_height;
            v.znear = 0;
            v.zfar = 1;
            encoder->setViewport(v);
        }
    }
    if (!encoder)
        return;
    encoderSerial = ++s_encoderSerial;

    if (target->_external && target->_clearOnBegin)
        clearScreenDepth(target, data);
    forgetBoundState();
}

void MetalRender::clearScreenDepth(RenderTarget* target, MetalTargetData* data) {
    if (!data->clearPipeline) {
        mtl::RenderPipelineDescriptor d;
        d.label = "RenderTargetClear";
        if (library) {
            d.vertexFunction = library->newFunctionWithName("ClearShaderVertexShader");
            d.fragmentFunction = library->newFunctionWithName("ClearShaderFragmentShader");
        }
        d.sampleCount = 1;
        d.colorAttachments[0].pixelFormat = mtl::PixelFormatBGRA8Unorm;
        d.colorAttachments[0].writeMask = mtl::ColorWriteMaskNone;
        bool depth = target->_external ||
                     (target->_flags & (RenderTarget::FlagDepthBuffer | RenderTarget::FlagDepthTexture));
        d.depthAttachmentPixelFormat = depth ? depthPixelFormat : mtl::PixelFormatInvalid;
        mtl::ErrorPtr error;
        data->clearPipeline = device->newRenderPipelineState(d, &error);
        if (!data->clearPipeline) {
            Logger::message(">> ERROR: Couldnt create a pipeline: %s",
                            error ? error->localizedDescription.c_str() : "(no error)");
            return;
        }
        mtl::DepthStencilDescriptor ds;
        ds.depthCompareFunction = mtl::CompareFunctionAlways;
        ds.depthWriteEnabled = true;
        data->clearDepthStencil = device->newDepthStencilState(ds);
        const float quad[18] = {1, 1, 1, -1, 1, 1, 1, -1, 1, 1, -1, 1, -1, 1, 1, -1, -1, 1};
        data->clearVertices = device->newBuffer(quad, sizeof(quad), mtl::ResourceCPUCacheModeDefaultCache);
    }
    if (boundDepthStencil != data->clearDepthStencil) {
        encoder->setDepthStencilState(data->clearDepthStencil);
        boundDepthStencil = data->clearDepthStencil;
    }
    if (boundPipeline != data->clearPipeline) {
        encoder->setRenderPipelineState(data->clearPipeline);
        boundPipeline = data->clearPipeline;
    }
    encoder->setVertexBuffer(data->clearVertices, 0, 0);
    boundVertexBuffer = data->clearVertices;
    encoder->drawPrimitives(mtl::PrimitiveTypeTriangle, 0, 6, 1);
}

// ---------------------------------------------------------------------------------------------------
// Culling

void MetalRender::enableCulling() { cullFaceCache = -1; }

void MetalRender::disableCulling() {
    cullFaceCache = -1;
    cullMode = mtl::CullModeNone;
    if (encoder)
        encoder->setCullMode(mtl::CullModeNone);
}

void MetalRender::setCullFace(int face) {
    if (face == 0)
        cullMode = mtl::CullModeBack;
    else if (face == 1)
        cullMode = mtl::CullModeFront;
    if (encoder)
        encoder->setCullMode(cullMode);
}

// ---------------------------------------------------------------------------------------------------
// Materials

void MetalRender::applyMaterial(Material* material) {
    if (!currentData || !currentTarget)
        return;
    auto* state = static_cast<MetalMaterialState*>(material->_backEndState);
    const MetalMaterialState::Entry* entry = nullptr;
    if (state) {
        auto it = state->entries.find(currentTarget);
        if (it != state->entries.end() && it->second.targetFormat == targetFormat(currentTarget))
            entry = &it->second;
    }
    if (!entry) {
        bindMaterial(material);
        state = static_cast<MetalMaterialState*>(material->_backEndState);
        entry = &state->entries[currentTarget];
    }
    if (encoder) {
        if (boundDepthStencil != entry->depthStencil) {
            encoder->setDepthStencilState(entry->depthStencil);
            boundDepthStencil = entry->depthStencil;
        }
        if (boundPipeline != entry->pipeline) {
            encoder->setRenderPipelineState(entry->pipeline);
            boundPipeline = entry->pipeline;
        }
    }
    Render::applyMaterial(material);
}

void MetalRender::bindMaterial(Material* material) {
    RenderTarget* t = currentTarget;
    auto* data = material->_shader ? dynamic_cast<MetalShaderData*>(material->_shader->_program) : nullptr;
    XAssert(data ? 1 : 0, "data != NULL", kMetalRenderSource, 656);
    uint32_t format = targetFormat(t);
    bool hasDepth = (format & 2) != 0;
    bool hasColour = (format & 1) != 0;

    mtl::RenderPipelineDescriptor d;
    d.label = material->_name;
    d.sampleCount = 1;
    d.vertexFunction = data->vertexFunction;
    d.fragmentFunction = data->fragmentFunction;
    d.depthAttachmentPixelFormat = hasDepth ? depthPixelFormat : mtl::PixelFormatInvalid;
    if (hasColour) {
        mtl::RenderPipelineColorAttachmentDescriptor& c = d.colorAttachments[0];
        c.pixelFormat = mtl::PixelFormatBGRA8Unorm;
        switch (material->_blendMode) {
            case BlendPremultAlpha:
            case BlendAlpha:
                c.blendingEnabled = true;
                c.sourceRGBBlendFactor = mtl::BlendFactorSourceAlpha;
                c.destinationRGBBlendFactor = mtl::BlendFactorOneMinusSourceAlpha;
                break;
            case BlendAdditive:
                c.blendingEnabled = true;
                c.sourceRGBBlendFactor = mtl::BlendFactorOne;
                c.destinationRGBBlendFactor = mtl::BlendFactorOne;
                break;
            default:
                c.blendingEnabled = false;
                d.alphaToCoverageEnabled = material->_alphatestEnabled != 0;
                break;
        }
    }
    mtl::ErrorPtr error;
    mtl::RenderPipelineStatePtr pipeline = device->newRenderPipelineState(d, &error);
    if (!pipeline) {
        Logger::message(">> ERROR: Couldnt create a pipeline: %s",
                        error ? error->localizedDescription.c_str() : "(no error)");
        XAssert(0, "0", kMetalRenderSource, 734);
    }

    // A target without depth gets the state that neither tests nor writes, whatever the material asks.
    uint8_t depthWrite = hasDepth ? material->_depthWrite : 0;
    uint8_t depthTest = hasDepth ? material->_depthTest : 0;
    mtl::DepthStencilStatePtr depthStencil;
    for (const DepthStencilEntry& e : depthStencilCache)
        if (e.depthWrite == depthWrite && e.depthTest == depthTest)
            depthStencil = e.state;
    if (!depthStencil) {
        mtl::DepthStencilDescriptor ds;
        ds.depthCompareFunction = depthTest ? mtl::CompareFunctionLessEqual : mtl::CompareFunctionAlways;
        ds.depthWriteEnabled = depthWrite != 0;
        depthStencil = device->newDepthStencilState(ds);
        depthStencilCache.push_back({depthStencil, depthWrite, depthTest});
    }

    auto* state = static_cast<MetalMaterialState*>(material->_backEndState);
    if (!state) {
        state = new MetalMaterialState();
        material->_backEndState = state;
    }
    state->entries[t] = {pipeline, depthStencil, format};
}

// ---------------------------------------------------------------------------------------------------
// Geometry

void MetalRender::createGeometry(Geometry* geometry) {
    if (geometry->_deviceBuffers)
        return;
    auto* data = new MetalGeometryData();
    if (!geometry->isDynamic()) {
        uint64_t vertexBytes = (uint64_t)geometry->_stride * geometry->_vertexCount;
        if (vertexBytes && geometry->_vertices)
            data->vertexBuffer =
                device->newBuffer(geometry->_vertices, vertexBytes, mtl::ResourceCPUCacheModeDefaultCache);
        if (geometry->_indexCount && geometry->_indices)
            data->indexBuffer = device->newBuffer(geometry->_indices, (uint64_t)geometry->_indexCount * 2,
                                                  mtl::ResourceCPUCacheModeDefaultCache);
    }
    geometry->_deviceBuffers = data;
}

static bool sameLayout(const Geometry* a, const Geometry* b) {
    if (a->_stride != b->_stride || a->_attributes.size() != b->_attributes.size())
        return false;
    for (size_t i = 0; i < a->_attributes.size(); ++i)
        if (a->_attributes[i].type != b->_attributes[i].type ||
            a->_attributes[i].components != b->_attributes[i].components)
            return false;
    return true;
}

void MetalRender::batchGeometries(const std::vector<Geometry*>& geometries) {
    // Only static geometries that still hold their data and have no buffers yet can be packed.
    std::vector<Geometry*> left;
    for (Geometry* g : geometries)
        if (g && !g->isDynamic() && !g->_deviceBuffers && g->_vertexCount && g->_vertices && g->_stride)
            left.push_back(g);

    std::vector<bool> taken(left.size(), false);
    for (size_t first = 0; first < left.size(); ++first) {
        if (taken[first])
            continue;
        // Indices are 16-bit once shifted by their geometry's vertex base, so a group stays below
        // 65536 indices and 65536 vertices.
        std::vector<Geometry*> group;
        uint32_t indexTotal = 0, vertexTotal = 0;
        for (size_t i = first; i < left.size(); ++i) {
            Geometry* g = left[i];
            if (taken[i] || (i != first && !sameLayout(left[first], g)))
                continue;
            if (i != first && (indexTotal + g->_indexCount >= 65536 || vertexTotal + g->_vertexCount > 65536))
                continue;
            taken[i] = true;
            group.push_back(g);
            indexTotal += g->_indexCount;
            vertexTotal += g->_vertexCount;
        }

        uint32_t stride = group[0]->_stride;
        _batchVertices.resize((size_t)vertexTotal * stride);
        _batchIndices.resize((size_t)indexTotal * 2);
        auto shared = std::make_shared<MetalGeometryGroup>();
        uint32_t vertexBase = 0, indexBaseSoFar = 0;
        std::vector<uint32_t> bases;
        for (Geometry* g : group) {
            std::memcpy(_batchVertices.data() + (size_t)vertexBase * stride, g->_vertices, (size_t)g->_vertexCount * stride);
            uint16_t* out = reinterpret_cast<uint16_t*>(_batchIndices.data()) + indexBaseSoFar;
            for (uint32_t k = 0; k < g->_indexCount; ++k)
                out[k] = (uint16_t)((g->_indices ? g->_indices[k] : 0) + vertexBase);
            bases.push_back(indexBaseSoFar);
            vertexBase += g->_vertexCount;
            indexBaseSoFar += g->_indexCount;
        }
        shared->vertexBuffer =
            device->newBuffer(_batchVertices.data(), _batchVertices.size(), mtl::ResourceCPUCacheModeDefaultCache);
        if (!_batchIndices.empty())
            shared->indexBuffer =
                device->newBuffer(_batchIndices.data(), _batchIndices.size(), mtl::ResourceCPUCacheModeDefaultCache);
        for (size_t k = 0; k < group.size(); ++k) {
            auto* data = new MetalGeometryData();
            data->indexBase = bases[k];
            data->group = shared;
            data->vertexBuffer = shared->vertexBuffer;
            data->indexBuffer = shared->indexBuffer;
            group[k]->_deviceBuffers = data;
            group[k]->freeData();
        }
    }
}

void MetalRender::bindGeometry(Geometry* geometry) {
    if (!geometry->_deviceBuffers)
        createGeometry(geometry);
    auto* data = static_cast<MetalGeometryData*>(geometry->_deviceBuffers);

    // Vertices of a dynamic geometry go into the frame's lane only while a frame is encoded.
    if (geometry->isDynamic() && encoder) {
        MetalGeometryData::Lane& lane = data->lanes[frameIndex];
        if (lane.frame != frameSerial) {
            lane.frame = frameSerial;
            lane.used = 0;
        }
        if (lane.used >= lane.pairs.size())
            lane.pairs.emplace_back();
        MetalGeometryData::BufferPair& pair = lane.pairs[lane.used++];
        uint64_t vertexBytes = (uint64_t)geometry->_stride * geometry->_vertexCount;
        uint64_t indexBytes = (uint64_t)geometry->_indexCount * 2;
        if (vertexBytes && geometry->_vertices) {
            if (!pair.vertices || pair.vertices->length() < vertexBytes)
                pair.vertices =
                    device->newBuffer(geometry->_vertices, vertexBytes, mtl::ResourceCPUCacheModeWriteCombined);
            else
                std::memcpy(pair.vertices->contents(), geometry->_vertices, vertexBytes);
        }
        if (indexBytes && geometry->_indices) {
            if (!pair.indices || pair.indices->length() < indexBytes)
                pair.indices = device->newBuffer(geometry->_indices, indexBytes, mtl::ResourceCPUCacheModeWriteCombined);
            else
                std::memcpy(pair.indices->contents(), geometry->_indices, indexBytes);
        }
        data->vertexBuffer = vertexBytes ? pair.vertices : nullptr;
        data->indexBuffer = indexBytes ? pair.indices : nullptr;
    }

    indexBuffer = data->indexBuffer;
    indexBase = data->indexBase;
    if (encoder && data->vertexBuffer && boundVertexBuffer != data->vertexBuffer) {
        encoder->setVertexBuffer(data->vertexBuffer, 0, 0);
        boundVertexBuffer = data->vertexBuffer;
    }

    MetalShader* shader = currentData ? currentData->shader : nullptr;
    if (!shader)
        return;
    const std::vector<MetalVertexAttribute>& expected = shader->getAttributes();
    bool same = expected.size() == geometry->_attributes.size();
    for (size_t i = 0; same && i < expected.size(); ++i)
        same = expected[i].type == geometry->_attributes[i].type &&
               expected[i].components == geometry->_attributes[i].components;
    if (!same) {
        Logger::message("invalid vertex attributes %s %d", shader->getName(), (int)geometry->_stride);
        for (const MetalVertexAttribute& a : expected)
            Logger::message("shader: %s %d %d", a.name.c_str(), (int)a.type, (int)a.components);
        for (const GeometryAttribute& a : geometry->_attributes)
            Logger::message("geometry: %s %d %d", a.name.c_str(), (int)a.type, (int)a.components);
    }
}

// ---------------------------------------------------------------------------------------------------
// Drawing

void MetalRender::drawPrimitive(mtl::PrimitiveType type, int32_t firstIndex, int32_t indexCount, uint32_t instances) {
    if (!encoder || !currentData || indexCount <= 0)
        return;
    if (indexBuffer)
        encoder->drawIndexedPrimitives(type, (uint32_t)indexCount, mtl::IndexTypeUInt16, indexBuffer,
                                       ((uint64_t)(firstIndex < 0 ? 0 : firstIndex) + indexBase) * 2, instances);
    else
        encoder->drawPrimitives(type, 0, (uint32_t)indexCount, instances);
    ++drawCalls;
    if (type == mtl::PrimitiveTypeTriangle)
        triangles += (uint32_t)indexCount / 3 * instances;
}

void MetalRender::drawTriangles(int32_t firstIndex, int32_t indexCount) {
    drawPrimitive(mtl::PrimitiveTypeTriangle, firstIndex, indexCount, 1);
}

void MetalRender::drawLines(int32_t firstIndex, int32_t indexCount) {
    drawPrimitive(mtl::PrimitiveTypeLine, firstIndex, indexCount, 1);
}

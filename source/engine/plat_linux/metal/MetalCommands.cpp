// Command buffers and render command encoders of the stand-in: recording and validation.

#include <cstdio>
#include <cstring>

#include "engine/plat_linux/metal/MetalInternal.h"
#include "engine/utils.h"

namespace mtl {

namespace {

const char* primitiveName(PrimitiveType type) {
    switch (type) {
        case PrimitiveTypePoint: return "point";
        case PrimitiveTypeLine: return "line";
        case PrimitiveTypeLineStrip: return "lineStrip";
        case PrimitiveTypeTriangle: return "triangle";
        case PrimitiveTypeTriangleStrip: return "triangleStrip";
    }
    return "unknown";
}

const char* cullName(CullMode mode) {
    switch (mode) {
        case CullModeNone: return "none";
        case CullModeFront: return "front";
        case CullModeBack: return "back";
    }
    return "unknown";
}

}  // namespace

const UniformRead* DrawRecord::uniform(FunctionType stage, uint32_t index) const {
    for (const UniformRead& u : uniforms)
        if (u.stage == stage && u.index == index)
            return &u;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------------

RenderCommandEncoder::RenderCommandEncoder(std::shared_ptr<DeviceState> log, const RenderPassDescriptor& pass,
                                           uint64_t commandBuffer, uint32_t number)
    : _log(std::move(log)), _pass(pass), _commandBuffer(commandBuffer), _number(number) {
    std::vector<std::pair<const char*, TexturePtr>> attachments;
    for (int i = 0; i < 4; ++i)
        if (pass.colorAttachments[i].texture)
            attachments.push_back({"colour", pass.colorAttachments[i].texture});
    if (pass.depthAttachment.texture)
        attachments.push_back({"depth", pass.depthAttachment.texture});
    if (attachments.empty()) {
        error("render pass without attachments");
        return;
    }
    _width = attachments[0].second->width();
    _height = attachments[0].second->height();
    for (auto& a : attachments) {
        const TexturePtr& t = a.second;
        if (t->width() != _width || t->height() != _height)
            error(formatString("%s attachment is %u x %u, the pass is %u x %u", a.first, t->width(), t->height(), _width,
                             _height));
        if (!(t->usage() & TextureUsageRenderTarget))
            error(formatString("%s attachment texture was not made for rendering", a.first));
        bool depth = std::strcmp(a.first, "depth") == 0;
        if (depth != isDepthFormat(t->pixelFormat()))
            error(formatString("%s attachment of format %s", a.first, pixelFormatName(t->pixelFormat())));
    }
    _viewport.width = _width;
    _viewport.height = _height;
}

void RenderCommandEncoder::error(const std::string& text) {
    std::string full = formatString("command buffer %llu encoder %u: ", (unsigned long long)_commandBuffer, _number) + text;
    _errors.push_back(full);
    _log->report(full);
}

bool RenderCommandEncoder::usable(const char* call) {
    if (_ended) {
        error(std::string(call) + " after endEncoding");
        return false;
    }
    return true;
}

void RenderCommandEncoder::record(CommandType type, uint32_t index, uint64_t offset, const void* object,
                                  std::string text) {
    Command c;
    c.type = type;
    c.index = index;
    c.offset = offset;
    c.object = object;
    c.text = std::move(text);
    _commands.push_back(std::move(c));
}

void RenderCommandEncoder::setRenderPipelineState(const RenderPipelineStatePtr& state) {
    if (!usable("setRenderPipelineState"))
        return;
    _pipeline = state;
    record(CommandSetRenderPipelineState, 0, 0, state.get(),
           "setRenderPipelineState " + (state ? state->label() : std::string("none")));
}

void RenderCommandEncoder::setDepthStencilState(const DepthStencilStatePtr& state) {
    if (!usable("setDepthStencilState"))
        return;
    _depthStencil = state;
    record(CommandSetDepthStencilState, 0, 0, state.get(),
           state ? formatString("setDepthStencilState compare=%u write=%d", (unsigned)state->descriptor.depthCompareFunction,
                              state->descriptor.depthWriteEnabled ? 1 : 0)
                 : std::string("setDepthStencilState none"));
}

void RenderCommandEncoder::setCullMode(CullMode mode) {
    if (!usable("setCullMode"))
        return;
    _cullMode = mode;
    record(CommandSetCullMode, 0, 0, nullptr, std::string("setCullMode ") + cullName(mode));
}

void RenderCommandEncoder::setViewport(const Viewport& v) {
    if (!usable("setViewport"))
        return;
    if (v.originX < 0 || v.originY < 0 || v.width <= 0 || v.height <= 0 || v.originX + v.width > _width ||
        v.originY + v.height > _height || v.znear < 0 || v.znear > 1 || v.zfar < 0 || v.zfar > 1)
        error(formatString("viewport (%g, %g, %g, %g, %g, %g) outside the %u x %u pass", v.originX, v.originY, v.width,
                         v.height, v.znear, v.zfar, _width, _height));
    _viewport = v;
    record(CommandSetViewport, 0, 0, nullptr,
           formatString("setViewport %g %g %g %g %g %g", v.originX, v.originY, v.width, v.height, v.znear, v.zfar));
}

void RenderCommandEncoder::setVertexBuffer(const BufferPtr& buffer, uint64_t offset, uint32_t index) {
    if (!usable("setVertexBuffer"))
        return;
    if (index >= kMaxBufferIndex) {
        error(formatString("setVertexBuffer index %u", index));
        return;
    }
    if (buffer && offset > buffer->length())
        error(formatString("setVertexBuffer index %u: offset %llu beyond the buffer's %llu bytes", index,
                         (unsigned long long)offset, (unsigned long long)buffer->length()));
    if (buffer)
        _vertexBuffers[index] = {buffer, offset};
    else
        _vertexBuffers.erase(index);
    record(CommandSetVertexBuffer, index, offset, buffer.get(),
           formatString("setVertexBuffer index=%u offset=%llu%s", index, (unsigned long long)offset, buffer ? "" : " none"));
}

void RenderCommandEncoder::setFragmentBuffer(const BufferPtr& buffer, uint64_t offset, uint32_t index) {
    if (!usable("setFragmentBuffer"))
        return;
    if (index >= kMaxBufferIndex) {
        error(formatString("setFragmentBuffer index %u", index));
        return;
    }
    if (buffer && offset > buffer->length())
        error(formatString("setFragmentBuffer index %u: offset %llu beyond the buffer's %llu bytes", index,
                         (unsigned long long)offset, (unsigned long long)buffer->length()));
    if (buffer)
        _fragmentBuffers[index] = {buffer, offset};
    else
        _fragmentBuffers.erase(index);
    record(CommandSetFragmentBuffer, index, offset, buffer.get(),
           formatString("setFragmentBuffer index=%u offset=%llu%s", index, (unsigned long long)offset,
                      buffer ? "" : " none"));
}

void RenderCommandEncoder::setFragmentTexture(const TexturePtr& texture, uint32_t index) {
    if (!usable("setFragmentTexture"))
        return;
    if (index >= kMaxTextureIndex) {
        error(formatString("setFragmentTexture index %u", index));
        return;
    }
    if (texture)
        _textures[index] = texture;
    else
        _textures.erase(index);
    record(CommandSetFragmentTexture, index, 0, texture.get(),
           texture ? formatString("setFragmentTexture index=%u %s %ux%ux%u", index, pixelFormatName(texture->pixelFormat()),
                                texture->width(), texture->height(), texture->depth())
                   : formatString("setFragmentTexture index=%u none", index));
}

void RenderCommandEncoder::setFragmentSamplerState(const SamplerStatePtr& sampler, uint32_t index) {
    if (!usable("setFragmentSamplerState"))
        return;
    if (index >= kMaxSamplerIndex) {
        error(formatString("setFragmentSamplerState index %u", index));
        return;
    }
    if (sampler)
        _samplers[index] = sampler;
    else
        _samplers.erase(index);
    record(CommandSetFragmentSamplerState, index, 0, sampler.get(),
           formatString("setFragmentSamplerState index=%u%s", index, sampler ? "" : " none"));
}

void RenderCommandEncoder::drawPrimitives(PrimitiveType type, uint32_t vertexStart, uint32_t vertexCount,
                                          uint32_t instanceCount) {
    if (!usable("drawPrimitives"))
        return;
    DrawRecord r;
    r.primitive = type;
    r.vertexStart = vertexStart;
    r.vertexCount = vertexCount;
    r.instanceCount = instanceCount;
    record(CommandDrawPrimitives, 0, 0, nullptr,
           formatString("drawPrimitives %s start=%u count=%u instances=%u", primitiveName(type), vertexStart, vertexCount,
                      instanceCount));
    draw(std::move(r));
}

void RenderCommandEncoder::drawIndexedPrimitives(PrimitiveType type, uint32_t indexCount, IndexType indexType,
                                                 const BufferPtr& indexBuffer, uint64_t indexBufferOffset,
                                                 uint32_t instanceCount) {
    if (!usable("drawIndexedPrimitives"))
        return;
    DrawRecord r;
    r.primitive = type;
    r.indexed = true;
    r.indexCount = indexCount;
    r.indexBuffer = indexBuffer;
    r.indexBufferOffset = indexBufferOffset;
    r.instanceCount = instanceCount;
    record(CommandDrawIndexedPrimitives, 0, indexBufferOffset, indexBuffer.get(),
           formatString("drawIndexedPrimitives %s count=%u offset=%llu instances=%u", primitiveName(type), indexCount,
                      (unsigned long long)indexBufferOffset, instanceCount));
    if (indexType != IndexTypeUInt16)
        error("drawIndexedPrimitives: only 16-bit indices are used here");
    draw(std::move(r));
}

void RenderCommandEncoder::draw(DrawRecord r) {
    _commands.back().draw = (int)_draws.size();
    std::string tag = formatString("draw %zu: ", _draws.size());
    size_t errorsBefore = _errors.size();

    r.pipeline = _pipeline;
    r.depthStencil = _depthStencil;
    r.cullMode = _cullMode;
    r.viewport = _viewport;
    r.vertexBuffers = _vertexBuffers;
    r.fragmentBuffers = _fragmentBuffers;
    r.fragmentTextures = _textures;
    r.fragmentSamplers = _samplers;

    if (r.instanceCount == 0)
        error(tag + "instance count 0");

    // The highest vertex an indexed draw reaches, read from the real index bytes.
    bool indicesOk = true;
    uint32_t maxIndex = 0;
    if (r.indexed) {
        const BufferPtr& ib = r.indexBuffer;
        uint64_t need = r.indexBufferOffset + (uint64_t)r.indexCount * 2;
        if (!ib) {
            error(tag + "indexed draw without an index buffer");
            indicesOk = false;
        } else if (r.indexBufferOffset % 2) {
            error(tag + formatString("index buffer offset %llu is not a multiple of 2", (unsigned long long)r.indexBufferOffset));
            indicesOk = false;
        } else if (need > ib->length()) {
            error(tag + formatString("index buffer of %llu bytes, the draw reads %llu", (unsigned long long)ib->length(),
                                   (unsigned long long)need));
            indicesOk = false;
        } else {
            const uint8_t* p = static_cast<const uint8_t*>(ib->contents()) + r.indexBufferOffset;
            for (uint32_t i = 0; i < r.indexCount; ++i) {
                uint16_t v;
                std::memcpy(&v, p + 2 * i, 2);
                if (v > maxIndex)
                    maxIndex = v;
            }
            if (_log->readChecks && r.indexCount)
                r.reads.push_back({ib, r.indexBufferOffset, (uint64_t)r.indexCount * 2,
                                   hashBytes(p, (uint64_t)r.indexCount * 2), "indices"});
        }
    }

    if (!_pipeline) {
        error(tag + "draw without a render pipeline state");
    } else {
        const RenderPipelineDescriptor& d = _pipeline->descriptor;
        PixelFormat colour = _pass.colorAttachments[0].texture ? _pass.colorAttachments[0].texture->pixelFormat()
                                                               : PixelFormatInvalid;
        PixelFormat depth = _pass.depthAttachment.texture ? _pass.depthAttachment.texture->pixelFormat()
                                                          : PixelFormatInvalid;
        if (d.colorAttachments[0].pixelFormat != colour)
            error(tag + formatString("pipeline \"%s\" has colour format %s, the pass %s", d.label.c_str(),
                                   pixelFormatName(d.colorAttachments[0].pixelFormat), pixelFormatName(colour)));
        if (d.depthAttachmentPixelFormat != depth)
            error(tag + formatString("pipeline \"%s\" has depth format %s, the pass %s", d.label.c_str(),
                                   pixelFormatName(d.depthAttachmentPixelFormat), pixelFormatName(depth)));
        if (d.sampleCount != 1)
            error(tag + formatString("pipeline \"%s\" has sample count %u, the pass 1", d.label.c_str(), d.sampleCount));

        if (r.instanceCount && indicesOk) {
            const FunctionPtr& vf = d.vertexFunction;
            if (vf && vf->vertexStride()) {
                uint64_t vertices = r.indexed ? (r.indexCount ? (uint64_t)maxIndex + 1 : 0)
                                              : (uint64_t)r.vertexStart + r.vertexCount;
                auto it = _vertexBuffers.find(0);
                if (vertices && it == _vertexBuffers.end()) {
                    error(tag + "no vertex buffer at index 0 for " + vf->name());
                } else if (vertices) {
                    const BufferBinding& b = it->second;
                    uint64_t first = r.indexed ? 0 : (uint64_t)r.vertexStart * vf->vertexStride();
                    uint64_t end = b.offset + vertices * vf->vertexStride();
                    if (end > b.buffer->length())
                        error(tag + formatString("%s reads %llu vertices of %u bytes from offset %llu of a %llu-byte buffer",
                                               vf->name().c_str(), (unsigned long long)vertices, vf->vertexStride(),
                                               (unsigned long long)b.offset, (unsigned long long)b.buffer->length()));
                    else if (_log->readChecks)
                        r.reads.push_back({b.buffer, b.offset + first, end - b.offset - first,
                                           hashBytes(static_cast<const uint8_t*>(b.buffer->contents()) + b.offset + first,
                                                     end - b.offset - first),
                                           "vertices"});
                }
            }
            if (vf)
                checkFunction(r, vf, FunctionTypeVertex);
            if (d.fragmentFunction)
                checkFunction(r, d.fragmentFunction, FunctionTypeFragment);
        }
    }
    for (size_t i = errorsBefore; i < _errors.size(); ++i)
        r.errors.push_back(_errors[i]);
    _draws.push_back(std::move(r));
}

void RenderCommandEncoder::checkFunction(DrawRecord& r, const FunctionPtr& f, FunctionType stage) {
    const std::map<uint32_t, BufferBinding>& bound = stage == FunctionTypeVertex ? _vertexBuffers : _fragmentBuffers;
    const char* kind = stage == FunctionTypeVertex ? "vertex" : "fragment";
    std::string tag = formatString("draw %zu: ", _draws.size());
    for (const BufferUse& use : f->bufferUses()) {
        uint32_t copies = use.perInstance ? r.instanceCount : 1;
        auto it = bound.find(use.index);
        if (it == bound.end()) {
            error(tag + formatString("%s reads a %u-byte struct from %s buffer %u, none is bound", f->name().c_str(),
                                   use.structSize, kind, use.index));
            continue;
        }
        const BufferBinding& b = it->second;
        uint64_t need = (uint64_t)use.structSize * copies;
        if (b.offset + need > b.buffer->length()) {
            error(tag + formatString("%s reads %u x %u bytes from offset %llu of %s buffer %u, which has %llu",
                                   f->name().c_str(), copies, use.structSize, (unsigned long long)b.offset, kind,
                                   use.index, (unsigned long long)b.buffer->length()));
            continue;
        }
        UniformRead u;
        u.stage = stage;
        u.index = use.index;
        u.structSize = use.structSize;
        u.copies = copies;
        u.buffer = b.buffer;
        u.offset = b.offset;
        const uint8_t* p = static_cast<const uint8_t*>(b.buffer->contents()) + b.offset;
        u.bytes.assign(p, p + need);
        if (_log->readChecks)
            r.reads.push_back({b.buffer, b.offset, need, hashBytes(p, need),
                               formatString("%s buffer %u of %s", kind, use.index, f->name().c_str())});
        r.uniforms.push_back(std::move(u));
    }
}

void RenderCommandEncoder::endEncoding() {
    if (!usable("endEncoding"))
        return;
    _ended = true;
    record(CommandEndEncoding, 0, 0, nullptr, "endEncoding");
}

std::string RenderCommandEncoder::logText() const {
    std::string out;
    for (const Command& c : _commands) {
        out += c.text;
        out += '\n';
    }
    return out;
}

void RenderCommandEncoder::verifyReads() {
    for (size_t d = 0; d < _draws.size(); ++d) {
        for (const ReadCheck& rc : _draws[d].reads) {
            const uint8_t* p = static_cast<const uint8_t*>(rc.buffer->contents()) + rc.offset;
            if (hashBytes(p, rc.length) != rc.hash)
                _log->report(formatString("command buffer %llu encoder %u draw %zu: %s (bytes %llu..%llu) were rewritten "
                                        "before the GPU read them",
                                        (unsigned long long)_commandBuffer, _number, d, rc.what.c_str(),
                                        (unsigned long long)rc.offset, (unsigned long long)(rc.offset + rc.length)),
                             true);
        }
    }
}

// ---------------------------------------------------------------------------------------------------

CommandBuffer::CommandBuffer(std::shared_ptr<DeviceState> log, std::shared_ptr<GpuTimeline> gpu, uint64_t serial)
    : _log(std::move(log)), _gpu(std::move(gpu)), _serial(serial) {}

RenderCommandEncoderPtr CommandBuffer::renderCommandEncoder(const RenderPassDescriptor& pass) {
    if (_status != CommandBufferStatusNotEnqueued) {
        _log->report(formatString("command buffer %llu: renderCommandEncoder after commit", (unsigned long long)_serial));
        return nullptr;
    }
    if (!_encoders.empty() && !_encoders.back()->ended()) {
        _log->report(formatString("command buffer %llu: a new encoder while encoder %u is still open",
                                (unsigned long long)_serial, _encoders.back()->number()));
        return nullptr;
    }
    auto e = std::make_shared<RenderCommandEncoder>(_log, pass, _serial, (uint32_t)_encoders.size());
    _encoders.push_back(e);
    return e;
}

void CommandBuffer::addCompletedHandler(std::function<void(CommandBuffer&)> handler) {
    if (_status != CommandBufferStatusNotEnqueued) {
        _log->report(formatString("command buffer %llu: addCompletedHandler after commit", (unsigned long long)_serial));
        return;
    }
    _handlers.push_back(std::move(handler));
}

void CommandBuffer::presentDrawable(const DrawablePtr& drawable) {
    if (!drawable) {
        _log->report(formatString("command buffer %llu: presentDrawable without a drawable", (unsigned long long)_serial));
        return;
    }
    if (_status != CommandBufferStatusNotEnqueued) {
        _log->report(formatString("command buffer %llu: presentDrawable after commit", (unsigned long long)_serial));
        return;
    }
    _drawables.push_back(drawable);
}

void CommandBuffer::commit() {
    if (_status != CommandBufferStatusNotEnqueued) {
        _log->report(formatString("command buffer %llu: committed twice", (unsigned long long)_serial));
        return;
    }
    if (!_encoders.empty() && !_encoders.back()->ended())
        _log->report(formatString("command buffer %llu: committed with encoder %u still open", (unsigned long long)_serial,
                                _encoders.back()->number()));
    _status = CommandBufferStatusCommitted;
    _gpu->submit(shared_from_this());
}

void CommandBuffer::waitUntilCompleted() {
    if (_status == CommandBufferStatusNotEnqueued) {
        _log->report(formatString("command buffer %llu: waitUntilCompleted before commit", (unsigned long long)_serial));
        return;
    }
    std::unique_lock<std::mutex> lock(_mutex);
    _completed.wait(lock, [&] { return _status == CommandBufferStatusCompleted; });
}

size_t CommandBuffer::drawCount() const {
    size_t n = 0;
    for (const RenderCommandEncoderPtr& e : _encoders)
        n += e->draws().size();
    return n;
}

void CommandBuffer::execute() {
    if (_log->readChecks)
        for (RenderCommandEncoderPtr& e : _encoders)
            e->verifyReads();
    for (DrawablePtr& d : _drawables)
        d->present();
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _status = CommandBufferStatusCompleted;
    }
    for (auto& h : _handlers)
        h(*this);
    _completed.notify_all();
}

// ---------------------------------------------------------------------------------------------------

CommandBufferPtr CommandQueue::commandBuffer() {
    auto cb = std::make_shared<CommandBuffer>(_log, _gpu, _nextSerial++);
    _log->counters.commandBuffers++;
    if (_historyLimit) {
        _history.push_back(cb);
        while (_history.size() > _historyLimit)
            _history.pop_front();
    }
    return cb;
}

void CommandQueue::setHistoryLimit(size_t limit) {
    _historyLimit = limit;
    while (_history.size() > _historyLimit)
        _history.pop_front();
}

}  // namespace mtl

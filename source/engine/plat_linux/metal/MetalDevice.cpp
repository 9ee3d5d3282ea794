// The stand-in device: resources, states, the validation log, the GPU thread and the semaphore.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "engine/plat_linux/metal/MetalInternal.h"
#include "engine/utils.h"

namespace mtl {

const char* pixelFormatName(PixelFormat format) {
    switch (format) {
        case PixelFormatInvalid: return "Invalid";
        case PixelFormatRGBA8Unorm: return "RGBA8Unorm";
        case PixelFormatBGRA8Unorm: return "BGRA8Unorm";
        case PixelFormatPVRTC_RGB_4BPP: return "PVRTC_RGB_4BPP";
        case PixelFormatPVRTC_RGBA_4BPP: return "PVRTC_RGBA_4BPP";
        case PixelFormatDepth32Float: return "Depth32Float";
    }
    return "Unknown";
}

bool isDepthFormat(PixelFormat format) { return format == PixelFormatDepth32Float; }

bool isCompressedFormat(PixelFormat format) {
    return format == PixelFormatPVRTC_RGB_4BPP || format == PixelFormatPVRTC_RGBA_4BPP;
}

namespace {

bool isKnownFormat(PixelFormat format) {
    switch (format) {
        case PixelFormatRGBA8Unorm:
        case PixelFormatBGRA8Unorm:
        case PixelFormatPVRTC_RGB_4BPP:
        case PixelFormatPVRTC_RGBA_4BPP:
        case PixelFormatDepth32Float: return true;
        default: return false;
    }
}

uint32_t levelsFor(uint32_t size) {
    uint32_t n = 1;
    while (size > 1) {
        size >>= 1;
        ++n;
    }
    return n;
}

uint32_t shrink(uint32_t size, uint32_t level) {
    uint32_t s = level >= 32 ? 0 : size >> level;
    return s ? s : 1;
}

// PVRTC 4 bits a pixel: 4 x 4 blocks of 8 bytes, at least 2 x 2 blocks.
uint64_t pvrtcLevelBytes(uint32_t w, uint32_t h) {
    return ((uint64_t)std::max(w, 8u) * std::max(h, 8u) * 4 + 7) / 8;
}

}  // namespace

uint64_t hashBytes(const void* data, uint64_t length) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint64_t h = 1469598103934665603ull;
    for (uint64_t i = 0; i < length; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

// ---------------------------------------------------------------------------------------------------

void DeviceState::report(const std::string& text, bool gpuThread) {
    {
        std::lock_guard<std::mutex> lock(_mutex);
        ++_total;
        if (_errors.size() < 10000)
            _errors.push_back(text);
    }
    if (gpuThread)
        std::fprintf(stderr, "[MetalValidation] %s\n", text.c_str());
    else
        Logger::error("[MetalValidation] %s", text.c_str());
}

std::vector<std::string> DeviceState::errors() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _errors;
}

size_t DeviceState::count() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _total;
}

void DeviceState::clear() {
    std::lock_guard<std::mutex> lock(_mutex);
    _errors.clear();
    _total = 0;
}

// ---------------------------------------------------------------------------------------------------

GpuTimeline::~GpuTimeline() { shutdown(); }

void GpuTimeline::submit(const CommandBufferPtr& commandBuffer) {
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (!_stopped) {
            _queue.push_back(commandBuffer);
            if (!_thread.joinable())
                _thread = std::thread(&GpuTimeline::run, this);
            _wake.notify_all();
            return;
        }
    }
    commandBuffer->execute();
}

void GpuTimeline::hold() {
    std::lock_guard<std::mutex> lock(_mutex);
    _held = true;
    _budget = 0;
}

void GpuTimeline::step(uint32_t n) {
    std::lock_guard<std::mutex> lock(_mutex);
    _budget += n;
    _wake.notify_all();
}

void GpuTimeline::release() {
    std::lock_guard<std::mutex> lock(_mutex);
    _held = false;
    _budget = 0;
    _wake.notify_all();
}

void GpuTimeline::waitIdle() {
    std::unique_lock<std::mutex> lock(_mutex);
    _idle.wait(lock, [&] { return (_queue.empty() && !_busy) || (_held && _budget == 0 && !_busy); });
}

size_t GpuTimeline::pending() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _queue.size() + (_busy ? 1 : 0);
}

void GpuTimeline::shutdown() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (_stopped)
            return;
        _stopping = true;
        _held = false;
        _wake.notify_all();
        thread = std::move(_thread);
    }
    if (thread.joinable()) {
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
    std::deque<CommandBufferPtr> left;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _stopped = true;
        left.swap(_queue);
    }
    for (CommandBufferPtr& cb : left)
        cb->execute();
}

void GpuTimeline::run() {
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        _wake.wait(lock, [&] { return _stopping || (!_queue.empty() && (!_held || _budget > 0)); });
        if (_queue.empty() && _stopping)
            break;
        if (_queue.empty())
            continue;
        if (_held && _budget > 0)
            --_budget;
        CommandBufferPtr cb = _queue.front();
        _queue.pop_front();
        _busy = true;
        lock.unlock();
        cb->execute();
        _state->counters.completedCommandBuffers++;
        cb.reset();
        lock.lock();
        _busy = false;
        _idle.notify_all();
    }
    _idle.notify_all();
}

// ---------------------------------------------------------------------------------------------------

Device::Device() : _log(std::make_shared<DeviceState>()), _gpu(std::make_shared<GpuTimeline>(_log)) {}

Device::~Device() { _gpu->shutdown(); }

CommandQueuePtr Device::newCommandQueue() { return std::make_shared<CommandQueue>(_log, _gpu); }

RenderPipelineStatePtr Device::newRenderPipelineState(const RenderPipelineDescriptor& d, ErrorPtr* error) {
    std::string problem;
    if (!d.vertexFunction)
        problem = "no vertex function";
    else if (d.vertexFunction->functionType() != FunctionTypeVertex)
        problem = "function " + d.vertexFunction->name() + " is not a vertex function";
    else if (d.fragmentFunction && d.fragmentFunction->functionType() != FunctionTypeFragment)
        problem = "function " + d.fragmentFunction->name() + " is not a fragment function";
    else if (d.sampleCount != 1 && d.sampleCount != 2 && d.sampleCount != 4)
        problem = "sample count " + std::to_string(d.sampleCount) + " is not supported";
    else if (d.depthAttachmentPixelFormat != PixelFormatInvalid && !isDepthFormat(d.depthAttachmentPixelFormat))
        problem = std::string("depth attachment format ") + pixelFormatName(d.depthAttachmentPixelFormat) +
                  " is not a depth format";
    else {
        for (const RenderPipelineColorAttachmentDescriptor& c : d.colorAttachments) {
            if (isDepthFormat(c.pixelFormat) || isCompressedFormat(c.pixelFormat))
                problem = std::string("colour attachment format ") + pixelFormatName(c.pixelFormat) +
                          " is not renderable";
        }
    }
    if (!problem.empty()) {
        if (error)
            *error = std::make_shared<Error>(Error{"Render pipeline \"" + d.label + "\": " + problem});
        return nullptr;
    }
    _log->counters.pipelineStates++;
    return std::make_shared<RenderPipelineState>(d);
}

DepthStencilStatePtr Device::newDepthStencilState(const DepthStencilDescriptor& d) {
    _log->counters.depthStencilStates++;
    return std::make_shared<DepthStencilState>(d);
}

SamplerStatePtr Device::newSamplerState(const SamplerDescriptor& d) {
    SamplerDescriptor copy = d;
    if (d.maxAnisotropy < 1 || d.maxAnisotropy > 16) {
        _log->report("sampler maxAnisotropy " + std::to_string(d.maxAnisotropy) + " is outside 1..16");
        copy.maxAnisotropy = std::min(16u, std::max(1u, d.maxAnisotropy));
    }
    _log->counters.samplerStates++;
    return std::make_shared<SamplerState>(copy);
}

BufferPtr Device::newBuffer(uint64_t length, ResourceOptions options) {
    if (length == 0) {
        _log->report("newBuffer: length 0");
        return nullptr;
    }
    _log->counters.buffers++;
    return std::make_shared<Buffer>(length, options);
}

BufferPtr Device::newBuffer(const void* bytes, uint64_t length, ResourceOptions options) {
    BufferPtr b = newBuffer(length, options);
    if (b && bytes)
        std::memcpy(b->contents(), bytes, length);
    else if (b)
        _log->report("newBuffer: no bytes to copy");
    return b;
}

TexturePtr Device::newTexture(const TextureDescriptor& d) {
    std::string problem;
    uint32_t largest = std::max(d.width, d.height);
    if (d.textureType == TextureType3D)
        largest = std::max(largest, d.depth);
    if (!isKnownFormat(d.pixelFormat))
        problem = "unknown pixel format " + std::to_string((uint32_t)d.pixelFormat);
    else if (d.width == 0 || d.height == 0 || d.depth == 0)
        problem = "zero size";
    else if (d.textureType == TextureType2D && d.depth != 1)
        problem = "a 2D texture with depth " + std::to_string(d.depth);
    else if (d.textureType != TextureType2D && d.textureType != TextureType3D)
        problem = "unsupported texture type";
    else if (d.textureType == TextureType3D && (isCompressedFormat(d.pixelFormat) || isDepthFormat(d.pixelFormat)))
        problem = std::string("a 3D texture of ") + pixelFormatName(d.pixelFormat);
    else if (d.mipmapLevelCount == 0 || d.mipmapLevelCount > levelsFor(largest))
        problem = std::to_string(d.mipmapLevelCount) + " mip levels for a largest side of " + std::to_string(largest);
    if (!problem.empty()) {
        _log->report("newTexture: " + problem + " (" + std::to_string(d.width) + "x" + std::to_string(d.height) + "x" +
                     std::to_string(d.depth) + " " + pixelFormatName(d.pixelFormat) + ")");
        return nullptr;
    }
    _log->counters.textures++;
    return std::make_shared<Texture>(_log, d);
}

void Device::holdGpu() { _gpu->hold(); }
void Device::stepGpu(uint32_t n) { _gpu->step(n); }
void Device::releaseGpu() { _gpu->release(); }
void Device::waitGpuIdle() { _gpu->waitIdle(); }
size_t Device::pendingCommandBuffers() const { return _gpu->pending(); }
std::vector<std::string> Device::validationErrors() const { return _log->errors(); }
size_t Device::validationErrorCount() const { return _log->count(); }
void Device::clearValidationErrors() { _log->clear(); }
void Device::setReadChecks(bool on) { _log->readChecks = on; }
const DeviceCounters& Device::counters() const { return _log->counters; }

namespace {
std::mutex g_defaultMutex;
std::weak_ptr<Device> g_defaultDevice;
bool g_defaultAvailable = true;
}  // namespace

DevicePtr createSystemDefaultDevice() {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    if (!g_defaultAvailable)
        return nullptr;
    DevicePtr d = g_defaultDevice.lock();
    if (!d) {
        d = std::make_shared<Device>();
        g_defaultDevice = d;
    }
    return d;
}

void setSystemDefaultDeviceAvailable(bool available) {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    g_defaultAvailable = available;
}

// ---------------------------------------------------------------------------------------------------

TextureDescriptor TextureDescriptor::texture2D(PixelFormat format, uint32_t width, uint32_t height, bool mipmapped) {
    TextureDescriptor d;
    d.pixelFormat = format;
    d.width = width;
    d.height = height;
    d.mipmapLevelCount = mipmapped ? levelsFor(std::max(width, height)) : 1;
    return d;
}

Texture::Texture(std::shared_ptr<DeviceState> log, const TextureDescriptor& d) : _log(std::move(log)), _desc(d) {
    _levels.resize(d.mipmapLevelCount);
    _writeCounts.assign(d.mipmapLevelCount, 0);
    for (uint32_t l = 0; l < d.mipmapLevelCount; ++l) {
        uint64_t bytes = isCompressedFormat(d.pixelFormat)
                             ? pvrtcLevelBytes(levelWidth(l), levelHeight(l))
                             : (uint64_t)levelWidth(l) * levelHeight(l) * levelDepth(l) * 4;
        _levels[l].assign(bytes, 0);
    }
}

uint32_t Texture::levelWidth(uint32_t level) const { return shrink(_desc.width, level); }
uint32_t Texture::levelHeight(uint32_t level) const { return shrink(_desc.height, level); }
uint32_t Texture::levelDepth(uint32_t level) const {
    return _desc.textureType == TextureType3D ? shrink(_desc.depth, level) : 1;
}

uint32_t Texture::writeCount(uint32_t level) const {
    return level < _writeCounts.size() ? _writeCounts[level] : 0;
}

void Texture::replaceRegion(const Region& region, uint32_t level, const void* bytes, uint32_t bytesPerRow) {
    replaceRegion(region, level, 0, bytes, bytesPerRow, 0);
}

void Texture::replaceRegion(const Region& r, uint32_t level, uint32_t slice, const void* bytes, uint32_t bytesPerRow,
                            uint32_t bytesPerImage) {
    std::string where = "replaceRegion on a " + std::to_string(_desc.width) + "x" + std::to_string(_desc.height) +
                        "x" + std::to_string(_desc.depth) + " " + pixelFormatName(_desc.pixelFormat) + " texture: ";
    if (level >= _desc.mipmapLevelCount) {
        _log->report(where + "level " + std::to_string(level) + " of " + std::to_string(_desc.mipmapLevelCount));
        return;
    }
    if (slice != 0) {
        _log->report(where + "slice " + std::to_string(slice) + " of a texture with one slice");
        return;
    }
    if (!bytes) {
        _log->report(where + "no bytes");
        return;
    }
    uint32_t lw = levelWidth(level), lh = levelHeight(level), ld = levelDepth(level);
    if ((uint64_t)r.origin.x + r.size.width > lw || (uint64_t)r.origin.y + r.size.height > lh ||
        (uint64_t)r.origin.z + r.size.depth > ld) {
        char text[160];
        std::snprintf(text, sizeof(text), "region (%u, %u, %u) size %u x %u x %u outside level %u of %u x %u x %u",
                      r.origin.x, r.origin.y, r.origin.z, r.size.width, r.size.height, r.size.depth, level, lw, lh,
                      ld);
        _log->report(where + text);
        return;
    }
    std::vector<uint8_t>& dst = _levels[level];
    if (isCompressedFormat(_desc.pixelFormat)) {
        if (bytesPerRow != 0 || bytesPerImage != 0 || r.origin.x || r.origin.y || r.size.width != lw ||
            r.size.height != lh) {
            _log->report(where + "a compressed level is written whole, with bytesPerRow 0");
            return;
        }
        std::memcpy(dst.data(), bytes, dst.size());
    } else {
        uint64_t row = (uint64_t)r.size.width * 4;
        if (bytesPerRow < row) {
            _log->report(where + "bytesPerRow " + std::to_string(bytesPerRow) + " is shorter than a row of " +
                         std::to_string(row) + " bytes");
            return;
        }
        if (r.size.depth > 1 && bytesPerImage < (uint64_t)bytesPerRow * r.size.height) {
            _log->report(where + "bytesPerImage " + std::to_string(bytesPerImage) + " is shorter than an image");
            return;
        }
        const uint8_t* src = static_cast<const uint8_t*>(bytes);
        for (uint32_t z = 0; z < r.size.depth; ++z)
            for (uint32_t y = 0; y < r.size.height; ++y) {
                uint64_t to = (((uint64_t)(r.origin.z + z) * lh + (r.origin.y + y)) * lw + r.origin.x) * 4;
                std::memcpy(dst.data() + to, src + (uint64_t)z * bytesPerImage + (uint64_t)y * bytesPerRow, row);
            }
    }
    ++_writeCounts[level];
    if (_writes.size() < 4096)
        _writes.push_back({level, r, bytesPerRow});
}

// ---------------------------------------------------------------------------------------------------

void Semaphore::wait() {
    std::unique_lock<std::mutex> lock(_mutex);
    ++_waiting;
    _cv.wait(lock, [&] { return _count > 0; });
    --_waiting;
    --_count;
}

bool Semaphore::waitFor(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(_mutex);
    ++_waiting;
    bool ok = _cv.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return _count > 0; });
    --_waiting;
    if (ok)
        --_count;
    return ok;
}

void Semaphore::signal() {
    std::lock_guard<std::mutex> lock(_mutex);
    ++_count;
    _cv.notify_one();
}

long Semaphore::value() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _count;
}

int Semaphore::waiting() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _waiting;
}

DrawablePtr MetalLayer::nextDrawable() {
    if (!_available || !_device)
        return nullptr;
    TextureDescriptor d = TextureDescriptor::texture2D(pixelFormat, drawableWidth, drawableHeight, false);
    d.usage = TextureUsageRenderTarget;
    TexturePtr t = _device->newTexture(d);
    if (!t)
        return nullptr;
    return std::make_shared<Drawable>(t);
}

}  // namespace mtl

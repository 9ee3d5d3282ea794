#pragma once
// A small stand-in for the parts of Metal the Metal renderer uses, so that renderer can be built and
// tested on Linux. Nothing is drawn: every render command encoder logs its commands, every draw keeps
// the state it ran with and the uniform struct bytes its functions would read, and the library knows,
// for each shader function, the buffers (and their sizes) the function reads. Faults a real device would
// punish (missing or short buffers, draws without a pipeline, writes outside a texture, encoder calls
// after endEncoding, buffers rewritten while the GPU still reads them) are reported to the device's
// validation log. Committed command buffers complete in order on a stand-in GPU thread that tests can
// hold back and release step by step.
//
// Objects are reference counted with std::shared_ptr, as Metal objects are with retain/release.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mtl {

enum PixelFormat : uint32_t {
    PixelFormatInvalid = 0,
    PixelFormatRGBA8Unorm = 70,
    PixelFormatBGRA8Unorm = 80,
    PixelFormatPVRTC_RGB_4BPP = 162,
    PixelFormatPVRTC_RGBA_4BPP = 166,
    PixelFormatDepth32Float = 252,
};

enum TextureType : uint32_t { TextureType2D = 2, TextureType3D = 7 };

enum TextureUsage : uint32_t {
    TextureUsageShaderRead = 1,
    TextureUsageShaderWrite = 2,
    TextureUsageRenderTarget = 4,
};

enum ResourceOptions : uint32_t {
    ResourceCPUCacheModeDefaultCache = 0,
    ResourceCPUCacheModeWriteCombined = 1,
};

enum CullMode : uint32_t { CullModeNone = 0, CullModeFront = 1, CullModeBack = 2 };

enum PrimitiveType : uint32_t {
    PrimitiveTypePoint = 0,
    PrimitiveTypeLine = 1,
    PrimitiveTypeLineStrip = 2,
    PrimitiveTypeTriangle = 3,
    PrimitiveTypeTriangleStrip = 4,
};

enum IndexType : uint32_t { IndexTypeUInt16 = 0, IndexTypeUInt32 = 1 };

enum CompareFunction : uint32_t {
    CompareFunctionNever = 0,
    CompareFunctionLess = 1,
    CompareFunctionEqual = 2,
    CompareFunctionLessEqual = 3,
    CompareFunctionGreater = 4,
    CompareFunctionNotEqual = 5,
    CompareFunctionGreaterEqual = 6,
    CompareFunctionAlways = 7,
};

enum BlendFactor : uint32_t {
    BlendFactorZero = 0,
    BlendFactorOne = 1,
    BlendFactorSourceColor = 2,
    BlendFactorOneMinusSourceColor = 3,
    BlendFactorSourceAlpha = 4,
    BlendFactorOneMinusSourceAlpha = 5,
};

enum BlendOperation : uint32_t { BlendOperationAdd = 0, BlendOperationSubtract = 1 };

enum ColorWriteMask : uint32_t {
    ColorWriteMaskNone = 0,
    ColorWriteMaskAlpha = 1,
    ColorWriteMaskBlue = 2,
    ColorWriteMaskGreen = 4,
    ColorWriteMaskRed = 8,
    ColorWriteMaskAll = 15,
};

enum LoadAction : uint32_t { LoadActionDontCare = 0, LoadActionLoad = 1, LoadActionClear = 2 };
enum StoreAction : uint32_t { StoreActionDontCare = 0, StoreActionStore = 1 };

enum SamplerMinMagFilter : uint32_t { SamplerMinMagFilterNearest = 0, SamplerMinMagFilterLinear = 1 };
enum SamplerMipFilter : uint32_t {
    SamplerMipFilterNotMipmapped = 0,
    SamplerMipFilterNearest = 1,
    SamplerMipFilterLinear = 2,
};
enum SamplerAddressMode : uint32_t {
    SamplerAddressModeClampToEdge = 0,
    SamplerAddressModeMirrorClampToEdge = 1,
    SamplerAddressModeRepeat = 2,
    SamplerAddressModeMirrorRepeat = 3,
    SamplerAddressModeClampToZero = 4,
};

enum FunctionType : uint32_t { FunctionTypeVertex = 1, FunctionTypeFragment = 2 };

enum CommandBufferStatus : uint32_t {
    CommandBufferStatusNotEnqueued = 0,
    CommandBufferStatusCommitted = 2,
    CommandBufferStatusCompleted = 4,
};

// Limits of the argument tables (the smallest of the iOS families).
const uint32_t kMaxBufferIndex = 31;
const uint32_t kMaxTextureIndex = 31;
const uint32_t kMaxSamplerIndex = 16;

struct Origin {
    uint32_t x = 0, y = 0, z = 0;
};
struct Size {
    uint32_t width = 0, height = 0, depth = 1;
};
struct Region {
    Origin origin;
    Size size;
    static Region make2D(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
        Region r;
        r.origin = {x, y, 0};
        r.size = {width, height, 1};
        return r;
    }
    static Region make3D(uint32_t x, uint32_t y, uint32_t z, uint32_t width, uint32_t height, uint32_t depth) {
        Region r;
        r.origin = {x, y, z};
        r.size = {width, height, depth};
        return r;
    }
};

struct Viewport {
    double originX = 0, originY = 0, width = 0, height = 0, znear = 0, zfar = 1;
};

struct ClearColor {
    double red = 0, green = 0, blue = 0, alpha = 1;
};

class Device;
class Library;
class Function;
class Buffer;
class Texture;
class SamplerState;
class DepthStencilState;
class RenderPipelineState;
class CommandQueue;
class CommandBuffer;
class RenderCommandEncoder;
class Drawable;
class Semaphore;
class DeviceState;
class GpuTimeline;

using DevicePtr = std::shared_ptr<Device>;
using LibraryPtr = std::shared_ptr<Library>;
using FunctionPtr = std::shared_ptr<Function>;
using BufferPtr = std::shared_ptr<Buffer>;
using TexturePtr = std::shared_ptr<Texture>;
using SamplerStatePtr = std::shared_ptr<SamplerState>;
using DepthStencilStatePtr = std::shared_ptr<DepthStencilState>;
using RenderPipelineStatePtr = std::shared_ptr<RenderPipelineState>;
using CommandQueuePtr = std::shared_ptr<CommandQueue>;
using CommandBufferPtr = std::shared_ptr<CommandBuffer>;
using RenderCommandEncoderPtr = std::shared_ptr<RenderCommandEncoder>;
using DrawablePtr = std::shared_ptr<Drawable>;
using SemaphorePtr = std::shared_ptr<Semaphore>;

struct Error {
    std::string localizedDescription;
};
using ErrorPtr = std::shared_ptr<Error>;

const char* pixelFormatName(PixelFormat format);
bool isDepthFormat(PixelFormat format);
bool isCompressedFormat(PixelFormat format);

// ---------------------------------------------------------------------------------------------------
// Functions and libraries

// One buffer a function reads besides its vertices: the struct it expects at a buffer index, read once
// per draw or, for per-instance structs, once per instance (instance n reads copy n).
struct BufferUse {
    uint32_t index = 0;
    uint32_t structSize = 0;
    bool perInstance = false;
};

class Function {
public:
    Function(std::string name, FunctionType type, uint32_t vertexStride, std::vector<BufferUse> uses)
        : _name(std::move(name)), _type(type), _vertexStride(vertexStride), _uses(std::move(uses)) {}
    const std::string& name() const { return _name; }
    FunctionType functionType() const { return _type; }
    // Bytes per vertex the function reads from vertex buffer 0; 0 for a function reading no vertices.
    uint32_t vertexStride() const { return _vertexStride; }
    const std::vector<BufferUse>& bufferUses() const { return _uses; }

private:
    std::string _name;
    FunctionType _type;
    uint32_t _vertexStride;
    std::vector<BufferUse> _uses;
};

class Library {
public:
    explicit Library(std::vector<FunctionPtr> functions) : _functions(std::move(functions)) {}
    // None when the library has no function of that name.
    FunctionPtr newFunctionWithName(const std::string& name) const;
    std::vector<std::string> functionNames() const;

private:
    std::vector<FunctionPtr> _functions;
};

// The functions of the game's shader library: "<Class>VertexShader" and "<Class>FragmentShader" for
// every shader class, and the depth-clearing "ClearShaderVertexShader" / "ClearShaderFragmentShader".
const std::vector<FunctionPtr>& standardFunctions();

// ---------------------------------------------------------------------------------------------------
// Resources

class Buffer {
public:
    Buffer(uint64_t length, ResourceOptions options) : _bytes(length, 0), _options(options) {}
    void* contents() { return _bytes.data(); }
    const void* contents() const { return _bytes.data(); }
    uint64_t length() const { return _bytes.size(); }
    ResourceOptions resourceOptions() const { return _options; }
    std::string label;

private:
    std::vector<uint8_t> _bytes;
    ResourceOptions _options;
};

struct TextureDescriptor {
    TextureType textureType = TextureType2D;
    PixelFormat pixelFormat = PixelFormatRGBA8Unorm;
    uint32_t width = 1, height = 1, depth = 1;
    uint32_t mipmapLevelCount = 1;
    uint32_t usage = TextureUsageShaderRead;

    // As Metal's convenience constructor: a mipmapped descriptor asks for the whole chain down to 1 x 1.
    static TextureDescriptor texture2D(PixelFormat format, uint32_t width, uint32_t height, bool mipmapped);
};

// One replaceRegion call, kept for inspection.
struct TextureWrite {
    uint32_t level = 0;
    Region region;
    uint32_t bytesPerRow = 0;
};

class Texture {
public:
    Texture(std::shared_ptr<DeviceState> log, const TextureDescriptor& descriptor);

    TextureType textureType() const { return _desc.textureType; }
    PixelFormat pixelFormat() const { return _desc.pixelFormat; }
    uint32_t width() const { return _desc.width; }
    uint32_t height() const { return _desc.height; }
    uint32_t depth() const { return _desc.depth; }
    uint32_t mipmapLevelCount() const { return _desc.mipmapLevelCount; }
    uint32_t usage() const { return _desc.usage; }
    std::string label;

    // Writes outside the texture, a level it does not have or a row length shorter than the region's
    // rows are reported and nothing is written. Compressed formats take whole levels with bytesPerRow 0.
    void replaceRegion(const Region& region, uint32_t level, const void* bytes, uint32_t bytesPerRow);
    void replaceRegion(const Region& region, uint32_t level, uint32_t slice, const void* bytes,
                       uint32_t bytesPerRow, uint32_t bytesPerImage);

    // Inspection: the stored bytes of a level (rows packed, slices of a 3D texture one after another).
    const std::vector<uint8_t>& levelBytes(uint32_t level) const { return _levels.at(level); }
    uint32_t levelWidth(uint32_t level) const;
    uint32_t levelHeight(uint32_t level) const;
    uint32_t levelDepth(uint32_t level) const;
    // replaceRegion calls per level, and the first calls themselves (capped).
    uint32_t writeCount(uint32_t level) const;
    const std::vector<TextureWrite>& writes() const { return _writes; }

private:
    std::shared_ptr<DeviceState> _log;
    TextureDescriptor _desc;
    std::vector<std::vector<uint8_t>> _levels;
    std::vector<uint32_t> _writeCounts;
    std::vector<TextureWrite> _writes;
};

struct SamplerDescriptor {
    SamplerMinMagFilter minFilter = SamplerMinMagFilterNearest;
    SamplerMinMagFilter magFilter = SamplerMinMagFilterNearest;
    SamplerMipFilter mipFilter = SamplerMipFilterNotMipmapped;
    uint32_t maxAnisotropy = 1;
    SamplerAddressMode sAddressMode = SamplerAddressModeClampToEdge;
    SamplerAddressMode tAddressMode = SamplerAddressModeClampToEdge;
    SamplerAddressMode rAddressMode = SamplerAddressModeClampToEdge;
};

class SamplerState {
public:
    explicit SamplerState(const SamplerDescriptor& d) : descriptor(d) {}
    const SamplerDescriptor descriptor;
};

struct DepthStencilDescriptor {
    CompareFunction depthCompareFunction = CompareFunctionAlways;
    bool depthWriteEnabled = false;
};

class DepthStencilState {
public:
    explicit DepthStencilState(const DepthStencilDescriptor& d) : descriptor(d) {}
    const DepthStencilDescriptor descriptor;
};

struct RenderPipelineColorAttachmentDescriptor {
    PixelFormat pixelFormat = PixelFormatInvalid;
    bool blendingEnabled = false;
    BlendFactor sourceRGBBlendFactor = BlendFactorOne;
    BlendFactor destinationRGBBlendFactor = BlendFactorZero;
    BlendOperation rgbBlendOperation = BlendOperationAdd;
    BlendFactor sourceAlphaBlendFactor = BlendFactorOne;
    BlendFactor destinationAlphaBlendFactor = BlendFactorZero;
    BlendOperation alphaBlendOperation = BlendOperationAdd;
    uint32_t writeMask = ColorWriteMaskAll;
};

struct RenderPipelineDescriptor {
    std::string label;
    FunctionPtr vertexFunction;
    FunctionPtr fragmentFunction;
    uint32_t sampleCount = 1;
    bool alphaToCoverageEnabled = false;
    RenderPipelineColorAttachmentDescriptor colorAttachments[4];
    PixelFormat depthAttachmentPixelFormat = PixelFormatInvalid;
    PixelFormat stencilAttachmentPixelFormat = PixelFormatInvalid;
};

class RenderPipelineState {
public:
    explicit RenderPipelineState(const RenderPipelineDescriptor& d) : descriptor(d) {}
    const RenderPipelineDescriptor descriptor;
    const std::string& label() const { return descriptor.label; }
};

// ---------------------------------------------------------------------------------------------------
// Render passes, encoders, command buffers

struct RenderPassColorAttachment {
    TexturePtr texture;
    LoadAction loadAction = LoadActionDontCare;
    StoreAction storeAction = StoreActionDontCare;
    ClearColor clearColor;
};

struct RenderPassDepthAttachment {
    TexturePtr texture;
    LoadAction loadAction = LoadActionDontCare;
    StoreAction storeAction = StoreActionDontCare;
    double clearDepth = 1.0;
};

struct RenderPassDescriptor {
    RenderPassColorAttachment colorAttachments[4];
    RenderPassDepthAttachment depthAttachment;
    RenderPassDepthAttachment stencilAttachment;
};
using RenderPassDescriptorPtr = std::shared_ptr<RenderPassDescriptor>;

enum CommandType : uint32_t {
    CommandSetRenderPipelineState,
    CommandSetDepthStencilState,
    CommandSetCullMode,
    CommandSetViewport,
    CommandSetVertexBuffer,
    CommandSetFragmentBuffer,
    CommandSetFragmentTexture,
    CommandSetFragmentSamplerState,
    CommandDrawPrimitives,
    CommandDrawIndexedPrimitives,
    CommandEndEncoding,
};

// One encoder call as it was made. `object` is the pipeline, state, buffer, texture or sampler passed
// (none for a cleared binding); `draw` is the index of the draw record for draw commands, else -1.
struct Command {
    CommandType type;
    uint32_t index = 0;
    uint64_t offset = 0;
    const void* object = nullptr;
    int draw = -1;
    std::string text;
};

struct BufferBinding {
    BufferPtr buffer;
    uint64_t offset = 0;
};

// The bytes one function reads from one uniform buffer in one draw: instanceCount consecutive struct
// copies for a per-instance struct, else one.
struct UniformRead {
    FunctionType stage = FunctionTypeVertex;
    uint32_t index = 0;
    uint32_t structSize = 0;
    uint32_t copies = 0;
    BufferPtr buffer;
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
    const uint8_t* copy(uint32_t n) const { return bytes.data() + (size_t)n * structSize; }
};

// A byte range a draw reads, with its content hash when encoded; compared again when the GPU runs it.
struct ReadCheck {
    BufferPtr buffer;
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t hash = 0;
    std::string what;
};

struct DrawRecord {
    PrimitiveType primitive = PrimitiveTypeTriangle;
    bool indexed = false;
    uint32_t vertexStart = 0;
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    uint64_t indexBufferOffset = 0;
    BufferPtr indexBuffer;
    uint32_t instanceCount = 1;

    RenderPipelineStatePtr pipeline;
    DepthStencilStatePtr depthStencil;
    CullMode cullMode = CullModeNone;
    Viewport viewport;
    std::map<uint32_t, BufferBinding> vertexBuffers;
    std::map<uint32_t, BufferBinding> fragmentBuffers;
    std::map<uint32_t, TexturePtr> fragmentTextures;
    std::map<uint32_t, SamplerStatePtr> fragmentSamplers;

    std::vector<UniformRead> uniforms;
    std::vector<ReadCheck> reads;
    std::vector<std::string> errors;

    const UniformRead* uniform(FunctionType stage, uint32_t index) const;
    // Number of primitives this draw makes per instance.
    uint32_t elementCount() const { return indexed ? indexCount : vertexCount; }
};

class RenderCommandEncoder {
public:
    RenderCommandEncoder(std::shared_ptr<DeviceState> log, const RenderPassDescriptor& pass, uint64_t commandBuffer,
                         uint32_t number);

    void setRenderPipelineState(const RenderPipelineStatePtr& state);
    void setDepthStencilState(const DepthStencilStatePtr& state);
    void setCullMode(CullMode mode);
    void setViewport(const Viewport& viewport);
    void setVertexBuffer(const BufferPtr& buffer, uint64_t offset, uint32_t index);
    void setFragmentBuffer(const BufferPtr& buffer, uint64_t offset, uint32_t index);
    void setFragmentTexture(const TexturePtr& texture, uint32_t index);
    void setFragmentSamplerState(const SamplerStatePtr& sampler, uint32_t index);
    void drawPrimitives(PrimitiveType type, uint32_t vertexStart, uint32_t vertexCount, uint32_t instanceCount = 1);
    void drawIndexedPrimitives(PrimitiveType type, uint32_t indexCount, IndexType indexType, const BufferPtr& indexBuffer,
                               uint64_t indexBufferOffset, uint32_t instanceCount = 1);
    void endEncoding();

    // Recording.
    const RenderPassDescriptor& passDescriptor() const { return _pass; }
    const std::vector<Command>& commands() const { return _commands; }
    const std::vector<DrawRecord>& draws() const { return _draws; }
    const std::vector<std::string>& errors() const { return _errors; }
    bool ended() const { return _ended; }
    uint32_t number() const { return _number; }
    // Width and height of the attachments.
    uint32_t width() const { return _width; }
    uint32_t height() const { return _height; }
    // The commands as text, one line each.
    std::string logText() const;

    // Run by the GPU thread: every range a draw read must still hold what it held when encoded.
    void verifyReads();

private:
    bool usable(const char* call);
    void error(const std::string& text);
    void record(CommandType type, uint32_t index, uint64_t offset, const void* object, std::string text);
    void draw(DrawRecord record);
    void checkFunction(DrawRecord& record, const FunctionPtr& function, FunctionType stage);

    std::shared_ptr<DeviceState> _log;
    RenderPassDescriptor _pass;
    uint64_t _commandBuffer;
    uint32_t _number;
    uint32_t _width = 0, _height = 0;
    bool _ended = false;

    RenderPipelineStatePtr _pipeline;
    DepthStencilStatePtr _depthStencil;
    CullMode _cullMode = CullModeNone;
    Viewport _viewport;
    std::map<uint32_t, BufferBinding> _vertexBuffers, _fragmentBuffers;
    std::map<uint32_t, TexturePtr> _textures;
    std::map<uint32_t, SamplerStatePtr> _samplers;

    std::vector<Command> _commands;
    std::vector<DrawRecord> _draws;
    std::vector<std::string> _errors;
};

class Drawable {
public:
    explicit Drawable(TexturePtr texture) : _texture(std::move(texture)) {}
    const TexturePtr& texture() const { return _texture; }
    void present() { _presented = true; }
    bool presented() const { return _presented; }

private:
    TexturePtr _texture;
    std::atomic<bool> _presented{false};
};

class CommandBuffer : public std::enable_shared_from_this<CommandBuffer> {
public:
    CommandBuffer(std::shared_ptr<DeviceState> log, std::shared_ptr<GpuTimeline> gpu, uint64_t serial);

    // None (and a validation error) while the previous encoder is still open or after commit.
    RenderCommandEncoderPtr renderCommandEncoder(const RenderPassDescriptor& pass);
    void addCompletedHandler(std::function<void(CommandBuffer&)> handler);
    void presentDrawable(const DrawablePtr& drawable);
    void commit();
    void waitUntilCompleted();
    CommandBufferStatus status() const { return _status.load(); }
    uint64_t serial() const { return _serial; }
    const std::vector<RenderCommandEncoderPtr>& encoders() const { return _encoders; }
    const std::vector<DrawablePtr>& drawables() const { return _drawables; }
    // Total draws over every encoder.
    size_t drawCount() const;

    // Run by the GPU thread.
    void execute();

private:
    std::shared_ptr<DeviceState> _log;
    std::shared_ptr<GpuTimeline> _gpu;
    uint64_t _serial;
    std::vector<RenderCommandEncoderPtr> _encoders;
    std::vector<DrawablePtr> _drawables;
    std::vector<std::function<void(CommandBuffer&)>> _handlers;
    std::atomic<CommandBufferStatus> _status{CommandBufferStatusNotEnqueued};
    std::mutex _mutex;
    std::condition_variable _completed;
};

class CommandQueue {
public:
    CommandQueue(std::shared_ptr<DeviceState> log, std::shared_ptr<GpuTimeline> gpu) : _log(log), _gpu(gpu) {}
    CommandBufferPtr commandBuffer();
    // The last command buffers made by this queue, oldest first (kept for inspection).
    const std::deque<CommandBufferPtr>& history() const { return _history; }
    void setHistoryLimit(size_t limit);
    void clearHistory() { _history.clear(); }

private:
    std::shared_ptr<DeviceState> _log;
    std::shared_ptr<GpuTimeline> _gpu;
    std::deque<CommandBufferPtr> _history;
    size_t _historyLimit = 16;
    uint64_t _nextSerial = 1;
};

// ---------------------------------------------------------------------------------------------------
// Device

// Objects made by a device so far (inspection).
struct DeviceCounters {
    std::atomic<uint32_t> buffers{0}, textures{0}, samplerStates{0}, depthStencilStates{0}, pipelineStates{0},
        commandBuffers{0}, completedCommandBuffers{0};
};

class Device {
public:
    Device();
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    CommandQueuePtr newCommandQueue();
    // The application's compiled shader library; none when switched off with setHasDefaultLibrary.
    LibraryPtr newDefaultLibrary();
    // A library file: the stand-in accepts any file starting with the library magic "MTLB".
    LibraryPtr newLibraryWithFile(const std::string& path, ErrorPtr* error);
    // "Compiles" shading-language text: the library holds each known function the text defines.
    LibraryPtr newLibraryWithSource(const std::string& source, ErrorPtr* error);

    RenderPipelineStatePtr newRenderPipelineState(const RenderPipelineDescriptor& descriptor, ErrorPtr* error);
    DepthStencilStatePtr newDepthStencilState(const DepthStencilDescriptor& descriptor);
    SamplerStatePtr newSamplerState(const SamplerDescriptor& descriptor);
    // Length 0 is refused (none), as on a device.
    BufferPtr newBuffer(uint64_t length, ResourceOptions options);
    BufferPtr newBuffer(const void* bytes, uint64_t length, ResourceOptions options);
    // A texture with a zero size or more mip levels than its size allows is refused (none).
    TexturePtr newTexture(const TextureDescriptor& descriptor);

    // --- Stand-in controls and inspection -----------------------------------------------------------
    void setHasDefaultLibrary(bool has) { _hasDefaultLibrary = has; }
    // Hold back the GPU thread: committed command buffers wait until stepped or released.
    void holdGpu();
    // Let n more held-back command buffers complete.
    void stepGpu(uint32_t n);
    void releaseGpu();
    // Blocks until every committed command buffer has completed (the GPU must not be held).
    void waitGpuIdle();
    size_t pendingCommandBuffers() const;

    // Every validation error so far, in order.
    std::vector<std::string> validationErrors() const;
    size_t validationErrorCount() const;
    void clearValidationErrors();
    // Draw-time reads are hashed and checked again on the GPU thread; benchmarks may switch this off.
    void setReadChecks(bool on);

    const DeviceCounters& counters() const;

private:
    std::shared_ptr<DeviceState> _log;
    std::shared_ptr<GpuTimeline> _gpu;
    bool _hasDefaultLibrary = true;
};

// The system default device: the same object while anyone holds it, a fresh one afterwards.
// None while switched off with setSystemDefaultDeviceAvailable(false).
DevicePtr createSystemDefaultDevice();
void setSystemDefaultDeviceAvailable(bool available);

// ---------------------------------------------------------------------------------------------------
// The dispatch library's counting semaphore.

class Semaphore {
public:
    explicit Semaphore(long count) : _count(count) {}
    // Waits with no time-out.
    void wait();
    // False when the time-out passed first.
    bool waitFor(uint32_t milliseconds);
    void signal();
    long value() const;
    // Threads blocked in wait right now (inspection).
    int waiting() const;

private:
    mutable std::mutex _mutex;
    std::condition_variable _cv;
    long _count;
    int _waiting = 0;
};

// A stand-in for the layer that hands out a drawable per frame.
class MetalLayer {
public:
    explicit MetalLayer(DevicePtr device) : _device(std::move(device)) {}
    PixelFormat pixelFormat = PixelFormatBGRA8Unorm;
    uint32_t drawableWidth = 0, drawableHeight = 0;
    // A new drawable of the drawable size; none while switched off (as when the display has none free).
    DrawablePtr nextDrawable();
    void setDrawablesAvailable(bool available) { _available = available; }

private:
    DevicePtr _device;
    bool _available = true;
};

}  // namespace mtl

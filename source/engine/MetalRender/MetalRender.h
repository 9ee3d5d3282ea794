#pragma once
// The renderer on Metal. Shaders are the precompiled classes of MetalShader whose functions come
// from the shader library; uniforms travel as whole structs through per-shader rings of buffers
// (one lane per frame in flight); blending, depth test and writes live in pipeline and
// depth-stencil states built once per material and target; up to three frames are encoded or
// executing at once, and equal meshes are drawn as instances of one draw.
//
// The platform's Metal view drives it through the static entry points around every frame:
// beginDrawable, the game's frame (Render::render), presentDrawable.

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "engine/plat_linux/metal/Metal.h"
#include "engine/render/BackEndData.h"
#include "engine/render/Render.h"

class MetalShaderData;
class MetalShader;

// The texture handle: the Metal texture of an engine texture.
struct MetalTextureBox : BackEndData {
    mtl::TexturePtr texture;
};

// Buffers shared by the geometries packed into one group.
struct MetalGeometryGroup {
    mtl::BufferPtr vertexBuffer;
    mtl::BufferPtr indexBuffer;
};

// The buffers of one geometry. A dynamic geometry writes each use into a buffer pair of the
// current frame lane, so a frame still on the GPU never sees its vertices change.
struct MetalGeometryData : BackEndData {
    uint32_t indexBase = 0;  // in indices; not 0 only for packed geometry
    std::shared_ptr<MetalGeometryGroup> group;
    mtl::BufferPtr vertexBuffer;
    mtl::BufferPtr indexBuffer;

    struct BufferPair {
        mtl::BufferPtr vertices;
        mtl::BufferPtr indices;
    };
    struct Lane {
        std::vector<BufferPair> pairs;
        uint32_t used = 0;
        uint64_t frame = 0;
    };
    Lane lanes[3];
};

// An off-screen target's pass (colour and depth textures of the size rounded up to powers of two);
// for the screen also the depth-clearing quad's pipeline, depth-stencil state and vertices.
struct MetalTargetData : BackEndData {
    mtl::RenderPassDescriptorPtr passDescriptor;
    mtl::RenderPipelineStatePtr clearPipeline;
    mtl::BufferPtr clearVertices;
    mtl::DepthStencilStatePtr clearDepthStencil;
    uint16_t textureHeight = 0;
    uint16_t textureWidth = 0;
};

// A material's pipeline and depth-stencil state per render target.
struct MetalMaterialState : BackEndData {
    struct Entry {
        mtl::RenderPipelineStatePtr pipeline;
        mtl::DepthStencilStatePtr depthStencil;
        uint32_t targetFormat = 0;  // the target's colour / depth combination the entry was built for
    };
    std::map<const RenderTarget*, Entry> entries;
};

struct DepthStencilEntry {
    mtl::DepthStencilStatePtr state;
    uint8_t depthWrite = 0;
    uint8_t depthTest = 0;
};

struct SamplerEntry {
    mtl::SamplerStatePtr state;
    int32_t filter = 0;
    int32_t addressMode = 0;
    uint8_t levelCount = 0;
    int32_t maxAnisotropy = 0;
};

class MetalRender : public Render {
public:
    enum { FramesInFlight = 3, SamplerChannels = 4 };

    // ---- Entry points of the platform's Metal view and view controller ----
    // A new renderer, made the current one; a renderer made before by this entry is replaced.
    static MetalRender* create();
    static void callInit();
    // Starts a frame; passDescriptor is the view's render pass, or none without a drawable.
    static void beginDrawable(const mtl::RenderPassDescriptorPtr& passDescriptor);
    // Ends the frame; presents the drawable and commits when both are given.
    static void presentDrawable(const mtl::DrawablePtr& drawable, const mtl::RenderPassDescriptorPtr& passDescriptor);
    // The renderer the entry points act on.
    static MetalRender* instance();
    // Deletes that renderer (shutdown and tests).
    static void destroyInstance();

    MetalRender();
    ~MetalRender() override;

    // ---- Slots ----
    void beginFrame() override;
    void endFrame() override {}
    void init() override {}
    void createRenderTargets() override;
    void uploadTexture(Texture* texture) override;
    void deleteTexture(Texture* texture) override;
    void createShader(Shader* shader) override;
    void deleteShader(Shader*) override {}
    void createGeometry(Geometry* geometry) override;
    void batchGeometries(const std::vector<Geometry*>& geometries) override;
    void setShader(Shader* shader) override;
    void commitUniforms(Shader* shader) override;
    void enableCulling() override;
    void enableBlend() override {}
    void enableDepthWrite() override {}
    void enableColorWrite() override {}
    void enableDepthTest() override {}
    void beginStencilWrite() override {}
    void beginStencilTest() override {}
    void disableCulling() override;
    void disableBlend() override {}
    void disableDepthWrite() override {}
    void disableColorWrite() override {}
    void disableDepthTest() override {}
    void endStencilWrite() override {}
    void endStencilTest() override {}
    void setCullFace(int face) override;
    void beginRenderTarget(RenderTarget* target) override;
    void finishRenderTarget(RenderTarget*) override {}
    void setBlendFunc(int) override {}
    void useShader(Shader* shader) override;
    void renderMeshes(const std::vector<Mesh*>& meshes) override;
    void applyMaterial(Material* material) override;
    void bindGeometry(Geometry* geometry) override;
    void bindTexture(int channel, Texture* texture) override;
    void drawTriangles(int32_t firstIndex, int32_t indexCount) override;
    void drawLines(int32_t firstIndex, int32_t indexCount) override;
    int queryReserved() override { return 0; }
    void uploadUniform(ShaderUniform*) override {}

    // ---- Frame ----
    void beginDrawableFrame(const mtl::RenderPassDescriptorPtr& passDescriptor);
    void presentDrawableFrame(const mtl::DrawablePtr& drawable, const mtl::RenderPassDescriptorPtr& passDescriptor);

    // ---- Targets and materials ----
    void createTargetData(RenderTarget* target);
    void bindMaterial(Material* material);

    // ---- Uniforms ----
    // Writes the changed structs of a shader (and the per-instance one of every mesh) into the
    // current lane and binds them; pendingInstances copies of a batch precede this one.
    void applyShader(Shader* shader, uint32_t pendingInstances);
    void resetUniformBlocks(uint32_t lane);

    // ---- Textures ----
    void uploadTextureData(Texture* texture, const mtl::TexturePtr& metalTexture);
    mtl::SamplerStatePtr getSamplerState(Texture* texture);
    void setFragmentSamplerState(int channel, const mtl::SamplerStatePtr& state);

    // ---- State ----
    mtl::DevicePtr device;
    mtl::CommandQueuePtr commandQueue;
    mtl::LibraryPtr library;
    mtl::PixelFormat depthPixelFormat = mtl::PixelFormatDepth32Float;
    mtl::SemaphorePtr inFlight;
    uint32_t frameIndex = 0;
    mtl::RenderCommandEncoderPtr encoder;
    std::vector<SamplerEntry> samplerCache;
    mtl::CommandBufferPtr commandBuffer;
    mtl::RenderPassDescriptorPtr screenPassDescriptor;
    std::vector<DepthStencilEntry> depthStencilCache;
    mtl::SamplerStatePtr boundSamplers[SamplerChannels];
    mtl::DepthStencilStatePtr boundDepthStencil;
    mtl::RenderPipelineStatePtr boundPipeline;
    mtl::BufferPtr boundVertexBuffer;
    mtl::CullMode cullMode = mtl::CullModeFront;
    mtl::BufferPtr indexBuffer;
    uint32_t indexBase = 0;
    // The back-end data of the current shader; null while the current shader cannot be drawn
    // here (a shader that is not a Metal shader class), and every draw is then skipped.
    MetalShaderData* currentData = nullptr;
    // Serial of the current encoder (process-wide, never reused) and of the current frame.
    uint64_t encoderSerial = 0;
    uint64_t frameSerial = 0;
    // The committed command buffer that last used each lane.
    mtl::CommandBufferPtr laneCommandBuffer[FramesInFlight];

private:
    void forgetBoundState();
    void clearScreenDepth(RenderTarget* target, MetalTargetData* data);
    void drawPrimitive(mtl::PrimitiveType type, int32_t firstIndex, int32_t indexCount, uint32_t instances);
    // True when a batch pending for this shader must be drawn before the next mesh's structs.
    bool batchMustBreak(MetalShader* shader, MetalShaderData* data);
    static uint32_t targetFormat(const RenderTarget* target);

    bool _framePermitHeld = false;
    std::set<const Shader*> _refusedShaders;
    std::set<const Texture*> _skippedTextures;
    std::vector<uint8_t> _batchVertices;
    std::vector<uint8_t> _batchIndices;
};

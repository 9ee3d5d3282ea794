// Textures of the Metal renderer: Metal textures by texture type, level uploads, and the cache of
// sampler states shared by every texture with the same sampling.

#include <algorithm>

#include "engine/MetalRender/MetalRender.h"
#include "engine/render/Texture.h"
#include "engine/utils.h"

static const char* const kMetalRenderSource = "source/engine/MetalRender/MetalRender";

static uint32_t maxLevelsFor(uint32_t size) {
    uint32_t n = 1;
    while (size > 1) {
        size >>= 1;
        ++n;
    }
    return n;
}

static MetalTextureBox* boxOf(Texture* texture) {
    return texture ? static_cast<MetalTextureBox*>(texture->_deviceTexture) : nullptr;
}

// Slices of a volume texture: square slices of width x width stacked vertically; at least one,
// also when the image is shorter than it is wide.
static uint32_t volumeDepth(const Texture* texture) {
    uint32_t slices = texture->_width ? texture->_height / texture->_width : 0;
    return std::max(1u, slices);
}

void MetalRender::uploadTexture(Texture* texture) {
    if (!texture || texture->_deviceTexture)
        return;
    uint32_t w = texture->_width, h = texture->_height;
    uint32_t levels = std::max<uint32_t>(1, texture->_levelCount);

    mtl::TextureDescriptor d;
    bool hasFormat = true;
    switch (texture->_format) {
        case TextureRGB:
        case TextureRGBA:
            d = mtl::TextureDescriptor::texture2D(mtl::PixelFormatRGBA8Unorm, w, h, levels != 1);
            break;
        case TextureRGBColorizer:
        case TextureRGBAColorizer:
            d = mtl::TextureDescriptor::texture2D(mtl::PixelFormatRGBA8Unorm, w, w, levels != 1);
            d.textureType = mtl::TextureType3D;
            d.depth = volumeDepth(texture);
            break;
        case TexturePVRTC4RGB:
            d = mtl::TextureDescriptor::texture2D(mtl::PixelFormatPVRTC_RGB_4BPP, w, h, true);
            break;
        case TexturePVRTC4RGBA:
            d = mtl::TextureDescriptor::texture2D(mtl::PixelFormatPVRTC_RGBA_4BPP, w, h, false);
            break;
        default:
            hasFormat = false;
            break;
    }

    auto* box = new MetalTextureBox();
    if (hasFormat && w && h) {
        uint32_t largest = std::max(d.width, std::max(d.height, d.textureType == mtl::TextureType3D ? d.depth : 1u));
        uint32_t possible = maxLevelsFor(largest);
        if (levels > possible) {
            Logger::error("[MetalRender::uploadTexture] %u levels for a %u x %u texture; %u kept", levels, w, h, possible);
            levels = possible;
        }
        d.mipmapLevelCount = levels;
        box->texture = device->newTexture(d);
        if (box->texture)
            uploadTextureData(texture, box->texture);
    }
    texture->_deviceTexture = box;
    getSamplerState(texture);
    texture->_reload = 0;
}

void MetalRender::uploadTextureData(Texture* texture, const mtl::TexturePtr& metalTexture) {
    uint32_t levels = metalTexture->mipmapLevelCount();
    for (uint32_t i = 0; i < levels; ++i) {
        if (i >= texture->_levels.size() || i >= texture->_levelCount || !texture->_levels[i])
            continue;
        const uint8_t* src = texture->_levels[i];
        // Level sizes never drop below 1, as the texture's own level data does.
        uint32_t lw = texture->levelWidth((int)i), lh = texture->levelHeight((int)i);
        switch (texture->_format) {
            case TextureRGB:
                for (uint32_t y = 0; y < lh; ++y)
                    for (uint32_t x = 0; x < lw; ++x) {
                        const uint8_t* p = src + ((size_t)y * lw + x) * 3;
                        const uint8_t rgba[4] = {p[0], p[1], p[2], 255};
                        metalTexture->replaceRegion(mtl::Region::make2D(x, y, 1, 1), i, rgba, 4);
                    }
                break;
            case TextureRGBColorizer: {
                // Slices of level i are lw x lw; rows beyond the level's data are left alone.
                uint32_t depth = std::max(1u, volumeDepth(texture) >> i);
                for (uint32_t z = 0; z < depth; ++z)
                    for (uint32_t y = 0; y < lw; ++y) {
                        uint64_t row = (uint64_t)z * lw + y;
                        if (row >= lh)
                            break;
                        for (uint32_t x = 0; x < lw; ++x) {
                            const uint8_t* p = src + (row * lw + x) * 3;
                            const uint8_t rgba[4] = {p[0], p[1], p[2], 255};
                            metalTexture->replaceRegion(mtl::Region::make3D(x, y, z, 1, 1, 1), i, 0, rgba, 4, 4);
                        }
                    }
                break;
            }
            case TextureRGBAColorizer: {
                uint32_t depth = std::max(1u, volumeDepth(texture) >> i);
                for (uint32_t z = 0; z < depth; ++z) {
                    uint64_t firstRow = (uint64_t)z * lw;
                    if (firstRow >= lh)
                        break;
                    uint32_t rows = (uint32_t)std::min<uint64_t>(lw, lh - firstRow);
                    metalTexture->replaceRegion(mtl::Region::make3D(0, 0, z, lw, rows, 1), i, 0,
                                                src + firstRow * lw * 4, lw * 4, lw * rows * 4);
                }
                break;
            }
            case TextureRGBA:
                metalTexture->replaceRegion(mtl::Region::make2D(0, 0, lw, lh), i, src, lw * 4);
                break;
            case TexturePVRTC4RGB:
            case TexturePVRTC4RGBA:
                metalTexture->replaceRegion(mtl::Region::make2D(0, 0, lw, lh), i, src, 0);
                break;
            default:
                break;
        }
    }
}

void MetalRender::deleteTexture(Texture* texture) {
    if (!texture)
        return;
    delete texture->_deviceTexture;
    texture->_deviceTexture = nullptr;
    for (Texture*& t : boundTextures)
        if (t == texture)
            t = nullptr;
}

mtl::SamplerStatePtr MetalRender::getSamplerState(Texture* texture) {
    // The levels the GPU samples: those of the Metal texture (the memory copy is usually freed by
    // now, and with it the texture's own level count).
    MetalTextureBox* box = boxOf(texture);
    uint8_t levels = box && box->texture ? (uint8_t)box->texture->mipmapLevelCount() : texture->_levelCount;
    int32_t aniso = (int32_t)texture->_maxAniso;
    for (const SamplerEntry& e : samplerCache)
        if (e.filter == texture->_filter && e.addressMode == texture->_addressMode && e.levelCount == levels &&
            e.maxAnisotropy == aniso)
            return e.state;

    mtl::SamplerDescriptor d;
    // Metal takes 1 to 16.
    d.maxAnisotropy = (uint32_t)std::min(16, std::max(1, aniso + 1));
    if (texture->_filter == FilterLinear) {
        d.minFilter = d.magFilter = mtl::SamplerMinMagFilterLinear;
        d.mipFilter = mtl::SamplerMipFilterLinear;
    } else if (texture->_filter == FilterNearest) {
        d.minFilter = d.magFilter = mtl::SamplerMinMagFilterNearest;
        d.mipFilter = mtl::SamplerMipFilterNearest;
    }
    if (levels < 2)
        d.mipFilter = mtl::SamplerMipFilterNotMipmapped;
    if (texture->_addressMode == AddressRepeat)
        d.sAddressMode = d.tAddressMode = d.rAddressMode = mtl::SamplerAddressModeRepeat;
    else if (texture->_addressMode == AddressClamp)
        d.sAddressMode = d.tAddressMode = d.rAddressMode = mtl::SamplerAddressModeClampToEdge;

    SamplerEntry entry;
    entry.state = device->newSamplerState(d);
    entry.filter = texture->_filter;
    entry.addressMode = texture->_addressMode;
    entry.levelCount = levels;
    entry.maxAnisotropy = aniso;
    samplerCache.push_back(entry);
    return entry.state;
}

void MetalRender::setFragmentSamplerState(int channel, const mtl::SamplerStatePtr& state) {
    XAssert(channel >= 0 && channel < SamplerChannels ? 1 : 0, "channel < 4", kMetalRenderSource, 796);
    if (!encoder || boundSamplers[channel] == state)
        return;
    encoder->setFragmentSamplerState(state, (uint32_t)channel);
    boundSamplers[channel] = state;
}

void MetalRender::bindTexture(int channel, Texture* texture) {
    if (channel < 0 || channel >= SamplerChannels) {
        if (texture && _skippedTextures.insert(texture).second)
            Logger::error("[MetalRender::bindTexture] texture channel %d: only channels 0 to 3 exist, texture skipped",
                          channel);
        return;
    }
    if (!texture) {
        if (encoder)
            encoder->setFragmentTexture(nullptr, (uint32_t)channel);
        return;
    }
    if (!texture->_deviceTexture)
        uploadTexture(texture);
    MetalTextureBox* box = boxOf(texture);
    if (texture->_reload) {
        if (box && box->texture)
            uploadTextureData(texture, box->texture);
        texture->_reload = 0;
    }
    if (!encoder)
        return;
    // A texture with no Metal format has nothing to sample: the channel is left empty.
    encoder->setFragmentTexture(box ? box->texture : nullptr, (uint32_t)channel);
    setFragmentSamplerState(channel, getSamplerState(texture));
}

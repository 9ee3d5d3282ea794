#pragma once
// An image in memory (one or more mip levels in one of seven formats), its sampling settings
// and, once uploaded, the back end's device texture. Decoded from PVR version 3 (PVRTC 4 bpp or
// ETC1, with their stored levels), PNG (8-bit RGB or RGBA, through libpng) and TGA (24 or 32
// bits, raw or run-length). The memory copy is usually released right after the upload.

#include <cstdint>
#include <vector>

#include "engine/render/BackEndData.h"

class File;

enum TextureFormat {
    TextureRGB = 0,                // 3 bytes a pixel
    TextureRGBColorizer = 1,       // as RGB, uploaded like it
    TextureRGBA = 2,               // 4 bytes a pixel
    TextureRGBAColorizer = 3,      // as RGBA, uploaded like it
    TexturePVRTC4RGB = 4,          // (max(h,8) * max(w,8) * 4 + 7) / 8 bytes a level
    TexturePVRTC4RGBA = 5,         // as 4
    TextureETC1 = 6,               // ceil(h/4) * ceil(w/4) * 8 bytes a level
    TextureNone = 7                // not loaded
};

enum TextureFilter { FilterLinear = 0, FilterNearest = 1 };
enum TextureAddressMode { AddressRepeat = 0, AddressClamp = 1 };

class Texture {
public:
    Texture();
    // Frees any level data still held and deletes the device-texture record.
    virtual ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Decodes the file (chosen by its first bytes: "PVR", "?PNG", else TGA) when the texture
    // holds nothing yet; a loaded texture is left alone. A file that cannot be decoded is
    // logged and leaves the format none.
    virtual void load(File& file);

    // Releases every level and the level list; levelsLoaded and format stay.
    void freeData();
    // Box-filtered mip chain of an uncompressed RGB/RGBA image, down to 1 x 1.
    void generateMipMaps();
    // RGB becomes RGB colorizer, RGBA becomes RGBA colorizer; other formats stay.
    void setColorizer();

    // Size of level i: each side halved i times, never below 1.
    uint32_t levelWidth(int level) const;
    uint32_t levelHeight(int level) const;
    // Bytes of one level of a format at a size; 0 for a format without a defined size.
    static uint64_t levelBytes(int format, uint32_t width, uint32_t height);
    static uint32_t bytesPerPixel(int format);  // 3 or 4 for the uncompressed formats, else 0

    uint8_t _reload = 0;    // the next bind or ResourceManager::uploadAll uploads again
    int32_t _filter = FilterLinear;
    int32_t _addressMode = AddressRepeat;
    uint8_t _levelCount = 0;
    uint8_t _levelsLoaded = 0;
    int32_t _format = TextureNone;
    uint16_t _width = 0;   // of level 0
    uint16_t _height = 0;
    float _maxAniso = 0;    // 0 = off
    uint8_t _generateMipMaps = 0;
    // The sampling was copied from another texture this one stands in for (an atmosphere's
    // replacement), so a device copy made after that already samples as the stand-in should.
    uint8_t _samplingAdopted = 0;
    // Level data allocated with malloc, level 0 first; _levelCount entries.
    std::vector<uint8_t*> _levels;
    // The back end's device texture; null until uploaded.
    BackEndData* _deviceTexture = nullptr;

private:
    void loadPVR(File& file);
    void loadPNG(File& file);
    void loadTGA(File& file);
    void setLevels(int count);
};

#include "engine/render/Texture.h"

#include <png.h>

#include <algorithm>
#include <cinttypes>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/file.h"
#include "engine/utils.h"

// The largest side any image may claim, whatever the device could take: a header alone must
// not make the decoder allocate gigabytes before a pixel has been read (8192 x 8192 RGBA is
// 256 MiB). The same bound holds for every format.
static const uint32_t kMaxSide = 8192;

Texture::Texture() {}

Texture::~Texture() {
    for (uint8_t* level : _levels)
        std::free(level);
    delete _deviceTexture;
}

uint32_t Texture::levelWidth(int level) const {
    uint32_t w = (uint32_t)_width >> level;
    return w ? w : 1;
}

uint32_t Texture::levelHeight(int level) const {
    uint32_t h = (uint32_t)_height >> level;
    return h ? h : 1;
}

uint32_t Texture::bytesPerPixel(int format) {
    switch (format) {
    case TextureRGB:
    case TextureRGBColorizer:
        return 3;
    case TextureRGBA:
    case TextureRGBAColorizer:
        return 4;
    default:
        return 0;
    }
}

uint64_t Texture::levelBytes(int format, uint32_t width, uint32_t height) {
    switch (format) {
    case TextureRGB:
    case TextureRGBColorizer:
    case TextureRGBA:
    case TextureRGBAColorizer:
        return (uint64_t)width * height * bytesPerPixel(format);
    case TexturePVRTC4RGB:
    case TexturePVRTC4RGBA:
        return ((uint64_t)std::max(height, 8u) * std::max(width, 8u) * 4 + 7) / 8;
    case TextureETC1:
        return (uint64_t)((height + 3) / 4) * ((width + 3) / 4) * 8;
    default:
        return 0;
    }
}

void Texture::setLevels(int count) {
    for (uint8_t* level : _levels)
        std::free(level);
    _levels.assign((size_t)count, nullptr);
    _levelCount = (uint8_t)count;
    _levelsLoaded = (uint8_t)count;
}

static uint64_t bytesLeft(File& file) {
    long pos = file.tell();
    if (pos < 0 || (uint64_t)pos >= file.size())
        return 0;
    return file.size() - (uint64_t)pos;
}

void Texture::load(File& file) {
    if (_format != TextureNone)
        return;
    long start = file.tell();
    uint8_t magic[4] = {0, 0, 0, 0};
    file.read(magic, 4, 0);
    file.seek(start);
    if (std::memcmp(magic, "PVR", 3) == 0)
        loadPVR(file);
    else if (std::memcmp(magic + 1, "PNG", 3) == 0)
        loadPNG(file);
    else
        loadTGA(file);
}

void Texture::freeData() {
    for (uint8_t* level : _levels)
        std::free(level);
    _levels.clear();
    _levelCount = 0;
}

void Texture::setColorizer() {
    if (_format == TextureRGB)
        _format = TextureRGBColorizer;
    else if (_format == TextureRGBA)
        _format = TextureRGBAColorizer;
}

void Texture::generateMipMaps() {
    _generateMipMaps = 1;
    if (_levelsLoaded != 1 || _levels.empty() || !_levels[0])
        return;
    if (_format != TextureRGB && _format != TextureRGBColorizer && _format != TextureRGBA)
        return;
    if (_width < 2 || _height < 2)
        return;
    const uint32_t bpp = bytesPerPixel(_format);
    uint32_t w = _width, h = _height;
    // The chain goes on until both sides are 1: a non-square image whose short side reached 1
    // keeps halving the long side, or OpenGL ES would treat the texture as incomplete.
    while (w > 1 || h > 1) {
        uint32_t nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
        const uint8_t* src = _levels.back();
        uint8_t* dst = static_cast<uint8_t*>(std::malloc((size_t)nw * nh * bpp));
        if (!dst) {
            Logger::error("[Texture::generateMipMaps] out of memory for a %ux%u level", nw, nh);
            break;
        }
        const size_t srcRow = (size_t)w * bpp;
        for (uint32_t y = 0; y < nh; ++y) {
            const uint8_t* r0 = src + (size_t)(2 * y) * srcRow;
            const uint8_t* r1 = src + (size_t)std::min(2 * y + 1, h - 1) * srcRow;
            uint8_t* out = dst + (size_t)y * nw * bpp;
            for (uint32_t x = 0; x < nw; ++x) {
                const size_t c0 = (size_t)(2 * x) * bpp;
                const size_t c1 = (size_t)std::min(2 * x + 1, w - 1) * bpp;
                for (uint32_t c = 0; c < bpp; ++c) {
                    // The average of four bytes truncated toward zero: exact in integers.
                    unsigned sum = r0[c0 + c] + r0[c1 + c] + r1[c0 + c] + r1[c1 + c];
                    out[x * bpp + c] = (uint8_t)(sum / 4);
                }
            }
        }
        _levels.push_back(dst);
        w = nw;
        h = nh;
    }
    _levelCount = _levelsLoaded = (uint8_t)_levels.size();
}

// ---- PVR version 3 ----

void Texture::loadPVR(File& file) {
    uint8_t h[52];
    if (!file.read(h, sizeof(h), 0)) {
        Logger::error("[Texture::load] PVR header truncated");
        return;
    }
    auto u32 = [&](int at) {
        return (uint32_t)h[at] | ((uint32_t)h[at + 1] << 8) | ((uint32_t)h[at + 2] << 16) | ((uint32_t)h[at + 3] << 24);
    };
    uint32_t formatLow = u32(8), formatHigh = u32(12);
    uint32_t height = u32(24), width = u32(28);
    uint32_t mipMapCount = u32(44), metaDataSize = u32(48);

    int format = TextureNone;
    if (formatHigh == 0) {
        if (formatLow == 2)
            format = TexturePVRTC4RGB;
        else if (formatLow == 3)
            format = TexturePVRTC4RGBA;
        else if (formatLow == 6)
            format = TextureETC1;
    }
    // Refused before any level is read: only these formats have a known level size.
    if (format == TextureNone) {
        Logger::error("[Texture::load] PVR pixel format %u:%u is not supported", formatHigh, formatLow);
        return;
    }
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
        Logger::error("[Texture::load] PVR size %ux%u is outside 1..%u", width, height, kMaxSide);
        return;
    }
    uint32_t maxLevels = 1;
    for (uint32_t side = std::max(width, height); side > 1; side /= 2)
        ++maxLevels;
    if (mipMapCount == 0 || mipMapCount > maxLevels) {
        Logger::error("[Texture::load] PVR level count %u does not fit a %ux%u image", mipMapCount, width, height);
        return;
    }
    _width = (uint16_t)width;
    _height = (uint16_t)height;
    uint64_t total = metaDataSize;
    for (uint32_t i = 0; i < mipMapCount; ++i)
        total += levelBytes(format, levelWidth((int)i), levelHeight((int)i));
    uint64_t left = bytesLeft(file);
    if (total > left) {
        Logger::error("[Texture::load] PVR data truncated: %" PRIu64 " bytes needed, %" PRIu64 " left", total, left);
        _width = _height = 0;
        return;
    }
    file.skip(metaDataSize);
    setLevels((int)mipMapCount);
    for (uint32_t i = 0; i < mipMapCount; ++i) {
        size_t n = (size_t)levelBytes(format, levelWidth((int)i), levelHeight((int)i));
        _levels[i] = static_cast<uint8_t*>(std::malloc(n));
        if (!_levels[i] || !file.read(_levels[i], n, 0)) {
            Logger::error("[Texture::load] PVR level %u could not be read", i);
            freeData();
            _levelsLoaded = 0;
            _width = _height = 0;
            return;
        }
    }
    _format = format;
}

// ---- PNG through libpng ----

namespace {

void pngRead(png_structp png, png_bytep data, png_size_t length) {
    File* file = static_cast<File*>(png_get_io_ptr(png));
    if (!file->read(data, length, 0))
        png_error(png, "file truncated");
}

// libpng explains a refused header in warnings before its one error ("Invalid IHDR data"); the
// last warning is kept so the error line can say why.
struct PngMessages {
    char lastWarning[128] = {0};
};

void pngError(png_structp png, png_const_charp message) {
    PngMessages* messages = static_cast<PngMessages*>(png_get_error_ptr(png));
    if (messages && messages->lastWarning[0])
        Logger::error("[Texture::load] PNG: %s (%s)", message, messages->lastWarning);
    else
        Logger::error("[Texture::load] PNG: %s", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp png, png_const_charp message) {
    PngMessages* messages = static_cast<PngMessages*>(png_get_error_ptr(png));
    if (messages && message)
        std::snprintf(messages->lastWarning, sizeof(messages->lastWarning), "%s", message);
}

struct PngImage {
    uint8_t* pixels = nullptr;
    uint32_t width = 0, height = 0;
    int format = TextureNone;
};

// Plain C locals only between setjmp and any longjmp out of libpng.
bool decodePng(File& file, PngImage& image) {
    PngMessages messages;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &messages, pngError, pngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    uint8_t* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        std::free(pixels);
        std::free(rows);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &file, pngRead);
    // libpng itself refuses a larger header, before it or we allocate anything for the rows.
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (width > kMaxSide || height > kMaxSide) {
        Logger::error("[Texture::load] PNG size %ux%u is beyond %u on a side", (unsigned)width, (unsigned)height,
                      kMaxSide);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    if (bitDepth != 8 || (colorType != PNG_COLOR_TYPE_RGB && colorType != PNG_COLOR_TYPE_RGBA)) {
        Logger::error("[Texture::load] PNG colour type %d with %d-bit channels is not supported (8-bit RGB or RGBA)",
                      colorType, bitDepth);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    // Adam7 files arrive in seven passes; libpng merges them into whole rows.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const uint32_t bpp = colorType == PNG_COLOR_TYPE_RGBA ? 4 : 3;
    const size_t rowBytes = (size_t)width * bpp;
    if (png_get_rowbytes(png, info) != rowBytes)
        png_error(png, "unexpected row size");
    pixels = static_cast<uint8_t*>(std::calloc((size_t)height, rowBytes));
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!pixels || !rows)
        png_error(png, "out of memory");
    for (uint32_t y = 0; y < height; ++y)
        rows[y] = pixels + (size_t)y * rowBytes;
    png_read_image(png, rows);
    png_read_end(png, nullptr);

    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    image.pixels = pixels;
    image.width = width;
    image.height = height;
    image.format = bpp == 4 ? TextureRGBA : TextureRGB;
    return true;
}

}  // namespace

void Texture::loadPNG(File& file) {
    long start = file.tell();
    uint8_t signature[8];
    bool isPng = file.read(signature, 8, 0) && png_sig_cmp(signature, 0, 8) == 0;
    file.seek(start);
    if (!isPng) {
        Logger::error("[Texture::load] PNG signature missing");
        return;
    }
    PngImage image;
    if (!decodePng(file, image))
        return;
    setLevels(1);
    _levels[0] = image.pixels;
    _width = (uint16_t)image.width;
    _height = (uint16_t)image.height;
    _format = image.format;
}

// ---- TGA ----

void Texture::loadTGA(File& file) {
    static const uint8_t kRaw[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    static const uint8_t kRle[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t header[12];
    if (!file.read(header, sizeof(header), 0)) {
        Logger::error("[Texture::load] TGA header truncated");
        return;
    }
    bool rle = std::memcmp(header, kRle, 12) == 0;
    if (!rle && std::memcmp(header, kRaw, 12) != 0) {
        Logger::error("[Texture::load] TGA is neither an uncompressed nor a run-length true-colour image");
        return;
    }
    uint8_t info[6];
    if (!file.read(info, sizeof(info), 0)) {
        Logger::error("[Texture::load] TGA header truncated");
        return;
    }
    uint32_t width = info[0] | (info[1] << 8);
    uint32_t height = info[2] | (info[3] << 8);
    int format = info[4] == 24 ? TextureRGB : info[4] == 32 ? TextureRGBA : TextureNone;
    if (format == TextureNone) {
        Logger::error("[Texture::load] TGA with %u bits a pixel is not supported (24 or 32)", (unsigned)info[4]);
        return;
    }
    if (width == 0 || height == 0) {
        Logger::error("[Texture::load] TGA size %ux%u is empty", width, height);
        return;
    }
    if (width > kMaxSide || height > kMaxSide) {
        Logger::error("[Texture::load] TGA size %ux%u is beyond %u on a side", width, height, kMaxSide);
        return;
    }
    const uint32_t bpp = bytesPerPixel(format);
    const uint64_t pixelCount = (uint64_t)width * height;
    const uint64_t left = bytesLeft(file);
    // A run packet of 1 + bpp bytes gives at most 128 pixels: a file that cannot hold the image
    // is refused before its pixels are allocated.
    uint64_t canHold = rle ? left / (1 + bpp) * 128 : left / bpp;
    if (pixelCount > canHold) {
        Logger::error("[Texture::load] TGA data truncated: %ux%u pixels, %" PRIu64 " bytes left", width, height,
                      left);
        return;
    }
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc((size_t)(pixelCount * bpp)));
    if (!pixels) {
        Logger::error("[Texture::load] out of memory for a %ux%u TGA", width, height);
        return;
    }
    if (!rle) {
        if (!file.read(pixels, (size_t)(pixelCount * bpp), 0)) {
            Logger::error("[Texture::load] TGA data truncated");
            std::free(pixels);
            return;
        }
    } else {
        std::vector<uint8_t> data((size_t)left);
        if (left && !file.read(data.data(), (size_t)left, 0)) {
            Logger::error("[Texture::load] TGA data truncated");
            std::free(pixels);
            return;
        }
        size_t in = 0;
        uint64_t written = 0;
        bool ok = true;
        while (written < pixelCount) {
            if (in >= data.size()) {
                ok = false;
                break;
            }
            uint8_t packet = data[in++];
            // A packet never writes past the last pixel of the image.
            uint64_t count = std::min<uint64_t>(packet >= 128 ? packet - 127u : packet + 1u, pixelCount - written);
            if (packet >= 128) {
                if (in + bpp > data.size()) {
                    ok = false;
                    break;
                }
                for (uint64_t i = 0; i < count; ++i)
                    std::memcpy(pixels + (written + i) * bpp, &data[in], bpp);
                in += bpp;
            } else {
                if (in + count * bpp > data.size()) {
                    ok = false;
                    break;
                }
                std::memcpy(pixels + written * bpp, &data[in], (size_t)(count * bpp));
                in += (size_t)((packet + 1u) * bpp);
            }
            written += count;
        }
        if (!ok) {
            Logger::error("[Texture::load] TGA run-length data truncated");
            std::free(pixels);
            return;
        }
    }
    // The file stores BGR(A).
    for (uint64_t i = 0; i < pixelCount; ++i)
        std::swap(pixels[i * bpp], pixels[i * bpp + 2]);
    // Rows are reversed whatever the descriptor's origin bits say.
    const size_t rowBytes = (size_t)width * bpp;
    std::vector<uint8_t> scratch(rowBytes);
    for (uint32_t k = 0; k < height / 2; ++k) {
        uint8_t* a = pixels + (size_t)k * rowBytes;
        uint8_t* b = pixels + (size_t)(height - 1 - k) * rowBytes;
        std::memcpy(scratch.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, scratch.data(), rowBytes);
    }
    setLevels(1);
    _levels[0] = pixels;
    _width = (uint16_t)width;
    _height = (uint16_t)height;
    _format = format;
}

#include "support_RenderFixtures.h"

#include <png.h>

#include <cstring>

#include "engine/utils.h"

namespace renderfixtures {

static void pngWriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

static void pngFlush(png_structp) {}

std::vector<uint8_t> makePng(const PngSpec& spec) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngWriteToVector, pngFlush);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (spec.colorType == PNG_COLOR_TYPE_PALETTE) {
        for (size_t i = 0; i + 2 < spec.palette.size(); i += 3)
            palette.push_back(png_color{spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
        png_set_PLTE(png, info, palette.data(), (int)palette.size());
    }
    png_write_info(png, info);
    int channels = png_get_channels(png, info);
    size_t rowBytes = ((size_t)spec.width * channels * spec.bitDepth + 7) / 8;
    std::vector<png_bytep> rows(spec.height);
    for (uint32_t y = 0; y < spec.height; ++y)
        rows[y] = const_cast<png_bytep>(spec.pixels.data() + y * rowBytes);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> pattern(uint32_t w, uint32_t h, uint32_t channels, uint32_t seed) {
    std::vector<uint8_t> p((size_t)w * h * channels);
    uint32_t s = seed * 2654435761u + 12345;
    for (size_t i = 0; i < p.size(); ++i) {
        s = s * 1103515245u + 12345u;
        p[i] = (uint8_t)(s >> 16);
    }
    return p;
}

std::vector<uint8_t> tgaHeader(uint8_t imageType, uint16_t width, uint16_t height, uint8_t bits, uint8_t descriptor) {
    testsupport::ByteWriter w;
    for (int i = 0; i < 12; ++i)
        w.u8(i == 2 ? imageType : 0);
    w.u16(width);
    w.u16(height);
    w.u8(bits);
    w.u8(descriptor);
    return w.bytes;
}

std::vector<uint8_t> pvrHeader(uint32_t formatLow, uint32_t formatHigh, uint32_t width, uint32_t height,
                               uint32_t mipMapCount, uint32_t metaDataSize) {
    testsupport::ByteWriter w;
    w.u32(0x03525650);  // "PVR" 3
    w.u32(0);           // flags
    w.u32(formatLow);
    w.u32(formatHigh);
    w.u32(0);  // colour space
    w.u32(0);  // channel type
    w.u32(height);
    w.u32(width);
    w.u32(1);  // depth
    w.u32(1);  // surfaces
    w.u32(1);  // faces
    w.u32(mipMapCount);
    w.u32(metaDataSize);
    for (uint32_t i = 0; i < metaDataSize; ++i)
        w.u8(0);
    return w.bytes;
}

std::vector<uint8_t> meshV1(const MeshSpec& spec) {
    testsupport::ByteWriter w;
    w.raw("v1.0");
    w.u16((uint16_t)spec.attributes.size());
    for (const MeshAttr& a : spec.attributes) {
        w.str16(a.name);
        w.u16(a.components);
        w.u16(a.type);
    }
    w.u32(spec.vertexCount);
    w.u16(spec.indexCount);
    w.raw(spec.vertexBytes.data(), spec.vertexBytes.size());
    for (uint16_t i : spec.indices)
        w.u16(i);
    for (uint16_t i : spec.adjacency.empty() ? spec.indices : spec.adjacency)
        w.u16(i);
    for (float f : spec.bounds)
        w.f32(f);
    return w.bytes;
}

std::vector<uint8_t> meshLegacy(uint32_t floatCount, const std::vector<float>& floats,
                                const std::vector<uint16_t>& indices, const float bounds[6]) {
    testsupport::ByteWriter w;
    w.u32(floatCount);
    w.u16((uint16_t)indices.size());
    for (float f : floats)
        w.f32(f);
    for (int pass = 0; pass < 2; ++pass)
        for (uint16_t i : indices)
            w.u16(i);
    for (int i = 0; i < 6; ++i)
        w.f32(bounds[i]);
    return w.bytes;
}

std::vector<uint8_t> floatBytes(const std::vector<float>& values) {
    testsupport::ByteWriter w;
    for (float f : values)
        w.f32(f);
    return w.bytes;
}

FixtureFile::FixtureFile(const std::vector<uint8_t>& bytes, const char* mode) : _path(_dir.file("fixture")) {
    testsupport::writeFile(_path, bytes);
    _file.open(_path.c_str(), mode, StoreRaw, 1);
}

FixtureFile::FixtureFile(const std::string& text, const char* mode) : _path(_dir.file("fixture")) {
    testsupport::writeFile(_path, text);
    _file.open(_path.c_str(), mode, StoreRaw, 1);
}

}  // namespace renderfixtures

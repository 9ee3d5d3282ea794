#pragma once
// PNG output of the content tools (sample textures, glyph pages). Header only, so a tool that
// writes images needs nothing but libpng.

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace contentwriter {

// Writes width x height 8-bit pixels, top row first, three bytes a pixel (RGB) or four (RGBA).
// compressionLevel is zlib's 0 to 9, or -1 for libpng's default. False when the pixels do not
// fill the image or the file cannot be written completely.
inline bool writePng(const std::string& path, int width, int height, bool alpha, const std::vector<uint8_t>& pixels,
                     int compressionLevel = -1) {
    if (width <= 0 || height <= 0)
        return false;
    const size_t rowBytes = (size_t)width * (alpha ? 4 : 3);
    if (pixels.size() < rowBytes * (size_t)height)
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (compressionLevel >= 0)
        png_set_compression_level(png, compressionLevel);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, (png_const_bytep)(pixels.data() + (size_t)y * rowBytes));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace contentwriter

// Texture decoding (PNG through libpng, TGA raw and run-length, PVR version 3), mip chains and
// the colorizer formats.

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "engine/render/Texture.h"
#include "support_RenderFixtures.h"

using namespace renderfixtures;

namespace {

std::vector<uint8_t> levelBytes(const Texture& t, int level) {
    size_t n = (size_t)Texture::levelBytes(t._format, t.levelWidth(level), t.levelHeight(level));
    return std::vector<uint8_t>(t._levels[level], t._levels[level] + n);
}

void expectNotLoaded(const Texture& t) {
    EXPECT_EQ(TextureNone, t._format);
    EXPECT_EQ(0, t._levelCount);
    EXPECT_TRUE(t._levels.empty());
}

// Loads bytes into a fresh texture.
struct Loaded {
    explicit Loaded(const std::vector<uint8_t>& bytes) : file(bytes) { texture.load(file.file()); }
    FixtureFile file;
    Texture texture;
};

// A file the loader must refuse, and a part of the error line it must write.
struct RefusedCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
};

void expectRefused(const std::vector<RefusedCase>& cases) {
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        Loaded l(c.bytes);
        expectNotLoaded(l.texture);
        EXPECT_TRUE(log.contains(c.message)) << (log.lines.empty() ? "" : log.lines[0]);
    }
}

// TGA pixel data for top-down RGB(A) rows: bottom row first, BGR(A) order.
std::vector<uint8_t> tgaPixels(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, uint32_t bpp) {
    std::vector<uint8_t> out;
    for (uint32_t y = h; y-- > 0;) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[(y * w + x) * bpp];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
            if (bpp == 4)
                out.push_back(p[3]);
        }
    }
    return out;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

// ---- PNG ----

TEST(TexturePng, DecodesEightBitRgbAndRgbaIncludingInterlaced) {
    struct Case {
        const char* name;
        uint32_t w, h;
        int colorType;
        bool interlaced;
        int format;
        uint32_t bpp;
    } cases[] = {
        {"RGB", 3, 2, PNG_COLOR_TYPE_RGB, false, TextureRGB, 3},
        {"RGBA", 5, 3, PNG_COLOR_TYPE_RGBA, false, TextureRGBA, 4},
        {"RGB interlaced", 13, 11, PNG_COLOR_TYPE_RGB, true, TextureRGB, 3},
        {"RGBA interlaced", 9, 17, PNG_COLOR_TYPE_RGBA, true, TextureRGBA, 4},
        {"RGBA interlaced 1x1", 1, 1, PNG_COLOR_TYPE_RGBA, true, TextureRGBA, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngSpec spec;
        spec.width = c.w;
        spec.height = c.h;
        spec.colorType = c.colorType;
        spec.interlaced = c.interlaced;
        spec.pixels = pattern(c.w, c.h, c.bpp, c.w);
        LogCapture log;
        Loaded l(makePng(spec));
        ASSERT_EQ(c.format, l.texture._format);
        EXPECT_EQ(c.w, l.texture._width);
        EXPECT_EQ(c.h, l.texture._height);
        EXPECT_EQ(1, l.texture._levelCount);
        EXPECT_EQ(1, l.texture._levelsLoaded);
        EXPECT_EQ(spec.pixels, levelBytes(l.texture, 0));  // first file row first
        EXPECT_TRUE(log.errors().empty());
    }
}

TEST(TexturePng, OtherColourTypesAndDepthsAreRefused) {
    struct Case {
        const char* name;
        int colorType, bitDepth, channels;
    } cases[] = {
        {"RGB 16-bit", PNG_COLOR_TYPE_RGB, 16, 3},
        {"RGBA 16-bit", PNG_COLOR_TYPE_RGBA, 16, 4},
        {"palette", PNG_COLOR_TYPE_PALETTE, 8, 1},
        {"grey", PNG_COLOR_TYPE_GRAY, 8, 1},
        {"grey and alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngSpec spec;
        spec.width = 4;
        spec.height = 4;
        spec.colorType = c.colorType;
        spec.bitDepth = c.bitDepth;
        spec.pixels = pattern(4, 4, c.channels * c.bitDepth / 8);
        if (c.colorType == PNG_COLOR_TYPE_PALETTE) {
            spec.palette = pattern(256, 1, 3);
        }
        std::vector<uint8_t> png = makePng(spec);
        ASSERT_FALSE(png.empty());
        LogCapture log;
        Loaded l(png);
        expectNotLoaded(l.texture);
        EXPECT_EQ(1, log.count("[Texture::load] PNG colour type"));
    }
}

// A PNG written chunk by chunk: an RGB header claiming any size, and one tiny compressed row.
std::vector<uint8_t> headerOnlyPng(uint32_t width, uint32_t height) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto be32 = [](std::vector<uint8_t>& v, uint32_t x) {
        for (int shift = 24; shift >= 0; shift -= 8)
            v.push_back((uint8_t)(x >> shift));
    };
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        be32(out, (uint32_t)data.size());
        std::vector<uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        be32(out, (uint32_t)crc32(0, body.data(), (uInt)body.size()));
    };
    std::vector<uint8_t> ihdr;
    be32(ihdr, width);
    be32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, PNG_COLOR_TYPE_RGB, 0, 0, 0});
    chunk("IHDR", ihdr);
    uint8_t row[4] = {0, 1, 2, 3};
    uLongf packedSize = 64;
    std::vector<uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, row, sizeof(row));
    packed.resize(packedSize);
    chunk("IDAT", packed);
    chunk("IEND", {});
    return out;
}

TEST(TexturePng, OversizedHeadersAreRefusedBeforeAnyAllocation) {
    std::vector<uint8_t> claim = headerOnlyPng(65535, 65535);
    EXPECT_LT(claim.size(), 80u);  // a few dozen bytes claiming 17 GB of pixels
    PngSpec wide;
    wide.width = 8193;  // one more than a side may hold
    wide.height = 1;
    wide.pixels.assign(8193 * 3, 7);
    PngSpec tall = wide;
    tall.width = 1;
    tall.height = 8193;
    expectRefused({
        {"65535 x 65535 in a tiny file", claim,
         "[Texture::load] PNG: Invalid IHDR data (Image height exceeds user limit in IHDR)"},
        {"8193 wide", makePng(wide), "[Texture::load] PNG: Invalid IHDR data (Image width exceeds user limit in IHDR)"},
        {"8193 tall", makePng(tall),
         "[Texture::load] PNG: Invalid IHDR data (Image height exceeds user limit in IHDR)"},
    });

    // The bound itself is allowed.
    PngSpec edge = wide;
    edge.width = 8192;
    edge.pixels.assign(8192 * 3, 7);
    LogCapture log;
    Loaded l(makePng(edge));
    EXPECT_EQ(TextureRGB, l.texture._format);
    EXPECT_EQ(8192, l.texture._width);
    EXPECT_TRUE(log.errors().empty());
}

TEST(TexturePng, DamagedFilesAreRefused) {
    PngSpec small;
    small.width = 32;
    small.height = 32;
    small.pixels = pattern(32, 32, 3);
    std::vector<uint8_t> cut = makePng(small);
    cut.resize(cut.size() / 2);
    std::vector<uint8_t> badSignature = makePng(small);
    badSignature[0] = 'X';
    std::vector<uint8_t> badCrc = makePng(small);
    badCrc[40] ^= 0xff;

    expectRefused({
        {"truncated", cut, "[Texture::load] PNG: file truncated"},
        {"no signature", badSignature, "[Texture::load] PNG signature missing"},
        {"damaged chunk", badCrc, "[Texture::load] PNG: "},
    });
}

// ---- TGA ----

TEST(TextureTga, RawPixelsBecomeTopDownRgbWhateverTheOriginBit) {
    struct Case {
        const char* name;
        uint32_t w, h;
        uint8_t bits, descriptor;
        int format;
    } cases[] = {
        {"24-bit", 3, 2, 24, 0, TextureRGB},
        {"32-bit", 4, 3, 32, 8, TextureRGBA},
        {"32-bit, top-left origin bit", 2, 5, 32, 0x28, TextureRGBA},
        {"24-bit, odd height", 5, 7, 24, 0x20, TextureRGB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t bpp = c.bits / 8;
        std::vector<uint8_t> rgb = pattern(c.w, c.h, bpp, c.h);
        Loaded l(concat(tgaHeader(2, (uint16_t)c.w, (uint16_t)c.h, c.bits, c.descriptor), tgaPixels(rgb, c.w, c.h, bpp)));
        ASSERT_EQ(c.format, l.texture._format);
        EXPECT_EQ(c.w, l.texture._width);
        EXPECT_EQ(c.h, l.texture._height);
        EXPECT_EQ(1, l.texture._levelCount);
        EXPECT_EQ(rgb, levelBytes(l.texture, 0));
    }
}

TEST(TextureTga, RunLengthPacketsStopAtTheLastPixel) {
    // 3 x 2 image, 24-bit. File rows are bottom-up, BGR.
    const std::vector<uint8_t> blue = {255, 0, 0}, green = {0, 255, 0}, red = {0, 0, 255};
    struct Case {
        const char* name;
        std::vector<std::vector<uint8_t>> packets;
        std::vector<uint8_t> expected;  // top-down RGB
    };
    auto run = [](int n, const std::vector<uint8_t>& bgr) { return concat({(uint8_t)(127 + n)}, bgr); };
    auto raw = [](std::vector<std::vector<uint8_t>> px) {
        std::vector<uint8_t> out = {(uint8_t)(px.size() - 1)};
        for (auto& p : px)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    std::vector<Case> cases = {
        {"runs and raw packets", {run(2, blue), raw({green, red, red}), run(1, green)},
         {255, 0, 0, 255, 0, 0, 0, 255, 0,  // top row = second file row
          0, 0, 255, 0, 0, 255, 0, 255, 0}},
        {"last run announces more than remain", {run(4, red), run(128, green)},
         {255, 0, 0, 0, 255, 0, 0, 255, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0}},
        {"last raw packet longer than the image", {run(5, blue), raw({green, green, green})},
         {0, 0, 255, 0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = tgaHeader(10, 3, 2, 24);
        for (auto& p : c.packets)
            bytes = concat(bytes, p);
        LogCapture log;
        Loaded l(bytes);
        ASSERT_EQ(TextureRGB, l.texture._format);
        EXPECT_EQ(c.expected, levelBytes(l.texture, 0));
        EXPECT_TRUE(log.errors().empty());
    }
}

TEST(TextureTga, OtherHeadersDepthsAndShortDataAreRefused) {
    std::vector<uint8_t> withId = tgaHeader(2, 2, 2, 24);
    withId[0] = 1;
    std::vector<uint8_t> withColourMap = tgaHeader(2, 2, 2, 24);
    withColourMap[1] = 1;
    std::vector<uint8_t> withOrigin = tgaHeader(2, 2, 2, 24);
    withOrigin[8] = 4;
    expectRefused({
        {"image id", concat(withId, pattern(2, 2, 4)), "neither an uncompressed nor a run-length"},
        {"colour map", concat(withColourMap, pattern(2, 2, 3)), "neither an uncompressed nor a run-length"},
        {"x origin", concat(withOrigin, pattern(2, 2, 3)), "neither an uncompressed nor a run-length"},
        {"colour-mapped type", concat(tgaHeader(1, 2, 2, 8), pattern(2, 2, 1)), "neither an uncompressed"},
        {"grey type", concat(tgaHeader(3, 2, 2, 8), pattern(2, 2, 1)), "neither an uncompressed"},
        {"16 bits", concat(tgaHeader(2, 2, 2, 16), pattern(2, 2, 2)), "TGA with 16 bits a pixel"},
        {"zero width", tgaHeader(2, 0, 2, 24), "TGA size 0x2 is empty"},
        {"header cut", {0, 0, 2, 0, 0}, "TGA header truncated"},
        {"raw pixels cut", concat(tgaHeader(2, 4, 4, 24), pattern(4, 3, 3)), "TGA data truncated"},
        {"run-length data cut", concat(tgaHeader(10, 4, 4, 32), {0x85, 1, 2, 3, 4, 0x03, 1, 2}),
         "TGA run-length data truncated"},
        {"huge run-length image in a tiny file", concat(tgaHeader(10, 8192, 8192, 32), {0xff, 1, 2, 3, 4}),
         "TGA data truncated: 8192x8192 pixels"},
        {"raw image wider than 8192", concat(tgaHeader(2, 8193, 1, 24), pattern(8193, 1, 3)),
         "TGA size 8193x1 is beyond 8192 on a side"},
        {"run-length image taller than 8192", concat(tgaHeader(10, 1, 65535, 32), std::vector<uint8_t>(4096, 0xff)),
         "TGA size 1x65535 is beyond 8192 on a side"},
    });
}

// ---- PVR ----

TEST(TexturePvr, ReadsEveryLevelWithTheFormatsSizes) {
    struct Case {
        const char* name;
        uint32_t formatLow, w, h, levels, meta;
        int format;
        std::vector<uint32_t> sizes;
    } cases[] = {
        {"PVRTC RGB 4x4: the 8x8 minimum", 2, 4, 4, 1, 0, TexturePVRTC4RGB, {32}},
        {"PVRTC RGBA 16x16, full chain", 3, 16, 16, 5, 0, TexturePVRTC4RGBA, {128, 32, 32, 32, 32}},
        {"ETC1 4x4", 6, 4, 4, 1, 0, TextureETC1, {8}},
        {"ETC1 8x4 down to 1x1", 6, 8, 4, 4, 0, TextureETC1, {16, 8, 8, 8}},
        {"ETC1 12x20 with metadata", 6, 12, 20, 2, 24, TextureETC1, {120, 48}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = pvrHeader(c.formatLow, 0, c.w, c.h, c.levels, c.meta);
        std::vector<std::vector<uint8_t>> levels;
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            levels.push_back(pattern(c.sizes[i], 1, 1, (uint32_t)i + 3));
            bytes = concat(bytes, levels.back());
        }
        LogCapture log;
        Loaded l(bytes);
        ASSERT_EQ(c.format, l.texture._format);
        EXPECT_EQ(c.w, l.texture._width);
        EXPECT_EQ(c.h, l.texture._height);
        ASSERT_EQ(c.levels, l.texture._levelCount);
        EXPECT_EQ(c.levels, l.texture._levelsLoaded);
        for (size_t i = 0; i < levels.size(); ++i)
            EXPECT_EQ(levels[i], levelBytes(l.texture, (int)i)) << "level " << i;
        EXPECT_TRUE(log.errors().empty());
    }
}

TEST(TexturePvr, UnsizedFormatsAndImpossibleHeadersAreRefusedBeforeAnyLevel) {
    std::vector<uint8_t> plenty(1 << 16, 0x55);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {"PVRTC 2 bpp RGB", concat(pvrHeader(0, 0, 8, 8, 1), plenty), "PVR pixel format 0:0 is not supported"},
        {"PVRTC 2 bpp RGBA", concat(pvrHeader(1, 0, 8, 8, 1), plenty), "PVR pixel format 0:1 is not supported"},
        {"uncompressed channel layout", concat(pvrHeader(0x61626772, 0x08080808, 8, 8, 1), plenty),
         "PVR pixel format 134744072:1633838962 is not supported"},
        {"wider than 8192", concat(pvrHeader(2, 0, 8193, 8, 1), plenty), "PVR size 8193x8 is outside 1..8192"},
        {"taller than 8192 by far", concat(pvrHeader(6, 0, 4, 0x100004, 1), plenty),
         "PVR size 4x1048580 is outside 1..8192"},
        {"zero height", concat(pvrHeader(6, 0, 4, 0, 1), plenty), "PVR size 4x0"},
        {"no levels", concat(pvrHeader(6, 0, 4, 4, 0), plenty), "PVR level count 0 does not fit a 4x4 image"},
        {"more levels than halvings", concat(pvrHeader(6, 0, 4, 4, 4), plenty),
         "PVR level count 4 does not fit a 4x4 image"},
        {"level data cut", concat(pvrHeader(3, 0, 32, 32, 1), pattern(511, 1, 1)),
         "PVR data truncated: 512 bytes needed, 511 left"},
        {"metadata beyond the file", concat(pvrHeader(6, 0, 4, 4, 1), {0, 0}), "PVR data truncated"},
        {"header cut", {'P', 'V', 'R', 3, 0, 0}, "PVR header truncated"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        Loaded l(c.bytes);
        expectNotLoaded(l.texture);
        EXPECT_EQ(0, l.texture._width);
        EXPECT_TRUE(log.contains(std::string("[Texture::load] ") + c.message))
            << (log.lines.empty() ? "" : log.lines[0]);
    }
    // The metadata-beyond-the-file case: the claimed size decides, not the bytes that follow.
    std::vector<uint8_t> meta = pvrHeader(6, 0, 4, 4, 1);
    meta[48] = 0xff;
    meta[49] = 0xff;
    meta[50] = 0xff;
    meta[51] = 0xff;
    Loaded l(concat(meta, plenty));
    expectNotLoaded(l.texture);
}

// ---- Common ----

TEST(TextureLoad, ALoadedTextureIsLeftAlone) {
    PngSpec first;
    first.width = 2;
    first.height = 2;
    first.pixels = pattern(2, 2, 3);
    FixtureFile a(makePng(first));
    FixtureFile b(concat(tgaHeader(2, 1, 1, 32), {1, 2, 3, 4}));
    Texture t;
    t.load(a.file());
    ASSERT_EQ(TextureRGB, t._format);
    t.load(b.file());
    EXPECT_EQ(TextureRGB, t._format);
    EXPECT_EQ(2, t._width);
    EXPECT_EQ(first.pixels, levelBytes(t, 0));
}

TEST(TextureLoad, FreeDataKeepsFormatAndLoadedLevelCount) {
    Loaded l(concat(tgaHeader(2, 2, 2, 24), pattern(2, 2, 3)));
    l.texture.freeData();
    EXPECT_EQ(0, l.texture._levelCount);
    EXPECT_TRUE(l.texture._levels.empty());
    EXPECT_EQ(1, l.texture._levelsLoaded);
    EXPECT_EQ(TextureRGB, l.texture._format);
}

TEST(TextureColorizer, OnlyUncompressedFormatsChange) {
    const int from[] = {TextureRGB, TextureRGBColorizer, TextureRGBA, TextureRGBAColorizer, TexturePVRTC4RGB,
                        TexturePVRTC4RGBA, TextureETC1, TextureNone};
    const int to[] = {TextureRGBColorizer, TextureRGBColorizer, TextureRGBAColorizer, TextureRGBAColorizer,
                      TexturePVRTC4RGB, TexturePVRTC4RGBA, TextureETC1, TextureNone};
    for (size_t i = 0; i < sizeof(from) / sizeof(from[0]); ++i) {
        Texture t;
        t._format = from[i];
        t.setColorizer();
        EXPECT_EQ(to[i], t._format) << "format " << from[i];
    }
}

// ---- Mip chains ----

TEST(TextureMipMaps, ChainsGoDownToOneByOne) {
    struct Case {
        uint32_t w, h;
        uint8_t bits;
        int levels;
    } cases[] = {
        {256, 256, 32, 9}, {256, 128, 32, 9}, {4, 32, 24, 6}, {2, 2, 24, 2}, {3, 5, 24, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        Loaded l(concat(tgaHeader(2, (uint16_t)c.w, (uint16_t)c.h, c.bits), pattern(c.w, c.h, c.bits / 8)));
        l.texture.generateMipMaps();
        EXPECT_EQ(1, l.texture._generateMipMaps);
        ASSERT_EQ(c.levels, l.texture._levelCount);
        EXPECT_EQ(c.levels, l.texture._levelsLoaded);
        EXPECT_EQ(1u, l.texture.levelWidth(c.levels - 1));
        EXPECT_EQ(1u, l.texture.levelHeight(c.levels - 1));
        for (int i = 0; i < c.levels; ++i)
            EXPECT_NE(nullptr, l.texture._levels[i]);
    }
}

TEST(TextureMipMaps, BoxFilterTruncatesAndFollowsTheShortSideAtOne) {
    // 4 x 2 RGB, one channel varying: levels 2x1 and 1x1.
    std::vector<uint8_t> rgb = {10, 0, 0, 20, 0, 0, 100, 0, 0, 200, 0, 0,   // top row
                                30, 0, 0, 41, 0, 0, 255, 0, 0, 255, 0, 0};  // bottom row
    Loaded l(concat(tgaHeader(2, 4, 2, 24), tgaPixels(rgb, 4, 2, 3)));
    ASSERT_EQ(rgb, levelBytes(l.texture, 0));
    l.texture.generateMipMaps();
    ASSERT_EQ(3, l.texture._levelCount);
    // (10 + 20 + 30 + 41) / 4 = 25.25 -> 25; (100 + 200 + 255 + 255) / 4 = 202.5 -> 202.
    EXPECT_EQ((std::vector<uint8_t>{25, 0, 0, 202, 0, 0}), levelBytes(l.texture, 1));
    // Height already 1: the row is sampled twice, (25 + 202 + 25 + 202) / 4 = 113.5 -> 113.
    EXPECT_EQ((std::vector<uint8_t>{113, 0, 0}), levelBytes(l.texture, 2));
}

TEST(TextureMipMaps, NothingIsGeneratedOutsideTheUncompressedSingleLevelCase) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        void (*prepare)(Texture&);
    };
    Case cases[] = {
        {"1 x 64", concat(tgaHeader(2, 1, 64, 24), pattern(1, 64, 3)), nullptr},
        {"64 x 1", concat(tgaHeader(2, 64, 1, 24), pattern(64, 1, 3)), nullptr},
        {"RGBA colorizer", concat(tgaHeader(2, 4, 4, 32), pattern(4, 4, 4)), [](Texture& t) { t.setColorizer(); }},
        {"PVRTC", concat(pvrHeader(2, 0, 8, 8, 1), pattern(32, 1, 1)), nullptr},
        {"already generated", concat(tgaHeader(2, 4, 4, 24), pattern(4, 4, 3)),
         [](Texture& t) { t.generateMipMaps(); }},
        {"data released", concat(tgaHeader(2, 4, 4, 24), pattern(4, 4, 3)), [](Texture& t) { t.freeData(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l(c.bytes);
        if (c.prepare)
            c.prepare(l.texture);
        uint8_t before = l.texture._levelCount;
        l.texture.generateMipMaps();
        EXPECT_EQ(1, l.texture._generateMipMaps);
        EXPECT_EQ(before, l.texture._levelCount);
    }
}

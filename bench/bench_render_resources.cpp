// Decoding textures (a 1024 x 1024 PNG and run-length TGA, each with its mip chain) and reading
// the mesh data of a 65,535-vertex geometry.

#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/file.h"
#include "engine/render/Geometry.h"
#include "engine/render/Texture.h"

namespace {

const uint32_t kSide = 1024;

// A smooth image with some noise, so neither format compresses it to nothing.
std::vector<uint8_t> image(uint32_t channels) {
    std::vector<uint8_t> px((size_t)kSide * kSide * channels);
    uint32_t s = 1;
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x)
            for (uint32_t c = 0; c < channels; ++c) {
                s = s * 1103515245u + 12345u;
                px[((size_t)y * kSide + x) * channels + c] = (uint8_t)((x + y * c) / 8 + ((s >> 16) & 7));
            }
    return px;
}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> pngFile() {
    std::vector<uint8_t> pixels = image(4), out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        return {};
    png_set_write_fn(png, &out, pngWrite, nullptr);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < kSide; ++y)
        png_write_row(png, pixels.data() + (size_t)y * kSide * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Run-length TGA, 24-bit: raw packets of up to 128 pixels, runs where pixels repeat.
std::vector<uint8_t> tgaFile() {
    std::vector<uint8_t> px = image(3);
    testsupport::ByteWriter w;
    for (int i = 0; i < 12; ++i)
        w.u8(i == 2 ? 10 : 0);
    w.u16(kSide);
    w.u16(kSide);
    w.u8(24);
    w.u8(0);
    const size_t count = (size_t)kSide * kSide;
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && std::equal(&px[i * 3], &px[i * 3 + 3], &px[(i + run) * 3]))
            ++run;
        if (run > 1) {
            w.u8((uint8_t)(127 + run));
            w.raw(&px[i * 3], 3);
            i += run;
            continue;
        }
        size_t n = 1;
        while (i + n < count && n < 128 && !std::equal(&px[(i + n) * 3], &px[(i + n) * 3 + 3], &px[(i + n - 1) * 3]))
            ++n;
        w.u8((uint8_t)(n - 1));
        w.raw(&px[i * 3], n * 3);
        i += n;
    }
    return w.bytes;
}

std::vector<uint8_t> meshFile() {
    const uint32_t vertices = 65535;
    testsupport::ByteWriter w;
    w.raw("v1.0");
    const struct {
        const char* name;
        uint16_t components;
    } attributes[] = {{"vertPos", 3}, {"texCoords0", 2}, {"vertNormal", 3}, {"vertColor", 3}};
    w.u16(4);
    for (const auto& a : attributes) {
        w.str16(a.name);
        w.u16(a.components);
        w.u16(0);
    }
    w.u32(vertices);
    w.u16(65535);
    for (uint32_t v = 0; v < vertices; ++v)
        for (int f = 0; f < 11; ++f)
            w.f32((float)((v * 7 + f) % 101) * 0.5f);
    for (int list = 0; list < 2; ++list)
        for (uint32_t i = 0; i < 65535; ++i)
            w.u16((uint16_t)((i * 3 + list) % vertices));
    for (int i = 0; i < 6; ++i)
        w.f32(i < 3 ? 0.0f : 50.0f);
    return w.bytes;
}

// Fixture files live for the whole run.
struct Files {
    testsupport::TempDir dir;
    std::string png, tga, mesh;
    Files() : png(dir.file("big.png")), tga(dir.file("big.tga")), mesh(dir.file("big.mesh")) {
        testsupport::writeFile(png, pngFile());
        testsupport::writeFile(tga, tgaFile());
        testsupport::writeFile(mesh, meshFile());
    }
};

Files& files() {
    static Files f;
    return f;
}

void decodeWithMips(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        File file;
        file.open(path.c_str(), "rb", StoreRaw, 1);
        Texture t;
        t.load(file);
        t.generateMipMaps();
        if (t._levelCount != 11)
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(t._levels.data());
        t.freeData();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_DecodePng1024WithMips(benchmark::State& state) { decodeWithMips(state, files().png); }
void BM_DecodeTga1024RleWithMips(benchmark::State& state) { decodeWithMips(state, files().tga); }

void BM_LoadMesh65535Vertices(benchmark::State& state) {
    for (auto _ : state) {
        File file;
        file.open(files().mesh.c_str(), "rb", StoreRaw, 1);
        Geometry g;
        if (!g.load(file))
            state.SkipWithError("mesh data refused");
        benchmark::DoNotOptimize(g._vertices);
    }
    state.SetItemsProcessed(state.iterations() * 65535);
}

void BM_GenerateMips1024Rgba(benchmark::State& state) {
    File file;
    file.open(files().png.c_str(), "rb", StoreRaw, 1);
    Texture source;
    source.load(file);
    const size_t bytes = (size_t)kSide * kSide * 4;
    for (auto _ : state) {
        state.PauseTiming();
        Texture t;
        t._format = TextureRGBA;
        t._width = t._height = (uint16_t)kSide;
        t._levelCount = t._levelsLoaded = 1;
        t._levels.push_back(static_cast<uint8_t*>(std::malloc(bytes)));
        std::memcpy(t._levels[0], source._levels[0], bytes);
        state.ResumeTiming();
        t.generateMipMaps();
        benchmark::DoNotOptimize(t._levels.back());
    }
    source.freeData();
}

}  // namespace

BENCHMARK(BM_DecodePng1024WithMips)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTga1024RleWithMips)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateMips1024Rgba)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMesh65535Vertices)->Unit(benchmark::kMillisecond);

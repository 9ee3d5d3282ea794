#pragma once
// Fixtures of the render tests: PNG images written with libpng, TGA and PVR headers, mesh data in
// both layouts, and files opened from a temporary folder.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/file.h"

namespace renderfixtures {

using testsupport::LogCapture;

// A PNG in memory through libpng. pixels: rows top to bottom, packed as libpng expects for the
// colour type and depth (16-bit samples big-endian); palette entries are RGB triples.
struct PngSpec {
    uint32_t width = 1, height = 1;
    int colorType = 2;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette;
};
std::vector<uint8_t> makePng(const PngSpec& spec);

// Deterministic test pattern of w x h pixels with channels bytes each.
std::vector<uint8_t> pattern(uint32_t w, uint32_t h, uint32_t channels, uint32_t seed = 1);

// TGA: the 12-byte header template of an image type, then width, height, depth, descriptor.
std::vector<uint8_t> tgaHeader(uint8_t imageType, uint16_t width, uint16_t height, uint8_t bits,
                               uint8_t descriptor = 0);

// PVR version 3 header (52 bytes) followed by metaDataSize zero bytes.
std::vector<uint8_t> pvrHeader(uint32_t formatLow, uint32_t formatHigh, uint32_t width, uint32_t height,
                               uint32_t mipMapCount, uint32_t metaDataSize = 0);

// Mesh data of the "v1.0" layout.
struct MeshAttr {
    std::string name;
    uint16_t components;
    uint16_t type;
};
struct MeshSpec {
    std::vector<MeshAttr> attributes;
    uint32_t vertexCount = 0;
    uint16_t indexCount = 0;
    std::vector<uint8_t> vertexBytes;
    std::vector<uint16_t> indices;
    std::vector<uint16_t> adjacency;  // empty: indices again
    float bounds[6] = {0, 0, 0, 0, 0, 0};
};
std::vector<uint8_t> meshV1(const MeshSpec& spec);
// Legacy layout: floatCount, indexCount, the floats, indices twice, bounds.
std::vector<uint8_t> meshLegacy(uint32_t floatCount, const std::vector<float>& floats,
                                const std::vector<uint16_t>& indices, const float bounds[6]);
// Float bytes of a vertex list.
std::vector<uint8_t> floatBytes(const std::vector<float>& values);

// Writes bytes into a temporary folder and opens them for reading ("rb" by default).
class FixtureFile {
public:
    FixtureFile(const std::vector<uint8_t>& bytes, const char* mode = "rb");
    FixtureFile(const std::string& text, const char* mode);
    File& file() { return _file; }
    const std::string& path() const { return _path; }

private:
    testsupport::TempDir _dir;
    std::string _path;
    File _file;
};

}  // namespace renderfixtures

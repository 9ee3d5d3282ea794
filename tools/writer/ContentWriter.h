#pragma once
// Writers of the engine's binary content: object files (node tree + mesh data) and binary scenes.
// Everything is little-endian; strings are a 16-bit byte count followed by the bytes.
// The content tool uses them to make the sample content; the tests use them for fixtures.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace contentwriter {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    Vec3() = default;
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

typedef std::vector<std::pair<std::string, std::string>> Properties;

// Little-endian byte sink.
class LEWriter {
public:
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v);
    void s16(int16_t v) { u16((uint16_t)v); }
    void u32(uint32_t v);
    void f32(float v);
    void vec3(const Vec3& v);
    // 16-bit length, then the bytes; longer texts are cut to 65535 bytes.
    void str16(const std::string& s);
    void raw(const void* data, size_t n);
    void raw(const std::string& s) { raw(s.data(), s.size()); }
    std::vector<uint8_t> bytes;
};

// ---------------------------------------------------------------------------------------------
// Mesh data (ends every object file).

struct MeshAttribute {
    std::string name;
    uint16_t components = 0;
    uint16_t type = 0;  // 0 float, 1 unsigned byte, anything else is skipped by the reader
};

struct MeshData {
    // Legacy layout: 11 floats a vertex (position, uv, normal, colour), no attribute table.
    bool legacy = false;
    std::vector<MeshAttribute> attributes;  // current ("v1.0") layout only
    uint32_t vertexCount = 0;
    std::vector<uint8_t> vertexBytes;        // vertexCount * stride bytes
    std::vector<uint16_t> indices;
    std::vector<uint16_t> adjacency;         // empty: a copy of indices is written
    Vec3 boundsMin, boundsMax;
};

// Vertex layout of the meshes built below: "vertPos" 3, "texCoords0" 2, "vertNormal" 3 floats.
struct Vertex {
    Vec3 position;
    float u = 0, v = 0;
    Vec3 normal;
};

// Builds current-layout mesh data from vertices and triangles; bounds from the vertices.
MeshData makeMesh(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices);
// Current-layout mesh data in the vertex layout the model shaders of both back ends read:
// the three float attributes above and "vertColor" as four unsigned bytes (white). The Metal
// shader classes take their vertices in one fixed layout, so meshes drawn there must match it.
MeshData makeModelMesh(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices);
// Legacy-layout mesh data (11 floats a vertex; colour white).
MeshData makeLegacyMesh(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices);

// Appends shapes to a vertex/index list (so several ranges share one geometry).
void appendBox(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, const Vec3& centre,
               const Vec3& size);
// A flat quad in the XY plane at height z, facing +Z.
void appendQuad(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, const Vec3& centre,
                float sizeX, float sizeY);
// A UV sphere.
void appendSphere(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, const Vec3& centre,
                  float radius, int slices, int stacks);

void writeMeshData(LEWriter& w, const MeshData& mesh);

// ---------------------------------------------------------------------------------------------
// Object files.

struct MaterialRangeDesc {
    std::string material;  // name below "materials/", without ".txt"
    uint32_t firstFloat = 0;
    uint32_t floatCount = 0;
    uint16_t firstIndex = 0;
    uint16_t indexCount = 0;
};

struct ObjectKeyDesc {
    Vec3 position, rotation;
};

struct ObjectNodeDesc {
    std::string name;
    // Placement; used for children (the top node is placed by whoever instantiates it).
    Vec3 position, rotation, scale{1, 1, 1};
    std::vector<MaterialRangeDesc> ranges;
    std::vector<ObjectKeyDesc> keys;
    Properties properties;  // the node's own block (version 1 and later)
    std::vector<ObjectNodeDesc> children;

    // A text child (version 1 and later): kind 2 with a text, size, alignment and font.
    uint16_t kind = 0;
    bool isText = false;
    std::string text;
    float size = 1;
    std::string alignment;
    std::string font;
};

struct ObjectFileDesc {
    int version = 3;  // 0: no tag, 1 "v1.0", 2 "v1.1", 3 "v1.2"
    ObjectNodeDesc top;
    Properties trailingProperties;  // after the top node's children (every version)
    MeshData mesh;
};

void writeObjectNode(LEWriter& w, const ObjectNodeDesc& node, int version, bool top);
std::vector<uint8_t> writeObjectFile(const ObjectFileDesc& file);

// A material range covering the whole of a mesh built from the given counts.
MaterialRangeDesc wholeRange(const std::string& material, uint32_t vertexCount, uint32_t indexCount);

// ---------------------------------------------------------------------------------------------
// Binary scenes.

enum SceneRecord : uint16_t {
    RecordCamera = 1,
    RecordObject = 2,
    RecordLight = 3,
    RecordEmpty = 4,
    RecordText = 5,
};

struct SceneKeyDesc {
    float value = 0;  // cameras only
    Vec3 position, rotation;
};

struct Layers {
    uint16_t flags[19] = {0};
    static Layers bits(uint32_t mask);
};

class BinarySceneWriter {
public:
    // header: "BINARY", "BIN1.0" or "BIN1.1"; decides which optional blocks are written.
    explicit BinarySceneWriter(const std::string& header = "BIN1.1");

    void camera(const std::string& name, const Vec3& position, const Vec3& rotation, const Layers& layers,
                uint16_t projection, float lens, const std::vector<SceneKeyDesc>& keys = {});
    void object(const std::string& name, const std::string& folder, const std::string& object,
                const Vec3& position, const Vec3& rotation, const Vec3& scale, const Properties& properties,
                const std::vector<std::string>& groups, const Layers& layers,
                const std::vector<SceneKeyDesc>& keys = {});
    void light(const std::string& name, const Vec3& position, const Vec3& colour, float energy,
               float secondFactor, const Layers& layers);
    void empty(const std::string& name, const Vec3& position, const Vec3& rotation, const Vec3& scale,
               const Properties& properties, const std::vector<std::string>& groups, const Layers& layers,
               const std::vector<SceneKeyDesc>& keys = {});
    void text(const Vec3& position, const Vec3& rotation, const Vec3& scale, const std::string& name,
              const std::string& text, float size, const std::string& alignment, const std::string& font,
              const std::vector<std::string>& groups);

    bool hasObjectProperties() const { return _objectProperties; }
    bool hasEmptyKeys() const { return _emptyKeys; }
    LEWriter& out() { return _w; }
    const std::vector<uint8_t>& bytes() const { return _w.bytes; }

private:
    void layers(const Layers& l);
    LEWriter _w;
    bool _objectProperties;
    bool _emptyKeys;
};

// ---------------------------------------------------------------------------------------------
// The sample content: every binary file of the demo, as (path below "data/", bytes).

struct ContentFile {
    std::string path;
    std::vector<uint8_t> bytes;
};

std::vector<ContentFile> demoContent();
// The animated node's key frames (shared by the binary scene and the test of the text one).
std::vector<SceneKeyDesc> demoSpinnerKeys();

}  // namespace contentwriter

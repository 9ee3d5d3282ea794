// Mesh data reading (both layouts, damaged data), bounds over index ranges, releasing memory.

#include <gtest/gtest.h>

#include <cstring>

#include "engine/render/Geometry.h"
#include "support_RenderFixtures.h"

using namespace renderfixtures;

namespace {

const float kBounds[6] = {-1, -2, -3, 4, 5, 6};

// Three-float positions of a few vertices, the rest of a vertex zero-filled to the stride.
std::vector<uint8_t> vertices(const std::vector<Vector3>& positions, uint32_t stride) {
    std::vector<uint8_t> out(positions.size() * stride, 0);
    for (size_t i = 0; i < positions.size(); ++i)
        std::memcpy(&out[i * stride], &positions[i], 12);
    return out;
}

MeshSpec triangleSpec() {
    MeshSpec s;
    s.attributes = {{"vertPos", 3, 0}, {"texCoords0", 2, 0}, {"vertColor", 4, 1}};
    s.vertexCount = 3;
    s.indexCount = 3;
    s.vertexBytes = vertices({{0, 0, 0}, {1, 0, 0}, {0, 2, 0}}, 24);
    s.indices = {0, 1, 2};
    s.adjacency = {2, 1, 0};
    std::memcpy(s.bounds, kBounds, sizeof(kBounds));
    return s;
}

void expectEmpty(const Geometry& g) {
    EXPECT_EQ(0u, g._vertexCount);
    EXPECT_EQ(0u, g._indexCount);
    EXPECT_TRUE(g._attributes.empty());
    EXPECT_EQ(nullptr, g._vertices);
    EXPECT_EQ(nullptr, g._indices);
    EXPECT_EQ(nullptr, g._adjacencyIndices);
}

}  // namespace

TEST(GeometryLoad, CurrentLayoutReadsAttributesDataAndBounds) {
    FixtureFile f(meshV1(triangleSpec()));
    Geometry g;
    ASSERT_TRUE(g.load(f.file()));
    ASSERT_EQ(3u, g._attributes.size());
    EXPECT_EQ("vertPos", g._attributes[0].name);
    EXPECT_EQ(3, g._attributes[0].components);
    EXPECT_EQ(GeometryAttribute::TypeUnsignedByte, g._attributes[2].type);
    EXPECT_EQ(24u, g._stride);  // 3*4 + 2*4 + 4*1
    EXPECT_EQ(3u, g._vertexCount);
    EXPECT_EQ(3u, g._indexCount);
    EXPECT_EQ(Vector3(1, 0, 0), g.position(1));
    EXPECT_EQ(Vector3(0, 2, 0), g.position(2));
    EXPECT_EQ(1, g._indices[1]);
    EXPECT_EQ(2, g._adjacencyIndices[0]);
    EXPECT_EQ(Vector3(-1, -2, -3), g._boundsMin);
    EXPECT_EQ(Vector3(4, 5, 6), g._boundsMax);
    EXPECT_TRUE(f.file().eof());
}

TEST(GeometryLoad, UnknownAttributeTypeIsDroppedFromLayoutAndStride) {
    MeshSpec s;
    s.attributes = {{"vertPos", 3, 0}, {"weights", 2, 2}};
    s.vertexCount = 2;
    s.indexCount = 2;
    s.vertexBytes = vertices({{1, 2, 3}, {4, 5, 6}}, 12);  // written with the smaller stride
    s.indices = {0, 1};
    FixtureFile f(meshV1(s));
    Geometry g;
    ASSERT_TRUE(g.load(f.file()));
    ASSERT_EQ(1u, g._attributes.size());
    EXPECT_EQ(12u, g._stride);
    EXPECT_EQ(Vector3(4, 5, 6), g.position(1));
}

TEST(GeometryLoad, LegacyLayoutHasElevenFloatVertices) {
    std::vector<float> floats(33, 0.0f);
    floats[11] = 7;  // x of vertex 1
    floats[22 + 2] = 9;  // z of vertex 2
    FixtureFile f(meshLegacy(33, floats, {0, 1, 2}, kBounds));
    Geometry g;
    ASSERT_TRUE(g.load(f.file()));
    EXPECT_EQ(3u, g._vertexCount);
    EXPECT_EQ(44u, g._stride);
    ASSERT_EQ(4u, g._attributes.size());
    const char* names[] = {"vertPos", "texCoords0", "vertNormal", "vertColor"};
    const int components[] = {3, 2, 3, 3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(names[i], g._attributes[i].name);
        EXPECT_EQ(components[i], g._attributes[i].components);
        EXPECT_EQ(GeometryAttribute::TypeFloat, g._attributes[i].type);
    }
    EXPECT_EQ(Vector3(7, 0, 0), g.position(1));
    EXPECT_EQ(Vector3(0, 0, 9), g.position(2));
    EXPECT_EQ(Vector3(4, 5, 6), g._boundsMax);
}

TEST(GeometryLoad, ReadsFromTheCurrentPositionOfTheFile) {
    // Mesh data ends an object file: both layouts start where the reader stands.
    std::vector<uint8_t> prefix = {'o', 'b', 'j', 0, 0, 0, 0};
    std::vector<uint8_t> legacy = meshLegacy(11, std::vector<float>(11, 1.0f), {0, 0, 0}, kBounds);
    std::vector<uint8_t> v1 = meshV1(triangleSpec());
    for (const std::vector<uint8_t>* body : {&legacy, &v1}) {
        testsupport::ByteWriter w;
        w.raw(prefix.data(), prefix.size());
        w.raw(body->data(), body->size());
        const std::vector<uint8_t>& bytes = w.bytes;
        FixtureFile f(bytes);
        f.file().seek((long)prefix.size());
        Geometry g;
        EXPECT_TRUE(g.load(f.file()));
        EXPECT_GT(g._vertexCount, 0u);
        EXPECT_EQ(Vector3(4, 5, 6), g._boundsMax);
    }
}

TEST(GeometryLoad, SecondLoadReadsOnlyTheMagicAndKeepsEverything) {
    std::vector<uint8_t> bytes = meshV1(triangleSpec());
    std::vector<uint8_t> twice = bytes;
    twice.insert(twice.end(), bytes.begin(), bytes.end());
    FixtureFile f(twice);
    Geometry g;
    ASSERT_TRUE(g.load(f.file()));
    long after = f.file().tell();
    EXPECT_FALSE(g.load(f.file()));
    EXPECT_EQ(after + 4, f.file().tell());
    EXPECT_EQ(3u, g._vertexCount);
    EXPECT_EQ(Vector3(-1, -2, -3), g._boundsMin);
    EXPECT_EQ(Vector3(4, 5, 6), g._boundsMax);
}

TEST(GeometryLoad, DamagedDataIsLoggedAndLeavesTheGeometryEmpty) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    std::vector<Case> cases;
    {
        std::vector<float> floats(100, 0.0f);
        cases.push_back({"legacy float count not divisible by eleven", meshLegacy(100, floats, {0}, kBounds),
                         "legacy vertex data of 100 floats is not a whole number of vertices"});
    }
    {
        std::vector<uint8_t> b = meshV1(triangleSpec());
        b.resize(b.size() - 30);  // cut inside the index lists
        cases.push_back({"truncated vertex and index data", b, "mesh data truncated: "});
    }
    {
        std::vector<uint8_t> b = meshV1(triangleSpec());
        b.resize(b.size() - 4);  // the last bound float is missing
        cases.push_back({"missing bounds", b, "mesh data truncated: "});
    }
    {
        MeshSpec s = triangleSpec();
        s.vertexCount = 0xFFFFFFFFu;  // stride x count far beyond the file, no allocation made
        cases.push_back({"vertex count beyond the file", meshV1(s), "mesh data truncated: "});
    }
    {
        MeshSpec s;
        s.attributes = {{"vertPos", 255, 0}, {"big", 255, 0}};
        s.vertexCount = 0x80000000u;  // 2040-byte stride: the product needs more than 32 bits
        cases.push_back({"size product beyond 32 bits", meshV1(s), "mesh data truncated: 4380866641944 bytes needed"});
    }
    {
        MeshSpec s = triangleSpec();
        s.attributes[0].components = 300;
        cases.push_back({"more components than a byte holds", meshV1(s), "attribute vertPos has 300 components"});
    }
    {
        MeshSpec s = triangleSpec();
        s.indices = {0, 1, 3};
        cases.push_back({"index past the vertices", meshV1(s), "index 3 at 2 is not below the vertex count 3"});
    }
    {
        MeshSpec s = triangleSpec();
        s.adjacency = {0, 7, 1};
        cases.push_back({"adjacency index past the vertices", meshV1(s),
                         "index 7 at 1 is not below the vertex count 3"});
    }
    cases.push_back({"header cut after the magic", {'v', '1', '.', '0', 1}, "mesh data truncated in its header"});
    cases.push_back({"empty data", {}, "mesh data truncated in its header"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        FixtureFile f(c.bytes);
        Geometry g;
        EXPECT_FALSE(g.load(f.file()));
        expectEmpty(g);
        ASSERT_EQ(1u, log.errors().size());
        EXPECT_NE(std::string::npos, log.errors()[0].find(std::string("[Geometry::load] ") + c.message))
            << log.errors()[0];
    }
}

TEST(GeometryLoad, NoIndicesAndNoVerticesIsAValidEmptyShape) {
    MeshSpec s;
    s.attributes = {{"vertPos", 3, 0}};
    FixtureFile f(meshV1(s));
    LogCapture log;
    Geometry g;
    EXPECT_TRUE(g.load(f.file()));
    EXPECT_EQ(0u, g._vertexCount);
    EXPECT_TRUE(log.errors().empty());
}

TEST(GeometryBounds, ComputeBoundsOverIndexRanges) {
    MeshSpec s;
    s.attributes = {{"vertPos", 3, 0}};
    s.vertexCount = 4;
    s.indexCount = 6;
    s.vertexBytes = vertices({{0, 0, 0}, {2, -1, 5}, {-3, 4, 1}, {10, 10, 10}}, 12);
    s.indices = {0, 1, 2, 2, 1, 3};
    FixtureFile f(meshV1(s));
    Geometry g;
    ASSERT_TRUE(g.load(f.file()));

    struct Case {
        int32_t first, count;
        Vector3 min, max;
        bool logged;
    } cases[] = {
        {0, 0, {0, 0, 0}, {0, 0, 0}, false},  // no indices: zeros, not the sentinels
        {0, 3, {-3, -1, 0}, {2, 4, 5}, false},
        {3, 3, {-3, -1, 1}, {10, 10, 10}, false},
        {5, 1, {10, 10, 10}, {10, 10, 10}, false},
        {4, 10, {2, -1, 5}, {10, 10, 10}, true},  // clamped to the index list
        {6, 1, {0, 0, 0}, {0, 0, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << "+" << c.count);
        LogCapture log;
        Vector3 lo(9, 9, 9), hi(9, 9, 9);
        g.computeBounds(c.first, c.count, lo, hi);
        EXPECT_EQ(c.min, lo);
        EXPECT_EQ(c.max, hi);
        EXPECT_EQ(c.logged, log.contains("[Geometry::computeBounds]"));
    }
}

TEST(GeometryMemory, FreeDataFollowsTheReleaseFlag) {
    for (bool release : {false, true}) {
        SCOPED_TRACE(release);
        FixtureFile f(meshV1(triangleSpec()));
        Geometry g;
        ASSERT_TRUE(g.load(f.file()));
        g._releaseData = release ? 1 : 0;
        g.freeData();
        EXPECT_EQ(release, g._vertices == nullptr);
        EXPECT_EQ(release, g._indices == nullptr);
        EXPECT_EQ(release, g._adjacencyIndices == nullptr);
        EXPECT_EQ(3u, g._vertexCount);
        EXPECT_EQ(3u, g._indexCount);
        EXPECT_EQ(24u, g._stride);
        EXPECT_EQ(3u, g._attributes.size());
        Vector3 lo, hi;
        g.computeBounds(0, 3, lo, hi);  // never reads released memory
        EXPECT_EQ(release ? Vector3() : Vector3(1, 2, 0), hi);
    }
}

// Mesh ranges and bounds, per-mesh uniform values, and triangle adjacency tables.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/bounds.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/Shader.h"
#include "support_RenderFixtures.h"

using namespace renderfixtures;

namespace {

// A position-only geometry filled in code.
std::unique_ptr<Geometry> makeGeometry(const std::vector<Vector3>& positions, const std::vector<uint16_t>& indices,
                                       std::vector<uint16_t> adjacency = {}) {
    if (adjacency.empty())
        adjacency = indices;
    auto g = std::make_unique<Geometry>();
    GeometryAttribute a;
    a.components = 3;
    a.name = "vertPos";
    g->_attributes.push_back(a);
    g->updateStride();
    g->_vertexCount = (uint32_t)positions.size();
    g->_indexCount = (uint32_t)indices.size();
    g->_vertices = static_cast<uint8_t*>(std::malloc(positions.size() * 12 + 1));
    for (size_t i = 0; i < positions.size(); ++i)
        std::memcpy(g->_vertices + i * 12, &positions[i], 12);
    g->_indices = static_cast<uint16_t*>(std::malloc(indices.size() * 2 + 2));
    g->_adjacencyIndices = static_cast<uint16_t*>(std::malloc(indices.size() * 2 + 2));
    std::memcpy(g->_indices, indices.data(), indices.size() * 2);
    std::memcpy(g->_adjacencyIndices, adjacency.data(), adjacency.size() * 2);
    return g;
}

// A material whose shader has a float, a vec3 and a vec4 uniform.
struct ShadedMaterial {
    ShadedMaterial() {
        shader._uniforms = {new FloatShaderUniform("strength"), new Vector3ShaderUniform("tint"),
                            new Vector4ShaderUniform("glow")};
        material._shader = &shader;
    }
    ShaderUniform* uniform(const char* name) { return shader.getUniform(name); }
    Shader shader;
    Material material;
};

}  // namespace

TEST(Mesh, FreshMeshDefaultsAndRangeGetters) {
    auto g = makeGeometry({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2, 2, 1, 0});
    Mesh m;
    EXPECT_EQ(10000000.0f, m._visibilityDistanceSq);
    EXPECT_EQ(Vector4(1, 1, 1, 1), m._colour);
    EXPECT_EQ(0, m._hidden);
    EXPECT_EQ(1, m._cullable);
    EXPECT_EQ(Matrix4::identity(), m._worldMatrix);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(&m._worldMatrix) % 16);
    m._geometry = g.get();
    EXPECT_EQ(0, m.getFirstIndex());
    EXPECT_EQ(6, m.getIndexCount());
    m._firstIndex = 3;
    m._indexCount = 3;
    EXPECT_EQ(3, m.getFirstIndex());
    EXPECT_EQ(3, m.getIndexCount());
}

TEST(Mesh, SetGeometryCreatesBoundsOnceForAWholeRange) {
    auto g = makeGeometry({{-1, 0, 2}, {3, 1, 0}, {0, 5, -4}, {9, 9, 9}}, {0, 1, 2, 0, 2, 1, 3, 3, 3});
    {
        Mesh m;
        m._lastDrawn = 77;
        m.setGeometry(g.get(), -1, -1);
        EXPECT_EQ(nullptr, m._bounds);
        EXPECT_EQ(0u, m._lastDrawn);
        m.setGeometry(g.get(), 0, -1);
        EXPECT_EQ(nullptr, m._bounds);
    }
    Mesh m;
    m.setGeometry(g.get(), 0, 6);
    ASSERT_NE(nullptr, m._bounds);
    EXPECT_EQ(Vector3(-1, 0, -4), m._bounds->_localMin);
    EXPECT_EQ(Vector3(3, 5, 2), m._bounds->_localMax);
    Bounds* first = m._bounds;
    m.setGeometry(g.get(), 6, 3);  // bounds are made once
    EXPECT_EQ(first, m._bounds);
    EXPECT_EQ(Vector3(3, 5, 2), m._bounds->_localMax);
    EXPECT_EQ(6, m.getFirstIndex());
    EXPECT_EQ(3, m.getIndexCount());
}

TEST(Mesh, UpdateBoundsFollowsTheBoundsMode) {
    auto g = makeGeometry({{0, 0, 0}, {2, 1, 1}}, {0, 1});
    Mesh m;
    m.setGeometry(g.get(), 0, 2);
    m._worldMatrix = Matrix4::rotationZ(kPi / 2) * Matrix4::translation(Vector3(10, 0, 0));

    const int saved = boundsMode;
    boundsMode = 0;  // the box around the eight transformed corners; sphere untouched
    m.updateBounds();
    Vector3 sphere = m._bounds->_worldCentre;
    EXPECT_NEAR(9, m._bounds->_worldMin.x, 1e-5f);
    EXPECT_NEAR(0, m._bounds->_worldMin.y, 1e-5f);
    EXPECT_NEAR(10, m._bounds->_worldMax.x, 1e-5f);
    EXPECT_NEAR(2, m._bounds->_worldMax.y, 1e-5f);
    EXPECT_NEAR(1, m._bounds->_worldMax.z, 1e-5f);
    EXPECT_EQ(Vector3(1, 0.5f, 0.5f), sphere);

    boundsMode = 1;  // the world sphere and the cube around it
    m.updateBounds();
    EXPECT_NEAR(9.5f, m._bounds->_worldCentre.x, 1e-5f);
    EXPECT_NEAR(1, m._bounds->_worldCentre.y, 1e-5f);
    EXPECT_NEAR(m._bounds->_worldCentre.x - m._bounds->_worldRadius, m._bounds->_worldMin.x, 1e-5f);
    boundsMode = saved;
}

TEST(MeshUniforms, OverridesAreKeptPerUniformAndWrittenOnlyWhenDifferent) {
    ShadedMaterial sm;
    Mesh m;
    m._material = &sm.material;
    m.setUniformFloat("strength", 1.5f);
    m.setUniformVector3("tint", 1, 2, 3);
    m.setUniformFloat("strength", 2.5f);  // replaces, no second override
    m.setUniformVector4("glow", 4, 3, 2, 1);
    m.setUniformFloat("missing", 9);  // not in the shader: ignored
    ASSERT_EQ(3u, m._uniformOverrides.size());
    EXPECT_EQ(sm.uniform("strength"), m._uniformOverrides[0].uniform);
    EXPECT_EQ(2.5f, m._uniformOverrides[0].value[0]);

    m.updateShaderUniforms();
    auto* strength = static_cast<FloatShaderUniform*>(sm.uniform("strength"));
    auto* tint = static_cast<Vector3ShaderUniform*>(sm.uniform("tint"));
    auto* glow = static_cast<Vector4ShaderUniform*>(sm.uniform("glow"));
    EXPECT_EQ(2.5f, strength->_value);
    EXPECT_EQ(3, tint->_value[2]);
    EXPECT_EQ(1, glow->_value[3]);

    // Equal values leave the changed flags alone.
    strength->_changed = tint->_changed = glow->_changed = 0;
    m.updateShaderUniforms();
    EXPECT_EQ(0, strength->_changed + tint->_changed + glow->_changed);
    m.setUniformVector3("tint", 1, 2, 4);
    m.updateShaderUniforms();
    EXPECT_EQ(1, tint->_changed);
    EXPECT_EQ(0, strength->_changed);
}

TEST(MeshUniforms, TypeMismatchesAreLoggedAndKeepNoOverride) {
    struct Case {
        const char* name;
        void (*set)(Mesh&);
        const char* message;
    } cases[] = {
        {"vec3 through the float setter", [](Mesh& m) { m.setUniformFloat("tint", 1); },
         "Shader uniform <tint> type is not float"},
        {"float through the vec3 setter", [](Mesh& m) { m.setUniformVector3("strength", 1, 2, 3); },
         "Shader uniform <strength> type is not Vector3"},
        {"vec3 through the vec4 setter", [](Mesh& m) { m.setUniformVector4("tint", 1, 2, 3, 4); },
         "Shader uniform <tint> type is not Vector4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShadedMaterial sm;
        Mesh m;
        m._material = &sm.material;
        LogCapture log;
        c.set(m);
        EXPECT_TRUE(m._uniformOverrides.empty());
        ASSERT_EQ(1u, log.errors().size());
        EXPECT_EQ(c.message, log.errors()[0]);
    }
    // No material, or a material without shader: nothing at all.
    LogCapture log;
    Mesh bare;
    bare.setUniformFloat("strength", 1);
    Material noShader;
    bare._material = &noShader;
    bare.setUniformFloat("strength", 1);
    EXPECT_TRUE(bare._uniformOverrides.empty());
    EXPECT_TRUE(log.lines.empty());
}

TEST(TriangleAdjacency, TrianglesSharingTwoVerticesAreNeighbours) {
    // 0: (0,1,2); 1: (2,5,0) shares the edge 0-2 in the other order; 2: (0,3,4) shares only 0;
    // 3: (4,3,6) shares 3-4 with triangle 2.
    std::vector<Vector3> p(7);
    for (int i = 0; i < 7; ++i)
        p[i] = Vector3((float)i, (float)(i * i % 5), 0);
    auto g = makeGeometry(p, {0, 1, 2, 2, 5, 0, 0, 3, 4, 4, 3, 6});
    TriangleAdjacency adj;
    adj.build(*g, 0, 4);
    ASSERT_EQ(4u, adj._neighbours.size());
    EXPECT_EQ((std::vector<uint32_t>{1}), adj._neighbours[0]);
    EXPECT_EQ((std::vector<uint32_t>{0}), adj._neighbours[1]);
    EXPECT_EQ((std::vector<uint32_t>{3}), adj._neighbours[2]);
    EXPECT_EQ((std::vector<uint32_t>{2}), adj._neighbours[3]);
}

TEST(TriangleAdjacency, TwoSidedSheetFindsItsMirrors) {
    // A square in the XZ plane facing +y, and its back 0.02 above facing -y. Triangles 0 and 1
    // are the front, 2 and 3 the back.
    std::vector<Vector3> p = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1},
                              {0, 0.02f, 0}, {0, 0.02f, 1}, {1, 0.02f, 0}, {1, 0.02f, 1}};
    // A leading triangle outside the range checks that "first" is honoured.
    auto g = makeGeometry(p, {7, 7, 7, 0, 1, 2, 2, 1, 3, 4, 6, 5, 6, 7, 5});
    TriangleAdjacency adj;
    adj.build(*g, 3, 4);
    ASSERT_EQ(4u, adj._faces.size());
    EXPECT_EQ(Vector3(0, 1, 0), adj._faces[0].normal);
    EXPECT_EQ(Vector3(0, 1, 0), adj._faces[1].normal);
    EXPECT_EQ(Vector3(0, -1, 0), adj._faces[2].normal);
    EXPECT_EQ(Vector3(0, -1, 0), adj._faces[3].normal);

    EXPECT_EQ(2, adj._mirrors[0].mirror);
    EXPECT_EQ(4, adj._mirrors[0].vertex0);
    EXPECT_EQ(5, adj._mirrors[0].vertex1);
    EXPECT_EQ(6, adj._mirrors[0].vertex2);
    // Triangle 1 fails against triangle 2 (vertex 3 has nothing over it) and takes 3.
    EXPECT_EQ(3, adj._mirrors[1].mirror);
    EXPECT_EQ(6, adj._mirrors[1].vertex0);
    EXPECT_EQ(5, adj._mirrors[1].vertex1);
    EXPECT_EQ(7, adj._mirrors[1].vertex2);
    // The back faces have no later opposite triangle.
    EXPECT_EQ(-1, adj._mirrors[2].mirror);
    EXPECT_EQ(-1, adj._mirrors[3].mirror);

    EXPECT_EQ((std::vector<uint32_t>{1}), adj._neighbours[0]);
    EXPECT_EQ((std::vector<uint32_t>{3}), adj._neighbours[2]);
}

TEST(TriangleAdjacency, RangesOutsideTheGeometryBuildNothing) {
    auto g = makeGeometry({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 1, 2});
    struct Case {
        int32_t first, count;
    } cases[] = {{0, 2}, {1, 1}, {-3, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << "+" << c.count);
        LogCapture log;
        TriangleAdjacency adj;
        adj.build(*g, c.first, c.count);
        EXPECT_TRUE(adj._faces.empty());
        EXPECT_TRUE(adj._mirrors.empty());
        EXPECT_TRUE(log.contains("[TriangleAdjacency::build]"));
    }
    TriangleAdjacency adj;
    adj.build(*g, 0, 1);
    adj.build(*g, 0, 1);  // built again from scratch, not appended to
    EXPECT_EQ(1u, adj._faces.size());
    EXPECT_TRUE(adj._neighbours[0].empty());
}

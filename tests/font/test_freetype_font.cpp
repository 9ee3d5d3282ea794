// Glyph-sheet fonts: the glyph file, font meshes and text placed in 3D by a matrix.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "engine/file.h"
#include "engine/font/FreetypeFont.h"
#include "engine/render/Material.h"
#include "engine/render/Texture.h"
#include "support_font.h"

namespace {

std::string glyphLine(int c, int w, int h, float ox, float oy, int adv, int cx, int cy) {
    char line[256];
    std::snprintf(line, sizeof(line),
                  "charadter=%d bitmapWidth=%d bitmapHeight=%d offsetX=%g offsetY=%g advanceX=%d advanceY=0 "
                  "characterHeight=20 cursorX=%d cursorY=%d\n",
                  c, w, h, ox, oy, adv, cx, cy);
    return line;
}

struct Vertex {
    float pos[3], uv[2];
};

class FreetypeFontTest : public ::testing::Test {
protected:
    void load(const std::string& glyphs) {
        bundle.write("fonts/sheet.txt", glyphs);
        File f;
        ASSERT_EQ(f.open("fonts/sheet.txt", "rt"), 1);
        font.loadGlyphs(f);
        font._texture = new Texture();
        font._texture->_width = 100;
        font._texture->_height = 50;
    }
    FontMesh* makeMesh() {
        mesh.reset(static_cast<FontMesh*>(font.createMesh(&material)));
        return mesh.get();
    }
    const Vertex* vertices() { return (const Vertex*)mesh->fontGeometry()->_vertices; }
    // Centre of the box of vertices [first, first + count).
    Vector3 centre(uint32_t first, uint32_t count) {
        const Vertex* v = vertices() + first;
        float minX = v[0].pos[0], maxX = minX, minY = v[0].pos[1], maxY = minY;
        for (uint32_t i = 1; i < count; ++i) {
            minX = std::min(minX, v[i].pos[0]);
            maxX = std::max(maxX, v[i].pos[0]);
            minY = std::min(minY, v[i].pos[1]);
            maxY = std::max(maxY, v[i].pos[1]);
        }
        return Vector3((minX + maxX) / 2, (minY + maxY) / 2, v[0].pos[2]);
    }

    fonttest::Bundle bundle;
    FreetypeFont font;
    Material material;
    std::unique_ptr<FontMesh> mesh;
};

TEST_F(FreetypeFontTest, GlyphLinesNeedAllTenFields) {
    std::string nine = "charadter=66 bitmapWidth=1 bitmapHeight=1 offsetX=0 offsetY=0 advanceX=1 advanceY=0 "
                       "characterHeight=1 cursorX=0\n";
    std::string longLine = glyphLine(67, 1, 1, 0, 0, 1, 0, 0);
    longLine.insert(longLine.size() - 1, std::string(1100, ' '));
    load(glyphLine('A', 10, 20, 1.5f, -2, 12, 3, 4) + nine + longLine + "junk\n\n" + glyphLine(-23, 5, 5, 0, 0, 6, 0, 0));
    ASSERT_EQ(font._glyphRecords.size(), 2u);
    const FreetypeFont::GlyphRecord& a = font._glyphRecords[0];
    EXPECT_EQ(a.charadter, 'A');
    EXPECT_EQ(a.bitmapWidth, 10);
    EXPECT_EQ(a.bitmapHeight, 20);
    EXPECT_FLOAT_EQ(a.offsetX, 1.5f);
    EXPECT_FLOAT_EQ(a.offsetY, -2);
    EXPECT_EQ(a.advanceX, 12);
    EXPECT_EQ(a.cursorX, 3);
    EXPECT_EQ(a.cursorY, 4);
    EXPECT_EQ(font._glyphRecords[1].charadter, -23);
}

TEST_F(FreetypeFontTest, MeshesAreDynamicAndShareTheSheetOnce) {
    load(glyphLine('A', 10, 20, 0, 0, 12, 0, 0));
    makeMesh();
    std::unique_ptr<FontMesh> second(static_cast<FontMesh*>(font.createMesh(&material)));
    ASSERT_EQ(material._textures.size(), 1u);
    EXPECT_EQ(material._textures[0], font._texture);
    EXPECT_EQ(mesh->_material, &material);
    FontMesh::FontMeshGeometry* g = mesh->fontGeometry();
    EXPECT_TRUE(g->isDynamic());
    EXPECT_EQ(g->_stride, 20u);
    EXPECT_EQ(g->_vertexCount, 0u);
    EXPECT_EQ(mesh->_geometry, g);
    EXPECT_EQ(mesh->getIndexCount(), 0);
}

TEST_F(FreetypeFontTest, OneGlyphIsCentredOnTheOrigin) {
    load(glyphLine('A', 10, 20, 0, 0, 12, 30, 10));
    makeMesh();
    font.addText(mesh.get(), "A", Matrix4::identity(), 70, Vector3());
    FontMesh::FontMeshGeometry* g = mesh->fontGeometry();
    ASSERT_EQ(g->_vertexCount, 4u);
    ASSERT_EQ(g->_indexCount, 6u);
    const Vertex* v = vertices();
    // 20 x 40 units around (0, 0), corners in the order +R+U, +R-U, -R+U, -R-U.
    const float want[4][2] = {{10, 20}, {10, -20}, {-10, 20}, {-10, -20}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[i].pos[0], want[i][0]);
        EXPECT_FLOAT_EQ(v[i].pos[1], want[i][1]);
        EXPECT_FLOAT_EQ(v[i].pos[2], 0);
    }
    EXPECT_FLOAT_EQ(v[0].uv[0], 0.4f);   // (30 + 10) / 100
    EXPECT_FLOAT_EQ(v[0].uv[1], 0.6f);   // (10 + 20) / 50
    EXPECT_FLOAT_EQ(v[3].uv[0], 0.3f);
    EXPECT_FLOAT_EQ(v[3].uv[1], 0.2f);
    const uint16_t idx[6] = {0, 1, 2, 1, 2, 3};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(g->_indices[i], idx[i]);
}

TEST_F(FreetypeFontTest, MissingGlyphsAddNothingAndDoNotAdvance) {
    load(glyphLine('A', 10, 20, 0, 0, 12, 0, 0));
    makeMesh();
    font.addText(mesh.get(), "A?A", Matrix4::identity(), 70, Vector3());
    ASSERT_EQ(mesh->fontGeometry()->_vertexCount, 8u);
    // Two quads 2 x 12 apart, centred as a block.
    EXPECT_FLOAT_EQ(vertices()[4].pos[0] - vertices()[0].pos[0], 24);
    font.clear(mesh.get());
    font.addText(mesh.get(), "???", Matrix4::identity(), 70, Vector3());
    EXPECT_EQ(mesh->fontGeometry()->_vertexCount, 0u);
}

TEST_F(FreetypeFontTest, TextsAppendAndAreEachCentredOnTheirOrigin) {
    load(glyphLine('A', 10, 20, 1, 3, 12, 0, 0) + glyphLine('B', 6, 8, 0, 0, 7, 0, 0));
    makeMesh();
    Matrix4 m = Matrix4::rotationZ(0.3f);
    m.setTranslation(Vector3(5, 6, 7));
    font.clear(mesh.get());
    font.addText(mesh.get(), "AB", Matrix4::translation(Vector3(-3, 2, 0)), 35, Vector3(4, 2, 0));
    font.addText(mesh.get(), "BA", m, 70, Vector3(0, 0, 10));
    FontMesh::FontMeshGeometry* g = mesh->fontGeometry();
    ASSERT_EQ(g->_vertexCount, 16u);
    ASSERT_EQ(g->_indexCount, 24u);
    EXPECT_EQ(g->_indices[12], 8) << "the second text's indices continue after the first's";

    Vector3 c1 = centre(0, 8), c2 = centre(8, 8);
    EXPECT_NEAR(c1.x, -3 + 2, 1e-4f);
    EXPECT_NEAR(c1.y, 2 + 1, 1e-4f);
    EXPECT_NEAR(c2.x, 5, 1e-4f);
    EXPECT_NEAR(c2.y, 6, 1e-4f);
    // The origin's depth counts once, plus half the alignment's z.
    for (uint32_t i = 8; i < 16; ++i)
        EXPECT_NEAR(vertices()[i].pos[2], 7 + 5, 1e-4f);

    // Clearing keeps the buffers and starts over.
    uint8_t* before = g->_vertices;
    font.clear(mesh.get());
    EXPECT_EQ(g->_vertexCount, 0u);
    font.addText(mesh.get(), "A", Matrix4::identity(), 70, Vector3());
    EXPECT_EQ(g->_vertices, before);
}

TEST_F(FreetypeFontTest, SizeScalesTheGlyphsAlongTheMatrixAxes) {
    load(glyphLine('A', 10, 20, 0, 0, 12, 0, 0));
    makeMesh();
    Matrix4 m;
    m.setRow3(0, Vector3(0, 2, 0));  // text x along world y, axis length 2
    m.setRow3(1, Vector3(0, 0, 1));  // text y along world z
    font.addText(mesh.get(), "A", m, 35, Vector3());
    const Vertex* v = vertices();
    // s = 35 / 70: R = (0, 1, 0), U = (0, 0, 0.5): 20 units along y, 20 along z.
    EXPECT_FLOAT_EQ(v[0].pos[1] - v[2].pos[1], 20);
    EXPECT_FLOAT_EQ(v[0].pos[2] - v[1].pos[2], 20);
}

}  // namespace

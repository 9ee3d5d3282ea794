// Text geometry: a bitmap font's layout turned into vertices and indices of a TextGeometry.

#include <gtest/gtest.h>

#include <vector>

#include "engine/font/CTexFont.h"
#include "engine/font/TextFont.h"
#include "font_fixture.h"
#include "support_font.h"

namespace {

struct Vertex {
    float pos[3], uv[2], normal[3], colour[3];
};

class TextGeometryTest : public ::testing::Test {
protected:
    void SetUp() override {
        bundle.write("fonts/fixture.fnt", fontfixture::fntText());
        CTexFont* bitmap = new CTexFont();
        ASSERT_EQ(bitmap->Load("fonts/fixture.fnt"), 1);
        font.reset(new TextFont(bitmap, nullptr));
    }
    const Vertex* vertices() const { return (const Vertex*)geometry._vertices; }

    fonttest::Bundle bundle;
    std::unique_ptr<TextFont> font;
    TextGeometry geometry;
};

TEST_F(TextGeometryTest, IsADynamicGeometryOfFourAttributes) {
    EXPECT_TRUE(geometry.isDynamic());
    EXPECT_EQ(geometry.getPrimitiveType(), 0);
    EXPECT_EQ(geometry._stride, 44u);
    ASSERT_EQ(geometry._attributes.size(), 4u);
    const char* names[] = {"vertPos", "texCoords0", "vertNormal", "vertColor"};
    const int components[] = {3, 2, 3, 3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(geometry._attributes[i].name, names[i]);
        EXPECT_EQ(geometry._attributes[i].components, components[i]);
    }
    EXPECT_EQ(geometry._vertexCount, 0u);
    EXPECT_EQ(geometry._indexCount, 0u);
}

TEST_F(TextGeometryTest, EmptyAndBlankStringsGiveNothing) {
    for (const char* text : std::vector<const char*>{"", "   ", "\n", nullptr}) {
        std::vector<Vector3> positions;
        TextFont::buildTextGeometry(font.get(), &positions, &geometry, text, 8);
        EXPECT_EQ(geometry._vertexCount, 0u);
        EXPECT_EQ(geometry._indexCount, 0u);
        EXPECT_TRUE(positions.empty());
        EXPECT_TRUE(font->_font->_layoutVertices.empty());
    }
}

TEST_F(TextGeometryTest, GlyphsLieInTheXZPlaneAtFontPixelSize) {
    std::vector<Vector3> positions;
    TextFont::buildTextGeometry(font.get(), &positions, &geometry, "AB", 8 | 1);
    ASSERT_EQ(geometry._vertexCount, 8u);
    ASSERT_EQ(geometry._indexCount, 12u);
    const Vertex* v = vertices();
    // 'A' is 6 pixels wide from pen 0: x from 0 to 0.09; top y -8 becomes z +0.12.
    EXPECT_FLOAT_EQ(v[0].pos[0], 0);
    EXPECT_FLOAT_EQ(v[0].pos[1], 0);
    EXPECT_FLOAT_EQ(v[0].pos[2], 8 * 0.015f);
    EXPECT_FLOAT_EQ(v[2].pos[0], 6 * 0.015f);
    EXPECT_FLOAT_EQ(v[1].pos[2], 0);
    EXPECT_FLOAT_EQ(v[5].uv[0], 0.10f);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(v[i].normal[0], 0);
        EXPECT_EQ(v[i].normal[2], 0);
        EXPECT_FLOAT_EQ(v[i].colour[0], 1);
    }
    const uint16_t want[12] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(geometry._indices[i], want[i]);
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_FLOAT_EQ(positions[1].x, 13 * 0.015f);
    EXPECT_TRUE(font->_font->_layoutVertices.empty()) << "the layout is cleared for the next build";
}

TEST_F(TextGeometryTest, ColourCodesReachTheVertexColours) {
    TextFont::buildTextGeometry(font.get(), nullptr, &geometry, "^1A^eB", 8);
    ASSERT_EQ(geometry._vertexCount, 8u);
    const Vertex* v = vertices();
    EXPECT_FLOAT_EQ(v[0].colour[0], 1);
    EXPECT_FLOAT_EQ(v[0].colour[1], 0);
    EXPECT_FLOAT_EQ(v[0].colour[2], 0);
    EXPECT_FLOAT_EQ(v[4].colour[0], 100 / 255.0f);
    EXPECT_FLOAT_EQ(v[4].colour[1], 200 / 255.0f);
    EXPECT_FLOAT_EQ(v[4].colour[2], 1);
}

TEST_F(TextGeometryTest, RebuildingShrinksAndGrowsTheArrays) {
    TextFont::buildTextGeometry(font.get(), nullptr, &geometry, "ABABABAB", 8);
    EXPECT_EQ(geometry._vertexCount, 32u);
    TextFont::buildTextGeometry(font.get(), nullptr, &geometry, "A", 8);
    EXPECT_EQ(geometry._vertexCount, 4u);
    EXPECT_EQ(geometry._indexCount, 6u);
    std::string longText(5000, 'A');
    TextFont::buildTextGeometry(font.get(), nullptr, &geometry, longText.c_str(), 8);
    EXPECT_EQ(geometry._vertexCount, 20000u);
    EXPECT_EQ(geometry._indices[geometry._indexCount - 1], 19999);
}

TEST_F(TextGeometryTest, IndicesNeverWrapOnVeryLongTexts) {
    fonttest::LogCapture log;
    std::string longText(20000, 'A');
    TextFont::buildTextGeometry(font.get(), nullptr, &geometry, longText.c_str(), 8);
    EXPECT_EQ(geometry._vertexCount, 65536u);
    EXPECT_EQ(geometry._indices[geometry._indexCount - 1], 65535);
    EXPECT_TRUE(log.contains("[TextFont::buildTextGeometry]"));
}

TEST_F(TextGeometryTest, FontsWithoutABitmapDoNothing) {
    TextFont empty;
    TextFont::buildTextGeometry(&empty, nullptr, &geometry, "AB", 8);
    TextFont::buildTextGeometry(nullptr, nullptr, &geometry, "AB", 8);
    EXPECT_EQ(geometry._vertexCount, 0u);
    EXPECT_EQ(empty.createMesh(nullptr), nullptr);
}

}  // namespace

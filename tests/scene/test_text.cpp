// Text nodes: strings laid out with a bitmap font into the node's mesh, alignment, missing
// fonts, and the sample font of the content folder.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"
#include "engine/bounds.h"
#include "engine/font/CTexFont.h"
#include "engine/font/TextFont.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "../font/font_fixture.h"
#include "support_scene.h"

using scenetest::expectVec;

namespace {

class TextTest : public ::testing::Test {
protected:
    TextTest() : stores(bundle.path(), documents.path()) {
        testsupport::writeFile(bundle.path() + "/data/fonts/fixture.fnt", fontfixture::fntText());
        CTexFont* bitmap = new CTexFont();
        EXPECT_EQ(bitmap->Load("fonts/fixture.fnt"), 1);
        font.reset(new TextFont(bitmap, &material));
    }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores;
    Material material;
    std::unique_ptr<TextFont> font;
};

TEST_F(TextTest, ANewTextNodeDrawsItsGeometryThroughOneMesh) {
    Text text(nullptr);
    ASSERT_EQ(text._meshes.size(), 1u);
    EXPECT_EQ(text._meshes[0], text._mesh);
    EXPECT_EQ(text._mesh->_geometry, (Geometry*)text._geometry);
    EXPECT_EQ(text._alignH, 0);
    EXPECT_EQ(text._alignV, 0);
    EXPECT_TRUE(text._text.empty());
    ASSERT_NE(text._bounds, nullptr);

    text.setFont(font.get());
    EXPECT_EQ(text._mesh->_material, &material);
}

TEST_F(TextTest, SetTextFormatsAndLaysOut) {
    Text text(nullptr);
    text.setFont(font.get());
    text.setText("%d", 42);
    EXPECT_EQ(text._text, "42");
    EXPECT_EQ(text._geometry->_vertexCount, 8u);
    EXPECT_EQ(text._mesh->getIndexCount(), 12) << "the mesh draws the whole index range";
    // "42" spans 14 pixels wide and 8 tall (above the base line: positive z).
    const Bounds* b = text._mesh->_bounds;
    expectVec(b->_localMin, Vector3(0, 0, 0));
    expectVec(b->_localMax, Vector3(13 * 0.015f, 0, 8 * 0.015f));

    text.setString("");
    EXPECT_EQ(text._geometry->_vertexCount, 0u);
    expectVec(text._mesh->_bounds->_localMin, Vector3());
    expectVec(text._mesh->_bounds->_localMax, Vector3());
}

TEST_F(TextTest, AlignmentGivesTheLayoutFlags) {
    struct Case {
        int h, v, flags;
    };
    const Case cases[] = {{0, 0, 9}, {1, 2, 20}, {2, 1, 34}, {1, 0, 17}, {3, 2, 4}, {-1, 7, 0}};
    Text text(nullptr);
    for (const Case& c : cases) {
        text._alignH = c.h;
        text._alignV = c.v;
        EXPECT_EQ(text.layoutFlags(), c.flags) << c.h << "," << c.v;
    }

    // Centred text straddles the node's origin.
    text.setFont(font.get());
    text._alignH = 1;
    text._alignV = 0;
    text.setString("AB");
    const Bounds* b = text._mesh->_bounds;
    EXPECT_FLOAT_EQ(b->_localMin.x, -6.5f * 0.015f);
    EXPECT_FLOAT_EQ(b->_localMax.x, 6.5f * 0.015f);
}

TEST_F(TextTest, AMissingFontLogsAndShowsNothing) {
    scenetest::LogCapture log;
    Text text(nullptr);
    text._name = "score";
    text.setFont(font.get());
    text.setString("AB");
    ASSERT_EQ(text._geometry->_vertexCount, 8u);

    text.setFont(nullptr);
    EXPECT_TRUE(log.contains("[Text::setFont]"));
    EXPECT_EQ(text._font, nullptr);
    EXPECT_EQ(text._geometry->_vertexCount, 0u);
    text.setText("%s", "still nothing");
    EXPECT_EQ(text._text, "still nothing");
    EXPECT_EQ(text._geometry->_vertexCount, 0u);
    EXPECT_EQ(text._geometry->_indexCount, 0u);
}

TEST_F(TextTest, LongFormattedTextsAreCut) {
    Text text(nullptr);
    text.setFont(font.get());
    std::string huge(Text::FormatBufferSize * 2, 'A');
    text.setText("%s", huge.c_str());
    EXPECT_EQ(text._text.size(), (size_t)Text::FormatBufferSize - 1);
    EXPECT_EQ(text._geometry->_vertexCount, 4u * (Text::FormatBufferSize - 1));
}

TEST_F(TextTest, TextFollowsItsParent) {
    Object parent(nullptr);
    Text* text = new Text(&parent);
    text->setFont(font.get());
    text->setString("A");
    parent.setPosition(Vector3(0, 5, 0));
    expectVec(text->_mesh->_worldMatrix.getTranslation(), Vector3(0, 5, 0));
    // The text node's bounds follow its mesh's world box.
    expectVec(text->_bounds->_worldMin, Vector3(0, 5, 0), 1e-5f);
}

TEST(SampleFontTest, TextLaysOutWithTheSampleFont) {
    testsupport::TempDir documents;
    testsupport::ScopedStores stores(testsupport::contentDir(), documents.path());
    ResourceManager& rm = ResourceManager::instance();
    {
        TextFont* font = rm.getFont("fonts/dejavu_sans");
        ASSERT_NE(font, nullptr);
        ASSERT_NE(font->_font, nullptr);
        ASSERT_NE(font->_material, nullptr);
        ASSERT_EQ(font->_material->_textures.size(), 1u);
        EXPECT_GT(font->_font->_lineHeight, 0);

        Text text(nullptr);
        text.setFont(font);
        text._alignH = 1;
        text._alignV = 1;
        text.setString("Zelvan ^1Express^-\nScore: 42");
        EXPECT_EQ(text._geometry->_vertexCount, 4u * 21);
        const Bounds* b = text._mesh->_bounds;
        EXPECT_NEAR(b->_localMin.x, -b->_localMax.x, 0.2f) << "centred about the origin";
        EXPECT_GT(b->_localMax.z - b->_localMin.z, font->_font->_lineHeight * 0.015f) << "two lines tall";
        EXPECT_GT(b->_localMax.x - b->_localMin.x, 1.0f);
        const CTexFont& bitmap = *font->_font;
        EXPECT_GT(bitmap.measureText("W", -1, 1), bitmap.measureText("i", -1, 1));
    }
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
}

}  // namespace

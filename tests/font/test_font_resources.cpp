// Fonts through the resource manager: bitmap fonts before glyph sheets, one object per name.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/font/CTexFont.h"
#include "engine/font/FreetypeFont.h"
#include "engine/font/TextFont.h"
#include "engine/render/Material.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Texture.h"
#include "font_fixture.h"
#include "support_font.h"

namespace {

// An uncompressed 32-bit TGA of w x h transparent pixels.
std::vector<uint8_t> tga(uint16_t w, uint16_t h) {
    testsupport::ByteWriter b;
    const uint8_t header[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    b.raw(header, sizeof(header));
    b.u16(w);
    b.u16(h);
    b.u8(32);
    b.u8(8);
    for (int i = 0; i < w * h * 4; ++i)
        b.u8(0);
    return b.bytes;
}

class FontResourcesTest : public ::testing::Test {
protected:
    ~FontResourcesTest() override {
        // The cache never lets fonts go; the tests do, so each starts from an empty cache.
        ResourceManager& rm = ResourceManager::instance();
        for (auto& entry : rm._fonts)
            delete entry.second;
        rm._fonts.clear();
        rm.resetForTests();
    }
    fonttest::Bundle bundle;
    ResourceManager& rm = ResourceManager::instance();
};

TEST_F(FontResourcesTest, ABitmapFontTakesTheMaterialOfItsName) {
    bundle.write("fonts/plain.fnt", fontfixture::fntText());
    bundle.write("fonts/plain.tga", tga(4, 4));
    bundle.write("fonts/plain.txt", "charadter=65 bitmapWidth=1 bitmapHeight=1 offsetX=0 offsetY=0 advanceX=1 "
                                    "advanceY=0 characterHeight=1 cursorX=0 cursorY=0\n");
    bundle.write("materials/fonts/plain.txt", "blendMode = alpha_blend\n");

    TextFont* font = rm.getFont("fonts/plain");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(dynamic_cast<FreetypeFont*>(font), nullptr) << "the .fnt file wins over the glyph sheet";
    ASSERT_NE(font->_font, nullptr);
    EXPECT_EQ(font->_font->_glyphs[size_t('A')].width, 6);
    ASSERT_NE(font->_material, nullptr);
    EXPECT_EQ(font->_material, rm.getMaterial("materials/fonts/plain.txt"));
    EXPECT_EQ(font->_material->_blendMode, BlendAlpha);

    // Cached: a second request neither reads nor makes anything.
    bundle.write("fonts/plain.fnt", "broken");
    EXPECT_EQ(rm.getFont("fonts/plain"), font);
    EXPECT_EQ(font->_font->_glyphs[size_t('A')].width, 6);
}

TEST_F(FontResourcesTest, ABitmapFontWithoutMaterialOrValidFileIsStillMade) {
    fonttest::LogCapture log;
    bundle.write("fonts/bare.fnt", "info outline=0\n");
    TextFont* font = rm.getFont("fonts/bare");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->_material, nullptr);
    EXPECT_TRUE(log.contains("[CTexFont::Load] Failed (fonts/bare.fnt)"));
}

TEST_F(FontResourcesTest, AGlyphSheetFontNeedsItsGlyphFile) {
    bundle.write("fonts/sheet.tga", tga(8, 4));
    EXPECT_EQ(rm.getFont("fonts/sheet"), nullptr);
    EXPECT_EQ(rm._fonts.count("fonts/sheet"), 0u) << "nothing is cached for a font that was not made";

    bundle.write("fonts/sheet.txt", "charadter=65 bitmapWidth=1 bitmapHeight=1 offsetX=0 offsetY=0 advanceX=1 "
                                    "advanceY=0 characterHeight=1 cursorX=0 cursorY=0\n");
    auto* font = dynamic_cast<FreetypeFont*>(rm.getFont("fonts/sheet"));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->_font, nullptr);
    EXPECT_EQ(font->_glyphRecords.size(), 1u);
    ASSERT_NE(font->_texture, nullptr);
    EXPECT_EQ(font->_texture->_width, 8);
    EXPECT_EQ(font->_texture->_height, 4);
    EXPECT_EQ(rm._textures.count("fonts/sheet.tga"), 0u) << "the sheet is not cached as a texture";
}

TEST_F(FontResourcesTest, AMissingFontIsLookedForAgain) {
    EXPECT_EQ(rm.getFont("fonts/later"), nullptr);
    bundle.write("fonts/later.fnt", fontfixture::fntText());
    EXPECT_NE(rm.getFont("fonts/later"), nullptr);
}

}  // namespace

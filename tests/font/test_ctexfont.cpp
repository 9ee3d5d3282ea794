// Bitmap fonts: reading ".fnt" files, counting, measuring and laying out text with its codes.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/font/CTexFont.h"
#include "engine/utils.h"
#include "font_fixture.h"
#include "support_font.h"

using fonttest::Bundle;
using fonttest::LogCapture;

namespace {

const uint32_t kWhite = 0xffffffffu;
const uint32_t kRed = 0xff0000ffu;
const uint32_t kGreen = 0xff00ff00u;

class CTexFontTest : public ::testing::Test {
protected:
    void load(const std::string& text = fontfixture::fntText()) {
        bundle.write("fonts/fixture.fnt", text);
        ASSERT_EQ(font.Load("fonts/fixture.fnt"), 1);
    }
    // Left x of each quad.
    std::vector<float> quadLefts() const {
        std::vector<float> xs;
        for (size_t i = 0; i + 3 < font._layoutVertices.size(); i += 4)
            xs.push_back(font._layoutVertices[i].x);
        return xs;
    }
    std::vector<uint32_t> quadColours() const {
        std::vector<uint32_t> cs;
        for (size_t i = 0; i + 3 < font._layoutVertices.size(); i += 4)
            cs.push_back(font._layoutVertices[i].colour);
        return cs;
    }

    Bundle bundle;
    CTexFont font;
};

TEST_F(CTexFontTest, LoadReadsMetricsAndGlyphs) {
    load(fontfixture::fntText(2));
    EXPECT_EQ(font._lineHeight, 12);  // lineHeight + outline
    EXPECT_EQ(font._base, 8);
    EXPECT_FLOAT_EQ(font._invScaleW, 0.01f);
    EXPECT_FLOAT_EQ(font._invScaleH, 0.02f);
    const CTexFont::Glyph& b = font._glyphs[size_t('B')];
    EXPECT_EQ(b.x, 10);
    EXPECT_EQ(b.width, 5);
    EXPECT_EQ(b.height, 8);
    EXPECT_EQ(b.xoffset, 1);
    EXPECT_EQ(b.xadvance, 8);  // 6 + outline
    EXPECT_EQ(font._glyphs[0xE9].yoffset, -2);
    EXPECT_EQ(font._kerning, nullptr);
}

TEST_F(CTexFontTest, FourLinesWithNoCharactersGiveAnEmptyTableThatStillLaysOut) {
    load("info outline=0\ncommon lineHeight=10 base=8 scaleW=64 scaleH=64\npage id=0 file=\"x\"\nchars count=0\n");
    font.layoutText(0, 0, "AB", kWhite, CTexFont::MultiLine);
    ASSERT_EQ(font._layoutVertices.size(), 8u);
    for (const CTexFont::LayoutVertex& v : font._layoutVertices) {
        EXPECT_EQ(v.x, 0) << "zero glyphs sit at the pen and do not advance";
        EXPECT_EQ(v.y, -8);
    }
}

TEST_F(CTexFontTest, BrokenFilesFailWithTheirMessage) {
    struct Case {
        const char* name;
        std::string text;
    };
    const std::string full = fontfixture::fntText();
    const Case cases[] = {
        {"empty", ""},
        {"two lines", "info outline=0\ncommon lineHeight=10 base=8 scaleW=64 scaleH=64\n"},
        {"three lines", "info outline=0\ncommon lineHeight=10\npage id=0\n"},
        {"character lines missing", full.substr(0, full.find("char id=66"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        bundle.write("fonts/broken.fnt", c.text);
        CTexFont f;
        f._layoutVertices.push_back({1, 2, 3, 4, 5, 6});
        EXPECT_EQ(f.Load("fonts/broken.fnt"), 0);
        EXPECT_TRUE(log.contains("[CTexFont::Load] Failed (fonts/broken.fnt)"));
        EXPECT_TRUE(f._layoutVertices.empty());
    }
    CTexFont f;
    EXPECT_EQ(f.Load("fonts/missing.fnt"), 0);
}

TEST_F(CTexFontTest, OutOfRangeCodesAreSkipped) {
    LogCapture log;
    std::string text = fontfixture::fntText();
    text.replace(text.find("chars count=7"), 13, "chars count=9");
    text.insert(text.find("char id=65"), fontfixture::charLine(300, 1, 1, 9, 9, 0, 0, 9));
    text.insert(text.find("char id=65"), fontfixture::charLine(-1, 1, 1, 9, 9, 0, 0, 9));
    load(text + "kernings count=4\nkerning first=65 second=66 amount=-3\n"
                "kerning first=300 second=65 amount=2\nkerning first=65 second=-2 amount=2\n"
                "kerning first=66 second=65 amount=1\n");
    ASSERT_NE(font._kerning, nullptr);
    EXPECT_EQ(font._kerning['A' * 256 + 'B'], -3);
    EXPECT_EQ(font._kerning['B' * 256 + 'A'], 1) << "reading goes on after a skipped pair";
    EXPECT_TRUE(log.contains("kerning pair 300 65"));
    EXPECT_TRUE(log.contains("kerning pair 65 -2"));
    EXPECT_EQ(font._glyphs[300 % 256].width, 0);
}

TEST_F(CTexFontTest, KerningMovesThePenUnscaled) {
    load(fontfixture::fntText(0, "kernings count=1\nkerning first=65 second=66 amount=-3\n"));
    font.layoutText(0, 0, "AB", kWhite, CTexFont::MultiLine);
    EXPECT_EQ(quadLefts(), (std::vector<float>{0, 7 - 3 + 1}));
    font.clearLayout();
    font.layoutText(0, 0, "^(2)AB", kWhite, CTexFont::MultiLine);
    EXPECT_EQ(quadLefts(), (std::vector<float>{0, 14 - 3 + 2}));

    // A kerning table but a missing kerning line still loads.
    CTexFont f;
    bundle.write("fonts/short.fnt", fontfixture::fntText(0, "kernings count=3\nkerning first=65 second=66 amount=-3\n"));
    EXPECT_EQ(f.Load("fonts/short.fnt"), 1);
}

TEST_F(CTexFontTest, CountVerticesSkipsCodesAndWhiteSpace) {
    load();
    struct Case {
        const char* text;
        int vertices;
    };
    const Case cases[] = {
        {"", 0},          {"AB", 8},          {"A B\n", 8},        {"^1AB", 8},     {"^^", 4},
        {"A^", 8},        {"^(2)AB", 8},      {"^(2AB", 0},        {"^-A", 4},      {"\xE9\xFF", 8},
        {"^\xE9" "A", 4}, {"A\tB\r\nB", 12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(font.countVertices(c.text), c.vertices) << '"' << c.text << '"';
}

TEST_F(CTexFontTest, MeasureText) {
    load();
    struct Case {
        const char* text;
        int length;
        float scale;
        float width;
    };
    const Case cases[] = {
        {"", -1, 1, 0},
        {"A", -1, 1, 6},
        {"AB", -1, 1, 7 + 1 + 5},      // B's box ends at 7 + 1 + 5
        {"AB", 1, 1, 6},                // length limits the run
        {"AB", -1, 2, 26},
        {"^1A^-B", -1, 1, 13},          // codes measure nothing
        {"^(3)A", -1, 1, 6},            // the scale code is skipped, the given scale used
        {"B", -1, 1, 5},                // from the box's left edge, not the pen
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(font.measureText(c.text, c.length, c.scale), c.width) << '"' << c.text << '"';
}

TEST_F(CTexFontTest, GlyphQuadsFollowThePenBaseAndPage) {
    load();
    font.layoutText(0, 0, "AB", kWhite, CTexFont::MultiLine);
    const auto& v = font._layoutVertices;
    ASSERT_EQ(v.size(), 8u);
    // 'B': left = 7 + 1, right = 13, top = 0 - 8, bottom = 0; u 0.10 .. 0.15, v 0 .. 0.16.
    const float want[4][4] = {{8, -8, 0.10f, 0}, {8, 0, 0.10f, 0.16f}, {13, 0, 0.15f, 0.16f}, {13, -8, 0.15f, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[4 + i].x, want[i][0]);
        EXPECT_FLOAT_EQ(v[4 + i].y, want[i][1]);
        EXPECT_FLOAT_EQ(v[4 + i].u, want[i][2]);
        EXPECT_FLOAT_EQ(v[4 + i].v, want[i][3]);
        EXPECT_EQ(v[4 + i].z, 0);
    }
    ASSERT_EQ(font._penPositions.size(), 2u);
    EXPECT_EQ(font._penPositions[1].x, 13);

    // Nothing for an empty text or a transparent colour.
    font.clearLayout();
    font.layoutText(0, 0, "", kWhite, 0x80);
    font.layoutText(0, 0, "AB", 0x00ffffffu, 0x80);
    font.layoutText(0, 0, "   ", kWhite, 0x80);
    EXPECT_TRUE(font._layoutVertices.empty());
}

TEST_F(CTexFontTest, ColourCodes) {
    load();
    const uint32_t blue = 0xffff0000u;
    struct Case {
        const char* text;
        std::vector<uint32_t> colours;
    };
    const Case cases[] = {
        {"^1AB^-A", {kRed, kRed, kWhite}},
        {"^1A^2B^-A", {kRed, kGreen, kRed}},
        {"^-A", {kWhite}},
        {"^1A^-B^-A", {kRed, kWhite, kWhite}},
        {"^3A^aB^AA", {blue, CTexFont::paletteColour(10), CTexFont::paletteColour(10)}},
        {"^FA^!B", {CTexFont::paletteColour(15), CTexFont::paletteColour(1)}},
        {"^^A^", {kWhite, kWhite, kWhite}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        font.clearLayout();
        font.layoutText(0, 0, c.text, kWhite, CTexFont::MultiLine);
        EXPECT_EQ(quadColours(), c.colours);
    }

    // A doubled caret draws the caret glyph; a caret at the end too.
    font.clearLayout();
    font.layoutText(0, 0, "^^A^", kWhite, CTexFont::MultiLine);
    EXPECT_EQ(quadLefts(), (std::vector<float>{0, 5, 12}));
    EXPECT_FLOAT_EQ(font._layoutVertices[0].u, 0.40f);

    // Colours are premultiplied by the text's alpha.
    font.clearLayout();
    font.layoutText(0, 0, "^1A", 0x80ffffffu, CTexFont::MultiLine);
    EXPECT_EQ(font._layoutVertices[0].colour, colorWithAlpha(128.0f / 255.0f, kRed));
}

TEST_F(CTexFontTest, ScaleCodes) {
    load();
    font.layoutText(0, 0, "^(2)AB\nA", kWhite, CTexFont::MultiLine);
    const auto& v = font._layoutVertices;
    ASSERT_EQ(v.size(), 12u);
    EXPECT_FLOAT_EQ(v[2].x - v[0].x, 12);  // 'A' twice as wide
    EXPECT_FLOAT_EQ(v[1].y - v[0].y, 16);
    EXPECT_FLOAT_EQ(v[4].x, 14 + 2);
    EXPECT_FLOAT_EQ(v[8].y, 20 - 16) << "the next line starts 2 x lineHeight lower";

    struct Case {
        const char* text;
        size_t vertices;
    };
    // Unreadable, overlong and unclosed codes keep the scale and never write past the layout.
    for (const Case& c : {Case{"^(x)A", 4}, Case{"^(0000000000000000000000000000000003)A", 4}, Case{"A^(2", 4},
                          Case{"A^(", 4}, Case{"^(", 0}}) {
        SCOPED_TRACE(c.text);
        font.clearLayout();
        font.layoutText(0, 0, c.text, kWhite, CTexFont::MultiLine);
        ASSERT_EQ(font._layoutVertices.size(), c.vertices);
        if (c.vertices) {
            EXPECT_FLOAT_EQ(font._layoutVertices[2].x - font._layoutVertices[0].x, 6);
        }
    }
}

TEST_F(CTexFontTest, HighBytesUseTheirOwnGlyphs) {
    load();
    font.layoutText(0, 0, "\xE9\xFF\x80", kWhite, CTexFont::MultiLine);
    ASSERT_EQ(font._layoutVertices.size(), 12u);
    EXPECT_FLOAT_EQ(font._layoutVertices[0].y, -10) << "0xE9's yoffset of -2 against base 8";
    EXPECT_FLOAT_EQ(font._layoutVertices[0].u, 0.5f);
    EXPECT_FLOAT_EQ(font._penPositions.back().x, 7) << "glyphs 0xFF and 0x80 are empty";
}

TEST_F(CTexFontTest, AlignmentPlacesEachLine) {
    load();
    struct Case {
        const char* name;
        int flags;
        float firstLineX, secondLineX;  // left edge of each line's first quad
        float dy;
    };
    // Line 1 "AB" measures 13, line 2 "A" measures 6; two lines of height 10.
    const Case cases[] = {
        {"left top", 8 | 1, 0, 0, 0},
        {"centre", 16, -6.5f, -3, 0},
        {"right", 32, -13, -6, 0},
        {"vertical centre", 2, 0, 0, -10},
        {"bottom", 4, 0, 0, -20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        font.clearLayout();
        font.layoutText(0, 0, "AB\nA", kWhite, c.flags | CTexFont::MultiLine);
        const auto& v = font._layoutVertices;
        ASSERT_EQ(v.size(), 12u);
        EXPECT_FLOAT_EQ(v[0].x, c.firstLineX);
        EXPECT_FLOAT_EQ(v[8].x, c.secondLineX);
        EXPECT_FLOAT_EQ(v[0].y, -8 + c.dy);
        EXPECT_FLOAT_EQ(v[8].y, 2 + c.dy);
        // Pen positions move with their line; the line feed's belongs to the second line.
        ASSERT_EQ(font._penPositions.size(), 4u);
        EXPECT_FLOAT_EQ(font._penPositions[2].x, c.secondLineX);
        EXPECT_FLOAT_EQ(font._penPositions[2].y, 10 + c.dy);
    }

    // The layout's own offset is added to every line.
    font.clearLayout();
    font.layoutText(100, 50, "A", kWhite, CTexFont::MultiLine);
    EXPECT_FLOAT_EQ(font._layoutVertices[0].x, 100);
    EXPECT_FLOAT_EQ(font._layoutVertices[0].y, 42);
}

}  // namespace

TEST_F(CTexFontTest, HugeMetricsAreClampedNotOverflowed) {
    // outline is added to lineHeight and to every xadvance; either may be as large as a long holds.
    const float limit = 16777216.0f;
    struct Case {
        const char* name;
        const char* outline;
        const char* lineHeight;
        float expectedLineHeight, expectedAdvanceA;  // 'A' advances 7 before the outline
    };
    const Case cases[] = {
        {"huge outline", "9223372036854775807", "10", limit, limit},
        {"huge line height", "1", "9223372036854775807", limit, 8},
        {"hugely negative outline", "-9223372036854775808", "10", -limit, -limit},
        {"largest that fits", "16777206", "10", limit, 16777213},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = fontfixture::fntText();
        text.replace(text.find("outline=0"), 9, std::string("outline=") + c.outline);
        text.replace(text.find("lineHeight=10"), 13, std::string("lineHeight=") + c.lineHeight);
        testsupport::LogCapture log;
        load(text);
        EXPECT_EQ(font._lineHeight, c.expectedLineHeight);
        EXPECT_EQ(font._glyphs[size_t('A')].xadvance, c.expectedAdvanceA);
        bool clamped = std::string(c.name) != "largest that fits";
        EXPECT_EQ(log.contains("[CTexFont::Load] line height or advance out of range"), clamped);
    }
}

TEST_F(CTexFontTest, VerticalCentringOfABlockTallerThanAnInt) {
    // 129 lines of 2^24 make a block of 2^31 + 2^24: its half is placed exactly, not wrapped.
    std::string text = fontfixture::fntText();
    text.replace(text.find("lineHeight=10"), 13, "lineHeight=16777216");
    load(text);
    font.layoutText(0, 0, (std::string(128, '\n') + "A").c_str(), kWhite, 2 | CTexFont::MultiLine);
    ASSERT_EQ(font._layoutVertices.size(), 4u);
    const double dy = -(16777216.0 * 129) / 2;
    EXPECT_EQ(font._layoutVertices[0].y, (float)(128 * 16777216.0 - 8 + dy));
}

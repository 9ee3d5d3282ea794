// font_content <font.ttf> <content/data> [name] [pixel size]
//
// Rasterises the printable ASCII characters of a TrueType font with FreeType into one RGBA
// glyph page (white, coverage in alpha) and writes the bitmap font the engine reads:
//   <data>/fonts/<name>.fnt  the glyph table (BMFont text lines, kerning pairs when the font has them)
//   <data>/fonts/<name>.png  the glyph page
// The material naming the page (materials/fonts/<name>.txt) is written by hand. The output is
// committed; run this by hand to remake it (the build target "sample_font" does).

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "writer/PngWriter.h"

namespace {

const int kPageSize = 256;
const int kFirst = 32;
const int kLast = 126;

struct Glyph {
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int xoffset = 0, yoffset = 0, xadvance = 0;
};

void makeDir(const std::string& path) {
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty())
                mkdir(partial.c_str(), 0755);
        }
        if (i < path.size())
            partial += path[i];
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: font_content <font.ttf> <content/data> [name] [pixel size]\n");
        return 2;
    }
    const char* fontPath = argv[1];
    std::string dataDir = argv[2];
    std::string name = argc > 3 ? argv[3] : "dejavu_sans";
    int pixelSize = argc > 4 ? std::atoi(argv[4]) : 24;

    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, fontPath, 0, &face)) {
        std::fprintf(stderr, "font_content: cannot open %s\n", fontPath);
        return 1;
    }
    FT_Set_Pixel_Sizes(face, 0, (FT_UInt)pixelSize);
    int base = (int)(face->size->metrics.ascender >> 6);
    int lineHeight = (int)(face->size->metrics.height >> 6);

    std::vector<uint8_t> page((size_t)kPageSize * kPageSize * 4, 0);
    for (size_t i = 0; i < page.size(); i += 4)
        page[i] = page[i + 1] = page[i + 2] = 255;  // white; coverage goes into alpha

    std::vector<Glyph> glyphs;
    int penX = 1, penY = 1, rowHeight = 0;
    for (int c = kFirst; c <= kLast; ++c) {
        if (FT_Load_Char(face, (FT_ULong)c, FT_LOAD_RENDER)) {
            std::fprintf(stderr, "font_content: no glyph for %d\n", c);
            continue;
        }
        FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        Glyph g;
        g.id = c;
        g.width = (int)bm.width;
        g.height = (int)bm.rows;
        g.xoffset = slot->bitmap_left;
        g.yoffset = base - slot->bitmap_top;
        g.xadvance = (int)(slot->advance.x >> 6);
        if (g.width > 0 && g.height > 0) {
            if (penX + g.width + 1 > kPageSize) {
                penX = 1;
                penY += rowHeight + 1;
                rowHeight = 0;
            }
            if (penY + g.height + 1 > kPageSize) {
                std::fprintf(stderr, "font_content: page full at %d\n", c);
                return 1;
            }
            g.x = penX;
            g.y = penY;
            for (int row = 0; row < g.height; ++row)
                for (int col = 0; col < g.width; ++col)
                    page[((size_t)(g.y + row) * kPageSize + (size_t)(g.x + col)) * 4 + 3] =
                        bm.buffer[row * bm.pitch + col];
            penX += g.width + 1;
            if (g.height > rowHeight)
                rowHeight = g.height;
        }
        glyphs.push_back(g);
    }

    struct Pair {
        int first, second, amount;
    };
    std::vector<Pair> pairs;
    if (FT_HAS_KERNING(face)) {
        for (int a = kFirst; a <= kLast; ++a)
            for (int b = kFirst; b <= kLast; ++b) {
                FT_Vector k;
                FT_Get_Kerning(face, FT_Get_Char_Index(face, (FT_ULong)a), FT_Get_Char_Index(face, (FT_ULong)b),
                               FT_KERNING_DEFAULT, &k);
                int amount = (int)(k.x >> 6);
                if (amount != 0 && amount >= -128 && amount <= 127)
                    pairs.push_back({a, b, amount});
            }
    }

    makeDir(dataDir + "/fonts");
    std::string fntPath = dataDir + "/fonts/" + name + ".fnt";
    FILE* out = std::fopen(fntPath.c_str(), "w");
    if (!out) {
        std::fprintf(stderr, "font_content: cannot write %s\n", fntPath.c_str());
        return 1;
    }
    std::fprintf(out,
                 "info face=\"%s %s\" size=%d bold=0 italic=0 charset=\"\" unicode=0 stretchH=100 smooth=1 aa=1 "
                 "padding=0,0,0,0 spacing=1,1 outline=0\n",
                 face->family_name, face->style_name, pixelSize);
    std::fprintf(out, "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=1 packed=0\n", lineHeight, base,
                 kPageSize, kPageSize);
    std::fprintf(out, "page id=0 file=\"%s.png\"\n", name.c_str());
    std::fprintf(out, "chars count=%zu\n", glyphs.size());
    for (const Glyph& g : glyphs)
        std::fprintf(out,
                     "char id=%-4d x=%-5d y=%-5d width=%-5d height=%-5d xoffset=%-5d yoffset=%-5d xadvance=%-5d "
                     "page=0  chnl=15\n",
                     g.id, g.x, g.y, g.width, g.height, g.xoffset, g.yoffset, g.xadvance);
    if (!pairs.empty()) {
        std::fprintf(out, "kernings count=%zu\n", pairs.size());
        for (const Pair& p : pairs)
            std::fprintf(out, "kerning first=%d  second=%d  amount=%d\n", p.first, p.second, p.amount);
    }
    if (std::fclose(out) != 0)
        return 1;

    std::string pngPath = dataDir + "/fonts/" + name + ".png";
    if (!contentwriter::writePng(pngPath, kPageSize, kPageSize, true, page, 9)) {
        std::fprintf(stderr, "font_content: cannot write %s\n", pngPath.c_str());
        return 1;
    }
    std::printf("font_content: %zu glyphs, %zu kerning pairs, line height %d, base %d\n", glyphs.size(),
                pairs.size(), lineHeight, base);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}

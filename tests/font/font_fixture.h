#pragma once
// A small bitmap font written as a ".fnt" file for the font and text tests.
//
// lineHeight 10 (+ outline), base 8, a 100 x 50 page. Glyphs (x, y, w, h, xoffset, yoffset,
// xadvance before the outline): 'A' (0,0,6,8,0,0,7), 'B' (10,0,5,8,1,0,6), '4' (20,0,6,8,0,0,7),
// '2' (30,0,6,8,0,0,7), '^' (40,0,4,3,0,0,5), ' ' (0,0,0,0,0,0,4), 0xE9 (50,0,6,10,0,-2,7).

#include <string>

namespace fontfixture {

inline std::string charLine(int id, int x, int y, int w, int h, int xo, int yo, int xa) {
    return "char id=" + std::to_string(id) + "   x=" + std::to_string(x) + "   y=" + std::to_string(y) +
           "   width=" + std::to_string(w) + "   height=" + std::to_string(h) + "   xoffset=" + std::to_string(xo) +
           "   yoffset=" + std::to_string(yo) + "   xadvance=" + std::to_string(xa) + "   page=0  chnl=15\n";
}

// kerningLines: the lines after the character lines (a "kernings count=" line and its pairs).
inline std::string fntText(int outline = 0, const std::string& kerningLines = "") {
    std::string s = "info face=\"Fixture\" size=10 bold=0 italic=0 outline=" + std::to_string(outline) + "\n";
    s += "common lineHeight=10 base=8 scaleW=100 scaleH=50 pages=1 packed=0\n";
    s += "page id=0 file=\"fixture.png\"\n";
    s += "chars count=7\n";
    s += charLine('A', 0, 0, 6, 8, 0, 0, 7);
    s += charLine('B', 10, 0, 5, 8, 1, 0, 6);
    s += charLine('4', 20, 0, 6, 8, 0, 0, 7);
    s += charLine('2', 30, 0, 6, 8, 0, 0, 7);
    s += charLine('^', 40, 0, 4, 3, 0, 0, 5);
    s += charLine(' ', 0, 0, 0, 0, 0, 0, 4);
    s += charLine(0xE9, 50, 0, 6, 10, 0, -2, 7);
    s += kerningLines;
    return s;
}

}  // namespace fontfixture

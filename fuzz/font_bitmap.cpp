// Bitmap fonts (".fnt"): read, then a text with colour, scale and line codes laid out and measured.
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/font/CTexFont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    std::string name = fuzz::writeInput("font.fnt", data, size);
    CTexFont font;
    if (font.Load(name.c_str())) {
        const char* text = "Score ^1 12^-345 ^(2.5)AVA^^ To\nnext line \xe9\xff";
        font.layoutText(10, 20, text, 0xffffffffu, CTexFont::AlignHCenter | CTexFont::AlignVCenter | CTexFont::MultiLine);
        font.countVertices(text);
        font.measureText(text, -1, 1.0f);
        font.clearLayout();
    }
    return 0;
}

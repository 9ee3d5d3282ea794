// Glyph-sheet fonts: the glyph lines of the ".txt" beside the sheet, then a text laid out with them.
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/file.h"
#include "engine/font/FreetypeFont.h"
#include "engine/render/Texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    std::string name = fuzz::writeInput("glyphs.txt", data, size);
    File file;
    if (!file.open(name.c_str(), "rt", StoreRead))
        return 0;
    FreetypeFont font;
    font.loadGlyphs(file);
    font._texture = new Texture();
    font._texture->_width = 256;
    font._texture->_height = 128;
    Mesh* mesh = font.createMesh(nullptr);
    Matrix4 placement;
    font.addText(mesh, "Score 12345 AVA To \xe9", placement, 20.0f, Vector3(0.5f, 0.5f, 0));
    font.clear(mesh);
    delete static_cast<FontMesh*>(mesh);
    return 0;
}

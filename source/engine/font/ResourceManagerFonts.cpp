// The font cache of the ResourceManager lives with the fonts, so the render library does not
// depend on them.

#include <string>

#include "engine/file.h"
#include "engine/font/CTexFont.h"
#include "engine/font/FreetypeFont.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Texture.h"

TextFont* ResourceManager::getFont(const std::string& name) {
    auto it = _fonts.find(name);
    if (it != _fonts.end())
        return it->second;

    TextFont* font = nullptr;
    std::string fnt = name + ".fnt";
    if (File::exists(fnt.c_str())) {
        CTexFont* bitmap = new CTexFont();
        bitmap->Load(fnt.c_str());
        font = new TextFont(bitmap, getMaterial("materials/" + name + ".txt"));
    } else {
        File sheet;
        if (sheet.open((name + ".tga").c_str(), "rb")) {
            Texture* texture = new Texture();
            texture->load(sheet);
            File glyphs;
            if (glyphs.open((name + ".txt").c_str(), "rt")) {
                FreetypeFont* ft = new FreetypeFont();
                ft->loadGlyphs(glyphs);
                ft->_texture = texture;
                font = ft;
            } else {
                delete texture;
            }
        }
    }
    if (font)
        _fonts[name] = font;
    return font;
}

#include "engine_game/Text.h"

#include <cstdarg>
#include <cstdio>

#include "engine/bounds.h"
#include "engine/font/TextFont.h"
#include "engine/render/Mesh.h"
#include "engine/utils.h"

Text::Text(Object* parent) : Object(parent) {
    _geometry = new TextGeometry();
    _mesh = new Mesh();
    // The whole index range, whatever the string makes it; the bounds are refitted per string.
    _mesh->setGeometry(_geometry, -1, -1);
    if (!_mesh->_bounds)
        _mesh->_bounds = new Bounds(Vector3(), Vector3());
    addMesh(_mesh);
}

Text::~Text() {
    // The mesh still points at the geometry: unlist it everywhere before the geometry goes.
    releaseLinks();
    delete _geometry;
    _geometry = nullptr;
}

int Text::layoutFlags() const {
    int flags = 0;
    switch (_alignH) {
    case 0: flags |= 8; break;
    case 1: flags |= 16; break;
    case 2: flags |= 32; break;
    default: break;
    }
    switch (_alignV) {
    case 0: flags |= 1; break;
    case 1: flags |= 2; break;
    case 2: flags |= 4; break;
    default: break;
    }
    return flags;
}

void Text::setText(const char* format, ...) {
    static char buffer[FormatBufferSize];
    int n = 0;
    buffer[0] = 0;
    if (format) {
        va_list args;
        va_start(args, format);
        n = std::vsnprintf(buffer, sizeof(buffer), format, args);
        va_end(args);
    }
    if (n < 0)
        buffer[0] = 0;
    setString(buffer);
}

void Text::showNothing() {
    _geometry->_vertexCount = 0;
    _geometry->_indexCount = 0;
    if (_mesh->_bounds)
        _mesh->_bounds->set(Vector3(), Vector3());
}

void Text::setString(const char* text) {
    _text = text ? text : "";
    if (!_font || !_font->_font) {
        // No bitmap font to lay out with (none set, or a glyph-sheet font).
        showNothing();
        return;
    }
    TextFont::buildTextGeometry(_font, nullptr, _geometry, _text.c_str(), layoutFlags());
    Vector3 min, max;
    _geometry->computeBounds(0, (int32_t)_geometry->_indexCount, min, max);
    if (_mesh->_bounds)
        _mesh->_bounds->set(min, max);
}

void Text::setFont(TextFont* font) {
    if (!font) {
        Logger::error("[Text::setFont] no font for text '%s'", _name.c_str());
        _font = nullptr;
        showNothing();
        return;
    }
    _font = font;
    for (Mesh* mesh : _meshes)
        mesh->_material = font->_material;
}

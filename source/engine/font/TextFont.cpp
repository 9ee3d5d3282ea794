#include "engine/font/TextFont.h"

#include <cstdlib>
#include <cstring>

#include "engine/font/CTexFont.h"
#include "engine/utils.h"

const float TextFont::kPixelSize = 0.015f;

namespace {

struct TextVertex {
    float position[3];
    float texCoords[2];
    float normal[3];
    float colour[3];
};
static_assert(sizeof(TextVertex) == 44, "text vertices are 44 bytes");

}  // namespace

TextGeometry::TextGeometry() {
    addElevenFloatAttributes(_attributes);
    updateStride();
}

bool TextGeometry::resize(uint32_t vertexCount, uint32_t indexCount) {
    if (vertexCount > _vertexCapacity) {
        void* v = std::realloc(_vertices, (size_t)vertexCount * _stride);
        if (!v) {
            _vertexCount = _indexCount = 0;
            return false;
        }
        _vertices = (uint8_t*)v;
        _vertexCapacity = vertexCount;
    }
    if (indexCount > _indexCapacity) {
        void* i = std::realloc(_indices, (size_t)indexCount * sizeof(uint16_t));
        if (!i) {
            _vertexCount = _indexCount = 0;
            return false;
        }
        _indices = (uint16_t*)i;
        _indexCapacity = indexCount;
    }
    _vertexCount = vertexCount;
    _indexCount = indexCount;
    return true;
}

TextFont::TextFont() {}

TextFont::TextFont(CTexFont* font, Material* material) : _font(font), _material(material) {}

TextFont::~TextFont() { delete _font; }

Mesh* TextFont::createMesh(Material*) { return nullptr; }

void TextFont::clear(Mesh*) {}

void TextFont::addText(Mesh*, const char*, const Matrix4&, float, const Vector3&) {}

void TextFont::buildTextGeometry(TextFont* font, std::vector<Vector3>* positions, TextGeometry* geometry,
                                 const char* text, int flags) {
    if (!font || !font->_font || !geometry)
        return;
    CTexFont* tex = font->_font;
    tex->layoutText(0, 0, text ? text : "", 0xffffffffu, flags | CTexFont::MultiLine);

    const std::vector<CTexFont::LayoutVertex>& layout = tex->getLayoutVertices();
    // Indices are 16-bit: a string longer than 16384 glyphs is cut at the last quad they reach.
    size_t quads = layout.size() / 4;
    if (quads > 16384) {
        Logger::error("[TextFont::buildTextGeometry] text of %zu glyphs cut to 16384", quads);
        quads = 16384;
    }
    uint32_t vertexCount = (uint32_t)quads * 4;
    geometry->_indexCount = 0;
    if (!geometry->resize(vertexCount, (uint32_t)quads * 6)) {
        tex->clearLayout();
        return;
    }

    TextVertex* out = (TextVertex*)geometry->_vertices;
    const float k = TextFont::kPixelSize;
    for (uint32_t i = 0; i < vertexCount; ++i) {
        const CTexFont::LayoutVertex& lv = layout[i];
        TextVertex v;
        v.position[0] = lv.x * k;
        v.position[1] = 0;
        v.position[2] = -lv.y * k;
        v.texCoords[0] = lv.u;
        v.texCoords[1] = lv.v;
        v.normal[0] = v.normal[1] = v.normal[2] = 0;
        v.colour[0] = (float)(lv.colour & 0xff) * (1.0f / 255.0f);
        v.colour[1] = (float)((lv.colour >> 8) & 0xff) * (1.0f / 255.0f);
        v.colour[2] = (float)((lv.colour >> 16) & 0xff) * (1.0f / 255.0f);
        std::memcpy(&out[i], &v, sizeof(v));
    }

    if (positions)
        for (const CTexFont::PenPosition& p : tex->_penPositions)
            positions->push_back(Vector3(p.x * k, 0, -p.y * k));

    uint16_t* idx = geometry->_indices;
    for (uint32_t q = 0; q < (uint32_t)quads; ++q) {
        uint16_t b = (uint16_t)(q * 4);
        idx[q * 6 + 0] = b;
        idx[q * 6 + 1] = (uint16_t)(b + 1);
        idx[q * 6 + 2] = (uint16_t)(b + 2);
        idx[q * 6 + 3] = b;
        idx[q * 6 + 4] = (uint16_t)(b + 2);
        idx[q * 6 + 5] = (uint16_t)(b + 3);
    }
    tex->clearLayout();
}

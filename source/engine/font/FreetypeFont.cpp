#include "engine/font/FreetypeFont.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/file.h"
#include "engine/render/Material.h"
#include "engine/render/Texture.h"
#include "engine/utils.h"

namespace {

const size_t kMaxGlyphLine = 1023;

struct FontVertex {
    float position[3];
    float texCoords[2];
};
static_assert(sizeof(FontVertex) == 20, "font mesh vertices are 20 bytes");

}  // namespace

FontMesh::FontMeshGeometry::FontMeshGeometry() {
    addFloatAttribute(_attributes, "vertPos", 3);
    addFloatAttribute(_attributes, "texCoords0", 2);
    updateStride();
}

int32_t FontMesh::FontMeshGeometry::grow(uint32_t vertices, uint32_t indices) {
    uint64_t newVertexCount = (uint64_t)_vertexCount + vertices;
    uint64_t newIndexCount = (uint64_t)_indexCount + indices;
    if (newVertexCount > 65536 || newIndexCount > 0x7fffffff)
        return -1;
    if (newVertexCount > _vertexCapacity) {
        uint32_t cap = std::max<uint32_t>((uint32_t)newVertexCount, _vertexCapacity * 2);
        void* v = std::realloc(_vertices, (size_t)cap * _stride);
        if (!v)
            return -1;
        _vertices = (uint8_t*)v;
        _vertexCapacity = cap;
    }
    if (newIndexCount > _indexCapacity) {
        uint32_t cap = std::max<uint32_t>((uint32_t)newIndexCount, _indexCapacity * 2);
        void* i = std::realloc(_indices, (size_t)cap * sizeof(uint16_t));
        if (!i)
            return -1;
        _indices = (uint16_t*)i;
        _indexCapacity = cap;
    }
    int32_t first = (int32_t)_vertexCount;
    _vertexCount = (uint32_t)newVertexCount;
    _indexCount = (uint32_t)newIndexCount;
    return first;
}

FontMesh::FontMesh(Material* material) {
    _material = material;
    setGeometry(&_fontGeometry, -1, -1);
}

FontMesh::~FontMesh() {}

FreetypeFont::FreetypeFont() {}

FreetypeFont::~FreetypeFont() {
    if (_texture) {
        _texture->freeData();
        delete _texture;
    }
}

void FreetypeFont::loadGlyphs(File& file) {
    Buffer buffer;
    if (!file.readAll(buffer, 1) || buffer.size == 0)
        return;
    const char* text = (const char*)buffer.data;
    const char* end = text + buffer.size - 1;  // the terminator
    const char* line = text;
    while (line < end) {
        const char* lf = (const char*)std::memchr(line, '\n', (size_t)(end - line));
        const char* lineEnd = lf ? lf : end;
        size_t len = (size_t)(lineEnd - line);
        if (len > kMaxGlyphLine) {
            Logger::error("[FreetypeFont::loadGlyphs] line of %zu characters skipped", len);
        } else {
            char copy[kMaxGlyphLine + 1];
            std::memcpy(copy, line, len);
            copy[len] = 0;
            GlyphRecord g;
            int n = std::sscanf(copy,
                                "charadter=%d bitmapWidth=%d bitmapHeight=%d offsetX=%f offsetY=%f advanceX=%d "
                                "advanceY=%d characterHeight=%d cursorX=%d cursorY=%d",
                                &g.charadter, &g.bitmapWidth, &g.bitmapHeight, &g.offsetX, &g.offsetY, &g.advanceX,
                                &g.advanceY, &g.characterHeight, &g.cursorX, &g.cursorY);
            if (n == 10)
                _glyphRecords.push_back(g);
        }
        line = lf ? lf + 1 : end;
    }
}

Mesh* FreetypeFont::createMesh(Material* material) {
    FontMesh* mesh = new FontMesh(material);
    if (material && _texture &&
        std::find(material->_textures.begin(), material->_textures.end(), _texture) == material->_textures.end())
        material->_textures.push_back(_texture);
    return mesh;
}

void FreetypeFont::clear(Mesh* mesh) {
    FontMesh* fm = static_cast<FontMesh*>(mesh);
    if (!fm)
        return;
    fm->fontGeometry()->_vertexCount = 0;
    fm->fontGeometry()->_indexCount = 0;
}

void FreetypeFont::addText(Mesh* mesh, const char* text, const Matrix4& matrix, float size, const Vector3& alignment) {
    FontMesh* fm = static_cast<FontMesh*>(mesh);
    if (!fm || !text)
        return;
    FontMesh::FontMeshGeometry* geo = fm->fontGeometry();

    float s = size / 70.0f;
    Vector3 r = matrix.row3(0) * s;
    Vector3 u = matrix.row3(1) * s;
    Vector3 origin = matrix.getTranslation();
    Vector3 pen = origin;
    uint32_t firstVertex = geo->_vertexCount;

    float sheetW = _texture && _texture->_width ? (float)_texture->_width : 1.0f;
    float sheetH = _texture && _texture->_height ? (float)_texture->_height : 1.0f;

    for (const unsigned char* p = (const unsigned char*)text; *p; ++p) {
        int32_t code = (int32_t)(int8_t)*p;
        const GlyphRecord* g = nullptr;
        for (const GlyphRecord& rec : _glyphRecords)
            if (rec.charadter == code) {
                g = &rec;
                break;
            }
        if (!g)
            continue;

        int32_t k = geo->grow(4, 6);
        if (k < 0) {
            Logger::error("[FreetypeFont::addText] font mesh full, text cut");
            break;
        }
        float w = (float)g->bitmapWidth, h = (float)g->bitmapHeight;
        Vector3 centre = pen + r * (w + 2 * g->offsetX) + u * (h - 2 * g->offsetY);
        Vector3 rw = r * w, uh = u * h;
        float uStart = (float)g->cursorX / sheetW, vStart = (float)g->cursorY / sheetH;
        float uSize = w / sheetW, vSize = h / sheetH;
        FontVertex quad[4] = {
            {{0, 0, 0}, {uStart + uSize, vStart + vSize}},
            {{0, 0, 0}, {uStart + uSize, vStart}},
            {{0, 0, 0}, {uStart, vStart + vSize}},
            {{0, 0, 0}, {uStart, vStart}},
        };
        Vector3 corners[4] = {centre + rw + uh, centre + rw - uh, centre - rw + uh, centre - rw - uh};
        for (int c = 0; c < 4; ++c) {
            quad[c].position[0] = corners[c].x;
            quad[c].position[1] = corners[c].y;
            quad[c].position[2] = corners[c].z;
        }
        std::memcpy(geo->_vertices + (size_t)k * geo->_stride, quad, sizeof(quad));
        uint16_t* idx = geo->_indices + geo->_indexCount - 6;
        idx[0] = (uint16_t)k;
        idx[1] = (uint16_t)(k + 1);
        idx[2] = (uint16_t)(k + 2);
        idx[3] = (uint16_t)(k + 1);
        idx[4] = (uint16_t)(k + 2);
        idx[5] = (uint16_t)(k + 3);
        pen += r * (2.0f * (float)g->advanceX);
    }

    uint32_t added = geo->_vertexCount - firstVertex;
    if (added == 0)
        return;
    FontVertex* v = (FontVertex*)geo->_vertices + firstVertex;
    float minX = v[0].position[0], maxX = minX, minY = v[0].position[1], maxY = minY;
    for (uint32_t i = 1; i < added; ++i) {
        minX = std::min(minX, v[i].position[0]);
        maxX = std::max(maxX, v[i].position[0]);
        minY = std::min(minY, v[i].position[1]);
        maxY = std::max(maxY, v[i].position[1]);
    }
    // The quads already stand at the origin's depth (the pen starts there); only half the
    // alignment is added in z, so the origin's z counts once.
    float dx = origin.x + alignment.x / 2 - (minX + maxX) / 2;
    float dy = origin.y + alignment.y / 2 - (minY + maxY) / 2;
    float dz = alignment.z / 2;
    for (uint32_t i = 0; i < added; ++i) {
        v[i].position[0] += dx;
        v[i].position[1] += dy;
        v[i].position[2] += dz;
    }
}

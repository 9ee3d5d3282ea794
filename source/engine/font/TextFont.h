#pragma once
// The font interface that text nodes and the resource manager hand around. A bitmap font wraps
// a CTexFont and the material holding its glyph texture; buildTextGeometry turns its layout into
// a TextGeometry. The glyph-sheet kind (FreetypeFont) writes quads into a FontMesh instead.

#include <vector>

#include "engine/math.h"
#include "engine/render/Geometry.h"

class CTexFont;
class Material;
class Mesh;

// The geometry of one text node's string: "vertPos" (3 floats), "texCoords0" (2),
// "vertNormal" (3), "vertColor" (3), 44 bytes a vertex; rebuilt whenever the string changes.
class TextGeometry : public Geometry {
public:
    TextGeometry();
    bool isDynamic() const override { return true; }

    // Makes room for vertexCount vertices and indexCount indices (contents undefined) and sets
    // the counts. False, with both counts 0, when the memory cannot be had.
    bool resize(uint32_t vertexCount, uint32_t indexCount);

private:
    uint32_t _vertexCapacity = 0;
    uint32_t _indexCapacity = 0;
};

class TextFont {
public:
    // One font pixel in node units; text lies in the node's XZ plane.
    static const float kPixelSize;

    TextFont();
    // Takes ownership of the bitmap font.
    TextFont(CTexFont* font, Material* material);
    virtual ~TextFont();
    TextFont(const TextFont&) = delete;
    TextFont& operator=(const TextFont&) = delete;

    // The glyph-sheet operations; a bitmap font has none of them.
    virtual Mesh* createMesh(Material* material);
    virtual void clear(Mesh* mesh);
    virtual void addText(Mesh* mesh, const char* text, const Matrix4& matrix, float size, const Vector3& alignment);

    // Lays text out with the bitmap font (flags: CTexFont's alignment flags) into geometry and,
    // when positions is given, appends the pen position of every character. Does nothing
    // without a font or a bitmap font; a null text counts as empty.
    static void buildTextGeometry(TextFont* font, std::vector<Vector3>* positions, TextGeometry* geometry,
                                  const char* text, int flags);

    CTexFont* _font = nullptr;      // owned
    Material* _material = nullptr;  // the resource manager's
};

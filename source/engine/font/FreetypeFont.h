#pragma once
// The glyph-sheet font: glyphs rendered beforehand into one texture (name + ".tga") and described
// by a text file of glyph lines (name + ".txt"). It writes its quads straight into a FontMesh,
// placed in 3D by a matrix; callers make the mesh once, then clear and refill it.

#include <cstdint>
#include <vector>

#include "engine/font/TextFont.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"

class File;
class Texture;

// A mesh with its own dynamic geometry of "vertPos" (3 floats) and "texCoords0" (2 floats).
// Delete it as a FontMesh (Mesh has no virtual destructor).
class FontMesh : public Mesh {
public:
    class FontMeshGeometry : public Geometry {
    public:
        FontMeshGeometry();
        bool isDynamic() const override { return true; }
        // Grows the arrays by vertices and indices; returns the first new vertex, or -1 when the
        // 16-bit indices or the memory would not hold them.
        int32_t grow(uint32_t vertices, uint32_t indices);

    private:
        uint32_t _vertexCapacity = 0;
        uint32_t _indexCapacity = 0;
    };

    explicit FontMesh(Material* material);
    ~FontMesh();

    FontMeshGeometry* fontGeometry() { return &_fontGeometry; }

private:
    FontMeshGeometry _fontGeometry;
};

class FreetypeFont : public TextFont {
public:
    struct GlyphRecord {
        int32_t charadter = 0;
        int32_t bitmapWidth = 0;
        int32_t bitmapHeight = 0;
        int32_t cursorX = 0;
        int32_t cursorY = 0;
        float offsetX = 0;
        float offsetY = 0;
        int32_t advanceX = 0;
        int32_t advanceY = 0;
        int32_t characterHeight = 0;
    };

    FreetypeFont();
    // Deletes the glyph sheet.
    ~FreetypeFont() override;

    // Reads the glyph lines of an opened text file; lines that do not hold all ten fields, and
    // lines of 1024 characters or more, are skipped.
    void loadGlyphs(File& file);

    // A new FontMesh drawn with material; the glyph sheet joins the material's textures.
    Mesh* createMesh(Material* material) override;
    // Empties the mesh's font geometry (its buffers stay).
    void clear(Mesh* mesh) override;
    // Appends the quads of text: the matrix's first two rows are the text's x and y axes, its
    // translation the origin; one size unit is 1/70 of an axis; the text's box is centred on the
    // origin moved by half the alignment vector.
    void addText(Mesh* mesh, const char* text, const Matrix4& matrix, float size, const Vector3& alignment) override;

    std::vector<GlyphRecord> _glyphRecords;
    Texture* _texture = nullptr;  // owned
};

#pragma once
// The bitmap font of the text nodes: one texture page of up to 256 glyphs described by a ".fnt"
// text file, and the layout that turns a string with inline colour and scale codes into glyph
// quads. The glyph texture comes from the material of the same name, not from the file.
//
// Codes inside a text: "^^" draws one caret; "^(2.5)" sets the scale; "^-" returns to the colour
// before the last colour code; "^" followed by any other character picks a palette colour
// (digits 0-9, letters a-f / A-F for 10-15, anything else its code modulo 16).

#include <cstdint>
#include <vector>

class CTexFont {
public:
    // Layout flags: vertical 1 top, 2 centre, 4 bottom; horizontal 8 left, 16 centre,
    // 32 right; multi-line 0x80.
    enum LayoutFlags {
        AlignTop = 1,
        AlignVCenter = 2,
        AlignBottom = 4,
        AlignLeft = 8,
        AlignHCenter = 16,
        AlignRight = 32,
        MultiLine = 0x80,
    };

    struct LayoutVertex {
        float x, y, z;  // z is never written by the layout
        float u, v;
        uint32_t colour;  // packed: red in the low byte, alpha in the high byte
    };

    struct PenPosition {
        float x, y;
    };

    struct Glyph {
        float x, y, width, height, xoffset, yoffset, xadvance;
    };

    enum { GlyphCount = 256 };

    CTexFont();
    ~CTexFont();
    CTexFont(const CTexFont&) = delete;
    CTexFont& operator=(const CTexFont&) = delete;

    // Reads a ".fnt" file from the read store. 1 on success, 0 on failure (logged).
    int Load(const char* path);

    // Appends the quads of text (y grows downwards) and one pen position per character.
    void layoutText(float x, float y, const char* text, uint32_t colour, int flags);
    // 4 x the number of characters of text that produce a quad.
    int countVertices(const char* text) const;
    // Width of a run of at most length characters (all when negative) at one scale.
    float measureText(const char* text, int length, float scale) const;
    void clearLayout();
    const std::vector<LayoutVertex>& getLayoutVertices() const { return _layoutVertices; }

    // The colour of palette entry i (0..15), opaque.
    static uint32_t paletteColour(int index);

    float _lineHeight = 0;
    float _base = 0;
    float _invScaleW = 0;
    float _invScaleH = 0;
    std::vector<LayoutVertex> _layoutVertices;
    std::vector<PenPosition> _penPositions;
    Glyph* _glyphs = nullptr;  // GlyphCount entries, indexed by character code
    int8_t* _kerning = nullptr;  // none, or 256 x 256 amounts indexed by first * 256 + second

private:
    void fail(const char* path);
};

#pragma once
// A node that shows a string in a bitmap font: it owns the text geometry and the mesh that draws
// it, and rebuilds the geometry whenever the string changes.

#include <cstdint>
#include <string>

#include "engine_game/Object.h"

class Mesh;
class TextFont;
class TextGeometry;

class Text : public Object {
public:
    // Size of the buffer setText formats into; longer texts are cut.
    enum { FormatBufferSize = 2048 };

    explicit Text(Object* parent);
    ~Text() override;

    // Formats into one buffer shared by all text nodes, then setString.
    void setText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Lays the text out with the font and refits the mesh's bounds. Without a font the text is
    // kept but nothing is shown.
    void setString(const char* text);
    // The font's material goes to every mesh of the node. A missing font (null) is logged and
    // leaves the node showing nothing.
    void setFont(TextFont* font);

    // Layout flags of the alignments (CTexFont's vertical and horizontal flags).
    int layoutFlags() const;

    int32_t _alignH = 0;  // 0 left, 1 centre, 2 right
    int32_t _alignV = 0;  // 0 top, 1 centre, 2 bottom
    std::string _text;
    TextFont* _font = nullptr;          // not owned
    TextGeometry* _geometry = nullptr;  // owned
    Mesh* _mesh = nullptr;              // one of the node's meshes

private:
    void showNothing();
};

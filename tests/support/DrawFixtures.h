#pragma once
// Drawing fixtures shared by the frame tests, the OpenGL ES tests and the frame benchmarks: a
// geometry of bare positions and the flat-colour shader text. Header only: include it where
// engine_render is linked.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/render/Geometry.h"

namespace drawfixtures {

// A geometry with positions only ("vertPos", three floats a vertex) and the given 16-bit indices.
inline Geometry* makePositionGeometry(const std::vector<float>& positions, const std::vector<uint16_t>& indices) {
    Geometry* g = new Geometry();
    addFloatAttribute(g->_attributes, "vertPos", 3);
    g->updateStride();
    g->_vertexCount = (uint32_t)(positions.size() / 3);
    g->_indexCount = (uint32_t)indices.size();
    g->_vertices = static_cast<uint8_t*>(std::malloc(positions.size() * sizeof(float)));
    std::memcpy(g->_vertices, positions.data(), positions.size() * sizeof(float));
    g->_indices = static_cast<uint16_t*>(std::malloc(indices.size() * sizeof(uint16_t)));
    std::memcpy(g->_indices, indices.data(), indices.size() * sizeof(uint16_t));
    return g;
}

// color * meshColor, the position through the projection, view and world matrices.
inline const char* const kFlatShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
#ifdef VERTEX_SHADER
attribute vec3 vertPos;
uniform mat4 projMat;
uniform mat4 viewMat;
uniform mat4 worldMat;
void main() { gl_Position = projMat * (viewMat * (worldMat * vec4(vertPos, 1.0))); }
#endif
#ifdef FRAGMENT_SHADER
uniform vec4 color;
uniform vec4 meshColor;
void main() { gl_FragColor = color * meshColor; }
#endif
)";

}  // namespace drawfixtures

// Text: glyph quads sampled from the font's sheet, tinted by the layout colour of each vertex
// and by the mesh colour.

#ifdef GL_ES
precision mediump float;
#endif

varying vec2 vUv;
varying vec3 vColor;

#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec2 texCoords0;
attribute vec3 vertColor;

uniform mat4 projMat;
uniform mat4 viewMat;
uniform mat4 worldMat;

void main() {
    gl_Position = projMat * (viewMat * (worldMat * vec4(vertPos, 1.0)));
    vUv = texCoords0;
    vColor = vertColor;
}
#endif

#ifdef FRAGMENT_SHADER
uniform sampler2D tex0;
uniform vec4 meshColor;

void main() {
    gl_FragColor = texture2D(tex0, vUv) * vec4(vColor, 1.0) * meshColor;
}
#endif

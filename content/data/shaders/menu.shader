// Interface: flat vertex colours (four unsigned bytes, handed over unnormalised) times the mesh
// colour, which panel items set to tint or fade their parts.

#ifdef GL_ES
precision mediump float;
#endif

varying vec4 vColor;

#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec4 vertColor;

uniform mat4 projMat;
uniform mat4 viewMat;
uniform mat4 worldMat;

void main() {
    gl_Position = projMat * (viewMat * (worldMat * vec4(vertPos, 1.0)));
    vColor = vertColor * (1.0 / 255.0);
}
#endif

#ifdef FRAGMENT_SHADER
uniform vec4 meshColor;

void main() {
    gl_FragColor = vColor * meshColor;
}
#endif

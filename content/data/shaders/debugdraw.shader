// Debug lines: world-space points with a colour per vertex, unlit.

#ifdef GL_ES
precision mediump float;
#endif

varying vec3 vColor;

#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec3 vertColor;

uniform mat4 projMat;
uniform mat4 viewMat;
uniform mat4 worldMat;

void main() {
    gl_Position = projMat * (viewMat * (worldMat * vec4(vertPos, 1.0)));
    vColor = vertColor;
}
#endif

#ifdef FRAGMENT_SHADER
void main() {
    gl_FragColor = vec4(vColor, 1.0);
}
#endif

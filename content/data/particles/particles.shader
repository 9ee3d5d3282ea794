// Particle sprites: vertices already in world space, tinted by their vertex colour (bytes).
// One text for both stages: the back end compiles it with VERTEX_SHADER, then FRAGMENT_SHADER.
// Engine matrices are row-major with row vectors; GLSL sees them transposed, so the
// column-vector products below come out as p * world * view * proj.

#ifdef GL_ES
precision mediump float;
#endif

varying vec2 vUv;
varying vec4 vColor;

#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec2 texCoords0;
attribute vec4 vertColor;  // 0..255 each

uniform mat4 projMat;
uniform mat4 viewMat;
uniform mat4 worldMat;

void main() {
    gl_Position = projMat * (viewMat * (worldMat * vec4(vertPos, 1.0)));
    vUv = texCoords0;
    vColor = vertColor * (1.0 / 255.0);
}
#endif

#ifdef FRAGMENT_SHADER
uniform sampler2D tex0;
uniform vec4 color;

void main() {
    vec4 c = texture2D(tex0, vUv) * vColor * color;
    // Premultiplied: additive sets fade with alpha, alpha-blended sets are unaffected by it.
    gl_FragColor = vec4(c.rgb * c.a, c.a);
}
#endif

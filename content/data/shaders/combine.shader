// Post-processing, last pass: the scene (tex1) plus its glow (tex0), optionally tone-mapped
// with the exposure.

#ifdef GL_ES
precision mediump float;
#endif

varying vec2 vUv;

#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec2 texCoords0;

void main() {
    gl_Position = vec4(vertPos.xy, 0.0, 1.0);
    vUv = texCoords0;
}
#endif

#ifdef FRAGMENT_SHADER
uniform sampler2D tex0;
uniform sampler2D tex1;
uniform float hdrExposure;
uniform float hdrEnableTonemap;

void main() {
    vec3 colour = texture2D(tex1, vUv).rgb + texture2D(tex0, vUv).rgb;
    if (hdrEnableTonemap > 0.5)
        colour = vec3(1.0) - exp(-colour * hdrExposure);
    gl_FragColor = vec4(colour, 1.0);
}
#endif

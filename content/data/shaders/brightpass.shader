// Post-processing, first pass: keeps what is brighter than the threshold. tex0 is the source
// target's colour. The quad's corners are already in clip space.

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
uniform float hdrBrightThres;
uniform float hdrBrightOffset;

void main() {
    vec3 colour = texture2D(tex0, vUv).rgb;
    vec3 bright = max(colour - vec3(hdrBrightThres), vec3(0.0));
    gl_FragColor = vec4(bright * (1.0 + hdrBrightOffset), 1.0);
}
#endif

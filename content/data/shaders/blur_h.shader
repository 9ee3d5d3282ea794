// Post-processing: a five-tap horizontal blur of tex0. u_textureSize holds the source texture's
// size in texels (width, height, 0).

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
uniform vec3 u_textureSize;

void main() {
    vec2 step = vec2(1.0 / u_textureSize.x, 0.0);
    vec3 sum = texture2D(tex0, vUv).rgb * 0.375;
    sum += texture2D(tex0, vUv + step).rgb * 0.25;
    sum += texture2D(tex0, vUv - step).rgb * 0.25;
    sum += texture2D(tex0, vUv + 2.0 * step).rgb * 0.0625;
    sum += texture2D(tex0, vUv - 2.0 * step).rgb * 0.0625;
    gl_FragColor = vec4(sum, 1.0);
}
#endif

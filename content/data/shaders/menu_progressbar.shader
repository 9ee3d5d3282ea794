// Interface progress bar: the bar fills from the left edge (texture u 0) to u =
// progressbarIntensity (0..1) in meshColor; the empty rest shows the vertex colour dimmed.

#ifdef GL_ES
precision mediump float;
#endif

varying vec2 vUv;
varying vec4 vColor;

#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec2 texCoords0;
attribute vec4 vertColor;

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
uniform vec4 meshColor;
uniform float progressbarIntensity;

void main() {
    if (vUv.x <= progressbarIntensity)
        gl_FragColor = meshColor;
    else
        gl_FragColor = vec4(vColor.rgb * 0.25, 1.0);
}
#endif

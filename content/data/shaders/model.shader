// Textured, lit model. One text for both stages: the back end compiles it twice, once with
// VERTEX_SHADER and once with FRAGMENT_SHADER defined.
// Engine matrices are row-major with row vectors; uploaded as they are, GLSL sees them
// transposed, so the column-vector products below come out as p * world * view * proj.

#ifdef GL_ES
precision mediump float;
#endif

varying vec2 vUv;
varying vec3 vNormal;
varying float vFog;

#ifdef VERTEX_SHADER
attribute vec3 vertPos;
attribute vec2 texCoords0;
attribute vec3 vertNormal;

uniform mat4 projMat;
uniform mat4 viewMat;
uniform mat4 worldMat;
uniform mat3 normalMat;
uniform float fogDistance;  // -1 / fog distance, 0 without fog

void main() {
    vec4 viewPos = viewMat * (worldMat * vec4(vertPos, 1.0));
    gl_Position = projMat * viewPos;
    // No uvOffset here: the renderer writes it only for materials with UV animation, so a
    // model drawn without would read the uniform's never-written start value.
    vUv = texCoords0;
    vNormal = normalMat * vertNormal;
    vFog = 1.0 - exp(length(viewPos.xyz) * fogDistance);
}
#endif

#ifdef FRAGMENT_SHADER
uniform sampler2D tex0;
uniform vec4 color;
uniform vec4 meshColor;
uniform float materialEmit;
uniform vec3 light0Color;
uniform vec3 light0Direction;

const vec3 kFogColor = vec3(0.62, 0.70, 0.80);

void main() {
    vec4 albedo = texture2D(tex0, vUv) * color * meshColor;
    // A light's direction points from the lit scene towards the light (its placement, turned
    // by its parent); empty light slots come with no colour.
    float diffuse = max(dot(normalize(vNormal), normalize(light0Direction)), 0.0);
    vec3 lit = albedo.rgb * (light0Color * diffuse + vec3(materialEmit));
    gl_FragColor = vec4(mix(lit, kFogColor, clamp(vFog, 0.0, 1.0)), albedo.a);
}
#endif

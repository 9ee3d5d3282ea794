#include "game/metal/MetalShaders.h"

#include "engine/render/Geometry.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"

void MetalGameShader::addStandardAttributes(bool floatColour) {
    addAttribute(GeometryAttribute::TypeFloat, 3, "vertPos");
    addAttribute(GeometryAttribute::TypeFloat, 2, "texCoords0");
    addAttribute(GeometryAttribute::TypeFloat, 3, "vertNormal");
    if (floatColour)
        addAttribute(GeometryAttribute::TypeFloat, 3, "vertColor");
    else
        addAttribute(GeometryAttribute::TypeUnsignedByte, 4, "vertColor");
}

void MetalGameShader::addCamera() {
    addUniform(0, UniformMatrix4, "projMat");
    addUniform(0, UniformMatrix4, "viewMat");
}

void MetalGameShader::addCameraAndWorld() {
    addCamera();
    addUniform(0, UniformMatrix4, "worldMat");
}

void MetalGameShader::addLights() {
    static const char* const kColours[4] = {"light0Color", "light1Color", "light2Color", "light3Color"};
    static const char* const kDirections[4] = {"light0Direction", "light1Direction", "light2Direction",
                                               "light3Direction"};
    for (const char* name : kColours)
        addUniform(0, UniformVector3, name);
    for (const char* name : kDirections)
        addUniform(0, UniformVector3, name);
}

void MetalGameShader::addPadding(int structID, int count) {
    static const char* const kNames[3] = {"padding0", "padding1", "padding2"};
    for (int i = 0; i < count && i < 3; ++i)
        addUniform(structID, UniformFloat, kNames[i]);
}

DecalShader::DecalShader() {
    addCameraAndWorld();
    addStandardAttributes(false);
}

ParticlesShader::ParticlesShader() {
    addCameraAndWorld();
    addStandardAttributes(false);
}

BrightpassShader::BrightpassShader() {
    addUniform(0, UniformFloat, "hdrBrightThres");
    addUniform(0, UniformFloat, "hdrBrightOffset");
    addStandardAttributes(true);
}

BlurHShader::BlurHShader() {
    addUniform(0, UniformVector3, "u_textureSize");
    addStandardAttributes(true);
}

BlurVShader::BlurVShader() {
    addUniform(0, UniformVector3, "u_textureSize");
    addStandardAttributes(true);
}

CombineShader::CombineShader() {
    addUniform(0, UniformFloat, "hdrExposure");
    addStandardAttributes(true);
}

DebugDrawShader::DebugDrawShader() {
    addCameraAndWorld();
    addStandardAttributes(false);
}

MenuShader::MenuShader() {
    addCamera();
    addUniform(1, UniformMatrix4, "worldMat");
    addUniform(1, UniformVector4, "meshColor");
    addStandardAttributes(false);
}

ModelShader::ModelShader() {
    addCamera();
    addLights();
    addUniform(0, UniformVector4, "meshColor");
    addUniform(0, UniformFloat, "morphFactor");
    addUniform(0, UniformFloat, "fogDistance");
    addPadding(0, 2);
    addUniform(1, UniformMatrix4, "worldMat");
    addUniform(1, UniformMatrix3, "normalMat");
    addUniform(1, UniformFloat, "materialEmit");
    addPadding(1, 3);
    addStandardAttributes(false);
}

int ModelShader::getUniformSize() {
    XAssert(0, "0", "source/game/metal/ModelShader", 23);
    return 0;
}

TextShader::TextShader() {
    addCamera();
    addUniform(1, UniformMatrix4, "worldMat");
    addUniform(1, UniformVector4, "meshColor");
    addStandardAttributes(true);
}

ModelRefShader::ModelRefShader() {
    addCamera();
    addLights();
    addUniform(0, UniformFloat, "morphFactor");
    addUniform(0, UniformFloat, "materialEmit");
    addUniform(0, UniformFloat, "fogDistance");
    addUniform(0, UniformFloat, "padding2");
    addUniform(1, UniformMatrix4, "worldMat");
    addUniform(1, UniformMatrix3, "normalMat");
    addStandardAttributes(false);
}

StencilMaskShader::StencilMaskShader() {
    addCameraAndWorld();
    addStandardAttributes(false);
}

MenuProgressbarShader::MenuProgressbarShader() {
    addCameraAndWorld();
    addUniform(0, UniformVector4, "meshColor");
    addUniform(0, UniformFloat, "progressbarIntensity");
    addPadding(0, 3);
    addStandardAttributes(false);
}

UVScrollShader::UVScrollShader() {
    addCamera();
    addUniform(0, UniformFloat, "morphFactor");
    addPadding(0, 3);
    addUniform(1, UniformMatrix4, "worldMat");
    addUniform(1, UniformVector4, "meshColor");
    addUniform(1, UniformVector3, "uvOffset");
    addStandardAttributes(false);
}

SkyShader::SkyShader() {
    addCameraAndWorld();
    addStandardAttributes(false);
}

OutlineShader::OutlineShader() {
    addCameraAndWorld();
    addUniform(0, UniformVector4, "outlineColor");
    addUniform(0, UniformFloat, "morphFactor");
    addPadding(0, 3);
    addStandardAttributes(false);
}

template <class T>
static void registerOne(const char* file) {
    ResourceManager& rm = ResourceManager::instance();
    T* shader = new T();
    rm.registerShader(file, shader);
    // A name registered before keeps its first shader; this one is then nobody's.
    auto it = rm._shaders.find(file);
    if (it == rm._shaders.end() || it->second != shader)
        delete shader;
}

int registerMetalShaders() {
    registerOne<DecalShader>("shaders/decal.shader");
    registerOne<ParticlesShader>("particles/particles.shader");
    registerOne<BrightpassShader>("shaders/brightpass.shader");
    registerOne<BlurHShader>("shaders/blur_h.shader");
    registerOne<BlurVShader>("shaders/blur_v.shader");
    registerOne<CombineShader>("shaders/combine.shader");
    registerOne<DebugDrawShader>("shaders/debugdraw.shader");
    registerOne<MenuShader>("shaders/menu.shader");
    registerOne<ModelShader>("shaders/model.shader");
    registerOne<TextShader>("shaders/text.shader");
    registerOne<ModelRefShader>("shaders/model_ref.shader");
    registerOne<StencilMaskShader>("shaders/stencilmask.shader");
    registerOne<MenuProgressbarShader>("shaders/menu_progressbar.shader");
    registerOne<UVScrollShader>("shaders/uvscroll.shader");
    registerOne<SkyShader>("shaders/sky.shader");
    registerOne<OutlineShader>("shaders/outline.shader");
    return 1;
}

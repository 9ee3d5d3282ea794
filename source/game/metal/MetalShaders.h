#pragma once
// The game's Metal shader classes, one per shader file: each names its two library functions
// ("<Class>VertexShader", "<Class>FragmentShader"), its uniform structs and its vertex layout.
// registerMetalShaders hands one of each to the resource manager under the file name of the
// shader it stands for, so materials find them by the same names on both back ends.

#include "engine/MetalRender/MetalShader.h"

// Creates and registers every class. Returns 1.
int registerMetalShaders();

// Position, texture coordinates, normal, then "vertColor" as four bytes (or three floats).
class MetalGameShader : public MetalShader {
protected:
    void addStandardAttributes(bool floatColour);
    // mat4 "projMat", mat4 "viewMat" into struct 0.
    void addCamera();
    // mat4 "projMat", mat4 "viewMat", mat4 "worldMat" into struct 0.
    void addCameraAndWorld();
    // vec3 "light0Color" to "light3Color", then vec3 "light0Direction" to "light3Direction",
    // into struct 0.
    void addLights();
    // Floats "padding0", "padding1", ... (count of them, at most 3) into struct structID.
    void addPadding(int structID, int count);
};

#define ZELVAN_METAL_SHADER_NAMES(Class)                                              \
    const char* getName() override { return #Class; }                                 \
    const char* getVertexFunctionName() override { return #Class "VertexShader"; }    \
    const char* getFragmentFunctionName() override { return #Class "FragmentShader"; }

class DecalShader : public MetalGameShader {
public:
    DecalShader();
    ZELVAN_METAL_SHADER_NAMES(DecalShader)
    int isPerInstanceStruct(int) override { return 1; }
    int getUniformSize() override { return 192; }
};

class ParticlesShader : public MetalGameShader {
public:
    ParticlesShader();
    ZELVAN_METAL_SHADER_NAMES(ParticlesShader)
    int isPerInstanceStruct(int) override { return 1; }
    int getUniformSize() override { return 192; }
};

class BrightpassShader : public MetalGameShader {
public:
    BrightpassShader();
    ZELVAN_METAL_SHADER_NAMES(BrightpassShader)
    int getUniformStage() override { return MetalStageFragment; }
    int isPerInstanceStruct(int) override { return 0; }
    int getUniformSize() override { return 8; }
};

class BlurHShader : public MetalGameShader {
public:
    BlurHShader();
    ZELVAN_METAL_SHADER_NAMES(BlurHShader)
    int isPerInstanceStruct(int) override { return 0; }
    int getUniformSize() override { return 16; }
};

class BlurVShader : public MetalGameShader {
public:
    BlurVShader();
    ZELVAN_METAL_SHADER_NAMES(BlurVShader)
    int getUniformStage() override { return MetalStageBoth; }
    int isPerInstanceStruct(int) override { return 0; }
    int getUniformSize() override { return 16; }
};

class CombineShader : public MetalGameShader {
public:
    CombineShader();
    ZELVAN_METAL_SHADER_NAMES(CombineShader)
    int isPerInstanceStruct(int) override { return 0; }
    int getUniformSize() override { return 4; }
};

class DebugDrawShader : public MetalGameShader {
public:
    DebugDrawShader();
    ZELVAN_METAL_SHADER_NAMES(DebugDrawShader)
    int isPerInstanceStruct(int) override { return 0; }
    int getUniformSize() override { return 192; }
};

class MenuShader : public MetalGameShader {
public:
    MenuShader();
    ZELVAN_METAL_SHADER_NAMES(MenuShader)
    int getNumberOfUniformStructs() override { return 2; }
    int getUniformStructSize(int structID) override { return structID == 0 ? 128 : structID == 1 ? 80 : 0; }
    int isPerInstanceStruct(int structID) override { return structID == 1 ? 1 : 0; }
};

class ModelShader : public MetalGameShader {
public:
    ModelShader();
    ZELVAN_METAL_SHADER_NAMES(ModelShader)
    int getNumberOfUniformStructs() override { return 2; }
    int getUniformStructSize(int structID) override { return structID == 0 ? 288 : structID == 1 ? 128 : 0; }
    int isPerInstanceStruct(int structID) override { return structID == 1 ? 1 : 0; }
    // A two-struct class has no single struct size.
    int getUniformSize() override;
};

class TextShader : public MetalGameShader {
public:
    TextShader();
    ZELVAN_METAL_SHADER_NAMES(TextShader)
    int getNumberOfUniformStructs() override { return 2; }
    int getUniformStructSize(int structID) override { return structID == 0 ? 128 : structID == 1 ? 80 : 0; }
    int isPerInstanceStruct(int structID) override { return structID == 1 ? 1 : 0; }
};

class ModelRefShader : public MetalGameShader {
public:
    ModelRefShader();
    ZELVAN_METAL_SHADER_NAMES(ModelRefShader)
    int getNumberOfUniformStructs() override { return 2; }
    int getUniformStructSize(int structID) override { return structID == 0 ? 272 : structID == 1 ? 112 : 0; }
    int isPerInstanceStruct(int structID) override { return structID == 1 ? 1 : 0; }
    int getUniformSize() override { return 112; }
};

class StencilMaskShader : public MetalGameShader {
public:
    StencilMaskShader();
    ZELVAN_METAL_SHADER_NAMES(StencilMaskShader)
    int isPerInstanceStruct(int) override { return 1; }
    int getUniformSize() override { return 192; }
};

class MenuProgressbarShader : public MetalGameShader {
public:
    MenuProgressbarShader();
    ZELVAN_METAL_SHADER_NAMES(MenuProgressbarShader)
    int isPerInstanceStruct(int) override { return 1; }
    int getUniformSize() override { return 224; }
};

class UVScrollShader : public MetalGameShader {
public:
    UVScrollShader();
    ZELVAN_METAL_SHADER_NAMES(UVScrollShader)
    int getUniformStage() override { return MetalStageBoth; }
    int getNumberOfUniformStructs() override { return 2; }
    int getUniformStructSize(int structID) override { return structID == 0 ? 144 : structID == 1 ? 96 : 0; }
    int isPerInstanceStruct(int structID) override { return structID == 1 ? 1 : 0; }
};

class SkyShader : public MetalGameShader {
public:
    SkyShader();
    ZELVAN_METAL_SHADER_NAMES(SkyShader)
    int isPerInstanceStruct(int) override { return 1; }
    int getUniformSize() override { return 192; }
};

class OutlineShader : public MetalGameShader {
public:
    OutlineShader();
    ZELVAN_METAL_SHADER_NAMES(OutlineShader)
    int isPerInstanceStruct(int) override { return 1; }
    int getUniformSize() override { return 224; }
};

#pragma once
// How a mesh is drawn: shader, textures and their sampling, blending, culling, depth and colour
// writes, emit, the sprite-sheet and scrolling UV animation, and the draw order among blended
// meshes. Read from "materials/<name>.txt" and cached by name by the ResourceManager.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine/render/BackEndData.h"

class File;
class Shader;
class Texture;

enum MaterialBlendMode { BlendPremultAlpha = 0, BlendAlpha = 1, BlendAdditive = 2, BlendNone = 3 };
enum MaterialCullMode { CullBack = 0, CullFront = 1, CullNone = 2 };

class Material {
public:
    Material();
    // Deletes the back end's state record; shader and textures belong to the ResourceManager.
    ~Material();
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    // Parses a material file (opened in text mode by the caller) into this material, then
    // uploads its textures (ResourceManager::uploadMaterialTextures). Content errors are
    // logged and skipped; a tokenizer error ends the parsing, keeping what was read.
    void load(File& file);

    std::string _name;
    Vector4 _colour{1, 1, 1, 1};  // sent as "color"; no file key sets it
    int32_t _blendMode = BlendNone;
    int32_t _cullMode = CullBack;
    Shader* _shader = nullptr;
    uint8_t _depthWrite = 1;
    uint8_t _depthTest = 1;
    uint8_t _colorWrite = 1;
    uint8_t _alphatestEnabled = 0;
    float _emit = 0.2f;                // sent as "materialEmit"
    float _uvAnimSpeed = 0;            // sheet frames a second; 0 switches all UV animation off
    float _uvAnimScrollSpeedU = 0;     // texture widths a second
    float _uvAnimScrollSpeedV = 0;
    uint32_t _uvAnimWidth = 0;         // frames a sheet row
    uint32_t _uvAnimNumberOfFrames = 0;
    std::vector<Texture*> _textures;   // entry i is bound to unit i; shared, not owned
    int32_t _orderID = 0;
    BackEndData* _backEndState = nullptr;
};

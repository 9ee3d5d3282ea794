#include "engine/render/Material.h"

#include <cstring>
#include <string>

#include "engine/file.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Texture.h"
#include "engine/tokenizer.h"
#include "engine/utils.h"

namespace {

// The number after "texture": an optional sign and decimal digits, taken modulo 256 (no
// digits gives 0). rest points past the number.
int textureIndex(const char* key, const char** rest) {
    const char* p = key + 7;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    unsigned value = 0;
    while (*p >= '0' && *p <= '9') {
        value = (value * 10 + (unsigned)(*p - '0')) % 256;
        ++p;
    }
    *rest = p;
    return (int)(negative ? (256 - value) % 256 : value);
}

}  // namespace

Material::Material() {}

Material::~Material() { delete _backEndState; }

void Material::load(File& file) {
    Buffer buffer;
    file.readAll(buffer, 1);
    CTokenizer tokenizer;
    tokenizer.OpenBuffer(buffer, CTokenizer::FlagComments | CTokenizer::FlagQuotes);
    ResourceManager& resources = ResourceManager::instance();

    try {
        while (const char* next = tokenizer.Next(0)) {
            const std::string key = next;
            const char* k = key.c_str();
            if (startsWith(k, "shader")) {
                _shader = resources.getShader(tokenizer.ReadToken());
            } else if (startsWith(k, "texture")) {
                const char* rest = nullptr;
                int index = textureIndex(k, &rest);
                bool loaded = index < (int)_textures.size();
                bool suffixed = std::strstr(rest, "_addressMode") || std::strstr(rest, "_maxAniso") ||
                                std::strstr(rest, "_generateMipMap") || std::strstr(rest, "_colorizer");
                if (suffixed && !loaded) {
                    // The entry's "=" and value stay in the stream and are read as keys next.
                    Logger::error("[Material::load] invalid texture index: %d", index);
                } else if (std::strstr(rest, "_addressMode")) {
                    const std::string mode = tokenizer.ReadToken();
                    if (startsWith(mode, "clamp"))
                        _textures[index]->_addressMode = AddressClamp;
                    else if (startsWith(mode, "repeat"))
                        _textures[index]->_addressMode = AddressRepeat;
                    else
                        Logger::error("[Material::load] invalid address mode: %s", mode.c_str());
                } else if (std::strstr(rest, "_maxAniso")) {
                    _textures[index]->_maxAniso = tokenizer.ReadFloat();
                } else if (std::strstr(rest, "_generateMipMap")) {
                    if (tokenizer.ReadBool())
                        _textures[index]->generateMipMaps();
                } else if (std::strstr(rest, "_colorizer")) {
                    if (tokenizer.ReadBool())
                        _textures[index]->setColorizer();
                } else if (index == (int)_textures.size()) {
                    // Only the next index is taken; any other leaves "=" and the file in the stream.
                    if (Texture* texture = resources.getTexture(tokenizer.ReadToken()))
                        _textures.push_back(texture);
                }
            } else if (startsWith(k, "blendMode")) {
                const std::string mode = tokenizer.ReadToken();
                if (startsWith(mode, "none"))
                    _blendMode = BlendNone;
                else if (startsWith(mode, "alpha_blend"))
                    _blendMode = BlendAlpha;
                else if (startsWith(mode, "premult_alpha_blend"))
                    _blendMode = BlendPremultAlpha;
                else if (startsWith(mode, "additive"))
                    _blendMode = BlendAdditive;
                else
                    Logger::error("[Material::load] invalid blend mode: %s", mode.c_str());
            } else if (startsWith(k, "cullMode")) {
                const std::string mode = tokenizer.ReadToken();
                if (startsWith(mode, "none"))
                    _cullMode = CullNone;
                else if (startsWith(mode, "back"))
                    _cullMode = CullBack;
                else if (startsWith(mode, "front"))
                    _cullMode = CullFront;
                else
                    Logger::error("[Material::load] invalid cull mode: %s", mode.c_str());
            } else if (startsWith(k, "depthWrite")) {
                _depthWrite = tokenizer.ReadBool() ? 1 : 0;
            } else if (startsWith(k, "colorWrite")) {
                _colorWrite = tokenizer.ReadBool() ? 1 : 0;
            } else if (startsWith(k, "depthTest")) {
                _depthTest = tokenizer.ReadBool() ? 1 : 0;
            } else if (startsWith(k, "emit")) {
                _emit = tokenizer.ReadFloat();
            } else if (startsWith(k, "uvAnimWidth")) {
                _uvAnimWidth = (uint32_t)tokenizer.ReadInt();
            } else if (startsWith(k, "uvAnimNumberOfFrames")) {
                _uvAnimNumberOfFrames = (uint32_t)tokenizer.ReadInt();
            } else if (startsWith(k, "uvAnimSpeed")) {
                _uvAnimSpeed = tokenizer.ReadFloat();
            } else if (startsWith(k, "uvAnimScrollSpeedU")) {
                _uvAnimScrollSpeedU = tokenizer.ReadFloat();
            } else if (startsWith(k, "uvAnimScrollSpeedV")) {
                _uvAnimScrollSpeedV = tokenizer.ReadFloat();
            } else if (startsWith(k, "alphatestEnabled")) {
                _alphatestEnabled = tokenizer.ReadBool() ? 1 : 0;
            } else if (key == "orderID") {
                _orderID = tokenizer.ReadInt();
            } else {
                Logger::error("[Material::load] invalid token: %s", k);
            }
        }
    } catch (const CTokenizerException&) {
        // The tokenizer logged the reason; what was read so far stays.
    }

    resources.uploadMaterialTextures(*this);
}

// Reading an effect folder: emitters.txt (layers, emitter types, the sort flag) and material.txt.

#include <cstring>

#include "engine/render/Mesh.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/render/ResourceManager.h"
#include "engine/tokenizer.h"
#include "engine/utils.h"

namespace {

const uint32_t kTokenizerFlags = CTokenizer::FlagComments | CTokenizer::FlagQuotes;

std::string emittersPath(const char* directory) { return std::string(directory ? directory : "") + "/emitters.txt"; }

void copyName(char* out, const char* text) {
    std::strncpy(out, text ? text : "", PSNameCapacity);
    out[PSNameCapacity] = 0;
}

float readDegrees(CTokenizer& t) { return degToRad(t.NextFloat()); }

PSRange readRange(CTokenizer& t) {
    PSRange r;
    r.min = t.NextFloat();
    r.max = t.NextFloat();
    return r;
}

PSRange readDegreeRange(CTokenizer& t) {
    PSRange r;
    r.min = readDegrees(t);
    r.max = readDegrees(t);
    return r;
}

Vector3 readVector(CTokenizer& t) {
    Vector3 v;
    v.x = t.NextFloat();
    v.y = t.NextFloat();
    v.z = t.NextFloat();
    return v;
}

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// "{ key = a b ... }" of an emitter shape; unknown keys are reported and skipped.
void readShapeBlock(CTokenizer& t, PSLayerType& layer, const char* blockName, const std::string& path) {
    t.Skip("{");
    for (;;) {
        std::string key = t.NextToken();
        if (key == "}")
            return;
        if (key == "speed") {
            t.Skip("=");
            layer.speed = readRange(t);
        } else if (layer.shape == PSShapeSphere && key == "inclination") {
            t.Skip("=");
            layer.inclination = readDegreeRange(t);
        } else if (layer.shape == PSShapeSphere && key == "azimuth") {
            t.Skip("=");
            layer.azimuth = readDegreeRange(t);
        } else if (layer.shape == PSShapeSphere && key == "radius") {
            t.Skip("=");
            layer.radius = readRange(t);
        } else {
            Logger::error("[PSParticleSystem::init] (%s) unexpected token: '%s' in: '%s'", blockName, key.c_str(),
                          path.c_str());
        }
    }
}

void unexpected(const char* what, const std::string& token, const std::string& path) {
    Logger::error("[PSParticleSystem::init] (%s) unexpected token: '%s' in: '%s'", what, token.c_str(), path.c_str());
}

}  // namespace

void PSParticleSystem::preInit(const char* directory, std::vector<std::string>& names) {
    names.clear();
    const std::string path = emittersPath(directory);
    CTokenizer t;
    if (!t.OpenFile(path.c_str(), StoreRead, kTokenizerFlags))
        return;
    try {
        while (const char* token = t.Next(0)) {
            if (std::strcmp(token, "sprite_geom") == 0) {
                t.Skip("=");
                names.push_back(t.NextToken());
            }
        }
    } catch (const CTokenizerException& e) {
        Logger::error("[PSParticleSystem::preInit] failed: '%s' (%s)", e.GetMessage(), path.c_str());
    }
}

void PSParticleSystem::clearDefinitions() {
    _layerTypes.clear();
    _emitterTypes.clear();
    _spriteGeometries.clear();
}

bool PSParticleSystem::init(const char* directory, const std::vector<PSSpriteGeometry>& sprites) {
    removeAllEmitters();
    _maxParticles = MaxParticles;
    if (!_geometry)
        _geometry = new PSGeometry();
    if (!_mesh) {
        _mesh = new Mesh();
        _mesh->_cullable = 0;  // the sprites move every frame; their box is never kept current
        _mesh->setGeometry(_geometry, -1, -1);
    }
    // Layers refer to sprite entries and emitter types to layer indices: a second init starts
    // from empty lists rather than mixing two files.
    clearDefinitions();
    _spriteGeometries = sprites;
    _backlog = 0;
    _isCameraValid = false;
    sort = false;
    visible = true;

    const std::string path = emittersPath(directory);
    CTokenizer t;
    if (!t.OpenFile(path.c_str(), StoreRead, kTokenizerFlags)) {
        Logger::error("[PSParticleSystem::init] Failed. (%s)", path.c_str());
        removeAllEmitters();
        return false;
    }
    char lastEmitterName[PSNameCapacity + 1] = {};
    try {
        while (const char* token = t.Next(0)) {
            if (std::strcmp(token, "[layer]") == 0) {
                t.Skip("{");
                readLayer(t, path);
            } else if (std::strcmp(token, "[emitter]") == 0) {
                t.Skip("{");
                readEmitter(t, path, lastEmitterName);
            } else if (std::strcmp(token, "sort") == 0) {
                sort = t.ReadBool();
            } else {
                Logger::error("[PSParticleSystem::init] invalid token: '%s' in '%s'", token, path.c_str());
            }
        }
    } catch (const CTokenizerException& e) {
        Logger::error("[PSParticleSystem::init] failed: '%s' (%s)", e.GetMessage(), path.c_str());
        Logger::error("[PSParticleSystem::init] Failed. (%s)", path.c_str());
        removeAllEmitters();
        return false;
    }

    const std::string materialPath = std::string(directory ? directory : "") + "/material.txt";
    _material = ResourceManager::instance().getMaterial(materialPath);
    if (!_material) {
        Logger::error("[PSParticleSystem::init] Failed");
        removeAllEmitters();
        return false;
    }
    _mesh->_material = _material;
    return true;
}

void PSParticleSystem::readLayer(CTokenizer& t, const std::string& path) {
    PSLayerType layer;
    for (;;) {
        // Copied: the reads below reuse the tokenizer's buffer.
        const std::string key = t.NextToken();
        if (key == "}") {
            _layerTypes.push_back(layer);
            return;
        }
        if (key == "name") {
            copyName(layer.name, t.ReadToken());
        } else if (key == "copy_layer") {
            const std::string source = t.NextToken();
            const PSLayerType* found = nullptr;
            for (const PSLayerType& earlier : _layerTypes)
                if (source == earlier.name)
                    found = &earlier;
            if (found)
                layer = *found;
            else
                Logger::error("[PSParticleSystem::init] (copy layer) layer not found: '%s' in: '%s'", source.c_str(),
                              path.c_str());
        } else if (key == "particle_count_min") {
            layer.particleCountMin = t.ReadInt();
        } else if (key == "particle_count_max") {
            layer.particleCountMax = t.ReadInt();
        } else if (key == "drag") {
            t.Skip("=");
            layer.drag = readVector(t);
        } else if (key == "global_drag_factor") {
            t.Skip("=");
            layer.globalDragFactor = readVector(t);
        } else if (key == "velDamp") {
            layer.velDamp = clamp01(t.ReadFloat());
        } else if (key == "emitterVelocityFactor") {
            layer.emitterVelocityFactor = clamp01(t.ReadFloat());
        } else if (key == "life_time") {
            layer.lifeTime = t.ReadFloat();
        } else if (key == "delay") {
            layer.delay = t.ReadFloat();
        } else if (key == "particles_per_sec") {
            t.Skip("=");
            layer.particlesPerSec = readRange(t);
        } else if (key == "sprite_geom") {
            const std::string name = t.ReadToken();
            layer.spriteGeometry = nullptr;
            for (const PSSpriteGeometry& sprite : _spriteGeometries) {
                if (sprite.name == name) {
                    layer.spriteGeometry = &sprite;
                    break;
                }
            }
            if (!layer.spriteGeometry)
                Logger::error("[PSParticleSystem::init] sprite geometry not found: '%s' in: '%s'", name.c_str(),
                              path.c_str());
        } else if (key == "life_times") {
            t.Skip("=");
            for (int i = 0; i < 3; ++i) {
                if (i > 0)
                    t.Skip(":");
                float v = t.NextFloat();
                layer.lifePhases[i].min = v;
                layer.lifePhases[i].max = v;
            }
        } else if (key == "life_times_rnd") {
            t.Skip("=");
            for (int i = 0; i < 3; ++i) {
                if (i > 0)
                    t.Skip(":");
                layer.lifePhases[i] = readRange(t);
            }
        } else if (key == "spin_vector") {
            t.Skip("=");
            Vector3 v = readVector(t);
            if (v.lengthSquared() > 0.0f)
                layer.spinAxis = v / v.length();
            else
                Logger::error("[PSParticleSystem::init] (spin_vector) zero vector, no spin in: '%s'", path.c_str());
        } else if (key == "spin") {
            const std::string mode = t.ReadToken();
            if (mode == "none") {
                layer.spinMode = PSSpinNone;
            } else if (mode == "accel") {
                layer.spinMode = PSSpinAccel;
                layer.spin = readDegreeRange(t);
            } else if (mode == "minmax") {
                layer.spinMode = PSSpinMinMax;
                layer.spin = readDegreeRange(t);
            } else {
                unexpected("spin", mode, path);
            }
        } else if (key == "random_start_rotation") {
            t.Skip("=");
            layer.randomStartRotation = true;
            layer.startRotation = readDegreeRange(t);
        } else if (key == "embedded_emitter") {
            t.ReadString(layer.embeddedEmitter, PSNameCapacity);
            layer.embeddedEmitter[PSNameCapacity] = 0;
        } else if (key == "sprite_rotation") {
            const std::string mode = t.ReadToken();
            if (mode == "none") {
                layer.rotationMode = PSRotationNone;
            } else if (mode == "anim4") {
                layer.rotationMode = PSRotationAnim4;
                for (int i = 0; i < 4; ++i)
                    layer.rotation[i] = readDegrees(t);
            } else if (mode == "minmax") {
                layer.rotationMode = PSRotationMinMax;
                layer.rotation[0] = readDegrees(t);
                layer.rotation[1] = readDegrees(t);
            } else {
                unexpected("sprite_rotation", mode, path);
            }
        } else if (key == "sizes") {
            const std::string mode = t.ReadToken();
            if (mode == "fixed") {
                layer.sizeMode = PSSizeFixed;
                float s = t.NextFloat();
                layer.sizes[0].min = s;
                layer.sizes[0].max = s;
            } else if (mode == "anim4") {
                layer.sizeMode = PSSizeAnim4;
                for (int i = 0; i < 4; ++i) {
                    float s = t.NextFloat();
                    layer.sizes[i].min = s;
                    layer.sizes[i].max = s;
                }
            } else if (mode == "anim4_rnd") {
                layer.sizeMode = PSSizeAnim4;
                for (int i = 0; i < 4; ++i) {
                    if (i > 0)
                        t.Skip(":");
                    layer.sizes[i] = readRange(t);
                }
            } else {
                unexpected("sizes", mode, path);
            }
        } else if (key == "argb_colors") {
            const std::string mode = t.ReadToken();
            if (mode == "fixed") {
                layer.colourMode = PSColourFixed;
                layer.colours[0] = t.read_color();
            } else if (mode == "anim4") {
                layer.colourMode = PSColourAnim4;
                for (int i = 0; i < 4; ++i) {
                    if (i > 0)
                        t.Skip(":");
                    layer.colours[i] = t.read_color();
                }
            } else {
                unexpected("argb_colors", mode, path);
            }
        } else if (key == "particle_direction") {
            const std::string mode = t.ReadToken();
            if (mode == "emitter_dir") {
                layer.directionMode = PSDirectionEmitter;
            } else if (mode == "vector") {
                Vector3 v = readVector(t);
                layer.directionMode = PSDirectionVector;
                if (v.lengthSquared() > 0.0f)
                    layer.direction = v / v.length();
                else
                    Logger::error("[PSParticleSystem::init] (particle_direction) zero vector, no speed in: '%s'",
                                  path.c_str());
            } else {
                unexpected("particle_direction", mode, path);
            }
        } else if (key == "sphere_emitter") {
            layer.shape = PSShapeSphere;
            readShapeBlock(t, layer, "sphere_emitter", path);
        } else if (key == "mesh_emitter") {
            layer.shape = PSShapeMesh;
            readShapeBlock(t, layer, "mesh_emitter", path);
        } else if (key == "bb_emitter") {
            layer.shape = PSShapeBox;
            readShapeBlock(t, layer, "bb_emitter", path);
        } else {
            unexpected("[layer]", key, path);
        }
    }
}

// Only layers the simulation and the geometry build can serve join an emitter: mesh and box
// shapes need emitter geometries that nothing provides, and a particle needs a sprite to be drawn.
bool PSParticleSystem::acceptLayer(const PSLayerType& layer, const std::string& path) const {
    if (layer.shape == PSShapeMesh || layer.shape == PSShapeBox) {
        Logger::error("[PSParticleSystem::init] (add_layer) layer '%s' refused: %s has no geometry to emit from in: '%s'",
                      layer.name, layer.shape == PSShapeMesh ? "mesh_emitter" : "bb_emitter", path.c_str());
        return false;
    }
    const PSSpriteGeometry* sprite = layer.spriteGeometry;
    if (!sprite || !sprite->geometry) {
        Logger::error("[PSParticleSystem::init] (add_layer) layer '%s' refused: no sprite geometry in: '%s'", layer.name,
                      path.c_str());
        return false;
    }
    const Geometry* g = sprite->geometry;
    if (!g->hasPositions() || g->_vertexCount == 0 || g->_indexCount == 0 || !g->_vertices || !g->_indices) {
        Logger::error("[PSParticleSystem::init] (add_layer) layer '%s' refused: sprite geometry '%s' has no vertices "
                      "to draw in: '%s'",
                      layer.name, sprite->name.c_str(), path.c_str());
        return false;
    }
    if (g->_vertexCount > PSGeometry::MaxVertices) {
        Logger::error("[PSParticleSystem::init] (add_layer) layer '%s' refused: sprite geometry '%s' has %u vertices "
                      "in: '%s'",
                      layer.name, sprite->name.c_str(), g->_vertexCount, path.c_str());
        return false;
    }
    return true;
}

void PSParticleSystem::readEmitter(CTokenizer& t, const std::string& path, char* lastName) {
    PSEmitterType emitter;
    for (;;) {
        const std::string key = t.NextToken();
        if (key == "}") {
            // A block without a name repeats the previous block's name.
            std::memcpy(emitter.name, lastName, PSNameCapacity + 1);
            _emitterTypes.push_back(emitter);
            return;
        }
        if (key == "name") {
            copyName(lastName, t.ReadToken());
        } else if (key == "particles_are_local") {
            emitter.particlesAreLocal = t.ReadBool();
        } else if (key == "offset") {
            emitter.offset = t.ReadFloat();
        } else if (key == "loop") {
            int32_t n = t.ReadInt();
            t.Skip(":");
            emitter.loopDelay = readRange(t);
            emitter.loop = n <= 1 ? 1 : n;
        } else if (key == "disable_rotation") {
            emitter.disableRotation = t.ReadBool();
        } else if (key == "add_layer") {
            const std::string name = t.NextToken();
            int32_t index = -1;
            for (size_t i = 0; i < _layerTypes.size(); ++i) {
                if (name == _layerTypes[i].name) {
                    index = (int32_t)i;
                    break;
                }
            }
            if (index < 0)
                Logger::error("[PSParticleSystem::init] (add_layer) invalid layer name: '%s' in: '%s'", name.c_str(),
                              path.c_str());
            else if (acceptLayer(_layerTypes[(size_t)index], path))
                emitter.layers.push_back(index);
        } else {
            unexpected("[emitter]", key, path);
        }
    }
}

const PSEmitterType* PSParticleSystem::findEmitterType(const char* name) const {
    if (!name || !*name)
        return nullptr;
    for (const PSEmitterType& type : _emitterTypes)
        if (std::strcmp(type.name, name) == 0)
            return &type;
    return nullptr;
}

const PSLayerType* PSParticleSystem::findLayerType(const char* name) const {
    if (!name)
        return nullptr;
    for (const PSLayerType& type : _layerTypes)
        if (std::strcmp(type.name, name) == 0)
            return &type;
    return nullptr;
}

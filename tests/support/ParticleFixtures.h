#pragma once
// Fixtures of the particle tests: effect folders written into a temporary bundle, sprite
// geometries built in memory, and captured log lines. Header only, so any test area can use it.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/render/Geometry.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"

namespace particlefixtures {

using LogLines = testsupport::LogCapture;

enum SpriteLayout {
    SpriteBytes36 = 36,  // position, uv, normal floats, colour bytes
    SpriteFloats44 = 44  // position, uv, normal, colour floats (the older object-file layout)
};

// A sprite of n vertices on a circle of the given radius in the XY plane (facing +Z), fanned into
// n - 2 triangles; n = 4 gives a square quad. Vertex colour (r, g, b) in 0..1.
inline Geometry* makeSprite(uint32_t n = 4, float radius = 0.5f, SpriteLayout layout = SpriteBytes36,
                            float r = 1.0f, float g = 1.0f, float b = 1.0f) {
    Geometry* geometry = new Geometry();
    GeometryAttribute a;
    a.type = GeometryAttribute::TypeFloat;
    a.components = 3;
    a.name = "vertPos";
    geometry->_attributes.push_back(a);
    a.components = 2;
    a.name = "texCoords0";
    geometry->_attributes.push_back(a);
    a.components = 3;
    a.name = "vertNormal";
    geometry->_attributes.push_back(a);
    if (layout == SpriteBytes36) {
        a.type = GeometryAttribute::TypeUnsignedByte;
        a.components = 4;
    }
    a.name = "vertColor";
    geometry->_attributes.push_back(a);
    geometry->updateStride();
    geometry->_vertexCount = n;
    geometry->_vertices = static_cast<uint8_t*>(std::calloc(n, geometry->_stride));
    for (uint32_t v = 0; v < n; ++v) {
        const float angle = 0.7853982f + 6.2831855f * (float)v / (float)n;
        float f[11] = {radius * std::cos(angle), radius * std::sin(angle), 0, (float)(v & 1), (float)((v >> 1) & 1),
                       0, 0, 1, r, g, b};
        uint8_t* out = geometry->_vertices + (size_t)v * geometry->_stride;
        if (layout == SpriteBytes36) {
            std::memcpy(out, f, 32);
            out[32] = (uint8_t)(r * 255.0f);
            out[33] = (uint8_t)(g * 255.0f);
            out[34] = (uint8_t)(b * 255.0f);
            out[35] = 255;
        } else {
            std::memcpy(out, f, 44);
        }
    }
    geometry->_indexCount = (n - 2) * 3;
    geometry->_indices = static_cast<uint16_t*>(std::malloc(geometry->_indexCount * sizeof(uint16_t)));
    for (uint32_t t = 0; t + 2 < n; ++t) {
        geometry->_indices[t * 3] = 0;
        geometry->_indices[t * 3 + 1] = (uint16_t)(t + 1);
        geometry->_indices[t * 3 + 2] = (uint16_t)(t + 2);
    }
    return geometry;
}

// A temporary bundle whose data folder holds effect folders; the stores point at it while it lives.
class EffectBundle {
public:
    EffectBundle() : _stores(_bundle.path(), _documents.path()) { ResourceManager::instance().resetForTests(); }
    ~EffectBundle() { ResourceManager::instance().resetForTests(); }

    // data/<folder>/emitters.txt and, unless material is null, data/<folder>/material.txt.
    void write(const std::string& folder, const std::string& emitters,
               const char* material = "blendMode = additive\ndepthWrite = false\n") {
        testsupport::writeFile(path(folder + "/emitters.txt"), emitters);
        if (material)
            testsupport::writeFile(path(folder + "/material.txt"), std::string(material));
    }
    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        testsupport::writeFile(path(name), bytes);
    }
    // The file's full path (as log lines show it) for a name below data/.
    std::string path(const std::string& name) const { return _bundle.path() + "/data/" + name; }

private:
    testsupport::TempDir _bundle;
    testsupport::TempDir _documents;
    testsupport::ScopedStores _stores;
};

// Sprite geometries owned by the test, handed to init by name.
class SpriteSet {
public:
    void add(const std::string& name, Geometry* geometry) {
        _owned.emplace_back(geometry);
        PSSpriteGeometry sprite;
        sprite.geometry = geometry;
        sprite.name = name;
        list.push_back(sprite);
    }
    std::vector<PSSpriteGeometry> list;

private:
    std::vector<std::unique_ptr<Geometry>> _owned;
};

// Remembers every released emitter, in order.
class ReleaseLog : public IPSEventHandler {
public:
    void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override {
        released.push_back(emitter);
        systems.push_back(system);
    }
    int count(const PSEmitter* emitter) const {
        int n = 0;
        for (const PSEmitter* e : released)
            n += e == emitter ? 1 : 0;
        return n;
    }
    std::vector<PSEmitter*> released;
    std::vector<PSParticleSystem*> systems;
};

}  // namespace particlefixtures

// Particle definitions (an effect folder's emitters.txt, with the sample material.txt beside it):
// read against sprite geometries made for every name it asks for, then every emitter type
// started and the simulation run for a few steps.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "engine/render/Geometry.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/render/ResourceManager.h"

namespace {

// A square of two triangles facing +Z, in the sample sprites' 36-byte layout.
Geometry* makeSprite() {
    Geometry* g = new Geometry();
    addFloatAttribute(g->_attributes, "vertPos", 3);
    addFloatAttribute(g->_attributes, "texCoords0", 2);
    addFloatAttribute(g->_attributes, "vertNormal", 3);
    GeometryAttribute colour;
    colour.type = GeometryAttribute::TypeUnsignedByte;
    colour.components = 4;
    colour.name = "vertColor";
    g->_attributes.push_back(colour);
    g->updateStride();
    g->_vertexCount = 4;
    g->_vertices = static_cast<uint8_t*>(std::calloc(4, g->_stride));
    for (uint32_t v = 0; v < 4; ++v) {
        float* f = reinterpret_cast<float*>(g->_vertices + v * g->_stride);
        f[0] = (v & 1) ? 0.5f : -0.5f;
        f[1] = (v & 2) ? 0.5f : -0.5f;
        f[3] = (float)(v & 1);
        f[4] = (float)((v >> 1) & 1);
        f[7] = 1;
    }
    static const uint16_t kIndices[6] = {0, 1, 2, 2, 1, 3};
    g->_indexCount = 6;
    g->_indices = static_cast<uint16_t*>(std::malloc(sizeof(kIndices)));
    std::memcpy(g->_indices, kIndices, sizeof(kIndices));
    return g;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::useRecordingRender();
    static bool materialCopied = false;
    if (!materialCopied) {
        std::error_code ec;
        std::filesystem::copy_file(fuzz::dataPath("particles/material.txt"), fuzz::dataPath("fuzz/material.txt"),
                                   std::filesystem::copy_options::overwrite_existing, ec);
        materialCopied = true;
    }
    fuzz::writeInput("emitters.txt", data, size);
    {
        std::vector<std::unique_ptr<Geometry>> owned;
        std::vector<PSSpriteGeometry> sprites;
        PSParticleSystem system;
        std::vector<std::string> names;
        system.preInit("fuzz", names);
        for (const std::string& n : names) {
            owned.emplace_back(makeSprite());
            PSSpriteGeometry sprite;
            sprite.geometry = owned.back().get();
            sprite.name = n;
            sprites.push_back(sprite);
        }
        if (system.init("fuzz", sprites)) {
            for (const PSEmitterType& type : system._emitterTypes)
                system.addEmitter(Vector3(), type.name);
            for (int i = 0; i < 8; ++i) {
                system.update(PSParticleSystem::kStepTime, nullptr);
                system.buildGeometry();
            }
            system.removeAllEmitters();
        }
    }
    ResourceManager::instance().resetForTests();
    return 0;
}

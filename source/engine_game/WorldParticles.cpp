// Particle systems of a world: made from an effect folder, drawn through the world's render target.

#include <algorithm>

#include "engine/render/PSParticleSystem.h"
#include "engine/render/RenderTarget.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/World.h"

PSParticleSystem* World::createParticleSystem(const char* name) {
    PSParticleSystem* system = new PSParticleSystem();
    std::vector<std::string> paths;
    system->preInit(name, paths);
    for (const std::string& path : paths)
        loadObjectFile(path);

    std::vector<PSSpriteGeometry> sprites;
    for (const auto& entry : _objectFiles) {
        const ObjectNode* top = entry.second;
        if (!top || !top->_geometry || top->_ranges.empty())
            continue;
        if (std::find(paths.begin(), paths.end(), entry.first) == paths.end())
            continue;
        PSSpriteGeometry sprite;
        sprite.geometry = top->_geometry;
        sprite.material = top->_ranges[0].material;
        sprite.name = entry.first;
        sprites.push_back(sprite);
    }

    if (!system->init(name, sprites)) {
        delete system;
        return nullptr;
    }
    _renderTarget->addMesh(system->_mesh);
    return system;
}

void World::destroyParticleSystem(PSParticleSystem* system) {
    if (!system)
        return;
    _renderTarget->removeMesh(system->_mesh);
    delete system;
}

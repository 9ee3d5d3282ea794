#pragma once
// Scene files, text or binary: loaded with physics into a world over the sample content (so the
// object files they name are found), then one world update.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/World.h"

namespace fuzz {

inline void loadSceneInput(const char* fileName, const uint8_t* data, size_t size) {
    setUp();
    useRecordingRender();
    std::string name = writeInput(fileName, data, size);
    {
        World world(1);
        world.loadScene(name, 1, 1);
        world.update();
    }
    ResourceManager::instance().resetForTests();
}

}  // namespace fuzz

// Object files: the node tree, properties and mesh data, then one instance placed in a scene
// with physics (bodies, materials, text children and key frames built from what was read).
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/World.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::useRecordingRender();
    std::string name = fuzz::writeInput("input.object", data, size);
    {
        World world(1);
        Scene* scene = world.createScene("fuzz", 1, 0);
        const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        world.createObject(scene, name, "fuzzed", PropertyList(), 1, rows, Vector3(), Vector3(1, 1, 1), nullptr);
        world.update();
    }
    ResourceManager::instance().resetForTests();
    return 0;
}

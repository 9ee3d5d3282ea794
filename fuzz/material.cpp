// Material files through the resource cache, with the sample shaders and textures reachable.
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/render/ResourceManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::useRecordingRender();
    std::string name = fuzz::writeInput("material.txt", data, size);
    ResourceManager& resources = ResourceManager::instance();
    resources.getMaterial(name);
    resources.resetForTests();
    return 0;
}

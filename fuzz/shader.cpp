// Shader files: read, then "linked" by the recording renderer, which reads their uniform
// declarations as a device would list them.
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Shader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::useRecordingRender();
    std::string name = fuzz::writeInput("input.shader", data, size);
    ResourceManager& resources = ResourceManager::instance();
    if (Shader* shader = resources.getShader(name)) {
        StandardUniforms table;
        table.fill(*shader);
        shader->getUniform("color");
    }
    resources.resetForTests();
    return 0;
}

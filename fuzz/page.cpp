// Page files (text or binary scenes) loaded into the interface world: widget nodes become views,
// aligned groups move, then one world update and the views' rectangles.
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"
#include "engine/render/ResourceManager.h"
#include "engine/ui/UIObject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::useRecordingRender();
    const bool binary = size >= 3 && std::memcmp(data, "BIN", 3) == 0;
    std::string name = fuzz::writeInput(binary ? "page.bin" : "page.txt", data, size);
    {
        UIObject world;
        world.loadPage(name, nullptr);
        world.alignViews();
        world.update();
    }
    ResourceManager::instance().resetForTests();
    return 0;
}

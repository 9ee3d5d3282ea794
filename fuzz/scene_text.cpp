// Text scenes (anything not starting with a binary scene's header).
#include <cstring>

#include "SceneEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 3 && std::memcmp(data, "BIN", 3) == 0)
        return -1;
    fuzz::loadSceneInput("scene.txt", data, size);
    return 0;
}

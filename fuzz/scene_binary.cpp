// Binary scenes ("BINARY", "BIN1.0", "BIN1.1" headers).
#include <cstring>

#include "SceneEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || std::memcmp(data, "BIN", 3) != 0)
        return -1;
    fuzz::loadSceneInput("scene.bin", data, size);
    return 0;
}

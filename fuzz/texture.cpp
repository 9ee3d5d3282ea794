// Textures: PVR version 3, PNG and TGA, chosen by the first bytes as the engine does.
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/file.h"
#include "engine/render/Texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    std::string name = fuzz::writeInput("texture.bin", data, size);
    File file;
    if (!file.open(fuzz::dataPath(name).c_str(), "rb", StoreRaw))
        return 0;
    Texture texture;
    texture.load(file);
    return 0;
}

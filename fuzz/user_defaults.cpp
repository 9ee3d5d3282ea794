// The user-defaults file ("key=value" lines): read, looked up, changed and written back.
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "engine/plat_linux/PlatformPaths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    std::string path = fuzz::documentsPath() + "/.userdefaults";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    platform::reloadUserDefaults();
    for (const char* key : {"sound_disabled", "music", "volume", "", "a"}) {
        getUserDefaultBool(key);
        getUserDefaultInt(key, 3);
        getUserDefaultFloat(key, 0.5f);
    }
    platform::setUserDefault("fuzz_key", "value");
    platform::removeUserDefault("sound_disabled");
    platform::reloadUserDefaults();
    getUserDefaultInt("fuzz_key", 0);
    return 0;
}

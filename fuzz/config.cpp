// Configuration files (plain, or sealed with the configuration password) read into the store.
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/ConfigStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    std::string name = fuzz::writeInput("config.txt", data, size);
    ConfigStore& store = ConfigStore::instance();
    store.resetForTests();
    store.loadFile(name.c_str(), "");
    // Read back what the parser stored under each section, as the game reads its tuning.
    for (const std::string& section : store.sectionNames()) {
        store.getFloat(section + ".speed", 1.0f);
        store.getString(section + ".name", "");
        store.getBool(section + ".enabled", false);
        store.getList(section + ".list");
        store.getVector3(section + ".position", Vector3());
    }
    store.resetForTests();
    return 0;
}

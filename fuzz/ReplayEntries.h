#pragma once
// The fuzz entries linked into the replay driver, by target name (generated table, see
// fuzz/CMakeLists.txt); the table ends with a null name.

#include <cstddef>
#include <cstdint>

struct ReplayEntry {
    const char* name;
    int (*run)(const uint8_t* data, size_t size);
};

extern const ReplayEntry kReplayEntries[];

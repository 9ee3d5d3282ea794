#pragma once
// The sound system on OpenAL Soft's null device, started once per process.
#include <AL/al.h>

#include <cstdlib>

#include "FuzzSupport.h"
#include "engine/sound/sfx.h"

namespace fuzz {

inline void startSound() {
    static bool started = false;
    if (started)
        return;
    started = true;
    setUp();
    SfxInitParams params;
    params.maxVoices = 4;
    if (!sfx_Init(params))
        std::abort();
    std::atexit(sfx_Shutdown);
}

// A fresh OpenAL buffer, deleted when the object dies.
struct ScopedBuffer {
    ScopedBuffer() { alGenBuffers(1, &name); }
    ~ScopedBuffer() { alDeleteBuffers(1, &name); }
    ALuint name = 0;
};

}  // namespace fuzz

// Sound definitions (".sfd" files of "[snd]" records), read beside the sample sounds they name.
#include "SoundEntry.h"
#include "engine/sound/SoundBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::startSound();
    std::string name = fuzz::writeInput("input.sfd", data, size);
    SoundBuffer sound;
    if (sound.Load(name.c_str())) {
        for (uint32_t r : {0u, 1u, 99u, 12345u, 0xffffffffu})
            sound.PickVariant(r);
    }
    sound.Release();
    return 0;
}

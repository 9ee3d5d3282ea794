// WAVE files decoded into an OpenAL buffer.
#include "SoundEntry.h"
#include "engine/sound/SoundBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::startSound();
    std::string name = fuzz::writeInput("input.wav", data, size);
    fuzz::ScopedBuffer buffer;
    LoadWave(name.c_str(), buffer.name);
    return 0;
}

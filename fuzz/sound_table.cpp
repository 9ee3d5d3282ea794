// The game's sound table (plain or sealed with its password): named blocks and ".sfd" lists,
// over the sample sounds.
#include "SoundEntry.h"
#include "game/ZelvanSoundInterface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::startSound();
    std::string name = fuzz::writeInput("sound.txt", data, size);
    SoundInterface sounds;
    sounds.loadData(name.c_str());
    return 0;
}

// The social stand-in's fixture file (who is signed in, friends, game-centre players, scores).
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/plat_linux/SocialServices.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::writeInput("social.txt", data, size);
    platform::SocialFixture fixture;
    if (platform::loadSocialFixture(fuzz::dataPath("fuzz/social.txt"), fixture)) {
        platform::setSocialFixture(fixture);
        platform::socialFixture();
    }
    platform::resetSocialServices();
    return 0;
}

// The keychain's check string of the player's coins and tickets ("<coins>.<tickets>.<md5>"), read
// as a profile load reads it. What it accepts must be written back the same by checkString, and
// every pair of amounts (the input's first eight bytes) must come back from its own check string.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "game/profile/ZelvanMyProfile.h"

using Zelvan::MyProfile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    const std::string text((const char*)data, size);
    int32_t coins = 7, tickets = 9;
    if (MyProfile::readCheckString(text, coins, tickets)) {
        int32_t c = 0, t = 0;
        if (!MyProfile::readCheckString(MyProfile::checkString(coins, tickets), c, t) || c != coins || t != tickets)
            std::abort();
    } else if (coins != 7 || tickets != 9) {
        std::abort();  // a refused string changed the amounts
    }

    if (size >= 8) {
        int32_t c = 0, t = 0;
        std::memcpy(&c, data, 4);
        std::memcpy(&t, data + 4, 4);
        int32_t rc = 0, rt = 0;
        if (!MyProfile::readCheckString(MyProfile::checkString(c, t), rc, rt) || rc != c || rt != t)
            std::abort();
    }
    return 0;
}

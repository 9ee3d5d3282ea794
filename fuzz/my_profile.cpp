// The player's own profile as a start reads it without a loaded game: the "playerdata" chunk's
// key map and the credited store transactions ("storecredits"), each given the input's bytes,
// inside a plain profile file read by the social platform; then saved and read again. Nothing
// credited may be lost or gained by the round trip, and the keys come back the same.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>

#include "FuzzSupport.h"
#include "engine/FileBuffer.h"
#include "engine/online/ProfileChunk.h"
#include "engine/online/SocialPlatform.h"
#include "game/profile/ZelvanMyProfile.h"

namespace {

Zelvan::MyProfile* start(const std::string& path) {
    SocialPlatform& platform = SocialPlatform::instance();
    platform.reset();
    sSocialPlatformSettings settings;
    settings.useGameCenter = 0;
    settings.profilePath = path;
    settings.profileMagic = "ZLVP";
    settings.profilePassword = "fuzz-password";
    settings.createMyProfile = [] { return new Zelvan::MyProfile(); };
    settings.createFriend = [] { return new Zelvan::FriendProfile(); };
    platform.init(settings);
    return dynamic_cast<Zelvan::MyProfile*>(platform.getMyProfile());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    const std::string path = fuzz::documentsPath() + "/fuzz-my.profile";
    {
        ProfileChunkMap chunks;
        chunks.get("playerdata").write(data, size);
        chunks.get(Zelvan::MyProfile::kCreditsChunk).write(data, size);
        FileBuffer file;
        file.write("ZLVP", 4);
        ProfileChunkMap::write(file, chunks);
        if (!file.saveToFile(path.c_str()))
            return 0;
    }
    Zelvan::MyProfile* profile = start(path);
    if (!profile)
        std::abort();
    const std::deque<std::string> credits = profile->creditedTransactions();
    if (credits.size() > Zelvan::MyProfile::kMaxCredits)
        std::abort();
    SocialPlatform::instance().saveProfile();

    profile = start(path);
    if (!profile || profile->creditedTransactions() != credits)
        std::abort();
    SocialPlatform::instance().reset();
    return 0;
}

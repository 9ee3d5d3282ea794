// The identity server's answers to a sync or collection request: split into rows as the worker
// thread does, then the collection's records applied as friends the way the collection answer
// is handled (begin / key = value / end), with friend profiles that keep leaderboard distances.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "engine/online/SocialPlatform.h"
#include "game/profile/ZelvanFriendProfile.h"

namespace {

class OwnProfile : public Zelvan::FriendProfile {
public:
    OwnProfile() { _leaderboardIds = {"zelvan.distance", "zelvan.coins"}; }
};

void start() {
    static bool started = false;
    if (started)
        return;
    started = true;
    fuzz::setUp();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    start();
    SocialPlatform& platform = SocialPlatform::instance();
    platform.reset();
    sSocialPlatformSettings settings;
    settings.useGameCenter = 0;
    settings.createMyProfile = [] { return new OwnProfile(); };
    settings.createFriend = [] { return new Zelvan::FriendProfile(); };
    platform.init(settings);
    platform.getMyProfile()->globalId = "own";

    const std::string body((const char*)data, size);
    const auto rows = SocialPlatform::parseResponseRows(body);
    PlayerProfile::Values record;
    for (const auto& row : rows) {
        if (row.size() == 1 && row[0] == "begin")
            record.clear();
        else if (row.size() == 1 && row[0] == "end")
            platform.applyCollected(record);
        else if (row.size() == 3 && row[1] == "=" && row[0] != "collect")
            record[row[0]] = row[2];
    }
    platform.applyCollected(record);
    const auto* own = dynamic_cast<const Zelvan::FriendProfile*>(platform.getMyProfile());
    Zelvan::buildFriendsRanking(own, "zelvan.distance", 10);
    for (PlayerProfile* f : platform.getFriends()) {
        PlayerProfile::Values values;
        f->writeValues(values);
    }
    platform.reset();
    return 0;
}

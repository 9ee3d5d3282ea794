#pragma once
// A friend's profile: the identity values of every person the social services know of, and the
// person's best distance per leaderboard. The player's own profile is one too; its leaderboard list
// names the distances every profile sends and reads. Friends' rankings for the results screen are
// built from these distances.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/online/PlayerProfile.h"

namespace Zelvan {

class FriendProfile : public PlayerProfile {
public:
    FriendProfile() {}
    ~FriendProfile() override {}

    // The base values, and "distance_" + id for every leaderboard of the own profile (0 when none).
    void writeValues(Values& values) const override;
    // The base values, and the distances of the own profile's leaderboards: the decimal number at
    // the start of the text, held to 0 .. 2^32-1; a missing key reads as 0.
    void readValues(const Values& values) override;

    // Keeps the larger of the stored distance (0 when none) and the new one.
    void setBestDistance(const std::string& leaderboardId, uint32_t distance);
    // The stored distance, or 0.
    uint32_t getBestDistance(const std::string& leaderboardId) const;
    bool hasBestDistance(const std::string& leaderboardId) const { return _bestDistances.count(leaderboardId) != 0; }
    const std::map<std::string, uint32_t>& bestDistances() const { return _bestDistances; }

    // The leaderboards this profile keeps distances for; only the own profile fills it.
    const std::vector<std::string>& leaderboardIds() const { return _leaderboardIds; }

    // The leaderboards of the social platform's own profile (empty when it is no FriendProfile).
    static const std::vector<std::string>& ownLeaderboardIds();

protected:
    std::vector<std::string> _leaderboardIds;

private:
    std::map<std::string, uint32_t> _bestDistances;
};

// One line of a friends' ranking: display name and distance.
typedef std::pair<std::string, uint32_t> RankingEntry;

// The friends with a distance other than 0 on the leaderboard, and the player as "Me", largest
// distance first (friends ahead of "Me" on equal distances), at most `count` entries. Main thread.
std::vector<RankingEntry> buildFriendsRanking(const FriendProfile* own, const std::string& leaderboardId, size_t count);

}  // namespace Zelvan

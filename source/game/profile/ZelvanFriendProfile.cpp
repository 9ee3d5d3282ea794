#include "game/profile/ZelvanFriendProfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/online/SocialPlatform.h"

namespace Zelvan {

namespace {

// The number at the start of the text, held to 32 bits: a server's "distance_" value must never
// wrap around into a different distance.
uint32_t readDistance(const std::string& text) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '-')
        return 0;
    if (*p < '0' || *p > '9')
        return 0;
    errno = 0;
    unsigned long long v = std::strtoull(p, nullptr, 10);
    if (errno == ERANGE || v > UINT32_MAX)
        return UINT32_MAX;
    return (uint32_t)v;
}

}  // namespace

const std::vector<std::string>& FriendProfile::ownLeaderboardIds() {
    static const std::vector<std::string> none;
    const FriendProfile* own = dynamic_cast<const FriendProfile*>(SocialPlatform::instance().getMyProfile());
    return own ? own->_leaderboardIds : none;
}

void FriendProfile::writeValues(Values& values) const {
    PlayerProfile::writeValues(values);
    for (const std::string& id : ownLeaderboardIds()) {
        char text[16];
        std::snprintf(text, sizeof(text), "%u", getBestDistance(id));
        values["distance_" + id] = text;
    }
}

void FriendProfile::readValues(const Values& values) {
    PlayerProfile::readValues(values);
    for (const std::string& id : ownLeaderboardIds()) {
        auto it = values.find("distance_" + id);
        _bestDistances[id] = it == values.end() ? 0 : readDistance(it->second);
    }
}

void FriendProfile::setBestDistance(const std::string& leaderboardId, uint32_t distance) {
    uint32_t& stored = _bestDistances[leaderboardId];
    stored = std::max(stored, distance);
}

uint32_t FriendProfile::getBestDistance(const std::string& leaderboardId) const {
    auto it = _bestDistances.find(leaderboardId);
    return it == _bestDistances.end() ? 0 : it->second;
}

std::vector<RankingEntry> buildFriendsRanking(const FriendProfile* own, const std::string& leaderboardId,
                                              size_t count) {
    std::vector<RankingEntry> ranking;
    for (PlayerProfile* profile : SocialPlatform::instance().getFriends()) {
        const FriendProfile* f = dynamic_cast<const FriendProfile*>(profile);
        if (f && f->getBestDistance(leaderboardId) != 0)
            ranking.push_back(RankingEntry(f->displayName(), f->getBestDistance(leaderboardId)));
    }
    ranking.push_back(RankingEntry("Me", own ? own->getBestDistance(leaderboardId) : 0));
    std::stable_sort(ranking.begin(), ranking.end(),
                     [](const RankingEntry& a, const RankingEntry& b) { return a.second > b.second; });
    if (ranking.size() > count)
        ranking.resize(count);
    return ranking;
}

}  // namespace Zelvan

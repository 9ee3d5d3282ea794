#pragma once
// Linux stand-ins for the social-network client, the game centre, the keychain and the share sheet
// (engine/platform_social.h). The services are fed by a fixture file: who is signed in, their
// friends with picture addresses, the game-centre player with a photo, the game-centre friends and
// leaderboard scores. Switches decide each outcome (login, sharing, authentication, every query,
// keychain reads and writes), and what the game presented is recorded. Every answer arrives
// through the main-thread task queue, on a later turn of the run loop.
//
// The fixture file, one entry a line ("#" starts a comment; fields after "=" separated by "|"):
//   player.id = 100001                       the social network's logged-in user
//   player.name = Ada Lane
//   friend = 200001 | Bo Reed | http://host/pic/200001.jpg
//   gamecenter.id = G:1000                   the game-centre local player
//   gamecenter.alias = ada
//   gamecenter.photo = photos/ada.jpg        a file, relative to the fixture's folder
//   gamecenter.friend = G:2001 | dee | photos/dee.jpg
//   score = leaderboard | player id | value
// Without a fixture set by the program, "data/social.txt" of the bundle is read on first use.
//
// The keychain keeps one small file per account in a folder apart from the documents folder,
// each written atomically.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/platform_social.h"

namespace platform {

struct SocialFixture {
    struct Friend {
        std::string id, name, pictureUrl;
    };
    struct GameCenterFriend {
        std::string playerId, alias, photo;  // photo: a file path, empty for none
    };
    struct Score {
        std::string leaderboard, playerId;
        int64_t value = 0;
    };
    std::string playerId, playerName;  // empty id: nobody to log in (the login fails)
    std::vector<Friend> friends;
    std::string gameCenterId, gameCenterAlias, gameCenterPhoto;  // empty id: not signed in
    std::vector<GameCenterFriend> gameCenterFriends;
    std::vector<Score> scores;
};

// Reads a fixture file; false (logged) when it cannot be read. Bad lines are logged and skipped.
bool loadSocialFixture(const std::string& path, SocialFixture& out);
// The fixture the services answer from from now on.
void setSocialFixture(const SocialFixture& fixture);
const SocialFixture& socialFixture();

struct SocialSwitches {
    enum Login { LoginSucceeds, LoginFails, LoginClosed };
    enum Share { ShareCompletes, ShareCancelled, ShareFails };
    enum Auth { AuthSucceeds, AuthFails, AuthShowsScreen };
    Login login = LoginSucceeds;
    bool meFails = false;
    bool friendsFail = false;
    Share share = ShareCompletes;
    bool nativeShareDialog = true;  // false: the web feed dialog is used
    Auth auth = AuthSucceeds;
    bool friendIdsFail = false;
    bool playersFail = false;
    bool photosFail = false;
    bool scoresFail = false;
    bool keychainReadsFail = false;
    bool keychainWritesFail = false;   // adding and updating items
    bool keychainRemovesFail = false;  // removing items
};
SocialSwitches& socialSwitches();

// What the game did with the services, oldest first.
struct SocialRecords {
    std::vector<socialnet::ShareParams> sharesPresented;  // native or feed dialog
    std::vector<std::string> shareDialogKinds;            // "native" or "feed", one per share
    std::vector<std::string> twitterTexts;
    std::vector<std::string> openedUrls;
    std::vector<std::string> friendQueries;
    std::vector<std::vector<std::string>> scoreQueries;  // the player ids asked for
    std::vector<std::pair<std::string, int64_t>> reportedScores;
    int gameCenterScreens = 0;
    int signInScreens = 0;
    int achievementResets = 0;
    int loginFlows = 0;
    int didBecomeActive = 0;
};
const SocialRecords& socialRecords();

// Back to no fixture, default switches, nothing recorded and no session (tests).
void resetSocialServices();

// The keychain's folder (default: the documents folder's path + ".keychain").
void setKeychainPath(const std::string& path);
std::string keychainPath();

}  // namespace platform

#pragma once
// The platform services behind the social platform: the device identifier, the social-network
// client, the game centre, the keychain and the share sheet. The platform layer implements them
// (the Linux stand-ins in source/engine/plat_linux). Calls are made on the main thread; every
// completion arrives on the main thread on a later turn of the run loop (postMainThreadTask).

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace platform {

// The system's identifier for vendor; empty where the system has none.
std::string identifierForVendor();
// A user default as text; false when it is absent.
bool getUserDefaultString(const std::string& key, std::string& value);
// A new random (version 4) UUID in its upper-case text form.
std::string createUUIDString();
// Hands a URL to the system (another application or a system screen opens).
void openApplicationURL(const std::string& url);

namespace socialnet {

// The states of a login session.
enum SessionState {
    SessionCreated,            // made, not opened
    SessionOpening,            // the login flow is running
    SessionOpen,               // logged in
    SessionOpenTokenExtended,  // logged in, the token was refreshed
    SessionClosed,             // closed without a failure (the player turned the login down)
    SessionClosedLoginFailed   // the login failed
};

struct User {
    std::string id;  // decimal
    std::string name;
    std::string pictureUrl;
};

typedef std::map<std::string, std::string> ShareParams;  // link, name, caption, picture, description

// Makes a new login session without extra permissions and makes it the active one.
void createActiveSession();
bool hasActiveSession();
SessionState activeSessionState();
// Opens the active session with the login flow; the completion gets the session's new state and,
// after a failure, the error's description.
void openActiveSession(const std::function<void(SessionState state, const std::string& error)>& completion);
// Closes the active session and forgets its stored token.
void closeActiveSessionAndClearToken();
// The logged-in user ("me"): id and name, or an error text.
void requestMe(const std::function<void(const std::string& error, long long id, const std::string& name)>& completion);
// The friends who play, from a query text; an error text or the list.
void requestFriends(const std::string& query,
                    const std::function<void(const std::string& error, const std::vector<User>& friends)>& completion);
// An opened URL handed to the client; true when it took it.
bool handleOpenURL(const std::string& url, const std::string& sourceApplication);
void handleDidBecomeActive();
// The native share dialog, when the client can present one for these parameters; its completion
// gets an error text or the completion gesture ("post" or "cancel").
bool canPresentShareDialog(const ShareParams& params);
void presentShareDialog(const ShareParams& params,
                        const std::function<void(const std::string& error, const std::string& gesture)>& completion);
// The web feed dialog; its completion gets an error text or whether the dialog was completed.
void presentFeedDialog(const ShareParams& params,
                       const std::function<void(const std::string& error, bool completed)>& completion);

}  // namespace socialnet

namespace gamecenter {

struct Player {
    std::string playerId;
    std::string alias;
};

struct Score {
    std::string playerId;
    int64_t value = 0;
};

// Installs the local player's authentication handler. It is called with presentScreen set when
// the system's sign-in screen is to be shown, otherwise with an error text (empty on success).
void setAuthenticateHandler(const std::function<void(bool presentScreen, const std::string& error)>& handler);
bool isAuthenticated();
Player localPlayer();
// Photos in the small size, as JPEG bytes.
void loadLocalPlayerPhoto(const std::function<void(const std::string& error, const std::string& jpeg)>& completion);
void loadPhoto(const std::string& playerId,
               const std::function<void(const std::string& error, const std::string& jpeg)>& completion);
void loadFriendIds(const std::function<void(const std::string& error, const std::vector<std::string>& ids)>& completion);
void loadPlayers(const std::vector<std::string>& ids,
                 const std::function<void(const std::string& error, const std::vector<Player>& players)>& completion);
void resetAchievements();
// The game-centre screen, dismissed when the player closes it.
void presentGameCenterScreen();
void reportScore(const std::string& leaderboardId, int64_t value);
// All-time, global scores of the given players; `hasLocal` tells whether the local player's score
// came with the answer.
void loadScores(const std::string& leaderboardId, const std::vector<std::string>& playerIds,
                const std::function<void(const std::string& error, bool hasLocal, int64_t localValue,
                                         const std::vector<Score>& scores)>& completion);

}  // namespace gamecenter

namespace keychain {

// Status codes as the system's keychain gives them.
enum { Success = 0, IOError = -36, ItemNotFound = -25300 };

// Generic-password items by account name; the data is the value's UTF-8 bytes.
int copyMatching(const std::string& account);
int add(const std::string& account, const std::string& data);
int update(const std::string& account, const std::string& data);
int copyData(const std::string& account, std::string& data);
int remove(const std::string& account);

}  // namespace keychain

// The system's sheet for a short Twitter message with the text; it dismisses itself when done.
void presentTwitterComposer(const std::string& text);

}  // namespace platform

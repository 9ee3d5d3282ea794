#pragma once
// The single object behind every social feature: the player's own profile and the friends'
// profiles, the profile file with its chunks, the social event handlers, and the glue that turns
// the answers of the platform's services (the social network, the game centre) and of finished
// HTTP requests (identity sync, identifier collection, friends' pictures) into social events.
//
// Threads: everything here runs on the main thread. The one exception is
// INetworkHandler::onNetworkNodeDone, which the HTTP manager calls on a worker thread: it only
// reads the answer there and hands the rest (profile changes, events, saves, further requests) to
// the main thread's task queue, so the friends list, the profiles and the handlers are only ever
// touched on the main thread and every event reaches its handlers there.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/IGame.h"
#include "engine/online/NetworkManager.h"
#include "engine/online/PlayerProfile.h"
#include "engine/online/ProfileStore.h"

// What the social platform posts to its handlers (6 is not used).
enum eSocialEvent {
    SOCIAL_FACEBOOK_LOGIN = 0,         // social-network login completed, own id and name known
    SOCIAL_FACEBOOK_LOGIN_FAILED = 1,  //
    SOCIAL_SHARE_DONE = 2,             // a share was completed
    SOCIAL_SHARE_FAILED = 3,           // a share was cancelled or failed
    SOCIAL_FACEBOOK_FRIENDS = 4,       // the social network's friends list was loaded
    SOCIAL_GAMECENTER_LOGIN = 5,       // signed in to the game centre
    SOCIAL_GAMECENTER_FRIENDS = 7,     // the game centre's friends list was loaded
    SOCIAL_COLLECTED = 8,              // collected identifiers were applied
    SOCIAL_FRIEND_PICTURE = 9,         // a friend's picture is stored (a profile event)
    SOCIAL_OWN_PICTURE = 10            // the player's own picture is stored
};

// Receives the social events, on the main thread. Leaves the platform's list when destroyed.
class ISocialEventHandler {
public:
    virtual ~ISocialEventHandler();
    // Every event but SOCIAL_FRIEND_PICTURE.
    virtual void onPlayerEvent(int event) { (void)event; }
    // SOCIAL_FRIEND_PICTURE, with the friend whose picture is stored.
    virtual void onProfileEvent(int event, PlayerProfile* profile) {
        (void)event;
        (void)profile;
    }
};

// The start-up record of the social platform, copied whole by SocialPlatform::init.
struct sSocialPlatformSettings {
    typedef std::function<PlayerProfile*()> Factory;

    sSocialPlatformSettings();

    Factory createMyProfile;      // the own profile (default: a plain PlayerProfile)
    Factory createFriend;         // every friend profile (default: a plain PlayerProfile)
    std::string profilePath;      // full path of "player.profile"; empty: nothing is read or written
    std::string profileMagic;     // the first bytes of the plain content
    std::string profilePassword;  // the sealed container's password
    uint8_t skipPlayerData = 0;   // the own profile ignores its chunk on load
    uint8_t useFriends = 0;       // query the friends lists after a sign-in
    uint8_t usePictures = 0;      // fetch and store friends' pictures
    uint8_t useGameCenter = 1;    // use the game-centre service at all
    uint8_t resetAchievements = 0;
    std::string syncUrl;     // identity sync; empty: never sent
    std::string collectUrl;  // identifier collection; empty: never sent
    std::string shareName;   // the name of a shared link
    std::string shareLink;   // the shared link; not empty switches the social network on
    std::map<std::string, std::string> pictureMap;  // picture of a shared link, by key
};

class SocialPlatform : public INetworkHandler, public IGameEventHandler {
public:
    // Request tags.
    enum { TagPicture = 42564, TagSync = 768109, TagCollect = 16500305 };

    typedef std::function<void(PlayerProfile* profile, int64_t score)> ScoreCallback;

    // The single platform, made on first use.
    static SocialPlatform& instance();

    SocialPlatform();
    // Cancels its requests, stops the HTTP manager (no request outlives the program's end) and frees
    // its fields and the profiles it made.
    ~SocialPlatform() override;
    SocialPlatform(const SocialPlatform&) = delete;
    SocialPlatform& operator=(const SocialPlatform&) = delete;

    // Copies the settings, makes the own profile, registers it as "playerdata", loads the profile
    // file and starts the services the settings ask for.
    void init(const sSocialPlatformSettings& settings);

    // The profile file (see ProfileStore).
    void loadProfile();
    // Every owner writes its chunk and the file is replaced; false when it was not written.
    bool saveProfile();
    void registerChunk(const std::string& name, IProfileChunk* chunk, bool owned);
    void unregisterChunk(const std::string& name);

    // Inserted after every handler of lower or equal priority; a handler already listed up to that
    // point is not added again.
    void addHandler(ISocialEventHandler* handler, int priority);
    void removeHandler(ISocialEventHandler* handler);
    // The event's reaction (sync, friends queries, collection), then its delivery to every handler.
    void postEvent(int event, PlayerProfile* profile);

    // Find or make the friend of that id; its picture download starts when pictures are on and the
    // id may be used in a file name.
    PlayerProfile* addFacebookFriend(const std::string& id, const std::string& name, const std::string& pictureUrl);
    PlayerProfile* addGameCenterFriend(const std::string& id, const std::string& alias);

    // Identity sync and identifier collection with the game's server.
    void sync();
    void collect(bool byFacebook, bool byGameCenter);
    // Merges one collected record into the friends list; the friend holding it, or null.
    PlayerProfile* applyCollected(const PlayerProfile::Values& record);

    // The platform's services.
    std::string getDeviceId();
    void facebookOpenSession();
    void facebookLogin();
    bool facebookHandleOpenURL(const std::string& url, const std::string& sourceApplication);
    void facebookHandleDidBecomeActive();
    void facebookQueryFriends();
    void facebookShare(const std::string& caption, const std::string& description, const std::string& pictureKey);
    void gameCenterAuthenticate();
    void gameCenterLoadFriends();
    void gameCenterShow();
    void gameCenterReportScore(const std::string& leaderboardId, uint64_t score);
    // The callback gets the player's and the game-centre friends' all-time scores; scores outside
    // 1 .. 2^32-1 are left out.
    void gameCenterLoadScores(const std::string& leaderboardId, const ScoreCallback& callback);
    void keychainSetString(const std::string& key, const std::string& value);
    std::string keychainGetString(const std::string& key);
    void twitterCompose(const std::string& text);

    // INetworkHandler: reads the answer on the worker thread and hands it to the main thread.
    void onNetworkNodeDone(NetworkNode* node) override;
    // IGameEventHandler.
    void OnAppPause() override;
    void OnAppResume() override;
    void OnEnterBackground() override;
    bool OnOpenURL(const char* url, const char* sourceApplication) override;

    PlayerProfile* getMyProfile() const { return _myProfile; }
    // The friends in the order they were added. Main thread only.
    const std::vector<PlayerProfile*>& getFriends() const { return _friends; }
    const sSocialPlatformSettings& getSettings() const { return _settings; }
    ProfileStore& profileStore() { return *_store; }
    bool isLoaded() const { return _store->loaded(); }
    const std::string& facebookAccessMark() const { return _accessMark; }
    bool isFacebookAvailable() const { return _facebookAvailable; }

    // The answer of a sync or collection request split into rows of tokens (lines at "\n", tokens at
    // ";", ",", "\r", "\t" and " ", empty tokens and empty lines dropped).
    static std::vector<std::vector<std::string>> parseResponseRows(const std::string& body);
    // An address's scheme "https://" (any case) becomes "http://"; the first 8 characters of any
    // address of 8 or more are lower-cased.
    static std::string toPlainHttp(const std::string& address);

    // Back to the state after construction (tests): requests cancelled, answers still queued for
    // the main thread dropped, profiles deleted, handlers and settings cleared.
    void reset();

private:
    struct Answer;
    void deliver(int event, PlayerProfile* profile);
    void onPictureStored(const std::string& path);
    void onSyncAnswer(const std::vector<std::vector<std::string>>& rows);
    void onCollectAnswer(const std::vector<std::vector<std::string>>& rows);
    PlayerProfile* createFriend();
    std::string documentsFile(const std::string& name) const;
    void presentPendingShare();

    sSocialPlatformSettings _settings;
    PlayerProfile* _myProfile = nullptr;
    std::unique_ptr<ProfileStore> _store;
    std::string _accessMark;
    std::vector<PlayerProfile*> _friends;
    std::vector<std::pair<int, ISocialEventHandler*>> _handlers;
    std::mutex _friendsLock;

    // Answers queued for the main thread hold this weakly; a reset or the destructor replaces it
    // (after cancelling every request), so answers read before are dropped.
    std::shared_ptr<char> _alive;
    // A sync answer that erased the global identifier asks again once per sign-in, never more.
    bool _resyncedSinceLogin = false;

    bool _facebookAvailable = false;
    bool _loginInProgress = false;
    bool _hasPendingShare = false;
    std::map<std::string, std::string> _pendingShare;
};

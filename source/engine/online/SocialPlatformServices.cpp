// The social platform's platform half: the device identifier, the social network, the game
// centre, the keychain and the share sheet (engine/platform_social.h). Every completion arrives on
// the main thread, where the friends list and the profiles live.

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "engine/online/SafeFiles.h"
#include "engine/online/SocialPlatform.h"
#include "engine/platform.h"
#include "engine/platform_social.h"
#include "engine/utils.h"

namespace {

const char* const kVendorKey = "identifierForVendor";
const char* const kOwnPhoto = "pic.gcme.jpg";
const char* const kFriendsQuery =
    "SELECT uid, first_name, last_name, name, pic_square FROM user WHERE is_app_user=1 AND uid IN "
    "(SELECT uid2 FROM friend WHERE uid1=me())";

// Scores are whole metres: only 1 .. 2^32-1 is a distance; anything else is a broken or forged
// entry and would land as a wrapped-around best distance.
bool isDistanceScore(int64_t value) { return value > 0 && value <= (int64_t)UINT32_MAX; }

}  // namespace

std::string SocialPlatform::getDeviceId() {
    std::string id = platform::identifierForVendor();
    if (!id.empty())
        return id;
    if (platform::getUserDefaultString(kVendorKey, id) && !id.empty())
        return id;
    id = platform::createUUIDString();
    platform::setUserDefault(kVendorKey, id);
    return id;
}

// ---------------------------------------------------------------------------------------------
// The social network

void SocialPlatform::facebookOpenSession() {
    platform::socialnet::createActiveSession();
    _facebookAvailable = true;
}

void SocialPlatform::facebookLogin() {
    if (!_facebookAvailable || !platform::socialnet::hasActiveSession() || _loginInProgress)
        return;
    _loginInProgress = true;
    std::weak_ptr<char> alive = _alive;
    platform::socialnet::openActiveSession([this, alive](platform::socialnet::SessionState state,
                                                         const std::string& error) {
        if (!alive.lock())
            return;
        using namespace platform::socialnet;
        switch (state) {
        case SessionOpening:
        case SessionClosedLoginFailed:
            closeActiveSessionAndClearToken();
            createActiveSession();
            postEvent(SOCIAL_FACEBOOK_LOGIN_FAILED, nullptr);
            platform::showAlert("Facebook login failed!", error, "Cancel", "");
            break;
        case SessionOpen:
        case SessionOpenTokenExtended:
            requestMe([this, alive](const std::string& meError, long long id, const std::string& name) {
                if (!alive.lock() || !meError.empty() || !_myProfile)
                    return;
                char text[32];
                std::snprintf(text, sizeof(text), "%lld", id);
                _myProfile->facebook = true;
                _myProfile->facebookId = text;
                _myProfile->facebookName = name;
                _accessMark = "1";
                postEvent(SOCIAL_FACEBOOK_LOGIN, nullptr);
                presentPendingShare();
            });
            break;
        default:
            break;
        }
        _loginInProgress = false;
    });
}

bool SocialPlatform::facebookHandleOpenURL(const std::string& url, const std::string& sourceApplication) {
    if (!_facebookAvailable || !platform::socialnet::hasActiveSession())
        return false;
    return platform::socialnet::handleOpenURL(url, sourceApplication);
}

void SocialPlatform::facebookHandleDidBecomeActive() {
    if (_facebookAvailable && platform::socialnet::hasActiveSession())
        platform::socialnet::handleDidBecomeActive();
}

void SocialPlatform::facebookQueryFriends() {
    using namespace platform::socialnet;
    if (!_facebookAvailable || !hasActiveSession())
        return;
    const SessionState state = activeSessionState();
    if (state != SessionOpen && state != SessionOpenTokenExtended)
        return;
    std::weak_ptr<char> alive = _alive;
    requestFriends(kFriendsQuery, [this, alive](const std::string& error, const std::vector<User>& friends) {
        if (!alive.lock() || !error.empty())
            return;
        for (const User& user : friends)
            addFacebookFriend(user.id, user.name, user.pictureUrl);
        postEvent(SOCIAL_FACEBOOK_FRIENDS, nullptr);
    });
}

void SocialPlatform::facebookShare(const std::string& caption, const std::string& description,
                                   const std::string& pictureKey) {
    using namespace platform::socialnet;
    if (!_facebookAvailable)
        return;
    _hasPendingShare = false;
    _pendingShare.clear();
    auto picture = _settings.pictureMap.find(pictureKey);
    _pendingShare["link"] = _settings.shareLink;
    _pendingShare["name"] = _settings.shareName;
    _pendingShare["caption"] = caption;
    _pendingShare["picture"] = picture == _settings.pictureMap.end() ? std::string() : picture->second;
    _pendingShare["description"] = description;
    _hasPendingShare = true;
    const SessionState state = hasActiveSession() ? activeSessionState() : SessionClosed;
    if (state == SessionOpen || state == SessionOpenTokenExtended)
        presentPendingShare();
    else if (!_loginInProgress)
        facebookLogin();
}

void SocialPlatform::presentPendingShare() {
    using namespace platform::socialnet;
    if (!_hasPendingShare)
        return;
    const ShareParams params = _pendingShare;
    _hasPendingShare = false;
    _pendingShare.clear();
    std::weak_ptr<char> alive = _alive;
    if (canPresentShareDialog(params)) {
        presentShareDialog(params, [this, alive](const std::string& error, const std::string& gesture) {
            if (alive.lock())
                postEvent(!error.empty() || gesture == "cancel" ? SOCIAL_SHARE_FAILED : SOCIAL_SHARE_DONE, nullptr);
        });
    } else {
        presentFeedDialog(params, [this, alive](const std::string& error, bool completed) {
            if (alive.lock())
                postEvent(!error.empty() || !completed ? SOCIAL_SHARE_FAILED : SOCIAL_SHARE_DONE, nullptr);
        });
    }
}

void SocialPlatform::twitterCompose(const std::string& text) { platform::presentTwitterComposer(text); }

// ---------------------------------------------------------------------------------------------
// The game centre

void SocialPlatform::gameCenterAuthenticate() {
    if (!_settings.useGameCenter)
        return;
    std::weak_ptr<char> alive = _alive;
    platform::gamecenter::setAuthenticateHandler([this, alive](bool presentScreen, const std::string& error) {
        if (!alive.lock() || presentScreen || !error.empty() || !_myProfile)
            return;
        const platform::gamecenter::Player player = platform::gamecenter::localPlayer();
        if (player.playerId.empty())
            return;
        _myProfile->gameCenter = true;
        _myProfile->gameCenterId = player.playerId;
        _myProfile->gameCenterAlias = player.alias;
        postEvent(SOCIAL_GAMECENTER_LOGIN, nullptr);
        if (!_settings.usePictures)
            return;
        _myProfile->gameCenterPicture = kOwnPhoto;
        platform::gamecenter::loadLocalPlayerPhoto([this, alive](const std::string& photoError,
                                                                 const std::string& jpeg) {
            if (!alive.lock() || !photoError.empty() || !_myProfile || _myProfile->gameCenterPicture.empty())
                return;
            if (!writeFileDurably(documentsFile(_myProfile->gameCenterPicture), jpeg.data(), jpeg.size()))
                return;
            _myProfile->gameCenterPictureReady = true;
            postEvent(SOCIAL_OWN_PICTURE, nullptr);
        });
    });
    if (_settings.resetAchievements)
        platform::gamecenter::resetAchievements();
}

void SocialPlatform::gameCenterLoadFriends() {
    if (!_settings.useGameCenter)
        return;
    std::weak_ptr<char> alive = _alive;
    platform::gamecenter::loadFriendIds([this, alive](const std::string& error, const std::vector<std::string>& ids) {
        if (!alive.lock() || !error.empty())
            return;
        platform::gamecenter::loadPlayers(ids, [this, alive](const std::string& playersError,
                                                             const std::vector<platform::gamecenter::Player>& players) {
            if (!alive.lock())
                return;
            if (playersError.empty()) {
                for (const auto& player : players) {
                    PlayerProfile* profile = addGameCenterFriend(player.playerId, player.alias);
                    if (!_settings.usePictures || profile->gameCenterPicture.empty())
                        continue;
                    const std::string playerId = player.playerId;
                    platform::gamecenter::loadPhoto(playerId, [this, alive, playerId](const std::string& photoError,
                                                                                      const std::string& jpeg) {
                        if (!alive.lock() || !photoError.empty())
                            return;
                        std::vector<PlayerProfile*> stored;
                        for (PlayerProfile* f : _friends) {
                            if (f->gameCenter && f->gameCenterId == playerId && !f->gameCenterPicture.empty() &&
                                writeFileDurably(documentsFile(f->gameCenterPicture), jpeg.data(), jpeg.size())) {
                                f->gameCenterPictureReady = true;
                                stored.push_back(f);
                            }
                        }
                        for (PlayerProfile* f : stored)
                            postEvent(SOCIAL_FRIEND_PICTURE, f);
                    });
                }
            }
            postEvent(SOCIAL_GAMECENTER_FRIENDS, nullptr);
        });
    });
}

void SocialPlatform::gameCenterShow() {
    if (!_settings.useGameCenter)
        return;
    if (!_myProfile || !_myProfile->gameCenter)
        platform::openApplicationURL("gamecenter:");
    else
        platform::gamecenter::presentGameCenterScreen();
}

void SocialPlatform::gameCenterReportScore(const std::string& leaderboardId, uint64_t score) {
    if (!_settings.useGameCenter)
        return;
    platform::gamecenter::reportScore(leaderboardId, score > (uint64_t)INT64_MAX ? INT64_MAX : (int64_t)score);
}

void SocialPlatform::gameCenterLoadScores(const std::string& leaderboardId, const ScoreCallback& callback) {
    if (!_settings.useGameCenter || !callback)
        return;
    std::vector<std::string> ids;
    if (_myProfile && _myProfile->gameCenter)
        ids.push_back(_myProfile->gameCenterId);
    for (PlayerProfile* f : _friends)
        if (f->gameCenter)
            ids.push_back(f->gameCenterId);
    std::weak_ptr<char> alive = _alive;
    platform::gamecenter::loadScores(
        leaderboardId, ids,
        [this, alive, callback, leaderboardId](const std::string& error, bool hasLocal, int64_t localValue,
                                               const std::vector<platform::gamecenter::Score>& scores) {
            if (!alive.lock() || !error.empty())
                return;
            if (hasLocal && isDistanceScore(localValue) && _myProfile)
                callback(_myProfile, localValue);
            for (const auto& score : scores) {
                if (!isDistanceScore(score.value)) {
                    Logger::error("[SocialPlatform::gameCenterLoadScores] score %" PRId64
                                  " of '%s' on '%s' is no distance; ignored",
                                  score.value, score.playerId.c_str(), leaderboardId.c_str());
                    continue;
                }
                if (_myProfile && _myProfile->gameCenter && score.playerId == _myProfile->gameCenterId)
                    callback(_myProfile, score.value);
                for (PlayerProfile* f : _friends) {
                    if (f->gameCenter && f->gameCenterId == score.playerId) {
                        callback(f, score.value);
                        break;
                    }
                }
            }
        });
}

// ---------------------------------------------------------------------------------------------
// The keychain

bool SocialPlatform::keychainSetString(const std::string& key, const std::string& value) {
    int status = platform::keychain::copyMatching(key);
    if (status == platform::keychain::ItemNotFound) {
        status = platform::keychain::add(key, value);
        if (status != platform::keychain::Success)
            Logger::error("SecItemAdd failed: %ld", (long)status);
    } else if (status != platform::keychain::Success) {
        Logger::error("SecItemCopyMatching failed: %ld", (long)status);
    } else {
        status = platform::keychain::update(key, value);
        if (status != platform::keychain::Success)
            Logger::error("SecItemUpdate failed: %ld", (long)status);
    }
    return status == platform::keychain::Success;
}

bool SocialPlatform::keychainRemove(const std::string& key) {
    const int status = platform::keychain::remove(key);
    if (status == platform::keychain::Success || status == platform::keychain::ItemNotFound)
        return true;
    Logger::error("SecItemDelete failed: %ld", (long)status);
    return false;
}

std::string SocialPlatform::keychainGetString(const std::string& key) {
    std::string data;
    if (platform::keychain::copyData(key, data) != platform::keychain::Success)
        return std::string();
    return data;
}

#include "engine/online/SocialPlatform.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "engine/online/SafeFiles.h"
#include "engine/platform.h"
#include "engine/utils.h"

namespace {

const char* const kPlayerDataChunk = "playerdata";

// Every platform alive, so a handler that goes away leaves each one's list.
std::mutex gPlatformsLock;
std::vector<SocialPlatform*>& platforms() {
    static std::vector<SocialPlatform*>* list = new std::vector<SocialPlatform*>();
    return *list;
}

}  // namespace

ISocialEventHandler::~ISocialEventHandler() {
    std::vector<SocialPlatform*> alive;
    {
        std::lock_guard<std::mutex> guard(gPlatformsLock);
        alive = platforms();
    }
    for (SocialPlatform* platform : alive)
        platform->removeHandler(this);
}

sSocialPlatformSettings::sSocialPlatformSettings()
    : createMyProfile([] { return new PlayerProfile(); }), createFriend([] { return new PlayerProfile(); }) {}

SocialPlatform& SocialPlatform::instance() {
    static SocialPlatform platform;
    return platform;
}

SocialPlatform::SocialPlatform() : _store(new ProfileStore()), _alive(std::make_shared<char>(0)) {
    std::lock_guard<std::mutex> guard(gPlatformsLock);
    platforms().push_back(this);
}

SocialPlatform::~SocialPlatform() {
    // No request of this platform runs its handler from here on, and answers already queued for
    // the main thread find the platform gone.
    NetworkManager::cancelEverywhere(this);
    _alive.reset();
    // The profiles live as long as the platform: nothing that runs after it may hold one.
    _store->unregisterChunk(kPlayerDataChunk);
    for (PlayerProfile* profile : _friends)
        delete profile;
    _friends.clear();
    PlayerProfile* own = _myProfile;
    _myProfile = nullptr;
    delete own;
    {
        std::lock_guard<std::mutex> guard(gPlatformsLock);
        auto& list = platforms();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    NetworkManager::instance().shutdown();
}

void SocialPlatform::reset() {
    NetworkManager::cancelEverywhere(this);
    _alive = std::make_shared<char>(0);
    for (PlayerProfile* profile : _friends)
        delete profile;
    _friends.clear();
    _store.reset(new ProfileStore());
    PlayerProfile* own = _myProfile;
    _myProfile = nullptr;
    delete own;
    _handlers.clear();
    _settings = sSocialPlatformSettings();
    _accessMark.clear();
    _resyncedSinceLogin = false;
    _facebookAvailable = false;
    _loginInProgress = false;
    _hasPendingShare = false;
    _pendingShare.clear();
}

std::string SocialPlatform::documentsFile(const std::string& name) const {
    std::string path;
    getDocumentsPath(path, name.c_str());
    return path;
}

PlayerProfile* SocialPlatform::createFriend() {
    XASSERT_AT(_settings.createFriend != nullptr, "engine/online/SocialPlatform.cpp");
    PlayerProfile* profile = _settings.createFriend();
    XASSERT_AT(profile != nullptr, "engine/online/SocialPlatform.cpp");
    profile->onCreated();
    return profile;
}

// ---------------------------------------------------------------------------------------------
// Start and the profile file

void SocialPlatform::init(const sSocialPlatformSettings& settings) {
    if (_myProfile) {
        // A second stage in one process (tests, benchmarks) finds the platform started: the services
        // and the profiles stay, the profile file follows the new settings.
        Logger::message("[SocialPlatform::init] already started; only the profile file is taken from the new settings");
        _settings.profilePath = settings.profilePath;
        _settings.profileMagic = settings.profileMagic;
        _settings.profilePassword = settings.profilePassword;
        _store->setFile(_settings.profilePath, _settings.profileMagic, _settings.profilePassword);
        loadProfile();
        return;
    }
    _settings = settings;
    _store->setLoaded(false);
    _store->setFile(_settings.profilePath, _settings.profileMagic, _settings.profilePassword);

    XASSERT_AT(_settings.createMyProfile != nullptr, "engine/online/SocialPlatform.cpp");
    _myProfile = _settings.createMyProfile();
    XASSERT_AT(_myProfile != nullptr, "engine/online/SocialPlatform.cpp");
    _myProfile->onCreated();
    registerChunk(kPlayerDataChunk, _myProfile, false);
    _myProfile->deviceId = getDeviceId();
    loadProfile();

    if (!_settings.shareLink.empty())
        facebookOpenSession();
    if (_settings.useGameCenter)
        gameCenterAuthenticate();
    if (!_accessMark.empty())
        facebookLogin();
}

void SocialPlatform::loadProfile() {
    _store->loadProfile();
    _accessMark = _store->accessMark();
}

bool SocialPlatform::saveProfile() {
    _store->setAccessMark(_accessMark);
    return _store->saveProfile();
}

void SocialPlatform::registerChunk(const std::string& name, IProfileChunk* chunk, bool owned) {
    _store->registerChunk(name, chunk, owned);
}

void SocialPlatform::unregisterChunk(const std::string& name) { _store->unregisterChunk(name); }

// ---------------------------------------------------------------------------------------------
// Handlers and events

void SocialPlatform::addHandler(ISocialEventHandler* handler, int priority) {
    if (!handler)
        return;
    size_t at = 0;
    while (at < _handlers.size() && _handlers[at].first <= priority) {
        if (_handlers[at].second == handler)
            return;
        ++at;
    }
    _handlers.insert(_handlers.begin() + (ptrdiff_t)at, std::make_pair(priority, handler));
}

void SocialPlatform::removeHandler(ISocialEventHandler* handler) {
    for (auto it = _handlers.begin(); it != _handlers.end(); ++it) {
        if (it->second == handler) {
            _handlers.erase(it);
            return;
        }
    }
}

void SocialPlatform::postEvent(int event, PlayerProfile* profile) {
    switch (event) {
    case SOCIAL_FACEBOOK_LOGIN:
        _resyncedSinceLogin = false;
        sync();
        if (_settings.useFriends)
            facebookQueryFriends();
        break;
    case SOCIAL_FACEBOOK_FRIENDS:
        collect(true, false);
        break;
    case SOCIAL_GAMECENTER_LOGIN:
        _resyncedSinceLogin = false;
        sync();
        if (_settings.useGameCenter && _settings.useFriends)
            gameCenterLoadFriends();
        break;
    case SOCIAL_GAMECENTER_FRIENDS:
        collect(false, true);
        break;
    default:
        break;
    }
    deliver(event, profile);
}

void SocialPlatform::deliver(int event, PlayerProfile* profile) {
    // A handler may leave the list (or add one) while the event goes round: the round is over the
    // list as it was, skipping those that have left since.
    const std::vector<std::pair<int, ISocialEventHandler*>> round = _handlers;
    for (const auto& entry : round) {
        bool listed = false;
        for (const auto& current : _handlers)
            listed = listed || current.second == entry.second;
        if (!listed)
            continue;
        if (event == SOCIAL_FRIEND_PICTURE)
            entry.second->onProfileEvent(event, profile);
        else
            entry.second->onPlayerEvent(event);
    }
}

// ---------------------------------------------------------------------------------------------
// Friends

std::string SocialPlatform::toPlainHttp(const std::string& address) {
    if (address.size() < 8)
        return address;
    std::string head = address.substr(0, 8);
    for (char& c : head)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    if (head == "https://")
        head = "http://";
    return head + address.substr(8);
}

PlayerProfile* SocialPlatform::addFacebookFriend(const std::string& id, const std::string& name,
                                                 const std::string& pictureUrl) {
    std::lock_guard<std::mutex> guard(_friendsLock);
    PlayerProfile* profile = nullptr;
    // Only among those known from the service: everyone else has an empty id there.
    for (PlayerProfile* f : _friends) {
        if (f->facebook && f->facebookId == id) {
            profile = f;
            break;
        }
    }
    if (!profile) {
        profile = createFriend();
        _friends.push_back(profile);
        profile->facebookId = id;
    }
    profile->facebook = true;
    profile->facebookName = name;
    profile->facebookPictureReady = false;
    if (_settings.usePictures) {
        if (!isSafeFileId(id)) {
            // The id comes from the network and would name a file: it is not trusted as a path.
            Logger::error("[SocialPlatform::addFacebookFriend] id '%s' can't name a picture file; no picture",
                          id.c_str());
            profile->facebookPicture.clear();
            profile->facebookPictureUrl.clear();
        } else {
            profile->facebookPictureUrl = toPlainHttp(pictureUrl);
            profile->facebookPicture = "pic." + id + ".jpg";
            NetworkManager::instance().download(this, profile->facebookPictureUrl, TagPicture,
                                                documentsFile(profile->facebookPicture));
        }
    }
    return profile;
}

PlayerProfile* SocialPlatform::addGameCenterFriend(const std::string& id, const std::string& alias) {
    std::lock_guard<std::mutex> guard(_friendsLock);
    PlayerProfile* profile = nullptr;
    for (PlayerProfile* f : _friends) {
        if (f->gameCenter && f->gameCenterId == id) {
            profile = f;
            break;
        }
    }
    if (!profile) {
        profile = createFriend();
        _friends.push_back(profile);
        profile->gameCenterId = id;
    }
    profile->gameCenter = true;
    profile->gameCenterAlias = alias;
    profile->gameCenterPictureReady = false;
    if (_settings.usePictures) {
        if (isSafeFileId(id)) {
            profile->gameCenterPicture = "pic." + id + ".jpg";
        } else {
            Logger::error("[SocialPlatform::addGameCenterFriend] id '%s' can't name a picture file; no picture",
                          id.c_str());
            profile->gameCenterPicture.clear();
        }
    }
    return profile;
}

// ---------------------------------------------------------------------------------------------
// Finished requests. Called on a worker thread: the answer is read here, everything else is done
// on the main thread.

void SocialPlatform::onNetworkNodeDone(NetworkNode* node) {
    if (!node || !node->succeeded())
        return;
    // Replaced only after every request has been cancelled, so no call is running then.
    std::weak_ptr<char> alive = _alive;
    switch (node->tag()) {
    case TagPicture: {
        const std::string path = node->path();
        postMainThreadTask([this, alive, path] {
            if (alive.lock())
                onPictureStored(path);
        });
        break;
    }
    case TagSync:
    case TagCollect: {
        std::string body;
        node->body().toString(body);
        auto rows = std::make_shared<std::vector<std::vector<std::string>>>(parseResponseRows(body));
        const bool isSync = node->tag() == TagSync;
        postMainThreadTask([this, alive, rows, isSync] {
            if (!alive.lock())
                return;
            if (isSync)
                onSyncAnswer(*rows);
            else
                onCollectAnswer(*rows);
        });
        break;
    }
    default:
        break;
    }
}

void SocialPlatform::onPictureStored(const std::string& path) {
    if (_myProfile && !_myProfile->facebookPicture.empty() && documentsFile(_myProfile->facebookPicture) == path) {
        _myProfile->facebookPictureReady = true;
        deliver(SOCIAL_OWN_PICTURE, nullptr);
        return;
    }
    PlayerProfile* found = nullptr;
    {
        std::lock_guard<std::mutex> guard(_friendsLock);
        for (PlayerProfile* f : _friends) {
            if (!f->facebookPicture.empty() && documentsFile(f->facebookPicture) == path) {
                f->facebookPictureReady = true;
                found = f;
                break;
            }
        }
    }
    // Delivered without the friends lock: a handler may call back into the platform.
    if (found)
        deliver(SOCIAL_FRIEND_PICTURE, found);
}

std::vector<std::vector<std::string>> SocialPlatform::parseResponseRows(const std::string& body) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string token;
    auto endToken = [&] {
        if (!token.empty())
            row.push_back(token);
        token.clear();
    };
    for (size_t i = 0; i <= body.size(); ++i) {
        const char c = i < body.size() ? body[i] : '\n';
        if (c == '\n') {
            endToken();
            if (!row.empty())
                rows.push_back(row);
            row.clear();
        } else if (c == ';' || c == ',' || c == '\r' || c == '\t' || c == ' ') {
            endToken();
        } else {
            token += c;
        }
    }
    return rows;
}

// ---------------------------------------------------------------------------------------------
// Identity sync and identifier collection

void SocialPlatform::sync() {
    if (_settings.syncUrl.empty() || !_myProfile)
        return;
    if (!_myProfile->facebook && !_myProfile->gameCenter)
        return;
    PlayerProfile::Values values;
    _myProfile->writeValues(values);
    std::string url;
    buildQueryUrl(url, NetworkManager::instance(), _settings.syncUrl, values, 1);
    NetworkManager::instance().request(this, url, TagSync);
}

void SocialPlatform::onSyncAnswer(const std::vector<std::vector<std::string>>& rows) {
    if (!_myProfile)
        return;
    bool identified = false;
    for (const auto& row : rows) {
        if (row.size() == 1 && row[0] == "erased_gen_id") {
            _myProfile->globalId.clear();
            // The server forgot the player: ask once more for a new identifier. A server that keeps
            // answering so would otherwise be asked again and again without end.
            if (!_resyncedSinceLogin) {
                _resyncedSinceLogin = true;
                sync();
            } else {
                Logger::error("[SocialPlatform::sync] the identifier was erased again; no new sync until the next sign-in");
            }
            return;
        }
        if (row.size() == 3 && row[0] == "gen_id" && row[1] == "=") {
            _myProfile->globalId = row[2];
            identified = true;
        }
    }
    if (identified)
        saveProfile();
}

void SocialPlatform::collect(bool byFacebook, bool byGameCenter) {
    if (_settings.collectUrl.empty())
        return;
    std::string genIds, fbIds, gcIds;
    auto append = [](std::string& list, const std::string& id) {
        if (!list.empty())
            list += ",";
        list += id;
    };
    {
        std::lock_guard<std::mutex> guard(_friendsLock);
        for (PlayerProfile* f : _friends) {
            if (byFacebook && byGameCenter && !f->globalId.empty())
                append(genIds, f->globalId);
            else if (byFacebook && f->facebook)
                append(fbIds, f->facebookId);
            else if (byGameCenter && f->gameCenter)
                append(gcIds, f->gameCenterId);
        }
    }
    std::map<std::string, std::string> parameters;
    if (byFacebook && byGameCenter && !genIds.empty())
        parameters["gen_ids"] = genIds;
    else if (byFacebook && !fbIds.empty())
        parameters["fb_ids"] = fbIds;
    else if (byGameCenter && !gcIds.empty())
        parameters["gc_ids"] = gcIds;
    else
        return;
    std::string url;
    buildQueryUrl(url, NetworkManager::instance(), _settings.collectUrl, parameters, 1);
    NetworkManager::instance().request(this, url, TagCollect);
}

void SocialPlatform::onCollectAnswer(const std::vector<std::vector<std::string>>& rows) {
    PlayerProfile::Values record;
    for (const auto& row : rows) {
        if (row.size() == 1 && row[0] == "begin")
            record.clear();
        else if (row.size() == 1 && row[0] == "end")
            applyCollected(record);
        else if (row.size() == 3 && row[1] == "=" && row[0] != "collect")
            record[row[0]] = row[2];
    }
    postEvent(SOCIAL_COLLECTED, nullptr);
}

PlayerProfile* SocialPlatform::applyCollected(const PlayerProfile::Values& record) {
    auto value = [&record](const char* key) {
        auto it = record.find(key);
        return it == record.end() ? std::string() : it->second;
    };
    const std::string genId = value("gen_id");
    if (genId.empty())
        return nullptr;
    // The server may list the player among their own friends: the player is no friend of theirs.
    if (_myProfile) {
        const std::string fbId = value("fb_id"), gcId = value("gc_id");
        if ((!_myProfile->globalId.empty() && genId == _myProfile->globalId) ||
            (_myProfile->facebook && !fbId.empty() && fbId == _myProfile->facebookId) ||
            (_myProfile->gameCenter && !gcId.empty() && gcId == _myProfile->gameCenterId)) {
            Logger::message("[SocialPlatform::applyCollected] the record of the player's own id '%s' is no friend",
                            genId.c_str());
            return nullptr;
        }
    }

    std::lock_guard<std::mutex> guard(_friendsLock);
    for (PlayerProfile* f : _friends) {
        if (f->globalId == genId) {
            f->readValues(record);
            return f;
        }
    }
    PlayerProfile* profile = createFriend();
    profile->readValues(record);
    if (profile->facebook) {
        for (auto it = _friends.begin(); it != _friends.end(); ++it) {
            PlayerProfile* old = *it;
            if (old->facebook && old->facebookId == profile->facebookId) {
                profile->facebookPictureReady = old->facebookPictureReady;
                profile->facebookName = old->facebookName;
                profile->facebookPicture = old->facebookPicture;
                profile->facebookPictureUrl = old->facebookPictureUrl;
                _friends.erase(it);
                delete old;
                break;
            }
        }
    }
    if (profile->gameCenter) {
        for (auto it = _friends.begin(); it != _friends.end(); ++it) {
            PlayerProfile* old = *it;
            if (old->gameCenter && old->gameCenterId == profile->gameCenterId) {
                profile->gameCenterPictureReady = old->gameCenterPictureReady;
                profile->gameCenterAlias = old->gameCenterAlias;
                profile->gameCenterPicture = old->gameCenterPicture;
                _friends.erase(it);
                delete old;
                break;
            }
        }
    }
    _friends.push_back(profile);
    return profile;
}

// ---------------------------------------------------------------------------------------------
// Application events

void SocialPlatform::OnAppPause() {
    if (_myProfile)
        _myProfile->onSuspend();
    saveProfile();
}

void SocialPlatform::OnAppResume() { facebookHandleDidBecomeActive(); }

void SocialPlatform::OnEnterBackground() { saveProfile(); }

bool SocialPlatform::OnOpenURL(const char* url, const char* sourceApplication) {
    (void)sourceApplication;
    return facebookHandleOpenURL(url ? url : "", std::string());
}

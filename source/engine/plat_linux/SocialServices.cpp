#include "engine/plat_linux/SocialServices.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/plat_linux/MainThreadQueue.h"

namespace platform {
namespace {

struct Services {
    std::recursive_mutex lock;
    bool fixtureSet = false;
    SocialFixture fixture;
    SocialSwitches switches;
    SocialRecords records;
    bool hasSession = false;
    socialnet::SessionState sessionState = socialnet::SessionCreated;
    bool tokenStored = false;  // a login that completed before leaves its token behind
    bool authenticated = false;
    std::function<void(bool, const std::string&)> authHandler;
    std::string keychainFolder;
};

Services& services() {
    static Services* s = new Services();
    return *s;
}

std::string trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
    size_t e = text.find_last_not_of(" \t\r\n");
    return text.substr(b, e - b + 1);
}

std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t bar = text.find('|', start);
        out.push_back(trim(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return out;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string relativeTo(const std::string& folder, const std::string& file) {
    if (file.empty() || file[0] == '/')
        return file;
    return folder + "/" + file;
}

bool readWhole(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    out.clear();
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof(block), f)) > 0)
        out.append(block, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// The fixture of the program's bundle, read once when no test or host has set one.
SocialFixture& fixture() {
    Services& s = services();
    if (!s.fixtureSet) {
        s.fixtureSet = true;
        std::string path;
        getBundleDataPath(path, "social.txt");
        loadSocialFixture(path, s.fixture);
    }
    return s.fixture;
}

// Every answer waits for a later turn of the run loop.
void answer(std::function<void()> task) { postMainThreadTask(std::move(task)); }

const char* kNotSignedIn = "The player is not signed in.";

}  // namespace

bool loadSocialFixture(const std::string& path, SocialFixture& out) {
    out = SocialFixture();
    std::string text;
    if (!readWhole(path, text)) {
        std::fprintf(stderr, "[social stand-in] no fixture '%s': nobody is signed in\n", path.c_str());
        return false;
    }
    const std::string folder = folderOf(path);
    size_t pos = 0;
    int lineNumber = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() + 1 : end + 1;
        ++lineNumber;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        line = trim(line);
        if (line.empty())
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "[social stand-in] %s:%d: no '=', line skipped\n", path.c_str(), lineNumber);
            continue;
        }
        const std::string key = trim(line.substr(0, eq));
        const std::vector<std::string> f = fields(line.substr(eq + 1));
        bool ok = true;
        if (key == "player.id" && f.size() == 1)
            out.playerId = f[0];
        else if (key == "player.name" && f.size() == 1)
            out.playerName = f[0];
        else if (key == "friend" && f.size() == 3)
            out.friends.push_back({f[0], f[1], f[2]});
        else if (key == "gamecenter.id" && f.size() == 1)
            out.gameCenterId = f[0];
        else if (key == "gamecenter.alias" && f.size() == 1)
            out.gameCenterAlias = f[0];
        else if (key == "gamecenter.photo" && f.size() == 1)
            out.gameCenterPhoto = relativeTo(folder, f[0]);
        else if (key == "gamecenter.friend" && (f.size() == 2 || f.size() == 3))
            out.gameCenterFriends.push_back({f[0], f[1], f.size() == 3 ? relativeTo(folder, f[2]) : std::string()});
        else if (key == "score" && f.size() == 3) {
            char* rest = nullptr;
            errno = 0;
            long long v = std::strtoll(f[2].c_str(), &rest, 10);
            ok = !f[2].empty() && rest && *rest == 0 && errno == 0;
            if (ok)
                out.scores.push_back({f[0], f[1], (int64_t)v});
        } else
            ok = false;
        if (!ok)
            std::fprintf(stderr, "[social stand-in] %s:%d: '%s' not understood, line skipped\n", path.c_str(),
                         lineNumber, key.c_str());
    }
    return true;
}

void setSocialFixture(const SocialFixture& f) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.fixture = f;
    s.fixtureSet = true;
}

const SocialFixture& socialFixture() {
    std::lock_guard<std::recursive_mutex> g(services().lock);
    return fixture();
}

SocialSwitches& socialSwitches() { return services().switches; }
const SocialRecords& socialRecords() { return services().records; }

void resetSocialServices() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.fixtureSet = false;
    s.fixture = SocialFixture();
    s.switches = SocialSwitches();
    s.records = SocialRecords();
    s.hasSession = false;
    s.sessionState = socialnet::SessionCreated;
    s.tokenStored = false;
    s.authenticated = false;
    s.authHandler = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Device

std::string identifierForVendor() {
    // The desktop has no identifier for vendor; the game keeps one of its own in the user defaults.
    return std::string();
}

std::string createUUIDString() {
    unsigned char b[16];
    bool ok = false;
    int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ok = ::read(fd, b, sizeof(b)) == (ssize_t)sizeof(b);
        ::close(fd);
    }
    if (!ok) {
        std::fprintf(stderr, "[platform] /dev/urandom unreadable; the identifier comes from a weaker source\n");
        for (auto& c : b)
            c = (unsigned char)(std::rand() & 0xFF);
    }
    b[6] = (unsigned char)((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = (unsigned char)((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof(text), "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

void openApplicationURL(const std::string& url) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.records.openedUrls.push_back(url);
    std::fprintf(stderr, "[platform] open URL '%s'\n", url.c_str());
}

void presentTwitterComposer(const std::string& text) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.records.twitterTexts.push_back(text);
    std::fprintf(stderr, "[platform] share sheet (Twitter): %s\n", text.c_str());
}

// ---------------------------------------------------------------------------------------------
// The social-network client

namespace socialnet {

void createActiveSession() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.hasSession = true;
    s.sessionState = SessionCreated;
}

bool hasActiveSession() { return services().hasSession; }
SessionState activeSessionState() { return services().sessionState; }

void openActiveSession(const std::function<void(SessionState, const std::string&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    if (!s.hasSession)
        return;
    ++s.records.loginFlows;
    s.sessionState = SessionOpening;
    const SocialSwitches::Login outcome = fixture().playerId.empty() ? SocialSwitches::LoginFails : s.switches.login;
    answer([completion, outcome] {
        Services& s = services();
        SessionState state;
        std::string error;
        {
            std::lock_guard<std::recursive_mutex> g(s.lock);
            if (outcome == SocialSwitches::LoginSucceeds) {
                state = s.tokenStored ? SessionOpenTokenExtended : SessionOpen;
                s.tokenStored = true;
            } else if (outcome == SocialSwitches::LoginClosed) {
                state = SessionClosed;
            } else {
                state = SessionClosedLoginFailed;
                error = "The login could not be completed.";
            }
            s.sessionState = state;
        }
        if (completion)
            completion(state, error);
    });
}

void closeActiveSessionAndClearToken() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.sessionState = SessionClosed;
    s.tokenStored = false;
}

void requestMe(const std::function<void(const std::string&, long long, const std::string&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    const bool open = s.sessionState == SessionOpen || s.sessionState == SessionOpenTokenExtended;
    const bool fails = s.switches.meFails || !open;
    const SocialFixture f = fixture();
    answer([completion, fails, f] {
        if (!completion)
            return;
        if (fails)
            completion("The request for \"me\" failed.", 0, std::string());
        else
            completion(std::string(), std::strtoll(f.playerId.c_str(), nullptr, 10), f.playerName);
    });
}

void requestFriends(const std::string& query,
                    const std::function<void(const std::string&, const std::vector<User>&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.records.friendQueries.push_back(query);
    const bool fails = s.switches.friendsFail;
    std::vector<User> users;
    for (const auto& fr : fixture().friends)
        users.push_back({fr.id, fr.name, fr.pictureUrl});
    answer([completion, fails, users] {
        if (completion)
            completion(fails ? "The friends query failed." : "", fails ? std::vector<User>() : users);
    });
}

bool handleOpenURL(const std::string& url, const std::string& sourceApplication) {
    (void)sourceApplication;
    // The client takes the addresses of its own login hand-off.
    return url.compare(0, 2, "fb") == 0;
}

void handleDidBecomeActive() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ++s.records.didBecomeActive;
}

bool canPresentShareDialog(const ShareParams& params) {
    (void)params;
    return services().switches.nativeShareDialog;
}

void presentShareDialog(const ShareParams& params,
                        const std::function<void(const std::string&, const std::string&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.records.sharesPresented.push_back(params);
    s.records.shareDialogKinds.push_back("native");
    const SocialSwitches::Share outcome = s.switches.share;
    answer([completion, outcome] {
        if (!completion)
            return;
        if (outcome == SocialSwitches::ShareFails)
            completion("The share failed.", std::string());
        else
            completion(std::string(), outcome == SocialSwitches::ShareCancelled ? "cancel" : "post");
    });
}

void presentFeedDialog(const ShareParams& params, const std::function<void(const std::string&, bool)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.records.sharesPresented.push_back(params);
    s.records.shareDialogKinds.push_back("feed");
    const SocialSwitches::Share outcome = s.switches.share;
    answer([completion, outcome] {
        if (!completion)
            return;
        if (outcome == SocialSwitches::ShareFails)
            completion("The share failed.", false);
        else
            completion(std::string(), outcome == SocialSwitches::ShareCompletes);
    });
}

}  // namespace socialnet

// ---------------------------------------------------------------------------------------------
// The game centre

namespace gamecenter {

namespace {

void photoOf(const std::string& file, bool fails,
             const std::function<void(const std::string&, const std::string&)>& completion) {
    answer([file, fails, completion] {
        std::string bytes;
        if (fails || file.empty() || !readWhole(file, bytes))
            completion("The photo could not be loaded.", std::string());
        else
            completion(std::string(), bytes);
    });
}

}  // namespace

void setAuthenticateHandler(const std::function<void(bool, const std::string&)>& handler) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.authHandler = handler;
    SocialSwitches::Auth outcome = s.switches.auth;
    if (fixture().gameCenterId.empty() && outcome == SocialSwitches::AuthSucceeds)
        outcome = SocialSwitches::AuthFails;
    answer([outcome] {
        Services& s = services();
        std::function<void(bool, const std::string&)> h;
        {
            std::lock_guard<std::recursive_mutex> g(s.lock);
            h = s.authHandler;
            if (outcome == SocialSwitches::AuthShowsScreen)
                ++s.records.signInScreens;
            s.authenticated = outcome == SocialSwitches::AuthSucceeds;
        }
        if (!h)
            return;
        if (outcome == SocialSwitches::AuthShowsScreen)
            h(true, std::string());
        else
            h(false, outcome == SocialSwitches::AuthSucceeds ? std::string() : std::string(kNotSignedIn));
    });
}

bool isAuthenticated() { return services().authenticated; }

Player localPlayer() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    if (!s.authenticated)
        return Player();
    return {fixture().gameCenterId, fixture().gameCenterAlias};
}

void loadLocalPlayerPhoto(const std::function<void(const std::string&, const std::string&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    photoOf(s.authenticated ? fixture().gameCenterPhoto : std::string(), s.switches.photosFail, completion);
}

void loadPhoto(const std::string& playerId,
               const std::function<void(const std::string&, const std::string&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    std::string file;
    for (const auto& fr : fixture().gameCenterFriends)
        if (fr.playerId == playerId)
            file = fr.photo;
    photoOf(file, s.switches.photosFail, completion);
}

void loadFriendIds(const std::function<void(const std::string&, const std::vector<std::string>&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    const bool fails = s.switches.friendIdsFail || !s.authenticated;
    std::vector<std::string> ids;
    for (const auto& fr : fixture().gameCenterFriends)
        ids.push_back(fr.playerId);
    answer([completion, fails, ids] {
        completion(fails ? "The friends could not be loaded." : "", fails ? std::vector<std::string>() : ids);
    });
}

void loadPlayers(const std::vector<std::string>& ids,
                 const std::function<void(const std::string&, const std::vector<Player>&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    const bool fails = s.switches.playersFail;
    std::vector<Player> players;
    for (const auto& id : ids)
        for (const auto& fr : fixture().gameCenterFriends)
            if (fr.playerId == id) {
                players.push_back({fr.playerId, fr.alias});
                break;
            }
    answer([completion, fails, players] {
        completion(fails ? "The players could not be loaded." : "", fails ? std::vector<Player>() : players);
    });
}

void resetAchievements() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ++s.records.achievementResets;
}

void presentGameCenterScreen() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ++s.records.gameCenterScreens;
}

void reportScore(const std::string& leaderboardId, int64_t value) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.records.reportedScores.push_back({leaderboardId, value});
}

void loadScores(const std::string& leaderboardId, const std::vector<std::string>& playerIds,
                const std::function<void(const std::string&, bool, int64_t, const std::vector<Score>&)>& completion) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.records.scoreQueries.push_back(playerIds);
    const bool fails = s.switches.scoresFail;
    bool hasLocal = false;
    int64_t localValue = 0;
    std::vector<Score> scores;
    for (const auto& sc : fixture().scores) {
        if (sc.leaderboard != leaderboardId)
            continue;
        if (s.authenticated && sc.playerId == fixture().gameCenterId) {
            hasLocal = true;
            localValue = sc.value;
        }
        for (const auto& id : playerIds)
            if (id == sc.playerId) {
                scores.push_back({sc.playerId, sc.value});
                break;
            }
    }
    answer([completion, fails, hasLocal, localValue, scores] {
        if (fails)
            completion("The scores could not be loaded.", false, 0, std::vector<Score>());
        else
            completion(std::string(), hasLocal, localValue, scores);
    });
}

}  // namespace gamecenter

// ---------------------------------------------------------------------------------------------
// The keychain: one file per account, "<folder>/<account>.item".

void setKeychainPath(const std::string& path) {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.keychainFolder = path;
}

std::string keychainPath() {
    Services& s = services();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    return s.keychainFolder.empty() ? documentsPath() + ".keychain" : s.keychainFolder;
}

namespace keychain {
namespace {

// Account names become file names: anything but plain characters is written as %XX.
std::string itemPath(const std::string& account) {
    std::string name;
    for (unsigned char c : account) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
            name += (char)c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%%%02X", c);
            name += hex;
        }
    }
    return keychainPath() + "/" + name + ".item";
}

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int writeItem(const std::string& account, const std::string& data) {
    if (services().switches.keychainWritesFail)
        return IOError;
    const std::string folder = keychainPath();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return IOError;
    const std::string path = itemPath(account);
    const std::string temp = path + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return IOError;
    bool ok = ::write(fd, data.data(), data.size()) == (ssize_t)data.size() && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return IOError;
    }
    return Success;
}

}  // namespace

int copyMatching(const std::string& account) {
    if (services().switches.keychainReadsFail)
        return IOError;
    return fileExists(itemPath(account)) ? Success : ItemNotFound;
}

int add(const std::string& account, const std::string& data) {
    std::lock_guard<std::recursive_mutex> g(services().lock);
    if (fileExists(itemPath(account)))
        return -25299;  // the item exists already
    return writeItem(account, data);
}

int update(const std::string& account, const std::string& data) {
    std::lock_guard<std::recursive_mutex> g(services().lock);
    if (!fileExists(itemPath(account)))
        return ItemNotFound;
    return writeItem(account, data);
}

int copyData(const std::string& account, std::string& data) {
    data.clear();
    if (services().switches.keychainReadsFail)
        return IOError;
    const std::string path = itemPath(account);
    if (!fileExists(path))
        return ItemNotFound;
    return readWhole(path, data) ? Success : IOError;
}

int remove(const std::string& account) {
    if (services().switches.keychainRemovesFail)
        return IOError;
    return ::unlink(itemPath(account).c_str()) == 0 ? Success : ItemNotFound;
}

}  // namespace keychain

}  // namespace platform

// The social platform over the social-network and game-centre stand-ins and a small HTTP server of
// the test's own on 127.0.0.1: sign-ins, friends and their pictures, identity sync and collection,
// the profile file, rankings, the keychain, sharing, and the answers that must not be trusted.

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <mutex>
#include <set>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "engine/online/NetworkManager.h"
#include "engine/online/SocialPlatform.h"
#include "engine/plat_linux/MainThreadQueue.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/plat_linux/SocialServices.h"
#include "engine/plat_linux/SystemAlert.h"
#include "game/profile/ZelvanFriendProfile.h"

using namespace std::chrono_literals;
using testsupport::LogCapture;
using testsupport::TempDir;
using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

const char* const kMagic = "zeLVAN";
const char* const kPassword = "86420975";

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The player's own profile as the game will have it: it keeps leaderboards and a "playerdata"
// chunk of its own (kept as bytes here), and counts its saves.
struct OwnProfile : Zelvan::FriendProfile {
    OwnProfile() { _leaderboardIds = {"lb.a", "lb.b"}; }
    void onSave(const std::string&, FileBuffer& buffer) override {
        ++saves;
        buffer.write(bytes.data(), bytes.size());
    }
    void onLoad(const std::string&, FileBuffer& buffer) override {
        bytes.assign((const char*)buffer.data(), (size_t)buffer.size());
    }
    void onSuspend() override { savesAtSuspend = saves; }
    std::string bytes;
    int saves = 0;
    int savesAtSuspend = -1;
};

struct Event {
    int event;
    std::string profileName;
    bool mainThread;
};

class RecordingHandler : public ISocialEventHandler {
public:
    explicit RecordingHandler(std::thread::id main) : mainThread(main) {}
    void onPlayerEvent(int event) override { events.push_back({event, "", std::this_thread::get_id() == mainThread}); }
    void onProfileEvent(int event, PlayerProfile* profile) override {
        events.push_back({event, profile ? profile->displayName() : "?", std::this_thread::get_id() == mainThread});
        if (onProfile)
            onProfile(profile);
    }
    int count(int event) const {
        return (int)std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.event == event; });
    }
    int first(int event) const {
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i].event == event)
                return (int)i;
        return INT_MAX;
    }
    int last(int event) const {
        int at = -1;
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i].event == event)
                at = (int)i;
        return at;
    }
    std::thread::id mainThread;
    std::vector<Event> events;
    std::function<void(PlayerProfile*)> onProfile;
};

// Pictures, the sync answer and the collection answers (one for the social network's ids, one for
// the game centre's).
class IdentityServer {
public:
    IdentityServer() {
        server.Get(R"(/pic/(.+)\.jpg)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> guard(lock);
            picturePaths.insert(req.path);
            res.set_content(pictureOf(req.matches[1]), "image/jpeg");
        });
        server.Get("/sync", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> guard(lock);
            ++syncHits;
            syncQueries.push_back(req.params);
            res.set_content(syncAnswer, "text/plain");
        });
        server.Get("/collect", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> guard(lock);
            collectQueries.push_back(req.params);
            res.set_content(req.has_param("fb_ids") ? fbAnswer : gcAnswer, "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        waitUntil([this] { return server.is_running(); });
    }
    ~IdentityServer() {
        server.stop();
        thread.join();
    }
    static std::string pictureOf(const std::string& id) { return "JPEG picture of " + id; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    // The server's threads read the answers under the lock (the request's path through the socket is
    // no ordering the race checker can see).
    void setAnswers(const std::string& sync, const std::string& fb, const std::string& gc) {
        std::lock_guard<std::mutex> guard(lock);
        syncAnswer = sync;
        fbAnswer = fb;
        gcAnswer = gc;
    }
    int syncCount() {
        std::lock_guard<std::mutex> guard(lock);
        return syncHits;
    }

    httplib::Server server;
    int port = 0;
    std::thread thread;
    std::mutex lock;
    std::string syncAnswer = "gen_id = 777\n";
    std::string fbAnswer, gcAnswer;
    int syncHits = 0;
    std::vector<httplib::Params> syncQueries, collectQueries;
    std::set<std::string> picturePaths;
};

// Temporary documents, keychain and working folders, the stand-ins and the platform fresh for each
// test, and the main thread's queue pumped as frames would.
class Social : public ::testing::Test {
protected:
    Social() : stores(testsupport::contentDir(), documents.path()) {}
    void SetUp() override {
        ASSERT_TRUE(::getcwd(oldCwd, sizeof(oldCwd)));
        ASSERT_EQ(0, ::chdir(working.path().c_str()));
        platform::reloadUserDefaults();
        platform::resetSocialServices();
        platform::setKeychainPath(keychain.path());
        platform::clearMainThreadTasks();
        platform::clearAlerts();
        SocialPlatform::instance().reset();
        NetworkManager::instance().init();
    }
    void TearDown() override {
        SocialPlatform::instance().reset();
        platform::clearMainThreadTasks();
        platform::resetSocialServices();
        platform::setKeychainPath("");
        ASSERT_EQ(0, ::chdir(oldCwd));
    }
    // Runs frames until the test holds (or the time is up); the last answer counts.
    bool frames(const std::function<bool()>& done, int timeoutMs = 15000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            platform::runMainThreadTasks();
            if (done())
                return true;
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(1ms);
        }
    }
    void runFrames(int count) {
        for (int i = 0; i < count; ++i) {
            platform::runMainThreadTasks();
            std::this_thread::sleep_for(2ms);
        }
    }
    sSocialPlatformSettings settings(OwnProfile** own = nullptr) {
        sSocialPlatformSettings s;
        s.createMyProfile = [own] {
            OwnProfile* p = new OwnProfile();
            if (own)
                *own = p;
            return p;
        };
        s.createFriend = [] { return new Zelvan::FriendProfile(); };
        s.profilePath = documents.file("player.profile");
        s.profileMagic = kMagic;
        s.profilePassword = kPassword;
        s.useFriends = 1;
        s.usePictures = 1;
        s.useGameCenter = 1;
        s.shareName = "Zelvan";
        s.shareLink = "http://apps.zelvan.example/app";
        s.pictureMap[""] = "http://apps.zelvan.example/icon.png";
        return s;
    }
    SocialPlatform& social() { return SocialPlatform::instance(); }
    Zelvan::FriendProfile* friendByGenId(const std::string& id) {
        for (PlayerProfile* p : social().getFriends())
            if (p->globalId == id)
                return dynamic_cast<Zelvan::FriendProfile*>(p);
        return nullptr;
    }

    TempDir documents, keychain, working, fixtures;
    testsupport::ScopedStores stores;
    char oldCwd[4096];
};

TEST_F(Social, SignInsFriendsPicturesSyncAndCollectionEndToEnd) {
    IdentityServer server;
    // The social network's friend 200002 and the game centre's G:2001 are one person (502); the
    // server also lists the player among the friends, which is no friend.
    server.setAnswers("gen_id = 777\n",
                      "begin\ngen_id = 501\nfb_id = 200001\ndistance_lb.a = 900\nend\n"
                      "begin\ngen_id = 502\nfb_id = 200002\ngc_id = G:2001\ndistance_lb.a = 99999999999\nend\n"
                      "begin\ngen_id = 777\nfb_id = 100001\ndistance_lb.a = 5\nend\n",
                      "begin\r\ngen_id\t=\t602\ngc_id = G:2002;\ndistance_lb.a = 1000\r\nend\n");

    writeFile(fixtures.file("dee.jpg"), "photo of dee");
    writeFile(fixtures.file("eli.jpg"), "photo of eli");
    writeFile(fixtures.file("me.jpg"), "photo of me");
    writeFile(fixtures.file("social.txt"),
              "player.id = 100001\nplayer.name = Ada Lane\n"
              "friend = 200001 | Bo Reed | HTTPS://127.0.0.1:" + std::to_string(server.port) + "/pic/200001.jpg\n"
              "friend = 200002 | Cy Moss | " + server.url("/pic/200002.jpg") + "\n"
              "gamecenter.id = G:1000\ngamecenter.alias = ada\ngamecenter.photo = me.jpg\n"
              "gamecenter.friend = G:2001 | dee | dee.jpg\ngamecenter.friend = G:2002 | eli | eli.jpg\n"
              "score = lb.a | G:2001 | 300\nfriend = 1 | no address\nscore = lb.a | G:2001 | many\n");
    platform::SocialFixture fixture;
    ASSERT_TRUE(platform::loadSocialFixture(fixtures.file("social.txt"), fixture));
    ASSERT_EQ(2u, fixture.friends.size());
    ASSERT_EQ(2u, fixture.gameCenterFriends.size());
    ASSERT_EQ(1u, fixture.scores.size()) << "lines it does not understand are skipped";
    platform::setSocialFixture(fixture);

    // An earlier run logged in (the access mark) and left a chunk this version does not know.
    const std::string gamma("\x00\x01gamma\xFF", 8), playerData("own state\x00\x7F", 11);
    {
        ProfileStore earlier;
        earlier.setFile(documents.file("player.profile"), kMagic, kPassword);
        earlier.chunkData().get("gamma").assign(gamma.data(), gamma.size());
        earlier.chunkData().get("playerdata").assign(playerData.data(), playerData.size());
        earlier.setAccessMark("1");
        ASSERT_TRUE(earlier.saveProfile());
    }

    RecordingHandler handler(std::this_thread::get_id());
    social().addHandler(&handler, 0);
    OwnProfile* own = nullptr;
    sSocialPlatformSettings s = settings(&own);
    s.syncUrl = server.url("/sync");
    s.collectUrl = server.url("/collect");
    social().init(s);
    ASSERT_TRUE(own);
    EXPECT_EQ(playerData, own->bytes);
    EXPECT_EQ("1", social().facebookAccessMark());
    EXPECT_TRUE(handler.events.empty()) << "every answer comes on a later frame";

    // Two sync answers and two collection answers, every picture and photo.
    ASSERT_TRUE(frames([&] {
        return handler.count(SOCIAL_COLLECTED) == 2 && handler.count(SOCIAL_FRIEND_PICTURE) == 4 &&
               handler.count(SOCIAL_OWN_PICTURE) == 1 && own->saves == 2;
    })) << handler.events.size() << " events, " << own->saves << " saves";
    runFrames(20);

    // The events, once each (the pictures four times), all on the main thread, each after its cause.
    for (const Event& e : handler.events)
        EXPECT_TRUE(e.mainThread) << e.event;
    EXPECT_EQ(1, handler.count(SOCIAL_FACEBOOK_LOGIN));
    EXPECT_EQ(1, handler.count(SOCIAL_GAMECENTER_LOGIN));
    EXPECT_EQ(1, handler.count(SOCIAL_FACEBOOK_FRIENDS));
    EXPECT_EQ(1, handler.count(SOCIAL_GAMECENTER_FRIENDS));
    EXPECT_EQ(2, handler.count(SOCIAL_COLLECTED));
    EXPECT_EQ(4, handler.count(SOCIAL_FRIEND_PICTURE));
    EXPECT_EQ(1, handler.count(SOCIAL_OWN_PICTURE));
    EXPECT_EQ(0, handler.count(SOCIAL_FACEBOOK_LOGIN_FAILED));
    EXPECT_LT(handler.first(SOCIAL_FACEBOOK_LOGIN), handler.first(SOCIAL_FACEBOOK_FRIENDS));
    EXPECT_LT(handler.first(SOCIAL_GAMECENTER_LOGIN), handler.first(SOCIAL_GAMECENTER_FRIENDS));
    EXPECT_LT(handler.first(SOCIAL_GAMECENTER_LOGIN), handler.first(SOCIAL_OWN_PICTURE));
    const int friendsKnown = std::max(handler.first(SOCIAL_FACEBOOK_FRIENDS), handler.first(SOCIAL_GAMECENTER_FRIENDS));
    EXPECT_LT(friendsKnown, handler.first(SOCIAL_COLLECTED));
    EXPECT_LT(friendsKnown, handler.first(SOCIAL_FRIEND_PICTURE));

    // The player: signed in to both services, the server's identifier, one save per sync answer.
    EXPECT_EQ(2, server.syncCount());
    EXPECT_EQ(2, own->saves);
    EXPECT_EQ("777", own->globalId);
    EXPECT_EQ("100001", own->facebookId);
    EXPECT_EQ("Ada Lane", own->facebookName);
    EXPECT_EQ("G:1000", own->gameCenterId);
    EXPECT_FALSE(own->deviceId.empty());
    {
        std::lock_guard<std::mutex> guard(server.lock);
        ASSERT_EQ(2u, server.syncQueries.size());
        // The sync after the social network's login sends both services and the distances (the two
        // requests may reach the server in either order).
        auto withFb = std::find_if(server.syncQueries.begin(), server.syncQueries.end(),
                                   [](const httplib::Params& p) { return p.count("fb_id") != 0; });
        ASSERT_NE(server.syncQueries.end(), withFb);
        const httplib::Params& q = *withFb;
        auto value = [&q](const char* key) {
            auto it = q.find(key);
            return it == q.end() ? std::string("(none)") : it->second;
        };
        EXPECT_EQ("100001", value("fb_id"));
        EXPECT_EQ("G:1000", value("gc_id"));
        EXPECT_EQ("Ada Lane", value("name"));
        EXPECT_EQ("0", value("distance_lb.a"));
        EXPECT_EQ(own->deviceId, value("ud_id"));
        EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", value("md5"));
        std::set<std::string> collected;
        for (const auto& cq : server.collectQueries)
            for (const auto& kv : cq)
                if (kv.first != "md5")
                    collected.insert(kv.first + "=" + kv.second);
        EXPECT_EQ((std::set<std::string>{"fb_ids=200001,200002", "gc_ids=G:2001,G:2002"}), collected);
    }

    // Friends merged as the answers say: 502 replaced two profiles and kept both names and pictures;
    // the player's own record made no friend; 602 replaced the game centre's G:2002.
    ASSERT_EQ(3u, social().getFriends().size());
    Zelvan::FriendProfile* bo = friendByGenId("501");
    Zelvan::FriendProfile* cy = friendByGenId("502");
    Zelvan::FriendProfile* eli = friendByGenId("602");
    ASSERT_TRUE(bo && cy && eli);
    EXPECT_EQ("Bo Reed", bo->displayName());
    EXPECT_EQ("http://127.0.0.1:" + std::to_string(server.port) + "/pic/200001.jpg", bo->facebookPictureUrl);
    EXPECT_EQ("Cy Moss", cy->displayName());
    EXPECT_EQ("dee", cy->gameCenterAlias);
    EXPECT_EQ("pic.200002.jpg", cy->facebookPicture);
    EXPECT_EQ("pic.G:2001.jpg", cy->gameCenterPicture);
    EXPECT_TRUE(cy->facebookPictureReady && cy->gameCenterPictureReady);
    EXPECT_EQ("eli", eli->displayName());
    EXPECT_EQ(900u, bo->getBestDistance("lb.a"));
    EXPECT_EQ(UINT32_MAX, cy->getBestDistance("lb.a")) << "held to 32 bits";
    EXPECT_EQ(1000u, eli->getBestDistance("lb.a"));
    EXPECT_EQ(nullptr, friendByGenId("777"));

    // The pictures are in the documents folder under their names, none in the working folder.
    EXPECT_EQ(IdentityServer::pictureOf("200001"), readFile(documents.file("pic.200001.jpg")));
    EXPECT_EQ(IdentityServer::pictureOf("200002"), readFile(documents.file("pic.200002.jpg")));
    EXPECT_EQ("photo of dee", readFile(documents.file("pic.G:2001.jpg")));
    EXPECT_EQ("photo of eli", readFile(documents.file("pic.G:2002.jpg")));
    EXPECT_EQ("photo of me", readFile(documents.file("pic.gcme.jpg")));
    EXPECT_FALSE(fileExists(working.file("pic.200001.jpg")));
    EXPECT_FALSE(fileExists(working.file("pic.gcme.jpg")));

    // The ranking: largest first, a friend level with the player ahead of "Me".
    own->setBestDistance("lb.a", 1000);
    const std::vector<Zelvan::RankingEntry> ranking = Zelvan::buildFriendsRanking(own, "lb.a", 10);
    const std::vector<Zelvan::RankingEntry> expected = {
        {"Cy Moss", UINT32_MAX}, {"eli", 1000u}, {"Me", 1000u}, {"Bo Reed", 900u}};
    EXPECT_EQ(expected, ranking);

    // Reloading keeps every chunk byte for byte, the unknown one too.
    ProfileStore reloaded;
    reloaded.setFile(documents.file("player.profile"), kMagic, kPassword);
    reloaded.loadProfile();
    EXPECT_EQ("1", reloaded.accessMark());
    ASSERT_TRUE(reloaded.chunkData().find("gamma"));
    std::string bytes;
    reloaded.chunkData().find("gamma")->toString(bytes);
    EXPECT_EQ(gamma, bytes);
    reloaded.chunkData().find("playerdata")->toString(bytes);
    EXPECT_EQ(playerData, bytes);
    EXPECT_EQ(3u, reloaded.chunkData().size());
}

TEST_F(Social, AnErasedIdentifierSyncsAgainOnlyOncePerSignIn) {
    IdentityServer server;
    server.setAnswers("erased_gen_id\ngen_id = 5\n", "", "");
    platform::SocialFixture fixture;
    fixture.gameCenterId = "G:1";
    fixture.gameCenterAlias = "solo";
    platform::setSocialFixture(fixture);
    OwnProfile* own = nullptr;
    sSocialPlatformSettings s = settings(&own);
    s.shareLink.clear();
    s.useFriends = 0;
    s.syncUrl = server.url("/sync");
    social().init(s);

    ASSERT_TRUE(frames([&] { return server.syncCount() == 2; }));
    // However long it runs, the server that keeps erasing is not asked a third time.
    frames([&] { return server.syncCount() > 2; }, 400);
    EXPECT_EQ(2, server.syncCount());
    EXPECT_EQ("", own->globalId) << "the rows after the erasure are not read";
    EXPECT_EQ(0, own->saves);

    // A new sign-in may ask again, once more.
    social().postEvent(SOCIAL_GAMECENTER_LOGIN, nullptr);
    ASSERT_TRUE(frames([&] { return server.syncCount() == 4; }));
    frames([&] { return server.syncCount() > 4; }, 300);
    EXPECT_EQ(4, server.syncCount());
}

TEST_F(Social, ScoresOutsideWholeMetresAreIgnored) {
    platform::SocialFixture fixture;
    fixture.gameCenterId = "G:1";
    fixture.gameCenterAlias = "me";
    fixture.gameCenterFriends = {{"G:2", "two", ""}, {"G:3", "three", ""}};
    fixture.scores = {{"lb", "G:1", -5},       {"lb", "G:2", 0},           {"lb", "G:3", 4294967296LL},
                      {"lb", "G:2", 4294967295LL}, {"lb", "G:3", 1234},   {"other", "G:2", 99}};
    platform::setSocialFixture(fixture);
    OwnProfile* own = nullptr;
    sSocialPlatformSettings s = settings(&own);
    s.shareLink.clear();
    s.usePictures = 0;
    social().init(s);
    ASSERT_TRUE(frames([&] { return social().getFriends().size() == 2; }));

    std::vector<std::pair<std::string, int64_t>> got;
    bool answered = false;
    LogCapture log;
    social().gameCenterLoadScores("lb", [&](PlayerProfile* p, int64_t score) {
        got.push_back({p->gameCenterId, score});
        answered = true;
    });
    runFrames(3);
    ASSERT_TRUE(answered);
    const std::vector<std::pair<std::string, int64_t>> expected = {{"G:2", 4294967295LL}, {"G:3", 1234}};
    EXPECT_EQ(expected, got) << "the player's -5, the 0 and 2^32 are dropped";
    EXPECT_EQ(3, log.count("is no distance"));
    ASSERT_FALSE(platform::socialRecords().scoreQueries.empty());
    EXPECT_EQ((std::vector<std::string>{"G:1", "G:2", "G:3"}), platform::socialRecords().scoreQueries.back());
}

TEST_F(Social, DistancesReadFromTheServerAreHeldTo32Bits) {
    OwnProfile* own = nullptr;
    sSocialPlatformSettings s = settings(&own);
    s.shareLink.clear();
    s.useGameCenter = 0;
    social().init(s);
    struct Case {
        const char* text;
        uint32_t distance;
    } cases[] = {{"99999999999999999999999", UINT32_MAX}, {"4294967296", UINT32_MAX}, {"4294967295", UINT32_MAX},
                 {"-3", 0},   {"12abc", 12}, {"abc", 0}, {"", 0}, {"  42", 42}};
    for (const Case& c : cases) {
        Zelvan::FriendProfile f;
        f.readValues({{"distance_lb.a", c.text}});
        EXPECT_EQ(c.distance, f.getBestDistance("lb.a")) << c.text;
        EXPECT_TRUE(f.hasBestDistance("lb.b")) << "a missing key reads as 0";
        EXPECT_EQ(0u, f.getBestDistance("lb.b"));
    }
}

TEST_F(Social, IdsThatWouldLeaveTheDocumentsFolderNameNoFile) {
    IdentityServer server;
    sSocialPlatformSettings s = settings();
    s.shareLink.clear();
    s.useGameCenter = 0;
    social().init(s);
    LogCapture log;
    for (const char* id : {"../evil", "a/b", "..", "x..y", "a b", ""}) {
        PlayerProfile* f = social().addFacebookFriend(id, "sneaky", server.url("/pic/evil.jpg"));
        EXPECT_TRUE(f->facebook) << id;
        EXPECT_EQ("", f->facebookPicture) << id;
        PlayerProfile* g = social().addGameCenterFriend(id, "sneaky");
        EXPECT_EQ("", g->gameCenterPicture) << id;
        EXPECT_NE(f, g) << "a profile known from one service only is not found by the other's id";
    }
    EXPECT_EQ(12, log.count("can't name a picture file"));
    PlayerProfile* fine = social().addFacebookFriend("G:-_.9", "fine", server.url("/pic/fine.jpg"));
    EXPECT_EQ("pic.G:-_.9.jpg", fine->facebookPicture);
    ASSERT_TRUE(frames([&] { return fine->facebookPictureReady; }));
    std::lock_guard<std::mutex> guard(server.lock);
    EXPECT_EQ((std::set<std::string>{"/pic/fine.jpg"}), server.picturePaths) << "only the plain id was fetched";
    EXPECT_FALSE(fileExists(documents.path() + "/../evil.jpg"));
}

TEST_F(Social, APictureEventLetsItsHandlerCallBackIntoThePlatform) {
    IdentityServer server;
    sSocialPlatformSettings s = settings();
    s.shareLink.clear();
    s.useGameCenter = 0;
    social().init(s);
    RecordingHandler handler(std::this_thread::get_id());
    social().addHandler(&handler, 0);
    // The friends lock must be free while event 9 goes round: the handler takes it again.
    handler.onProfile = [&](PlayerProfile*) { social().addGameCenterFriend("G:9", "nine"); };
    social().addFacebookFriend("300", "Three", server.url("/pic/300.jpg"));
    ASSERT_TRUE(frames([&] { return handler.count(SOCIAL_FRIEND_PICTURE) == 1; }));
    EXPECT_EQ("Three", handler.events.back().profileName);
    EXPECT_EQ(2u, social().getFriends().size());

    // A failed download is not looked at: no event, the picture stays not ready.
    PlayerProfile* missing = social().addFacebookFriend("301", "Gone", "http://127.0.0.1:9/pic/301.jpg");
    runFrames(50);
    EXPECT_FALSE(missing->facebookPictureReady);
    EXPECT_EQ(1, handler.count(SOCIAL_FRIEND_PICTURE));
}

TEST_F(Social, CollectionRecordsAndSyncRows) {
    OwnProfile* own = nullptr;
    sSocialPlatformSettings s = settings(&own);
    s.shareLink.clear();
    s.useGameCenter = 0;
    social().init(s);
    // Rows: tokens split at ; , \r \t and blanks, empty lines dropped.
    auto rows = SocialPlatform::parseResponseRows("gen_id = 42\n\n gen_id=42 \r\na;b,c\td\n;;\n");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"gen_id", "=", "42"}), rows[0]);
    EXPECT_EQ((std::vector<std::string>{"gen_id=42"}), rows[1]);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), rows[2]);

    PlayerProfile* known = social().addFacebookFriend("100", "Hundred", "");
    PlayerProfile* other = social().addGameCenterFriend("G:7", "seven");
    known->facebookPictureReady = true;
    PlayerProfile* merged = social().applyCollected({{"gen_id", "7"}, {"fb_id", "100"}, {"distance_lb.a", "50"}});
    ASSERT_TRUE(merged);
    EXPECT_EQ(2u, social().getFriends().size());
    EXPECT_EQ("Hundred", merged->displayName());
    EXPECT_TRUE(merged->facebookPictureReady);
    EXPECT_EQ(other, social().getFriends().front());

    // A record of a known identifier updates that friend only; it keeps what the record leaves out.
    PlayerProfile* again = social().applyCollected({{"gen_id", "7"}, {"gc_id", "G:7"}});
    EXPECT_EQ(merged, again);
    EXPECT_EQ(2u, social().getFriends().size());
    EXPECT_EQ("100", again->facebookId);
    EXPECT_TRUE(again->gameCenter);
    // An id present but empty empties it and leaves the flag as it was.
    Zelvan::FriendProfile plain;
    plain.facebook = true;
    plain.facebookId = "8";
    plain.readValues({{"fb_id", ""}, {"gc_id", ""}});
    EXPECT_TRUE(plain.facebook);
    EXPECT_EQ("", plain.facebookId);
    EXPECT_FALSE(plain.gameCenter);
    EXPECT_EQ(nullptr, social().applyCollected({{"fb_id", "5"}})) << "no identifier, no friend";
    EXPECT_EQ(nullptr, social().applyCollected({{"gen_id", ""}}));
    own->facebook = true;
    own->facebookId = "1";
    EXPECT_EQ(nullptr, social().applyCollected({{"gen_id", "99"}, {"fb_id", "1"}})) << "the player is no friend";
    EXPECT_EQ(2u, social().getFriends().size());
}

TEST_F(Social, WithoutServerAddressesNothingIsSentAndOnlyTheServicesEventsArrive) {
    platform::SocialFixture fixture;
    fixture.playerId = "1";
    fixture.playerName = "One";
    fixture.friends = {{"2", "Two", "http://127.0.0.1:9/2.jpg"}};
    fixture.gameCenterId = "G:1";
    fixture.gameCenterAlias = "one";
    platform::setSocialFixture(fixture);
    sSocialPlatformSettings s = settings();
    s.usePictures = 0;
    social().init(s);
    RecordingHandler handler(std::this_thread::get_id());
    social().addHandler(&handler, 0);
    social().facebookLogin();
    runFrames(10);
    std::vector<int> seen;
    for (const Event& e : handler.events)
        seen.push_back(e.event);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ((std::vector<int>{SOCIAL_FACEBOOK_LOGIN, SOCIAL_FACEBOOK_FRIENDS, SOCIAL_GAMECENTER_LOGIN,
                                SOCIAL_GAMECENTER_FRIENDS}),
              seen);
    EXPECT_EQ(0u, NetworkManager::instance().activeCount());
    EXPECT_EQ("1", social().facebookAccessMark());
    ASSERT_EQ(1u, platform::socialRecords().friendQueries.size());
    EXPECT_NE(std::string::npos, platform::socialRecords().friendQueries[0].find("is_app_user=1"));
}

TEST_F(Social, HandlersByPriorityOnceEachAndEventsByKind) {
    RecordingHandler a(std::this_thread::get_id()), b(std::this_thread::get_id()), c(std::this_thread::get_id());
    std::vector<char> order;
    struct Tagging : ISocialEventHandler {
        Tagging(char t, std::vector<char>& o) : tag(t), out(o) {}
        void onPlayerEvent(int) override { out.push_back(tag); }
        char tag;
        std::vector<char>& out;
    };
    Tagging first('1', order), second('2', order), early('0', order);
    social().addHandler(&first, 5);
    social().addHandler(&second, 5);
    social().addHandler(&first, 5);
    social().addHandler(&early, -1);
    social().postEvent(SOCIAL_SHARE_DONE, nullptr);
    EXPECT_EQ((std::vector<char>{'0', '1', '2'}), order);
    {
        Tagging gone('x', order);
        social().addHandler(&gone, 0);
    }
    order.clear();
    social().postEvent(SOCIAL_SHARE_FAILED, nullptr);
    EXPECT_EQ((std::vector<char>{'0', '1', '2'}), order) << "a handler leaves the list when destroyed";

    social().addHandler(&a, 0);
    order.clear();
    Zelvan::FriendProfile f;
    social().postEvent(SOCIAL_FRIEND_PICTURE, &f);
    social().postEvent(SOCIAL_OWN_PICTURE, nullptr);
    ASSERT_EQ(2u, a.events.size());
    EXPECT_EQ(SOCIAL_FRIEND_PICTURE, a.events[0].event);
    EXPECT_EQ(SOCIAL_OWN_PICTURE, a.events[1].event);
    EXPECT_EQ((std::vector<char>{'0', '1', '2'}), order) << "event 9 goes to onProfileEvent only, 10 to onPlayerEvent";
    social().removeHandler(&first);
    social().removeHandler(&second);
    social().removeHandler(&early);
    social().removeHandler(&a);
}

TEST_F(Social, LoginFailuresSharingAndTheGameCentreScreen) {
    platform::SocialFixture fixture;
    fixture.playerId = "1";
    fixture.playerName = "One";
    platform::setSocialFixture(fixture);
    sSocialPlatformSettings s = settings();
    s.useGameCenter = 1;
    s.pictureMap["big"] = "http://apps.zelvan.example/big.png";
    platform::socialSwitches().auth = platform::SocialSwitches::AuthFails;
    social().init(s);
    RecordingHandler handler(std::this_thread::get_id());
    social().addHandler(&handler, 0);

    // Not signed in to the game centre: its screen opens as a URL.
    runFrames(3);
    social().gameCenterShow();
    EXPECT_EQ((std::vector<std::string>{"gamecenter:"}), platform::socialRecords().openedUrls);

    // A failed login: event 1 and the alert; a closed one: nothing.
    platform::socialSwitches().login = platform::SocialSwitches::LoginFails;
    social().facebookLogin();
    runFrames(3);
    ASSERT_EQ(1u, handler.events.size());
    EXPECT_EQ(SOCIAL_FACEBOOK_LOGIN_FAILED, handler.events[0].event);
    ASSERT_EQ(1u, platform::alertsShown().size());
    EXPECT_EQ("Facebook login failed!", platform::alertsShown()[0].title);
    EXPECT_EQ("Cancel", platform::alertsShown()[0].cancelButton);
    platform::socialSwitches().login = platform::SocialSwitches::LoginClosed;
    social().facebookLogin();
    runFrames(3);
    EXPECT_EQ(1u, handler.events.size());

    // Sharing while logged out logs in first; a second share before then replaces the first.
    platform::socialSwitches().login = platform::SocialSwitches::LoginSucceeds;
    social().facebookShare("Zelvan", "first", "");
    social().facebookShare("Zelvan", "I've survived 12 meters!", "big");
    EXPECT_EQ(3, platform::socialRecords().loginFlows);
    ASSERT_TRUE(frames([&] { return handler.count(SOCIAL_SHARE_DONE) == 1; }));
    ASSERT_EQ(1u, platform::socialRecords().sharesPresented.size());
    auto shared = platform::socialRecords().sharesPresented[0];
    EXPECT_EQ("I've survived 12 meters!", shared["description"]);
    EXPECT_EQ("http://apps.zelvan.example/big.png", shared["picture"]);
    EXPECT_EQ("http://apps.zelvan.example/app", shared["link"]);
    EXPECT_EQ("Zelvan", shared["name"]);
    EXPECT_LT(handler.first(SOCIAL_FACEBOOK_LOGIN), handler.first(SOCIAL_SHARE_DONE));

    // Logged in: shown at once; cancelled in the feed dialog is event 3.
    platform::socialSwitches().nativeShareDialog = false;
    platform::socialSwitches().share = platform::SocialSwitches::ShareCancelled;
    social().facebookShare("Zelvan", "again", "missing");
    ASSERT_TRUE(frames([&] { return handler.count(SOCIAL_SHARE_FAILED) == 1; }));
    EXPECT_EQ("feed", platform::socialRecords().shareDialogKinds.back());
    EXPECT_EQ("", platform::socialRecords().sharesPresented.back().at("picture"));

    social().twitterCompose("12 meters");
    EXPECT_EQ((std::vector<std::string>{"12 meters"}), platform::socialRecords().twitterTexts);
}

TEST_F(Social, WithoutAShareLinkTheSocialNetworkStaysOff) {
    platform::SocialFixture fixture;
    fixture.playerId = "1";
    platform::setSocialFixture(fixture);
    {
        ProfileStore earlier;
        earlier.setFile(documents.file("player.profile"), kMagic, kPassword);
        earlier.setAccessMark("1");
        ASSERT_TRUE(earlier.saveProfile());
    }
    sSocialPlatformSettings s = settings();
    s.shareLink.clear();
    s.useGameCenter = 0;
    social().init(s);
    social().facebookLogin();
    social().facebookShare("a", "b", "");
    social().facebookQueryFriends();
    EXPECT_FALSE(social().facebookHandleOpenURL("fb123://authorize", "app"));
    runFrames(3);
    EXPECT_EQ(0, platform::socialRecords().loginFlows);
    EXPECT_TRUE(platform::socialRecords().sharesPresented.empty());
    EXPECT_TRUE(platform::socialRecords().friendQueries.empty());
    EXPECT_FALSE(social().getMyProfile()->facebook);
}

TEST_F(Social, PausingAndTheBackgroundSaveTheProfileAndScoresAreReported) {
    OwnProfile* own = nullptr;
    sSocialPlatformSettings s = settings(&own);
    s.shareLink.clear();
    social().init(s);
    social().OnAppPause();
    EXPECT_EQ(0, own->savesAtSuspend) << "suspended before the save";
    EXPECT_EQ(1, own->saves);
    social().OnEnterBackground();
    EXPECT_EQ(2, own->saves);
    EXPECT_TRUE(fileExists(documents.file("player.profile")));
    social().gameCenterReportScore("lb.a", 1234);
    ASSERT_EQ(1u, platform::socialRecords().reportedScores.size());
    EXPECT_EQ(std::make_pair(std::string("lb.a"), (int64_t)1234), platform::socialRecords().reportedScores[0]);
}

TEST_F(Social, TheDeviceIdentifierIsMadeOnceAndKept) {
    const std::string first = social().getDeviceId();
    ASSERT_EQ(36u, first.size());
    EXPECT_EQ('4', first[14]) << "a version-4 UUID";
    EXPECT_NE(std::string::npos, std::string("89AB").find(first[19]));
    platform::reloadUserDefaults();
    EXPECT_EQ(first, social().getDeviceId());
    std::string stored;
    ASSERT_TRUE(platform::getUserDefaultString("identifierForVendor", stored));
    EXPECT_EQ(first, stored);
}

TEST_F(Social, KeychainItemsLiveApartFromTheDocumentsAndFailuresAreLogged) {
    EXPECT_EQ("", social().keychainGetString("zelvan10"));
    social().keychainSetString("zelvan10", "120.3.abc");
    social().keychainSetString("zelvan10", "121.3.def");
    EXPECT_EQ("121.3.def", social().keychainGetString("zelvan10"));
    EXPECT_EQ("121.3.def", readFile(keychain.file("zelvan10.item")));
    EXPECT_FALSE(fileExists(documents.file("zelvan10.item")));
    EXPECT_FALSE(fileExists(keychain.file("zelvan10.item.tmp")));

    LogCapture log;
    platform::socialSwitches().keychainWritesFail = true;
    social().keychainSetString("zelvan10", "1.1.x");
    social().keychainSetString("other", "1");
    EXPECT_EQ("121.3.def", social().keychainGetString("zelvan10")) << "a failed write keeps the item";
    platform::socialSwitches().keychainWritesFail = false;
    platform::socialSwitches().keychainReadsFail = true;
    social().keychainSetString("zelvan10", "2.2.y");
    EXPECT_EQ("", social().keychainGetString("zelvan10"));
    const std::vector<std::string> expected = {"SecItemUpdate failed: -36", "SecItemAdd failed: -36",
                                               "SecItemCopyMatching failed: -36"};
    EXPECT_EQ(expected, log.errors());
}

TEST_F(Social, PlainHttpForPictureAddresses) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"HTTPS://Host/Pic", "http://Host/Pic"}, {"hTTpS://x", "http://x"}, {"HTTP://AB/C", "http://aB/C"},
                 {"Https:/", "Https:/"}, {"", ""}};
    for (const Case& c : cases)
        EXPECT_EQ(c.out, SocialPlatform::toPlainHttp(c.in)) << c.in;
}

// Friends' rankings over friend profiles of the platform's list.
TEST_F(Social, RankingsKeepFriendsAheadOnEqualDistancesAndCutAtTheCount) {
    OwnProfile* own = nullptr;
    sSocialPlatformSettings s = settings(&own);
    s.shareLink.clear();
    s.useGameCenter = 0;
    s.usePictures = 0;
    {
        LogCapture log;
        social().init(s);
        EXPECT_TRUE(log.errors().empty()) << "a first start without a profile file is no error";
    }
    using Ranking = std::vector<Zelvan::RankingEntry>;
    EXPECT_EQ((Ranking{{"Me", 0u}}), Zelvan::buildFriendsRanking(own, "lb.a", 5)) << "no friends";

    auto add = [&](const char* id, const char* name, uint32_t d) {
        auto* f = dynamic_cast<Zelvan::FriendProfile*>(social().addFacebookFriend(id, name, ""));
        if (d)
            f->setBestDistance("lb.a", d);
        return f;
    };
    add("1", "Ann", 500);
    add("2", "Ben", 500);
    Zelvan::FriendProfile* zero = add("3", "Zero", 0);
    zero->readValues({{"distance_lb.a", "0"}});
    add("4", "Dan", 700);
    Zelvan::FriendProfile* both = add("5", "Facebook name", 10);
    both->gameCenter = true;
    both->gameCenterAlias = "alias";
    own->setBestDistance("lb.a", 500);
    own->setBestDistance("lb.a", 300);
    EXPECT_EQ(500u, own->getBestDistance("lb.a"));

    EXPECT_EQ((Ranking{{"Dan", 700u}, {"Ann", 500u}, {"Ben", 500u}, {"Me", 500u}, {"Facebook name", 10u}}),
              Zelvan::buildFriendsRanking(own, "lb.a", 99));
    EXPECT_EQ((Ranking{{"Dan", 700u}, {"Ann", 500u}}), Zelvan::buildFriendsRanking(own, "lb.a", 2));
    EXPECT_TRUE(Zelvan::buildFriendsRanking(own, "lb.a", 0).empty());
    EXPECT_EQ((Ranking{{"Me", 0u}}), Zelvan::buildFriendsRanking(own, "lb.other", 3));
}

}  // namespace

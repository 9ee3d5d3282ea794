// The outside services as the game reaches them: interstitials, the rewarded video, the banner,
// analytics, local notifications, and the recording and offer operations that do nothing.

#include <sstream>
#include <thread>

#include "PlatformTestSupport.h"
#include "engine/plat_linux/AdServices.h"
#include "engine/plat_linux/Analytics.h"
#include "engine/plat_linux/LocalNotifications.h"
#include "engine/plat_linux/MainThreadQueue.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/services.h"

using namespace platformtest;

namespace {

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset();
        setRoot(540, 960);
    }
    void TearDown() override { reset(); }
    static void reset() {
        platform::clearMainThreadTasks();
        platform::resetAdServices();
        platform::resetAnalytics();
        platform::clearNotificationRecords();
    }
    static void setRoot(float width, float height) {
        platform::setRootViewSource([width, height] {
            platform::RootView root;
            root.exists = true;
            root.width = width;
            root.height = height;
            return root;
        });
    }
    // One turn of the main run loop.
    static void turn() { platform::runMainThreadTasks(); }

    testsupport::TempDir _docs;
    testsupport::ScopedStores _stores{testsupport::contentDir(), _docs.path()};
};

// The game's side of a rewarded video: counts the closes and the threads they arrived on.
class VideoWatcher : public VungleHandler {
public:
    void onVideoClosed() override {
        ++closes;
        threads.push_back(std::this_thread::get_id());
    }
    int closes = 0;
    std::vector<std::thread::id> threads;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Interstitials

TEST_F(ServicesTest, GameOverInterstitialShowsWhenCachedAndIsCachedAgain) {
    EXPECT_FALSE(hasChartboostInterstitial());
    showChartboostInterstitial();  // before any start: nothing shown, nothing asked for

    startChartboost("a1f0c9e7b3d2a8f6c4e1b9d7", "0e9d8c7b6a5f4e3d2c1b0a9f8e7d6c5b4a3f2e1d");
    startChartboost("other", "other");  // a second start starts nothing
    platform::InterstitialService& service = platform::interstitialService();
    EXPECT_EQ(service.starts, 1);
    EXPECT_EQ(service.appId, "a1f0c9e7b3d2a8f6c4e1b9d7");
    EXPECT_FALSE(hasChartboostInterstitial());  // the service answers on a later turn
    turn();
    ASSERT_TRUE(hasChartboostInterstitial());
    EXPECT_TRUE(service.locations["Main Menu"].cached);
    EXPECT_EQ(service.locations["Main Menu"].cacheRequests, 1);

    showChartboostInterstitial();
    EXPECT_EQ(service.locations["Game Over"].shows, 1);
    EXPECT_EQ(service.locations["Game Over"].cacheRequests, 2);  // the next one asked for at once
    EXPECT_FALSE(hasChartboostInterstitial());
    turn();
    EXPECT_EQ(service.dismissals, 1);
    EXPECT_TRUE(hasChartboostInterstitial());
    EXPECT_EQ(service.locations["Main Menu"].shows, 0);  // cached, never shown
}

TEST_F(ServicesTest, NoInterstitialForGameOverShowsNothingAndAsksForNothing) {
    platform::interstitialService().locations["Game Over"].fills = false;
    startChartboost("id", "signature");
    turn();
    EXPECT_FALSE(hasChartboostInterstitial());
    EXPECT_TRUE(platform::interstitialService().locations["Main Menu"].cached);
    showChartboostInterstitial();
    EXPECT_EQ(platform::interstitialService().locations["Game Over"].shows, 0);
    EXPECT_EQ(platform::interstitialService().locations["Game Over"].cacheRequests, 1);
    EXPECT_EQ(platform::interstitialService().locations["Main Menu"].shows, 0);
}

// ---------------------------------------------------------------------------------------------------
// Rewarded video

TEST_F(ServicesTest, VideoClosesExactlyOnceOnTheMainThreadWhetherOrNotItPlays) {
    const struct {
        const char* name;
        bool fills, failsToPlay, offMainThread, root;
        int played;
    } cases[] = {
        {"plays", true, false, false, true, 1},
        {"plays, notices from the service's thread", true, false, true, true, 1},
        {"cached but fails to play", true, true, false, true, 0},
        {"cached but fails, service's thread", true, true, true, true, 0},
        {"nothing cached", false, false, false, true, 0},
        {"no root view to present on", true, false, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        if (c.root)
            setRoot(540, 960);
        platform::VideoService& video = platform::videoService();
        video.fills = c.fills;
        video.failsToPlay = c.failsToPlay;
        video.noticesOffMainThread = c.offMainThread;
        EXPECT_FALSE(isVungleAdCached());
        startVungle("402716367");
        EXPECT_TRUE(video.delegateSet);
        turn();
        EXPECT_EQ(isVungleAdCached(), c.fills);

        VideoWatcher watcher;
        playVungleAd(&watcher);
        EXPECT_EQ(watcher.closes, 0);  // never inside the call
        for (int i = 0; i < 3; ++i)
            turn();
        EXPECT_EQ(video.played, c.played);
        EXPECT_EQ(video.failed, 1 - c.played);
        ASSERT_EQ(watcher.closes, 1);
        EXPECT_EQ(watcher.threads[0], std::this_thread::get_id());
        // A video is cached again after each play.
        EXPECT_EQ(isVungleAdCached(), c.fills);
    }
}

TEST_F(ServicesTest, LaterPlayReplacesTheHandler) {
    startVungle("402716367");
    turn();
    VideoWatcher first, second;
    playVungleAd(&first);
    playVungleAd(&second);  // the first play's close comes after the handler changed
    for (int i = 0; i < 4; ++i)
        turn();
    EXPECT_EQ(first.closes, 0);
    EXPECT_EQ(second.closes, 2);

    playVungleAd(nullptr);  // a close with no handler does nothing
    for (int i = 0; i < 3; ++i)
        turn();
    EXPECT_EQ(second.closes, 2);
}

// ---------------------------------------------------------------------------------------------------
// Banner

TEST_F(ServicesTest, BannerIsPlacedShownAndHidden) {
    EXPECT_FALSE(showMopubBanner(0, 1));  // no banner yet
    hideMopubBanner();

    createMopubBanner("9a8b7c6d5e4f3a2b1c0d9e8f7a6b5c4d");
    platform::BannerView* banner = platform::bannerView();
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->adUnitId, "9a8b7c6d5e4f3a2b1c0d9e8f7a6b5c4d");
    EXPECT_FLOAT_EQ(banner->x, 110);  // centred at the bottom edge
    EXPECT_FLOAT_EQ(banner->y, 910);
    EXPECT_FLOAT_EQ(banner->width, 320);
    EXPECT_FLOAT_EQ(banner->height, 50);
    EXPECT_TRUE(banner->hidden);
    EXPECT_TRUE(banner->inViewTree);
    EXPECT_TRUE(banner->delegateSet);
    EXPECT_EQ(banner->loads, 1);

    // (top, bottom) -> y afterwards and the answer, from the banner at the bottom.
    const struct {
        int top, bottom;
        float y;
        bool atBottom;
    } steps[] = {
        {0, 1, 910, true}, {0, 1, 910, true}, {1, 1, 0, false}, {1, 1, 910, true},
        {1, 0, 0, false},  {0, 0, 0, false},  {0, 1, 910, true},
    };
    int refreshes = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(::testing::Message() << s.top << ", " << s.bottom);
        EXPECT_EQ(showMopubBanner(s.top, s.bottom), s.atBottom);
        EXPECT_FLOAT_EQ(banner->y, s.y);
        EXPECT_FLOAT_EQ(banner->x, 110);
        EXPECT_FALSE(banner->hidden);
        EXPECT_TRUE(banner->autoRefresh);
        EXPECT_TRUE(banner->inViewTree);
        EXPECT_EQ(banner->refreshes, ++refreshes);
    }

    hideMopubBanner();
    EXPECT_TRUE(banner->hidden);
    EXPECT_FALSE(banner->autoRefresh);
    EXPECT_FALSE(banner->inViewTree);
    EXPECT_TRUE(showMopubBanner(0, 1));  // the same banner goes back into the root view
    EXPECT_EQ(platform::bannerView(), banner);
    EXPECT_TRUE(banner->inViewTree);
    EXPECT_FALSE(banner->hidden);
}

TEST_F(ServicesTest, BannerWithoutRootView) {
    platform::setRootViewSource(nullptr);
    createMopubBanner("unit");
    platform::BannerView* banner = platform::bannerView();
    ASSERT_NE(banner, nullptr);
    EXPECT_FLOAT_EQ(banner->x, -160);
    EXPECT_FLOAT_EQ(banner->y, -50);
    EXPECT_FALSE(banner->inViewTree);
    EXPECT_TRUE(showMopubBanner(0, 1));
    EXPECT_FLOAT_EQ(banner->y, -50);
    EXPECT_FALSE(banner->inViewTree);
}

// Under the platform game object the banner sits in the real root view: the host's window of
// 64 x 96 points.
TEST(PlatformServices, BannerAndVideoUnderThePlatformGameObject) {
    platform::clearMainThreadTasks();
    platform::resetAdServices();
    {
        PlatformRun run;
        createMopubBanner("unit");
        ASSERT_NE(platform::bannerView(), nullptr);
        EXPECT_FLOAT_EQ(platform::bannerView()->x, (64.0f - 320.0f) * 0.5f);
        EXPECT_FLOAT_EQ(platform::bannerView()->y, 96.0f - 50.0f);
        EXPECT_TRUE(platform::bannerView()->inViewTree);

        startVungle("402716367");
        ASSERT_TRUE(run.turns(1));
        ASSERT_TRUE(isVungleAdCached());
        platform::videoService().failsToPlay = true;
        VideoWatcher watcher;
        playVungleAd(&watcher);
        ASSERT_TRUE(run.turns(2));  // the host's run loop delivers the close
        EXPECT_EQ(watcher.closes, 1);
    }
    platform::clearMainThreadTasks();
    platform::resetAdServices();
}

// ---------------------------------------------------------------------------------------------------
// Analytics

TEST_F(ServicesTest, AnalyticsEventsLandOneLineEach) {
    sendAnalyticsEvent("menu main", "play", "", 1);  // no tracker yet: lost
    EXPECT_EQ(platform::analyticsService().lost, 1);

    startAnalytics("UA-90463807-4");
    const platform::AnalyticsService& service = platform::analyticsService();
    EXPECT_FALSE(service.reportUncaughtExceptions);
    EXPECT_DOUBLE_EQ(service.dispatchInterval, 20.0);
    EXPECT_EQ(service.logLevel, 1);
    EXPECT_EQ(service.trackerId, "UA-90463807-4");

    sendAnalyticsEvent("menu map", "start", "", 1);
    sendAnalyticsEvent("menu results", "train", "Red\tline\nexpress", 1);
    sendAnalyticsEvent("menu results", "distance", "1234", 1);
    sendAnalyticsEvent("menu shop", nullptr, nullptr, -3);
    EXPECT_EQ(service.sent.size(), 4u);
    EXPECT_EQ(service.sent[1].label, "Red\tline\nexpress");

    EXPECT_EQ(platform::analyticsLogPath(), _docs.file("analytics.log"));
    const std::vector<std::string> expected = {
        "menu map\tstart\t\t1",
        "menu results\ttrain\tRed line express\t1",
        "menu results\tdistance\t1234\t1",
        "menu shop\t\t\t-3",
    };
    EXPECT_EQ(lines(testsupport::readFile(platform::analyticsLogPath())), expected);
}

// ---------------------------------------------------------------------------------------------------
// Local notifications, recording and offers

TEST_F(ServicesTest, EveryNotificationAsksPermissionAndRefusedOnesAreStillScheduled) {
    scheduleLocalNotification("Your train is ready", 0.0);
    EXPECT_EQ(platform::notificationPermissionRequests(), 1);
    EXPECT_EQ(platform::notificationPermissionTypes(), 7);
    platform::setNotificationsAllowed(false);
    scheduleLocalNotification("Come back", 60.0);
    EXPECT_EQ(platform::notificationPermissionRequests(), 2);

    const std::vector<platform::NotificationCall>& scheduled = platform::scheduledNotifications();
    ASSERT_EQ(scheduled.size(), 2u);
    EXPECT_EQ(scheduled[0].alertAction, "View");
    EXPECT_EQ(scheduled[0].sound, "default");
    EXPECT_EQ(scheduled[0].badge, 1);
    EXPECT_TRUE(scheduled[0].allowed);
    EXPECT_FALSE(scheduled[1].allowed);
    EXPECT_EQ(platform::applicationBadge(), 1);
    cancelLocalNotifications();
    EXPECT_TRUE(platform::scheduledNotifications().empty());
    EXPECT_EQ(platform::applicationBadge(), 0);
}

TEST_F(ServicesTest, RecordingAndOffersDoNothing) {
    startRecorder(nullptr);
    EXPECT_FALSE(isRecorderSupported());
    startRecording();
    pauseRecording();
    resumeRecording();
    stopRecording();
    playLastRecording();
    startLeadBolt(nullptr);
    EXPECT_FALSE(isLeadBoltAdReady());
    showLeadBoltAd(1);
    EXPECT_EQ(platform::pendingMainThreadTasks(), 0u);
}

}  // namespace

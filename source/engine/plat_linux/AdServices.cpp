#include "engine/plat_linux/AdServices.h"

#include <cstdio>
#include <thread>

namespace platform {
namespace {

const char* const kGameOver = "Game Over";
const char* const kMainMenu = "Main Menu";
const float kBannerWidth = 320.0f;
const float kBannerHeight = 50.0f;

std::string text(const char* s) { return s ? s : ""; }

// ---- The services as their client libraries would behave ----

struct Services {
    std::function<RootView()> rootViewSource;
    InterstitialService interstitials;
    VideoService video;
    std::unique_ptr<BannerView> banner;
    bool bannerFills = true;
};

Services& services() {
    static Services* s = new Services();
    return *s;
}

// ---- The delegates of the glue below; they live as long as the process ----

class ChartboostWrapperDelegate {
public:
    // The dismissal has no effect on the game.
    void didDismissInterstitial(const std::string& location) {
        (void)location;
        ++services().interstitials.dismissals;
    }
};

// The player watches a video to continue a run; the game mutes itself meanwhile and needs to hear
// that the video is over. The notices may come from any thread of the service: the handler runs
// game code, so it is always called from the main-thread queue.
VungleHandler* g_videoHandler = nullptr;

void closeVideoOnMainThread() {
    postMainThreadTask([] {
        if (g_videoHandler)
            g_videoHandler->onVideoClosed();
    });
}

class VungleDelegate {
public:
    static VungleDelegate* sharedDelegate() {
        static VungleDelegate delegate;
        return &delegate;
    }
    void willShowAd() {}
    void willCloseAd(bool willPresentProductSheet) {
        (void)willPresentProductSheet;
        closeVideoOnMainThread();
    }
    void willCloseProductSheet() {}
};

class MopubDelegate {
public:
    static MopubDelegate* sharedDelegate() {
        static MopubDelegate delegate;
        return &delegate;
    }
    RootView viewControllerForPresentingModalView() { return rootView(); }
    void adViewDidLoadAd() { std::fprintf(stderr, "adViewDidLoadAd\n"); }
    void adViewDidFailToLoadAd() { std::fprintf(stderr, "adViewDidFailToLoadAd\n"); }
    void willPresentModalViewForAd() { std::fprintf(stderr, "willPresentModalViewForAd\n"); }
    void didDismissModalViewForAd() { std::fprintf(stderr, "didDismissModalViewForAd\n"); }
    void willLeaveApplicationFromAd() { std::fprintf(stderr, "willLeaveApplicationFromAd\n"); }
};

struct Glue {
    bool interstitialStarted = false;
    ChartboostWrapperDelegate* interstitialDelegate = nullptr;
    ChartboostWrapperDelegate interstitialDelegateObject;
};

Glue& glue() {
    static Glue* g = new Glue();
    return *g;
}

// ---- Service behaviour: caching answers on a later turn, as do a shown ad's notices ----

void cacheInterstitial(const std::string& location, ChartboostWrapperDelegate* delegate) {
    (void)delegate;
    ++services().interstitials.locations[location].cacheRequests;
    postMainThreadTask([location] {
        InterstitialService& s = services().interstitials;
        if (s.starts > 0 && s.locations[location].fills)
            s.locations[location].cached = true;
    });
}

void showInterstitial(const std::string& location, ChartboostWrapperDelegate* delegate) {
    InterstitialLocation& l = services().interstitials.locations[location];
    if (!l.cached)
        return;
    l.cached = false;
    ++l.shows;
    std::fprintf(stderr, "[ads] interstitial shown at \"%s\"\n", location.c_str());
    postMainThreadTask([location, delegate] {
        if (delegate)
            delegate->didDismissInterstitial(location);
    });
}

void cacheVideo() {
    postMainThreadTask([] {
        VideoService& v = services().video;
        if (v.starts > 0 && v.fills)
            v.cached = true;
    });
}

// Sends a notice as the video service does: on the main thread's queue, or from a thread of its own.
void sendVideoNotice(std::function<void()> notice) {
    if (!services().video.noticesOffMainThread) {
        postMainThreadTask(std::move(notice));
        return;
    }
    std::thread(std::move(notice)).join();
}

// Answers whether the video could be shown; when it was, the service tells its delegate that the
// video shows and, once it was watched, that it closes.
bool playVideo() {
    VideoService& v = services().video;
    ++v.playRequests;
    const bool ready = v.starts > 0 && v.cached && !v.failsToPlay && rootView().exists;
    if (v.cached) {
        v.cached = false;
        cacheVideo();
    }
    if (!ready) {
        ++v.failed;
        std::fprintf(stderr, "[ads] rewarded video failed to play\n");
        return false;
    }
    ++v.played;
    std::fprintf(stderr, "[ads] rewarded video shown\n");
    VungleDelegate* delegate = v.delegateSet ? VungleDelegate::sharedDelegate() : nullptr;
    sendVideoNotice([delegate] {
        if (delegate)
            delegate->willShowAd();
    });
    sendVideoNotice([delegate] {
        ++services().video.closeNotices;
        if (delegate)
            delegate->willCloseAd(false);
    });
    return true;
}

void loadBanner() {
    ++services().banner->loads;
    postMainThreadTask([] {
        if (!services().banner || !services().banner->delegateSet)
            return;
        if (services().bannerFills)
            MopubDelegate::sharedDelegate()->adViewDidLoadAd();
        else
            MopubDelegate::sharedDelegate()->adViewDidFailToLoadAd();
    });
}

void addBannerToRootView() {
    BannerView& b = *services().banner;
    b.inViewTree = rootView().exists;
    if (b.inViewTree)
        ++b.adds;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Inspection

void setRootViewSource(std::function<RootView()> source) { services().rootViewSource = std::move(source); }

RootView rootView() {
    const std::function<RootView()>& source = services().rootViewSource;
    return source ? source() : RootView();
}

InterstitialService& interstitialService() { return services().interstitials; }
VideoService& videoService() { return services().video; }
BannerView* bannerView() { return services().banner.get(); }
void setBannerFills(bool fills) { services().bannerFills = fills; }

void resetAdServices() {
    Services& s = services();
    s.rootViewSource = nullptr;
    s.interstitials = InterstitialService();
    s.video = VideoService();
    s.banner.reset();
    s.bannerFills = true;
    glue().interstitialStarted = false;
    glue().interstitialDelegate = nullptr;
    g_videoHandler = nullptr;
}

}  // namespace platform

// ---------------------------------------------------------------------------------------------------
// The glue the game calls

using namespace platform;

void startChartboost(const char* appId, const char* appSignature) {
    Glue& g = glue();
    if (g.interstitialStarted)
        return;
    g.interstitialDelegate = &g.interstitialDelegateObject;
    InterstitialService& s = services().interstitials;
    ++s.starts;
    s.appId = text(appId);
    s.appSignature = text(appSignature);
    cacheInterstitial(kGameOver, g.interstitialDelegate);
    cacheInterstitial(kMainMenu, g.interstitialDelegate);
    g.interstitialStarted = true;
}

bool hasChartboostInterstitial() {
    auto it = services().interstitials.locations.find(kGameOver);
    return it != services().interstitials.locations.end() && it->second.cached;
}

void showChartboostInterstitial() {
    if (!hasChartboostInterstitial())
        return;
    showInterstitial(kGameOver, glue().interstitialDelegate);
    cacheInterstitial(kGameOver, glue().interstitialDelegate);
}

void startVungle(const char* appId) {
    VideoService& v = services().video;
    VungleDelegate::sharedDelegate();
    v.delegateSet = true;
    ++v.starts;
    v.appId = text(appId);
    cacheVideo();
}

bool isVungleAdCached() { return services().video.starts > 0 && services().video.cached; }

void playVungleAd(VungleHandler* handler) {
    g_videoHandler = handler;
    // A video that cannot be shown sends no closing notice; the handler hears the close all the
    // same, or the game would stay muted and the run wait for a video that never comes.
    if (!playVideo())
        closeVideoOnMainThread();
}

void createMopubBanner(const char* adUnitId) {
    // A second banner replaces the first, so only one ever sits in the view.
    services().banner.reset(new BannerView());
    BannerView& b = *services().banner;
    b.adUnitId = text(adUnitId);
    const RootView root = rootView();
    b.x = ((root.exists ? root.width : 0.0f) - kBannerWidth) * 0.5f;
    b.y = (root.exists ? root.height : 0.0f) - kBannerHeight;
    b.width = kBannerWidth;
    b.height = kBannerHeight;
    MopubDelegate::sharedDelegate();
    b.delegateSet = true;
    b.hidden = true;
    loadBanner();
    addBannerToRootView();
}

bool showMopubBanner(int32_t top, int32_t bottom) {
    BannerView* b = services().banner.get();
    if (!b)
        return false;
    const RootView root = rootView();
    const float rootHeight = root.exists ? root.height : 0.0f;
    float y = b->y;
    bool atBottom = false;
    if (top == 1 && bottom == 1) {
        atBottom = b->y == 0.0f;
        y = atBottom ? rootHeight - b->height : 0.0f;
    } else if (top == 1) {
        y = 0.0f;
    } else if (bottom != 0) {
        y = rootHeight - b->height;
        atBottom = true;
    }
    b->y = y;
    b->hidden = false;
    ++b->refreshes;
    b->autoRefresh = true;
    addBannerToRootView();
    std::fprintf(stderr, "[ads] banner shown at y %.0f\n", (double)y);
    return atBottom;
}

void hideMopubBanner() {
    BannerView* b = services().banner.get();
    if (!b)
        return;
    b->hidden = true;
    b->autoRefresh = false;
    b->inViewTree = false;
}

void startRecorder(IEveryPlayEventHandler* handler) { (void)handler; }
bool isRecorderSupported() { return false; }
void startRecording() {}
void pauseRecording() {}
void resumeRecording() {}
void stopRecording() {}
void playLastRecording() {}
void startLeadBolt(LeadBoltHandler* handler) { (void)handler; }
bool isLeadBoltAdReady() { return false; }
void showLeadBoltAd(int32_t kind) { (void)kind; }

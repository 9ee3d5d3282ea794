#pragma once
// Linux stand-ins for the advertising services behind engine/services.h: the interstitial service
// (locations "Game Over" and "Main Menu"), the rewarded-video service and the banner view of the
// mediation service, plus the root view they sit in. Their state is plain and public so tests can
// read it and flip the switches; every answer a real service would send later comes through the
// main-thread task queue (postMainThreadTask). Each show, play and banner change also writes one
// line to stderr. Main thread only, except where a switch says otherwise.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/platform.h"
#include "engine/services.h"

namespace platform {

// The root view controller's view (sizes in points): interstitials and videos are presented on its
// controller and the banner is placed in it. The platform layer installs the source.
struct RootView {
    bool exists = false;
    float width = 0, height = 0;
};
void setRootViewSource(std::function<RootView()> source);
RootView rootView();

struct InterstitialLocation {
    bool fills = true;  // switch: the service has an ad for this location when asked to cache
    bool cached = false;
    int cacheRequests = 0;
    int shows = 0;
};

struct InterstitialService {
    int starts = 0;  // service starts (one delegate is made per start)
    std::string appId, appSignature;
    std::map<std::string, InterstitialLocation> locations;
    int dismissals = 0;  // dismissal notices the delegate received
};
InterstitialService& interstitialService();

struct VideoService {
    // Switches.
    bool fills = true;                  // a video is cached after the start and after each play
    bool failsToPlay = false;           // a video reported cached fails when asked to play
    bool noticesOffMainThread = false;  // the service sends its notices from a thread of its own
    // State.
    int starts = 0;
    std::string appId;
    bool delegateSet = false;
    bool cached = false;
    int playRequests = 0;
    int played = 0;        // videos shown to the end
    int failed = 0;        // play requests that showed nothing
    int closeNotices = 0;  // "will close" notices the service sent
};
VideoService& videoService();

struct BannerView {
    std::string adUnitId;
    float x = 0, y = 0, width = 0, height = 0;  // frame, points
    bool hidden = true;
    bool inViewTree = false;  // a subview of the root view
    bool autoRefresh = false;
    bool delegateSet = false;
    int loads = 0;      // load requests
    int refreshes = 0;  // refresh requests
    int adds = 0;       // times added to the root view
};
// Null until createMopubBanner.
BannerView* bannerView();
// Switch: the banner's loads succeed (the delegate hears "loaded" or "failed to load").
void setBannerFills(bool fills);

// Everything back to its start state, switches included, and the root view source removed.
void resetAdServices();

}  // namespace platform

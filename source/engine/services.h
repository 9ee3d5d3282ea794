#pragma once
// The outside services the game reaches through the platform: interstitial ads, the rewarded
// video, the banner, usage analytics, gameplay recording and offer interstitials. The game passes
// plain texts, integers and its own handler objects, never a service's own interface. Local
// notifications are declared with the other system services in engine/platform.h.
//
// Every function is called on the main thread, and every handler is called on the main thread.

#include <cstdint>

// Told when a rewarded video closes: after it was watched, and also when it could not be played,
// so whoever muted the game for the video always gets it back.
class VungleHandler {
public:
    virtual void onVideoClosed() = 0;

protected:
    ~VungleHandler() = default;
};

// Gameplay recording's overlay (the recorder is not available in this system, so nobody calls it).
class IEveryPlayEventHandler {
public:
    virtual void onOverlayShown() = 0;
    virtual void onOverlayHidden() = 0;

protected:
    ~IEveryPlayEventHandler() = default;
};

// Offer interstitials (never ready in this system, so nobody calls it).
class LeadBoltHandler {
public:
    virtual void onAdShown() = 0;
    virtual void onAdClosed() = 0;
    virtual void onAdFailed() = 0;

protected:
    ~LeadBoltHandler() = default;
};

// ---- Interstitials ("Game Over" is shown; "Main Menu" is only cached) ----
// Starts the service once (later calls do nothing) and caches both locations.
void startChartboost(const char* appId, const char* appSignature);
// An interstitial is cached for "Game Over".
bool hasChartboostInterstitial();
// Shows the cached "Game Over" interstitial and caches the next one; nothing when none is cached.
void showChartboostInterstitial();

// ---- Rewarded video ----
void startVungle(const char* appId);
bool isVungleAdCached();
// Plays a video; the handler (replacing an earlier one) hears onVideoClosed exactly once for this
// play, on a later turn of the main thread, whether the video played or failed to.
void playVungleAd(VungleHandler* handler);

// ---- Banner (320 x 50 points, centred at the bottom of the root view, hidden until shown) ----
void createMopubBanner(const char* adUnitId);
// top/bottom: the placement asked for (the menu passes 0, 1: the bottom). Shows the banner and
// answers whether it sits at the bottom; false without a banner.
bool showMopubBanner(int32_t top, int32_t bottom);
void hideMopubBanner();

// ---- Analytics ----
// Makes the default tracker for the property id; events sent before it are lost.
void startAnalytics(const char* propertyId);
// Null texts count as empty.
void sendAnalyticsEvent(const char* category, const char* action, const char* label, int32_t value);

// ---- Gameplay recording and offer interstitials: not available, so these do nothing ----
void startRecorder(IEveryPlayEventHandler* handler);
bool isRecorderSupported();
void startRecording();
void pauseRecording();
void resumeRecording();
void stopRecording();
void playLastRecording();
void startLeadBolt(LeadBoltHandler* handler);
bool isLeadBoltAdReady();
void showLeadBoltAd(int32_t kind);

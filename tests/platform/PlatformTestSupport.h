#pragma once
// Helpers of the platform tests: a handler that records every call the platform makes, and one
// application run under the headless host (launched, then turned by the test).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/plat_iphone/CIphoneGame.h"
#include "engine/plat_linux/host/Host.h"

class RenderTarget;

namespace platformtest {

// Records the platform's calls as short texts ("OnUpdate", "OnAppPause", ...), in order.
class Recorder : public IGameEventHandler {
public:
    void OnInitWindow(int& generation, float unusedScale, int w, int h, sGameSettings& settings) override;
    bool OnAppStarted() override;
    int OnAppTerminate() override;
    void OnAppPause() override { calls.push_back("OnAppPause"); }
    void OnAppResume() override { calls.push_back("OnAppResume"); }
    void OnEnterBackground() override { calls.push_back("OnEnterBackground"); }
    void OnEnterForeground() override { calls.push_back("OnEnterForeground"); }
    void OnMemoryWarning() override { calls.push_back("OnMemoryWarning"); }
    void OnRender() override;
    void OnUpdate() override;
    bool OnOpenURL(const char* url, const char* source) override;
    void OnAccelerometer(const AccelerometerSample& sample) override;
    void OnRemoteNotificationToken(const char* token) override;
    void OnRemoteNotification(const char* alert, int badge, const char* sound) override;
    void OnLaunchURL(const char* url) override;
    int OnInputEvent(int source, const InputEvent& event) override;

    // The calls of one name, counted.
    int count(const std::string& name) const;
    // The calls without the per-frame ones (OnUpdate, OnRender).
    std::vector<std::string> lifeCycle() const;

    std::vector<std::string> calls;
    std::vector<InputEvent> inputs;
    std::vector<AccelerometerSample> samples;
    // What the handler does: ask for a draw at the end of every update (as the game does); on the
    // OpenGL ES path clear to this colour; draw through the current renderer's screen target.
    bool drawOnUpdate = true;
    float clearColour[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    bool useRenderer = false;
    float contentScale = -1;  // written into the settings by OnInitWindow when >= 0
    int frameInterval = 1;
    RenderTarget* screen = nullptr;
};

HostOptions headlessOptions(int width = 64, int height = 96);
sGameSettings gameSettings();

// One application under the headless host: created, launched ("became active" sent), not yet
// turned. The destructor ends it the way the program does.
class PlatformRun {
public:
    explicit PlatformRun(const HostOptions& options = headlessOptions(), const sGameSettings& settings = gameSettings());
    ~PlatformRun();
    // Turns the run loop n times; returns false when the application terminated on the way.
    bool turns(int n);
    // An event through the host as the window would deliver it, handled in the next turn.
    void post(const HostEvent& event) { host->postEvent(event); }
    void script(const std::string& text);

    Recorder recorder;
    Host* host = nullptr;
    int startResult = -1;
};

HostEvent touch(int phase, const std::vector<HostEvent::Finger>& fingers);
HostEvent lifeCycle(HostEvent::Kind kind);

}  // namespace platformtest

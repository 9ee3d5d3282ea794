#include "PlatformTestSupport.h"

#include <GLES2/gl2.h>

#include <algorithm>

#include "engine/plat_linux/PlatformPaths.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"

namespace platformtest {

void Recorder::OnInitWindow(int& generation, float unusedScale, int w, int h, sGameSettings& settings) {
    calls.push_back("OnInitWindow " + std::to_string(generation) + " " + std::to_string((int)unusedScale) + " " +
                    std::to_string(w) + "x" + std::to_string(h));
    if (contentScale >= 0)
        settings.contentScale = contentScale;
}

bool Recorder::OnAppStarted() {
    calls.push_back("OnAppStarted");
    IGame* game = IGame::instance();
    game->SetOrientationMode(0);
    game->SetAnimationFrameInterval(frameInterval);
    game->SetAnimating(true);
    // The platform is not active yet: this must not draw.
    game->RequestDraw();
    if (useRenderer && Render::current())
        screen = Render::current()->createRenderTarget();
    return true;
}

int Recorder::OnAppTerminate() {
    calls.push_back("OnAppTerminate");
    if (screen) {
        if (Render* render = Render::current()) {
            auto& targets = render->targets;
            targets.erase(std::remove(targets.begin(), targets.end(), screen), targets.end());
        }
        delete screen;
        screen = nullptr;
    }
    return 0;
}

void Recorder::OnRender() {
    calls.push_back("OnRender");
    if (useRenderer) {
        if (Render* render = Render::current()) {
            render->beginFrame();
            render->render();
        }
        return;
    }
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Recorder::OnUpdate() {
    calls.push_back("OnUpdate");
    if (drawOnUpdate && IGame::instance())
        IGame::instance()->RequestDraw();
}

bool Recorder::OnOpenURL(const char* url, const char* source) {
    calls.push_back(std::string("OnOpenURL ") + url + " [" + source + "]");
    return true;
}

void Recorder::OnAccelerometer(const AccelerometerSample& sample) { samples.push_back(sample); }

void Recorder::OnRemoteNotificationToken(const char* token) { calls.push_back(std::string("OnToken ") + token); }

void Recorder::OnRemoteNotification(const char* alert, int badge, const char* sound) {
    calls.push_back(std::string("OnRemoteNotification ") + alert + " " + std::to_string(badge) + " " + sound);
}

void Recorder::OnLaunchURL(const char* url) { calls.push_back(std::string("OnLaunchURL ") + url); }

int Recorder::OnInputEvent(int source, const InputEvent& event) {
    (void)source;
    inputs.push_back(event);
    return 0;
}

int Recorder::count(const std::string& name) const { return (int)std::count(calls.begin(), calls.end(), name); }

std::vector<std::string> Recorder::lifeCycle() const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
        if (c != "OnUpdate" && c != "OnRender")
            out.push_back(c);
    return out;
}

HostOptions headlessOptions(int width, int height) {
    HostOptions o;
    o.headless = true;
    o.fixedDt = true;
    o.width = width;
    o.height = height;
    o.manualLoop = true;
    o.screenshotEvery = 0;
    o.content = testsupport::contentDir();
    return o;
}

sGameSettings gameSettings() {
    sGameSettings s;
    s.colorBits = 24;
    s.depthBits = 24;
    s.reservedFlag = 1;
    s.accelerometerHz = 60.0;
    return s;
}

PlatformRun::PlatformRun(const HostOptions& options, const sGameSettings& settings) {
    host = Host::create(options);
    if (!host) {
        ADD_FAILURE() << "no host";
        return;
    }
    char name[] = "zelvan";
    char* argv[] = {name, nullptr};
    startResult = CIphoneGame::Start(1, argv, settings, &recorder);
}

PlatformRun::~PlatformRun() { CIphoneGame::destroyInstance(); }

bool PlatformRun::turns(int n) {
    for (int i = 0; i < n; ++i)
        if (!host->turn())
            return false;
    return true;
}

void PlatformRun::script(const std::string& text) {
    std::vector<std::string> errors;
    host->addScript(parseHostScript(text, errors));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

HostEvent touch(int phase, const std::vector<HostEvent::Finger>& fingers) {
    HostEvent e;
    e.kind = HostEvent::Touch;
    e.phase = phase;
    e.fingers = fingers;
    return e;
}

HostEvent lifeCycle(HostEvent::Kind kind) {
    HostEvent e;
    e.kind = kind;
    return e;
}

}  // namespace platformtest

#pragma once
// The one harness of every test that drives the game: a temporary documents folder, the sample
// content, a fixed frame time, fixed seeds, the shared headless EGL context and no sound device.
// A test may put configuration keys of its own in front of the sample's (a key keeps its first
// value), load the game through the loader, then drive it by frames, events and touches. The
// options below (device class, seed, a second stage in one program, drawn frames) are set before
// loading; beginLoading stops with the application started and the loader's steps still to come.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/plat_linux/AdServices.h"
#include "engine/plat_linux/Analytics.h"
#include "engine/plat_linux/MainThreadQueue.h"
#include "engine/plat_linux/RunServices.h"
#include "engine/plat_linux/SocialServices.h"
#include "engine/plat_linux/storekit/StoreKit.h"
#include "engine/platform.h"
#include "engine/random.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/gles2/EglHeadless.h"
#include "engine/ui/Page.h"
#include "engine/ui/UiEvent.h"
#include "engine/ui/View.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/stage/ZelvanApplication.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"

using namespace Zelvan;

// The host's game object; it keeps the addresses the game asked the system to open.
class GameFixtureGame : public testsupport::FixedSizeGame {
public:
    using FixedSizeGame::FixedSizeGame;
    void OpenURL(const char* url) override { openedUrls.push_back(url ? url : ""); }
    std::vector<std::string> openedUrls;
};

class GameFixture : public ::testing::Test {
protected:
    static constexpr int kWidth = 270, kHeight = 480;
    static constexpr float kDt = 1.0f / 60.0f;

    GameFixture() : _stores(testsupport::contentDir(), _documents.path()), _game((float)kWidth, (float)kHeight) {}

    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 0);
        ASSERT_NE(EglHeadless::shared(kWidth, kHeight), nullptr) << "no headless EGL context";
        IGame::setInstance(&_game);
        Clock::setPaused(false);
        runReport() = RunReport();
        resetStandIns();
    }
    void TearDown() override {
        unload();
        Clock::setPaused(false);
        platform::clearLaunchSwitches();
        IGame::setInstance(nullptr);
        // The services' switches and records stay with the process: the next test starts clean.
        platform::clearMainThreadTasks();
        platform::resetAdServices();
        platform::resetAnalytics();
        platform::resetSocialServices();
    }

    // Loads the game through its loader to the end. The fixture's configuration text, when given,
    // is read before the sample's, so its keys win. The autopilot drives runs unless told not to.
    void load(const std::string& fixture = std::string(), bool autopilot = true) {
        beginLoading(fixture, autopilot);
        if (_menu)
            finishLoading();
    }
    // The first half of load: the application started, the stage and its menu made, the loader's
    // steps still to come.
    void beginLoading(const std::string& fixture = std::string(), bool autopilot = true) {
        using namespace Zelvan;
        if (_freshProgram)
            ConfigStore::instance().resetForTests();
        if (!fixture.empty()) {
            testsupport::writeFile(_documents.path() + "/data/configs/game_fixture.txt", fixture);
            ConfigStore::instance().loadFile("configs/game_fixture.txt", "");
        }
        if (_freshProgram)
            ResourceManager::instance().resetForTests();
        if (autopilot)
            platform::setLaunchSwitch("debug.autopilot", true);
        _app = Application::instance();
        int generation = _generation;
        _settings = sGameSettings();
        _app->OnInitWindow(generation, 1.0f, kWidth, kHeight, _settings);
        ASSERT_TRUE(_app->OnAppStarted());
        motherRandom().seed(_seed);
        autopilotRandom().seed(111);
        srand(_seed);
        _stage = Stage::get();
        ASSERT_NE(_stage, nullptr);
        _menu = _stage->getMenu();
        ASSERT_NE(_menu, nullptr);
    }
    // The second half of load: the loader's steps to the end.
    void finishLoading() {
        for (int i = 0; i < 5000 && !_stage->getLoader()->empty(); ++i)
            frame();
        ASSERT_TRUE(_stage->getLoader()->empty());
        ASSERT_NE(_stage->getPlayer(), nullptr);
    }
    // Ends the program's objects as quitting does; the documents folder stays for the next load.
    // The platform's stand-ins end with the program too: their answers on the way are dropped,
    // the ads services start afresh and the store reads its open transactions again.
    void unload() {
        Application::destroyInstance();
        _app = nullptr;
        _stage = nullptr;
        _menu = nullptr;
        resetStandIns();
    }
    // A fresh start of the platform's stand-ins (the store's transactions come from this test's
    // documents folder), so nothing of an earlier test or launch reaches the next one.
    static void resetStandIns() {
        platform::clearMainThreadTasks();
        platform::resetAdServices();
        storekit::restart();
    }

    void frame() { frame(kDt); }
    // One frame of the given length; drawn too when _drawEvery says so.
    void frame(float dt) {
        frameTime().dt = dt;
        frameTime().realDt = dt;
        _app->OnUpdate();
        ++_frameCount;
        if (_drawEvery > 0 && _frameCount % _drawEvery == 0)
            _app->OnRender();
    }
    void frames(int n) {
        for (int i = 0; i < n; ++i)
            frame();
    }
    // Frames until no panel change is pending; false when it never ends.
    bool settle(int limit = 300) {
        for (int i = 0; i < limit && _menu->isChangePending(); ++i)
            frame();
        return !_menu->isChangePending();
    }
    // Frames until the named panel is on screen; false when it never comes.
    bool reaches(const std::string& name, int limit = 300) {
        for (int i = 0; i < limit && current() != name; ++i)
            frame();
        return current() == name;
    }
    std::string current() const { return _menu->currentPanelName(); }
    // Frames until the panel has settled on screen (its items came in): it takes touches then.
    bool activates(const std::string& name, int limit = 300) {
        for (int i = 0; i < limit && !panel(name)->isActive(); ++i)
            frame();
        return panel(name)->isActive();
    }
    std::vector<std::string> history() const { return _menu->getHistory(); }
    Panel* panel(const std::string& name) const { return _menu->getPanelContainer()->findPanel(name); }

    // Runs the menu's event of that name as its button would, with the view given (none by default).
    void fire(const char* name, View* view = nullptr) {
        for (UiEvent* event : _menu->getEvents())
            if (std::string(event->name) == name) {
                event->execute(view);
                return;
            }
        ADD_FAILURE() << "no event " << name;
    }
    // The finger point (normalised, y down) at the centre of the first button of the panel's page
    // that runs the event on lift (or, for a button that acts as the finger goes down, on touch);
    // (-1, -1) when there is none.
    Vector3 buttonOf(const std::string& panelName, const char* event) const {
        Panel* p = panel(panelName);
        if (p && p->_page)
            for (View* view : p->_page->_views) {
                const UiEvent* bound = view->_upEvent ? view->_upEvent : view->_downEvent;
                if (bound && std::string(bound->name) == event)
                    return pointOf(view);
            }
        return Vector3(-1, -1, 0);
    }
    // The finger point (normalised, y down) at the centre of a view's screen rectangle.
    static Vector3 pointOf(const View* view) {
        return Vector3((view->_unionLow.x + view->_unionHigh.x) * 0.5f,
                       1.0f - (view->_unionLow.y + view->_unionHigh.y) * 0.5f, 0);
    }
    // A finger through the application, as the platform delivers it (pixels).
    void touch(int type, const Vector3& finger) {
        InputEvent event;
        event.type = type;
        event.finger = 0;
        event.x = finger.x * (float)kWidth;
        event.y = finger.y * (float)kHeight;
        _app->OnInputEvent(0, event);
    }
    void tap(const Vector3& finger) {
        touch(InputTouchBegan, finger);
        frame();
        touch(InputTouchEnded, finger);
        frame();
    }
    // Taps the panel's button of that event once the panel took the screen; false when the panel
    // never comes or has no such button.
    bool tapButton(const std::string& panelName, const char* event) {
        if (!reaches(panelName) || !activates(panelName))
            return false;
        const Vector3 at = buttonOf(panelName, event);
        if (at.x < 0)
            return false;
        tap(at);
        return true;
    }
    // One turn of the host's run loop for the platform's services: their answers posted so far
    // arrive (a video cached, a purchase finished, a share presented). Returns how many ran.
    size_t serviceTurn() { return platform::runMainThreadTasks(); }
    void serviceTurns(int n) {
        for (int i = 0; i < n; ++i)
            serviceTurn();
    }
    // A whole turn of the host's run loop: the services' answers, then a frame. Plain frames
    // leave those answers waiting.
    void turn() {
        serviceTurn();
        frame();
    }
    void turns(int n) {
        for (int i = 0; i < n; ++i)
            turn();
    }
    // How many events of that category and action the analytics service wrote to its log in the
    // documents folder.
    int analyticsCount(const std::string& category, const std::string& action) const {
        std::ifstream in(platform::analyticsLogPath());
        const std::string prefix = category + "\t" + action + "\t";
        int count = 0;
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, prefix.size(), prefix) == 0)
                ++count;
        return count;
    }
    // Makes the root view exist, as the platform layer does: videos and interstitials need it.
    void provideRootView() {
        platform::setRootViewSource([] {
            platform::RootView view;
            view.exists = true;
            view.width = (float)kWidth;
            view.height = (float)kHeight;
            return view;
        });
    }
    size_t menuCameras() const { return _stage->_cameraStacks._stacks[Stage::CameraMenu].size(); }

    testsupport::TempDir _documents;
    testsupport::ScopedStores _stores;
    GameFixtureGame _game;

    // How the next load starts; a test sets these before it loads.
    int _generation = 0;        // the device class the window reports (it sets the interface's scale)
    uint32_t _seed = 7;         // the game's random numbers (the autopilot's are always 111)
    bool _freshProgram = true;  // false: the configuration and resource cache an earlier stage of
                                // this process left stay, as for a second stage in one program
    int _drawEvery = 0;         // every n-th frame is drawn after its update (0: none; drawing
                                // changes nothing of the game, it shows what the frame drew)
    int _frameCount = 0;        // frames run so far (a test may set it back)
    sGameSettings _settings;    // what the window's set-up answered

    Application* _app = nullptr;
    Stage* _stage = nullptr;
    Menu* _menu = nullptr;
};

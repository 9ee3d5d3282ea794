// The platform layer under the headless host with a recording handler: launch order, life cycle,
// touches, the screen framebuffer's pixels, termination, scripts, the frame driver.

#include <GLES2/gl2.h>

#include <fstream>

#include "PlatformTestSupport.h"
#include "engine/plat_iphone/AppController.h"
#include "engine/plat_iphone/GLView.h"
#include "engine/plat_linux/host/UIKit.h"
#include "engine/utils.h"

using namespace platformtest;
using Strings = std::vector<std::string>;

TEST(PlatformLaunch, WindowAndStartBeforeTheFirstTickAndNothingDrawnBeforeActive) {
    PlatformRun run;
    ASSERT_EQ(run.startResult, 0);
    // The launch: the window set-up, the game's start (whose RequestDraw must not draw), then
    // "became active".
    EXPECT_EQ(run.recorder.calls, (Strings{"OnInitWindow 23 1 64x96", "OnAppStarted", "OnAppResume"}));
    EXPECT_EQ(run.host->presentCount(), 0);
    CIphoneGame* game = CIphoneGame::instance();
    ASSERT_NE(game, nullptr);
    EXPECT_FALSE(game->paused);
    EXPECT_EQ(game->GetWidth(), 64.0f);
    EXPECT_EQ(game->GetHeight(), 96.0f);
    EXPECT_EQ(game->GetScale(), 1.0f);
    ASSERT_NE(game->glView, nullptr);
    EXPECT_TRUE(game->glView->isAnimating());
    EXPECT_TRUE(ui::Application::shared().idleTimerDisabled);
    EXPECT_EQ(ui::AudioSession::shared().category(), "AVAudioSessionCategorySoloAmbient");

    ASSERT_TRUE(run.turns(1));
    EXPECT_EQ(run.recorder.count("OnUpdate"), 1);
    EXPECT_EQ(run.recorder.count("OnRender"), 1);
    EXPECT_EQ(run.host->presentCount(), 1);
}

TEST(PlatformLaunch, LaunchURLReachesTheGameAfterItStarted) {
    HostOptions options = headlessOptions();
    options.hasURL = true;
    options.url = "zelvan://safestart";
    PlatformRun run(options);
    EXPECT_EQ(run.recorder.lifeCycle(),
              (Strings{"OnInitWindow 23 1 64x96", "OnAppStarted", "OnLaunchURL zelvan://safestart", "OnAppResume"}));
}

// The game's mail composer is shown over the root view and its result takes it away again,
// whatever the result was.
TEST(PlatformLaunch, TheMailComposerIsPresentedAndItsResultDismissesIt) {
    PlatformRun run;
    ASSERT_EQ(run.startResult, 0);
    CIphoneGame* game = CIphoneGame::instance();
    ASSERT_NE(game, nullptr);
    ASSERT_NE(game->rootViewController, nullptr);
    for (int result : {0, 2, 7}) {
        SCOPED_TRACE(result);
        game->ShowMailComposer("Zelvan", "<b>812</b> meters", true);
        EXPECT_EQ(game->rootViewController->presentedModal(), "mail composer");
        MyUIViewController* controller = dynamic_cast<MyUIViewController*>(game->rootViewController);
        ASSERT_NE(controller, nullptr);
        controller->mailComposeControllerDidFinish(result);
        EXPECT_EQ(game->rootViewController->presentedModal(), "");
    }
}

TEST(PlatformLifeCycle, ScriptedEventsGiveTheHandlerCallsInOrderAndNoFramesWhileHidden) {
    PlatformRun run;
    run.script("1 resign\n2 background\n4 foreground\n5 active\n7 terminate\n");
    EXPECT_FALSE(run.turns(20));
    EXPECT_TRUE(run.host->terminated());
    EXPECT_EQ(run.recorder.lifeCycle(), (Strings{"OnInitWindow 23 1 64x96", "OnAppStarted", "OnAppResume", "OnAppPause",
                                                 "OnEnterBackground", "OnEnterForeground", "OnAppResume",
                                                 "OnAppTerminate"}));
    // Refreshes 0..6 ran; 2 and 3 were in the background (no tick); 1 to 4 inactive (no drawing).
    EXPECT_EQ(run.recorder.count("OnUpdate"), 5);
    EXPECT_EQ(run.recorder.count("OnRender"), 3);
}

TEST(PlatformLifeCycle, BackgroundWhileActiveResignsFirstAndEscapeTogglesThePause) {
    PlatformRun run;
    run.script("1 background\n2 active\n3 key down escape\n4 key down escape\n");
    ASSERT_TRUE(run.turns(5));
    EXPECT_EQ(run.recorder.lifeCycle(),
              (Strings{"OnInitWindow 23 1 64x96", "OnAppStarted", "OnAppResume", "OnAppPause", "OnEnterBackground",
                       "OnEnterForeground", "OnAppResume", "OnAppPause", "OnAppResume"}));
}

TEST(PlatformTerminate, AfterTerminationNothingReachesTheDroppedHandler) {
    PlatformRun run;
    run.post(lifeCycle(HostEvent::Terminate));
    EXPECT_FALSE(run.turns(1));
    const size_t calls = run.recorder.calls.size();
    EXPECT_EQ(run.recorder.calls.back(), "OnAppTerminate");
    // The platform object is no longer the instance, but lives (for the game's teardown).
    EXPECT_EQ(CIphoneGame::instance(), nullptr);
    ASSERT_NE(IGame::instance(), nullptr);
    EXPECT_EQ(IGame::instance()->GetWidth(), 0.0f);

    // The frame driver is stopped; a tick or any late event does nothing.
    EXPECT_EQ(ui::RunLoop::main().liveDisplayLinks(), 0u);
    EXPECT_EQ(ui::RunLoop::main().refresh(), 0);
    EXPECT_FALSE(run.host->turn());
    auto* delegate = dynamic_cast<AppController*>(run.host->delegate());
    ASSERT_NE(delegate, nullptr);
    delegate->update();
    delegate->drawView(nullptr);
    delegate->applicationDidBecomeActive();
    delegate->applicationWillResignActive();
    delegate->applicationWillTerminate();
    delegate->accelerometerDidAccelerate(1, 0, 0);
    EXPECT_FALSE(delegate->handleOpenURL("zelvan://x"));
    InputEvent e;
    e.type = InputKeyDown;
    InputHook::dispatch(e);
    IGame::instance()->RequestDraw();
    EXPECT_EQ(run.recorder.calls.size(), calls);
    EXPECT_TRUE(run.recorder.inputs.empty());
}

TEST(PlatformFramebuffer, PixelsReadBackTheColourTheHandlerClearedTo) {
    PlatformRun run;
    ASSERT_TRUE(run.turns(2));
    GLView* view = CIphoneGame::instance()->glView;
    ASSERT_NE(view, nullptr);
    EXPECT_NE(view->viewFramebuffer(), 0u);
    EXPECT_NE(view->depthRenderbuffer(), 0u);
    EXPECT_EQ(view->backingWidth(), 64);
    EXPECT_EQ(view->backingHeight(), 96);
    GLint colourFormat = 0;
    glBindRenderbuffer(GL_RENDERBUFFER, view->viewRenderbuffer());
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &colourFormat);
    EXPECT_EQ(colourFormat, 0x8058);  // RGBA8

    int w = 0, h = 0;
    std::vector<uint8_t> pixels = run.host->readPresentedPixels(w, h);
    ASSERT_EQ(pixels.size(), (size_t)64 * 96 * 4);
    for (size_t i : {size_t(0), pixels.size() / 2, pixels.size() - 4}) {
        EXPECT_NEAR(pixels[i + 0], 51, 1);
        EXPECT_NEAR(pixels[i + 1], 102, 1);
        EXPECT_NEAR(pixels[i + 2], 153, 1);
        EXPECT_EQ(pixels[i + 3], 255);
    }
}

TEST(PlatformFramebuffer, AnIncompleteFramebufferIsReportedOnceDroppedAndRetried) {
    testsupport::LogCapture log;
    PlatformRun run;
    ui::GLContext::setLayerStorageAvailable(false);
    ASSERT_TRUE(run.turns(4));
    EXPECT_EQ(log.count("failed to make complete framebuffer object"), 1);
    EXPECT_EQ(log.count("createFrameBuffer()"), 1);
    EXPECT_EQ(run.recorder.count("OnRender"), 0);
    EXPECT_EQ(run.host->presentCount(), 0);
    EXPECT_EQ(CIphoneGame::instance()->glView->viewFramebuffer(), 0u);

    ui::GLContext::setLayerStorageAvailable(true);
    ASSERT_TRUE(run.turns(2));
    EXPECT_EQ(run.recorder.count("OnRender"), 2);
    EXPECT_EQ(run.host->presentCount(), 2);
    EXPECT_EQ(log.count("failed to make complete framebuffer object"), 1);
}

// ---- Touches ----

struct TouchSeen {
    int type;
    int finger;
    float x, y;
};

static std::vector<TouchSeen> touchesOf(const Recorder& r) {
    std::vector<TouchSeen> out;
    for (const InputEvent& e : r.inputs)
        out.push_back(TouchSeen{e.type, e.finger, e.x, e.y});
    return out;
}

static void expectTouches(const std::vector<TouchSeen>& seen, const std::vector<TouchSeen>& want) {
    ASSERT_EQ(seen.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(seen[i].type, want[i].type) << "event " << i;
        EXPECT_EQ(seen[i].finger, want[i].finger) << "event " << i;
        EXPECT_FLOAT_EQ(seen[i].x, want[i].x) << "event " << i;
        EXPECT_FLOAT_EQ(seen[i].y, want[i].y) << "event " << i;
    }
}

TEST(PlatformTouches, SixthFingerIsReportedUntrackedAtAnotherFingersPlace) {
    PlatformRun run;
    run.script(
        "0 touch began 10 1 1 11 2 2 12 3 3 13 4 4 14 5 5 15 6 6\n"
        "1 touch ended 15 7 7\n"
        "2 touch moved 12 8 8\n");
    ASSERT_TRUE(run.turns(3));
    expectTouches(touchesOf(run.recorder), {{1, 0, 1, 1},
                                            {1, 1, 2, 2},
                                            {1, 2, 3, 3},
                                            {1, 3, 4, 4},
                                            {1, 4, 5, 5},
                                            {1, 5, 1, 1},
                                            // Its end frees no slot and is reported where finger 10 is.
                                            {2, 5, 1, 1},
                                            {3, 2, 8, 8}});
    EXPECT_TRUE(CIphoneGame::instance()->IsTouchDown());
}

TEST(PlatformTouches, UnseenMovesAndEndsTakeTheFirstFreeSlot) {
    PlatformRun run;
    run.script(
        "0 touch moved 7 30 40\n"     // never began: slot 0, kept
        "1 touch ended 9 5 6\n"       // never began: slot 1, freed at once
        "2 touch began 8 10 20\n"     // slot 1 again
        "3 touch cancelled 7 31 41\n" // frees slot 0
        "4 touch began 3 1 2\n");     // slot 0
    ASSERT_TRUE(run.turns(5));
    expectTouches(touchesOf(run.recorder),
                  {{3, 0, 30, 40}, {2, 1, 5, 6}, {1, 1, 10, 20}, {4, 0, 31, 41}, {1, 0, 1, 2}});
}

TEST(PlatformTouches, LiftingTwoOfThreeKeepsTheTouchDownAndPositionsArePixels) {
    sGameSettings settings = gameSettings();
    settings.contentScale = 2.0f;  // a preset scale stays: drawing pixels are twice the points
    PlatformRun run(headlessOptions(), settings);
    CIphoneGame* game = CIphoneGame::instance();
    EXPECT_EQ(game->GetWidth(), 128.0f);
    EXPECT_EQ(game->GetHeight(), 192.0f);
    EXPECT_EQ(game->GetPhysicalWidth(), 64.0f);

    run.script(
        "0 touch began 1 10 20 2 30 40 3 50 60\n"
        "1 touch ended 2 30 40 3 50 60\n");
    ASSERT_TRUE(run.turns(2));
    EXPECT_TRUE(game->IsTouchDown());
    float x = 0, y = 0;
    game->GetTouchPosition(x, y);
    EXPECT_EQ(x, 100.0f);
    EXPECT_EQ(y, 120.0f);
    expectTouches(touchesOf(run.recorder),
                  {{1, 0, 20, 40}, {1, 1, 60, 80}, {1, 2, 100, 120}, {2, 1, 60, 80}, {2, 2, 100, 120}});

    run.script("2 touch ended 1 11 21\n");
    ASSERT_TRUE(run.turns(1));
    EXPECT_FALSE(game->IsTouchDown());
    EXPECT_EQ(run.recorder.inputs.back().finger, 0);
    EXPECT_EQ(run.recorder.inputs.back().x, 22.0f);
}

TEST(PlatformTouches, WithoutTheInputHookTouchesReachNobody) {
    sGameSettings settings = gameSettings();
    settings.noInputHook = 1;
    PlatformRun run(headlessOptions(), settings);
    run.script("0 touch began 1 10 20\n0 key down left\n");
    ASSERT_TRUE(run.turns(1));
    EXPECT_TRUE(run.recorder.inputs.empty());
    EXPECT_TRUE(CIphoneGame::instance()->IsTouchDown());
}

TEST(PlatformKeys, KeysArriveAsKeyEventsAndADTiltTheDevice) {
    PlatformRun run;
    run.script(
        "0 key down left\n"
        "0 key up left shift\n"
        "1 key down a\n"
        "3 key up a\n"
        "4 tilt 0.5 -0.5 0.25\n");
    ASSERT_TRUE(run.turns(6));
    ASSERT_EQ(run.recorder.inputs.size(), 4u);
    EXPECT_EQ(run.recorder.inputs[0].type, InputKeyDown);
    EXPECT_EQ(run.recorder.inputs[0].keyCode, 72);
    EXPECT_EQ(run.recorder.inputs[1].type, InputKeyUp);
    EXPECT_EQ(run.recorder.inputs[1].modifiers, InputModifierCoarse);
    EXPECT_EQ(run.recorder.inputs[2].keyCode, 1);
    // One sample a refresh at 60 Hz: upright, tilted left while A is held, then the script's tilt.
    ASSERT_EQ(run.recorder.samples.size(), 6u);
    EXPECT_EQ(run.recorder.samples[0].x, 0.0);
    EXPECT_EQ(run.recorder.samples[0].y, -1.0);
    EXPECT_LT(run.recorder.samples[1].x, -0.5);
    EXPECT_LT(run.recorder.samples[2].x, -0.5);
    EXPECT_EQ(run.recorder.samples[3].x, 0.0);
    EXPECT_EQ(run.recorder.samples[4].x, 0.5);
    EXPECT_EQ(run.recorder.samples[4].z, 0.25);
}

TEST(PlatformKeys, AccelerometerOffWithZeroHz) {
    sGameSettings settings = gameSettings();
    settings.accelerometerHz = 0;
    PlatformRun run(headlessOptions(), settings);
    ASSERT_TRUE(run.turns(3));
    EXPECT_TRUE(run.recorder.samples.empty());
    EXPECT_EQ(ui::Accelerometer::shared().delegate, nullptr);
}

// ---- Scripts ----

TEST(PlatformScript, AScriptFileGivesTheSameCallsAsTheSameEventsPosted) {
    testsupport::TempDir dir;
    const std::string text =
        "# a tap, a swipe, a pause\n"
        "1 touch began 0 10 10\n"
        "2 touch moved 0 10 40\n"
        "3 touch ended 0 10 80\n"
        "3 key down right\n"
        "4 resign\n"
        "5 active\n"
        "6 memory\n"
        "7 url zelvan://open this\n"
        "8 terminate\n";
    testsupport::writeFile(dir.file("tour.txt"), text);

    Strings fromFile, posted;
    std::vector<InputEvent> fileInputs, postedInputs;
    {
        HostOptions options = headlessOptions();
        options.script = dir.file("tour.txt");
        PlatformRun run(options);
        EXPECT_FALSE(run.turns(20));
        fromFile = run.recorder.calls;
        fileInputs = run.recorder.inputs;
    }
    {
        PlatformRun run;
        std::vector<std::string> errors;
        std::vector<HostEvent> events = parseHostScript(text, errors);
        ASSERT_TRUE(errors.empty());
        ASSERT_EQ(events.size(), 9u);
        long frame = 0;
        for (const HostEvent& e : events) {
            for (; frame < e.frame; ++frame)
                ASSERT_TRUE(run.turns(1));
            run.post(e);
        }
        EXPECT_FALSE(run.turns(20));
        posted = run.recorder.calls;
        postedInputs = run.recorder.inputs;
    }
    EXPECT_EQ(fromFile, posted);
    ASSERT_EQ(fileInputs.size(), postedInputs.size());
    ASSERT_EQ(fileInputs.size(), 4u);
    for (size_t i = 0; i < fileInputs.size(); ++i) {
        EXPECT_EQ(fileInputs[i].type, postedInputs[i].type);
        EXPECT_EQ(fileInputs[i].y, postedInputs[i].y);
    }
    EXPECT_NE(std::find(fromFile.begin(), fromFile.end(), "OnOpenURL zelvan://open this []"), fromFile.end());
    EXPECT_NE(std::find(fromFile.begin(), fromFile.end(), "OnMemoryWarning"), fromFile.end());
}

TEST(PlatformScript, BadLinesAreReportedAndSkipped) {
    testsupport::LogCapture log;
    const char* bad[] = {
        "touch began 0 1 1",        // no frame
        "-3 resign",                // negative frame
        "5",                        // no event
        "5 touch began 0 1",        // finger without y
        "5 touch pressed 0 1 1",    // unknown phase
        "5 key down nokey",         // unknown key
        "5 key sideways left",      // neither down nor up
        "5 tilt 1 2",               // two numbers
        "5 resign now",             // trailing word
        "5 jump",                   // unknown event
        "5 key down left alt",      // unknown modifier
        "5 repeat",                 // no frame to go back to
        "5 repeat 5",               // back to itself: it would never end
        "5 repeat 9",               // forward
    };
    for (const char* line : bad) {
        std::vector<std::string> errors;
        EXPECT_TRUE(parseHostScript(line, errors).empty()) << line;
        EXPECT_EQ(errors.size(), 1u) << line;
    }
    std::vector<std::string> errors;
    auto events = parseHostScript("3 active\n\n# comment\n1 resign  # trailing comment\r\n2 jump\n", errors);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, HostEvent::Resign);  // ordered by frame
    EXPECT_EQ(events[1].kind, HostEvent::Active);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("line 5"), std::string::npos);
}

// A wait stops the script's count until the game reports the screen settled; a tap lifts
// meanwhile, touches given on another screen size are scaled to the window's (64x96).
TEST(PlatformScript, AWaitHoldsTheLinesAfterItUntilTheScreenSettles) {
    PlatformRun run;
    run.script("0 points 32 48\n1 tap 16 12\n1 await main|shop 50\n3 resign\n3 tap 5 5 on shop\n");
    ASSERT_TRUE(run.turns(10));
    ASSERT_EQ(run.recorder.inputs.size(), 2u) << "the tap went down and up while the script waited";
    EXPECT_EQ(run.recorder.inputs[0].type, InputTouchBegan);
    EXPECT_EQ(run.recorder.inputs[1].type, InputTouchEnded);
    EXPECT_FLOAT_EQ(run.recorder.inputs[0].x, 32.0f);
    EXPECT_FLOAT_EQ(run.recorder.inputs[0].y, 24.0f);
    EXPECT_EQ(run.recorder.count("OnAppPause"), 0);

    runReport().settledScreen = "main";
    // The wait ends on the next turn; the resign comes two counts after it.
    ASSERT_TRUE(run.turns(2));
    EXPECT_EQ(run.recorder.count("OnAppPause"), 0);
    ASSERT_TRUE(run.turns(4));
    EXPECT_EQ(run.recorder.count("OnAppPause"), 1);
    EXPECT_EQ(run.recorder.inputs.size(), 2u) << "the tap for another screen is passed over";
}

TEST(PlatformScript, AWaitInVainEndsTheProgramWithItsError) {
    testsupport::LogCapture log;
    PlatformRun run;
    run.script("2 await results 5\n20 resign\n");
    EXPECT_FALSE(run.turns(30));
    EXPECT_TRUE(run.host->terminated());
    EXPECT_EQ(run.recorder.count("OnAppPause"), 0);
    EXPECT_TRUE(log.contains("waited 5 frames for the screen \"results\" in vain")) << log.all();

    std::vector<std::string> errors;
    for (const char* line : {"5 await", "5 await main soon", "5 await main 0", "5 tap 1", "5 points 0 10",
                             "5 screenshot a b", "5 tap 1 2 at main"}) {
        errors.clear();
        EXPECT_TRUE(parseHostScript(line, errors).empty()) << line;
        EXPECT_EQ(errors.size(), 1u) << line;
    }
}

// A loop comes round again and again; a wait inside it holds each round until the screen settles.
TEST(PlatformScript, RepeatPlaysTheLoopAgainAndItsWaitHoldsEachRound) {
    PlatformRun run;
    run.script("1 memory\n3 await results 100000\n4 resign\n5 active\n6 repeat 1\n");
    ASSERT_TRUE(run.turns(30));
    EXPECT_EQ(run.recorder.count("OnMemoryWarning"), 1);
    EXPECT_EQ(run.recorder.count("OnAppPause"), 0);  // held at the wait

    // Settled: on it goes, and the loop comes round every five refreshes while the screen stays.
    runReport().settledScreen = "results";
    ASSERT_TRUE(run.turns(10));
    EXPECT_GE(run.recorder.count("OnAppPause"), 2);
    EXPECT_EQ(run.recorder.count("OnMemoryWarning"), run.recorder.count("OnAppPause") + 1);

    // Another screen: the loop waits again, for as long as it takes.
    runReport().settledScreen = "hud";
    const int pauses = run.recorder.count("OnAppPause"), warnings = run.recorder.count("OnMemoryWarning");
    ASSERT_TRUE(run.turns(100));
    EXPECT_EQ(run.recorder.count("OnAppPause"), pauses);
    EXPECT_LE(run.recorder.count("OnMemoryWarning"), warnings + 1);
    runReport().settledScreen.clear();
}

// ---- Frame driver ----

TEST(PlatformFrameDriver, DisplayLinkIntervalAndTimerFallback) {
    struct Case {
        const char* version;
        int interval;
        int updatesPerSecond;
    } cases[] = {{"17.0", 1, 60}, {"17.0", 2, 30}, {"3.0", 1, 50}, {"3.0", 2, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " interval " + std::to_string(c.interval));
        HostOptions options = headlessOptions();
        // The system version is read when the view is made, during the launch.
        Host* host = Host::create(options);
        ASSERT_NE(host, nullptr);
        ui::setSystemVersion(c.version);
        Recorder recorder;
        recorder.frameInterval = c.interval;
        char name[] = "zelvan";
        char* argv[] = {name, nullptr};
        ASSERT_EQ(CIphoneGame::Start(1, argv, gameSettings(), &recorder), 0);
        GLView* view = CIphoneGame::instance()->glView;
        EXPECT_EQ(view->displayLinkSupported(), std::string(c.version) != "3.0");
        EXPECT_EQ(view->animationFrameInterval(), c.interval);
        for (int i = 0; i < 60; ++i)
            host->turn();
        EXPECT_NEAR(recorder.count("OnUpdate"), c.updatesPerSecond, 1);
        // Below 1 is ignored; starting twice keeps one driver.
        view->setAnimationFrameInterval(0);
        EXPECT_EQ(view->animationFrameInterval(), c.interval);
        view->startAnimation();
        EXPECT_EQ(ui::RunLoop::main().liveDisplayLinks() + ui::RunLoop::main().liveTimers(), 1u);
        view->stopAnimation();
        view->stopAnimation();
        EXPECT_EQ(ui::RunLoop::main().liveDisplayLinks() + ui::RunLoop::main().liveTimers(), 0u);
        CIphoneGame::destroyInstance();
    }
}

TEST(PlatformFrameDriver, StopsAtTheFrameLimitAndPrintsTheSummary) {
    HostOptions options = headlessOptions();
    options.frames = 10;
    options.manualLoop = false;
    Host* host = Host::create(options);
    ASSERT_NE(host, nullptr);
    Recorder recorder;
    char name[] = "zelvan";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(CIphoneGame::Start(1, argv, gameSettings(), &recorder), 0);
    EXPECT_EQ(recorder.count("OnUpdate"), 10);
    EXPECT_EQ(recorder.calls.back(), "OnAppTerminate");
    const std::string summary = host->summaryLine();
    EXPECT_NE(summary.find("frames 10, game seconds 0.17"), std::string::npos) << summary;
    EXPECT_NE(summary.find("screens none"), std::string::npos) << summary;
    CIphoneGame::destroyInstance();
}

// The platform object's tables and forwarding: device models, notifications, URLs, orientation,
// audio-session failures, the program's options.

#include "PlatformTestSupport.h"
#include "engine/plat_iphone/AppController.h"
#include "engine/plat_iphone/GLView.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/plat_linux/RunServices.h"
#include "engine/plat_linux/host/UIKit.h"

using namespace platformtest;
using Strings = std::vector<std::string>;

TEST(PlatformDevice, ModelStringsMapToGenerations) {
    const struct {
        const char* model;
        int generation;
    } cases[] = {
        {"iPhone1,1", 0}, {"iPhone3,3", 3},  {"iPhone6,2", 6},  {"iPhone7,1", 8},  {"iPhone7,2", 7},
        {"iPod5,1", 13},  {"iPad2,7", 16},   {"iPad4,9", 22},   {"iPad5,4", 21},   {"x86_64", 23},
        {"i386", 23},     {"iPhone6,3", 25}, {"iPhone8,1", 25}, {"iPad4,10", 25},  {"iPad4,6", 24},
        {"iPod5,2", 25},  {"IPHONE2,9", 24}, {"AppleTV2,1", 25}, {"iPhone", 24},   {"", 25},
    };
    for (const auto& c : cases)
        EXPECT_EQ(deviceGenerationOf(c.model), c.generation) << c.model;

    platform::setMachineModel("");
    EXPECT_EQ(getDeviceGeneration(), deviceGenerationOf(platform::machineModel()));
    platform::setMachineModel("iPhone4,1");
    EXPECT_EQ(getDeviceGeneration(), 4);
    platform::setMachineModel("");
}

TEST(PlatformDelegate, NotificationsAndURLsAreForwarded) {
    PlatformRun run;
    auto* delegate = dynamic_cast<AppController*>(run.host->delegate());
    ASSERT_NE(delegate, nullptr);
    using V = ui::Value;
    delegate->didReceiveRemoteNotification(V::makeDictionary(
        {{"aps", V::makeDictionary({{"alert", V::makeDictionary({{"body", V::makeText("Come back")}})},
                                    {"sound", V::makeText("ping.caf")}})}}));
    delegate->didReceiveRemoteNotification(
        V::makeDictionary({{"aps", V::makeDictionary({{"alert", V::makeText("Hi")}, {"badge", V::makeInteger(3)}})}}));
    delegate->didReceiveRemoteNotification(V::makeDictionary({{"other", V::makeText("x")}}));  // no "aps": ignored
    delegate->didRegisterForRemoteNotificationsWithDeviceToken("<00ff>");
    const std::string source = "com.example.app";
    EXPECT_TRUE(delegate->openURL("zelvan://a", &source));
    EXPECT_TRUE(delegate->openURL("zelvan://b", nullptr));
    EXPECT_TRUE(delegate->handleOpenURL("zelvan://c"));
    Strings tail(run.recorder.calls.end() - 6, run.recorder.calls.end());
    EXPECT_EQ(tail, (Strings{"OnRemoteNotification Come back 0 ping.caf", "OnRemoteNotification Hi 3 ",
                             "OnToken <00ff>", "OnOpenURL zelvan://a [com.example.app]", "OnOpenURL zelvan://b []",
                             "OnOpenURL zelvan://c []"}));

    CIphoneGame::instance()->OpenURL("https://example.com");
    EXPECT_EQ(ui::Application::shared().openedURLs, (Strings{"https://example.com"}));
}

TEST(PlatformDelegate, OrientationAnswersFollowTheModeAndTheSupportedList) {
    PlatformRun run;
    CIphoneGame* game = CIphoneGame::instance();
    MyUIViewController* controller = MyUIViewController::instance();
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 6u);
    EXPECT_TRUE(controller->shouldAutorotateToInterfaceOrientation(ui::OrientationPortraitUpsideDown));
    EXPECT_FALSE(controller->shouldAutorotateToInterfaceOrientation(ui::OrientationLandscapeLeft));
    const Strings list{"UIInterfaceOrientationLandscapeRight"};
    ui::setInfoPlistArray("UISupportedInterfaceOrientations", &list);
    game->SetOrientationMode(1);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 24u);
    EXPECT_TRUE(controller->shouldAutorotateToInterfaceOrientation(ui::OrientationLandscapeRight));
    EXPECT_FALSE(controller->shouldAutorotateToInterfaceOrientation(ui::OrientationLandscapeLeft));
    EXPECT_FALSE(controller->shouldAutorotateToInterfaceOrientation(ui::OrientationPortrait));
    EXPECT_EQ(game->GetInterfaceOrientation(), 0);
    ui::Application::shared().statusBarOrientation = ui::OrientationLandscapeLeft;
    EXPECT_EQ(game->GetInterfaceOrientation(), 2);
}

TEST(PlatformDelegate, AudioSessionFailuresAreLoggedAndTheLaunchGoesOn) {
    testsupport::LogCapture log;
    HostOptions options = headlessOptions();
    Host* host = Host::create(options);
    ASSERT_NE(host, nullptr);
    ui::AudioSession::shared().failInitialize = true;
    ui::AudioSession::shared().failQuery = true;
    ui::AudioSession::shared().otherAudioPlaying = true;
    ui::AudioSession::shared().failSetCategory = true;
    Recorder recorder;
    char name[] = "zelvan";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(CIphoneGame::Start(1, argv, gameSettings(), &recorder), 0);
    EXPECT_TRUE(log.contains("AudioSessionInitialize() hiba"));
    EXPECT_TRUE(log.contains("AudioSessionGetProperty() hiba"));
    // A failed query counts as no other audio.
    EXPECT_TRUE(log.contains("setCategory:AVAudioSessionCategorySoloAmbient hiba"));
    EXPECT_EQ(recorder.calls.back(), "OnAppResume");
    CIphoneGame::destroyInstance();
}

TEST(PlatformOptions, CommandLinesParseOrAreRefused) {
    auto parse = [](std::vector<std::string> args, HostOptions& o, std::string& error) {
        args.insert(args.begin(), "zelvan");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        return parseHostOptions((int)argv.size(), argv.data(), o, error);
    };
    HostOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--headless"}, o, error)) << error;
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.fixedDt);
    EXPECT_EQ(o.width, 540);
    EXPECT_EQ(o.height, 960);
    EXPECT_FALSE(o.metal);
    EXPECT_EQ(o.frames, -1);

    ASSERT_TRUE(parse({"--headless", "--size", "320x480", "--metal", "--frames=5", "--seconds", "2.5", "--seed", "42",
                       "--autopilot", "--script", "s.txt", "--screenshots", "shots", "--screenshot-every", "0",
                       "--documents", "docs", "--content", "content", "--url", "safestart"},
                      o, error))
        << error;
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 480);
    EXPECT_TRUE(o.metal);
    EXPECT_EQ(o.frames, 5);
    EXPECT_EQ(o.seconds, 2.5);
    EXPECT_TRUE(o.hasSeed);
    EXPECT_EQ(o.seed, 42u);
    EXPECT_TRUE(o.autopilot);
    EXPECT_EQ(o.script, "s.txt");
    EXPECT_EQ(o.screenshots, "shots");
    EXPECT_EQ(o.screenshotEvery, 0.0);
    EXPECT_EQ(o.documents, "docs");
    EXPECT_EQ(o.content, "content");
    EXPECT_TRUE(o.hasURL);
    EXPECT_EQ(o.url, "safestart");

    const std::vector<std::vector<std::string>> bad = {
        {"--size", "540"},   {"--size", "0x10"}, {"--size", "10x10x"}, {"--frames", "-1"}, {"--frames", "many"},
        {"--seconds", "0"},  {"--seed", "-4"},   {"--frames"},          {"--bogus"},        {"--screenshot-every", "x"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(PlatformOptions, AutopilotSeedAndDocumentsReachTheRun) {
    testsupport::TempDir dir;
    HostOptions options = headlessOptions();
    options.autopilot = true;
    options.hasSeed = true;
    options.seed = 7;
    options.documents = dir.file("docs/nested");
    PlatformRun run(options);
    EXPECT_TRUE(getLaunchSwitch("debug.autopilot", false));
    EXPECT_FALSE(getLaunchSwitch("debug.other", false));
    const int first = rand();
    srand(7);
    EXPECT_EQ(first, rand());
    EXPECT_EQ(platform::documentsPath(), dir.file("docs/nested"));
}

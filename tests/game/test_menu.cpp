// The menu controller on the sample game, driven through the stage as the program drives it:
// the first screens after loading, panel changes through the queue and the back history, the
// message box and its answers, touches held back while a panel changes, the run flow (start,
// pause, resume, continue, restart, run end), the configuration's rounding and the progress
// colours, and the store registration.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/online/StoreManager.h"
#include "engine/plat_linux/RunServices.h"
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
#include "game/menu/ZelvanPanelExtension.h"
#include "game/stage/ZelvanApplication.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanLevelSet.h"

using namespace Zelvan;

namespace {

// Read before the sample's configuration (the first value of a key stays): a tutorial region other
// than the start region, and configurations for the rounding of ".rateGameNum" and the colours.
const char* kMenuFixture =
    "[level]\n"
    "tutorialLevelSet = regionHills\n"
    "[rateHalf]\nrateGameNum = 0.5\n"
    "[rateNegative]\nrateGameNum = -3\n"
    "[rateFraction]\nrateGameNum = 7.9\n"
    "[rateTwo]\nrateGameNum = 2\n"
    "[colours]\n"
    "progressbarColor1 = 0,0,1,1\n"
    "progressbarColor3 = 0.5,0.5\n";

// An extension that records what its panel tells it and takes every touch, also over views.
class RecordingExtension : public PanelExtension {
public:
    bool acceptsTouchOverView() override { return true; }
    void onShow(bool back) override { shows.push_back(back); }
    void onHide(bool forward) override { hides.push_back(forward); }
    bool touchBegan(int32_t, const Vector3&) override {
        ++began;
        return true;
    }
    bool touchMoved(int32_t, const Vector3&) override {
        ++moved;
        return true;
    }
    bool touchEnded(int32_t, const Vector3&) override {
        ++ended;
        return true;
    }
    std::vector<bool> shows, hides;
    int began = 0, moved = 0, ended = 0;
};

class MenuTest : public GameFixture {
protected:
    void load() { GameFixture::load(kMenuFixture); }
};

TEST_F(MenuTest, LoadingShowsTheTutorialFirstAndTheMainMenuAfterIt) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "tutorial") << "no profile yet: the tutorial comes first";
    const std::vector<std::string> seen = runReport().screensVisited;
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], "loading");
    EXPECT_EQ(seen[1], "tutorial");
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
    EXPECT_TRUE(history().empty());
    EXPECT_NE(_menu->getCameraHandle(), 0) << "the menu camera \"start\" is on its stack";
    EXPECT_EQ(menuCameras(), 1u);

    // Entering again (twice) leaves one menu camera and shows the main menu.
    _menu->enterMainMenu();
    ASSERT_TRUE(settle());
    _menu->enterMainMenu();
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "main");
    EXPECT_EQ(menuCameras(), 1u);
    EXPECT_NE(_menu->getCameraHandle(), 0);
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
}

TEST_F(MenuTest, PanelChangesGoThroughTheQueueAndTheBackHistory) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    _menu->enterMainMenu();
    ASSERT_TRUE(settle());
    ASSERT_EQ(current(), "main");
    RecordingExtension mainExt;
    panel("main")->addExtension(&mainExt);

    // The change waits for the next frame: the panel on screen stays at the front until then.
    EXPECT_TRUE(_menu->goToPanel("options", false));
    EXPECT_TRUE(_menu->isChangePending());
    EXPECT_EQ(current(), "main");
    EXPECT_EQ(history(), std::vector<std::string>({"main"}));
    EXPECT_TRUE(reaches("options"));
    EXPECT_EQ(mainExt.hides, std::vector<bool>({true})) << "left by a forward move";

    // A panel the container lacks queues nothing and records nothing.
    EXPECT_FALSE(_menu->goToPanel("nowhere", false));
    EXPECT_FALSE(_menu->showPanel("nowhere", false));
    EXPECT_EQ(_menu->getPanelQueue().size(), 1u);
    EXPECT_EQ(history(), std::vector<std::string>({"main"}));

    // Two moves in one frame record the first target, not the panel still on screen; the panels
    // come one after the other.
    EXPECT_TRUE(_menu->goToPanel("credits", false));
    EXPECT_TRUE(_menu->goToPanel("mission", false));
    EXPECT_EQ(history(), std::vector<std::string>({"main", "options", "credits"}));
    EXPECT_TRUE(reaches("credits"));
    EXPECT_TRUE(_menu->isChangePending());
    EXPECT_TRUE(reaches("mission"));

    EXPECT_TRUE(_menu->goBack(true));
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "credits");
    EXPECT_TRUE(_menu->dropHistory());
    EXPECT_EQ(history(), std::vector<std::string>({"main"}));
    EXPECT_TRUE(_menu->goBack(true));
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "main");
    EXPECT_EQ(mainExt.shows, std::vector<bool>({true})) << "came back";
    EXPECT_TRUE(history().empty());
    EXPECT_FALSE(_menu->goBack(true));
    EXPECT_FALSE(_menu->dropHistory());
    EXPECT_FALSE(_menu->isChangePending());

    // goBack drops the name it tried even when that panel is gone.
    _menu->_history.push_back("nowhere");
    EXPECT_TRUE(_menu->goBack(true));
    EXPECT_TRUE(history().empty());
    EXPECT_EQ(current(), "main");
}

TEST_F(MenuTest, MessageAnswersAreTakenOnceAndMayOpenAnotherMessage) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    _menu->enterMainMenu();
    ASSERT_TRUE(settle());

    std::vector<int> answers;
    _menu->showMessage(Menu::MessageYesNo, "Caption", "Text", [&](Menu*, int32_t a) { answers.push_back(a); });
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "message");
    EXPECT_EQ(history(), std::vector<std::string>({"main"}));
    fire("onMessageNo");
    fire("onMessageYes");
    EXPECT_EQ(answers, std::vector<int>({0})) << "No answers 0, and the answer is gone after it";

    // An answer that opens another message: the new message keeps its own answer.
    answers.clear();
    _menu->_history.clear();
    _menu->showMessage(Menu::MessageYesNo, "First", "", [&](Menu* menu, int32_t a) {
        answers.push_back(a);
        menu->showMessage(Menu::MessageOk, "Second", "", [&](Menu* m, int32_t b) {
            answers.push_back(10 + b);
            m->goBack(true);
        });
    });
    fire("onMessageYes");
    ASSERT_TRUE(settle());
    EXPECT_EQ(answers, std::vector<int>({1}));
    fire("onMessageOk");
    EXPECT_EQ(answers, std::vector<int>({1, 11}));
    fire("onMessageOk");
    EXPECT_EQ(answers, std::vector<int>({1, 11}));

    // closeMessage returns to where the message came from.
    _menu->enterMainMenu();
    ASSERT_TRUE(settle());
    _menu->showMessage(Menu::MessageOk, "Notice", "100%% sure", &Menu::closeMessage);
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "message");
    fire("onMessageOk");
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "main");
    EXPECT_TRUE(history().empty());
}

TEST_F(MenuTest, TheEventListHoldsEveryActionInPageOrder) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<UiEvent*>& events = _menu->getEvents();
    ASSERT_EQ(events.size(), 61u);
    std::set<std::string> names;
    for (UiEvent* event : events)
        names.insert(event->name);
    EXPECT_EQ(names.size(), 61u);
    const struct {
        size_t index;
        const char* name;
    } spots[] = {{0, "onTutorialStart"}, {1, "onMainStart"},    {10, "onMapStart"},   {27, "onShopCoin2"},
                 {37, "onMessageYes"},   {38, "onMessageOk"},   {39, "onMessageNo"},  {40, "onHudPause"},
                 {48, "onResultsCoin2"}, {57, "onPauseBack"},   {60, "onPauseRestart"}};
    for (const auto& spot : spots)
        EXPECT_STREQ(events[spot.index]->name, spot.name) << spot.index;
}

TEST_F(MenuTest, TouchesWaitWhileAPanelChangeIsPending) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    _menu->enterMainMenu();
    ASSERT_TRUE(settle());
    RecordingExtension ext;
    // Ahead of the main menu's own extension, which takes the touches off the buttons.
    panel("main")->_extensions.insert(panel("main")->_extensions.begin(), &ext);
    ASSERT_TRUE(activates("main"));
    const Vector3 point(0.5f, 0.5f, 0);

    _menu->touchBegan(0, point);
    EXPECT_EQ(ext.began, 1);
    // The panel asks to leave while the finger is down: the end still reaches the extension that
    // holds the touch; nothing new begins until the change is over.
    _menu->goToPanel("options", false);
    ASSERT_TRUE(_menu->isChangePending());
    _menu->touchMoved(0, point);
    _menu->touchEnded(0, point);
    EXPECT_EQ(ext.moved, 0);
    EXPECT_EQ(ext.ended, 1);
    _menu->touchBegan(0, point);
    _menu->touchEnded(0, point);
    EXPECT_EQ(ext.began, 1);
    EXPECT_EQ(ext.ended, 1);
    EXPECT_TRUE(_menu->getPanelContainer()->isChangePending());
    ASSERT_TRUE(settle());
    EXPECT_FALSE(_menu->getPanelContainer()->isChangePending());

    // Back on the main menu, touches flow again.
    _menu->goBack(true);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(activates("main"));
    _menu->touchBegan(0, point);
    _menu->touchEnded(0, point);
    EXPECT_EQ(ext.began, 2);
    EXPECT_EQ(ext.ended, 2);
}

TEST_F(MenuTest, ARunStartsFromTheMenuPausesResumesContinuesAndRestarts) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(settle());
    ActorPlayer* player = _stage->getPlayer();

    // Pausing while standing in the menus does nothing.
    _menu->pauseRun();
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
    EXPECT_FALSE(_menu->isChangePending());

    _menu->startRun();
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    EXPECT_EQ(_menu->getCameraHandle(), 0);
    EXPECT_EQ(menuCameras(), 0u) << "the menu camera goes when the run starts";
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "hud");
    EXPECT_TRUE(history().empty());
    frames(60);
    const float ridden = player->_goods._distance;
    EXPECT_GT(ridden, 1.0f);

    _menu->pauseRun();
    EXPECT_EQ(_stage->getState(), Stage::StatePaused);
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "pause");
    EXPECT_EQ(history(), std::vector<std::string>({"hud"}));
    frames(30);
    EXPECT_FLOAT_EQ(player->_goods._distance, ridden) << "paused";

    fire("onPauseResume");
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "hud");
    EXPECT_TRUE(history().empty());
    frames(10);
    EXPECT_GT(player->_goods._distance, ridden);

    // The run's end with a revive left: the revive panel, then the results.
    _menu->showRunEnd();
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "revive");
    EXPECT_EQ(history(), std::vector<std::string>({"hud", "results"}));

    _menu->continueRun();
    EXPECT_FALSE(_menu->_reviveAvailable);
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "hud");
    _menu->showRunEnd();
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "results") << "one revive a run";

    _menu->restartRun();
    EXPECT_TRUE(_menu->_reviveAvailable);
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    EXPECT_LT(player->_goods._distance, 1.0f) << "a fresh run";
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "hud");
    frames(30);
    EXPECT_GT(player->_goods._distance, 0.0f);

    // Leaving the run for the menus: standing, the menu camera back once.
    _menu->enterMainMenu();
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "main");
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
    EXPECT_EQ(menuCameras(), 1u);
}

TEST_F(MenuTest, TheTutorialStartsARunOnItsRegionOrNotAtAll) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(settle());
    ASSERT_EQ(current(), "tutorial");
    fire("onTutorialStart");
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    ASSERT_NE(_stage->getLevelGroupSet(), nullptr);
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionHills");
    ASSERT_TRUE(settle());
    EXPECT_EQ(current(), "hud");

    _menu->enterMainMenu();
    ASSERT_TRUE(settle());
    // The same configuration with a tutorial region no level set has.
    ConfigStore& cfg = ConfigStore::instance();
    cfg.resetForTests();
    testsupport::writeFile(_documents.path() + "/data/configs/menu_nowhere.txt", "[level]\ntutorialLevelSet = nowhere\n");
    cfg.loadFile("configs/menu_nowhere.txt", "");
    cfg.loadFile("configs/menu_fixture.txt", "");
    cfg.loadMainFile("configs/config.txt");
    _menu->startTutorial();
    EXPECT_EQ(_stage->getState(), Stage::StateStanding) << "no tutorial region: nothing happens";
    EXPECT_EQ(current(), "main");
}

TEST_F(MenuTest, TapsOnTheSamplePagesActOnceAndNotWhileAPanelChanges) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(reaches("tutorial"));
    ASSERT_TRUE(activates("tutorial"));

    // A double tap on the main menu's map button: the first changes the panel, the second comes
    // while the main menu is leaving and does nothing; nor does a tap on another button.
    _menu->enterMainMenu();
    ASSERT_TRUE(reaches("main"));
    ASSERT_TRUE(activates("main"));
    const Vector3 map = buttonOf("main", "onMainMap");
    const Vector3 missions = buttonOf("main", "onMainMissions");
    ASSERT_GE(map.x, 0.0f);
    ASSERT_GE(missions.x, 0.0f);
    tap(map);
    EXPECT_TRUE(_menu->isChangePending());
    tap(map);
    tap(missions);
    EXPECT_TRUE(reaches("map"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(history(), std::vector<std::string>({"main"}));
    ASSERT_TRUE(activates("map"));
    tap(buttonOf("map", "onMapBack"));
    EXPECT_TRUE(reaches("main"));
    EXPECT_TRUE(history().empty());

    // A panel that asked to leave still looks settled until the next update: a whole tap on one of
    // its buttons in that frame (a countdown ran out, then the finger came) runs nothing.
    ASSERT_TRUE(activates("main"));
    EXPECT_TRUE(_menu->goToPanel("map", false));
    _menu->touchBegan(0, missions);
    _menu->touchEnded(0, missions);
    EXPECT_EQ(history(), std::vector<std::string>({"main"}));
    EXPECT_TRUE(reaches("map"));
    _menu->goBack(true);
    EXPECT_TRUE(reaches("main"));

    // The tutorial's start button starts a run on the tutorial's region.
    _menu->_tutorialDue = true;
    _menu->enterMainMenu();
    ASSERT_TRUE(reaches("tutorial"));
    ASSERT_TRUE(activates("tutorial"));
    const Vector3 start = buttonOf("tutorial", "onTutorialStart");
    ASSERT_GE(start.x, 0.0f);
    tap(start);
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionHills");
    EXPECT_TRUE(reaches("hud"));
    // The program's scripted tour taps here (pixels at 540x960).
    std::printf("tutorial start button at %.0f %.0f\n", start.x * 540.0f, start.y * 960.0f);

    // The HUD's pause button pauses; the pause's resume goes on with the run.
    ASSERT_TRUE(activates("hud"));
    tap(buttonOf("hud", "onHudPause"));
    EXPECT_EQ(_stage->getState(), Stage::StatePaused);
    ASSERT_TRUE(reaches("pause"));
    ASSERT_TRUE(activates("pause"));
    tap(buttonOf("pause", "onPauseResume"));
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    EXPECT_TRUE(reaches("hud"));
}

TEST_F(MenuTest, ConfigurationRoundsTheRateCountAndReadsProgressColours) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(_menu->_rateGameNum, 5) << "the default";
    const struct {
        const char* prefix;
        int32_t expected;
    } rates[] = {{"rateHalf", 1}, {"rateNegative", 1}, {"rateFraction", 7}, {"rateTwo", 2}};
    for (const auto& rate : rates) {
        _menu->loadConfig(rate.prefix);
        EXPECT_EQ(_menu->_rateGameNum, rate.expected) << rate.prefix;
    }

    auto near = [](const Vector4& a, const Vector4& b) {
        return std::abs(a.x - b.x) < 1e-5f && std::abs(a.y - b.y) < 1e-5f && std::abs(a.z - b.z) < 1e-5f &&
               std::abs(a.w - b.w) < 1e-5f;
    };
    const struct {
        float value;
        Vector4 colour;
    } colours[] = {{-10, {1, 0, 0, 1}},   {0, {1, 0, 0, 1}},   {25, {1, 0.5f, 0, 1}}, {50, {1, 1, 0, 1}},
                   {75, {0.5f, 1, 0, 1}}, {100, {0, 1, 0, 1}}, {150, {0, 1, 0, 1}}};
    for (const auto& c : colours)
        EXPECT_TRUE(near(_menu->progressColour(c.value), c.colour)) << c.value;

    // A colour text with fewer than four numbers keeps the rest of the current colour.
    _menu->loadConfig("colours");
    EXPECT_TRUE(near(_menu->_progressColour1, Vector4(0, 0, 1, 1)));
    EXPECT_TRUE(near(_menu->_progressColour2, Vector4(1, 1, 0, 1)));
    EXPECT_TRUE(near(_menu->_progressColour3, Vector4(0.5f, 0.5f, 0, 1)));
    EXPECT_TRUE(near(_menu->progressColour(25), Vector4(0.5f, 0.5f, 0.5f, 1)));

    // A missing item or bar node leaves everything as it is.
    _menu->setProgressBar(panel("main"), "nothing", 50, 50);
    _menu->setProgressBar(nullptr, "nothing", 50, 50);
}

TEST_F(MenuTest, TheMenuHearsTheStoreWhileItLives) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    const IStoreHandler* handler = _menu;
    EXPECT_TRUE(StoreManager::instance().hasHandler(handler));
    unload();
    EXPECT_FALSE(StoreManager::instance().hasHandler(handler));
}

}  // namespace

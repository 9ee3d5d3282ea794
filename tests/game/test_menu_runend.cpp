// The run's end as the menu leads it on the sample game: the order of the revive offer, the
// surprise box and the results (also with a panel missing), paying a revive from the bank and the
// run, the coin pack bought for a revive through the store stand-in, the video revive with its
// muting and its buttons held while the video plays, the rating question of the main menu's
// start, the recording state the results panel reads, and the two share texts.

#include "GameFixture.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/online/StoreManager.h"
#include "game/ZelvanSoundInterface.h"
#include "game/menu/ZelvanMenuResultsExt.h"
#include "game/menu/ZelvanMenuReviveExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuSurpriseExt.h"
#include "game/menu/ZelvanPanelItem.h"

namespace {

// Hears every purchase result the store manager hands out.
class PurchaseLog : public IStoreHandler {
public:
    void onPurchaseFinished(int32_t code, const std::string& text, const StoreTransaction&) override {
        results.push_back({code, text});
    }
    std::vector<std::pair<int32_t, std::string>> results;
};

// The sample's panels without the ones named.
std::string panelsWithout(const std::vector<std::string>& missing) {
    const char* all[] = {"main", "tutorial", "options", "credits", "shop",    "map",    "mission",
                         "hud",  "pause",    "revive",  "surprise", "results", "message"};
    std::string pages = "[menu]\npages = {";
    for (const char* name : all) {
        bool skip = false;
        for (const std::string& m : missing)
            skip = skip || m == name;
        if (!skip)
            pages += std::string(" ") + name;
    }
    return pages + " }\n";
}

}  // namespace

class MenuRunEnd : public GameFixture {
protected:
    GoodsCounter& goods(const char* name) { return _stage->getPlayer()->_goods.get(name); }
    MenuShopExt* shop() { return _menu->getShopExt(); }

    // A run that crashed with these coins and surprise boxes; its crash countdown is over.
    void crash(float coins, float surprises, float distance = 100.0f) {
        goods("coins")._amount = coins;
        goods("surprises")._amount = surprises;
        _stage->getPlayer()->_goods._distance = distance;
        _menu->showRunEnd();
    }
    void startRun() {
        _menu->startRun();
        ASSERT_TRUE(reaches("hud"));
    }
    // The surprise box opened, its script played out: the next screen comes.
    void openBox() {
        ASSERT_TRUE(activates("surprise"));
        _menu->getSurpriseExt()->open();
    }
    // The rewarded-video service started as the load's last step starts it; its first video is
    // cached on a later turn.
    void startVideo() {
        if (platform::videoService().starts == 0)
            startVungle("402716367");
        serviceTurns(2);
    }
    bool musicOn() const { return SoundInterface::get()._musicEnabled; }
    bool soundOn() const { return SoundInterface::get()._channels[1].enabled; }
};

TEST_F(MenuRunEnd, ReviveThenSurpriseBoxThenResultsEachLeavingForTheNext) {
    load();
    startRun();
    crash(40, 3);
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
    ASSERT_TRUE(reaches("revive"));
    EXPECT_EQ(history(), (std::vector<std::string>{"hud", "results", "surprise"}));

    ASSERT_TRUE(activates("revive"));
    _menu->declineRevive();
    EXPECT_FALSE(_menu->getReviveExt()->_counting);
    ASSERT_TRUE(reaches("surprise"));
    EXPECT_EQ(history(), (std::vector<std::string>{"hud", "results"}));
    openBox();
    ASSERT_TRUE(reaches("results", 900));
    EXPECT_EQ(history(), std::vector<std::string>{"hud"});
    EXPECT_EQ(analyticsCount("menu revive", "by coins"), 0);
    EXPECT_EQ(analyticsCount("menu revive", "by video"), 0);
}

TEST_F(MenuRunEnd, AfterOneReviveTheNextCrashOfTheRunGoesStraightOn) {
    for (float surprises : {0.0f, 2.0f}) {
        SCOPED_TRACE(surprises);
        load();
        startRun();
        shop()->setCoins(250);
        crash(10, surprises);
        ASSERT_TRUE(reaches("revive"));
        ASSERT_TRUE(activates("revive"));
        _menu->reviveByCoins();
        ASSERT_TRUE(reaches("hud"));
        EXPECT_EQ(shop()->getCoins(), 150);
        EXPECT_FALSE(_menu->_reviveAvailable);
        EXPECT_TRUE(history().empty());
        EXPECT_EQ(analyticsCount("menu revive", "by coins"), 1);

        crash(10, surprises);
        ASSERT_TRUE(reaches(surprises > 0 ? "surprise" : "results"));
        EXPECT_EQ(history(), surprises > 0 ? (std::vector<std::string>{"hud", "results"})
                                           : std::vector<std::string>{"hud"});
        unload();
        std::remove(platform::analyticsLogPath().c_str());
    }
}

TEST_F(MenuRunEnd, TheBankPaysARevivesFirstAndTheRunsCoinsTheRest) {
    load();
    startRun();
    ASSERT_EQ(_menu->getReviveExt()->getPrice(), 100u);
    const struct {
        int32_t bank;
        float run;
        bool paid;
        int32_t bankAfter;
        float runAfter;
    } cases[] = {
        {30, 80, true, 0, 10},      // both pay
        {30, 20, false, 30, 20},    // not enough together: nothing changes
        {150, 5, true, 50, 5},      // the bank alone
        {0, 99.5f, true, 0, 0},     // the run's coins count rounded half up
        {0, 99.4f, false, 0, 99.4f},
        {100, 0, true, 0, 0},       // exactly the price
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bank << " + " << c.run);
        shop()->setCoins(c.bank);
        goods("coins")._amount = c.run;
        EXPECT_EQ(_menu->payRevive(), c.paid);
        EXPECT_EQ(shop()->getCoins(), c.bankAfter);
        EXPECT_FLOAT_EQ(goods("coins")._amount, c.runAfter);
    }
}

TEST_F(MenuRunEnd, TooFewCoinsAskForTheCoinPackYesBuysItThroughTheStoreAndNoLeaves) {
    load();
    serviceTurns(3);  // the store's prices arrive
    PurchaseLog purchases;
    StoreManager::instance().addHandler(&purchases, 10);
    startRun();
    shop()->setCoins(10);
    crash(20, 0);
    ASSERT_TRUE(reaches("revive"));
    ASSERT_TRUE(activates("revive"));

    // Yes: the store buys the first pack; the offer comes back with a new countdown.
    _menu->reviveByCoins();
    EXPECT_FALSE(_menu->getReviveExt()->_counting);
    ASSERT_TRUE(reaches("message"));
    EXPECT_EQ(history(), (std::vector<std::string>{"hud", "results", "revive"}));
    ASSERT_TRUE(activates("message"));
    fire("onMessageYes");
    ASSERT_TRUE(reaches("revive"));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(_menu->getReviveExt()->_counting);
    EXPECT_EQ(history(), (std::vector<std::string>{"hud", "results"}));
    serviceTurns(3);
    ASSERT_EQ(purchases.results.size(), 1u);
    EXPECT_EQ(purchases.results[0].first, 256);
    EXPECT_EQ(purchases.results[0].second, "");
    EXPECT_EQ(shop()->getCoins(), 1010);  // the pack is credited by its product code

    // No: the next run-end screen follows at once (the pack's coins spent elsewhere first).
    shop()->setCoins(10);
    ASSERT_TRUE(activates("revive"));
    _menu->reviveByCoins();
    ASSERT_TRUE(reaches("message"));
    ASSERT_TRUE(activates("message"));
    fire("onMessageNo");
    ASSERT_TRUE(reaches("results"));
    EXPECT_EQ(history(), std::vector<std::string>{"hud"});
    EXPECT_TRUE(_menu->_reviveAvailable);
    EXPECT_EQ(analyticsCount("menu revive", "by coins"), 2);
    serviceTurns(3);
    EXPECT_EQ(purchases.results.size(), 1u);
    StoreManager::instance().removeHandler(&purchases);
}

TEST_F(MenuRunEnd, TheVideoReviveMutesContinuesOnceItClosesAndHoldsTheButtonsMeanwhile) {
    enum Video { Plays, NotCached, FailsToPlay };
    for (Video video : {Plays, NotCached, FailsToPlay}) {
        SCOPED_TRACE(video);
        provideRootView();
        platform::videoService().fills = video != NotCached;
        platform::videoService().failsToPlay = video == FailsToPlay;
        load();
        startVideo();
        ASSERT_EQ(_menu->isVideoCached(), video != NotCached);
        ASSERT_TRUE(musicOn());
        startRun();
        crash(500, 0);
        ASSERT_TRUE(reaches("revive"));
        ASSERT_TRUE(activates("revive"));
        _menu->reviveByVideo();
        EXPECT_EQ(analyticsCount("menu revive", "by video"), 1);
        if (video == NotCached) {
            ASSERT_TRUE(reaches("hud"));
            EXPECT_FALSE(_menu->_reviveAvailable);
            EXPECT_EQ(platform::videoService().playRequests, 0);
        } else {
            EXPECT_TRUE(_menu->isVideoPending());
            EXPECT_FALSE(musicOn());
            EXPECT_FALSE(soundOn());
            // The other buttons, and the video button again, do nothing while the video plays.
            _menu->reviveByCoins();
            _menu->declineRevive();
            _menu->reviveByVideo();
            frames(20);
            EXPECT_EQ(current(), "revive");
            EXPECT_FALSE(_menu->isChangePending());
            EXPECT_FLOAT_EQ(goods("coins")._amount, 500);
            EXPECT_EQ(analyticsCount("menu revive", "by coins"), 0);
            EXPECT_EQ(analyticsCount("menu revive", "by video"), 1);
            EXPECT_EQ(platform::videoService().playRequests, 1);

            serviceTurns(3);
            EXPECT_FALSE(_menu->isVideoPending());
            EXPECT_TRUE(musicOn());
            EXPECT_TRUE(soundOn());
            ASSERT_TRUE(reaches("hud"));
            EXPECT_FALSE(_menu->_reviveAvailable);
            EXPECT_TRUE(history().empty());
            EXPECT_EQ(platform::videoService().played, video == Plays ? 1 : 0);
        }
        unload();
        platform::clearMainThreadTasks();
        platform::resetAdServices();
        std::remove(platform::analyticsLogPath().c_str());
    }
}

TEST_F(MenuRunEnd, AVideoThatClosesAfterTheOfferWasLeftContinuesNothing) {
    provideRootView();
    load();
    startVideo();
    ASSERT_TRUE(_menu->isVideoCached());
    startRun();
    crash(0, 0);
    ASSERT_TRUE(reaches("revive"));
    _menu->reviveByVideo();
    ASSERT_TRUE(_menu->isVideoPending());
    // The run ends another way while the video plays: its goods are collected on the results.
    _menu->goBack(false);
    ASSERT_TRUE(reaches("results"));
    serviceTurns(3);
    EXPECT_FALSE(_menu->isVideoPending());
    EXPECT_TRUE(musicOn());
    frames(30);
    EXPECT_EQ(current(), "results");
    EXPECT_TRUE(_menu->_reviveAvailable);
    EXPECT_EQ(_stage->getState(), Stage::StateStanding);
}

TEST_F(MenuRunEnd, TheRatingQuestionComesOnTheFifthStartNoCountsAgainYesEndsItForGood) {
    load();
    _menu->_tutorialDue = false;
    _menu->enterMainMenu();
    ASSERT_TRUE(reaches("main"));
    ASSERT_EQ(_menu->_rateGameNum, 5);
    // Starts from the main menu; true when the rating question came instead of the map.
    auto start = [this]() {
        EXPECT_TRUE(activates("main"));
        _menu->onMainStart();
        if (!reaches("map", 120))
            return current() == "message";
        _menu->goBack(true);
        EXPECT_TRUE(reaches("main"));
        return false;
    };
    for (int i = 1; i <= 4; ++i)
        EXPECT_FALSE(start()) << i;
    ASSERT_TRUE(start());
    ASSERT_TRUE(activates("message"));
    fire("onMessageNo");
    ASSERT_TRUE(reaches("map"));
    EXPECT_EQ(history(), std::vector<std::string>{"main"});
    EXPECT_EQ(_menu->_startCount, 0);
    _menu->goBack(true);
    ASSERT_TRUE(reaches("main"));

    for (int i = 1; i <= 4; ++i)
        EXPECT_FALSE(start()) << i;
    ASSERT_TRUE(start());
    ASSERT_TRUE(activates("message"));
    fire("onMessageYes");
    ASSERT_TRUE(reaches("main"));
    EXPECT_TRUE(history().empty());
    EXPECT_EQ(_menu->_startCount, -1);
    ASSERT_EQ(_game.openedUrls.size(), 1u);
    EXPECT_EQ(_game.openedUrls[0].compare(0, 8, "https://"), 0);
    EXPECT_EQ(analyticsCount("menu main", "start"), 10);

    // The agreement survives a new launch: no question any more.
    unload();
    load();
    EXPECT_EQ(_menu->_startCount, -1);
    _menu->_tutorialDue = false;
    _menu->enterMainMenu();
    ASSERT_TRUE(reaches("main"));
    for (int i = 1; i <= 6; ++i)
        EXPECT_FALSE(start()) << i;
    EXPECT_EQ(_game.openedUrls.size(), 1u);
}

TEST_F(MenuRunEnd, AMissingReviveOrSurprisePanelIsPassedOver) {
    const struct {
        std::vector<std::string> missing;
        const char* first;
        std::vector<std::string> history;
    } cases[] = {
        {{"revive"}, "surprise", {"hud", "results"}},
        {{"surprise"}, "revive", {"hud", "results"}},
        {{"revive", "surprise"}, "results", {"hud"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        testsupport::LogCapture log;
        load(panelsWithout(c.missing));
        startRun();
        crash(0, 2);
        ASSERT_TRUE(reaches(c.first));
        EXPECT_EQ(history(), c.history);
        EXPECT_TRUE(log.contains("[Menu::showRunEnd] no panel"));
        if (std::string(c.first) == "revive") {
            ASSERT_TRUE(activates("revive"));
            _menu->declineRevive();
            EXPECT_TRUE(reaches("results"));
            EXPECT_EQ(history(), std::vector<std::string>{"hud"});
        } else if (std::string(c.first) == "surprise") {
            openBox();
            EXPECT_TRUE(reaches("results", 900));
            EXPECT_EQ(history(), std::vector<std::string>{"hud"});
        }
        unload();
    }
}

TEST_F(MenuRunEnd, TheResultsStopARecordingAndOfferItsPlayback) {
    load();
    EXPECT_FALSE(_menu->isRecordingSupported());
    startRun();
    // The menu's own state follows its calls, whatever the platform does with them.
    _menu->startRecording();
    _menu->pauseRecording();
    EXPECT_TRUE(_menu->_recording && _menu->_recordingPaused);
    _menu->resumeRecording();
    EXPECT_FALSE(_menu->_recordingPaused);
    _menu->_reviveAvailable = false;
    crash(0, 0);
    ASSERT_TRUE(reaches("results"));
    ASSERT_TRUE(settle());
    EXPECT_FALSE(_menu->_recording);
    EXPECT_TRUE(_menu->_recordingAvailable);
    PanelItem* playback = panel("results")->findItem("everyplay");
    ASSERT_NE(playback, nullptr);
    EXPECT_NE(playback->state(), 3);
    _menu->playLastRecording();
    EXPECT_TRUE(_menu->_recordingAvailable);

    // A new run forgets the last recording; results without one hide the button.
    startRun();
    crash(0, 0);
    ASSERT_TRUE(reaches("revive"));
    _menu->declineRevive();
    ASSERT_TRUE(reaches("results"));
    ASSERT_TRUE(settle());
    frames(30);
    EXPECT_FALSE(_menu->_recordingAvailable);
    EXPECT_EQ(playback->state(), 3);

    // The recorder's overlay mutes the game while it is up.
    ASSERT_TRUE(musicOn());
    _menu->onOverlayShown();
    EXPECT_FALSE(musicOn());
    EXPECT_FALSE(soundOn());
    _menu->onOverlayHidden();
    EXPECT_TRUE(musicOn());
    EXPECT_TRUE(soundOn());
}

TEST_F(MenuRunEnd, SharesCarryTheResultsDistanceInWholeMetres) {
    load();
    startRun();
    _menu->_reviveAvailable = false;
    crash(0, 0, 812.9f);
    ASSERT_TRUE(reaches("results"));
    EXPECT_FLOAT_EQ(_menu->getResultsExt()->getDistance(), 812.9f);

    _menu->shareTwitter();
    _menu->shareFacebook();
    serviceTurns(4);  // a share waits for the login
    const platform::SocialRecords& records = platform::socialRecords();
    EXPECT_EQ(records.twitterTexts, std::vector<std::string>{"I've survived 812 meters! #zelvan #kavelgames"});
    ASSERT_EQ(records.sharesPresented.size(), 1u);
    const platform::socialnet::ShareParams& share = records.sharesPresented[0];
    EXPECT_EQ(share.at("caption"), "Zelvan");
    EXPECT_EQ(share.at("description"), "I've survived 812 meters!");
    EXPECT_EQ(analyticsCount("menu results", "facebook"), 1);
    EXPECT_EQ(analyticsCount("menu results", "twitter"), 1);
}

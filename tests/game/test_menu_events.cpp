// Every named event of the menu on the sample game, one row each in the order of the menu's event
// list: the screen it is pressed on, its action's visible result and the analytics events of menu
// actions it sends (each exactly once; none of the others). The button on the page is tapped
// where it is shown; a button the sample keeps hidden (debug, recording) runs its event by name.
// Then the flows around them: the shop's tab buttons, travelling without a ticket, and leaving or
// restarting a paused run with its goods collected once.

#include "GameFixture.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/online/SocialPlatform.h"
#include "engine/plat_linux/Analytics.h"
#include "engine/plat_linux/SocialServices.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuReviveExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"

namespace {

// The screens an event is pressed on.
enum Screen { Tutorial, Main, Options, Credits, Shop, Map, Mission, Message, Hud, Pause, Revive, Surprise, Results };

const char* panelOf(Screen screen) {
    static const char* const names[] = {"tutorial", "main",  "options", "credits",  "shop",   "map",    "mission",
                                        "message",  "hud",   "pause",   "revive",   "surprise", "results"};
    return names[screen];
}

typedef std::pair<std::string, std::string> Sent;  // category, action

// What the menu's actions send: every category and action of the event tables. Anything else
// in the log (the results screen's own figures) is not an action's event.
const Sent kActionEvents[] = {
    {"menu main", "start"},
    {"menu main", "menu options"},
    {"menu main", "menu shop"},
    {"menu main", "menu shop - characters"},
    {"menu main", "menu shop - trains"},
    {"menu map", "start - continent"},
    {"menu map", "start - train"},
    {"menu map", "start - character"},
    {"menu map", "travel"},
    {"menu options", "tutorial"},
    {"menu options", "gamecenter"},
    {"menu options", "facebook"},
    {"menu options", "twitter"},
    {"menu options", "more fun"},
    {"menu options", "kavel web"},
    {"menu options", "restore purchases"},
    {"menu options", "menu credits"},
    {"menu shop", "buy item"},
    {"menu shop", "buy bank"},
    {"menu revive", "by video"},
    {"menu revive", "by coins"},
    {"menu revive", "skip"},
    {"menu results", "menu map"},
    {"menu results", "menu mission"},
    {"menu results", "restart"},
    {"menu results", "menu shop"},
    {"menu results", "menu main"},
    {"menu results", "twitter"},
    {"menu results", "facebook"},
    {"menu pause", "menu main"},
    {"menu pause", "restart"},
};

bool isActionEvent(const platform::AnalyticsEvent& event) {
    for (const Sent& sent : kActionEvents)
        if (sent.first == event.category && sent.second == event.action)
            return true;
    return false;
}

std::string translated(const std::string& key) { return TextContainer::get()->translate(key); }

}  // namespace

class MenuEventsTest : public GameFixture {
protected:
    enum Press { Tap, ByName };

    // One event: where it is pressed, how, what is made ready first, what must follow, and the
    // action events it sends.
    struct Row {
        const char* event;
        Screen at;
        Press press;
        std::function<void()> prepare;
        std::function<void()> check;
        std::vector<Sent> sends;
        const char* item = nullptr;  // a shop row whose button is tapped
    };

    MenuShopExt* shop() const { return _menu->getShopExt(); }
    MenuMapExt02* map() const { return _menu->getMapExt(); }
    GoodsCounter& goods(const char* name) { return _stage->getPlayer()->_goods.get(name); }

    // The game loaded (the store's prices answered) and the screen on display, ready for touches.
    void bringUp(Screen screen) {
        // The tutorial rides another region than the runs, so that a tutorial start shows.
        load("[level]\ntutorialLevelSet = regionHills\n");
        ASSERT_FALSE(HasFatalFailure());
        turn();
        ASSERT_TRUE(settle());
        if (screen == Tutorial) {
            _menu->_tutorialDue = true;
            _menu->enterMainMenu();
            return awaitTouches("tutorial");
        }
        if (screen >= Hud) {
            _menu->startRun();
            ASSERT_TRUE(reaches("hud"));
            ASSERT_TRUE(settle());
            goods("coins")._amount = 12.5f;
            goods("tickets")._amount = 2.4f;
            _stage->getPlayer()->_goods._distance = 300.0f;
            if (screen == Pause)
                _menu->pauseRun();
            if (screen == Surprise || screen == Results) {
                _menu->_reviveAvailable = false;
                goods("surprises")._amount = screen == Surprise ? 1.0f : 0.0f;
            }
            if (screen >= Revive)
                _menu->showRunEnd();
            return awaitTouches(panelOf(screen));
        }
        _menu->enterMainMenu();
        ASSERT_TRUE(reaches("main"));
        if (screen == Credits) {
            ASSERT_TRUE(settle());
            _menu->goToPanel("options", false);
            ASSERT_TRUE(reaches("options"));
        }
        if (screen == Message) {
            ASSERT_TRUE(settle());
            return;  // the row shows its own kind of message
        }
        if (screen != Main) {
            ASSERT_TRUE(settle());
            _menu->goToPanel(panelOf(screen), false);
        }
        awaitTouches(panelOf(screen));
    }
    void awaitTouches(const std::string& name) {
        ASSERT_TRUE(reaches(name));
        ASSERT_TRUE(settle());
        ASSERT_TRUE(activates(name));
        frames(60);  // the items end their way in
    }
    // A message of that kind whose answer is kept in answers.
    void askMessage(int32_t kind) {
        _menu->showMessage(kind, "Caption", "Text", [this](Menu*, int32_t answer) {
            answers.push_back(answer);
            _menu->goBack(true);
        });
        awaitTouches("message");
    }

    void press(const Row& row) {
        if (row.item) {
            const Vector3 at = rowButton(row.item);
            ASSERT_GE(at.x, 0.0f);
            tap(at);
            return;
        }
        if (row.press == ByName) {
            EXPECT_GE(buttonOf(panelOf(row.at), row.event).x, 0.0f) << "the page binds it all the same";
            fire(row.event);
            return;
        }
        const Vector3 at = buttonOf(panelOf(row.at), row.event);
        ASSERT_GE(at.x, 0.0f) << "no button on " << panelOf(row.at);
        tap(at);
    }

    // The action events sent since mark.
    std::vector<Sent> sentSince(size_t mark) const {
        std::vector<Sent> out;
        const std::vector<platform::AnalyticsEvent>& sent = platform::analyticsService().sent;
        for (size_t i = mark; i < sent.size(); ++i)
            if (isActionEvent(sent[i])) {
                EXPECT_EQ(sent[i].value, 1) << sent[i].category << " / " << sent[i].action;
                out.push_back({sent[i].category, sent[i].action});
            }
        return out;
    }
    // The label of the last event of that category and action.
    std::string labelOf(const char* category, const char* action) const {
        const std::vector<platform::AnalyticsEvent>& sent = platform::analyticsService().sent;
        for (size_t i = sent.size(); i-- > 0;)
            if (sent[i].category == category && sent[i].action == action)
                return sent[i].label;
        return "(none)";
    }

    void runRow(const Row& row) {
        SCOPED_TRACE(row.event);
        answers.clear();
        pressAndCheck(row);
        forget();
    }
    void pressAndCheck(const Row& row) {
        bringUp(row.at);
        if (HasFatalFailure())
            return;
        if (row.prepare)
            row.prepare();
        if (HasFatalFailure())
            return;
        const size_t mark = platform::analyticsService().sent.size();
        press(row);
        if (!HasFatalFailure() && row.check)
            row.check();
        EXPECT_EQ(sentSince(mark), row.sends);
    }
    // Ends the game and everything it left: the next row starts as a first launch.
    void forget() {
        unload();
        platform::clearMainThreadTasks();
        platform::resetAdServices();
        platform::resetAnalytics();
        platform::resetSocialServices();
        SocialPlatform::instance().reset();
        _game.openedUrls.clear();
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(_documents.path()))
            std::filesystem::remove_all(entry.path(), error);
        std::filesystem::remove_all(platform::keychainPath(), error);
    }
    void runRows(std::initializer_list<Screen> screens) {
        for (const Row& row : rows())
            if (std::find(screens.begin(), screens.end(), row.at) != screens.end())
                runRow(row);
    }

    // Some point on the way the panel is shown with nothing pending; its history then.
    void shows(const char* name, const std::vector<std::string>& history) {
        EXPECT_TRUE(reaches(name));
        EXPECT_TRUE(settle());
        EXPECT_EQ(current(), name);
        EXPECT_EQ(this->history(), history);
    }
    void runsOnRegion(const char* levelSet) {
        EXPECT_EQ(_stage->getState(), Stage::StateRunning);
        ASSERT_NE(_stage->getLevelGroupSet(), nullptr);
        EXPECT_EQ(_stage->getLevelGroupSet()->key, levelSet);
        shows("hud", {});
    }
    void opened(const std::string& url) {
        ASSERT_EQ(_game.openedUrls.size(), 1u);
        EXPECT_EQ(_game.openedUrls[0], url);
    }
    int32_t focus() const { return shop()->_focus; }
    // The tab button's next focus, as seen before it is pressed.
    std::function<void()> tabMoves(MenuShopExt::Range MenuShopExt::*tab) {
        return [this, tab]() {
            const MenuShopExt::Range range = shop()->*tab;
            ASSERT_FALSE(range.isEmpty());
            EXPECT_GT(focus(), range.first);
            EXPECT_LE(focus(), range.last);
            EXPECT_EQ(current(), "shop");
        };
    }
    // The row of the item of that name brought onto the screen; the point of its button.
    Vector3 rowButton(const std::string& name, const char* node = "button_buy") {
        shop()->focusListIndex(shop()->findListIndex(name));
        frames(90);
        MenuShopExt::Item* item = shop()->findItem(name);
        View* view = item && item->_row ? dynamic_cast<View*>(item->_row->findNode(node)) : nullptr;
        EXPECT_NE(view, nullptr) << name;
        return view ? pointOf(view) : Vector3(-1, -1, 0);
    }

    std::vector<Row> rows();

    std::vector<int32_t> answers;
    int32_t shopCoins = 0;
    int32_t shopTickets = 0;
    int32_t expectedFocus = -1;
};

std::vector<MenuEventsTest::Row> MenuEventsTest::rows() {
    const auto none = std::vector<Sent>();
    const auto remember = [this]() {
        shopCoins = shop()->getCoins();
        shopTickets = shop()->getTickets();
    };
    return {
        // ---- Main menu ----
        {"onTutorialStart", Tutorial, Tap, nullptr, [this]() { runsOnRegion("regionHills"); }, none},
        {"onMainStart", Main, Tap, nullptr, [this]() { shows("map", {"main"}); }, {{"menu main", "start"}}},
        {"onMainOptions", Main, Tap, nullptr, [this]() { shows("options", {"main"}); },
         {{"menu main", "menu options"}}},
        {"onMainShop", Main, Tap, nullptr, [this]() { shows("shop", {"main"}); }, {{"menu main", "menu shop"}}},
        {"onMainShopSelectCharacters", Main, Tap,
         [this]() {
             shop()->setCoins(1000000);
             expectedFocus = shop()->tabEntryIndex(shop()->_characters, shop()->_characterIndex);
             EXPECT_GT(expectedFocus, shop()->_characters.first);
             EXPECT_EQ(shop()->hasAffordableItem(expectedFocus, expectedFocus), 1);
         },
         [this]() {
             shows("shop", {"main"});
             EXPECT_EQ(focus(), expectedFocus) << "the first affordable character";
         },
         {{"menu main", "menu shop - characters"}}},
        {"onMainShopSelectTrains", Main, Tap,
         [this]() {
             shop()->setCoins(0);
             expectedFocus = shop()->_trainIndex;
             EXPECT_GT(expectedFocus, shop()->_trains.first);
         },
         [this]() {
             shows("shop", {"main"});
             EXPECT_EQ(focus(), expectedFocus) << "nothing affordable: the selected train";
         },
         {{"menu main", "menu shop - trains"}}},
        {"onMainMap", Main, Tap, nullptr, [this]() { shows("map", {"main"}); }, none},
        {"onMainMissions", Main, Tap, nullptr, [this]() { shows("mission", {"main"}); }, none},

        // ---- World map and missions ----
        {"onMapBack", Map, Tap, nullptr, [this]() { shows("main", {}); }, none},
        {"onMapTicket", Map, Tap, nullptr,
         [this]() {
             shows("shop", {"main", "map"});
             EXPECT_EQ(focus(), shop()->_ticketRow);
         },
         none},
        {"onMapStart", Map, Tap, nullptr,
         [this]() {
             runsOnRegion("regionMeadow");
             EXPECT_EQ(labelOf("menu map", "start - continent"), translated(map()->getCurrent()->textName));
             MenuShopExt::ItemInfo train, character;
             ASSERT_EQ(shop()->describeItem(train, shop()->_trainKey), 1);
             ASSERT_EQ(shop()->describeItem(character, shop()->_characterKey), 1);
             EXPECT_EQ(labelOf("menu map", "start - train"), translated(train.displayName));
             EXPECT_EQ(labelOf("menu map", "start - character"), translated(character.displayName));
             EXPECT_NE(labelOf("menu map", "start - train"), "?");
         },
         {{"menu map", "start - continent"}, {"menu map", "start - train"}, {"menu map", "start - character"}}},
        {"onMapSelect", Map, Tap,
         [this]() {
             shop()->setTickets(1);
             map()->setSelected(map()->findContinent("hills"));
             map()->refreshButtons();
             frames(60);
         },
         [this]() {
             EXPECT_EQ(map()->getCurrent()->name, "hills");
             EXPECT_EQ(shop()->getTickets(), 0);
             EXPECT_EQ(labelOf("menu map", "travel"), translated(map()->getCurrent()->textName) + ": yes");
             shows("map", {"main"});
         },
         {{"menu map", "travel"}}},
        {"onMapSelectLeft", Map, Tap, nullptr,
         [this]() {
             EXPECT_EQ(map()->getSelected()->name, "hills") << "left of the first wraps past the closed one";
             EXPECT_EQ(map()->getCurrent()->name, "meadow");
         },
         none},
        {"onMapSelectRight", Map, Tap, nullptr,
         [this]() {
             EXPECT_EQ(map()->getSelected()->name, "hills");
             EXPECT_EQ(map()->getCurrent()->name, "meadow");
         },
         none},
        {"onMissionBack", Mission, Tap, nullptr, [this]() { shows("main", {}); }, none},

        // ---- Options and credits ----
        {"onOptionsMusic", Options, Tap, nullptr,
         [this]() {
             EXPECT_FALSE(_menu->getOptionsExt()->isMusicOn()) << "a tap toggles";
             EXPECT_TRUE(_menu->getOptionsExt()->isSoundOn());
             EXPECT_EQ(_menu->getOptionsExt()->getControl(), (int)MenuOptionsExt::ControlNone);
         },
         none},
        {"onOptionsSFX", Options, Tap, nullptr,
         [this]() {
             EXPECT_FALSE(_menu->getOptionsExt()->isSoundOn());
             EXPECT_TRUE(_menu->getOptionsExt()->isMusicOn());
         },
         none},
        {"onOptionsTutorial", Options, Tap, nullptr, [this]() { runsOnRegion("regionHills"); },
         {{"menu options", "tutorial"}}},
        {"onOptionsGamecenter", Options, Tap, nullptr,
         []() {
             // Signed in the platform's screen comes, else its application is asked for.
             const platform::SocialRecords& records = platform::socialRecords();
             EXPECT_EQ(records.gameCenterScreens + std::count(records.openedUrls.begin(), records.openedUrls.end(),
                                                               std::string("gamecenter:")),
                       1);
         },
         {{"menu options", "gamecenter"}}},
        {"onOptionsFacebook", Options, Tap, nullptr,
         [this]() { opened("https://www.facebook.com/kavelgames"); }, {{"menu options", "facebook"}}},
        {"onOptionsTwitter", Options, Tap, nullptr, [this]() { opened("https://twitter.com/kavelgames"); },
         {{"menu options", "twitter"}}},
        {"onOptionsMorefun", Options, Tap, nullptr,
         [this]() { opened("https://apps.apple.com/developer/kavel-games/id900000000"); },
         {{"menu options", "more fun"}}},
        {"onOptionsKavelWeb", Options, Tap, nullptr, [this]() { opened("https://www.kavelgames.com"); },
         {{"menu options", "kavel web"}}},
        {"onOptionsRestorePurchases", Options, Tap, nullptr,
         [this]() {
             EXPECT_TRUE(reaches("message"));
             turns(3);  // the store answers: nothing to restore
             shows("options", {"main"});
         },
         {{"menu options", "restore purchases"}}},
        {"onOptionsCredits", Options, Tap, nullptr, [this]() { shows("credits", {"main", "options"}); },
         {{"menu options", "menu credits"}}},
        {"onOptionsBack", Options, Tap, nullptr, [this]() { shows("main", {}); }, none},
        {"onCreditsBack", Credits, Tap, nullptr, [this]() { shows("options", {"main"}); }, none},

        // ---- Shop ----
        {"onShopCoin2", Shop, Tap, nullptr, [this]() { EXPECT_EQ(focus(), shop()->_bank.first); }, none},
        {"onShopTicket2", Shop, Tap, nullptr, [this]() { EXPECT_EQ(focus(), shop()->_ticketRow); }, none},
        {"onShopItem", Shop, Tap, remember,
         [this]() {
             // The question; its answer sends the purchase's event.
             EXPECT_TRUE(reaches("message"));
             ASSERT_TRUE(tapButton("message", "onMessageYes"));
             shows("shop", {"main"});
             EXPECT_EQ(shop()->getCoins(), shopCoins - 100);
             MenuShopExt::ItemInfo info;
             shop()->describeItem(info, "shopMagnet");
             EXPECT_EQ(info.level, 0);
         },
         {{"menu shop", "buy item"}}, "shopMagnet"},
        {"onShopBank", Shop, Tap, remember,
         [this]() {
             // The store's wait; the purchase's event comes with the store's answer.
             EXPECT_TRUE(reaches("message"));
             turn();
             shows("shop", {"main"});
             EXPECT_EQ(shop()->getCoins(), shopCoins + 1000);
         },
         {{"menu shop", "buy bank"}}, "zelvan_pack_1"},
        {"onShopSelectBoosts", Shop, Tap, nullptr, tabMoves(&MenuShopExt::_boosts), none},
        {"onShopSelectCharacters", Shop, Tap, nullptr, tabMoves(&MenuShopExt::_characters), none},
        {"onShopSelectTrains", Shop, Tap, nullptr, tabMoves(&MenuShopExt::_trains), none},
        {"onShopSelectSkin", Shop, Tap, nullptr, tabMoves(&MenuShopExt::_skins), none},
        {"onShopSelectBank", Shop, Tap, nullptr, tabMoves(&MenuShopExt::_bank), none},
        {"onShopBack", Shop, Tap, nullptr, [this]() { shows("main", {}); }, none},

        // ---- Message box ----
        {"onMessageYes", Message, Tap, [this]() { askMessage(Menu::MessageYesNo); },
         [this]() {
             EXPECT_EQ(answers, std::vector<int32_t>{1});
             shows("main", {});
         },
         none},
        {"onMessageOk", Message, Tap, [this]() { askMessage(Menu::MessageOk); },
         [this]() {
             EXPECT_EQ(answers, std::vector<int32_t>{1});
             shows("main", {});
         },
         none},
        {"onMessageNo", Message, Tap, [this]() { askMessage(Menu::MessageYesNo); },
         [this]() {
             EXPECT_EQ(answers, std::vector<int32_t>{0});
             shows("main", {});
         },
         none},

        // ---- HUD, revive and surprise box ----
        {"onHudPause", Hud, Tap, nullptr,
         [this]() {
             EXPECT_EQ(_stage->getState(), Stage::StatePaused);
             shows("pause", {"hud"});
         },
         none},
        // The platform records nothing: the button stays hidden and a press starts no recording.
        {"onHudRecord", Hud, ByName, nullptr,
         [this]() {
             EXPECT_FALSE(_menu->isRecordingSupported());
             EXPECT_FALSE(_menu->_recording);
             EXPECT_EQ(_stage->getState(), Stage::StateRunning);
         },
         none},
        {"onHudPlayerSelect", Hud, ByName,
         [this]() {
             // The proxies the levels ahead hold now; the press places them afresh.
             for (Level* level : _stage->getRoad()->aheadLevels)
                 level->removeProxyObjects();
         },
         [this]() {
             size_t placed = 0;
             for (Level* level : _stage->getRoad()->aheadLevels)
                 placed += level->proxyPlacements.size();
             EXPECT_GT(placed, 0u);
             EXPECT_EQ(_stage->getState(), Stage::StateRunning);
         },
         none},
        {"onHudDebug", Hud, ByName, nullptr, [this]() { EXPECT_TRUE(_menu->isRailsDebug()); }, none},
        {"onReviveVideo", Revive, Tap, [this]() { serviceTurns(2); },
         [this]() {
             // The video plays; the run goes on once it closes.
             ASSERT_TRUE(_menu->isVideoCached() || _menu->isVideoPending());
             EXPECT_TRUE(_menu->isVideoPending());
             EXPECT_EQ(current(), "revive");
             serviceTurns(3);
             EXPECT_FALSE(_menu->isVideoPending());
             EXPECT_FALSE(_menu->_reviveAvailable);
             runsOnRegion("regionMeadow");
         },
         {{"menu revive", "by video"}}},
        {"onReviveCoins", Revive, Tap, [this]() { shop()->setCoins(250); },
         [this]() {
             EXPECT_EQ(shop()->getCoins(), 250 - (int32_t)_menu->getReviveExt()->getPrice());
             runsOnRegion("regionMeadow");
         },
         {{"menu revive", "by coins"}}},
        {"onReviveNo", Revive, Tap, nullptr,
         [this]() {
             EXPECT_FALSE(_menu->getReviveExt()->_counting);
             shows("results", {"hud"});
         },
         {{"menu revive", "skip"}}},
        {"onSurpriseboxOpen", Surprise, Tap, nullptr, [this]() { EXPECT_TRUE(reaches("results", 900)); }, none},

        // ---- Results ----
        {"onResultsCoin2", Results, Tap, nullptr,
         [this]() {
             shows("shop", {"hud", "results"});
             EXPECT_EQ(focus(), shop()->_bank.first);
         },
         none},
        {"onResultsMap", Results, Tap, nullptr, [this]() { shows("map", {"hud", "results"}); },
         {{"menu results", "menu map"}}},
        {"onResultsMissions", Results, Tap, nullptr, [this]() { shows("mission", {"hud", "results"}); },
         {{"menu results", "menu mission"}}},
        {"onResultsRestart", Results, Tap, nullptr, [this]() { runsOnRegion("regionMeadow"); },
         {{"menu results", "restart"}}},
        {"onResultsShop", Results, Tap, nullptr, [this]() { shows("shop", {"hud", "results"}); },
         {{"menu results", "menu shop"}}},
        {"onResultsExit", Results, Tap, nullptr,
         [this]() {
             EXPECT_EQ(_stage->getState(), Stage::StateStanding);
             shows("main", {});
         },
         {{"menu results", "menu main"}}},
        {"onResultsTwitter", Results, Tap, nullptr,
         [this]() {
             serviceTurns(4);  // a share waits for the login
             EXPECT_EQ(platform::socialRecords().twitterTexts,
                       std::vector<std::string>{"I've survived 300 meters! #zelvan #kavelgames"});
         },
         {{"menu results", "twitter"}}},
        // The playback button shows only once a recording exists, which this platform never makes.
        {"onResultsPlayback", Results, ByName, [this]() { _menu->_recording = true; },
         [this]() {
             EXPECT_FALSE(_menu->_recording);
             EXPECT_TRUE(_menu->_recordingAvailable);
         },
         none},
        {"onResultsFacebook", Results, Tap, nullptr,
         [this]() {
             serviceTurns(4);
             ASSERT_EQ(platform::socialRecords().sharesPresented.size(), 1u);
             EXPECT_EQ(platform::socialRecords().sharesPresented[0].at("description"), "I've survived 300 meters!");
         },
         {{"menu results", "facebook"}}},

        // ---- Pause ----
        {"onPauseBack", Pause, Tap, nullptr, [this]() { runsOnRegion("regionMeadow"); }, none},
        {"onPauseResume", Pause, Tap, nullptr, [this]() { runsOnRegion("regionMeadow"); }, none},
        {"onPauseExit", Pause, Tap, remember,
         [this]() {
             EXPECT_EQ(shop()->getCoins(), shopCoins + 13);
             EXPECT_EQ(shop()->getTickets(), shopTickets + 2);
             EXPECT_EQ(_stage->getState(), Stage::StateStanding);
             shows("main", {});
         },
         {{"menu pause", "menu main"}}},
        {"onPauseRestart", Pause, Tap, remember,
         [this]() {
             EXPECT_EQ(shop()->getCoins(), shopCoins + 13);
             EXPECT_EQ(shop()->getTickets(), shopTickets + 2);
             runsOnRegion("regionMeadow");
         },
         {{"menu pause", "restart"}}},
    };
}

// The page files bind buttons by these names: the list holds exactly the events of the table,
// in its order.
TEST_F(MenuEventsTest, TheEventListHoldsTheTablesNamesInOrder) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::string> listed, table;
    for (UiEvent* event : _menu->getEvents())
        listed.push_back(event->name);
    for (const Row& row : rows())
        table.push_back(row.event);
    EXPECT_EQ(listed, table);
    EXPECT_EQ(table.size(), 61u);
}

TEST_F(MenuEventsTest, MainMenuEvents) { runRows({Tutorial, Main}); }
TEST_F(MenuEventsTest, MapAndMissionEvents) { runRows({Map, Mission}); }
TEST_F(MenuEventsTest, OptionsAndCreditsEvents) { runRows({Options, Credits}); }
TEST_F(MenuEventsTest, ShopEvents) { runRows({Shop}); }
TEST_F(MenuEventsTest, MessageEvents) { runRows({Message}); }
TEST_F(MenuEventsTest, HudReviveAndSurpriseEvents) { runRows({Hud, Revive, Surprise}); }
TEST_F(MenuEventsTest, ResultsEvents) { runRows({Results}); }
TEST_F(MenuEventsTest, PauseEvents) { runRows({Pause}); }


// Without a ticket the travel button asks; Yes opens the shop at the ticket row and its back
// button returns to the map, No returns to the map at once. Nothing is paid or counted.
TEST_F(MenuEventsTest, TravelWithoutATicketAsksAndYesOpensTheShopAtTheTickets) {
    for (int answer : {1, 0}) {
        SCOPED_TRACE(answer);
        bringUp(Map);
        ASSERT_FALSE(HasFatalFailure());
        shop()->setTickets(0);
        map()->setSelected(map()->findContinent("hills"));
        map()->refreshButtons();
        frames(60);
        const size_t mark = platform::analyticsService().sent.size();
        ASSERT_GE(buttonOf("map", "onMapSelect").x, 0.0f);
        tap(buttonOf("map", "onMapSelect"));
        awaitTouches("message");
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(history(), (std::vector<std::string>{"main", "map"}));
        tap(buttonOf("message", answer == 1 ? "onMessageYes" : "onMessageNo"));
        if (answer == 1) {
            shows("shop", {"main", "map"});
            EXPECT_EQ(focus(), shop()->_ticketRow);
            awaitTouches("shop");
            tap(buttonOf("shop", "onShopBack"));
        }
        shows("map", {"main"});
        EXPECT_EQ(map()->getCurrent()->name, "meadow");
        EXPECT_EQ(shop()->getTickets(), 0);
        EXPECT_TRUE(sentSince(mark).empty());
        forget();
    }
}

// Leaving or restarting a paused run moves its goods into the totals once: nothing later adds
// them again, and the totals are kept for the next launch.
TEST_F(MenuEventsTest, LeavingOrRestartingAPausedRunCollectsItsGoodsOnce) {
    for (const char* event : {"onPauseExit", "onPauseRestart"}) {
        SCOPED_TRACE(event);
        bringUp(Pause);
        ASSERT_FALSE(HasFatalFailure());
        const int32_t coins = shop()->getCoins(), tickets = shop()->getTickets();
        tap(buttonOf("pause", event));
        EXPECT_EQ(shop()->getCoins(), coins + 13);
        EXPECT_EQ(shop()->getTickets(), tickets + 2);
        EXPECT_EQ(goods("coins")._amount, 0.0f);
        EXPECT_EQ(goods("tickets")._amount, 0.0f);
        // The screens that follow (the main menu, or the HUD of the new run) add nothing more.
        EXPECT_TRUE(settle());
        frames(120);
        EXPECT_EQ(shop()->getCoins(), coins + 13);
        EXPECT_EQ(shop()->getTickets(), tickets + 2);
        // The next launch finds the totals saved.
        unload();
        load();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(shop()->getCoins(), coins + 13);
        EXPECT_EQ(shop()->getTickets(), tickets + 2);
        forget();
    }
}

// The shop's tab buttons step through their tab: with nothing affordable one entry a press and
// back to the first entry after the heading past the end; with coins on to the next entry the
// player can afford.
TEST_F(MenuEventsTest, TabButtonsStepThroughTheirTab) {
    bringUp(Shop);
    ASSERT_FALSE(HasFatalFailure());
    const MenuShopExt::Range boosts = shop()->_boosts;
    ASSERT_GT(boosts.last, boosts.first + 1);
    const Vector3 button = buttonOf("shop", "onShopSelectBoosts");
    ASSERT_GE(button.x, 0.0f);

    shop()->setCoins(0);
    for (int32_t expected = boosts.first + 1; expected <= boosts.last; ++expected) {
        tap(button);
        EXPECT_EQ(focus(), expected);
    }
    tap(button);
    EXPECT_EQ(focus(), boosts.first + 1) << "past the last boost: the first after the heading";

    // Rich enough for some: from the last boost to the first affordable one after the heading.
    shop()->setCoins(100);
    int32_t affordable = -1;
    for (int32_t i = boosts.first + 1; i <= boosts.last && affordable < 0; ++i)
        if (shop()->hasAffordableItem(i, i))
            affordable = i;
    ASSERT_GT(affordable, boosts.first);
    shop()->focusListIndex(boosts.last);
    tap(button);
    EXPECT_EQ(focus(), affordable);
    EXPECT_EQ(current(), "shop");
}

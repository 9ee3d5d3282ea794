// The HUD, revive and pause panels on the sample game: the HUD following a run through the stage's
// frames and through direct calls (labels, bars, boost icons, messages, the word, the brake, the
// stargate, debug texts), the revive countdown and its end, and the pause taking every touch.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine_game/Text.h"
#include "engine_game/Object.h"
#include "game/actors/ZelvanBoost.h"
#include "game/menu/ZelvanMenuHudExt.h"
#include "game/menu/ZelvanMenuPauseExt.h"
#include "game/menu/ZelvanMenuReviveExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanelItem.h"

namespace {

class HudTest : public GameFixture {
protected:
    // The harness's load (the fixture's keys first), the HUD, revive and pause extensions there
    // and the menus settled.
    void load(const char* fixture = "") {
        GameFixture::load(fixture);
        ASSERT_FALSE(HasFatalFailure());
        _hud = _menu->getHudExt();
        _revive = _menu->getReviveExt();
        ASSERT_NE(_hud, nullptr);
        ASSERT_NE(_revive, nullptr);
        ASSERT_NE(_menu->getPauseExt(), nullptr);
        settle();
    }
    // Frames until the named panel is on screen and no change is pending.
    bool reaches(const std::string& name, int limit = 300) {
        for (int i = 0; i < limit && (_menu->currentPanelName() != name || _menu->isChangePending()); ++i)
            frame();
        return _menu->currentPanelName() == name;
    }
    PanelItem* item(const std::string& panelName, const std::string& name) const {
        return panel(panelName)->findItem(name);
    }
    std::string text(const std::string& panelName, const std::string& name, int line = 0) const {
        PanelItem* i = item(panelName, name);
        if (!i || line >= (int)i->getTexts().size() || !i->getTexts()[line])
            return "<none>";
        return i->getTexts()[line]->_text;
    }
    bool wanted(const std::string& name) const { return item("hud", name)->isWanted(); }
    bool nodeShown(PanelItem* i, const std::string& node) const {
        Object* n = i->findNode(node);
        return n && n->_active != 0;
    }
    // Starts a run and waits until the HUD is on screen.
    void startRun() {
        _menu->startRun();
        ASSERT_TRUE(reaches("hud"));
    }

    MenuHudExt* _hud = nullptr;
    MenuReviveExt* _revive = nullptr;
};

TEST_F(HudTest, DuringARunTheHudFollowsTheStagesFigures) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    startRun();
    ASSERT_FALSE(HasFatalFailure());
    ActorPlayer* player = _stage->getPlayer();
    frames(120);
    ASSERT_EQ(_stage->getState(), Stage::StateRunning);
    EXPECT_EQ(text("hud", "distance"), std::to_string((int)player->_goods._distance));
    EXPECT_EQ(text("hud", "coins"), std::to_string((int)player->_goods.get("coins")._amount));
    EXPECT_GT(player->_goods._distance, 1.0f);
    EXPECT_GT(_hud->_energyShown, 0.0f) << "the energy bar moved towards the train's energy";
    EXPECT_NEAR(_hud->_energyShown, _hud->_energyTarget, 1.0f);

    // A boost the stage reports appears on the icon with its bar; it goes when the boost ends.
    Boost* magnet = _stage->getBoostContainer()->acquire("magnet");
    ASSERT_NE(magnet, nullptr);
    player->addBoost(magnet);
    frames(2);
    EXPECT_TRUE(wanted("boost"));
    EXPECT_EQ(_hud->_boostIcons.current(), 2);
    EXPECT_TRUE(nodeShown(item("hud", "boost"), "magnet"));
    EXPECT_GT(_hud->_boostValue[2], 0.0f);
    for (int i = 0; i < 6000 && wanted("boost"); ++i)
        frame();
    EXPECT_FALSE(wanted("boost")) << "the boost ran out and its icon went";
    EXPECT_EQ(_hud->_boostValue[2], 0.0f);

    // The word: the stage passes the missing letters; the collected ones are highlighted.
    player->_goods._word = "train";
    player->_goods._missingLetters = "rin";
    frames(1);
    EXPECT_TRUE(wanted("word"));
    EXPECT_EQ(text("hud", "word", 0), "T");
    EXPECT_EQ(text("hud", "word", 4), "N");
}

TEST_F(HudTest, DirectCallsDriveLabelsBoostsWordBrakeAndDebug) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    startRun();
    ASSERT_FALSE(HasFatalFailure());
    // Direct calls only: the stage stands so its frames do not overwrite them.
    _stage->setState(Stage::StateStanding);
    Panel* hud = panel("hud");

    _hud->setCoins(1234);
    _hud->setDistance(77);
    EXPECT_EQ(text("hud", "coins"), "1234");
    EXPECT_EQ(text("hud", "distance"), "77");

    // Two boosts take turns every second; the bar shows the one on display.
    _hud->setBoostTime1(30);
    _hud->setBoostTime3(60);
    std::vector<int> seen;
    for (int i = 0; i < 150; ++i) {
        _hud->update(kDt);
        if (seen.empty() || seen.back() != _hud->_boostIcons.current())
            seen.push_back(_hud->_boostIcons.current());
    }
    EXPECT_EQ(seen, std::vector<int>({1, 3, 1}));
    EXPECT_TRUE(wanted("movie01") && wanted("movie02")) << "the turbo's screen effect";
    // Showing an item again every frame would restart its effects: it is shown once.
    PanelItem* movie = hud->findItem("movie01");
    const int stateBefore = movie->state();
    _hud->update(kDt);
    EXPECT_EQ(movie->state(), stateBefore);
    _hud->setBoostTime1(0);
    _hud->setBoostTime3(0);
    for (int i = 0; i < 150; ++i)
        _hud->update(kDt);
    EXPECT_FALSE(wanted("boost"));
    EXPECT_FALSE(wanted("movie01"));

    // The word: letters collected are orange, missing ones white; the same call changes nothing.
    PanelItem* word = hud->findItem("word");
    ASSERT_NE(word, nullptr);
    _hud->setWord("train", "rin");  // collected: t, a
    EXPECT_EQ(MenuHudExt::collectedLetters("train", "rin"), "ta");
    EXPECT_EQ(MenuHudExt::collectedLetters("Banana", "an"), "Bana");
    EXPECT_EQ(text("hud", "word", 0) + text("hud", "word", 1) + text("hud", "word", 4), "TRN");
    // Orange: collected; white: still missing.
    auto colours = [&] {
        std::string out;
        for (int i = 0; i < 5; ++i)
            out += word->getNamedNodes()[i].node->_color.y < 0.75f ? 'o' : 'w';
        return out;
    };
    EXPECT_EQ(colours(), "owoww");
    EXPECT_TRUE(nodeShown(word, "letter04"));
    EXPECT_FALSE(nodeShown(word, "letter05")) << "places beyond the word are hidden";
    const float waitBefore = _hud->_wordWait._remaining;
    _hud->update(0.5f);
    _hud->setWord("train", "rin");
    EXPECT_LT(_hud->_wordWait._remaining, waitBefore) << "no change: the wait goes on";
    _hud->setWord("train", "ri");
    EXPECT_FLOAT_EQ(_hud->_wordWait._remaining, _hud->_wordWait._duration) << "a new letter restarts the wait";
    EXPECT_EQ(colours(), "owowo");
    // A word with a letter twice: only as many places turn as letters were collected.
    _hud->setWord("otto", "to");
    EXPECT_EQ(colours().substr(0, 4), "ooww");
    for (int i = 0; i < 70; ++i)
        _hud->update(kDt);
    EXPECT_FALSE(wanted("word"));

    // Debug texts from outside keep their '%'.
    _hud->setDebugVisible(true);
    EXPECT_TRUE(wanted("debug_log"));
    _hud->setDebugLevel("level_%d_100%");
    EXPECT_EQ(text("hud", "debug_level"), "level_%d_100%");

    // The brake: the icon blinks while braking, the bar turns green once recharged.
    PanelItem* brake = hud->findItem("brake");
    ASSERT_NE(brake, nullptr);
    _hud->setBrake(50, 0);
    std::vector<bool> icon;
    for (int i = 0; i < 60; ++i) {
        _hud->update(1.0f / 30.0f);
        icon.push_back(nodeShown(brake, "icon"));
    }
    EXPECT_FALSE(icon[5]);
    EXPECT_TRUE(icon[20]);
    _hud->setBrake(0, 40);
    EXPECT_TRUE(nodeShown(brake, "icon")) << "the icon stands again after the brake";
    EXPECT_LT(_hud->_brakeFlashTime, 0.0f);
}

TEST_F(HudTest, MessagesComeOneAfterTheOtherAndTheCrashReplacesThem) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    startRun();
    ASSERT_FALSE(HasFatalFailure());
    _stage->setState(Stage::StateStanding);
    PanelItem* message = item("hud", "message");
    ASSERT_NE(message, nullptr);
    // Let the run's start message go by.
    for (int i = 0; i < 600 && (message->state() != PanelItem::StateHidden || !_hud->_messages.empty() ||
                                _hud->_messageDelay.isRunning());
         ++i)
        frame();
    ASSERT_EQ(message->state(), PanelItem::StateHidden);

    _hud->queueMessage("first");
    _hud->queueMessage("");
    _hud->queueMessage("50% more");
    EXPECT_EQ(_hud->_messages.size(), 2u) << "empty texts are not queued";
    frame();
    EXPECT_EQ(text("hud", "message"), "first") << "a quiet HUD shows the first message at once";
    int shownFrames = 0;
    for (int i = 0; i < 600 && text("hud", "message") == "first"; ++i) {
        frame();
        shownFrames += message->state() == PanelItem::StateShown;
    }
    EXPECT_NEAR(shownFrames * kDt, _hud->_messageWait._duration, 0.1f);
    EXPECT_EQ(text("hud", "message"), "50% more");

    _hud->queueMessage("a");
    _hud->queueMessage("b");
    _hud->showPlayerDeath();
    ASSERT_EQ(_hud->_messages.size(), 1u);
    EXPECT_NE(_hud->_messages.front(), "a");
}

TEST_F(HudTest, TheStargateIndicatorSwitchesWithoutFadingWhenTheFadeTimeIsNegative) {
    load("[menu_hud_extension]\nstargateFadeTime = -1\n");
    ASSERT_FALSE(HasFatalFailure());
    startRun();
    ASSERT_FALSE(HasFatalFailure());
    _stage->setState(Stage::StateStanding);
    EXPECT_FLOAT_EQ(_hud->_stargateFade._duration, 0.0f);
    _hud->setStargateActive(true);
    _hud->update(kDt);
    EXPECT_TRUE(wanted("stargate"));
    _hud->setStargateActive(false);
    _hud->update(kDt);
    EXPECT_FALSE(wanted("stargate"));
}

TEST_F(HudTest, ThePausePanelPausesTakesEveryTouchAndResumes) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    startRun();
    ASSERT_FALSE(HasFatalFailure());
    frames(30);
    ActorPlayer* player = _stage->getPlayer();
    _menu->pauseRun();
    ASSERT_TRUE(reaches("pause"));
    EXPECT_EQ(_stage->getState(), Stage::StatePaused);
    const float ridden = player->_goods._distance;
    frames(30);
    EXPECT_FLOAT_EQ(player->_goods._distance, ridden);
    MenuPauseExt* pause = _menu->getPauseExt();
    EXPECT_TRUE(pause->touchBegan(0, Vector3(0.5f, 0.5f, 0)));
    EXPECT_TRUE(pause->touchMoved(0, Vector3(0.6f, 0.5f, 0)));
    EXPECT_TRUE(pause->touchEnded(0, Vector3(0.6f, 0.5f, 0)));
    for (UiEvent* event : _menu->getEvents())
        if (std::string(event->name) == "onPauseResume")
            event->execute(nullptr);
    ASSERT_TRUE(reaches("hud"));
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
    frames(10);
    EXPECT_GT(player->_goods._distance, ridden);
}

TEST_F(HudTest, TheReviveCountdownRunsAndDeclinesTheOfferWhenItEnds) {
    load("[menu_revive_extension]\nreviveCoins = 49.9\n");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(_revive->getPrice(), 49u);
    startRun();
    ASSERT_FALSE(HasFatalFailure());
    _stage->getPlayer()->_goods.get("coins")._amount = 12.6f;
    _menu->showRunEnd();
    ASSERT_TRUE(reaches("revive"));
    EXPECT_TRUE(_revive->_counting);
    EXPECT_TRUE(_revive->touchBegan(0, Vector3(0.5f, 0.5f, 0)));
    const int bank = _menu->getShopExt() ? _menu->getShopExt()->getCoins() : 0;
    EXPECT_EQ(text("revive", "coins"), std::to_string(bank + 13));
    EXPECT_NE(text("revive", "revive_coins").find("49"), std::string::npos) << text("revive", "revive_coins");

    std::vector<std::string> shown;
    for (int i = 0; i < 600 && _menu->currentPanelName() == "revive"; ++i) {
        frame();
        const std::string t = text("revive", "table");
        if (_revive->_counting && (shown.empty() || shown.back() != t))
            shown.push_back(t);
    }
    EXPECT_EQ(shown, std::vector<std::string>({"5", "4", "3", "2", "1", "0"}));
    EXPECT_FALSE(_revive->_counting);
    EXPECT_TRUE(reaches("results")) << "the offer declined: the next run-end screen";
}

TEST_F(HudTest, AReviveCountdownWithoutDurationLeavesAtOnce) {
    load("[menu_revive_extension]\nduration = 0\n");
    ASSERT_FALSE(HasFatalFailure());
    startRun();
    ASSERT_FALSE(HasFatalFailure());
    _menu->showRunEnd();
    EXPECT_TRUE(reaches("results")) << "an offer that never counts down must not wait for ever";
    EXPECT_FALSE(_revive->_counting);
    const std::vector<std::string>& seen = runReport().screensVisited;
    EXPECT_NE(std::find(seen.begin(), seen.end(), "revive"), seen.end());
}

TEST_F(HudTest, AMenuFigureThatCannotBeMadeIsLoggedAndLeftOut) {
    load("[badFigure]\nobjectFile = objects/menu/no_such_figure.object\n");
    ASSERT_FALSE(HasFatalFailure());
    MenuShopExt* shop = _menu->getShopExt();
    ASSERT_TRUE(shop && shop->_scene);
    testsupport::LogCapture log;
    EXPECT_EQ(MenuExtension::createMenuActor(shop->_scene, nullptr, "badFigure", nullptr), nullptr);
    EXPECT_TRUE(log.contains("no_such_figure")) << log.all();
    EXPECT_EQ(MenuExtension::createMenuActor(nullptr, nullptr, "badFigure", nullptr), nullptr);
    EXPECT_TRUE(log.contains("no scene")) << log.all();
}

TEST(HudTexts, ThePriceTakesThePlaceOfTheFirstStringConversionOnly) {
    EXPECT_EQ(MenuReviveExt::priceText("Revive for %s coins", 100), "Revive for 100 coins");
    EXPECT_EQ(MenuReviveExt::priceText("%d%s %s", 7), "%d7 %s") << "other conversions are not read";
    EXPECT_EQ(MenuReviveExt::priceText("No price", 7), "No price");
}

}  // namespace

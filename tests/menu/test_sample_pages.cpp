// The sample content's interface through the panel container: "title" then "menu" load every
// panel with its items, every button binds one of the menu's events (and all of them are
// bound), and the buttons answer taps where they are drawn once their panel has come in.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/ui/Page.h"
#include "engine/ui/View.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"
#include "support_menu.h"

namespace {

// The menu's 61 events, in the menu's order.
const char* const kMenuEvents[] = {
    "onTutorialStart", "onMainStart", "onMainOptions", "onMainShop", "onMainShopSelectCharacters",
    "onMainShopSelectTrains", "onMainMap", "onMainMissions", "onMapBack", "onMapTicket", "onMapStart", "onMapSelect",
    "onMapSelectLeft", "onMapSelectRight", "onMissionBack", "onOptionsMusic", "onOptionsSFX", "onOptionsTutorial",
    "onOptionsGamecenter", "onOptionsFacebook", "onOptionsTwitter", "onOptionsMorefun", "onOptionsKavelWeb",
    "onOptionsRestorePurchases", "onOptionsCredits", "onOptionsBack", "onCreditsBack", "onShopCoin2",
    "onShopTicket2", "onShopItem", "onShopBank", "onShopSelectBoosts", "onShopSelectCharacters",
    "onShopSelectTrains", "onShopSelectSkin", "onShopSelectBank", "onShopBack", "onMessageYes", "onMessageOk",
    "onMessageNo", "onHudPause", "onHudRecord", "onHudPlayerSelect", "onHudDebug", "onReviveVideo", "onReviveCoins",
    "onReviveNo", "onSurpriseboxOpen", "onResultsCoin2", "onResultsMap", "onResultsMissions", "onResultsRestart",
    "onResultsShop", "onResultsExit", "onResultsTwitter", "onResultsPlayback", "onResultsFacebook", "onPauseBack",
    "onPauseResume", "onPauseExit", "onPauseRestart"};

class MenuEvents : public UiEventHandler {
public:
    MenuEvents() {
        for (const char* name : kMenuEvents) {
            owned.emplace_back(new menutest::CountingEvent(name));
            events.push_back(owned.back().get());
        }
    }
    int runs(const std::string& name) const {
        for (const auto& e : owned)
            if (name == e->name)
                return e->runs;
        return -1;
    }
    std::vector<std::unique_ptr<menutest::CountingEvent>> owned;
};

Object* findBelow(Object* top, const std::string& name) {
    if (!top)
        return nullptr;
    if (top->_name == name)
        return top;
    for (Object* child : top->_children)
        if (Object* found = findBelow(child, name))
            return found;
    return nullptr;
}

class SamplePages : public ::testing::Test {
protected:
    void SetUp() override {
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _docs.path()));
        _oldGame = IGame::instance();
        IGame::setInstance(&_screen);
        frameTime().dt = 1.0f / 60.0f;
        ConfigStore::instance().resetForTests();
        ConfigStore::instance().loadMainFile("configs/config.txt");
        _container = Zelvan::PanelContainer::create(&_events, "menu");
        ASSERT_NE(_container, nullptr);
        _container->load("title");
        _container->load("menu");
    }
    void TearDown() override {
        delete _container;
        _container = nullptr;
        menutest::releaseResources();
        ConfigStore::instance().resetForTests();
        frameTime().dt = 0;
        IGame::setInstance(_oldGame);
    }

    Panel* panel(const std::string& name) const { return _container->findPanel(name); }

    void frames(int n) {
        for (int i = 0; i < n; ++i)
            _container->update(1.0f / 60.0f);
    }
    bool showUntilActive(Panel* p) {
        p->show(false);
        for (int i = 0; i < 120 && !p->isActive(); ++i)
            frames(1);
        frames(2);
        return p->isActive();
    }
    void hideUntilGone(Panel* p) {
        p->hide(true);
        for (int i = 0; i < 120 && p->isVisible(); ++i)
            frames(1);
    }

    // The finger (normalised, y down) at the centre of a button node's screen rectangle.
    Vector3 fingerOn(View* view) const {
        return Vector3((view->_ownLow.x + view->_ownHigh.x) * 0.5f, 1.0f - (view->_ownLow.y + view->_ownHigh.y) * 0.5f,
                       0);
    }
    View* buttonIn(const std::string& panelName, const std::string& item, const std::string& node) const {
        Panel* p = panel(panelName);
        PanelItem* i = p ? p->findItem(item) : nullptr;
        return i ? dynamic_cast<View*>(findBelow(i->getNode(), node)) : nullptr;
    }
    void tap(View* view) {
        const Vector3 finger = fingerOn(view);
        _container->touchBegan(0, finger);
        frames(1);
        _container->touchEnded(0, finger);
        frames(1);
    }

    testsupport::TempDir _docs;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    IGame* _oldGame = nullptr;
    MenuEvents _events;
    Zelvan::PanelContainer* _container = nullptr;
};

TEST_F(SamplePages, TitleThenMenuLoadEveryPanelWithItsItems) {
    const std::vector<std::string> names = {"loading", "main",   "tutorial", "options", "credits",
                                            "shop",    "map",    "mission",  "hud",     "pause",
                                            "revive",  "surprise", "results", "message"};
    ASSERT_EQ(_container->getPanels().size(), names.size());
    const ConfigStore& c = ConfigStore::instance();
    std::vector<std::string> entries = {"loading"};
    for (const std::string& e : c.getList("menu.pages"))
        entries.push_back(e);
    for (size_t i = 0; i < names.size(); ++i) {
        Panel* p = _container->getPanels()[i];
        EXPECT_EQ(p->getName(), names[i]);
        EXPECT_NE(p->getPage(), nullptr);
        // Every configured item came to be: none named a missing node.
        EXPECT_EQ(p->getItems().size(), c.getList(entries[i] + ".items").size()) << names[i];
        bool automatic = false;
        for (PanelItem* item : p->getItems()) {
            automatic = automatic || item->isAutomatic();
            for (size_t t = 0; t < item->getTexts().size(); ++t)
                EXPECT_NE(item->getTexts()[t], nullptr) << names[i] << "." << item->getName() << " line " << t;
        }
        EXPECT_TRUE(automatic) << names[i];
    }
    // The controller's named lookups.
    for (const char* item : {"message_text", "message_ok", "message_yes", "message_no"})
        EXPECT_NE(panel("message")->findItem(item), nullptr) << item;
    EXPECT_NE(panel("hud")->findItem("energy")->findNode("progressbar"), nullptr);
    EXPECT_NE(panel("loading")->findItem("loading")->findNode("progressbar10"), nullptr);
    EXPECT_NE(panel("credits")->findNode("credits_up"), nullptr);
    EXPECT_NE(panel("shop")->findNode("shop_down"), nullptr);
    EXPECT_TRUE(_container->setItemText("message", "message_text", 2, "text"));
}

TEST_F(SamplePages, EveryButtonBindsAMenuEventAndEveryEventHasAButton) {
    std::set<std::string> bound;
    size_t buttons = 0;
    for (View* v : _container->_views) {
        if (v->kind() != View::KindButton)
            continue;
        ++buttons;
        EXPECT_TRUE(v->_upEvent || v->_downEvent) << "button " << v->_name << " binds nothing";
        if (v->_upEvent)
            bound.insert(v->_upEvent->name);
        if (v->_downEvent)
            bound.insert(v->_downEvent->name);
        EXPECT_NE(v->_meshes.size(), 0u) << "button " << v->_name << " has no mesh to be hit on";
    }
    EXPECT_GT(buttons, 61u);
    for (const char* e : kMenuEvents)
        EXPECT_EQ(bound.count(e), 1u) << "no button runs " << e;
}

TEST_F(SamplePages, ButtonsAnswerTapsWhereTheyAreDrawn) {
    // The first shown panel's play button.
    ASSERT_TRUE(showUntilActive(panel("main")));
    View* play = buttonIn("main", "start", "button");
    ASSERT_NE(play, nullptr);
    EXPECT_GT(play->_ownHigh.x - play->_ownLow.x, 0.2f) << "the play button is drawn wide on the screen";
    EXPECT_GT(play->_ownLow.x, 0.0f);
    EXPECT_LT(play->_ownHigh.x, 1.0f);
    tap(play);
    EXPECT_EQ(_events.runs("onMainStart"), 1);
    tap(buttonIn("main", "shop_trains", "button"));
    EXPECT_EQ(_events.runs("onMainShopSelectTrains"), 1);
    hideUntilGone(panel("main"));
    EXPECT_FALSE(panel("main")->isVisible());

    // The message box with its OK button only.
    ASSERT_TRUE(_container->setItemVisible("message", "message_ok", true));
    ASSERT_TRUE(showUntilActive(panel("message")));
    tap(buttonIn("message", "message_ok", "button"));
    EXPECT_EQ(_events.runs("onMessageOk"), 1);
    EXPECT_EQ(_events.runs("onMessageYes"), 0);
    hideUntilGone(panel("message"));

    // The volume buttons run their events as the finger goes down.
    ASSERT_TRUE(showUntilActive(panel("options")));
    View* music = buttonIn("options", "music", "button");
    ASSERT_NE(music, nullptr);
    _container->touchBegan(0, fingerOn(music));
    EXPECT_EQ(_events.runs("onOptionsMusic"), 1);
    _container->touchEnded(0, fingerOn(music));
    hideUntilGone(panel("options"));

    // The HUD's pause button stays in its corner.
    ASSERT_TRUE(showUntilActive(panel("hud")));
    View* pause = buttonIn("hud", "pause", "button");
    ASSERT_NE(pause, nullptr);
    EXPECT_GT(pause->_ownLow.x, 0.7f);
    EXPECT_GT(pause->_ownLow.y, 0.85f);
    tap(pause);
    EXPECT_EQ(_events.runs("onHudPause"), 1);
}

}  // namespace

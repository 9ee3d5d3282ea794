// The sample content's "title" and "menu" panel sets through the panel container: every panel
// loads, comes in, settles and leaves within a bounded number of frames (so the menu's queue of
// panel changes never stalls), and a button of the main screen runs its event once.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine_game/Camera.h"
#include "engine/bounds.h"
#include "engine/ui/UiEvent.h"
#include "engine/ui/View.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"
#include "support_menu.h"

namespace {

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

class SamplePanels : public ::testing::Test {
protected:
    SamplePanels() : _stores(testsupport::contentDir(), _documents.path()) {
        _oldGame = IGame::instance();
        IGame::setInstance(&_screen);
        frameTime().dt = 1.0f / 60.0f;
        ConfigStore::instance().resetForTests();
        ConfigStore::instance().loadMainFile("configs/config.txt");
        for (const char* name : kMenuEvents) {
            _events.emplace_back(new menutest::CountingEvent(name));
            _handler.events.push_back(_events.back().get());
        }
    }
    ~SamplePanels() override {
        delete _container;
        menutest::releaseResources();
        ConfigStore::instance().resetForTests();
        IGame::setInstance(_oldGame);
    }

    void frame() { _container->update(1.0f / 60.0f); }
    template <class Test>
    bool runUntil(Test test, int limit) {
        for (int i = 0; i < limit && !test(); ++i)
            frame();
        return test();
    }

    // The button bound to the event, with the finger point at its projected centre.
    View* buttonOf(const char* event, Vector3& finger) {
        for (View* v : _container->_views) {
            if (!v->_upEvent || std::string(v->_upEvent->name) != event)
                continue;
            Vector3 c = v->getWorldPosition();
            if (v->_bounds)
                c = (v->_bounds->_worldMin + v->_bounds->_worldMax) * 0.5f;
            _container->getCamera()->project(c);
            finger = Vector3(c.x * 0.5f + 0.5f, 1.0f - (c.y * 0.5f + 0.5f), 0);
            return v;
        }
        return nullptr;
    }

    int runs(const char* name) const {
        for (const auto& e : _events)
            if (std::string(e->name) == name)
                return e->runs;
        return -1;
    }

    testsupport::TempDir _documents;
    testsupport::ScopedStores _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    IGame* _oldGame = nullptr;
    UiEventHandler _handler;
    std::vector<std::unique_ptr<menutest::CountingEvent>> _events;
    Zelvan::PanelContainer* _container = nullptr;
};

TEST_F(SamplePanels, EveryPanelComesAndGoesAndTheMainStartButtonFires) {
    _container = Zelvan::PanelContainer::create(&_handler, "menu");
    _container->load("title");
    const size_t titleCount = _container->getPanels().size();
    EXPECT_EQ(titleCount, ConfigStore::instance().getList("title.pages").size());
    _container->load("menu");
    ASSERT_EQ(_container->getPanels().size(), titleCount + ConfigStore::instance().getList("menu.pages").size());
    ASSERT_NE(_container->findPanel("loading"), nullptr);
    ASSERT_NE(_container->getCamera(), nullptr);

    for (Panel* panel : _container->getPanels()) {
        SCOPED_TRACE(panel->getName());
        EXPECT_FALSE(panel->getItems().empty());
        panel->show(false);
        EXPECT_TRUE(runUntil([panel] { return panel->isActive(); }, 300));
        panel->hide(true);
        EXPECT_TRUE(runUntil([panel] { return !panel->isVisible(); }, 300));
    }

    Panel* main = _container->findPanel("main");
    ASSERT_NE(main, nullptr);
    main->show(false);
    ASSERT_TRUE(runUntil([main] { return main->isActive(); }, 300));
    frame();
    Vector3 finger;
    ASSERT_NE(buttonOf("onMainStart", finger), nullptr);
    _container->touchBegan(0, finger);
    frame();
    _container->touchEnded(0, finger);
    frame();
    EXPECT_EQ(runs("onMainStart"), 1);
    for (const auto& e : _events) {
        if (std::string(e->name) != "onMainStart") {
            EXPECT_EQ(e->runs, 0) << e->name;
        }
    }
}

}  // namespace

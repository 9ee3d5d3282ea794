#include "support_menu.h"

#include "engine/render/PSParticleSystem.h"
#include "engine_game/Camera.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"
#include "engine_game/Text.h"
#include "engine/ui/Page.h"
#include "engine/ui/ScrollView.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorMenu.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "engine/ui/View.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/menu/ZelvanMenuExtension.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"

using namespace menutest;

namespace {

bool clickSparked(PanelItem* item) {
    Zelvan::EffectContainer::Effect* e = item->getEffects()->find("sparks");
    return e && e->_psEmitterInstance;
}

}  // namespace

class Panels : public PanelFixture {
protected:
    // Shows the panel and runs until it settled.
    void showSettled(const std::string& name) {
        Panel* p = panel(name);
        ASSERT_NE(p, nullptr);
        p->show(false);
        ASSERT_TRUE(runUntil([p] { return p->isActive(); }));
    }
    void hideGone(const std::string& name) {
        Panel* p = panel(name);
        ASSERT_NE(p, nullptr);
        p->hide(true);
        ASSERT_TRUE(runUntil([p] { return !p->isVisible(); }));
    }
};

TEST_F(Panels, LoadingGivesHiddenPagesAndTheConfiguredItems) {
    loadBoth();
    ASSERT_EQ(_container->getPanels().size(), 3u);
    Panel* title = panel("title");
    // The entry naming a node that does not exist gives no item.
    ASSERT_EQ(title->getItems().size(), 2u);
    EXPECT_FALSE(title->isShown());
    EXPECT_FALSE(title->isVisible());
    EXPECT_FALSE(title->getPage()->_shown);
    // A page node in no item stays hidden; a non-automatic item starts inactive.
    EXPECT_TRUE(node("title", "btn_orphan")->_hidden);
    EXPECT_FALSE(node("title", "btn_start")->_hidden);
    EXPECT_FALSE(item("menu", "spinner")->getNode()->_active);

    PanelItem* play = item("menu", "play");
    ASSERT_EQ(play->getTexts().size(), 3u);
    EXPECT_NE(play->getTexts()[0], nullptr);
    EXPECT_EQ(play->getTexts()[1], nullptr);  // not a text node: the line keeps its place
    EXPECT_EQ(play->findNode("caption"), play->getTexts()[0]);
    EXPECT_EQ(play->findNode(""), nullptr);
    EXPECT_FALSE(play->setNodeVisible("nothing", true));
    EXPECT_TRUE(play->setNodeVisible("caption", false));
    EXPECT_FALSE(play->findNode("caption")->_active);

    EXPECT_EQ(_container->findPanel(""), nullptr);
    EXPECT_FALSE(_container->setItemText("nowhere", "play", 0, "x"));
    EXPECT_FALSE(_container->setItemText("menu", "nothing", 0, "x"));
    EXPECT_FALSE(panel("menu")->showItem("nothing", 1));
}

TEST_F(Panels, ButtonsFireTheirEventsOnceAndPlayTheItemsClick) {
    loadBoth();
    showSettled("title");
    PanelItem* start = item("title", "start");
    EXPECT_FALSE(clickSparked(start));

    tap(fingerAt("title", "btn_start"));
    EXPECT_EQ(_handler.runs("onStartDown"), 1);
    EXPECT_EQ(_handler.runs("onStart"), 1);
    EXPECT_TRUE(clickSparked(start));

    // Down on the button, lifted away from it: only the down event, no click.
    start->getEffects()->stopAll();
    _handler.clear();
    press(fingerAt("title", "btn_start"));
    frame();
    lift(Vector3(0.02f, 0.02f, 0));
    frame();
    EXPECT_EQ(_handler.runs("onStartDown"), 1);
    EXPECT_EQ(_handler.runs("onStart"), 0);
    EXPECT_FALSE(clickSparked(start));
    EXPECT_EQ(panel("title")->getTouchedView(), nullptr);

    // A button in no item is hidden with the rest of the page and cannot be touched.
    tap(fingerAt("title", "btn_orphan"));
    EXPECT_EQ(_handler.runs("onOrphan"), 0);

    hideGone("title");
    showSettled("menu");
    _handler.clear();
    tap(fingerAt("menu", "btn_play"));
    tap(fingerAt("menu", "btn_shop"));
    EXPECT_EQ(_handler.runs("onPlay"), 1);
    EXPECT_EQ(_handler.runs("onShop"), 1);
    // The hidden title panel takes no touches any more.
    tap(fingerAt("title", "btn_start"));
    EXPECT_EQ(_handler.runs("onStart"), 0);
}

TEST_F(Panels, ItemsGoInIdleAndOutWithTheExtensionTold) {
    loadBoth();
    Panel* title = panel("title");
    RecordingExtension ext;
    title->addExtension(&ext);
    title->addExtension(nullptr);
    ASSERT_EQ(title->getExtensions().size(), 1u);
    PanelItem* logo = item("title", "logo");

    title->show(false);
    EXPECT_EQ(ext.calls, std::vector<std::string>({"show 0"}));
    EXPECT_EQ(logo->state(), PanelItem::StateEntering);
    frame();
    EXPECT_EQ(logo->state(), PanelItem::StateEntering);  // "in" plays 12 frames
    // The start button has no "in": it settles at once, and with it the panel.
    EXPECT_EQ(item("title", "start")->state(), PanelItem::StateShown);
    EXPECT_TRUE(title->isActive());
    ASSERT_TRUE(runUntil([&] { return logo->state() == PanelItem::StateShown; }, 60));
    EXPECT_TRUE(title->isActive());
    // The looping idle keeps the item shown.
    frame(120);
    EXPECT_EQ(logo->state(), PanelItem::StateShown);
    EXPECT_TRUE(logo->getAnimator()->isPlaying());
    EXPECT_GT(ext.updates, 0);

    title->hide(true);
    EXPECT_EQ(ext.calls, std::vector<std::string>({"show 0", "hide 1"}));
    EXPECT_FALSE(title->isActive());
    EXPECT_TRUE(title->isVisible());
    // The idle's current cycle ends, then "out" plays; the panel goes once every automatic item
    // is hidden.
    ASSERT_TRUE(runUntil([&] { return logo->state() == PanelItem::StateLeaving; }, 30));
    ASSERT_TRUE(runUntil([&] { return !title->isVisible(); }, 30));
    EXPECT_EQ(logo->state(), PanelItem::StateHidden);
    EXPECT_FALSE(title->getPage()->_shown);
    EXPECT_EQ(ext.calls, std::vector<std::string>({"show 0", "hide 1", "hidden"}));

    // Shown again before the items left: no onHidden, the items come back to state 1.
    title->show(true);
    ASSERT_TRUE(runUntil([&] { return title->isActive(); }, 60));
    title->hide(false);
    frame(2);
    title->show(true);
    ASSERT_TRUE(runUntil([&] { return logo->state() == PanelItem::StateShown && title->isActive(); }, 120));
    frame(60);
    EXPECT_EQ(ext.count("hidden"), 1);
    EXPECT_EQ(logo->state(), PanelItem::StateShown);
}

TEST_F(Panels, NonAutomaticItemsComeAndGoOnTheirOwn) {
    loadBoth();
    Panel* menu = panel("menu");
    PanelItem* spinner = item("menu", "spinner");
    showSettled("menu");
    EXPECT_FALSE(spinner->getNode()->_active);
    EXPECT_TRUE(menu->showItem("spinner", 1));
    EXPECT_EQ(spinner->state(), PanelItem::StateEntering);
    frame();
    EXPECT_TRUE(spinner->getNode()->_active);
    ASSERT_TRUE(runUntil([&] { return spinner->state() == PanelItem::StateShown; }, 10));
    EXPECT_TRUE(menu->showItem("spinner", 0));
    ASSERT_TRUE(runUntil([&] { return spinner->state() == PanelItem::StateHidden; }, 10));
    EXPECT_FALSE(spinner->getNode()->_active);

    // setVisible adds an item to the panel's show and hide.
    spinner->setVisible(true);
    EXPECT_TRUE(spinner->isAutomatic());
    EXPECT_TRUE(spinner->getNode()->_active);
}

TEST_F(Panels, APanelWithoutAutomaticItemsSettlesAtOnce) {
    loadBoth();
    Panel* plain = panel("plain");
    RecordingExtension ext;
    plain->addExtension(&ext);
    EXPECT_FALSE(plain->isActive());
    plain->show(false);
    // Nothing animates it in, so whoever waits for it to settle does not wait for ever.
    EXPECT_TRUE(plain->isActive());
    frame();
    plain->hide(true);
    EXPECT_FALSE(plain->isActive());
    EXPECT_FALSE(plain->isVisible());
    // Its page still leaves the screen and its extensions hear of it, once.
    EXPECT_TRUE(plain->getPage()->_shown);
    frame(3);
    EXPECT_FALSE(plain->getPage()->_shown);
    EXPECT_EQ(ext.calls, std::vector<std::string>({"show 0", "hide 1", "hidden"}));
}

TEST_F(Panels, ClonedItemsStartRewoundAndSettle) {
    loadBoth();
    Panel* menu = panel("menu");
    showSettled("menu");
    PanelItem* spinner = item("menu", "spinner");
    // The page's own copy was rewound when the page loaded; the pool's copy comes straight from
    // the object file, whose blade loops its key frames.
    PanelItem* copy = Zelvan::MenuExtension::cloneItem(menu, spinner);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->getNode(), spinner->getNode());
    EXPECT_EQ(menu->getItems().back(), copy);
    EXPECT_EQ(copy->getNode()->getWorldPosition(), spinner->getNode()->getWorldPosition());
    EXPECT_FALSE(copy->getAnimator()->isPlaying());
    copy->show();
    ASSERT_TRUE(runUntil([&] { return copy->state() == PanelItem::StateShown; }, 10));
    copy->hide();
    ASSERT_TRUE(runUntil([&] { return copy->state() == PanelItem::StateHidden; }, 10));

    EXPECT_EQ(Zelvan::MenuExtension::cloneItem(menu, nullptr), nullptr);
    EXPECT_EQ(menu->cloneItem("titleMissing"), nullptr);
}

TEST_F(Panels, HidingEndsLoopingKeyFramesOfTheItemsTree) {
    loadBoth();
    Panel* menu = panel("menu");
    PanelItem* spinner = item("menu", "spinner");
    spinner->setVisible(true);
    showSettled("menu");
    // Something set the blade's own key frames looping (as an object file may): hiding must let
    // the cycle end rather than hold the panel.
    Object* blade = spinner->getNode()->_children.at(0);
    ASSERT_NE(blade->_animation, nullptr);
    blade->_animation->_enabled = 1;
    blade->_animation->_playing = 1;
    blade->_animation->_loop = 1;
    frame(30);
    EXPECT_TRUE(spinner->getAnimator()->isPlaying());
    menu->hide(true);
    EXPECT_TRUE(runUntil([&] { return !menu->isVisible(); }, 60));
}

TEST_F(Panels, TextsAreFormatsWithoutArguments) {
    loadBoth();
    PanelItem* play = item("menu", "play");
    Text* label = play->getTexts()[0];
    const struct {
        const char* given;
        const char* shown;
    } cases[] = {
        {"%s", "%s"},
        {"100%%", "100%"},
        {"%d coins", "%d coins"},
        {"50%", "50%"},
        {"%%%s%%", "%%s%"},
        {"plain", "plain"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(_container->setItemText("menu", "play", 0, c.given));
        EXPECT_EQ(label->_text, c.shown) << c.given;
    }
    // Line -1 reaches every text; out-of-range and non-text lines are skipped.
    play->setText(-1, "all %%");
    EXPECT_EQ(label->_text, "all %");
    EXPECT_EQ(play->getTexts()[2]->_text, "all %");
    play->setText(1, "x");
    play->setText(7, "x");
    EXPECT_EQ(label->_text, "all %");
    // Outside text is escaped so that it shows as written.
    play->setText(0, PanelItem::literalText("Jo%%n %s"));
    EXPECT_EQ(label->_text, "Jo%%n %s");
}

TEST_F(Panels, EdgeGroupsSitAtTheScreenEdgesAfterBothLoads) {
    loadBoth();
    frame();
    const Vector3 left = screenOf(node("title", "mark_left")->getWorldPosition());
    const Vector3 right = screenOf(node("menu", "mark_right")->getWorldPosition());
    // "left,top" is the corner; "right" the middle of the edge.
    EXPECT_NEAR(left.x, 0.0f, 1e-3f);
    EXPECT_NEAR(left.y, 1.0f, 1e-3f);
    EXPECT_NEAR(right.x, 1.0f, 1e-3f);
    EXPECT_NEAR(right.y, 0.5f, 1e-3f);
}

TEST_F(Panels, ScrollingContentTakesTheDragAndADragIsNoTap) {
    loadBoth();
    showSettled("menu");
    Object* row = node("menu", "list");
    ASSERT_NE(row, nullptr);
    Object* rowButton = row->_children.at(0);
    const Vector3 start = fingerAt(rowButton);

    tap(start);
    EXPECT_EQ(_handler.runs("onRow"), 1);

    const Vector3 before = rowButton->getWorldPosition();
    press(start);
    frame();
    drag(Vector3(start.x, start.y - 0.05f, 0));
    drag(Vector3(start.x, start.y - 0.1f, 0));
    EXPECT_NE(rowButton->getWorldPosition(), before);
    lift(Vector3(start.x, start.y - 0.1f, 0));
    frame();
    EXPECT_EQ(_handler.runs("onRow"), 1);
    auto* list = dynamic_cast<ScrollView*>(row);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->_dragging);
}

TEST_F(Panels, PendingChangeLocksViewsAndLeavesExtensionsOnlyTheEnd) {
    loadBoth();
    Panel* title = panel("title");
    RecordingExtension ext;
    ext.takeTouches = true;
    title->addExtension(&ext);
    showSettled("title");

    const Vector3 empty(0.9f, 0.9f, 0);
    press(empty);
    EXPECT_EQ(title->getTouchedExtension(), &ext);
    _container->setChangePending(true);
    drag(empty);
    lift(empty);
    EXPECT_EQ(ext.calls, std::vector<std::string>({"show 0", "began", "ended"}));
    EXPECT_EQ(title->getTouchedExtension(), nullptr);

    tap(fingerAt("title", "btn_start"));
    tap(empty);
    EXPECT_EQ(_handler.runs("onStartDown"), 0);
    EXPECT_EQ(_handler.runs("onStart"), 0);
    EXPECT_EQ(ext.count("began"), 1);

    _container->setChangePending(false);
    tap(fingerAt("title", "btn_start"));
    EXPECT_EQ(_handler.runs("onStart"), 1);
}

TEST_F(Panels, ExtensionsTakeTouchesThatMissTheViews) {
    loadBoth();
    Panel* title = panel("title");
    RecordingExtension plain, overViews;
    overViews.overViews = true;
    overViews.takeTouches = true;
    title->addExtension(&plain);
    title->addExtension(&overViews);
    showSettled("title");

    tap(fingerAt("title", "btn_start"));
    // The plain extension is not offered a touch over a view; the other one takes it, after the
    // button's down event.
    EXPECT_EQ(plain.count("began"), 0);
    EXPECT_EQ(overViews.count("began"), 1);
    EXPECT_EQ(overViews.count("ended"), 1);
    EXPECT_EQ(_handler.runs("onStartDown"), 1);
    EXPECT_EQ(_handler.runs("onStart"), 1);

    const Vector3 empty(0.9f, 0.9f, 0);
    press(empty);
    drag(empty);
    lift(empty);
    EXPECT_EQ(plain.count("began"), 1);
    EXPECT_EQ(plain.count("moved"), 0);  // it did not take the touch
    EXPECT_EQ(overViews.count("moved"), 1);
}

TEST_F(Panels, ADownEventThatHidesItsPanelEndsTheTouch) {
    loadBoth();
    showSettled("title");
    Panel* title = panel("title");
    _handler.event("onStartDown")->action = [title] { title->hide(true); };
    tap(fingerAt("title", "btn_start"));
    EXPECT_EQ(_handler.runs("onStartDown"), 1);
    EXPECT_EQ(_handler.runs("onStart"), 0);
    EXPECT_EQ(title->getTouchedView(), nullptr);
}

TEST_F(Panels, ShutdownWithLiveEmittersIsClean) {
    loadBoth();
    showSettled("title");
    tap(fingerAt("title", "btn_start"));
    frame(10);
    PSParticleSystem* system = _container->getParticleSystem();
    ASSERT_NE(system, nullptr);
    EXPECT_GT(system->particleCount(), 0);
    EXPECT_TRUE(clickSparked(item("title", "start")));
    Zelvan::EffectContainer::Effect* glow = item("title", "start")->getEffects()->find("startGlow");
    ASSERT_NE(glow, nullptr);
    EXPECT_NE(glow->_psEmitterInstance, nullptr);
    // The container goes with its panels' effects still holding emitters of its system.
    destroyContainer();
}

TEST_F(Panels, MenuActorsComeFromTheScenesPoolAtTheOrigin) {
    loadConfig(R"(
[testActor]
objectFile = objects/ui/spinner.object
[noActor]
menuAnim = spin
)");
    World world(0);
    world._defaultFactory = &Zelvan::ActorMenu::create;
    Scene* scene = world.createScene("menu", 0, 0);
    testsupport::LogCapture log;
    EXPECT_EQ(Zelvan::MenuExtension::createMenuActor(scene, nullptr, "noActor", nullptr), nullptr);
    EXPECT_TRUE(log.errors().empty());

    Zelvan::ActorMenu* actor = Zelvan::MenuExtension::createMenuActor(scene, nullptr, "testActor", nullptr);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->_pool, scene->getObjectPool("objects/ui/spinner.object"));
    EXPECT_TRUE(actor->isActive());
    EXPECT_EQ(actor->getWorldPosition(), Vector3(0, 0, 0));
    EXPECT_FALSE(actor->_animator && actor->_animator->isPlaying());
    // A second one is another instance of the same pool.
    Zelvan::ActorMenu* second = Zelvan::MenuExtension::createMenuActor(scene, nullptr, "testActor", nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, actor);
}

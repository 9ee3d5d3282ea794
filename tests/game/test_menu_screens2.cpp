// The menu's screens as a player meets them on the sample game: the world map's train on its
// continent, the missions screen taking the game's world over and giving it back, the shop's rows
// beyond the list window, the menu cameras' view angle and the banner of the screens that show it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine/render/PSParticleSystem.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSkin.h"
#include "game/track/ZelvanRoad.h"
#include "engine/plat_linux/AdServices.h"
#include "engine/services.h"

namespace {

bool activeChain(const Object* node) {
    for (; node; node = node->_parent)
        if (!node->_active)
            return false;
    return true;
}

class MenuScreens2 : public GameFixture {
protected:
    // Loads the game and brings the main menu up (a first start shows the tutorial first).
    void toMainMenu() {
        load();
        ASSERT_TRUE(settle());
        _menu->goToPanel("main", false);
        ASSERT_TRUE(reaches("main"));
        ASSERT_TRUE(settle());
    }
    // Opens the panel from the main menu and lets it come in.
    void open(const std::string& name) {
        ASSERT_TRUE(_menu->goToPanel(name, false));
        ASSERT_TRUE(reaches(name));
        ASSERT_TRUE(activates(name));
    }
    // Steps back to the main menu and lets the panel before it go.
    void back() {
        ASSERT_TRUE(_menu->goBack(true));
        ASSERT_TRUE(reaches("main"));
        ASSERT_TRUE(settle());
        frames(5);
    }
    std::vector<Scene*> roadScenes() const {
        std::vector<Scene*> scenes;
        if (Road* road = _stage->getRoad())
            for (const std::vector<Level*>* levels : {&road->behindLevels, &road->aheadLevels})
                for (Level* level : *levels)
                    if (level && level->scene)
                        scenes.push_back(level->scene);
        return scenes;
    }
};

TEST_F(MenuScreens2, TheMissionsScreenTakesTheGamesWorldOverAndGivesItBack) {
    toMainMenu();
    MenuMissionExt* missions = _menu->getMissionExt();
    ASSERT_NE(missions, nullptr);
    MenuMissionExt::MissionMap* map = missions->getCurrentMap();
    ASSERT_NE(map, nullptr);
    const std::vector<Scene*> road = roadScenes();
    ASSERT_FALSE(road.empty());
    for (Scene* scene : road)
        ASSERT_TRUE(scene->_shown);
    World* world = _stage->getWorld();
    Camera* stageCamera = world->getCamera();
    ASSERT_NE(stageCamera, nullptr);

    open("mission");
    frames(10);
    EXPECT_TRUE(map->scene->_shown);
    EXPECT_EQ(world->getCamera(), map->camera);
    for (Scene* scene : road)
        EXPECT_FALSE(scene->_shown) << "the road shows through the mission map";
    ASSERT_NE(_stage->getParticleSystem(), nullptr);
    EXPECT_FALSE(_stage->getParticleSystem()->visible);
    // Shown once more before it was hidden, it still gives back all it took.
    missions->onShow(true);

    back();
    EXPECT_FALSE(map->scene->_shown);
    EXPECT_EQ(world->getCamera(), _stage->getStageCamera()->getCamera());
    for (Scene* scene : roadScenes())
        EXPECT_TRUE(scene->_shown);
    EXPECT_TRUE(_stage->getParticleSystem()->visible);
}

// A run left by the pause reaches the missions screen with its distance not yet collected: the
// screen collects it first, so the map shows where the run has brought the player.
TEST_F(MenuScreens2, TheMissionsScreenCountsTheLastRunOnItsMap) {
    toMainMenu();
    MenuMissionExt::MissionMap* map = _menu->getMissionExt()->getCurrentMap();
    ASSERT_NE(map, nullptr);
    map->travelled = 100;
    _stage->getPlayer()->_goods._distance = 250;

    open("mission");
    EXPECT_FLOAT_EQ(map->travelled, 350);
    EXPECT_FLOAT_EQ(_stage->getPlayer()->_goods._distance, 0);
    EXPECT_GE(map->best, 250);
    back();
    // Shown again, nothing is counted twice.
    open("mission");
    EXPECT_FLOAT_EQ(map->travelled, 350);
}

TEST_F(MenuScreens2, TheMapShowsThePlayersTrainOnTheCurrentContinentInTheCurrentSkin) {
    toMainMenu();
    MenuMapExt02* map = _menu->getMapExt();
    ASSERT_NE(map, nullptr);
    ASSERT_NE(map->getCurrent(), nullptr);
    Object* spot = map->getCurrent()->characterNode;
    ASSERT_NE(spot, nullptr);
    ASSERT_TRUE(_stage->selectSkin("skin_gold"));

    open("map");
    frames(30);
    ActorMenu* train = map->getTrainActor();
    ASSERT_NE(train, nullptr);
    EXPECT_EQ(train->_skin, _stage->findSkin("skin_gold"));
    EXPECT_FALSE(train->_hidden);
    // The map's scene is seen through the camera of the globe's page.
    EXPECT_EQ(_menu->getMenuWorld()->getCamera(), panel("map")->getWorld()->getCamera());
    // It stands on the continent's spot and moves with the globe.
    const Vector3 before = train->getWorldPosition();
    EXPECT_NEAR((before - spot->getWorldPosition()).length(), 0, 1e-3f);
    // A fling moves the globe off its place; the spring brings it back.
    map->_globeOffset = Vector3(0.5f, 0, 0.3f);
    frames(1);
    EXPECT_NEAR((train->getWorldPosition() - spot->getWorldPosition()).length(), 0, 1e-3f);
    EXPECT_GT((train->getWorldPosition() - before).length(), 1e-3f) << "the globe moved without the train";

    back();
    ASSERT_TRUE(_stage->selectSkin("skin_classic"));
    open("map");
    frames(5);
    EXPECT_EQ(map->getTrainActor(), train) << "the same player keeps the same train";
    EXPECT_EQ(train->_skin, _stage->findSkin("skin_classic"));

    // Another train chosen: the map shows that one; the first goes back to its pool.
    back();
    ASSERT_GE(_stage->getPlayers().size(), 2u);
    ActorPlayer* other = _stage->getPlayers()[0] == _stage->getPlayer() ? _stage->getPlayers()[1]
                                                                        : _stage->getPlayers()[0];
    ASSERT_TRUE(_stage->selectPlayer(other->_playerName));
    open("map");
    frames(5);
    EXPECT_EQ(map->_player, other);
    ActorMenu* now = map->getTrainActor();
    ASSERT_NE(now, nullptr);
    EXPECT_TRUE(now->_active && !now->_hidden);
    // (The pool may hand the same instance out again when both trains share an object file.)
    if (now != train) {
        EXPECT_FALSE(train->_active) << "the first train stayed on the map";
    }
}

// The banner is the business of the screens that show it: each one shows it when it comes and
// hides it once gone, so that going from one such screen to the next keeps it up.
TEST_F(MenuScreens2, TheMapKeepsTheBannerUpLikeTheMainMenu) {
    toMainMenu();
    // The load end makes the game's banner (replacing any made before it).
    platform::BannerView* banner = platform::bannerView();
    ASSERT_NE(banner, nullptr);
    EXPECT_FALSE(banner->hidden);
    open("map");
    frames(5);
    EXPECT_FALSE(banner->hidden) << "the main menu's banner went with it";
    ASSERT_TRUE(_menu->goToPanel("shop", false));
    ASSERT_TRUE(reaches("shop"));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(banner->hidden) << "the map left its banner over the shop";
    platform::resetAdServices();
}

// The next screen shows before the last one has left: the leaving screen must not take the
// banner the new one just put up.
TEST_F(MenuScreens2, TheBannerStaysWhileAnyScreenHoldsIt) {
    toMainMenu();
    // The load end makes the game's banner (replacing any made before it).
    platform::BannerView* banner = platform::bannerView();
    ASSERT_NE(banner, nullptr);
    int leaving = 0, coming = 0;
    _menu->showBanner(&leaving);
    _menu->showBanner(&coming);
    _menu->hideBanner(&leaving);
    EXPECT_FALSE(banner->hidden);
    _menu->hideBanner(&leaving);
    EXPECT_FALSE(banner->hidden) << "letting go twice counts once";
    _menu->showBanner(&leaving);
    _menu->hideBanner();
    EXPECT_TRUE(banner->hidden) << "hiding without a holder hides at once";
    _menu->showBanner(&coming);
    _menu->hideBanner(&coming);
    EXPECT_TRUE(banner->hidden) << "the last holder letting go hides it";
    platform::resetAdServices();
}

TEST_F(MenuScreens2, TheMainMenuMarksTheMissionsWhenARewardWaits) {
    toMainMenu();
    MenuMissionExt::MissionMap* map = _menu->getMissionExt()->getCurrentMap();
    ASSERT_NE(map, nullptr);
    PanelItem* mission = panel("main")->findItem("mission");
    ASSERT_NE(mission, nullptr);
    Object* mark = mission->findNode("available");
    ASSERT_NE(mark, nullptr);
    ASSERT_TRUE(map->trainWaiting);

    const struct {
        bool gifts;
        bool completed;
        bool marked;
    } cases[] = {{false, false, false}, {true, false, true}, {false, true, true}};
    for (const auto& c : cases) {
        for (MenuMissionExt::Waypoint& w : map->waypoints)
            w.giftWaiting = c.gifts && w.gift != nullptr;
        map->travelled = c.completed ? map->distance : 0;
        open("options");
        back();
        EXPECT_EQ(mark->_active != 0, c.marked) << "gifts " << c.gifts << ", completed " << c.completed;
    }
}

TEST_F(MenuScreens2, ShopRowsBeyondTheListWindowShowNoTextIconOrFigure) {
    toMainMenu();
    MenuShopExt* shop = _menu->getShopExt();
    ASSERT_NE(shop, nullptr);
    open("shop");
    frames(30);
    const float top = shop->_objectUp->getWorldPosition().z;
    const float bottom = shop->_objectDown->getWorldPosition().z;

    // Scrolled by two thirds of the window, the first rows pass behind the upper cover.
    shop->_scroll = 0.66f * (top - bottom);
    frames(2);
    shop->_scroll = 0.66f * (top - bottom);
    shop->update(0);
    int above = 0, inside = 0, figuresAbove = 0, figuresInside = 0;
    for (MenuShopExt::Node* node : shop->getList()) {
        MenuShopExt::Item* item = dynamic_cast<MenuShopExt::Item*>(node);
        if (!item || !item->_row)
            continue;
        std::vector<Object*> stack(1, item->_row->getNode());
        while (!stack.empty()) {
            Object* n = stack.back();
            stack.pop_back();
            stack.insert(stack.end(), n->_children.begin(), n->_children.end());
            Text* text = dynamic_cast<Text*>(n);
            if (!text || text->_text.empty())
                continue;
            const float z = text->getWorldPosition().z;
            if (z > top + 0.5f) {
                ++above;
                EXPECT_TRUE(text->_hidden) << "\"" << text->_text << "\" shows above the window";
            } else if (z < top - 0.5f && z > bottom + 0.5f && activeChain(text)) {
                ++inside;
                EXPECT_FALSE(text->_hidden) << "\"" << text->_text << "\" is hidden inside the window";
            }
        }
        if (MenuShopExt::ItemCharacter* c = dynamic_cast<MenuShopExt::ItemCharacter*>(item)) {
            Object* view = item->_row->findNode("view");
            if (!c->_menu.object || !c->_menu.object->_active || !view)
                continue;
            const float z = view->getWorldPosition().z;
            if (z > top) {
                ++figuresAbove;
                EXPECT_TRUE(c->_menu.object->_hidden) << c->_key;
            } else if (z > bottom) {
                ++figuresInside;
                EXPECT_FALSE(c->_menu.object->_hidden) << c->_key;
            }
        }
    }
    EXPECT_GT(above, 0);
    EXPECT_GT(inside, 0);
    EXPECT_GT(figuresAbove + figuresInside, 0);
}

TEST_F(MenuScreens2, MenuCamerasKeepASaneViewWhateverTheScreensShape) {
    const struct {
        float aspect;
        float fov;
    } cases[] = {{270.0f / 480.0f, 75.0f * 270.0f / 480.0f},
                 {1.0f, 75.0f},
                 {2.4f, MenuExtension::kMenuFovMax},
                 {0.0f, MenuExtension::kMenuFovMin},
                 {-1.0f, MenuExtension::kMenuFovMin}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(MenuExtension::menuFieldOfView(c.aspect), c.fov) << c.aspect;

    load();
    Camera* camera = _menu->getShopExt()->getShopCamera();
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->_fov * 180.0f / kPi, MenuExtension::menuFieldOfView((float)kWidth / kHeight), 1e-3f);
}

}  // namespace

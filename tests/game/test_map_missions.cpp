
// The world map, the missions screen and the globe orbit on the sample game: travelling pays one
// ticket and moves the runs to the new region, browsing moves nothing, bad continents are refused,
// mission maps count the runs' distances and give their rewards once.

#include <GLES2/gl2.h>

#include "engine/online/SocialPlatform.h"
#include "engine/render/Render.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuWorldExt.h"
#include "game/stage/ZelvanStageCamera.h"
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine/online/StoreManager.h"
#include "game/menu/ZelvanPanelExtension.h"
#include "game/track/ZelvanLevelSet.h"

// The game harness; a test may set configuration keys of its own before it loads.
class MapTest : public GameFixture {
protected:
    void load() { GameFixture::load(_fixture); }

    std::string _fixture;
};


namespace {

int countLines(const std::string& path, const std::string& needle) {
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return 0;
    int n = 0;
    char line[1024];
    while (std::fgets(line, sizeof line, f))
        if (std::string(line).find(needle) != std::string::npos)
            ++n;
    std::fclose(f);
    return n;
}

}  // namespace

TEST_F(MapTest, TravelPaysOneTicketAndMovesTheRunsToTheNewRegion) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMapExt02* map = _menu->getMapExt();
    MenuShopExt* shop = _menu->getShopExt();
    ASSERT_NE(map, nullptr);
    ASSERT_NE(shop, nullptr);
    ASSERT_NE(map->getCurrent(), nullptr);
    EXPECT_EQ(map->getCurrent()->name, "meadow");
    EXPECT_EQ(map->getContinents().size(), 3u);
    MenuMapExt02::Continent* islands = map->getContinents()[2];
    EXPECT_FALSE(islands->selectable) << "configured closed";

    ASSERT_TRUE(_menu->goToPanel("map", false));
    ASSERT_TRUE(reaches("map"));
    ASSERT_TRUE(settle());
    shop->setTickets(1);
    map->setSelected(map->findContinent("hills"));
    const std::string log = _documents.path() + "/analytics.log";
    const int before = countLines(log, "travel");
    fire("onMapSelect");
    EXPECT_EQ(shop->getTickets(), 0);
    ASSERT_NE(map->getCurrent(), nullptr);
    EXPECT_EQ(map->getCurrent()->name, "hills");
    EXPECT_EQ(map->getSelected(), map->getCurrent());
    frames(2);
    EXPECT_EQ(countLines(log, "travel") - before, 1) << "one event per action";

    // Travelling again to where the player is costs nothing.
    fire("onMapSelect");
    EXPECT_EQ(shop->getTickets(), 0);

    // Leaving the map switches the stage to the new region's set; a run started then runs there.
    fire("onMapBack");
    ASSERT_TRUE(settle());
    frames(5);
    ASSERT_NE(_stage->getLevelGroupSet(), nullptr);
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionHills");
    _menu->restartRun();
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionHills");
    EXPECT_EQ(_stage->getState(), Stage::StateRunning);
}

TEST_F(MapTest, BrowsingIsFreeAndMovesNothing) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMapExt02* map = _menu->getMapExt();
    MenuShopExt* shop = _menu->getShopExt();
    ASSERT_TRUE(_menu->goToPanel("map", false));
    ASSERT_TRUE(reaches("map"));
    ASSERT_TRUE(settle());

    // With no ticket the question comes and the player stays.
    shop->setTickets(0);
    map->selectNext();
    ASSERT_EQ(map->getSelected()->name, "hills");
    fire("onMapSelect");
    EXPECT_EQ(map->getCurrent()->name, "meadow");
    EXPECT_TRUE(reaches("message"));
    fire("onMessageNo");
    ASSERT_TRUE(reaches("map"));
    ASSERT_TRUE(settle());

    // The arrows skip the closed continent: next after hills wraps to meadow.
    map->selectNext();
    EXPECT_EQ(map->getSelected()->name, "meadow");
    map->selectPrevious();
    EXPECT_EQ(map->getSelected()->name, "hills");

    // Browse hills, go back, restart: still meadow, and the profile's region too.
    fire("onMapBack");
    ASSERT_TRUE(settle());
    frames(3);
    _menu->restartRun();
    EXPECT_EQ(_stage->getLevelGroupSet()->key, "regionMeadow");
    EXPECT_EQ(map->currentLevelSet(), "regionMeadow");
}

TEST_F(MapTest, LeavingTheMapForARunKeepsTheRoadUnderTheTrain) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMapExt02* map = _menu->getMapExt();
    ASSERT_TRUE(_menu->goToPanel("map", false));
    ASSERT_TRUE(reaches("map"));
    ASSERT_TRUE(settle());
    _menu->getShopExt()->setTickets(3);
    map->setSelected(map->findContinent("hills"));
    fire("onMapSelect");
    // Start at once: the run starts on hills; the map's leaving does not reset the set again.
    fire("onMapStart");
    ASSERT_EQ(_stage->getState(), Stage::StateRunning);
    LevelGroupSet* set = _stage->getLevelGroupSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->key, "regionHills");
    frames(30);
    const float distance = _stage->getPlayer()->_goods._distance;
    ASSERT_TRUE(settle());
    frames(30);
    EXPECT_EQ(_stage->getLevelGroupSet(), set);
    EXPECT_GT(_stage->getPlayer()->_goods._distance, distance) << "the run went on";
}

TEST_F(MapTest, ContinentsAreRefusedOrKeptAsTheyShouldBe) {
    _fixture =
        "[menu_map_extension02]\n"
        "continents = { cA cB cC cD }\n"
        "startContinent = a\n"
        "[cA]\nname = a\nnode = continent_meadow\nlevelSet = regionMeadow\n"
        "[cB]\nname = a\nnode = continent_hills\nlevelSet = regionHills\n"
        "[cC]\nname = c\nnode = continent_islands\nlevelSet = regionNowhere\n"
        "[cD]\nname = d\nnode = continent_nowhere\nlevelSet = regionHills\n";
    testsupport::captureLog();
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMapExt02* map = _menu->getMapExt();
    ASSERT_EQ(map->getContinents().size(), 3u) << "a continent without its node is left out";
    EXPECT_TRUE(map->getContinents()[0]->selectable);
    EXPECT_FALSE(map->getContinents()[1]->selectable) << "a second continent of the same name";
    EXPECT_FALSE(map->getContinents()[2]->selectable) << "a level set the stage does not have";
    EXPECT_TRUE(testsupport::logContains("listed twice"));
    EXPECT_TRUE(testsupport::logContains("no known level set(regionNowhere)"));

    // An unknown name keeps the player where they are.
    EXPECT_FALSE(map->selectContinent("c"));
    EXPECT_FALSE(map->selectContinent("nowhere"));
    ASSERT_NE(map->getCurrent(), nullptr);
    EXPECT_EQ(map->getCurrent()->name, "a");
    EXPECT_EQ(map->getCurrent()->levelSet, "regionMeadow");
}

TEST_F(MapTest, ContinentAnglesStayNumbers) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMapExt02* map = _menu->getMapExt();
    MenuMapExt02::Continent* c = map->findContinent("meadow");
    ASSERT_NE(c, nullptr);
    // A node at its parent's origin has no direction.
    const Vector3 keep = c->node->getPosition();
    c->node->setPosition(Vector3(0, 0, keep.z));
    Object* parent = c->node->_parent;
    parent->updateTransform();
    c->node->setPosition(parent->getWorldPosition() * 0.0f + Vector3(0, 0, keep.z));
    EXPECT_TRUE(std::isfinite(map->continentAngle(c)));
    // Straight along the parent's Y axis, with a scaled axis: the product may round past 1.
    c->node->setPosition(Vector3(0, 3.0f, keep.z));
    const float a = map->continentAngle(c);
    EXPECT_TRUE(std::isfinite(a));
    map->turnToward(c);
    for (int i = 0; i < 10; ++i)
        map->update(kDt);
    EXPECT_TRUE(std::isfinite(map->_globeAngle));
    c->node->setPosition(keep);
}

TEST_F(MapTest, TheOrbitTurnsTheStageCameraWhileShown) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuWorldExt* world = _menu->getWorldExt();
    StageCamera* camera = _stage->getStageCamera();
    const Vector3 before = camera->_cameraOffset;
    world->_shown = false;
    world->update(kDt);
    EXPECT_EQ(camera->_cameraOffset.x, before.x);
    world->_shown = true;
    world->addSpin(kPi / 2);
    world->update(kDt);
    const Vector3 rel = before - camera->_cameraTarget, now = camera->_cameraOffset - camera->_cameraTarget;
    EXPECT_NEAR(now.x, rel.y, 1e-4f);
    EXPECT_NEAR(now.y, -rel.x, 1e-4f);
    EXPECT_NEAR(world->_angularVelocity, world->_angularVelocityMax, 1e-3f) << "clamped";
    world->addSpin(1.0f);
    world->update(0);
    EXPECT_EQ(world->_angularVelocity, 0.0f) << "dt 0 gives no speed";
}

// ---- Missions ----

class MissionTest : public MapTest {
protected:
    // A map built in place: three waypoints (0, 10, 20) with gifts at 10 and 20, 300 m, a train.
    MenuMissionExt::MissionMap* addMap(MenuMissionExt* missions, float distance) {
        auto* m = new MenuMissionExt::MissionMap();
        m->name = "testMap";
        m->levelSet = "regionMeadow";
        m->camera = nullptr;
        m->distance = distance;
        m->actorPlayer = "trainBlue";
        m->gamecenter = "";
        for (float f : {0.0f, 10.0f, 20.0f}) {
            MenuMissionExt::Waypoint w;
            w.frame = f;
            if (f > 0) {
                w.gift = own(new Object(nullptr));
                w.giftWaiting = true;
            }
            m->waypoints.push_back(w);
        }
        m->objectTrainLocked = own(new Object(nullptr));
        m->objectTrainUnlocked = own(new Object(nullptr));
        m->trainWaiting = true;
        m->cameraFrameMax = 20;
        missions->_maps.push_back(m);
        missions->_currentMap = m;
        return m;
    }
    Object* own(Object* o) {
        _objects.emplace_back(o);
        return o;
    }
    void TearDown() override {
        if (_menu && _menu->getMissionExt()) {
            auto& maps = _menu->getMissionExt()->_maps;
            for (auto it = maps.begin(); it != maps.end();)
                if ((*it)->name == "testMap") {
                    if (_menu->getMissionExt()->_currentMap == *it)
                        _menu->getMissionExt()->_currentMap = nullptr;
                    delete *it;
                    it = maps.erase(it);
                } else {
                    ++it;
                }
        }
        MapTest::TearDown();
        _objects.clear();
    }
    std::vector<std::unique_ptr<Object>> _objects;
};

TEST_F(MissionTest, RunsMoveTheMapAndWaypointsAskForTheSurprise) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMissionExt* missions = _menu->getMissionExt();
    ASSERT_NE(missions, nullptr);
    MenuMissionExt::MissionMap* m = addMap(missions, 300);
    EXPECT_FALSE(missions->hasAvailable());
    missions->addRunDistance(100);
    EXPECT_FLOAT_EQ(m->travelled, 100);
    EXPECT_NEAR(m->progressValue(), 20.0f / 3.0f, 1e-4f);
    EXPECT_FLOAT_EQ(missions->getBestDistance(), 100);
    EXPECT_FALSE(missions->hasAvailable()) << "the first gift is at frame 10";
    missions->addRunDistance(60);
    EXPECT_TRUE(missions->hasAvailable());
    // A gift not yet reached does nothing; the reached one asks for the surprise screen once.
    EXPECT_FALSE(missions->handleTap({m->waypoints[2].gift}));
    EXPECT_TRUE(m->waypoints[2].giftWaiting);
    EXPECT_TRUE(missions->handleTap({m->waypoints[1].gift}));
    EXPECT_FALSE(m->waypoints[1].giftWaiting);
    EXPECT_TRUE(reaches("surprise"));
    EXPECT_FALSE(missions->handleTap({m->waypoints[1].gift}));
}

TEST_F(MissionTest, ACompletedMapGrantsItsTrainOnce) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMissionExt* missions = _menu->getMissionExt();
    MenuShopExt* shop = _menu->getShopExt();
    MenuMissionExt::MissionMap* m = addMap(missions, 300);
    ASSERT_NE(shop->findItem(m->actorPlayer), nullptr) << "the sample's reward train";
    // Not completed: the locked train does nothing.
    EXPECT_FALSE(missions->handleTap({m->objectTrainLocked}));
    missions->addRunDistance(300);
    EXPECT_TRUE(m->isCompleted());
    EXPECT_TRUE(missions->hasAvailable());
    EXPECT_TRUE(missions->handleTap({m->objectTrainLocked}));
    EXPECT_FALSE(m->trainWaiting);
    EXPECT_TRUE(reaches("shop"));
    EXPECT_FALSE(missions->handleTap({m->objectTrainLocked})) << "granted once";
}

TEST_F(MissionTest, FaultsOfTheMissionsAreMended) {
    testsupport::captureLog();
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMissionExt* missions = _menu->getMissionExt();
    // A map with no distance is never completed and gives no train away.
    MenuMissionExt::MissionMap* m = addMap(missions, 0);
    EXPECT_FALSE(m->isCompleted());
    EXPECT_FALSE(missions->hasAvailable());
    EXPECT_FALSE(missions->handleTap({m->objectTrainLocked}));
    EXPECT_TRUE(m->trainWaiting);

    // A train the shop does not have: logged, and the flag stays for another try.
    m->distance = 10;
    m->travelled = 10;
    m->actorPlayer = "no_such_train";
    EXPECT_FALSE(missions->handleTap({m->objectTrainLocked}));
    EXPECT_TRUE(m->trainWaiting);
    EXPECT_TRUE(testsupport::logContains("could not be granted"));

    // A tap with no current map is a drag of nothing, not a failure.
    missions->_currentMap = nullptr;
    EXPECT_TRUE(missions->touchBegan(0, Vector3(0.5f, 0.5f, 0)));
    EXPECT_FALSE(missions->handleTap({m->objectTrainLocked}));

    // The map's region follows the current continent; an unknown set leaves no map.
    missions->_currentMap = m;
    m->levelSet = "regionTest";
    EXPECT_FALSE(missions->selectMapForLevelSet("regionTest")) << "a map without a camera is never current";
    EXPECT_EQ(missions->getCurrentMap(), nullptr);
}

TEST_F(MissionTest, ShowingTheScreenReportsNoEmptyScores) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMissionExt* missions = _menu->getMissionExt();
    // No distance and no leaderboard name: nothing is reported, the best stays.
    missions->reportDistance(0);
    EXPECT_FLOAT_EQ(missions->getBestDistance(), 0);
    missions->addRunDistance(0);
    missions->reportDistance(250);
    EXPECT_FLOAT_EQ(missions->getBestDistance(), 250);
    missions->setBestDistance(100);
    EXPECT_FLOAT_EQ(missions->getBestDistance(), 100) << "the profile's value is taken as given";
}

TEST_F(MissionTest, TheSampleMissionMapsLoadAndFollowTheCurrentRegion) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuMissionExt* missions = _menu->getMissionExt();
    ASSERT_EQ(missions->getMaps().size(), 2u);
    for (MenuMissionExt::MissionMap* m : missions->getMaps()) {
        EXPECT_NE(m->camera, nullptr) << m->name;
        EXPECT_NE(m->objectPlayer, nullptr) << m->name;
        EXPECT_TRUE(m->trainWaiting) << m->name;
        ASSERT_EQ(m->waypoints.size(), 3u) << m->name;
        for (const MenuMissionExt::Waypoint& w : m->waypoints)
            EXPECT_NE(w.gift, nullptr) << m->name;
        EXPECT_GT(m->distance, 0.0f);
    }
    ASSERT_NE(missions->getCurrentMap(), nullptr);
    EXPECT_EQ(missions->getCurrentMap()->name, "meadow");
    _menu->getShopExt()->setTickets(1);
    MenuMapExt02* map = _menu->getMapExt();
    map->setSelected(map->findContinent("hills"));
    fire("onMapSelect");
    EXPECT_EQ(missions->getCurrentMap()->name, "hills");
}

// The map and the missions screens drawn headless; the PNGs go to $ZELVAN_SCREENSHOT_DIR when set.
TEST_F(MissionTest, TheMapAndMissionsScreensDraw) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    const char* env = std::getenv("ZELVAN_SCREENSHOT_DIR");
    const std::string dir = env && *env ? env : _documents.path();
    std::vector<uint8_t> shots[2];
    const char* panels[2] = {"map", "mission"};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(_menu->goToPanel(panels[i], false));
        ASSERT_TRUE(reaches(panels[i]));
        ASSERT_TRUE(settle());
        frames(40);
        Render* render = Render::current();
        ASSERT_NE(render, nullptr);
        _app->OnRender();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        shots[i] = EglHeadless::readPixels(0, 0, kWidth, kHeight);
        render->endFrame();
        EXPECT_TRUE(EglHeadless::writePng(dir + "/screen_" + panels[i] + ".png", kWidth, kHeight, shots[i]));
        std::set<uint32_t> colours;
        for (size_t p = 0; p + 3 < shots[i].size(); p += 4 * 97)
            colours.insert((uint32_t)shots[i][p] | (uint32_t)shots[i][p + 1] << 8 | (uint32_t)shots[i][p + 2] << 16);
        EXPECT_GT(colours.size(), 4u) << panels[i] << " draws something";
    }
    EXPECT_NE(shots[0], shots[1]);
}

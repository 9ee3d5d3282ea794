// The stage's look and pickups over the whole stage: the sample content loaded through the
// loader on headless EGL, fixed 1/60 s frames, a fixed seed, a temporary documents folder and
// OpenAL's null driver. Covers the stargate switch between the two sample regions, the light set-up
// and blend, the post chain's pixels, the persisted HDR values, words, letters and gifts.

#include <gtest/gtest.h>

#include <GLES2/gl2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine/KeyValueStore.h"
#include "engine/render/Shader.h"
#include "engine/render/gles2/OpenGLES2Render.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/ZelvanWords.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorStargate.h"
#include "game/actors/ZelvanBoost.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"

using namespace Zelvan;

namespace {

const float kPi = 3.14159265f;

// The game loaded through the harness (seed 2024) with a run started from the menu.
class StageLook : public GameFixture {
protected:
    StageLook() { _seed = 2024; }

    void SetUp() override {
        GameFixture::SetUp();
        if (HasFatalFailure())
            return;
        load(std::string(), false);
        ASSERT_FALSE(HasFatalFailure());
        stage = _stage;
        player = stage->getPlayer();
        render = dynamic_cast<OpenGLES2Render*>(Render::current());
        ASSERT_NE(render, nullptr);
        ASSERT_NE(stage->getLevelGroupSet(), nullptr);
        // The loader's end enters the menus; the run starts as the player starts it.
        ASSERT_EQ(stage->getState(), Stage::StateStanding);
        _menu->startRun();
        ASSERT_EQ(stage->getState(), Stage::StateRunning);
        // The train keeps going whatever it meets: these tests are about the stage, not driving.
        player->_godMode = 1;
        player->_autopilot = 1;
    }

    // Draws the frame and reads the screen back.
    std::vector<uint8_t> drawScreen() {
        render->beginFrame();
        render->render();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        std::vector<uint8_t> pixels = EglHeadless::readPixels(0, 0, kWidth, kHeight);
        render->endFrame();
        return pixels;
    }

    Level* aheadWithName(const std::string& name) {
        for (Level* level : stage->getRoad()->aheadLevels)
            if (level->getName() == name)
                return level;
        return nullptr;
    }

    OpenGLES2Render* render = nullptr;
    Stage* stage = nullptr;
    ActorPlayer* player = nullptr;
};

// ---- Stargates ----

ActorStargate* stargateOf(Level* level) {
    for (Object* node : level->scene->_nodes)
        if (ActorStargate* gate = dynamic_cast<ActorStargate*>(node))
            return gate;
    return nullptr;
}

TEST_F(StageLook, AFullBatteryAppendsOneStargateLevelAndArmsItsGate) {
    player->_goods.get("battery")._amount = 99.5f;
    stage->updatePickups();
    EXPECT_EQ(aheadWithName("scenes/l03.txt"), nullptr);
    player->_goods.get("battery")._amount = 100;
    stage->updatePickups();
    EXPECT_EQ(stage->_battery, 100.0f);
    // Appended levels are placed by the next extension of the road.
    stage->advanceRoad(0);
    Level* gateLevel = aheadWithName("scenes/l03.txt");
    ASSERT_NE(gateLevel, nullptr) << "a full battery appends the stargate level";
    ASSERT_NE(stargateOf(gateLevel), nullptr);
    EXPECT_TRUE(stargateOf(gateLevel)->isActivated());
    const size_t ahead = stage->getRoad()->aheadLevels.size();
    player->_goods.get("battery")._amount = 130;  // still full
    stage->updatePickups();
    stage->advanceRoad(0);
    EXPECT_EQ(stage->getRoad()->aheadLevels.size(), ahead);
}

TEST_F(StageLook, LeavingTheStargateStretchSwitchesRegionDuringARun) {
#if !__has_include("game/stage/ZelvanStageUpdate.cpp")
    GTEST_SKIP() << "the stage's frame is not in this build";
#endif
    ASSERT_EQ(stage->getLevelGroupSet()->key, "regionMeadow");
    player->_goods.get("battery")._amount = 100;
    frame();
    Level* gateLevel = aheadWithName("scenes/l03.txt");
    ASSERT_NE(gateLevel, nullptr);
    EXPECT_TRUE(stargateOf(gateLevel)->isActivated());

    bool entered = false;
    for (int i = 0; i < 60 * 120 && stage->getLevelGroupSet()->key == "regionMeadow"; ++i) {
        frame();
        entered = entered || stage->_transition == Stage::TransitionStargate;
        ASSERT_FALSE(player->isCrashed());
    }
    EXPECT_TRUE(entered) << "the stretch before the gate asks for the switch";
    LevelGroupSet* hills = stage->getLevelGroupSet();
    ASSERT_EQ(hills->key, "regionHills");
    EXPECT_EQ(stage->getRoad()->getLevelGroupSet(), hills);
    ASSERT_NE(stage->getAtmosphere(), nullptr);
    EXPECT_EQ(stage->getAtmosphere()->_name, "atmoDusk");
    EXPECT_EQ(stage->_cameraStacks.top(), stage->findCamera("camera_tunnel"));
    EXPECT_EQ(stage->_musicFile, "music/hills.mp3");
    EXPECT_EQ(stage->_transition, Stage::TransitionArrived);
    EXPECT_EQ(stage->_battery, 0.0f);
    EXPECT_EQ(player->_goods.get("battery")._amount, 0.0f);
    EXPECT_EQ(player->_goods.get("analyticsStargate")._amount, 1.0f);
    EXPECT_EQ(stage->getRoad()->getCurrentLevel()->group->key.rfind("hills", 0), 0u);

    // The run goes on in the new region.
    for (int i = 0; i < 120; ++i)
        frame();
    EXPECT_EQ(stage->getLevelGroupSet(), hills);
    EXPECT_FALSE(player->isCrashed());
}

TEST_F(StageLook, ACrashedTrainTakesNoStargate) {
    LevelGroupSet* meadow = stage->getLevelGroupSet();
    player->_goods.get("battery")._amount = 100;
    stage->updatePickups();
    stage->setTransition(Stage::TransitionStargate);
    ASSERT_EQ(stage->_transition, Stage::TransitionStargate);
    player->_godMode = 0;
    player->crash();
    ASSERT_TRUE(player->isCrashed());
    stage->setTransition(Stage::TransitionNone);
    stage->setTransition(Stage::TransitionNone);
    EXPECT_EQ(stage->getLevelGroupSet(), meadow);
    EXPECT_EQ(player->_goods.get("analyticsStargate")._amount, 0.0f);
}

TEST_F(StageLook, TransitionRequestsShowOnceAndSwitchOnce) {
    player->_goods.get("battery")._amount = 100;
    stage->updatePickups();
    stage->setTransition(1);
    stage->setTransition(1);
    EXPECT_EQ(stage->_transition, 1);
    stage->setTransition(0);
    EXPECT_EQ(stage->getLevelGroupSet()->key, "regionHills");
    EXPECT_EQ(stage->_transition, Stage::TransitionArrived);
    stage->setTransition(0);
    EXPECT_EQ(stage->getLevelGroupSet()->key, "regionHills");
    EXPECT_EQ(player->_goods.get("analyticsStargate")._amount, 1.0f);
    // Back to the start set: the configuration names it without a world map.
    stage->setTransition(3);
    stage->setTransition(0);
    EXPECT_EQ(stage->getLevelGroupSet()->key, "regionMeadow");
    EXPECT_EQ(stage->_transition, Stage::TransitionNone);
}

TEST_F(StageLook, ASetWithoutAnyAtmosphereKeepsTheCurrentOne) {
    Atmosphere* current = stage->getAtmosphere();
    ASSERT_NE(current, nullptr);
    for (Atmosphere* a : stage->_atmospheres)
        a->_chance = 0;
    LevelGroupSet* hills = nullptr;
    for (LevelGroupSet* set : stage->getLevelGroupSets())
        if (set->key == "regionHills")
            hills = set;
    ASSERT_NE(hills, nullptr);
    hills->startAtmosphere.clear();
    EXPECT_EQ(stage->randomAtmosphere(), nullptr);
    ASSERT_TRUE(stage->changeLevelGroupSet("regionHills"));
    EXPECT_EQ(stage->getAtmosphere(), current);
    EXPECT_TRUE(current->_active);
    EXPECT_FALSE(stage->changeLevelGroupSet("nowhere"));
    EXPECT_FALSE(stage->changeLevelGroupSet(""));
}

// ---- Lights ----

class StageLights : public StageLook {
protected:
    void SetUp() override {
        StageLook::SetUp();
        if (HasFatalFailure())
            return;
        Road* road = stage->getRoad();
        ASSERT_GE(road->aheadLevels.size(), 2u);
        level1 = road->aheadLevels[0];
        level2 = road->aheadLevels[1];
        ASSERT_NE(level1->scene, level2->scene) << "the two levels need lights of their own";
        saved1 = level1->scene->_lights;
        saved2 = level2->scene->_lights;
    }
    void TearDown() override {
        if (level1) {
            level1->scene->_lights = saved1;
            level2->scene->_lights = saved2;
        }
        StageLook::TearDown();
    }

    // A light of the level whose direction in the level's own frame is local.
    Light* light(Level* level, const Vector3& colour, const Vector3& local, float energy = 1.0f) {
        lights.emplace_back(new Light(nullptr));
        Light* l = lights.back().get();
        l->_lightColor = colour;
        l->_energy = energy;
        l->_secondFactor = 0.5f;
        l->_direction = level->getBeginMatrix().transformVector(local.normalized());
        return l;
    }
    static Vector3 inPlane(float degrees) {
        const float a = degrees * kPi / 180.0f;
        return Vector3(std::cos(a), std::sin(a), 0);
    }
    static float angleBetween(const Vector3& a, const Vector3& b) {
        return std::acos(std::max(-1.0f, std::min(1.0f, a.normalized().dot(b.normalized())))) * 180.0f / kPi;
    }
    const std::vector<Light*>& stageLights() { return stage->getLights(); }
    // Black; an unused light also shines straight down.
    void expectBlack(int j, bool unused = true) {
        Light* l = stageLights()[j];
        EXPECT_EQ(l->_lightColor.x + l->_lightColor.y + l->_lightColor.z, 0.0f) << "light " << j;
        if (unused) {
            EXPECT_LT(angleBetween(l->_direction, Vector3(0, 0, -1)), 0.01f) << "light " << j;
        }
    }

    Level* level1 = nullptr;
    Level* level2 = nullptr;
    std::vector<Light*> saved1, saved2;
    std::vector<std::unique_ptr<Light>> lights;
};

TEST_F(StageLights, TheBlendTurnsTheWholeAngleAndClampsT) {
    struct Case {
        float angle;  // between the two levels' light, degrees
        float t;
        float expectedFromFirst;  // degrees
    } cases[] = {
        {60, 0.0f, 0},    {60, 0.5f, 30},   {60, 1.0f, 60},
        {120, 0.5f, 60},  {120, 1.0f, 120},  // beyond 90 degrees the turn still reaches the second
        {150, 1.0f, 150}, {120, 2.0f, 120}, {120, -1.0f, 0},
    };
    for (const Case& c : cases) {
        level1->scene->_lights = {light(level1, Vector3(1, 0, 0), inPlane(0))};
        level2->scene->_lights = {light(level2, Vector3(0, 0, 1), inPlane(c.angle))};
        stage->blendLevelLights(level1, level2, c.t);
        Light* l = stageLights()[0];
        EXPECT_NEAR(angleBetween(l->_direction, inPlane(0)), c.expectedFromFirst, 0.05f)
            << c.angle << " degrees at t " << c.t;
        EXPECT_NEAR(l->_direction.z, 0.0f, 1e-4f);
        const float tc = std::min(1.0f, std::max(0.0f, c.t));
        EXPECT_NEAR(l->_lightColor.x, 1 - tc, 1e-5f);
        EXPECT_NEAR(l->_lightColor.z, tc, 1e-5f);
        for (int j = 1; j < 4; ++j)
            expectBlack(j);
    }
    // A t that is no number changes nothing.
    stage->blendLevelLights(level1, level2, 0.25f);
    const Vector3 before = stageLights()[0]->_direction;
    stage->blendLevelLights(level1, level2, std::nanf(""));
    EXPECT_EQ(stageLights()[0]->_direction.x, before.x);
}

TEST_F(StageLights, LevelsOfDifferentLightCountsBlendAgainstBlack) {
    level1->scene->_lights = {light(level1, Vector3(1, 1, 1), inPlane(0)), light(level1, Vector3(0, 1, 0), inPlane(90))};
    level2->scene->_lights = {light(level2, Vector3(1, 1, 1), inPlane(0)), light(level2, Vector3(0, 1, 0), inPlane(90)),
                              light(level2, Vector3(0.8f, 0.4f, 0.2f), Vector3(0, 1, -1), 2.0f)};
    stage->blendLevelLights(level1, level2, 0.0f);
    expectBlack(2, false);
    stage->blendLevelLights(level1, level2, 0.5f);
    Light* third = stageLights()[2];
    EXPECT_NEAR(third->_lightColor.x, 0.4f, 1e-5f);
    EXPECT_NEAR(third->_lightColor.z, 0.1f, 1e-5f);
    EXPECT_NEAR(third->_energy, 1.5f, 1e-5f);
    EXPECT_LT(angleBetween(third->_direction, Vector3(0, 1, -1)), 0.01f);
    expectBlack(3);
    stage->blendLevelLights(level1, level2, 1.0f);
    EXPECT_NEAR(third->_lightColor.x, 0.8f, 1e-5f);
    // And the other way round: the light the second level lacks fades out.
    stage->blendLevelLights(level2, level1, 1.0f);
    expectBlack(2, false);
}

TEST_F(StageLights, OnlyTheFirstFourLevelLightsAreUsed) {
    std::vector<Light*> six;
    for (int j = 0; j < 6; ++j)
        six.push_back(light(level1, Vector3(0.1f * (float)(j + 1), 0, 0), inPlane(30.0f * (float)j)));
    level1->scene->_lights = six;
    level2->scene->_lights = six;
    stage->applyLevelLights(level1);
    ASSERT_EQ(stageLights().size(), 4u);
    for (int j = 0; j < 4; ++j) {
        EXPECT_NEAR(stageLights()[j]->_lightColor.x, 0.1f * (float)(j + 1), 1e-6f);
        EXPECT_LT(angleBetween(stageLights()[j]->_direction, inPlane(30.0f * (float)j)), 0.01f);
    }
    stage->blendLevelLights(level1, level2, 0.5f);
    EXPECT_NEAR(stageLights()[3]->_lightColor.x, 0.4f, 1e-6f);

    // Two lights: the other two shine black, straight down.
    level1->scene->_lights = {six[0], six[1]};
    stage->applyLevelLights(level1);
    expectBlack(2);
    expectBlack(3);
    EXPECT_EQ(stageLights()[0]->_secondFactor, 0.5f);
}

// ---- Post-processing ----

TEST_F(StageLook, TheScreenShowsTheSceneWithTheGlowOfThePostChain) {
    for (int i = 0; i < 30; ++i)
        frame();
    stage->setHdrEnableTonemap(0, false);
    stage->setHdrBrightOffset(1.0f, false);

    // Nothing is bright enough: the screen is the scene alone.
    stage->setHdrBrightThreshold(1.0f, false);
    drawScreen();
    const std::vector<uint8_t> plain = drawScreen();
    // Everything glows.
    stage->setHdrBrightThreshold(0.0f, false);
    drawScreen();
    const std::vector<uint8_t> glowing = drawScreen();
    ASSERT_EQ(plain.size(), glowing.size());

    long plainSum = 0, glowSum = 0;
    int darkest = 255 * 3, brightest = 0, darker = 0;
    for (size_t p = 0; p + 3 < plain.size(); p += 4) {
        const int a = plain[p] + plain[p + 1] + plain[p + 2];
        const int b = glowing[p] + glowing[p + 1] + glowing[p + 2];
        plainSum += a;
        glowSum += b;
        darkest = std::min(darkest, a);
        brightest = std::max(brightest, a);
        if (b + 6 < a)
            ++darker;
    }
    EXPECT_GT(brightest - darkest, 60) << "the scene reaches the screen through the chain";
    EXPECT_GT(glowSum, plainSum + plainSum / 10) << "the glow adds light";
    EXPECT_EQ(darker, 0) << "the glow only adds";
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(StageLook, HdrSettersPersistTheirKeysOnlyWhenAsked) {
    EXPECT_FLOAT_EQ(stage->storedHdrExposure(), 6.193871f);
    EXPECT_FLOAT_EQ(stage->storedHdrBrightThreshold(), 0.88914216f);
    stage->setHdrExposure(3.25f, true);
    stage->setHdrEnableTonemap(1.0f, true);
    stage->setHdrBrightThreshold(1.5f, true);
    stage->setHdrBrightOffset(0.25f, true);
    EXPECT_FLOAT_EQ(st_GetFloat("hdr_exposure", -1), 3.25f);
    EXPECT_FLOAT_EQ(st_GetFloat("hdr_enable_tonemap", -1), 1.0f);
    EXPECT_FLOAT_EQ(st_GetFloat("hdr_bright_threshold", -1), 1.0f) << "the threshold is at most 1";
    EXPECT_FLOAT_EQ(st_GetFloat("hdr_bright_offset", -1), 0.25f);
    stage->setHdrExposure(9.0f, false);
    stage->setHdrBrightOffset(0.5f, false);
    EXPECT_FLOAT_EQ(stage->storedHdrExposure(), 3.25f);
    EXPECT_FLOAT_EQ(stage->storedHdrEnableTonemap(), 1.0f);
    EXPECT_FLOAT_EQ(stage->storedHdrBrightThreshold(), 1.0f);
    EXPECT_FLOAT_EQ(stage->storedHdrBrightOffset(), 0.25f);
}

// ---- Pickups and words ----

TEST_F(StageLook, CoinsCollectedOnTheRoadRaiseTheCounter) {
#if !__has_include("game/track/ZelvanLevelItem.h")
    GTEST_SKIP() << "the road lays no items in this build";
#endif
    const float before = player->_goods.get("coins")._amount;
    for (int i = 0; i < 60 * 30 && player->_goods.get("coins")._amount == before; ++i)
        frame();
    EXPECT_GT(player->_goods.get("coins")._amount, before)
        << "distance " << player->_goods._distance << " crashed " << player->isCrashed() << " state "
        << stage->getState() << " levelItems " << stage->getRoad()->levelItems.size() << " items "
        << stage->getRoad()->aheadLevels.front()->items.size() << " placeRandom " << stage->getRoad()->placeRandomItems;
}

TEST_F(StageLook, AGiftGivesItsFirstBoost) {
    World* world = stage->getWorld();
    static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    ActorItemGift* gift = dynamic_cast<ActorItemGift*>(world->createObject(
        nullptr, "objects/items/boost_magnet.object", "gift", PropertyList(), 1, rows, Vector3(), Vector3(1, 1, 1),
        nullptr));
    ASSERT_NE(gift, nullptr);
    gift->init();
    ASSERT_FALSE(gift->_boosts.empty());
    Boost* boost = stage->giftBoost(gift);
    ASSERT_NE(boost, nullptr);
    EXPECT_EQ(boost->_name, gift->_boosts.front());
    player->addBoost(boost);
    frame();
    EXPECT_TRUE(player->_goods._magnetActive);

    gift->_boosts.clear();
    EXPECT_EQ(stage->giftBoost(gift), nullptr);
}

TEST_F(StageLook, AWordWithARepeatedLetterIsSpelledAndCompleted) {
    WordContainer* words = stage->getWordContainer();
    words->_words.push_back({"tint", "shield"});
    PlayerGoods& goods = player->_goods;
    goods._word = "tint";
    goods._missingLetters = "tint";
    stage->updatePickups();
    EXPECT_EQ(stage->_shownLetters, "tint");

    // A "t" lies on the road; the train takes the other one.
    Level* level = stage->getRoad()->aheadLevels.back();
    static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    ActorItemGift* letter = dynamic_cast<ActorItemGift*>(stage->getWorld()->createObject(
        nullptr, "objects/items/letter.object", "letterT", PropertyList(), 1, rows, Vector3(), Vector3(1, 1, 1),
        nullptr));
    ASSERT_NE(letter, nullptr);
    letter->init();
    const std::string* tObject = words->findLetterObject("t");
    ASSERT_NE(tObject, nullptr);
    letter->_sourceName = *tObject;
    level->addItem(letter, true);

    goods._missingLetters = "int";
    stage->updatePickups();
    EXPECT_EQ(stage->_shownLetters, "int");
    EXPECT_TRUE(letter->_collected) << "one of two t's taken is still a t collected";
    EXPECT_EQ(std::count(level->items.begin(), level->items.end(), letter), 0);

    goods._missingLetters.clear();
    const size_t activeBefore = stage->getBoostContainer()->active().size();
    stage->updatePickups();
    const std::vector<Boost*>& active = stage->getBoostContainer()->active();
    ASSERT_GT(active.size(), activeBefore) << "the completed word gives its boost";
    EXPECT_EQ(active.back()->_name, "shield");
    EXPECT_FALSE(goods._word.empty());
    EXPECT_EQ(goods._missingLetters, goods._word) << "a new word starts";
    EXPECT_EQ(stage->_shownLetters, goods._word);
}

}  // namespace

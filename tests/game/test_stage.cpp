// The application and the stage over the sample content: the whole load through the loader on
// headless OpenGL ES, the menus it enters and the run the menu starts, teardown and a second
// stage in the same process, the loader's queue and the application's input guards.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine/online/SocialPlatform.h"
#include "engine/render/Render.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/stage/ZelvanControl.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanLevelSkin.h"
#include "game/track/ZelvanRoad.h"

using namespace Zelvan;

namespace {

// The game harness with the application made and started and every frame drawn; frames are
// driven by hand. The window reports a device class of full interface scale. Every test is a fresh
// start of the program (the process-wide resource cache empty: the atmospheres refuse replacement
// textures that are already on the device); a second stage in the test keeps what the first left.
class StageTest : public GameFixture {
protected:
    StageTest() {
        _generation = 23;
        _drawEvery = 1;
    }

    Application* start() {
        beginLoading(std::string(), false);
        EXPECT_EQ(_settings.uiScale, &Application::interfaceScale());
        _freshProgram = false;
        return _app;
    }
    void frame(Application*) { GameFixture::frame(); }
    // Runs frames until the loader is empty; the progress seen before each frame.
    std::vector<float> load(Application* app) {
        std::vector<float> progress;
        Stage* stage = Stage::get();
        for (int i = 0; i < 10000 && stage->getLoader() && !stage->getLoader()->empty(); ++i) {
            progress.push_back(stage->getLoader()->progress());
            frame(app);
        }
        progress.push_back(stage->getLoader()->progress());
        return progress;
    }
};

TEST_F(StageTest, LoadsTheWholeGameAndStartsARunOnTheStartSet) {
    testsupport::LogCapture log;
    Application* app = start();
    Stage* stage = Stage::get();
    ASSERT_NE(stage, nullptr);
    ASSERT_NE(stage->getLoader(), nullptr);
    EXPECT_EQ(stage->getState(), Stage::StateIdle);

    const std::vector<float> progress = load(app);
    ASSERT_TRUE(stage->getLoader()->empty()) << "the loader never emptied";
    for (size_t i = 1; i < progress.size(); ++i)
        ASSERT_GE(progress[i], progress[i - 1]) << "progress fell at frame " << i;
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);
    EXPECT_LT(progress.front(), 1.0f);

    // Every kind of step registered what it loaded.
    const ConfigStore& cfg = ConfigStore::instance();
    EXPECT_EQ(stage->getAtmospheres().size(), cfg.getList("atmosphere.atmospheres").size());
    EXPECT_EQ(stage->getSkins().size(), cfg.getList("skin.skins").size());
    EXPECT_EQ(stage->getCameras().size(), cfg.getList("camera.cameras").size());
    EXPECT_EQ(stage->getCharacters().size(), cfg.getList("actorCharacter.characters").size());
    EXPECT_EQ(stage->getPlayers().size(), cfg.getList("actorPlayer.players").size());
    EXPECT_EQ(stage->getLevelGroupSets().size(), cfg.getList("level.levelSets").size());
    EXPECT_FALSE(stage->getAtmospheres().empty());
    EXPECT_FALSE(stage->getCameras().empty());
    EXPECT_FALSE(stage->getCharacters().empty());
    EXPECT_FALSE(stage->getPlayers().empty());
    for (LevelGroupSet* set : stage->getLevelGroupSets())
        for (LevelGroup* group : set->groups)
            EXPECT_FALSE(group->levels.empty()) << set->key << " / " << group->key << " holds no level";

    // The load end: the start selections, the train standing on the start set in the menus; the
    // menu's start runs it.
    ASSERT_NE(stage->getPlayer(), nullptr);
    EXPECT_NE(stage->getCharacter(), nullptr);
    EXPECT_TRUE(stage->getPlayer()->isActive());
    EXPECT_EQ(stage->getState(), Stage::StateStanding);
    ASSERT_NE(stage->getMenu(), nullptr);
    stage->getMenu()->startRun();
    EXPECT_EQ(stage->getState(), Stage::StateRunning);
    ASSERT_NE(stage->getLevelGroupSet(), nullptr);
    std::string start = cfg.getString("level.startLevelSet", "");
    if (start.empty())
        start = cfg.getList("level.levelSets").front();
    EXPECT_EQ(stage->getLevelGroupSet()->key, start);
    ASSERT_NE(stage->getRoad()->getCurrentLevel(), nullptr);
    EXPECT_EQ(stage->getPlayer()->getRoad(0).level, stage->getRoad()->getCurrentLevel());
    // The platform layer opens the sound device; without it here, music cannot start (the menus'
    // music says so once), and nothing else may fail.
    std::vector<std::string> errors;
    for (const std::string& e : log.errors())
        if (e.find("[SoundInterface::playMusic] cannot play") == std::string::npos)
            errors.push_back(e);
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? std::string() : errors.front());
    // The social platform with the player's profile from the documents folder.
    ASSERT_NE(SocialPlatform::instance().getMyProfile(), nullptr);
    EXPECT_TRUE(SocialPlatform::instance().isLoaded());
    EXPECT_EQ(SocialPlatform::instance().profileStore().path(), _documents.file("player.profile"));

    for (int i = 0; i < 30; ++i)
        frame(app);
    EXPECT_EQ(app->OnAppTerminate(), 0);
    EXPECT_EQ(Stage::get(), nullptr);
    EXPECT_TRUE(testsupport::readFile(_documents.file("player.profile")).size() > 0) << "saved at shutdown";
}

// Teardown gives back every render target the stage made and frees the camera's body before the
// world; a second stage in the same process loads and runs the same way, on the resources the
// first one left in the process-wide cache (its atmospheres' replacements already uploaded).
TEST_F(StageTest, TwoStagesInOneProcessLoadRunAndTearDownClean) {
    for (int round = 0; round < 2; ++round) {
        Application::instance();
        Render* render = Render::current();
        ASSERT_NE(render, nullptr);
        const size_t targetsBefore = render->targets.size();
        Application* app = start();
        // The world's target, the four of the post chain, the interface's and the menu world's.
        EXPECT_EQ(render->targets.size(), targetsBefore + 7);
        load(app);
        EXPECT_EQ(Stage::get()->getState(), Stage::StateStanding) << "round " << round;
        Stage::get()->getMenu()->startRun();
        EXPECT_EQ(Stage::get()->getState(), Stage::StateRunning) << "round " << round;
        for (int i = 0; i < 10; ++i)
            frame(app);
        app->OnAppTerminate();
        EXPECT_EQ(render->targets.size(), targetsBefore) << "round " << round;
        // The renderer keeps drawing what is left.
        frame(app);
        // The destructor after terminate finds nothing left to tear down.
        Application::destroyInstance();
    }
}

TEST_F(StageTest, StageDestroyedBeforeItsLoadEndedLeavesNothingBehind) {
    Application* app = start();
    for (int i = 0; i < 12; ++i)
        frame(app);
    ASSERT_FALSE(Stage::get()->getLoader()->empty());
    EXPECT_EQ(Stage::destroyInstance(), 0);
    EXPECT_EQ(Stage::destroyInstance(), 0);
    app->OnUpdate();  // no stage: nothing to do
}

// Touches reach the control with positions over the drawing size; cancelled touches and finger
// indexes the application does not track are forwarded for the control to handle, and nothing
// unmeasurable (a zero size, a non-finite value) reaches it as a non-finite number.
TEST_F(StageTest, InputReachesTheControlFiniteWhateverTheScreen) {
    Application* app = start();
    Control* control = Stage::get()->getControl();
    ASSERT_NE(control, nullptr);

    InputEvent began;
    began.type = InputTouchBegan;
    began.x = kWidth / 2.0f;
    began.y = kHeight / 4.0f;
    began.finger = 9;
    app->OnInputEvent(0, began);
    EXPECT_TRUE(control->finger(9)._began);
    EXPECT_FLOAT_EQ(control->finger(9)._x, 0.5f);
    EXPECT_FLOAT_EQ(control->finger(9)._y, 0.25f);

    InputEvent cancelled = began;
    cancelled.type = InputTouchCancelled;
    app->OnInputEvent(0, cancelled);
    EXPECT_FALSE(control->finger(9)._down && !control->finger(9)._ended && !control->finger(9)._endPending);

    InputEvent far = began;
    far.finger = 12;
    app->OnInputEvent(0, far);  // forwarded; the control ignores what it cannot track

    // Other channels are not input of this device.
    InputEvent other = began;
    other.finger = 3;
    app->OnInputEvent(1, other);
    EXPECT_FALSE(control->finger(3)._began);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    _game.width = 0;
    _game.height = 0;
    for (float v : {10.0f, nan, inf}) {
        InputEvent e;
        e.type = InputTouchBegan;
        e.x = v;
        e.y = v;
        e.finger = 2;
        app->OnInputEvent(0, e);
        e.type = InputTouchMoved;
        app->OnInputEvent(0, e);
        EXPECT_TRUE(std::isfinite(control->finger(2)._x)) << v;
        EXPECT_TRUE(std::isfinite(control->finger(2)._y)) << v;
        EXPECT_TRUE(std::isfinite(control->finger(2)._sumDx)) << v;
    }
    AccelerometerSample sample;
    sample.x = nan;
    sample.y = inf;
    sample.z = -1;
    app->OnAccelerometer(sample);
    _game.width = kWidth;
    _game.height = kHeight;
}

// The shop's catalogue over the characters, trains and skins the stage loaded: its start items
// owned and selected as the last load step marks them, and a character chosen in the shop
// becomes the stage's when the shop has left the screen.
TEST_F(StageTest, ShopSelectionBecomesTheStagesWhenTheShopCloses) {
    Application* app = start();
    load(app);
    Stage* stage = Stage::get();
    ASSERT_NE(stage->getCharacter(), nullptr);
    ASSERT_NE(stage->getPlayer(), nullptr);
    ASSERT_NE(stage->getSkin(), nullptr);

    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload();
    for (const std::string& name : {stage->getCharacter()->_prefix, stage->getPlayer()->_playerName,
                                    stage->getSkin()->_name}) {
        EXPECT_EQ(shop.setItemState(name, 1), 1) << name;
        EXPECT_EQ(shop.selectItemByName(name), 1) << name;
    }
    EXPECT_EQ(shop._characterKey, "charFox");
    EXPECT_EQ(shop.findListIndex("charBear"), shop._characters.last);

    shop.onHidden();  // nothing chosen: the stage keeps its own
    EXPECT_EQ(stage->getCharacter()->_prefix, "charFox");

    ASSERT_EQ(shop.selectItemByName("charBear"), 1);
    ASSERT_EQ(shop.selectItemByName("skin_gold"), 1);
    shop.onHidden();
    EXPECT_EQ(stage->getCharacter()->_prefix, "charBear");
    EXPECT_EQ(stage->getSkin()->_key, "skin_gold");
    EXPECT_EQ(stage->getPlayer()->_playerName, "trainRed");

    // Trains go by their configuration names as well.
    ASSERT_EQ(shop.selectItemByName("trainBlue"), 1);
    shop.onHidden();
    EXPECT_EQ(stage->getPlayer()->_playerName, "trainBlue");
    frame(app);
}

TEST(Application, InterfaceAndContentScaleByDeviceClass) {
    struct Case {
        int generation;
        float ui, content;
    } cases[] = {{0, 0.25f, 7}, {3, 0.25f, 1.0f}, {4, 0.5f, 1.5f}, {5, 1.0f, 7}, {12, 0.5f, 1.5f},
                 {17, 0.5f, 1.0f}, {18, 1.0f, 1.5f}, {23, 1.0f, 7}, {24, 0.25f, 7}, {25, 1.0f, 7}};
    Application app;
    for (const Case& c : cases) {
        sGameSettings settings;
        settings.contentScale = 7;
        int generation = c.generation;
        app.OnInitWindow(generation, 1.0f, 320, 480, settings);
        ASSERT_NE(settings.uiScale, nullptr);
        EXPECT_FLOAT_EQ(*settings.uiScale, c.ui) << c.generation;
        EXPECT_FLOAT_EQ(settings.contentScale, c.content) << c.generation;
    }
}

class CountingStep : public Load {
public:
    CountingStep(float w, int* runs) : Load(w), _runs(runs) {}
    bool load() override {
        ++*_runs;
        return false;  // a failed step does not stop the queue
    }
    int* _runs;
};

TEST(Loader, ProgressByWeightAndNullFrames) {
    int runs = 0;
    {
        Loader loader;
        loader.push(nullptr);
        loader.push(nullptr);
        EXPECT_FLOAT_EQ(loader.progress(), 100.0f);
        EXPECT_EQ(loader.front(), nullptr);
        loader.popAndRun();
        loader.popAndRun();
        EXPECT_TRUE(loader.empty());
        loader.popAndRun();  // empty: nothing
    }
    {
        Loader loader;
        loader.push(new CountingStep(0, &runs));
        loader.push(nullptr);
        loader.push(new CountingStep(1, &runs));
        loader.push(new CountingStep(1, &runs));
        EXPECT_FLOAT_EQ(loader.progress(), 0.0f);
        loader.popAndRun();
        EXPECT_FLOAT_EQ(loader.progress(), 0.0f);
        loader.popAndRun();
        EXPECT_EQ(loader.front(), loader._steps.front());
        loader.popAndRun();
        EXPECT_FLOAT_EQ(loader.progress(), 50.0f);
        loader.popAndRun();
        EXPECT_FLOAT_EQ(loader.progress(), 100.0f);
        EXPECT_FLOAT_EQ(loader.totalWeight(), 0.0f);
        EXPECT_EQ(runs, 3);
        // Steps left in the queue are freed with it.
        loader.push(new CountingStep(1, &runs));
    }
}

}  // namespace

// The loading, main, tutorial, options and credits screens on the sample game, driven through
// the stage's frames and through their extensions' own operations: the loading bar and caption
// while loading, the main menu's drag turning the world, the options' volume drag and tap, the
// credits' scrolling and wrapping, and a picture of each screen over the game world.

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenuCreditsExt.h"
#include "game/menu/ZelvanMenuLoaderExt.h"
#include "game/menu/ZelvanMenuMainExt.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuTutorialExt.h"
#include "game/menu/ZelvanMenuWorldExt.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/stage/ZelvanStageCamera.h"

#include <GLES2/gl2.h>

namespace {

// Every test starts with the application started and the loader's steps still to come: the
// loading screen is on.
class MenuScreens : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        if (HasFatalFailure())
            return;
        beginLoading();
    }

    void load() { finishLoading(); }

    // Frames until the named panel is on screen and has settled (it takes touches then).
    bool settlesOn(const std::string& name, int limit = 400) {
        for (int i = 0; i < limit && !(_menu->currentPanelName() == name && !_menu->isChangePending() &&
                                       panel(name)->isActive());
             ++i)
            frame();
        return _menu->currentPanelName() == name && panel(name)->isActive();
    }
    // Loaded, past the tutorial, on the named screen.
    void enter(const std::string& name) {
        load();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(settlesOn("tutorial"));
        if (name != "tutorial") {
            ASSERT_TRUE(_menu->goToPanel(name, false));
            ASSERT_TRUE(settlesOn(name));
        }
    }
    std::string line(const std::string& panelName, const std::string& item, size_t index = 0) const {
        PanelItem* i = panel(panelName)->findItem(item);
        if (!i || index >= i->getTexts().size() || !i->getTexts()[index])
            return "<none>";
        return i->getTexts()[index]->_text;
    }
    int segmentsLit() const {
        PanelItem* bar = panel("loading")->findItem("loading");
        int lit = 0;
        for (const PanelItem::NamedNode& n : bar->getNamedNodes())
            lit += n.node->_active ? 1 : 0;
        return lit;
    }
    // The average colour of a screen area (x, y from the top-left, in pixels).
    static Vector3 average(const std::vector<uint8_t>& pixels, int x0, int y0, int x1, int y1) {
        Vector3 sum;
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const uint8_t* p = &pixels[((size_t)y * kWidth + x) * 4];
                sum += Vector3(p[0], p[1], p[2]);
                ++n;
            }
        return n ? sum * (1.0f / (float)n) : sum;
    }
};

// ---- Loading ----

TEST_F(MenuScreens, TheLoadingBarFollowsProgressAndTheCaptionEachStepThenTheTutorialComes) {
    // The first frame loads the title pages and shows the loading panel.
    frame();
    MenuLoaderExt* loader = _menu->getLoaderExt();
    ASSERT_NE(loader, nullptr);
    ASSERT_EQ(panel("loading")->findItem("loading")->getNamedNodes().size(), 11u);

    std::set<std::string> captions;
    int lastLit = 0;
    while (!_stage->getLoader()->empty()) {
        frame();
        const float progress = _stage->getLoader()->progress();
        int expected = 0;
        for (int i = 0; i < 11; ++i)
            expected += progress > MenuLoaderExt::threshold(i) ? 1 : 0;
        ASSERT_EQ(segmentsLit(), expected) << "at " << progress << "%";
        ASSERT_GE(segmentsLit(), lastLit) << "the bar never shrinks";
        lastLit = segmentsLit();
        if (Load* step = _stage->getLoader()->front()) {
            const std::string caption = line("loading", "loading");
            EXPECT_EQ(caption, step->textKey.empty() ? "Loading..." : "Starting...");
            captions.insert(caption);
        }
    }
    EXPECT_EQ(captions, std::set<std::string>({"Loading...", "Starting..."}));
    EXPECT_EQ(lastLit, 10) << "complete: ten segments, the eleventh stays dark";
    EXPECT_TRUE(settlesOn("tutorial")) << "a first start shows the tutorial";

    // The thresholds by hand.
    const struct {
        float percent;
        int lit;
        bool firstLit, lastLit;
    } cases[] = {{0, 0, false, false}, {9.090909f, 0, false, false}, {9.1f, 1, true, false},
                 {50, 5, true, false}, {100, 10, true, false},      {100.5f, 11, true, true}};
    for (const auto& c : cases) {
        loader->setProgress(c.percent);
        EXPECT_EQ(segmentsLit(), c.lit) << c.percent;
        PanelItem* bar = panel("loading")->findItem("loading");
        EXPECT_EQ(bar->findNode("progressbar00")->_active, c.firstLit) << c.percent;
        EXPECT_EQ(bar->findNode("progressbar10")->_active, c.lastLit) << c.percent;
    }
    loader->setText("Half way 50%%");
    EXPECT_EQ(line("loading", "loading"), "Half way 50%");
}

// ---- Main menu and tutorial ----

TEST_F(MenuScreens, ADragOffTheButtonsTurnsTheWorldBehindTheMainMenuAndTheTutorial) {
    enter("main");
    ASSERT_FALSE(HasFatalFailure());
    StageCamera* camera = _stage->getStageCamera();
    MenuWorldExt* world = _menu->getWorldExt();
    ASSERT_TRUE(world->isShown());
    auto angle = [&] {
        const Vector3 r = camera->_cameraOffset - camera->_cameraTarget;
        return std::atan2(r.y, r.x);
    };
    auto turnOf = [&](float a0, float a1) {
        float d = a1 - a0;
        while (d > 3.14159265f)
            d -= 6.2831853f;
        while (d < -3.14159265f)
            d += 6.2831853f;
        return d;
    };

    // Idle: the world turns slowly at the default speed (4 degrees a second in the sample).
    float a0 = angle();
    for (int i = 0; i < 60; ++i)
        frame();
    const float idle = std::fabs(turnOf(a0, angle()));
    EXPECT_GT(idle, 0.0f);
    EXPECT_LT(idle, 0.2f);

    // A drag across half the screen at the left edge, where no button lies: a large turn, and
    // the eye stays at its distance from the look-at point.
    const float radius = (camera->_cameraOffset - camera->_cameraTarget).length();
    const Vector3 eyeBefore = camera->getCamera()->_transform->_world.getTranslation();
    a0 = angle();
    _menu->touchBegan(0, Vector3(0.02f, 0.95f, 0));
    EXPECT_EQ(panel("main")->getTouchedExtension(), _menu->getMainExt());
    for (int i = 1; i <= 10; ++i) {
        _menu->touchMoved(0, Vector3(0.02f + 0.05f * i, 0.95f, 0));
        frame();
    }
    _menu->touchEnded(0, Vector3(0.52f, 0.95f, 0));
    frame();
    const float dragged = std::fabs(turnOf(a0, angle()));
    EXPECT_GT(dragged, 10 * idle) << "the drag turned the world";
    EXPECT_NEAR((camera->_cameraOffset - camera->_cameraTarget).length(), radius, 1e-3f);
    EXPECT_GT((camera->getCamera()->_transform->_world.getTranslation() - eyeBefore).length(), 0.1f)
        << "the camera moved with it";
    // Let go, the spin keeps the drag's speed and eases back toward the default.
    const float flung = std::fabs(world->getAngularVelocity());
    for (int i = 0; i < 120; ++i)
        frame();
    EXPECT_LT(std::fabs(world->getAngularVelocity()), flung);

    // A touch that begins on a button is not the main menu's.
    PanelItem* start = panel("main")->findItem("start");
    ASSERT_NE(start, nullptr);
    _menu->touchBegan(0, Vector3(0.5f, 0.5f - 2.0f / 16.0f, 0));  // the play button, z 2 of 16
    EXPECT_EQ(panel("main")->getTouchedExtension(), nullptr);
    _menu->touchEnded(0, Vector3(0.5f, 0.95f, 0));

    // The extension alone: no drag while the panel is hidden.
    MenuMainExt* mainExt = _menu->getMainExt();
    mainExt->onHide(true);
    EXPECT_FALSE(mainExt->touchBegan(0, Vector3(0.1f, 0.9f, 0)));
    mainExt->onShow(true);
    EXPECT_TRUE(mainExt->touchBegan(0, Vector3(0.1f, 0.9f, 0)));
    EXPECT_TRUE(mainExt->touchEnded(0, Vector3(0.1f, 0.9f, 0)));

    // The tutorial drags the same way.
    MenuTutorialExt* tutorial = _menu->getTutorialExt();
    ASSERT_NE(tutorial, nullptr);
    tutorial->onShow(false);
    world->clearSpin();
    ASSERT_TRUE(tutorial->touchBegan(0, Vector3(0.1f, 0.9f, 0)));
    ASSERT_TRUE(tutorial->touchMoved(0, Vector3(0.4f, 0.9f, 0)));
    tutorial->update(kDt);
    EXPECT_TRUE(world->_spinQueued);
    EXPECT_GT(std::fabs(world->_spinAngle), 0.5f) << "a third of the screen, in interface units";
    tutorial->onHide(true);

    // A run that starts on the camera the menus turned (the sample applies none over it) leaves
    // the menus' turn behind once the menu has gone.
    const Vector3 turned = camera->_cameraOffset;
    _menu->startRun();
    for (int i = 0; i < 120; ++i)
        frame();
    EXPECT_FALSE(world->isShown());
    EXPECT_GT((turned - camera->_cameraOffset).length(), 0.1f);
    EXPECT_NEAR(camera->_cameraOffset.x, 0.0f, 1e-3f) << "the level camera's own offset (0, -4, 2)";
    EXPECT_NEAR(camera->_cameraOffset.y, -4.0f, 1e-3f);
}

// ---- Options ----

TEST_F(MenuScreens, DraggingTheMusicSetsTheVolumeTheStageGetsAndATapTogglesIt) {
    enter("options");
    ASSERT_FALSE(HasFatalFailure());
    MenuOptionsExt* options = _menu->getOptionsExt();
    ASSERT_NE(options, nullptr);
    SoundInterface& sound = SoundInterface::get();
    EXPECT_EQ(line("options", "music"), "Music 100%") << "the loader's start values";
    EXPECT_EQ(line("options", "sound"), "Sound 100%");

    // Drag the music a tenth of the screen to the left, then a tenth back and more to the right:
    // the volume follows (100 per screen width) and never leaves 0..100.
    options->selectControl(MenuOptionsExt::ControlMusic);
    ASSERT_TRUE(options->touchBegan(0, Vector3(0.5f, 0.2f, 0)));
    EXPECT_TRUE(options->touchMoved(0, Vector3(0.4f, 0.2f, 0)));
    EXPECT_NEAR(options->getMusicVolume(), 90.0f, 1e-3f);
    EXPECT_EQ(line("options", "music"), "Music 90%");
    EXPECT_NEAR(sound._musicVolume, 0.9f, 1e-4f) << "the volume reached the stage";
    options->touchMoved(0, Vector3(0.9f, 0.2f, 0));
    EXPECT_EQ(options->getMusicVolume(), 100.0f);
    options->touchMoved(0, Vector3(0.6f, 0.2f, 0));
    EXPECT_NEAR(options->getMusicVolume(), 70.0f, 1e-3f);
    EXPECT_TRUE(options->touchEnded(0, Vector3(0.6f, 0.2f, 0))) << "a drag is no tap";
    EXPECT_TRUE(options->isMusicOn());
    EXPECT_EQ(options->getControl(), MenuOptionsExt::ControlNone);

    // Taps: off (0 shown, the stage silent), on again at the volume it had.
    options->selectControl(MenuOptionsExt::ControlMusic);
    options->touchBegan(0, Vector3(0.5f, 0.2f, 0));
    options->touchEnded(0, Vector3(0.5f, 0.2f, 0));
    EXPECT_FALSE(options->isMusicOn());
    EXPECT_EQ(line("options", "music"), "Music 0%");
    EXPECT_EQ(sound._musicVolume, 0.0f);
    options->selectControl(MenuOptionsExt::ControlMusic);
    options->touchBegan(0, Vector3(0.5f, 0.2f, 0));
    options->touchEnded(0, Vector3(0.5f, 0.2f, 0));
    EXPECT_TRUE(options->isMusicOn());
    EXPECT_EQ(line("options", "music"), "Music 70%");
    EXPECT_NEAR(sound._musicVolume, 0.7f, 1e-4f);

    // A drag that ends where it began is still a drag; a tap on a volume below one point turns
    // the sound on at full volume.
    options->selectControl(MenuOptionsExt::ControlSound);
    options->touchBegan(0, Vector3(0.5f, 0.3f, 0));
    options->touchMoved(0, Vector3(0.3f, 0.3f, 0));
    options->touchMoved(0, Vector3(0.5f, 0.3f, 0));
    options->touchEnded(0, Vector3(0.5f, 0.3f, 0));
    EXPECT_TRUE(options->isSoundOn());
    EXPECT_NEAR(options->getSoundVolume(), 100.0f, 1e-3f);
    options->setSoundVolume(0.5f);
    options->selectControl(MenuOptionsExt::ControlSound);
    options->touchBegan(0, Vector3(0.5f, 0.3f, 0));
    options->touchEnded(0, Vector3(0.5f, 0.3f, 0));
    EXPECT_TRUE(options->isSoundOn());
    EXPECT_EQ(options->getSoundVolume(), 100.0f);
    EXPECT_EQ(line("options", "sound"), "Sound 100%");

    // Without a selected control the screen takes no touch; setters keep the caption while off.
    EXPECT_FALSE(options->touchBegan(0, Vector3(0.5f, 0.5f, 0)));
    EXPECT_FALSE(options->touchMoved(0, Vector3(0.6f, 0.5f, 0)));
    options->setSoundOn(false);
    options->setSoundVolume(40);
    EXPECT_EQ(line("options", "sound"), "Sound 0%");
    options->setSoundOn(true);
    EXPECT_EQ(line("options", "sound"), "Sound 40%");

    // A control chosen under a finger is forgotten when the panel hides or shows again, so the
    // next touch (off the buttons) drives nothing.
    options->selectControl(MenuOptionsExt::ControlMusic);
    ASSERT_TRUE(_menu->goBack(true));
    ASSERT_TRUE(settlesOn("tutorial"));
    EXPECT_EQ(options->getControl(), MenuOptionsExt::ControlNone);
    options->selectControl(MenuOptionsExt::ControlSound);
    ASSERT_TRUE(_menu->goToPanel("options", false));
    ASSERT_TRUE(settlesOn("options"));
    EXPECT_FALSE(options->touchBegan(0, Vector3(0.5f, 0.9f, 0)));

    // After an advertisement the stage gets the volumes again, the captions untouched.
    sound.setMusicVolume(0);
    options->applyVolumes();
    EXPECT_NEAR(sound._musicVolume, 0.7f, 1e-4f);
}

// ---- Credits ----

TEST_F(MenuScreens, TheCreditsRiseFollowAFingerAndWrapBetweenTheMarkers) {
    enter("credits");
    ASSERT_FALSE(HasFatalFailure());
    MenuCreditsExt* credits = _menu->getCreditsExt();
    ASSERT_NE(credits, nullptr);
    Object* scroll = credits->scrollNode();
    ASSERT_NE(scroll, nullptr);
    EXPECT_NE(line("credits", "scroll").find("Thank you for playing!"), std::string::npos);
    EXPECT_NE(line("credits", "scroll").find("100% on rails"), std::string::npos) << "the doubled % shows once";

    // Shown, the text starts at the lower marker; with no touch it rises 0.5 units a second.
    credits->onShow(true);
    const float down = credits->_objectDown->getWorldPosition().z;
    const float up = credits->_objectUp->getWorldPosition().z;
    EXPECT_NEAR(scroll->getWorldPosition().z, down, 1e-4f);
    float z0 = scroll->getWorldPosition().z;
    for (int i = 0; i < 60; ++i)
        credits->update(kDt);
    EXPECT_NEAR(scroll->getWorldPosition().z - z0, 0.5f, 0.01f);

    // A drag of 2 units up in a frame of 0.02 s: the text follows, the speed is held to 10.
    // Finger points: 16 interface units over the screen height.
    z0 = scroll->getWorldPosition().z;
    ASSERT_TRUE(credits->touchBegan(0, Vector3(0.5f, 0.5f, 0)));
    ASSERT_TRUE(credits->touchMoved(0, Vector3(0.5f, 0.5f - 2.0f / 16.0f, 0)));
    credits->update(0.02f);
    EXPECT_NEAR(scroll->getWorldPosition().z - z0, 2.0f, 1e-3f);
    EXPECT_FLOAT_EQ(credits->getVelocity(), 10.0f);
    // With dt 0 it still follows; the speed becomes 0. Let go, the speed eases back up.
    credits->touchMoved(0, Vector3(0.5f, 0.5f - 3.0f / 16.0f, 0));
    credits->update(0);
    EXPECT_NEAR(scroll->getWorldPosition().z - z0, 3.0f, 1e-3f);
    EXPECT_EQ(credits->getVelocity(), 0.0f);
    EXPECT_TRUE(credits->touchEnded(0, Vector3(0.5f, 0.3f, 0)));
    credits->update(1.0f);
    EXPECT_NEAR(credits->getVelocity(), 0.45f, 1e-3f) << "10 % of the difference left after a second";

    // Past the upper marker the text comes back below the lower one, the gap kept; a text pushed
    // below the lower marker comes back above.
    Vector3 low, high;
    ASSERT_TRUE(getObjectBounds(scroll, false, low, high));
    const float height = high.z - low.z;
    EXPECT_GT(height, 16.0f) << "taller than the screen";
    const float span = (up - down) + height;
    scroll->setPosition(scroll->getPosition() + Vector3(0, 0, up - low.z + 0.01f));
    ASSERT_TRUE(getObjectBounds(scroll, false, low, high));
    const float topBefore = high.z;
    credits->update(0.0f);
    ASSERT_TRUE(getObjectBounds(scroll, false, low, high));
    EXPECT_NEAR(high.z, topBefore - span, 1e-3f);
    EXPECT_LT(high.z, down + 0.02f) << "its top at the lower marker";
    scroll->setPosition(scroll->getPosition() - Vector3(0, 0, 1.0f));
    ASSERT_TRUE(getObjectBounds(scroll, false, low, high));
    const float bottomBefore = low.z;
    credits->update(0.0f);
    ASSERT_TRUE(getObjectBounds(scroll, false, low, high));
    EXPECT_NEAR(low.z, bottomBefore + span, 1e-3f);

    // Through the frames: the credits keep rising over the screen.
    credits->onShow(true);
    z0 = scroll->getWorldPosition().z;
    for (int i = 0; i < 120; ++i)
        frame();
    EXPECT_NEAR(scroll->getWorldPosition().z - z0, 1.0f, 0.05f);

    // Without its item "scroll" the panel keeps working: no text moves, the speed still eases.
    PanelItem* item = panel("credits")->findItem("scroll");
    item->_name = "scroll_gone";
    credits->onShow(true);
    credits->_velocity = 5.0f;
    credits->update(1.0f);
    EXPECT_NEAR(credits->getVelocity(), 0.95f, 1e-3f);
    EXPECT_EQ(credits->scrollNode(), nullptr);
    item->_name = "scroll";

    // A touch on the back button is the button's.
    Panel* p = panel("credits");
    _menu->touchBegan(0, Vector3(0.5f, 0.5f + 6.8f / 16.0f, 0));
    EXPECT_EQ(p->getTouchedExtension(), nullptr);
    _menu->touchEnded(0, Vector3(0.5f, 0.02f, 0));
}

// ---- Pictures ----

TEST_F(MenuScreens, EachScreenIsPicturedOverTheGameWorldWhenItComes) {
    // ZELVAN_SCREEN_DIR keeps the pictures for a look; else they go to a temporary folder.
    testsupport::TempDir temp;
    const char* keep = std::getenv("ZELVAN_SCREEN_DIR");
    const std::string dir = keep && *keep ? std::string(keep) : temp.path();
    auto picture = [&](const std::string& name) {
        _app->OnRender();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        std::vector<uint8_t> pixels = EglHeadless::readPixels(0, 0, kWidth, kHeight);
        EXPECT_TRUE(EglHeadless::writePng(dir + "/" + name + ".png", kWidth, kHeight, pixels)) << name;
        return pixels;
    };

    // Loading, half way: half the bar lit and the step's caption.
    for (int i = 0; i < 5000 && _stage->getLoader()->progress() < 50.0f; ++i)
        frame();
    const std::vector<uint8_t> loading = picture("loading");
    // The bar's lit half is orange, its dark half the frame's near-black (bar 3.5 units below the
    // middle, 16 units over the screen height; segments 0-4 left of the middle).
    const int barY = (int)(kHeight * (0.5f + 3.5f / 16.0f));
    const Vector3 lit = average(loading, kWidth / 2 - 62, barY - 2, kWidth / 2 - 50, barY + 2);
    const Vector3 dark = average(loading, kWidth / 2 + 50, barY - 2, kWidth / 2 + 60, barY + 2);
    EXPECT_GT(lit.x, 150.0f) << "lit segments";
    EXPECT_LT(dark.x, 60.0f) << "dark segments";
    load();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::string> names = {"tutorial", "main", "options", "credits"};
    for (const std::string& name : names) {
        if (name != "tutorial") {
            ASSERT_TRUE(_menu->goToPanel(name, false));
        }
        ASSERT_TRUE(settlesOn(name)) << name;
        for (int i = 0; i < 10; ++i)
            frame();
        const std::vector<uint8_t> pixels = picture(name);
        // The game world shows through the page: the left edge of the screen, where no button
        // lies, is not one flat colour.
        float mean = 0, square = 0;
        int n = 0;
        for (int y = kHeight / 4; y < kHeight - 10; ++y)
            for (int x = 0; x < 12; ++x) {
                const float v = pixels[((size_t)y * kWidth + x) * 4 + 1];
                mean += v;
                square += v * v;
                ++n;
            }
        mean /= (float)n;
        EXPECT_GT(std::sqrt(square / (float)n - mean * mean), 4.0f) << name << ": the world shows behind";
    }
    // Each screen asked the host for a picture as it came.
    const std::vector<std::string> asked = platform::takeScreenshotRequests();
    for (const char* name : {"loading", "tutorial", "main", "options", "credits"})
        EXPECT_NE(std::find(asked.begin(), asked.end(), name), asked.end()) << name;
}

}  // namespace

// The window path under a display (CTest runs it under Xvfb): the window opens with an OpenGL ES
// context, frames are drawn and shown, scripted and window input arrive, and closing quits cleanly.

#include <SDL2/SDL.h>

#include "PlatformTestSupport.h"
#include "engine/plat_iphone/GLView.h"

using namespace platformtest;
using Strings = std::vector<std::string>;

TEST(PlatformWindow, OpensDrawsTakesInputAndQuits) {
    HostOptions options = headlessOptions(120, 160);
    options.headless = false;
    PlatformRun run(options);
    ASSERT_NE(run.host, nullptr);
    ASSERT_TRUE(run.host->windowed());
    ASSERT_NE(CIphoneGame::instance()->glView, nullptr);

    run.script("1 touch began 3 10 20\n2 touch ended 3 10 30\n2 key down right\n");
    ASSERT_TRUE(run.turns(3));
    EXPECT_EQ(run.host->presentCount(), 3);
    int w = 0, h = 0;
    std::vector<uint8_t> pixels = run.host->readPresentedPixels(w, h);
    ASSERT_EQ(w, 120);
    ASSERT_EQ(h, 160);
    ASSERT_FALSE(pixels.empty());
    EXPECT_NEAR(pixels[0], 51, 1);
    EXPECT_NEAR(pixels[2], 153, 1);

    // The mouse is finger 0: a click is a tap.
    SDL_Event e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 40;
    e.button.y = 50;
    SDL_PushEvent(&e);
    ASSERT_TRUE(run.turns(1));
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 40;
    e.motion.y = 90;
    SDL_PushEvent(&e);
    ASSERT_TRUE(run.turns(1));
    e = {};
    e.type = SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 40;
    e.button.y = 90;
    SDL_PushEvent(&e);
    ASSERT_TRUE(run.turns(1));

    ASSERT_EQ(run.recorder.inputs.size(), 6u);
    EXPECT_EQ(run.recorder.inputs[2].keyCode, 73);
    const InputEvent& down = run.recorder.inputs[3];
    EXPECT_EQ(down.type, InputTouchBegan);
    EXPECT_EQ(down.finger, 0);
    EXPECT_EQ(down.x, 40.0f);
    EXPECT_EQ(down.y, 50.0f);
    EXPECT_EQ(run.recorder.inputs[4].type, InputTouchMoved);
    EXPECT_EQ(run.recorder.inputs[4].y, 90.0f);
    EXPECT_EQ(run.recorder.inputs[5].type, InputTouchEnded);

    // Closing the window terminates.
    e = {};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    EXPECT_FALSE(run.turns(1));
    EXPECT_EQ(run.recorder.calls.back(), "OnAppTerminate");
}

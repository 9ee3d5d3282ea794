// The Metal path under the headless host, over the recording Metal stand-in.

#include <atomic>
#include <thread>

#include "PlatformTestSupport.h"
#include "engine/MetalRender/MetalRender.h"
#include "engine/plat_iphone/MetalView.h"
#include "engine/plat_linux/metal/Metal.h"

using namespace platformtest;

namespace {

HostOptions metalOptions() {
    HostOptions o = headlessOptions(64, 96);
    o.metal = true;
    return o;
}

}  // namespace

TEST(PlatformMetal, FramesRunOverTheStandInWithoutValidationErrors) {
    PlatformRun run(metalOptions());
    run.recorder.useRenderer = true;
    CIphoneGame* game = CIphoneGame::instance();
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->glView, nullptr);
    ASSERT_NE(game->metalViewController, nullptr);
    EXPECT_EQ(game->rootViewController, game->metalViewController);
    EXPECT_TRUE(game->metalViewController->hasGameLoop());
    // Sizes are not oriented on this path.
    EXPECT_EQ(game->GetWidth(), 64.0f);
    EXPECT_EQ(game->GetHeight(), 96.0f);
    MetalRender* render = MetalRender::instance();
    ASSERT_NE(render, nullptr);
    // The renderer needs its screen target now that it exists (OnAppStarted ran before).
    run.recorder.screen = render->createRenderTarget();

    ASSERT_TRUE(run.turns(5));
    // The paused flag does not stop drawing here; every tick updates and renders.
    EXPECT_EQ(run.recorder.count("OnUpdate"), 5);
    EXPECT_EQ(run.recorder.count("OnRender"), 5);
    auto* view = dynamic_cast<MetalView*>(game->metalViewController->view());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->layer()->drawableWidth, 64u);
    EXPECT_EQ(view->layer()->drawableHeight, 96u);
    ASSERT_NE(view->depthTexture(), nullptr);
    EXPECT_EQ(view->depthTexture()->pixelFormat(), mtl::PixelFormatDepth32Float);
    EXPECT_EQ(view->stencilTexture(), nullptr);

    mtl::DevicePtr device = mtl::createSystemDefaultDevice();
    ASSERT_EQ(device, render->device);
    device->waitGpuIdle();
    EXPECT_EQ(device->validationErrorCount(), 0u) << (device->validationErrors().empty() ? "" : device->validationErrors()[0]);
    EXPECT_GE(render->commandQueue->history().size(), 5u);
    EXPECT_GT(render->commandQueue->history().back()->drawCount(), 0u);

    // SetAnimating and the frame interval have no effect on this path.
    game->SetAnimating(false);
    game->SetAnimationFrameInterval(3);
    ASSERT_TRUE(run.turns(2));
    EXPECT_EQ(run.recorder.count("OnUpdate"), 7);
}

TEST(PlatformMetal, AHeldBackGpuMakesTheFourthFrameWait) {
    PlatformRun run(metalOptions());
    MetalRender* render = MetalRender::instance();
    ASSERT_NE(render, nullptr);
    mtl::DevicePtr device = render->device;
    device->holdGpu();
    ASSERT_TRUE(run.turns(3));
    EXPECT_EQ(device->pendingCommandBuffers(), 3u);

    std::atomic<bool> done{false};
    std::thread fourth([&] {
        run.host->turn();
        done = true;
    });
    // It waits for a frame slot; one completed frame lets it through.
    EXPECT_TRUE(testsupport::waitUntil([&] { return render->inFlight->waiting() == 1; }, 60000));
    EXPECT_FALSE(done.load());
    EXPECT_EQ(run.recorder.count("OnUpdate"), 4);
    EXPECT_EQ(run.recorder.count("OnRender"), 3);
    device->stepGpu(1);
    fourth.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(run.recorder.count("OnRender"), 4);
    device->releaseGpu();
    device->waitGpuIdle();
    EXPECT_EQ(device->validationErrorCount(), 0u);
}

TEST(PlatformMetal, BackgroundPausesTheGameLoopAndFreesTheDepthTexture) {
    PlatformRun run(metalOptions());
    MetalViewController* controller = CIphoneGame::instance()->metalViewController;
    auto* view = dynamic_cast<MetalView*>(controller->view());
    ASSERT_TRUE(run.turns(2));
    ASSERT_NE(view->depthTexture(), nullptr);
    run.script("2 background\n5 foreground\n");
    ASSERT_TRUE(run.turns(3));
    EXPECT_TRUE(controller->isPaused());
    EXPECT_EQ(view->depthTexture(), nullptr);
    ASSERT_TRUE(run.turns(2));
    EXPECT_FALSE(controller->isPaused());
    EXPECT_NE(view->depthTexture(), nullptr);
    EXPECT_EQ(run.recorder.count("OnUpdate"), 4);  // refreshes 0, 1, 5 and 6

    // Pausing twice pauses once; with no game loop pausing does nothing.
    controller->setPaused(true);
    controller->setPaused(true);
    EXPECT_TRUE(controller->isPaused());
    controller->stopGameLoop();
    controller->setPaused(false);
    EXPECT_TRUE(controller->isPaused());
}

TEST(PlatformMetal, NoDrawableSkipsTheGameDrawingButNotTheUpdate) {
    testsupport::LogCapture log;
    PlatformRun run(metalOptions());
    auto* view = dynamic_cast<MetalView*>(CIphoneGame::instance()->metalViewController->view());
    view->layer()->setDrawablesAvailable(false);
    ASSERT_TRUE(run.turns(4));  // more than three: a frame without a drawable gives its slot back
    EXPECT_EQ(run.recorder.count("OnUpdate"), 4);
    EXPECT_EQ(run.recorder.count("OnRender"), 0);
    EXPECT_EQ(log.count("Failed to get a drawable!"), 4);
}

TEST(PlatformMetal, WithoutTheMetalClassOrDeviceTheOpenGLESPathIsTaken) {
    {
        PlatformRun run;  // the host offers no Metal layer class
        EXPECT_NE(CIphoneGame::instance()->glView, nullptr);
        EXPECT_EQ(CIphoneGame::instance()->metalViewController, nullptr);
    }
    mtl::setSystemDefaultDeviceAvailable(false);
    {
        HostOptions options = headlessOptions();
        options.metal = true;  // the class exists but there is no device; OpenGL ES is still there
        Host* host = Host::create(options);
        ASSERT_NE(host, nullptr);
        ui::setGLSurface(nullptr);
        Recorder recorder;
        char name[] = "zelvan";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(CIphoneGame::Start(1, argv, gameSettings(), &recorder), 0);
        EXPECT_EQ(CIphoneGame::instance()->metalViewController, nullptr);
        EXPECT_EQ(recorder.calls[1], "OnAppStarted");
        CIphoneGame::destroyInstance();
    }
    mtl::setSystemDefaultDeviceAvailable(true);
}

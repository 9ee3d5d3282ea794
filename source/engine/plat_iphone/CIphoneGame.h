#pragma once
// The single platform game object: the platform's implementation of IGame and the bridge that hands
// every application event, frame tick and touch to the game's IGameEventHandler. The application
// delegate (AppController) and the views (GLView, MetalView) call into it; it never draws by itself.
//
// Life: CIphoneGame::Start creates it and runs the application loop; at termination the handler is
// told once and dropped, the frame driver stops and CIphoneGame::instance() answers null. The
// object itself (IGame::instance()) lives on until CIphoneGame::destroyInstance, which the entry
// point calls after it has destroyed the game, so the game's teardown can still ask for sizes.
// Everything here runs on the main thread.

#include <memory>
#include <string>

#include "engine/IGame.h"
#include "engine/plat_linux/host/UIKit.h"

class AppController;
class GLView;
class MetalViewController;
class Render;

#include "engine/platform.h"

// The device model table (getDeviceGeneration, engine/platform.h) for a given model string:
// the table, then the family rules.
int deviceGenerationOf(const std::string& model);

class CIphoneGame : public IGame {
public:
    // The platform object until termination, null before and after.
    static CIphoneGame* instance();

    // Opens the host's window or headless context from the program's options and makes the
    // OpenGL ES context current, so the game may create its renderer before Start. False with
    // exitCode set when the program must stop (bad options: 2, no display or context: 1,
    // --help: 0).
    static bool PrepareHost(int argc, char** argv, int& exitCode);

    // Program start: the frame timer, rand() seeded with the time in ms, the stdout log sink, then
    // the application loop with the delegate class "AppController". Returns the process exit code.
    static int Start(int argc, char** argv, const sGameSettings& settings, IGameEventHandler* handler);

    // Deletes the object (after the game is gone), the renderers the launch made and the sound
    // system, and closes the host.
    static void destroyInstance();

    // ---- Called by the application delegate ----
    void applicationDidFinishLaunching(AppController* delegate);
    void applicationDidFinishLaunchingWithURL(AppController* delegate, const std::string& url);
    void applicationWillTerminate();
    void shutdown();
    void applicationDidBecomeActive();
    void applicationWillResignActive();
    void applicationDidEnterBackground();
    void applicationWillEnterForeground();
    void applicationDidReceiveMemoryWarning();
    bool openURL(const std::string& url, const std::string& sourceApplication);
    void didRegisterForRemoteNotifications(const std::string& token);
    void didReceiveRemoteNotification(const std::string& alert, int badge, const std::string& sound);

    // ---- Called by the views each frame ----
    void update();
    void drawView();
    void setupView() {}
    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event);
    void touchesMoved(const ui::TouchSet& touches, const ui::Event& event);
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event);
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event);
    // The input hook's callback.
    static void onInputEvent(void* context, int source, const InputEvent& event);

    // ---- IGame ----
    void SetAnimating(bool on) override;
    void SetAnimationFrameInterval(int frames) override;
    void DebugCommand(int command) override;
    void SetAccelerometerFrequency(double hz) override;
    void RequestDraw() override;
    bool IsRunning() override { return true; }
    sGameSettings& GetSettings() override { return settings; }
    void NotImplemented() override;
    float GetWidth() override { return width; }
    float GetHeight() override { return height; }
    void SetOrientationMode(uint8_t mode) override { orientationMode = mode; }
    uint8_t GetOrientationMode() override { return orientationMode; }
    int ReservedA() override { return 0; }
    void GetTouchPosition(float& x, float& y) override {
        x = touchPosition[0];
        y = touchPosition[1];
    }
    void ReservedB(int) override {}
    bool IsTouchDown() override { return touchDown; }
    int ReservedC() override { return 0; }
    void ReservedD(int) override {}
    int ReservedE() override { return 0; }
    int GetInterfaceOrientation() override;
    void ShowMailComposer(const char* subject, const char* body, bool isHTML) override;
    void OpenURL(const char* url) override;
    float GetScale() override { return scale; }
    float GetPhysicalWidth() override { return physicalWidth; }
    float GetPhysicalHeight() override { return physicalHeight; }

    // ---- State (read by the views and tests) ----
    IGameEventHandler* handler() const { return m_Handler; }
    AppController* appController = nullptr;
    GLView* glView = nullptr;
    ui::ViewController* rootViewController = nullptr;
    MetalViewController* metalViewController = nullptr;
    float width = 0, height = 0;
    float physicalWidth = 0, physicalHeight = 0;
    float scale = 0;
    uint8_t orientationMode = 0;
    sGameSettings settings;
    bool touchDown = false;
    float touchPosition[2] = {0, 0};
    const ui::Touch* touchSlots[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    bool paused = true;
    int framesRun() const { return _frames; }

private:
    CIphoneGame() = default;
    ~CIphoneGame() override;
    void applyAudioCategory();
    // The window set-up's common steps; the path's views come after.
    void initWindowCommon(bool oriented);
    void createGLWindow();
    void createMetalWindow();
    void handleTouches(int type, const ui::TouchSet& touches, const ui::Event& event);

    IGameEventHandler* m_Handler = nullptr;
    Render* _glRender = nullptr;
    AppController* _setupDelegate = nullptr;  // the delegate during the window set-up
    ui::Rect _bounds;
    bool _terminated = false;
    int _frames = 0;
};

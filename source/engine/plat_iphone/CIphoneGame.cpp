#include "engine/plat_iphone/CIphoneGame.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/MetalRender/MetalRender.h"
#include "engine/clock.h"
#include "engine/plat_iphone/AppController.h"
#include "engine/plat_iphone/GLView.h"
#include "engine/plat_iphone/MetalView.h"
#include "engine/plat_linux/AdServices.h"
#include "engine/plat_linux/RunServices.h"
#include "engine/plat_linux/host/Host.h"
#include "engine/render/gles2/OpenGLES2Render.h"
#include "engine/sound/sfx.h"
#include "engine/utils.h"
#include "game/metal/MetalShaders.h"

namespace {

const char* const kSource = "source/engine/plat_iphone/CIphoneGame";

// m_Instance: the object until termination. The object itself (IGame's instance) is kept apart so
// it can be deleted after the game, whatever termination cleared.
CIphoneGame* m_Instance = nullptr;
CIphoneGame* g_object = nullptr;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Device model table

int deviceGenerationOf(const std::string& model) {
    static const struct {
        const char* model;
        int generation;
    } table[] = {
        {"iPhone1,1", 0},  {"iPhone1,2", 1},  {"iPhone2,1", 2},  {"iPhone3,1", 3},  {"iPhone3,3", 3},
        {"iPhone4,1", 4},  {"iPhone5,1", 5},  {"iPhone5,2", 5},  {"iPhone5,3", 5},  {"iPhone5,4", 5},
        {"iPhone6,1", 6},  {"iPhone6,2", 6},  {"iPhone7,1", 8},  {"iPhone7,2", 7},  {"iPod1,1", 9},
        {"iPod2,1", 10},   {"iPod3,1", 11},   {"iPod4,1", 12},   {"iPod5,1", 13},   {"iPad1,1", 14},
        {"iPad2,1", 15},   {"iPad2,2", 15},   {"iPad2,3", 15},   {"iPad2,4", 15},   {"iPad2,5", 16},
        {"iPad2,6", 16},   {"iPad2,7", 16},   {"iPad3,1", 17},   {"iPad3,2", 17},   {"iPad3,3", 17},
        {"iPad3,4", 18},   {"iPad3,5", 18},   {"iPad3,6", 18},   {"iPad4,1", 19},   {"iPad4,2", 19},
        {"iPad4,4", 20},   {"iPad4,5", 20},   {"iPad4,7", 22},   {"iPad4,8", 22},   {"iPad4,9", 22},
        {"iPad5,3", 21},   {"iPad5,4", 21},   {"i386", 23},      {"x86_64", 23},
    };
    for (const auto& entry : table)
        if (model == entry.model)
            return entry.generation;

    // Unlisted models: newer (25) or older (24) than the family's last known one. The iPad's known
    // range ends at 4,9 (4,7 to 4,9 are listed), so 4,6 is an older unlisted model and 4,10 newer.
    static const struct {
        const char* prefix;
        int lastMajor;
        int lastMinor;
    } families[] = {{"iphone", 6, 2}, {"ipod", 5, 1}, {"ipad", 4, 9}};
    for (const auto& family : families) {
        const size_t n = std::strlen(family.prefix);
        if (model.size() < n || strncasecmp(model.c_str(), family.prefix, n) != 0)
            continue;
        int major = 0, minor = 0;
        if (std::sscanf(model.c_str() + n, "%d,%d", &major, &minor) != 2)
            return 24;
        if (major > family.lastMajor || (major == family.lastMajor && minor > family.lastMinor))
            return 25;
        return 24;
    }
    return 25;
}

int getDeviceGeneration() { return deviceGenerationOf(platform::machineModel()); }

// ---------------------------------------------------------------------------------------------------
// Start and end

CIphoneGame* CIphoneGame::instance() { return m_Instance; }

bool CIphoneGame::PrepareHost(int argc, char** argv, int& exitCode) {
    HostOptions options;
    std::string error;
    if (!parseHostOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "zelvan: %s\n%s", error.c_str(), hostUsage());
        exitCode = 2;
        return false;
    }
    if (options.help) {
        std::fprintf(stdout, "%s", hostUsage());
        exitCode = 0;
        return false;
    }
    if (!Host::create(options)) {
        exitCode = 1;
        return false;
    }
    exitCode = 0;
    return true;
}

int CIphoneGame::Start(int argc, char** argv, const sGameSettings& gameSettings, IGameEventHandler* handler) {
    CIphoneGame* game = new CIphoneGame();
    XAssert(m_Instance == nullptr ? 1 : 0, "m_Instance == 0", kSource, __LINE__);
    XAssert(IGame::instance() == nullptr ? 1 : 0, "s_IGameInstance == 0", kSource, __LINE__);
    m_Instance = game;
    g_object = game;
    IGame::setInstance(game);

    Clock::start(frameTime());
    srand((unsigned)(long long)(Clock::now() * 1000.0));
    Logger::message("CIphoneGame::Start");
    Logger::addSink(&Logger::stdoutSink, nullptr);

    game->m_Handler = handler;
    game->settings = gameSettings;
    // Ads are presented on, and the banner placed in, the root view controller's view.
    platform::setRootViewSource([] {
        platform::RootView root;
        const ui::View* view = m_Instance && m_Instance->rootViewController ? m_Instance->rootViewController->view() : nullptr;
        if (view) {
            root.exists = true;
            root.width = view->bounds().size.width;
            root.height = view->bounds().size.height;
        }
        return root;
    });

    AppController::registerClass();
    return ui::UIApplicationMain(argc, argv, nullptr, "AppController");
}

void CIphoneGame::destroyInstance() {
    // The host first: its delegate still holds the window and the views.
    if (Host::instance())
        Host::instance()->finish();
    platform::setRootViewSource(nullptr);
    if (g_object) {
        if (m_Instance == g_object)
            m_Instance = nullptr;
        if (IGame::instance() == g_object)
            IGame::setInstance(nullptr);
        delete g_object;
        g_object = nullptr;
    }
    sfx_Shutdown();
    Host::destroy();
}

CIphoneGame::~CIphoneGame() {
    if (MetalRender::instance())
        MetalRender::destroyInstance();
    if (_glRender) {
        if (Render::current() == _glRender)
            Render::setCurrent(nullptr);
        delete _glRender;
    }
}

// ---------------------------------------------------------------------------------------------------
// Launch

void CIphoneGame::applyAudioCategory() {
    ui::AudioSession& session = ui::AudioSession::shared();
    uint32_t otherAudio = 0;
    if (session.otherAudioIsPlaying(otherAudio) != 0) {
        Logger::error("AudioSessionGetProperty() hiba");
        otherAudio = 0;
    }
    if (otherAudio) {
        if (!session.setCategory("AVAudioSessionCategoryAmbient"))
            Logger::error("setCategory:AVAudioSessionCategoryAmbient hiba");
    } else {
        if (!session.setCategory("AVAudioSessionCategorySoloAmbient"))
            Logger::error("setCategory:AVAudioSessionCategorySoloAmbient hiba");
    }
}

void CIphoneGame::applicationDidFinishLaunching(AppController* delegate) {
    if (ui::AudioSession::shared().initialize() != 0)
        Logger::error("AudioSessionInitialize() hiba");
    applyAudioCategory();
    ui::Application::shared().idleTimerDisabled = true;

    bool metal = false;
    if (ui::classExists("CAMetalLayer")) {
        mtl::DevicePtr device = mtl::createSystemDefaultDevice();
        metal = device && registerMetalShaders() == 1;
    }
    appController = nullptr;
    // The window set-up hands the window to the delegate; the delegate becomes appController only
    // after the game has started.
    _setupDelegate = delegate;
    if (metal)
        createMetalWindow();
    else
        createGLWindow();
    _setupDelegate = nullptr;

    SfxInitParams params;
    params.pitchIntervalMs = 66;
    params.reserved1 = 200;
    params.voiceIntervalMs = 100;
    params.maxVoices = 16;
    params.reserved2 = 300;
    params.threadSleepMs = 50;
    params.useStreamThread = 0;
    params.priorityGain = 0;
    params.keepSources = 1;
    params.reservedFlag = 1;
    sfx_Init(params);

    if (!settings.noInputHook)
        InputHook::install(this, &CIphoneGame::onInputEvent);

    if (m_Handler && !m_Handler->OnAppStarted())
        XAssert(0, "!\"Nem sikerult az init\"", kSource, __LINE__);

    appController = delegate;
    if (settings.accelerometerHz >= 0)
        SetAccelerometerFrequency(settings.accelerometerHz);
}

void CIphoneGame::applicationDidFinishLaunchingWithURL(AppController* delegate, const std::string& url) {
    applicationDidFinishLaunching(delegate);
    if (m_Handler)
        m_Handler->OnLaunchURL(url.c_str());
}

void CIphoneGame::initWindowCommon(bool oriented) {
    ui::Screen* screen = ui::mainScreen();
    _bounds = screen ? screen->bounds : ui::Rect();
    int generation = getDeviceGeneration();
    if (m_Handler)
        m_Handler->OnInitWindow(generation, 1.0f, (int)_bounds.size.width, (int)_bounds.size.height, settings);

    float physicalScale = settings.contentScale;
    if (screen && screen->answersScale) {
        if (settings.contentScale <= 0)
            settings.contentScale = screen->scale;
        physicalScale = screen->scale;
    }
    const float bw = _bounds.size.width, bh = _bounds.size.height;
    const float pw = bw * physicalScale, ph = bh * physicalScale;
    const float dw = bw * settings.contentScale, dh = bh * settings.contentScale;
    if (oriented) {
        const bool landscape = orientationMode == 1;
        physicalWidth = landscape ? std::max(pw, ph) : std::min(pw, ph);
        physicalHeight = landscape ? std::min(pw, ph) : std::max(pw, ph);
        width = landscape ? std::max(dw, dh) : std::min(dw, dh);
        height = landscape ? std::min(dw, dh) : std::max(dw, dh);
    } else {
        physicalWidth = pw;
        physicalHeight = ph;
        width = dw;
        height = dh;
    }
    Logger::message("window size: %d, %d (%d, %d), scale_supported: %d scale: %.2f", (int)_bounds.origin.x,
                    (int)_bounds.origin.y, (int)bw, (int)bh, 1, settings.contentScale);
    Logger::message("logikai meret: %dx%d valos meret: %dx%d", (int)width, (int)height, (int)physicalWidth,
                    (int)physicalHeight);
    scale = settings.contentScale;
    if (_setupDelegate)
        _setupDelegate->setUIWindow(std::make_unique<ui::Window>(_bounds));
}

void CIphoneGame::createGLWindow() {
    // The renderer needs the host's context; without one there is nothing to draw with.
    if (ui::glSurface() && ui::glSurface()->makeCurrent())
        _glRender = OpenGLES2Render::create();
    else
        Logger::error("[CIphoneGame] no OpenGL ES context: the game runs without drawing");
    initWindowCommon(true);
    ui::Window* window = _setupDelegate ? _setupDelegate->window() : nullptr;

    auto controller = std::make_unique<MyUIViewController>();
    rootViewController = controller.get();
    std::unique_ptr<GLView> view = GLView::create(_bounds);
    if (view) {
        glView = view.get();
        glView->setDelegate(_setupDelegate);
        controller->setView(std::move(view));
    } else {
        Logger::error("[CIphoneGame] the OpenGL ES view could not be made");
    }
    if (window) {
        window->setRootViewController(std::move(controller));
        window->makeKeyAndVisible();
    } else {
        rootViewController = nullptr;
        glView = nullptr;
    }
}

void CIphoneGame::createMetalWindow() {
    initWindowCommon(false);
    ui::Window* window = _setupDelegate ? _setupDelegate->window() : nullptr;
    auto controller = std::make_unique<MetalViewController>();
    auto view = std::make_unique<MetalView>(_bounds);
    view->setContentScaleFactor(settings.contentScale);
    controller->setView(std::move(view));
    controller->viewDidLoad();
    metalViewController = controller.get();
    rootViewController = controller.get();
    if (window) {
        window->setRootViewController(std::move(controller));
        window->makeKeyAndVisible();
    } else {
        metalViewController = nullptr;
        rootViewController = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------------
// Application events

void CIphoneGame::applicationWillTerminate() {
    if (_terminated)
        return;
    _terminated = true;
    if (m_Handler)
        m_Handler->OnAppTerminate();
    paused = true;
    // Nothing may tick a game that is gone.
    if (glView)
        glView->stopAnimation();
    if (metalViewController)
        metalViewController->stopGameLoop();
    ui::Accelerometer& accelerometer = ui::Accelerometer::shared();
    if (accelerometer.delegate == (ui::AccelerometerDelegate*)appController) {
        accelerometer.delegate = nullptr;
        accelerometer.updateInterval = 0;
    }
    m_Handler = nullptr;
    appController = nullptr;
    glView = nullptr;
    metalViewController = nullptr;
    rootViewController = nullptr;
    if (m_Instance == this)
        m_Instance = nullptr;
    width = height = physicalWidth = physicalHeight = 0;
    InputHook::shutdown();
    // The hook's context is this object, which does not outlive the game for long.
    InputHook::install(nullptr, nullptr);
}

void CIphoneGame::shutdown() { applicationWillTerminate(); }

void CIphoneGame::applicationDidBecomeActive() {
    paused = false;
    applyAudioCategory();
    if (m_Handler)
        m_Handler->OnAppResume();
}

void CIphoneGame::applicationWillResignActive() {
    paused = true;
    if (m_Handler)
        m_Handler->OnAppPause();
}

void CIphoneGame::applicationDidEnterBackground() {
    if (m_Handler)
        m_Handler->OnEnterBackground();
}

void CIphoneGame::applicationWillEnterForeground() {
    if (m_Handler)
        m_Handler->OnEnterForeground();
}

void CIphoneGame::applicationDidReceiveMemoryWarning() {
    if (m_Handler)
        m_Handler->OnMemoryWarning();
}

bool CIphoneGame::openURL(const std::string& url, const std::string& sourceApplication) {
    return m_Handler ? m_Handler->OnOpenURL(url.c_str(), sourceApplication.c_str()) : false;
}

void CIphoneGame::didRegisterForRemoteNotifications(const std::string& token) {
    if (m_Handler)
        m_Handler->OnRemoteNotificationToken(token.c_str());
}

void CIphoneGame::didReceiveRemoteNotification(const std::string& alert, int badge, const std::string& sound) {
    if (m_Handler)
        m_Handler->OnRemoteNotification(alert.c_str(), badge, sound.c_str());
}

// ---------------------------------------------------------------------------------------------------
// Frames and touches

void CIphoneGame::update() {
    if (!m_Handler)
        return;
    sfx_Update();
    Clock::tick(frameTime());
    ++_frames;
    m_Handler->OnUpdate();
}

void CIphoneGame::drawView() {
    if (m_Handler)
        m_Handler->OnRender();
}

void CIphoneGame::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
    handleTouches(InputTouchBegan, touches, event);
}
void CIphoneGame::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
    handleTouches(InputTouchMoved, touches, event);
}
void CIphoneGame::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
    handleTouches(InputTouchEnded, touches, event);
}
void CIphoneGame::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) {
    handleTouches(InputTouchCancelled, touches, event);
}

void CIphoneGame::handleTouches(int type, const ui::TouchSet& touches, const ui::Event& event) {
    if (type == InputTouchBegan)
        touchDown = true;
    else if ((type == InputTouchEnded || type == InputTouchCancelled) && touches.size() == event.allTouches.size())
        touchDown = false;

    for (const ui::Touch* touch : touches) {
        int slot = -1;
        for (int i = 0; i < 5; ++i)
            if (touchSlots[i] == touch) {
                slot = i;
                break;
            }
        if (slot < 0)
            for (int i = 0; i < 5; ++i)
                if (!touchSlots[i]) {
                    touchSlots[i] = touch;
                    slot = i;
                    break;
                }

        const ui::Touch* used = touch;
        ui::Point position;
        if (slot >= 0) {
            position = glView ? touch->locationInView(glView) : touch->locationInWindow;
        } else if (glView) {
            // An untracked finger is reported where some finger of the event is.
            const std::vector<ui::Touch*> onView = event.touchesForView(glView);
            if (!onView.empty()) {
                used = onView.front();
                position = used->locationInView(glView);
            }
        }
        touchPosition[0] = position.x * scale;
        touchPosition[1] = position.y * scale;

        InputEvent e;
        e.type = type;
        e.x = touchPosition[0];
        e.y = touchPosition[1];
        e.tapCount = used->tapCount;
        e.finger = slot >= 0 ? slot : 5;
        InputHook::dispatch(e);

        if ((type == InputTouchEnded || type == InputTouchCancelled) && slot >= 0)
            touchSlots[slot] = nullptr;
    }
}

void CIphoneGame::onInputEvent(void* context, int source, const InputEvent& event) {
    CIphoneGame* game = static_cast<CIphoneGame*>(context);
    if (game && game->m_Handler)
        game->m_Handler->OnInputEvent(source, event);
}

// ---------------------------------------------------------------------------------------------------
// IGame

void CIphoneGame::SetAnimating(bool on) {
    if (!glView)
        return;
    if (on)
        glView->startAnimation();
    else
        glView->stopAnimation();
}

void CIphoneGame::SetAnimationFrameInterval(int frames) {
    if (glView)
        glView->setAnimationFrameInterval(frames);
}

void CIphoneGame::DebugCommand(int command) { (void)command; }

void CIphoneGame::SetAccelerometerFrequency(double hz) {
    ui::Accelerometer& accelerometer = ui::Accelerometer::shared();
    if (hz > 0) {
        accelerometer.updateInterval = 1.0 / hz;
        accelerometer.delegate = appController;
    } else {
        accelerometer.updateInterval = 0;
        accelerometer.delegate = nullptr;
    }
}

void CIphoneGame::RequestDraw() {
    if (!paused && glView)
        glView->drawView();
}

void CIphoneGame::NotImplemented() { XAssert(0, "!\"Nem implementalt\"", kSource, __LINE__); }

int CIphoneGame::GetInterfaceOrientation() {
    switch (ui::Application::shared().statusBarOrientation) {
    case ui::OrientationPortrait: return 0;
    case ui::OrientationPortraitUpsideDown: return 1;
    case ui::OrientationLandscapeRight: return 3;
    case ui::OrientationLandscapeLeft: return 2;
    default: return 0;
    }
}

void CIphoneGame::ShowMailComposer(const char* subject, const char* body, bool isHTML) {
    Logger::message("[CIphoneGame] mail composer: \"%s\" (%s, %d bytes)", subject ? subject : "",
                    isHTML ? "HTML" : "text", body ? (int)std::strlen(body) : 0);
    if (rootViewController)
        rootViewController->presentModal("mail composer");
}

void CIphoneGame::OpenURL(const char* url) { ui::Application::shared().openURL(url ? url : ""); }

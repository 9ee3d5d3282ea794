#include "engine/plat_iphone/AppController.h"

#include <GLES2/gl2.h>

#include "engine/plat_iphone/CIphoneGame.h"
#include "engine/utils.h"

void AppController::registerClass() {
    ui::registerDelegateClass("AppController", [] { return std::unique_ptr<ui::ApplicationDelegate>(new AppController()); });
}

AppController::~AppController() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->shutdown();
    _window.reset();
}

bool AppController::didFinishLaunchingWithOptions(const ui::LaunchOptions& options) {
    CIphoneGame* game = CIphoneGame::instance();
    if (!game)
        return true;
    if (options.hasURL) {
        Logger::message("url = %s", options.url.c_str());
        game->applicationDidFinishLaunchingWithURL(this, options.url);
    } else {
        game->applicationDidFinishLaunching(this);
    }
    return true;
}

void AppController::applicationDidFinishLaunching() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->applicationDidFinishLaunching(this);
}

void AppController::applicationWillTerminate() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->applicationWillTerminate();
}

void AppController::applicationDidBecomeActive() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->applicationDidBecomeActive();
}

// No OpenGL ES work may stay queued while the application is inactive.
static void finishGL() {
    if (ui::GLContext::current())
        glFinish();
}

void AppController::applicationWillResignActive() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->applicationWillResignActive();
    finishGL();
}

void AppController::applicationDidReceiveMemoryWarning() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->applicationDidReceiveMemoryWarning();
}

void AppController::applicationDidEnterBackground() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->applicationDidEnterBackground();
    finishGL();
}

void AppController::applicationWillEnterForeground() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->applicationWillEnterForeground();
}

bool AppController::openURL(const std::string& url, const std::string* sourceApplication) {
    CIphoneGame* game = CIphoneGame::instance();
    return game ? game->openURL(url, sourceApplication ? *sourceApplication : std::string()) : false;
}

bool AppController::handleOpenURL(const std::string& url) {
    CIphoneGame* game = CIphoneGame::instance();
    return game ? game->openURL(url, std::string()) : false;
}

void AppController::didRegisterForRemoteNotificationsWithDeviceToken(const std::string& token) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->didRegisterForRemoteNotifications(token);
}

void AppController::didReceiveRemoteNotification(const ui::Value& userInfo) {
    const ui::Value* aps = userInfo.find("aps");
    if (!aps || aps->kind != ui::Value::Dictionary)
        return;
    std::string alert;
    if (const ui::Value* a = aps->find("alert")) {
        if (a->kind == ui::Value::Dictionary) {
            if (const ui::Value* body = a->find("body"))
                alert = body->description();
        } else {
            alert = a->description();
        }
    }
    int badge = 0;
    if (const ui::Value* b = aps->find("badge"))
        badge = b->kind == ui::Value::Integer ? (int)b->integer : std::atoi(b->text.c_str());
    std::string sound;
    if (const ui::Value* s = aps->find("sound"))
        sound = s->description();
    if (CIphoneGame* game = CIphoneGame::instance())
        game->didReceiveRemoteNotification(alert, badge, sound);
}

void AppController::accelerometerDidAccelerate(double x, double y, double z) {
    CIphoneGame* game = CIphoneGame::instance();
    if (!game || !game->handler())
        return;
    AccelerometerSample sample;
    sample.x = x;
    sample.y = y;
    sample.z = z;
    game->handler()->OnAccelerometer(sample);
}

void AppController::setupView(GLView* view) {
    (void)view;
    if (CIphoneGame* game = CIphoneGame::instance())
        game->setupView();
}

void AppController::update() {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->update();
}

void AppController::drawView(GLView* view) {
    (void)view;
    if (CIphoneGame* game = CIphoneGame::instance())
        game->drawView();
}

#pragma once
// The application delegate: owns the window, receives every application event, the accelerometer's
// samples and the OpenGL ES view's frame calls, and forwards each to the platform game object.
// It keeps no state besides the window. Forwarding is null-safe: after termination the platform
// object is gone and the events go nowhere.

#include <memory>

#include "engine/plat_iphone/GLView.h"
#include "engine/plat_linux/host/UIKit.h"

class AppController : public ui::ApplicationDelegate, public ui::AccelerometerDelegate, public GLViewDelegate {
public:
    // Registers the class under the name "AppController".
    static void registerClass();

    AppController() = default;
    ~AppController() override;

    bool didFinishLaunchingWithOptions(const ui::LaunchOptions& options) override;
    void applicationDidFinishLaunching() override;
    void applicationWillTerminate() override;
    void applicationDidBecomeActive() override;
    void applicationWillResignActive() override;
    void applicationDidReceiveMemoryWarning() override;
    void applicationDidEnterBackground() override;
    void applicationWillEnterForeground() override;
    bool openURL(const std::string& url, const std::string* sourceApplication) override;
    bool handleOpenURL(const std::string& url) override;
    void didRegisterForRemoteNotificationsWithDeviceToken(const std::string& token) override;
    void didReceiveRemoteNotification(const ui::Value& userInfo) override;

    void accelerometerDidAccelerate(double x, double y, double z) override;

    void setUIWindow(std::unique_ptr<ui::Window> window) { _window = std::move(window); }
    ui::Window* window() const { return _window.get(); }

    // GLViewDelegate
    void setupView(GLView* view) override;
    void update() override;
    void drawView(GLView* view) override;

private:
    std::unique_ptr<ui::Window> _window;
};

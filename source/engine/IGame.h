#pragma once
// The two interfaces between the game and the platform layer. The platform drives the game through
// IGameEventHandler (application events, frames, touches, accelerometer samples); the game asks the
// platform for sizes, the frame driver, drawing and a few system services through IGame. Both
// keep the start-up record sGameSettings, which the entry point fills and the platform keeps.

#include <cstdint>

#include "engine/clock.h"

// The start-up record. The entry point zeroes it, sets the values it needs and hands it to the
// platform, which keeps a copy; the game's window set-up may write the content and interface scale.
struct sGameSettings {
    int32_t reserved0 = 0;
    int32_t reserved1 = 0;
    int32_t colorBits = 0;    // not read here: the drawable is always RGBA8
    int32_t depthBits = 0;    // depth buffer of the screen framebuffer: 0 none, 16, else 24
    int32_t stencilBits = 0;  // 0 none, else exactly 8 (and then depthBits is 24)
    int32_t reserved2 = 0;
    uint8_t reservedFlag = 0;
    // Drawing pixels per point; 0 or less means the screen's own scale, filled in at launch.
    float contentScale = 0;
    // Accelerometer samples per second; 0 switches samples off, a negative value leaves the
    // accelerometer as it is.
    double accelerometerHz = 0;
    int32_t reserved3 = 0;
    // The game points it at its own interface scale during OnInitWindow; the platform never reads it.
    float* uiScale = nullptr;
    // True: no input hook is installed, so touches reach nobody.
    uint8_t noInputHook = 0;
};

// One accelerometer sample, in g.
struct AccelerometerSample {
    double x = 0, y = 0, z = 0;
};

// What the game implements. Every body here does nothing, so a handler overrides what it needs.
class IGameEventHandler {
public:
    virtual ~IGameEventHandler() {}

    // Before the views exist: the device generation (getDeviceGeneration, may be changed), a scale
    // that is always 1 here, the screen's size in points, and the start-up record the game may
    // write its content scale and interface-scale pointer into.
    virtual void OnInitWindow(int& deviceGeneration, float unusedScale, int screenWidth, int screenHeight,
                              sGameSettings& settings) {
        (void)deviceGeneration, (void)unusedScale, (void)screenWidth, (void)screenHeight, (void)settings;
    }
    // The game starts; false stops the program.
    virtual bool OnAppStarted() { return true; }
    virtual int OnAppTerminate() { return 0; }
    virtual void OnAppPause() {}
    virtual void OnAppResume() {}
    virtual void OnEnterBackground() {}
    virtual void OnEnterForeground() {}
    virtual void OnUnusedEvent() {}
    virtual void OnMemoryWarning() {}
    virtual void OnRender() {}
    virtual void OnUpdate() {}
    virtual bool OnOpenURL(const char* url, const char* sourceApplication) {
        (void)url, (void)sourceApplication;
        return false;
    }
    virtual void OnAccelerometer(const AccelerometerSample& sample) { (void)sample; }
    virtual void OnRemoteNotificationToken(const char* token) { (void)token; }
    virtual void OnRemoteNotification(const char* alert, int badge, const char* sound) {
        (void)alert, (void)badge, (void)sound;
    }
    virtual void OnLaunchURL(const char* url) { (void)url; }
    // Touches, mouse and keys; source 0 is the device's own input.
    virtual int OnInputEvent(int source, const InputEvent& event) {
        (void)source, (void)event;
        return 1;
    }
};

// What the game asks of the platform. Only the sizes must be given; the rest answers as a platform
// without a frame driver or a screen would (test hosts implement just the sizes).
class IGame {
public:
    virtual ~IGame() {}

    // Starts or stops the frame driver.
    virtual void SetAnimating(bool on) { (void)on; }
    // Display refreshes per frame (1 = every refresh).
    virtual void SetAnimationFrameInterval(int frames) { (void)frames; }
    // The platform's debug hook (a debug hot key).
    virtual void DebugCommand(int command) { (void)command; }
    virtual void SetAccelerometerFrequency(double hz) { (void)hz; }
    // Draws and presents one frame now, unless the application is inactive.
    virtual void RequestDraw() {}
    virtual bool IsRunning() { return true; }
    virtual sGameSettings& GetSettings() { return _defaultSettings; }
    virtual void NotImplemented() {}
    // Drawing size in pixels.
    virtual float GetWidth() = 0;
    virtual float GetHeight() = 0;
    // 1 = landscape, anything else portrait.
    virtual void SetOrientationMode(uint8_t mode) { (void)mode; }
    virtual uint8_t GetOrientationMode() { return 0; }
    virtual int ReservedA() { return 0; }
    virtual void GetTouchPosition(float& x, float& y) { x = y = 0; }
    virtual void ReservedB(int) {}
    virtual bool IsTouchDown() { return false; }
    virtual int ReservedC() { return 0; }
    virtual void ReservedD(int) {}
    virtual int ReservedE() { return 0; }
    // 0 portrait, 1 portrait upside down, 2 landscape left, 3 landscape right.
    virtual int GetInterfaceOrientation() { return 0; }
    virtual void ShowMailComposer(const char* subject, const char* body, bool isHTML) {
        (void)subject, (void)body, (void)isHTML;
    }
    virtual void OpenURL(const char* url) { (void)url; }
    virtual float GetScale() { return 1.0f; }
    virtual float GetPhysicalWidth() { return GetWidth(); }
    virtual float GetPhysicalHeight() { return GetHeight(); }

    // The registered game object, or null.
    static IGame* instance() { return s_instance; }
    static void setInstance(IGame* game) { s_instance = game; }

    // The registered object's size, 0 without one.
    static float hostWidth() { return s_instance ? s_instance->GetWidth() : 0.0f; }
    static float hostHeight() { return s_instance ? s_instance->GetHeight() : 0.0f; }

private:
    static inline IGame* s_instance = nullptr;
    sGameSettings _defaultSettings;
};

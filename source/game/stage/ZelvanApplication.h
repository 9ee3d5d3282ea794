#pragma once
// The game's side of the platform interface: the platform layer drives the program through this
// object (life-cycle, frames, URLs, accelerometer, input), and it owns the life of the stage.
// It also carries the debug facilities: keyboard hot keys, a free-look camera and live tuning of
// the post-processing values. Main thread only.

#include "engine/IGame.h"
#include "engine/math.h"

class Object;

namespace Zelvan {

// Moves a camera object by its own axes and turns it by mouse movement (debug).
class FreeCamera {
public:
    void moveForward(float amount);
    void moveSide(float amount);
    void rotate(float yaw, float pitch);

    Object* _object = nullptr;  // not owned; null until the free camera is switched on
    float _scale = 1.0f;
    Vector3 _side{1, 0, 0};
    Vector3 _front{0, 0, 1};
};

class Application : public IGameEventHandler {
public:
    enum {
        KeyLeft = 1,
        KeyRight = 4,
        KeyBack = 19,
        KeyForward = 23,
        FingerCount = 10,
    };

    // The singleton; the first call makes it and the OpenGL ES renderer (the host must have made
    // its context current before).
    static Application* instance();
    static void destroyInstance();
    // The singleton or null (does not create it).
    static Application* get();

    Application();
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Destroys the stage and the free camera.
    void destroy();
    // The start of the game; called from OnAppStarted.
    void init();

    void OnInitWindow(int& deviceGeneration, float unusedScale, int screenWidth, int screenHeight,
                      sGameSettings& settings) override;
    bool OnAppStarted() override;
    int OnAppTerminate() override;
    void OnAppPause() override;
    void OnAppResume() override;
    void OnEnterBackground() override;
    void OnEnterForeground() override;
    void OnRender() override;
    void OnUpdate() override;
    bool OnOpenURL(const char* url, const char* sourceApplication) override;
    void OnAccelerometer(const AccelerometerSample& sample) override;
    void OnLaunchURL(const char* url) override;
    int OnInputEvent(int source, const InputEvent& event) override;

    // The interface scale the platform reads through the settings record.
    static float& interfaceScale();

    bool _hotKeys = false;
    bool _mouseDown = false;
    Vector2 _fingers[FingerCount];
    FreeCamera* _freeCamera = nullptr;
    float _freeCameraFov = 90.0f;
    float _freeCameraNear = 1.0f;
    float _freeCameraFar = 150.0f;
    bool _freeCameraOn = false;
    bool _mouseLook = false;
    bool _keyForward = false, _keyBack = false, _keyLeft = false, _keyRight = false;
    bool _savedGodMode = false, _savedAutopilot = false;

private:
    void onKey(const InputEvent& event);
    // The point position over the drawing size; 0 where the size is 0 or the value not finite.
    static Vector2 normalise(float x, float y);
};

// Hands a URL to the system to open; the result is ignored.
void openUrl(const char* url);

}  // namespace Zelvan

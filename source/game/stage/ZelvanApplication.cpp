// The application: platform events to the stage, the device's interface scale, the launch URL
// and the debug hot keys with the free camera.

#include "game/stage/ZelvanApplication.h"

#include <cmath>
#include <cstring>

#include "engine/ConfigStore.h"
#include "engine/file.h"
#include "engine/online/SocialPlatform.h"
#include "engine/random.h"
#include "engine/platform.h"
#include "engine/render/Render.h"
#include "engine/services.h"
#include "engine/sound/sfx.h"
#include "engine/render/gles2/OpenGLES2Render.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "game/ZelvanNotifications.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanRoad.h"


namespace Zelvan {

namespace {

Application* s_application = nullptr;
// The renderer instance() made, while it lives.
Render* s_madeRender = nullptr;
bool s_tuningLocked = false;

const float kDefaultExposure = 6.193871f;
const float kDefaultThreshold = 0.88914216f;
const float kDefaultOffset = 0.671223f;

float finiteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

// v turned about the unit axis by angle (Rodrigues).
Vector3 turn(const Vector3& v, const Vector3& axis, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return v * c + axis.cross(v) * s + axis * (axis.dot(v) * (1 - c));
}

}  // namespace

// ---- Free camera ----

void FreeCamera::moveForward(float amount) {
    if (!_object)
        return;
    const Matrix4& m = _object->_transform->_world;
    _object->setPosition(m.getTranslation() + Vector3(m.m[8], m.m[9], m.m[10]) * amount);
}

void FreeCamera::moveSide(float amount) {
    if (!_object)
        return;
    const Matrix4& m = _object->_transform->_world;
    _object->setPosition(m.getTranslation() + Vector3(m.m[0], m.m[1], m.m[2]) * amount);
}

void FreeCamera::rotate(float yaw, float pitch) {
    if (!_object)
        return;
    Vector3 rows[3];
    _object->getRotation(rows);
    Vector3 pitchAxis = rows[0];
    if (pitchAxis.length() > 0)
        pitchAxis = pitchAxis * (1.0f / pitchAxis.length());
    const float pitchAngle = pitch * 0.0001f, yawAngle = yaw * 0.0001f;
    const Vector3 up(0, 0, 1);
    _side = turn(turn(_side, pitchAxis, pitchAngle), up, yawAngle);
    _front = turn(turn(_front, pitchAxis, pitchAngle), up, yawAngle);
    // Side, the remaining axis, front.
    Vector3 axes[3] = {_side, _front.cross(_side), _front};
    _object->setRotation(axes);
}

// ---- The application ----

float& Application::interfaceScale() {
    static float scale = 1.0f;
    return scale;
}

Application* Application::instance() {
    if (!s_application) {
        s_application = new Application();
        // One renderer a process: a later application keeps drawing with the one made first.
        if (!Render::current())
            s_madeRender = OpenGLES2Render::create();
    }
    return s_application;
}

Application* Application::get() { return s_application; }

void Application::destroyInstance() {
    Application* app = s_application;
    s_application = nullptr;
    delete app;
    // A platform layer that makes and owns its own renderer (the program's) took over drawing:
    // the one made here is nobody's any more. While it is still current it stays for later
    // applications.
    if (s_madeRender && Render::current() != s_madeRender) {
        delete s_madeRender;
        s_madeRender = nullptr;
    }
}

Application::Application() {}

Application::~Application() { destroy(); }

void Application::destroy() {
    Stage::destroyInstance();
    delete _freeCamera;
    _freeCamera = nullptr;
}

void Application::init() {
    IGame* game = IGame::instance();
    if (game)
        game->SetOrientationMode(0);
    motherRandom().seedFromClock();
    if (game) {
        game->SetAnimationFrameInterval(1);
        game->SetAnimating(true);
    }
    Stage::create()->init();

    ConfigStore& cfg = ConfigStore::instance();
    _hotKeys = cfg.getBool("debug.hotkey", _hotKeys);
    auto positive = [](float v) { return v < 0 || !std::isfinite(v) ? 0.0f : v; };
    _freeCameraFov = positive(cfg.getFloat("debug.freecameraFov", _freeCameraFov));
    _freeCameraNear = positive(cfg.getFloat("debug.freecameraNearPlane", _freeCameraNear));
    _freeCameraFar = positive(cfg.getFloat("debug.freecameraFarPlane", _freeCameraFar));
    delete _freeCamera;
    _freeCamera = new FreeCamera();
}

void Application::OnInitWindow(int& deviceGeneration, float unusedScale, int screenWidth, int screenHeight,
                               sGameSettings& settings) {
    (void)unusedScale, (void)screenWidth, (void)screenHeight;
    float& scale = interfaceScale();
    settings.uiScale = &scale;
    scale = 1.0f;
    XAssert(deviceGeneration <= 25 ? 1 : 0, "!\"ide nem juthatunk!\"", __FILE__, __LINE__);
    switch (deviceGeneration) {
    case 0: case 1: case 2: case 9: case 10: case 11: case 14: case 24:
        scale = 0.25f;
        break;
    case 3:
        scale = 0.25f;
        settings.contentScale = 1.0f;
        break;
    case 4: case 12:
        scale = 0.5f;
        settings.contentScale = 1.5f;
        break;
    case 17:
        scale = 0.5f;
        settings.contentScale = 1.0f;
        break;
    case 18: case 19: case 20:
        scale = 1.0f;
        settings.contentScale = 1.5f;
        break;
    default:
        scale = 1.0f;
        break;
    }
}

bool Application::OnAppStarted() {
    init();
    startAnalytics("UA-90463807-4");
    return true;
}

int Application::OnAppTerminate() {
    destroy();
    return 0;
}

void Application::OnAppPause() {
    if (Stage* stage = Stage::get())
        stage->onPause();
}

void Application::OnAppResume() {
    if (Stage* stage = Stage::get())
        stage->onResume();
}

void Application::OnEnterBackground() {
    Stage* stage = Stage::get();
    if (stage && stage->getNotificationContainer())
        stage->getNotificationContainer()->scheduleAll();
}

void Application::OnEnterForeground() {
    Stage* stage = Stage::get();
    if (stage && stage->getNotificationContainer())
        stage->getNotificationContainer()->cancelAll();
}

void Application::OnRender() {
    Render* render = Render::current();
    if (!render)
        return;
    render->beginFrame();
    render->render();
}

void Application::OnUpdate() {
    if (_freeCameraOn && _freeCamera) {
        const float dt = frameTime().dt;
        if (_keyForward)
            _freeCamera->moveForward(-5.0f * dt);
        if (_keyBack)
            _freeCamera->moveForward(5.0f * dt);
        if (_keyLeft)
            _freeCamera->moveSide(-5.0f * dt);
        if (_keyRight)
            _freeCamera->moveSide(5.0f * dt);
    }
    if (Stage* stage = Stage::get())
        stage->update();
    SoundInterface::get().update();
    if (IGame* game = IGame::instance())
        game->RequestDraw();
}

bool Application::OnOpenURL(const char* url, const char* sourceApplication) {
    return SocialPlatform::instance().facebookHandleOpenURL(url ? url : "", sourceApplication ? sourceApplication : "");
}

void Application::OnAccelerometer(const AccelerometerSample& sample) {
    Stage* stage = Stage::get();
    if (!stage)
        return;
    // A sample the sensor could not measure reaches the control as no tilt.
    stage->onAccelerometer(finiteOr((float)sample.x, 0), finiteOr((float)sample.y, 0), finiteOr((float)sample.z, 0));
}

void Application::OnLaunchURL(const char* url) {
    if (url && std::strstr(url, "safestart"))
        File::useDocumentsData = 0;
}

Vector2 Application::normalise(float x, float y) {
    const float w = IGame::hostWidth(), h = IGame::hostHeight();
    Vector2 p(w > 0 ? x / w : 0.0f, h > 0 ? y / h : 0.0f);
    p.x = finiteOr(p.x, 0);
    p.y = finiteOr(p.y, 0);
    return p;
}

int Application::OnInputEvent(int source, const InputEvent& event) {
    if (source != 0)
        return 0;
    Stage* stage = Stage::get();
    const float x = finiteOr(event.x, 0), y = finiteOr(event.y, 0);
    switch (event.type) {
    case InputTouchBegan:
    case InputTouchEnded:
    case InputTouchMoved:
    case InputTouchCancelled: {
        const int finger = event.finger;
        const bool tracked = finger >= 0 && finger < FingerCount;
        Vector2 movement(0, 0);
        if (tracked) {
            if (event.type == InputTouchMoved) {
                const Vector2 a = normalise(x, y), b = normalise(_fingers[finger].x, _fingers[finger].y);
                movement = Vector2(a.x - b.x, a.y - b.y);
            }
            _fingers[finger] = Vector2(x, y);
        }
        // Cancelled touches and untracked fingers go on too: the control releases or ignores them.
        if (stage)
            stage->onTouch(event.type, finger, normalise(x, y), movement);
        return 0;
    }
    case InputMouseMoved: {
        const float w = IGame::hostWidth(), h = IGame::hostHeight();
        const float dx = finiteOr(event.mouseDx, 0), dy = finiteOr(event.mouseDy, 0);
        if (_mouseDown) {
            _fingers[0] = Vector2(x, y);
            if (stage)
                stage->onTouch(InputTouchMoved, 0, normalise(x, y),
                               Vector2(w > 0 ? dx / w : 0.0f, h > 0 ? dy / h : 0.0f));
        }
        if (_freeCameraOn && _mouseLook && _freeCamera) {
            const float dt = frameTime().dt;
            _freeCamera->rotate(dx * -5000.0f * dt, dy * 5000.0f * dt);
        }
        return 0;
    }
    case InputMouseDown:
    case InputMouseUp:
        _mouseDown = event.type == InputMouseDown;
        _fingers[0] = Vector2(x, y);
        if (stage)
            stage->onTouch(_mouseDown ? InputTouchBegan : InputTouchEnded, 0, normalise(x, y), Vector2(0, 0));
        return 0;
    default:
        break;
    }
    if (!_hotKeys || (event.type != InputKeyDown && event.type != InputKeyUp))
        return 0;
    if (stage)
        stage->onKey(event);
    onKey(event);
    return 0;
}

void Application::onKey(const InputEvent& event) {
    Stage* stage = Stage::get();
    const bool down = event.type == InputKeyDown;
    const int key = event.keyCode;
    const bool coarse = event.modifiers == 2;
    switch (key) {
    case KeyLeft: _keyLeft = down; return;
    case KeyRight: _keyRight = down; return;
    case KeyBack: _keyBack = down; return;
    case KeyForward: _keyForward = down; return;
    default: break;
    }
    if (key == 38 && stage) {
        ActorPlayer* player = stage->getPlayer();
        if (down && !stage->isTurbo()) {
            stage->setTurbo(true);
            if (player) {
                _savedGodMode = player->_godMode != 0;
                _savedAutopilot = player->_autopilot != 0;
                player->_godMode = 1;
                player->_autopilot = 1;
            }
        } else if (!down && stage->isTurbo()) {
            stage->setTurbo(false);
            if (player) {
                player->_godMode = _savedGodMode ? 1 : 0;
                player->_autopilot = _savedAutopilot ? 1 : 0;
            }
        }
        return;
    }
    if (!down || !stage)
        return;
    const float downF = coarse ? 0.5f : 0.96f, upF = coarse ? 1.5f : 1.04f;
    switch (key) {
    case 6:
        _mouseLook = !_mouseLook;
        break;
    case 7: {
        Camera* camera = stage->setFreeCamera(!_freeCameraOn);
        if (camera) {
            const float w = IGame::hostWidth(), h = IGame::hostHeight();
            camera->setPerspective(_freeCameraFov, h > 0 ? w / h : 1.0f, _freeCameraNear, _freeCameraFar);
        }
        if (_freeCamera)
            _freeCamera->_object = camera;
        _freeCameraOn = _mouseLook = camera != nullptr;
        break;
    }
    case 8:
        stage->setRailsDebug(!stage->isRailsDebug());
        break;
    case 17:
        stage->debugParticles(event.modifiers != 4, event.modifiers == 2);
        break;
    case 18:
        if (stage->getRoad())
            stage->getRoad()->replaceProxyObjects();
        break;
    case 37:
        if (IGame* game = IGame::instance())
            game->DebugCommand(0);
        break;
    case 62:
        s_tuningLocked = false;
        if (coarse) {
            stage->setHdrExposure(kDefaultExposure, true);
            stage->setHdrEnableTonemap(0, true);
            stage->setHdrBrightThreshold(kDefaultThreshold, true);
            stage->setHdrBrightOffset(kDefaultOffset, true);
        } else {
            stage->setHdrExposure(stage->storedHdrExposure(), false);
            stage->setHdrEnableTonemap(stage->storedHdrEnableTonemap(), false);
            stage->setHdrBrightThreshold(stage->storedHdrBrightThreshold(), false);
            stage->setHdrBrightOffset(stage->storedHdrBrightOffset(), false);
        }
        break;
    case 63:
        s_tuningLocked = true;
        stage->setHdrEnableTonemap(0, false);
        stage->setHdrBrightThreshold(1.0f, false);
        break;
    case 76:
        if (!s_tuningLocked)
            stage->setHdrEnableTonemap(stage->storedHdrEnableTonemap() > 0 ? 0.0f : 1.0f, true);
        break;
    case 77: case 78: case 79:
        if (!s_tuningLocked)
            stage->setHdrExposure(key == 77 ? stage->storedHdrExposure() * downF
                                  : key == 78 ? kDefaultExposure : stage->storedHdrExposure() * upF, true);
        break;
    case 80: case 81: case 82:
        if (!s_tuningLocked)
            stage->setHdrBrightThreshold(key == 80 ? stage->storedHdrBrightThreshold() * downF
                                         : key == 81 ? kDefaultThreshold : stage->storedHdrBrightThreshold() * upF,
                                         true);
        break;
    case 83: case 84: case 85:
        if (!s_tuningLocked)
            stage->setHdrBrightOffset(key == 83 ? stage->storedHdrBrightOffset() * downF
                                      : key == 84 ? kDefaultOffset : stage->storedHdrBrightOffset() * upF, true);
        break;
    case 90:
        SoundInterface::get().play("menu_click", 0, 1.0f);
        break;
    case 91:
        sfx_SetGroupVolume(1, 0.25f);
        SoundInterface::get().play("menu_click", 1, 1.0f);
        break;
    default:
        break;
    }
}

void openUrl(const char* url) {
    if (url)
        if (IGame* game = IGame::instance())
            game->OpenURL(url);
}

}  // namespace Zelvan

// The program. The host (window or headless context) opens first, so the OpenGL ES context is
// current before anything makes a renderer; then the platform layer runs the application loop with
// the game's event handler, and the platform object goes after the game.
//
// Until the game's application object is wired in, a minimal handler runs the engine's start-up
// sequence through the platform layer and clears the screen every frame.

#include <GLES2/gl2.h>

#include <algorithm>

#include "engine/IGame.h"
#include "engine/plat_iphone/CIphoneGame.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/gles2/OpenGLES2Render.h"

namespace {

class StartupHandler : public IGameEventHandler {
public:
    ~StartupHandler() override { dropScreen(); }

    bool OnAppStarted() override {
        IGame* game = IGame::instance();
        game->SetOrientationMode(0);
        game->SetAnimationFrameInterval(1);
        game->SetAnimating(true);
        if (Render* render = Render::current())
            _screen = render->createRenderTarget();
        return true;
    }

    int OnAppTerminate() override {
        dropScreen();
        return 0;
    }

    void OnUpdate() override { IGame::instance()->RequestDraw(); }

    void OnRender() override {
        Render* render = Render::current();
        if (!render)
            return;
        render->beginFrame();
        // After beginFrame, which resets the clear colour.
        if (dynamic_cast<OpenGLES2Render*>(render))
            glClearColor(0.10f, 0.35f, 0.45f, 1.0f);
        render->render();
    }

private:
    void dropScreen() {
        if (!_screen)
            return;
        if (Render* render = Render::current()) {
            auto& targets = render->targets;
            targets.erase(std::remove(targets.begin(), targets.end(), _screen), targets.end());
        }
        delete _screen;
        _screen = nullptr;
    }

    RenderTarget* _screen = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    if (!CIphoneGame::PrepareHost(argc, argv, exitCode))
        return exitCode;

    StartupHandler* handler = new StartupHandler();
    sGameSettings settings;
    settings.colorBits = 24;
    settings.depthBits = 24;
    settings.stencilBits = 0;
    settings.reservedFlag = 1;
    settings.contentScale = 0;
    settings.accelerometerHz = 60.0;
    settings.uiScale = nullptr;
    settings.noInputHook = 0;

    exitCode = CIphoneGame::Start(argc, argv, settings, handler);
    delete handler;
    CIphoneGame::destroyInstance();
    return exitCode;
}

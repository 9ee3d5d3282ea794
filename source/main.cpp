// The program. The host (window or headless context) opens first, so the OpenGL ES context is
// current before anything makes a renderer; then the platform layer runs the application loop with
// the game's event handler, and the platform object goes after the game.

#include "engine/IGame.h"
#include "engine/plat_iphone/CIphoneGame.h"
#include "game/stage/ZelvanApplication.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    if (!CIphoneGame::PrepareHost(argc, argv, exitCode))
        return exitCode;

    // Makes the renderer on the host's current context.
    Zelvan::Application* handler = Zelvan::Application::instance();
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
    Zelvan::Application::destroyInstance();
    CIphoneGame::destroyInstance();
    return exitCode;
}

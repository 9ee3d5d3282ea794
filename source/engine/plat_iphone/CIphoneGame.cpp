#include "engine/plat_iphone/CIphoneGame.h"

#include <cstdlib>
#include <cstring>

#include "engine/clock.h"
#include "engine/utils.h"

namespace {
CIphoneGame* g_game = nullptr;
}

CIphoneGame* CIphoneGame::instance() { return g_game; }

int CIphoneGame::Start(int argc, char** argv) {
    (void)argc;
    (void)argv;
    static CIphoneGame game;
    g_game = &game;

    Clock::start(frameTime());
    srand((unsigned)(long long)(Clock::now() * 1000.0));
    Logger::addSink(&Logger::stdoutSink, nullptr);

    Logger::message("[CIphoneGame::Start] engine started");
    // The application loop proper arrives with the game core; until then a few frames are run.
    for (int i = 0; i < 3; ++i) {
        sleepMs(16);
        game.update();
    }
    Logger::message("[CIphoneGame::Start] %d frames, %d ms since start", game._frames, frameTime().msSinceStart);
    g_game = nullptr;
    return 0;
}

void CIphoneGame::update() {
    Clock::tick(frameTime());
    ++_frames;
}

#include "engine/plat_iphone/CIphoneGame.h"

#include <cstdlib>
#include <cstring>

#include "engine/clock.h"
#include "engine/sound/sfx.h"
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
    game.applicationDidFinishLaunching();
    // The application loop proper arrives with the game core; until then a few frames are run.
    for (int i = 0; i < 3; ++i) {
        sleepMs(16);
        game.update();
    }
    Logger::message("[CIphoneGame::Start] %d frames, %d ms since start", game._frames, frameTime().msSinceStart);
    sfx_Shutdown();
    g_game = nullptr;
    return 0;
}

void CIphoneGame::applicationDidFinishLaunching() {
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
}

void CIphoneGame::update() {
    sfx_Update();
    Clock::tick(frameTime());
    ++_frames;
}

#pragma once
// The platform game object. For now it carries the start-up sequence the engine relies on;
// the window, the frame driver and the services join it as they are built.

class CIphoneGame {
public:
    static CIphoneGame* instance();

    // Program start: the frame timer, rand() seeded with the time in ms, the stdout log sink,
    // then the application loop. Returns the process exit code.
    static int Start(int argc, char** argv);

    // Launch finished: the sound system starts with the game's start-up record.
    void applicationDidFinishLaunching();

    // One drawn frame: the sound system's update, the frame timer's tick, then the game's update.
    void update();

    int framesRun() const { return _frames; }

private:
    CIphoneGame() = default;
    int _frames = 0;
};

#pragma once
// The desktop / headless host: it stands where the phone's system runs the application. It owns
// the run loop that replaces the system's application loop, the drawing surface of the OpenGL ES
// context (an SDL2 window through EGL, or EGL surfaceless when headless), the input (mouse as
// finger 0, keys, tilt), the life-cycle events, the timed input script, screenshots and the
// summary line at exit.
//
// One turn of the run loop is one display refresh:
//   1. the window's and the script's events (touches, keys, tilt, life-cycle), then the
//      accelerometer's sample when one is due;
//   2. the main thread's task queue (every stand-in answers through it);
//   3. the frame driver's tick (display links and timers of the main run loop), unless the
//      application is in the background.
// With a fixed frame time every turn advances the clock by exactly 1/60 s and nothing sleeps.
//
// Engine key codes the window sends (InputEvent key events): letters a..z are 1..26, digits
// 0..9 are 27..36, Return 37, Space 38, Backspace 39, Tab 40, Home 62, End 63, the arrow keys
// left/right/up/down 72..75, F1..F12 76..87, Page Up 90, Page Down 91. Shift adds the modifier 2,
// Control the modifier 4. Escape is the host's own: it pauses (resign active) and resumes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/plat_linux/host/UIKit.h"

struct HostOptions {
    bool headless = false;
    int width = 540, height = 960;  // points (= pixels: the desktop's scale is 1)
    bool metal = false;
    long frames = -1;     // stop after this many display refreshes; -1 = no limit
    double seconds = -1;  // stop after this much clock time; -1 = no limit
    bool fixedDt = false;
    bool hasSeed = false;
    uint32_t seed = 0;
    bool autopilot = false;
    std::string script;
    std::string screenshots;
    double screenshotEvery = 1.0;  // seconds; 0 = only on request
    std::string documents;
    std::string content;
    bool hasURL = false;
    std::string url;
    bool help = false;
    // Tests: the application launches and UIApplicationMain returns; the test turns the loop.
    bool manualLoop = false;
};

// Parses the program's options. Without --headless the host is headless when there is no display
// (no DISPLAY and no WAYLAND_DISPLAY); --fixed-dt is on by default when headless.
bool parseHostOptions(int argc, char** argv, HostOptions& options, std::string& error);
const char* hostUsage();

// An input or life-cycle event as the window or the script delivers it.
struct HostEvent {
    enum Kind {
        Touch,
        Key,
        Tilt,
        Resign,
        Active,
        Background,
        Foreground,
        Terminate,
        MemoryWarning,
        OpenURL,
        Await,       // the script waits for a screen (text) to settle, at most limit frames
        Screenshot,  // a picture of the next frame, named after text
        Repeat       // the script goes back to its lines from frame `from`
    };
    struct Finger {
        int id = 0;
        float x = 0, y = 0;  // points in the window
    };
    Kind kind = Touch;
    long frame = 0;  // the refresh it is due at (scripts)
    int phase = 1;   // touches: 1 began, 2 ended, 3 moved, 4 cancelled
    std::vector<Finger> fingers;
    std::string key;  // keys: a name ("left", "escape", "a", "f1") or a number (an engine key code)
    bool down = true;
    int modifiers = 0;
    double x = 0, y = 0, z = 0;  // tilt: an accelerometer sample in g
    std::string text;            // URL; the screens awaited or tapped; the screenshot's label
    long limit = 1800;           // await: the most frames to wait
    bool tap = false;            // touches: a tap, whose lift the host sends two refreshes later
    float basisWidth = 0, basisHeight = 0;  // touches: the screen size their points are for (0: the window's)
    long from = 0;                          // repeat: the frame the script goes back to
};

// Parses script text: one event a line, "<frame> <event> ...", '#' starts a comment:
//   <frame> touch began|moved|ended|cancelled <id> <x> <y> [<id> <x> <y> ...]
//   <frame> key down|up <name or code> [shift] [control]
//   <frame> tilt <x> <y> <z>
//   <frame> resign | active | background | foreground | terminate | memory
//   <frame> url <text>
//   <frame> tap <x> <y> [on <screen>]  finger 0 down, and up two refreshes later (also while
//                                    waiting); with "on", only while that screen is settled
//                                    (else the tap is passed over)
//   <frame> points <width> <height>  the touches below are given on a screen of that size and
//                                    scaled to the window's (the frame number is not used)
//   <frame> await <screen>[|<screen>...] [<max frames>]
//   <frame> screenshot [<label>]
//   <frame> repeat <from>            the script goes back to its lines from frame <from> (before
//                                    its own): a script that plays on for ever
// The frame is the script's own count of refreshes. At an await it stands still until the menu
// screen of that name (or one of the names) has settled on display (its page came in), so the
// lines after it count on from the moment the screen came; past the most frames (default 1800)
// the program logs the failure and ends with status 3.
// Bad lines are logged with their number and skipped; their messages go to errors.
std::vector<HostEvent> parseHostScript(const std::string& text, std::vector<std::string>& errors);

// The engine key code of a key name, or 0 (unknown) / -1 (escape, the host's own).
int hostKeyCode(const std::string& name);

class Host : public ui::GLSurface {
public:
    // Opens the window (or the headless context) and makes the OpenGL ES context current, points
    // the stores, installs the clock. Null, logged, when the surface cannot be made.
    static Host* create(const HostOptions& options);
    static Host* instance();
    // Closes everything the host made (after the application has gone).
    static void destroy();
    ~Host() override;

    const HostOptions& options() const { return _options; }
    bool windowed() const { return _window != nullptr; }

    // The application's loop (UIApplicationMain): makes the delegate, launches it, sends "became
    // active", then turns until the application terminates or the run is over, and finishes.
    int runApplication(const std::string& delegateClass);
    bool launch(const std::string& delegateClass);
    // One turn of the run loop; false once the application has terminated.
    bool turn();
    // Terminates the application when it has not, destroys the delegate, prints the summary.
    void finish();

    // Queues an event for the next turn, as the window delivers it.
    void postEvent(const HostEvent& event);
    // Events due at given refreshes (a script).
    void addScript(const std::vector<HostEvent>& events);

    ui::ApplicationDelegate* delegate() const { return _delegate.get(); }
    bool terminated() const { return _terminated; }
    bool active() const { return _active; }
    bool inBackground() const { return _background; }
    long refreshes() const { return _refreshes; }
    long framesTicked() const { return _framesTicked; }
    int presentCount() const { return _presents; }
    // Pixels of the last presented frame, rows top to bottom (empty before a present).
    std::vector<uint8_t> readPresentedPixels(int& width, int& height);
    // The summary line as printed at exit.
    std::string summaryLine() const;
    std::vector<std::string> screenshotsWritten() const { return _shots; }

    // ui::GLSurface
    bool makeCurrent() override;
    void present(uint32_t framebuffer, int width, int height) override;

private:
    explicit Host(const HostOptions& options);
    bool open();
    void handleEvent(const HostEvent& event);
    void handleTouch(const HostEvent& event);
    void handleKey(const HostEvent& event);
    void pollWindow();
    void resign();
    void becomeActive();
    void enterBackground();
    void enterForeground();
    void terminate();
    void takeScreenshot(const std::string& label, uint32_t framebuffer, int width, int height);

    HostOptions _options;
    std::unique_ptr<ui::ApplicationDelegate> _delegate;
    struct SDL_Window* _window = nullptr;
    void* _glContext = nullptr;  // SDL_GLContext
    bool _glReady = false;

    std::vector<HostEvent> _script;
    size_t _scriptNext = 0;
    std::vector<HostEvent> _posted;
    std::vector<HostEvent> _lifts;  // the lifts of taps, due at host refreshes
    std::vector<std::pair<int, std::unique_ptr<ui::Touch>>> _touches;  // host id -> live touch
    bool _mouseDown = false;
    bool _tiltLeft = false, _tiltRight = false;

    bool _launched = false;
    bool _terminated = false;
    bool _active = false;
    bool _background = false;
    bool _focused = true;
    bool _escapePaused = false;
    bool _finished = false;

    long _refreshes = 0;
    long _scriptClock = 0;    // the script's frame count: refreshes less those spent waiting
    long _awaitedFrames = 0;  // how long the script has waited at its current await
    long _scriptRepeats = 0;
    int _exitStatus = 0;
    long _framesTicked = 0;
    double _startSeconds = 0;
    double _cpuMsTotal = 0;
    double _cpuMsWorst = 0;
    double _swapMs = 0;
    int _presents = 0;
    bool _presentedThisTurn = false;
    uint32_t _lastFramebuffer = 0;
    int _lastWidth = 0, _lastHeight = 0;
    double _nextPeriodicShot = 0;
    std::vector<std::string> _shots;
    bool _metalShotLogged = false;
    bool _noBlitLogged = false;
    void* _blit = nullptr;
};

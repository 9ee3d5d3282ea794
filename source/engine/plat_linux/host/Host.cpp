#include "engine/plat_linux/host/Host.h"

#include <GLES2/gl2.h>
#include <SDL2/SDL.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/clock.h"
#include "engine/plat_linux/MainThreadQueue.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/plat_linux/RunServices.h"
#include "engine/random.h"
#include "engine/render/gles2/EglHeadless.h"
#include "engine/utils.h"

namespace {

Host* g_host = nullptr;
std::atomic<bool> g_interrupted{false};
const double kFixedStep = 1.0 / 60.0;

void onSignal(int) { g_interrupted = true; }

double monotonicSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

// The frame timer reads the run loop's time, so every frame advances exactly one fixed step.
ClockTime fixedClockSource() {
    const double t = ui::RunLoop::main().now();
    ClockTime c;
    c.sec = (int64_t)std::floor(t);
    c.usec = (int64_t)std::llround((t - (double)c.sec) * 1e6);
    if (c.usec >= 1000000) {
        c.sec += 1;
        c.usec -= 1000000;
    }
    // Start above zero so nothing mistakes the first frame for an unset time.
    c.sec += 1;
    return c;
}

bool makeFolders(const std::string& path) {
    if (path.empty())
        return false;
    std::string partial;
    std::stringstream parts(path);
    std::string piece;
    if (path[0] == '/')
        partial = "/";
    while (std::getline(parts, piece, '/')) {
        if (piece.empty())
            continue;
        partial += piece;
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        partial += "/";
    }
    return true;
}

bool readText(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

bool parseLong(const char* text, long& out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || !end || *end)
        return false;
    out = v;
    return true;
}

bool parseDouble(const char* text, double& out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (errno || !end || *end || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = (char)std::tolower((unsigned char)c);
    return s;
}

// The names of the keys the window knows, for the script and the SDL key map.
const char* sdlKeyName(SDL_Keycode key) {
    static char letter[2] = {0, 0};
    if (key >= SDLK_a && key <= SDLK_z) {
        letter[0] = (char)('a' + (key - SDLK_a));
        return letter;
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        letter[0] = (char)('0' + (key - SDLK_0));
        return letter;
    }
    switch (key) {
    case SDLK_ESCAPE: return "escape";
    case SDLK_RETURN: return "return";
    case SDLK_SPACE: return "space";
    case SDLK_BACKSPACE: return "backspace";
    case SDLK_TAB: return "tab";
    case SDLK_HOME: return "home";
    case SDLK_END: return "end";
    case SDLK_LEFT: return "left";
    case SDLK_RIGHT: return "right";
    case SDLK_UP: return "up";
    case SDLK_DOWN: return "down";
    case SDLK_PAGEUP: return "pageup";
    case SDLK_PAGEDOWN: return "pagedown";
    case SDLK_F1: return "f1";
    case SDLK_F2: return "f2";
    case SDLK_F3: return "f3";
    case SDLK_F4: return "f4";
    case SDLK_F5: return "f5";
    case SDLK_F6: return "f6";
    case SDLK_F7: return "f7";
    case SDLK_F8: return "f8";
    case SDLK_F9: return "f9";
    case SDLK_F10: return "f10";
    case SDLK_F11: return "f11";
    case SDLK_F12: return "f12";
    default: return nullptr;
    }
}

typedef void (*BlitFramebufferProc)(GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield, GLenum);
const GLenum kReadFramebuffer = 0x8CA8;
const GLenum kDrawFramebuffer = 0x8CA9;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Options

// Whether the settled screen is one of the names ("main", or "surprise|results").
static bool screenMatches(const std::string& names) {
    const std::string& screen = runReport().settledScreen;
    if (screen.empty())
        return false;
    size_t at = 0;
    while (at <= names.size()) {
        const size_t bar = std::min(names.find('|', at), names.size());
        if (names.compare(at, bar - at, screen) == 0)
            return true;
        at = bar + 1;
    }
    return false;
}

const char* hostUsage() {
    return "usage: zelvan [--headless] [--size WxH] [--metal] [--frames N] [--seconds S] [--fixed-dt]\n"
           "              [--seed N] [--autopilot] [--script FILE] [--screenshots DIR]\n"
           "              [--screenshot-every S] [--documents DIR] [--content DIR] [--url TEXT]\n";
}

bool parseHostOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    options = HostOptions();
    bool headlessGiven = false;
    bool fixedGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i] ? argv[i] : "";
        std::string value;
        bool hasValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto next = [&](std::string& out) {
            if (hasValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--headless") {
            options.headless = headlessGiven = true;
        } else if (arg == "--metal") {
            options.metal = true;
        } else if (arg == "--fixed-dt") {
            options.fixedDt = fixedGiven = true;
        } else if (arg == "--autopilot") {
            options.autopilot = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--size") {
            if (!next(v))
                return false;
            int w = 0, h = 0;
            char extra = 0;
            if (std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &extra) != 2 || w < 1 || h < 1 || w > 8192 || h > 8192) {
                error = "--size wants WxH (1..8192 each), not \"" + v + "\"";
                return false;
            }
            options.width = w;
            options.height = h;
        } else if (arg == "--frames") {
            long n = 0;
            if (!next(v))
                return false;
            if (!parseLong(v.c_str(), n) || n < 0) {
                error = "--frames wants a count, not \"" + v + "\"";
                return false;
            }
            options.frames = n;
        } else if (arg == "--seconds") {
            double s = 0;
            if (!next(v))
                return false;
            if (!parseDouble(v.c_str(), s) || s <= 0) {
                error = "--seconds wants a positive number, not \"" + v + "\"";
                return false;
            }
            options.seconds = s;
        } else if (arg == "--seed") {
            long n = 0;
            if (!next(v))
                return false;
            if (!parseLong(v.c_str(), n) || n < 0 || n > 0xffffffffL) {
                error = "--seed wants a number 0..4294967295, not \"" + v + "\"";
                return false;
            }
            options.hasSeed = true;
            options.seed = (uint32_t)n;
        } else if (arg == "--screenshot-every") {
            double s = 0;
            if (!next(v))
                return false;
            if (!parseDouble(v.c_str(), s) || s < 0) {
                error = "--screenshot-every wants seconds (0 = only screen changes), not \"" + v + "\"";
                return false;
            }
            options.screenshotEvery = s;
        } else if (arg == "--script") {
            if (!next(options.script))
                return false;
        } else if (arg == "--screenshots") {
            if (!next(options.screenshots))
                return false;
        } else if (arg == "--documents") {
            if (!next(options.documents))
                return false;
        } else if (arg == "--content") {
            if (!next(options.content))
                return false;
        } else if (arg == "--url") {
            if (!next(options.url))
                return false;
            options.hasURL = true;
        } else {
            error = "unknown option \"" + arg + "\"";
            return false;
        }
    }
    if (!headlessGiven) {
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        options.headless = !(display && *display) && !(wayland && *wayland);
    }
    if (!fixedGiven)
        options.fixedDt = options.headless;
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Script

int hostKeyCode(const std::string& nameIn) {
    const std::string name = lower(nameIn);
    if (name.empty())
        return 0;
    if (name == "escape")
        return -1;
    bool digits = std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z')
        return 1 + (name[0] - 'a');
    if (name.size() == 1 && digits)
        return 27 + (name[0] - '0');
    if (digits && name.size() > 1) {
        long v = 0;
        return parseLong(name.c_str(), v) && v > 0 && v < 1000 ? (int)v : 0;
    }
    static const struct {
        const char* name;
        int code;
    } named[] = {{"return", 37}, {"space", 38}, {"backspace", 39}, {"tab", 40}, {"home", 62},
                 {"end", 63},    {"left", 72},  {"right", 73},     {"up", 74},  {"down", 75},
                 {"pageup", 90}, {"pagedown", 91}};
    for (const auto& n : named)
        if (name == n.name)
            return n.code;
    if (name.size() >= 2 && name[0] == 'f') {
        long f = 0;
        if (parseLong(name.c_str() + 1, f) && f >= 1 && f <= 12)
            return 75 + (int)f;
    }
    return 0;
}

std::vector<HostEvent> parseHostScript(const std::string& text, std::vector<std::string>& errors) {
    std::vector<HostEvent> events;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    float basisWidth = 0, basisHeight = 0;
    auto fail = [&](const std::string& why) {
        std::string message = "script line " + std::to_string(number) + ": " + why + " (\"" + line + "\")";
        Logger::error("[host] %s", message.c_str());
        errors.push_back(message);
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string content = line.substr(0, line.find('#'));
        std::istringstream words(content);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty())
            continue;
        HostEvent e;
        e.basisWidth = basisWidth;
        e.basisHeight = basisHeight;
        long frame = 0;
        if (!parseLong(w[0].c_str(), frame) || frame < 0) {
            fail("a line starts with its frame number");
            continue;
        }
        e.frame = frame;
        if (w.size() < 2) {
            fail("no event after the frame number");
            continue;
        }
        const std::string kind = lower(w[1]);
        if (kind == "touch") {
            e.kind = HostEvent::Touch;
            static const char* phases[] = {"", "began", "ended", "moved", "cancelled"};
            e.phase = 0;
            if (w.size() > 2)
                for (int p = 1; p <= 4; ++p)
                    if (lower(w[2]) == phases[p])
                        e.phase = p;
            if (!e.phase) {
                fail("touch wants began, moved, ended or cancelled");
                continue;
            }
            if (w.size() < 6 || (w.size() - 3) % 3 != 0) {
                fail("touch wants <id> <x> <y> for each finger");
                continue;
            }
            bool ok = true;
            for (size_t k = 3; k + 2 < w.size(); k += 3) {
                long id = 0;
                double x = 0, y = 0;
                if (!parseLong(w[k].c_str(), id) || id < 0 || !parseDouble(w[k + 1].c_str(), x) ||
                    !parseDouble(w[k + 2].c_str(), y)) {
                    ok = false;
                    break;
                }
                e.fingers.push_back(HostEvent::Finger{(int)id, (float)x, (float)y});
            }
            if (!ok) {
                fail("a finger is <id> <x> <y> with numbers");
                continue;
            }
        } else if (kind == "key") {
            e.kind = HostEvent::Key;
            if (w.size() < 4 || (lower(w[2]) != "down" && lower(w[2]) != "up")) {
                fail("key wants down or up and a key");
                continue;
            }
            e.down = lower(w[2]) == "down";
            e.key = w[3];
            if (hostKeyCode(e.key) == 0) {
                fail("unknown key \"" + e.key + "\"");
                continue;
            }
            bool ok = true;
            for (size_t k = 4; k < w.size(); ++k) {
                if (lower(w[k]) == "shift")
                    e.modifiers |= InputModifierCoarse;
                else if (lower(w[k]) == "control")
                    e.modifiers |= InputModifierAlternative;
                else
                    ok = false;
            }
            if (!ok) {
                fail("key modifiers are shift and control");
                continue;
            }
        } else if (kind == "tilt") {
            e.kind = HostEvent::Tilt;
            if (w.size() != 5 || !parseDouble(w[2].c_str(), e.x) || !parseDouble(w[3].c_str(), e.y) ||
                !parseDouble(w[4].c_str(), e.z)) {
                fail("tilt wants three numbers (x y z in g)");
                continue;
            }
        } else if (kind == "points") {
            // The touches below are given on a screen of this size; the host scales them to its own.
            double pw = 0, ph = 0;
            if (w.size() != 4 || !parseDouble(w[2].c_str(), pw) || !parseDouble(w[3].c_str(), ph) || pw < 1 || ph < 1) {
                fail("points wants the width and height the touches are given in");
                continue;
            }
            basisWidth = (float)pw;
            basisHeight = (float)ph;
            continue;
        } else if (kind == "tap") {
            // A finger down and, two frames later, up at the same point.
            double x = 0, y = 0;
            const bool on = w.size() == 6 && lower(w[4]) == "on";
            if ((w.size() != 4 && !on) || !parseDouble(w[2].c_str(), x) || !parseDouble(w[3].c_str(), y)) {
                fail("tap wants <x> <y> [on <screen>]");
                continue;
            }
            if (on)
                e.text = w[5];
            e.kind = HostEvent::Touch;
            e.phase = 1;
            e.tap = true;
            e.fingers.push_back(HostEvent::Finger{0, (float)x, (float)y});
        } else if (kind == "await") {
            e.kind = HostEvent::Await;
            long limit = 0;
            if (w.size() < 3 || w.size() > 4 || (w.size() == 4 && (!parseLong(w[3].c_str(), limit) || limit < 1))) {
                fail("await wants a screen name and, optionally, the most frames to wait");
                continue;
            }
            e.text = w[2];
            if (w.size() == 4)
                e.limit = limit;
        } else if (kind == "repeat") {
            e.kind = HostEvent::Repeat;
            long from = 0;
            if (w.size() != 3 || !parseLong(w[2].c_str(), from) || from < 0 || from >= e.frame) {
                fail("repeat wants the frame to go back to, before its own");
                continue;
            }
            e.from = from;
        } else if (kind == "screenshot") {
            e.kind = HostEvent::Screenshot;
            if (w.size() > 3) {
                fail("screenshot takes at most a label");
                continue;
            }
            e.text = w.size() == 3 ? w[2] : "script";
        } else if (kind == "url") {
            e.kind = HostEvent::OpenURL;
            if (w.size() < 3) {
                fail("url wants a text");
                continue;
            }
            const size_t at = content.find(w[2], content.find(w[1]) + w[1].size());
            e.text = content.substr(at);
            while (!e.text.empty() && std::isspace((unsigned char)e.text.back()))
                e.text.pop_back();
        } else {
            static const struct {
                const char* name;
                HostEvent::Kind kind;
            } lifeCycle[] = {{"resign", HostEvent::Resign},         {"active", HostEvent::Active},
                             {"background", HostEvent::Background}, {"foreground", HostEvent::Foreground},
                             {"terminate", HostEvent::Terminate},   {"memory", HostEvent::MemoryWarning}};
            bool found = false;
            for (const auto& l : lifeCycle)
                if (kind == l.name) {
                    e.kind = l.kind;
                    found = true;
                }
            if (!found) {
                fail("unknown event \"" + w[1] + "\"");
                continue;
            }
            if (w.size() != 2) {
                fail("\"" + w[1] + "\" takes nothing more");
                continue;
            }
        }
        events.push_back(e);
    }
    // Events of one frame keep their order; frames come in order whatever the file's order.
    std::stable_sort(events.begin(), events.end(),
                     [](const HostEvent& a, const HostEvent& b) { return a.frame < b.frame; });
    return events;
}

// ---------------------------------------------------------------------------------------------------
// Host

Host* Host::instance() { return g_host; }

Host::Host(const HostOptions& options) : _options(options) {}

Host* Host::create(const HostOptions& options) {
    if (g_host) {
        Logger::error("[host] a host exists already");
        return nullptr;
    }
    ui::resetForTests();
    platform::clearMainThreadTasks();
    platform::clearLaunchSwitches();
    runReport() = RunReport();
    g_interrupted = false;

    std::unique_ptr<Host> host(new Host(options));
    if (!options.content.empty())
        platform::setBundlePath(options.content);
    if (!options.documents.empty()) {
        if (!makeFolders(options.documents))
            Logger::error("[host] cannot make the documents folder %s", options.documents.c_str());
        platform::setDocumentsPath(options.documents);
    }
    if (options.autopilot)
        platform::setLaunchSwitch("debug.autopilot", true);
    if (!options.screenshots.empty() && !makeFolders(options.screenshots))
        Logger::error("[host] cannot make the screenshot folder %s", options.screenshots.c_str());

    ui::Screen screen;
    screen.bounds.size = ui::Size{(float)options.width, (float)options.height};
    screen.scale = 1.0f;
    ui::setMainScreen(&screen);
    ui::setClassAvailable("CAMetalLayer", options.metal);

    if (options.fixedDt)
        Clock::setSource(fixedClockSource);
    else
        Clock::setSource(nullptr);
    host->_startSeconds = monotonicSeconds();

    if (!host->open())
        return nullptr;

    if (!options.script.empty()) {
        std::string text;
        if (!readText(options.script, text)) {
            Logger::error("[host] cannot read the script %s", options.script.c_str());
        } else {
            std::vector<std::string> errors;
            host->addScript(parseHostScript(text, errors));
        }
    }
    if (options.screenshotEvery > 0)
        host->_nextPeriodicShot = options.screenshotEvery;

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    g_host = host.release();
    return g_host;
}

bool Host::open() {
    if (!_options.headless) {
        SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            Logger::error("[host] no display (%s); run with --headless", SDL_GetError());
            return false;
        }
        Uint32 flags = SDL_WINDOW_SHOWN;
        if (!_options.metal) {
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
            SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
            SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
            SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            flags |= SDL_WINDOW_OPENGL;
        }
        _window = SDL_CreateWindow("Zelvan", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, _options.width,
                                   _options.height, flags);
        if (!_window) {
            Logger::error("[host] cannot open a window (%s)", SDL_GetError());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return false;
        }
        if (!_options.metal) {
            _glContext = SDL_GL_CreateContext(_window);
            if (!_glContext || SDL_GL_MakeCurrent(_window, (SDL_GLContext)_glContext) != 0) {
                Logger::error("[host] no OpenGL ES 2.0 context (%s)", SDL_GetError());
                SDL_DestroyWindow(_window);
                _window = nullptr;
                SDL_QuitSubSystem(SDL_INIT_VIDEO);
                return false;
            }
            // Vsync paces the window; a fixed frame time runs as fast as it can.
            SDL_GL_SetSwapInterval(_options.fixedDt ? 0 : 1);
            const char* version = (const char*)glGetString(GL_VERSION);
            if (version && std::strstr(version, "OpenGL ES 3"))
                _blit = SDL_GL_GetProcAddress("glBlitFramebuffer");
            const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
            if (!_blit && extensions && std::strstr(extensions, "GL_NV_framebuffer_blit"))
                _blit = SDL_GL_GetProcAddress("glBlitFramebufferNV");
            _glReady = true;
            Logger::message("[host] window %dx%d, %s", _options.width, _options.height, version ? version : "?");
        } else {
            Logger::message("[host] window %dx%d on the Metal path (nothing is drawn)", _options.width,
                            _options.height);
        }
        return true;
    }
    if (!_options.metal) {
        EglHeadless* egl = EglHeadless::shared(_options.width, _options.height);
        if (!egl || !egl->isCreated()) {
            Logger::error("[host] no headless OpenGL ES 2.0 context");
            return false;
        }
        _glReady = true;
        Logger::message("[host] headless %dx%d", _options.width, _options.height);
    } else {
        Logger::message("[host] headless %dx%d on the Metal path (nothing is drawn)", _options.width,
                        _options.height);
    }
    return true;
}

Host::~Host() {
    _delegate.reset();
    ui::setGLSurface(nullptr);
    if (_glContext)
        SDL_GL_DeleteContext((SDL_GLContext)_glContext);
    if (_window) {
        SDL_DestroyWindow(_window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

void Host::destroy() {
    if (!g_host)
        return;
    g_host->finish();
    delete g_host;
    g_host = nullptr;
    Clock::setSource(nullptr);
    platform::clearMainThreadTasks();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool Host::makeCurrent() {
    if (_window && _glContext)
        return SDL_GL_MakeCurrent(_window, (SDL_GLContext)_glContext) == 0;
    return _glReady;
}

void Host::present(uint32_t framebuffer, int width, int height) {
    ++_presents;
    _presentedThisTurn = true;
    _lastFramebuffer = framebuffer;
    _lastWidth = width;
    _lastHeight = height;

    // The first frame shows the first screen.
    if (_presents == 1)
        takeScreenshot("start", framebuffer, width, height);
    for (const std::string& label : platform::takeScreenshotRequests())
        takeScreenshot(label.empty() ? "screen" : label, framebuffer, width, height);
    if (_options.screenshotEvery > 0 && ui::mediaTime() + 1e-9 >= _nextPeriodicShot) {
        takeScreenshot("every", framebuffer, width, height);
        while (_nextPeriodicShot <= ui::mediaTime() + 1e-9)
            _nextPeriodicShot += _options.screenshotEvery;
    }

    if (_window && _glContext) {
        const double t0 = monotonicSeconds();
        if (_blit) {
            glBindFramebuffer(kReadFramebuffer, framebuffer);
            glBindFramebuffer(kDrawFramebuffer, 0);
            ((BlitFramebufferProc)_blit)(0, 0, width, height, 0, 0, _options.width, _options.height,
                                         GL_COLOR_BUFFER_BIT, GL_NEAREST);
        } else if (!_noBlitLogged) {
            _noBlitLogged = true;
            Logger::error("[host] no framebuffer blit: the window stays empty");
        }
        SDL_GL_SwapWindow(_window);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        _swapMs += (monotonicSeconds() - t0) * 1000.0;
    }
}

void Host::takeScreenshot(const std::string& label, uint32_t framebuffer, int width, int height) {
    if (_options.screenshots.empty() || width <= 0 || height <= 0)
        return;
    std::string safe;
    for (char c : label)
        safe += std::isalnum((unsigned char)c) || c == '-' || c == '_' ? c : '_';
    char name[64];
    std::snprintf(name, sizeof(name), "%06ld-", _refreshes);
    const std::string path = _options.screenshots + "/" + name + safe + ".png";
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    std::vector<uint8_t> pixels = EglHeadless::readPixels(0, 0, width, height);
    if (EglHeadless::writePng(path, width, height, pixels))
        _shots.push_back(path);
    else
        Logger::error("[host] cannot write the screenshot %s", path.c_str());
}

std::vector<uint8_t> Host::readPresentedPixels(int& width, int& height) {
    width = _lastWidth;
    height = _lastHeight;
    if (!_presents || !_glReady || !makeCurrent())
        return {};
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    glBindFramebuffer(GL_FRAMEBUFFER, _lastFramebuffer);
    std::vector<uint8_t> pixels = EglHeadless::readPixels(0, 0, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, (GLuint)bound);
    return pixels;
}

int Host::runApplication(const std::string& delegateClass) {
    if (!launch(delegateClass)) {
        finish();
        return 1;
    }
    if (_options.manualLoop)
        return 0;
    while (turn()) {
    }
    finish();
    return _exitStatus;
}

bool Host::launch(const std::string& delegateClass) {
    if (_launched)
        return false;
    _delegate = ui::makeDelegate(delegateClass);
    if (!_delegate) {
        Logger::error("[host] no application delegate class \"%s\"", delegateClass.c_str());
        return false;
    }
    _launched = true;
    if (_glReady)
        ui::setGLSurface(this);
    ui::LaunchOptions launchOptions;
    launchOptions.hasURL = _options.hasURL;
    launchOptions.url = _options.url;
    _delegate->didFinishLaunchingWithOptions(launchOptions);
    if (_options.hasSeed) {
        srand(_options.seed);
        motherRandom().seed(_options.seed);
    }
    becomeActive();
    return true;
}

void Host::postEvent(const HostEvent& event) { _posted.push_back(event); }

void Host::addScript(const std::vector<HostEvent>& events) {
    std::vector<HostEvent> rest(_script.begin() + (long)_scriptNext, _script.end());
    rest.insert(rest.end(), events.begin(), events.end());
    std::stable_sort(rest.begin(), rest.end(), [](const HostEvent& a, const HostEvent& b) { return a.frame < b.frame; });
    _script = rest;
    _scriptNext = 0;
}

bool Host::turn() {
    if (!_launched || _terminated)
        return false;
    const double turnStart = monotonicSeconds();
    ui::RunLoop& loop = ui::RunLoop::main();
    loop.setNow(_options.fixedDt ? (double)(_refreshes + 1) * kFixedStep : turnStart - _startSeconds);

    // 1. Window and script events, then the accelerometer.
    pollWindow();
    bool waiting = false;
    while (_scriptNext < _script.size() && _script[_scriptNext].frame <= _scriptClock && !_terminated) {
        const HostEvent& event = _script[_scriptNext];
        if (event.kind == HostEvent::Await && !screenMatches(event.text)) {
            waiting = true;
            if (++_awaitedFrames > event.limit) {
                Logger::error("[host] the script waited %ld frames for the screen \"%s\" in vain (on \"%s\"); the "
                              "program ends",
                              event.limit, event.text.c_str(), runReport().settledScreen.c_str());
                _exitStatus = 3;
                terminate();
            }
            break;
        }
        _awaitedFrames = 0;
        if (event.kind == HostEvent::Repeat) {
            // The lines from there play again, their frames counted from now.
            ++_scriptRepeats;
            Logger::message("[host] script: repeat %ld from its frame %ld at refresh %ld", _scriptRepeats, event.from,
                            (long)_refreshes);
            _scriptClock = event.from;
            _scriptNext = 0;
            while (_scriptNext < _script.size() && _script[_scriptNext].frame < _scriptClock)
                ++_scriptNext;
            continue;
        }
        if (event.tap && !event.text.empty() && !screenMatches(event.text)) {
            Logger::message("[host] script: the tap for the screen \"%s\" is passed over (on \"%s\")",
                            event.text.c_str(), runReport().settledScreen.c_str());
            ++_scriptNext;
            continue;
        }
        handleEvent(_script[_scriptNext++]);
    }
    // While the script waits its frame count stands still: the lines after a wait count on from
    // the moment the screen came.
    if (!waiting)
        ++_scriptClock;
    // The lifts of taps come two refreshes after their touch, whether the script waits or not.
    for (size_t i = 0; i < _lifts.size() && !_terminated;) {
        if (_lifts[i].frame > _refreshes) {
            ++i;
            continue;
        }
        const HostEvent lift = _lifts[i];
        _lifts.erase(_lifts.begin() + (long)i);
        handleEvent(lift);
    }
    std::vector<HostEvent> posted;
    posted.swap(_posted);
    for (const HostEvent& e : posted)
        if (!_terminated)
            handleEvent(e);
    if (g_interrupted)
        terminate();
    if (_terminated)
        return false;
    ui::Accelerometer::shared().poll();

    // 2. The main thread's tasks.
    platform::runMainThreadTasks();

    // 3. The frame driver. A hidden application gets no frames, as on the device.
    _presentedThisTurn = false;
    if (!_background && !_terminated) {
        _swapMs = 0;
        const double t0 = monotonicSeconds();
        const int fired = loop.refresh();
        const double ms = (monotonicSeconds() - t0) * 1000.0 - _swapMs;
        if (fired > 0) {
            ++_framesTicked;
            _cpuMsTotal += ms;
            _cpuMsWorst = std::max(_cpuMsWorst, ms);
        }
    }
    ++_refreshes;

    if (!_terminated) {
        if (_options.frames >= 0 && _refreshes >= _options.frames)
            terminate();
        else if (_options.seconds > 0 && loop.now() + 1e-9 >= _options.seconds)
            terminate();
    }
    if (_terminated)
        return false;

    if (!_options.fixedDt) {
        if (_background && _window) {
            // Minimised: wait for the window to come back instead of spinning a core.
            SDL_WaitEventTimeout(nullptr, 100);
        } else if (!_presentedThisTurn) {
            const double left = kFixedStep - (monotonicSeconds() - turnStart);
            if (left > 0.0005)
                sleepMs((uint32_t)(left * 1000.0));
        }
    }
    return true;
}

void Host::pollWindow() {
    if (!_window)
        return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        HostEvent h;
        switch (e.type) {
        case SDL_QUIT:
            h.kind = HostEvent::Terminate;
            postEvent(h);
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                h.kind = HostEvent::Terminate;
                postEvent(h);
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                _focused = false;
                h.kind = HostEvent::Resign;
                postEvent(h);
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                _focused = true;
                if (!_escapePaused) {
                    h.kind = HostEvent::Active;
                    postEvent(h);
                }
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_HIDDEN:
                h.kind = HostEvent::Background;
                postEvent(h);
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SHOWN:
                if (_background) {
                    h.kind = _focused && !_escapePaused ? HostEvent::Active : HostEvent::Foreground;
                    postEvent(h);
                }
                break;
            default:
                break;
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT)
                break;
            h.kind = HostEvent::Touch;
            h.phase = e.type == SDL_MOUSEBUTTONDOWN ? 1 : 2;
            if ((h.phase == 1) == _mouseDown)
                break;
            _mouseDown = h.phase == 1;
            h.fingers.push_back(HostEvent::Finger{0, (float)e.button.x, (float)e.button.y});
            postEvent(h);
            break;
        case SDL_MOUSEMOTION:
            if (!_mouseDown)
                break;
            h.kind = HostEvent::Touch;
            h.phase = 3;
            h.fingers.push_back(HostEvent::Finger{0, (float)e.motion.x, (float)e.motion.y});
            postEvent(h);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (e.key.repeat)
                break;
            const char* name = sdlKeyName(e.key.keysym.sym);
            if (!name)
                break;
            h.kind = HostEvent::Key;
            h.key = name;
            h.down = e.type == SDL_KEYDOWN;
            if (e.key.keysym.mod & KMOD_SHIFT)
                h.modifiers |= InputModifierCoarse;
            if (e.key.keysym.mod & KMOD_CTRL)
                h.modifiers |= InputModifierAlternative;
            postEvent(h);
            break;
        }
        default:
            break;
        }
    }
}

void Host::handleEvent(const HostEvent& event) {
    if (!_delegate || _terminated)
        return;
    switch (event.kind) {
    case HostEvent::Touch:
        handleTouch(event);
        if (event.tap && event.phase == 1) {
            HostEvent lift = event;
            lift.phase = 2;
            lift.frame = _refreshes + 2;
            _lifts.push_back(lift);
        }
        break;
    case HostEvent::Key:
        handleKey(event);
        break;
    case HostEvent::Tilt: {
        ui::Accelerometer& a = ui::Accelerometer::shared();
        a.x = event.x;
        a.y = event.y;
        a.z = event.z;
        break;
    }
    case HostEvent::Resign:
        resign();
        break;
    case HostEvent::Active:
        enterForeground();
        becomeActive();
        break;
    case HostEvent::Background:
        enterBackground();
        break;
    case HostEvent::Foreground:
        enterForeground();
        break;
    case HostEvent::Terminate:
        terminate();
        break;
    case HostEvent::MemoryWarning:
        _delegate->applicationDidReceiveMemoryWarning();
        break;
    case HostEvent::OpenURL:
        _delegate->openURL(event.text, nullptr);
        break;
    case HostEvent::Await:
    case HostEvent::Repeat:
        break;  // the script's own flow (turn)
    case HostEvent::Screenshot:
        requestScreenshot(event.text.c_str());
        break;
    }
}

void Host::handleTouch(const HostEvent& event) {
    ui::TouchSet set;
    for (const HostEvent::Finger& f : event.fingers) {
        ui::Touch* touch = nullptr;
        for (auto& t : _touches)
            if (t.first == f.id)
                touch = t.second.get();
        if (touch && std::find(set.begin(), set.end(), touch) != set.end())
            continue;  // the same finger twice in one event
        if (!touch) {
            // The system never reports a finger it has not seen go down; a script may, and the
            // platform layer must cope, so the finger simply appears.
            _touches.emplace_back(f.id, std::make_unique<ui::Touch>());
            touch = _touches.back().second.get();
        }
        const float sx = event.basisWidth > 0 ? (float)_options.width / event.basisWidth : 1.0f;
        const float sy = event.basisHeight > 0 ? (float)_options.height / event.basisHeight : 1.0f;
        touch->locationInWindow = ui::Point{f.x * sx, f.y * sy};
        set.push_back(touch);
    }
    if (set.empty())
        return;
    ui::Event e;
    for (auto& t : _touches)
        e.allTouches.push_back(t.second.get());
    ui::Window* window = ui::keyWindow();
    ui::View* view = window ? window->touchView() : nullptr;
    if (view) {
        switch (event.phase) {
        case 1: view->touchesBegan(set, e); break;
        case 2: view->touchesEnded(set, e); break;
        case 3: view->touchesMoved(set, e); break;
        case 4: view->touchesCancelled(set, e); break;
        default: break;
        }
    }
    if (event.phase == 2 || event.phase == 4) {
        _touches.erase(std::remove_if(_touches.begin(), _touches.end(),
                                      [&](const auto& t) {
                                          return std::find(set.begin(), set.end(), t.second.get()) != set.end();
                                      }),
                       _touches.end());
    }
}

void Host::handleKey(const HostEvent& event) {
    const int code = hostKeyCode(event.key);
    if (code == -1) {
        if (!event.down)
            return;
        if (_escapePaused) {
            _escapePaused = false;
            becomeActive();
        } else if (_active) {
            _escapePaused = true;
            resign();
        }
        return;
    }
    if (code <= 0)
        return;
    if (code == 1 || code == 4) {
        // A and D tilt the device to the left and the right while held.
        (code == 1 ? _tiltLeft : _tiltRight) = event.down;
        ui::Accelerometer& a = ui::Accelerometer::shared();
        const int side = (_tiltRight ? 1 : 0) - (_tiltLeft ? 1 : 0);
        a.x = 0.7 * side;
        a.y = side ? -0.7 : -1.0;
        a.z = 0;
    }
    InputEvent e;
    e.type = event.down ? InputKeyDown : InputKeyUp;
    e.keyCode = code;
    e.modifiers = event.modifiers;
    InputHook::dispatch(e);
}

void Host::resign() {
    if (!_active || _terminated)
        return;
    _active = false;
    _delegate->applicationWillResignActive();
}

void Host::becomeActive() {
    if (_active || _background || _terminated)
        return;
    _active = true;
    _delegate->applicationDidBecomeActive();
}

void Host::enterBackground() {
    if (_background || _terminated)
        return;
    resign();
    _background = true;
    _delegate->applicationDidEnterBackground();
    ui::NotificationCenter::shared().post(ui::DidEnterBackgroundNotification);
}

void Host::enterForeground() {
    if (!_background || _terminated)
        return;
    _background = false;
    _delegate->applicationWillEnterForeground();
    ui::NotificationCenter::shared().post(ui::WillEnterForegroundNotification);
}

void Host::terminate() {
    if (_terminated || !_delegate)
        return;
    _terminated = true;
    _active = false;
    _delegate->applicationWillTerminate();
}

void Host::finish() {
    if (_finished)
        return;
    _finished = true;
    if (_launched)
        terminate();
    _delegate.reset();
    _touches.clear();
    const std::string line = summaryLine();
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Host::summaryLine() const {
    const RunReport& report = runReport();
    std::string screens;
    for (const std::string& s : report.screensVisited)
        screens += (screens.empty() ? "" : ",") + s;
    // What the player owns and chose, as the profile holds it.
    std::string player;
    if (report.player.known) {
        auto named = [](const std::string& name) { return name.empty() ? std::string("none") : name; };
        player = "bank coins " + std::to_string(report.player.coins) + " tickets " +
                 std::to_string(report.player.tickets) + ", region " + named(report.player.region) + ", train " +
                 named(report.player.train) + ", character " + named(report.player.character) + ", skin " +
                 named(report.player.skin) + ", ";
    }
    const double mean = _framesTicked ? _cpuMsTotal / (double)_framesTicked : 0.0;
    char line[1024];
    std::snprintf(line, sizeof(line),
                  "summary: frames %ld, game seconds %.2f, cpu ms per frame mean %.3f worst %.3f, distance %.1f, "
                  "coins %d, %sscreens %s",
                  _framesTicked, (double)frameTime().gameMs / 1000.0, mean, _cpuMsWorst, (double)report.distance,
                  report.coins, player.c_str(), screens.empty() ? "none" : screens.c_str());
    return line;
}

// ---------------------------------------------------------------------------------------------------
// The system's application loop

int ui::UIApplicationMain(int argc, char** argv, const char* principalClass, const char* delegateClass) {
    (void)principalClass;
    Host* host = Host::instance();
    if (!host) {
        HostOptions options;
        std::string error;
        if (!parseHostOptions(argc, argv, options, error)) {
            Logger::error("[host] %s", error.c_str());
            return 2;
        }
        host = Host::create(options);
        if (!host)
            return 1;
    }
    return host->runApplication(delegateClass ? delegateClass : "");
}

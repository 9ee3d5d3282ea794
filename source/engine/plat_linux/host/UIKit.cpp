#include "engine/plat_linux/host/UIKit.h"

#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "engine/utils.h"

namespace ui {

namespace {

Window* g_keyWindow = nullptr;
Screen g_screen;
bool g_hasScreen = true;
std::string g_systemVersion = "17.0";
std::map<std::string, bool> g_classes;
std::map<std::string, std::vector<std::string>> g_infoPlist;
GLSurface* g_glSurface = nullptr;
GLContext* g_currentContext = nullptr;
bool g_layerStorage = true;

std::map<std::string, DelegateFactory>& delegateClasses() {
    static std::map<std::string, DelegateFactory> classes;
    return classes;
}

}  // namespace

// ---- Touches and views ----

Point Touch::locationInView(const View* view) const {
    if (!view)
        return locationInWindow;
    return Point{locationInWindow.x - view->frame.origin.x, locationInWindow.y - view->frame.origin.y};
}

std::vector<Touch*> Event::touchesForView(const View* view) const {
    (void)view;
    return allTouches;
}

void ViewController::presentModal(const std::string& what) {
    _presented = what;
    Logger::message("[ui] presented %s", what.c_str());
}

void ViewController::dismissModal() {
    if (!_presented.empty())
        Logger::message("[ui] dismissed %s", _presented.c_str());
    _presented.clear();
}

void Window::makeKeyAndVisible() {
    g_keyWindow = this;
    if (_visible)
        return;
    _visible = true;
    if (_root)
        _root->viewWillAppear(false);
}

void Window::setRootViewController(std::unique_ptr<ViewController> controller) { _root = std::move(controller); }

Window::~Window() {
    if (g_keyWindow == this)
        g_keyWindow = nullptr;
    // The root controller's view goes before the views added to the window, as it was made after.
    _root.reset();
    _subviews.clear();
}

Window* keyWindow() { return g_keyWindow; }

// ---- Run loop ----

std::shared_ptr<DisplayLink> DisplayLink::create(std::function<void()> target) {
    auto link = std::make_shared<DisplayLink>();
    link->_target = std::move(target);
    return link;
}

void DisplayLink::addToRunLoop() {
    if (_added || !_valid)
        return;
    _added = true;
    RunLoop& loop = RunLoop::main();
    for (auto& l : loop._links)
        if (l.get() == this)
            return;
    // The run loop keeps the link alive until it is invalidated, as the system's does.
    for (auto& l : loop._pending)
        if (l.get() == this)
            return;
    loop._pending.push_back(shared_from_this());
}

void DisplayLink::invalidate() {
    _valid = false;
    _target = nullptr;
}

std::shared_ptr<Timer> Timer::scheduledRepeating(double interval, std::function<void()> target) {
    auto timer = std::make_shared<Timer>();
    timer->_target = std::move(target);
    timer->_interval = interval > 0 ? interval : 0.0001;
    RunLoop& loop = RunLoop::main();
    timer->_nextFire = loop.now() + timer->_interval;
    loop._timers.push_back(timer);
    return timer;
}

RunLoop& RunLoop::main() {
    static RunLoop loop;
    return loop;
}

int RunLoop::refresh() {
    int fired = 0;
    // Links added during this refresh fire from the next one on.
    for (auto& l : _pending)
        _links.push_back(l);
    _pending.clear();
    const std::vector<std::shared_ptr<DisplayLink>> links = _links;
    for (const auto& link : links) {
        if (!link->_valid || link->paused)
            continue;
        ++link->_refreshes;
        const uint64_t interval = (uint64_t)std::max(link->frameInterval, 1);
        if (link->_refreshes % interval != 0)
            continue;
        link->timestamp = _now;
        std::function<void()> target = link->_target;
        if (target) {
            target();
            ++fired;
        }
    }
    const std::vector<std::shared_ptr<Timer>> timers = _timers;
    const double epsilon = 1e-9;
    for (const auto& timer : timers) {
        if (!timer->_valid || _now + epsilon < timer->_nextFire)
            continue;
        timer->_nextFire += timer->_interval;
        // A late timer fires once and skips what it missed.
        if (timer->_nextFire <= _now)
            timer->_nextFire = _now + timer->_interval;
        std::function<void()> target = timer->_target;
        if (target) {
            target();
            ++fired;
        }
    }
    _links.erase(std::remove_if(_links.begin(), _links.end(), [](const auto& l) { return !l->_valid; }),
                 _links.end());
    _timers.erase(std::remove_if(_timers.begin(), _timers.end(), [](const auto& t) { return !t->_valid; }),
                  _timers.end());
    return fired;
}

size_t RunLoop::liveDisplayLinks() const {
    size_t n = 0;
    for (const auto& l : _links)
        n += l->_valid ? 1 : 0;
    for (const auto& l : _pending)
        n += l->_valid ? 1 : 0;
    return n;
}

size_t RunLoop::liveTimers() const {
    size_t n = 0;
    for (const auto& t : _timers)
        n += t->_valid ? 1 : 0;
    return n;
}

void RunLoop::reset() {
    _links.clear();
    _pending.clear();
    _timers.clear();
    _now = 0;
}

double mediaTime() { return RunLoop::main().now(); }

// ---- Notifications ----

const char* const DidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
const char* const WillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";

NotificationCenter& NotificationCenter::shared() {
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* owner, const std::string& name, std::function<void()> callback) {
    _observers.push_back(Observer{owner, name, std::move(callback)});
}

void NotificationCenter::removeObserver(const void* owner) {
    _observers.erase(std::remove_if(_observers.begin(), _observers.end(),
                                    [owner](const Observer& o) { return o.owner == owner; }),
                     _observers.end());
}

void NotificationCenter::post(const std::string& name) {
    const std::vector<Observer> observers = _observers;
    for (const Observer& o : observers)
        if (o.name == name && o.callback)
            o.callback();
}

// ---- Accelerometer ----

Accelerometer& Accelerometer::shared() {
    static Accelerometer a;
    return a;
}

void Accelerometer::poll() {
    if (!delegate || !(updateInterval > 0))
        return;
    const double now = mediaTime();
    if (now + 1e-9 < _nextSample)
        return;
    _nextSample += updateInterval;
    if (_nextSample <= now)
        _nextSample = now + updateInterval;
    delegate->accelerometerDidAccelerate(x, y, z);
}

// ---- Screen and application ----

Screen* mainScreen() { return g_hasScreen ? &g_screen : nullptr; }

void setMainScreen(const Screen* screen) {
    g_hasScreen = screen != nullptr;
    if (screen)
        g_screen = *screen;
}

const std::string& systemVersion() { return g_systemVersion; }
void setSystemVersion(const std::string& version) { g_systemVersion = version; }

int compareVersions(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        long x = 0, y = 0;
        while (i < a.size() && a[i] != '.')
            x = x * 10 + (a[i] >= '0' && a[i] <= '9' ? a[i] - '0' : 0), ++i;
        while (j < b.size() && b[j] != '.')
            y = y * 10 + (b[j] >= '0' && b[j] <= '9' ? b[j] - '0' : 0), ++j;
        if (x != y)
            return x < y ? -1 : 1;
        if (i < a.size())
            ++i;
        if (j < b.size())
            ++j;
    }
    return 0;
}

const std::vector<std::string>* infoPlistArray(const std::string& key) {
    auto it = g_infoPlist.find(key);
    return it == g_infoPlist.end() ? nullptr : &it->second;
}

void setInfoPlistArray(const std::string& key, const std::vector<std::string>* values) {
    if (values)
        g_infoPlist[key] = *values;
    else
        g_infoPlist.erase(key);
}

bool classExists(const std::string& name) {
    auto it = g_classes.find(name);
    return it != g_classes.end() && it->second;
}

void setClassAvailable(const std::string& name, bool available) { g_classes[name] = available; }

Application& Application::shared() {
    static Application app;
    return app;
}

bool Application::openURL(const std::string& url) {
    Logger::message("[ui] open URL %s", url.c_str());
    openedURLs.push_back(url);
    return true;
}

Value Value::makeText(const std::string& t) {
    Value v;
    v.kind = Text;
    v.text = t;
    return v;
}

Value Value::makeInteger(long i) {
    Value v;
    v.kind = Integer;
    v.integer = i;
    return v;
}

Value Value::makeDictionary(std::vector<std::pair<std::string, Value>> entries) {
    Value v;
    v.kind = Dictionary;
    v.entries = std::move(entries);
    return v;
}

const Value* Value::find(const std::string& key) const {
    if (kind != Dictionary)
        return nullptr;
    for (const auto& e : entries)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

std::string Value::description() const {
    switch (kind) {
    case Text:
        return text;
    case Integer:
        return std::to_string(integer);
    default:
        return std::string();
    }
}

void registerDelegateClass(const std::string& name, DelegateFactory factory) {
    delegateClasses()[name] = std::move(factory);
}

std::unique_ptr<ApplicationDelegate> makeDelegate(const std::string& name) {
    auto it = delegateClasses().find(name);
    if (it == delegateClasses().end() || !it->second)
        return nullptr;
    return it->second();
}

// ---- OpenGL ES ----

void setGLSurface(GLSurface* surface) { g_glSurface = surface; }
GLSurface* glSurface() { return g_glSurface; }

std::unique_ptr<GLContext> GLContext::create(int apiVersion) {
    if (apiVersion != 2 || !g_glSurface)
        return nullptr;
    return std::unique_ptr<GLContext>(new GLContext());
}

GLContext::~GLContext() {
    if (g_currentContext == this)
        g_currentContext = nullptr;
}

bool GLContext::setCurrent(GLContext* context) {
    if (!context) {
        g_currentContext = nullptr;
        return true;
    }
    if (!g_glSurface || !g_glSurface->makeCurrent())
        return false;
    g_currentContext = context;
    return true;
}

GLContext* GLContext::current() { return g_currentContext; }

bool GLContext::renderbufferStorageFromLayer(const View& layerView) {
    const int width = (int)(layerView.bounds().size.width * layerView.contentScaleFactor);
    const int height = (int)(layerView.bounds().size.height * layerView.contentScaleFactor);
    if (!g_layerStorage || width <= 0 || height <= 0) {
        _storageWidth = _storageHeight = 0;
        return false;
    }
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8_OES, width, height);
    _storageWidth = width;
    _storageHeight = height;
    return glGetError() == GL_NO_ERROR;
}

bool GLContext::presentRenderbuffer() {
    if (!g_glSurface || _storageWidth <= 0)
        return false;
    GLint framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    g_glSurface->present((uint32_t)framebuffer, _storageWidth, _storageHeight);
    return true;
}

void GLContext::setLayerStorageAvailable(bool available) { g_layerStorage = available; }

// ---- Audio session ----

AudioSession& AudioSession::shared() {
    static AudioSession session;
    return session;
}

int AudioSession::initialize() {
    if (failInitialize) {
        Logger::message("[audio session] initialise failed");
        return -50;
    }
    Logger::message("[audio session] initialised");
    return 0;
}

int AudioSession::otherAudioIsPlaying(uint32_t& value) {
    if (failQuery) {
        Logger::message("[audio session] other-audio query failed");
        return -50;
    }
    value = otherAudioPlaying ? 1 : 0;
    Logger::message("[audio session] other audio playing: %u", value);
    return 0;
}

bool AudioSession::setCategory(const std::string& category) {
    if (failSetCategory) {
        Logger::message("[audio session] category %s refused", category.c_str());
        return false;
    }
    _category = category;
    Logger::message("[audio session] category %s", category.c_str());
    return true;
}

void resetForTests() {
    RunLoop::main().reset();
    NotificationCenter::shared() = NotificationCenter();
    Accelerometer::shared() = Accelerometer();
    g_keyWindow = nullptr;
    g_screen = Screen();
    g_hasScreen = true;
    g_systemVersion = "17.0";
    g_classes.clear();
    g_infoPlist.clear();
    g_currentContext = nullptr;
    g_layerStorage = true;
    Application::shared() = Application();
    AudioSession::shared() = AudioSession();
}

}  // namespace ui

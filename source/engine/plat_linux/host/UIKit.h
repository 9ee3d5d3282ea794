#pragma once
// A small stand-in for the parts of the phone's application framework the platform layer calls:
// touches and views, the application delegate's protocol, display links and timers on the main
// run loop, notifications, the accelerometer, the screen, the OpenGL ES context and its layer
// storage, the audio session. The desktop / headless host (Host.h) feeds it; the platform layer
// (source/engine/plat_iphone) is written against it. Everything here runs on the main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ui {

struct Point {
    float x = 0, y = 0;
};
struct Size {
    float width = 0, height = 0;
};
struct Rect {
    Point origin;
    Size size;
};

class View;

// One finger on the screen: the same object from touch-down to lift-off.
class Touch {
public:
    Point locationInWindow;  // points
    int tapCount = 1;
    // The location in a view's coordinates (the window's without a view).
    Point locationInView(const View* view) const;
};
using TouchSet = std::vector<Touch*>;  // in the order the system lists them

// The touch event: every touch on the screen while it is delivered.
struct Event {
    std::vector<Touch*> allTouches;
    // The touches that belong to a view (here every touch: the views fill the window).
    std::vector<Touch*> touchesForView(const View* view) const;
};

class Responder {
public:
    virtual ~Responder() {}
    virtual void touchesBegan(const TouchSet& touches, const Event& event) { (void)touches, (void)event; }
    virtual void touchesMoved(const TouchSet& touches, const Event& event) { (void)touches, (void)event; }
    virtual void touchesEnded(const TouchSet& touches, const Event& event) { (void)touches, (void)event; }
    virtual void touchesCancelled(const TouchSet& touches, const Event& event) { (void)touches, (void)event; }
};

class View : public Responder {
public:
    explicit View(const Rect& frame_) : frame(frame_) {}
    Rect bounds() const { return Rect{Point(), frame.size}; }
    virtual void setContentScaleFactor(float scale) { contentScaleFactor = scale; }
    virtual void layoutSubviews() {}

    Rect frame;
    float contentScaleFactor = 1.0f;
    bool multipleTouchEnabled = false;
    bool opaque = false;
    std::vector<std::unique_ptr<View>> subviews;
};

// UIKit's orientations and masks.
enum InterfaceOrientation {
    OrientationUnknown = 0,
    OrientationPortrait = 1,
    OrientationPortraitUpsideDown = 2,
    OrientationLandscapeRight = 3,
    OrientationLandscapeLeft = 4,
};
enum InterfaceOrientationMask : unsigned {
    MaskPortrait = 1u << 1,
    MaskPortraitUpsideDown = 1u << 2,
    MaskLandscapeLeft = 1u << 4,
    MaskLandscapeRight = 1u << 3,
};

class ViewController {
public:
    virtual ~ViewController() {}
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual unsigned supportedInterfaceOrientations() { return MaskPortrait; }
    virtual bool shouldAutorotateToInterfaceOrientation(int orientation) { return orientation == OrientationPortrait; }
    virtual bool shouldAutorotate() { return true; }
    virtual bool prefersStatusBarHidden() { return false; }

    View* view() const { return _view.get(); }
    void setView(std::unique_ptr<View> view) { _view = std::move(view); }
    // A modal screen (mail composer, store sheet) shown over this controller's view.
    void presentModal(const std::string& what);
    void dismissModal();
    const std::string& presentedModal() const { return _presented; }

private:
    std::unique_ptr<View> _view;
    std::string _presented;
};

class Window {
public:
    explicit Window(const Rect& frame_) : frame(frame_) {}
    // Shows the window; its root view controller's view appears (viewWillAppear).
    void makeKeyAndVisible();
    // The window keeps its root view controller.
    void setRootViewController(std::unique_ptr<ViewController> controller);
    ViewController* rootViewController() const { return _root.get(); }
    // The view that receives touches.
    View* touchView() const { return _root ? _root->view() : nullptr; }
    ~Window();
    bool visible() const { return _visible; }
    Rect frame;
    // Views added with addSubview (owned by the window).
    void addSubview(std::unique_ptr<View> view) { _subviews.push_back(std::move(view)); }

private:
    std::unique_ptr<ViewController> _root;
    bool _visible = false;
    std::vector<std::unique_ptr<View>> _subviews;
};

// The key window, or null.
Window* keyWindow();

// ---- The main run loop's frame sources ----

// Fires once every frameInterval display refreshes while it is in the run loop and not paused.
class DisplayLink : public std::enable_shared_from_this<DisplayLink> {
public:
    static std::shared_ptr<DisplayLink> create(std::function<void()> target);
    // Adds it to the main run loop (default mode).
    void addToRunLoop();
    // Removes it for good.
    void invalidate();
    bool valid() const { return _valid; }
    bool paused = false;
    int frameInterval = 1;
    // Media time of the refresh that fired it last.
    double timestamp = 0;

private:
    friend class RunLoop;
    std::function<void()> _target;
    bool _valid = true;
    bool _added = false;
    uint64_t _refreshes = 0;
};

// A repeating timer on the main run loop, in host time.
class Timer {
public:
    static std::shared_ptr<Timer> scheduledRepeating(double interval, std::function<void()> target);
    void invalidate() { _valid = false; }
    bool valid() const { return _valid; }
    double interval() const { return _interval; }

private:
    friend class RunLoop;
    std::function<void()> _target;
    double _interval = 0;
    double _nextFire = 0;
    bool _valid = true;
};

class RunLoop {
public:
    static RunLoop& main();
    // Media time (seconds) as the host keeps it: fixed steps or the monotonic clock.
    double now() const { return _now; }
    void setNow(double seconds) { _now = seconds; }
    // One display refresh: every display link whose interval is due fires, then every due timer.
    // Returns how many sources fired.
    int refresh();
    // How many display links and timers are live (tests).
    size_t liveDisplayLinks() const;
    size_t liveTimers() const;
    // Forgets every source (between runs).
    void reset();

private:
    friend class DisplayLink;
    friend class Timer;
    std::vector<std::shared_ptr<DisplayLink>> _links;
    std::vector<std::shared_ptr<DisplayLink>> _pending;
    std::vector<std::shared_ptr<Timer>> _timers;
    double _now = 0;
};

// Media time: the host's clock.
double mediaTime();

// ---- Notifications ----

extern const char* const DidEnterBackgroundNotification;
extern const char* const WillEnterForegroundNotification;

class NotificationCenter {
public:
    static NotificationCenter& shared();
    void addObserver(const void* owner, const std::string& name, std::function<void()> callback);
    void removeObserver(const void* owner);
    void post(const std::string& name);
    size_t observerCount() const { return _observers.size(); }

private:
    struct Observer {
        const void* owner;
        std::string name;
        std::function<void()> callback;
    };
    std::vector<Observer> _observers;
};

// ---- Accelerometer ----

class AccelerometerDelegate {
public:
    virtual ~AccelerometerDelegate() {}
    virtual void accelerometerDidAccelerate(double x, double y, double z) = 0;
};

class Accelerometer {
public:
    static Accelerometer& shared();
    double updateInterval = 0;  // seconds; 0 = no samples
    AccelerometerDelegate* delegate = nullptr;
    // The device's attitude as a sample in g (the host sets it: keys, script).
    double x = 0, y = -1, z = 0;
    // Sends a sample when one is due at the run loop's time.
    void poll();

private:
    double _nextSample = 0;
};

// ---- Screen and application ----

struct Screen {
    Rect bounds;   // points
    float scale = 1.0f;
    bool answersScale = true;
};
// The main screen, or null when there is none.
Screen* mainScreen();
void setMainScreen(const Screen* screen);  // null: no screen

// The system version compared as numbers ("17.0"); tests may pretend an old one.
const std::string& systemVersion();
void setSystemVersion(const std::string& version);
// Numeric comparison of dotted versions: negative, 0 or positive.
int compareVersions(const std::string& a, const std::string& b);

// An array of the application's Info.plist ("UISupportedInterfaceOrientations"), or null.
const std::vector<std::string>* infoPlistArray(const std::string& key);
void setInfoPlistArray(const std::string& key, const std::vector<std::string>* values);  // null removes

// Whether a framework class exists ("CAMetalLayer" only when the host runs the Metal path).
bool classExists(const std::string& name);
void setClassAvailable(const std::string& name, bool available);

class Application {
public:
    static Application& shared();
    bool idleTimerDisabled = false;
    int statusBarOrientation = OrientationPortrait;
    // Opening a URL is logged and kept.
    bool openURL(const std::string& url);
    std::vector<std::string> openedURLs;
};

// A value of a notification payload: text, integer or dictionary.
struct Value {
    enum Kind { Text, Integer, Dictionary } kind = Text;
    std::string text;
    long integer = 0;
    std::vector<std::pair<std::string, Value>> entries;

    static Value makeText(const std::string& t);
    static Value makeInteger(long i);
    static Value makeDictionary(std::vector<std::pair<std::string, Value>> entries);
    // The entry of a dictionary, or null.
    const Value* find(const std::string& key) const;
    // Text of a text, the number of an integer written out, empty for a dictionary.
    std::string description() const;
};

struct LaunchOptions {
    bool hasURL = false;
    std::string url;
};

// The application delegate's protocol: the events the system sends.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() {}
    virtual bool didFinishLaunchingWithOptions(const LaunchOptions& options) = 0;
    virtual void applicationDidFinishLaunching() {}
    virtual void applicationWillTerminate() {}
    virtual void applicationDidBecomeActive() {}
    virtual void applicationWillResignActive() {}
    virtual void applicationDidReceiveMemoryWarning() {}
    virtual void applicationDidEnterBackground() {}
    virtual void applicationWillEnterForeground() {}
    virtual bool openURL(const std::string& url, const std::string* sourceApplication) {
        (void)url, (void)sourceApplication;
        return false;
    }
    virtual bool handleOpenURL(const std::string& url) {
        (void)url;
        return false;
    }
    virtual void didRegisterForRemoteNotificationsWithDeviceToken(const std::string& token) { (void)token; }
    virtual void didReceiveRemoteNotification(const Value& userInfo) { (void)userInfo; }
};

// Delegate classes by name, as the system makes the delegate from the name it is given.
using DelegateFactory = std::function<std::unique_ptr<ApplicationDelegate>()>;
void registerDelegateClass(const std::string& name, DelegateFactory factory);
std::unique_ptr<ApplicationDelegate> makeDelegate(const std::string& name);

// The application's main loop: makes the delegate of the named class, launches it and runs until
// the application terminates (implemented by the host, Host.cpp).
int UIApplicationMain(int argc, char** argv, const char* principalClass, const char* delegateClass);

// ---- OpenGL ES ----

// What the host gives the OpenGL ES context: its drawing surface.
class GLSurface {
public:
    virtual ~GLSurface() {}
    virtual bool makeCurrent() = 0;
    // The bound renderbuffer holds a finished frame of width x height: show it.
    virtual void present(uint32_t framebuffer, int width, int height) = 0;
};
void setGLSurface(GLSurface* surface);  // null: no OpenGL ES on this host
GLSurface* glSurface();

// The OpenGL ES context of a view (EAGLContext). All contexts share the host's surface.
class GLContext {
public:
    // A context of the API version; null when the host has no OpenGL ES or the version is not 2.
    static std::unique_ptr<GLContext> create(int apiVersion);
    static bool setCurrent(GLContext* context);
    static GLContext* current();
    ~GLContext();

    // Gives the bound renderbuffer RGBA8 storage of the layer's size (the view's bounds times its
    // content scale). False, and no storage, when the layer has no size or storage is refused.
    bool renderbufferStorageFromLayer(const View& layerView);
    // Shows the bound colour renderbuffer.
    bool presentRenderbuffer();

    // Host switch: layers refuse storage (a lost surface), so framebuffers come out incomplete.
    static void setLayerStorageAvailable(bool available);

private:
    GLContext() = default;
    int _storageWidth = 0, _storageHeight = 0;
};

// ---- Audio session ----

class AudioSession {
public:
    static AudioSession& shared();
    // 0 on success (the system's status codes otherwise). Each step is logged.
    int initialize();
    int otherAudioIsPlaying(uint32_t& value);
    bool setCategory(const std::string& category);
    const std::string& category() const { return _category; }
    // Switches for tests: a failing step, another application's audio playing.
    bool failInitialize = false;
    bool failQuery = false;
    bool failSetCategory = false;
    bool otherAudioPlaying = false;

private:
    std::string _category;
};

// Resets every piece of stand-in state above (between test runs).
void resetForTests();

}  // namespace ui

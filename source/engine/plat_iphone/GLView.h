#pragma once
// The OpenGL ES 2.0 view: owns its context and the screen framebuffer, drives the frames with a
// display link (a repeating timer where the system has none) and hands its touches to the platform
// game object. MyUIViewController is the root view controller around it.
//
// One frame: the driver fires updaterFunc, the delegate's update runs the game's update, and the
// game's IGame::RequestDraw ends in drawView, which draws and presents the frame at once.

#include <GLES2/gl2.h>

#include <memory>

#include "engine/plat_linux/host/UIKit.h"

class GLView;

// What the view asks of its delegate (the application delegate).
class GLViewDelegate {
public:
    virtual ~GLViewDelegate() {}
    // Whether the delegate wants the one-time set-up call.
    virtual bool respondsToSetupView() const { return true; }
    virtual void setupView(GLView* view) { (void)view; }
    virtual void drawView(GLView* view) = 0;
    virtual void update() = 0;
};

class GLView : public ui::View {
public:
    // The view, or null when its context cannot be made or made current.
    static std::unique_ptr<GLView> create(const ui::Rect& frame);
    ~GLView() override;

    void setDelegate(GLViewDelegate* delegate);
    GLViewDelegate* delegate() const { return _delegate; }

    void startAnimation();
    void stopAnimation();
    // Values below 1 are ignored; a running driver restarts with the new interval.
    void setAnimationFrameInterval(int frames);
    int animationFrameInterval() const { return _animationFrameInterval; }
    bool isAnimating() const { return _animating; }
    bool displayLinkSupported() const { return _displayLinkSupported; }
    double updateInterval() const { return _updateInterval; }
    void setUpdateInterval(double seconds) { _updateInterval = seconds; }

    // The driver's tick: the delegate's update.
    void updaterFunc();
    // Draws and presents one frame.
    void drawView();
    bool createFramebuffer();
    void destroyFramebuffer();

    GLuint viewFramebuffer() const { return _viewFramebuffer; }
    GLuint viewRenderbuffer() const { return _viewRenderbuffer; }
    GLuint depthRenderbuffer() const { return _depthRenderbuffer; }
    GLint backingWidth() const { return _backingWidth; }
    GLint backingHeight() const { return _backingHeight; }

    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

private:
    explicit GLView(const ui::Rect& frame) : ui::View(frame) {}
    bool initGLES();
    // Deletes the names without the log line (a framebuffer that never became complete).
    void deleteFramebufferNames();

    GLint _backingWidth = 0, _backingHeight = 0;
    std::unique_ptr<ui::GLContext> _context;
    GLuint _viewRenderbuffer = 0, _viewFramebuffer = 0, _depthRenderbuffer = 0;
    bool _animating = false;
    bool _displayLinkSupported = false;
    int _animationFrameInterval = 1;
    std::shared_ptr<ui::DisplayLink> _displayLink;
    std::shared_ptr<ui::Timer> _animationTimer;
    GLViewDelegate* _delegate = nullptr;
    bool _delegateSetup = false;
    double _updateInterval = 1.0 / 60.0;
    // An incomplete framebuffer is reported once per run of failing frames.
    bool _framebufferFailing = false;
};

// The root view controller of the OpenGL ES window.
class MyUIViewController : public ui::ViewController {
public:
    MyUIViewController();
    ~MyUIViewController() override;
    // The last one created.
    static MyUIViewController* instance();

    unsigned supportedInterfaceOrientations() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
    bool shouldAutorotate() override { return true; }
    bool prefersStatusBarHidden() override { return true; }

    void gameCenterViewControllerDidFinish() { dismissModal(); }
    void leaderboardViewControllerDidFinish() { dismissModal(); }
    void achievementViewControllerDidFinish() { dismissModal(); }
    // The mail composer's result: 0 cancelled, 1 saved, 2 sent, 3 failed.
    void mailComposeControllerDidFinish(int result);
};

// Whether an orientation is allowed by the orientation mode and the application's list of
// supported orientations (both orientations of the mode when there is no list).
bool orientationAllowed(int orientation, uint8_t orientationMode);

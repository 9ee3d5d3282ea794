#include "engine/plat_iphone/GLView.h"

#include <EGL/egl.h>
#include <GLES2/gl2ext.h>

#include <cstring>

#include "engine/IGame.h"
#include "engine/plat_iphone/CIphoneGame.h"
#include "engine/utils.h"

namespace {

const char* const kSource = "source/engine/plat_iphone/GLView";
MyUIViewController* g_viewController = nullptr;

PFNGLDISCARDFRAMEBUFFEREXTPROC discardEntry() {
    static bool probed = false;
    static PFNGLDISCARDFRAMEBUFFEREXTPROC entry = nullptr;
    if (!probed) {
        probed = true;
        const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
        if (extensions && std::strstr(extensions, "GL_EXT_discard_framebuffer"))
            entry = (PFNGLDISCARDFRAMEBUFFEREXTPROC)eglGetProcAddress("glDiscardFramebufferEXT");
    }
    return entry;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Life

std::unique_ptr<GLView> GLView::create(const ui::Rect& frame) {
    std::unique_ptr<GLView> view(new GLView(frame));
    if (!view->initGLES())
        return nullptr;
    return view;
}

bool GLView::initGLES() {
    multipleTouchEnabled = true;
    ui::Screen* screen = ui::mainScreen();
    if (screen && screen->answersScale && IGame::instance())
        contentScaleFactor = IGame::instance()->GetSettings().contentScale;
    opaque = true;
    _context = ui::GLContext::create(2);
    if (!_context || !ui::GLContext::setCurrent(_context.get())) {
        _context.reset();
        return false;
    }
    _animating = false;
    _displayLinkSupported = false;
    _animationFrameInterval = 1;
    _displayLink.reset();
    _animationTimer.reset();
    if (ui::compareVersions(ui::systemVersion(), "3.1") >= 0)
        _displayLinkSupported = true;
    _updateInterval = 1.0 / 60.0;
    return true;
}

GLView::~GLView() {
    stopAnimation();
    if (_context && _viewFramebuffer && ui::GLContext::setCurrent(_context.get()))
        destroyFramebuffer();
    if (ui::GLContext::current() == _context.get())
        ui::GLContext::setCurrent(nullptr);
    _context.reset();
}

void GLView::setDelegate(GLViewDelegate* delegate) {
    _delegate = delegate;
    _delegateSetup = !delegate || !delegate->respondsToSetupView();
}

// ---------------------------------------------------------------------------------------------------
// Frame driver

void GLView::startAnimation() {
    if (_animating)
        return;
    if (_displayLinkSupported) {
        _displayLink = ui::DisplayLink::create([this] { updaterFunc(); });
        _displayLink->frameInterval = _animationFrameInterval;
        _displayLink->addToRunLoop();
    } else {
        _animationTimer = ui::Timer::scheduledRepeating(_animationFrameInterval * 0.02, [this] { updaterFunc(); });
    }
    _animating = true;
}

void GLView::stopAnimation() {
    if (!_animating)
        return;
    if (_displayLink) {
        _displayLink->invalidate();
        _displayLink.reset();
    }
    if (_animationTimer) {
        _animationTimer->invalidate();
        _animationTimer.reset();
    }
    _animating = false;
}

void GLView::setAnimationFrameInterval(int frames) {
    if (frames < 1)
        return;
    _animationFrameInterval = frames;
    if (_animating) {
        stopAnimation();
        startAnimation();
    }
}

void GLView::updaterFunc() {
    if (_delegate)
        _delegate->update();
}

// ---------------------------------------------------------------------------------------------------
// Drawing

void GLView::drawView() {
    if (!_context || !ui::GLContext::setCurrent(_context.get()))
        return;
    if (!_viewFramebuffer && !createFramebuffer()) {
        // Drawing into an incomplete framebuffer gives nothing and hides the fault; the next frame
        // tries again with a fresh one.
        deleteFramebufferNames();
        return;
    }
    if (!_delegateSetup) {
        if (_delegate)
            _delegate->setupView(this);
        _delegateSetup = true;
    }

    glBindFramebuffer(GL_FRAMEBUFFER, _viewFramebuffer);
    if (_delegate)
        _delegate->drawView(this);

    // Depth and stencil are not needed once the frame is drawn; the colour is what is presented,
    // so it stays.
    const sGameSettings* gameSettings = IGame::instance() ? &IGame::instance()->GetSettings() : nullptr;
    if (gameSettings && gameSettings->depthBits != 0 && _depthRenderbuffer) {
        if (PFNGLDISCARDFRAMEBUFFEREXTPROC discard = discardEntry()) {
            GLenum attachments[2] = {GL_DEPTH_ATTACHMENT, GL_STENCIL_ATTACHMENT};
            glBindFramebuffer(GL_FRAMEBUFFER, _viewFramebuffer);
            discard(GL_FRAMEBUFFER, gameSettings->stencilBits != 0 ? 2 : 1, attachments);
        }
    }
    glBindFramebuffer(GL_FRAMEBUFFER, _viewFramebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, _viewRenderbuffer);
    _context->presentRenderbuffer();
}

bool GLView::createFramebuffer() {
    const bool quiet = _framebufferFailing;
    glGenFramebuffers(1, &_viewFramebuffer);
    glGenRenderbuffers(1, &_viewRenderbuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, _viewFramebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, _viewRenderbuffer);
    _context->renderbufferStorageFromLayer(*this);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, _viewRenderbuffer);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &_backingWidth);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &_backingHeight);
    if (!quiet)
        Logger::message("createFrameBuffer() %dx%d", _backingWidth, _backingHeight);

    const sGameSettings defaults;
    const sGameSettings& s = IGame::instance() ? IGame::instance()->GetSettings() : defaults;
    if (s.stencilBits != 0) {
        XAssert(s.stencilBits == 8 ? 1 : 0, "stencil_bits == 8", kSource, __LINE__);
        XAssert(s.depthBits == 24 ? 1 : 0, "depth_bits == 24", kSource, __LINE__);
        glGenRenderbuffers(1, &_depthRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, _depthRenderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8_OES, _backingWidth, _backingHeight);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, _depthRenderbuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, _depthRenderbuffer);
    } else if (s.depthBits != 0) {
        if (!quiet)
            Logger::message("depth_buffer: %d", s.depthBits);
        glGenRenderbuffers(1, &_depthRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, _depthRenderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, s.depthBits == 16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24_OES,
                              _backingWidth, _backingHeight);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, _depthRenderbuffer);
    }

    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) {
        glBindRenderbuffer(GL_RENDERBUFFER, _viewRenderbuffer);
        if (_framebufferFailing)
            Logger::message("createFrameBuffer() %dx%d complete again", _backingWidth, _backingHeight);
        _framebufferFailing = false;
        return true;
    }
    if (!_framebufferFailing)
        Logger::error("failed to make complete framebuffer object %x", status);
    _framebufferFailing = true;
    return false;
}

void GLView::deleteFramebufferNames() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (_viewFramebuffer)
        glDeleteFramebuffers(1, &_viewFramebuffer);
    if (_viewRenderbuffer)
        glDeleteRenderbuffers(1, &_viewRenderbuffer);
    if (_depthRenderbuffer)
        glDeleteRenderbuffers(1, &_depthRenderbuffer);
    _viewFramebuffer = _viewRenderbuffer = _depthRenderbuffer = 0;
}

void GLView::destroyFramebuffer() {
    Logger::message("destroyFrameBuffer()");
    deleteFramebufferNames();
}

// ---------------------------------------------------------------------------------------------------
// Touches

void GLView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesBegan(touches, event);
}
void GLView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesMoved(touches, event);
}
void GLView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesEnded(touches, event);
}
void GLView::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesCancelled(touches, event);
}

// ---------------------------------------------------------------------------------------------------
// Root view controller

bool orientationAllowed(int orientation, uint8_t orientationMode) {
    const std::vector<std::string>* list = ui::infoPlistArray("UISupportedInterfaceOrientations");
    auto listed = [list](const char* name) {
        for (const std::string& s : *list)
            if (s == name)
                return true;
        return false;
    };
    if (orientationMode == 1) {
        if (orientation == ui::OrientationLandscapeLeft)
            return list ? listed("UIInterfaceOrientationLandscapeLeft") : true;
        if (orientation == ui::OrientationLandscapeRight)
            return list ? listed("UIInterfaceOrientationLandscapeRight") : true;
        return false;
    }
    if (orientation == ui::OrientationPortrait)
        return list ? listed("UIInterfaceOrientationPortrait") : true;
    if (orientation == ui::OrientationPortraitUpsideDown)
        return list ? listed("UIInterfaceOrientationPortraitUpsideDown") : true;
    return false;
}

MyUIViewController::MyUIViewController() { g_viewController = this; }

MyUIViewController::~MyUIViewController() {
    if (g_viewController == this)
        g_viewController = nullptr;
}

MyUIViewController* MyUIViewController::instance() { return g_viewController; }

unsigned MyUIViewController::supportedInterfaceOrientations() {
    const uint8_t mode = IGame::instance() ? IGame::instance()->GetOrientationMode() : 0;
    return mode ? (ui::MaskLandscapeLeft | ui::MaskLandscapeRight) : (ui::MaskPortrait | ui::MaskPortraitUpsideDown);
}

bool MyUIViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientationAllowed(orientation, IGame::instance() ? IGame::instance()->GetOrientationMode() : 0);
}

void MyUIViewController::mailComposeControllerDidFinish(int result) {
    switch (result) {
    case 0:
    case 1:
    case 3:
        break;
    case 2:
        std::printf("mail sent\n");
        break;
    default:
        Logger::message("[ui] alert \"Email\": Sending_Failed_Unknown_Error [OK]");
        break;
    }
    dismissModal();
}

#include "engine/plat_iphone/MetalView.h"

#include "engine/IGame.h"
#include "engine/MetalRender/MetalRender.h"
#include "engine/plat_iphone/CIphoneGame.h"
#include "engine/plat_iphone/GLView.h"
#include "engine/utils.h"

namespace {
const char* const kSource = "source/engine/plat_iphone/MetalViewController";
}

// ---------------------------------------------------------------------------------------------------
// MetalView

MetalView::MetalView(const ui::Rect& frame) : ui::View(frame) {
    opaque = true;
    multipleTouchEnabled = true;
    _device = mtl::createSystemDefaultDevice();
    _metalLayer = std::make_unique<mtl::MetalLayer>(_device);
    _metalLayer->pixelFormat = mtl::PixelFormatBGRA8Unorm;
}

void MetalView::setContentScaleFactor(float scale) {
    ui::View::setContentScaleFactor(scale);
    _layerSizeDidUpdate = true;
}

void MetalView::layoutSubviews() {
    ui::View::layoutSubviews();
    _layerSizeDidUpdate = true;
}

mtl::DrawablePtr MetalView::currentDrawable() {
    if (!_currentDrawable)
        _currentDrawable = _metalLayer->nextDrawable();
    return _currentDrawable;
}

mtl::RenderPassDescriptorPtr MetalView::renderPassDescriptor() {
    mtl::DrawablePtr drawable = currentDrawable();
    if (drawable) {
        setupRenderPassDescriptorForTexture(drawable->texture());
    } else {
        Logger::error(">> ERROR: Failed to get a drawable!");
        _renderPassDescriptor.reset();
    }
    return _renderPassDescriptor;
}

void MetalView::setupRenderPassDescriptorForTexture(const mtl::TexturePtr& texture) {
    if (!_renderPassDescriptor)
        _renderPassDescriptor = std::make_shared<mtl::RenderPassDescriptor>();
    mtl::RenderPassColorAttachment& colour = _renderPassDescriptor->colorAttachments[0];
    colour.texture = texture;
    colour.loadAction = mtl::LoadActionClear;
    colour.clearColor = mtl::ClearColor{0, 0, 0, 1};
    colour.storeAction = mtl::StoreActionStore;

    auto attach = [&](mtl::PixelFormat format, mtl::TexturePtr& kept, mtl::RenderPassDepthAttachment& attachment,
                      double clear) {
        if (format == mtl::PixelFormatInvalid)
            return;
        if (kept && kept->width() == texture->width() && kept->height() == texture->height())
            return;
        mtl::TextureDescriptor d = mtl::TextureDescriptor::texture2D(format, texture->width(), texture->height(), false);
        d.textureType = mtl::TextureType2D;
        d.usage = mtl::TextureUsageRenderTarget;
        kept = _device->newTexture(d);
        attachment.texture = kept;
        attachment.loadAction = mtl::LoadActionDontCare;
        attachment.storeAction = mtl::StoreActionDontCare;
        attachment.clearDepth = clear;
    };
    attach(_depthPixelFormat, _depthTex, _renderPassDescriptor->depthAttachment, 1.0);
    attach(_stencilPixelFormat, _stencilTex, _renderPassDescriptor->stencilAttachment, 0.0);
}

void MetalView::releaseTextures() {
    _depthTex.reset();
    _stencilTex.reset();
    _msaaTex.reset();
}

void MetalView::display() {
    CIphoneGame* game = CIphoneGame::instance();
    if (!game)
        return;
    game->update();
    if (_layerSizeDidUpdate) {
        _metalLayer->drawableWidth = (uint32_t)(bounds().size.width * contentScaleFactor);
        _metalLayer->drawableHeight = (uint32_t)(bounds().size.height * contentScaleFactor);
        _layerSizeDidUpdate = false;
    }
    mtl::RenderPassDescriptorPtr descriptor = renderPassDescriptor();
    MetalRender::beginDrawable(descriptor);
    // The game's update may have ended the application.
    if (_currentDrawable && CIphoneGame::instance())
        CIphoneGame::instance()->drawView();
    MetalRender::presentDrawable(_currentDrawable, descriptor);
    _currentDrawable.reset();
}

void MetalView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesBegan(touches, event);
}
void MetalView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesMoved(touches, event);
}
void MetalView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesEnded(touches, event);
}
void MetalView::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) {
    if (CIphoneGame* game = CIphoneGame::instance())
        game->touchesCancelled(touches, event);
}

// ---------------------------------------------------------------------------------------------------
// MetalViewController

MetalViewController::MetalViewController() { initCommon(); }

void MetalViewController::initCommon() {
    MetalRender::create();
    ui::NotificationCenter::shared().addObserver(this, ui::DidEnterBackgroundNotification,
                                                 [this] { didEnterBackground(); });
    ui::NotificationCenter::shared().addObserver(this, ui::WillEnterForegroundNotification,
                                                 [this] { willEnterForeground(); });
    _interval = 1;
}

MetalViewController::~MetalViewController() {
    ui::NotificationCenter::shared().removeObserver(this);
    if (_timer)
        stopGameLoop();
}

void MetalViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    if (MetalView* view = dynamic_cast<MetalView*>(this->view())) {
        view->setDepthPixelFormat(mtl::PixelFormatDepth32Float);
        view->setStencilPixelFormat(mtl::PixelFormatInvalid);
    }
    // The renderer made at initialisation is replaced (and freed) by this one, which is the one
    // initialised and used.
    MetalRender::create();
    MetalRender::callInit();
}

void MetalViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    dispatchGameLoop();
}

void MetalViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    stopGameLoop();
}

void MetalViewController::dispatchGameLoop() {
    if (_timer)
        _timer->invalidate();
    _timer = ui::DisplayLink::create([this] { gameloop(); });
    _timer->frameInterval = (int)_interval;
    _timer->addToRunLoop();
    _gameLoopPaused = false;
}

void MetalViewController::stopGameLoop() {
    if (_timer) {
        _timer->invalidate();
        _timer.reset();
    }
}

void MetalViewController::gameloop() {
    const double now = ui::mediaTime();
    if (!_firstDrawOccurred) {
        _timeSinceLastDraw = 0;
        _timeSinceLastDrawPreviousTime = now;
        _firstDrawOccurred = true;
    } else {
        _timeSinceLastDraw = now - _timeSinceLastDrawPreviousTime;
        _timeSinceLastDrawPreviousTime = now;
    }
    MetalView* view = dynamic_cast<MetalView*>(this->view());
    XAssert(view ? 1 : 0, "[self.view isKindOfClass:[MetalView class]]", kSource, __LINE__);
    view->display();
}

void MetalViewController::setPaused(bool paused) {
    if (paused == _gameLoopPaused || !_timer)
        return;
    _gameLoopPaused = paused;
    _timer->paused = paused;
    if (paused)
        if (MetalView* view = dynamic_cast<MetalView*>(this->view()))
            view->releaseTextures();
}

unsigned MetalViewController::supportedInterfaceOrientations() {
    const uint8_t mode = IGame::instance() ? IGame::instance()->GetOrientationMode() : 0;
    return mode ? (ui::MaskLandscapeLeft | ui::MaskLandscapeRight) : ui::MaskPortrait;
}

bool MetalViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientationAllowed(orientation, IGame::instance() ? IGame::instance()->GetOrientationMode() : 0);
}

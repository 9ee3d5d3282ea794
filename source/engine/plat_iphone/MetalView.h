#pragma once
// The Metal path's view and its controller. The controller makes the Metal renderer, drives the
// frames with a display link, pauses it in the background and answers the orientation questions;
// the view owns the layer and the drawable, keeps a render pass descriptor whose depth (and
// stencil) textures follow the drawable's size, runs one game frame per tick and hands its touches
// to the platform game object.

#include <memory>

#include "engine/plat_linux/host/UIKit.h"
#include "engine/plat_linux/metal/Metal.h"

class MetalView : public ui::View {
public:
    explicit MetalView(const ui::Rect& frame);

    void setContentScaleFactor(float scale) override;
    void layoutSubviews() override;

    // The drawable of this frame (the layer's next one when there is none yet), or none.
    mtl::DrawablePtr currentDrawable();
    // The pass for the current drawable; none (logged) without a drawable.
    mtl::RenderPassDescriptorPtr renderPassDescriptor();
    void setupRenderPassDescriptorForTexture(const mtl::TexturePtr& texture);
    void releaseTextures();
    // One frame: the game's update, the renderer's frame on the drawable, the game's drawing.
    void display();

    mtl::PixelFormat depthPixelFormat() const { return _depthPixelFormat; }
    void setDepthPixelFormat(mtl::PixelFormat format) { _depthPixelFormat = format; }
    mtl::PixelFormat stencilPixelFormat() const { return _stencilPixelFormat; }
    void setStencilPixelFormat(mtl::PixelFormat format) { _stencilPixelFormat = format; }
    const mtl::DevicePtr& device() const { return _device; }
    mtl::MetalLayer* layer() const { return _metalLayer.get(); }
    const mtl::TexturePtr& depthTexture() const { return _depthTex; }
    const mtl::TexturePtr& stencilTexture() const { return _stencilTex; }

    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

private:
    std::unique_ptr<mtl::MetalLayer> _metalLayer;
    bool _layerSizeDidUpdate = true;
    mtl::TexturePtr _depthTex, _stencilTex, _msaaTex;
    mtl::DrawablePtr _currentDrawable;
    mtl::RenderPassDescriptorPtr _renderPassDescriptor;
    mtl::DevicePtr _device;
    mtl::PixelFormat _depthPixelFormat = mtl::PixelFormatInvalid;
    mtl::PixelFormat _stencilPixelFormat = mtl::PixelFormatInvalid;
};

class MetalViewController : public ui::ViewController {
public:
    MetalViewController();
    ~MetalViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void dispatchGameLoop();
    void stopGameLoop();
    void gameloop();
    void setPaused(bool paused);
    bool isPaused() const { return _gameLoopPaused; }
    double timeSinceLastDraw() const { return _timeSinceLastDraw; }
    unsigned interval() const { return _interval; }
    // Applies to the next display link.
    void setInterval(unsigned interval) { _interval = interval; }
    bool hasGameLoop() const { return _timer != nullptr; }

    void didEnterBackground() { setPaused(true); }
    void willEnterForeground() { setPaused(false); }

    unsigned supportedInterfaceOrientations() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
    bool shouldAutorotate() override { return true; }
    bool prefersStatusBarHidden() override { return true; }

private:
    void initCommon();

    std::shared_ptr<ui::DisplayLink> _timer;
    bool _firstDrawOccurred = false;
    double _timeSinceLastDrawPreviousTime = 0;
    bool _gameLoopPaused = false;
    unsigned _interval = 1;
    double _timeSinceLastDraw = 0;
};

#include "game/menu/ZelvanPanelContainer.h"

#include "engine/ConfigStore.h"
#include "engine/render/RenderTarget.h"
#include "engine/ui/Page.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"

namespace Zelvan {

void PanelContainer::ParticleEvent::onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) {
    if (!_container || system != _container->_particleSystem)
        return;
    for (Panel* panel : _container->_panels)
        if (panel->onEmitterReleased(emitter, system))
            return;
}

PanelContainer* PanelContainer::create(UiEventHandler* handler, const std::string& name) {
    return new PanelContainer(handler, name);
}

PanelContainer::PanelContainer(UiEventHandler* handler, const std::string& name)
    : _name(name), _eventHandler(handler) {
    const ConfigStore& config = ConfigStore::instance();
    _textScale = 0.3f;
    _textScale = config.getFloat(_name + ".textScale", _textScale);
    std::string scrollText;
    Vector3ToString(scrollText, _scrollMul);
    Vector3FromString(_scrollMul, config.getString(_name + ".scrollMul", scrollText.c_str()));

    _particleEvent._container = this;
    _particleSystem = createParticleSystem("particles");
    if (_particleSystem)
        _particleSystem->_eventHandler = &_particleEvent;

    if (RenderTarget* target = _renderTarget) {
        // The interface is drawn over what is already on the screen: depth cleared, colour kept.
        target->_name = _name;
        target->_external = 1;
        target->_flags = RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer |
                         RenderTarget::FlagColourTexture;
        target->_clearOnBegin = 1;
        target->_clearMask = RenderTarget::ClearDepth;
        target->_sortType = RenderTarget::SortYDescending;
    }
}

PanelContainer::~PanelContainer() {
    // The particle system goes before the panels: releasing its emitters tells the panels'
    // effects, which must still be there. Unbinding first stops the effects' emitters in the
    // live system, so no effect keeps one past it.
    for (Panel* panel : _panels)
        panel->setParticleSystem(nullptr);
    if (_particleSystem) {
        destroyParticleSystem(_particleSystem);
        _particleSystem = nullptr;
    }
    for (Panel* panel : _panels)
        delete panel;
    _panels.clear();
}

void PanelContainer::loadPanels(UiEventHandler* handler, const std::string& setName) {
    for (const std::string& word : ConfigStore::instance().getList(setName + ".pages")) {
        Panel* panel = Panel::create(this, handler, word);
        if (!panel)
            continue;
        panel->setParticleSystem(_particleSystem);
        panel->setTouchLocked(_changePending);
        _panels.push_back(panel);
    }
}

void PanelContainer::load(const std::string& setName) {
    loadPanels(_eventHandler, setName);
    alignViews();
}

Panel* PanelContainer::findPanel(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (Panel* panel : _panels)
        if (panel->getName() == name)
            return panel;
    return nullptr;
}

bool PanelContainer::setItemText(const std::string& panel, const std::string& item, int32_t line,
                                 const std::string& text) {
    Panel* p = findPanel(panel);
    PanelItem* i = p ? p->findItem(item) : nullptr;
    if (!i)
        return false;
    i->setText(line, text);
    return true;
}

bool PanelContainer::setItemVisible(const std::string& panel, const std::string& item, bool visible) {
    Panel* p = findPanel(panel);
    PanelItem* i = p ? p->findItem(item) : nullptr;
    if (!i)
        return false;
    i->setVisible(visible);
    return true;
}

// The touch operations walk the list by index: an event a touch runs may load more panels.
bool PanelContainer::touchBegan(int32_t finger, const Vector3& point) {
    bool result = false;
    for (size_t i = 0; i < _panels.size(); ++i)
        result = _panels[i]->isActive() ? _panels[i]->touchBegan(finger, point) : false;
    return result;
}

bool PanelContainer::touchMoved(int32_t finger, const Vector3& point) {
    bool result = false;
    for (size_t i = 0; i < _panels.size(); ++i) {
        result = _panels[i]->isActive();
        if (result)
            _panels[i]->touchMoved(finger, point);
    }
    return result;
}

bool PanelContainer::touchEnded(int32_t finger, const Vector3& point) {
    bool result = false;
    for (size_t i = 0; i < _panels.size(); ++i) {
        result = _panels[i]->isActive();
        if (result)
            _panels[i]->touchEnded(finger, point);
    }
    return result;
}

void PanelContainer::setChangePending(bool pending) {
    _changePending = pending;
    for (Panel* panel : _panels)
        panel->setTouchLocked(pending);
}

void PanelContainer::update(float dt) {
    for (Panel* panel : _panels) {
        // A hidden panel whose page is still on screen gets one more update, which takes the
        // page off screen and tells its extensions (a panel without automatic items stops
        // being visible the moment it is hidden).
        const Page* page = panel->getPage();
        if (panel->isVisible() || (page && page->_shown))
            panel->update(dt);
    }
    UIObject::update();
    if (_particleSystem) {
        _particleSystem->update(dt, getCamera());
        _particleSystem->buildGeometry();
    }
}

}  // namespace Zelvan

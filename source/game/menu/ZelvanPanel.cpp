#include "game/menu/ZelvanPanel.h"

#include "engine/ConfigStore.h"
#include "engine/utils.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine/ui/Page.h"
#include "engine/ui/ScrollView.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanPanelExtension.h"
#include "game/menu/ZelvanPanelItem.h"

namespace {

const char* const kSource = "source/game/menu/ZelvanPanel.cpp";

// Below this squared distance (normalised screen units) a touch over scrolling content is a tap.
const float kTapDistanceSq = 0.001f;

// The finger position (y down) in the interface's screen space (y up).
Vector3 screenPoint(const Vector3& point) { return Vector3(point.x, 1.0f - point.y, 0.5f); }

template <class Visit>
void visitTree(Object* node, Visit&& visit) {
    visit(node);
    for (size_t i = 0; i < node->_children.size(); ++i)
        visitTree(node->_children[i], visit);
}

}  // namespace

Panel* Panel::create(UIObject* world, UiEventHandler* handler, const std::string& entry) {
    if (!world)
        return nullptr;
    Panel* panel = new Panel(world, entry);
    panel->load(handler, entry);
    return panel;
}

Panel::~Panel() {
    for (PanelItem* item : _items)
        delete item;
}

void Panel::load(UiEventHandler* handler, const std::string& entry) {
    XAssert(!_page ? 1 : 0, "!_page", kSource, __LINE__);
    const ConfigStore& config = ConfigStore::instance();
    _name = config.getString(entry + ".name", entry.c_str());
    _page = _world->loadPage(config.getString(entry + ".sceneFile", ""), handler);
    XAssert(_page ? 1 : 0, "_page", kSource, __LINE__);
    if (!_page)
        return;
    _page->hide();
    // Only the items bring parts of the page back; a node in no item (a button among them)
    // stays hidden and cannot be touched.
    for (Object* node : _page->_nodes)
        setObjectActive(node, false);
    for (const std::string& word : config.getList(entry + ".items"))
        if (PanelItem* item = PanelItem::createFromConfig(_world, this, word))
            _items.push_back(item);
}

void Panel::addExtension(Zelvan::PanelExtension* extension) {
    if (extension)
        _extensions.push_back(extension);
}

PanelItem* Panel::findItem(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (PanelItem* item : _items)
        if (item->getName() == name)
            return item;
    return nullptr;
}

Object* Panel::findNode(const std::string& name) const {
    if (name.empty())
        return nullptr;
    if (_page)
        if (Object* node = _page->findObject(name))
            return node;
    return _world->findEmpty(name);
}

PanelItem* Panel::cloneItem(const std::string& entry) {
    if (!_page)
        return nullptr;
    Object* original = findNode(ConfigStore::instance().getString(entry + ".object", ""));
    if (!original)
        return nullptr;
    ObjectPool* pool = _page->getObjectPool(original->getSourceName());
    Object* copy = pool ? pool->acquire(0) : nullptr;
    if (!copy)
        return nullptr;
    // A pooled copy comes with its key frames as the object file (or its last user) left them;
    // one still playing would hold the item in its states for ever.
    visitTree(copy, [](Object* n) {
        if (KeyFramePlayer* player = n->_animation) {
            rewindObjectAnimation(n, 0);
            player->_playing = 0;
            player->_loop = 0;
        }
    });
    PanelItem* item = PanelItem::create(_world, copy, entry);
    if (!item) {
        pool->release(copy);
        return nullptr;
    }
    if (_particleSystem)
        item->setParticleSystem(_particleSystem);
    _items.push_back(item);
    return item;
}

void Panel::setParticleSystem(PSParticleSystem* system) {
    _particleSystem = system;
    for (PanelItem* item : _items)
        item->setParticleSystem(system);
}

bool Panel::showItem(const std::string& name, int32_t show) {
    PanelItem* item = findItem(name);
    if (!item)
        return false;
    if (show == 1)
        item->show();
    else
        item->hide();
    return true;
}

bool Panel::setItemColor(const std::string& name, const Vector4& colour) {
    PanelItem* item = findItem(name);
    if (!item)
        return false;
    item->setColor(colour);
    return true;
}

bool Panel::setItemText(const std::string& name, int32_t line, const std::string& text) {
    PanelItem* item = findItem(name);
    if (!item)
        return false;
    item->setText(line, text);
    return true;
}

bool Panel::setItemTextColor(const std::string& name, int32_t line, const Vector4& colour) {
    PanelItem* item = findItem(name);
    if (!item)
        return false;
    item->setTextColor(line, colour);
    return true;
}

bool Panel::playItemAnimation(const std::string& name, const std::string& conductor) {
    PanelItem* item = findItem(name);
    return item ? item->playAnimation(conductor) : false;
}

// ---------------------------------------------------------------------------------------------
// Showing and hiding

void Panel::show(bool back) {
    if (_shown)
        return;
    _shown = true;
    if (_page)
        _page->show();
    for (PanelItem* item : _items)
        if (item->isAutomatic())
            item->show();
    for (Zelvan::PanelExtension* e : _extensions)
        e->onShow(back);
}

void Panel::hide(bool forward) {
    if (!_shown)
        return;
    _shown = false;
    forgetTouch();
    for (PanelItem* item : _items)
        if (item->isAutomatic())
            item->hide();
    for (Zelvan::PanelExtension* e : _extensions)
        e->onHide(forward);
}

bool Panel::isActive() const {
    // A panel on its way out takes no more touches, even while its items still stand.
    if (!_shown)
        return false;
    bool anyAutomatic = false;
    for (PanelItem* item : _items) {
        if (!item->isAutomatic())
            continue;
        anyAutomatic = true;
        if (item->state() == PanelItem::StateShown)
            return true;
    }
    // Nothing animates such a panel in: it is settled as soon as it is shown.
    return !anyAutomatic;
}

bool Panel::isVisible() const {
    if (_shown)
        return true;
    for (PanelItem* item : _items)
        if (item->isAutomatic() && item->state() != PanelItem::StateHidden)
            return true;
    return false;
}

void Panel::update(float dt) {
    for (PanelItem* item : _items)
        item->update(dt);
    for (Zelvan::PanelExtension* e : _extensions)
        e->update(dt);
    if (_shown)
        return;
    for (PanelItem* item : _items)
        if (item->isAutomatic() && item->state() != PanelItem::StateHidden)
            return;
    if (_page && _page->_shown) {
        _page->hide();
        for (PanelItem* item : _items)
            item->reset();
        for (Zelvan::PanelExtension* e : _extensions)
            e->onHidden();
    }
}

// ---------------------------------------------------------------------------------------------
// Touches

View* Panel::hitTest(const Vector3& p) const {
    if (!_page)
        return nullptr;
    View* view = _page->hitTest(p);
    // A hidden node hides what lies under it, even a child shown on its own.
    for (Object* n = view; n; n = n->_parent)
        if (n->_hidden)
            return nullptr;
    return view;
}

void Panel::forgetTouch() {
    if (_scrollView)
        _scrollView->touchCancelled(_touchPoint);
    _scrollView = nullptr;
    _touchedView = nullptr;
    _touchedExtension = nullptr;
    _dragged = false;
}

bool Panel::touchBegan(int32_t finger, const Vector3& point) {
    if (_touchLocked)
        return false;
    const Vector3 p = screenPoint(point);
    if (_scrollView)
        _scrollView->touchCancelled(p);
    _scrollView = nullptr;
    _dragged = false;
    _touchPoint = p;
    View* view = hitTest(p);
    _touchedView = view;
    if (view) {
        view->touchBegan(p);
        // The down event may have hidden the panel, which forgets the touch.
        if (_touchedView != view)
            return true;
        // The drag goes to the scrolling content that holds the view; a button's down event has
        // run once already and does not run again for it.
        _scrollView = view->nearestScrollView();
        if (_scrollView && _scrollView != view)
            _scrollView->touchBegan(p);
    }
    for (Zelvan::PanelExtension* e : _extensions) {
        if (_touchedView && !e->acceptsTouchOverView())
            continue;
        if (e->touchBegan(finger, point)) {
            _touchedExtension = e;
            break;
        }
    }
    return _touchedView || _touchedExtension;
}

void Panel::touchMoved(int32_t finger, const Vector3& point) {
    if (_touchLocked)
        return;
    if (_scrollView) {
        const Vector3 p = screenPoint(point);
        const Vector3 d = p - _touchPoint;
        if (d.x * d.x + d.y * d.y >= kTapDistanceSq)
            _dragged = true;
        _scrollView->touchMoved(p);
    }
    if (_touchedExtension)
        _touchedExtension->touchMoved(finger, point);
}

void Panel::touchEnded(int32_t finger, const Vector3& point) {
    if (_touchedView) {
        const Vector3 p = screenPoint(point);
        if (_touchLocked) {
            if (_scrollView)
                _scrollView->touchCancelled(p);
        } else {
            if (_scrollView && _scrollView != _touchedView)
                _scrollView->touchEnded(p);
            // A finger that dragged the content is no tap on what it started on.
            if (!(_scrollView && _dragged) && hitTest(p) == _touchedView) {
                View* view = _touchedView;
                view->touchEnded(p);
                for (PanelItem* item : _items)
                    if (isObjectInTree(item->getNode(), view)) {
                        item->click();
                        break;
                    }
            } else if (_scrollView == _touchedView) {
                _scrollView->touchEnded(p);
            }
        }
        _touchedView = nullptr;
        _scrollView = nullptr;
        _dragged = false;
    }
    if (_touchedExtension) {
        Zelvan::PanelExtension* e = _touchedExtension;
        _touchedExtension = nullptr;
        e->touchEnded(finger, point);
    }
}

bool Panel::onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) {
    for (PanelItem* item : _items)
        if (item->onEmitterReleased(emitter, system))
            return true;
    return false;
}

#pragma once
// One menu screen: a page loaded from the panel's scene file, the items that animate parts of it
// in and out, and the extensions that give the screen its behaviour. The panel container makes,
// updates and owns the panels and hands them the touches of the first finger; the menu
// controller shows and hides them. A panel counts as hidden only once every automatic item has
// finished playing "out".
//
// Touches: the finger point is normalised to the screen with y down; the page is hit-tested in
// the interface's screen space (x right, y up). The view hit when the finger goes down gets its
// touchBegan (a button's down event); when it lies in a scroll view, that scroll view gets the
// begin, the moves and the end, and a lift after a drag is no tap. A lift over the same view
// that was touched runs its touchEnded (a button's up event) and plays "click" on the first item
// whose tree holds it. While touches are locked (a panel change is pending) views get nothing and
// extensions get only the end of a touch they already took.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"

class Object;
class Page;
class PanelItem;
class PSEmitter;
class PSParticleSystem;
class UIObject;
class UiEventHandler;
class View;

namespace Zelvan {
class PanelExtension;
}

class Panel {
public:
    // Null without a world; otherwise the panel loaded from the entry's keys.
    static Panel* create(UIObject* world, UiEventHandler* handler, const std::string& entry);
    // Deletes the items; the page stays with the world, the extensions with their owner.
    ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // Loads the page (hidden, every node inactive) and the items of the entry; once only.
    void load(UiEventHandler* handler, const std::string& entry);

    // Not owned; kept in the order added (touches and notifications follow it).
    void addExtension(Zelvan::PanelExtension* extension);
    PanelItem* findItem(const std::string& name) const;
    // The page node of that name, else the world's EMPTY node of that name.
    Object* findNode(const std::string& name) const;
    // An extra item on a pooled copy of the entry's ".object" node, appended to the items;
    // stopped and rewound. Null when none can be made.
    PanelItem* cloneItem(const std::string& entry);
    void setParticleSystem(PSParticleSystem* system);

    // Each is false when no item has the name.
    bool showItem(const std::string& item, int32_t show);  // show exactly 1: show, else hide
    bool setItemColor(const std::string& item, const Vector4& colour);
    bool setItemText(const std::string& item, int32_t line, const std::string& text);
    bool setItemTextColor(const std::string& item, int32_t line, const Vector4& colour);
    // The conductor's answer when the item exists.
    bool playItemAnimation(const std::string& item, const std::string& conductor);

    void show(bool back);
    void hide(bool forward);
    // Settled on screen: an automatic item is shown; a shown panel without automatic items
    // counts as settled at once. Only active panels take touches.
    bool isActive() const;
    // Shown, or an automatic item still entering, shown or leaving.
    bool isVisible() const;
    void update(float dt);

    bool touchBegan(int32_t finger, const Vector3& point);
    void touchMoved(int32_t finger, const Vector3& point);
    void touchEnded(int32_t finger, const Vector3& point);
    // While set, views get no touches and extensions only the ends of touches they hold.
    void setTouchLocked(bool locked) { _touchLocked = locked; }
    bool isTouchLocked() const { return _touchLocked; }

    // True when an item's effects knew the released emitter.
    bool onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system);

    const std::string& getName() const { return _name; }
    UIObject* getWorld() const { return _world; }
    Page* getPage() const { return _page; }
    const std::vector<PanelItem*>& getItems() const { return _items; }
    const std::vector<Zelvan::PanelExtension*>& getExtensions() const { return _extensions; }
    bool isShown() const { return _shown; }
    View* getTouchedView() const { return _touchedView; }
    Zelvan::PanelExtension* getTouchedExtension() const { return _touchedExtension; }

    std::string _name;
    UIObject* _world = nullptr;
    Page* _page = nullptr;
    std::vector<PanelItem*> _items;
    std::vector<Zelvan::PanelExtension*> _extensions;
    bool _shown = false;
    View* _touchedView = nullptr;
    Zelvan::PanelExtension* _touchedExtension = nullptr;
    // The scroll view that drags with the current touch, and whether the finger dragged.
    View* _scrollView = nullptr;
    Vector3 _touchPoint;
    bool _dragged = false;
    bool _touchLocked = false;
    // Bound to the items, and to items cloned later.
    PSParticleSystem* _particleSystem = nullptr;

private:
    Panel(UIObject* world, const std::string& name) : _name(name), _world(world) {}
    // The page's hit, unless a hidden node lies above the view.
    View* hitTest(const Vector3& screenPoint) const;
    // Ends the current touch without events (a drag is cancelled).
    void forgetTouch();
};

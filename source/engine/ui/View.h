#pragma once
// Touchable nodes of interface pages. A View is a scene node that the interface world made from a
// page node whose class is "View" (or one of the widget classes below); it keeps its screen
// rectangles (filled by UIObject), its nested views and the events a Button runs.
//
// Screen space: x 0 (left) to 1 (right), y 0 (bottom) to 1 (top), z a depth the hit test ignores.
//
// Touches: the panel showing the page calls touchBegan on the view hit when the finger goes down
// and touchEnded when the finger is lifted over the same view. A drag over scrolling content goes
// to the scroll view that holds the touched view (nearestScrollView): touchBegan starts the drag
// there, touchMoved scrolls, touchEnded stops it. A button's down event runs from its own
// touchBegan only; touchStart would run it again, so drags never start through a button.
//
// Ownership: views are nodes of their page's scene, owned like any other node. The child-view
// list, the parent view and the events are not owned.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine_game/Object.h"

class Page;
class ScrollView;
class UIObject;
class UiEvent;
class UiEventHandler;

class View : public Object {
public:
    // What kind() answers: the only type test the widgets use.
    enum Kind { KindView = 0, KindButton = 1, KindScrollView = 2, KindTextView = 3 };

    // Joins the parent node's children; enabled, no events, no parent view, changed set (so the
    // next interface update gives it its rectangles).
    explicit View(Object* parent);
    // Leaves the interface world's and the page's lists and its parent view's children; its
    // child views forget it as their parent. The child views themselves go with the node tree.
    ~View() override;

    // The factory the interface world uses for the class name "View".
    static View* create(UIObject* ui, Page* page, Object* parent);

    // Updates the nested views only (a nested scroll view still springs back); other child nodes
    // are left to whoever drives them.
    void update() override;
    // Also marks the view changed, so the union rectangles around it stop covering a hidden
    // view (and cover a shown one) at the next interface update.
    void setHidden(bool hidden) override;

    // One page-file property of the view's node, after construction. A plain view ignores all.
    virtual void setAttribute(const std::string& key, const std::string& value, UiEventHandler* handler);
    virtual int kind() const { return KindView; }
    // Stores the point as the touch point.
    virtual void touchStart(const Vector3& point);
    // The tap test (tapTest); nothing is stored.
    virtual bool touchBegan(const Vector3& point);
    virtual bool touchMoved(const Vector3& point);
    virtual void touchEnded(const Vector3& point) { (void)point; }
    virtual void touchCancelled(const Vector3& point) { (void)point; }
    virtual void touchOutside(const Vector3& point) { (void)point; }

    // Whether the touch is still a tap: under a ScrollView (kind exactly 2; a TextView does not
    // count) true while the squared distance from the stored touch point is below 0.001; true
    // when no ancestor view is a ScrollView.
    bool tapTest(const Vector3& point) const;

    // True for a ScrollView or a TextView.
    bool scrolls() const;
    // This view when it scrolls, else its nearest ancestor view that does; null when none. A
    // panel forwards a drag that began over this view there.
    ScrollView* nearestScrollView();

    // Whether the hit test may take this view for the point: shown, enabled and the point strictly
    // inside the union rectangle (an edge is outside).
    bool containsPoint(float x, float y) const;

    // Screen rectangles (see UIObject::computeScreenRect): the union of the view, its visible
    // child views (and a text view's text), and the view's own bounds box.
    Vector3 _unionLow;
    Vector3 _unionHigh;
    Vector3 _ownLow;
    Vector3 _ownHigh;
    std::vector<View*> _childViews;
    View* _parentView = nullptr;
    UiEvent* _upEvent = nullptr;    // "onTouchUpInside" (buttons)
    UiEvent* _downEvent = nullptr;  // "onTouch" (buttons)
    uint8_t _enabled = 1;
    // Set by the view's Transform whenever its world matrix is recomputed; cleared when the
    // interface world recomputes the rectangles.
    uint8_t _changed = 0;
    Vector3 _touchPoint;

private:
    friend class UIObject;
    friend class Page;

    // The lists that hold the view; kept so a view freed on its own leaves them.
    UIObject* _ui = nullptr;
    Page* _page = nullptr;
};

// A view that runs the events bound to it by name: "onTouch" when the finger goes down on it,
// "onTouchUpInside" when it is lifted over it.
class Button : public View {
public:
    explicit Button(Object* parent) : View(parent) {}

    // The factory the interface world uses for the class name "Button".
    static Button* create(UIObject* ui, Page* page, Object* parent);

    // "onTouchUpInside" and "onTouch" bind the first event of that exact name in the handler's
    // list (none matching: no event; a later property replaces an earlier binding). Other keys,
    // and every key without a handler, are ignored.
    void setAttribute(const std::string& key, const std::string& value, UiEventHandler* handler) override;
    int kind() const override { return KindButton; }
    // Runs the down event, then stores the point.
    void touchStart(const Vector3& point) override;
    // Runs the down event, then the tap test.
    bool touchBegan(const Vector3& point) override;
    // Runs the up event.
    void touchEnded(const Vector3& point) override;
};

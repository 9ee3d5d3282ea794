#pragma once
// Views whose child views form content a finger drags across them. The drag moves the child
// views (vertically: the axis factors are (0, 1, 0)), is damped when the content is pulled away
// from the view's edges, and while no drag is going on the content springs back toward them. A
// TextView also carries one text node along with the scrolling.
//
// A drag: touchBegan (or touchStart) with dragging off stores the point and turns dragging on;
// each later touchBegan or touchMoved scrolls by the movement since the stored point; touchEnded
// or touchCancelled turns dragging off. A panel sends the moves and the end of a touch that began
// over a view inside the scroll view to View::nearestScrollView of that view.

#include <cstdint>

#include "engine/math.h"
#include "engine/ui/View.h"

class Page;
class UIObject;

class ScrollView : public View {
public:
    // ui: the world whose active camera turns screen movements into world movements.
    ScrollView(UIObject* ui, Object* parent);

    // The factory the interface world uses for the class name "ScrollView".
    static ScrollView* create(UIObject* ui, Page* page, Object* parent);

    // The spring-back, once per frame (nothing while disabled or dragging), then the nested views.
    void update() override;
    int kind() const override { return KindScrollView; }
    // Stores the point; dragging on.
    void touchStart(const Vector3& point) override;
    // Dragging off: stores the point and turns dragging on (no movement). Dragging on: scrolls by
    // the movement since the stored point and stores the point. Always true.
    bool touchBegan(const Vector3& point) override;
    bool touchMoved(const Vector3& point) override;
    // Dragging off.
    void touchEnded(const Vector3& point) override;
    void touchCancelled(const Vector3& point) override;

    // Low and high corners of the content (the visible child views' union rectangles; a text view
    // without child views measures its text rectangle); returns high - low, zero without content.
    virtual Vector3 contentBounds(Vector3& low, Vector3& high) const;
    // Moves the content by a screen delta turned into world units at the view's depth, damped by
    // scrollLimits; the offset grows by the step, which is returned. Nothing moves without an
    // active camera.
    virtual Vector3 scrollBy(const Vector3& delta);
    // Per-axis factors (0..1) that slow a drag pulling the content away from an edge it has left;
    // a gap of 0.1 of the screen or more stops it.
    virtual Vector3 scrollLimits(const Vector3& delta) const;
    // Moves the child views by the difference to the current offset (times the axis factors).
    virtual void setScrollOffset(const Vector3& offset);

    Vector3 _scrollOffset;
    Vector3 _velocity;
    Vector3 _axisFactors{0, 1, 0};
    UIObject* _interfaceWorld = nullptr;
    uint8_t _dragging = 0;

protected:
    // Moves every child view's local position by d.
    void moveChildViews(const Vector3& d);
    // Moves what scrolls besides the child views (a text view's text) by d.
    virtual void moveText(const Vector3& d) { (void)d; }
    // The drag step shared by touchBegan and touchMoved.
    void drag(const Vector3& point);
};

// A scroll view that also moves one text node (its first child node when it has no child views).
class TextView : public ScrollView {
public:
    TextView(UIObject* ui, Object* parent);
    ~TextView() override;

    // The factory the interface world uses for the class name "TextView".
    static TextView* create(UIObject* ui, Page* page, Object* parent);

    // Takes the first child node as the text node when there are no child views (once; later
    // calls keep it). A moving text node marks the view changed, so its text rectangle follows.
    void init() override;
    int kind() const override { return KindTextView; }
    // Also moves the text node by the full difference, without axis factors.
    void setScrollOffset(const Vector3& offset) override;

    Object* _textNode = nullptr;
    // Screen rectangle of the text node's bounds, filled with the view's rectangles.
    Vector3 _textLow;
    Vector3 _textHigh;

protected:
    void moveText(const Vector3& d) override;
};

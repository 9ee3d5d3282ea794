#include "engine/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "engine/clock.h"
#include "engine/ui/UIObject.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"

namespace {

const float kFar = 10000000.0f;

void widen(Vector3& low, Vector3& high, const Vector3& a, const Vector3& b) {
    low = Vector3(std::min(low.x, std::min(a.x, b.x)), std::min(low.y, std::min(a.y, b.y)),
                  std::min(low.z, std::min(a.z, b.z)));
    high = Vector3(std::max(high.x, std::max(a.x, b.x)), std::max(high.y, std::max(a.y, b.y)),
                   std::max(high.z, std::max(a.z, b.z)));
}

// A drag that pulls the content further from an edge it has left by gap (screen units) keeps
// 1 - 10 x gap of its movement, none from a gap of 0.1 on.
float resistance(float gap) {
    float w = 10.0f * std::fabs(gap);
    return w > 1.0f ? 0.0f : 1.0f - w;
}

// Spring speed (world units a second) for a gap between the content and the view's edge.
float springSpeed(float gap) {
    float w = std::max(0.0f, 10.0f * std::fabs(gap));
    return w > 1.0f ? 3.0f : 3.0f * w;
}

bool isZero(const Vector3& v) { return v.x == 0 && v.y == 0 && v.z == 0; }

bool isFinite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

ScrollView::ScrollView(UIObject* ui, Object* parent) : View(parent), _interfaceWorld(ui) {}

ScrollView* ScrollView::create(UIObject* ui, Page*, Object* parent) { return new ScrollView(ui, parent); }

void ScrollView::update() {
    if (_enabled) {
        _velocity = Vector3();
        Vector3 low, high;
        const Vector3 size = contentBounds(low, high);
        if (size.lengthSquared() != 0 && !_dragging) {
            if (_scrollOffset.x > 0 && low.x > _ownLow.x)
                _velocity.x -= springSpeed(low.x - _ownLow.x);
            else if (_scrollOffset.x < 0 && high.x < _ownHigh.x)
                _velocity.x += springSpeed(_ownHigh.x - high.x);
            if (_scrollOffset.y < 0 && high.y < _unionHigh.y)
                _velocity.y += springSpeed(_unionHigh.y - high.y);
            else if (_scrollOffset.y > 0 && low.y > _unionLow.y)
                _velocity.y -= springSpeed(_unionLow.y - low.y);
        }
        _velocity = Vector3(_velocity.x * _axisFactors.x, _velocity.y * _axisFactors.y, _velocity.z * _axisFactors.z);
        const Vector3 d = _velocity * frameTime().dt;
        // A still content is not moved: moving it would mark every view changed each frame.
        if (!isZero(d) && isFinite(d)) {
            moveChildViews(d);
            moveText(d);
            _scrollOffset += d;
        }
    }
    View::update();
}

void ScrollView::touchStart(const Vector3& point) {
    _touchPoint = point;
    _dragging = 1;
}

void ScrollView::drag(const Vector3& point) {
    if (!_dragging) {
        // The first point of a drag only anchors it: scrolling from a stale point would jump.
        touchStart(point);
        return;
    }
    scrollBy(point - _touchPoint);
    _touchPoint = point;
}

bool ScrollView::touchBegan(const Vector3& point) {
    drag(point);
    return true;
}

bool ScrollView::touchMoved(const Vector3& point) {
    drag(point);
    return true;
}

void ScrollView::touchEnded(const Vector3&) { _dragging = 0; }

void ScrollView::touchCancelled(const Vector3&) { _dragging = 0; }

Vector3 ScrollView::contentBounds(Vector3& low, Vector3& high) const {
    if (!_childViews.empty()) {
        low = Vector3(kFar, kFar, kFar);
        high = Vector3(-kFar, -kFar, -kFar);
        for (const View* child : _childViews)
            if (!child->_hidden)
                widen(low, high, child->_unionLow, child->_unionHigh);
        // Every child hidden: no content.
        if (low.x > high.x)
            low = high = Vector3();
    } else if (kind() == KindTextView) {
        const TextView* text = static_cast<const TextView*>(this);
        low = Vector3(kFar, kFar, kFar);
        high = Vector3(-kFar, -kFar, -kFar);
        widen(low, high, text->_textLow, text->_textHigh);
    } else {
        low = high = Vector3();
    }
    return high - low;
}

Vector3 ScrollView::scrollLimits(const Vector3& delta) const {
    Vector3 f(1, 1, 1);
    Vector3 low, high;
    contentBounds(low, high);
    const float ex = delta.x * _axisFactors.x;
    if (low.x > _unionLow.x && ex > 0)
        f.x = resistance(_unionLow.x - low.x);
    if (high.x < _unionHigh.x && ex < 0)
        f.x = resistance(_unionHigh.x - high.x);
    const float ey = delta.y * _axisFactors.y;
    if (high.y < _unionHigh.y && ey < 0)
        f.y = resistance(_unionHigh.y - high.y);
    if (low.y > _unionLow.y && ey > 0)
        f.y = resistance(_unionLow.y - low.y);
    return f;
}

Vector3 ScrollView::scrollBy(const Vector3& delta) {
    Camera* camera = _interfaceWorld ? _interfaceWorld->getCamera() : nullptr;
    if (!camera)
        return Vector3();
    // The screen delta in world units at the view's depth: world X is horizontal on the
    // interface's screen and world Z vertical.
    Vector3 at = getWorldPosition();
    camera->project(at);
    const float depth = at.z * 0.5f + 0.5f;
    Vector3 a(delta.x * 0.5f + 0.5f, delta.y * 0.5f + 0.5f, depth);
    Vector3 b(0.5f, 0.5f, depth);
    camera->unproject(a);
    camera->unproject(b);
    const Vector3 f = scrollLimits(delta);
    Vector3 step(2.0f * (a.x - b.x) * f.x * _axisFactors.x, 2.0f * (a.z - b.z) * f.y * _axisFactors.y, 0);
    if (!isFinite(step) || isZero(step))
        return Vector3();
    moveChildViews(step);
    moveText(step);
    _scrollOffset += step;
    return step;
}

void ScrollView::setScrollOffset(const Vector3& offset) {
    const Vector3 d = offset - _scrollOffset;
    _scrollOffset = offset;
    const Vector3 step(d.x * _axisFactors.x, d.y * _axisFactors.y, d.z * _axisFactors.z);
    if (!isZero(step))
        moveChildViews(step);
}

void ScrollView::moveChildViews(const Vector3& d) {
    for (View* child : _childViews)
        child->setPosition(child->getPosition() + d);
}

// ---------------------------------------------------------------------------------------------

TextView::TextView(UIObject* ui, Object* parent) : ScrollView(ui, parent) {}

TextView::~TextView() {
    if (_textNode && _textNode->_transform)
        _textNode->_transform->removeListener(&_changed);
}

TextView* TextView::create(UIObject* ui, Page*, Object* parent) { return new TextView(ui, parent); }

void TextView::init() {
    if (_textNode || !_childViews.empty() || _children.empty())
        return;
    _textNode = _children.front();
    // The text rectangle is part of this view's rectangles: a moved text makes them stale.
    _textNode->_transform->addListener(Transform::ListenerFlag, &_changed);
    _changed = 1;
}

void TextView::setScrollOffset(const Vector3& offset) {
    const Vector3 d = offset - _scrollOffset;
    ScrollView::setScrollOffset(offset);
    if (!isZero(d))
        moveText(d);
}

void TextView::moveText(const Vector3& d) {
    if (_textNode)
        _textNode->setPosition(_textNode->getPosition() + d);
}

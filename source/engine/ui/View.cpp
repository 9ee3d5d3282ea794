#include "engine/ui/View.h"

#include <algorithm>

#include "engine/ui/Page.h"
#include "engine/ui/ScrollView.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/UiEvent.h"
#include "engine_game/Transform.h"

namespace {

// Below this squared screen distance a touch under a scroll view still counts as a tap.
const float kTapDistanceSq = 0.001f;

void eraseFrom(std::vector<View*>& list, View* view) {
    auto it = std::find(list.begin(), list.end(), view);
    if (it != list.end())
        list.erase(it);
}

}  // namespace

View::View(Object* parent) : Object(parent) {
    _transform->addListener(Transform::ListenerFlag, &_changed);
    _transform->update();
}

View::~View() {
    // The child views are freed with the node tree right after this; they must not reach back.
    for (View* child : _childViews)
        child->_parentView = nullptr;
    _childViews.clear();
    if (_parentView)
        eraseFrom(_parentView->_childViews, this);
    _parentView = nullptr;
    if (_page)
        eraseFrom(_page->_views, this);
    if (_ui)
        _ui->forgetView(this);
}

View* View::create(UIObject*, Page*, Object* parent) { return new View(parent); }

void View::update() {
    for (size_t i = 0; i < _childViews.size(); ++i)
        if (_childViews[i]->_active)
            _childViews[i]->update();
}

void View::setHidden(bool hidden) {
    Object::setHidden(hidden);
    _changed = 1;
}

void View::setAttribute(const std::string&, const std::string&, UiEventHandler*) {}

void View::touchStart(const Vector3& point) { _touchPoint = point; }

bool View::touchBegan(const Vector3& point) { return tapTest(point); }

bool View::touchMoved(const Vector3& point) { return tapTest(point); }

bool View::tapTest(const Vector3& point) const {
    for (const View* v = _parentView; v; v = v->_parentView) {
        if (v->kind() == KindScrollView)
            return (point - _touchPoint).lengthSquared() < kTapDistanceSq;
    }
    return true;
}

bool View::scrolls() const {
    const int k = kind();
    return k == KindScrollView || k == KindTextView;
}

ScrollView* View::nearestScrollView() {
    for (View* v = this; v; v = v->_parentView)
        if (v->scrolls())
            return static_cast<ScrollView*>(v);
    return nullptr;
}

bool View::containsPoint(float x, float y) const {
    return !_hidden && _enabled && x > _unionLow.x && x < _unionHigh.x && y > _unionLow.y && y < _unionHigh.y;
}

// ---------------------------------------------------------------------------------------------

Button* Button::create(UIObject*, Page*, Object* parent) { return new Button(parent); }

void Button::setAttribute(const std::string& key, const std::string& value, UiEventHandler* handler) {
    if (!handler)
        return;
    if (key == "onTouchUpInside")
        _upEvent = handler->find(value.c_str());
    else if (key == "onTouch")
        _downEvent = handler->find(value.c_str());
}

void Button::touchStart(const Vector3& point) {
    if (_downEvent)
        _downEvent->execute(this);
    View::touchStart(point);
}

bool Button::touchBegan(const Vector3& point) {
    if (_downEvent)
        _downEvent->execute(this);
    return tapTest(point);
}

void Button::touchEnded(const Vector3&) {
    if (_upEvent)
        _upEvent->execute(this);
}

#include "engine/ui/Page.h"

#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "engine_game/Transform.h"

Page::Page(UIObject* ui, const std::string& name, UiEventHandler* handler)
    : Scene(ui, name, 0), _eventHandler(handler), _ui(ui) {}

Page::~Page() {
    // The views are freed with the scene's nodes after this list is gone.
    for (View* view : _views)
        if (view->_page == this)
            view->_page = nullptr;
    _views.clear();
    if (_ui)
        _ui->forgetPage(this);
}

void Page::update() { Scene::update(); }

View* Page::hitTest(const Vector3& point) {
    // Nearest the camera first (smallest world Y). The list is nearly always in order already
    // (the order stays in it), so an insertion sort costs one pass, keeps equal depths in their
    // order and allocates nothing; it also stays in bounds whatever the positions hold.
    for (size_t i = 1; i < _views.size(); ++i) {
        View* view = _views[i];
        const float y = view->_transform->_world.at(3, 1);
        size_t j = i;
        while (j > 0 && _views[j - 1]->_transform->_world.at(3, 1) > y) {
            _views[j] = _views[j - 1];
            --j;
        }
        _views[j] = view;
    }

    const float x = point.x, y = point.y;
    View* current = nullptr;
    for (View* view : _views) {
        if (!view->containsPoint(x, y))
            continue;
        // A view inside a hidden or disabled view is out of reach, whatever its own state.
        bool reachable = true;
        for (const View* up = view->_parentView; up && reachable; up = up->_parentView)
            reachable = !up->_hidden && up->_enabled;
        if (reachable) {
            current = view;
            break;
        }
    }
    while (current) {
        View* deeper = nullptr;
        for (View* child : current->_childViews) {
            if (child->containsPoint(x, y)) {
                deeper = child;
                break;
            }
        }
        if (!deeper)
            break;
        current = deeper;
    }
    return current;
}

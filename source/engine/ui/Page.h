#pragma once
// The scene of one interface page file: the views made while it was read (nested ones included,
// in creation order), the event handler its buttons were bound against, and the hit test.

#include <string>
#include <vector>

#include "engine/math.h"
#include "engine_game/Scene.h"

class UIObject;
class UiEventHandler;
class View;

class Page : public Scene {
public:
    // An empty page listed nowhere yet (UIObject::loadPage lists it); no physics of its own.
    Page(UIObject* ui, const std::string& name, UiEventHandler* handler);
    // Releases the view list (the views go with the scene's nodes).
    ~Page() override;

    void update() override;

    // The deepest view under the point (screen space, x right and y up, 0..1), or null. The list
    // is ordered by the views' world Y (nearest the interface camera first; equal depths keep
    // their order) and the order stays in the list. The first view that contains the point and
    // has no hidden or disabled ancestor view is entered; the search then descends into the first
    // child view containing the point, level by level. Allocates nothing.
    View* hitTest(const Vector3& point);

    std::vector<View*> _views;
    UiEventHandler* _eventHandler = nullptr;
    // Set once UIObject::alignViews has moved this page's aligned groups.
    bool _aligned = false;

private:
    friend class UIObject;
    UIObject* _ui = nullptr;
};

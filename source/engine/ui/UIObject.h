#pragma once
// The world the interface lives in. It loads page files into Pages, makes the page nodes whose
// class names a widget ("View", "Button", "ScrollView", "TextView") into views while the scene
// readers create them, keeps every view's screen rectangles current and moves the groups a page
// marks for screen-edge alignment.
//
// Page-file properties it reads: "class" or "script" on any node (widget class, else a registered
// factory); "onTouchUpInside" and "onTouch" on buttons; "align" on a named EMPTY ("left,top",
// "left,bottom", "top", "bottom", "left", "right", "right,top"), which moves the scene group of
// the EMPTY's name to that screen edge. Every other property reaches View::setAttribute.

#include <string>
#include <vector>

#include "engine/math.h"
#include "engine_game/World.h"

class Page;
class UiEventHandler;
class View;

class UIObject : public World {
public:
    // A world without physics; no pages, no views.
    UIObject();
    // Releases the two lists; the pages and views go with the world's scenes.
    ~UIObject() override;

    // Reads a page file (text or binary scene) into a new Page listed in this world; buttons bind
    // against handler (may be null: no events). Every key-frame player of the page starts rewound
    // and stopped. A file that cannot be opened gives a page without views.
    Page* loadPage(const std::string& fileName, UiEventHandler* handler);

    // Chooses the class of a page node: widget classes become views (their properties applied,
    // linked to a parent view, listed in the world and the page); other class names and the
    // object-file name go to the registered factories; anything else is a plain node.
    Object* instantiate(Scene* scene, Object* parent, const std::string& sourceName,
                        const PropertyMap& fileProperties, const PropertyList& sceneProperties) override;

    // The world update, then the screen rectangles of every view whose world matrix changed (and
    // of its ancestor views, whose union rectangles hold it), with the active camera. Without an
    // active camera the rectangles wait.
    void update() override;

    // Projects the view's bounds box (a view without bounds: its own position) into its own
    // rectangle, its child views into theirs, and widens the union rectangle by the visible child
    // views and a text view's text. Clears the changed flags of the views it computed.
    void computeScreenRect(View* view, const Matrix4& projection, const Matrix4& viewMatrix);

    // Moves the aligned groups of every page not aligned yet to their screen edges, once per page,
    // and computes the rectangles of its views. A page with exactly one camera uses it; any other
    // page uses the camera of the page before (the first page: the active camera).
    void alignViews();

    // Every page loaded, in load order, and every view made, in creation order (not owned).
    std::vector<Page*> _pages;
    std::vector<View*> _views;

private:
    friend class View;
    friend class Page;

    // A view or page freed while the world lives leaves the lists.
    void forgetView(View* view);
    void forgetPage(Page* page);
    // Makes the widget of a built-in class name; null for any other name.
    View* makeWidget(const std::string& className, Page* page, Object* parent);
};

#include "engine/ui/UIObject.h"

#include <algorithm>
#include <cmath>

#include "engine/bounds.h"
#include "engine/utils.h"
#include "engine/ui/Page.h"
#include "engine/ui/ScrollView.h"
#include "engine/ui/View.h"
#include "engine_game/Camera.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"

namespace {

const float kFar = 10000000.0f;

// The value of the first "script" or "class" entry, in the properties' own order.
template <class Properties>
const std::string* classNamedBy(const Properties& properties) {
    for (const auto& p : properties)
        if (p.first == "script" || p.first == "class")
            return &p.second;
    return nullptr;
}

ObjectFactory registeredFactory(const ObjectClassRegistry& classes, const std::string& name) {
    auto it = classes.find(name);
    return it != classes.end() ? it->second : nullptr;
}

Vector3 projected(const Matrix4& viewProjection, const Vector3& p) {
    Vector4 q = viewProjection.transform(Vector4(p, 1));
    if (q.w != 0) {
        q.x /= q.w;
        q.y /= q.w;
        q.z /= q.w;
    }
    return q.xyz();
}

// The screen rectangle of a node's world bounds box; a node without bounds is a point at its
// own position.
void projectNode(const Object* node, const Matrix4& viewProjection, Vector3& low, Vector3& high) {
    Vector3 a, b;
    const Bounds* bounds = node->_bounds;
    if (bounds && bounds->_worldMin.x <= bounds->_worldMax.x && bounds->_worldMin.y <= bounds->_worldMax.y &&
        bounds->_worldMin.z <= bounds->_worldMax.z) {
        a = bounds->_worldMin;
        b = bounds->_worldMax;
    } else {
        a = b = node->getWorldPosition();
    }
    Vector3 lo(kFar, kFar, kFar), hi(-kFar, -kFar, -kFar);
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 c((corner & 1) ? b.x : a.x, (corner & 2) ? b.y : a.y, (corner & 4) ? b.z : a.z);
        const Vector3 p = projected(viewProjection, c);
        lo = Vector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = Vector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    // Device coordinates to screen space; the depth is halved without an offset.
    low = Vector3(lo.x * 0.5f + 0.5f, lo.y * 0.5f + 0.5f, lo.z * 0.5f);
    high = Vector3(hi.x * 0.5f + 0.5f, hi.y * 0.5f + 0.5f, hi.z * 0.5f);
}

void widen(Vector3& low, Vector3& high, const Vector3& a, const Vector3& b) {
    low = Vector3(std::min(low.x, std::min(a.x, b.x)), std::min(low.y, std::min(a.y, b.y)),
                  std::min(low.z, std::min(a.z, b.z)));
    high = Vector3(std::max(high.x, std::max(a.x, b.x)), std::max(high.y, std::max(a.y, b.y)),
                   std::max(high.z, std::max(a.z, b.z)));
}

void computeRects(View* view, const Matrix4& viewProjection) {
    projectNode(view, viewProjection, view->_ownLow, view->_ownHigh);
    view->_unionLow = view->_ownLow;
    view->_unionHigh = view->_ownHigh;
    for (View* child : view->_childViews) {
        computeRects(child, viewProjection);
        if (!child->_hidden)
            widen(view->_unionLow, view->_unionHigh, child->_unionLow, child->_unionHigh);
    }
    if (view->kind() == View::KindTextView) {
        TextView* text = static_cast<TextView*>(view);
        if (!text->_textNode)
            text->init();
        if (text->_textNode) {
            projectNode(text->_textNode, viewProjection, text->_textLow, text->_textHigh);
            widen(view->_unionLow, view->_unionHigh, text->_textLow, text->_textHigh);
        }
    }
    view->_changed = 0;
}

void stopAndRewind(KeyFramePlayer* player) {
    if (!player)
        return;
    player->setFrame(0);
    player->_playing = 0;
    player->_loop = 0;
}

void stopAndRewindTree(Object* node) {
    if (!node)
        return;
    stopAndRewind(node->_animation);
    for (Object* child : node->_children)
        stopAndRewindTree(child);
}

Vector4 divided(Vector4 v) {
    if (v.w != 0) {
        v.x /= v.w;
        v.y /= v.w;
        v.z /= v.w;
    }
    return v;
}

// Device-coordinate target of an "align" value; false for a value outside the seven.
bool alignTarget(const std::string& value, float& x, float& y) {
    static const struct {
        const char* name;
        float x, y;
    } kTargets[] = {{"left,top", -1, 1}, {"left,bottom", -1, -1}, {"top", 0, 1}, {"bottom", 0, -1},
                    {"left", -1, 0},     {"right", 1, 0},         {"right,top", 1, 1}};
    for (const auto& t : kTargets) {
        if (value == t.name) {
            x = t.x;
            y = t.y;
            return true;
        }
    }
    x = y = 0;
    return false;
}

}  // namespace

UIObject::UIObject() : World(0) {}

UIObject::~UIObject() {
    // The scenes, and the views in them, are freed by the world after this: they must not reach
    // back into lists that are gone by then.
    for (Page* page : _pages)
        page->_ui = nullptr;
    for (View* view : _views)
        view->_ui = nullptr;
    _pages.clear();
    _views.clear();
}

void UIObject::forgetView(View* view) {
    auto it = std::find(_views.begin(), _views.end(), view);
    if (it != _views.end())
        _views.erase(it);
}

void UIObject::forgetPage(Page* page) {
    auto it = std::find(_pages.begin(), _pages.end(), page);
    if (it != _pages.end())
        _pages.erase(it);
}

Page* UIObject::loadPage(const std::string& fileName, UiEventHandler* handler) {
    Page* page = new Page(this, fileName, handler);
    loadLevel(page, fileName);
    _pages.push_back(page);

    // A text view inside an object file's tree gets no init of its own from the reader.
    for (View* view : page->_views)
        if (view->kind() == View::KindTextView)
            view->init();

    // Page animations start rewound and stopped, wherever their node sits in the page.
    for (KeyFramePlayer* player : page->_animations)
        stopAndRewind(player);
    stopAndRewindTree(page->_root);
    for (auto& entry : page->_empties)
        if (entry.second)
            stopAndRewindTree(entry.second->node);
    return page;
}

View* UIObject::makeWidget(const std::string& className, Page* page, Object* parent) {
    if (className == "View")
        return View::create(this, page, parent);
    if (className == "Button")
        return Button::create(this, page, parent);
    if (className == "ScrollView")
        return ScrollView::create(this, page, parent);
    if (className == "TextView")
        return TextView::create(this, page, parent);
    return nullptr;
}

Object* UIObject::instantiate(Scene* scene, Object* parent, const std::string& sourceName,
                              const PropertyMap& fileProperties, const PropertyList& sceneProperties) {
    Page* page = dynamic_cast<Page*>(scene);
    View* widget = nullptr;

    // The scene's own properties first (file order), then the object file's (key order: "class"
    // before "script"); a widget class makes a view, a registered class its factory's node.
    if (const std::string* name = classNamedBy(sceneProperties)) {
        widget = makeWidget(*name, page, parent);
        if (!widget)
            if (ObjectFactory factory = registeredFactory(_objectClasses, *name))
                return factory(this, scene, parent);
    }
    if (!widget) {
        if (const std::string* name = classNamedBy(fileProperties)) {
            widget = makeWidget(*name, page, parent);
            if (!widget)
                if (ObjectFactory factory = registeredFactory(_objectClasses, *name))
                    return factory(this, scene, parent);
        }
    }
    if (!widget) {
        if (ObjectFactory factory = registeredFactory(_objectClasses, sourceName))
            return factory(this, scene, parent);
        return new Object(parent);
    }

    UiEventHandler* handler = page ? page->_eventHandler : nullptr;
    for (const auto& p : fileProperties)
        widget->setAttribute(p.first, p.second, handler);
    for (const auto& p : sceneProperties)
        widget->setAttribute(p.first, p.second, handler);

    // A parent listed by this world is a view (dynamic_cast is safe: the parent is whole).
    if (View* parentView = dynamic_cast<View*>(parent)) {
        if (parentView->_ui == this) {
            widget->_parentView = parentView;
            parentView->_childViews.push_back(widget);
        }
    }

    widget->_ui = this;
    _views.push_back(widget);
    if (page) {
        widget->_page = page;
        page->_views.push_back(widget);
    }
    return widget;
}

void UIObject::update() {
    World::update();
    // Key frames move the items of a page every frame; their world matrices and mesh bounds must
    // follow, or the bounds a page had when it was placed (an item's "in" start, off the screen)
    // would cull it for good. Only nodes whose transform changed do any work.
    for (Page* page : _pages)
        if (page->_shown && page->_root)
            page->_root->updateTransform();
    Camera* camera = getCamera();
    if (!camera)
        return;
    // A view that moved on its own leaves the union rectangles of its ancestors stale.
    for (View* view : _views) {
        if (!view->_changed)
            continue;
        for (View* up = view->_parentView; up && !up->_changed; up = up->_parentView)
            up->_changed = 1;
    }
    // Parents come before their children in the list, so each changed subtree is projected once.
    const Matrix4 viewProjection = camera->_view * camera->_projection;
    for (size_t i = 0; i < _views.size(); ++i)
        if (_views[i]->_changed)
            computeRects(_views[i], viewProjection);
}

void UIObject::computeScreenRect(View* view, const Matrix4& projection, const Matrix4& viewMatrix) {
    if (view)
        computeRects(view, viewMatrix * projection);
}

void UIObject::alignViews() {
    Camera* camera = getCamera();
    for (Page* page : _pages) {
        // Every page hands its camera on, aligned before or not.
        if (page->_cameras.size() == 1)
            camera = page->_cameras.front();
        if (page->_aligned)
            continue;
        if (!camera) {
            Logger::error("[UIObject::alignViews] page '%s' has no camera to align with", page->_name.c_str());
            continue;
        }
        page->_aligned = true;

        const Matrix4& projection = camera->_projection;
        const Matrix4& view = camera->_view;
        Matrix4 inverseProjection, inverseView;
        if (!projection.inverse(inverseProjection) || !view.inverse(inverseView)) {
            Logger::error("[UIObject::alignViews] camera '%s' of page '%s' cannot be inverted; nothing aligned",
                          camera->_name.c_str(), page->_name.c_str());
            continue;
        }
        const bool perspective = camera->_orthoWidth == 1.0f && camera->_orthoHeight == 1.0f;

        for (const auto& entry : page->_empties) {
            const EmptyEntry* empty = entry.second;
            if (!empty || !empty->node)
                continue;
            auto align = empty->properties.find("align");
            if (align == empty->properties.end())
                continue;

            const Vector3 anchor = empty->node->getPosition();
            const Vector4 n = divided(projection.transform(view.transform(Vector4(anchor, 1))));
            float tx, ty;
            const float depth = alignTarget(align->second, tx, ty) ? n.z : 0.0f;
            const Vector4 t = divided(inverseView.transform(inverseProjection.transform(Vector4(tx, ty, depth, 1))));
            const float dx = t.x - anchor.x;
            const float dz = t.z - anchor.z;
            if (!std::isfinite(dx) || !std::isfinite(dz)) {
                Logger::error("[UIObject::alignViews] '%s' of page '%s' has no screen position; not aligned",
                              entry.first.c_str(), page->_name.c_str());
                continue;
            }
            const float anchorDepth = divided(view.transform(Vector4(anchor, 1))).z;

            for (Object* node : page->getGroup(entry.first)) {
                if (!node || node == empty->node)
                    continue;
                float k = 1.0f;
                if (perspective) {
                    const float nodeDepth = divided(view.transform(Vector4(node->getPosition(), 1))).z;
                    const float ratio = nodeDepth / anchorDepth;
                    if (anchorDepth != 0 && std::isfinite(ratio)) {
                        k = ratio;
                    } else {
                        Logger::error("[UIObject::alignViews] anchor '%s' of page '%s' lies in the camera plane; "
                                      "its group moves unscaled",
                                      entry.first.c_str(), page->_name.c_str());
                    }
                }
                if (KeyFramePlayer* player = getAnimation(node)) {
                    // The scene keeps one key list for each animated node it read.
                    if (player->_keys)
                        for (KeyFrame& key : const_cast<KeyFrameList&>(*player->_keys)) {
                            key.position.x += k * dx;
                            key.position.z += k * dz;
                        }
                }
                node->setPosition(node->getPosition() + Vector3(k * dx, 0, k * dz));
            }
        }

        for (View* v : page->_views)
            computeScreenRect(v, projection, view);
    }
}

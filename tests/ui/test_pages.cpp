// Loading pages: which class a page node becomes, how views nest and are listed, the rectangles
// they get, and page animations starting stopped.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/ui/Page.h"
#include "engine/ui/ScrollView.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Transform.h"
#include "support_ui.h"

namespace {

using namespace uitest;

class Tagged : public Object {
public:
    explicit Tagged(Object* parent) : Object(parent) {}
};

Object* makeTagged(World*, Scene*, Object* parent) { return new Tagged(parent); }

struct ClassCase {
    const char* name;
    PropertyList list;  // the scene's properties
    PropertyMap map;    // the object file's
    const char* source;
    int kind;  // View::Kind, or -1 Tagged (a factory's node), -2 plain node
};

const ClassCase kClassCases[] = {
    {"list_wins_over_map", {{"class", "Button"}}, {{"class", "View"}}, "ui/box.object", View::KindButton},
    {"list_script", {{"script", "TextView"}}, {}, "ui/box.object", View::KindTextView},
    {"unknown_list_class_lets_the_map_choose", {{"class", "Zed"}}, {{"script", "ScrollView"}}, "ui/box.object",
     View::KindScrollView},
    {"map_class_sorts_before_script", {}, {{"class", "View"}, {"script", "Button"}}, "ui/box.object",
     View::KindView},
    {"list_factory", {{"class", "Thing"}, {"onTouch", "x"}}, {{"class", "Button"}}, "ui/box.object", -1},
    {"map_factory", {}, {{"class", "Thing"}}, "ui/box.object", -1},
    {"source_factory", {}, {}, "ui/thing.object", -1},
    {"registered_null_factory_is_no_factory", {{"class", "Null"}}, {}, "ui/box.object", -2},
    {"no_class_is_a_plain_node_even_with_events", {{"onTouchUpInside", "ok"}}, {}, "ui/box.object", -2},
};

class ClassChoice : public UiFixture, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(ClassChoice, MakesTheNamedClass) {
    const ClassCase& c = GetParam();
    UIObject* w = ui();
    w->registerObjectClass("Thing", makeTagged);
    w->registerObjectClass("ui/thing.object", makeTagged);
    w->registerObjectClass("Null", nullptr);
    Page* page = load("empty.scene", PageWriter());
    Object* node = w->instantiate(page, page->_root, c.source, c.map, c.list);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->_parent, page->_root);
    View* view = dynamic_cast<View*>(node);
    if (c.kind >= 0) {
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->kind(), c.kind);
        EXPECT_EQ(page->_views.back(), view);
        EXPECT_EQ(w->_views.back(), view);
        EXPECT_EQ(view->_parentView, nullptr);
    } else {
        EXPECT_EQ(view, nullptr);
        EXPECT_EQ(dynamic_cast<Tagged*>(node) != nullptr, c.kind == -1);
        EXPECT_TRUE(page->_views.empty());
        EXPECT_TRUE(w->_views.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, ClassChoice, ::testing::ValuesIn(kClassCases),
                         [](const ::testing::TestParamInfo<ClassCase>& info) { return info.param.name; });

class Pages : public UiFixture {};

TEST_F(Pages, LoadsWidgetsByClassNameAndNestsThem) {
    writeObject("group", boxes({{"class", "View"}},
                               {{"inner", {0.25f, 0, 0}, {0.3f, 0.3f, 0.3f}, {{"class", "Button"}}},
                                {"plain", {-0.25f, 0, 0}, {0.3f, 0.3f, 0.3f}, {}}}));
    PageWriter pw;
    pw.node("button", {0.5f, 0, 0.5f}, {{"class", "Button"}})
        .node("group", {0, 0, 0}, {}, "group", {1, 1, 1})
        .node("plain", {-0.5f, 0, -0.5f});
    Page* page = load("p.scene", pw);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ui()->_pages.size(), 1u);
    EXPECT_EQ(page->_name, "pages/p.scene");

    ASSERT_EQ(page->_views.size(), 3u);  // the button, the group and the group's inner button
    EXPECT_EQ(page->_views[0]->_name, "button");
    EXPECT_EQ(page->_views[1]->_name, "group");
    EXPECT_EQ(page->_views[2]->_name, "inner");
    EXPECT_EQ(ui()->_views, page->_views);

    View* group = page->_views[1];
    View* inner = page->_views[2];
    EXPECT_EQ(group->kind(), View::KindView);
    EXPECT_EQ(inner->kind(), View::KindButton);
    EXPECT_EQ(inner->_parentView, group);
    ASSERT_EQ(group->_childViews.size(), 1u);
    EXPECT_EQ(group->_childViews[0], inner);
    EXPECT_EQ(page->_views[0]->_parentView, nullptr);
    EXPECT_EQ(dynamic_cast<View*>(findNode(page->_root, "plain")), nullptr);
    // New views start changed, so the first update gives them their rectangles.
    EXPECT_TRUE(inner->_changed);
}

TEST_F(Pages, AMissingFileGivesAnEmptyPage) {
    Page* page = ui()->loadPage("pages/none.scene", nullptr);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->_views.empty());
    EXPECT_EQ(ui()->_pages.size(), 1u);
    EXPECT_EQ(page->hitTest(Vector3(0.5f, 0.5f, 0.5f)), nullptr);
}

TEST_F(Pages, RectanglesCoverTheProjectedBoundsAndChildren) {
    writeObject("group", boxes({{"class", "View"}}, {{"inner", {0.75f, 0, 0}, {0.5f, 0.5f, 0.5f}, {{"class", "View"}}}}));
    PageWriter pw;
    pw.node("box", {0.5f, 0, 0.5f}, {{"class", "View"}}).node("group", {-0.5f, 0, -0.5f}, {}, "group", {0.4f, 0.4f, 0.4f});
    Page* page = load("p.scene", pw);
    frame();
    View* box = findView(page, "box");
    // World X 0.4..0.6 and Z 0.4..0.6 under an orthographic camera of height 2.
    EXPECT_NEAR(box->_ownLow.x, 0.7f, 1e-5f);
    EXPECT_NEAR(box->_ownHigh.x, 0.8f, 1e-5f);
    EXPECT_NEAR(box->_ownLow.y, 0.7f, 1e-5f);
    EXPECT_NEAR(box->_ownHigh.y, 0.8f, 1e-5f);
    EXPECT_EQ(box->_unionLow, box->_ownLow);
    EXPECT_FALSE(box->_changed);

    View* group = findView(page, "group");
    View* inner = findView(page, "inner");
    // The inner box sits at local x 0.75 (world -0.2), a tenth wide: screen x 0.35..0.45.
    EXPECT_NEAR(inner->_ownLow.x, 0.35f, 1e-5f);
    EXPECT_NEAR(inner->_ownHigh.x, 0.45f, 1e-5f);
    EXPECT_NEAR(group->_ownHigh.x, 0.35f, 1e-5f);
    EXPECT_NEAR(group->_unionHigh.x, 0.45f, 1e-5f);
    EXPECT_NEAR(group->_unionLow.x, group->_ownLow.x, 1e-6f);

    // A hidden child stops counting toward its parent's union at the next update.
    inner->setHidden(true);
    frame();
    EXPECT_NEAR(group->_unionHigh.x, 0.35f, 1e-5f);
}

// A view without a bounds box is a point at its own position, not at the world's origin: only
// its children's area can be hit.
TEST_F(Pages, AViewWithoutBoundsProjectsItsOwnPosition) {
    cw::ObjectFileDesc f = boxes({{"class", "View"}}, {{"child", {0.5f, 0, 0}, {0.2f, 0.2f, 0.2f}, {{"class", "Button"}}}});
    f.top.ranges.clear();
    writeObject("hollow", f);
    PageWriter pw;
    pw.node("hollow", {0.4f, 0, -0.6f}, {}, "hollow", {1, 1, 1});
    Page* page = load("p.scene", pw);
    frame();
    View* hollow = findView(page, "hollow");
    ASSERT_EQ(hollow->_bounds, nullptr);
    EXPECT_NEAR(hollow->_ownLow.x, 0.7f, 1e-5f);
    EXPECT_NEAR(hollow->_ownHigh.x, 0.7f, 1e-5f);
    EXPECT_NEAR(hollow->_ownLow.y, 0.2f, 1e-5f);
    EXPECT_NEAR(hollow->_ownHigh.y, 0.2f, 1e-5f);
    // The child spans world x 0.8..1.0: screen 0.9..1.0; the union reaches from the point to it.
    EXPECT_NEAR(hollow->_unionLow.x, 0.7f, 1e-5f);
    EXPECT_NEAR(hollow->_unionHigh.x, 1.0f, 1e-5f);
    EXPECT_EQ(page->hitTest(screenOf(0.9f, -0.6f)), findView(page, "child"));
    // Between the world's origin and the view: nothing (a union from the origin would cover it).
    EXPECT_EQ(page->hitTest(Vector3(0.6f, 0.3f, 0.5f)), nullptr);
}

// Animations anywhere in a page (top-level nodes, nodes inside object files, cameras) start at
// their first frame and stay there until something plays them.
TEST_F(Pages, EveryAnimationOfANewPageStartsStoppedAndRewound) {
    cw::ObjectFileDesc f = boxes({{"class", "View"}}, {{"spinner", {0, 0, 0}, {0.5f, 0.5f, 0.5f}, {}}});
    cw::ObjectKeyDesc k0, k1;
    k0.position = cw::Vec3(0.1f, 0, 0);
    k1.position = cw::Vec3(0.9f, 0, 0);
    f.top.children[0].keys = {k0, k1, k1};
    writeObject("spinning", f);
    std::vector<cw::SceneKeyDesc> keys(3);
    keys[0].position = cw::Vec3(-0.5f, 0, 0);
    keys[1].position = cw::Vec3(0.5f, 0, 0);
    keys[2].position = cw::Vec3(0.5f, 0, 0);
    PageWriter pw;
    pw.node("mover", {0, 0, 0}, {{"class", "View"}}, "box", {0.2f, 0.2f, 0.2f}, {}, {}, keys)
        .node("spinning", {0, 0, 0.5f}, {}, "spinning", {1, 1, 1});
    Page* page = load("p.scene", pw);

    Object* mover = findNode(page->_root, "mover");
    Object* spinner = findNode(page->_root, "spinner");
    ASSERT_NE(mover->_animation, nullptr);
    ASSERT_NE(spinner->_animation, nullptr);
    for (int i = 0; i < 30; ++i)
        frame(0.1f);
    for (Object* node : {mover, spinner}) {
        SCOPED_TRACE(node->_name);
        EXPECT_FALSE(node->_animation->_playing);
        EXPECT_FALSE(node->_animation->_loop);
        EXPECT_EQ(node->_animation->_time, 0.0f);
    }
    EXPECT_NEAR(mover->getPosition().x, -0.5f, 1e-5f);
    EXPECT_NEAR(spinner->getPosition().x, 0.1f, 1e-5f);
}

// A text view inside an object file's tree finds its text node as a top-level one does.
TEST_F(Pages, NestedTextViewsFindTheirText) {
    writeObject("text", boxes({{"class", "TextView"}}, {{"label", {0, 0, 0}, {0.5f, 0.5f, 0.5f}, {}}}));
    writeObject("frame", boxes({{"class", "View"}},
                               {{"inner", {0, 0, 0}, {0.5f, 0.5f, 0.5f}, {{"class", "TextView"}},
                                 {{"innerLabel", {0, 0, 0}, {0.5f, 0.5f, 0.5f}, {}}}}}));
    PageWriter pw;
    pw.node("text", {0.5f, 0, 0}, {}, "text", {0.4f, 0.4f, 0.4f}).node("frame", {-0.5f, 0, 0}, {}, "frame", {0.4f, 0.4f, 0.4f});
    Page* page = load("p.scene", pw);
    auto* top = dynamic_cast<TextView*>(findView(page, "text"));
    auto* inner = dynamic_cast<TextView*>(findView(page, "inner"));
    ASSERT_NE(top, nullptr);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(top->_textNode, findNode(top, "label"));
    EXPECT_EQ(inner->_textNode, findNode(inner, "innerLabel"));
}

// A view freed on its own leaves every list that held it.
TEST_F(Pages, AViewFreedAloneLeavesTheLists) {
    writeObject("group", boxes({{"class", "View"}}, {{"inner", {0.25f, 0, 0}, {0.3f, 0.3f, 0.3f}, {{"class", "Button"}}}}));
    PageWriter pw;
    pw.node("group", {0, 0, 0}, {}, "group", {1, 1, 1});
    Page* page = load("p.scene", pw);
    View* group = findView(page, "group");
    View* inner = findView(page, "inner");
    delete inner;
    EXPECT_EQ(page->_views.size(), 1u);
    EXPECT_EQ(ui()->_views.size(), 1u);
    EXPECT_TRUE(group->_childViews.empty());
    frame();
    EXPECT_EQ(page->hitTest(screenOf(0.25f, 0)), group);
}

}  // namespace

// Finding the view under a finger: depth order, edges, nesting, hidden and disabled views, and
// rectangles that follow views moving on their own.

#include <gtest/gtest.h>

#include <string>

#include "engine/ui/Page.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "support_ui.h"

namespace {

using namespace uitest;

class HitTest : public UiFixture {
protected:
    // A "View" group at the origin (unit box) holding a "Button" child at local x 0.3.
    Page* loadGroup() {
        writeObject("group", boxes({{"class", "View"}}, {{"child", {0.3f, 0, 0}, {0.2f, 0.2f, 0.2f}, {{"class", "Button"}}}}));
        PageWriter pw;
        pw.node("group", {0, 0, 0}, {}, "group", {1, 1, 1});
        Page* page = load("group.scene", pw);
        frame();
        return page;
    }
};

TEST_F(HitTest, TheViewNearestTheCameraWinsWhateverTheFileOrder) {
    for (bool nearFirst : {true, false}) {
        SCOPED_TRACE(nearFirst);
        PageWriter pw;
        if (nearFirst)
            pw.node("near", {0, -1, 0}, {{"class", "View"}}).node("far", {0.05f, 1, 0}, {{"class", "View"}});
        else
            pw.node("far", {0.05f, 1, 0}, {{"class", "View"}}).node("near", {0, -1, 0}, {{"class", "View"}});
        Page* page = load(nearFirst ? "a.scene" : "b.scene", pw);
        frame();
        EXPECT_EQ(page->hitTest(screenOf(0.02f, 0))->_name, "near");
        // The order stays in the list.
        EXPECT_EQ(page->_views.front()->_name, "near");
        // Only the far view covers this point.
        EXPECT_EQ(page->hitTest(screenOf(0.14f, 0))->_name, "far");
    }
}

// Views at the same depth keep their creation order, so the same touch always finds the same
// view, however often it is tested.
TEST_F(HitTest, EqualDepthsKeepTheirOrder) {
    PageWriter pw;
    const int count = 40;
    for (int i = 0; i < count; ++i)
        pw.node("v" + std::to_string(i), {0.001f * (float)(i % 3), 0, 0}, {{"class", "View"}});
    Page* page = load("p.scene", pw);
    frame();
    for (int round = 0; round < 5; ++round) {
        View* hit = page->hitTest(screenOf(0, 0));
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->_name, "v0");
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(page->_views[(size_t)i]->_name, "v" + std::to_string(i));
    }
}

TEST_F(HitTest, APointOnAnEdgeIsOutside) {
    PageWriter pw;
    pw.node("v", {0, 0, 0}, {{"class", "View"}});
    Page* page = load("p.scene", pw);
    frame();
    View* v = page->_views[0];
    const float midY = (v->_unionLow.y + v->_unionHigh.y) * 0.5f;
    const float midX = (v->_unionLow.x + v->_unionHigh.x) * 0.5f;
    EXPECT_EQ(page->hitTest(Vector3(v->_unionLow.x, midY, 0)), nullptr);
    EXPECT_EQ(page->hitTest(Vector3(v->_unionHigh.x, midY, 0)), nullptr);
    EXPECT_EQ(page->hitTest(Vector3(midX, v->_unionLow.y, 0)), nullptr);
    EXPECT_EQ(page->hitTest(Vector3(midX, v->_unionHigh.y, 0)), nullptr);
    EXPECT_EQ(page->hitTest(Vector3(midX, midY, 0)), v);
    EXPECT_EQ(page->hitTest(Vector3(0.05f, 0.05f, 0)), nullptr);
}

TEST_F(HitTest, TheSearchDescendsToTheDeepestView) {
    Page* page = loadGroup();
    View* group = findView(page, "group");
    View* child = findView(page, "child");
    EXPECT_EQ(page->hitTest(screenOf(0.3f, 0)), child);
    EXPECT_EQ(page->hitTest(screenOf(-0.3f, 0)), group);
}

// A hidden or disabled view is never entered, even where a child of it was shown again.
TEST_F(HitTest, AHiddenOrDisabledParentBlocksItsChildren) {
    Page* page = loadGroup();
    View* group = findView(page, "group");
    View* child = findView(page, "child");

    group->setHidden(true);
    child->setHidden(false);
    frame();
    EXPECT_EQ(page->hitTest(screenOf(0.3f, 0)), nullptr);
    EXPECT_EQ(page->hitTest(screenOf(-0.3f, 0)), nullptr);

    group->setHidden(false);
    group->_enabled = 0;
    frame();
    EXPECT_EQ(page->hitTest(screenOf(0.3f, 0)), nullptr);

    group->_enabled = 1;
    child->_enabled = 0;
    EXPECT_EQ(page->hitTest(screenOf(0.3f, 0)), group);
}

// A child moved on its own takes its parent's union rectangle along at the next update.
TEST_F(HitTest, AChildMovedAloneStaysReachable) {
    Page* page = loadGroup();
    View* group = findView(page, "group");
    View* child = findView(page, "child");
    child->setPosition(Vector3(0.8f, 0, 0));  // world x 0.7..0.9, beyond the group's box
    frame();
    EXPECT_NEAR(group->_unionHigh.x, screenOf(0.9f, 0).x, 1e-5f);
    EXPECT_EQ(page->hitTest(screenOf(0.8f, 0)), child);
    EXPECT_FALSE(group->_changed);
    EXPECT_FALSE(child->_changed);
}

TEST_F(HitTest, WithoutACameraRectanglesWait) {
    PageWriter pw(false);
    pw.node("v", {0, 0, 0}, {{"class", "View"}});
    Page* page = load("p.scene", pw);
    frame();
    EXPECT_TRUE(page->_views[0]->_changed);
    EXPECT_EQ(page->hitTest(screenOf(0, 0)), nullptr);
}

}  // namespace

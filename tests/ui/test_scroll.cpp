// Scroll views and text views: dragging, the resistance at the edges, the spring back, offsets,
// and the text a text view carries.

#include <gtest/gtest.h>

#include <string>

#include "engine/ui/Page.h"
#include "engine/ui/ScrollView.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "support_ui.h"

namespace {

using namespace uitest;

// A scroll view over world X and Z -0.5..0.5 (screen 0.25..0.75) turned upright, holding five
// button rows at world Z 0.8, 0.4, 0, -0.4, -0.8, each 0.2 high: the content spans screen y
// 0.05..0.95, beyond the view at both ends.
class Scrolling : public UiFixture {
protected:
    Scrolling() {
        handler.events = {&press};
        std::vector<ChildBox> rows;
        const float ys[] = {0.8f, 0.4f, 0, -0.4f, -0.8f};
        for (int i = 0; i < 5; ++i)
            rows.push_back(ChildBox("r" + std::to_string(i), {0, ys[i], 0}, {0.8f, 0.2f, 0.2f},
                                    {{"class", "Button"}, {"onTouch", "press"}}));
        writeObject("list", boxes({{"class", "ScrollView"}}, rows));
        // A text view whose text (0.5 wide, 3 high) runs far beyond it at both ends.
        writeObject("text", boxes({{"class", "TextView"}}, {ChildBox("label", {0, 0, 0}, {0.5f, 3, 0.5f}, {})}));
    }

    ScrollView* loadList() {
        PageWriter pw;
        pw.node("list", {0, 0, 0}, {}, "list", {1, 1, 1}, kUpright);
        page = load("list.scene", pw, &handler);
        frame();
        return dynamic_cast<ScrollView*>(findView(page, "list"));
    }
    TextView* loadText() {
        PageWriter pw;
        pw.node("text", {0, 0, 0}, {}, "text", {1, 1, 1}, kUpright);
        page = load("text.scene", pw);
        frame();
        return dynamic_cast<TextView*>(findView(page, "text"));
    }
    float rowZ(int i) { return findView(page, "r" + std::to_string(i))->getWorldPosition().z; }
    // Moves the content down until its top lies gap below the view's top (screen units).
    void pullDown(ScrollView* list, float gap) {
        list->setScrollOffset(Vector3(0, -2.0f * (0.2f + gap), 0));
        frame(0);
    }

    CountingEvent press{"press"};
    UiEventHandler handler;
    Page* page = nullptr;
};

// The panel starts a drag with touchBegan on the scroll view holding the touched button and
// sends it the moves: the first point only anchors the drag, so a tap never jumps the content.
TEST_F(Scrolling, ADragFollowsTheFingerVerticallyFromWhereItBegan) {
    ScrollView* list = loadList();
    ASSERT_NE(list, nullptr);
    const Vector3 p0 = screenOf(0.1f, 0.02f);
    View* hit = page->hitTest(p0);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->_name, "r2");
    hit->touchBegan(p0);
    ScrollView* scroll = hit->nearestScrollView();
    ASSERT_EQ(scroll, list);
    EXPECT_TRUE(scroll->touchBegan(p0));
    EXPECT_EQ(press.runs, 1);
    EXPECT_TRUE(list->_dragging);
    EXPECT_NEAR(rowZ(2), 0, 1e-6f);
    EXPECT_EQ(list->_scrollOffset, Vector3());

    scroll->touchMoved(p0 + Vector3(0, 0.02f, 0));
    EXPECT_NEAR(rowZ(2), 0.04f, 1e-5f);
    EXPECT_NEAR(rowZ(0), 0.84f, 1e-5f);
    EXPECT_NEAR(list->_scrollOffset.y, 0.04f, 1e-5f);
    // Sideways movement moves nothing.
    scroll->touchMoved(p0 + Vector3(0.1f, 0.02f, 0));
    EXPECT_NEAR(rowZ(2), 0.04f, 1e-5f);
    EXPECT_NEAR(findView(page, "r2")->getWorldPosition().x, 0, 1e-6f);
    scroll->touchEnded(p0);
    EXPECT_FALSE(list->_dragging);

    // A new touch far away anchors again.
    EXPECT_TRUE(list->touchBegan(Vector3(0.9f, 0.9f, 0)));
    EXPECT_NEAR(rowZ(2), 0.04f, 1e-5f);
    list->touchCancelled(Vector3());
    EXPECT_FALSE(list->_dragging);
    EXPECT_EQ(press.runs, 1);
}

struct LimitCase {
    const char* name;
    float gap;    // content top below the view's top (screen)
    float drag;   // screen movement of the finger
    float share;  // of the free step that is taken
};

const LimitCase kLimitCases[] = {
    {"no_gap", 0, -0.01f, 1},
    {"halved_at_a_gap_of_005", 0.05f, -0.01f, 0.5f},
    {"stopped_at_01", 0.1f, -0.01f, 0},
    {"stopped_beyond", 0.2f, -0.01f, 0},
    {"back_toward_the_edge_is_free", 0.05f, 0.01f, 1},
};

class Limits : public Scrolling, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(Limits, PullingAwayFromAnEdgeIsDamped) {
    const LimitCase& c = GetParam();
    ScrollView* list = loadList();
    pullDown(list, c.gap);
    EXPECT_NEAR(findView(page, "r0")->_unionHigh.y, 0.75f - c.gap, 1e-5f);
    const float before = list->_scrollOffset.y;
    const Vector3 p0(0.5f, 0.5f, 0);
    list->touchBegan(p0);
    list->touchMoved(p0 + Vector3(0, c.drag, 0));
    EXPECT_NEAR(list->_scrollOffset.y - before, 2 * c.drag * c.share, 1e-4f);
}

INSTANTIATE_TEST_SUITE_P(Scroll, Limits, ::testing::ValuesIn(kLimitCases),
                         [](const ::testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

TEST_F(Scrolling, ContentLeftBelowTheTopSpringsBackUntilTheGapCloses) {
    ScrollView* list = loadList();
    pullDown(list, 0.05f);
    EXPECT_NEAR(list->_scrollOffset.y, -0.5f, 1e-6f);

    // No spring while a finger holds the content.
    list->touchStart(Vector3(0.5f, 0.5f, 0));
    frame(0.01f);
    EXPECT_NEAR(list->_scrollOffset.y, -0.5f, 1e-6f);
    list->touchEnded(Vector3());

    frame(0.01f);  // 3 x min(1, 10 x 0.05) = 1.5 units a second
    EXPECT_NEAR(list->_scrollOffset.y, -0.485f, 1e-4f);
    EXPECT_NEAR(list->_velocity.y, 1.5f, 1e-3f);
    EXPECT_NEAR(rowZ(0), 0.315f, 1e-4f);
    for (int i = 0; i < 400; ++i)
        frame(0.01f);
    EXPECT_NEAR(findView(page, "r0")->_unionHigh.y, 0.75f, 0.002f);
    EXPECT_LT(list->_scrollOffset.y, 0);
    // Settled: the content no longer moves, so the views are not projected again.
    EXPECT_FALSE(list->_changed);
}

TEST_F(Scrolling, OnlyShownChildViewsMakeTheContent) {
    ScrollView* list = loadList();
    Vector3 low, high;
    Vector3 size = list->contentBounds(low, high);
    EXPECT_NEAR(low.y, 0.05f, 1e-5f);
    EXPECT_NEAR(high.y, 0.95f, 1e-5f);
    EXPECT_NEAR(size.y, 0.9f, 1e-5f);

    findView(page, "r0")->setHidden(true);
    frame();
    list->contentBounds(low, high);
    EXPECT_NEAR(high.y, 0.75f, 1e-5f);
    // Hidden rows still move with the others.
    list->setScrollOffset(Vector3(0, 0.1f, 0));
    EXPECT_NEAR(rowZ(0), 0.9f, 1e-5f);
    // Setting the same offset again moves nothing.
    list->setScrollOffset(Vector3(0, 0.1f, 0));
    EXPECT_NEAR(rowZ(0), 0.9f, 1e-5f);
    // Horizontal and depth offsets do not reach the rows (axis factors 0).
    list->setScrollOffset(Vector3(0.3f, 0.1f, 0.2f));
    EXPECT_NEAR(findView(page, "r0")->getWorldPosition().x, 0, 1e-6f);
    EXPECT_NEAR(rowZ(0), 0.9f, 1e-5f);
}

// Content made only of hidden rows is no content: nothing springs (a union of no rectangle
// would read as content far below the view and pull the rows away for ever).
TEST_F(Scrolling, AllRowsHiddenIsNoContent) {
    ScrollView* list = loadList();
    for (int i = 0; i < 5; ++i)
        findView(page, "r" + std::to_string(i))->setHidden(true);
    list->setScrollOffset(Vector3(0, -0.5f, 0));
    frame(0);
    Vector3 low, high;
    EXPECT_EQ(list->contentBounds(low, high), Vector3());
    for (int i = 0; i < 10; ++i)
        frame(0.1f);
    EXPECT_EQ(list->_scrollOffset, Vector3(0, -0.5f, 0));
    EXPECT_NEAR(rowZ(0), 0.3f, 1e-5f);
}

// Without an interface camera a drag has no world size: nothing moves.
TEST(ScrollViewAlone, WithoutACameraNothingScrolls) {
    Object root(nullptr);
    auto* scroll = new ScrollView(nullptr, &root);
    auto* row = new Button(scroll);
    row->_parentView = scroll;
    scroll->_childViews.push_back(row);
    scroll->touchBegan(Vector3(0.5f, 0.5f, 0));
    scroll->touchMoved(Vector3(0.5f, 0.9f, 0));
    EXPECT_EQ(scroll->scrollBy(Vector3(0, 0.1f, 0)), Vector3());
    EXPECT_EQ(row->getPosition(), Vector3());
    EXPECT_EQ(scroll->_scrollOffset, Vector3());
}

TEST_F(Scrolling, AScrollViewWithoutChildViewsNeverSprings) {
    PageWriter pw;
    pw.node("empty", {0, 0, 0}, {{"class", "ScrollView"}});
    page = load("p.scene", pw);
    auto* empty = dynamic_cast<ScrollView*>(findView(page, "empty"));
    ASSERT_NE(empty, nullptr);
    empty->_scrollOffset = Vector3(0, -0.5f, 0);
    frame(0.1f);
    EXPECT_EQ(empty->_scrollOffset, Vector3(0, -0.5f, 0));
    EXPECT_EQ(empty->_velocity, Vector3());
}

TEST_F(Scrolling, ATextViewCarriesItsTextAndItsRectangleFollows) {
    TextView* text = loadText();
    ASSERT_NE(text, nullptr);
    Object* label = findNode(text, "label");
    ASSERT_EQ(text->_textNode, label);
    EXPECT_NEAR(text->_textLow.y, -0.25f, 1e-5f);
    EXPECT_NEAR(text->_textHigh.y, 1.25f, 1e-5f);
    EXPECT_NEAR(text->_unionHigh.y, 1.25f, 1e-5f);

    // The offset moves the text by the whole difference, on every axis.
    text->setScrollOffset(Vector3(0.1f, 0.2f, 0.3f));
    EXPECT_NEAR(label->getPosition().x, 0.1f, 1e-6f);
    EXPECT_NEAR(label->getPosition().y, 0.2f, 1e-6f);
    EXPECT_NEAR(label->getPosition().z, 0.3f, 1e-6f);
    frame(0);
    EXPECT_NEAR(text->_textHigh.y, 1.35f, 1e-5f);
    text->setScrollOffset(Vector3());
    frame(0);

    // A drag moves the text.
    text->touchBegan(Vector3(0.5f, 0.5f, 0));
    text->touchMoved(Vector3(0.5f, 0.52f, 0));
    EXPECT_NEAR(label->getPosition().y, 0.04f, 1e-5f);
    text->touchEnded(Vector3());
    frame(0);
    EXPECT_NEAR(text->_textHigh.y, 1.27f, 1e-5f);
}

// The spring moves the text of a text view, not only its offset.
TEST_F(Scrolling, ATextViewSpringsItsTextBack) {
    TextView* text = loadText();
    text->setScrollOffset(Vector3(0, -1.1f, 0));  // the text's top 0.05 below the view's
    frame(0);
    EXPECT_NEAR(text->_textHigh.y, 0.70f, 1e-5f);
    frame(0.01f);
    EXPECT_NEAR(text->_scrollOffset.y, -1.085f, 1e-4f);
    EXPECT_NEAR(findNode(text, "label")->getPosition().y, -1.085f, 1e-4f);
    for (int i = 0; i < 400; ++i)
        frame(0.01f);
    EXPECT_NEAR(text->_textHigh.y, 0.75f, 0.002f);
}

}  // namespace

namespace {

using namespace uitest;

// A scroll view inside another view, 20 units in front of a perspective camera (90 degrees, so
// the screen's half height is 20 units there) while its own local position is the origin.
class NestedScrolling : public UiFixture {};

TEST_F(NestedScrolling, DragsAtItsOwnDepthAndSpringsBack) {
    std::vector<ChildBox> rows;
    const float ys[] = {0.8f, 0.4f, 0, -0.4f, -0.8f};
    for (int i = 0; i < 5; ++i)
        rows.push_back(ChildBox("r" + std::to_string(i), {0, ys[i], 0}, {0.8f, 0.2f, 0.2f}, {{"class", "Button"}}));
    writeObject("frame", boxes({{"class", "View"}}, {ChildBox("scroll", {0, 0, 0}, {1, 1, 1}, {{"class", "ScrollView"}}, rows)}));
    PageWriter pw(false);
    pw.camera("cam", true, 90.0f).node("frame", {0, 10, 0}, {}, "frame", {1, 1, 1}, kUpright);
    Page* page = load("p.scene", pw);
    frame(0);
    auto* scroll = dynamic_cast<ScrollView*>(findView(page, "scroll"));
    ASSERT_NE(scroll, nullptr);
    ASSERT_EQ(scroll->_parentView, findView(page, "frame"));

    scroll->touchBegan(Vector3(0.5f, 0.5f, 0));
    scroll->touchMoved(Vector3(0.5f, 0.51f, 0));  // 0.02 of the device's height: 0.4 units there
    scroll->touchEnded(Vector3());
    EXPECT_NEAR(scroll->_scrollOffset.y, 0.4f, 1e-3f);
    EXPECT_NEAR(findView(page, "r2")->getWorldPosition().z, 0.4f, 1e-3f);

    // The content's top a little below the view's: the spring closes the gap at 30 x gap units
    // a second.
    scroll->setScrollOffset(Vector3(0, -0.5f, 0));
    frame(0);
    Vector3 low, high;
    scroll->contentBounds(low, high);
    const float gap = scroll->_unionHigh.y - high.y;
    ASSERT_GT(gap, 0.001f);
    frame(0.1f);
    EXPECT_NEAR(scroll->_scrollOffset.y, -0.5f + 3.0f * 10.0f * gap * 0.1f, 1e-5f);
}

}  // namespace

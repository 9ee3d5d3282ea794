// Buttons: binding events by name and running them as the panel drives the touches; the tap
// test under scroll views.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/ui/Page.h"
#include "engine/ui/ScrollView.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "support_ui.h"

namespace {

using namespace uitest;

class Buttons : public UiFixture {
protected:
    Buttons() {
        handler.events = {&ok, &okAgain, &press, &other};
    }
    // The panel's touch: touchBegan on the view hit at down, touchEnded when the same view is
    // hit at up.
    void tap(Page* page, const Vector3& down, const Vector3& up) {
        View* hit = page->hitTest(down);
        if (hit)
            hit->touchBegan(down);
        if (hit && page->hitTest(up) == hit)
            hit->touchEnded(up);
    }

    CountingEvent ok{"ok"}, okAgain{"ok"}, press{"press"}, other{"Other"};
    UiEventHandler handler;
};

struct BindCase {
    const char* name;
    const char* cls;
    cw::Properties properties;
    bool withHandler;
    const char* up;    // expected event names (null: none)
    const char* down;
};

const BindCase kBindCases[] = {
    {"up_only", "Button", {{"onTouchUpInside", "ok"}}, true, "ok", nullptr},
    {"down_only", "Button", {{"onTouch", "press"}}, true, nullptr, "press"},
    {"both", "Button", {{"onTouch", "press"}, {"onTouchUpInside", "Other"}}, true, "Other", "press"},
    {"case_differs", "Button", {{"onTouchUpInside", "OK"}, {"onTouch", "other"}}, true, nullptr, nullptr},
    {"unmatched_later_binding_clears", "Button", {{"onTouchUpInside", "ok"}, {"onTouchUpInside", "nothing"}}, true,
     nullptr, nullptr},
    {"without_handler", "Button", {{"onTouchUpInside", "ok"}, {"onTouch", "press"}}, false, nullptr, nullptr},
    {"views_do_not_bind", "View", {{"onTouchUpInside", "ok"}, {"onTouch", "press"}}, true, nullptr, nullptr},
};

class Binding : public Buttons, public ::testing::WithParamInterface<BindCase> {};

TEST_P(Binding, BindsTheFirstEventOfTheExactName) {
    const BindCase& c = GetParam();
    cw::Properties properties = c.properties;
    properties.insert(properties.begin(), {"class", c.cls});
    PageWriter pw;
    pw.node("b", {0, 0, 0}, properties);
    Page* page = load("p.scene", pw, c.withHandler ? &handler : nullptr);
    ASSERT_EQ(page->_views.size(), 1u);
    View* b = page->_views[0];
    EXPECT_EQ(page->_eventHandler, c.withHandler ? &handler : nullptr);
    auto expectEvent = [&](UiEvent* got, const char* want) {
        if (!want) {
            EXPECT_EQ(got, nullptr);
            return;
        }
        ASSERT_NE(got, nullptr);
        EXPECT_STREQ(got->name, want);
        // Two events of one name: the first in the list is bound.
        EXPECT_EQ(got, handler.find(want));
    };
    expectEvent(b->_upEvent, c.up);
    expectEvent(b->_downEvent, c.down);
}

INSTANTIATE_TEST_SUITE_P(Events, Binding, ::testing::ValuesIn(kBindCases),
                         [](const ::testing::TestParamInfo<BindCase>& info) { return info.param.name; });

TEST(UiEventHandler, FindsByExactName) {
    CountingEvent a("go"), b("go"), c("Go");
    UiEventHandler h;
    h.events = {&a, &b, &c};
    EXPECT_EQ(h.find("go"), &a);
    EXPECT_EQ(h.find("Go"), &c);
    EXPECT_EQ(h.find("GO"), nullptr);
    EXPECT_EQ(h.find("go "), nullptr);
    EXPECT_EQ(h.find(nullptr), nullptr);
}

// The up event runs only when the finger is lifted over the button it went down on; the down
// event runs once when it goes down, wherever it is lifted.
TEST_F(Buttons, EventsRunOnTouchDownAndUpInsideOnly) {
    PageWriter pw;
    pw.node("up", {-0.5f, 0, 0}, {{"class", "Button"}, {"onTouchUpInside", "ok"}})
        .node("down", {0.5f, 0, 0}, {{"class", "Button"}, {"onTouch", "press"}});
    Page* page = load("p.scene", pw, &handler);
    frame();
    View* up = findView(page, "up");

    tap(page, screenOf(-0.5f, 0), screenOf(-0.52f, 0.02f));
    EXPECT_EQ(ok.runs, 1);
    EXPECT_EQ(ok.last, up);
    EXPECT_EQ(okAgain.runs, 0);

    tap(page, screenOf(-0.5f, 0), screenOf(0.5f, 0));  // lifted over the other button
    tap(page, screenOf(-0.5f, 0), screenOf(0, 0.8f));  // lifted over nothing
    EXPECT_EQ(ok.runs, 1);
    EXPECT_EQ(press.runs, 0);

    tap(page, screenOf(0.5f, 0), screenOf(-0.5f, 0));
    EXPECT_EQ(press.runs, 1);
    EXPECT_EQ(ok.runs, 1);
    tap(page, screenOf(0.5f, 0), screenOf(0.5f, 0));
    EXPECT_EQ(press.runs, 2);
}

TEST_F(Buttons, TouchStartRunsTheDownEventAndStoresThePoint) {
    PageWriter pw;
    pw.node("b", {0, 0, 0}, {{"class", "Button"}, {"onTouch", "press"}});
    Page* page = load("p.scene", pw, &handler);
    View* b = page->_views[0];
    b->touchStart(Vector3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(press.runs, 1);
    EXPECT_EQ(b->_touchPoint, Vector3(0.1f, 0.2f, 0.3f));
    // touchBegan runs it and stores nothing.
    b->touchBegan(Vector3(0.5f, 0.5f, 0));
    EXPECT_EQ(press.runs, 2);
    EXPECT_EQ(b->_touchPoint, Vector3(0.1f, 0.2f, 0.3f));
}

// Still a tap: under a scroll view while the finger stays within a squared distance of 0.001
// of the stored point; a text view does not count as a scroll view here.
TEST(TapTest, CountsOnlyScrollViewAncestors) {
    Object root(nullptr);
    auto* scroll = new ScrollView(nullptr, &root);
    auto* text = new TextView(nullptr, &root);
    auto* plain = new View(&root);
    // Both links, as a page builds them: a child view its parent does not list would still point
    // at the parent while the node tree frees it.
    auto attach = [](auto* child, View* parent) {
        child->_parentView = parent;
        parent->_childViews.push_back(child);
        return child;
    };
    auto* inScroll = attach(new Button(scroll), scroll);
    auto* middle = attach(new View(scroll), scroll);
    auto* deep = attach(new Button(middle), middle);
    auto* inText = attach(new Button(text), text);
    auto* inPlain = attach(new Button(plain), plain);

    const Vector3 near(0.0316f, 0, 0);  // 0.000998...
    const Vector3 far(0.0317f, 0, 0);   // 0.001004...
    EXPECT_TRUE(inScroll->touchBegan(near));
    EXPECT_FALSE(inScroll->touchBegan(far));
    EXPECT_FALSE(deep->touchMoved(far));
    EXPECT_TRUE(deep->touchMoved(near));
    EXPECT_TRUE(inText->touchBegan(Vector3(5, 5, 0)));
    EXPECT_TRUE(inPlain->touchBegan(Vector3(5, 5, 0)));
    EXPECT_TRUE(plain->touchBegan(Vector3(5, 5, 0)));

    EXPECT_EQ(deep->nearestScrollView(), scroll);
    EXPECT_EQ(scroll->nearestScrollView(), scroll);
    EXPECT_EQ(inText->nearestScrollView(), text);
    EXPECT_EQ(inPlain->nearestScrollView(), nullptr);
}

}  // namespace

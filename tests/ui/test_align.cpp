// Screen-edge alignment of the groups a page marks with "align" EMPTYs.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/ui/Page.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"
#include "engine/bounds.h"
#include "engine/render/Mesh.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Transform.h"
#include "support_ui.h"

namespace {

using namespace uitest;

class Align : public UiFixture {};

struct TargetCase {
    const char* value;
    float x, z;  // world X and Z of the screen point the anchor goes to
};

const TargetCase kTargets[] = {
    {"left,top", -1, 1}, {"left,bottom", -1, -1}, {"top", 0, 1},      {"bottom", 0, -1},
    {"left", -1, 0},     {"right", 1, 0},         {"right,top", 1, 1}, {"lower,right", 0, 0},
};

class AlignTargets : public Align, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(AlignTargets, TheAnchorGoesToItsEdgeAndTheGroupKeepsItsPlace) {
    const TargetCase& c = GetParam();
    PageWriter pw;
    pw.empty("g", {0.2f, 0, 0.1f}, {{"align", c.value}}, {"g"})
        .node("member", {0.25f, 0, 0.05f}, {{"class", "View"}}, "box", {0.2f, 0.2f, 0.2f}, {}, {"g"})
        .node("bystander", {0.25f, 0, 0.05f}, {{"class", "View"}});
    Page* page = load("p.scene", pw);
    ui()->alignViews();
    const Vector3 p = findNode(page->_root, "member")->getPosition();
    EXPECT_NEAR(p.x, c.x + 0.05f, 1e-4f);
    EXPECT_NEAR(p.y, 0, 1e-6f);
    EXPECT_NEAR(p.z, c.z - 0.05f, 1e-4f);
    // The EMPTY itself and nodes outside the group stay.
    EXPECT_NEAR(page->_empties["g"]->node->getPosition().x, 0.2f, 1e-6f);
    EXPECT_NEAR(findNode(page->_root, "bystander")->getPosition().x, 0.25f, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(Values, AlignTargets, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<TargetCase>& info) {
                             std::string n = info.param.value;
                             for (char& ch : n)
                                 if (ch == ',')
                                     ch = '_';
                             return n;
                         });

// Two panel sets loaded one after the other: each page is aligned once, so the corner groups of
// the first stay at their edges when the second set is aligned, and a page without a camera uses
// the one before it.
TEST_F(Align, GroupsStayAtTheScreenEdgesAfterTwoLoads) {
    PageWriter first;
    first.empty("corner", {0.4f, 0, 0.4f}, {{"align", "right,top"}}, {"corner"})
        .node("badge", {0.3f, 0, 0.3f}, {{"class", "View"}}, "box", {0.2f, 0.2f, 0.2f}, {}, {"corner"});
    Page* p1 = load("first.scene", first);
    ui()->alignViews();
    View* badge = findView(p1, "badge");
    // Rectangles come with the alignment.
    EXPECT_NEAR(badge->_ownHigh.x, 1.0f, 1e-4f);
    EXPECT_NEAR(badge->_ownHigh.y, 1.0f, 1e-4f);

    PageWriter second(false);
    second.empty("foot", {-0.4f, 0, -0.4f}, {{"align", "left,bottom"}}, {"foot"})
        .node("button", {-0.3f, 0, -0.3f}, {{"class", "Button"}}, "box", {0.2f, 0.2f, 0.2f}, {}, {"foot"});
    Page* p2 = load("second.scene", second);
    ui()->alignViews();
    ui()->alignViews();
    frame();

    EXPECT_NEAR(badge->getPosition().x, 0.9f, 1e-4f);
    EXPECT_NEAR(badge->getPosition().z, 0.9f, 1e-4f);
    EXPECT_NEAR(badge->_ownHigh.x, 1.0f, 1e-4f);
    EXPECT_NEAR(badge->_ownHigh.y, 1.0f, 1e-4f);
    View* button = findView(p2, "button");
    EXPECT_NEAR(button->_ownLow.x, 0.0f, 1e-4f);
    EXPECT_NEAR(button->_ownLow.y, 0.0f, 1e-4f);
    EXPECT_EQ(p2->hitTest(Vector3(0.05f, 0.05f, 0.5f)), button);
}

TEST_F(Align, APageWithTwoCamerasUsesTheCameraBefore) {
    PageWriter first;
    load("first.scene", first);
    PageWriter second(false);
    second.camera("wide", false, 4).camera("wider", false, 6);
    second.empty("g", {0, 0, 0}, {{"align", "right"}}, {"g"})
        .node("n", {0, 0, 0}, {{"class", "View"}}, "box", {0.2f, 0.2f, 0.2f}, {}, {"g"});
    Page* p2 = load("second.scene", second);
    ui()->alignViews();
    EXPECT_NEAR(findNode(p2->_root, "n")->getPosition().x, 1.0f, 1e-4f);
}

// Under a perspective camera each member moves by the offset scaled by its depth over the
// anchor's; under an orthographic one all move alike.
TEST_F(Align, PerspectiveScalesByDepthOrthographicDoesNot) {
    for (bool perspective : {true, false}) {
        SCOPED_TRACE(perspective);
        PageWriter pw(false);
        pw.camera("cam", perspective, perspective ? 90.0f : 2.0f);
        pw.empty("g", {0, 0, 0}, {{"align", "right"}}, {"g"})
            .node("near", {0, 0, 0}, {}, "box", {0.2f, 0.2f, 0.2f}, {}, {"g"})
            .node("far", {0, 10, 0}, {}, "box", {0.2f, 0.2f, 0.2f}, {}, {"g"});
        Page* page = load(perspective ? "persp.scene" : "ortho.scene", pw);
        ui()->alignViews();
        const float dx = perspective ? 10.0f : 1.0f;  // half the screen's width at the anchor
        EXPECT_NEAR(findNode(page->_root, "near")->getPosition().x, dx, 1e-3f);
        EXPECT_NEAR(findNode(page->_root, "far")->getPosition().x, perspective ? 2 * dx : dx, 1e-3f);
        delete _ui;
        _ui = nullptr;
    }
}

// An anchor at the camera's own depth has no depth ratio: its group moves unscaled, and says so.
TEST_F(Align, AnAnchorInTheCameraPlaneMovesItsGroupUnscaled) {
    testsupport::LogCapture log;
    PageWriter pw(false);
    pw.camera("cam", true, 90.0f);
    pw.empty("g", {3, -10, 0}, {{"align", "top"}}, {"g"}).node("n", {3, 0, 0}, {}, "box", {0.2f, 0.2f, 0.2f}, {}, {"g"});
    Page* page = load("p.scene", pw);
    ui()->alignViews();
    const Vector3 p = findNode(page->_root, "n")->getPosition();
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << p.x << " " << p.z;
    EXPECT_NEAR(p.y, 0, 1e-6f);
    EXPECT_TRUE(log.contains("lies in the camera plane")) << log.all();
}

// An animated member takes its key frames along, once.
TEST_F(Align, AnimatedMembersMoveTheirKeys) {
    std::vector<cw::SceneKeyDesc> keys(2);
    keys[0].position = cw::Vec3(0, 0, 0);
    keys[1].position = cw::Vec3(0.1f, 0, 0);
    PageWriter pw;
    pw.empty("g", {0, 0, 0}, {{"align", "left,top"}}, {"g"})
        .node("n", {0, 0, 0}, {}, "box", {0.2f, 0.2f, 0.2f}, {}, {"g"}, keys);
    Page* page = load("p.scene", pw);
    ui()->alignViews();
    ui()->alignViews();
    Object* n = findNode(page->_root, "n");
    ASSERT_NE(n->_animation, nullptr);
    const KeyFrameList& k = *n->_animation->_keys;
    EXPECT_NEAR(k[0].position.x, -1, 1e-4f);
    EXPECT_NEAR(k[0].position.z, 1, 1e-4f);
    EXPECT_NEAR(k[1].position.x, -0.9f, 1e-4f);
    EXPECT_NEAR(n->getPosition().x, -1, 1e-4f);
}

// An item's key frames slide it in from off the screen; the alignment places it while it still
// stands at that first key. Its mesh's world box must follow the slide, or culling keeps it hidden.
TEST_F(Align, AnAlignedItemsBoundsFollowItsKeyFrames) {
    std::vector<cw::SceneKeyDesc> keys(2);
    keys[0].position = cw::Vec3(10, 0, 0);
    keys[1].position = cw::Vec3(0, 0, 0);
    PageWriter pw;
    pw.empty("g", {0, 0, 0}, {{"align", "left,top"}}, {"g"})
        .node("n", {10, 0, 0}, {}, "box", {0.2f, 0.2f, 0.2f}, {}, {"g"}, keys);
    Page* page = load("p.scene", pw);
    ui()->alignViews();
    Object* n = findNode(page->_root, "n");
    ASSERT_NE(n, nullptr);
    ASSERT_NE(n->_animation, nullptr);
    ASSERT_FALSE(n->_meshes.empty());
    n->_animation->_loop = 0;
    n->_animation->_playing = 1;
    for (int i = 0; i < 120; ++i)
        frame();
    const Vector3 at = n->_transform->_world.getTranslation();
    EXPECT_NEAR(at.x, -1, 1e-3f) << "the slide ends at the aligned rest";
    const Bounds* box = n->_meshes.front()->_bounds;
    ASSERT_NE(box, nullptr);
    EXPECT_NEAR((box->_worldMin.x + box->_worldMax.x) * 0.5f, at.x, 0.2f);
    EXPECT_NEAR((box->_worldMin.z + box->_worldMax.z) * 0.5f, at.z, 0.2f);
}

}  // namespace

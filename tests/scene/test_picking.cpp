// Ray tests against mesh triangles and picking through the active camera.

#include <gtest/gtest.h>

#include "engine/render/Mesh.h"
#include "engine_game/Camera.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "support_scene.h"
#include "support_world.h"

namespace {

using namespace worldtest;

class Picking : public WorldFixture {
protected:
    Picking() {
        writeObject("box.object", boxObject("box", cw::Vec3(2, 2, 2)));
        cw::ObjectFileDesc withChild = boxObject("parent", cw::Vec3(2, 2, 2));
        cw::ObjectNodeDesc child;
        child.name = "child";
        child.position = cw::Vec3(0, 0, 4);
        child.ranges = withChild.top.ranges;
        cw::ObjectNodeDesc grandchild = child;
        grandchild.name = "grandchild";
        child.children.push_back(grandchild);
        withChild.top.children.push_back(child);
        writeObject("family.object", withChild);
        scene = world()->createScene("s", 0, 0);
    }

    // The nearest hit of a segment along +y through x, z.
    std::vector<RayHit> along(float x, float z, float fromY = -10, float toY = 10, int filter = -1) {
        std::vector<RayHit> hits;
        world()->rayTest(hits, Vector3(x, fromY, z), Vector3(x, toY, z), filter);
        return hits;
    }

    Scene* scene = nullptr;
};

struct FlagCase {
    const char* name;
    bool hidden;
    bool hitWhenHidden;
    bool blocking;
    int typeId;
    int filter;
    bool hit;
};

const FlagCase kFlagCases[] = {
    {"visible", false, false, true, 0, -1, true},
    {"hidden", true, false, true, 0, -1, false},
    {"hidden_but_hit_when_hidden", true, true, true, 0, -1, true},
    {"not_blocking", false, false, false, 0, -1, false},
    {"filter_matches_type", false, false, true, 100, 100, true},
    {"filter_other_type", false, false, true, 0, 100, false},
    {"no_filter_any_type", false, false, true, 7, -1, true},
};

class PickingFlags : public Picking, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(PickingFlags, DecideWhatIsHit) {
    const FlagCase& c = GetParam();
    Object* n = place(scene, "box.object", "n");
    n->setHidden(c.hidden);
    n->setBlockingWhenHidden(c.hitWhenHidden);
    n->setBlocking(c.blocking);
    n->_typeId = c.typeId;
    EXPECT_EQ(along(0, 0, -10, 10, c.filter).size(), c.hit ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Flags, PickingFlags, ::testing::ValuesIn(kFlagCases),
                         [](const ::testing::TestParamInfo<FlagCase>& info) { return info.param.name; });

TEST_F(Picking, HiddenParentsStillLetVisibleChildrenBeHit) {
    Object* family = place(scene, "family.object", "family");
    Object* child = findNode(family, "child");
    Object* grandchild = findNode(family, "grandchild");
    ASSERT_TRUE(child && grandchild);
    // The child alone is hidden, not its own child.
    child->_hidden = 1;
    for (Mesh* m : child->_meshes)
        m->_hidden = 1;
    family->updateTransform();
    EXPECT_EQ(along(0, 0).size(), 1u);
    EXPECT_TRUE(along(0, 4).empty());
    std::vector<RayHit> hits = along(0, 8);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].node, grandchild);
}

TEST_F(Picking, GroundNodesAreVisitedEvenWhenNotBlocking) {
    Object* family = place(scene, "family.object", "family");
    family->_typeId = 100;
    family->setBlockingSelf(false);
    family->updateTransform();
    EXPECT_TRUE(along(0, 0, -10, 10, 100).empty());
    EXPECT_EQ(along(0, 4, -10, 10, 100).size(), 1u);
    EXPECT_EQ(along(0, 8, -10, 10, 100).size(), 1u);
}

TEST_F(Picking, TheNearerOfTwoMeshes) {
    Object* far = place(scene, "box.object", "far", Vector3(0, 5, 0));
    Object* near = place(scene, "box.object", "near", Vector3(0, -5, 0));
    for (bool reversed : {false, true}) {
        std::vector<RayHit> hits = reversed ? along(0, 0, 10, -10) : along(0, 0);
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0].node, reversed ? far : near);
        EXPECT_EQ(hits[0].scene, scene);
        EXPECT_EQ(hits[0].mesh, hits[0].node->_meshes[0]);
        const float faceY = reversed ? 6 : -6;
        scenetest::expectVec(hits[0].point, Vector3(0, faceY, 0), 1e-4f);
        EXPECT_NEAR(hits[0].distance, 4.0f / 20.0f, 1e-5f);
        scenetest::expectVec(hits[0].normal, Vector3(0, reversed ? 1.0f : -1.0f, 0), 1e-5f);
    }
}

TEST_F(Picking, SegmentEndsAndEdges) {
    place(scene, "box.object", "n");
    // Ending exactly on the near face's plane is no hit; crossing it is.
    EXPECT_TRUE(along(0, 0.5f, -10, -1).empty());
    EXPECT_EQ(along(0, 0.5f, -10, -0.9f).size(), 1u);
    // From inside the box the far face is hit (no back-face culling).
    std::vector<RayHit> inside = along(0.3f, 0.2f, 0, 10);
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_NEAR(inside[0].point.y, 1.0f, 1e-5f);
    // The face centre lies on the diagonal shared by its two triangles, and the box's corner
    // edge on a face border: both count as inside.
    EXPECT_EQ(along(0, 0).size(), 1u);
    EXPECT_EQ(along(1, 1).size(), 1u);
    EXPECT_TRUE(along(1.001f, 0).empty());
}

TEST_F(Picking, OnlyShownRayTestableScenes) {
    place(scene, "box.object", "n");
    scene->_rayTestable = 0;
    EXPECT_TRUE(along(0, 0).empty());
    scene->_rayTestable = 1;
    scene->hide();
    EXPECT_TRUE(along(0, 0).empty());
    scene->show();
    EXPECT_EQ(along(0, 0).size(), 1u);
}

TEST_F(Picking, ThroughTheActiveCamera) {
    place(scene, "box.object", "target");
    std::vector<RayHit> hits(3);
    world()->pick(hits, 0.5f, 0.5f, -1, nullptr);
    EXPECT_TRUE(hits.empty());  // no camera yet

    writeData("cam.txt", std::string("CAMERA cam PERSP 0 -10 0 1.5707964 0 0 60\n"));
    world()->loadScene("cam.txt", 0, 0);
    ASSERT_NE(world()->getCamera(), nullptr);
    Vector3 direction;
    world()->pick(hits, 0.5f, 0.5f, -1, &direction);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].node->_name, "target");
    scenetest::expectVec(direction, Vector3(0, 1, 0), 1e-4f);
    scenetest::expectVec(hits[0].point, Vector3(0, -1, 0), 1e-3f);
    // Towards the screen's edge the ray passes the box.
    world()->pick(hits, 0.95f, 0.5f, -1, &direction);
    EXPECT_TRUE(hits.empty());
    EXPECT_GT(direction.x, 0.3f);
    // Up on the screen is up in the world.
    world()->pick(hits, 0.5f, 0.1f, -1, &direction);
    EXPECT_GT(direction.z, 0.3f);
}

}  // namespace

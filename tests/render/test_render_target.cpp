// Render targets: linking meshes into the pre-grouped draw lists, unlinking, culling over two
// frames, sorting the blended chains, the full-screen quad and post effects.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "DrawFixtures.h"
#include "TestSupport.h"
#include "engine/bounds.h"
#include "engine/render/Material.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/RenderTarget.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"

namespace {

// A small triangle list whose positions span the unit cube around the origin.
Geometry* makeGeometry(uint32_t triangles = 2) {
    std::vector<uint16_t> indices(triangles * 3);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = (uint16_t)(i % 4);
    return drawfixtures::makePositionGeometry(
        {-0.5f, -0.5f, -0.5f, 0.5f, -0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}, indices);
}

Material* makeMaterial(int blendMode, int orderID) {
    Material* m = new Material();
    m->_blendMode = blendMode;
    m->_orderID = orderID;
    return m;
}

// Owns everything a test makes; meshes leave every target before they die.
struct Scene {
    std::vector<std::unique_ptr<Geometry>> geometries;
    std::vector<std::unique_ptr<Material>> materials;
    std::vector<std::unique_ptr<Mesh>> meshes;
    std::vector<RenderTarget*> targets;

    ~Scene() {
        for (auto& mesh : meshes)
            for (RenderTarget* t : targets) t->removeMesh(mesh.get());
        for (auto& mesh : meshes)
            for (RenderTarget* t : targets)
                if (mesh->_renderLink) {
                    EXPECT_FALSE(mesh->_renderLink->isLinkedIn(t->_index)) << "still linked";
                }
    }
    Geometry* geometry(uint32_t triangles = 2) {
        geometries.emplace_back(makeGeometry(triangles));
        return geometries.back().get();
    }
    Material* material(int blendMode, int orderID = 0) {
        materials.emplace_back(makeMaterial(blendMode, orderID));
        return materials.back().get();
    }
    Mesh* mesh(Geometry* g, Material* m, Vector3 at = Vector3(), int32_t first = 0, int32_t count = -1) {
        meshes.emplace_back(new Mesh());
        Mesh* mesh = meshes.back().get();
        mesh->setGeometry(g, first, count == -1 ? (int32_t)g->_indexCount : count);
        mesh->_material = m;
        moveTo(mesh, at);
        return mesh;
    }
    static void moveTo(Mesh* mesh, const Vector3& at) {
        mesh->_worldMatrix = Matrix4::translation(at);
        mesh->updateBounds();
    }
};

// Meshes of one chain, head to tail.
std::vector<Mesh*> chain(const RenderTarget& t, RenderLink* head) {
    std::vector<Mesh*> out;
    for (RenderLink* n = head; n; n = n->nextIn(t._index)) out.push_back(n->mesh);
    return out;
}

std::vector<float> chainX(const RenderTarget& t, RenderLink* head) {
    std::vector<float> out;
    for (Mesh* m : chain(t, head)) out.push_back(m->_worldMatrix.getTranslation().x);
    return out;
}

// Every chain's links agree both ways, and heads have no previous node.
void expectConsistent(const RenderTarget& t) {
    const uint32_t i = t._index;
    std::vector<RenderLink*> heads = t._opaqueChains;
    heads.insert(heads.end(), t._blendedChains.begin(), t._blendedChains.end());
    if (t._culledList) heads.push_back(t._culledList);
    std::set<RenderLink*> seen;
    for (RenderLink* head : heads) {
        EXPECT_EQ(head->prevIn(i), nullptr);
        for (RenderLink* n = head; n; n = n->nextIn(i)) {
            EXPECT_TRUE(seen.insert(n).second) << "a node sits in two chains";
            EXPECT_TRUE(n->isLinkedIn(i));
            if (RenderLink* next = n->nextIn(i)) {
                EXPECT_EQ(next->prevIn(i), n);
            }
        }
    }
}

TEST(RenderTargetLists, AddingTwiceLinksOnceAndTargetsKeepTheirOwnLinks) {
    Scene s;
    RenderTarget a, b;
    ASSERT_NE(a._index, b._index);  // every live target has its own link slot
    b._index = 3;  // its link entries are grown only when it first links a mesh
    s.targets = {&a, &b};
    Mesh* m = s.mesh(s.geometry(), s.material(BlendNone));
    a.addMesh(m);
    a.addMesh(m);
    EXPECT_EQ(a.linkedMeshCount(), 1u);
    EXPECT_EQ(m->_renderLink->prev.size(), 1u);
    b.addMesh(m);
    b.addMesh(m);
    EXPECT_EQ(b.linkedMeshCount(), 1u);
    EXPECT_EQ(m->_renderLink->prev.size(), 4u);

    a.removeMesh(m);
    EXPECT_EQ(a.linkedMeshCount(), 0u);
    EXPECT_EQ(b.linkedMeshCount(), 1u);
    ASSERT_NE(m->_renderLink, nullptr);  // still listed by b
    b.removeMesh(m);
    // Out of every target the mesh keeps its link (the mesh frees it), linked nowhere, and
    // takes the same one when it comes back.
    RenderLink* link = m->_renderLink;
    ASSERT_NE(link, nullptr);
    EXPECT_FALSE(link->isLinkedIn(a._index));
    EXPECT_FALSE(link->isLinkedIn(b._index));
    b.removeMesh(m);  // not linked: nothing
    EXPECT_EQ(b.linkedMeshCount(), 0u);
    a.addMesh(m);
    EXPECT_EQ(m->_renderLink, link);
    EXPECT_EQ(a.linkedMeshCount(), 1u);
    a.removeMesh(m);
}

TEST(RenderTargetLists, AMeshWithoutMaterialIsNotLinked) {
    Scene s;
    RenderTarget t;
    s.targets = {&t};
    Mesh* m = s.mesh(s.geometry(), nullptr);
    t.addMesh(m);
    EXPECT_EQ(t.linkedMeshCount(), 0u);
    EXPECT_EQ(m->_renderLink, nullptr);
}

TEST(RenderTargetLists, ChainsAreGroupedAndOrdered) {
    Scene s;
    RenderTarget t;
    s.targets = {&t};
    Material* late = s.material(BlendNone, 5);
    Material* early = s.material(BlendNone, 2);
    Material* glassA = s.material(BlendAlpha, 7);
    Material* glassB = s.material(BlendAdditive, 7);
    Material* glassFirst = s.material(BlendPremultAlpha, -1);
    Geometry* g1 = s.geometry();
    Geometry* g2 = s.geometry();

    Mesh* l1 = s.mesh(g1, late, {1, 0, 0});
    Mesh* e1 = s.mesh(g1, early, {2, 0, 0});
    Mesh* l2 = s.mesh(g2, late, {3, 0, 0});
    Mesh* l3 = s.mesh(g1, late, {4, 0, 0});   // same geometry and range as l1: right after it
    Mesh* l4 = s.mesh(g1, late, {5, 0, 0}, 0, 3);  // other index count: a head of its own
    for (Mesh* m : {l1, e1, l2, l3, l4}) t.addMesh(m);

    ASSERT_EQ(t._opaqueChains.size(), 2u);
    EXPECT_EQ(t._opaqueChains[0]->mesh->_material, early);  // orderID 2 before 5
    EXPECT_EQ(chain(t, t._opaqueChains[1]), (std::vector<Mesh*>{l4, l2, l1, l3}));

    Mesh* b1 = s.mesh(g1, glassA, {6, 0, 0});
    Mesh* b2 = s.mesh(g2, glassB, {7, 0, 0});
    Mesh* b3 = s.mesh(g1, glassFirst, {8, 0, 0});
    for (Mesh* m : {b1, b2, b3}) t.addMesh(m);
    ASSERT_EQ(t._blendedChains.size(), 2u);  // orderID 7 shared by two materials
    EXPECT_EQ(chain(t, t._blendedChains[0]), (std::vector<Mesh*>{b3}));
    EXPECT_EQ(chain(t, t._blendedChains[1]), (std::vector<Mesh*>{b2, b1}));
    expectConsistent(t);
}

TEST(RenderTargetLists, RemovingKeepsChainsWhole) {
    Scene s;
    RenderTarget t;
    s.targets = {&t};
    Material* m = s.material(BlendNone);
    Material* only = s.material(BlendNone, 9);
    Geometry* g = s.geometry();
    Mesh* a = s.mesh(g, m, {1, 0, 0});
    Mesh* b = s.mesh(g, m, {2, 0, 0});
    Mesh* c = s.mesh(g, m, {3, 0, 0});
    Mesh* solo = s.mesh(g, only);
    for (Mesh* mesh : {a, b, c, solo}) t.addMesh(mesh);
    ASSERT_EQ(t._opaqueChains.size(), 2u);

    t.removeMesh(solo);  // the only node of its chain: the head entry goes
    EXPECT_EQ(t._opaqueChains.size(), 1u);
    t.removeMesh(a);  // the head: its entry passes on
    EXPECT_EQ(chainX(t, t._opaqueChains[0]), (std::vector<float>{3, 2}));
    t.removeMesh(b);  // the tail
    EXPECT_EQ(chainX(t, t._opaqueChains[0]), (std::vector<float>{3}));
    expectConsistent(t);
}

TEST(RenderTargetLists, ObjectsAreAddedAndRemovedWithTheirChildren) {
    Scene s;
    RenderTarget t;
    s.targets = {&t};
    Geometry* g = s.geometry();
    Material* m = s.material(BlendNone);
    Object root(nullptr);
    Object* child = new Object(&root);  // owned by root
    Object* grandchild = new Object(child);
    Mesh* a = new Mesh();
    Mesh* b = new Mesh();
    Mesh* c = new Mesh();
    for (Mesh* mesh : {a, b, c}) {
        mesh->setGeometry(g, 0, 6);
        mesh->_material = m;
    }
    root.addMesh(a);
    child->addMesh(b);
    grandchild->addMesh(c);
    t.addObject(&root);
    EXPECT_EQ(t.linkedMeshCount(), 3u);
    t.removeObject(child);
    EXPECT_EQ(t.linkedMeshCount(), 1u);
    t.removeObject(&root);
    EXPECT_EQ(t.linkedMeshCount(), 0u);
}

// A perspective camera at the origin looking down -Z.
struct Culling : ::testing::Test {
    Culling() : camera(nullptr) {
        camera.setPerspective(90, 1, 1, 100);
        target._camera = &camera;
        s.targets = {&target};
    }
    Scene s;
    Camera camera;
    RenderTarget target;
};

TEST_F(Culling, MeshesLeaveOnOddCullsAndComeBackOnEvenOnes) {
    Geometry* g = s.geometry();
    Material* m = s.material(BlendNone);
    Material* glass = s.material(BlendAlpha);
    Mesh* inFront = s.mesh(g, m, {0, 0, -10});
    Mesh* behind = s.mesh(g, m, {0, 0, 10});
    Mesh* beyondFar = s.mesh(g, glass, {0, 0, -200});
    Mesh* unbounded = s.mesh(g, m, {0, 0, 50});
    delete unbounded->_bounds;  // no bounds: never culled
    unbounded->_bounds = nullptr;
    for (Mesh* mesh : {inFront, behind, beyondFar, unbounded}) target.addMesh(mesh);

    target.cull();  // phase 1: out of view leaves
    EXPECT_EQ(target._cullPhase, 0);
    EXPECT_EQ(target.linkedMeshCount(), 2u);
    EXPECT_EQ(target.culledMeshCount(), 2u);
    EXPECT_TRUE(target._blendedChains.empty());
    expectConsistent(target);

    Scene::moveTo(behind, {0, 0, -20});
    target.cull();  // phase 0: what came back returns
    EXPECT_EQ(target.linkedMeshCount(), 3u);
    EXPECT_EQ(target.culledMeshCount(), 1u);
    target.cull();  // phase 1 again: nothing else left the view
    EXPECT_EQ(target.culledMeshCount(), 1u);

    beyondFar->_cullable = 0;  // no longer culled: back on the next even cull
    target.cull();
    EXPECT_EQ(target.culledMeshCount(), 0u);
    EXPECT_EQ(target._blendedChains.size(), 1u);
    expectConsistent(target);

    // A culled mesh can be removed like any other.
    Scene::moveTo(inFront, {0, 0, 30});
    target.cull();
    EXPECT_EQ(target.culledMeshCount(), 1u);
    target.removeMesh(inFront);
    EXPECT_EQ(target.culledMeshCount(), 0u);
    EXPECT_FALSE(inFront->_renderLink->isLinkedIn(target._index));
}

TEST_F(Culling, BoundsModeOneTestsTheSphere) {
    Geometry* g = s.geometry();
    Material* m = s.material(BlendNone);
    // Right of the view: the 90 degree volume has |x| <= -z.
    Mesh* edge = s.mesh(g, m, {10.6f, 0, -10});
    target.addMesh(edge);
    const int saved = boundsMode;
    boundsMode = 1;
    Scene::moveTo(edge, {10.6f, 0, -10});  // sphere of radius sqrt(3)/2 reaches back into view
    target.cull();
    EXPECT_EQ(target.culledMeshCount(), 0u);
    Scene::moveTo(edge, {12.0f, 0, -10});
    target.cull();
    target.cull();
    EXPECT_EQ(target.culledMeshCount(), 1u);
    boundsMode = saved;
}

TEST(RenderTargetCulling, WithoutCameraNothingMovesAndThePhaseStays) {
    Scene s;
    RenderTarget t;
    s.targets = {&t};
    Mesh* far = s.mesh(s.geometry(), s.material(BlendNone), {0, 0, 1e6f});
    t.addMesh(far);
    t.cull();
    t.cull();
    EXPECT_EQ(t._cullPhase, 1);
    EXPECT_EQ(t.linkedMeshCount(), 1u);
}

TEST(RenderTargetSort, EachSortTypeOrdersTheBlendedChains) {
    struct Case {
        int sortType;
        std::vector<float> expected;  // x of the meshes placed at (x, 4 - x, x) for x = 1, 3, 2
    };
    const Case cases[] = {
        {RenderTarget::SortXAscending, {1, 2, 3}}, {RenderTarget::SortYAscending, {3, 2, 1}},
        {RenderTarget::SortZAscending, {1, 2, 3}}, {RenderTarget::SortXDescending, {3, 2, 1}},
        {RenderTarget::SortYDescending, {1, 2, 3}}, {RenderTarget::SortZDescending, {3, 2, 1}},
        {RenderTarget::SortNone, {1, 3, 2}},  // unsorted: the geometries differ, so each went before the head
    };
    for (const Case& c : cases) {
        Scene s;
        RenderTarget t;
        s.targets = {&t};
        Material* glass = s.material(BlendAlpha);
        Material* opaque = s.material(BlendNone);
        for (float x : {2.0f, 3.0f, 1.0f}) t.addMesh(s.mesh(s.geometry(), glass, {x, 4 - x, x}));
        for (float x : {2.0f, 3.0f, 1.0f}) t.addMesh(s.mesh(s.geometry(), opaque, {x, 0, 0}));
        t._sortType = c.sortType;
        t.sort();
        EXPECT_EQ(chainX(t, t._blendedChains[0]), c.expected) << "sort type " << c.sortType;
        EXPECT_EQ(chainX(t, t._opaqueChains[0]), (std::vector<float>{1, 3, 2})) << "opaque chains never sort";
        expectConsistent(t);
    }
}

TEST(RenderTargetSort, SortingOneTargetLeavesAnotherTargetsListsAlone) {
    Scene s;
    RenderTarget first, second;
    s.targets = {&first, &second};
    Material* glass = s.material(BlendAlpha);
    Material* other = s.material(BlendAlpha, 3);
    std::vector<Mesh*> shared;
    for (float x : {2.0f, 3.0f, 1.0f}) shared.push_back(s.mesh(s.geometry(), glass, {x, 0, 0}));
    for (Mesh* m : shared) first.addMesh(m);
    // The second target lists the same meshes in two chains of its own.
    second.addMesh(shared[0]);
    Mesh* extra = s.mesh(s.geometry(), other, {9, 0, 0});
    second.addMesh(extra);
    second.addMesh(shared[1]);
    const std::vector<std::vector<Mesh*>> before = {chain(second, second._blendedChains[0]),
                                                    chain(second, second._blendedChains[1])};

    first._sortType = RenderTarget::SortXDescending;
    first.sort();
    EXPECT_EQ(chainX(first, first._blendedChains[0]), (std::vector<float>{3, 2, 1}));
    EXPECT_EQ(chain(second, second._blendedChains[0]), before[0]);
    EXPECT_EQ(chain(second, second._blendedChains[1]), before[1]);
    for (Mesh* m : shared) EXPECT_EQ(m->_renderLink->mesh, m);
    expectConsistent(first);
    expectConsistent(second);
}

// A bundle with post-processing materials in a temporary folder.
struct PostEffects : ::testing::Test {
    PostEffects() : stores(bundle.path(), bundle.path()) {
        testsupport::writeFile(bundle.file("data/materials/blur.txt"), std::string("cullMode = none\ndepthTest = false\n"));
        ResourceManager::instance().resetForTests();
    }
    ~PostEffects() override { ResourceManager::instance().resetForTests(); }
    testsupport::TempDir bundle;
    testsupport::ScopedStores stores;
};

TEST_F(PostEffects, TheQuadCoversTheUsedPartOfThePowerOfTwoTextures) {
    struct Case {
        uint16_t w, h;
        float u, v;
    };
    const Case cases[] = {{480, 320, 0.9375f, 0.625f}, {512, 256, 1, 1}, {300, 200, 300.0f / 512, 200.0f / 256}, {0, 0, 1, 1}};
    for (const Case& c : cases) {
        RenderTarget t;
        t._width = c.w;
        t._height = c.h;
        std::unique_ptr<RenderTarget::RenderTargetMesh> mesh(t.createFullscreenMesh("blur"));
        const Geometry* g = mesh->_geometry;
        ASSERT_EQ(g->_stride, 44u);
        ASSERT_EQ(g->_vertexCount, 4u);
        ASSERT_EQ(g->_indexCount, 6u);
        const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
        EXPECT_EQ(std::memcmp(g->_indices, indices, sizeof(indices)), 0);
        const float* v3 = reinterpret_cast<const float*>(g->_vertices + 3 * 44);
        EXPECT_FLOAT_EQ(v3[0], 1);
        EXPECT_FLOAT_EQ(v3[1], 1);
        EXPECT_FLOAT_EQ(v3[3], c.u) << c.w;
        EXPECT_FLOAT_EQ(v3[4], c.v) << c.h;
        EXPECT_EQ(mesh->getIndexCount(), 6);
        EXPECT_EQ(mesh->_bounds, nullptr);  // never culled
    }
}

TEST_F(PostEffects, TexturesFollowTheSourceBuffers) {
    struct Case {
        uint32_t flags;
        bool colour, depth;
    };
    const Case cases[] = {{1, true, false}, {8, true, false}, {2, false, true}, {16, false, true}, {11, true, true}, {4, false, false}};
    for (const Case& c : cases) {
        RenderTarget t;
        t._flags = c.flags;
        std::unique_ptr<RenderTarget::RenderTargetMesh> mesh(t.createFullscreenMesh("blur"));
        ASSERT_NE(mesh->_material, nullptr);
        std::vector<Texture*> expected;
        if (c.colour) expected.push_back(t._colourTexture);
        if (c.depth) expected.push_back(t._depthTexture);
        EXPECT_EQ(mesh->_material->_textures, expected) << "flags " << c.flags;
    }
}

TEST_F(PostEffects, WithoutTheMaterialFileTheQuadHasNoMaterial) {
    RenderTarget t;
    std::unique_ptr<RenderTarget::RenderTargetMesh> mesh(t.createFullscreenMesh("missing"));
    EXPECT_EQ(mesh->_material, nullptr);
    RenderTarget dest;
    EXPECT_NE(dest.addPostEffect(&t, "missing"), nullptr);
    EXPECT_EQ(dest.linkedMeshCount(), 0u);  // never drawn
}

TEST_F(PostEffects, EffectsSharingAMaterialNameKeepTheirOwnSources) {
    RenderTarget sourceA, sourceB, destA, destB;
    sourceA._flags = sourceB._flags = RenderTarget::FlagColourTexture;
    RenderTarget::RenderTargetMesh* fromA = destA.addPostEffect(&sourceA, "blur");
    RenderTarget::RenderTargetMesh* fromB = destB.addPostEffect(&sourceB, "blur");
    ASSERT_NE(fromA->_material, nullptr);
    ASSERT_NE(fromA->_material, fromB->_material);
    EXPECT_EQ(fromA->_material->_textures, std::vector<Texture*>{sourceA._colourTexture});
    EXPECT_EQ(fromB->_material->_textures, std::vector<Texture*>{sourceB._colourTexture});
    Material* shared = ResourceManager::instance().getMaterial("materials/blur.txt");
    EXPECT_TRUE(shared->_textures.empty());
    EXPECT_EQ(fromA->_material->_cullMode, CullNone);  // the file's state is carried over
    EXPECT_EQ(fromA->_material->_depthTest, 0);
    EXPECT_EQ(destA.linkedMeshCount(), 1u);
    EXPECT_EQ(destB.linkedMeshCount(), 1u);
}

}  // namespace

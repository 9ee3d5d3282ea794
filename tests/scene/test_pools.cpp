// Object pools and scene visibility.

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/clock.h"
#include "engine/render/RenderTarget.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "support_world.h"

namespace {

using namespace worldtest;

bool has(const std::vector<Object*>& list, const Object* n) { return std::find(list.begin(), list.end(), n) != list.end(); }

class Pools : public WorldFixture {
protected:
    Pools() {
        frameTime().dt = 1.0f / 48.0f;
        writeObject("item.object", boxObject("item"));
        cw::ObjectFileDesc spin = boxObject("spin");
        spin.top.keys = {{cw::Vec3(0, 0, 0), cw::Vec3()}, {cw::Vec3(10, 0, 0), cw::Vec3()},
                         {cw::Vec3(20, 0, 0), cw::Vec3()}};
        writeObject("spin.object", spin);
        world()->registerObjectClass("item.object", countingFactory);
        scene = world()->createScene("s", 0, 0);
    }
    ~Pools() override { frameTime().dt = 0; }
    Scene* scene = nullptr;
};

TEST_F(Pools, AcquireReleaseFlushAndAcquireAgain) {
    ObjectPool* pool = scene->getObjectPool("item.object");
    EXPECT_EQ(scene->getObjectPool("item.object"), pool);
    auto* item = static_cast<CountingObject*>(pool->acquire(0));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->_name, "item.object");
    EXPECT_EQ(item->inits, 1);
    EXPECT_TRUE(has(scene->_nodes, item));
    EXPECT_TRUE(has(pool->_inUse, item));

    pool->release(item);
    pool->release(item);  // queued once
    EXPECT_EQ(pool->_releasing.size(), 1u);
    EXPECT_EQ(item->_hidden, 1);
    EXPECT_EQ(item->_active, 0);
    EXPECT_TRUE(has(scene->_nodes, item));  // still attached until the flush

    // Released and asked for again before the flush: a new instance.
    auto* second = static_cast<CountingObject*>(pool->acquire(0));
    EXPECT_NE(second, item);

    pool->flush();
    EXPECT_EQ(item->detaches, 1);
    EXPECT_TRUE(has(pool->_free, item));
    EXPECT_FALSE(has(pool->_inUse, item));
    EXPECT_FALSE(has(scene->_nodes, item));
    EXPECT_EQ(item->_parent, nullptr);
    EXPECT_FALSE(has(scene->_root->_children, item));
    pool->release(item);  // already free
    EXPECT_TRUE(pool->_releasing.empty());

    Object* again = pool->acquire(0);
    EXPECT_EQ(again, item);
    EXPECT_EQ(item->inits, 2);
    EXPECT_EQ(item->_hidden, 0);
    EXPECT_EQ(item->_active, 1);
    EXPECT_EQ(item->_parent, scene->_root);
    EXPECT_FALSE(has(scene->_root->_children, item));
    EXPECT_TRUE(has(scene->_nodes, item));
}

TEST_F(Pools, InstancesOfAnotherPoolAreIgnored) {
    ObjectPool* a = scene->getObjectPool("item.object");
    ObjectPool* b = scene->getObjectPool("spin.object");
    Object* fromB = b->acquire(0);
    a->release(fromB);
    a->release(nullptr);
    EXPECT_TRUE(a->_releasing.empty());
    EXPECT_EQ(fromB->_hidden, 0);
}

TEST_F(Pools, AScenePoolIsFlushedByTheSceneAndAWorldPoolByTheWorld) {
    ObjectPool* scenePool = scene->getObjectPool("item.object");
    ObjectPool* worldPool = world()->getObjectPool("item.object");
    EXPECT_NE(scenePool, worldPool);
    auto* s = static_cast<CountingObject*>(scenePool->acquire(0));
    auto* w = static_cast<CountingObject*>(worldPool->acquire(0));
    world()->update();
    EXPECT_EQ(s->updates, 1);  // as a scene node
    EXPECT_EQ(w->updates, 1);  // by its pool
    scenePool->release(s);
    worldPool->release(w);
    world()->update();
    EXPECT_TRUE(has(scenePool->_free, s));
    EXPECT_TRUE(has(worldPool->_free, w));
    EXPECT_EQ(s->updates, 1);
    EXPECT_EQ(w->updates, 1);
    EXPECT_EQ(worldPool->acquire(0), w);
}

TEST_F(Pools, AnInstanceAcquiredAgainIsAnimatedOncePerFrame) {
    ObjectPool* pool = scene->getObjectPool("spin.object");
    Object* spin = pool->acquire(0);
    Object* holder = spin->_children[0];
    pool->release(spin);
    pool->flush();
    ASSERT_EQ(pool->acquire(0), spin);
    holder->_animation->setFrame(0);
    world()->update();
    EXPECT_NEAR(holder->_animation->_time, 0.5f, 1e-5f);
    EXPECT_NEAR(holder->getPosition().x, 5.0f, 1e-4f);
}

TEST_F(Pools, MissingObjectFile) {
    EXPECT_EQ(scene->getObjectPool("gone.object")->acquire(0), nullptr);
}

TEST_F(Pools, HideAndShowAreIdempotent) {
    place(scene, "item.object", "a");
    place(scene, "item.object", "b");
    RenderTarget* target = world()->_renderTarget;
    EXPECT_EQ(target->linkedMeshCount(), 2u);
    scene->hide();
    scene->hide();
    EXPECT_EQ(target->linkedMeshCount(), 0u);
    EXPECT_EQ(scene->_shown, 0);
    scene->show();
    scene->show();
    EXPECT_EQ(target->linkedMeshCount(), 2u);
    // Nodes made into a hidden scene are not drawn.
    scene->hide();
    place(scene, "item.object", "c");
    EXPECT_EQ(target->linkedMeshCount(), 0u);
}

TEST_F(Pools, FreedWithTheirSceneAndWorld) {
    ObjectPool* pool = scene->getObjectPool("item.object");
    Object* kept = pool->acquire(0);
    Object* returned = pool->acquire(0);
    pool->release(returned);
    pool->flush();
    world()->getObjectPool("spin.object")->acquire(0);
    (void)kept;
    resetWorld();  // the sanitizer build checks that nothing leaks or is freed twice
}

}  // namespace

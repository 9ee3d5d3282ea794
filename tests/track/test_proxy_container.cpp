// The proxy container: loading, the visibility test with its difficulty ramp and delays, the
// per-level limits and types, the weighted draw, the group chosen per placeholder deciding what
// is spawned, and pools back at their baseline after repeated place and remove cycles.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "ProxyFixtures.h"
#include "engine/ConfigStore.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/track/ZelvanProxyContainer.h"
#include "support_atmo.h"

namespace {

using atmotest::peekRandom;
using atmotest::TrackWorldTest;
using Zelvan::ProxyContainer;
using Zelvan::ProxyGroup;

class ProxyTest : public TrackWorldTest {
protected:
    void SetUp() override {
        for (const char* name : {"a", "b", "c"})
            writeData(std::string("objects/") + name + ".object",
                      contentwriter::writeObjectFile(atmotest::boxObject(name, true, {{"coll", "box"}})));
    }
    ProxyContainer& load(const std::string& config) {
        loadConfig(config);
        _proxies.reset(ProxyContainer::create());
        _proxies->load(world(), "deco");
        return *_proxies;
    }
    std::unique_ptr<ProxyContainer> _proxies;
};

TEST_F(ProxyTest, LoadReadsWeightedPairsAndSkipsGroupsWithoutFiles) {
    ProxyContainer& c = load(
        "[deco]\nproxies = { pTree pEmpty pSign }\n"
        "[pTree]\nobjectName = tree\nnumPerLevel = 2.7\ngroups = { gNone gTree }\n"
        "[gNone]\nvisibleDelayMin = 3\n"
        "[gTree]\nobjectFiles = { 2 objects/a.object heavy objects/b.object 3 }\ntypePerLevel = 0.5\n"
        "difficultyVisiblePercentMin = 20\nvisibleDelayMin = 1\nvisibleDelayMax = 1\n"
        "[pEmpty]\nobjectName = nothing\ngroups = { gNone }\n"
        "[pSign]\nobjectName = sign\nnumPerLevel = -3\ngroups = { gSign }\n"
        "[gSign]\nname = Signs\nobjectFiles = { 1 objects/a.object }\n");
    ASSERT_EQ(c._proxies.size(), 2u);
    const Zelvan::Proxy& tree = *c._proxies[0];
    EXPECT_EQ(tree.name, "tree");
    EXPECT_EQ(tree.numPerLevel, 2);
    ASSERT_EQ(tree.groups.size(), 1u);
    const ProxyGroup& g = *tree.groups[0];
    EXPECT_EQ(g.name, "gTree");
    EXPECT_EQ(g.typePerLevel, 0);
    EXPECT_EQ(g.difficultyVisiblePercentMin, 20.0f);
    EXPECT_EQ(g.difficultyVisiblePercentMax, 100.0f);
    EXPECT_EQ(g.nextVisible, 1.0f);
    ASSERT_EQ(g.objects.size(), 2u);  // the odd last word is ignored
    EXPECT_EQ(g.objects[0].weight, 2.0f);
    EXPECT_EQ(g.objects[1].weight, 0.0f);  // a weight that is no number
    EXPECT_EQ(g.objects[0].pool, world()->getObjectPool("objects/a.object"));
    EXPECT_EQ(g.objects[1].pool, world()->getObjectPool("objects/b.object"));
    const Zelvan::Proxy& sign = *c._proxies[1];
    EXPECT_EQ(sign.numPerLevel, 0);
    EXPECT_EQ(sign.groups[0]->name, "Signs");
    EXPECT_EQ(sign.groups[0]->objects[0].pool, g.objects[0].pool);  // one pool a file

    c.addTime(7);
    c.clear();
    EXPECT_TRUE(c._proxies.empty());
    EXPECT_EQ(c._time, 7.0f);
    EXPECT_EQ(c.spawn("tree1", false), nullptr);
}

TEST_F(ProxyTest, MissingObjectFileIsAFatalContentError) {
    loadConfig("[deco]\nproxies = { pTree }\n[pTree]\nobjectName = tree\ngroups = { gTree }\n"
               "[gTree]\nobjectFiles = { 1 objects/a.object 1 objects/missing.object }\n");
    EXPECT_DEATH(
        {
            testsupport::logToStderr();
            ProxyContainer c;
            c.load(world(), "deco");
        },
        "Object file\\(objects/missing.object\\) not found!");
}

TEST_F(ProxyTest, VisibilityFollowsTheDifficultyRamp) {
    ProxyContainer& c = load("[deco]\nproxies = { pTree }\n[pTree]\nobjectName = tree\ngroups = { gTree }\n"
                             "[gTree]\ndifficultyVisiblePercentMin = 20\ndifficultyVisiblePercentMax = 80\n"
                             "difficultyVisiblePercentTime = 60\nobjectFiles = { 1 objects/a.object }\n");
    // A node of percentage 50 shows with 10 % at time 0, 25 % at 30 and 40 % from 60 on.
    const struct {
        float time, percent;
    } cases[] = {{0, 10}, {30, 25}, {60, 40}, {600, 40}};
    for (const auto& k : cases) {
        c._time = k.time;
        int shown = 0;
        for (int i = 0; i < 400; ++i) {
            const bool expected = peekRandom() * 100.0f <= k.percent;
            ASSERT_EQ(c.hasProxy("tree7", 50), expected) << "time " << k.time;
            shown += expected;
        }
        EXPECT_NEAR(shown / 400.0, k.percent / 100.0, 0.08) << "time " << k.time;
    }
    // No proxy matches: false, and nothing is drawn.
    const float next = peekRandom();
    EXPECT_FALSE(c.hasProxy("house1", 100));
    EXPECT_EQ(peekRandom(), next);
}

TEST_F(ProxyTest, EachGroupStartsFromThePreviousGroupsPercentage) {
    ProxyContainer& c = load("[deco]\nproxies = { pTree }\n[pTree]\nobjectName = tree\ngroups = { gHalfA gHalfB }\n"
                             "[gHalfA]\ndifficultyVisiblePercentMin = 50\ndifficultyVisiblePercentMax = 50\n"
                             "objectFiles = { 1 objects/a.object }\n"
                             "[gHalfB]\ndifficultyVisiblePercentMin = 50\ndifficultyVisiblePercentMax = 50\n"
                             "objectFiles = { 1 objects/b.object }\n");
    for (int i = 0; i < 300; ++i) {
        const float r1 = peekRandom(0), r2 = peekRandom(1);
        // 80 % halved to 40 for the first group, halved again to 20 for the second.
        const bool first = r1 * 100 <= 40;
        ASSERT_EQ(c.hasProxy("tree", 80), first || r2 * 100 <= 20);
        if (first) {
            ASSERT_EQ(peekRandom(), r2);  // the second group drew nothing
        }
    }
}

TEST_F(ProxyTest, DelaysPassGroupsOverAndRenewOnlyWhenDue) {
    ProxyContainer& c = load("[deco]\nproxies = { pTree pHouse }\n"
                             "[pTree]\nobjectName = tree\ngroups = { gTree }\n"
                             "[gTree]\nvisibleDelayMin = 5\nvisibleDelayMax = 5\nobjectFiles = { 1 objects/a.object }\n"
                             "[pHouse]\nobjectName = house\ngroups = { gHouse }\n"
                             "[gHouse]\nvisibleDelayMin = 20\nvisibleDelayMax = 20\nobjectFiles = { 1 objects/b.object }\n");
    c.addTime(3);
    c.reset();
    EXPECT_EQ(c._time, 0.0f);
    ProxyGroup& tree = *c._proxies[0]->groups[0];
    ProxyGroup& house = *c._proxies[1]->groups[0];
    EXPECT_EQ(tree.nextVisible, 5.0f);
    c.addTime(4.9f);
    const float next = peekRandom();
    EXPECT_FALSE(c.hasProxy("tree1", 100));
    EXPECT_EQ(peekRandom(), next);  // passed over without a draw
    c.addTime(0.1f);
    EXPECT_TRUE(c.hasProxy("tree1", 100));
    c.updateDelays();
    EXPECT_FLOAT_EQ(tree.nextVisible, 10.0f);
    EXPECT_EQ(house.nextVisible, 20.0f);
    EXPECT_FALSE(c.hasProxy("tree1", 100));
}

TEST_F(ProxyTest, PerLevelLimitAndLevelTypes) {
    ProxyContainer& c = load("[deco]\nproxies = { pSign pTree pBush }\n"
                             "[pSign]\nobjectName = sign\nnumPerLevel = 2\ngroups = { gSign }\n"
                             "[gSign]\nobjectFiles = { 1 objects/a.object }\n"
                             "[pTree]\nobjectName = tree\ngroups = { gTree }\n"
                             "[gTree]\ntypePerLevel = 1\nobjectFiles = { 1 objects/a.object 1 objects/b.object }\n"
                             "[pBush]\nobjectName = bush\ngroups = { gBush }\n"
                             "[gBush]\nobjectFiles = { 1 objects/b.object 1 objects/c.object }\n");
    std::map<std::string, int> treeLevels, bushes;
    for (int level = 0; level < 12; ++level) {
        c.prepareLevel();
        EXPECT_NE(c.spawn("sign1", false), nullptr);
        EXPECT_NE(c.spawn("sign2", false), nullptr);
        EXPECT_EQ(c.spawn("sign3", false), nullptr);
        std::string type;
        for (int i = 0; i < 5; ++i) {
            Object* tree = c.spawn("tree" + std::to_string(i), false);
            ASSERT_NE(tree, nullptr);
            if (i == 0)
                type = tree->getSourceName();
            EXPECT_EQ(tree->getSourceName(), type) << "one type a level";
            Object* bush = c.spawn("bush" + std::to_string(i), false);
            ASSERT_NE(bush, nullptr);
            ++bushes[bush->getSourceName()];
        }
        ++treeLevels[type];
        for (ObjectPool* pool : world()->_pools)
            for (Object* o : std::vector<Object*>(pool->_inUse))
                c.release(o);
        world()->update();
    }
    EXPECT_EQ(treeLevels.size(), 2u);  // the type changes from level to level
    EXPECT_EQ(bushes.size(), 2u);      // without level types each object draws its own
}

TEST_F(ProxyTest, WeightedDrawAndDisabledEntries) {
    ProxyContainer& c = load("[deco]\nproxies = { pTr pTree }\n"
                             "[pTr]\nobjectName = tr\ngroups = { gTr }\n"
                             "[gTr]\nobjectFiles = { 2 objects/a.object 1 objects/b.object }\n"
                             "[pTree]\nobjectName = tree\ngroups = { gTree }\n"
                             "[gTree]\nobjectFiles = { 1 objects/c.object }\n");
    const ProxyGroup& g = *c._proxies[0]->groups[0];
    int first = 0;
    for (int i = 0; i < 600; ++i) {
        const int expected = peekRandom() * 3.0f - 2.0f <= 0 ? 0 : 1;
        ASSERT_EQ(c.pickType(g), expected);
        first += expected == 0;
    }
    EXPECT_NEAR(first / 600.0, 2.0 / 3.0, 0.06);

    // Only the first proxy whose name begins the text is searched.
    EXPECT_FALSE(c.setObjectEnabled("tree1", "objects/c.object", false));
    EXPECT_FALSE(c.setObjectEnabled("house1", "objects/a.object", false));
    EXPECT_FALSE(c.setObjectEnabled("tree1", "objects/missing.object", false));
    EXPECT_TRUE(c._proxies[1]->groups[0]->objects[0].enabled);

    ASSERT_TRUE(c.setObjectEnabled("tree1", "objects/a.object", false));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(c.pickType(g), 1);
    ASSERT_TRUE(c.setObjectEnabled("tree1", "objects/b.object", false));
    EXPECT_EQ(c.pickType(g), -1);
    c.prepareLevel();
    EXPECT_EQ(c.spawn("tree1", false), nullptr);
    ASSERT_TRUE(c.setObjectEnabled("tree1", "objects/a.object", true));
    EXPECT_EQ(c.pickType(g), 0);
    ProxyGroup empty;
    EXPECT_EQ(c.pickType(empty), -1);
}

TEST_F(ProxyTest, SpawnedObjectsComeAtTheOriginWithBodiesAndGoBack) {
    ProxyContainer& c = load("[deco]\nproxies = { pTree }\n[pTree]\nobjectName = tree\ngroups = { gTree }\n"
                             "[gTree]\nobjectFiles = { 1 objects/a.object }\n");
    Object* tree = c.spawn("tree1", true);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->getWorldPosition(), Vector3(0, 0, 0));
    ASSERT_NE(tree->_physicsBody, nullptr);
    Object* part = findObjectByName(tree, "part");
    ASSERT_NE(part, nullptr);
    // Moved about while placed; the next hand-out is placed as the object file says.
    tree->setPosition(Vector3(5, 5, 5));
    part->setPosition(Vector3(1, 1, 1));
    c.release(tree);
    c.release(nullptr);
    ObjectPool* pool = world()->getObjectPool("objects/a.object");
    world()->update();
    EXPECT_TRUE(pool->_inUse.empty());
    ASSERT_EQ(pool->_free.size(), 1u);

    c.prepareLevel();
    Object* again = c.spawn("tree2", true);
    ASSERT_EQ(again, tree);
    EXPECT_EQ(again->getWorldPosition(), Vector3(0, 0, 0));
    EXPECT_EQ(part->getPosition(), Vector3(0, 0, 2));
    EXPECT_FALSE(again->_hidden);
}

// Difficulty and delays decide which group shows on a placeholder, and that group is the one
// whose object appears, although the level draws its types after the visibility tests.
TEST_F(ProxyTest, TheGroupThatPassedDecidesWhatAppears) {
    ProxyContainer& c =
        load("[deco]\nproxies = { pTree pHouse }\n"
             "[pTree]\nobjectName = tree\ngroups = { gLater gNow gNever }\n"
             "[gLater]\nvisibleDelayMin = 1000\nvisibleDelayMax = 1000\nobjectFiles = { 1 objects/a.object }\n"
             "[gNever]\ndifficultyVisiblePercentMin = 0\ndifficultyVisiblePercentMax = 0\n"
             "objectFiles = { 1 objects/c.object }\n"
             "[gNow]\nobjectFiles = { 1 objects/b.object }\n"
             "[pHouse]\nobjectName = house\ngroups = { gHouse }\n"
             "[gHouse]\ntypePerLevel = 1\nobjectFiles = { 1 objects/a.object 1 objects/c.object }\n");
    writeData("scenes/row.bin", proxyfixtures::placeholderScene(proxyfixtures::placeholderRow({"tree", "house"}, 8)));
    Scene* scene = world()->loadScene("scenes/row.bin", 0, 0);
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->_empties.size(), 16u);
    proxyfixtures::PlaceholderLevel level(scene, &c);
    int trees = 0;
    for (int visit = 0; visit < 20; ++visit) {
        level.place();
        for (auto& placement : level.placements) {
            if (placement.first->_name.rfind("tree", 0) == 0) {
                EXPECT_EQ(placement.second->getSourceName(), "objects/b.object");
                ++trees;
            }
            EXPECT_EQ(placement.second->getWorldPosition(), placement.first->getWorldPosition());
        }
        level.remove();
        world()->update();
    }
    EXPECT_EQ(trees, 20 * 8);
}

TEST_F(ProxyTest, PlaceAndRemoveCyclesReturnThePoolsToTheirBaseline) {
    ProxyContainer& c = load("[deco]\nproxies = { pTree pHouse }\n"
                             "[pTree]\nobjectName = tree\ngroups = { gTree }\n"
                             "[gTree]\ndifficultyVisiblePercentMin = 30\ndifficultyVisiblePercentMax = 90\n"
                             "difficultyVisiblePercentTime = 10\nobjectFiles = { 2 objects/a.object 1 objects/b.object }\n"
                             "[pHouse]\nobjectName = house\nnumPerLevel = 3\ngroups = { gHouse }\n"
                             "[gHouse]\nvisibleDelayMin = 0.5\nvisibleDelayMax = 2\nobjectFiles = { 1 objects/c.object }\n");
    std::vector<proxyfixtures::Placeholder> placeholders = proxyfixtures::placeholderRow({"tree", "house"}, 10);
    placeholders.push_back({"tree_always", contentwriter::Vec3(0, 200, 0), {{"visible_always", "1"}}});
    placeholders.push_back({"tree_rare", contentwriter::Vec3(0, 210, 0), {{"visible_percent", "5"}}});
    placeholders.push_back({"lamp", contentwriter::Vec3(0, 220, 0), {}});
    writeData("scenes/row.bin", proxyfixtures::placeholderScene(placeholders));
    Scene* scene = world()->loadScene("scenes/row.bin", 0, 0);
    ASSERT_NE(scene, nullptr);
    proxyfixtures::PlaceholderLevel level(scene, &c);
    c.reset();

    // Each pool holds as many instances as were ever out at once, and after every cycle all of
    // them are back.
    std::map<ObjectPool*, size_t> highWater;
    for (int cycle = 0; cycle < 200; ++cycle) {
        level.place();
        EXPECT_LE(level.placements.size(), 10u + 1u + 1u + 3u);
        for (ObjectPool* pool : world()->_pools)
            highWater[pool] = std::max(highWater[pool], pool->_inUse.size());
        level.remove();
        world()->update();
        c.addTime(0.25f);
        for (ObjectPool* pool : world()->_pools) {
            ASSERT_TRUE(pool->_inUse.empty());
            ASSERT_TRUE(pool->_releasing.empty());
            ASSERT_EQ(pool->_free.size(), highWater[pool]) << pool->_path << " at cycle " << cycle;
        }
    }
    // Never more instances than placeholders of a kind could hold at once.
    EXPECT_LE(world()->getObjectPool("objects/c.object")->_free.size(), 3u);

    // A placement whose object is gone is dropped like any other: the removal ends.
    level.place();
    level.placements.push_back({nullptr, nullptr});
    level.placements.insert(level.placements.begin(), {nullptr, nullptr});
    level.remove();
    EXPECT_TRUE(level.placements.empty());
}

class SampleProxies : public TrackWorldTest {
protected:
    SampleProxies() : TrackWorldTest(true) {}
};

TEST_F(SampleProxies, SampleDecorationsStandOnPlaceholders) {
    ProxyContainer c;
    c.load(world(), "object");
    // The decorations, then the level's obstacle, enemy train and waggon placeholders.
    ASSERT_EQ(c._proxies.size(), 6u);
    EXPECT_EQ(c._proxies[0]->name, "tree");
    EXPECT_EQ(c._proxies[5]->name, "waggon");
    // Built in memory: a row of decoration placeholders only.
    std::vector<proxyfixtures::Placeholder> placeholders = proxyfixtures::placeholderRow({"tree", "house", "sign"}, 6);
    Scene* scene = world()->createScene("row", 0, 0);
    for (const proxyfixtures::Placeholder& p : placeholders) {
        EmptyEntry* entry = new EmptyEntry();
        entry->node = new Object(nullptr);
        entry->node->_name = p.name;
        entry->node->setPosition(Vector3(p.position.x, p.position.y, p.position.z));
        scene->_empties[p.name] = entry;
    }
    proxyfixtures::PlaceholderLevel level(scene, &c);
    c.reset();
    c.addTime(200);
    std::map<std::string, int> placed;
    for (int visit = 0; visit < 10; ++visit) {
        level.place();
        int signs = 0;
        for (auto& placement : level.placements) {
            ++placed[placement.second->getSourceName()];
            signs += placement.first->_name.rfind("sign", 0) == 0;
        }
        EXPECT_LE(signs, 2);
        level.remove();
        world()->update();
        c.addTime(1);
    }
    for (const char* file : {"objects/deco/tree.object", "objects/deco/bush.object", "objects/deco/house.object",
                             "objects/deco/sign.object"})
        EXPECT_GT(placed[file], 0) << file;
}

TEST(AtmoContent, CommittedFilesMatchTheWriters) {
    for (const contentwriter::ContentFile& f : contentwriter::demoContent()) {
        if (f.path.rfind("objects/atmo/", 0) != 0 && f.path.rfind("objects/deco/", 0) != 0)
            continue;
        std::string have = testsupport::readFile(testsupport::contentDir() + "/data/" + f.path);
        EXPECT_EQ(have, std::string(f.bytes.begin(), f.bytes.end()))
            << f.path << " is out of date: run zelvan_content write content/data";
    }
}

}  // namespace

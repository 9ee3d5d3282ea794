// Levels: loading into rail sets (separators, rails carried by a placeholder, the fatal content
// errors), the sample level through a hundred visits (gift row, ranges, groups by chance,
// waggons, pools and emitters back at their baseline), placement of plain objects, the level
// pool and the level set's load steps.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorEnemy.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelActors.h"
#include "game/track/ZelvanLevelLoadSteps.h"
#include "game/track/ZelvanLevelPool.h"
#include "game/track/ZelvanProxyContainer.h"
#include "support_levels.h"
#include "support_track.h"

namespace {

using Zelvan::Level;
using Zelvan::LevelPool;

const char* const kSample = "scenes/l02.bin";
const char* const kPlain = "scenes/l01.txt";

std::vector<std::string> railNames(const Zelvan::RailSet* set) {
    std::vector<std::string> names;
    for (const Zelvan::Rail* rail : set->getRails())
        names.push_back(rail->getName());
    return names;
}

// ---------------------------------------------------------------------------------------------
// Loading

class SampleLevels : public ::testing::Test {
protected:
    void SetUp() override { _w.reset(new leveltest::SampleLevelWorld()); }
    void TearDown() override { _w.reset(); }
    Level* level(const char* name) {
        _w->pool->markAllUnused();
        Level* l = _w->pool->getLevel(name);
        _w->pool->markAllUsed();
        return l;
    }
    std::unique_ptr<leveltest::SampleLevelWorld> _w;
};

TEST_F(SampleLevels, SampleLevelsLoadTheirLanesAndGeometry) {
    Level* l = level(kSample);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->getName(), kSample);
    ASSERT_EQ(l->railSets.size(), 3u);  // the closing separator adds no empty set
    EXPECT_EQ(railNames(l->railSets[0]), std::vector<std::string>{"rail_l"});
    EXPECT_EQ(railNames(l->railSets[1]), std::vector<std::string>{"rail_c"});
    EXPECT_EQ(railNames(l->railSets[2]), std::vector<std::string>{"rail_r"});
    EXPECT_FLOAT_EQ(l->getLength(), 40);
    tracktest::expectVec(l->getDirection(), Vector3(0, 1, 0));
    tracktest::expectVec(l->getStartPosition(), Vector3(0, 2, 0));
    EXPECT_NE(l->camera, nullptr);
    EXPECT_EQ(l->scene->findObject("Ground")->_typeId, 100);
    // Every lane runs from the chain begin, the centre lane's reversed pieces included.
    for (Zelvan::RailSet* set : l->railSets) {
        set->reset(true);
        EXPECT_NEAR(set->getPosition().y, 0, 1e-4f);
        EXPECT_GT(set->getDirection().y, 0.99f);
    }
    // The right lane's section takes the item bits away.
    l->railSets[2]->reset(true);
    EXPECT_EQ(l->railSets[2]->getFlags() & 0x7u, 0u);

    Level* plain = level(kPlain);
    ASSERT_NE(plain, nullptr);
    ASSERT_EQ(plain->railSets.size(), 4u);
    EXPECT_EQ(railNames(plain->railSets[3]), std::vector<std::string>{"EnemyPath"});

    testsupport::LogCapture log;
    EXPECT_EQ(_w->pool->getLevel("scenes/none.txt"), nullptr);
    EXPECT_TRUE(log.contains("scenes/none.txt"));
}

TEST(LevelRailKinds, KeysTakePermissionsAway) {
    testsupport::TempDir dir;
    testsupport::ScopedStores stores(dir.path(), dir.file("documents"));
    ConfigStore& config = ConfigStore::instance();
    config.resetForTests();
    testsupport::writeFile(dir.path() + "/data/configs/k.txt",
                           "[L/a]\nrailObstacle = false\n[L/b]\nrailStargate = in\n[L/c]\nrailStargate = IN\n"
                           "[L/d]\nrailStargate = rnd\nrailJumpLeft = false\nrailCameraDown = false\n");
    config.loadFile("configs/k.txt", "");
    EXPECT_EQ(Level::readRailKinds("L/a") & ~0x7u, 0x1FFB0u);
    EXPECT_EQ(Level::readRailKinds("L/b"), 0x1FBBFu);
    EXPECT_EQ(Level::readRailKinds("L/c"), 0x1FFBFu);
    EXPECT_EQ(Level::readRailKinds("L/d"), 0x0EF3Fu);
    config.resetForTests();
}

TEST(LevelLoad, SeparatorsMakeEmptySetsAndPlaceholderRailsFollowTheLevel) {
    leveltest::SampleLevelWorld w;
    ConfigStore& config = ConfigStore::instance();
    config.resetForTests();
    testsupport::writeFile(w._documents.path() + "/data/configs/first.txt",
                           "[scenes/l01.txt]\nrailGroups = { separator rail_l rail_c separator separator rail_r "
                           "separator rail_x }\n"
                           "[scenes/l01.txt/rail_r]\nparentObject = train_stopplace\n");
    config.loadFile("configs/first.txt", "");
    config.loadMainFile("configs/config.txt");

    testsupport::LogCapture log;
    w.pool->markAllUnused();
    Level* l = w.pool->getLevel(kPlain);
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(log.contains("RailGroup (rail_x) not found in level (scenes/l01.txt)!"));
    // {} {rail_l rail_c} {} {rail_r} {} then the animated path.
    ASSERT_EQ(l->railSets.size(), 6u);
    EXPECT_TRUE(l->railSets[0]->getRails().empty());
    EXPECT_EQ(railNames(l->railSets[1]).size(), 2u);
    EXPECT_TRUE(l->railSets[2]->getRails().empty());
    EXPECT_EQ(railNames(l->railSets[3]), std::vector<std::string>{"rail_r"});
    EXPECT_TRUE(l->railSets[4]->getRails().empty());
    EXPECT_EQ(railNames(l->railSets[5]), std::vector<std::string>{"EnemyPath"});
    // An empty set answers with its defaults.
    EXPECT_FLOAT_EQ(l->railSets[0]->getTotalLength(), 0);

    // The right lane is carried by a node at the placeholder's place, which moves with the level.
    Zelvan::Rail* rail = l->railSets[3]->getRails()[0];
    rail->seekDistance(10);
    const Vector3 before = rail->getPosition();
    l->setWorldMatrix(Matrix4::translation(Vector3(100, 50, 0)));
    rail->seekDistance(10);
    tracktest::expectVec(rail->getPosition(), before + Vector3(100, 50, 0));
    Object* placeholder = l->startNode;
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->_parent, nullptr);
    tracktest::expectVec(placeholder->_transform->_world.getTranslation(), Vector3(0, 2, 0));
    w.pool->markAllUsed();
}

TEST(LevelLoadDeath, MissingChainNodeStopsWithTheLevelsName) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    testsupport::TempDir dir;
    testsupport::ScopedStores stores(dir.path(), dir.file("documents"));
    testsupport::writeFile(dir.path() + "/data/scenes/bad.txt", "EMPTY chain_begin 0 0 0 0 0 0 1 1 1\n");
    World world(0);
    EXPECT_DEATH(
        {
            testsupport::captureLog("ERROR");
            Level::load(&world, nullptr, nullptr, "scenes/bad.txt");
        },
        "nodeChainEnd\\(chain_end\\) not found in level\\(scenes/bad.txt\\)");
}

// ---------------------------------------------------------------------------------------------
// The sample level on the road

TEST_F(SampleLevels, HundredVisitsKeepEveryListAndPoolAtItsBaseline) {
    Level* l = level(kSample);
    ASSERT_NE(l, nullptr);
    ASSERT_NE(_w->particles, nullptr);

    // Built once: the coin pair's row of 40 %, the lone ticket, the scene obstacle's range.
    ASSERT_EQ(l->giftRows.size(), 2u);
    const Level::GiftRow* coins = nullptr;
    for (const Level::GiftRow& row : l->giftRows)
        if (row.railSetIndex == 1)
            coins = &row;
    ASSERT_NE(coins, nullptr);
    EXPECT_NEAR(coins->chance, 40, 1e-4f);
    EXPECT_NEAR(coins->startDistance, 10, 1e-3f);
    EXPECT_NEAR(coins->length, 12, 1e-3f);
    ASSERT_EQ(coins->items.size(), 8u);
    for (size_t k = 0; k < 8; ++k)
        tracktest::expectVec(coins->items[k].actor->getWorldPosition(), Vector3(0, 10 + 1.5f * k, 0), 1e-3f);
    Object* partner = l->scene->findObject("CoinRowEnd");
    ASSERT_NE(partner, nullptr);
    ASSERT_EQ(l->occupiedRanges.size(), 1u);
    EXPECT_EQ(l->occupiedRanges[0].kind, Level::RangeDeathly);
    EXPECT_EQ(l->occupiedRanges[0].railSetIndex, 0);
    EXPECT_EQ(l->randomGroups.size(), 2u);  // rem_pillars, rem_trees
    EXPECT_EQ(l->selectGroups.size(), 2u);  // or_crates, or_houses
    ASSERT_EQ(l->waggonGroups.size(), 1u);

    const size_t rangesAtStart = l->occupiedRanges.size();
    const size_t pooledAtStart = _w->pooledInUse();
    const size_t emittersAtStart = _w->particles->_emitters.size();
    std::vector<Object*> pillars, crates;
    for (int k = 0; k < 3; ++k) {
        pillars.push_back(l->scene->findObject("RemPillar" + std::to_string(k)));
        crates.push_back(l->scene->findObject("OrCrate" + std::to_string(k)));
    }
    Object* chanceCrate = l->scene->findObject("ChanceCrate");

    int pillarGone[3] = {0, 0, 0}, crateKept[3] = {0, 0, 0}, chanceShown = 0, rowShown = 0, trains = 0;
    const int visits = 100;
    for (int visit = 0; visit < visits; ++visit) {
        SCOPED_TRACE(visit);
        const Matrix4 placement = Matrix4::rotationZ(0.1f * visit) * Matrix4::translation(Vector3(0, 40.0f * visit, 0));
        _w->append(l, placement, 3);

        // Exactly one pillar goes and one crate stays on every visit.
        int gone = 0, kept = 0;
        for (int k = 0; k < 3; ++k) {
            pillarGone[k] += pillars[k]->_hidden;
            crateKept[k] += !crates[k]->_hidden;
            gone += pillars[k]->_hidden;
            kept += !crates[k]->_hidden;
        }
        EXPECT_EQ(gone, 1);
        EXPECT_EQ(kept, 1);
        chanceShown += !chanceCrate->_hidden;
        EXPECT_FALSE(partner->_active);

        const bool shown = coins->shown;
        rowShown += shown;
        const Level::GiftRow& ticket = &l->giftRows[0] == coins ? l->giftRows[1] : l->giftRows[0];
        EXPECT_EQ(l->items.size(), (shown ? 8u : 0u) + (ticket.shown ? 1u : 0u));
        if (shown)  // laid items follow the level wherever it is placed
            tracktest::expectVec(coins->items[3].actor->getWorldPosition(),
                                 placement.transformPoint(Vector3(0, 14.5f, 0)), 2e-3f);

        // Enemies: one train with both waggons, never more; each has a range while placed.
        size_t enemyRanges = 0;
        for (const Level::OccupiedRange& r : l->occupiedRanges)
            enemyRanges += r.kind == Level::RangeEnemy;
        EXPECT_EQ(enemyRanges, l->enemies.size());
        for (Zelvan::Actor* enemy : l->enemies)
            if (enemy->_typeId == Level::TypeEnemyTrain) {
                ++trains;
                EXPECT_EQ(Zelvan::levelactors::trainWaggonCount(enemy), (int32_t)l->enemies.size() - 1);
            }
        EXPECT_FALSE(l->emitters.empty());  // the sparks

        _w->drop(l);
        for (int f = 0; f < 240 && _w->particles->_emitters.size() != emittersAtStart; ++f)
            _w->frame();
        _w->frame();
        EXPECT_EQ(_w->pooledInUse(), pooledAtStart);
        EXPECT_EQ(_w->particles->_emitters.size(), emittersAtStart);
        EXPECT_TRUE(l->emitters.empty());
        EXPECT_EQ(l->occupiedRanges.size(), rangesAtStart);
        EXPECT_TRUE(l->placedObjects.empty());
        EXPECT_TRUE(l->proxyPlacements.empty());
        EXPECT_TRUE(l->items.empty());
        EXPECT_TRUE(l->enemies.empty());
    }
    // Chances: first and second nodes 40 % each, the last 20 %; the crate 50 %; the row 40 %.
    const int tolerance = 16;
    EXPECT_NEAR(pillarGone[0], 40, tolerance);
    EXPECT_NEAR(pillarGone[1], 40, tolerance);
    EXPECT_NEAR(pillarGone[2], 20, tolerance);
    EXPECT_NEAR(crateKept[0], 40, tolerance);
    EXPECT_NEAR(crateKept[2], 20, tolerance);
    EXPECT_NEAR(chanceShown, 50, tolerance);
    EXPECT_NEAR(rowShown, 40, tolerance);
    EXPECT_GT(trains, 0);
}

TEST_F(SampleLevels, RemovingWhatWasNeverAddedChangesNothing) {
    Level* l = level(kSample);
    ASSERT_NE(l, nullptr);
    _w->append(l, Matrix4(), 1);
    const size_t items = l->items.size(), placed = l->placedObjects.size(), ranges = l->occupiedRanges.size();
    Object* stranger = l->scene->findObject("Spinner");
    EXPECT_FALSE(l->removeItem(static_cast<Zelvan::Actor*>(stranger)));
    EXPECT_FALSE(l->removeEnemy(static_cast<Zelvan::Actor*>(stranger)));
    EXPECT_FALSE(l->removeObject(stranger));
    EXPECT_FALSE(l->removeObject(nullptr));
    EXPECT_EQ(l->items.size(), items);
    EXPECT_EQ(l->placedObjects.size(), placed);
    EXPECT_EQ(l->occupiedRanges.size(), ranges);
    _w->drop(l);
}

TEST_F(SampleLevels, EmittersOfARemovedItemAreStoppedAndHandedBack) {
    Level* l = level(kSample);
    ASSERT_NE(l, nullptr);
    _w->append(l, Matrix4(), 1);
    // An item with a live emitter of its own, as a collected gift leaves it.
    Zelvan::Actor* item = nullptr;
    for (const Level::GiftRow& row : l->giftRows)
        if (!row.items.empty())
            item = row.items[0].actor;
    ASSERT_NE(item, nullptr);
    l->addItem(item, false);
    ASSERT_NE(item->_effects, nullptr);
    auto* effect = new Zelvan::EffectContainer::Effect();
    effect->_node = item;
    effect->_particleName = "sparks";
    item->_effects->_effects.push_back(effect);
    effect->start(_w->particles);
    PSEmitter* emitter = effect->_psEmitterInstance;
    ASSERT_NE(emitter, nullptr);

    ASSERT_TRUE(l->removeItem(item));
    EXPECT_EQ(effect->_psEmitterInstance, nullptr);
    ASSERT_EQ(std::count(l->emitters.begin(), l->emitters.end(), emitter), 1);
    EXPECT_TRUE(emitter->_stopped);
    // Once its particles died the system releases it and the level forgets it.
    for (int f = 0; f < 600 && std::count(l->emitters.begin(), l->emitters.end(), emitter); ++f)
        _w->frame();
    EXPECT_EQ(std::count(l->emitters.begin(), l->emitters.end(), emitter), 0);
    _w->drop(l);
}

TEST_F(SampleLevels, PlainObjectsAreNeverTakenForActors) {
    Level* l = level(kSample);
    ASSERT_NE(l, nullptr);
    // A ground proxy (type 100) is a plain node: shown and moved as one, never made an actor.
    std::unique_ptr<Object> ground(new Object(nullptr));
    ground->_typeId = 100;
    ground->setPosition(Vector3(1, 2, 3));
    l->placedObjects.push_back(ground.get());
    l->show();
    l->setWorldMatrix(Matrix4::translation(Vector3(10, 0, 0)));
    tracktest::expectVec(ground->getWorldPosition(), Vector3(11, 2, 3));
    l->setWorldMatrix(Matrix4::rotationZ(kPi * 0.5f) * Matrix4::translation(Vector3(10, 0, 0)));
    // Undo the old placement, apply the new one: (1, 2, 3) turned a quarter about Z, moved by 10.
    tracktest::expectVec(ground->getWorldPosition(), Vector3(10 - 2, 1, 3), 1e-4f);
    l->hide();
    l->placedObjects.clear();
}

// ---------------------------------------------------------------------------------------------
// Pool and load steps

struct RecordingGroup {
    void addLevel(Level* level) { levels.push_back(level); }
    std::vector<Level*> levels;
};

TEST_F(SampleLevels, PoolHandsALevelOutOncePerSetAndReusesItLater) {
    LevelPool* pool = _w->pool;
    RecordingGroup groupA, groupB;
    using Step = Zelvan::LoadLevelStep<RecordingGroup>;

    // A set whose two groups both list one level loads it twice.
    Zelvan::LoadLevelGroupSet begin(pool, true), end(pool, false);
    EXPECT_EQ(begin.weight, 0.0f);
    EXPECT_TRUE(begin.load());
    Step a1(pool, &groupA, kPlain), b1(pool, &groupB, kPlain), b2(pool, &groupB, kSample);
    EXPECT_EQ(a1.weight, 1.0f);
    EXPECT_TRUE(a1.load());
    EXPECT_TRUE(b1.load());
    EXPECT_TRUE(b2.load());
    EXPECT_TRUE(end.load());
    ASSERT_EQ(pool->entries.size(), 3u);
    ASSERT_EQ(groupA.levels.size(), 1u);
    ASSERT_EQ(groupB.levels.size(), 2u);
    EXPECT_NE(groupA.levels[0], groupB.levels[0]);
    for (const LevelPool::Entry& e : pool->entries)
        EXPECT_TRUE(e.inUse);

    // Outside a set's loading every level is taken: a request loads a new one.
    Level* extra = pool->getLevel(kSample);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(pool->entries.size(), 4u);

    // A later set reuses by name, the first loaded first, before it loads anything.
    RecordingGroup groupC;
    Zelvan::LoadLevelGroupSet begin2(pool, true), end2(pool, false);
    begin2.load();
    Step c1(pool, &groupC, kPlain), c2(pool, &groupC, kSample), missing(pool, &groupC, "scenes/none.txt");
    EXPECT_TRUE(c1.load());
    EXPECT_TRUE(c2.load());
    {
        testsupport::LogCapture log;
        EXPECT_FALSE(missing.load());
    }
    end2.load();
    EXPECT_EQ(pool->entries.size(), 4u);
    ASSERT_EQ(groupC.levels.size(), 2u);
    EXPECT_EQ(groupC.levels[0], groupA.levels[0]);
    EXPECT_EQ(groupC.levels[1], groupB.levels[1]);

    // The particle system goes to every level, and the same one touches nothing.
    pool->setParticleSystem(nullptr);
    for (const LevelPool::Entry& e : pool->entries)
        EXPECT_EQ(e.level->particleSystem, nullptr);
    EXPECT_EQ(LevelPool::create(nullptr, nullptr, nullptr), nullptr);
}

}  // namespace

// Level items over the sample content: configuration rules, rolls and runs across level ends,
// trimming and reserved stretches, placement over two hundred levels of a real road; then the
// run-time work with the sample train: coins collected once each with a rising pitch, the magnet,
// flights, and the consequences of contacts through the physics world.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorEnemy.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoost.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelItem.h"
#include "game/track/ZelvanLevelPool.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"
#include "support_levels.h"

using namespace Zelvan;

namespace {

const char* const kSample = "scenes/l02.bin";
const float kDt = 1.0f / 60.0f;

class LevelItems : public ::testing::Test {
protected:
    void SetUp() override {
        _w.reset(new leveltest::SampleLevelWorld());
        _road.reset(Road::create());
    }
    void TearDown() override {
        if (_road)
            _road->clear();
        _road.reset();
        delete _set;
        _w.reset();
    }
    // A configuration file of the test, read after the sample's (so only new keys count).
    void config(const std::string& text) {
        const std::string name = "configs/test_items" + std::to_string(_configs++) + ".txt";
        testsupport::writeFile(_w->_documents.path() + "/data/" + name, text);
        ConfigStore::instance().loadFile(name.c_str(), "");
    }
    LevelItem* item(const std::string& key) {
        LevelItem* i = LevelItem::create(_w->world, key);
        _road->addLevelItem(i);
        return i;
    }
    void addSampleItems() {
        for (const std::string& key : ConfigStore::instance().getList("levelItem.items"))
            ASSERT_NE(item(key), nullptr) << key;
    }
    // A set of groups of two sample levels each; the road is restarted on it. A group is only
    // picked while none of its levels is on the road, so the set needs more levels than the road
    // holds at once.
    void attachSet(int groupCount) {
        _w->pool->markAllUnused();
        std::vector<LevelGroup*> groups;
        for (int g = 0; g < groupCount; ++g) {
            groups.push_back(new LevelGroup("testItemsGroup" + std::to_string(g)));
            for (int i = 0; i < 2; ++i)
                groups.back()->addLevel(_w->pool->getLevel(kSample));
        }
        _w->pool->markAllUsed();
        _set = new LevelGroupSet("testItemsSet", groups, {});
        _set->reset();
        _road->setLevelGroupSet(_set);
        _road->restart();
    }
    // A fresh level appended alone at the origin (no random items), ready for placeItems.
    Level* bareLevel() {
        _w->pool->markAllUnused();
        Level* l = _w->pool->getLevel(kSample);
        _w->pool->markAllUsed();
        const bool random = _road->placeRandomItems;
        _road->placeRandomItems = false;
        _road->appendLevels({l});
        _road->placeRandomItems = random;
        return l;
    }
    std::vector<ActorItem*> randomItems(Level* l, LevelItem* only = nullptr) {
        std::vector<ActorItem*> out;
        for (Actor* a : l->items)
            if (ActorItem* i = dynamic_cast<ActorItem*>(a))
                if (i->getLevelItem() && (!only || i->getLevelItem() == only))
                    out.push_back(i);
        return out;
    }
    // Lane index, side offset and distance of an item in its level's space (lanes along +Y, 2 apart).
    struct Where {
        int lane;
        float side;
        float distance;
    };
    Where where(Level* l, Object* o) {
        const Vector3 p = l->getBeginMatrix().inverted().transformPoint(o->getWorldPosition());
        const int lane = (int)std::lround(p.x / 2.0f) + 1;
        return {lane, p.x - 2.0f * (float)(lane - 1), p.y};
    }

    std::unique_ptr<leveltest::SampleLevelWorld> _w;
    std::unique_ptr<Road> _road;
    LevelGroupSet* _set = nullptr;
    int _configs = 0;
};

// ---------------------------------------------------------------------------------------------
// Configuration, rolls and runs

TEST_F(LevelItems, ConfigurationIsClampedAndConverted) {
    config(
        "[testItemA]\nobjectFile = objects/items/coin.object\ndensity = 0\nnumberMin = 0.3\nnumberMax = -2\n"
        "numberLimit = -3\nrailIndexMin = 1.7\nrailIndexMax = -1\nrailItemLeft = true\nrailItemCenter = false\n"
        "rotSpeed = 90\nrotStep = 45\nstartDelayDistance = -5\nname = coinsA\n");
    LevelItem* a = item("testItemA");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->name, "coinsA");
    EXPECT_EQ(a->typeId, TypeActorItemGift);
    EXPECT_FLOAT_EQ(a->density, 0.0001f);
    EXPECT_FLOAT_EQ(a->numberMin, 1);
    EXPECT_FLOAT_EQ(a->numberMax, 1);
    EXPECT_EQ(a->numberLimit, 0);
    EXPECT_EQ(a->railIndexMin, 1);
    EXPECT_EQ(a->railIndexMax, 1) << "a reversed range collapses onto its minimum";
    EXPECT_EQ(a->sides, LevelItem::SideLeft);
    EXPECT_NEAR(a->rotSpeed, 1.5707963f, 1e-5f);
    EXPECT_NEAR(a->rotStep, 0.7853982f, 1e-5f);
    EXPECT_FLOAT_EQ(a->startDelayDistance, 0);
    EXPECT_EQ(a->railIndex, 1);
    EXPECT_EQ(a->side, LevelItem::SideLeft);
    // A run shorter than one spacing still holds one item.
    a->delay = 1;
    ItemRun run;
    ASSERT_TRUE(a->nextRun(&run, 10));
    EXPECT_EQ(run.count, 1);
    // The sample's item values come from the sample actor unless configured.
    LevelItem* obstacle = item("levelItemDeathly");
    ASSERT_NE(obstacle, nullptr);
    EXPECT_TRUE(obstacle->isObstacle());
    EXPECT_FLOAT_EQ(obstacle->density, 3);
}

TEST_F(LevelItems, SidesAndRailIndexRolls) {
    config("[testItemB]\nobjectFile = objects/items/coin.object\n");
    LevelItem* b = item("testItemB");
    ASSERT_NE(b, nullptr);
    struct Case {
        int32_t sides;
        std::map<int32_t, int> want;  // side -> expected share in percent
    };
    const Case cases[] = {
        {7, {{1, 33}, {2, 33}, {4, 33}}}, {5, {{1, 50}, {4, 50}}}, {3, {{1, 50}, {2, 50}}},
        {6, {{2, 100}}},                  {0, {{0, 100}}},
    };
    for (const Case& c : cases) {
        b->sides = c.sides;
        std::map<int32_t, int> got;
        for (int i = 0; i < 3000; ++i)
            ++got[b->pickSide()];
        for (const auto& w : c.want)
            EXPECT_NEAR(got[w.first] / 30.0, w.second, 4) << "sides " << c.sides << " side " << w.first;
        EXPECT_EQ(got.size(), c.want.size()) << "sides " << c.sides;
    }
    // A roll never repeats the previous rail-set index when there is a choice.
    b->railIndexMin = 0;
    b->railIndexMax = 2;
    std::set<int32_t> seen;
    for (int i = 0; i < 200; ++i) {
        const int32_t before = b->railIndex;
        b->rollRun();
        EXPECT_NE(b->railIndex, before);
        seen.insert(b->railIndex);
    }
    EXPECT_EQ(seen, (std::set<int32_t>{0, 1, 2}));
}

TEST_F(LevelItems, RunsCarryOverLengthsAndKeepTheirSide) {
    config("[testItemC]\nobjectFile = objects/items/coin.object\ndensity = 2\nrailItemLeft = true\n"
           "railItemRight = true\n");
    LevelItem* c = item("testItemC");
    ASSERT_NE(c, nullptr);
    c->delay = 5;
    c->runLength = 10;  // items at 0, 2, ..., 10 from the run's start
    c->side = LevelItem::SideLeft;
    ItemRun run;
    ASSERT_TRUE(c->nextRun(&run, 8));
    EXPECT_FLOAT_EQ(run.start, 5);
    EXPECT_EQ(run.count, 2);
    EXPECT_FALSE(run.anotherRun);
    EXPECT_FLOAT_EQ(c->delay, -3);
    // The run goes on in the next length and ends there; the side it reports is its own even
    // when the roll of the next run changed the item's side.
    bool sideChanged = false;
    for (int attempt = 0; attempt < 50 && !sideChanged; ++attempt) {
        c->delay = -3;
        c->runLength = 10;
        c->side = LevelItem::SideLeft;
        ASSERT_TRUE(c->nextRun(&run, 8));
        EXPECT_FLOAT_EQ(run.start, 1);
        EXPECT_EQ(run.count, 4);  // 1, 3, 5, 7: six items over both lengths
        EXPECT_TRUE(run.anotherRun);
        EXPECT_EQ(run.side, LevelItem::SideLeft);
        sideChanged = c->side != LevelItem::SideLeft;
    }
    EXPECT_TRUE(sideChanged);
    // A gap that runs past the length places nothing.
    c->delay = 30;
    EXPECT_FALSE(c->nextRun(&run, 8));
    EXPECT_FLOAT_EQ(c->delay, 22);
}

TEST_F(LevelItems, RemovingSlotRanges) {
    auto runs = [](std::vector<std::pair<float, int>> v) {
        std::vector<ItemRun> out;
        for (auto& p : v) {
            ItemRun r;
            r.start = p.first;
            r.count = p.second;
            r.spacing = 2;
            out.push_back(r);
        }
        return out;
    };
    struct Case {
        std::vector<std::pair<float, int>> in;
        float lo, hi;
        std::vector<std::pair<float, int>> want;
    };
    const Case cases[] = {
        {{{20, 10}}, 30, 34, {{20, 5}, {36, 2}}},  // split around the range
        {{{20, 10}}, 50, 60, {{20, 10}}},          // range beyond the run
        {{{20, 10}}, 30, 60, {{20, 5}}},           // tail cut
        {{{20, 10}}, 10, 60, {}},                  // run inside the range
        {{{20, 10}}, 10, 24, {{26, 7}}},           // head cut
        {{{20, 10}}, 0, 10, {{20, 10}}},           // range before the run
        {{{20, 2}, {40, 3}}, 21, 41, {{42, 2}}},   // one run goes, the next loses its head
    };
    for (const Case& c : cases) {
        std::vector<ItemRun> list = runs(c.in);
        _road->removeSlotRange(list, c.lo, c.hi);
        ASSERT_EQ(list.size(), c.want.size()) << c.lo << ".." << c.hi;
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_FLOAT_EQ(list[i].start, c.want[i].first) << c.lo << ".." << c.hi;
            EXPECT_EQ(list[i].count, c.want[i].second) << c.lo << ".." << c.hi;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Placement

TEST_F(LevelItems, OverlappingRunsAreTrimmedAndObstaclesNeedTheirBit) {
    config("[testItemD]\nobjectFile = objects/items/coin.object\ndensity = 2\n"
           "[testItemE]\nobjectFile = objects/items/ticket.object\ndensity = 2\n");
    LevelItem* d = item("testItemD");
    LevelItem* e = item("testItemE");
    ASSERT_TRUE(d && e);
    Level* l = bareLevel();
    ASSERT_EQ(l->railSets.size(), 3u);
    for (LevelItem* i : {d, e}) {
        i->railIndex = 0;
        i->side = LevelItem::SideLeft;  // reserved stretches only clear the lanes' centres
        i->delayDistanceMin = i->delayDistanceMax = 100;  // one run each in this level
    }
    d->delay = 10;
    d->runLength = 15;  // 8 items: 10 ... 24, extent 26
    e->delay = 20;
    e->runLength = 18;  // 10 items: 20 ... 38
    _road->placeItems(l);
    std::vector<float> ds, es;
    for (ActorItem* a : randomItems(l)) {
        const Where w = where(l, a);
        EXPECT_EQ(w.lane, 0);
        EXPECT_NEAR(w.side, -_road->itemSide, 1e-4f);
        (a->getLevelItem() == d ? ds : es).push_back(w.distance);
    }
    std::sort(ds.begin(), ds.end());
    std::sort(es.begin(), es.end());
    ASSERT_EQ(ds.size(), 8u);
    EXPECT_NEAR(ds.front(), 10, 1e-3f);
    ASSERT_EQ(es.size(), 6u) << "the items at 20, 22, 24 and 26 fall inside the first run";
    EXPECT_NEAR(es.front(), 28, 1e-3f);
    EXPECT_NEAR(es.back(), 38, 1e-3f);
    for (ActorItem* a : randomItems(l))
        _road->removeItem(l, a);

    // An obstacle item skips segments without the obstacle bit and goes on one spacing further.
    LevelItem* o = item("levelItemDeathly");
    ASSERT_NE(o, nullptr);
    d->delay = e->delay = 1000;
    o->railIndex = 0;
    o->side = LevelItem::SideLeft;
    o->delayDistanceMin = o->delayDistanceMax = 100;
    o->delay = 0;
    o->runLength = 39;  // 0, 3, ..., 39
    _road->placeItems(l);
    RailSet* lane = l->railSets[0];
    int skipped = 0, placed = 0;
    std::set<int> at;
    for (ActorItem* a : randomItems(l, o))
        at.insert((int)std::lround(where(l, a).distance));
    for (int s = 0; s <= 39; s += 3) {
        lane->reset(true);
        lane->move((float)s);
        const bool allowed = (lane->getFlags() & SegmentObstacle) && (lane->getFlags() & SegmentItemLeft);
        EXPECT_EQ(at.count(s) == 1, allowed) << "at " << s;
        (allowed ? placed : skipped) += 1;
    }
    EXPECT_GT(placed, 0);
}

TEST_F(LevelItems, TwoHundredLevelsOfSampleItems) {
    addSampleItems();
    _w->frame();
    // The items' pools are the world's; level scenes keep pools of their own content.
    auto itemsInUse = [&] {
        size_t n = 0;
        for (ObjectPool* p : _w->world->_pools)
            n += p->_inUse.size();
        return n;
    };
    const size_t baseline = itemsInUse();
    attachSet(6);
    ASSERT_GE(_road->aheadLevels.size(), 2u);
    const float minSpacing = 1.5f;
    int levels = 0, crossings = 0, obstacles = 0, gifts = 0;
    std::map<int, float> lastAtEnd;  // lane*3+side -> distance of the last item of the previous level
    std::vector<Level*> added;
    auto check = [&](Level* l) {
        ++levels;
        std::map<int, std::vector<float>> byList;
        for (ActorItem* a : randomItems(l)) {
            const Where w = where(l, a);
            const int sideIndex = w.side < -0.35f ? 0 : w.side > 0.35f ? 2 : 1;
            const int sideBit = 1 << sideIndex;
            ASSERT_GE(w.lane, 0);
            ASSERT_LE(w.lane, 2);
            RailSet* set = l->railSets[(size_t)w.lane];
            set->reset(true);
            set->move(w.distance);
            const uint32_t flags = set->getFlags();
            EXPECT_NE(flags & (uint32_t)sideBit, 0u) << "an item on a side its segment forbids";
            if (a->_typeId == TypeActorItemObstacle) {
                EXPECT_NE(flags & SegmentObstacle, 0u);
                ++obstacles;
            } else {
                ++gifts;
            }
            byList[w.lane * 3 + sideIndex].push_back(w.distance);
            if (sideIndex != 1)
                continue;
            for (const Level::OccupiedRange& r : l->occupiedRanges) {
                if (r.mode != Level::RangeFixed || r.railSetIndex != w.lane || !(r.kind & 23))
                    continue;
                const ActorItem* rangeItem = dynamic_cast<ActorItem*>(r.actor);
                if (r.actor && (r.actor->_hidden || (rangeItem && rangeItem->getLevelItem())))
                    continue;
                const float pad = (r.kind & 1) ? 0 : _road->itemGiftSpace;
                EXPECT_FALSE(w.distance >= r.setDistance - pad && w.distance <= r.setDistance + r.length + pad)
                    << "item at " << w.distance << " in a reserved range of kind " << r.kind;
            }
        }
        for (auto& entry : byList) {
            std::vector<float>& v = entry.second;
            std::sort(v.begin(), v.end());
            for (size_t i = 1; i < v.size(); ++i)
                EXPECT_GE(v[i] - v[i - 1], minSpacing - 1e-3f) << "overlapping items";
            auto last = lastAtEnd.find(entry.first);
            if (last != lastAtEnd.end() && std::fabs((40 - last->second) + v.front() - 1.5f) < 1e-2f)
                ++crossings;
        }
        lastAtEnd.clear();
        for (auto& entry : byList)
            lastAtEnd[entry.first] = entry.second.back();
    };
    // The levels of the restart, then every level the road adds while the train rides on.
    for (Level* l : _road->behindLevels)
        check(l);
    for (Level* l : _road->aheadLevels)
        check(l);
    while (levels < 200) {
        _road->advanceLevel();
        added.clear();
        _road->extend(0, &added);
        ASSERT_FALSE(added.empty());
        for (Level* l : added)
            check(l);
    }
    EXPECT_GT(crossings, 5) << "coin rows carry on over level ends";
    EXPECT_GT(obstacles, 20);
    EXPECT_GT(gifts, 1000);
    _road->clear();
    _w->frame();
    EXPECT_EQ(itemsInUse(), baseline);
}

// ---------------------------------------------------------------------------------------------
// Run time

class RoadItemsRunTime : public LevelItems {
protected:
    void SetUp() override {
        LevelItems::SetUp();
        ActorPlayer::registerPlayers(_w->world);
        _boosts.load();
        const std::string file = ConfigStore::instance().getString("trainRed.objectFile", "");
        static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        Object* o = _w->world->createObject(nullptr, file, "trainRed", PropertyList(), 0, rows, Vector3(),
                                            Vector3(1, 1, 1), nullptr);
        _train = dynamic_cast<ActorPlayer*>(o);
        ASSERT_NE(_train, nullptr);
        _train->init();
        _train->load("trainRed");
        _train->reset();
        _train->run();
        _camera = StageCamera::create(_w->world);
        _level = bareLevel();
    }
    void TearDown() override {
        if (_train)
            _train->detach();
        delete _camera;
        LevelItems::TearDown();
    }
    void putTrain(const Vector3& p) {
        _train->_frameMove = Vector3(0, 0.2f, 0);
        _train->setMatrix(Matrix4::translation(p));
        _train->updateTransform();
    }
    ActorItemGift* coinAt(const Vector3& p) {
        ActorItem* a = _coins->take();
        a->_transform->setWorld(kRows, p);
        a->updateTransform();
        _level->addItem(a, true);
        return static_cast<ActorItemGift*>(a);
    }
    std::vector<ActorItemGift*> frame(float dt = kDt) {
        std::vector<ActorItemGift*> got;
        _road->update(dt);
        _road->updateItems(got, _train, _camera, dt);
        return got;
    }
    // Physics step, then the road's contact test.
    void contactFrame() {
        frameTime().dt = kDt;
        _w->world->update();
        _road->checkCollisions(_w->world, _train, _camera);
    }
    Actor* obstacleAt(const std::string& key, const Vector3& p) {
        LevelItem* it = item(key);
        ActorItem* a = it->take();
        a->_transform->setWorld(kRows, p);
        a->updateTransform();
        _level->addItem(a, true);
        return a;
    }

    const Vector3 kRows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    BoostContainer _boosts;
    ActorPlayer* _train = nullptr;
    StageCamera* _camera = nullptr;
    Level* _level = nullptr;
    LevelItem* _coins = nullptr;
};

TEST_F(RoadItemsRunTime, DrivingThroughCoinsGivesEachOnceWithARisingPitch) {
    _coins = item("levelItemCoin");
    _w->frame();
    const size_t baseline = _w->pooledInUse();
    std::vector<ActorItemGift*> laid;
    for (int i = 0; i < 12; ++i)
        laid.push_back(coinAt(Vector3(-2, 60 + 1.5f * (float)i, 0)));
    std::map<ActorItemGift*, int> got;
    std::vector<int> steps;
    // 10 units a second: a coin every 0.15 s, between the pitch's rise and its pause.
    for (int f = 0; f < 240; ++f) {
        putTrain(Vector3(-2, 55 + 10.0f * kDt * (float)f, 0));
        for (ActorItemGift* g : frame()) {
            ++got[g];
            steps.push_back(_road->pitchStep);
        }
        _w->frame();
    }
    ASSERT_EQ(got.size(), 12u);
    for (auto& g : got)
        EXPECT_EQ(g.second, 1);
    for (size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(steps[i], (int)i);
    EXPECT_TRUE(randomItems(_level, _coins).empty()) << "collected coins flew off and left the level";
    // After a pause the pitch starts over; a pickup right after the previous keeps its step.
    for (int f = 0; f < 40; ++f)
        frame();
    coinAt(Vector3(-2, 200, 0));
    coinAt(Vector3(-2, 200.4f, 0));
    putTrain(Vector3(-2, 200, 0));
    EXPECT_EQ(frame().size(), 2u);
    EXPECT_EQ(_road->pitchStep, 0);
    for (int f = 0; f < 60; ++f)
        frame();
    _w->frame();
    EXPECT_EQ(_w->pooledInUse(), baseline);
}

TEST_F(RoadItemsRunTime, MagnetPullsGiftsAlongItsCurve) {
    _coins = item("levelItemCoin");
    _road->itemTime = 1;
    _road->itemPlayerPos = Vector3();
    putTrain(Vector3(0, 0, 0));
    ActorItemGift* far = coinAt(Vector3(-2, 8, 0));
    ActorItemGift* out = coinAt(Vector3(-2, 30, 0));
    _train->_goods._magnetActive = 1;
    _train->_goods._magnetSphere = 20;
    frame(0.5f);
    EXPECT_GE(far->_flyProgress, 0);
    EXPECT_LT(out->_flyProgress, 0) << "beyond the magnet's sphere";
    EXPECT_FALSE(far->_collected);
    // Half the flight: k = 0.125 of the way.
    const Vector3 p = far->getWorldPosition();
    EXPECT_NEAR(p.x, -2 * 0.875f, 1e-3f);
    EXPECT_NEAR(p.y, 8 * 0.875f, 1e-3f);
    _train->_goods._magnetActive = 0;
    putTrain(Vector3(50, 0, 0));  // the train is away: the flight alone collects it
    std::vector<ActorItemGift*> got = frame(0.6f);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], far);
    EXPECT_TRUE(far->_collected);
    EXPECT_FLOAT_EQ(far->_flyProgress, 0) << "the camera flight starts";
}

TEST_F(RoadItemsRunTime, ZeroItemTimeEndsFlightsWithoutDividingByZero) {
    _coins = item("levelItemCoin");
    _road->itemTime = 0;
    putTrain(Vector3(0, 0, 0));
    ActorItemGift* g = coinAt(Vector3(0, 0, 0));
    ASSERT_EQ(frame().size(), 1u);
    const Vector3 p = g->getWorldPosition();
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    frame();
    EXPECT_TRUE(randomItems(_level, _coins).empty());
}

TEST_F(RoadItemsRunTime, ContactsCrashHitAndSmash) {
    const Vector3 at(0, 20, 0);
    putTrain(at);
    _train->_goods._energy = _train->_startGoods._energy = 1;

    // A shield obstacle: a hit with its damage, no shake while the damage delay runs.
    Actor* shield = obstacleAt("levelItemShield", at);
    contactFrame();
    EXPECT_FALSE(_train->isCrashed());
    EXPECT_FLOAT_EQ(_train->_goods._energy, 0.5f);
    EXPECT_FLOAT_EQ(_camera->_shakeTimeLeft, 0);
    _road->removeItem(_level, static_cast<ActorItem*>(shield));
    _w->frame();
    _train->_damageTimer.stop();

    // A dash obstacle is smashed; its debris then touches the train harmlessly.
    _train->_goods._shieldActive = 0;
    _train->_dashTimer._lock = 1;  // dashing: no damage
    Actor* dash = obstacleAt("levelItemDash", at);
    contactFrame();
    EXPECT_EQ(dash->_typeId, TypeActorItem);
    EXPECT_FLOAT_EQ(_train->_goods._energy, 0.5f);
    _train->_dashTimer._lock = 0;
    _camera->_shakeTimeLeft = 0;
    putTrain(dash->getWorldPosition());
    contactFrame();
    EXPECT_FALSE(_train->isCrashed());
    EXPECT_FLOAT_EQ(_train->_goods._energy, 0.5f);
    EXPECT_FLOAT_EQ(_camera->_shakeTimeLeft, 0) << "debris does not shake the camera";
    _road->removeItem(_level, static_cast<ActorItem*>(dash));
    _w->frame();

    // A deathly obstacle crashes the train and shakes at full strength.
    putTrain(at);
    obstacleAt("levelItemDeathly", at);
    contactFrame();
    EXPECT_TRUE(_train->isCrashed());
    EXPECT_GT(_camera->_shakeTimeLeft, 0);
}

TEST_F(RoadItemsRunTime, EnemiesAreHitOrKilled) {
    const Vector3 at(2, 20, 0);
    static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    Object* o = _w->world->createObject(nullptr, "objects/enemies/enemy_train.object", "enemy", PropertyList(), 1,
                                        rows, at, Vector3(1, 1, 1), nullptr);
    ActorEnemy* enemy = dynamic_cast<ActorEnemy*>(o);
    ASSERT_NE(enemy, nullptr);
    enemy->init();
    enemy->reset();
    ASSERT_EQ(enemy->_damageNum, 3);
    // Through the hit state: killed, the train is unharmed.
    putTrain(at);
    _train->_goods._hitActive = 1;
    contactFrame();
    EXPECT_EQ(enemy->_hitCount, 3);
    EXPECT_FALSE(_train->isCrashed());
    // Without it: a hit counts and the train crashes.
    enemy->reset();
    _train->_goods._hitActive = 0;
    contactFrame();
    EXPECT_EQ(enemy->_hitCount, 1);
    EXPECT_TRUE(_train->isCrashed());
    _w->world->deleteObject(enemy);
}

}  // namespace

// The endless road over the sample level sets: a point driven along the road's rails for 20 km
// with origin shifts, and the level sets' choices (order, links, weighted draws, clusters) with
// the faults of empty groups, shared levels and levels without length.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine_game/Transform.h"
#include "game/stage/ZelvanLoad.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelPool.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"
#include "support_levels.h"

using namespace Zelvan;

namespace {

const float kDt = 1.0f / 60.0f;

class StepQueue : public LoadQueue {
public:
    ~StepQueue() override {
        for (Load* step : steps)
            delete step;
    }
    void push(Load* step) override { steps.push_back(step); }
    void runAll() {
        for (Load* step : steps)
            step->load();
    }
    std::vector<Load*> steps;
};

// Chain begin and end of a level in world space.
Vector3 beginOf(const Level* level) { return level->getBeginMatrix().getTranslation(); }
Vector3 endOf(const Level* level) { return level->getEndMatrix().getTranslation(); }

bool forwardAlong(const Rail* rail, const Level* level) {
    const Vector3 a = rail->getOwner()->_world.transformPoint(rail->getPoints().front().position);
    const Vector3 b = rail->getOwner()->_world.transformPoint(rail->getPoints().back().position);
    return (b - a).dot(level->getDirection()) > 0;
}

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        _sample.reset(new leveltest::SampleLevelWorld());
        ConfigStore& config = ConfigStore::instance();
        for (const std::string& name : std::vector<std::string>(config.getList("level.levelSets")))
            _sets.emplace_back(LevelGroupSet::create(&_queue, _sample->pool, name));
        _queue.runAll();
        // The drives go on without end: the dead ends of the meadow and the hills stay out of them.
        for (const char* region : {"regionMeadow", "regionHills"})
            if (LevelGroupSet* regionSet = set(region))
                for (const char* name : {"meadow_end", "hills_end"})
                    if (LevelGroup* end = regionSet->findGroup(name))
                        end->acChance = 0;
        _road.reset(Road::create());
        _road->placeRandomItems = false;
    }
    void TearDown() override {
        _road->levelGroupSet = nullptr;
        _road->clear();
        _road.reset();
        _sets.clear();
        _sample.reset();
    }
    void addConfig(const std::string& text) {
        const std::string name = "configs/roadtest" + std::to_string(_configs++) + ".txt";
        testsupport::writeFile(_sample->_documents.path() + "/data/" + name, text);
        ConfigStore::instance().loadFile(name.c_str(), "");
    }
    LevelGroupSet* set(const std::string& key) {
        for (auto& s : _sets)
            if (s->key == key)
                return s.get();
        return nullptr;
    }
    void start(LevelGroupSet* s) {
        _road->levelGroupSet = s;
        s->reset();
        _road->restart();
    }
    std::vector<Level*> chain() const {
        std::vector<Level*> all = _road->behindLevels;
        all.insert(all.end(), _road->aheadLevels.begin(), _road->aheadLevels.end());
        return all;
    }
    // Puts the traveller on the centre lane of the current level, at its start.
    void place(NearRail& traveller) {
        traveller.clear();
        Level* level = _road->getCurrentLevel();
        ASSERT_NE(level, nullptr);
        Rail* rail = level->railSets[1]->getRails().front();
        traveller.current.rail = rail;
        traveller.current.forward = forwardAlong(rail, level);
        rail->reset(traveller.current.forward);
        traveller.current.railPos = rail->getRailPos();
        traveller.current.level = level;
        traveller.current.distance = 0;
    }
    // Checks of the chain that hold after every frame.
    void checkChain(const char* when) {
        const std::vector<Level*> all = chain();
        for (size_t i = 0; i + 1 < all.size(); ++i)
            ASSERT_LT((endOf(all[i]) - beginOf(all[i + 1])).length(), 1e-3f) << when << " joint " << i;
        std::set<Level*> listed(all.begin(), all.end());
        ASSERT_EQ(listed.size(), all.size()) << "a level is listed twice";
        for (const LevelPool::Entry& entry : _sample->pool->entries)
            ASSERT_EQ(entry.level->onRoad, listed.count(entry.level) == 1) << when;
        for (size_t i = 0; i < _road->aheadLevels.size(); ++i)
            ASSERT_EQ(_road->aheadLevels[i]->roadIndex, int(i));
        float ahead = -_road->position;
        for (Level* level : _road->aheadLevels)
            ahead += level->getLength();
        ASSERT_GE(ahead, _road->distanceBefore) << when;
    }
    // Every lane end of a level ahead has a rail of the next level within autoDistance.
    void checkLaneEnds() {
        for (size_t i = 0; i + 1 < _road->aheadLevels.size(); ++i) {
            Level* level = _road->aheadLevels[i];
            for (RailSet* lane : level->railSets) {
                NearRail probe;
                probe.current.rail = lane->getRails().back();
                probe.current.forward = forwardAlong(probe.current.rail, level);
                if (!probe.current.forward)
                    probe.current.rail = lane->getRails().front();
                probe.current.level = level;
                probe.next.distance = _road->autoDistance;
                _road->findNearRail(&probe, _road->aheadLevels[i + 1]);
                ASSERT_NE(probe.next.rail, nullptr) << level->getName() << " lane without a continuation";
            }
        }
    }

    struct Drive {
        std::vector<Level*> sequence;
        int realigns = 0;
        float distance = 0;
    };
    // A traveller at 30 m/s in 1/60 s frames along the road's rails, the stage's per-frame road
    // work around it, and the chain re-placed at the origin beyond "game.maxDistanceToTeleport".
    Drive drive(float metres) {
        Drive result;
        std::vector<Level*> added;
        NearRail traveller;
        place(traveller);
        for (Level* level : chain())
            result.sequence.push_back(level);
        const float teleport = ConfigStore::instance().getFloat("game.maxDistanceToTeleport", 2000);
        const float step = 30.0f * kDt;
        int frame = 0;
        while (result.distance < metres) {
            if (!traveller.next.rail) {
                traveller.next.distance = _road->autoDistance;
                _road->findNearRail(&traveller, traveller.current.level);
                const auto at = std::find(_road->aheadLevels.begin(), _road->aheadLevels.end(), traveller.current.level);
                if (at != _road->aheadLevels.end() && at + 1 != _road->aheadLevels.end())
                    _road->findNearRail(&traveller, *(at + 1));
            }
            float moved = 0;
            const int on = _road->advanceNearRail(&traveller, &moved, step, true);
            EXPECT_EQ(on, 1) << "ran out of rail at " << result.distance;
            if (on != 1)
                break;
            result.distance += moved;
            added.clear();
            if (traveller.current.level != _road->getCurrentLevel()) {
                EXPECT_EQ(traveller.current.level, _road->aheadLevels.size() > 1 ? _road->aheadLevels[1] : nullptr);
                _road->advanceLevel();
                _road->extend(0, &added);
            } else {
                traveller.current.rail->setPosition(traveller.current.railPos);
                const Vector3 p = traveller.current.rail->getPosition();
                _road->extend(_road->getCurrentLevel()->distanceAlong(p), &added);
            }
            result.sequence.insert(result.sequence.end(), added.begin(), added.end());
            traveller.current.rail->setPosition(traveller.current.railPos);
            if (traveller.current.rail->getPosition().length() > teleport) {
                _road->realignLevels();
                ++result.realigns;
                const Matrix4 begin = _road->getCurrentLevel()->getBeginMatrix();
                for (int k = 0; k < 16; ++k)
                    EXPECT_NEAR(begin.m[k], Matrix4().m[k], 1e-4f) << "current level not at the origin";
            }
            _road->update(kDt);
            if (++frame % 30 == 0) {
                checkChain("drive");
                checkLaneEnds();
                if (HasFatalFailure())
                    break;
            }
        }
        return result;
    }

    std::unique_ptr<leveltest::SampleLevelWorld> _sample;
    StepQueue _queue;
    std::vector<std::unique_ptr<LevelGroupSet>> _sets;
    std::unique_ptr<Road> _road;
    int _configs = 0;
};

TEST_F(RoadTest, SampleRoadReadsItsKeysAndSets) {
    ASSERT_EQ(_sets.size(), 2u);
    EXPECT_FLOAT_EQ(_road->autoDistance, 0.5f);
    EXPECT_NEAR(_road->jumpMaxAngle, 1.0471976f, 1e-5f);
    EXPECT_FLOAT_EQ(_road->distanceBefore, 100);
    EXPECT_EQ(std::string(ConfigStore::instance().getString("level.startLevelSet", "")), "regionMeadow");
    LevelGroupSet* hills = set("regionHills");
    ASSERT_NE(hills, nullptr);
    EXPECT_EQ(hills->clusters.size(), 2u) << "clusters are made once their groups hold levels";
    EXPECT_EQ(hills->clusters[1]->levelNumMin, 4);
    EXPECT_FLOAT_EQ(hills->clusters[0]->distanceMin, 300);
    ASSERT_NE(hills->findGroup("stargate"), nullptr);
    EXPECT_EQ(hills->findGroup("stargate")->levels.size(), 1u);
    for (LevelGroup* group : hills->groups)
        EXPECT_FALSE(group->levels.empty()) << group->key;
}

TEST_F(RoadTest, RestartLeavesTheFirstLevelBehindAndTheSecondCurrent) {
    LevelGroupSet* meadow = set("regionMeadow");
    start(meadow);
    ASSERT_EQ(_road->behindLevels.size(), 1u);
    Level* first = _road->behindLevels[0];
    EXPECT_EQ(first->roadIndex, -1);
    EXPECT_EQ(_road->getCurrentLevel()->roadIndex, 0);
    // The ordered start group opens every run with its levels in order.
    const LevelGroup* opening = meadow->findGroup("meadow_start");
    EXPECT_EQ(first, opening->levels[0]);
    EXPECT_EQ(_road->getCurrentLevel(), opening->levels[1]);
    EXPECT_EQ(_road->aheadLevels[1], opening->levels[2]);
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(first->getBeginMatrix().m[k], Matrix4().m[k], 1e-5f) << "the first level begins at the origin";
    checkChain("restart");
    checkLaneEnds();
}

TEST_F(RoadTest, TwentyKilometresOfEndlessRoadStayChainedAndRepeatWithTheSameSeed) {
    motherRandom().seed(77);
    start(set("regionMeadow"));
    Drive first = drive(10000);
    ASSERT_FALSE(HasFatalFailure());
    // Through the stargate: the other region, with its clusters.
    _road->clear();
    start(set("regionHills"));
    Drive second = drive(10000);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GE(first.distance + second.distance, 20000.0f);
    EXPECT_GE(first.realigns + second.realigns, 9);
    std::set<std::string> groups;
    for (Level* level : second.sequence)
        groups.insert(level->group->key);
    EXPECT_GE(groups.size(), 5u) << "the hills hand out levels of every group";

    // The same seed gives the same levels in the same order.
    _road->clear();
    motherRandom().seed(77);
    start(set("regionMeadow"));
    Drive again = drive(3000);
    ASSERT_GT(again.sequence.size(), 50u);
    ASSERT_LE(again.sequence.size(), first.sequence.size());
    for (size_t i = 0; i < again.sequence.size(); ++i)
        ASSERT_EQ(again.sequence[i], first.sequence[i]) << "level " << i;
}

TEST_F(RoadTest, ExtendWithoutASetChangesNothingAndBehindLevelsAreHiddenThenReleased) {
    _road->extend(25);
    EXPECT_FLOAT_EQ(_road->position, 0);
    EXPECT_TRUE(_road->aheadLevels.empty());

    start(set("regionMeadow"));
    Level* oldest = _road->behindLevels[0];
    // Two more levels passed: three behind.
    _road->advanceLevel();
    _road->extend(0);
    _road->advanceLevel();
    _road->extend(0);
    ASSERT_EQ(_road->behindLevels.size(), 3u);
    // The oldest one's facing end is 80 + 20 behind: released; the others stay.
    _road->extend(20);
    ASSERT_EQ(_road->behindLevels.size(), 2u);
    EXPECT_FALSE(oldest->onRoad);
    EXPECT_FALSE(oldest->isSceneActive());
    // The nearest behind level is only hidden, and shown again when it comes back within reach.
    Level* nearest = _road->behindLevels.back();
    _road->extend(100);
    ASSERT_EQ(_road->behindLevels.size(), 1u);
    EXPECT_EQ(_road->behindLevels[0], nearest);
    EXPECT_FALSE(nearest->isSceneActive());
    EXPECT_TRUE(nearest->onRoad);
    _road->extend(10);
    EXPECT_TRUE(nearest->isSceneActive());
    checkChain("hidden and shown");
}

TEST_F(RoadTest, AQueuedLevelIsSkippedAndAdvancingTheLastLevelLeavesNoCurrent) {
    start(set("regionMeadow"));
    Level* current = _road->getCurrentLevel();
    const Matrix4 endBefore = _road->aheadLevels.back()->getEndMatrix();
    const size_t ahead = _road->aheadLevels.size();
    _road->appendLevels({current});
    EXPECT_EQ(_road->aheadLevels.size(), ahead);
    EXPECT_LT((_road->aheadLevels.back()->getEndMatrix().getTranslation() - endBefore.getTranslation()).length(), 1e-6f);
    while (!_road->aheadLevels.empty())
        _road->advanceLevel();
    EXPECT_EQ(_road->getCurrentLevel(), nullptr);
}

TEST_F(RoadTest, RoadKeysAreClampedAndSwapped) {
    ConfigStore::instance().resetForTests();
    addConfig("[road]\njumpMinDistance = 3\njumpMaxDistance = 1\njumpMaxAngle = 120\ndistanceBehind = -4\n");
    std::unique_ptr<Road> road(Road::create());
    EXPECT_FLOAT_EQ(road->jumpMinDistance, 1);
    EXPECT_FLOAT_EQ(road->jumpMaxDistance, 3);
    EXPECT_NEAR(road->jumpMaxAngle, 1.5707964f, 1e-6f);
    EXPECT_FLOAT_EQ(road->distanceBehind, 0);
    ConfigStore::instance().resetForTests();
    addConfig("[road]\njumpMaxAngle = -10\n");
    std::unique_ptr<Road> flat(Road::create());
    EXPECT_FLOAT_EQ(flat->jumpMaxAngle, 0);
}

// ---- Level sets ----

TEST_F(RoadTest, GroupsHandOutLevelsByOrderLinksAndShuffle) {
    LevelGroupSet* meadow = set("regionMeadow");
    motherRandom().seed(5);
    meadow->reset();
    const LevelGroup* opening = meadow->findGroup("meadow_start");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(meadow->nextLevel(), opening->levels[i]);
    // Then one of the links, shuffled: each of its levels once per visit.
    Level* next = meadow->nextLevel();
    ASSERT_NE(next, nullptr);
    LevelGroup* linked = meadow->currentGroup;
    ASSERT_TRUE(linked->name == "meadow_g1" || linked->name == "meadow_g2") << linked->name;
    std::set<Level*> visit{next};
    visit.insert(meadow->nextLevel());
    visit.insert(meadow->nextLevel());
    EXPECT_EQ(visit.size(), 3u);
    EXPECT_EQ(std::set<Level*>(linked->levels.begin(), linked->levels.end()), visit);
    meadow->reset();
}

TEST_F(RoadTest, AnOnlyOneGroupGivesOneLevelPerVisitUntilAllWereGiven) {
    LevelGroupSet* meadow = set("regionMeadow");
    meadow->reset();
    LevelGroup* once = meadow->findGroup("meadow_g5");
    ASSERT_TRUE(once->_onlyone && once->random);
    std::set<Level*> given;
    for (int visit = 0; visit < 3; ++visit) {
        meadow->currentGroup = once;
        meadow->index = 0;
        Level* level = meadow->nextLevel();
        ASSERT_EQ(level->group, once);
        EXPECT_TRUE(given.insert(level).second) << "a level came again before all were given";
        EXPECT_EQ(meadow->index, 1) << "the visit is over after one level";
        // The next visit keeps the flags while unpicked levels remain.
        if (visit < 2) {
            EXPECT_TRUE(once->hasUnpickedLevel());
        }
    }
    EXPECT_EQ(once->countUnpicked(), 0);
    // All given: the next visit starts over.
    meadow->currentGroup = nullptr;
    meadow->startGroup = "meadow_g5";
    EXPECT_EQ(meadow->nextLevel()->group, once);
    meadow->startGroup = "meadow_start";
    meadow->reset();
}

TEST_F(RoadTest, WeightedDrawSkipsGroupsWithLevelsOnTheRoadAndEmptyGroups) {
    addConfig(
        "[testSet]\nstartGroup = t_empty\ngroups = { t_empty t_zero t_a t_b }\n"
        "[t_empty]\nacChance = 50\nlevels = { scenes/none.txt }\n"
        "[t_zero]\nacChance = 50\nlevels = { scenes/l01.txt }\n"
        "[t_a]\nlevels = { scenes/l01.txt scenes/l02.bin }\n"
        "[t_b]\nlevels = { scenes/l02.bin }\n"
        "[scenes/none.txt]\n");
    StepQueue queue;
    std::unique_ptr<LevelGroupSet> s(LevelGroupSet::create(&queue, _sample->pool, "testSet"));
    {
        testsupport::LogCapture log;
        queue.runAll();
    }
    LevelGroup* zero = s->findGroup("t_zero");
    ASSERT_EQ(zero->levels.size(), 1u);
    zero->levels[0]->chance = 0;  // a level that is never accepted
    LevelGroup* a = s->findGroup("t_a");
    LevelGroup* b = s->findGroup("t_b");
    s->reset();
    motherRandom().seed(3);
    // The empty start group and the group of refused levels give way to a and b, never loop.
    for (int i = 0; i < 40; ++i) {
        Level* level = s->nextLevel();
        ASSERT_NE(level, nullptr);
        ASSERT_TRUE(level->group == a || level->group == b);
    }
    // b's level on the road: the draw takes a whatever it hits.
    s->reset();
    b->levels[0]->onRoad = true;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(s->pickGroup(), a);
    b->levels[0]->onRoad = false;
    zero->levels[0]->chance = 100;
    s->reset();
}

TEST_F(RoadTest, RefusedLevelsEverywhereEndTheRequestWithALogLine) {
    addConfig(
        "[refuseSet]\ngroups = { r_a r_b }\n"
        "[r_a]\nlevels = { scenes/l01.txt }\n"
        "[r_b]\nlevels = { scenes/l02.bin }\n");
    StepQueue queue;
    std::unique_ptr<LevelGroupSet> s(LevelGroupSet::create(&queue, _sample->pool, "refuseSet"));
    queue.runAll();
    for (LevelGroup* g : s->groups)
        g->levels[0]->chance = 0.0001f;
    s->reset();
    motherRandom().seed(9);
    testsupport::LogCapture log;
    EXPECT_EQ(s->nextLevel(), nullptr);
    EXPECT_TRUE(log.contains("No level found in LevelSet(refuseSet)!"));
    for (LevelGroup* g : s->groups)
        g->levels[0]->chance = 100;
    s->reset();
}

TEST_F(RoadTest, AnOnlyOneGroupWithEveryLevelOnTheRoadFailsTheTestInsteadOfStopping) {
    LevelGroupSet* meadow = set("regionMeadow");
    meadow->reset();
    LevelGroup* once = meadow->findGroup("meadow_g5");
    once->setPicked(true);
    for (Level* level : once->levels)
        level->onRoad = true;
    motherRandom().seed(1);
    for (int i = 0; i < 30; ++i)
        EXPECT_NE(meadow->pickGroup(), once);
    for (Level* level : once->levels)
        level->onRoad = false;
    meadow->reset();
}

TEST_F(RoadTest, ClustersWithoutUsableGroupsAreLeftOutWithALogLine) {
    addConfig(
        "[clusterSet]\ngroups = { c_a c_b }\nclusters = { c_none c_missing c_good }\n"
        "[c_a]\nlevels = { scenes/l01.txt }\n[c_b]\nlevels = { scenes/l02.bin }\n"
        "[c_none]\nchance = 1\n"
        "[c_missing]\ngroups = { nowhere elsewhere }\n"
        "[c_good]\ndistanceMin = 300\ndistanceMax = 300\ngroups = { c_a c_b nowhere }\n");
    StepQueue queue;
    testsupport::LogCapture log;
    std::unique_ptr<LevelGroupSet> s(LevelGroupSet::create(&queue, _sample->pool, "clusterSet"));
    EXPECT_TRUE(s->clusters.empty()) << "clusters wait for the closing step";
    queue.runAll();
    EXPECT_TRUE(log.contains("No group in cluster(c_none)!"));
    EXPECT_TRUE(log.contains("Cluster(c_missing) group(nowhere) not found!"));
    EXPECT_TRUE(log.contains("No group found for cluster(c_missing)!"));
    ASSERT_EQ(s->clusters.size(), 1u);
    LevelCluster* good = s->clusters[0];
    EXPECT_EQ(good->groups.size(), 2u);
    EXPECT_FLOAT_EQ(good->distanceMin, 300);
    EXPECT_EQ(good->levelNumMin, 2) << "a count bound of 0 or less becomes the cluster's level count";
    s->reset();
    EXPECT_FLOAT_EQ(good->distanceLimit, 300);
    EXPECT_EQ(good->levelNumLimit, 2);
}

TEST_F(RoadTest, ASharedLevelAnswersWithTheGroupOfTheSetThatRuns) {
    LevelGroupSet* meadow = set("regionMeadow");
    LevelGroupSet* hills = set("regionHills");
    // The hills were loaded last and took the meadow's levels over.
    Level* shared = meadow->findGroup("meadow_start")->levels[0];
    meadow->reset();
    EXPECT_EQ(shared->group, meadow->findGroup("meadow_start"));
    hills->reset();
    EXPECT_NE(shared->group, meadow->findGroup("meadow_start"));
    meadow->reset();
}

TEST_F(RoadTest, ALevelWithoutLengthEndsTheExtensionWithALogLine) {
    std::string zero = testsupport::readFile(testsupport::contentDir() + "/data/scenes/l01.txt");
    const size_t at = zero.find("EMPTY chain_end 0 40 0");
    ASSERT_NE(at, std::string::npos);
    zero.replace(at, 22, "EMPTY chain_end 0 0 0 ");
    testsupport::writeFile(_sample->_documents.path() + "/data/scenes/zero.txt", zero);
    addConfig(
        "[zeroSet]\ngroups = { z_a z_b }\n[z_a]\nlevels = { scenes/zero.txt }\n[z_b]\nlevels = { scenes/zero.txt }\n"
        "[scenes/zero.txt]\nrailGroups = { rail_l separator rail_c separator rail_r }\n");
    StepQueue queue;
    std::unique_ptr<LevelGroupSet> s(LevelGroupSet::create(&queue, _sample->pool, "zeroSet"));
    queue.runAll();
    ASSERT_EQ(s->groups[0]->levels.size(), 1u);
    EXPECT_FLOAT_EQ(s->groups[0]->levels[0]->getLength(), 0);
    testsupport::LogCapture log;
    _road->levelGroupSet = s.get();
    s->reset();
    _road->extend(0);
    EXPECT_TRUE(log.contains("levels give no"));
    EXPECT_LE(_road->aheadLevels.size(), 2u) << "each zero-length level is placed once";
    _road->levelGroupSet = nullptr;
    _road->clear();
}

}  // namespace

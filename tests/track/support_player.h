#pragma once
// The sample train driven frame by frame over a stand-in of the road built from the sample
// level's three lanes, chained ahead as far as the train goes. Shared by the train, stage-camera
// and train-frame tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoostKinds.h"
#include "game/actors/ZelvanTrackServices.h"
#include "game/track/ZelvanRail.h"
#include "support_track.h"

namespace playertest {

using namespace Zelvan;

constexpr float kDt = 1.0f / 60.0f;

// The sample level's lanes (left, centre, right, 2 apart), repeated every 40 units along Y.
class SampleRoad : public TrackServices {
public:
    explicit SampleRoad(const std::vector<Rail*>& lanes) {
        for (Rail* lane : lanes) {
            std::vector<RailPoint> points = lane->getPoints();
            Rail probe(lane->getName(), lane->getOwner(), points);
            if (probe.getDirection().y < 0)
                std::reverse(points.begin(), points.end());
            for (RailPoint& p : points) {
                p.position = lane->getOwner()->_world.transformPoint(p.position);
                p.direction = Vector3(0, 1, 0);
                p.up = Vector3(0, 0, 1);
            }
            _lanePoints.push_back(points);
        }
    }
    Level* level(int k) { return reinterpret_cast<Level*>(&_levelTags[k]); }
    Rail* rail(int lane, int k) {
        while ((int)_rails.size() <= k) {
            const int piece = (int)_rails.size();
            _owners.emplace_back(new Transform());
            Matrix4 m = Matrix4::translation(Vector3(0, 40.0f * piece, 0));
            _owners.back()->_local = m;
            _owners.back()->_world = m;
            _rails.emplace_back();
            for (const auto& points : _lanePoints)
                _rails.back().emplace_back(new Rail("lane", _owners.back().get(), points));
        }
        return _rails[k][lane].get();
    }
    bool locate(const Rail* r, int& lane, int& k) const {
        for (k = 0; k < (int)_rails.size(); ++k)
            for (lane = 0; lane < (int)_rails[k].size(); ++lane)
                if (_rails[k][lane].get() == r)
                    return true;
        return false;
    }
    RoadSlot slot(int lane, int k) {
        RoadSlot s;
        s.rail = rail(lane, k);
        s.level = level(k);
        return s;
    }
    Vector3 getUpAxis(Level*) override { return Vector3(0, 0, 1); }
    bool findNextRail(const RoadSlot& from, RoadSlot& next) override {
        int lane = 0, k = 0;
        if (!locate(from.rail, lane, k) || k + 1 >= 60)
            return false;
        next = slot(lane, k + 1);
        return true;
    }
    void findSwitchRails(RoadSlot& left, RoadSlot& right, ActorPlayer* player, float, float, int, int) override {
        left = right = RoadSlot();
        int lane = 0, k = 0;
        if (!locate(player->getRoad(0).rail, lane, k))
            return;
        if (lane > 0)
            left = slot(lane - 1, k);
        if (lane < 2)
            right = slot(lane + 1, k);
    }
    std::vector<std::vector<RailPoint>> _lanePoints;
    std::vector<std::unique_ptr<Transform>> _owners;
    std::vector<std::vector<std::unique_ptr<Rail>>> _rails;
    int _levelTags[64] = {};
};

class PlayerTrainTest : public tracktest::SampleLevelTest {
protected:
    void SetUp() override {
        // The crash draws its fling from the autopilot's generator: each test starts it afresh so
        // that no test depends on the draws of the ones before it.
        autopilotRandom().seed(111);
        _world = new World(1);
        SampleLevelTest::SetUp();
        loadSampleConfig();
        registerActorClasses(world());
        ActorPlayer::registerPlayers(world());
        _road.reset(new SampleRoad({laneRail("rail_l"), laneRail("rail_c"), laneRail("rail_r")}));
        _boosts.load();
        _train = makeTrain("trainRed");
        ASSERT_NE(_train, nullptr);
    }
    void TearDown() override {
        // The stage's teardown order: the train gives everything back while the world and the
        // boost container exist.
        if (_train)
            _train->detach();
    }
    ActorPlayer* makeTrain(const std::string& name) {
        const std::string file = ConfigStore::instance().getString(name + ".objectFile", "");
        static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        Object* o = world()->createObject(nullptr, file, name, PropertyList(), 1, rows, Vector3(), Vector3(1, 1, 1),
                                          nullptr);
        ActorPlayer* t = dynamic_cast<ActorPlayer*>(o);
        if (!t)
            return nullptr;
        t->init();
        t->load(name);
        t->reset();
        return t;
    }
    void place(ActorPlayer* t, int lane = 1, float leadIn = 0) {
        RoadSlot s = _road->slot(lane, 0);
        s.rail->reset(true);
        s.distance = leadIn;
        t->setRoad(0, s);
        t->run();
    }
    void frame(ActorPlayer* t, float dt = kDt) {
        if (!t->isCrashed() && t->getAction() != ActorPlayer::Action_Stay) {
            RoadSlot next;
            if (_road->findNextRail(t->getRoad(0), next))
                t->setRoad(1, next);
            t->advance(t->totalSpeed() * dt, nullptr, nullptr);
        }
        t->update(dt);
    }
    Vector3 shownPosition() const { return _train->_transform->_world.getTranslation(); }

    std::unique_ptr<SampleRoad> _road;
    BoostContainer _boosts;
    ActorPlayer* _train = nullptr;
};

}  // namespace playertest

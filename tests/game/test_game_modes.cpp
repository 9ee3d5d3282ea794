// The rush mode driving the sample train over three lanes of the sample level: swipes fed as
// touches, the direction keys, tilt, the stretches where the player steers nothing, and the
// autopilot's choice of a lane before an obstacle. The rail questions are answered by a
// stand-in of the road over those lanes, with obstacles placed along them by the test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoostKinds.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanGameModes.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRoad.h"
#include "support_track.h"

using namespace Zelvan;

namespace {

const float kDt = 1.0f / 60.0f;
const float kPiece = 40.0f;  // the sample level's length along Y
const int kPieces = 400;     // 16 km of road

// The sample level's lanes (left, centre, right, 2 apart) repeated every 40 units along Y; it
// answers the train's track services and the mode's rail questions. Obstacles lie on a lane
// between two road distances (world Y).
class LaneRoad : public TrackServices, public RailQueries {
public:
    struct Obstacle {
        int lane;
        float from, to;
        int kind;  // 2 deathly, 4 shield, 8 enemy
    };

    explicit LaneRoad(const std::vector<Rail*>& lanes) {
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
            Matrix4 m = Matrix4::translation(Vector3(0, kPiece * piece, 0));
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
    // The lane under the train and its road distance (world Y at its rail position).
    bool where(ActorPlayer* player, int& lane, float& y) {
        int k = 0;
        const RoadSlot& s = player->getRoad(0);
        if (!locate(s.rail, lane, k))
            return false;
        s.rail->setPosition(player->_railPos);
        y = s.rail->getPosition().y;
        return true;
    }
    bool blocked(int lane, float lo, float hi, int kinds) const {
        for (const Obstacle& o : obstacles)
            if (o.lane == lane && (o.kind & kinds) && lo < o.to && hi > o.from)
                return true;
        return false;
    }

    // ---- Track services ----
    Vector3 getUpAxis(Level*) override { return Vector3(0, 0, 1); }
    bool findNextRail(const RoadSlot& from, RoadSlot& next) override {
        int lane = 0, k = 0;
        if (!locate(from.rail, lane, k) || k + 1 >= kPieces)
            return false;
        next = slot(lane, k + 1);
        return true;
    }
    void findSwitchRails(RoadSlot& left, RoadSlot& right, ActorPlayer* player, float from, float to, int kinds,
                         int) override {
        NearRail l, r;
        findSwitchRails(l, r, player, Vector2(from, to), kinds, 1);
        left = right = RoadSlot();
        if (l.current.rail) {
            left.rail = l.current.rail;
            left.level = l.current.level;
        }
        if (r.current.rail) {
            right.rail = r.current.rail;
            right.level = r.current.level;
        }
    }

    // ---- Rail questions ----
    void findSwitchRails(NearRail& left, NearRail& right, ActorPlayer* player, const Vector2& window, int kinds,
                         int modes) override {
        ++switchQueries;
        lastKinds = kinds;
        lastModes = modes;
        int lane = 0;
        float y = 0;
        if (!where(player, lane, y))
            return;
        const int k = std::min(kPieces - 1, std::max(0, (int)std::floor((y + window.x) / kPiece)));
        for (int side = -1; side <= 1; side += 2) {
            const int target = lane + side;
            if (target < 0 || target > 2 || closedLanes & (1 << target))
                continue;
            if (kinds && blocked(target, y + window.x, y + window.y, kinds))
                continue;
            NearRail& record = side < 0 ? left : right;
            record.current.rail = rail(target, k);
            record.current.level = level(k);
            record.current.distance = 2;
        }
    }
    void initNearRail(NearRail& near, ActorPlayer* player) override {
        near.clear();
        const RoadSlot& s = player->getRoad(0);
        near.current.rail = s.rail;
        near.current.railPos = player->_railPos;
        near.current.forward = s.forward != 0;
        near.current.level = s.level;
        near.current.distance = 0;
    }
    int advanceNearRail(NearRail& near, float* moved, float distance, bool) override {
        int lane = 0, k = 0;
        if (!near.current.rail || !locate(near.current.rail, lane, k))
            return 0;
        near.current.rail->setPosition(near.current.railPos);
        const float y = near.current.rail->getPosition().y;
        if (moved)
            *moved = distance;
        // The road ends where the last piece does, or where a lane is cut.
        if (y + distance > kPiece * kPieces)
            return 0;
        return (cutLane == lane && y + distance >= cutAt) ? 0 : 1;
    }
    bool isNearRailBlocked(NearRail& near, float from, float to, int kinds, int) override {
        int lane = 0, k = 0;
        if (!near.current.rail || !locate(near.current.rail, lane, k))
            return false;
        near.current.rail->setPosition(near.current.railPos);
        const float y = near.current.rail->getPosition().y;
        if (!blocked(lane, y + from, y + to, kinds))
            return false;
        near.clear();
        return true;
    }

    std::vector<Obstacle> obstacles;
    int closedLanes = 0;  // bit per lane that no rail change may reach
    int cutLane = -1;     // a lane whose rail ends at cutAt
    float cutAt = 0;
    int switchQueries = 0, lastKinds = -1, lastModes = -1;

    std::vector<std::vector<RailPoint>> _lanePoints;
    std::vector<std::unique_ptr<Transform>> _owners;
    std::vector<std::vector<std::unique_ptr<Rail>>> _rails;
    int _levelTags[kPieces] = {};
};

class GameModeTest : public tracktest::SampleLevelTest {
protected:
    void SetUp() override {
        _world = new World(1);
        SampleLevelTest::SetUp();
        loadSampleConfig();
        registerActorClasses(world());
        ActorPlayer::registerPlayers(world());
        _road.reset(new LaneRoad({laneRail("rail_l"), laneRail("rail_c"), laneRail("rail_r")}));
        _boosts.load();
        const std::string file = ConfigStore::instance().getString("trainRed.objectFile", "");
        static const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
        _train = dynamic_cast<ActorPlayer*>(world()->createObject(nullptr, file, "trainRed", PropertyList(), 1, rows,
                                                                  Vector3(), Vector3(1, 1, 1), nullptr));
        ASSERT_NE(_train, nullptr);
        _train->init();
        _train->load("trainRed");
        _train->reset();
        _control.reset(new Control);
        _camera.reset(new Camera(nullptr));
        _rush.setRailQueries(_road.get());
        _env.world = world();
        _env.camera = _camera.get();
        _env.control = _control.get();
        _env.player = _train;
        _env.road = reinterpret_cast<Road*>(&_roadTag);  // never asked: the lane road answers
        place(1);
    }
    void TearDown() override {
        if (_train)
            _train->detach();
    }
    void place(int lane) {
        RoadSlot s = _road->slot(lane, 0);
        s.rail->reset(true);
        _train->setRoad(0, s);
        _train->run();
    }
    // One stage frame: control, the mode, the train's move along the road and its own update.
    void frame(float dt = kDt) {
        _control->updateFingers(dt);
        if (!_train->isCrashed()) {
            // The effects a boost would write into the goods record every frame.
            _train->_goods._hitActive |= _hit;
            _env.dt = dt;
            _rush.update(_env);
            RoadSlot next;
            if (_road->findNextRail(_train->getRoad(0), next))
                _train->setRoad(1, next);
            _train->advance(_train->totalSpeed() * dt, nullptr, nullptr);
        }
        _train->update(dt);
    }
    void frames(int n) {
        for (int i = 0; i < n; ++i)
            frame();
    }
    int lane() {
        int l = -1;
        float y = 0;
        _road->where(_train, l, y);
        return l;
    }
    float roadY() {
        int l = -1;
        float y = 0;
        _road->where(_train, l, y);
        return y;
    }
    // A swipe of finger i: down, then a move of (dx, dy) screen units in each of n frames, then up.
    void swipe(float dx, float dy, int n = 4, int finger = 0, bool lift = true) {
        _control->onTouch(Control::TouchBegan, finger, Vector2(0.5f, 0.5f), Vector2());
        frame();
        for (int i = 0; i < n; ++i) {
            _control->onTouch(Control::TouchMoved, finger, Vector2(0.5f + dx * (i + 1), 0.5f + dy * (i + 1)),
                              Vector2(dx, dy));
            frame();
        }
        if (lift) {
            _control->onTouch(Control::TouchEnded, finger, Vector2(), Vector2());
            frame();
        }
    }
    void key(int code) {
        _control->setKey(code, true);
        _control->setKey(code, false);
        _control->setKey(code, true);
        frame();
        _control->setKey(code, false);
    }
    // The train runs until its rail change ends (at most a second).
    void settle() {
        for (int i = 0; i < 60 && _train->getAction() != ActorPlayer::Action_Run; ++i)
            frame();
    }

    std::unique_ptr<LaneRoad> _road;
    BoostContainer _boosts;
    ActorPlayer* _train = nullptr;
    std::unique_ptr<Control> _control;
    std::unique_ptr<Camera> _camera;
    GameRush _rush;
    GameEnv _env;
    int _roadTag = 0;
    uint8_t _hit = 0;
};

TEST_F(GameModeTest, SwipesAndKeysChangeLanes) {
    frames(10);
    swipe(-0.02f, 0.0f);  // 1.2 screen widths per second: past the 0.5 threshold
    settle();
    EXPECT_EQ(lane(), 0) << "a left swipe over several frames";
    EXPECT_NEAR(_train->_transform->_world.getTranslation().x, -2.0f, 1e-3f);
    EXPECT_EQ(_road->lastKinds, 2) << "a normal rail change refuses occupied rails";
    EXPECT_EQ(_road->lastModes, 1);

    key(73);  // right
    settle();
    EXPECT_EQ(lane(), 1);
    key(73);
    settle();
    EXPECT_EQ(lane(), 2);
    key(72);  // left
    settle();
    EXPECT_EQ(lane(), 1);
    swipe(0.02f, 0.0f);
    settle();
    EXPECT_EQ(lane(), 2);
}

TEST_F(GameModeTest, AHeldFingerLatchesOnceAndAQuickTapNothing) {
    frames(5);
    // The finger keeps moving left after its swipe counted: one rail change only.
    swipe(-0.02f, 0.0f, 40, 0, false);
    settle();
    EXPECT_EQ(lane(), 0);
    const int queries = _road->switchQueries;
    _control->onTouch(Control::TouchMoved, 0, Vector2(0.1f, 0.5f), Vector2(-0.05f, 0));
    frames(40);
    EXPECT_EQ(lane(), 0);
    EXPECT_EQ(_road->switchQueries, queries) << "no second gesture from the same finger";
    _control->onTouch(Control::TouchEnded, 0, Vector2(), Vector2());
    frames(2);

    // A quick tap: down and up within one frame, shown down in that update and lifted in the next.
    for (int i = 0; i < 3; ++i) {
        _control->onTouch(Control::TouchBegan, 1, Vector2(0.5f, 0.5f), Vector2());
        _control->onTouch(Control::TouchEnded, 1, Vector2(0.5f, 0.5f), Vector2());
        frames(3);
    }
    for (int g = 0; g < GameRush::GestureCount; ++g)
        EXPECT_FALSE(_rush.isActive((GameRush::Gesture)g));
    EXPECT_EQ(lane(), 0);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run);
}

// The gesture a single finger's velocity gives, straight from the latches.
TEST_F(GameModeTest, SwipeDirectionAndThreshold) {
    struct Case {
        float vx, vy;  // screen units per second
        int gesture;   // -1 none
    } cases[] = {
        {-1.0f, 0.0f, GameRush::GestureLeft},
        {1.0f, 0.2f, GameRush::GestureRight},
        {0.0f, -1.0f, GameRush::GestureUp},
        {0.1f, 1.0f, GameRush::GestureDown},
        // The test screen is 800 x 600: y is scaled by 0.75 before the comparison.
        {0.75f, 1.0f, GameRush::GestureDown},   // 45 degrees after scaling counts as vertical
        {-0.75f, -1.0f, GameRush::GestureUp},
        {0.76f, 1.0f, GameRush::GestureRight},
        {0.5f, 0.0f, -1},  // exactly the threshold does nothing
        {0.0f, 0.6f, -1},  // 0.45 after scaling
    };
    for (const Case& c : cases) {
        Control control;
        GameRush rush;
        control.onTouch(Control::TouchBegan, 3, Vector2(0.5f, 0.5f), Vector2());
        control.updateFingers(0.1f);
        control.onTouch(Control::TouchMoved, 3, Vector2(), Vector2(c.vx * 0.1f, c.vy * 0.1f));
        control.updateFingers(0.1f);
        rush.updateGestures(0.1f, &control);
        for (int g = 0; g < GameRush::GestureCount; ++g)
            EXPECT_EQ(rush.isActive((GameRush::Gesture)g), g == c.gesture) << c.vx << ", " << c.vy << " gesture " << g;
        EXPECT_EQ(rush._fingerUsed[3], c.gesture >= 0 ? 1 : 0);
    }
}

TEST_F(GameModeTest, OppositeGesturesCancelAndLatchesExpire) {
    // A left key and a right swipe in the same frame.
    Control& control = *_control;
    control.onTouch(Control::TouchBegan, 0, Vector2(0.5f, 0.5f), Vector2());
    control.updateFingers(kDt);
    control.onTouch(Control::TouchMoved, 0, Vector2(), Vector2(0.05f, 0));
    control.setKey(72, true);
    control.updateFingers(kDt);
    _rush.updateGestures(kDt, &control);
    EXPECT_FALSE(_rush.isActive(GameRush::GestureLeft));
    EXPECT_FALSE(_rush.isActive(GameRush::GestureRight));
    EXPECT_EQ(_rush._fingerUsed[0], 1) << "the swipe was still spent";

    // Up and down keys together.
    control.setKey(74, true);
    control.setKey(75, true);
    control.updateFingers(kDt);
    _rush.updateGestures(kDt, &control);
    EXPECT_FALSE(_rush.isActive(GameRush::GestureUp));
    EXPECT_FALSE(_rush.isActive(GameRush::GestureDown));

    // One key: active for holdTime, then gone.
    control.setKey(74, false);
    control.setKey(75, false);
    control.setKey(74, true);
    control.updateFingers(0.125f);
    _rush.updateGestures(0.125f, &control);
    EXPECT_TRUE(_rush.isActive(GameRush::GestureUp));
    int frames = 1;
    while (_rush.isActive(GameRush::GestureUp) && frames < 100) {
        control.updateFingers(0.125f);
        _rush.updateGestures(0.125f, &control);
        ++frames;
    }
    EXPECT_EQ(frames, 5) << "active for 0.5 s: four frames of 0.125 s";
    _rush.reset();
    EXPECT_EQ(_rush._fingerUsed[0], 0);
}

TEST_F(GameModeTest, RefusedRailChangeSignalsOncePerSwipe) {
    _road->closedLanes = 1;  // nothing to the left
    frames(5);
    key(72);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_NoJump);
    EXPECT_EQ(_rush._leftRefused, 1);
    frames(8);  // the refusal is over; the latch still runs and stays silent
    EXPECT_TRUE(_rush.isActive(GameRush::GestureLeft));
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run);
    frames(30);
    EXPECT_FALSE(_rush.isActive(GameRush::GestureLeft));
    key(72);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_NoJump) << "a new gesture may signal again";
    EXPECT_EQ(lane(), 1);
}

TEST_F(GameModeTest, UpLeapsDownBrakesAndKindsFollowTheEffects) {
    frames(5);
    key(74);
    EXPECT_TRUE(_train->isLeaping());
    frame();
    EXPECT_FALSE(_rush.isActive(GameRush::GestureUp)) << "the leap spent the gesture";
    frames(120);
    key(75);
    EXPECT_EQ(_train->_goods.get("analyticsBrake")._amount, 1.0f);

    // A rail change while the hit effect runs or in god mode ignores occupied rails.
    settle();
    _train->_godMode = 1;
    key(72);
    EXPECT_EQ(_road->lastKinds, 0);
}

TEST_F(GameModeTest, TiltWagglesWithHysteresisOnlyWhenEnabled) {
    frames(5);
    const float in = _control->_waggleAngleIn;
    _control->_tilt = -(in + 0.05f);
    frames(3);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run) << "waggle is off by default";

    _control->_waggleEnable = true;
    frame();
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_WaggleLeft);
    _control->_tilt = -(_control->_waggleAngleOut + 0.01f);  // between the two angles: stays
    frames(5);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_WaggleLeft);
    _control->_tilt = 0;
    frame();
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_WaggleBack);
    frames(30);
    ASSERT_EQ(_train->getAction(), ActorPlayer::Action_Run);
    _control->_tilt = in + 0.05f;
    frame();
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_WaggleRight);
}

TEST_F(GameModeTest, FlyAndStargateStretchesTakeNoActions) {
    const uint32_t stretches[] = {SegmentNoFly, SegmentStargateIn, SegmentStargateOut, SegmentStargateOther};
    for (uint32_t bit : stretches) {
        SCOPED_TRACE(bit);
        place(1);
        settle();
        // Every segment of the lanes of the first pieces: the bit cleared.
        for (int k = 0; k < 3; ++k)
            for (RailPoint& p : _road->rail(1, k)->_points)
                p.flags = SegmentAll & ~bit;
        _train->_autopilot = 0;
        _control->_waggleEnable = true;
        _control->_tilt = 1.0f;
        key(72);
        frames(3);
        EXPECT_EQ(lane(), 1);
        EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run) << "no rail change, no waggle";
        EXPECT_TRUE(_rush.isActive(GameRush::GestureLeft)) << "but the gesture is latched";
        _road->obstacles = {{1, 0, 1000, 2}};
        _train->_autopilot = 1;
        frames(3);
        EXPECT_EQ(lane(), 1) << "no autopilot either";
        _road->obstacles.clear();
        _train->_autopilot = 0;
        _control->_tilt = 0;
        _rush.reset();
        for (int k = 0; k < 3; ++k)
            for (RailPoint& p : _road->rail(1, k)->_points)
                p.flags = SegmentAll;
    }
}

TEST_F(GameModeTest, AutopilotChangesLaneBeforeABlockingItem) {
    autopilotRandom().seed(111);
    frames(5);
    _train->_autopilot = 1;
    const float y = roadY();
    // An obstacle on the centre lane 20 ahead, the left lane clear, the right lane blocked a little further on.
    _road->obstacles = {{1, y + 20, y + 22, 2}, {2, y + 18, y + 40, 8}};
    int changedAt = -1;
    for (int i = 0; i < 120 && changedAt < 0; ++i) {
        frame();
        if (_train->getAction() == ActorPlayer::Action_JumpLeft)
            changedAt = i;
        ASSERT_NE(_train->getAction(), ActorPlayer::Action_JumpRight);
    }
    ASSERT_GE(changedAt, 0);
    EXPECT_LT(roadY(), y + 20) << "the change starts before the item";
    EXPECT_GT(roadY(), y + 20 - 3 - _train->totalSpeed() * _train->_jumpTime - 1.0f)
        << "and not before the look-ahead reaches it";
    EXPECT_EQ(_road->lastKinds, 10);
    EXPECT_EQ(_road->lastModes, 3);
    settle();
    EXPECT_EQ(lane(), 0);
    EXPECT_LT(roadY(), y + 20);
}

TEST_F(GameModeTest, AutopilotChoiceBetweenTwoClearSidesFollowsTheRandom) {
    // Both sides clear: the draw decides (x < 0.5 left). The same seed gives the same choices.
    std::vector<int> first, second;
    for (int round = 0; round < 2; ++round) {
        autopilotRandom().seed(111);
        std::vector<int>& out = round ? second : first;
        for (int i = 0; i < 8; ++i) {
            place(1);
            settle();
            _rush.reset();
            _road->obstacles = {{1, roadY() + 5, roadY() + 7, 8}};
            _rush.autopilot(_env, true, true, true);
            out.push_back(_train->getAction());
            _road->obstacles.clear();
            settle();
        }
    }
    EXPECT_EQ(first, second);
    EXPECT_NE(std::count(first.begin(), first.end(), (int)ActorPlayer::Action_JumpLeft), 0);
    EXPECT_NE(std::count(first.begin(), first.end(), (int)ActorPlayer::Action_JumpRight), 0);
}

TEST_F(GameModeTest, AutopilotLeavesAnEndingRailAndLeapsShieldObstacles) {
    autopilotRandom().seed(111);
    frames(5);
    // The centre lane ends 10 ahead; the hit effect steers without looking at items.
    _road->cutLane = 1;
    _road->cutAt = roadY() + 10;
    _hit = 1;
    for (int i = 0; i < 60 && _train->getAction() == ActorPlayer::Action_Run; ++i)
        frame();
    EXPECT_NE(_train->getAction(), ActorPlayer::Action_Run);
    EXPECT_EQ(_road->lastKinds, 0);
    settle();
    EXPECT_NE(lane(), 1);
    _road->cutLane = -1;
    _hit = 0;

    // With the autopilot on, a shield obstacle just ahead is leapt, not avoided.
    frames(5);
    _train->_autopilot = 1;
    const int l = lane();
    const float y = roadY();
    _road->obstacles = {{l, y + 3, y + 4, 4}};
    for (int i = 0; i < 20 && !_train->isLeaping(); ++i)
        frame();
    EXPECT_TRUE(_train->isLeaping());
    EXPECT_GT(roadY(), y + 1 - 0.2f) << "leapt at the leap distance, not earlier";
    EXPECT_EQ(lane(), l);
}

TEST_F(GameModeTest, DownEndsTheSpeedBoost) {
    frames(5);
    _train->addBoost(_boosts.acquire("turbo"));
    frames(2);
    if (!_train->_goods._speedActive)
        GTEST_SKIP() << "the sample content has no speed boost named turbo";
    key(75);
    frames(2);
    EXPECT_FALSE(_train->_goods._speedActive);
}

TEST_F(GameModeTest, RobberyOnlyChecksItsInput) {
    GameRobbery robbery;
    EXPECT_EQ(robbery.getName(), "robbery");
    EXPECT_EQ(_rush.getName(), "rush");
    robbery.update(_env);
    EXPECT_EQ(_train->getAction(), ActorPlayer::Action_Run);
    GameEnv missing = _env;
    missing.road = nullptr;
    EXPECT_DEATH(robbery.update(missing), "");
}

}  // namespace

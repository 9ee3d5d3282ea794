#include "game/stage/ZelvanGameModes.h"

#include <cmath>

#include "engine/IGame.h"
#include "engine/utils.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanBoost.h"
#include "game/stage/ZelvanControl.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

// Direction keys in gesture order: left, right, up, down.
const int32_t kGestureKeys[GameRush::GestureCount] = {72, 73, 74, 75};

// Segment bits whose clearing marks a "fly" or "stargate" stretch, where the player steers nothing.
const uint32_t kFreeStretchBits = SegmentNoFly | SegmentStargateIn | SegmentStargateOut | SegmentStargateOther;

// Item masks of the road's blocking tests: deathly and dash obstacles and enemy trains (10),
// shield obstacles (4); fixed and moving alike (3).
const int32_t kKindsInTheWay = 10;
const int32_t kKindsToLeap = 4;
const int32_t kModesAny = 3;

enum { ChoiceNone = 0, ChoiceLeft = 1, ChoiceRight = 2 };

// Which sides the autopilot may change to, from the three windows' findings (far in bit 2,
// middle in bit 1, near in bit 0): a side clear all the way wins; with one side closed outright,
// the other is good enough when it is clear near by.
int autopilotChoice(int left, int right) {
    if (left == 7 && right == 7)
        return ChoiceLeft | ChoiceRight;
    if (right == 7)
        return ChoiceRight;
    if (left == 7)
        return ChoiceLeft;
    if (left == 0 && (right == 3 || right == 1))
        return ChoiceRight;
    if (right == 0 && (left == 3 || left == 1))
        return ChoiceLeft;
    return ChoiceNone;
}

}  // namespace

// ---- The road's answers ----

void RoadRailQueries::findSwitchRails(NearRail& left, NearRail& right, ActorPlayer* player, const Vector2& window,
                                      int kinds, int modes) {
    if (_road)
        _road->findSwitchRails(&left, &right, player, window, kinds, modes);
}

void RoadRailQueries::initNearRail(NearRail& near, ActorPlayer* player) {
    if (_road)
        _road->initNearRail(&near, player);
}

int RoadRailQueries::advanceNearRail(NearRail& near, float* moved, float distance, bool commit) {
    if (!_road) {
        if (moved)
            *moved = 0;
        return 0;
    }
    return _road->advanceNearRail(&near, moved, distance, commit);
}

bool RoadRailQueries::isNearRailBlocked(NearRail& near, float from, float to, int kinds, int modes) {
    return _road && _road->isNearRailBlocked(&near, from, to, kinds, modes);
}

// ---- Rush ----

RailQueries& GameRush::queries(const GameEnv& env) {
    if (_queries)
        return *_queries;
    _roadQueries._road = env.road;
    return _roadQueries;
}

void GameRush::reset() {
    for (uint8_t& used : _fingerUsed)
        used = 0;
    for (GestureLatch& latch : _latches)
        latch = GestureLatch();
    _leftRefused = _rightRefused = 0;
}

void GameRush::update(const GameEnv& env) {
    XASSERT_AT(env.world, __FILE__);
    XASSERT_AT(env.camera, __FILE__);
    XASSERT_AT(env.control, __FILE__);
    XASSERT_AT(env.player, __FILE__);
    XASSERT_AT(env.road, __FILE__);
    if (!env.control || !env.player)
        return;
    ActorPlayer* player = env.player;

    updateGestures(env.dt, env.control);

    // Gestures keep latching over these stretches; they only act once the train is off them.
    if ((player->getRailFlags() & kFreeStretchBits) != kFreeStretchBits)
        return;

    if (player->_goods._speedActive && _latches[GestureDown]._active) {
        player->_boosts.deactivateType(Boost::TypeSpeed);
        _latches[GestureDown]._time = 0;
    }

    if (player->_goods._autopilot) {
        autopilot(env, true, true, true);
        return;
    }

    applyGestures(env);

    if (player->_goods._hitActive)
        autopilot(env, false, false, false);
    else if (player->_goods._damageActive)
        autopilot(env, false, true, false);
}

void GameRush::updateGestures(float dt, Control* control) {
    for (GestureLatch& latch : _latches)
        if (latch._time > 0)
            latch._time -= dt;

    for (int g = 0; g < GestureCount; ++g) {
        const InputKey* key = control->findKey(kGestureKeys[g]);
        _latches[g]._active = key ? key->_pressed : 0;
    }

    // Screen units: x in widths, y in heights; the scale makes both lengths alike. Without a
    // known screen size they are taken as equal.
    const float width = IGame::hostWidth();
    const float height = IGame::hostHeight();
    const float scale = (width > 0 && height > 0) ? height / width : 1.0f;
    const float threshold = control->_slideDistanceEnable ? control->_slideDistance : control->_slideSpeed;

    int best = -1;
    float bestX = 0, bestY = 0;
    for (int i = 0; i < Control::FingerCount; ++i) {
        const InputFinger& finger = control->_inputFingers[i];
        if (!finger._down) {
            _fingerUsed[i] = 0;
            continue;
        }
        if (_fingerUsed[i])
            continue;
        float x = control->_slideDistanceEnable ? finger._sumDx : finger._moveX;
        float y = (control->_slideDistanceEnable ? finger._sumDy : finger._moveY) * scale;
        if (std::fabs(x) > std::fabs(bestX) || std::fabs(y) > std::fabs(bestY)) {
            best = i;
            bestX = x;
            bestY = y;
        }
    }

    if (best >= 0) {
        if (std::fabs(bestY) >= std::fabs(bestX)) {
            if (std::fabs(bestY) > threshold) {
                _fingerUsed[best] = 1;
                // Screen y grows downwards.
                _latches[bestY <= 0 ? GestureUp : GestureDown]._active = 1;
            }
        } else if (std::fabs(bestX) > threshold) {
            _fingerUsed[best] = 1;
            _latches[bestX < 0 ? GestureLeft : GestureRight]._active = 1;
        }
    }

    if (_latches[GestureLeft]._active && _latches[GestureRight]._active)
        _latches[GestureLeft]._active = _latches[GestureRight]._active = 0;
    if (_latches[GestureUp]._active && _latches[GestureDown]._active)
        _latches[GestureUp]._active = _latches[GestureDown]._active = 0;

    const float hold = control->_holdTime;
    if (_latches[GestureLeft]._active) {
        _latches[GestureLeft]._time = hold;
        _latches[GestureRight]._time = 0;
        _leftRefused = 0;
    } else if (_latches[GestureRight]._active) {
        _latches[GestureRight]._time = hold;
        _latches[GestureLeft]._time = 0;
        _rightRefused = 0;
    }
    if (_latches[GestureUp]._active) {
        _latches[GestureUp]._time = hold;
        _latches[GestureDown]._time = 0;
    } else if (_latches[GestureDown]._active) {
        _latches[GestureDown]._time = hold;
        _latches[GestureUp]._time = 0;
    }

    for (GestureLatch& latch : _latches)
        latch._active = latch._time > 0 ? 1 : 0;
}

void GameRush::applyGestures(const GameEnv& env) {
    ActorPlayer* player = env.player;
    Control* control = env.control;
    const PlayerGoods& goods = player->_goods;
    const bool run = player->getAction() == ActorPlayer::Action_Run;

    if (_latches[GestureLeft]._active || _latches[GestureRight]._active) {
        if (run) {
            const float D = player->totalSpeed() * player->_jumpTime;
            const Vector2& J = player->_jumpFutureFactor;
            const Vector2 window(player->_railSize1 - player->_railWheel1 + D * J.x,
                                 player->_railSize2 - player->_railWheel1 + D * J.y);
            // Occupied target rails refuse the change, except in ping-pong play, while the hit
            // boost clears the way and in god mode.
            const int kinds = (control->_pingpongEnable || goods._hitActive || player->_godMode) ? 0 : 2;
            NearRail left, right;
            queries(env).findSwitchRails(left, right, player, window, kinds, 1);
            if (_latches[GestureLeft]._active) {
                if (left.current.rail) {
                    player->jumpLeft(left.current.rail, left.current.level);
                    _latches[GestureLeft]._time = 0;
                } else if (!_leftRefused) {
                    _leftRefused = 1;
                    player->noJumpLeft();
                }
            } else if (right.current.rail) {
                player->jumpRight(right.current.rail, right.current.level);
                _latches[GestureRight]._time = 0;
            } else if (!_rightRefused) {
                _rightRefused = 1;
                player->noJumpRight();
            }
        }
    } else if (_latches[GestureUp]._active) {
        if (control->_leapEnable) {
            if (run) {
                player->leap();
                _latches[GestureUp]._time = 0;
            }
        } else if (control->_dashEnable && !goods._dashActive) {
            player->dash();
            _latches[GestureUp]._time = 0;
        }
    } else if (_latches[GestureDown]._active) {
        if (control->_brakeEnable) {
            if (!goods._brakeActive) {
                player->brake();
                _latches[GestureDown]._time = 0;
            }
        } else if (control->_cryEnable && !goods._cryActive) {
            player->cry();
            _latches[GestureDown]._time = 0;
        }
    }

    if (!control->_waggleEnable)
        return;
    const uint32_t flags = player->getRailFlags();
    const float tilt = control->_tilt;
    switch (player->getAction()) {
    case ActorPlayer::Action_WaggleLeft:
        if (tilt > -control->_waggleAngleOut || !(flags & SegmentItemLeft))
            player->waggleBack();
        break;
    case ActorPlayer::Action_Run:
        if (tilt < -control->_waggleAngleIn && (flags & SegmentItemLeft))
            player->waggleLeft();
        else if (tilt > control->_waggleAngleIn && (flags & SegmentItemRight))
            player->waggleRight();
        break;
    case ActorPlayer::Action_WaggleRight:
        if (tilt < control->_waggleAngleOut || !(flags & SegmentItemRight))
            player->waggleBack();
        break;
    default:
        break;
    }
}

void GameRush::autopilot(const GameEnv& env, bool avoid, bool itemMasks, bool leap) {
    ActorPlayer* player = env.player;
    if (player->getAction() != ActorPlayer::Action_Run)
        return;
    RailQueries& road = queries(env);

    const float D = player->totalSpeed() * player->_jumpTime;
    const float leadIn = player->getRoad(0).distance;

    NearRail near;
    road.initNearRail(near, player);
    const float ahead = leadIn + player->_autopilotJumpDistance + D;
    const int onRail = road.advanceNearRail(near, nullptr, ahead, false);
    const bool change =
        onRail == 0 || (avoid && road.isNearRailBlocked(near, 0, ahead, kKindsInTheWay, kModesAny));

    if (!change) {
        if (avoid && leap) {
            const float l = leadIn + player->_autopilotLeapDistance;
            if (road.advanceNearRail(near, nullptr, l, false) == 1 &&
                road.isNearRailBlocked(near, 0, l, kKindsToLeap, kModesAny))
                player->leap();
        }
        return;
    }

    const float w0 = player->_railWheel1;
    const Vector2& J = player->_jumpFutureFactor;
    const float n = player->_railSize1 - w0 + D * J.x;
    const float m1 = player->_railSize2 - w0 + D * (J.x + (J.y - J.x) * 0.25f);
    const float e = player->_autopilotJumpSideDistance + player->_railSize2 - w0 + D * J.y;
    const float m2 = (m1 + e) * 0.5f;
    const Vector2 windows[3] = {Vector2(m2, e), Vector2(m1, m2), Vector2(n, m1)};  // far, middle, near

    int leftMask = 0, rightMask = 0;
    NearRail::Half leftKept, rightKept;
    for (const Vector2& window : windows) {
        NearRail left, right;
        road.findSwitchRails(left, right, player, window, itemMasks ? kKindsInTheWay : 0, itemMasks ? kModesAny : 0);
        leftMask <<= 1;
        rightMask <<= 1;
        if (left.current.rail) {
            leftMask |= 1;
            leftKept = left.current;
        }
        if (right.current.rail) {
            rightMask |= 1;
            rightKept = right.current;
        }
    }

    const int choice = autopilotChoice(leftMask, rightMask);
    // Drawn every time, so the sequence does not depend on what the road answered.
    const float x = (float)autopilotRandom().nextDouble();
    if ((choice & ChoiceLeft) && (x < 0.5f || !(choice & ChoiceRight))) {
        player->jumpLeft(leftKept.rail, leftKept.level);
        _latches[GestureLeft]._time = 0;
    } else if (choice & ChoiceRight) {
        player->jumpRight(rightKept.rail, rightKept.level);
        _latches[GestureRight]._time = 0;
    }
}

// ---- Robbery ----

void GameRobbery::update(const GameEnv& env) {
    XASSERT_AT(env.world, __FILE__);
    XASSERT_AT(env.camera, __FILE__);
    XASSERT_AT(env.control, __FILE__);
    XASSERT_AT(env.player, __FILE__);
    XASSERT_AT(env.road, __FILE__);
}

}  // namespace Zelvan

// The road's rail questions: which rail continues the one under a traveller, where it is after a
// distance, whether something lies on the way, and where a sideways jump lands. The searches move
// the rails' shared current positions and allocate nothing.

#include <algorithm>
#include <cmath>

#include "engine/utils.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

const float kPiRails = 3.14159265f;
const float kHalfPiRails = 1.5707964f;

// The point where travel on the rail leaves it, and the travel direction there.
void travelEnd(const Rail* rail, bool forward, Vector3& point, Vector3& direction) {
    const std::vector<RailPoint>& points = rail->getPoints();
    const RailPoint& p = forward ? points.back() : points.front();
    const Transform* owner = rail->getOwner();
    point = owner ? owner->_world.transformPoint(p.position) : p.position;
    direction = owner ? owner->_world.transformVector(p.direction) : p.direction;
    if (!forward)
        direction = -direction;
}

bool setHasRail(const RailSet* set, const Rail* rail) {
    const std::vector<Rail*>& rails = set->getRails();
    return std::find(rails.begin(), rails.end(), rail) != rails.end();
}

bool rangeCounts(const Level::OccupiedRange& range, const Rail* rail, int32_t kinds, int32_t modes) {
    return (range.kind & kinds) != 0 && (range.mode & modes) != 0 && range.rail == rail &&
           (!range.actor || !range.actor->_hidden);
}

bool blocksRange(const Level* level, const Rail* rail, float lo, float hi, int32_t kinds, int32_t modes) {
    for (const Level::OccupiedRange& range : level->occupiedRanges) {
        if (!rangeCounts(range, rail, kinds, modes))
            continue;
        if (lo < range.railDistance + range.length && hi > range.railDistance)
            return true;
    }
    return false;
}

}  // namespace

void Road::findNearRail(NearRail* nearRail, Level* level) {
    XAssert((nearRail && level) ? 1 : 0, "nearRail && level", __FILE__, __LINE__);
    if (!nearRail || !level || !nearRail->current.rail || nearRail->next.rail)
        return;
    Rail* currentRail = nearRail->current.rail;
    if (currentRail->getPoints().size() < 2)
        return;
    Vector3 e, t;
    travelEnd(currentRail, nearRail->current.forward, e, t);
    const float radius = nearRail->next.distance;
    float best = 0;
    for (const RailSet* set : level->railSets) {
        if (setHasRail(set, currentRail))
            continue;
        for (Rail* rail : set->getRails()) {
            if (rail->getPoints().size() < 2)
                continue;
            // The projection's own answer is not used: a lane that begins exactly where this one
            // ends projects onto its first point, which the projection counts as "before".
            rail->projectPoint(e);
            const Vector3 q = rail->getPosition();
            const float d = (q - e).length();
            if (!(d < radius))
                continue;
            const float dot = rail->getDirection().dot(t);
            const float remaining = dot > 0 ? rail->getLength() - rail->getDistance() : rail->getDistance();
            if (remaining > best) {
                best = remaining;
                nearRail->next.rail = rail;
                nearRail->next.railPos = rail->getRailPos();
                nearRail->next.forward = dot > 0;
                nearRail->next.level = level;
                nearRail->next.distance = d;
            }
        }
    }
}

void Road::initNearRail(NearRail* nearRail, ActorPlayer* actor) {
    XAssert((nearRail && actor) ? 1 : 0, "nearRail && actor", __FILE__, __LINE__);
    if (!nearRail || !actor)
        return;
    const RoadSlot& slot = actor->getRoad(0);
    nearRail->current.rail = slot.rail;
    nearRail->current.railPos = actor->_railPos;
    nearRail->current.forward = slot.forward != 0;
    nearRail->current.level = slot.level;
    nearRail->current.distance = 0;
    nearRail->next.clear();
    nearRail->next.distance = autoDistance;
    for (size_t i = 0; i < aheadLevels.size() && i < 2 && !nearRail->next.rail; ++i)
        findNearRail(nearRail, aheadLevels[i]);
}

int Road::advanceNearRail(NearRail* nearRail, float* moved, float distance, bool commit) {
    if (moved)
        *moved = 0;
    if (!nearRail || !nearRail->current.rail)
        return 0;
    NearRail::Half& cur = nearRail->current;
    cur.rail->setPosition(cur.railPos);
    float m1 = 0;
    const bool fitted = cur.rail->move(cur.forward ? distance : -distance, &m1);
    if (!cur.forward)
        m1 = -m1;
    if (fitted) {
        if (commit)
            cur.railPos = cur.rail->getRailPos();
        if (moved)
            *moved = m1;
        return 1;
    }
    NearRail::Half& nxt = nearRail->next;
    if (!nxt.rail) {
        if (moved)
            *moved = m1;
        return 0;
    }
    nxt.rail->setPosition(nxt.railPos);
    const float rest = distance - m1;
    float m2 = 0;
    const bool fittedNext = nxt.rail->move(nxt.forward ? rest : -rest, &m2);
    if (!nxt.forward)
        m2 = -m2;
    if (commit) {
        if (fittedNext) {
            cur = nxt;
            cur.railPos = nxt.rail->getRailPos();
        } else {
            cur.clear();
        }
        nxt.clear();
    }
    if (moved)
        *moved = m1 + m2;
    return fittedNext ? 1 : 0;
}

bool Road::isNearRailBlocked(NearRail* nearRail, float from, float to, int32_t kinds, int32_t modes) {
    if (!nearRail || !nearRail->current.rail)
        return false;
    NearRail::Half& cur = nearRail->current;
    cur.rail->setPosition(cur.railPos);
    const float p = cur.rail->getDistance();
    float lo = cur.forward ? p + from : p - to;
    float hi = cur.forward ? p + to : p - from;
    bool blocked = cur.level && blocksRange(cur.level, cur.rail, lo, hi, kinds, modes);
    if (!blocked && nearRail->next.rail) {
        const NearRail::Half& nxt = nearRail->next;
        const float length = cur.rail->getLength();
        bool overflow = true;
        if (cur.forward) {
            if (hi <= length)
                overflow = false;
            lo -= length;
            hi -= length;
        } else {
            if (lo >= 0)
                overflow = false;
            const float l = lo;
            lo = -hi;
            hi = -l;
        }
        if (overflow && nxt.level) {
            nxt.rail->setPosition(nxt.railPos);
            const float q = nxt.rail->getDistance();
            const float a = nxt.forward ? q + lo : q - hi;
            const float b = nxt.forward ? q + hi : q - lo;
            blocked = blocksRange(nxt.level, nxt.rail, a, b, kinds, modes);
        }
    }
    if (blocked)
        nearRail->clear();
    return blocked;
}

bool Road::hasRailItem(Rail* rail, Level* level, int32_t kinds, int32_t modes, const Vector2& range) {
    if (!rail || !level)
        return false;
    for (const Level::OccupiedRange& r : level->occupiedRanges) {
        if (!rangeCounts(r, rail, kinds, modes))
            continue;
        if (range.x < r.railDistance + r.length && range.y >= r.railDistance && range.y != r.railDistance)
            return true;
    }
    return false;
}

void Road::findRailInDirection(NearRail* left, NearRail* right, Level* level, const Matrix4& pose, Rail* excluded) {
    XAssert(level ? 1 : 0, "level", __FILE__, __LINE__);
    if (!level)
        return;
    const Vector3 side = pose.row3(0), forward = pose.row3(1), up = pose.row3(2), origin = pose.row3(3);
    for (const RailSet* set : level->railSets) {
        for (Rail* rail : set->getRails()) {
            if (rail == excluded || rail->getPoints().size() < 2 || !rail->projectPoint(origin))
                continue;
            const Vector3 v = rail->getPosition() - origin;
            const float h = v.dot(up);
            if (!(-heightDownDistance < h && h < heightUpDistance))
                continue;
            const float d = v.length();
            if (!(d > jumpMinDistance))
                continue;
            const Vector3 direction = rail->getDirection();
            const float cosine = std::min(1.0f, std::max(-1.0f, direction.dot(forward)));
            float a = std::acos(cosine);
            if (a > kHalfPiRails)
                a = kPiRails - a;
            if (!(a < jumpMaxAngle))
                continue;
            NearRail* record = v.dot(side) < 0 ? left : right;
            if (!record || !(rail->getFlags() & SegmentNoFly) || !(d < record->current.distance))
                continue;
            record->current.rail = rail;
            record->current.railPos = rail->getRailPos();
            record->current.forward = direction.dot(forward) > 0;
            record->current.level = level;
            record->current.distance = d;
        }
    }
}

void Road::findSwitchRails(NearRail* left, NearRail* right, ActorPlayer* actor, const Vector2& range, int32_t kinds,
                           int32_t modes) {
    XAssert(actor ? 1 : 0, "actor", __FILE__, __LINE__);
    if (!actor)
        return;
    const size_t n = std::min<size_t>(aheadLevels.size(), 2);
    if (n == 0)
        return;
    const RoadSlot& slot = actor->getRoad(0);

    NearRail probe;
    probe.current.rail = slot.rail;
    probe.current.railPos = actor->_railPos;
    probe.current.forward = slot.forward != 0;
    probe.current.level = slot.level;
    probe.current.distance = 0;
    probe.next.distance = autoDistance;
    for (size_t i = 0; i < n; ++i)
        findNearRail(&probe, aheadLevels[i]);

    const float d = std::max(0.0f, slot.distance + range.x);
    NearRail copy = probe;
    float moved = 0;
    Rail* rail = nullptr;
    if (advanceNearRail(&copy, &moved, d, true) && copy.current.rail)
        rail = copy.current.rail;
    else if (probe.next.rail)
        rail = probe.next.rail;
    else
        rail = probe.current.rail;
    if (!rail || rail->getPoints().size() < 2)
        return;

    const Vector3 D = rail->getDirection();
    const Vector3 S = D.cross(rail->getUp()).normalized();
    const Vector3 U = S.cross(D);
    const Vector3 P = rail->getPosition();
    Matrix4 pose;
    const Vector3 rows[4] = {S, D, U, P};
    for (int r = 0; r < 4; ++r) {
        pose.m[r * 4 + 0] = rows[r].x;
        pose.m[r * 4 + 1] = rows[r].y;
        pose.m[r * 4 + 2] = rows[r].z;
        pose.m[r * 4 + 3] = r == 3 ? 1.0f : 0.0f;
    }

    const uint32_t flags = rail->getFlags();
    NearRail* l = (left && (flags & SegmentJumpLeft)) ? left : nullptr;
    NearRail* r = (right && (flags & SegmentJumpRight)) ? right : nullptr;
    if (l)
        l->current.distance = jumpMaxDistance;
    if (r)
        r->current.distance = jumpMaxDistance;
    if (!l && !r)
        return;
    for (size_t i = 0; i < n; ++i)
        findRailInDirection(l, r, aheadLevels[i], pose, slot.rail);

    NearRail* records[2] = {l, r};
    for (NearRail* record : records) {
        if (!record || !record->current.rail)
            continue;
        record->next.clear();
        record->next.distance = autoDistance;
        for (size_t i = 0; i < n; ++i)
            findNearRail(record, aheadLevels[i]);
        advanceNearRail(record, nullptr, d - moved, true);
        record->next.clear();
        record->next.distance = autoDistance;
        if (record->current.rail)
            for (size_t i = 0; i < n; ++i)
                findNearRail(record, aheadLevels[i]);
        if (!advanceNearRail(record, nullptr, range.y - range.x, false)) {
            record->clear();
            continue;
        }
        if (kinds != 0)
            isNearRailBlocked(record, 0, range.y - range.x, kinds, modes);
    }
}

void Road::debugDrawJumpLinks(DebugDraw* drawer, Level* level) {
    if (!drawer || !level)
        return;
    const Vector3 red(255, 0, 0), green(0, 255, 0);
    const size_t sets = level->railSets.size();
    for (size_t a = 0; a < sets; ++a) {
        for (size_t b = 0; b < sets; ++b) {
            if (a == b)
                continue;
            for (Rail* first : level->railSets[a]->getRails()) {
                const RailPos firstSaved = first->getRailPos();
                for (Rail* second : level->railSets[b]->getRails()) {
                    const RailPos secondSaved = second->getRailPos();
                    const float length = first->getLength();
                    for (float s = 0; s <= length; s += 0.4f) {
                        first->seekDistance(s);
                        const Vector3 p = first->getPosition();
                        if (!second->projectPoint(p))
                            continue;
                        const Vector3 q = second->getPosition();
                        const Vector3 v = q - p;
                        const float d = v.length();
                        if (!(d > jumpMinDistance && d < jumpMaxDistance))
                            continue;
                        const float h = v.dot(first->getUp().normalized());
                        bool refused = !(-heightDownDistance < h && h < heightUpDistance);
                        float angle = std::acos(std::min(
                            1.0f, std::max(-1.0f, second->getDirection().normalized().dot(first->getDirection().normalized()))));
                        if (angle > kHalfPiRails)
                            angle = kPiRails - angle;
                        refused = refused || !(angle < jumpMaxAngle);
                        const int32_t kinds = Level::RangeDeathly | Level::RangeShield | Level::RangeEnemy;
                        const int32_t modes = Level::RangeFixed | Level::RangeMoving;
                        const float ds = second->getDistance();
                        refused = refused || hasRailItem(first, level, kinds, modes, Vector2(s, s + 0.4f)) ||
                                  hasRailItem(second, level, kinds, modes, Vector2(ds, ds + 0.4f));
                        drawer->drawLine(p, q, refused ? red : green);
                    }
                    second->setPosition(secondSaved);
                }
                first->setPosition(firstSaved);
            }
        }
    }
}

}  // namespace Zelvan

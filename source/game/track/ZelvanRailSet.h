#pragma once
// Rails travelled one after another as one route: a lane built from separate pieces, or the
// path of an enemy train. The set keeps a travel direction and a current rail; each rail keeps
// its own position. The set does not own its rails (the level that built them does).

#include <cstdint>
#include <vector>

#include "engine/math.h"
#include "game/track/ZelvanRail.h"

class DebugDraw;

namespace Zelvan {

// A saved place on a rail set.
struct RailSetPos {
    bool forward = true;
    int32_t index = 0;
    RailPos position;
};

class RailSet {
public:
    static RailSet* create(const std::vector<Rail*>& rails);

    // Copies the list and turns the rails so that each one's end leads into the next.
    explicit RailSet(const std::vector<Rail*>& rails);

    // Forward: the first rail at its start; otherwise the last rail at its end.
    void reset(bool forward);
    // Moves by a signed distance through the rails; false when the set's end (or start) stopped
    // it. moved receives the signed distance actually travelled.
    bool move(float distance, float* moved = nullptr);

    float getTotalLength() const;
    // Along the whole set to the current place.
    float getDistance() const;
    Vector3 getPosition() const;
    Vector3 getDirection() const;
    Vector3 getUp() const;
    uint32_t getFlags() const;

    void savePosition(RailSetPos& out) const;
    void restorePosition(const RailSetPos& saved);

    // The route the other way round: every rail reversed and their order too, so the set still
    // runs rail end into rail start; the current index follows its rail.
    void reverse();

    void debugDraw(DebugDraw* drawer, const Matrix4& matrix) const;

    Rail* getRail() const { return _rails.empty() ? nullptr : _rails[_index]; }
    const std::vector<Rail*>& getRails() const { return _rails; }
    int32_t getIndex() const { return _index; }
    bool isForward() const { return _forward; }

    std::vector<Rail*> _rails;  // not owned
    bool _forward = true;
    int32_t _index = 0;

private:
    void orient();
};

}  // namespace Zelvan

#include "game/track/ZelvanRailSet.h"

#include <algorithm>

namespace Zelvan {

RailSet* RailSet::create(const std::vector<Rail*>& rails) { return new RailSet(rails); }

RailSet::RailSet(const std::vector<Rail*>& rails) : _rails(rails) {
    // A null entry would only crash later.
    _rails.erase(std::remove(_rails.begin(), _rails.end(), nullptr), _rails.end());
    orient();
}

void RailSet::orient() {
    const size_t n = _rails.size();
    if (n < 2)
        return;
    // A rail is kept when either end of the next one lies ahead of its own end.
    for (size_t i = 0; i + 1 < n; ++i) {
        Rail* a = _rails[i];
        Rail* b = _rails[i + 1];
        a->reset(false);
        const Vector3 A = a->getPosition();
        const Vector3 D = a->getDirection();
        b->reset(true);
        const Vector3 S = b->getPosition();
        b->reset(false);
        const Vector3 E = b->getPosition();
        if (!((S - A).dot(D) > 0 || (E - A).dot(D) > 0))
            a->reverse();
    }
    // The last rail has no next one: it is turned when its end lies nearer the previous end.
    Rail* a = _rails[n - 2];
    Rail* b = _rails[n - 1];
    a->reset(false);
    const Vector3 A = a->getPosition();
    b->reset(true);
    const Vector3 S = b->getPosition();
    b->reset(false);
    const Vector3 E = b->getPosition();
    if ((E - A).length() < (S - A).length())
        b->reverse();
}

void RailSet::reset(bool forward) {
    _forward = forward;
    _index = forward || _rails.empty() ? 0 : (int32_t)_rails.size() - 1;
    for (Rail* r : _rails)
        r->reset(forward);
}

bool RailSet::move(float distance, float* moved) {
    if (moved)
        *moved = 0;
    if (_rails.empty() || distance != distance)
        return false;
    const bool ahead = distance >= 0;
    float sum = 0;
    float d = distance;
    for (;;) {
        float step = 0;
        if (_rails[_index]->move(d, &step)) {
            if (moved)
                *moved = sum + step;
            return true;
        }
        const int32_t next = ahead ? _index + 1 : _index - 1;
        if (next < 0 || next >= (int32_t)_rails.size()) {
            if (moved)
                *moved = sum + step;
            return false;
        }
        sum += step;
        d -= step;
        _index = next;
        // Entered at the end the travel comes from; the start for a backward move would jump
        // the whole rail and report a distance the position never covered.
        _rails[_index]->reset(ahead);
    }
}

float RailSet::getTotalLength() const {
    float sum = 0;
    for (const Rail* r : _rails)
        sum += r->getLength();
    return sum;
}

float RailSet::getDistance() const {
    if (_rails.empty())
        return 0;
    float sum = 0;
    for (int32_t i = 0; i < _index; ++i)
        sum += _rails[i]->getLength();
    return sum + _rails[_index]->getDistance();
}

Vector3 RailSet::getPosition() const { return _rails.empty() ? Vector3(0, 0, 0) : _rails[_index]->getPosition(); }

Vector3 RailSet::getDirection() const { return _rails.empty() ? Vector3(0, 1, 0) : _rails[_index]->getDirection(); }

Vector3 RailSet::getUp() const { return _rails.empty() ? Vector3(0, 0, 1) : _rails[_index]->getUp(); }

uint32_t RailSet::getFlags() const { return _rails.empty() ? 0u : _rails[_index]->getFlags(); }

void RailSet::savePosition(RailSetPos& out) const {
    out.forward = _forward;
    out.index = _index;
    out.position = _rails.empty() ? RailPos() : _rails[_index]->getRailPos();
}

void RailSet::restorePosition(const RailSetPos& saved) {
    _forward = saved.forward;
    if (_rails.empty()) {
        _index = 0;
        return;
    }
    _index = std::min((int32_t)_rails.size() - 1, std::max(0, saved.index));
    _rails[_index]->setPosition(saved.position);
}

void RailSet::reverse() {
    for (Rail* r : _rails)
        r->reverse();
    std::reverse(_rails.begin(), _rails.end());
    if (!_rails.empty())
        _index = (int32_t)_rails.size() - 1 - _index;
}

void RailSet::debugDraw(DebugDraw* drawer, const Matrix4& matrix) const {
    for (const Rail* r : _rails)
        r->debugDraw(drawer, matrix);
}

}  // namespace Zelvan

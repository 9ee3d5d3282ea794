#include "game/menu/ZelvanMenuWorldExt.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"
#include "game/stage/ZelvanStage.h"
#include "game/stage/ZelvanStageCamera.h"

namespace Zelvan {

namespace {

const float kDeg = kPi / 180.0f;

float clamp01(float v) { return std::isnan(v) ? 0.0f : std::min(1.0f, std::max(0.0f, v)); }

}  // namespace

MenuWorldExt::MenuWorldExt(const std::string& name) : MenuExtension(name) { load(); }

void MenuWorldExt::load() {
    ConfigStore& cfg = ConfigStore::instance();
    _angularVelocityDefault = cfg.getFloat(_name + ".angularVelocityDefault", _angularVelocityDefault / kDeg) * kDeg;
    _angularVelocityMax = std::fabs(cfg.getFloat(_name + ".angularVelocityMax", _angularVelocityMax / kDeg) * kDeg);
    _angularVelocityDamp = clamp01(cfg.getFloat(_name + ".angularVelocityDamp", _angularVelocityDamp));
    _angularVelocity = _angularVelocityDefault;
}

void MenuWorldExt::onShow(bool) { _shown = true; }
void MenuWorldExt::onHide(bool) { _shown = false; }

void MenuWorldExt::clearSpin() {
    _spinQueued = false;
    _spinAngle = 0;
}

void MenuWorldExt::addSpin(float angle) {
    _spinQueued = true;
    _spinAngle += angle;
}

void MenuWorldExt::update(float dt) {
    if (!_shown)
        return;
    float a = 0;
    if (_spinQueued) {
        a = _spinAngle;
        const float v = dt > 0 ? _spinAngle / dt : 0.0f;
        _angularVelocity = std::max(-_angularVelocityMax, std::min(_angularVelocityMax, v));
        clearSpin();
    } else {
        // The speed's magnitude relaxes toward the default one, in the direction it already turns.
        const float d = (1.0f - std::pow(_angularVelocityDamp, dt)) *
                        (std::fabs(_angularVelocityDefault) - std::fabs(_angularVelocity));
        _angularVelocity += _angularVelocity > 0 ? d : -d;
        a = _angularVelocity * dt;
    }
    if (a == 0)
        return;
    Stage* stage = Stage::get();
    StageCamera* camera = stage ? stage->getStageCamera() : nullptr;
    if (!camera)
        return;
    const Vector3 rel = camera->_cameraOffset - camera->_cameraTarget;
    const float c = std::cos(a), s = std::sin(a);
    camera->_cameraOffset =
        camera->_cameraTarget + Vector3(rel.x * c + rel.y * s, rel.y * c - rel.x * s, rel.z);
    camera->reset();
}

}  // namespace Zelvan

#include "game/menu/ZelvanMenuWorldExt.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"
#include "game/stage/ZelvanStage.h"
#include "game/stage/ZelvanStageCamera.h"

namespace Zelvan {

namespace {

const float kDegrees = 3.14159265358979f / 180.0f;

float clamp01(float v) {
    // A value that is not a number becomes 0.
    return v > 0.0f ? std::min(v, 1.0f) : 0.0f;
}

}  // namespace

MenuWorldExt::MenuWorldExt(const std::string& name) : MenuExtension(name) { load(); }

void MenuWorldExt::load() {
    const ConfigStore& cfg = ConfigStore::instance();
    _angularVelocityDefault =
        cfg.getFloat(_name + ".angularVelocityDefault", _angularVelocityDefault / kDegrees) * kDegrees;
    _angularVelocityMax = std::fabs(cfg.getFloat(_name + ".angularVelocityMax", _angularVelocityMax / kDegrees) * kDegrees);
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
    float angle;
    if (_spinQueued) {
        angle = _spinAngle;
        const float velocity = dt > 0 ? _spinAngle / dt : 0.0f;
        _angularVelocity = std::max(-_angularVelocityMax, std::min(_angularVelocityMax, velocity));
        clearSpin();
    } else {
        // The speed's magnitude relaxes toward the default's in the direction it already turns.
        const float d = (1.0f - std::pow(_angularVelocityDamp, dt)) *
                        (std::fabs(_angularVelocityDefault) - std::fabs(_angularVelocity));
        _angularVelocity += _angularVelocity > 0 ? d : -d;
        angle = _angularVelocity * dt;
    }
    if (angle != 0)
        turnCamera(angle);
}

void MenuWorldExt::turnCamera(float angle) {
    Stage* stage = Stage::get();
    StageCamera* camera = stage ? stage->getStageCamera() : nullptr;
    if (!camera)
        return;
    if (!(camera->_cameraOffset == _lastOffset))
        _turned = 0;
    // The eye circles the look-at point about the vertical axis.
    const Vector3 target = camera->_cameraTarget;
    const Vector3 r = camera->_cameraOffset - target;
    const float c = std::cos(angle), s = std::sin(angle);
    camera->_cameraOffset = target + Vector3(r.x * c + r.y * s, r.y * c - r.x * s, r.z);
    camera->reset();
    _turned += angle;
    _lastOffset = camera->_cameraOffset;
}

void MenuWorldExt::onHidden() {
    // When the run starts on the camera the menus used (no level camera of its own was applied
    // over it), the run must not keep the menus' turn.
    Stage* stage = Stage::get();
    if (!stage || stage->getState() == Stage::StateStanding || _turned == 0)
        return;
    StageCamera* camera = stage->getStageCamera();
    if (camera && camera->_cameraOffset == _lastOffset)
        turnCamera(-_turned);
    _turned = 0;
}

}  // namespace Zelvan

#include "game/track/ZelvanLevelCamera.h"

#include <algorithm>

#include "engine/ConfigStore.h"

namespace Zelvan {

namespace {

// A vector key holds "x,y,z"; the current value, written the same way, is the default.
Vector3 readVector(const ConfigStore& config, const std::string& key, const Vector3& current) {
    std::string text;
    Vector3ToString(text, current);
    Vector3 v = current;
    Vector3FromString(v, config.getString(key, text.c_str()));
    return v;
}

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

}  // namespace

LevelCamera* LevelCamera::create(const std::string& key) { return new LevelCamera(key); }

LevelCamera::LevelCamera(const std::string& key) : _name(key) {
    loadConfig("camera");
    loadConfig(key);
}

void LevelCamera::loadConfig(const std::string& section) {
    const ConfigStore& config = ConfigStore::instance();
    const std::string s = section + ".";
    _name = config.getString(s + "name", _name.c_str());
    // Rounded half up, then cut toward zero: 1.6 gives 2, -0.7 gives 0.
    _mode = (int32_t)(config.getFloat(s + "cameraMode", (float)_mode) + 0.5f);
    _roll = config.getFloat(s + "cameraRoll", _roll);
    _fov = std::max(0.0f, config.getFloat(s + "cameraFov", _fov));
    _speedFov = std::max(0.0f, config.getFloat(s + "cameraSpeedFov", _speedFov));
    _follow = readVector(config, s + "cameraFollow", _follow);
    _follow = Vector3(clamp01(_follow.x), clamp01(_follow.y), clamp01(_follow.z));
    _target = readVector(config, s + "cameraTarget", _target);
    _targetDamp = std::max(0.0f, config.getFloat(s + "cameraTargetDamp", _targetDamp));
    _offset = readVector(config, s + "cameraOffset", _offset);
    _offsetDamp = std::max(0.0f, config.getFloat(s + "cameraOffsetDamp", _offsetDamp));
}

}  // namespace Zelvan

#pragma once
// A named set of settings for the camera that follows the player's train: where it sits
// relative to the train, what it looks at, how fast it catches up, its field of view and roll.
// Level groups and level sets name the one they want; the stage keeps the loaded cameras and
// its stage camera copies their values. This is the record and its loading only.

#include <cstdint>
#include <string>

#include "engine/math.h"

namespace Zelvan {

class LevelCamera {
public:
    // A camera with the shared "camera" section read first, then the key's own section.
    static LevelCamera* create(const std::string& key);

    explicit LevelCamera(const std::string& key);

    // Reads every setting under section + "." + key, each with its current value as default.
    void loadConfig(const std::string& section);

    std::string _name;
    int32_t _mode = 2;  // flags tested with 1 and 2 by the stage camera
    float _roll = 0;
    float _fov = 90;
    float _speedFov = 0;
    Vector3 _follow{0, 1, 1};  // each 0..1
    Vector3 _target{0, 0, 0};
    float _targetDamp = 5;
    Vector3 _offset{0, -5, 3};
    float _offsetDamp = 3;
};

}  // namespace Zelvan

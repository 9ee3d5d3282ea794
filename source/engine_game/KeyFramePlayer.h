#pragma once
// Animates one node from editor key frames at 24 frames per second: linear interpolation
// between neighbouring keys, angles turned the short way across the loop, written into the
// node's local matrix.

#include <cstdint>
#include <vector>

#include "engine/math.h"

class Object;

struct KeyFrame {
    float value = 0;
    Vector3 position;
    Vector3 angles;  // Euler radians about x, then y, then z
};

class KeyFramePlayer {
public:
    static const float kFramesPerSecond;

    // Binds the player to the node (the node's _animation, which owns it). The key list is not
    // owned and may be empty: the player then leaves the node alone.
    KeyFramePlayer(Object* node, const std::vector<KeyFrame>* keys);
    ~KeyFramePlayer();
    KeyFramePlayer(const KeyFramePlayer&) = delete;
    KeyFramePlayer& operator=(const KeyFramePlayer&) = delete;

    // Moves time by the frame's delta (FrameTime) and applies the pose.
    void advance();
    void setFrame(float time);
    // Writes the pose for the current time into the node.
    void apply();

    float _value = 0;
    uint8_t _playing = 1;
    uint8_t _enabled = 1;
    uint8_t _loop = 1;
    int32_t _firstFrame = 0;
    int32_t _lastFrame = -1;
    const std::vector<KeyFrame>* _keys = nullptr;
    float _time = 0;  // frames since _firstFrame
    float _speed = 1.0f;
    Object* _node = nullptr;

private:
    int32_t keyCount() const { return _keys ? (int32_t)_keys->size() : 0; }
};

#pragma once
// The player's raw input between the platform's events and the game mode: ten fingers, the four
// direction keys and a smoothed tilt angle, with the "control." settings the game mode reads to
// turn them into gestures. It interprets nothing: it records edges, positions, summed movement,
// velocity and hold time once per game frame.

#include <cstdint>

#include "engine/math.h"

namespace Zelvan {

struct InputFinger {
    uint8_t _began = 0;  // a touch-down arrived
    uint8_t _down = 0;   // held
    uint8_t _ended = 0;  // a touch-up arrived; set in the one frame the finger is released
    float _x = 0, _y = 0;
    float _sumDx = 0, _sumDy = 0;  // movement since the touch began
    float _moveX = 0, _moveY = 0;  // last move delta; after updateFingers the velocity per second
    float _holdTime = 0;           // seconds since the touch began
    uint8_t _moved = 0;            // a move arrived since the last update
    // The touch ended before any update saw it down: it is shown down for one frame and
    // released in the next.
    uint8_t _endPending = 0;
};

struct InputKey {
    int32_t _code = 0;
    uint8_t _down = 0;
    uint8_t _up = 1;
    uint8_t _pressed = 0;      // visible in the one frame after the key went down
    uint8_t _pressedSeen = 0;
};

class Control {
public:
    enum { FingerCount = 10, KeyCount = 4 };
    enum TouchType { TouchBegan = 1, TouchEnded = 2, TouchMoved = 3, TouchCancelled = 4 };
    enum KeyCode { KeyFirst = 72, KeyLast = 75 };

    // A control with the defaults, its settings read from the configuration, every finger
    // cleared. The caller owns it.
    static Control* create();

    Control();

    // Reads the "control." settings; a missing key keeps the current value. The waggle angles are
    // degrees in the file and radians here.
    void load();
    // Positions and deltas in screen widths (x) and heights (y). Indexes above 9 act on finger 9;
    // negative ones are dropped. A cancelled touch ends like a lifted one.
    void onTouch(int type, int index, const Vector2& position, const Vector2& delta);
    void setKey(int32_t code, bool down);
    InputKey* findKey(int32_t code);
    // An accelerometer sample: the tilt follows the angle of (x, y) half way each sample, and is 0
    // inside the dead zone. Samples that are not finite are ignored.
    void setTilt(const Vector3& sample);
    // Once per game frame, before the game mode runs.
    void updateFingers(float dt);
    // Lifts every finger at once (the interface took over the screen); the tilt returns to 0.
    void releaseAll();
    // Forgets the pressed and released edges of every finger: the interface changed
    // screen, and the touch that changed it must not act on the next one.
    void beginFrame();

    const InputFinger& finger(int index) const { return _inputFingers[index]; }

    float _holdTime = 0.5f;
    float _tapTime = 0.2f;
    float _slideSpeed = 0.5f;
    float _slideDistance = 0.1f;
    bool _slideDistanceEnable = false;
    bool _dashEnable = false;
    bool _leapEnable = true;
    bool _cryEnable = false;
    bool _brakeEnable = true;
    bool _pingpongEnable = false;
    bool _waggleEnable = false;
    float _waggleTilt = 0.5f;
    float _waggleAngleIn;   // radians
    float _waggleAngleOut;  // radians
    float _rayDistance = 50.0f;
    InputFinger _inputFingers[FingerCount];
    InputKey _keys[KeyCount];
    float _tilt = 0.0f;  // radians
};

}  // namespace Zelvan

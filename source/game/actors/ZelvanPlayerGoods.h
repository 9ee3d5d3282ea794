#pragma once
// The train's state record: energy, speeds, the effect flags the boosts write every frame with
// their percentages, the current word, and the named counters of everything a run gathers or
// counts (coins, tickets, analytics). The train keeps two: the values at load and those of the run.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// One named counter. Whoever adds goods multiplies by the counter's multiplier, so a doubler
// changes every later pickup without the pickup knowing.
struct GoodsCounter {
    std::string _name;  // compared byte for byte
    float _amount = 0.0f;
    float _multiplier = 1.0f;
};

struct PlayerGoods {
    float _energy = 0.0f;  // in the start record: the maximum energy
    float _speed = 0.0f;   // in the start record: the starting speed
    float _speedUp = 0.0f;
    float _dashSpeed = 0.0f;
    float _brakeDrag = 0.0f;  // <= 0
    float _magnetSphere = 0.0f;
    uint8_t _dashActive = 0;
    uint8_t _leapActive = 0;
    uint8_t _cryActive = 0;
    uint8_t _brakeActive = 0;
    float _brakeProgress = 0.0f;  // percent
    float _brakeCharge = 0.0f;    // percent
    uint8_t _damageActive = 0;
    uint8_t _shieldActive = 0;
    float _shieldPercent = 0.0f;
    uint8_t _hitActive = 0;
    float _hitPercent = 0.0f;
    uint8_t _magnetActive = 0;
    float _magnetPercent = 0.0f;
    uint8_t _speedActive = 0;
    float _speedPercent = 0.0f;
    uint8_t _cameraActive = 0;
    float _cameraPercent = 0.0f;
    uint8_t _multiplierActive = 0;
    float _multiplierPercent = 0.0f;
    uint8_t _autopilot = 0;
    float _distance = 0.0f;
    std::string _missingLetters;  // letters of the current word not collected yet
    std::string _word;            // the whole current word
    // In creation order. A deque, so a counter never moves when another is appended: a reference
    // from get stays valid until the record is assigned or destroyed.
    std::deque<GoodsCounter> _counters;

    // The counter of that name, made {name, 0, 1} at the end of the list when missing. Names are
    // case-sensitive; the empty name is a key like any other.
    GoodsCounter& get(std::string_view name);
    static GoodsCounter& get(PlayerGoods& record, std::string_view name) { return record.get(name); }
};

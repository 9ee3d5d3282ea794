#pragma once
// The multiply-with-carry generator behind every random choice of the game.

#include <cstdint>

class MotherRandom {
public:
    MotherRandom() { seed(111); }
    explicit MotherRandom(uint32_t s) { seed(s); }

    void seed(uint32_t s);
    void seedFromClock();
    double nextDouble();                   // [0, 1)
    int32_t nextInt(int32_t min, int32_t max);  // [min, max]
    uint32_t next();                       // one raw step

    uint32_t x0 = 0, x1 = 0, x2 = 0, x3 = 0, carry = 0;
};

// The shared generator, seeded with 111 on first use.
MotherRandom& motherRandom();

// Uniform choice of one of n entries as the game draws it: trunc((n - 0.5) * u), in single precision.
int32_t randomIndex(int32_t n);

#include "engine/random.h"

#include "engine/clock.h"

uint32_t MotherRandom::next() {
    uint64_t s = 2111111111ULL * x3 + 1492ULL * x2 + 1776ULL * x1 + 5115ULL * x0 + carry;
    x3 = x2;
    x2 = x1;
    x1 = x0;
    x0 = (uint32_t)s;
    carry = (uint32_t)(s >> 32);
    return x0;
}

void MotherRandom::seed(uint32_t s) {
    uint32_t* words[5] = {&x0, &x1, &x2, &x3, &carry};
    for (uint32_t* w : words) {
        s = s * 29943829u - 1u;
        *w = s;
    }
    for (int i = 0; i < 19; ++i)
        next();
}

void MotherRandom::seedFromClock() { seed((uint32_t)(uint64_t)(int64_t)(Clock::now() * 1000.0)); }

double MotherRandom::nextDouble() { return (double)next() * (1.0 / 4294967296.0); }

int32_t MotherRandom::nextInt(int32_t min, int32_t max) {
    if (min > max)
        return (int32_t)0x80000000u;
    if (min == max)
        return min;
    // The range is kept in 64 bits: the full int range has 2^32 values, which a 32-bit count
    // would turn into 0 and every draw into min.
    uint64_t range = (uint64_t)((int64_t)max - (int64_t)min + 1);
    uint64_t product = (uint64_t)next() * range;
    return (int32_t)((int64_t)min + (int64_t)(product >> 32));
}

MotherRandom& motherRandom() {
    static MotherRandom r(111);
    return r;
}

int32_t randomIndex(int32_t n) {
    float u = (float)motherRandom().nextDouble();
    return (int32_t)(((float)n - 0.5f) * u);
}

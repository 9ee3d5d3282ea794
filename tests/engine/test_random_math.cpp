// The multiply-with-carry generator, the shared pick rule and the small math helpers.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "engine/math.h"
#include "engine/random.h"

namespace {

// A second transcription of the generator, written apart from the engine's: the state is an
// array whose first entry is the newest word, and the carry lives in the top half of the sum.
struct ReferenceGenerator {
    uint32_t w[4];  // w[0] newest
    uint32_t c;

    explicit ReferenceGenerator(uint32_t s) {
        uint32_t* slots[5] = {&w[0], &w[1], &w[2], &w[3], &c};
        for (int i = 0; i < 5; ++i) {
            s = (uint32_t)((uint64_t)s * 29943829u) - 1u;
            *slots[i] = s;
        }
        for (int i = 0; i < 19; ++i)
            step();
    }

    uint32_t step() {
        const uint64_t factors[4] = {5115, 1776, 1492, 2111111111};  // for w[0] .. w[3]
        uint64_t sum = c;
        for (int i = 0; i < 4; ++i)
            sum += factors[i] * w[i];
        for (int i = 3; i > 0; --i)
            w[i] = w[i - 1];
        w[0] = (uint32_t)(sum & 0xffffffffu);
        c = (uint32_t)(sum >> 32);
        return w[0];
    }
};

TEST(MotherRandomTest, SequenceAfterSeed111MatchesTheTranscription) {
    // The first outputs, computed separately from the step rule.
    const uint32_t first[] = {0xc6aeaa10u, 0xe18512fbu, 0x6248ddc9u, 0x5d5fa344u,
                              0x44b55477u, 0xf0165245u, 0x233890b2u, 0x3876302eu};
    MotherRandom a, b;
    a.seed(111);
    b.seed(111);
    for (uint32_t expected : first) {
        ASSERT_EQ(a.next(), expected);
        b.next();
    }
    ReferenceGenerator ref(111);
    for (size_t i = 0; i < sizeof(first) / sizeof(first[0]); ++i)
        ref.step();
    for (int i = 0; i < 10000; ++i) {
        uint32_t r = ref.step();
        ASSERT_EQ(a.next(), r) << "step " << i;
        ASSERT_EQ(b.next(), r) << "step " << i;
    }
    // Other seeds as well, through the double output.
    for (uint32_t s : {0u, 1u, 0xffffffffu, 123456789u}) {
        MotherRandom g;
        g.seed(s);
        ReferenceGenerator r(s);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(g.nextDouble(), r.step() / 4294967296.0) << "seed " << s;
    }
}

TEST(MotherRandomTest, DefaultAndSharedGeneratorsStartFromSeed111) {
    MotherRandom d;
    ReferenceGenerator ref(111);
    EXPECT_EQ(d.next(), ref.step());
}

TEST(MotherRandomTest, NextDoubleStaysBelowOne) {
    MotherRandom g;
    // The largest output there is.
    g.x0 = g.x1 = g.x2 = g.x3 = 0;
    g.carry = 0xffffffffu;
    EXPECT_EQ(g.next(), 0xffffffffu);
    g.x0 = g.x1 = g.x2 = g.x3 = 0;
    g.carry = 0xffffffffu;
    double top = g.nextDouble();
    EXPECT_LT(top, 1.0);
    EXPECT_GT(top, 0.9999999);
    g.seed(7);
    for (int i = 0; i < 100000; ++i) {
        double u = g.nextDouble();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

TEST(MotherRandomTest, NextIntRanges) {
    struct Case {
        int32_t min, max;
        bool steps;
        int32_t fixed;  // the result when the generator does not step
    };
    const Case noStep[] = {{5, 5, false, 5}, {6, 5, false, INT_MIN}, {INT_MAX, INT_MIN, false, INT_MIN}};
    for (const Case& c : noStep) {
        SCOPED_TRACE(::testing::Message() << c.min << ".." << c.max);
        MotherRandom g, twin;
        EXPECT_EQ(g.nextInt(c.min, c.max), c.fixed);
        EXPECT_EQ(g.next(), twin.next());  // no step was taken
    }

    // Stepping ranges map the output as min + output * count / 2^32.
    struct Range {
        int32_t min, max;
    };
    const Range ranges[] = {{0, 1}, {-3, 3}, {0, 9}, {INT_MIN, INT_MAX}, {INT_MIN, 0}, {-1, INT_MAX}};
    for (const Range& r : ranges) {
        SCOPED_TRACE(::testing::Message() << r.min << ".." << r.max);
        MotherRandom g, twin;
        uint64_t count = (uint64_t)((int64_t)r.max - r.min + 1);
        for (int i = 0; i < 1000; ++i) {
            int32_t v = g.nextInt(r.min, r.max);
            int64_t expected = (int64_t)r.min + (int64_t)(((uint64_t)twin.next() * count) >> 32);
            ASSERT_EQ(v, expected);
            ASSERT_GE(v, r.min);
            ASSERT_LE(v, r.max);
        }
    }

    // The full range uses every output as it is instead of collapsing to the minimum.
    MotherRandom g, twin;
    bool sawPositive = false, sawNegative = false;
    for (int i = 0; i < 64; ++i) {
        int32_t v = g.nextInt(INT_MIN, INT_MAX);
        EXPECT_EQ((uint32_t)v, twin.next() ^ 0x80000000u);
        sawPositive |= v > 0;
        sawNegative |= v < 0 && v != INT_MIN;
    }
    EXPECT_TRUE(sawPositive);
    EXPECT_TRUE(sawNegative);

    // (0, 1) is a fair coin.
    int ones = 0;
    for (int i = 0; i < 20000; ++i)
        ones += g.nextInt(0, 1);
    EXPECT_NEAR(ones, 10000, 400);
}

TEST(MotherRandomTest, SharedPickGivesTheLastEntryHalfWeight) {
    motherRandom().seed(111);
    const int n = 4, draws = 70000;
    int counts[n] = {};
    for (int i = 0; i < draws; ++i) {
        int32_t k = randomIndex(n);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, n);
        ++counts[k];
    }
    // Weights 1, 1, 1, 1/2 over 3.5.
    for (int k = 0; k < n; ++k) {
        double expected = draws * (k == n - 1 ? 0.5 : 1.0) / 3.5;
        EXPECT_NEAR(counts[k], expected, expected * 0.05) << "entry " << k;
    }
    EXPECT_EQ(randomIndex(1), 0);
}

TEST(MathTest, NearestAngle) {
    struct Case {
        float a, b, expected;
    };
    const Case cases[] = {
        {-0.1f, 0.1f, 0.1f},   {0.0f, 6.0f, 6.0f - 6.2831855f}, {7.0f, 0.5f, 6.7831855f},
        {0.0f, 0.0f, 0.0f},    {0.0f, 3.0f, 3.0f},              {0.0f, 3.3f, 3.3f - 6.2831855f},
        {-7.0f, 0.5f, -5.7831855f}, {20.0f, 20.0f, 20.0f},      {3.0f, -3.0f, 3.2831855f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "a=" << c.a << " b=" << c.b);
        float r = nearestAngle(c.a, c.b);
        EXPECT_NEAR(r, c.expected, 1e-4);
        EXPECT_LE(std::fabs(r - c.a), 3.1415927f + 1e-4);
    }
}

TEST(MathTest, VectorTextRoundTrips) {
    std::string s;
    Vector3ToString(s, Vector3(1, 2.5f, -3));
    EXPECT_EQ(s, "1.000000,2.500000,-3.000000");
    Vector2ToString(s, Vector2(0.25f, -1));
    EXPECT_EQ(s, "0.250000,-1.000000");
    Vector4ToString(s, Vector4(1, 2, 3, 4));
    EXPECT_EQ(s, "1.000000,2.000000,3.000000,4.000000");

    Vector2 v2;
    Vector2FromString(v2, "0.250000,-1.000000");
    EXPECT_EQ(v2, Vector2(0.25f, -1));
    Vector3 v3;
    Vector3FromString(v3, "1.000000,2.500000,-3.000000");
    EXPECT_EQ(v3, Vector3(1, 2.5f, -3));
    Vector4 v4;
    Vector4FromString(v4, "1,2,3,4");
    EXPECT_EQ(v4, Vector4(1, 2, 3, 4));

    EXPECT_FLOAT_EQ(Vector2(3, 4).length(), 5.0f);
    EXPECT_FLOAT_EQ(Vector2(3, 4).lengthSquared(), 25.0f);
}

TEST(MathTest, SphereIntersectsBox) {
    const Vector3 lo(0, 0, 0), hi(2, 2, 2);
    struct Case {
        const char* name;
        Vector3 centre;
        float radius;
        int expected;
    };
    const Case cases[] = {
        {"centre inside, tiny radius", {1, 1, 1}, 0.001f, 1},
        {"centre on a face", {2, 1, 1}, 0.001f, 1},
        {"touching a face", {3, 1, 1}, 1.0f, 0},
        {"overlapping a face", {3, 1, 1}, 1.001f, 1},
        {"near a corner, outside", {3, 3, 3}, 1.7f, 0},
        {"reaching a corner", {3, 3, 3}, 1.75f, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sphereIntersectsBox(lo, hi, c.centre, c.radius), c.expected);
    }
}

}  // namespace

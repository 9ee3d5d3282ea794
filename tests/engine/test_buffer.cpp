// The growable byte buffer: its growth steps and what it does when memory runs out.
// This test is linked with realloc wrapped (see tests/CMakeLists.txt) so that a
// failing allocation can be produced on demand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/utils.h"

namespace {
int g_failReallocs = 0;  // the next n reallocs fail
}

extern "C" void* __real_realloc(void* p, size_t n);
extern "C" void* __wrap_realloc(void* p, size_t n) {
    if (g_failReallocs > 0) {
        --g_failReallocs;
        return nullptr;
    }
    return __real_realloc(p, n);
}

namespace {

TEST(BufferTest, ConstructionCapacity) {
    struct Case {
        int32_t requested;
        int32_t capacity;
    };
    for (const Case& c : {Case{0, 0}, Case{1, 128}, Case{10, 128}, Case{128, 128}, Case{200, 200}}) {
        SCOPED_TRACE(c.requested);
        Buffer b(c.requested);
        EXPECT_EQ(b.capacity, c.capacity);
        EXPECT_EQ(b.size, 0);
        EXPECT_EQ(b.data == nullptr, c.capacity == 0);
    }
}

TEST(BufferTest, AppendGrowsByHalfPlusOneAndKeepsBytes) {
    Buffer b(0);
    std::vector<int32_t> capacities;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(b.Append((uint8_t)i));
        if (capacities.empty() || capacities.back() != b.capacity)
            capacities.push_back(b.capacity);
        if (i == 4) {
            EXPECT_EQ(b.capacity, 7);
            EXPECT_EQ(b.size, 5);
        }
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{1, 2, 4, 7, 11, 17, 26}));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(b.data[i], i);
}

TEST(BufferTest, ResizeAndReserveGrowBySizeDifference) {
    struct Case {
        const char* name;
        int32_t initial;
        int32_t firstSize;  // Resize before the step under test (-1: none)
        bool reserve;
        int32_t n;
        int32_t capacity;
        int32_t size;
    };
    const Case cases[] = {
        {"resize from nothing", 0, -1, false, 10, 10, 10},
        {"resize past the block", 128, -1, false, 200, 128 * 3 / 2 + 200, 200},
        {"resize with bytes in use", 128, 100, false, 300, 192 + 200, 300},
        {"resize smaller keeps the block", 128, 100, false, 5, 128, 5},
        {"reserve keeps the size", 128, 100, true, 300, 392, 100},
        {"reserve within the block", 128, 100, true, 50, 128, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer b(c.initial);
        if (c.firstSize >= 0) {
            ASSERT_TRUE(b.Resize(c.firstSize));
        }
        EXPECT_TRUE(c.reserve ? b.Reserve(c.n) : b.Resize(c.n));
        EXPECT_EQ(b.capacity, c.capacity);
        EXPECT_EQ(b.size, c.size);
    }
}

TEST(BufferTest, FailedGrowthEmptiesTheBufferAndWritesNothing) {
    testsupport::LogCapture log;

    struct Case {
        const char* name;
        bool append;  // else Resize(1000)
    };
    for (const Case& c : {Case{"append", true}, Case{"resize", false}}) {
        SCOPED_TRACE(c.name);
        log.clear();
        Buffer b(0);
        for (int i = 0; i < 7; ++i)
            ASSERT_TRUE(b.Append('a'));
        ASSERT_EQ(b.capacity, 7);
        g_failReallocs = 1;
        bool ok = c.append ? b.Append('b') : b.Resize(1000);
        EXPECT_FALSE(ok);
        EXPECT_EQ(b.data, nullptr);
        EXPECT_EQ(b.size, 0);
        EXPECT_EQ(b.capacity, 0);
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.lines[0], std::string("ERROR: [Buffer::SetCapacity] realloc() failed. (capacity = ") +
                                  (c.append ? "11" : "1003") + ")\n");
        // The buffer is usable again once memory is there.
        EXPECT_TRUE(b.Append('c'));
        EXPECT_EQ(b.size, 1);
        EXPECT_EQ(b.data[0], 'c');
    }
    g_failReallocs = 0;
}

}  // namespace

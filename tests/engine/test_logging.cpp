// The log and its sinks, assertions, bounded formatting and the text and colour helpers.

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/utils.h"

namespace {

struct Received {
    uint8_t firstWrite;
    std::string line;
    void* key;
};

std::vector<Received> g_received;

void recordSink(uint8_t firstWrite, const char* line, void* key) { g_received.push_back({firstWrite, line, key}); }
void otherSink(uint8_t, const char*, void*) {}

// Appends each raw line to the file named by key; survives the abort of a death test.
void rawFileSink(uint8_t, const char* line, void* key) {
    FILE* f = std::fopen(static_cast<const char*>(key), "ab");
    if (!f)
        return;
    std::fputs(line, f);
    std::fclose(f);
}

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logger::resetForTests();
        g_received.clear();
    }
    void TearDown() override { Logger::resetForTests(); }
};

int keyA, keyB;

// A capture inside a test lives next to a process-wide sink registered before it (a test file's
// captureLog): nested captures see their own lines, and each end removes only its own sink.
TEST_F(LoggerTest, CapturesEndWithoutDroppingTheSinksBeforeThem) {
    Logger::addSink(&recordSink, &keyA);
    {
        testsupport::LogCapture outer;
        {
            testsupport::LogCapture inner;
            Logger::message("both");
            EXPECT_TRUE(inner.contains("both"));
        }
        Logger::message("outer only");
        EXPECT_TRUE(outer.contains("both"));
        EXPECT_TRUE(outer.contains("outer only"));
        EXPECT_EQ(Logger::sinkCount(), 2);
    }
    Logger::message("after");
    ASSERT_EQ(Logger::sinkCount(), 1);
    EXPECT_EQ(Logger::sink(0).key, &keyA);
    ASSERT_EQ(g_received.size(), 3u);
    EXPECT_EQ(g_received.back().line, "after\n");
}

TEST_F(LoggerTest, AddSinkIgnoresNullDuplicatesAndTheSeventeenth) {
    struct Case {
        const char* name;
        std::vector<std::pair<LogSinkCallback, void*>> adds;
        int expectedCount;
    };
    std::vector<std::pair<LogSinkCallback, void*>> seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen.push_back({&recordSink, reinterpret_cast<void*>(static_cast<intptr_t>(i + 1))});
    const Case cases[] = {
        {"null callback", {{nullptr, &keyA}}, 0},
        {"same callback and key twice", {{&recordSink, &keyA}, {&recordSink, &keyA}}, 1},
        {"same callback, other key", {{&recordSink, &keyA}, {&recordSink, &keyB}}, 2},
        {"other callback, same key", {{&recordSink, &keyA}, {&otherSink, &keyA}}, 2},
        {"null keys are keys too", {{&recordSink, nullptr}, {&recordSink, nullptr}}, 1},
        {"seventeen sinks", seventeen, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Logger::resetForTests();
        for (auto& a : c.adds)
            Logger::addSink(a.first, a.second);
        EXPECT_EQ(Logger::sinkCount(), c.expectedCount);
    }

    // The seventeenth sink never receives a line.
    Logger::resetForTests();
    for (auto& a : seventeen)
        Logger::addSink(a.first, a.second);
    g_received.clear();
    Logger::message("x");
    ASSERT_EQ(g_received.size(), 16u);
    for (const Received& r : g_received)
        EXPECT_NE(r.key, reinterpret_cast<void*>(17));
}

TEST_F(LoggerTest, FirstWriteFlagIsSetOncePerSink) {
    Logger::addSink(&recordSink, &keyA);
    Logger::message("one");
    Logger::addSink(&recordSink, &keyB);
    Logger::message("two %d", 2);
    Logger::error("three");

    struct Expect {
        uint8_t firstWrite;
        const char* line;
        void* key;
    };
    const Expect expected[] = {
        {1, "one\n", &keyA},  {0, "two 2\n", &keyA},          {1, "two 2\n", &keyB},
        {0, "ERROR: three\n", &keyA}, {0, "ERROR: three\n", &keyB},
    };
    ASSERT_EQ(g_received.size(), sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < g_received.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g_received[i].firstWrite, expected[i].firstWrite);
        EXPECT_EQ(g_received[i].line, expected[i].line);
        EXPECT_EQ(g_received[i].key, expected[i].key);
    }
}

TEST_F(LoggerTest, FileSinkWritesBannerOnceThenStampedLines) {
    testsupport::TempDir dir;
    std::string first = dir.file("first.log"), second = dir.file("second.log");
    Logger::addSink(&Logger::fileSink, const_cast<char*>(first.c_str()));
    Logger::message("hello %s", "world");
    Logger::error("bad %d", 7);
    Logger::addSink(&Logger::fileSink, const_cast<char*>(second.c_str()));
    Logger::message("later");

    const std::string dashes(53, '-');
    const std::string banner = "\n\n" + dashes + "\n      Naplozas kezdete: \\d{4}\\.\\d{1,2}\\.\\d{1,2}\\.  " +
                               "\\d\\d:\\d\\d:\\d\\d\n" + dashes + "\n\n";
    const std::string stamp = "\\[\\d\\d:\\d\\d:\\d\\d\\] ";
    struct Case {
        std::string path;
        std::string pattern;
    };
    const Case cases[] = {
        {first, banner + stamp + "hello world\n" + stamp + "ERROR: bad 7\n" + stamp + "later\n"},
        {second, banner + stamp + "later\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string text = testsupport::readFile(c.path);
        EXPECT_TRUE(std::regex_match(text, std::regex(c.pattern))) << text;
    }
}

TEST_F(LoggerTest, FileSinkThatCannotOpenLosesOnlyItsLine) {
    testsupport::TempDir dir;
    std::string missing = dir.file("no/such/folder/x.log");
    Logger::addSink(&Logger::fileSink, const_cast<char*>(missing.c_str()));
    Logger::addSink(&recordSink, &keyA);
    Logger::message("still delivered");
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].line, "still delivered\n");
}

TEST_F(LoggerTest, LinesAreCutAtTheirLimits) {
    Logger::addSink(&recordSink, &keyA);
    struct Case {
        bool error;
        size_t length;
        size_t expectedText;  // characters of formatted text kept
    };
    const Case cases[] = {
        {false, 10, 10}, {false, 4093, 4093}, {false, 4094, 4093}, {false, 10000, 4093},
        {true, 10, 10},  {true, 4086, 4086},  {true, 4087, 4086},  {true, 10000, 4086},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.error ? "error " : "message ") << c.length);
        g_received.clear();
        std::string text(c.length, 'x');
        if (c.error)
            Logger::error("%s", text.c_str());
        else
            Logger::message("%s", text.c_str());
        ASSERT_EQ(g_received.size(), 1u);
        std::string expected = (c.error ? "ERROR: " : "") + std::string(c.expectedText, 'x') + "\n";
        EXPECT_EQ(g_received[0].line, expected);
    }
}

TEST(XAssertTest, HoldingConditionReturnsZero) { EXPECT_EQ(XAssert(1, "x", "source/engine/utils", 1), 0); }

TEST(XAssertDeathTest, FailedAssertionLogsOneErrorLineAndAborts) {
    // Forked child: the file written before the abort can be read back here.
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::TempDir dir;
    std::string path = dir.file("assert.log");
    auto failing = [&]() {
        Logger::resetForTests();
        Logger::addSink(&rawFileSink, const_cast<char*>(path.c_str()));
        XAssert(0, "isOpened()", "source/engine/file", 143);
    };
    EXPECT_DEATH(failing(), "");
    EXPECT_EQ(testsupport::readFile(path),
              "ERROR: XASSERT: ASSERTATION FAILED -> File: source/engine/file@143: isOpened()\n\n");

    // Any condition other than exactly 1 fails, as callers pass the tested condition as an int.
    EXPECT_DEATH(XAssert(2, "a == b", "source/engine/utils", 5), "");
}

TEST(FormatTest, FormatStringIsCompleteAroundTheFirstBlock) {
    for (size_t n : {0u, 1u, 511u, 512u, 513u, 5000u}) {
        SCOPED_TRACE(n);
        std::string text(n, 'q');
        std::string out = "old content";
        formatString(out, "%s", text.c_str());
        EXPECT_EQ(out, text);
        EXPECT_EQ(formatString("<%s>", text.c_str()), "<" + text + ">");
    }
}

TEST(FormatTest, FormatTempStaysWithinItsBuffer) {
    struct Case {
        size_t length;
        size_t kept;
    };
    for (const Case& c : {Case{5, 5}, Case{2047, 2047}, Case{2048, 2047}, Case{9000, 2047}}) {
        SCOPED_TRACE(c.length);
        std::string text(c.length, 'z');
        EXPECT_EQ(std::string(formatTemp("%s", text.c_str())), std::string(c.kept, 'z'));
    }
    const char* a = formatTemp("%d", 1);
    const char* b = formatTemp("%d", 2);
    EXPECT_EQ(a, b);  // one shared buffer
    EXPECT_STREQ(a, "2");
}

TEST(TextTest, StartsWithAndEndsWith) {
    struct Case {
        const char* text;
        const char* affix;
        int starts;
        int ends;
    };
    const Case cases[] = {
        {"abc", "", 0, 0},   {"", "a", 0, 0},     {"abc", "ab", 1, 0}, {"abc", "bc", 0, 1},
        {"bc", "abc", 0, 0}, {"abc", "abc", 1, 1}, {"abc", nullptr, 0, 0}, {"aXa", "a", 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.text << " / " << (c.affix ? c.affix : "null"));
        EXPECT_EQ(startsWith(c.text, c.affix), c.starts);
        EXPECT_EQ(startsWith(std::string(c.text), c.affix), c.starts);
        EXPECT_EQ(endsWith(c.text, c.affix), c.ends);
        EXPECT_EQ(endsWith(std::string(c.text), c.affix), c.ends);
    }
    EXPECT_EQ(startsWith(static_cast<const char*>(nullptr), "a"), 0);
}

TEST(ColourTest, ColorWithAlphaScalesChannelsAndIgnoresOldAlpha) {
    auto pack = [](uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return r | g << 8 | b << 16 | a << 24; };
    struct Case {
        float alpha;
        uint32_t in;
        uint32_t out;
    };
    const Case cases[] = {
        {0.5f, pack(200, 100, 50, 255), pack(100, 50, 25, 127)},
        {1.0f, pack(1, 2, 3, 0), pack(1, 2, 3, 255)},
        {0.0f, pack(255, 255, 255, 255), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alpha);
        EXPECT_EQ(colorWithAlpha(c.alpha, c.in), c.out);
    }
}

TEST(ColourDeathTest, AlphaOutsideZeroToOneStops) {
    GTEST_FLAG_SET(death_test_style, "fast");
    Logger::resetForTests();
    testsupport::logToStderr();
    EXPECT_DEATH(colorWithAlpha(1.5f, 0), "source/engine/utils@599: a >= 0 && a <= 1");
    Logger::resetForTests();
}

}  // namespace

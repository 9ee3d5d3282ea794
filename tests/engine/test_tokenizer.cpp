// The tokenizer and its character streams.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/tokenizer.h"
#include "engine/utils.h"

using testsupport::ScopedStores;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// Every token of the text, read with Next(0) until the end.
std::vector<std::string> tokens(const std::string& text, uint32_t flags) {
    CTokenizer tok;
    tok.OpenMemory(text.data(), (uint32_t)text.size(), flags);
    std::vector<std::string> out;
    while (const char* t = tok.Next(0))
        out.push_back(t);
    return out;
}

using testsupport::LogCapture;

typedef std::vector<std::string> Tokens;

}  // namespace

struct SplitCase {
    const char* name;
    std::string text;
    uint32_t flags;
    Tokens expected;
};

class TokenizerSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(TokenizerSplit, Tokens) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(c.expected, tokens(c.text, c.flags));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenizerSplit,
    ::testing::Values(
        SplitCase{"ConfigLine", "title = \"two words\" // note\nnext", 1 | 2 | 8,
                  {"title", "=", "\"two words\"", "next"}},
        SplitCase{"QuotesDropped", "a \"two words\" \"\" b", 2, {"a", "two words", "", "b"}},
        SplitCase{"QuotesOrdinaryWithoutBit2", "\"two words\"", 0, {"\"two", "words\""}},
        SplitCase{"QuoteInsideAWordOpensAGroup", "ab\"c d\"e", 2 | 8, {"ab\"c d\"", "e"}},
        SplitCase{"EscapesDecoded", "a\\nb c\\\\d \\\"q\\\" x\\ty", 0, {"a\nb", "c\\d", "\"q\"", "x\\ty"}},
        SplitCase{"EscapesKept", "a\\nb c\\\\d", 4, {"a\\nb", "c\\\\d"}},
        SplitCase{"EscapedQuoteInsideGroup", "\"say \\\"hi\\\"\" z", 2, {"say \"hi\"", "z"}},
        SplitCase{"EscapedQuoteKeptGroupsSpaces", "\\\"a b\\\" c", 2 | 4, {"\\\"a b\\\"", "c"}},
        SplitCase{"CommentEndsToken", "abc// comment\ndef", 1, {"abc", "def"}},
        SplitCase{"CommentAtEnd", "abc // trailing", 1, {"abc"}},
        SplitCase{"CommentLinesOnly", "// one\n   // two\n\n", 1, {}},
        SplitCase{"SlashesWithoutBit1", "a//b", 0, {"a//b"}},
        SplitCase{"SingleSlashIsText", "a/b / c", 1, {"a/b", "/", "c"}},
        SplitCase{"CommentInsideQuotes", "v = \"x // y\nw", 1 | 2 | 8, {"v", "=", "\"x ", "w"}},
        SplitCase{"CommentRightAfterOpeningQuote", "\"// y\nw", 1 | 2, {"", "w"}},
        SplitCase{"BackslashAtEndDropped", "ab\\", 0, {"ab"}},
        SplitCase{"TabsAndNewlines", "\ta\r\n\tb  ", 0, {"a", "b"}},
        SplitCase{"Empty", "", 1 | 2, {}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(Tokenizer, MemoryBlockEndingInZeroStopsBeforeIt) {
    const char text[] = "one two";  // sizeof includes the terminator
    CTokenizer tok;
    tok.OpenMemory(text, sizeof(text), 0);
    EXPECT_STREQ("one", tok.NextToken());
    EXPECT_STREQ("two", tok.NextToken());
    EXPECT_EQ(nullptr, tok.Next(0));

    tok.OpenMemory("", 0, 0);
    EXPECT_EQ(nullptr, tok.Next(0));
    tok.OpenMemory(nullptr, 0, 0);
    EXPECT_EQ(nullptr, tok.Next(0));

    Buffer buffer;
    for (char ch : std::string("x y"))
        buffer.Append((uint8_t)ch);
    buffer.Append(0);
    tok.OpenBuffer(buffer, 0);
    EXPECT_STREQ("x", tok.NextToken());
    EXPECT_STREQ("y", tok.NextToken());
    EXPECT_EQ(nullptr, tok.Next(0));
}

TEST(Tokenizer, RequiredReadsThrowAndLog) {
    struct Case {
        const char* text;
        uint32_t flags;
        const char* message;
    } cases[] = {
        {"", 0, "<CTokenizer::Next> c == EOF\n"},
        {"   \n", 0, "<CTokenizer::Next> c == EOF\n"},
        {"// nothing", 1, "<CTokenizer::Next> token.length() == 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        LogCapture log;
        CTokenizer tok;
        tok.OpenMemory(c.text, (uint32_t)std::strlen(c.text), c.flags);
        try {
            tok.NextToken();
            FAIL() << "no exception";
        } catch (const CTokenizerException& e) {
            EXPECT_STREQ(c.message, e.what());
        }
        ASSERT_EQ(1u, log.lines.size());
        EXPECT_EQ(std::string("ERROR: ") + c.message + "\n", log.lines[0]);
    }
    CTokenizer closed;
    EXPECT_EQ(nullptr, closed.Next(0));
    EXPECT_THROW(closed.NextToken(), CTokenizerException);
}

TEST(Tokenizer, UnterminatedQuoteThrows) {
    for (uint32_t flags : {2u, 2u | 8u, 1u | 2u | 8u}) {
        SCOPED_TRACE(flags);
        const std::string text = "key = \"never closed\nother = 1\nmore = 2";
        CTokenizer tok;
        tok.OpenMemory(text.data(), (uint32_t)text.size(), flags);
        EXPECT_STREQ("key", tok.NextToken());
        tok.Skip("=");
        EXPECT_THROW(tok.Next(0), CTokenizerException);
    }
}

TEST(Tokenizer, SkipChecksTheToken) {
    CTokenizer tok;
    tok.OpenMemory("= :", 3, 0);
    tok.Skip("=");
    try {
        tok.Skip("=");
        FAIL();
    } catch (const CTokenizerException& e) {
        EXPECT_STREQ("<CTokenizer::Skip> Wrong token (received: \":\", expected: \"=\").\n", e.what());
    }
}

TEST(Tokenizer, IntegerReads) {
    struct Case {
        const char* token;
        bool ok;
        int32_t value;
    } ints[] = {
        {"0x1F", true, 31},        {"017", true, 15},          {"-42", true, -42},
        {"2147483647", true, INT32_MAX}, {"-2147483648", true, INT32_MIN}, {"12abc", true, 12},
        {"word", true, 0},         {"2147483648", false, 0},   {"-2147483649", false, 0},
        {"0x100000000", false, 0}, {"99999999999999999999999", false, 0},
    };
    for (const Case& c : ints) {
        SCOPED_TRACE(c.token);
        CTokenizer tok;
        tok.OpenMemory(c.token, (uint32_t)std::strlen(c.token), 0);
        if (c.ok) {
            EXPECT_EQ(c.value, tok.NextInt());
        } else {
            try {
                tok.NextInt();
                FAIL();
            } catch (const CTokenizerException& e) {
                EXPECT_EQ(std::string("<CTokenizer::NextInt> errno == ERANGE (token = ") + c.token + ")\n", e.what());
            }
        }
    }
    struct UCase {
        const char* token;
        bool ok;
        uint32_t value;
    } uints[] = {
        {"4294967295", true, UINT32_MAX}, {"0xFFFFFFFF", true, 0xFFFFFFFFu}, {"7", true, 7},
        {"-1", true, UINT32_MAX},         {"4294967296", false, 0},          {"0x1FFFFFFFF", false, 0},
        {"-4294967296", false, 0},
    };
    for (const UCase& c : uints) {
        SCOPED_TRACE(c.token);
        CTokenizer tok;
        tok.OpenMemory(c.token, (uint32_t)std::strlen(c.token), 0);
        if (c.ok)
            EXPECT_EQ(c.value, tok.NextUInt());
        else
            EXPECT_THROW(tok.NextUInt(), CTokenizerException);
    }
}

TEST(Tokenizer, FloatAndBoolReads) {
    CTokenizer tok;
    const std::string text = "1.5 -2e3 1e39 1 true 0 false yes";
    tok.OpenMemory(text.data(), (uint32_t)text.size(), 0);
    EXPECT_FLOAT_EQ(1.5f, tok.NextFloat());
    EXPECT_FLOAT_EQ(-2000.0f, tok.NextFloat());
    EXPECT_THROW(tok.NextFloat(), CTokenizerException);  // beyond a float
    EXPECT_TRUE(tok.NextBool());
    EXPECT_TRUE(tok.NextBool());
    EXPECT_FALSE(tok.NextBool());
    EXPECT_FALSE(tok.NextBool());
    try {
        tok.NextBool();
        FAIL();
    } catch (const CTokenizerException& e) {
        EXPECT_STREQ("<CTokenizer::NextBool> unacceptable token (yes)\n", e.what());
    }
}

TEST(Tokenizer, ReadsAfterEquals) {
    const std::string text = "a = 3 b = 2.5 c = true d = 0x10 e = word f = text g : 1";
    CTokenizer tok;
    tok.OpenMemory(text.data(), (uint32_t)text.size(), 0);
    tok.Skip("a");
    EXPECT_EQ(3, tok.ReadInt());
    tok.Skip("b");
    EXPECT_FLOAT_EQ(2.5f, tok.ReadFloat());
    tok.Skip("c");
    EXPECT_TRUE(tok.ReadBool());
    tok.Skip("d");
    EXPECT_EQ(16u, tok.ReadUInt());
    tok.Skip("e");
    EXPECT_STREQ("word", tok.ReadToken());
    tok.Skip("f");
    char buf[8];
    EXPECT_STREQ("text", tok.ReadString(buf, sizeof(buf)));
    tok.Skip("g");
    EXPECT_THROW(tok.ReadInt(), CTokenizerException);
}

TEST(Tokenizer, NextStringCapacity) {
    const std::string text = "abcdefgh abcdefghi ab skipped";
    CTokenizer tok;
    tok.OpenMemory(text.data(), (uint32_t)text.size(), 0);
    char buf[10];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(buf, tok.NextString(buf, 8));
    EXPECT_EQ(std::string("abcdefgh##"), std::string(buf, 10));  // filled exactly, nothing past capacity
    EXPECT_THROW(tok.NextString(buf, 8), CTokenizerException);
    std::memset(buf, '#', sizeof(buf));
    tok.NextString(buf, 8);
    EXPECT_EQ(std::string("ab\0\0\0\0\0\0##", 10), std::string(buf, 10));
    EXPECT_EQ(nullptr, tok.NextString(nullptr, 8));
    EXPECT_EQ(nullptr, tok.Next(0));
}

TEST(Tokenizer, ReadColorClamps) {
    struct Case {
        const char* text;
        uint32_t expected;
        size_t warnings;
    } cases[] = {
        {"300 -5 10 20", 0xFF140A00u, 2},
        {"255 1 2 3", 0xFF030201u, 0},
        {"0 256 -1 128", 0x008000FFu, 2},
        {"0x80 0x10 0x20 0x30", 0x80302010u, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        LogCapture log;
        CTokenizer tok;
        tok.OpenMemory(c.text, (uint32_t)std::strlen(c.text), 0);
        EXPECT_EQ(c.expected, tok.read_color());
        EXPECT_EQ(c.warnings, log.lines.size());
    }
    LogCapture log;
    CTokenizer tok;
    tok.OpenMemory("300 -5 10 20", 12, 0);
    tok.read_color();
    ASSERT_EQ(2u, log.lines.size());
    EXPECT_EQ("ERROR: [CTokenizer::read_color] WARNING: out of range (300 - 0..255)\n", log.lines[0]);
    EXPECT_EQ("ERROR: [CTokenizer::read_color] WARNING: out of range (-5 - 0..255)\n", log.lines[1]);
}

TEST(Tokenizer, FileStreamAndReopening) {
    TempDir bundle, docs;
    ScopedStores stores(bundle.path(), docs.path());
    writeFile(bundle.file("data/defs/a.txt"), "name = \"a b\" // c\nvalue = 0x1F\n");

    CTokenizer tok;
    ASSERT_EQ(1, tok.OpenFile("defs/a.txt", StoreRead, 1 | 2));
    EXPECT_STREQ("name", tok.NextToken());
    EXPECT_STREQ("a b", tok.ReadToken());
    EXPECT_STREQ("value", tok.NextToken());
    EXPECT_EQ(31, tok.ReadInt());
    EXPECT_EQ(nullptr, tok.Next(0));

    // A failed open leaves the tokenizer on its current stream.
    tok.OpenMemory("left", 4, 0);
    EXPECT_EQ(0, tok.OpenFile("defs/missing.txt", StoreRead, 0));
    EXPECT_STREQ("left", tok.NextToken());
    tok.Close();
    EXPECT_EQ(nullptr, tok.m_pInputStream);
}

TEST(CharStreams, MemoryStreamPeekAndUnget) {
    CMemCharStream s("ab\xff", 3);
    EXPECT_EQ('a', s.PeekChar());
    EXPECT_EQ('a', s.GetChar());
    s.UngetChar('z');
    EXPECT_EQ('a', s.GetChar());
    EXPECT_EQ('b', s.GetChar());
    EXPECT_EQ(0xff, s.GetChar());
    EXPECT_EQ(-1, s.GetChar());
    EXPECT_EQ(-1, s.PeekChar());
    s.Close();
    EXPECT_EQ(-1, s.GetChar());
    CMemCharStream start("q", 1);
    start.UngetChar('x');  // nothing to step back over
    EXPECT_EQ('q', start.GetChar());
}

TEST(Tokenizer, RandomInputStaysInBounds) {
    // Mostly the characters the tokenizer treats specially, for every option combination.
    const char alphabet[] = "ab1 \n\t\"\\/=x{}[]()\0";
    std::mt19937 rng(1234);
    LogCapture log;  // keeps the many exception lines out of the log file
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 40, ' ');
        for (char& ch : text)
            ch = alphabet[rng() % (sizeof(alphabet) - 1)];
        for (uint32_t flags = 0; flags < 16; ++flags) {
            CTokenizer tok;
            tok.OpenMemory(text.data(), (uint32_t)text.size(), flags);
            size_t count = 0;
            try {
                while (tok.Next(0))
                    ASSERT_LE(++count, text.size() + 1);
            } catch (const CTokenizerException&) {
            }
        }
    }
}

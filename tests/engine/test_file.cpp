// Files in their stores: the documents "data/" override, StoreAuto, line reading and path helpers.

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "TestSupport.h"
#include "engine/file.h"
#include "engine/utils.h"

using testsupport::readFile;
using testsupport::writeFile;

namespace {

// A bundle and a documents folder of their own for every test, and the log lines it writes.
class FileTest : public ::testing::Test {
protected:
    FileTest() : _stores(_bundle.path(), _documents.path()) {}
    void SetUp() override { File::useDocumentsData = 1; }
    void TearDown() override { File::useDocumentsData = 1; }

    std::string readText(const char* name, int store) {
        File f;
        if (!f.open(name, "rt", store, 0))
            return "<not opened>";
        char line[256];
        std::string all;
        while (f.readLine(line, sizeof(line)))
            all += line;
        return all;
    }

    testsupport::TempDir _bundle, _documents;
    testsupport::ScopedStores _stores;
    testsupport::LogCapture _log;
};

TEST_F(FileTest, ReadStoreTakesTheDocumentsCopyOnlyWhenAllowedAndPresent) {
    writeFile(_bundle.file("data/configs/config.txt"), "bundle");
    struct Case {
        const char* name;
        bool documentsCopy;
        int flag;
        const char* expected;
    };
    const Case cases[] = {
        {"copy present, override on", true, 1, "documents"},
        {"copy present, safe start", true, 0, "bundle"},
        {"no copy, override on", false, 1, "bundle"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string copy = _documents.file("data/configs/config.txt");
        std::remove(copy.c_str());
        if (c.documentsCopy)
            writeFile(copy, "documents");
        File::useDocumentsData = c.flag;
        EXPECT_EQ(readText("configs/config.txt", StoreRead), c.expected);
        EXPECT_EQ(File::exists("configs/config.txt"), 1);
    }
    EXPECT_EQ(File::exists("configs/missing.txt"), 0);
}

TEST_F(FileTest, StorePathsAndStoreAutoByMode) {
    std::string path;
    File::writeStorePath(path, "profile.dat");
    EXPECT_EQ(path, _documents.path() + "/profile.dat");
    File::readStorePath(path, "a/b.txt");
    EXPECT_EQ(path, _bundle.path() + "/data/a/b.txt");
    File::resolvePath(path, "/raw/name", StoreRaw);
    EXPECT_EQ(path, "/raw/name");

    {
        File f;
        ASSERT_EQ(f.open("made.txt", "wt", StoreAuto), 1);
        f.printf("%s", "written");
    }
    EXPECT_EQ(readFile(_documents.file("made.txt")), "written");
    EXPECT_EQ(pathExists(_bundle.file("data/made.txt").c_str()), 0);

    writeFile(_bundle.file("data/read.txt"), "from bundle");
    writeFile(_documents.file("read.txt"), "from documents");
    EXPECT_EQ(readText("read.txt", StoreAuto), "from bundle");
    EXPECT_EQ(readText(_documents.file("read.txt").c_str(), StoreRaw), "from documents");
}

TEST_F(FileTest, ReadLineKeepsEveryCharacter) {
    struct Case {
        const char* name;
        std::string content;
        int capacity;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"last line without a line end", "abc", 64, {"abc"}},
        {"last line with a line end", "abc\n", 64, {"abc"}},
        {"two lines, unterminated tail", "abc\nde", 64, {"abc", "de"}},
        {"empty lines", "\n\nx", 64, {"", "", "x"}},
        {"empty file", "", 64, {}},
        {"one-character tail", "ab\nc", 64, {"ab", "c"}},
        {"long line split", "abcdefgh\nij", 5, {"abc", "def", "gh", "ij"}},
        {"smallest buffer", "ab", 3, {"a", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(_documents.file("lines.txt"), c.content);
        File f;
        ASSERT_EQ(f.open("lines.txt", "rt", StoreWrite), 1);
        std::vector<std::string> got;
        std::vector<char> buffer((size_t)c.capacity);
        while (f.readLine(buffer.data(), c.capacity))
            got.push_back(buffer.data());
        EXPECT_EQ(got, c.lines);
    }
}

TEST_F(FileTest, ReadLineRefusesABufferWithNoRoomForACharacter) {
    writeFile(_documents.file("lines.txt"), "abc\n");
    File f;
    ASSERT_EQ(f.open("lines.txt", "rt", StoreWrite), 1);
    char buffer[2];
    EXPECT_EQ(f.readLine(buffer, 2), nullptr);
    ASSERT_EQ(_log.lines.size(), 1u);
    EXPECT_EQ(_log.lines[0], "ERROR: [File::readLine] buffer too small (capacity = 2)\n");
}

TEST_F(FileTest, ReadAllAndUngetChar) {
    writeFile(_documents.file("all.txt"), "hello");
    File f;
    ASSERT_EQ(f.open("all.txt", "rt", StoreWrite), 1);
    f.ungetChar('>');
    Buffer b(0);
    EXPECT_EQ(f.readAll(b, 1), 1);
    ASSERT_EQ(b.size, 7);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data)), ">hello");
}

TEST_F(FileTest, BinaryReadsSeeksAndEof) {
    writeFile(_documents.file("empty.bin"), "");
    writeFile(_documents.file("data.bin"), std::string("\x01\x02\x03\x04\x05", 5));
    {
        File f;
        ASSERT_EQ(f.open("empty.bin", "rb", StoreWrite), 1);
        EXPECT_EQ(f.eof(), 1);
    }
    File f;
    ASSERT_EQ(f.open("data.bin", "rb", StoreWrite), 1);
    EXPECT_EQ(f.size(), 5u);
    EXPECT_EQ(f.eof(), 0);
    uint8_t two[2];
    EXPECT_EQ(f.read(two, 2, 0xee), 1);
    EXPECT_EQ(two[0], 1);
    EXPECT_EQ(two[1], 2);
    f.seekRelative(1);
    EXPECT_EQ(f.tell(), 3);
    uint8_t four[4] = {0, 0, 0, 0};
    EXPECT_EQ(f.read(four, 4, 0xee), 0);  // only two bytes left: all four become the fill byte
    for (uint8_t v : four)
        EXPECT_EQ(v, 0xee);
    EXPECT_EQ(f.eof(), 1);
    f.seek(4);
    EXPECT_EQ(f.read(two, 1, 0), 1);
    EXPECT_EQ(two[0], 5);
}

TEST_F(FileTest, FailedOpenLogsOnlyWhenAsked) {
    File f;
    EXPECT_EQ(f.open("missing.txt", "rt", StoreRead, 0), 0);
    EXPECT_FALSE(f.isOpened());
    EXPECT_TRUE(_log.lines.empty());
    EXPECT_EQ(f.open("missing.txt", "rt", StoreRead, 1), 0);
    ASSERT_EQ(_log.lines.size(), 1u);
    std::string expectedStart = "ERROR: FAILED: cannot open '" + _bundle.path() + "/data/missing.txt' cwd = '";
    EXPECT_EQ(_log.lines[0].compare(0, expectedStart.size(), expectedStart), 0) << _log.lines[0];
}

TEST_F(FileTest, OnlyRegularFilesOpenForReading) {
    writeFile(_bundle.file("data/folder/inside.txt"), "x");
    struct Case {
        const char* path;
        const char* mode;
        const char* reason;  // null: opens
    };
    const std::string folder = _bundle.file("data/folder");
    const Case cases[] = {
        {folder.c_str(), "rt", "is a folder"},
        {folder.c_str(), "rb", "is a folder"},
        {"/dev/null", "rb", "is no regular file"},
        {"/dev/null", "wb", nullptr},  // writing to a device is the caller's business
        {nullptr, "rb", nullptr},      // the file inside the folder
    };
    for (const Case& c : cases) {
        std::string path = c.path ? c.path : _bundle.file("data/folder/inside.txt");
        SCOPED_TRACE(path + " " + c.mode);
        _log.clear();
        File f;
        EXPECT_EQ(f.open(path.c_str(), c.mode, StoreRaw, 1), c.reason ? 0 : 1);
        EXPECT_EQ(f.isOpened(), !c.reason);
        if (c.reason) {
            EXPECT_EQ(f.size(), 0u);
            ASSERT_EQ(_log.lines.size(), 1u);
            EXPECT_EQ(_log.lines[0], "ERROR: [File::open] '" + path + "' " + c.reason + "\n");
            _log.clear();
            EXPECT_EQ(f.open(path.c_str(), c.mode, StoreRaw, 0), 0);
            EXPECT_TRUE(_log.lines.empty());
        }
    }
}

TEST_F(FileTest, ReadAllRefusesAFileItsBufferCannotHold) {
    // A sparse file: 2 GiB measured, no block written, so nothing is read before the refusal.
    std::string path = _documents.file("huge.txt");
    writeFile(path, "");
    ASSERT_EQ(truncate(path.c_str(), (off_t)INT32_MAX), 0);
    File f;
    ASSERT_EQ(f.open("huge.txt", "rt", StoreWrite, 1), 1);
    EXPECT_EQ(f.size(), (uint32_t)INT32_MAX);
    Buffer buffer;
    EXPECT_EQ(f.readAll(buffer, 1), 0);
    EXPECT_EQ(buffer.size, 0);
    EXPECT_TRUE(_log.contains("[File::readAll] file too large (2147483647 bytes)"));
}

using FileDeathTest = FileTest;

TEST_F(FileDeathTest, BrokenModeRulesStop) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::logToStderr();
    writeFile(_documents.file("t.txt"), "text");
    struct Case {
        const char* name;
        void (*action)();
        const char* message;
    };
    const Case cases[] = {
        {"read on a closed file", [] { File f; char b[8]; f.readLine(b, 8); }, "@143: isOpened\\(\\)"},
        {"text read on a binary file",
         [] { File f; f.open("t.txt", "rb", StoreWrite); char b[8]; f.readLine(b, 8); }, "!binaryMode\\(\\)"},
        {"binary read on a text file", [] { File f; f.open("t.txt", "rt", StoreWrite); f.tell(); }, ": binaryMode\\(\\)"},
        {"writing in the read store", [] { File f; f.open("x.txt", "wt", StoreRead); }, "!\\(store == StoreRead"},
        {"bad mode text", [] { File f; f.open("x.txt", "r", StoreWrite); }, "strlen\\(mode\\) >= 2"},
        {"store out of range", [] { File f; f.open("x.txt", "rt", 7); }, "ervenytelen store"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DEATH(c.action(), c.message);
    }
}

TEST(PathTest, DirNameAndPathExists) {
    struct Case {
        const char* path;
        const char* dir;
    };
    const Case cases[] = {
        {"a/b/c.txt", "a/b"}, {"a\\b/c\\d.txt", "a\\b/c"}, {"a/b\\c", "a/b"}, {"file.txt", ""},
        {"/top", ""},         {nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "null");
        std::string out = "stale";
        dirName(c.path, out);
        EXPECT_EQ(out, c.dir);
    }
    testsupport::TempDir dir;
    EXPECT_EQ(pathExists(dir.path().c_str()), 1);
    EXPECT_EQ(pathExists(dir.file("none").c_str()), 0);
    EXPECT_EQ(pathExists(nullptr), 0);
    EXPECT_TRUE(makeDirectories(dir.file("x/y/z")));
    EXPECT_EQ(pathExists(dir.file("x/y/z").c_str()), 1);
}

}  // namespace

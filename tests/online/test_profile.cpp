// The profile file: chunk-map layout, short data, unknown chunks kept, registration, unreadable
// files kept aside, and saves that survive being killed at any moment.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <cstring>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "engine/FileBuffer.h"
#include "engine/online/PlayerProfile.h"
#include "engine/online/ProfileChunk.h"
#include "engine/online/ProfileStore.h"
#include "engine/online/SafeFiles.h"

using testsupport::ByteWriter;
using testsupport::LogCapture;
using testsupport::TempDir;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const char* const kMagic = "zeLVAN";
const char* const kPassword = "31415926";

// Keeps its bytes in its chunk as they are.
struct BlobChunk : IProfileChunk {
    void onSave(const std::string& name, FileBuffer& buffer) override {
        EXPECT_EQ(0u, buffer.size());
        savedAs = name;
        buffer.write(bytes.data(), bytes.size());
    }
    void onLoad(const std::string& name, FileBuffer& buffer) override {
        EXPECT_EQ(0u, buffer.position());
        loadedAs = name;
        ++loads;
        buffer.toString(bytes);
    }
    std::string bytes = "defaults";
    std::string savedAs, loadedAs;
    int loads = 0;
};

struct Record {
    std::string name, data;
};

std::string chunkMapBytes(const std::vector<Record>& records, uint16_t count) {
    ByteWriter w;
    w.u16(count);
    for (const Record& r : records) {
        w.str16(r.name);
        w.u32((uint32_t)r.data.size());
        w.u32(0);
        w.raw(r.data);
    }
    return std::string(w.bytes.begin(), w.bytes.end());
}

std::string profileBytes(const std::vector<Record>& records) {
    return kMagic + chunkMapBytes(records, (uint16_t)records.size());
}

// The plain content of a profile file on disk.
std::string unsealed(const std::string& path) {
    FileBuffer buffer;
    EXPECT_TRUE(buffer.loadSealed(path.c_str(), kPassword));
    std::string out;
    buffer.toString(out);
    return out;
}

struct Profile {
    explicit Profile(const std::string& path) { store.setFile(path, kMagic, kPassword); }
    ProfileStore store;
};

TEST(ProfileChunkMap, ShortOrOddDataReadsAsFarAsItGoes) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<Record> expected;
    };
    const std::string two = chunkMapBytes({{"a", "AAAA"}, {"b", "BBBB"}}, 2);
    const Case cases[] = {
        {"nothing", "", {}},
        {"half a count", std::string("\x02", 1), {}},
        {"count 0", chunkMapBytes({}, 0), {}},
        {"whole", two, {{"a", "AAAA"}, {"b", "BBBB"}}},
        {"second block cut short", two.substr(0, two.size() - 2), {{"a", "AAAA"}, {"b", "BB"}}},
        {"second size cut short", two.substr(0, 2 + 2 + 1 + 8 + 4 + 2 + 1 + 5), {{"a", "AAAA"}, {"b", ""}}},
        {"second name cut short", two.substr(0, 2 + 2 + 1 + 8 + 4 + 2), {{"", ""}, {"a", "AAAA"}}},
        {"count larger than the records", chunkMapBytes({{"a", "AAAA"}}, 3), {{"", ""}, {"a", "AAAA"}}},
        {"a name twice", chunkMapBytes({{"a", "12"}, {"a", "34"}}, 2), {{"a", "1234"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileBuffer source(c.bytes.data(), c.bytes.size());
        ProfileChunkMap map;
        ProfileChunkMap::read(map, source);
        ASSERT_EQ(c.expected.size(), map.size());
        size_t i = 0;
        for (auto& entry : map) {
            std::string data;
            entry.second.toString(data);
            EXPECT_EQ(c.expected[i].name, entry.first);
            EXPECT_EQ(c.expected[i].data, data);
            EXPECT_EQ(0u, entry.second.position());
            ++i;
        }
        EXPECT_EQ(c.bytes.size(), source.position());
    }
}

TEST(ProfileChunkMap, WritesNamesInByteOrderAndLongStringsWhole) {
    ProfileChunkMap map;
    map.get("a").write("x", 1);
    map.get("B").write("yy", 2);
    map.get("ab");
    FileBuffer& cursorInside = map.get("c");
    cursorInside.write("zzz", 3);
    cursorInside.seek(0, 1);  // written whole, whatever the cursor
    FileBuffer out;
    ProfileChunkMap::write(out, map);
    std::string bytes;
    out.toString(bytes);
    EXPECT_EQ(chunkMapBytes({{"B", "yy"}, {"a", "x"}, {"ab", ""}, {"c", "zzz"}}, 4), bytes);

    const std::string longest(65535, 'q');
    FileBuffer strings;
    FileBuffer::writeString(strings, longest);
    ASSERT_EQ(65537u, strings.size());
    EXPECT_EQ(0xFF, strings.data()[0]);
    EXPECT_EQ(0xFF, strings.data()[1]);
    strings.seek(0, 0);
    EXPECT_EQ(longest, FileBuffer::readString(strings));
    FileBuffer oneByte("\x05", 1);
    EXPECT_EQ("", FileBuffer::readString(oneByte));
    FileBuffer cut("\x05\x00" "abc", 5);
    EXPECT_EQ("abc", FileBuffer::readString(cut));
}

TEST(ProfileStore, FirstStartLoadsDefaultsAndTheFirstSaveWritesBothChunks) {
    TempDir dir;
    Profile p(dir.file("player.profile"));
    BlobChunk own;
    p.store.registerChunk("playerdata", &own, false);
    EXPECT_EQ(0, own.loads);  // nothing is handed out before the first load
    p.store.loadProfile();
    EXPECT_TRUE(p.store.loaded());
    EXPECT_EQ(1, own.loads);
    EXPECT_EQ("", own.bytes);
    EXPECT_EQ("", p.store.accessMark());

    own.bytes = "state";
    ASSERT_TRUE(p.store.saveProfile());
    const std::string raw = readFile(dir.file("player.profile"));
    EXPECT_EQ(0, raw.compare(0, 8, "kavelDAT"));
    EXPECT_EQ(profileBytes({{"fbaccess", std::string(2, '\0')}, {"playerdata", "state"}}),
              unsealed(dir.file("player.profile")));
}

TEST(ProfileStore, EveryChunkSurvivesLoadAndSaveByteForByteIncludingUnknownOnes) {
    TempDir dir;
    const std::string path = dir.file("player.profile");
    std::string binary;
    for (int i = 0; i < 300; ++i)
        binary += (char)(i * 13);
    const std::string access = std::string("\x01\x00", 2) + "1";
    // A plain file, as an older or hand-made one might be.
    writeFile(path, profileBytes({{"fbaccess", access}, {"gamma", binary}, {"playerdata", "old state"}}));

    {
        Profile p(path);
        BlobChunk own;
        p.store.registerChunk("playerdata", &own, false);
        p.store.loadProfile();
        EXPECT_EQ("old state", own.bytes);
        EXPECT_EQ("playerdata", own.loadedAs);
        EXPECT_EQ("1", p.store.accessMark());
        own.bytes = "new state";
        ASSERT_TRUE(p.store.saveProfile());
        EXPECT_EQ("playerdata", own.savedAs);
    }
    const std::string expected = profileBytes({{"fbaccess", access}, {"gamma", binary}, {"playerdata", "new state"}});
    EXPECT_EQ(expected, unsealed(path));

    // A second round changes nothing.
    Profile again(path);
    BlobChunk own;
    again.store.registerChunk("playerdata", &own, false);
    again.store.loadProfile();
    EXPECT_EQ("new state", own.bytes);
    ASSERT_TRUE(again.store.saveProfile());
    EXPECT_EQ(expected, unsealed(path));
}

TEST(ProfileStore, RegistrationAfterLoadHandsTheChunkOverAndOwnedChunksGoWithTheirRegistration) {
    TempDir dir;
    const std::string path = dir.file("player.profile");
    writeFile(path, profileBytes({{"extra", "E"}}));
    Profile p(path);
    p.store.loadProfile();

    BlobChunk late;
    p.store.registerChunk("extra", &late, false);
    EXPECT_EQ(1, late.loads);
    EXPECT_EQ("E", late.bytes);

    struct Owned : PlayerProfile {
        explicit Owned(bool& d) : gone(d) {}
        ~Owned() override { gone = true; }
        bool& gone;
    };
    bool gone = false;
    p.store.registerChunk("owned", new Owned(gone), true);
    p.store.unregisterChunk("owned");
    EXPECT_TRUE(gone);
    p.store.unregisterChunk("extra");  // not owned: stays the caller's, its data stays
    p.store.unregisterChunk("never registered");
    EXPECT_TRUE(p.store.chunkData().contains("extra"));
    EXPECT_EQ(1, late.loads);
}

TEST(ProfileStore, UnreadableFilesAreKeptAsideBeforeAnySaveReplacesThem) {
    TempDir dir;
    const std::string path = dir.file("player.profile");
    struct Case {
        const char* what;
        std::string bytes;
    };
    FileBuffer other(profileBytes({{"playerdata", "theirs"}}).data(), 20);
    other.saveSealed(dir.file("other").c_str(), "another password");
    const Case cases[] = {
        {"damaged container", std::string("kavelDAT") + std::string(37, 'z')},
        {"another password", readFile(dir.file("other"))},
        {"no magic", "something else entirely"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path, c.bytes);
        writeFile(durableTempPath(path), std::string("half a save"));
        LogCapture log;
        Profile p(path);
        BlobChunk own;
        p.store.registerChunk("playerdata", &own, false);
        p.store.loadProfile();
        EXPECT_EQ("", own.bytes);
        EXPECT_TRUE(log.contains("player.profile.damaged"));
        EXPECT_EQ(c.bytes, readFile(path + ".damaged"));
        EXPECT_FALSE(std::ifstream(durableTempPath(path)).good());

        own.bytes = "fresh";
        ASSERT_TRUE(p.store.saveProfile());
        EXPECT_EQ(c.bytes, readFile(path + ".damaged"));
        EXPECT_EQ(profileBytes({{"fbaccess", std::string(2, '\0')}, {"playerdata", "fresh"}}), unsealed(path));
    }
}

TEST(ProfileStore, WithoutAPathNothingIsWritten) {
    ProfileStore store;
    BlobChunk own;
    store.registerChunk("playerdata", &own, false);
    LogCapture log;
    store.loadProfile();
    EXPECT_FALSE(store.saveProfile());
    EXPECT_EQ(2u, store.chunkData().size());
    EXPECT_TRUE(store.chunkData().contains("fbaccess"));
}

// The state a killed saver may leave: a counter and a block that must match it.
struct CountedChunk : IProfileChunk {
    enum { BlockSize = 8 * 1024 };
    static std::string blockFor(uint32_t n) {
        std::string b(BlockSize, '\0');
        for (size_t i = 0; i < b.size(); ++i)
            b[i] = (char)((n * 31 + i * 7) & 0xFF);
        return b;
    }
    void onSave(const std::string&, FileBuffer& buffer) override {
        buffer.write(&n, 4);
        std::string b = blockFor(n);
        buffer.write(b.data(), b.size());
    }
    void onLoad(const std::string&, FileBuffer& buffer) override {
        std::string all;
        buffer.toString(all);
        loaded = true;
        consistent = all.size() == 4 + BlockSize;
        if (consistent) {
            std::memcpy(&n, all.data(), 4);
            consistent = all.compare(4, std::string::npos, blockFor(n)) == 0;
        }
    }
    uint32_t n = 0;
    bool loaded = false, consistent = false;
};

TEST(ProfileStore, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewState) {
    TempDir dir;
    const std::string path = dir.file("player.profile");
    {
        Profile p(path);
        CountedChunk c;
        p.store.registerChunk("playerdata", &c, false);
        ASSERT_TRUE(p.store.saveProfile());
    }
    std::mt19937 random(20240611);
    uint32_t last = 0;
    for (int round = 0; round < 200; ++round) {
        int ready[2];
        ASSERT_EQ(0, pipe(ready));
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            Profile p(path);
            CountedChunk c;
            c.n = last;
            p.store.registerChunk("playerdata", &c, false);
            for (bool first = true;; first = false) {
                ++c.n;
                p.store.saveProfile();
                if (first && write(ready[1], "s", 1) != 1)
                    _exit(1);
            }
        }
        close(ready[1]);
        // The kill lands at a random moment of the saving loop, once one save has gone through.
        char got = 0;
        ASSERT_EQ(1, read(ready[0], &got, 1));
        close(ready[0]);
        usleep(std::uniform_int_distribution<int>(0, 6000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        Profile p(path);
        CountedChunk c;
        p.store.registerChunk("playerdata", &c, false);
        p.store.loadProfile();
        ASSERT_TRUE(c.loaded);
        ASSERT_TRUE(c.consistent) << "round " << round;
        ASSERT_GT(c.n, last) << "round " << round;
        ASSERT_FALSE(std::ifstream(path + ".damaged").good()) << "round " << round;
        last = c.n;
    }
}

}  // namespace

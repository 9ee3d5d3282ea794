// The configuration store: parsing, kinds, first value wins, sealed and plain files.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/FileBuffer.h"
#include "engine/file.h"

using testsupport::contentDir;
using testsupport::readFile;
using testsupport::ScopedStores;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

class ConfigStoreTest : public ::testing::Test {
protected:
    ConfigStoreTest() : stores(bundle.path(), docs.path()) {}

    void put(const std::string& name, const std::string& text) { writeFile(bundle.file("data/" + name), text); }
    void putSealed(const std::string& name, const std::string& text, const char* password = "") {
        FileBuffer plain(text.data(), text.size());
        std::string path = bundle.file("data/" + name);
        writeFile(path, "");
        ASSERT_EQ(1, plain.saveSealed(path.c_str(), password));
    }
    ConfigStore& load(const std::string& text) {
        put("configs/test.txt", text);
        store.loadFile("configs/test.txt", "");
        return store;
    }

    TempDir bundle, docs;
    ScopedStores stores;
    ConfigStore store;
};

const Vector3 kNone(-7, -7, -7);

}  // namespace

TEST_F(ConfigStoreTest, SectionsFormFullKeys) {
    load("startCoins = 100\n"
         "[game]\n"
         "startCoins = 200 // the game's own\n"
         "[ui.menu]\n"
         "title = \"Main menu\"\n"
         "[]\n"
         "bare = 1\n");
    EXPECT_EQ(100.0f, store.getFloat("startCoins", -1));
    EXPECT_EQ(200.0f, store.getFloat("game.startCoins", -1));
    EXPECT_STREQ("Main menu", store.getString("ui.menu.title", "-"));
    EXPECT_EQ(1.0f, store.getFloat("bare", -1));
    EXPECT_EQ((std::vector<std::string>{"game", "ui.menu", ""}), store.sectionNames());
}

TEST_F(ConfigStoreTest, ValueKinds) {
    load("[k]\n"
         "flagT = true\n"
         "flagF = false\n"
         "one = 1\n"
         "neg = -2.5e1\n"
         "dot = .5\n"
         "word = information\n"
         "notnum = nan\n"
         "inf = inf\n"
         "mixed = 12abc\n"
         "quoted = \"  spaced  out \"\n"
         "quotedNum = \"42\"\n"
         "empty = \"\"\n"
         "vec = { 0 0 1 }\n"
         "wordy = { 1 two 3 }\n"
         "four = { 1 2 3 4 }\n"
         "words = { alpha \"b c\" }\n"
         "tuple = (1,2,3)\n");
    struct Case {
        const char* key;
        bool hasFloat;
        float number;
        const char* text;  // null: no text
        int flag;          // -1: no flag
    } cases[] = {
        {"k.flagT", false, 0, nullptr, 1},      {"k.flagF", false, 0, nullptr, 0},
        {"k.one", true, 1, nullptr, -1},        {"k.neg", true, -25, nullptr, -1},
        {"k.dot", true, 0.5f, nullptr, -1},     {"k.word", false, 0, "information", -1},
        {"k.notnum", false, 0, "nan", -1},      {"k.inf", false, 0, "inf", -1},
        {"k.mixed", false, 0, "12abc", -1},     {"k.quoted", false, 0, "  spaced  out ", -1},
        {"k.quotedNum", false, 0, "42", -1},    {"k.empty", false, 0, "", -1},
        {"k.tuple", false, 0, nullptr, -1},     {"k.vec", false, 0, nullptr, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        if (c.hasFloat)
            EXPECT_EQ(c.number, store.getFloat(c.key, -99));
        else
            EXPECT_EQ(-99.0f, store.getFloat(c.key, -99));
        EXPECT_STREQ(c.text ? c.text : "dflt", store.getString(c.key, "dflt"));
        if (c.flag < 0) {
            EXPECT_TRUE(store.getBool(c.key, true));
            EXPECT_FALSE(store.getBool(c.key, false));
        } else {
            EXPECT_EQ(c.flag == 1, store.getBool(c.key, c.flag != 1));
        }
    }
    EXPECT_EQ(Vector3(0, 0, 1), store.getVector3("k.vec", kNone));
    EXPECT_EQ((std::vector<std::string>{"0", "0", "1"}), store.getList("k.vec"));
    EXPECT_EQ(kNone, store.getVector3("k.wordy", kNone));
    EXPECT_EQ(3u, store.getList("k.wordy").size());
    EXPECT_EQ(kNone, store.getVector3("k.four", kNone));
    EXPECT_EQ((std::vector<std::string>{"alpha", "\"b c\""}), store.getList("k.words"));
    EXPECT_TRUE(store.getList("k.tuple").empty());
    EXPECT_EQ(kNone, store.getVector3("k.tuple", kNone));
    EXPECT_TRUE(store.getList("missing").empty());
}

TEST_F(ConfigStoreTest, FirstValueWinsPerKindAcrossFiles) {
    put("configs/a.txt", "[s]\nx = 1\nx = 2\ny = \"first\"\n");
    put("configs/b.txt", "[s]\nx = 3\nx = \"later text\"\ny = \"second\"\ny = true\nz = { a }\n");
    store.loadFile("configs/a.txt", "");
    store.loadFile("configs/b.txt", "");
    EXPECT_EQ(1.0f, store.getFloat("s.x", -1));
    EXPECT_STREQ("later text", store.getString("s.x", "-"));
    EXPECT_STREQ("first", store.getString("s.y", "-"));
    EXPECT_TRUE(store.getBool("s.y", false));
    EXPECT_EQ((std::vector<std::string>{"a"}), store.getList("s.z"));
    EXPECT_EQ((std::vector<std::string>{"s", "s"}), store.sectionNames());
}

TEST_F(ConfigStoreTest, CommentsEndEntriesEvenInsideQuotes) {
    load("a = 5 // five\n"
         "b = \"x // y\"\n"
         "c = 7\n");
    EXPECT_EQ(5.0f, store.getFloat("a", -1));
    EXPECT_STREQ("x ", store.getString("b", "-"));
    // The line after the comment still reads as the pair after it.
    EXPECT_EQ(7.0f, store.getFloat("c", -1));
}

TEST_F(ConfigStoreTest, MalformedFileKeepsWhatCameBefore) {
    struct Case {
        const char* what;
        std::string text;
        const char* lastKept;
        const char* lost;
    } cases[] = {
        {"cut after a key", "a = 1\nb = 2\nc", "b", "c"},
        {"cut after equals", "a = 1\nb = 2\nc =", "b", "c"},
        {"missing equals", "a = 1\nb = 2\nc 3\nd = 4", "b", "d"},
        {"list never closed", "a = 1\nb = 2\nc = { 1 2 3\n", "b", "c"},
        {"quote never closed", "a = 1\nb = 2\nc = \"open\nd = 4\n", "b", "d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store.resetForTests();
        load(c.text);
        EXPECT_EQ(1.0f, store.getFloat("a", -1));
        EXPECT_EQ(2.0f, store.getFloat(c.lastKept, -1));
        EXPECT_EQ(-1.0f, store.getFloat(c.lost, -1));
        EXPECT_STREQ("-", store.getString(c.lost, "-"));
        EXPECT_TRUE(store.getList(c.lost).empty());
    }
}

TEST_F(ConfigStoreTest, SealedAndPlainGiveTheSameStore) {
    const std::string text = "[game]\nspeed = 12.5\nname = \"Sealed train\"\nlist = { 1 2 3 }\non = true\n";
    put("configs/plain.txt", text);
    putSealed("configs/sealed.txt", text);
    ASSERT_NE(text, readFile(bundle.file("data/configs/sealed.txt")));

    ConfigStore plain, sealed;
    plain.loadFile("configs/plain.txt", "");
    sealed.loadFile("configs/sealed.txt", "");
    for (const ConfigStore* s : {&plain, &sealed}) {
        EXPECT_EQ(12.5f, s->getFloat("game.speed", -1));
        EXPECT_STREQ("Sealed train", s->getString("game.name", "-"));
        EXPECT_EQ(Vector3(1, 2, 3), s->getVector3("game.list", kNone));
        EXPECT_TRUE(s->getBool("game.on", false));
    }
}

TEST_F(ConfigStoreTest, MainFileAndItsListedFilesOneSealed) {
    put("configs/config.txt", "[config]\nfiles = { tuning.txt secret.txt }\n[game]\nspeed = 10\n");
    put("configs/tuning.txt", "[game]\nspeed = 20\njump = 3\n");
    putSealed("configs/secret.txt", "[game]\njump = 4\nbonus = { 0 1 0 }\n[text]\nhello = \"Hi there\"\n");
    store.loadMainFile("configs/config.txt");
    EXPECT_EQ(10.0f, store.getFloat("game.speed", -1));
    EXPECT_EQ(3.0f, store.getFloat("game.jump", -1));
    EXPECT_EQ(Vector3(0, 1, 0), store.getVector3("game.bonus", kNone));
    EXPECT_STREQ("Hi there", store.getString("text.hello", "-"));
    EXPECT_EQ(42.0f, store.getFloat("game.missing", 42));
}

TEST_F(ConfigStoreTest, DamagedOrMissingFilesAddNothing) {
    store.loadFile("configs/none.txt", "");
    writeFile(bundle.file("data/configs/cut.txt"), std::string("kavelDAT") + std::string(20, 'z'));
    store.loadFile("configs/cut.txt", "");
    put("configs/empty.txt", "");
    store.loadFile("configs/empty.txt", "");
    EXPECT_TRUE(store.sectionNames().empty());
}

TEST_F(ConfigStoreTest, DocumentsDataReplacesBundleFile) {
    put("configs/over.txt", "v = 1\n");
    writeFile(docs.file("data/configs/over.txt"), "v = 2\n");
    store.loadFile("configs/over.txt", "");
    EXPECT_EQ(2.0f, store.getFloat("v", -1));
}

TEST_F(ConfigStoreTest, LongQuotedTextIsKeptWhole) {
    const std::string longText(300, 'q');
    load("t = \"" + longText + "\"\nafter = 1\n");
    EXPECT_EQ(longText, store.getString("t", "-"));
    EXPECT_EQ(1.0f, store.getFloat("after", -1));
}

TEST(ConfigStoreInstance, OneGlobalStore) { EXPECT_EQ(&ConfigStore::instance(), &ConfigStore::instance()); }

TEST(ConfigStoreSample, SampleConfigurationLoads) {
    TempDir docs;
    ScopedStores stores(contentDir(), docs.path());
    ConfigStore store;
    store.loadFile("configs/config.txt", "");
    const ConfigStore::WordList& files = store.getList("config.files");
    ASSERT_FALSE(files.empty());
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        EXPECT_TRUE(File::exists(("configs/" + f).c_str()));
        store.loadFile(("configs/" + f).c_str(), "");
    }
    EXPECT_GT(store.sectionNames().size(), 1u);
}

// The persistent key/value store: one file per key in the documents folder, and its cache.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "engine/KeyValueStore.h"

using testsupport::readFile;
using testsupport::ScopedStores;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

class KeyValueStoreTest : public ::testing::Test {
protected:
    KeyValueStoreTest() : stores(bundle.path(), docs.path()) { st_ResetCacheForTests(); }
    ~KeyValueStoreTest() override { st_ResetCacheForTests(); }

    std::string get(const char* key, const char* dflt = "<none>") {
        std::string out;
        st_GetValue(key, out, dflt);
        return out;
    }

    TempDir bundle, docs;
    ScopedStores stores;
};

}  // namespace

TEST_F(KeyValueStoreTest, FloatsAreWrittenWithTwelveDecimals) {
    struct Case {
        float value;
        const char* text;
    } cases[] = {
        {1.5f, "1.500000000000"},
        {0.0f, "0.000000000000"},
        {-2.25f, "-2.250000000000"},
        {0.1f, "0.100000001490"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        st_SetFloat("hdr_exposure", c.value);
        EXPECT_EQ(c.text, readFile(docs.file("hdr_exposure")));
        EXPECT_EQ(c.value, st_GetFloat("hdr_exposure", 9.0f));
        st_ResetCacheForTests();
        EXPECT_EQ(c.value, st_GetFloat("hdr_exposure", 9.0f));
    }
}

TEST_F(KeyValueStoreTest, ValuesSurviveARestart) {
    st_SetValue("hdr_enable_tonemap", "1");
    st_SetFloat("hdr_bright_threshold", 0.75f);
    st_ResetCacheForTests();
    EXPECT_EQ("1", get("hdr_enable_tonemap"));
    EXPECT_EQ(0.75f, st_GetFloat("hdr_bright_threshold", 0));
}

TEST_F(KeyValueStoreTest, MissingKeysGiveDefaultsAndAreNotCached) {
    EXPECT_EQ("fallback", get("absent", "fallback"));
    EXPECT_EQ(0.25f, st_GetFloat("absent", 0.25f));
    // Nothing was cached: a file that appears later is read.
    writeFile(docs.file("absent"), "3.5");
    EXPECT_EQ(3.5f, st_GetFloat("absent", 0.25f));
    // A text that is no number gives the float default.
    writeFile(docs.file("garbled"), "abc");
    EXPECT_EQ(0.5f, st_GetFloat("garbled", 0.5f));
}

TEST_F(KeyValueStoreTest, CacheHidesLaterFileChanges) {
    writeFile(docs.file("k"), "from disk");
    EXPECT_EQ("from disk", get("k"));
    writeFile(docs.file("k"), "changed outside");
    EXPECT_EQ("from disk", get("k"));

    st_SetValue("k", "written");
    EXPECT_EQ("written", readFile(docs.file("k")));
    writeFile(docs.file("k"), "changed again");
    EXPECT_EQ("written", get("k"));
}

TEST_F(KeyValueStoreTest, LongValuesAreCutOnlyWhenReadFromFile) {
    const std::string longValue(1500, 'v');
    st_SetValue("long", longValue.c_str());
    EXPECT_EQ(longValue, get("long"));
    st_ResetCacheForTests();
    EXPECT_EQ(longValue.substr(0, 1023), get("long"));
}

TEST_F(KeyValueStoreTest, UnwritableKeyLogsAndLeavesCache) {
    st_SetValue("k", "kept");
    st_SetValue("no/such/folder", "lost");
    EXPECT_EQ("kept", get("k"));
    EXPECT_EQ("<none>", get("no/such/folder"));
}

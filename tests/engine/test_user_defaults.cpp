// The platform services' Linux stand-ins: user defaults over their small file, the bundle and
// documents paths, local notifications.

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "TestSupport.h"
#include "engine/file.h"
#include "engine/plat_linux/LocalNotifications.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/platform.h"

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setPreferencesPath(_dir.path());
        platform::reloadUserDefaults();
    }
    void TearDown() override {
        platform::setPreferencesPath("");
        platform::reloadUserDefaults();
    }
    testsupport::TempDir _dir;
};

TEST_F(UserDefaultsTest, ReadsByType) {
    struct Case {
        const char* stored;  // null: key absent
        bool asBool;
        int asInt;
        float asFloat;  // read with the default 9.5
    };
    const Case cases[] = {
        {nullptr, false, 0, 9.5f}, {"1", true, 1, 1.0f},     {"0", false, 0, 0.0f},
        {"5", true, 5, 5.0f},      {"2.5", true, 2, 2.5f},   {"true", true, 1, 0.0f},
        {"YES", true, 1, 0.0f},    {"no", false, 0, 0.0f},   {"-3", true, -3, -3.0f},
        {"", false, 0, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "absent");
        if (c.stored)
            platform::setUserDefault("key", c.stored);
        else
            platform::removeUserDefault("key");
        EXPECT_EQ(getUserDefaultBool("key"), c.asBool);
        EXPECT_EQ(getUserDefaultInt("key", 77), c.asInt);  // the default argument is not used
        EXPECT_FLOAT_EQ(getUserDefaultFloat("key", 9.5f), c.asFloat);
    }
}

TEST_F(UserDefaultsTest, PersistInTheirFile) {
    platform::setUserDefault("sound_disabled", "1");
    platform::setUserDefault("speed_pref", "12.25");
    platform::reloadUserDefaults();
    EXPECT_TRUE(getUserDefaultBool("sound_disabled"));
    EXPECT_FLOAT_EQ(getUserDefaultFloat("speed_pref", 0), 12.25f);

    // A hand-written file reads as well; lines without '=' are skipped.
    testsupport::writeFile(_dir.file(".userdefaults"), "environment_preference=2\r\njunk\nx=a=b\n");
    platform::reloadUserDefaults();
    EXPECT_EQ(getUserDefaultInt("environment_preference", 0), 2);
    EXPECT_FALSE(getUserDefaultBool("sound_disabled"));
    EXPECT_FALSE(getUserDefaultBool("junk"));
    EXPECT_FLOAT_EQ(getUserDefaultFloat("x", 1), 0.0f);  // value "a=b"
}

TEST_F(UserDefaultsTest, RefusesKeysAndValuesThatWouldBreakTheFile) {
    platform::setUserDefault("good", "1");
    platform::setUserDefault("a=b", "1");
    platform::setUserDefault("line", "1\nsound_disabled=1");
    platform::setUserDefault("", "1");
    platform::reloadUserDefaults();
    EXPECT_TRUE(getUserDefaultBool("good"));
    EXPECT_FALSE(getUserDefaultBool("a"));
    EXPECT_FALSE(getUserDefaultBool("line"));
    EXPECT_FALSE(getUserDefaultBool("sound_disabled"));
    EXPECT_EQ(testsupport::readFile(_dir.file(".userdefaults")), "good=1\n");
}

TEST_F(UserDefaultsTest, AFailedWriteKeepsTheOldFile) {
    platform::setUserDefault("sound_disabled", "1");
    const std::string before = testsupport::readFile(_dir.file(".userdefaults"));
    ASSERT_EQ(before, "sound_disabled=1\n");
    // The temporary file is a link to a device on which every write fails for want of space.
    ASSERT_EQ(symlink("/dev/full", _dir.file(".userdefaults.tmp").c_str()), 0);
    platform::setUserDefault("speed_pref", "12.25");
    EXPECT_EQ(testsupport::readFile(_dir.file(".userdefaults")), before);
    EXPECT_FALSE(pathExists(_dir.file(".userdefaults.tmp").c_str()));  // the failed temporary is gone
    platform::reloadUserDefaults();
    EXPECT_TRUE(getUserDefaultBool("sound_disabled"));

    // With room again, the next write goes through.
    platform::setUserDefault("speed_pref", "12.25");
    EXPECT_EQ(testsupport::readFile(_dir.file(".userdefaults")), "sound_disabled=1\nspeed_pref=12.25\n");
}

TEST(PlatformPathsTest, BundleAndDocumentsPaths) {
    testsupport::ScopedStores stores("/bundle/root", "/docs/root");
    std::string out;
    getBundleDataPath(out, "configs/config.txt");
    EXPECT_EQ(out, "/bundle/root/data/configs/config.txt");
    getDocumentsPath(out, "profile.dat");
    EXPECT_EQ(out, "/docs/root/profile.dat");
    getBundleDataPath(out, nullptr);
    EXPECT_EQ(out, "/bundle/root/data/");
}

TEST(LocalNotificationsTest, RecordsEachCallAndAppendsItToTheDocumentsLog) {
    testsupport::TempDir docs;
    testsupport::ScopedStores stores(testsupport::contentDir(), docs.path());
    platform::clearNotificationRecords();

    cancelLocalNotifications();  // clears the badge even with nothing scheduled
    EXPECT_EQ(platform::applicationBadge(), 0);
    scheduleLocalNotification("Come back", 0.0);  // due at once, still with the badge
    scheduleLocalNotification("Two\nlines", 120.0);
    EXPECT_EQ(platform::applicationBadge(), 1);
    ASSERT_EQ(platform::scheduledNotifications().size(), 2u);
    const platform::NotificationCall& late = platform::scheduledNotifications()[1];
    EXPECT_EQ(late.text, "Two\nlines");
    EXPECT_NEAR(late.fireTime - platform::scheduledNotifications()[0].fireTime, 120.0, 1.0);
    cancelLocalNotifications();
    EXPECT_TRUE(platform::scheduledNotifications().empty());
    EXPECT_EQ(platform::applicationBadge(), 0);
    EXPECT_EQ(platform::notificationCalls().size(), 4u);

    std::string log = testsupport::readFile(platform::notificationLogPath());
    EXPECT_EQ(platform::notificationLogPath(), docs.file("notifications.log"));
    EXPECT_EQ(log.find("cancel badge=0\n"), 0u);
    EXPECT_NE(log.find(" badge=1 text=Come back\n"), std::string::npos);
    EXPECT_NE(log.find(" badge=1 text=Two lines\n"), std::string::npos);
    EXPECT_EQ(log.rfind("cancel badge=0\n"), log.size() - 15);
    platform::clearNotificationRecords();
}

}  // namespace

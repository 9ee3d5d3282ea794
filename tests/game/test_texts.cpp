// The text container's languages and translation, and the reminder notifications scheduled
// through the platform (the Linux stand-in records them and appends them to a file).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "GameConfigFixture.h"
#include "TestSupport.h"
#include "engine/plat_linux/LocalNotifications.h"
#include "game/ZelvanNotifications.h"
#include "game/ZelvanTexts.h"

using namespace Zelvan;

namespace {

const char* kLanguages =
    "[text]\n"
    "languages = { english hungarian }\n"
    "[english]\n"
    "texts = { enHello enBye text_plain }\n"
    "[enHello]\nname = hello\nstring = \"Hello\"\n"
    "[enBye]\nname = bye\nstring = \"Bye\"\n"
    "[text_plain]\nstring = \"Named by its entry\"\n"
    "[hungarian]\n"
    "name = magyar\n"
    "texts = { huHello }\n"
    "[huHello]\nname = hello\nstring = \"Szia\"\n";

class TextsTest : public GameConfigFixture {
protected:
    void TearDown() override {
        TextContainer::destroyInstance();
        GameConfigFixture::TearDown();
    }
    TextContainer& load(const std::string& startLanguage) {
        ConfigStore::instance().resetForTests();
        if (!startLanguage.empty())
            loadConfig("text.startLanguageName = " + startLanguage + "\n");
        loadConfig(kLanguages);
        TextContainer::destroyInstance();
        TextContainer* texts = TextContainer::instance();
        texts->load("text");
        return *texts;
    }
};

TEST_F(TextsTest, StartLanguageOrTheFirst) {
    struct Case {
        const char* start;
        const char* hello;
    };
    const Case cases[] = {{"magyar", "Szia"}, {"english", "Hello"}, {"klingon", "Hello"}, {"", "Hello"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        EXPECT_EQ(load(c.start).translate("#hello"), c.hello);
    }
    TextContainer& texts = load("magyar");
    ASSERT_NE(texts.findLanguage("english"), nullptr);  // named by its entry when ".name" is missing
    EXPECT_EQ(texts.findLanguage(""), nullptr);
    EXPECT_EQ(texts.findLanguage("hungarian"), nullptr);
}

TEST_F(TextsTest, MissingKeysShowThemselvesAndPlainTextsStay) {
    TextContainer& texts = load("magyar");
    EXPECT_EQ(texts.translate("#bye"), "#bye");  // only english has it
    EXPECT_EQ(texts.translate("hello"), "hello");
    EXPECT_EQ(texts.translate(""), "");
    EXPECT_EQ(texts.translate("#"), "#");
    TextContainer& english = load("english");
    EXPECT_EQ(english.translate("#bye"), "Bye");
    EXPECT_EQ(english.translate("#text_plain"), "Named by its entry");

    english.clear();
    EXPECT_EQ(english.translate("#bye"), "#bye");
}

TEST_F(TextsTest, OneInstanceMadeOnFirstUse) {
    TextContainer::destroyInstance();
    EXPECT_EQ(TextContainer::get(), nullptr);
    TextContainer* t = TextContainer::instance();
    EXPECT_EQ(TextContainer::instance(), t);
    EXPECT_EQ(TextContainer::get(), t);
    TextContainer::destroyInstance();
    EXPECT_EQ(TextContainer::get(), nullptr);
}

// One scheduled line of the stand-in's file: when it fires and its text.
struct LoggedNotification {
    double fire;
    std::string text;
};

std::vector<LoggedNotification> readLog(int* cancels) {
    std::vector<LoggedNotification> out;
    *cancels = 0;
    std::istringstream in(testsupport::readFile(platform::notificationLogPath()));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("cancel", 0) == 0) {
            ++*cancels;
            continue;
        }
        double fire = 0;
        int badge = 0, textAt = 0;
        if (std::sscanf(line.c_str(), "schedule fire=%lf badge=%d text=%n", &fire, &badge, &textAt) == 2 && textAt)
            out.push_back({fire, line.substr(textAt)});
    }
    return out;
}

double now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

class NotificationsTest : public TextsTest {
protected:
    void SetUp() override {
        TextsTest::SetUp();
        platform::clearNotificationRecords();
    }
};

TEST_F(NotificationsTest, MessagesFireAtTheirSummedDelaysTranslated) {
    load("english");
    loadConfig("[notification]\n"
               "messages = { nHello nSilent nMissing nPlain }\n"
               "[nHello]\ndelay = 1\ntext = \"#hello\"\n"
               "[nSilent]\ndelay = 2\n"
               "[nMissing]\ndelay = 3\ntext = \"#nowhere\"\n"
               "[nPlain]\ndelay = 5\ntext = \"Come back and ride\"\n");
    std::unique_ptr<NotificationContainer> reminders(NotificationContainer::create());
    reminders->load("notification");
    ASSERT_EQ(reminders->_messages.size(), 4u);

    const double before = now();
    reminders->scheduleAll();
    const double after = now();
    const std::vector<platform::NotificationCall>& calls = platform::notificationCalls();
    ASSERT_EQ(calls.size(), 3u);  // the message without a text schedules nothing, but its delay counts
    const double seconds[] = {60, 360, 660};
    const char* texts[] = {"Hello", "#nowhere", "Come back and ride"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].seconds, seconds[i]);
        EXPECT_EQ(calls[i].text, texts[i]);
    }

    int cancels = 0;
    std::vector<LoggedNotification> logged = readLog(&cancels);
    ASSERT_EQ(logged.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(logged[i].text, texts[i]);
        EXPECT_GE(logged[i].fire, before + seconds[i] - 0.01);
        EXPECT_LE(logged[i].fire, after + seconds[i] + 0.01);
    }

    // Back in the foreground, and once more when the container goes: nothing is left scheduled.
    reminders->cancelAll();
    EXPECT_TRUE(platform::scheduledNotifications().empty());
    EXPECT_EQ(platform::applicationBadge(), 0);
    reminders.reset();
    readLog(&cancels);
    EXPECT_EQ(cancels, 2);
}

TEST_F(NotificationsTest, DefaultsNegativeDelayAndNoTextContainer) {
    TextContainer::destroyInstance();
    loadConfig("[notification]\n"
               "messages = { nDefault nBack }\n"
               "[nDefault]\ntext = \"#hello\"\n"
               "[nBack]\ndelay = -4\ntext = \"Later\"\n");
    testsupport::LogCapture log;
    NotificationContainer reminders;
    reminders.load("notification");
    EXPECT_TRUE(log.contains("nBack.delay"));
    reminders.scheduleAll();
    const std::vector<platform::NotificationCall>& calls = platform::notificationCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].seconds, 60);  // a minute when ".delay" is missing
    EXPECT_EQ(calls[0].text, "#hello");  // no text container: the key shows
    EXPECT_EQ(calls[1].seconds, 60);  // never before the message it follows
}

}  // namespace

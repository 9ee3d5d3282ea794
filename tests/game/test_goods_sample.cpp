// The sample content's boosts, words, texts, reminders and control settings load as the game
// reads them.

#include <gtest/gtest.h>

#include <memory>

#include "GameConfigFixture.h"
#include "game/ZelvanNotifications.h"
#include "game/ZelvanTexts.h"
#include "game/ZelvanWords.h"
#include "game/actors/ZelvanBoost.h"
#include "game/actors/ZelvanPlayerGoods.h"
#include "game/stage/ZelvanControl.h"

using namespace Zelvan;

namespace {

class GoodsSampleTest : public GameConfigFixture {
protected:
    void TearDown() override {
        TextContainer::destroyInstance();
        GameConfigFixture::TearDown();
    }
};

TEST_F(GoodsSampleTest, EveryContainerFindsItsKeys) {
    loadSampleConfig();

    BoostContainer boosts;
    boosts.load();
    EXPECT_GE(boosts.definitions().size(), 5u);
    Boost* coins = boosts.acquire("coinsFive");
    ASSERT_NE(coins, nullptr);
    EXPECT_EQ(coins->_type, Boost::TypeGoods);
    Boost* turbo = boosts.acquire("turbo");
    ASSERT_NE(turbo, nullptr);
    EXPECT_TRUE(turbo->_onlyOne);

    // Every word awards a boost that exists, and every letter of a word has a letter object.
    std::unique_ptr<WordContainer> words(WordContainer::create());
    words->load("word");
    EXPECT_EQ(words->_letterProxy, "letters");
    ASSERT_FALSE(words->_words.empty());
    for (const WordContainer::Word& w : words->_words) {
        SCOPED_TRACE(w.word);
        EXPECT_EQ(words->findWordFor(w.word), &w);
        EXPECT_NE(boosts.acquire(w.boost), nullptr);
        for (char c : w.word)
            EXPECT_NE(words->findLetterObject(std::string(1, c)), nullptr);
    }

    // Every boost message and reminder has its text in the start language (a plain coin has no
    // message: one would show for every coin).
    TextContainer* texts = TextContainer::instance();
    texts->load("text");
    ASSERT_NE(texts->_current, nullptr);
    EXPECT_EQ(texts->_current->name, "english");
    for (const BoostDefinition& d : boosts.definitions()) {
        Boost* b = boosts.acquire(d.name);
        ASSERT_NE(b, nullptr);
        if (!b->_textMessage.empty() || d.name != "coin") {
            EXPECT_NE(texts->translate(b->_textMessage), b->_textMessage) << d.name;
        }
    }
    EXPECT_NE(texts->translate("#text_menu_loading_load"), "#text_menu_loading_load");
    NotificationContainer reminders;
    reminders.load("notification");
    ASSERT_FALSE(reminders._messages.empty());
    for (const NotificationContainer::Message& m : reminders._messages)
        EXPECT_NE(texts->translate(m.text), m.text);

    std::unique_ptr<Control> control(Control::create());
    EXPECT_EQ(control->_holdTime, 0.5f);
    EXPECT_NEAR(control->_waggleAngleIn, 25.0f * 0.017453292f, 1e-6f);
}

}  // namespace

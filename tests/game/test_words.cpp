// The word container: words and their rewards, letters and the letter display.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "GameConfigFixture.h"
#include "engine/random.h"
#include "game/ZelvanWords.h"

using namespace Zelvan;

namespace {

// Records what the word container asks of the proxy container.
struct FakeProxies {
    bool setObjectEnabled(const std::string& proxy, const std::string& object, bool enabled) {
        calls.push_back(proxy + ":" + object + "=" + (enabled ? "1" : "0"));
        return true;
    }
    std::vector<std::string> calls;
};

class WordsTest : public GameConfigFixture {
protected:
    void load(const std::string& words) {
        ConfigStore::instance().resetForTests();
        loadConfig("[word]\n"
                   "letterProxy = letters\n"
                   "letterObjects = { a obj_a b obj_b c obj_c ab obj_ab d }\n"
                   "words = { " + words + " }\n"
                   "[wTrain]\nstring = train\nboost = coinsBig\n"
                   "[wRain]\nstring = rain\nboost = shield\n"
                   "[wNoBoost]\nstring = tram\n"
                   "[wListen]\nstring = listen\nboost = listenBoost\n"
                   "[wSilent]\nstring = silent\nboost = silentBoost\n"
                   "[wBook]\nstring = book\nboost = bookBoost\n");
        words_.reset(WordContainer::create());
        words_->load("word");
    }
    std::string boostFor(const std::string& letters) {
        const WordContainer::Word* w = words_->findWordFor(letters);
        return w ? w->boost : "-";
    }
    std::unique_ptr<WordContainer> words_;
};

TEST_F(WordsTest, LoadsPairsAndWordsWithTheirRewards) {
    load("wTrain wNoBoost wRain");
    EXPECT_EQ(words_->_letterProxy, "letters");
    // Five items after the last whole pair: the odd "d" is ignored.
    ASSERT_EQ(words_->_letterObjects.size(), 4u);
    EXPECT_EQ(words_->_letterObjects[3].letter, "ab");
    EXPECT_EQ(words_->_letterObjects[3].object, "obj_ab");
    // A word without a boost is skipped.
    ASSERT_EQ(words_->_words.size(), 2u);
    EXPECT_EQ(words_->_words[1].word, "rain");

    // Loading again appends; lookups still find the first match.
    words_->load("word");
    EXPECT_EQ(words_->_words.size(), 4u);
    EXPECT_EQ(words_->_letterObjects.size(), 8u);
    EXPECT_EQ(words_->findWordFor("rain"), &words_->_words[1]);
    EXPECT_EQ(words_->findLetterObject("b"), &words_->_letterObjects[1].object);
    EXPECT_EQ(words_->findLetterObject("x"), nullptr);
    EXPECT_EQ(words_->findLetterObject(""), nullptr);
}

TEST_F(WordsTest, FindsTheWordOfCollectedLetters) {
    load("wTrain wRain wListen wSilent wBook");
    struct Case {
        const char* letters;
        const char* boost;
    };
    const Case cases[] = {
        {"nair", "shield"},          // an anagram of rain, not of train
        {"aainr", "-"},              // train's length, but no t
        {"ntrai", "coinsBig"},
        {"", "-"},
        {"obok", "bookBoost"},       // repeated letters counted
        {"bok", "-"},
        {"bbok", "-"},
        {"silent", "silentBoost"},   // spelled exactly: its own reward, not the earlier anagram's
        {"listen", "listenBoost"},
        {"enlist", "listenBoost"},   // an anagram of both: the first in the list
        {"RAIN", "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letters);
        EXPECT_EQ(boostFor(c.letters), c.boost);
    }
}

TEST_F(WordsTest, RandomWordFavoursAllButTheLast) {
    load("");
    EXPECT_EQ(words_->randomWord(), nullptr);
    load("wTrain wRain");
    motherRandom().seed(7);
    std::map<std::string, int> drawn;
    const int n = 30000;
    for (int i = 0; i < n; ++i)
        if (const WordContainer::Word* w = words_->randomWord())
            ++drawn[w->word];
    EXPECT_NEAR(drawn["train"] / (double)n, 2.0 / 3.0, 0.02);
    EXPECT_NEAR(drawn["rain"] / (double)n, 1.0 / 3.0, 0.02);
}

TEST_F(WordsTest, ShowLettersEnablesExactlyTheLettersOfTheText) {
    load("wTrain");
    FakeProxies proxies;
    words_->showLetters(&proxies, "abca");
    EXPECT_EQ(proxies.calls, (std::vector<std::string>{"letters:obj_a=1", "letters:obj_b=1", "letters:obj_c=1",
                                                       "letters:obj_ab=0"}));
    proxies.calls.clear();
    words_->showLetters(&proxies, "");
    EXPECT_EQ(proxies.calls, (std::vector<std::string>{"letters:obj_a=0", "letters:obj_b=0", "letters:obj_c=0",
                                                       "letters:obj_ab=0"}));
    words_->showLetters(static_cast<FakeProxies*>(nullptr), "abc");  // no proxy container: nothing
}

}  // namespace

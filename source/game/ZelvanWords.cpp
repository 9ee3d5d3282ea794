#include "game/ZelvanWords.h"

#include "engine/ConfigStore.h"
#include "engine/random.h"

namespace Zelvan {

namespace {

// Each character of the word takes one equal character out of a copy of the letters.
bool isAnagram(const std::string& word, const std::string& letters) {
    if (word.size() != letters.size())
        return false;
    std::string left = letters;
    for (char c : word) {
        size_t at = left.find(c);
        if (at == std::string::npos)
            return false;
        left.erase(at, 1);
    }
    return true;
}

}  // namespace

WordContainer::WordContainer() { loadLetterProxy(); }

void WordContainer::loadLetterProxy() {
    _letterProxy = ConfigStore::instance().getString("word.letterProxy", "");
}

void WordContainer::load(const std::string& prefix) {
    const ConfigStore& cfg = ConfigStore::instance();
    const ConfigStore::WordList& pairs = cfg.getList(prefix + ".letterObjects");
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        _letterObjects.push_back({pairs[i], pairs[i + 1]});
    for (const std::string& entry : cfg.getList(prefix + ".words")) {
        Word w;
        w.word = cfg.getString(entry + ".string", "");
        w.boost = cfg.getString(entry + ".boost", "");
        if (!w.word.empty() && !w.boost.empty())
            _words.push_back(std::move(w));
    }
}

const WordContainer::Word* WordContainer::randomWord() const {
    if (_words.empty())
        return nullptr;
    return &_words[(size_t)randomIndex((int32_t)_words.size())];
}

const WordContainer::Word* WordContainer::findWordFor(const std::string& letters) const {
    if (letters.empty())
        return nullptr;
    // The word spelled exactly wins over an anagram earlier in the list: two anagram words may
    // award different boosts, and the player earns the one of the word spelled.
    for (const Word& w : _words)
        if (w.word == letters)
            return &w;
    for (const Word& w : _words)
        if (isAnagram(w.word, letters))
            return &w;
    return nullptr;
}

const std::string* WordContainer::findLetterObject(const std::string& letter) const {
    for (const LetterObject& p : _letterObjects)
        if (p.letter == letter)
            return &p.object;
    return nullptr;
}

bool WordContainer::isLetterShown(const std::string& text, const std::string& letter) {
    return letter.size() == 1 && text.find(letter[0]) != std::string::npos;
}

}  // namespace Zelvan

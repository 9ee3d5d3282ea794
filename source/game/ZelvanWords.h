#pragma once
// The words a player spells by collecting letters during a run, each with the boost it awards,
// and the letter objects of the HUD's letter display (entries of one proxy of the track's proxy
// container) that show which letters are still missing.

#include <string>
#include <vector>

#include "game/actors/ZelvanBoost.h"

namespace Zelvan {

// A boost only so it reads its keys the way boosts do; none of its boost slots is used.
class WordContainer : public Boost {
public:
    struct LetterObject {
        std::string letter;
        std::string object;  // object file name in the letter proxy
    };
    struct Word {
        std::string word;
        std::string boost;  // name of the boost it awards
    };

    static WordContainer* create() { return new WordContainer; }

    // Reads the letter proxy's name from "word.letterProxy".
    WordContainer();

    void loadLetterProxy();
    // Appends the letter objects and the words listed under the prefix; clears nothing.
    void load(const std::string& prefix) override;

    // One word drawn with the shared generator (the last with half the weight of the others), or
    // null without words.
    const Word* randomWord() const;
    // The word spelled by these letters: the word spelled exactly as given when there is one,
    // else the first anagram (same letters, same counts, any order). Null for no letters.
    const Word* findWordFor(const std::string& letters) const;
    // The object of the first pair with exactly this letter, or null.
    const std::string* findLetterObject(const std::string& letter) const;

    // Whether the letter display shows a pair's letter: some single character of the text is it.
    static bool isLetterShown(const std::string& text, const std::string& letter);
    // Enables the letter objects whose letter occurs in the text and disables the others, in the
    // proxy container's letter proxy. Nothing without a proxy container.
    template <class Proxies>
    void showLetters(Proxies* proxies, const std::string& text) const {
        if (!proxies)
            return;
        for (const LetterObject& p : _letterObjects)
            proxies->setObjectEnabled(_letterProxy, p.object, isLetterShown(text, p.letter));
    }

    std::string _letterProxy;
    std::vector<LetterObject> _letterObjects;  // in configuration order
    std::vector<Word> _words;                  // in configuration order
};

}  // namespace Zelvan

#pragma once
// The game's texts in several languages. Every text shown to the player is written in the
// configuration and the pages as a key beginning with "#"; translate gives the current
// language's text for it.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "game/actors/ZelvanBoost.h"

namespace Zelvan {

// A boost only to share the boost's key reading; it is never activated.
class TextContainer : public Boost {
public:
    struct Language {
        std::string name;
        std::vector<std::pair<std::string, std::string>> texts;  // ("#key", text), in file order
    };

    // The one container, made on first use.
    static TextContainer* instance();
    // The container, or null before instance made it.
    static TextContainer* get();
    static void destroyInstance();

    TextContainer() {}
    ~TextContainer() override { clear(); }

    // Appends the languages listed under prefix + ".languages"; the language named by
    // prefix + ".startLanguageName" becomes current, else the first one.
    void load(const std::string& prefix) override;
    void clear();
    // Null for the empty name or a name no language has.
    const Language* findLanguage(const std::string& name) const;
    // A "#" key's text in the current language. Any other text, and a key the language lacks,
    // comes back unchanged, so a missing text shows its key.
    std::string translate(const std::string& text) const;

    std::vector<std::unique_ptr<Language>> _languages;  // in configuration order
    const Language* _current = nullptr;
};

}  // namespace Zelvan

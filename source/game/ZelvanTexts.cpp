#include "game/ZelvanTexts.h"

#include "engine/ConfigStore.h"

namespace Zelvan {

namespace {
TextContainer* s_instance = nullptr;
}

TextContainer* TextContainer::instance() {
    if (!s_instance)
        s_instance = new TextContainer;
    return s_instance;
}

TextContainer* TextContainer::get() { return s_instance; }

void TextContainer::destroyInstance() {
    delete s_instance;
    s_instance = nullptr;
}

void TextContainer::load(const std::string& prefix) {
    const ConfigStore& cfg = ConfigStore::instance();
    const std::string startName = cfg.getString(prefix + ".startLanguageName", "");
    for (const std::string& l : cfg.getList(prefix + ".languages")) {
        auto language = std::make_unique<Language>();
        language->name = cfg.getString(l + ".name", l.c_str());
        for (const std::string& t : cfg.getList(l + ".texts")) {
            std::string key = "#";
            key += cfg.getString(t + ".name", t.c_str());
            language->texts.emplace_back(std::move(key), cfg.getString(t + ".string", ""));
        }
        _languages.push_back(std::move(language));
    }
    _current = findLanguage(startName);
    if (!_current && !_languages.empty())
        _current = _languages.front().get();
}

void TextContainer::clear() {
    _current = nullptr;
    _languages.clear();
}

const TextContainer::Language* TextContainer::findLanguage(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (const auto& l : _languages)
        if (l->name == name)
            return l.get();
    return nullptr;
}

std::string TextContainer::translate(const std::string& text) const {
    if (!_current || text.empty() || text[0] != '#')
        return text;
    for (const auto& entry : _current->texts)
        if (entry.first == text)
            return entry.second;
    return text;
}

}  // namespace Zelvan

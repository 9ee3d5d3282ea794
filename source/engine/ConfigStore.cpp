#include "engine/ConfigStore.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/FileBuffer.h"
#include "engine/file.h"
#include "engine/tokenizer.h"
#include "engine/utils.h"

namespace {

// A number only when the whole text is one: "12abc", "information" and "nan" are words.
bool parseWholeNumber(const std::string& text, float& out) {
    const char* s = text.c_str();
    const char* p = s;
    if (*p == '+' || *p == '-')
        ++p;
    if (!((*p >= '0' && *p <= '9') || *p == '.'))
        return false;
    char* end = nullptr;
    errno = 0;
    float v = std::strtof(s, &end);
    if (end == s || *end != 0 || errno == ERANGE || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool isSection(const std::string& token) {
    return token.size() >= 2 && token.front() == '[' && token.back() == ']';
}

}  // namespace

ConfigStore& ConfigStore::instance() {
    // Never destroyed: texts handed out by getString stay valid until the process ends.
    static ConfigStore* store = new ConfigStore;
    return *store;
}

ConfigStore::ConfigStore() {}

void ConfigStore::resetForTests() {
    _sectionNames.clear();
    _vectors.clear();
    _numbers.clear();
    _texts.clear();
    _flags.clear();
    _wordLists.clear();
    _tuples.clear();
}

void ConfigStore::loadFile(const char* name, const char* password) {
    std::string path;
    File::resolvePath(path, name, StoreRead);
    FileBuffer data;
    if (!data.loadSealed(path.c_str(), password))
        return;
    if (data.size() > UINT32_MAX) {
        Logger::error("[ConfigStore::loadFile] '%s' is too large", name);
        return;
    }
    parse(data.data(), (uint32_t)data.size(), name);
}

void ConfigStore::parse(const void* data, uint32_t size, const char* name) {
    CTokenizer tok;
    tok.OpenMemory(data, size, CTokenizer::FlagComments | CTokenizer::FlagQuotes | CTokenizer::FlagKeepQuotes);
    std::string section;
    try {
        while (const char* t = tok.Next(0)) {
            std::string token = t;
            if (isSection(token)) {
                section = token.substr(1, token.size() - 2);
                _sectionNames.push_back(section);
                continue;
            }
            std::string key = section.empty() ? token : section + "." + token;
            tok.Skip("=");
            std::string value = tok.NextToken();

            if (value[0] == '(') {
                float f[10];
                int n = std::sscanf(value.c_str(), "(%f,%f,%f,%f,%f,%f,%f,%f,%f,%f)", &f[0], &f[1], &f[2], &f[3],
                                    &f[4], &f[5], &f[6], &f[7], &f[8], &f[9]);
                if (n < 0)
                    n = 0;
                _tuples.emplace(key, std::vector<float>(f, f + n));
            } else if (value[0] == '{') {
                WordList items;
                for (;;) {
                    std::string item = tok.NextToken();
                    if (item[0] == '}')
                        break;
                    items.push_back(item);
                }
                float v[3];
                if (items.size() == 3 && parseWholeNumber(items[0], v[0]) && parseWholeNumber(items[1], v[1]) &&
                    parseWholeNumber(items[2], v[2]))
                    _vectors.emplace(key, Vector3(v[0], v[1], v[2]));
                _wordLists.emplace(key, std::move(items));
            } else if (value.compare(0, 4, "true") == 0) {
                _flags.emplace(key, true);
            } else if (value.compare(0, 5, "false") == 0) {
                _flags.emplace(key, false);
            } else {
                float number;
                if (parseWholeNumber(value, number)) {
                    _numbers.emplace(key, number);
                } else if (value[0] == '"') {
                    size_t close = value.find('"', 1);
                    _texts.emplace(key, value.substr(1, close == std::string::npos ? std::string::npos : close - 1));
                } else {
                    _texts.emplace(key, value);
                }
            }
        }
    } catch (const CTokenizerException&) {
        // The tokenizer has logged what went wrong; say where, and keep what was read.
        Logger::error("[ConfigStore::loadFile] reading of '%s' stopped; earlier values kept", name ? name : "");
    }
    tok.Close();
}

float ConfigStore::getFloat(std::string_view key, float defaultValue) const {
    auto it = _numbers.find(key);
    return it == _numbers.end() ? defaultValue : it->second;
}

const char* ConfigStore::getString(std::string_view key, const char* defaultValue) const {
    auto it = _texts.find(key);
    return it == _texts.end() ? defaultValue : it->second.c_str();
}

bool ConfigStore::getBool(std::string_view key, bool defaultValue) const {
    auto it = _flags.find(key);
    return it == _flags.end() ? defaultValue : it->second;
}

const ConfigStore::WordList& ConfigStore::getList(std::string_view key) const {
    auto it = _wordLists.find(key);
    return it == _wordLists.end() ? _emptyList : it->second;
}

Vector3 ConfigStore::getVector3(std::string_view key, const Vector3& defaultValue) const {
    auto it = _vectors.find(key);
    return it == _vectors.end() ? defaultValue : it->second;
}

void ConfigStore::loadMainFile(const char* name) {
    loadFile(name, "");
    std::string folder(name ? name : "");
    const size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    // Copied: loading may grow the store's lists.
    const WordList files = getList("config.files");
    for (const std::string& f : files)
        loadFile((folder + f).c_str(), "");
}

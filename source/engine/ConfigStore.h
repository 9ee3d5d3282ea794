#pragma once
// The one global store of the game's tuning: configuration texts (plain or sealed) read into
// typed maps under dotted keys. The first value given for a key, per kind, stays.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/math.h"

class ConfigStore {
public:
    typedef std::vector<std::string> WordList;

    static ConfigStore& instance();

    ConfigStore();
    ConfigStore(const ConfigStore&) = delete;
    ConfigStore& operator=(const ConfigStore&) = delete;

    // Reads one configuration file of the read store and adds its values.
    void loadFile(const char* name, const char* password);
    // Reads the main configuration file, then every file its "config.files" list names, in
    // order, from the same folder (plain files; a key keeps the first value it is given).
    void loadMainFile(const char* name);

    float getFloat(std::string_view key, float defaultValue) const;
    // The stored text stays valid as long as the store lives.
    const char* getString(std::string_view key, const char* defaultValue) const;
    bool getBool(std::string_view key, bool defaultValue) const;
    // The empty list when the key holds no list.
    const WordList& getList(std::string_view key) const;
    Vector3 getVector3(std::string_view key, const Vector3& defaultValue) const;

    const std::vector<std::string>& sectionNames() const { return _sectionNames; }

    // Tests only: forget every value, as at a fresh start.
    void resetForTests();

private:
    void parse(const void* data, uint32_t size, const char* name);

    std::vector<std::string> _sectionNames;
    WordList _emptyList;
    std::map<std::string, Vector3, std::less<>> _vectors;
    std::map<std::string, float, std::less<>> _numbers;
    std::map<std::string, std::string, std::less<>> _texts;
    std::map<std::string, bool, std::less<>> _flags;
    std::map<std::string, WordList, std::less<>> _wordLists;
    std::map<std::string, std::vector<float>, std::less<>> _tuples;
};

#include "engine/KeyValueStore.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/file.h"
#include "engine/utils.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Cache;

Cache& cache() {
    static Cache entries;
    return entries;
}

std::string* cached(const char* key) {
    for (auto& entry : cache())
        if (entry.first == key)
            return &entry.second;
    return nullptr;
}

const size_t kMaxReadLength = 1023;

}  // namespace

void st_SetValue(const char* key, const char* value) {
    if (!key || !*key) {
        Logger::error("[st_SetValue] Failed. Key: '%s' Value: '%s'", key ? key : "", value ? value : "");
        return;
    }
    if (!value)
        value = "";
    File file;
    if (!file.open(key, "wt", StoreWrite, 0)) {
        Logger::error("[st_SetValue] Failed. Key: '%s' Value: '%s'", key, value);
        return;
    }
    size_t length = std::strlen(value);
    bool written = file.write(value, length) == length && std::fflush(file.handle()) == 0;
    file.close();
    if (!written) {
        Logger::error("[st_SetValue] Failed. Key: '%s' Value: '%s'", key, value);
        return;
    }
    if (std::string* entry = cached(key))
        *entry = value;
    else
        cache().emplace_back(key, value);
}

void st_GetValue(const char* key, std::string& out, const char* defaultText) {
    if (key && *key) {
        if (const std::string* entry = cached(key)) {
            out = *entry;
            return;
        }
        File file;
        // A key never written has no file: that is the normal first-run case, not an error.
        if (file.open(key, "rt", StoreWrite, 0)) {
            std::string text;
            int c;
            while (text.size() < kMaxReadLength && (c = std::fgetc(file.handle())) != EOF)
                text += (char)c;
            file.close();
            cache().emplace_back(key, text);
            out = text;
            return;
        }
    }
    out = defaultText ? defaultText : "";
}

void st_SetFloat(const char* key, float x) {
    char text[512];
    std::snprintf(text, sizeof(text), "%.12f", x);
    st_SetValue(key, text);
}

float st_GetFloat(const char* key, float defaultValue) {
    char defaultText[512];
    std::snprintf(defaultText, sizeof(defaultText), "%.12f", defaultValue);
    std::string text;
    st_GetValue(key, text, defaultText);
    float value = defaultValue;
    std::sscanf(text.c_str(), "%f", &value);
    return value;
}

void st_ResetCacheForTests() { cache().clear(); }

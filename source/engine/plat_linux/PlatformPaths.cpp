#include "engine/plat_linux/PlatformPaths.h"
#include "engine/platform_social.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unistd.h>

namespace platform {
namespace {

struct State {
    std::string bundle;
    std::string documents;
    std::string preferences;
    bool defaultsLoaded = false;
    std::map<std::string, std::string> defaults;
    std::mutex lock;
};

State* makeState() {
    State* s = new State();
    const char* content = std::getenv("ZELVAN_CONTENT_DIR");
    s->bundle = content && *content ? content : "content";
    const char* docs = std::getenv("ZELVAN_DOCUMENTS_DIR");
    s->documents = docs && *docs ? docs : "documents";
    return s;
}

// Made once on first use (thread-safe) and kept for the whole process, so paths stay valid
// for code that runs during static destruction.
State& state() {
    static State* s = makeState();
    return *s;
}

std::string defaultsFile(State& s) {
    const std::string& dir = s.preferences.empty() ? s.documents : s.preferences;
    return dir + "/.userdefaults";
}

// One "key=value" line a default; values hold no line ends.
void loadDefaults(State& s) {
    if (s.defaultsLoaded)
        return;
    s.defaultsLoaded = true;
    s.defaults.clear();
    FILE* f = std::fopen(defaultsFile(s).c_str(), "rb");
    if (!f)
        return;
    char line[4096];
    while (std::fgets(line, sizeof(line), f)) {
        size_t len = std::strlen(line);
        while (len && (line[len - 1] == '\n' || line[len - 1] == '\r'))
            line[--len] = 0;
        char* eq = std::strchr(line, '=');
        if (!eq)
            continue;
        *eq = 0;
        s.defaults[line] = eq + 1;
    }
    std::fclose(f);
}

// Written to a temporary file first and renamed over the real one only when every byte reached
// the disk: a full disk or a failed write keeps the previous file whole.
void saveDefaults(State& s) {
    std::string path = defaultsFile(s);
    std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "[platform] cannot write user defaults '%s': %s\n", tmp.c_str(), std::strerror(errno));
        return;
    }
    bool ok = true;
    for (auto& kv : s.defaults) {
        if (std::fprintf(f, "%s=%s\n", kv.first.c_str(), kv.second.c_str()) < 0) {
            ok = false;
            break;
        }
    }
    int error = 0;
    if (ok && std::fflush(f) != 0)
        ok = false;
    // A folder or device that cannot sync still holds what was written.
    if (ok && fsync(fileno(f)) != 0 && errno != EINVAL && errno != EROFS)
        ok = false;
    if (!ok || std::ferror(f))
        ok = false;
    if (!ok)
        error = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        std::fprintf(stderr, "[platform] user defaults not saved, '%s' kept: %s\n", path.c_str(),
                     std::strerror(error ? error : EIO));
        std::remove(tmp.c_str());
        return;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "[platform] user defaults not saved, '%s' kept: %s\n", path.c_str(), std::strerror(errno));
        std::remove(tmp.c_str());
    }
}

bool lookup(const char* key, std::string& value) {
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    loadDefaults(s);
    auto it = s.defaults.find(key ? key : "");
    if (it == s.defaults.end())
        return false;
    value = it->second;
    return true;
}

}  // namespace

void setBundlePath(const std::string& path) { state().bundle = path; }
const std::string& bundlePath() { return state().bundle; }

void setDocumentsPath(const std::string& path) {
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.documents = path;
    s.defaultsLoaded = false;
}
const std::string& documentsPath() { return state().documents; }

void setPreferencesPath(const std::string& path) {
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.preferences = path;
    s.defaultsLoaded = false;
}

void reloadUserDefaults() {
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.defaultsLoaded = false;
}

void setUserDefault(const std::string& key, const std::string& value) {
    // One "key=value" line a default: a key with '=' or a line end, or a value with a line end,
    // would read back as other keys, so it is refused.
    if (key.empty() || key.find_first_of("=\r\n") != std::string::npos ||
        value.find_first_of("\r\n") != std::string::npos) {
        std::fprintf(stderr, "[platform::setUserDefault] refused key '%s': '=' or line end in key or value\n",
                     key.c_str());
        return;
    }
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    loadDefaults(s);
    s.defaults[key] = value;
    saveDefaults(s);
}

void removeUserDefault(const std::string& key) {
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    loadDefaults(s);
    s.defaults.erase(key);
    saveDefaults(s);
}

}  // namespace platform

void getBundleDataPath(std::string& out, const char* name) {
    out = platform::bundlePath() + "/data/" + (name ? name : "");
}

void getDocumentsPath(std::string& out, const char* name) {
    out = platform::documentsPath() + "/" + (name ? name : "");
}

// Booleans are stored as text as the platform does: "1"/"true"/"yes" read as true.
bool getUserDefaultBool(const char* key) {
    std::string v;
    if (!platform::lookup(key, v))
        return false;
    if (v == "true" || v == "YES" || v == "yes")
        return true;
    return std::atof(v.c_str()) != 0.0;
}

int getUserDefaultInt(const char* key, int) {
    // The stored integer counts only when the key also reads as a true boolean; otherwise 0.
    if (!getUserDefaultBool(key))
        return 0;
    std::string v;
    platform::lookup(key, v);
    if (v == "true" || v == "YES" || v == "yes")
        return 1;
    return std::atoi(v.c_str());
}

float getUserDefaultFloat(const char* key, float defaultValue) {
    std::string v;
    if (!platform::lookup(key, v))
        return defaultValue;
    return (float)std::atof(v.c_str());
}

namespace platform {

bool getUserDefaultString(const std::string& key, std::string& value) { return lookup(key.c_str(), value); }

}  // namespace platform

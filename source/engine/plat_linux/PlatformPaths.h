#pragma once
// Linux stand-in for the platform's bundle and documents paths and its user defaults.
// The bundle is the content folder; the documents folder is any writable folder.
// Both are settable so the desktop host and the tests can point them where they need.

#include <string>

namespace platform {

// The folder whose "data/" sub-folder holds the read-only game content.
void setBundlePath(const std::string& path);
const std::string& bundlePath();

// The folder the game writes to (profile, key/value files, downloads, the "data/" override).
void setDocumentsPath(const std::string& path);
const std::string& documentsPath();

// The folder holding the user-defaults file; defaults to the documents folder.
void setPreferencesPath(const std::string& path);

// Drops the cached user defaults so the next read loads the file again.
void reloadUserDefaults();
void setUserDefault(const std::string& key, const std::string& value);
void removeUserDefault(const std::string& key);

}  // namespace platform

// out = bundle path + "/data/" + name (the file need not exist).
void getBundleDataPath(std::string& out, const char* name);
// out = documents path + "/" + name.
void getDocumentsPath(std::string& out, const char* name);

bool getUserDefaultBool(const char* key);
int getUserDefaultInt(const char* key, int defaultValue);
float getUserDefaultFloat(const char* key, float defaultValue);

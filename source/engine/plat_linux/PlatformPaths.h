#pragma once
// Linux stand-in for the platform's bundle and documents paths and its user defaults (the
// services themselves are declared in engine/platform.h). The bundle is the content folder; the
// documents folder is any writable folder. Both are settable so the desktop host and the tests
// can point them where they need.

#include <string>

#include "engine/platform.h"

namespace platform {

void setBundlePath(const std::string& path);
void setDocumentsPath(const std::string& path);

// The folder holding the user-defaults file; defaults to the documents folder.
void setPreferencesPath(const std::string& path);

// Drops the cached user defaults so the next read loads the file again.
void reloadUserDefaults();

}  // namespace platform

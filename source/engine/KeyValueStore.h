#pragma once
// Named text values that survive restarts: one file per key in the documents folder, its whole
// content the value, read through a program-wide cache.

#include <string>

void st_SetValue(const char* key, const char* value);
// out = the stored text, or defaultText when the key has no file (nothing is cached then).
void st_GetValue(const char* key, std::string& out, const char* defaultText);
// Stored as text written with "%.12f".
void st_SetFloat(const char* key, float x);
float st_GetFloat(const char* key, float defaultValue);

// Tests only: drop the cache, as at a restart.
void st_ResetCacheForTests();

#pragma once
// Reading an actor's keys: each reader looks up prefix + key and leaves the field as it is when
// the store has no value, so a class reads its shared section first and the object's own
// section second, and the object's values win.

#include <string>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/math.h"
#include "game/actors/ZelvanBoost.h"

namespace Zelvan {
namespace actorkeys {

inline std::string key(const std::string& prefix, const char* name) { return prefix + name; }

inline void readFloat(const std::string& prefix, const char* name, float& field) {
    field = ConfigStore::instance().getFloat(key(prefix, name), field);
}

// A number truncated towards zero, clamped into the integer range first.
inline void readInt(const std::string& prefix, const char* name, int32_t& field) {
    field = floatToInt32(ConfigStore::instance().getFloat(key(prefix, name), (float)field));
}

inline void readBool(const std::string& prefix, const char* name, bool& field) {
    field = ConfigStore::instance().getBool(key(prefix, name), field);
}

inline void readString(const std::string& prefix, const char* name, std::string& field) {
    if (const char* text = ConfigStore::instance().getString(key(prefix, name), nullptr))
        field = text;
}

inline void readVector3(const std::string& prefix, const char* name, Vector3& field) {
    field = ConfigStore::instance().getVector3(key(prefix, name), field);
}

// The text of the key, or null when it has none.
inline const char* findString(const std::string& prefix, const char* name) {
    return ConfigStore::instance().getString(key(prefix, name), nullptr);
}

}  // namespace actorkeys
}  // namespace Zelvan

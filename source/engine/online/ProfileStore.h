#pragma once
// The player's profile file ("player.profile" in the documents folder): a sealed container whose
// plain content is the profile magic followed by a chunk map. The store holds the chunk map in
// memory with the registry of chunk owners; the social platform owns one and forwards its profile
// operations to it.
//
// Saving never damages the file on disk: the new content is written beside it, flushed and renamed
// over it. A file that cannot be read at load (a damaged container, or content under another
// password) is moved aside to "<path>.damaged" before any save can replace it.
//
// One lock covers the chunk data, the registry and both file operations, so a save started from a
// network thread never runs beside a save of the main thread. Owners are called under that lock.

#include <mutex>
#include <string>
#include <utility>

#include "engine/online/ProfileChunk.h"

class ProfileStore {
public:
    ProfileStore();
    // Frees the chunk data; chunk owners are never deleted here (owned ones go with unregisterChunk).
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    // The file's full path, the magic at the head of the plain content and the container's password.
    // With an empty path nothing is read or written.
    void setFile(const std::string& path, const std::string& magic, const std::string& password);
    const std::string& path() const { return _path; }

    // Unregisters `name` first, then registers the owner; once the profile has been loaded the owner
    // is handed its chunk at once. An owned chunk is deleted when its registration goes.
    void registerChunk(const std::string& name, IProfileChunk* chunk, bool owned);
    void unregisterChunk(const std::string& name);

    // Reads the file and hands every registered owner its chunk, in name order; then marks the
    // profile loaded. A missing file leaves the chunk data as it was.
    void loadProfile();
    // Asks every owner for its chunk and replaces the file. False when the file was not written.
    bool saveProfile();

    bool loaded() const { return _loaded; }
    void setLoaded(bool loaded) { _loaded = loaded; }

    // The "fbaccess" mark: "1" once a Facebook login completed on this device.
    std::string accessMark() const;
    void setAccessMark(const std::string& mark);

    // The chunks in memory (every chunk read from the file and every chunk written since). Hold
    // lock() while using it when a network thread may save at the same time.
    ProfileChunkMap& chunkData() { return _chunks; }
    std::recursive_mutex& lock() { return _lock; }

private:
    bool readFile(ProfileChunkMap& into, bool& replace);

    mutable std::recursive_mutex _lock;
    std::string _path, _magic, _password;
    ProfileChunkMap _chunks;
    std::map<std::string, std::pair<bool, IProfileChunk*>> _registry;
    bool _loaded = false;
    std::string _accessMark;
};

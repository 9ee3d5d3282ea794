#pragma once
// The profile file's building blocks: chunk owners, the chunk map and its byte layout.
//
// A chunk map is an ordered list of named byte blocks:
//   u16 count, then per chunk in byte order of the names:
//   u16 name length, name bytes, u64 data size (low word first), data bytes.
// Every read takes what remains, so short or missing data never fails: a count, length or size
// that cannot be read whole is 0, a name or block cut short keeps the bytes that are there.

#include <map>
#include <string>

#include "engine/FileBuffer.h"

// Something that keeps part of the player's state in a chunk of the profile file.
class IProfileChunk {
public:
    virtual ~IProfileChunk() {}
    // Writes the state into `buffer`, which arrives empty with its cursor at 0.
    virtual void onSave(const std::string& name, FileBuffer& buffer) = 0;
    // Reads the state from `buffer` (cursor at 0). The buffer may be empty: keep or set defaults.
    virtual void onLoad(const std::string& name, FileBuffer& buffer) = 0;
    // After a save: `written` tells whether the file now holds what onSave wrote. Owners that
    // keep something outside the file in step with it (the keychain) update it here, once the
    // file is in place.
    virtual void onSaved(const std::string& name, bool written) {
        (void)name;
        (void)written;
    }
};

// Chunk name -> bytes, in byte order of the names (a shorter name before a longer one that begins
// with it). Owns its buffers.
class ProfileChunkMap {
public:
    typedef std::map<std::string, FileBuffer> Entries;

    // The buffer of that name, created empty when absent.
    FileBuffer& get(const std::string& name) { return _entries[name]; }
    // The buffer of that name, or null.
    FileBuffer* find(const std::string& name);
    const FileBuffer* find(const std::string& name) const;
    bool contains(const std::string& name) const { return _entries.count(name) != 0; }
    size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }
    void clear() { _entries.clear(); }
    void erase(const std::string& name) { _entries.erase(name); }

    Entries::iterator begin() { return _entries.begin(); }
    Entries::iterator end() { return _entries.end(); }
    Entries::const_iterator begin() const { return _entries.begin(); }
    Entries::const_iterator end() const { return _entries.end(); }

    // Appends the map at the buffer's cursor; each chunk's whole data is written, whatever its cursor.
    static void write(FileBuffer& buffer, const ProfileChunkMap& map);
    // Reads a map from the buffer's cursor into `map`. A name that occurs twice ends with both data
    // blocks, the first one first. Every chunk read has its cursor at 0.
    static void read(ProfileChunkMap& map, FileBuffer& buffer);

private:
    Entries _entries;
};

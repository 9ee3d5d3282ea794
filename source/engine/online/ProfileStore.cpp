#include "engine/online/ProfileStore.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/online/SafeFiles.h"
#include "engine/utils.h"

namespace {
const char* const kAccessChunk = "fbaccess";
}

ProfileStore::ProfileStore() {
    // Before any file is named, the chunk data holds only the empty access mark.
    _chunks.get(kAccessChunk);
}

ProfileStore::~ProfileStore() {}

void ProfileStore::setFile(const std::string& path, const std::string& magic, const std::string& password) {
    std::lock_guard<std::recursive_mutex> guard(_lock);
    _path = path;
    _magic = magic;
    _password = password;
}

void ProfileStore::registerChunk(const std::string& name, IProfileChunk* chunk, bool owned) {
    std::lock_guard<std::recursive_mutex> guard(_lock);
    unregisterChunk(name);
    _registry[name] = std::make_pair(owned, chunk);
    if (_loaded && chunk) {
        FileBuffer& buffer = _chunks.get(name);
        buffer.seek(0, 0);
        chunk->onLoad(name, buffer);
    }
}

void ProfileStore::unregisterChunk(const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(_lock);
    auto it = _registry.find(name);
    if (it == _registry.end())
        return;
    std::pair<bool, IProfileChunk*> entry = it->second;
    _registry.erase(it);
    if (entry.first)
        delete entry.second;
}

std::string ProfileStore::accessMark() const {
    std::lock_guard<std::recursive_mutex> guard(_lock);
    return _accessMark;
}

void ProfileStore::setAccessMark(const std::string& mark) {
    std::lock_guard<std::recursive_mutex> guard(_lock);
    _accessMark = mark;
}

// Reads the file into `into`. `replace` tells whether its chunk map is to replace the chunk data
// (the content began with the magic). A file that is there but cannot be understood is moved aside.
bool ProfileStore::readFile(ProfileChunkMap& into, bool& replace) {
    replace = false;
    if (!_path.empty()) {
        // A save killed between writing and renaming leaves its temporary file; the real file is intact.
        if (::unlink(durableTempPath(_path).c_str()) == 0)
            Logger::message("[ProfileStore::loadProfile] dropped an unfinished save of '%s'", _path.c_str());
    }
    struct stat st;
    const bool exists = !_path.empty() && ::stat(_path.c_str(), &st) == 0;
    const int statError = exists ? 0 : errno;
    const bool isFile = exists && S_ISREG(st.st_mode);

    // No file is a first start, not an error: nothing to read and nothing to report.
    if (!_path.empty() && !exists && statError == ENOENT)
        return false;
    FileBuffer content;
    if (!content.loadSealed(_path.c_str(), _password.c_str())) {
        if (isFile)
            moveFileAside(_path);
        return false;
    }
    uint64_t compare = _magic.size() < content.size() ? _magic.size() : content.size();
    if (compare > 0 && std::memcmp(content.data(), _magic.data(), (size_t)compare) != 0) {
        Logger::error("[ProfileStore::loadProfile] '%s' is no profile of this game (or sealed with another password)",
                      _path.c_str());
        if (isFile)
            moveFileAside(_path);
        return false;
    }
    content.seek(0, (int64_t)compare);
    ProfileChunkMap::read(into, content);
    replace = true;
    return true;
}

void ProfileStore::loadProfile() {
    std::lock_guard<std::recursive_mutex> guard(_lock);
    ProfileChunkMap fresh;
    bool replace = false;
    readFile(fresh, replace);
    if (replace)
        _chunks = std::move(fresh);

    FileBuffer& access = _chunks.get(kAccessChunk);
    access.seek(0, 0);
    _accessMark = FileBuffer::readString(access);
    access.seek(0, 0);

    for (auto& entry : _registry) {
        FileBuffer& buffer = _chunks.get(entry.first);
        buffer.seek(0, 0);
        if (entry.second.second)
            entry.second.second->onLoad(entry.first, buffer);
    }
    _loaded = true;
}

bool ProfileStore::saveProfile() {
    std::lock_guard<std::recursive_mutex> guard(_lock);
    FileBuffer& access = _chunks.get(kAccessChunk);
    access.clear();
    FileBuffer::writeString(access, _accessMark);
    access.seek(0, 0);

    for (auto& entry : _registry) {
        FileBuffer& buffer = _chunks.get(entry.first);
        buffer.clear();
        if (entry.second.second)
            entry.second.second->onSave(entry.first, buffer);
    }

    FileBuffer content;
    if (!_magic.empty())
        content.write(_magic.data(), _magic.size());
    ProfileChunkMap::write(content, _chunks);

    bool written = false;
    if (!_path.empty()) {
        std::unique_ptr<FileBuffer> sealed = SealedFile::seal(content, _password.c_str());
        if (sealed)
            written = writeFileDurably(_path, sealed->data(), (size_t)sealed->size());
        else
            Logger::error("[ProfileStore::saveProfile] sealing failed, '%s' not written", _path.c_str());
    }
    for (auto& entry : _registry)
        if (entry.second.second)
            entry.second.second->onSaved(entry.first, written);
    return written;
}

#include "engine/file.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/platform.h"
#include "engine/utils.h"

static const char* const kFileSource = "source/engine/file";

int File::useDocumentsData = 1;

File::File() {}

File::~File() { close(); }

bool File::binaryMode() const {
    XAssert(_mode[0] != 0 ? 1 : 0, "_mode[0] != 0", kFileSource, 60);
    return _mode[1] == 'b';
}

int File::open(const char* name, const char* mode, int store, int logFailure) {
    size_t ml = mode ? std::strlen(mode) : 0;
    XAssert(ml >= 2 && ml <= 3 ? 1 : 0, "strlen(mode) >= 2 && strlen(mode) <= 3", kFileSource, 96);
    XAssert(mode[0] == 'r' || mode[0] == 'w' || mode[0] == 'a' ? 1 : 0,
            "mode[0] == 'r' || mode[0] == 'w' || mode[0] == 'a'", kFileSource, 97);
    XAssert(mode[1] == 'b' || mode[1] == 't' ? 1 : 0, "mode[1] == 'b' || mode[1] == 't'", kFileSource, 98);
    XAssert(!(store == StoreRead && (mode[0] == 'w' || mode[0] == 'a')) ? 1 : 0,
            "!(store == StoreRead && (mode[0] == 'w' || mode[0] == 'a'))", kFileSource, 99);

    close();
    if (store == StoreAuto)
        store = mode[0] == 'r' ? StoreRead : StoreWrite;
    std::memset(_mode, 0, sizeof(_mode));
    std::memcpy(_mode, mode, ml);

    std::string path;
    if (store == StoreRaw)
        path = name ? name : "";
    else
        resolvePath(path, name, store);

    // glibc ignores 't'; the mode text is handed over as given.
    _handle = std::fopen(path.c_str(), _mode);
    if (_handle) {
        // A folder opens for reading too and measures as an absurd length; a pipe or device has
        // no length at all. Reads are sized by the length, so only regular files are read.
        struct stat st;
        const char* refused = nullptr;
        if (fstat(fileno(_handle), &st) != 0)
            refused = "cannot be examined";
        else if (S_ISDIR(st.st_mode))
            refused = "is a folder";
        else if (mode[0] == 'r' && !S_ISREG(st.st_mode))
            refused = "is no regular file";
        int64_t end = -1;
        if (!refused && fseeko(_handle, 0, SEEK_END) == 0)
            end = (int64_t)ftello(_handle);
        if (!refused && mode[0] == 'r' && (end < 0 || end > (int64_t)UINT32_MAX))
            refused = end < 0 ? "cannot be measured" : "is too large";
        if (!refused) {
            _size = end < 0 ? 0 : end > (int64_t)UINT32_MAX ? UINT32_MAX : (uint32_t)end;
            fseeko(_handle, 0, SEEK_SET);
            return 1;
        }
        std::fclose(_handle);
        _handle = nullptr;
        _mode[0] = 0;
        if (logFailure == 1)
            Logger::error("[File::open] '%s' %s", path.c_str(), refused);
        return 0;
    }
    _mode[0] = 0;
    if (logFailure == 1) {
        char cwd[1024];
        const char* where = getcwd(cwd, sizeof(cwd)) ? cwd : "<unknown>";
        Logger::error("FAILED: cannot open '%s' cwd = '%s'", path.c_str(), where);
    }
    return 0;
}

void File::close() {
    if (_handle) {
        std::fclose(_handle);
        _handle = nullptr;
    }
    _mode[0] = 0;
    _size = 0;
}

void File::resolvePath(std::string& out, const char* name, int store) {
    switch (store) {
    case StoreRaw:
        out = name ? name : "";
        return;
    case StoreRead:
        readStorePath(out, name);
        return;
    case StoreWrite:
        writeStorePath(out, name);
        return;
    default:
        XAssert(0, "!\"ervenytelen store\"", kFileSource, 180);
    }
}

void File::readStorePath(std::string& out, const char* name) {
    if (useDocumentsData) {
        std::string overridePath;
        writeStorePath(overridePath, (std::string("data/") + (name ? name : "")).c_str());
        if (pathExists(overridePath.c_str())) {
            out = overridePath;
            return;
        }
    }
    getBundleDataPath(out, name);
}

void File::writeStorePath(std::string& out, const char* name) { getDocumentsPath(out, name); }

int File::exists(const char* name) {
    std::string path;
    readStorePath(path, name);
    return pathExists(path.c_str());
}

char* File::readLine(char* buffer, int capacity) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    XAssert(!binaryMode() ? 1 : 0, "!binaryMode()", kFileSource, 144);
    // Room for at least one character besides the terminator and the spare byte; a smaller
    // buffer would return empty lines forever without moving through the file.
    if (!buffer || capacity < 3) {
        Logger::error("[File::readLine] buffer too small (capacity = %d)", capacity);
        return nullptr;
    }
    if (!std::fgets(buffer, capacity - 1, _handle))
        return nullptr;
    size_t len = std::strlen(buffer);
    // Only a line end is dropped: a last line without one, or a long line split over several
    // reads, keeps all its characters.
    if (len > 0 && buffer[len - 1] == '\n')
        buffer[len - 1] = 0;
    return buffer;
}

void File::ungetChar(int character) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    XAssert(!binaryMode() ? 1 : 0, "!binaryMode()", kFileSource, 160);
    std::ungetc(character, _handle);
}

int File::readAll(Buffer& buffer, int zeroTerminate) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    XAssert(!binaryMode() ? 1 : 0, "!binaryMode()", kFileSource, 170);
    buffer.Clear();
    // The buffer counts in signed 32 bits: a file it cannot hold is refused before any byte is
    // stored, and the size measured at open is only a hint (the file may have grown since).
    if ((uint64_t)_size + 1 > (uint64_t)INT32_MAX) {
        Logger::error("[File::readAll] file too large (%u bytes)", _size);
        return 0;
    }
    if (!buffer.Reserve((int32_t)_size + 1)) {
        Logger::error("[File::readAll] out of memory (%u bytes)", _size);
        return 0;
    }
    int c;
    while ((c = std::fgetc(_handle)) != EOF) {
        if (!buffer.Append((uint8_t)c))
            return 0;
    }
    if (zeroTerminate == 1 && !buffer.Append(0))
        return 0;
    return 1;
}

long File::tell() {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    XAssert(binaryMode() ? 1 : 0, "binaryMode()", kFileSource, 200);
    return std::ftell(_handle);
}

int File::read(void* destination, size_t count, uint8_t fillByte) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    XAssert(binaryMode() ? 1 : 0, "binaryMode()", kFileSource, 210);
    if (count == 0)
        return 1;
    size_t got = std::fread(destination, 1, count, _handle);
    if (got != count) {
        std::memset(destination, fillByte, count);
        return 0;
    }
    return 1;
}

void File::seek(long offset) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    XAssert(binaryMode() ? 1 : 0, "binaryMode()", kFileSource, 220);
    std::fseek(_handle, offset, SEEK_SET);
}

void File::seekRelative(long offset) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    XAssert(binaryMode() ? 1 : 0, "binaryMode()", kFileSource, 226);
    std::fseek(_handle, offset, SEEK_CUR);
}

int File::eof() {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    long pos = std::ftell(_handle);
    return pos < 0 || (uint64_t)pos >= _size ? 1 : 0;
}

void File::skip(long offset) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    std::fseek(_handle, offset, SEEK_CUR);
}

size_t File::write(const void* data, size_t count) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    return std::fwrite(data, 1, count, _handle);
}

int File::printf(const char* format, ...) {
    XAssert(isOpened() ? 1 : 0, "isOpened()", kFileSource, 143);
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(_handle, format, args);
    va_end(args);
    return n;
}

int pathExists(const char* path) {
    if (!path)
        return 0;
    struct stat st;
    return stat(path, &st) == 0 ? 1 : 0;
}

void dirName(const char* path, std::string& out) {
    out.clear();
    if (!path)
        return;
    const char* a = std::strrchr(path, '/');
    const char* b = std::strrchr(path, '\\');
    const char* cut = a > b ? a : b;
    if (!cut)
        return;
    out.assign(path, (size_t)(cut - path));
}

bool makeDirectories(const std::string& path) {
    if (path.empty())
        return false;
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && !pathExists(partial.c_str()))
                mkdir(partial.c_str(), 0755);
        }
        if (i < path.size())
            partial += path[i];
    }
    return pathExists(path.c_str()) == 1;
}

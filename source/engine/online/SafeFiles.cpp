#include "engine/online/SafeFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/utils.h"

namespace {

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= (size_t)n;
    }
    return true;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string durableTempPath(const std::string& path) { return path + ".tmp"; }

bool writeFileDurably(const std::string& path, const void* data, size_t size) {
    if (path.empty())
        return false;
    const std::string temp = durableTempPath(path);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        Logger::error("[writeFileDurably] can't create '%s': %s", temp.c_str(), std::strerror(errno));
        return false;
    }
    bool ok = writeAll(fd, data, size);
    int err = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        Logger::error("[writeFileDurably] writing '%s' failed: %s", temp.c_str(), std::strerror(err));
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        Logger::error("[writeFileDurably] can't replace '%s': %s", path.c_str(), std::strerror(errno));
        ::unlink(temp.c_str());
        return false;
    }
    // The new name lives in the folder's own data; without this the rename may be lost on a power cut.
    int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        if (::fsync(dir) != 0)
            Logger::error("[writeFileDurably] can't sync the folder of '%s': %s", path.c_str(), std::strerror(errno));
        ::close(dir);
    }
    return true;
}

bool moveFileAside(const std::string& path, std::string* movedTo) {
    const std::string aside = path + ".damaged";
    if (::rename(path.c_str(), aside.c_str()) != 0) {
        Logger::error("[moveFileAside] can't move '%s' aside: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    Logger::error("[moveFileAside] unreadable '%s' kept as '%s'", path.c_str(), aside.c_str());
    if (movedTo)
        *movedTo = aside;
    return true;
}

bool isSafeFileId(const std::string& id) {
    if (id.empty() || id.find("..") != std::string::npos)
        return false;
    for (unsigned char c : id) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
                  c == '_' || c == '.' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

#include "engine/utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace {

struct LoggerState {
    Logger::Sink sinks[Logger::MaxSinks];
    int32_t count;
};

// Zero-initialised static storage: the log works before any constructor has run.
LoggerState g_logger;

struct DefaultFileSink {
    DefaultFileSink() { Logger::addSink(&Logger::fileSink, const_cast<char*>("_debug.log")); }
} g_defaultFileSink;

const char* const kDashes = "-----------------------------------------------------";  // 53

}  // namespace

void Logger::addSink(LogSinkCallback callback, void* key) {
    if (!callback)
        return;
    if (g_logger.count > MaxSinks - 1)
        return;
    for (int i = 0; i < g_logger.count; ++i) {
        if (g_logger.sinks[i].callback == callback && g_logger.sinks[i].key == key)
            return;
    }
    for (int i = 0; i <= g_logger.count && i < MaxSinks; ++i) {
        if (!g_logger.sinks[i].callback) {
            g_logger.sinks[i].callback = callback;
            g_logger.sinks[i].key = key;
            g_logger.sinks[i].firstWrite = 1;
            ++g_logger.count;
            return;
        }
    }
}

int Logger::sinkCount() { return g_logger.count; }
const Logger::Sink& Logger::sink(int index) { return g_logger.sinks[index]; }

void Logger::resetForTests() { std::memset(&g_logger, 0, sizeof(g_logger)); }

void Logger::removeSinkForTests(LogSinkCallback callback, void* key) {
    int kept = 0;
    for (int i = 0; i < g_logger.count; ++i)
        if (g_logger.sinks[i].callback != callback || g_logger.sinks[i].key != key)
            g_logger.sinks[kept++] = g_logger.sinks[i];
    for (int i = kept; i < g_logger.count; ++i)
        g_logger.sinks[i] = Logger::Sink();
    g_logger.count = kept;
}

void Logger::write(const char* line) {
    for (int i = 0; i < g_logger.count; ++i) {
        Sink& s = g_logger.sinks[i];
        if (!s.callback)
            continue;
        s.callback(s.firstWrite, line, s.key);
        s.firstWrite = 0;
    }
}

void Logger::messageV(const char* format, va_list args) {
    char buffer[4096];
    int n = vsnprintf(buffer, 4094, format, args);
    size_t len = n < 0 ? 0 : (n >= 4094 ? 4093 : (size_t)n);
    buffer[len] = '\n';
    buffer[len + 1] = 0;
    write(buffer);
}

void Logger::errorV(const char* format, va_list args) {
    char buffer[4096];
    std::memcpy(buffer, "ERROR: ", 7);
    int n = vsnprintf(buffer + 7, 4087, format, args);
    size_t len = 7 + (n < 0 ? 0 : (n >= 4087 ? 4086 : (size_t)n));
    buffer[len] = '\n';
    buffer[len + 1] = 0;
    write(buffer);
}

void Logger::message(const char* format, ...) {
    va_list args;
    va_start(args, format);
    messageV(format, args);
    va_end(args);
}

void Logger::error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    errorV(format, args);
    va_end(args);
}

void Logger::fileSink(uint8_t firstWrite, const char* line, void* key) {
    if (!key)
        return;
    // "c" (commit) is a glibc no-op but kept for the mode text the log has always used.
    FILE* f = std::fopen(static_cast<const char*>(key), "atc");
    if (!f)
        return;
    time_t now = time(nullptr);
    struct tm lt;
    localtime_r(&now, &lt);
    if (firstWrite) {
        std::fprintf(f, "\n\n%s\n", kDashes);
        std::fprintf(f, "      Naplozas kezdete: %u.%u.%u.  %02u:%02u:%02u\n", (unsigned)(lt.tm_year + 1900),
                     (unsigned)(lt.tm_mon + 1), (unsigned)lt.tm_mday, (unsigned)lt.tm_hour, (unsigned)lt.tm_min,
                     (unsigned)lt.tm_sec);
        std::fprintf(f, "%s\n\n", kDashes);
    }
    std::fprintf(f, "[%02u:%02u:%02u] %s", (unsigned)lt.tm_hour, (unsigned)lt.tm_min, (unsigned)lt.tm_sec, line);
    std::fclose(f);
}

void Logger::stdoutSink(uint8_t, const char* line, void*) {
    for (const char* p = line; *p; ++p)
        std::putchar(*p);
    std::fflush(stdout);
}

int XAssert(int condition, const char* expressionText, const char* sourcePath, int line) {
    if (condition == 1)
        return 0;
    char text[512];
    std::snprintf(text, 511, "ASSERTATION FAILED -> File: %s@%d: %s\n", sourcePath ? sourcePath : "",
                  line, expressionText ? expressionText : "");
    Logger::error("XASSERT: %s", text);
    std::fflush(nullptr);
    std::abort();
}

void formatStringV(std::string& out, const char* format, va_list args) {
    char block[512];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(block, sizeof(block), format, copy);
    va_end(copy);
    if (n < 0) {
        out.clear();
        return;
    }
    if (n < (int)sizeof(block)) {
        out.assign(block, (size_t)n);
        return;
    }
    std::string big((size_t)n + 1, '\0');
    vsnprintf(&big[0], big.size(), format, args);
    big.resize((size_t)n);
    out.swap(big);
}

void formatString(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatStringV(out, format, args);
    va_end(args);
}

std::string formatString(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    formatStringV(out, format, args);
    va_end(args);
    return out;
}

const char* formatTemp(const char* format, ...) {
    static char buffer[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return buffer;
}

Buffer::Buffer(int32_t cap) {
    if (cap > 0)
        SetCapacity(cap < 128 ? 128 : cap);
}

Buffer::~Buffer() { std::free(data); }

bool Buffer::SetCapacity(int32_t cap) {
    if (cap < 0)
        cap = 0;
    if (cap == 0) {
        std::free(data);
        data = nullptr;
        size = 0;
        capacity = 0;
        return true;
    }
    void* block = std::realloc(data, (size_t)cap);
    if (!block) {
        Logger::error("[Buffer::SetCapacity] realloc() failed. (capacity = %u)", (unsigned)cap);
        // Never leave a dangling or null block behind a non-zero size: callers write through data.
        std::free(data);
        data = nullptr;
        size = 0;
        capacity = 0;
        return false;
    }
    data = static_cast<uint8_t*>(block);
    capacity = cap;
    if (size > capacity)
        size = capacity;
    return true;
}

bool Buffer::grow(int32_t needed, int32_t step) {
    if (needed < 0)
        return false;
    if (capacity >= needed)
        return true;
    int64_t cap = capacity;
    while (cap < needed) {
        cap = (int64_t)(cap * 1.5) + step;
        if (step <= 0)
            cap = needed;
    }
    if (cap > INT32_MAX)
        cap = needed;
    return SetCapacity((int32_t)cap);
}

bool Buffer::Resize(int32_t n) {
    if (n < 0)
        return false;
    if (!grow(n, n - size > 0 ? n - size : 1))
        return false;
    size = n;
    return true;
}

bool Buffer::Reserve(int32_t n) { return grow(n, n - size > 0 ? n - size : 1); }

bool Buffer::Append(uint8_t byte) {
    if (size == capacity) {
        if (size == INT32_MAX || !grow(size + 1, 1))
            return false;
    }
    data[size++] = byte;
    return true;
}

int startsWith(const char* text, const char* prefix) {
    if (!prefix || !*prefix || !text || !*text)
        return 0;
    size_t pl = std::strlen(prefix);
    if (pl > std::strlen(text))
        return 0;
    return std::strncmp(text, prefix, pl) == 0 ? 1 : 0;
}

int startsWith(const std::string& text, const char* prefix) { return startsWith(text.c_str(), prefix); }

int endsWith(const char* text, const char* suffix) {
    if (!suffix || !*suffix || !text)
        return 0;
    size_t sl = std::strlen(suffix), tl = std::strlen(text);
    if (sl > tl)
        return 0;
    return std::strcmp(text + tl - sl, suffix) == 0 ? 1 : 0;
}

int endsWith(const std::string& text, const char* suffix) { return endsWith(text.c_str(), suffix); }

uint32_t colorWithAlpha(float alpha, uint32_t colour) {
    XAssert(alpha >= 0 && alpha <= 1 ? 1 : 0, "a >= 0 && a <= 1", "source/engine/utils", 599);
    uint32_t r = (uint32_t)(alpha * (float)(colour & 0xff));
    uint32_t g = (uint32_t)(alpha * (float)((colour >> 8) & 0xff));
    uint32_t b = (uint32_t)(alpha * (float)((colour >> 16) & 0xff));
    uint32_t a = (uint32_t)(alpha * 255.0f);
    return r | (g << 8) | (b << 16) | (a << 24);
}

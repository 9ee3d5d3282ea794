#pragma once
// Logging, assertions, formatting, the growable byte buffer and small text/colour helpers.

#include <cstdarg>
#include <cstdint>
#include <string>

typedef void (*LogSinkCallback)(uint8_t firstWrite, const char* line, void* key);

class Logger {
public:
    enum { MaxSinks = 16 };

    struct Sink {
        LogSinkCallback callback;
        void* key;
        uint8_t firstWrite;
    };

    static void addSink(LogSinkCallback callback, void* key);
    static void message(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void error(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void messageV(const char* format, va_list args);
    static void errorV(const char* format, va_list args);

    static void fileSink(uint8_t firstWrite, const char* line, void* key);
    static void stdoutSink(uint8_t firstWrite, const char* line, void* key);

    // Sinks registered so far (the file sink for "_debug.log" is registered at program load).
    static int sinkCount();
    static const Sink& sink(int index);

    // Tests only: forget every sink, as at a fresh program start (without the default file sink).
    static void resetForTests();
    // Tests only: forget one sink, the others stay.
    static void removeSinkForTests(LogSinkCallback callback, void* key);

private:
    static void write(const char* line);
};

// The assertion routine behind every invariant check. Returns 0 when the condition holds;
// otherwise logs "ASSERTATION FAILED -> File: %s@%d: %s" and aborts.
int XAssert(int condition, const char* expressionText, const char* sourcePath, int line);

#define XASSERT_AT(cond, path) XAssert((cond) ? 1 : 0, #cond, path, __LINE__)

void formatString(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void formatStringV(std::string& out, const char* format, va_list args);
std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One static 2048-byte buffer; the next call overwrites it. Main thread only.
const char* formatTemp(const char* format, ...) __attribute__((format(printf, 1, 2)));

class Buffer {
public:
    explicit Buffer(int32_t capacity = 0);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // Returns false when the block could not be grown; the buffer is then empty.
    bool Resize(int32_t n);
    bool Append(uint8_t byte);
    bool Reserve(int32_t n);
    bool SetCapacity(int32_t capacity);
    void Clear() { size = 0; }

    uint8_t* data = nullptr;
    int32_t size = 0;
    int32_t capacity = 0;

private:
    bool grow(int32_t needed, int32_t step);
};

int startsWith(const std::string& text, const char* prefix);
int startsWith(const char* text, const char* prefix);
int endsWith(const std::string& text, const char* suffix);
int endsWith(const char* text, const char* suffix);

// Packed colour: red in the low byte, then green, blue, alpha in the top byte.
uint32_t colorWithAlpha(float alpha, uint32_t colour);

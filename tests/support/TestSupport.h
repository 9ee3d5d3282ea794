#pragma once
// Shared test helpers: a temporary folder per test, the sample content folder, small file writers,
// log capture, polling, and a host game object of a chosen size.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/IGame.h"

namespace testsupport {

// A fresh folder under the system's temp dir, removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return _path; }
    std::string file(const std::string& name) const { return _path + "/" + name; }

private:
    std::string _path;
};

// The repository's sample content folder (the bundle root; files live under "data/").
std::string contentDir();

// Points the bundle and the documents folder somewhere for one test and restores them after.
class ScopedStores {
public:
    ScopedStores(const std::string& bundle, const std::string& documents);
    ~ScopedStores();

private:
    std::string _oldBundle, _oldDocuments;
};

void writeFile(const std::string& path, const std::string& bytes);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string readFile(const std::string& path);

// Little-endian writer for binary fixtures.
class ByteWriter {
public:
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void i32(int32_t v) { u32((uint32_t)v); }
    void f32(float v);
    void str16(const std::string& s);  // 16-bit length, then the bytes
    void raw(const void* data, size_t n);
    void raw(const std::string& s) { raw(s.data(), s.size()); }
    std::vector<uint8_t> bytes;
};

// Every log line written while it lives. It adds its own sink and removes only that one at its end:
// the other sinks (a process-wide captureLog, the log file) go on as before.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    // Lines holding text, counted.
    int count(const std::string& text) const;
    bool contains(const std::string& text) const { return count(text) > 0; }
    // Every line, joined.
    std::string all() const;
    // Error lines only ("ERROR: " prefix dropped, trailing newline dropped).
    std::vector<std::string> errors() const;
    void clear() { lines.clear(); }
    std::vector<std::string> lines;  // as written, each with its newline
};

// The other way: every log line from the first captureLog() on, for the rest of the process. Its
// sink stays registered (until Logger::resetForTests drops every sink). Lines beginning with
// echoPrefix also go to stderr, where death tests read them.
void captureLog(const char* echoPrefix = nullptr);
std::vector<std::string>& logLines();
void clearLog();
bool logContains(const std::string& text);

// Sends every log line to stderr as well (death tests match what the child wrote there).
void logToStderr();

// Polls until the test holds or the time runs out; the last answer counts.
bool waitUntil(const std::function<bool()>& test, int timeoutMs = 3000);

// The host's game object with the logical screen size a test chooses (the renderer reads it for
// the screen target). Register it with IGame::setInstance.
class FixedSizeGame : public IGame {
public:
    FixedSizeGame(float w, float h) : width(w), height(h) {}
    float GetWidth() override { return width; }
    float GetHeight() override { return height; }
    float width, height;
};

}  // namespace testsupport

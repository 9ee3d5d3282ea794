#include "TestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/file.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/utils.h"

namespace {

// Every test runs on OpenAL Soft's null back end unless its CTest entry names another (the
// no-device and wave-writer tests do); set before any test opens a device.
const bool kNullAudio = [] { return setenv("ALSOFT_DRIVERS", "null", 0) == 0; }();

}  // namespace

namespace testsupport {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelvan-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    char* made = mkdtemp(buf.data());
    _path = made ? made : tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(_path, ec);
}

std::string contentDir() {
    const char* env = std::getenv("ZELVAN_CONTENT_DIR");
    if (env && *env)
        return env;
    return ZELVAN_CONTENT_DIR_DEFAULT;
}

ScopedStores::ScopedStores(const std::string& bundle, const std::string& documents)
    : _oldBundle(platform::bundlePath()), _oldDocuments(platform::documentsPath()) {
    platform::setBundlePath(bundle);
    platform::setDocumentsPath(documents);
}

ScopedStores::~ScopedStores() {
    platform::setBundlePath(_oldBundle);
    platform::setDocumentsPath(_oldDocuments);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), (std::streamsize)bytes.size());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void ByteWriter::u16(uint16_t v) {
    u8((uint8_t)v);
    u8((uint8_t)(v >> 8));
}

void ByteWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        u8((uint8_t)(v >> (8 * i)));
}

void ByteWriter::f32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    u32(u);
}

void ByteWriter::str16(const std::string& s) {
    u16((uint16_t)s.size());
    raw(s.data(), s.size());
}

void ByteWriter::raw(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
}

namespace {

void captureSink(uint8_t, const char* line, void* key) {
    static_cast<LogCapture*>(key)->lines.push_back(line ? line : "");
}

std::string& echoPrefix() {
    static std::string prefix;
    return prefix;
}

void processSink(uint8_t, const char* line, void*) {
    if (!line)
        line = "";
    logLines().push_back(line);
    if (!echoPrefix().empty() && std::strncmp(line, echoPrefix().c_str(), echoPrefix().size()) == 0)
        std::fputs(line, stderr);
}

void stderrSink(uint8_t, const char* line, void*) { std::fputs(line ? line : "", stderr); }

}  // namespace

// A capture adds and removes only its own sink: a process-wide capture (captureLog) or another
// fixture's sink registered before it keeps receiving lines after it ends.
LogCapture::LogCapture() { Logger::addSink(&captureSink, this); }

LogCapture::~LogCapture() { Logger::removeSinkForTests(&captureSink, this); }

int LogCapture::count(const std::string& text) const {
    int n = 0;
    for (const std::string& l : lines)
        n += l.find(text) != std::string::npos ? 1 : 0;
    return n;
}

std::string LogCapture::all() const {
    std::string out;
    for (const std::string& l : lines)
        out += l;
    return out;
}

std::vector<std::string> LogCapture::errors() const {
    std::vector<std::string> out;
    for (std::string l : lines) {
        if (l.compare(0, 7, "ERROR: ") != 0)
            continue;
        l.erase(0, 7);
        while (!l.empty() && l.back() == '\n')
            l.pop_back();
        out.push_back(l);
    }
    return out;
}

void captureLog(const char* prefix) {
    echoPrefix() = prefix ? prefix : "";
    Logger::addSink(&processSink, nullptr);
}

std::vector<std::string>& logLines() {
    static std::vector<std::string> lines;
    return lines;
}

void clearLog() { logLines().clear(); }

bool logContains(const std::string& text) {
    for (const std::string& l : logLines()) {
        if (l.find(text) != std::string::npos)
            return true;
    }
    return false;
}

void logToStderr() { Logger::addSink(&stderrSink, nullptr); }

bool waitUntil(const std::function<bool()>& test, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (test())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return test();
}

}  // namespace testsupport

#include "support_font.h"

#include "engine/utils.h"

namespace fonttest {

Bundle::Bundle() : _stores(new testsupport::ScopedStores(_bundle.path(), _documents.path())) {}

void Bundle::write(const std::string& name, const std::string& bytes) {
    testsupport::writeFile(_bundle.path() + "/data/" + name, bytes);
}

void Bundle::write(const std::string& name, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_bundle.path() + "/data/" + name, bytes);
}

namespace {
void captureSink(uint8_t, const char* line, void* key) {
    static_cast<LogCapture*>(key)->lines.push_back(line ? line : "");
}
}  // namespace

LogCapture::LogCapture() {
    Logger::resetForTests();
    Logger::addSink(&captureSink, this);
}

LogCapture::~LogCapture() { Logger::resetForTests(); }

bool LogCapture::contains(const std::string& text) const {
    for (const std::string& l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

}  // namespace fonttest

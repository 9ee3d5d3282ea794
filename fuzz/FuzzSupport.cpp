#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "engine/IGame.h"
#include "engine/file.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/render/RecordingRender.h"
#include "engine/utils.h"

namespace fs = std::filesystem;

namespace fuzz {
namespace {

struct Screen : IGame {
    float GetWidth() override { return 800; }
    float GetHeight() override { return 600; }
};

std::string g_root, g_bundle, g_documents;
RecordingRender* g_render = nullptr;

std::string contentDir() {
    const char* env = std::getenv("ZELVAN_CONTENT_DIR");
    return env && *env ? env : ZELVAN_CONTENT_DIR_DEFAULT;
}

// Only the folder this process made; links are removed, never followed.
void removeRoot() {
    if (g_root.empty())
        return;
    std::error_code ec;
    fs::remove_all(g_root, ec);
}

// Every log line to stderr when ZELVAN_FUZZ_LOG is set (to read what an input does), else none.
void stderrSink(uint8_t, const char* line, void*) { std::fputs(line, stderr); }

}  // namespace

void setUp() {
    if (!g_root.empty())
        return;
    setenv("ALSOFT_DRIVERS", "null", 0);
    Logger::resetForTests();
    if (std::getenv("ZELVAN_FUZZ_LOG"))
        Logger::addSink(stderrSink, nullptr);

    std::string tmpl = (fs::temp_directory_path() / "zelvan-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_root = tmpl;
    std::atexit(removeRoot);
    g_bundle = g_root + "/bundle";
    g_documents = g_root + "/documents";
    fs::create_directories(g_bundle + "/data/fuzz");
    fs::create_directories(g_documents);

    // The sample content's folders, linked; sounds are linked file by file into "fuzz/" too, so a
    // sound definition read from there finds the audio files beside it.
    const std::string data = contentDir() + "/data";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(data, ec)) {
        fs::create_symlink(entry.path(), g_bundle + "/data/" + entry.path().filename().string(), ec);
        if (entry.path().filename() == "sounds")
            for (const auto& sound : fs::directory_iterator(entry.path(), ec))
                fs::create_symlink(sound.path(), g_bundle + "/data/fuzz/" + sound.path().filename().string(), ec);
    }

    platform::setBundlePath(g_bundle);
    platform::setDocumentsPath(g_documents);
    platform::setPreferencesPath(g_documents);
    File::useDocumentsData = 0;
    static Screen screen;
    IGame::setInstance(&screen);
}

std::string writeInput(const char* name, const uint8_t* data, size_t size) {
    std::string path = dataPath(std::string("fuzz/") + name);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size && std::fwrite(data, 1, size, f) != size) {
        std::perror(path.c_str());
        std::abort();
    }
    std::fclose(f);
    return std::string("fuzz/") + name;
}

std::string dataPath(const std::string& name) { return g_bundle + "/data/" + name; }
const std::string& bundlePath() { return g_bundle; }
const std::string& documentsPath() { return g_documents; }

void useRecordingRender() {
    if (!g_render)
        g_render = RecordingRender::create();
    g_render->clearCalls();
}

}  // namespace fuzz

// Replays inputs through a fuzz entry without libFuzzer, so the normal test suite (and its
// sanitizer build) runs every seed and every input that ever failed.
//   fuzz_replay --target TARGET [--root DIR] <file, folder or glob>...
// TARGET is one entry of fuzz/targets.txt; every entry is linked into this one program.
// Relative names are taken from DIR (default: the working folder); a folder stands for every file
// below it, in name order; a folder or glob that matches nothing is skipped.
// Prints "replay: N inputs"; a failing input crashes the process (sanitizer report,
// abort), and the last "replay: <file>" line on stderr names it.

#include <glob.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ReplayEntries.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::string root;
    const ReplayEntry* entry = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--root" && i + 1 < argc) {
            root = argv[++i];
            continue;
        }
        if (std::string(argv[i]) == "--target" && i + 1 < argc) {
            const std::string name = argv[++i];
            for (entry = kReplayEntries; entry->name && name != entry->name; ++entry) {
            }
            if (!entry->name) {
                std::fprintf(stderr, "replay: unknown target '%s'\n", name.c_str());
                return 2;
            }
            continue;
        }
        std::string arg = argv[i];
        if (!root.empty() && arg[0] != '/')
            arg = root + "/" + arg;
        if (arg.find_first_of("*?[") == std::string::npos) {
            args.push_back(arg);
            continue;
        }
        glob_t found;
        if (glob(arg.c_str(), 0, nullptr, &found) == 0)
            for (size_t k = 0; k < found.gl_pathc; ++k)
                args.push_back(found.gl_pathv[k]);
        globfree(&found);
    }
    if (!entry) {
        std::fprintf(stderr, "replay: no --target given\n");
        return 2;
    }
    std::vector<std::string> files;
    for (const std::string& name : args) {
        std::error_code ec;
        fs::path arg(name);
        if (fs::is_directory(arg, ec)) {
            std::vector<std::string> found;
            for (const auto& e : fs::recursive_directory_iterator(arg, ec))
                if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                    found.push_back(e.path().string());
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg.string());
        }
    }
    int count = 0;
    for (const std::string& name : files) {
        std::ifstream in(name, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay: %s\n", name.c_str());
        // A copy of exactly the input's size, so reads past the end are caught as with libFuzzer.
        uint8_t* copy = new uint8_t[bytes.size() ? bytes.size() : 1];
        std::copy(bytes.begin(), bytes.end(), copy);
        entry->run(copy, bytes.size());
        delete[] copy;
        ++count;
    }
    std::printf("replay: %d inputs\n", count);
    return 0;
}

// The content tool: writes the binary files of the sample content.
//   zelvan_content write <data folder>   writes every file (folders are made as needed)
//   zelvan_content check <data folder>   exit status 1 when a file is missing or differs

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "writer/ContentWriter.h"

namespace fs = std::filesystem;

static int writeAll(const std::string& root) {
    for (const contentwriter::ContentFile& f : contentwriter::demoContent()) {
        fs::path p = fs::path(root) / f.path;
        std::error_code ec;
        fs::create_directories(p.parent_path(), ec);
        std::ofstream out(p, std::ios::binary);
        out.write((const char*)f.bytes.data(), (std::streamsize)f.bytes.size());
        if (!out) {
            std::fprintf(stderr, "zelvan_content: cannot write %s\n", p.string().c_str());
            return 1;
        }
    }
    return 0;
}

static int checkAll(const std::string& root) {
    int bad = 0;
    for (const contentwriter::ContentFile& f : contentwriter::demoContent()) {
        fs::path p = fs::path(root) / f.path;
        std::ifstream in(p, std::ios::binary);
        std::string have((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "zelvan_content: missing %s\n", p.string().c_str());
            ++bad;
            continue;
        }
        if (have.size() != f.bytes.size() || std::memcmp(have.data(), f.bytes.data(), have.size()) != 0) {
            std::fprintf(stderr, "zelvan_content: out of date %s\n", p.string().c_str());
            ++bad;
        }
    }
    return bad ? 1 : 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "write") == 0)
        return writeAll(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "check") == 0)
        return checkAll(argv[2]);
    std::fprintf(stderr, "usage: zelvan_content write|check <data folder>\n");
    return 2;
}

#pragma once
// The real executable run from a test (ZELVAN_PROGRAM), its output and summary line kept, and its
// screenshots read back as grey pictures.

#include <png.h>

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace programtest {

struct ProgramRun {
    int status = -1;
    std::string output;  // stdout and stderr together
    std::string summary;
};

inline ProgramRun runProgram(const std::string& arguments) {
    ProgramRun run;
    const std::string command = std::string("'") + ZELVAN_PROGRAM + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    run.status = pclose(pipe);
    size_t at = run.output.rfind("summary: ");
    if (at != std::string::npos)
        run.summary = run.output.substr(at, run.output.find('\n', at) - at);
    return run;
}

inline std::vector<std::string> pngFiles(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Grey {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

inline Grey readGrey(const std::string& path) {
    Grey grey;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return grey;
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return grey;
    }
    grey.width = (int)image.width;
    grey.height = (int)image.height;
    grey.pixels.swap(pixels);
    return grey;
}

}  // namespace programtest

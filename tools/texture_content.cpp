// Writes the sample textures of the content folder: a small checker PNG (RGB) and its evening
// colours (RGB), a soft glow PNG (RGBA) and a ground TGA (24-bit, run-length). They are
// committed under content/data/textures; run this to make them again:
// texture_content <content/data folder>.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "writer/PngWriter.h"

namespace {

// Run-length true-colour TGA, bottom row first; one packet per row run of equal pixels.
bool writeTga(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbTopDown) {
    std::vector<uint8_t> out = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    out.push_back((uint8_t)width);
    out.push_back((uint8_t)(width >> 8));
    out.push_back((uint8_t)height);
    out.push_back((uint8_t)(height >> 8));
    out.push_back(24);
    out.push_back(0);
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = rgbTopDown.data() + (size_t)y * width * 3;
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 128 && row[(x + run) * 3] == row[x * 3] &&
                   row[(x + run) * 3 + 1] == row[x * 3 + 1] && row[(x + run) * 3 + 2] == row[x * 3 + 2])
                ++run;
            out.push_back((uint8_t)(127 + run));
            out.push_back(row[x * 3 + 2]);
            out.push_back(row[x * 3 + 1]);
            out.push_back(row[x * 3]);
            x += run;
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

using contentwriter::writePng;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: texture_content <content/data folder>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/textures/";

    std::vector<uint8_t> checker;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t v = ((x / 4 + y / 4) & 1) ? 200 : 90;
            checker.insert(checker.end(), {v, v, v});
        }

    // The checker in evening colours: the dusk atmosphere swaps it in for the checker.
    std::vector<uint8_t> checkerDusk;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool light = ((x / 4 + y / 4) & 1) != 0;
            checkerDusk.insert(checkerDusk.end(), {(uint8_t)(light ? 210 : 90), (uint8_t)(light ? 140 : 60),
                                                   (uint8_t)(light ? 110 : 80)});
        }

    std::vector<uint8_t> glow;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            float dx = (x + 0.5f - 8) / 8, dy = (y + 0.5f - 8) / 8;
            float a = std::fmax(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            glow.insert(glow.end(), {255, 230, 160, (uint8_t)(a * 255)});
        }

    std::vector<uint8_t> ground;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool line = y % 8 == 0 || x == (y < 8 ? 4 : 12);
            ground.insert(ground.end(), {(uint8_t)(line ? 70 : 140), (uint8_t)(line ? 60 : 110), (uint8_t)(line ? 50 : 80)});
        }

    bool ok = writePng(dir + "checker.png", 16, 16, false, checker) &&
              writePng(dir + "checker_dusk.png", 16, 16, false, checkerDusk) && writePng(dir + "glow.png", 16, 16, true, glow) &&
              writeTga(dir + "ground.tga", 16, 16, ground);
    if (!ok)
        std::fprintf(stderr, "texture_content: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}

// seal: writes the sealed container form of a file, as the engine reads it.
//   seal <input> <output> [password]
// The password defaults to the empty one that configuration files use. Input that is sealed
// already is copied unchanged. rand() is left unseeded so a build makes the same bytes each time.

#include <cstdio>

#include "engine/FileBuffer.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s <input> <output> [password]\n", argv[0]);
        return 2;
    }
    const char* password = argc == 4 ? argv[3] : "";
    FileBuffer input;
    if (!input.loadFromFile(argv[1])) {
        std::fprintf(stderr, "seal: can't read %s\n", argv[1]);
        return 1;
    }
    if (!input.saveSealed(argv[2], password)) {
        std::fprintf(stderr, "seal: can't write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

// The sealed container: any bytes unsealed with both passwords the game uses (a damaged
// container must fail cleanly), and any bytes sealed then unsealed must come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzSupport.h"
#include "engine/FileBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    FileBuffer input(data, size);
    for (const char* password : {"", "Qp7Rt2Lx9Kw4Zn6B"}) {
        std::unique_ptr<FileBuffer> plain = SealedFile::unseal(input, password);
        if (plain && plain->size() > input.size())
            std::abort();
    }
    if (!input.isSealed()) {
        std::unique_ptr<FileBuffer> sealed = SealedFile::seal(input, "fuzz");
        if (!sealed)
            std::abort();
        std::unique_ptr<FileBuffer> back = SealedFile::unseal(*sealed, "fuzz");
        if (!back || back->size() != size || (size && std::memcmp(back->data(), data, size) != 0))
            std::abort();
    }
    return 0;
}

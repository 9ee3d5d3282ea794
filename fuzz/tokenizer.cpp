// The tokenizer over any bytes: the first byte picks the flags, then every token is read, then
// the text again as typed values (integers, floats, booleans, colours, bounded strings).
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    if (size == 0)
        return 0;
    const uint32_t flags = data[0] & 15;
    ++data;
    --size;
    try {
        CTokenizer tok;
        tok.OpenMemory(data, (uint32_t)size, flags);
        while (tok.Next(0)) {
        }
    } catch (const CTokenizerException&) {
    }
    try {
        CTokenizer tok;
        tok.OpenMemory(data, (uint32_t)size, flags);
        char text[16];
        for (unsigned i = 0;; ++i) {
            switch (i % 6) {
                case 0: tok.NextInt(); break;
                case 1: tok.NextFloat(); break;
                case 2: tok.NextBool(); break;
                case 3: tok.read_color(); break;
                case 4: tok.NextString(text, sizeof(text)); break;
                default: tok.NextUInt(); break;
            }
        }
    } catch (const CTokenizerException&) {
    }
    return 0;
}

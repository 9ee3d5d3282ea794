// The host's input scripts (--script): one timed event a line.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "engine/plat_linux/host/Host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    std::vector<std::string> errors;
    for (const HostEvent& e : parseHostScript(std::string((const char*)data, size), errors))
        if (e.kind == HostEvent::Key)
            hostKeyCode(e.key);
    return 0;
}

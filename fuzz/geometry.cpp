// Mesh data (the part that ends every object file): both layouts, then the bounds and the
// triangle tables a character model builds from what was read.
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/file.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    std::string name = fuzz::writeInput("mesh.bin", data, size);
    File file;
    if (!file.open(fuzz::dataPath(name).c_str(), "rb", StoreRaw))
        return 0;
    Geometry geometry;
    if (geometry.load(file) && geometry._indexCount) {
        Vector3 low, high;
        geometry.computeBounds(0, (int32_t)geometry._indexCount, low, high);
        TriangleAdjacency adjacency;
        adjacency.build(geometry, 0, (int32_t)(geometry._indexCount / 3));
    }
    return 0;
}

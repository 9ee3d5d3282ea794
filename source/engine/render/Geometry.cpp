#include "engine/render/Geometry.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "engine/file.h"
#include "engine/utils.h"

static const float kBoundsSentinel = 10000000.0f;
// Per legacy vertex: "vertPos" 3, "texCoords0" 2, "vertNormal" 3, "vertColor" 3 floats.
static const uint32_t kLegacyFloatsPerVertex = 11;

namespace {

// Little-endian reads from the file that remember whether any of them came up short.
struct MeshReader {
    File& file;
    bool ok = true;

    explicit MeshReader(File& f) : file(f) {}

    bool bytes(void* out, size_t n) {
        if (!ok)
            return false;
        if (!file.read(out, n, 0))
            ok = false;
        return ok;
    }
    uint16_t u16() {
        uint8_t b[2] = {0, 0};
        bytes(b, 2);
        return (uint16_t)(b[0] | (b[1] << 8));
    }
    uint32_t u32() {
        uint8_t b[4] = {0, 0, 0, 0};
        bytes(b, 4);
        return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
    }
    uint64_t remaining() {
        long pos = file.tell();
        if (pos < 0 || (uint64_t)pos >= file.size())
            return 0;
        return file.size() - (uint64_t)pos;
    }
};

void readFloats(MeshReader& in, float* out, int count) {
    for (int i = 0; i < count; ++i) {
        uint32_t bits = in.u32();
        std::memcpy(&out[i], &bits, 4);
    }
}

// Indices arrive little-endian; convert in place so big-endian hosts would read them right too.
bool readIndices(MeshReader& in, uint16_t* out, uint32_t count) {
    if (!in.bytes(out, (size_t)count * 2))
        return false;
    const uint8_t* b = reinterpret_cast<const uint8_t*>(out);
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t v = (uint16_t)(b[i * 2] | (b[i * 2 + 1] << 8));
        out[i] = v;
    }
    return true;
}

}  // namespace

void addFloatAttribute(std::vector<GeometryAttribute>& attributes, const char* name, uint8_t components) {
    GeometryAttribute a;
    a.type = GeometryAttribute::TypeFloat;
    a.components = components;
    a.name = name;
    attributes.push_back(a);
}

void addElevenFloatAttributes(std::vector<GeometryAttribute>& attributes) {
    addFloatAttribute(attributes, "vertPos", 3);
    addFloatAttribute(attributes, "texCoords0", 2);
    addFloatAttribute(attributes, "vertNormal", 3);
    addFloatAttribute(attributes, "vertColor", 3);
}

Geometry::Geometry() {}

Geometry::~Geometry() {
    std::free(_vertices);
    std::free(_indices);
    std::free(_adjacencyIndices);
    delete _deviceBuffers;
}

void Geometry::updateStride() {
    uint32_t stride = 0;
    for (const GeometryAttribute& a : _attributes)
        stride += a.byteSize();
    _stride = stride;
}

bool Geometry::hasPositions() const {
    return !_attributes.empty() && _attributes[0].type == GeometryAttribute::TypeFloat &&
           _attributes[0].components >= 3 && _stride >= 12;
}

Vector3 Geometry::position(uint32_t v) const {
    float p[3];
    std::memcpy(p, _vertices + (size_t)v * _stride, sizeof(p));
    return Vector3(p[0], p[1], p[2]);
}

bool Geometry::load(File& file) {
    long start = file.tell();
    char magic[4] = {0, 0, 0, 0};
    bool current = file.read(magic, 4, 0) && std::memcmp(magic, "v1.0", 4) == 0;
    if (!current)
        file.seek(start);

    // Loaded once; checked before the bounds are touched so a second call keeps them.
    if (_vertexCount != 0 || _indexCount != 0)
        return false;

    _boundsMin = Vector3(kBoundsSentinel, kBoundsSentinel, kBoundsSentinel);
    _boundsMax = Vector3(-kBoundsSentinel, -kBoundsSentinel, -kBoundsSentinel);

    MeshReader in(file);
    std::vector<GeometryAttribute> attributes;
    uint32_t vertexCount = 0;
    if (current) {
        uint16_t attributeCount = in.u16();
        for (uint32_t i = 0; i < attributeCount && in.ok; ++i) {
            uint16_t nameLength = in.u16();
            std::string name(nameLength, '\0');
            if (nameLength > 0)
                in.bytes(&name[0], nameLength);
            uint16_t components = in.u16();
            uint16_t type = in.u16();
            if (!in.ok)
                break;
            if (type != GeometryAttribute::TypeFloat && type != GeometryAttribute::TypeUnsignedByte)
                continue;  // described but not used: dropped from the layout
            if (components > 255) {
                Logger::error("[Geometry::load] attribute %s has %u components", name.c_str(), (unsigned)components);
                return false;
            }
            GeometryAttribute a;
            a.type = type;
            a.components = (uint8_t)components;
            a.name = name;
            attributes.push_back(a);
        }
        vertexCount = in.u32();
    } else {
        uint32_t floatCount = in.u32();
        if (in.ok && floatCount % kLegacyFloatsPerVertex != 0) {
            Logger::error("[Geometry::load] legacy vertex data of %u floats is not a whole number of vertices",
                          floatCount);
            return false;
        }
        vertexCount = floatCount / kLegacyFloatsPerVertex;
        addElevenFloatAttributes(attributes);
    }
    uint32_t indexCount = in.u16();
    if (!in.ok) {
        Logger::error("[Geometry::load] mesh data truncated in its header");
        return false;
    }

    uint64_t stride = 0;
    for (const GeometryAttribute& a : attributes)
        stride += a.byteSize();
    // All in 64 bits: a stride of up to 255 x 4 x 65535 bytes times a 32-bit count cannot wrap.
    uint64_t vertexBytes = stride * vertexCount;
    uint64_t needed = vertexBytes + (uint64_t)indexCount * 4 + 24;
    uint64_t remaining = in.remaining();
    if (needed > remaining) {
        Logger::error("[Geometry::load] mesh data truncated: %" PRIu64 " bytes needed, %" PRIu64 " left", needed,
                      remaining);
        return false;
    }

    uint8_t* vertices = static_cast<uint8_t*>(std::malloc(vertexBytes ? (size_t)vertexBytes : 1));
    uint16_t* indices = static_cast<uint16_t*>(std::malloc(indexCount ? (size_t)indexCount * 2 : 2));
    uint16_t* adjacency = static_cast<uint16_t*>(std::malloc(indexCount ? (size_t)indexCount * 2 : 2));
    float bounds[6] = {0, 0, 0, 0, 0, 0};
    bool ok = vertices && indices && adjacency;
    if (ok) {
        in.bytes(vertices, (size_t)vertexBytes);
        readIndices(in, indices, indexCount);
        readIndices(in, adjacency, indexCount);
        readFloats(in, bounds, 6);
        ok = in.ok;
        if (!ok)
            Logger::error("[Geometry::load] mesh data truncated");
    } else {
        Logger::error("[Geometry::load] out of memory for %u vertices", vertexCount);
    }
    for (uint32_t i = 0; ok && i < indexCount; ++i) {
        uint16_t v = indices[i] >= vertexCount ? indices[i] : adjacency[i];
        if (v >= vertexCount) {
            Logger::error("[Geometry::load] index %u at %u is not below the vertex count %u", (unsigned)v, i,
                          vertexCount);
            ok = false;
        }
    }
    if (!ok) {
        std::free(vertices);
        std::free(indices);
        std::free(adjacency);
        return false;
    }

    _attributes = attributes;
    _stride = (uint32_t)stride;
    _vertexCount = vertexCount;
    _indexCount = indexCount;
    std::free(_vertices);
    std::free(_indices);
    std::free(_adjacencyIndices);
    _vertices = vertices;
    _indices = indices;
    _adjacencyIndices = adjacency;
    _boundsMin = Vector3(bounds[0], bounds[1], bounds[2]);
    _boundsMax = Vector3(bounds[3], bounds[4], bounds[5]);
    return true;
}

void Geometry::computeBounds(int32_t first, int32_t count, Vector3& outMin, Vector3& outMax) const {
    outMin = Vector3();
    outMax = Vector3();
    if (count <= 0)
        return;
    if (!_indices || !_vertices || !hasPositions() || first < 0)
        return;
    uint64_t end = (uint64_t)first + (uint64_t)count;
    if (end > _indexCount) {
        Logger::error("[Geometry::computeBounds] index range %d+%d exceeds %u indices", first, count, _indexCount);
        end = _indexCount;
    }
    Vector3 lo(kBoundsSentinel, kBoundsSentinel, kBoundsSentinel);
    Vector3 hi(-kBoundsSentinel, -kBoundsSentinel, -kBoundsSentinel);
    bool any = false;
    for (uint64_t i = (uint64_t)first; i < end; ++i) {
        uint16_t v = _indices[i];
        if (v >= _vertexCount)
            continue;
        Vector3 p = position(v);
        for (int k = 0; k < 3; ++k) {
            if (p[k] < lo[k]) lo[k] = p[k];
            if (p[k] > hi[k]) hi[k] = p[k];
        }
        any = true;
    }
    if (any) {
        outMin = lo;
        outMax = hi;
    }
}

void Geometry::freeData() {
    if (!_releaseData)
        return;
    std::free(_vertices);
    std::free(_indices);
    std::free(_adjacencyIndices);
    _vertices = nullptr;
    _indices = nullptr;
    _adjacencyIndices = nullptr;
}

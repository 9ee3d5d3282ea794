#pragma once
// Vertex and index data of one drawable shape: an interleaved vertex array described by named
// attributes, 16-bit triangle (or line) indices, a second index list for adjacency, a bounding
// box and the back end's device buffers. Static geometries are read from the mesh data that
// ends every object file; dynamic ones (particles, text, debug lines) fill their arrays in code.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine/render/BackEndData.h"

class File;

struct GeometryAttribute {
    enum { TypeFloat = 0, TypeUnsignedByte = 1 };
    int32_t type = TypeFloat;
    uint8_t components = 0;
    std::string name;  // matched against the shader's attribute names

    // Bytes this attribute takes inside a vertex.
    uint32_t byteSize() const { return type == TypeFloat ? components * 4u : components; }
};

// Appends an attribute of `components` floats to a vertex layout.
void addFloatAttribute(std::vector<GeometryAttribute>& attributes, const char* name, uint8_t components);
// Appends the eleven-float vertex of the older mesh data, which the geometries filled in code
// for the standard shaders use as well: "vertPos" 3, "texCoords0" 2, "vertNormal" 3 and
// "vertColor" 3 floats (44 bytes).
void addElevenFloatAttributes(std::vector<GeometryAttribute>& attributes);

enum GeometryPrimitive { PrimitiveTriangles = 0, PrimitiveLines = 1 };

class Geometry {
public:
    Geometry();
    // Frees the three arrays and deletes the device-buffer record.
    virtual ~Geometry();
    Geometry(const Geometry&) = delete;
    Geometry& operator=(const Geometry&) = delete;

    // True when the content changes every frame (drawn from memory, never packed).
    virtual bool isDynamic() const { return false; }
    virtual int getPrimitiveType() const { return PrimitiveTriangles; }

    // Reads mesh data at the file's current position: the "v1.0" layout of named attributes or
    // the older layout of eleven floats per vertex. A geometry is loaded once; a second call
    // reads only the four magic bytes. Damaged data (counts the file cannot hold, indices past
    // the vertices, a legacy float count not divisible by eleven) is logged and leaves the
    // geometry empty, so it is never drawn. True when data was read.
    bool load(File& file);

    // Componentwise min and max of the positions referenced by indices[first .. first+count-1];
    // both zero when count is 0 (or nothing valid is referenced).
    void computeBounds(int32_t first, int32_t count, Vector3& outMin, Vector3& outMax) const;

    // With _releaseData set, frees the memory copies once the device has them; counts, stride
    // and attributes stay.
    void freeData();

    // Recomputes _stride from the attribute list.
    void updateStride();
    // The first attribute is a position of at least three floats (bounds and adjacency read it).
    bool hasPositions() const;
    // The position (first three floats) of vertex v; v must be below _vertexCount.
    Vector3 position(uint32_t v) const;

    uint8_t _releaseData = 0;
    std::vector<GeometryAttribute> _attributes;
    uint32_t _vertexCount = 0;
    uint32_t _indexCount = 0;
    uint32_t _stride = 0;
    // Allocated with malloc (subclasses filling them in code must do the same); owned.
    uint8_t* _vertices = nullptr;           // _vertexCount x _stride bytes
    uint16_t* _indices = nullptr;           // _indexCount
    uint16_t* _adjacencyIndices = nullptr;  // _indexCount, same triangles, for neighbour search
    BackEndData* _deviceBuffers = nullptr;  // the back end's record, owned
    Vector3 _boundsMin;
    Vector3 _boundsMax;
};

// The sprites of one frame: PSGeometry and PSParticleSystem::buildGeometry.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/render/Mesh.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/utils.h"

namespace {

struct Quat {
    float x = 0, y = 0, z = 0, w = 1;
};

Quat multiply(const Quat& a, const Quat& b) {
    Quat r;
    r.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    r.x = a.w * b.x + b.w * a.x + a.y * b.z - a.z * b.y;
    r.y = a.w * b.y + b.w * a.y + a.z * b.x - a.x * b.z;
    r.z = a.w * b.z + b.w * a.z + a.x * b.y - a.y * b.x;
    return r;
}

// R[i][j] of the column-vector rotation matrix of q (v' = R v).
void toMatrix(const Quat& q, float R[3][3]) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float xw = q.x * q.w, yw = q.y * q.w, zw = q.z * q.w;
    R[0][0] = 1 - 2 * (yy + zz);
    R[0][1] = 2 * (xy - zw);
    R[0][2] = 2 * (xz + yw);
    R[1][0] = 2 * (xy + zw);
    R[1][1] = 1 - 2 * (xx + zz);
    R[1][2] = 2 * (yz - xw);
    R[2][0] = 2 * (xz - yw);
    R[2][1] = 2 * (yz + xw);
    R[2][2] = 1 - 2 * (xx + yy);
}

// The unit quaternion of a rotation given as engine rows (row i is the image of axis i, points
// are row vectors), through the usual trace-based conversion of its column form R = rows^T.
Quat fromRows(const Vector3 rows[3]) {
    float R[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            R[i][j] = rows[j][i];
    Quat q;
    const float trace = R[0][0] + R[1][1] + R[2][2];
    if (trace > 0.0f) {
        const float s = 0.5f / std::sqrt(trace + 1.0f);
        q.w = 0.25f / s;
        q.x = (R[2][1] - R[1][2]) * s;
        q.y = (R[0][2] - R[2][0]) * s;
        q.z = (R[1][0] - R[0][1]) * s;
    } else if (R[0][0] > R[1][1] && R[0][0] > R[2][2]) {
        const float s = 2.0f * std::sqrt(1.0f + R[0][0] - R[1][1] - R[2][2]);
        q.w = (R[2][1] - R[1][2]) / s;
        q.x = 0.25f * s;
        q.y = (R[0][1] + R[1][0]) / s;
        q.z = (R[0][2] + R[2][0]) / s;
    } else if (R[1][1] > R[2][2]) {
        const float s = 2.0f * std::sqrt(1.0f + R[1][1] - R[0][0] - R[2][2]);
        q.w = (R[0][2] - R[2][0]) / s;
        q.x = (R[0][1] + R[1][0]) / s;
        q.y = 0.25f * s;
        q.z = (R[1][2] + R[2][1]) / s;
    } else {
        const float s = 2.0f * std::sqrt(1.0f + R[2][2] - R[0][0] - R[1][1]);
        q.w = (R[1][0] - R[0][1]) / s;
        q.x = (R[0][2] + R[2][0]) / s;
        q.y = (R[1][2] + R[2][1]) / s;
        q.z = 0.25f * s;
    }
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(length > 0.0f) || !std::isfinite(length))
        return Quat();
    q.x /= length;
    q.y /= length;
    q.z /= length;
    q.w /= length;
    return q;
}

// The inverse of three rows; false (rows left as identity) when they are singular.
bool invertRows(const Vector3 in[3], Vector3 out[3]) {
    const Vector3 c0 = in[1].cross(in[2]);
    const float det = in[0].dot(c0);
    out[0] = Vector3(1, 0, 0);
    out[1] = Vector3(0, 1, 0);
    out[2] = Vector3(0, 0, 1);
    if (det == 0.0f || !std::isfinite(det))
        return false;
    const Vector3 c1 = in[2].cross(in[0]);
    const Vector3 c2 = in[0].cross(in[1]);
    // inverse = adjugate / det; its columns are the cross products above.
    for (int i = 0; i < 3; ++i)
        out[i] = Vector3(c0[i], c1[i], c2[i]) / det;
    return true;
}

inline uint32_t channel(uint32_t colour, int shift) { return (colour >> shift) & 255u; }

inline uint8_t truncateByte(float v) {
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return (uint8_t)v;
}

}  // namespace

PSGeometry::PSGeometry() {
    GeometryAttribute a;
    a.type = GeometryAttribute::TypeFloat;
    a.components = 3;
    a.name = "vertPos";
    _attributes.push_back(a);
    a.components = 2;
    a.name = "texCoords0";
    _attributes.push_back(a);
    a.components = 3;
    a.name = "vertNormal";
    _attributes.push_back(a);
    a.type = GeometryAttribute::TypeUnsignedByte;
    a.components = 4;
    a.name = "vertColor";
    _attributes.push_back(a);
    updateStride();
    reserve(1024, 1536);
}

bool PSGeometry::reserve(uint32_t vertices, uint32_t indices) {
    if (vertices > _vertexCapacity) {
        uint32_t capacity = _vertexCapacity ? _vertexCapacity : 1024;
        while (capacity < vertices)
            capacity *= 2;
        void* grown = std::realloc(_vertices, (size_t)capacity * VertexStride);
        if (!grown)
            return false;
        _vertices = static_cast<uint8_t*>(grown);
        _vertexCapacity = capacity;
    }
    if (indices > _indexCapacity) {
        uint32_t capacity = _indexCapacity ? _indexCapacity : 1536;
        while (capacity < indices)
            capacity *= 2;
        void* grown = std::realloc(_indices, (size_t)capacity * sizeof(uint16_t));
        if (!grown)
            return false;
        _indices = static_cast<uint16_t*>(grown);
        _indexCapacity = capacity;
    }
    return true;
}

namespace {

// The camera's rotation as a quaternion and as the matrix of the sprites that do not spin.
struct Facing {
    Quat qc;
    float matrix[3][3];
};

Facing facingOf(const Vector3 cameraRows[3]) {
    Vector3 cameraWorld[3];
    invertRows(cameraRows, cameraWorld);
    Facing f;
    f.qc = fromRows(cameraWorld);
    toMatrix(f.qc, f.matrix);
    return f;
}

// The sprite turned by angle about its local Y axis, then to face the camera.
void spunFacing(const Facing& facing, float angle, float R[3][3]) {
    Quat qy;
    qy.y = std::sin(angle * 0.5f);
    qy.w = std::cos(angle * 0.5f);
    toMatrix(multiply(facing.qc, qy), R);
}

// One output vertex, laid out as the geometry's attributes are.
struct OutVertex {
    float position[3];
    float uv[2];
    float normal[3];
    uint8_t colour[4];
};
static_assert(sizeof(OutVertex) == PSGeometry::VertexStride, "sprite vertices are 36 bytes");

}  // namespace

void PSParticleSystem::spriteRotation(float angle, float R[3][3]) const {
    const Facing facing = facingOf(_cameraRows);
    if (angle != 0.0f)
        spunFacing(facing, angle, R);
    else
        std::memcpy(R, facing.matrix, sizeof(facing.matrix));
}

// Everything of a sprite's vertices the build reads, in floats, once per frame and sprite: the
// position, the texture coordinates and the colour factor of each vertex (the colour bytes of
// 36-byte vertices over 255, the colour floats of 44-byte ones, else 0).
const PSParticleSystem::SpriteTable* PSParticleSystem::spriteTable(const Geometry* sg) {
    for (const SpriteTable& table : _spriteTables)
        if (table.geometry == sg)
            return &table;
    SpriteTable table;
    table.geometry = sg;
    table.first = (uint32_t)_spriteVertices.size();
    const uint32_t stride = sg->_stride;
    table.uniformColour = true;
    for (uint32_t v = 0; v < sg->_vertexCount; ++v) {
        const uint8_t* in = sg->_vertices + (size_t)v * stride;
        SpriteVertex out;
        std::memcpy(out.position, in, sizeof(out.position));
        if (stride >= 20)
            std::memcpy(out.uv, in + 12, sizeof(out.uv));
        else
            out.uv[0] = out.uv[1] = 0.0f;
        out.colour[0] = out.colour[1] = out.colour[2] = 0.0f;
        if (stride == 36) {
            out.colour[0] = in[32] / 255.0f;
            out.colour[1] = in[33] / 255.0f;
            out.colour[2] = in[34] / 255.0f;
        } else if (stride == 44) {
            std::memcpy(out.colour, in + 32, sizeof(out.colour));
        }
        if (v > 0 && std::memcmp(out.colour, _spriteVertices[table.first].colour, sizeof(out.colour)) != 0)
            table.uniformColour = false;
        _spriteVertices.push_back(out);
    }
    _spriteTables.push_back(table);
    return &_spriteTables.back();
}

void PSParticleSystem::buildGeometry() {
    if (!_geometry)
        return;
    if (_particleCount == 0 || !visible) {
        _geometry->clear();
        return;
    }
    if (!_isCameraValid)
        return;

    const Facing facing = facingOf(_cameraRows);

    // Sorting needs the drawn particles in an array; otherwise the list is read as it stands.
    _sortArray.clear();
    if (sort) {
        for (PSParticleNode* node = _first; node; node = node->next) {
            PSParticle* p = node->particle;
            if (!p->emitter->_visible)
                continue;
            SortEntry entry;
            entry.particle = p;
            entry.distanceSq = (p->position - _cameraPosition).lengthSquared();
            _sortArray.push_back(entry);
        }
        std::stable_sort(_sortArray.begin(), _sortArray.end(),
                         [](const SortEntry& a, const SortEntry& b) { return a.distanceSq > b.distanceSq; });
    }
    _spriteTables.clear();
    _spriteVertices.clear();

    PSGeometry& g = *_geometry;
    g.clear();
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    bool cut = false;
    const Geometry* lastSprite = nullptr;
    const SpriteTable* table = nullptr;

    size_t next = 0;
    PSParticleNode* listNode = _first;
    for (;;) {
        const PSParticle* particle;
        if (sort) {
            if (next == _sortArray.size())
                break;
            particle = _sortArray[next++].particle;
        } else {
            while (listNode && !listNode->particle->emitter->_visible)
                listNode = listNode->next;
            if (!listNode)
                break;
            particle = listNode->particle;
            listNode = listNode->next;
        }
        const PSParticle& p = *particle;
        const PSLayerType& type = *p.layerType;
        const PSSpriteGeometry* sprite = type.spriteGeometry;
        const Geometry* sg = sprite ? sprite->geometry : nullptr;
        // The sprite's memory copy may have been released after upload: nothing to copy from.
        if (!sg || !sg->_vertices || !sg->_indices || sg->_vertexCount == 0)
            continue;
        const uint32_t spriteVertices = sg->_vertexCount;
        const uint32_t spriteIndices = sg->_indexCount;
        if ((uint64_t)vertexCount + spriteVertices > PSGeometry::MaxVertices) {
            cut = true;
            break;
        }
        if ((vertexCount + spriteVertices > g._vertexCapacity || indexCount + spriteIndices > g._indexCapacity) &&
            !g.reserve(vertexCount + spriteVertices, indexCount + spriteIndices)) {
            cut = true;
            break;
        }
        if (sg != lastSprite) {
            table = spriteTable(sg);
            lastSprite = sg;
        }

        // The key pair and the position between its keys.
        const float p1 = p.phases[0], p2 = p.phases[1], p3 = p.phases[2];
        const float age = p.age;
        int k0;
        float t;
        if (age <= p1) {
            k0 = 0;
            t = p1 > 0.0f ? age / p1 : 1.0f;
        } else if (age <= p1 + p2) {
            k0 = 1;
            t = p2 > 0.0f ? (age - p1) / p2 : 1.0f;
        } else {
            k0 = 2;
            t = p3 > 0.0f ? std::min(1.0f, (age - p1 - p2) / p3) : 1.0f;
        }
        const int k1 = k0 + 1;

        uint32_t colour;
        if (type.colourMode == PSColourAnim4) {
            colour = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const float a = (float)channel(type.colours[k0], shift);
                const float b = (float)channel(type.colours[k1], shift);
                colour |= (uint32_t)truncateByte(a + (b - a) * t) << shift;
            }
        } else {
            colour = type.colours[0];
        }
        const float red = (float)channel(colour, 0);
        const float green = (float)channel(colour, 8);
        const float blue = (float)channel(colour, 16);
        const uint8_t alpha = (uint8_t)channel(colour, 24);

        const float size =
            type.sizeMode == PSSizeAnim4 ? p.sizes[k0] + (p.sizes[k1] - p.sizes[k0]) * t : p.sizes[0];

        float angle = 0.0f;
        if (type.rotationMode == PSRotationAnim4)
            angle = type.rotation[k0] + (type.rotation[k1] - type.rotation[k0]) * t;
        else if (type.rotationMode == PSRotationMinMax)
            angle = p.rotationSpeed * age;
        angle += p.startAngle;

        float spun[3][3];
        const float(*R)[3] = facing.matrix;
        if (angle != 0.0f) {
            spunFacing(facing, angle, spun);
            R = spun;
        }
        // Held in locals: the stores below go through byte pointers, which would otherwise make
        // the compiler read every one of these again for each vertex.
        const float r00 = R[0][0], r01 = R[0][1], r02 = R[0][2];
        const float r10 = R[1][0], r11 = R[1][1], r12 = R[1][2];
        const float r20 = R[2][0], r21 = R[2][1], r22 = R[2][2];
        const float px = p.position.x, py = p.position.y, pz = p.position.z;

        const SpriteVertex* in = _spriteVertices.data() + table->first;
        const bool uniformColour = table->uniformColour;
        uint32_t packed = 0;
        if (uniformColour) {
            const uint8_t rgba[4] = {truncateByte(red * in->colour[0]), truncateByte(green * in->colour[1]),
                                     truncateByte(blue * in->colour[2]), alpha};
            std::memcpy(&packed, rgba, sizeof(packed));
        }
        OutVertex* out = reinterpret_cast<OutVertex*>(g._vertices) + vertexCount;
        // Written field by field straight into the geometry: a vertex assembled elsewhere and
        // copied in whole would be read back before its pieces have reached memory.
        for (uint32_t v = 0; v < spriteVertices; ++v, ++in, ++out) {
            const float lx = in->position[0] * size, ly = in->position[1] * size, lz = in->position[2] * size;
            const float u = in->uv[0], w = in->uv[1];
            out->position[0] = r00 * lx + r01 * ly + r02 * lz + px;
            out->position[1] = r10 * lx + r11 * ly + r12 * lz + py;
            out->position[2] = r20 * lx + r21 * ly + r22 * lz + pz;
            out->uv[0] = u;
            out->uv[1] = w;
            out->normal[0] = 1.0f;
            out->normal[1] = 0.0f;
            out->normal[2] = 0.0f;
            if (uniformColour) {
                std::memcpy(out->colour, &packed, sizeof(packed));
            } else {
                const float fr = in->colour[0], fg = in->colour[1], fb = in->colour[2];
                out->colour[0] = truncateByte(red * fr);
                out->colour[1] = truncateByte(green * fg);
                out->colour[2] = truncateByte(blue * fb);
                out->colour[3] = alpha;
            }
        }

        uint16_t* indexOut = g._indices + indexCount;
        const uint16_t* indexIn = sg->_indices;
        for (uint32_t i = 0; i < spriteIndices; ++i)
            indexOut[i] = (uint16_t)(indexIn[i] + vertexCount);
        vertexCount += spriteVertices;
        indexCount += spriteIndices;
    }

    if (cut && !_vertexLimitReached)
        Logger::error("[PSParticleSystem::buildGeometry] more sprites than one geometry holds (%d vertices): some "
                      "particles are not drawn",
                      (int)PSGeometry::MaxVertices);
    _vertexLimitReached = cut;

    g._vertexCount = vertexCount;
    g._indexCount = indexCount;
    if (_mesh)
        _mesh->setGeometry(&g, 0, (int32_t)indexCount);
}

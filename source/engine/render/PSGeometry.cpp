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

void PSParticleSystem::buildGeometry() {
    if (!_geometry)
        return;
    if (_particleCount == 0 || !visible) {
        _geometry->clear();
        return;
    }
    if (!_isCameraValid)
        return;

    Vector3 cameraWorld[3];
    invertRows(_cameraRows, cameraWorld);
    const Quat qc = fromRows(cameraWorld);
    float facing[3][3];
    toMatrix(qc, facing);

    _sortArray.clear();
    for (PSParticleNode* node = _first; node; node = node->next) {
        PSParticle* p = node->particle;
        if (!p->emitter->_visible)
            continue;
        SortEntry entry;
        entry.particle = p;
        entry.distanceSq = 0.0f;
        _sortArray.push_back(entry);
    }
    if (sort) {
        for (SortEntry& entry : _sortArray)
            entry.distanceSq = (entry.particle->position - _cameraPosition).lengthSquared();
        std::stable_sort(_sortArray.begin(), _sortArray.end(),
                         [](const SortEntry& a, const SortEntry& b) { return a.distanceSq > b.distanceSq; });
    }

    PSGeometry& g = *_geometry;
    g.clear();
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    bool cut = false;

    for (const SortEntry& entry : _sortArray) {
        const PSParticle& p = *entry.particle;
        const PSLayerType& type = *p.layerType;
        const PSSpriteGeometry* sprite = type.spriteGeometry;
        const Geometry* sg = sprite ? sprite->geometry : nullptr;
        // The sprite's memory copy may have been released after upload: nothing to copy from.
        if (!sg || !sg->_vertices || !sg->_indices || sg->_vertexCount == 0)
            continue;
        const uint32_t spriteVertices = sg->_vertexCount;
        if ((uint64_t)vertexCount + spriteVertices > PSGeometry::MaxVertices) {
            cut = true;
            break;
        }
        if (!g.reserve(vertexCount + spriteVertices, indexCount + sg->_indexCount)) {
            cut = true;
            break;
        }

        // The key pair and the position between its keys.
        const float p1 = p.phases[0], p2 = p.phases[1], p3 = p.phases[2];
        int k0;
        float t;
        if (p.age <= p1) {
            k0 = 0;
            t = p1 > 0.0f ? p.age / p1 : 1.0f;
        } else if (p.age <= p1 + p2) {
            k0 = 1;
            t = p2 > 0.0f ? (p.age - p1) / p2 : 1.0f;
        } else {
            k0 = 2;
            t = p3 > 0.0f ? std::min(1.0f, (p.age - p1 - p2) / p3) : 1.0f;
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
            angle = p.rotationSpeed * p.age;
        angle += p.startAngle;

        float spun[3][3];
        const float(*R)[3] = facing;
        if (angle != 0.0f) {
            Quat qy;
            qy.y = std::sin(angle * 0.5f);
            qy.w = std::cos(angle * 0.5f);
            toMatrix(multiply(qc, qy), spun);
            R = spun;
        }

        const uint32_t stride = sg->_stride;
        uint8_t* out = g._vertices + (size_t)vertexCount * PSGeometry::VertexStride;
        for (uint32_t v = 0; v < spriteVertices; ++v, out += PSGeometry::VertexStride) {
            const uint8_t* in = sg->_vertices + (size_t)v * stride;
            float local[3];
            std::memcpy(local, in, sizeof(local));
            const float lx = local[0] * size, ly = local[1] * size, lz = local[2] * size;
            float vertex[8];
            vertex[0] = R[0][0] * lx + R[0][1] * ly + R[0][2] * lz + p.position.x;
            vertex[1] = R[1][0] * lx + R[1][1] * ly + R[1][2] * lz + p.position.y;
            vertex[2] = R[2][0] * lx + R[2][1] * ly + R[2][2] * lz + p.position.z;
            if (stride >= 20) {
                std::memcpy(&vertex[3], in + 12, 2 * sizeof(float));
            } else {
                vertex[3] = 0.0f;
                vertex[4] = 0.0f;
            }
            vertex[5] = 1.0f;
            vertex[6] = 0.0f;
            vertex[7] = 0.0f;
            std::memcpy(out, vertex, sizeof(vertex));

            float fr = 0.0f, fg = 0.0f, fb = 0.0f;
            if (stride == 36) {
                fr = in[32] / 255.0f;
                fg = in[33] / 255.0f;
                fb = in[34] / 255.0f;
            } else if (stride == 44) {
                float c[3];
                std::memcpy(c, in + 32, sizeof(c));
                fr = c[0];
                fg = c[1];
                fb = c[2];
            }
            out[32] = truncateByte(red * fr);
            out[33] = truncateByte(green * fg);
            out[34] = truncateByte(blue * fb);
            out[35] = alpha;
        }

        uint16_t* indexOut = g._indices + indexCount;
        for (uint32_t i = 0; i < sg->_indexCount; ++i)
            indexOut[i] = (uint16_t)(sg->_indices[i] + vertexCount);
        vertexCount += spriteVertices;
        indexCount += sg->_indexCount;
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

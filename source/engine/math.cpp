#include "engine/math.h"

#include <cstdio>
#include <cstring>

void Matrix4::setIdentity() {
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

Matrix4 Matrix4::translation(const Vector3& t) {
    Matrix4 r;
    r.setTranslation(t);
    return r;
}

Matrix4 Matrix4::scaling(const Vector3& s) {
    Matrix4 r;
    r.m[0] = s.x;
    r.m[5] = s.y;
    r.m[10] = s.z;
    return r;
}

Matrix4 Matrix4::rotationX(float a) {
    Matrix4 r;
    float c = std::cos(a), s = std::sin(a);
    r.m[5] = c;
    r.m[6] = s;
    r.m[9] = -s;
    r.m[10] = c;
    return r;
}

Matrix4 Matrix4::rotationY(float a) {
    Matrix4 r;
    float c = std::cos(a), s = std::sin(a);
    r.m[0] = c;
    r.m[2] = -s;
    r.m[8] = s;
    r.m[10] = c;
    return r;
}

Matrix4 Matrix4::rotationZ(float a) {
    Matrix4 r;
    float c = std::cos(a), s = std::sin(a);
    r.m[0] = c;
    r.m[1] = s;
    r.m[4] = -s;
    r.m[5] = c;
    return r;
}

Matrix4 Matrix4::rotationEuler(const Vector3& e) { return rotationX(e.x) * rotationY(e.y) * rotationZ(e.z); }

Matrix4 Matrix4::compose(const Vector3& position, const Vector3& euler, const Vector3& scale) {
    Matrix4 r = scaling(scale) * rotationEuler(euler);
    r.setTranslation(position);
    return r;
}

Matrix4 Matrix4::operator*(const Matrix4& o) const {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k)
                s += m[i * 4 + k] * o.m[k * 4 + j];
            r.m[i * 4 + j] = s;
        }
    return r;
}

bool Matrix4::operator==(const Matrix4& o) const { return std::memcmp(m, o.m, sizeof(m)) == 0; }

Vector3 Matrix4::transformPoint(const Vector3& p) const {
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

Vector3 Matrix4::transformVector(const Vector3& v) const {
    return {v.x * m[0] + v.y * m[4] + v.z * m[8], v.x * m[1] + v.y * m[5] + v.z * m[9],
            v.x * m[2] + v.y * m[6] + v.z * m[10]};
}

Vector4 Matrix4::transform(const Vector4& v) const {
    Vector4 r;
    for (int j = 0; j < 4; ++j)
        r[j] = v.x * m[j] + v.y * m[4 + j] + v.z * m[8 + j] + v.w * m[12 + j];
    return r;
}

Matrix4 Matrix4::transposed() const {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i * 4 + j] = m[j * 4 + i];
    return r;
}

bool Matrix4::inverse(Matrix4& out) const {
    const float* a = m;
    float inv[16];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
             a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
             a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
             a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
              a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
             a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
             a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
             a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
              a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
             a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
              a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
              a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
             a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
              a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    float det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0 || !std::isfinite(det)) {
        out.setIdentity();
        return false;
    }
    float invDet = 1.0f / det;
    for (int i = 0; i < 16; ++i)
        out.m[i] = inv[i] * invDet;
    return true;
}

Vector3 Matrix4::toEuler() const {
    // M = Rx*Ry*Rz: row 0 = (cy*cz, cy*sz, -sy), row 1 z = sx*cy, row 2 z = cx*cy.
    Vector3 s = getScale();
    float r00 = s.x > 0 ? m[0] / s.x : 0, r01 = s.x > 0 ? m[1] / s.x : 0, r02 = s.x > 0 ? m[2] / s.x : 0;
    float r12 = s.y > 0 ? m[6] / s.y : 0, r22 = s.z > 0 ? m[10] / s.z : 0;
    float r10 = s.y > 0 ? m[4] / s.y : 0, r11 = s.y > 0 ? m[5] / s.y : 0;
    float sy = -r02;
    if (sy > 1) sy = 1;
    if (sy < -1) sy = -1;
    float y = std::asin(sy);
    float x, z;
    if (std::fabs(sy) < 0.9999f) {
        x = std::atan2(r12, r22);
        z = std::atan2(r01, r00);
    } else {
        x = 0;
        z = std::atan2(-r10, r11);
    }
    return {x, y, z};
}

float nearestAngle(float a, float b) {
    const float twoPi = 6.2831855f, pi = 3.1415927f;
    float ra = std::fmod(a, twoPi);
    if (a < 0) ra += twoPi;
    float rb = std::fmod(b, twoPi);
    if (b < 0) rb += twoPi;
    if (rb - ra < -pi)
        rb += twoPi;
    else if (rb - ra > pi)
        rb -= twoPi;
    float turns = a - std::fmod(a, twoPi);
    if (a < 0) turns -= twoPi;
    return rb + turns;
}

void Vector2ToString(std::string& out, const Vector2& v) {
    char b[128];
    std::snprintf(b, sizeof(b), "%f,%f", v.x, v.y);
    out = b;
}

void Vector3ToString(std::string& out, const Vector3& v) {
    char b[192];
    std::snprintf(b, sizeof(b), "%f,%f,%f", v.x, v.y, v.z);
    out = b;
}

void Vector4ToString(std::string& out, const Vector4& v) {
    char b[256];
    std::snprintf(b, sizeof(b), "%f,%f,%f,%f", v.x, v.y, v.z, v.w);
    out = b;
}

void Vector2FromString(Vector2& out, const char* text) {
    if (text) std::sscanf(text, "%f,%f", &out.x, &out.y);
}

void Vector3FromString(Vector3& out, const char* text) {
    if (text) std::sscanf(text, "%f,%f,%f", &out.x, &out.y, &out.z);
}

void Vector4FromString(Vector4& out, const char* text) {
    if (text) std::sscanf(text, "%f,%f,%f,%f", &out.x, &out.y, &out.z, &out.w);
}

int sphereIntersectsBox(const Vector3& bmin, const Vector3& bmax, const Vector3& c, float radius) {
    float d2 = 0;
    for (int i = 0; i < 3; ++i) {
        float v = c[i];
        if (v < bmin[i]) v = bmin[i];
        if (v > bmax[i]) v = bmax[i];
        float d = c[i] - v;
        d2 += d * d;
    }
    return d2 < radius * radius ? 1 : 0;
}

Vector3 rotateAboutAxis(const Vector3& v, const Vector3& axis, float radians) {
    // Rodrigues' formula.
    const float c = std::cos(radians), s = std::sin(radians);
    return v * c + axis.cross(v) * s + axis * (axis.dot(v) * (1.0f - c));
}

Quaternion Quaternion::fromAxisAngle(const Vector3& unitAxis, float radians) {
    const float s = std::sin(radians * 0.5f);
    return Quaternion(unitAxis.x * s, unitAxis.y * s, unitAxis.z * s, std::cos(radians * 0.5f));
}

Quaternion Quaternion::fromRows(const Vector3 rows[3]) {
    // m[i][j] of the column-vector matrix is rows[j][i].
    const float m00 = rows[0].x, m11 = rows[1].y, m22 = rows[2].z;
    const float m01 = rows[1].x, m10 = rows[0].y, m02 = rows[2].x, m20 = rows[0].z, m12 = rows[2].y,
                m21 = rows[1].z;
    Quaternion q;
    const float trace = m00 + m11 + m22;
    if (trace > 0) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q = Quaternion((m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, 0.25f * s);
    } else if (m00 > m11 && m00 > m22) {
        const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;
        q = Quaternion(0.25f * s, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s);
    } else if (m11 > m22) {
        const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;
        q = Quaternion((m01 + m10) / s, 0.25f * s, (m12 + m21) / s, (m02 - m20) / s);
    } else {
        const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;
        q = Quaternion((m02 + m20) / s, (m12 + m21) / s, 0.25f * s, (m10 - m01) / s);
    }
    return q.normalized();
}

void Quaternion::toRows(Vector3 rows[3]) const {
    const float xx = x * x, yy = y * y, zz = z * z, xy = x * y, xz = x * z, yz = y * z, wx = w * x, wy = w * y,
                wz = w * z;
    rows[0] = Vector3(1 - 2 * (yy + zz), 2 * (xy + wz), 2 * (xz - wy));
    rows[1] = Vector3(2 * (xy - wz), 1 - 2 * (xx + zz), 2 * (yz + wx));
    rows[2] = Vector3(2 * (xz + wy), 2 * (yz - wx), 1 - 2 * (xx + yy));
}

Quaternion Quaternion::normalized() const {
    const float l = std::sqrt(dot(*this));
    if (!(l > 0))
        return Quaternion();
    return Quaternion(x / l, y / l, z / l, w / l);
}

Quaternion Quaternion::operator*(const Quaternion& o) const {
    return Quaternion(w * o.x + x * o.w + y * o.z - z * o.y, w * o.y - x * o.z + y * o.w + z * o.x,
                      w * o.z + x * o.y - y * o.x + z * o.w, w * o.w - x * o.x - y * o.y - z * o.z);
}

Quaternion slerp(const Quaternion& a, const Quaternion& b, float t) {
    float d = a.dot(b);
    Quaternion e = b;
    if (d < 0) {  // the shorter way round
        d = -d;
        e = Quaternion(-b.x, -b.y, -b.z, -b.w);
    }
    float wa = 1.0f - t, wb = t;
    if (d < 0.999f) {
        const float angle = std::acos(d);
        const float s = std::sin(angle);
        wa = std::sin((1.0f - t) * angle) / s;
        wb = std::sin(t * angle) / s;
    }
    return Quaternion(a.x * wa + e.x * wb, a.y * wa + e.y * wb, a.z * wa + e.z * wb, a.w * wa + e.w * wb)
        .normalized();
}

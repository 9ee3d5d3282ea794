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

#pragma once
// The engine's value types: 2-, 3- and 4-vectors and 4x4 matrices.
// Matrices hold rows X axis, Y axis, Z axis and translation; points are row vectors (p' = p * M).
// Euler angles are radians applied about X, then Y, then Z. Z is up.

#include <cmath>
#include <cstdint>
#include <string>

struct Vector2 {
    float x = 0, y = 0;
    Vector2() = default;
    Vector2(float x_, float y_) : x(x_), y(y_) {}
    float lengthSquared() const { return x * x + y * y; }
    float length() const { return std::sqrt(lengthSquared()); }
    Vector2 operator+(const Vector2& o) const { return {x + o.x, y + o.y}; }
    Vector2 operator-(const Vector2& o) const { return {x - o.x, y - o.y}; }
    Vector2 operator*(float s) const { return {x * s, y * s}; }
    bool operator==(const Vector2& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Vector2& o) const { return !(*this == o); }
};

struct Vector3 {
    float x = 0, y = 0, z = 0;
    Vector3() = default;
    Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector3 operator-() const { return {-x, -y, -z}; }
    Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Vector3 operator/(float s) const { return {x / s, y / s, z / s}; }
    Vector3& operator+=(const Vector3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vector3& operator-=(const Vector3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vector3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    bool operator==(const Vector3& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const Vector3& o) const { return !(*this == o); }
    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    float dot(const Vector3& o) const { return x * o.x + y * o.y + z * o.z; }
    Vector3 cross(const Vector3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    float lengthSquared() const { return dot(*this); }
    float length() const { return std::sqrt(lengthSquared()); }
    // A zero vector stays zero rather than turning into NaNs.
    Vector3 normalized() const {
        float l = length();
        return l > 0 ? *this / l : Vector3();
    }
};

inline Vector3 operator*(float s, const Vector3& v) { return v * s; }

struct Vector4 {
    float x = 0, y = 0, z = 0, w = 0;
    Vector4() = default;
    Vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    Vector4(const Vector3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}
    Vector3 xyz() const { return {x, y, z}; }
    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    bool operator==(const Vector4& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    bool operator!=(const Vector4& o) const { return !(*this == o); }
};

struct Matrix4 {
    float m[16];

    Matrix4() { setIdentity(); }
    explicit Matrix4(const float* values) {
        for (int i = 0; i < 16; ++i) m[i] = values[i];
    }

    static Matrix4 identity() { return Matrix4(); }
    static Matrix4 translation(const Vector3& t);
    static Matrix4 scaling(const Vector3& s);
    static Matrix4 rotationX(float radians);
    static Matrix4 rotationY(float radians);
    static Matrix4 rotationZ(float radians);
    // Rotation about X, then Y, then Z (row vectors: Rx * Ry * Rz).
    static Matrix4 rotationEuler(const Vector3& radians);
    // scale, then rotation, then translation.
    static Matrix4 compose(const Vector3& position, const Vector3& eulerRadians, const Vector3& scale);

    void setIdentity();
    float& at(int row, int col) { return m[row * 4 + col]; }
    float at(int row, int col) const { return m[row * 4 + col]; }
    Vector3 row3(int r) const { return {m[r * 4], m[r * 4 + 1], m[r * 4 + 2]}; }
    void setRow3(int r, const Vector3& v) { m[r * 4] = v.x; m[r * 4 + 1] = v.y; m[r * 4 + 2] = v.z; }
    Vector3 getTranslation() const { return row3(3); }
    void setTranslation(const Vector3& t) { setRow3(3, t); }

    Matrix4 operator*(const Matrix4& o) const;
    bool operator==(const Matrix4& o) const;
    bool operator!=(const Matrix4& o) const { return !(*this == o); }

    Vector3 transformPoint(const Vector3& p) const;
    Vector3 transformVector(const Vector3& v) const;
    Vector4 transform(const Vector4& v) const;

    Matrix4 transposed() const;
    // General inverse; a singular matrix gives the identity and false.
    bool inverse(Matrix4& out) const;
    Matrix4 inverted() const {
        Matrix4 r;
        inverse(r);
        return r;
    }
    // Euler angles (X, then Y, then Z) of the rotation part, scale removed.
    Vector3 toEuler() const;
    Vector3 getScale() const { return {row3(0).length(), row3(1).length(), row3(2).length()}; }
};


inline Vector3 lerp(const Vector3& a, const Vector3& b, float t) { return a + (b - a) * t; }
inline float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
// v turned by the angle (radians, right-handed) about the unit axis.
Vector3 rotateAboutAxis(const Vector3& v, const Vector3& axis, float radians);

// A rotation as a unit quaternion (x, y, z, w).
struct Quaternion {
    float x = 0, y = 0, z = 0, w = 1;
    Quaternion() = default;
    Quaternion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    static Quaternion fromAxisAngle(const Vector3& unitAxis, float radians);
    // From three orthonormal axis rows (the engine's row layout); scale must be removed first.
    static Quaternion fromRows(const Vector3 rows[3]);
    void toRows(Vector3 rows[3]) const;
    float dot(const Quaternion& o) const { return x * o.x + y * o.y + z * o.z + w * o.w; }
    Quaternion normalized() const;
    // Applies o first, then this (row-vector order: rows(o * this) = rows(o) x rows(this)).
    Quaternion operator*(const Quaternion& o) const;
};
// Spherical interpolation along the shorter arc; linear (then normalised) when the two are
// within a dot product of 0.999, where the spherical form loses precision.
Quaternion slerp(const Quaternion& a, const Quaternion& b, float t);

const float kPi = 3.1415927f;
const float kTwoPi = 6.2831855f;

inline float degToRad(float d) { return d * (kPi / 180.0f); }
inline float radToDeg(float r) { return r * (180.0f / kPi); }

// b moved by whole turns to lie within pi of a.
float nearestAngle(float a, float b);

void Vector2ToString(std::string& out, const Vector2& v);
void Vector3ToString(std::string& out, const Vector3& v);
void Vector4ToString(std::string& out, const Vector4& v);
void Vector2FromString(Vector2& out, const char* text);
void Vector3FromString(Vector3& out, const char* text);
void Vector4FromString(Vector4& out, const char* text);

int sphereIntersectsBox(const Vector3& boxMin, const Vector3& boxMax, const Vector3& centre, float radius);

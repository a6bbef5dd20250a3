#pragma once

#include <cmath>

namespace spheres {

/// Three 32-bit floats: positions, displacements, velocities and accelerations.
struct Vector3 {
    float x;
    float y;
    float z;

    constexpr Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr Vector3(float x, float y, float z) : x(x), y(y), z(z) {}

    Vector3 operator+(const Vector3& v) const { return Vector3(x + v.x, y + v.y, z + v.z); }
    /// The left operand minus the right one.
    Vector3 operator-(const Vector3& v) const { return Vector3(x - v.x, y - v.y, z - v.z); }
    Vector3 operator*(float s) const { return Vector3(s * x, s * y, s * z); }

    float dot(const Vector3& v) const { return x * v.x + y * v.y + z * v.z; }
    float lengthSquared() const { return x * x + y * y + z * z; }
    float length() const { return std::sqrt(x * x + y * y + z * z); }

    /// A copy scaled to unit length; the zero vector gives non-finite components.
    Vector3 normalized() const {
        // One reciprocal, three multiplies: the rounding every caller relies on.
        float r = 1.0f / length();
        return Vector3(x * r, y * r, z * r);
    }

    /// Scales this vector to unit length in place; the zero vector becomes non-finite.
    void normalize() {
        float r = 1.0f / length();
        x *= r;
        y *= r;
        z *= r;
    }

    static const Vector3 zero;
    static const Vector3 unitX;
    static const Vector3 unitY;
    static const Vector3 unitZ;
};

// constexpr definitions make the constants constant-initialised, so static initialisers
// elsewhere (the prototype body) may read them whatever the order of start-up.
constexpr Vector3 Vector3::zero{0.0f, 0.0f, 0.0f};
constexpr Vector3 Vector3::unitX{1.0f, 0.0f, 0.0f};
constexpr Vector3 Vector3::unitY{0.0f, 1.0f, 0.0f};
constexpr Vector3 Vector3::unitZ{0.0f, 0.0f, 1.0f};

/// True when no component is infinite or NaN.
inline bool isFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace spheres

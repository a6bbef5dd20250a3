#pragma once

namespace spheres {

/// Four 32-bit floats; exists to carry its named constants.
struct Vector4 {
    float x;
    float y;
    float z;
    float w;

    constexpr Vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    constexpr Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}

    static const Vector4 unitX;
    static const Vector4 unitY;
    static const Vector4 unitZ;
    static const Vector4 unitW;
};

constexpr Vector4 Vector4::unitX{1.0f, 0.0f, 0.0f, 0.0f};
constexpr Vector4 Vector4::unitY{0.0f, 1.0f, 0.0f, 0.0f};
constexpr Vector4 Vector4::unitZ{0.0f, 0.0f, 1.0f, 0.0f};
constexpr Vector4 Vector4::unitW{0.0f, 0.0f, 0.0f, 1.0f};

} // namespace spheres

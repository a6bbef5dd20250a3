#pragma once

namespace spheres {

/// Two 32-bit floats; exists to carry its named constants.
struct Vector2 {
    float x;
    float y;

    constexpr Vector2() : x(0.0f), y(0.0f) {}
    constexpr Vector2(float x, float y) : x(x), y(y) {}

    static const Vector2 zero;
    static const Vector2 unitX;
    static const Vector2 unitY;
};

constexpr Vector2 Vector2::zero{0.0f, 0.0f};
constexpr Vector2 Vector2::unitX{1.0f, 0.0f};
constexpr Vector2 Vector2::unitY{0.0f, 1.0f};

} // namespace spheres

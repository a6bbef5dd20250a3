#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

/// Reads a fuzzer's bytes as operands. Past the end every read gives zero, so any input,
/// however short, decodes to a complete sequence of operations.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool atEnd() const { return offset >= size; }

    std::uint8_t byte() { return offset < size ? data[offset++] : 0; }

    std::uint16_t u16() {
        std::uint16_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }

    /// lo + (hi - lo) * k / 65535 for the next two bytes k: both ends are reachable.
    float range(float lo, float hi) {
        // No division: an optimiser that packs these into vector lanes could divide an unused
        // lane by zero, which the range mode's floating-point traps would report.
        float k = static_cast<float>(u16()) * (1.0f / 65535.0f);
        return k >= 1.0f ? hi : lo + (hi - lo) * k;
    }

    /// Any finite float. A selector byte below 32 picks a value that sits on a boundary of the
    /// tree or of float arithmetic, so mutations find them at once; otherwise four raw bytes,
    /// with infinities and NaNs folded onto the largest finite value of the same sign.
    float anyFinite() {
        static const float special[32] = {
            0.0f,     -0.0f,    1.0f,    -1.0f,  FLT_MAX,   -FLT_MAX,   FLT_MIN,     -FLT_MIN,
            1.4e-45f, 0.001f,   0.1f,    1e-9f,  524288.0f, -524288.0f, 524287.0f,   131072.0f,
            32768.0f, 8192.0f,  2048.0f, 512.0f, 1000.0f,   1e9f,       -1e9f,       1.8446744e19f,
            3.4e38f,  -3.4e38f, 1.7e38f, 1e30f,  -1e30f,    1e15f,      16777216.0f, 0.5f,
        };
        std::uint8_t selector = byte();
        if (selector < 32) {
            return special[selector];
        }
        std::uint8_t raw[4] = {byte(), byte(), byte(), byte()};
        float value;
        std::memcpy(&value, raw, sizeof value);
        if (!std::isfinite(value)) {
            value = std::signbit(value) ? -FLT_MAX : FLT_MAX;
        }
        return value;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset = 0;
};

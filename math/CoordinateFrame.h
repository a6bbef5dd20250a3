#pragma once

#include "math/Vector3.h"

namespace spheres {

/// Three axes and an origin; exists to carry its named constant.
struct CoordinateFrame {
    Vector3 xAxis;
    Vector3 yAxis;
    Vector3 zAxis;
    Vector3 origin;

    /// Every row (0, 0, 0).
    constexpr CoordinateFrame() : xAxis(), yAxis(), zAxis(), origin() {}
    constexpr CoordinateFrame(const Vector3& xAxis, const Vector3& yAxis, const Vector3& zAxis,
                              const Vector3& origin)
        : xAxis(xAxis), yAxis(yAxis), zAxis(zAxis), origin(origin) {}

    static const CoordinateFrame identity;
};

constexpr CoordinateFrame CoordinateFrame::identity{Vector3::unitX, Vector3::unitY, Vector3::unitZ,
                                                    Vector3::zero};

} // namespace spheres

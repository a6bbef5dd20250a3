#pragma once

#include "math/Vector3.h"

namespace spheres {

/// Three rows of three floats; exists to carry its named constant.
struct Matrix3 {
    Vector3 rows[3];

    /// Every row (0, 0, 0).
    constexpr Matrix3() : rows{} {}
    constexpr Matrix3(const Vector3& r0, const Vector3& r1, const Vector3& r2) : rows{r0, r1, r2} {}

    static const Matrix3 identity;
};

constexpr Matrix3 Matrix3::identity{Vector3::unitX, Vector3::unitY, Vector3::unitZ};

} // namespace spheres

#pragma once

namespace spheres {

/// A plane a*x + b*y + c*z + d = 0; the signed distance is positive on the side the normal
/// (a, b, c) points to.
struct Plane {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 0.0f;
};

} // namespace spheres

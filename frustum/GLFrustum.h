#pragma once

#include "frustum/MatrixFrustum.h"

namespace spheres {

/// A frustum read from the current GL projection and modelview matrices; the planes are in the
/// coordinates the modelview matrix takes as input. Needs a current GL context.
class GLFrustum : public MatrixFrustum {
public:
    /// Extracts the planes of the current GL state.
    GLFrustum();

    /// Reads both GL matrices again and recomputes the planes.
    void extractPlanes() override;
};

} // namespace spheres

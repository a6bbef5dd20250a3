#pragma once

#include "view/DrawList.h"

#include <array>
#include <string>
#include <vector>

namespace spheres {

/// Draws a DrawList with WebGL2 (OpenGL ES 3.0): every sphere as one instance of a quad that the
/// shaders turn into the sphere's silhouette, lit and depth-correct for the bodies, a thin ring
/// or a faint shell for the bounding spheres. Needs a current WebGL2 context.
class WebGLRenderer {
public:
    /// Compiles the shaders and makes the buffers; false (error() tells why) if it cannot.
    bool init();
    const std::string& error() const { return message; }

    /// Clears the surface of width x height pixels and draws list as seen through projection
    /// and modelview (column-major).
    void draw(const DrawList& list, const float projection[16], const float modelview[16],
              int width, int height);

private:
    unsigned sphereProgram = 0;
    unsigned lineProgram = 0;
    unsigned sphereArray = 0;
    unsigned sphereBuffer = 0;
    unsigned lineArray = 0;
    unsigned lineBuffer = 0;
    std::string message;
    /// Outlines sorted by their size on the screen, one list per number of segments.
    std::array<std::vector<SphereInstance>, 3> outlineParts;
};

} // namespace spheres

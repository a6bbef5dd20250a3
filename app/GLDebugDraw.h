#pragma once

#include "spheretree/DebugDraw.h"

namespace spheres {

/// Draws bodies through OpenGL and GLUT, each a lit red solid sphere of 10 slices and 10 stacks:
/// sphere-demo draws the bodies in view with it, and handed to a tree it makes draw() show every
/// body so; bounding spheres and escaped leaves draw nothing. Needs a current GL context; leaves
/// lighting enabled.
class GLDebugDraw final : public DebugDraw {
public:
    void drawBody(const Vector3& position, float radius) override;
};

} // namespace spheres

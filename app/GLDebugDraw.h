#pragma once

#include "spheretree/DebugDraw.h"

namespace spheres {

/// Draws a tree through OpenGL and GLUT, as the window programs do: each body a lit red solid
/// sphere of 10 slices and 10 stacks. Needs a current GL context; leaves lighting enabled.
class GLDebugDraw final : public DebugDraw {
public:
    void drawBody(const Vector3& position, float radius) override;
};

} // namespace spheres

#pragma once

namespace spheres {

/// The window programs' fixed GL state: smooth shading, a black clear colour, the depth test,
/// light 0 with its diffuse colour (0.75, 0.85, 0.9) and the diffuse colour material. Lighting
/// itself stays off; each frame turns it on only while it draws the bodies.
void initGLState();

} // namespace spheres

#include "frustum/GLFrustum.h"

#include <GL/gl.h>

namespace spheres {

GLFrustum::GLFrustum() {
    GLFrustum::extractPlanes();
}

void GLFrustum::extractPlanes() {
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    computePlanes();
}

} // namespace spheres

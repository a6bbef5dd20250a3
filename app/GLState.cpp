#include "app/GLState.h"

#include <GL/gl.h>

namespace spheres {

void initGLState() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHT0);
    const GLfloat colour[4] = {0.75f, 0.85f, 0.9f, 1.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
}

} // namespace spheres

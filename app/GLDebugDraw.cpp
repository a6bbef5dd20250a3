#include "app/GLDebugDraw.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

namespace spheres {

void GLDebugDraw::drawBody(const Vector3& position, float radius) {
    glEnable(GL_LIGHTING);
    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glColor3f(1.0f, 0.0f, 0.0f);
    glutSolidSphere(radius, 10, 10);
    glPopMatrix();
}

} // namespace spheres

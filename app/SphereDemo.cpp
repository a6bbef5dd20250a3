// The interactive program: builds the scene, opens the GLUT window and runs one frame per
// display or idle callback until Escape.
#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/GLDebugDraw.h"
#include "app/GLState.h"
#include "app/GLViewportLimit.h"
#include "app/KeyBindings.h"
#include "app/ScenePopulation.h"
#include "body/Body.h"
#include "frustum/GLFrustum.h"
#include "world/World.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

using namespace spheres;

// The renderer's largest viewport, read as the window is made; a larger window is shrunk to it.
GLViewportLimit viewportLimit;
// Draws each body in view as a lit red sphere, as the tree's draw() would through it.
GLDebugDraw bodyDraw;

void reshapeWindow(int width, int height) {
    viewportLimit.clampReshape(width, height);
    double aspect = reshapeAspect(width, height);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(75.0, aspect, 1.0, 300000);
    // The modelview matrix is not reset here: every frame loads the identity itself.
    glMatrixMode(GL_MODELVIEW);
}

void initWindow(int argc, char** argv) {
    // GLUT may change the count it is given; main's own count stays as it was.
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(100, 100);
    glutInitWindowSize(640, 480);
    viewportLimit.createWindow("GLUT app");
    reshapeWindow(640, 480);
}

void renderFrame() {
    // A frame waits, nothing simulated or drawn, until the window is back within the limit.
    if (!viewportLimit.clearWithinLimit(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)) {
        glutPostRedisplay();
        return;
    }
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -10000.0f);
    glTranslatef(cameraTransX, cameraTransY, cameraTransZ);
    glRotatef(cameraRotX, 1.0f, 0.0f, 0.0f);
    glRotatef(cameraRotY, 0.0f, 1.0f, 0.0f);
    glRotatef(cameraRotZ, 0.0f, 0.0f, 1.0f);

    GLFrustum frustum;
    frustum.extractPlanes();
    // The World's step inside does no GL, so it may follow the camera transform: what GL and
    // the console see keeps the order clear, step, camera, contacts, cull, draw.
    BodyList visible;
    simulateFrame(*world, bodyArray, bodyCount, simulationRunning, timeStep, frustum, visible);

    if (!visible.empty()) {
        int drawn = 0;
        for (Body* body : visible) {
            bodyDraw.drawBody(body->getPosition(), body->getRadius());
            ++drawn;
        }
        glDisable(GL_LIGHTING);
        std::printf("Spheres Drawn: %d\n", drawn);
    }

    glPopMatrix();
    glFlush();
    glutSwapBuffers();
    glutPostRedisplay();
}

int main(int argc, char** argv) {
    // Line-buffered, so a file or a pipe sees each frame's line as the frame ends.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);

    // The program's scene; its World and bodies live as long as the process.
    buildScene(bodyCount);

    registerKeyBindings();
    initWindow(argc, argv);
    initGLState();
    glutKeyboardFunc(handleKey);
    glutSpecialFunc(handleSpecialKey);
    glutReshapeFunc(reshapeWindow);
    glutDisplayFunc(renderFrame);
    glutIdleFunc(renderFrame);
    glutMainLoop();
    return 0;
}

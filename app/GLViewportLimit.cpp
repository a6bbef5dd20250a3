#include "app/GLViewportLimit.h"

#include "app/CameraMatrices.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstring>
#include <initializer_list>

namespace spheres {

namespace {

// Mesa's software renderers name themselves "llvmpipe (LLVM ...)", "softpipe" and "swrast" (or,
// older, "Software Rasterizer").
bool isSoftwareRenderer(const char* renderer) {
    if (renderer == nullptr) {
        return false;
    }
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
        if (std::strstr(renderer, name) != nullptr) {
            return true;
        }
    }
    return false;
}

} // namespace

int GLViewportLimit::createWindow(const char* title) {
    int window = glutCreateWindow(title);
    GLint dims[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
    maxWidth = dims[0];
    maxHeight = dims[1];
    softwareRenderer = isSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    int width = glutGet(GLUT_WINDOW_WIDTH);
    int height = glutGet(GLUT_WINDOW_HEIGHT);
    if (!clampToViewportLimit(width, height, maxWidth, maxHeight)) {
        return window;
    }
    glutDestroyWindow(window);
    glutInitWindowSize(width, height);
    return glutCreateWindow(title);
}

void GLViewportLimit::clampReshape(int& width, int& height) const {
    if (clampToViewportLimit(width, height, maxWidth, maxHeight)) {
        glutReshapeWindow(width, height);
    }
}

// The server applies a resize before GLUT reports it, and the renderer takes the window's size
// from the server at the first drawing call; so the size is asked of the server, not of GLUT.
bool GLViewportLimit::clearWithinLimit(unsigned mask) const {
    if (!softwareRenderer) {
        glClear(mask);
        return true;
    }
    Display* display = glXGetCurrentDisplay();
    XGrabServer(display);
    Window root;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    bool known = XGetGeometry(display, glXGetCurrentDrawable(), &root, &x, &y, &width, &height,
                              &border, &depth) != 0;
    int w = static_cast<int>(width);
    int h = static_cast<int>(height);
    bool beyond = known && clampToViewportLimit(w, h, maxWidth, maxHeight);
    if (beyond) {
        glutReshapeWindow(w, h);
    } else {
        glClear(mask);
    }
    XUngrabServer(display);
    XFlush(display);
    return !beyond;
}

} // namespace spheres

#include "view/DisplayErrors.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

namespace spheres {

namespace {

int (*connectionLost)(const std::string&) = nullptr;
XID watched = 0;
bool errorCame = false;
DisplayError first;

int onError(Display* display, XErrorEvent* error) {
    if (errorCame) {
        return 0;
    }
    errorCame = true;
    // Requests on a window that is gone fail until the program learns that it is.
    if ((error->error_code == BadWindow || error->error_code == BadDrawable) && watched != 0 &&
        error->resourceid == watched) {
        first.how = DisplayEnd::WindowDestroyed;
        return 0;
    }
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    char message[256];
    std::snprintf(message, sizeof message, "the X server refused a request (%s; request %d.%d)",
                  text, error->request_code, error->minor_code);
    first.message = message;
    return 0;
}

// Xlib ends the process when this returns, and nothing may talk to the server any more.
int onConnectionLost(Display*) {
    static int status = -1;
    if (status < 0) {
        status = connectionLost("the connection to the X display was lost");
    }
    std::fflush(nullptr);
    _exit(status);
}

} // namespace

void handleDisplayEnds(int (*lost)(const std::string& message)) {
    connectionLost = lost;
    XSetErrorHandler(onError);
    XSetIOErrorHandler(onConnectionLost);
}

void watchWindow(unsigned long window) {
    watched = window;
}

void probeWatchedWindow() {
    Display* display = glXGetCurrentDisplay();
    if (display == nullptr || watched == 0 || errorCame) {
        return;
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(display, watched, &attributes);
}

const DisplayError* firstDisplayError() {
    return errorCame ? &first : nullptr;
}

} // namespace spheres

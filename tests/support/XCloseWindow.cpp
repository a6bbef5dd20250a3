// Asks a window to close as a window manager's close button does: a WM_PROTOCOLS message
// naming WM_DELETE_WINDOW, sent to the window.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: x-close-window WINDOW_ID\n"
                   "Sends the window WM_DELETE_WINDOW, as a window manager's close button does.\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    char* end = nullptr;
    Window window = std::strtoul(argv[1], &end, 0);
    Display* display = XOpenDisplay(nullptr);
    if (*end != '\0' || window == 0 || display == nullptr) {
        std::fprintf(stderr, "x-close-window: %s\n",
                     display == nullptr ? "cannot open the display" : "not a window id");
        return 2;
    }
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
    return sent != 0 ? 0 : 1;
}

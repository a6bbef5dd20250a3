#pragma once

#include <string>

namespace spheres {

/// How the X display ended a window program.
enum class DisplayEnd {
    /// Another client destroyed the window: a window closed from outside.
    WindowDestroyed,
    /// The server refused a request (an X error).
    RequestRefused,
};

/// The first X error since handleDisplayEnds(): what it means, and the server's words.
struct DisplayError {
    DisplayEnd how = DisplayEnd::RequestRefused;
    std::string message;
};

/// Replaces Xlib's handlers of X errors and of a lost connection, which print and exit with
/// status 1. An X error is kept for firstDisplayError(), for the program to end at its next
/// turn (an exit from inside Xlib's handler would wait for the server forever). A lost
/// connection (the client killed, the server gone) calls lost with what happened, and the
/// process exits at once with the status it returns.
void handleDisplayEnds(int (*lost)(const std::string& message));

/// Names the X window whose destruction by another client is WindowDestroyed rather than a
/// refused request.
void watchWindow(unsigned long window);

/// Asks the server about the watched window, a round trip: when another client destroyed it,
/// the answer is the error that firstDisplayError() then reports as WindowDestroyed. GLUT stops
/// drawing a window it has seen unmapped, so without asking, a destroyed window could go
/// unnoticed; a few times a second is enough.
void probeWatchedWindow();

/// The first X error that came, or null.
const DisplayError* firstDisplayError();

} // namespace spheres

#pragma once

namespace spheres {

/// The renderer's largest viewport (GL_MAX_VIEWPORT_DIMS) and the window programs' guard against
/// it: Mesa's software renderers (llvmpipe, softpipe, swrast) crash when they draw into a window
/// larger than that, so such a window is shrunk back to the limit and nothing is drawn until it
/// is. Every renderer gets the shrink; only the software ones pay for asking the X server the
/// window's size before each picture. Until the window is created the limit is unknown and
/// lowers nothing.
class GLViewportLimit {
public:
    /// Creates the GLUT window with the size and place set for GLUT and reads the limit. A window
    /// asked for beyond the limit (-geometry) is made again at the limit: a context first made
    /// current on a window that large crashes the renderer even once the window has shrunk.
    /// Returns GLUT's window id.
    int createWindow(const char* title);

    /// For the reshape callback: lowers a width or height beyond the limit to it and, when it
    /// lowered one, asks GLUT to resize the window to the result.
    void clampReshape(int& width, int& height) const;

    /// For the display callback, in place of its glClear: clears the buffers of mask and returns
    /// true when the current window, as the X server has it, is within the limit; otherwise
    /// requests its shrink, draws nothing and returns false, and the caller draws nothing this
    /// time. Mesa's software renderers size their buffers to the window as the server has it at
    /// the first drawing call after a swap, this clear; another client (a resize storm) could
    /// resize the window between the question and that call, so the server is grabbed from the
    /// question until the clear is done. With any other renderer (GL_RENDERER, read as the
    /// window was created) it only clears, with no question to the server.
    bool clearWithinLimit(unsigned mask) const;

private:
    int maxWidth = 0;
    int maxHeight = 0;
    bool softwareRenderer = false;
};

} // namespace spheres

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

    /// True when the current window, as the X server has it now, is beyond the limit; its shrink
    /// is then requested and the caller draws nothing this time. Always false, with no question
    /// to the server, unless the renderer (GL_RENDERER, read as the window was created) is one of
    /// Mesa's software renderers.
    bool windowBeyond() const;

private:
    int maxWidth = 0;
    int maxHeight = 0;
    bool softwareRenderer = false;
};

} // namespace spheres

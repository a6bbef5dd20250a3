#pragma once

#include <map>
#include <vector>

namespace spheres {

/// A key handler: no arguments, no result.
using KeyHandler = void (*)();

/// The process-wide registry of key bindings, filled once at start-up.
struct KeyBindings {
    /// Character code -> index into handlers.
    static std::map<unsigned, int> keyTable;
    /// Special-key code -> index into handlers; nothing binds a special key.
    static std::map<unsigned, int> specialKeyTable;
    static std::vector<KeyHandler> handlers;
    /// The index the next new binding receives; always handlers.size().
    static int nextHandlerIndex;

    /// Binds key to handler and returns 1; returns 0 and changes nothing if key is bound.
    static int bindKey(char key, KeyHandler handler);
};

/// Binds the fourteen keys in their fixed order (indices 0 to 13).
void registerKeyBindings();
/// The GLUT keyboard callback: Escape exits with status 1, other keys run their handler.
void handleKey(unsigned char key, int x, int y);
/// The GLUT special-key callback: runs the handler bound to the code, of which there is none.
void handleSpecialKey(int key, int x, int y);

// The handlers, each changing one of the application globals in place.
void increaseTransX();
void increaseTransY();
void increaseTransZ();
void decreaseTransX();
void decreaseTransY();
void decreaseTransZ();
void increaseRotX();
void increaseRotY();
void increaseRotZ();
void decreaseRotX();
void decreaseRotY();
void decreaseRotZ();
void toggleRunning();
/// Puts entries 0, 1 and 2 of bodyArray (those that exist) at the origin.
void recallFirstBodies();

} // namespace spheres

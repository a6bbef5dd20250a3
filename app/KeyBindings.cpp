#include "app/KeyBindings.h"

#include "app/AppGlobals.h"
#include "body/Body.h"

#include <cstdlib>

namespace spheres {

std::map<unsigned, int> KeyBindings::keyTable;
std::map<unsigned, int> KeyBindings::specialKeyTable;
std::vector<KeyHandler> KeyBindings::handlers;
int KeyBindings::nextHandlerIndex = 0;

int KeyBindings::bindKey(char key, KeyHandler handler) {
    // Stored as the 0..255 code that handleKey looks up, whatever the signedness of char.
    unsigned code = static_cast<unsigned char>(key);
    if (keyTable.count(code) != 0) {
        return 0;
    }
    keyTable[code] = nextHandlerIndex;
    ++nextHandlerIndex;
    handlers.push_back(handler);
    return 1;
}

void registerKeyBindings() {
    KeyBindings::bindKey('q', increaseTransX);
    KeyBindings::bindKey('a', increaseTransY);
    KeyBindings::bindKey('z', increaseTransZ);
    KeyBindings::bindKey('Q', decreaseTransX);
    KeyBindings::bindKey('A', decreaseTransY);
    KeyBindings::bindKey('Z', decreaseTransZ);
    KeyBindings::bindKey('w', increaseRotX);
    KeyBindings::bindKey('s', increaseRotY);
    KeyBindings::bindKey('x', increaseRotZ);
    KeyBindings::bindKey('W', decreaseRotX);
    KeyBindings::bindKey('S', decreaseRotY);
    KeyBindings::bindKey('X', decreaseRotZ);
    KeyBindings::bindKey(' ', toggleRunning);
    KeyBindings::bindKey('b', recallFirstBodies);
}

namespace {

void runBoundHandler(const std::map<unsigned, int>& table, unsigned code) {
    auto entry = table.find(code);
    if (entry == table.end()) {
        return;
    }
    int index = entry->second;
    if (index >= 0 && static_cast<std::size_t>(index) < KeyBindings::handlers.size()) {
        KeyBindings::handlers[static_cast<std::size_t>(index)]();
    }
}

} // namespace

void handleKey(unsigned char key, int, int) {
    // Escape is tested before the lookup, so no binding can override it.
    if (key == 27) {
        std::exit(1);
    }
    runBoundHandler(KeyBindings::keyTable, key);
}

void handleSpecialKey(int key, int, int) {
    runBoundHandler(KeyBindings::specialKeyTable, static_cast<unsigned>(key));
}

void increaseTransX() {
    cameraTransX += 5.0f;
}
void increaseTransY() {
    cameraTransY += 5.0f;
}
void increaseTransZ() {
    cameraTransZ += 50.0f;
}
void decreaseTransX() {
    cameraTransX -= 5.0f;
}
void decreaseTransY() {
    cameraTransY -= 5.0f;
}
void decreaseTransZ() {
    cameraTransZ -= 50.0f;
}
void increaseRotX() {
    cameraRotX += 10.0f;
}
void increaseRotY() {
    cameraRotY += 10.0f;
}
void increaseRotZ() {
    cameraRotZ += 10.0f;
}
void decreaseRotX() {
    cameraRotX -= 10.0f;
}
void decreaseRotY() {
    cameraRotY -= 10.0f;
}
void decreaseRotZ() {
    cameraRotZ -= 10.0f;
}
void toggleRunning() {
    simulationRunning = !simulationRunning;
}

void recallFirstBodies() {
    if (bodyArray == nullptr) {
        return;
    }
    for (int i = 0; i < bodyCount && i < 3; ++i) {
        bodyArray[i]->setPosition(Vector3::zero);
    }
}

} // namespace spheres

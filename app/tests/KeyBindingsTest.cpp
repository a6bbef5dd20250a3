#include "app/KeyBindings.h"

#include "AppTestScene.h"
#include "body/Body.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

// Registers the program's bindings once per process and resets the globals the keys change.
void freshKeys() {
    if (KeyBindings::handlers.empty()) {
        registerKeyBindings();
    }
    cameraTransX = cameraTransY = cameraTransZ = 0.0f;
    cameraRotX = cameraRotY = cameraRotZ = 0.0f;
    simulationRunning = true;
}

std::array<float, 6> camera() {
    return {cameraTransX, cameraTransY, cameraTransZ, cameraRotX, cameraRotY, cameraRotZ};
}

void press(const char* keys) {
    for (const char* k = keys; *k != '\0'; ++k) {
        handleKey(static_cast<unsigned char>(*k), 0, 0);
    }
}

} // namespace

TEST(KeyBindingsTest, RegistersFourteenKeysInTableOrder) {
    freshKeys();
    const char keys[] = "qazQAZwsxWSX b";
    const KeyHandler expected[] = {increaseTransX, increaseTransY,   increaseTransZ, decreaseTransX,
                                   decreaseTransY, decreaseTransZ,   increaseRotX,   increaseRotY,
                                   increaseRotZ,   decreaseRotX,     decreaseRotY,   decreaseRotZ,
                                   toggleRunning,  recallFirstBodies};
    ASSERT_EQ(KeyBindings::handlers.size(), 14u);
    EXPECT_EQ(KeyBindings::nextHandlerIndex, 14);
    EXPECT_EQ(KeyBindings::keyTable.size(), 14u);
    EXPECT_TRUE(KeyBindings::specialKeyTable.empty());
    for (int i = 0; i < 14; ++i) {
        unsigned code = static_cast<unsigned char>(keys[i]);
        ASSERT_EQ(KeyBindings::keyTable.count(code), 1u) << keys[i];
        EXPECT_EQ(KeyBindings::keyTable[code], i) << keys[i];
        EXPECT_EQ(KeyBindings::handlers[static_cast<std::size_t>(i)], expected[i]) << keys[i];
    }

    SCOPED_TRACE("a second binding of a bound key changes nothing");
    EXPECT_EQ(KeyBindings::bindKey('q', decreaseRotZ), 0);
    EXPECT_EQ(KeyBindings::handlers.size(), 14u);
    EXPECT_EQ(KeyBindings::nextHandlerIndex, 14);
    EXPECT_EQ(KeyBindings::keyTable['q'], 0);
    press("q");
    EXPECT_EQ(cameraTransX, 5.0f);
}

TEST(KeyBindingsTest, KeysChangeTheCameraAndTheRunningFlag) {
    freshKeys();
    press("qqazzzwsxxx");
    EXPECT_EQ(camera(), (std::array<float, 6>{10.0f, 5.0f, 150.0f, 10.0f, 10.0f, 30.0f}));

    SCOPED_TRACE("each opposite key restores the value exactly");
    std::array<float, 6> before = camera();
    const char* pairs[] = {"qQ", "aA", "zZ", "wW", "sS", "xX", "Qq", "Zz", "Ss"};
    for (const char* pair : pairs) {
        press(pair);
        EXPECT_EQ(std::memcmp(camera().data(), before.data(), sizeof before), 0) << pair;
    }

    SCOPED_TRACE("space pauses, and twice restores");
    press(" ");
    EXPECT_FALSE(simulationRunning);
    press(" ");
    EXPECT_TRUE(simulationRunning);

    SCOPED_TRACE("unbound and special keys do nothing");
    press("cB1\r\t");
    handleKey(0, 0, 0);
    handleKey(255, 0, 0);
    for (int special : {0x0001 /* F1 */, 0x0065 /* Up */, 27, 113 /* q */, 32}) {
        handleSpecialKey(special, 0, 0);
    }
    EXPECT_EQ(camera(), before);
    EXPECT_TRUE(simulationRunning);
}

TEST(KeyBindingsTest, RecallPutsOnlyTheFirstThreeBodiesAtTheOrigin) {
    freshKeys();
    for (int count : {100, 2, 0}) {
        SCOPED_TRACE(count);
        AppTestScene scene(count);
        std::vector<Vector3> place, speed;
        for (Body* body : scene.bodies) {
            place.push_back(body->getPosition());
            speed.push_back(body->getVelocity());
        }
        press("b");
        for (int i = 0; i < count; ++i) {
            Body* body = scene.bodies[static_cast<std::size_t>(i)];
            Vector3 expected = i < 3 ? Vector3::zero : place[static_cast<std::size_t>(i)];
            EXPECT_EQ(body->getPosition().lengthSquared(), expected.lengthSquared()) << i;
            EXPECT_EQ(body->getVelocity().x, speed[static_cast<std::size_t>(i)].x) << i;
            if (i < 3) {
                EXPECT_EQ(body->getPreviousPosition().x, place[static_cast<std::size_t>(i)].x);
            }
        }
    }
}

TEST(KeyBindingsTest, EscapeExitsWithStatusOne) {
    freshKeys();
    EXPECT_EXIT(handleKey(27, 0, 0), ::testing::ExitedWithCode(1), "");
}

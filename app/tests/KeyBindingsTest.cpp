#include "app/KeyBindings.h"

#include "app/AppGlobals.h"
#include "body/SphereBody.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

// The program's bindings, registered once per process, with the globals the keys change reset.
void freshKeys() {
    if (KeyBindings::handlers.empty()) {
        registerKeyBindings();
    }
    cameraTransX = cameraTransY = cameraTransZ = cameraRotX = cameraRotY = cameraRotZ = 0.0f;
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

TEST(KeyBindingsTest, FourteenKeysInTableOrderAndTheFirstBindingWins) {
    freshKeys();
    const char keys[] = "qazQAZwsxWSX b";
    ASSERT_EQ(KeyBindings::handlers.size(), 14u);
    EXPECT_EQ(KeyBindings::nextHandlerIndex, 14);
    EXPECT_EQ(KeyBindings::keyTable.size(), 14u);
    EXPECT_TRUE(KeyBindings::specialKeyTable.empty());
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(KeyBindings::keyTable.at(static_cast<unsigned char>(keys[i])), i) << keys[i];
    }
    EXPECT_EQ(KeyBindings::bindKey('q', decreaseRotZ), 0);
    EXPECT_EQ(KeyBindings::handlers.size(), 14u);
    EXPECT_EQ(KeyBindings::nextHandlerIndex, 14);
    press("q");
    EXPECT_EQ(cameraTransX, 5.0f);
}

TEST(KeyBindingsTest, KeysMoveTheCameraTogglePauseAndIgnoreTheRest) {
    freshKeys();
    press("qqazzzwsxxx");
    const std::array<float, 6> moved{10.0f, 5.0f, 150.0f, 10.0f, 10.0f, 30.0f};
    EXPECT_EQ(camera(), moved);

    SCOPED_TRACE("opposite keys restore the bits exactly");
    for (const char* pair : {"qQ", "aA", "zZ", "wW", "sS", "xX", "Qq", "Zz", "Xx"}) {
        press(pair);
        EXPECT_EQ(std::memcmp(camera().data(), moved.data(), sizeof moved), 0) << pair;
    }
    press(" ");
    EXPECT_FALSE(simulationRunning);
    press(" ");
    EXPECT_TRUE(simulationRunning);

    SCOPED_TRACE("unbound and special keys do nothing");
    press("cB1\r\t\x7f");
    for (int special : {1 /* F1 */, 101 /* Up */, 27, 113 /* q */, 32}) {
        handleSpecialKey(special, 0, 0);
    }
    EXPECT_EQ(camera(), moved);
    EXPECT_TRUE(simulationRunning);
}

TEST(KeyBindingsTest, RecallMovesOnlyTheFirstThreeBodiesThatExist) {
    freshKeys();
    for (int count : {4, 2, 0}) {
        SCOPED_TRACE(count);
        std::vector<SphereBody> made;
        for (int i = 0; i < 4; ++i) {
            made.emplace_back(Vector3(1.0f + i, 0.0f, 0.0f), 50.0f);
            made.back().setVelocity(Vector3(1.0f, -1.0f, 2.0f));
        }
        Body* bodies[4] = {&made[0], &made[1], &made[2], &made[3]};
        bodyArray = bodies;
        bodyCount = count;
        press("b");
        for (int i = 0; i < 4; ++i) {
            bool recalled = i < 3 && i < count;
            EXPECT_EQ(made[i].getPosition().x, recalled ? 0.0f : 1.0f + i) << i;
            EXPECT_EQ(made[i].getPreviousPosition().x, recalled ? 1.0f + i : 0.0f) << i;
            EXPECT_EQ(made[i].getVelocity().z, 2.0f) << i;
        }
    }
    bodyArray = nullptr;
    bodyCount = 100;
}

TEST(KeyBindingsTest, EscapeExitsWithStatusOne) {
    freshKeys();
    EXPECT_EXIT(handleKey(27, 0, 0), ::testing::ExitedWithCode(1), "");
}

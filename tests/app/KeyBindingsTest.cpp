#include "app/KeyBindings.h"

#include "app/AppGlobals.h"
#include "body/SphereBody.h"

#include <gtest/gtest.h>

#include <array>

using namespace spheres;

static std::array<float, 6> pressAndRead(const char* keys) {
    for (const char* k = keys; *k != '\0'; ++k) {
        handleKey(static_cast<unsigned char>(*k), 0, 0);
    }
    return {cameraTransX, cameraTransY, cameraTransZ, cameraRotX, cameraRotY, cameraRotZ};
}

TEST(KeyBindingsTest, TableHandlersAndRecall) {
    registerKeyBindings();
    const char keys[] = "qazQAZwsxWSX b";
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(KeyBindings::keyTable.at(static_cast<unsigned char>(keys[i])), i) << keys[i];
    }
    EXPECT_TRUE(KeyBindings::bindKey('q', decreaseRotZ) == 0 &&
                KeyBindings::handlers.size() == 14u);
    const std::array<float, 6> moved{10.0f, 5.0f, 150.0f, 10.0f, 10.0f, 30.0f}, start{};
    EXPECT_EQ(pressAndRead("qqazzzwsxxx"), moved);
    EXPECT_EQ(pressAndRead("QQAZZZWSXXX"), start);
    pressAndRead(" ");
    EXPECT_FALSE(simulationRunning);
    // Space resumes; unbound and special keys do nothing.
    for (int special : {1 /* F1 */, 101 /* Up */, 27, 113 /* q */, 32}) {
        handleSpecialKey(special, 0, 0);
    }
    EXPECT_TRUE(pressAndRead(" cB1\r\t\x7f") == start && simulationRunning);

    // "b" puts the first three bodies that exist at the origin, velocities kept.
    SphereBody moving(Vector3(1.0f, 0.0f, 0.0f), 50.0f);
    moving.setVelocity(Vector3(1.0f, -1.0f, 2.0f));
    for (int count : {4, 2}) {
        std::vector<SphereBody> made(4, moving);
        Body* bodies[4] = {&made[0], &made[1], &made[2], &made[3]};
        bodyArray = bodies;
        bodyCount = count;
        pressAndRead("b");
        for (int i = 0; i < 4; ++i) {
            bool recalled = i < 3 && i < count;
            EXPECT_TRUE(made[i].getPosition().x == (recalled ? 0.0f : 1.0f) &&
                        made[i].getPreviousPosition().x == (recalled ? 1.0f : 0.0f) &&
                        made[i].getVelocity().z == 2.0f)
                << count << " bodies, " << i;
        }
    }
    bodyArray = nullptr;
    bodyCount = 100;
}

#include "app/FrameLogic.h"

#include "app/CameraMatrices.h"
#include "body/SphereBody.h"
#include "frustum/MatrixFrustum.h"
#include "world/World.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(FrameLogicTest, PausedFramesResolveContactsAndCountTheirOwnVisibleBodies) {
    // Equal bodies closing head on: after one step they overlap, first touching halfway.
    World scene;
    SphereBody a(Vector3(-150.0f, 0.0f, 0.0f), 100.0f), b(Vector3(150.0f, 0.0f, 0.0f), 100.0f);
    a.setVelocity(Vector3(1000.0f, 0.0f, 0.0f));
    b.setVelocity(Vector3(-1000.0f, 0.0f, 0.0f));
    scene.addBody(&a);
    scene.addBody(&b);
    scene.step(1.0e-9f);
    Body* bodies[] = {&a, &b};
    MatrixFrustum frustum = defaultCameraFrustum();
    BodyList visible{nullptr}; // a list that is not empty still gives the frame's own count
    // A running frame over no bodies only steps: the contact is left for the paused frame.
    EXPECT_EQ(simulateFrame(scene, bodies, 0, true, 0.1f, frustum, visible).contacts, 0);
    EXPECT_NEAR(a.getPosition().x, -50.0f, 1e-3f);
    visible = {nullptr};
    FrameOutcome paused = simulateFrame(scene, bodies, 2, false, 0.1f, frustum, visible);
    EXPECT_GE(paused.contacts, 1);
    EXPECT_TRUE(paused.drawn == 2 && visible.size() == 3u);
    EXPECT_NEAR(a.getPosition().x, -150.0f, 1e-2f); // bounced back, not stepped on
    EXPECT_NEAR(b.getPosition().x, 150.0f, 1e-2f);
    visible.clear();
    float projection[16], modelview[16]; // the camera past the scene sees nothing
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, 20000.0f, 0.0f, 0.0f, 0.0f, modelview);
    MatrixFrustum behind(projection, modelview);
    EXPECT_EQ(simulateFrame(scene, bodies, 2, true, 0.1f, behind, visible).drawn, 0);
    EXPECT_TRUE(visible.empty());
}

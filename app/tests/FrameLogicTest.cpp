#include "app/FrameLogic.h"

#include "AppTestScene.h"
#include "app/CameraMatrices.h"
#include "body/SphereBody.h"
#include "frustum/MatrixFrustum.h"

#include <gtest/gtest.h>

namespace {

MatrixFrustum cameraFrustum(float tz = 0.0f) {
    float projection[16];
    float modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, tz, 0.0f, 0.0f, 0.0f, modelview);
    return MatrixFrustum(projection, modelview);
}

} // namespace

TEST(FrameLogicTest, DefaultCameraSeesTheSceneThinOut) {
    AppTestScene scene;
    MatrixFrustum frustum = cameraFrustum();
    int totalContacts = 0;
    for (int frame = 1; frame <= 2000; ++frame) {
        BodyList visible{nullptr}; // a list that is not empty still gives the frame's own count
        FrameOutcome outcome =
            simulateFrame(*world, bodyArray, bodyCount, true, timeStep, frustum, visible);
        ASSERT_EQ(static_cast<std::size_t>(outcome.drawn) + 1, visible.size()) << frame;
        totalContacts += outcome.contacts;
        if (frame == 300) {
            EXPECT_EQ(outcome.drawn, 61);
        } else if (frame == 1000) {
            EXPECT_EQ(outcome.drawn, 8);
        } else if (frame == 2000) {
            EXPECT_EQ(outcome.drawn, 1);
        }
    }
    EXPECT_GT(totalContacts, 0);
}

TEST(FrameLogicTest, PausedFrameResolvesContactsWithoutStepping) {
    // Two equal bodies closing head on: after one step they overlap, first touching halfway.
    World scene;
    SphereBody a(Vector3(-150.0f, 0.0f, 0.0f), 100.0f);
    SphereBody b(Vector3(150.0f, 0.0f, 0.0f), 100.0f);
    a.setVelocity(Vector3(1000.0f, 0.0f, 0.0f));
    b.setVelocity(Vector3(-1000.0f, 0.0f, 0.0f));
    scene.addBody(&a);
    scene.addBody(&b);
    scene.step(1.0e-9f);
    Body* bodies[] = {&a, &b};
    MatrixFrustum frustum = cameraFrustum();

    SCOPED_TRACE("a running frame that resolves nobody only steps");
    BodyList visible;
    FrameOutcome moved = simulateFrame(scene, bodies, 0, true, 0.1f, frustum, visible);
    EXPECT_EQ(moved.contacts, 0);
    EXPECT_EQ(moved.drawn, 2);
    EXPECT_NEAR(a.getPosition().x, -50.0f, 1e-3f);

    SCOPED_TRACE("the paused frame finds the contact and bounces both back");
    visible.clear();
    FrameOutcome paused = simulateFrame(scene, bodies, 2, false, 0.1f, frustum, visible);
    EXPECT_GE(paused.contacts, 1);
    EXPECT_EQ(paused.drawn, 2);
    EXPECT_LT(a.getVelocity().x, 0.0f);
    EXPECT_GT(b.getVelocity().x, 0.0f);
    EXPECT_NEAR(a.getPosition().x, -150.0f, 1e-2f);
    EXPECT_NEAR(b.getPosition().x, 150.0f, 1e-2f);

    SCOPED_TRACE("a frustum behind the scene counts nothing, contacts still run");
    visible.clear();
    MatrixFrustum away = cameraFrustum(20000.0f);
    FrameOutcome unseen = simulateFrame(scene, bodies, 2, true, 0.1f, away, visible);
    EXPECT_EQ(unseen.drawn, 0);
    EXPECT_TRUE(visible.empty());
}

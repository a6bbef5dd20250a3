#include "app/FrameLogic.h"

#include "app/CameraMatrices.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"
#include "frustum/MatrixFrustum.h"
#include "world/World.h"

#include <gtest/gtest.h>

namespace {

MatrixFrustum cameraFrustum(float tz) {
    float projection[16];
    float modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, tz, 0.0f, 0.0f, 0.0f, modelview);
    return MatrixFrustum(projection, modelview);
}

} // namespace

TEST(FrameLogicTest, DefaultCameraSeesTheSceneThinOut) {
    World scene;
    std::vector<Body*> bodies = populateScene(scene, 100, 1);
    scene.step(1.0e-9f);
    MatrixFrustum frustum = cameraFrustum(0.0f);
    int contacts = 0;
    for (int frame = 1; frame <= 2000; ++frame) {
        BodyList visible{nullptr}; // a list that is not empty still gives the frame's own count
        FrameOutcome outcome =
            simulateFrame(scene, bodies.data(), 100, true, 0.1f, frustum, visible);
        ASSERT_EQ(static_cast<std::size_t>(outcome.drawn) + 1, visible.size()) << frame;
        contacts += outcome.contacts;
        const int expected[][2] = {{300, 61}, {1000, 8}, {2000, 1}};
        for (const auto& e : expected) {
            EXPECT_TRUE(frame != e[0] || outcome.drawn == e[1]) << frame << ": " << outcome.drawn;
        }
    }
    EXPECT_GT(contacts, 0);
}

TEST(FrameLogicTest, PausedFramesResolveContactsAndHiddenBodiesCountNothing) {
    // Equal bodies closing head on: after one step they overlap, first touching halfway.
    World scene;
    SphereBody a(Vector3(-150.0f, 0.0f, 0.0f), 100.0f);
    SphereBody b(Vector3(150.0f, 0.0f, 0.0f), 100.0f);
    a.setVelocity(Vector3(1000.0f, 0.0f, 0.0f));
    b.setVelocity(Vector3(-1000.0f, 0.0f, 0.0f));
    scene.addBody(&a);
    scene.addBody(&b);
    scene.step(1.0e-9f);
    Body* bodies[] = {&a, &b};
    MatrixFrustum frustum = cameraFrustum(0.0f);
    BodyList visible;
    // A running frame over no bodies only steps: the contact is left for the paused frame.
    EXPECT_EQ(simulateFrame(scene, bodies, 0, true, 0.1f, frustum, visible).contacts, 0);
    EXPECT_NEAR(a.getPosition().x, -50.0f, 1e-3f);

    visible.clear();
    FrameOutcome paused = simulateFrame(scene, bodies, 2, false, 0.1f, frustum, visible);
    EXPECT_GE(paused.contacts, 1);
    EXPECT_EQ(paused.drawn, 2);
    EXPECT_NEAR(a.getPosition().x, -150.0f, 1e-2f); // bounced back, not stepped on
    EXPECT_NEAR(b.getPosition().x, 150.0f, 1e-2f);
    EXPECT_TRUE(a.getVelocity().x < 0.0f && b.getVelocity().x > 0.0f);

    visible.clear();
    MatrixFrustum behind = cameraFrustum(20000.0f);
    EXPECT_EQ(simulateFrame(scene, bodies, 2, true, 0.1f, behind, visible).drawn, 0);
    EXPECT_TRUE(visible.empty());
}

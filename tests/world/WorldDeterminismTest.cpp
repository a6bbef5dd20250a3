#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <memory>

TEST(WorldDeterminismTest, TwoWorldsStayBitIdenticalAndReachThePinnedPositionHash) {
    // The program's scene and frame, twice side by side.
    World worlds[2];
    std::vector<std::unique_ptr<SphereBody>> owned;
    std::vector<Body*> bodies[2];
    for (int w = 0; w < 2; ++w) {
        bodies[w] = buildScene(worlds[w], 100);
        for (Body* body : bodies[w]) {
            owned.emplace_back(static_cast<SphereBody*>(body));
        }
    }
    MatrixFrustum frustum = defaultCameraFrustum();
    for (int frame = 0; frame < 200; ++frame) {
        for (int w = 0; w < 2; ++w) {
            BodyList visible;
            simulateFrame(worlds[w], bodies[w].data(), 100, true, 0.1f, frustum, visible);
        }
        for (std::size_t i = 0; i < 100; ++i) {
            // Bit patterns, so that -0 against +0 or a NaN counts as a difference too.
            Vector3 state[4] = {bodies[0][i]->getPosition(), bodies[0][i]->getVelocity(),
                                bodies[1][i]->getPosition(), bodies[1][i]->getVelocity()};
            ASSERT_EQ(std::memcmp(&state[0], &state[2], 2 * sizeof(Vector3)), 0)
                << "body " << i << " differs at frame " << frame;
        }
    }
    std::uint64_t actual = hashFloats({});
    for (Body* body : bodies[0]) {
        Vector3 p = body->getPosition();
        actual = hashFloats({p.x, p.y, p.z}, actual);
    }
    EXPECT_EQ(actual, 0xb8a3d6b34f1b91e0ull) << "actual hash 0x" << std::hex << actual;
}

#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

/// The program's scene in miniature: 100 scene bodies, placed by a vanishing first step.
struct SimulatedScene {
    std::deque<SphereBody> bodies;
    World world;

    explicit SimulatedScene(std::uint32_t seed) {
        TestRandom random(seed);
        for (int i = 0; i < 100; ++i) {
            bodies.push_back(makeSceneBody(random));
            world.addBody(&bodies.back());
        }
        world.step(1e-9f);
    }
};

TEST(WorldDeterminismTest, TwoWorldsFromTheSameSceneStayBitIdentical) {
    SimulatedScene a(77), b(77);
    for (int frame = 0; frame < 300; ++frame) {
        runFrame(a.world, a.bodies);
        runFrame(b.world, b.bodies);
        for (std::size_t i = 0; i < a.bodies.size(); ++i) {
            // Bit patterns, so that -0 against +0 or a NaN counts as a difference too.
            Vector3 state[4] = {a.bodies[i].getPosition(), a.bodies[i].getVelocity(),
                                b.bodies[i].getPosition(), b.bodies[i].getVelocity()};
            ASSERT_EQ(std::memcmp(&state[0], &state[2], 2 * sizeof(Vector3)), 0)
                << "body " << i << " differs at frame " << frame;
        }
    }
}

TEST(WorldDeterminismTest, FixedSceneReachesThePinnedPositionHash) {
    SimulatedScene scene(1);
    for (int frame = 0; frame < 200; ++frame) {
        runFrame(scene.world, scene.bodies);
    }
    // FNV-1a over the bytes of every position component, low byte first.
    std::uint64_t actual = 14695981039346656037ull;
    for (SphereBody& body : scene.bodies) {
        Vector3 p = body.getPosition();
        for (float component : {p.x, p.y, p.z}) {
            std::uint32_t word;
            std::memcpy(&word, &component, sizeof word);
            for (int byte = 0; byte < 4; ++byte) {
                actual = (actual ^ ((word >> (8 * byte)) & 0xFFu)) * 1099511628211ull;
            }
        }
    }
    const std::uint64_t expected = 0xd60c52fa393bfbb9ull;
    EXPECT_EQ(actual, expected) << "actual hash 0x" << std::hex << actual;
}

} // namespace

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(WorldDeterminismTest, TwoWorldsStayBitIdenticalAndReachThePinnedPositionHash) {
    // The program's scene in miniature, twice: 100 scene bodies placed by a vanishing step.
    std::deque<SphereBody> bodies[2];
    World worlds[2];
    for (int w = 0; w < 2; ++w) {
        TestRandom random{1};
        for (int i = 0; i < 100; ++i) {
            bodies[w].push_back(makeSceneBody(random));
            worlds[w].addBody(&bodies[w].back());
        }
        worlds[w].step(1e-9f);
    }
    for (int frame = 0; frame < 200; ++frame) {
        runFrame(worlds[0], bodies[0]);
        runFrame(worlds[1], bodies[1]);
        for (std::size_t i = 0; i < 100; ++i) {
            // Bit patterns, so that -0 against +0 or a NaN counts as a difference too.
            Vector3 state[4] = {bodies[0][i].getPosition(), bodies[0][i].getVelocity(),
                                bodies[1][i].getPosition(), bodies[1][i].getVelocity()};
            ASSERT_EQ(std::memcmp(&state[0], &state[2], 2 * sizeof(Vector3)), 0)
                << "body " << i << " differs at frame " << frame;
        }
    }
    // FNV-1a over the bytes of every position component, low byte first.
    std::uint64_t actual = 14695981039346656037ull;
    for (SphereBody& body : bodies[0]) {
        Vector3 p = body.getPosition();
        for (float component : {p.x, p.y, p.z}) {
            std::uint32_t word;
            std::memcpy(&word, &component, sizeof word);
            for (int shift = 0; shift < 32; shift += 8) {
                actual = (actual ^ ((word >> shift) & 0xFFu)) * 1099511628211ull;
            }
        }
    }
    EXPECT_EQ(actual, 0xd60c52fa393bfbb9ull) << "actual hash 0x" << std::hex << actual;
}

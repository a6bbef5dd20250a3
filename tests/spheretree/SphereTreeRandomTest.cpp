#include "body/CollisionResponse.h"
#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TreeChecker.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

namespace {

/// Hits and pruning-explained misses of one kind of query, summed over a run.
struct Tally {
    const char* name;
    int hits = 0;
    int prunedMisses = 0;
};

template <class Query>
void compare(QuerySphereTree& tree, const Query& query, bool hasTimes, Tally& tally, int step) {
    ReferenceComparison comparison = compareWithReference(tree, query, hasTimes);
    EXPECT_EQ(comparison.mismatch, "") << tally.name << " query at step " << step;
    tally.hits += comparison.hits;
    tally.prunedMisses += comparison.prunedMisses;
}

Vector3 randomPoint(TestRandom& random, float extent) {
    return Vector3(random.nextFloat(-extent, extent), random.nextFloat(-extent, extent),
                   random.nextFloat(-extent, extent));
}

TEST(SphereTreeRandomTest, TreeMatchesBruteForceWhileBodiesMoveArriveAndLeave) {
    TestRandom random(2024);
    std::deque<SphereBody> bodies; // declared first: the World's tree points at them
    World world;
    auto addBodies = [&](int count) {
        for (int i = 0; i < count; ++i) {
            // Every 25th body is fast enough to leave the root sphere within the run.
            bodies.push_back(makeSceneBody(random, bodies.size() % 25 == 0 ? 400.0f : 1.0f));
            world.addBody(&bodies.back());
        }
    };
    addBodies(300);
    world.step(1e-9f);

    float projection[16];
    perspectiveMatrix(75.0, 640.0 / 480.0, 1.0, 300000.0, projection);
    Tally sweep{"sweep"}, frustum{"frustum"}, sphere{"sphere"}, ray{"ray"}, segment{"segment"};
    QuerySphereTree& tree = world.getTree();
    int escaped = 0;
    for (int step = 1; step <= 400; ++step) {
        world.step(0.1f);
        ASSERT_EQ(checkTree(tree), "") << "after step " << step;
        if (step == 120) {
            addBodies(40);
        }
        if (step == 200) {
            for (std::size_t i = 0; i < bodies.size(); i += 9) {
                world.removeBody(&bodies[i]);
            }
            ASSERT_EQ(checkTree(tree), "") << "after removals";
        }
        if (step % 20 == 0) {
            for (SphereBody& body : bodies) {
                compare(tree, SweepQuery{&body}, true, sweep, step);
            }
            float modelview[16];
            translationMatrix(random.nextFloat(-8000.0f, 8000.0f),
                              random.nextFloat(-8000.0f, 8000.0f), -10000.0f, modelview);
            MatrixFrustum view(projection, modelview);
            compare(tree, FrustumQuery{&view}, false, frustum, step);
            for (int i = 0; i < 40; ++i) {
                // Aimed at a body, so that leaves lying outside an ancestor get probed.
                Body* aim = &bodies[random.nextInt(static_cast<int>(bodies.size()))];
                Vector3 target = aim->getPosition() + randomPoint(random, 100.0f);
                compare(tree, SphereQuery{target, random.nextFloat(1.0f, 500.0f)}, false, sphere,
                        step);
                Vector3 origin = target + randomPoint(random, 8000.0f);
                compare(tree, RayQuery{origin, (target - origin).normalized()}, true, ray, step);
                compare(tree, SegmentQuery{origin, target}, true, segment, step);
            }
        }
        // Resolve each body's earliest contact, as the program's frame does.
        for (SphereBody& body : bodies) {
            BodyList hits;
            TimeList times;
            world.querySweep(&body, hits, times);
            resolveEarliestContact(&body, hits, times);
        }
    }
    for (SphereBody& body : bodies) {
        escaped += body.isAlive() ? 0 : 1;
    }
    for (const Tally* tally : {&sweep, &frustum, &sphere, &ray, &segment}) {
        EXPECT_GT(tally->hits, 0) << tally->name;
        std::printf("%s: %d hits, %d misses explained by pruning\n", tally->name, tally->hits,
                    tally->prunedMisses);
    }
    // Misses happen where a leaf lies outside an ancestor; the aimed queries find such leaves.
    for (const Tally* tally : {&sweep, &sphere, &ray, &segment}) {
        EXPECT_GT(tally->prunedMisses, 0) << tally->name;
    }
    EXPECT_GT(escaped, 0);
    // Left for the World's tear-down: waiting, attached and escaped leaves.
    addBodies(5);
    EXPECT_EQ(tree.getIntegrateQueue().size(), 5u);
}

} // namespace

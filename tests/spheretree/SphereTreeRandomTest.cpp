#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

namespace {

/// Results and pruning-explained misses of one kind of query, summed over the run.
struct Tally {
    const char* name;
    int hits = 0;
    int prunedMisses = 0;

    template <class Query> void compare(QuerySphereTree& tree, const Query& query, int step) {
        ReferenceComparison comparison = compareWithReference(tree, query);
        EXPECT_TRUE(comparison.matches) << name << " query differs from brute force at " << step;
        hits += comparison.hits;
        prunedMisses += comparison.prunedMisses;
    }
};

TEST(SphereTreeRandomTest, TreeMatchesBruteForceWhileBodiesMoveArriveAndLeave) {
    TestRandom random(2024);
    std::deque<SphereBody> bodies; // declared first: the World's tree points at them
    World world;
    auto addBodies = [&](int count) {
        for (int i = 0; i < count; ++i) { // every 25th fast enough to leave the root sphere
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
    for (int step = 1; step <= 400; ++step) {
        runFrame(world, bodies);
        ASSERT_EQ(checkTree(tree), "") << "after step " << step;
        if (step == 120) {
            addBodies(40);
        }
        for (std::size_t i = 0; step == 200 && i < bodies.size(); i += 9) {
            world.removeBody(&bodies[i]);
        }
        ASSERT_EQ(checkTree(tree), "") << "after arrivals and removals at " << step;
        if (step % 20 != 0) {
            continue;
        }
        for (SphereBody& body : bodies) {
            sweep.compare(tree, SweepQuery{&body}, step);
        }
        float modelview[16];
        float x = random.nextFloat(-8000.0f, 8000.0f); // one draw per statement: one order
        translationMatrix(x, random.nextFloat(-8000.0f, 8000.0f), -10000.0f, modelview);
        MatrixFrustum view(projection, modelview);
        frustum.compare(tree, FrustumQuery{&view}, step);
        for (int i = 0; i < 40; ++i) { // aimed at bodies, to probe leaves outside an ancestor
            Body& aim = bodies[random.nextInt(static_cast<int>(bodies.size()))];
            Vector3 target = aim.getPosition() + random.nextVector(100.0f);
            sphere.compare(tree, SphereQuery{target, random.nextFloat(1.0f, 500.0f)}, step);
            Vector3 origin = target + random.nextVector(8000.0f);
            ray.compare(tree, RayQuery{origin, (target - origin).normalized()}, step);
            segment.compare(tree, SegmentQuery{origin, target}, step);
        }
    }
    for (const Tally* tally : {&sweep, &frustum, &sphere, &ray, &segment}) {
        std::printf("%s: %d hits, %d misses explained by pruning\n", tally->name, tally->hits,
                    tally->prunedMisses);
        EXPECT_GT(tally->hits, 0) << tally->name;
        EXPECT_TRUE(tally == &frustum || tally->prunedMisses > 0) << tally->name;
    }
    // The World is torn down holding attached, escaped (reachable, no longer listed) and five
    // waiting leaves, for the leak checkers to see all of them freed.
    addBodies(5);
    std::vector<TreeNode*> reachable;
    collectLeaves(tree.getRoot(), reachable);
    std::size_t listed = tree.getLeaves().size();
    EXPECT_TRUE(reachable.size() + 5 > listed && listed > 5);
    EXPECT_EQ(tree.getIntegrateQueue().size(), 5u);
}

} // namespace

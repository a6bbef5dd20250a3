#include "frustum/MatrixFrustum.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

/// One kind of query against a brute-force walk of every node: the leaves the exact test accepts,
/// depth first, with times; those below a rejected ancestor count as misses pruning explains.
struct Tally {
    const char* name;
    int hits = 0, prunedMisses = 0;
    BodyList expected{};
    TimeList expectedTimes{};

    template <class Query> void walk(const Query& query, const TreeNode* node, bool pruned) {
        float time = 0.0f;
        bool accepted = query.accepts(*node, time);
        if (!(node->flags & TreeNodeFlags::Leaf)) {
            for (const TreeNode* child : node->children) {
                walk(query, child, pruned || !accepted);
            }
        } else if (accepted && pruned) {
            ++prunedMisses;
        } else if (accepted) {
            expected.push_back(node->body);
            expectedTimes.push_back(time);
        }
    }
    template <class Query> void compare(QuerySphereTree& tree, const Query& query, int step) {
        BodyList bodies{nullptr}; // the tree must append after what the lists already hold
        TimeList times{-1.0f};
        expected = bodies;
        expectedTimes = times;
        walk(query, tree.getRoot(), false);
        query.run(tree, bodies, times);
        hits += static_cast<int>(bodies.size()) - 1;
        EXPECT_TRUE(bodies == expected && (times.size() == 1 || times == expectedTimes))
            << name << " query differs from brute force at " << step;
    }
};

TEST(SphereTreeRandomTest, TreeMatchesBruteForceWhileBodiesMoveArriveAndLeave) {
    TestRandom random{2024};
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
    Matrix projection = programPerspective();
    Tally sweep{"sweep"}, frustum{"frustum"}, sphere{"sphere"}, ray{"ray"}, segment{"segment"};
    QuerySphereTree& tree = world.getTree();
    for (int step = 1; step <= 400; ++step) {
        runFrame(world, bodies);
        if (step == 120) {
            addBodies(40);
        }
        for (std::size_t i = 0; step == 200 && i < bodies.size(); i += 9) {
            world.removeBody(&bodies[i]);
        }
        ASSERT_EQ(checkTree(tree), "") << "after step " << step << " and its arrivals or removals";
        if (step % 20 != 0) {
            continue;
        }
        for (SphereBody& body : bodies) {
            sweep.compare(tree, SweepQuery{&body}, step);
        }
        float x = random.nextFloat(-8000.0f, 8000.0f); // one draw per statement: one order
        Matrix modelview = translation(x, random.nextFloat(-8000.0f, 8000.0f), -10000.0f);
        MatrixFrustum view(projection.data(), modelview.data());
        frustum.compare(tree, FrustumQuery{&view}, step);
        for (int i = 0; i < 40; ++i) { // aimed at bodies, to probe leaves outside an ancestor
            Body& aim = bodies[random.nextInt(static_cast<int>(bodies.size()))];
            Vector3 target = aim.getPosition() + random.nextVector(100.0f);
            sphere.compare(tree, SphereQuery{target, random.nextFloat(1.0f, 500.0f)}, step);
            Vector3 origin = target + random.nextVector(8000.0f);
            ray.compare(tree, LineQuery{origin, target, false}, step);
            segment.compare(tree, LineQuery{origin, target, true}, step);
        }
    }
    for (const Tally* tally : {&sweep, &frustum, &sphere, &ray, &segment}) {
        std::printf("%s: %d hits, %d misses explained by pruning\n", tally->name, tally->hits,
                    tally->prunedMisses);
        EXPECT_GT(tally->hits, 0) << tally->name;
        EXPECT_TRUE(tally == &frustum || tally->prunedMisses > 0) << tally->name;
    }
    // Torn down holding attached, escaped and waiting leaves: the leak checkers see all freed.
    addBodies(5);
    auto dead = std::count_if(bodies.begin(), bodies.end(), [](Body& b) { return !b.isAlive(); });
    EXPECT_TRUE(dead > 0 && tree.getLeaves().size() > 5 && tree.getIntegrateQueue().size() == 5);
}

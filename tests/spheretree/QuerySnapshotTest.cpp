// The query snapshot against the literal walks it stands in for: same lists in the same order,
// and never a copy older than the tree.
#include "frustum/MatrixFrustum.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>

namespace {

using Query = std::function<void(BodyList&, TimeList&)>;

/// Runs query through the literal walk and the snapshot; adds the literal walk's results to hits.
::testing::AssertionResult sameThroughBothWalks(QuerySphereTree& tree, const Query& query,
                                                int& hits) {
    BodyList literal{nullptr}, snapshot{nullptr}; // both walks append after what is there
    TimeList literalTimes{-1.0f}, snapshotTimes{-1.0f};
    tree.setQueryWalk(QueryWalk::Literal);
    query(literal, literalTimes);
    tree.setQueryWalk(QueryWalk::Snapshot);
    query(snapshot, snapshotTimes);
    hits += static_cast<int>(literal.size()) - 1;
    if (literal == snapshot && literalTimes == snapshotTimes) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "literal walk " << literal.size() - 1 << " results, snapshot " << snapshot.size() - 1;
}

} // namespace

TEST(QuerySnapshotTest, AllFiveQueriesMatchTheLiteralWalkWhileTheSceneChanges) {
    RandomScene scene(20);
    scene.add(300, 4242);
    scene.world.step(1e-9f);
    std::vector<Body*>& bodies = scene.bodies;
    TestDraws draws{SceneRandom(4242)};
    QuerySphereTree& tree = scene.world.getTree();
    float projection[16];
    defaultProjectionMatrix(projection);
    int sweepHits = 0, frustumHits = 0, sphereHits = 0, lineHits = 0;
    for (int step = 1; step <= 120; ++step) {
        scene.frame();
        if (step == 30) {
            scene.add(50, 4243);
        }
        for (std::size_t i = 0; step == 60 && i < bodies.size(); i += 7) {
            scene.world.removeBody(bodies[i]);
        }
        if (step == 90) { // overflows to infinity in x only: the body dies, its leaf is stranded
            bodies[5]->setVelocity(Vector3(FLT_MAX, 0.0f, 0.0f));
            bodies[5]->setAcceleration(Vector3(FLT_MAX, 0.0f, 0.0f));
        }
        ASSERT_EQ(tree.refreshSnapshot().compareWith(tree.getRoot()), "") << step;
        if (step % 10 != 0) {
            continue;
        }
        for (Body* body : bodies) {
            EXPECT_TRUE(sameThroughBothWalks(
                tree, [&](BodyList& b, TimeList& t) { tree.querySweep(body, b, t); }, sweepHits))
                << "sweep at " << step;
        }
        float x = draws.between(-8000.0f, 8000.0f); // one draw per statement: one order
        Matrix modelview = translation(x, draws.between(-8000.0f, 8000.0f), -10000.0f);
        MatrixFrustum view(projection, modelview.data());
        EXPECT_TRUE(sameThroughBothWalks(
            tree, [&](BodyList& b, TimeList&) { tree.queryFrustum(view, b); }, frustumHits))
            << "frustum at " << step;
        for (int i = 0; i < 30; ++i) { // aimed at bodies, so that leaves are hit
            Vector3 target = bodies[draws.index(bodies.size())]->getPosition();
            float radius = draws.between(1.0f, 500.0f);
            Vector3 origin = target + draws.vector(8000.0f);
            EXPECT_TRUE(sameThroughBothWalks(
                tree, [&](BodyList& b, TimeList&) { tree.querySphere(target, radius, b); },
                sphereHits));
            Vector3 direction = (target - origin).normalized();
            EXPECT_TRUE(sameThroughBothWalks(
                tree, [&](BodyList& b, TimeList& t) { tree.queryRay(origin, direction, b, t); },
                lineHits));
            EXPECT_TRUE(sameThroughBothWalks(
                tree, [&](BodyList& b, TimeList& t) { tree.querySegment(origin, target, b, t); },
                lineHits));
        }
    }
    EXPECT_TRUE(sweepHits > 0 && frustumHits > 0 && sphereHits > 0 && lineHits > 0);
    EXPECT_TRUE(std::isinf(bodies[5]->getPosition().x) && !bodies[5]->isAlive());
    auto dead = std::count_if(bodies.begin(), bodies.end(), [](Body* b) { return !b->isAlive(); });
    EXPECT_GT(dead, 1); // fast bodies escaped besides the one that overflowed
}

TEST(QuerySnapshotTest, EveryOperationThatChangesTheTreeIsSeenByTheNextQuery) {
    TreeScene scene;
    QuerySphereTree& tree = scene.tree;
    int hits = 0;
    auto agrees = [&](const char* after) { // every node lies within 200 000 of the origin
        EXPECT_EQ(tree.refreshSnapshot().compareWith(tree.getRoot()), "") << after;
        EXPECT_TRUE(sameThroughBothWalks(
            tree, [&](BodyList& b, TimeList&) { tree.querySphere(Vector3::zero, 2e5f, b); }, hits))
            << after;
    };
    TreeNode* first = scene.add(0.0f, 50.0f);
    EXPECT_EQ(scene.update(), "");
    agrees("update");
    TreeNode* second = scene.add(600.0f, 50.0f);
    EXPECT_EQ(scene.update(), "");
    agrees("update after insert");

    TreeNode* level1 = tree.getRoot()->children.front();
    level1->radius += 1.0f; // a field written directly, announced by invalidate()
    tree.invalidate();
    agrees("invalidate");
    EXPECT_EQ(tree.recomputeNode(level1), 1); // shrinks it around its one child
    agrees("recomputeNode");

    first->detach(); // placed again by hand, 2000 away: new level-4 and level-5 nodes
    first->center = Vector3(2000.0f, 0.0f, 0.0f);
    tree.integrateNode(first, tree.getRoot());
    agrees("integrateNode");
    tree.update();
    tree.removeNode(second);
    agrees("removeNode");
    tree.remove(&scene.bodies.front());
    agrees("remove");
    EXPECT_EQ(hits, 1 + 2 + 2 + 2 + 2 + 1 + 0);
}

TEST(QuerySnapshotTest, PlacementTiesGoToTheEarlierChildThroughTheListsAndTheSnapshot) {
    for (QueryWalk walk : {QueryWalk::Literal, QueryWalk::Snapshot}) {
        TreeScene scene;
        scene.tree.setQueryWalk(walk); // the snapshot, when kept, is what placement scans
        // Two level-4 nodes 2100 apart below one level-3 node; the first shrinks to 1600.001
        // around a leaf too large for level 5, the second keeps 2048.
        TreeNode* first = scene.add(0.0f, 50.0f);
        EXPECT_EQ(scene.update(), "");
        scene.add(2100.0f, 50.0f);
        EXPECT_EQ(scene.update(), "");
        scene.add(0.0f, 600.0f);
        EXPECT_EQ(scene.update(), "");
        TreeNode* shrunk = first->parent->parent;
        ASSERT_EQ(shrunk->radius, 1600.001f);
        // Halfway between them both contain the leaf at the same distance score; the earlier
        // child wins although the later one would leave a larger margin.
        TreeNode* between = scene.add(1050.0f, 10.0f);
        EXPECT_EQ(scene.update(), "");
        EXPECT_EQ(between->parent->parent, shrunk);
    }
}

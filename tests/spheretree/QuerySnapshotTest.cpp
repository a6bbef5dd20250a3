// The query snapshot after every operation that changes the tree: never a copy older than the
// tree; and its copy made on threads, the one-thread copy. Random scenes run both walks against a
// reference walk in QuerySphereTreeQueryTest.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace spheres;

TEST(QuerySnapshotTest, EveryOperationThatChangesTheTreeIsSeenByTheNextQuery) {
    TreeScene scene;
    QuerySphereTree& tree = scene.tree;
    std::size_t hits = 0;
    // The ray, segment and sphere queries read the leaves' spheres from the copy: each walk runs
    // them along the x axis, where every leaf lies (within 200 000 of the origin).
    auto run = [&](QueryWalk walk, BodyList& bodies, TimeList& times) {
        tree.setQueryWalk(walk);
        tree.querySphere(Vector3::zero, 2e5f, bodies);
        tree.queryRay(Vector3(-2e5f, 0.0f, 0.0f), Vector3::unitX, bodies, times);
        tree.querySegment(Vector3(-2e5f, 0.0f, 0.0f), Vector3(2e5f, 0.0f, 0.0f), bodies, times);
        tree.setQueryWalk(QueryWalk::Snapshot);
    };
    auto agrees = [&](const char* after) {
        EXPECT_EQ(tree.refreshSnapshot().compareWith(tree.getRoot()), "") << after;
        BodyList literal, snapshot;
        TimeList literalTimes, snapshotTimes;
        run(QueryWalk::Literal, literal, literalTimes);
        run(QueryWalk::Snapshot, snapshot, snapshotTimes);
        EXPECT_TRUE(literal == snapshot && literalTimes == snapshotTimes) << after;
        hits += literal.size() / 3;
    };
    TreeNode* first = scene.add(0.0f, 50.0f);
    EXPECT_EQ(scene.update(), "");
    agrees("update");
    TreeNode* second = scene.add(600.0f, 50.0f);
    EXPECT_EQ(scene.update(), "");
    agrees("update after insert");
    TreeScene::moveTo(second, 610.0f); // it stays inside its node: nothing is placed or re-fitted
    EXPECT_EQ(scene.update(), "");
    agrees("update in which every leaf stayed in its node");

    TreeNode* level1 = tree.getRoot()->children.front();
    level1->radius += 1.0f; // a field written directly, announced by invalidate()
    tree.invalidate();
    agrees("invalidate");
    EXPECT_EQ(tree.recomputeNode(level1), 1); // shrinks it around its one child
    agrees("recomputeNode");

    first->detach(); // placed again by hand, 2000 away: new level-4 and level-5
                     // nodes
    first->center = Vector3(2000.0f, 0.0f, 0.0f);
    tree.integrateNode(first, tree.getRoot());
    agrees("integrateNode");
    tree.update();
    tree.removeNode(second);
    agrees("removeNode");
    tree.remove(&scene.bodies.front());
    agrees("remove");
    EXPECT_EQ(hits, 1u + 2 + 2 + 2 + 2 + 2 + 1 + 0);
}

// The threads copy the subtrees below the shallowest depth that has a few per thread (down to
// 3); trees from one cluster to hundreds of level-1 nodes, with leaves and empty nodes at every
// depth, take every depth.
TEST(QuerySnapshotTest, CopiesOnThreadsAreTheOneThreadCopyOnThousandsOfSmallTrees) {
    int wide = 0, narrow = 0;
    for (std::uint32_t seed = 1; seed <= 1500; ++seed) {
        TestDraws draw{SceneRandom(seed)};
        // The tree frees only the nodes it made; this one outlives it.
        std::unique_ptr<TreeNode> empty;
        TreeScene scene;
        static const float extents[] = {500.0f, 20000.0f, 300000.0f};
        float extent = extents[draw.index(3)];
        for (std::size_t i = 0, n = 1 + draw.index(150); i < n; ++i) {
            static const float radii[] = {50.0f, 50.0f, 700.0f, 40000.0f};
            scene.add(draw.vector(extent), radii[draw.index(4)]);
        }
        scene.tree.update();
        // Some leaves moved and placed again, some nodes left empty by hand.
        for (TreeNode* leaf : scene.tree.getLeaves()) {
            if (draw.index(4) == 0) {
                leaf->body->setPosition(draw.vector(extent));
            }
        }
        scene.tree.update();
        TreeNode* root = scene.tree.getRoot();
        for (TreeNode* child : root->children) {
            if (child->flags & TreeNodeFlags::Leaf || draw.index(3) != 0) {
                continue;
            }
            empty = std::make_unique<TreeNode>(nullptr, 0);
            child->addChild(empty.get());
            empty->initBounding(child, TreeNodeFlags::Bounding, Vector3::zero);
            break;
        }
        (root->children.size() >= 8 ? wide : narrow) += 1;
        QuerySnapshot one, many;
        one.build(root, 1);
        int threads = 2 + static_cast<int>(draw.index(6));
        many.build(root, threads);
        ASSERT_TRUE(one == many) << "tree " << seed << " on " << threads << " threads";
        ASSERT_EQ(many.compareWith(root), "") << "tree " << seed;
    }
    EXPECT_GT(wide, 100);
    EXPECT_GT(narrow, 100);
}

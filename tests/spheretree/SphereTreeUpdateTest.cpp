#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace spheres;

/// The bounding node at level (1..5) on the path from the root to leaf.
static TreeNode* ancestorAt(TreeNode* node, int level) {
    while (node->level != level) {
        node = node->parent;
    }
    return node;
}

TEST(SphereTreeUpdateTest, OneLeafChainFollowsItsLeafAndShrinksOnlyBelowItsRadius) {
    TreeScene scene;
    TreeNode* leaf = scene.add(0.0f, 50.0f);
    // The level-5 recompute needs 1050.001 > 512 and is abandoned, so no node shrinks. At 600
    // the leaf leaves its parent, which goes; the chain above re-centres on it.
    const struct {
        float x, radii[5];
    } stages[] = {{0.0f, {131072.0f, 32768.0f, 8192.0f, 2048.0f, 512.0f}},
                  {600.0f, {4512.0f, 3512.0f, 2512.0f, 1512.0f, 512.0f}}};
    for (const auto& stage : stages) {
        TreeScene::moveTo(leaf, stage.x);
        ASSERT_EQ(scene.update(), "");
        for (int level = 1; level <= 5; ++level) {
            TreeNode* node = ancestorAt(leaf, level);
            EXPECT_TRUE(node->radius == stage.radii[level - 1] && node->center.x == stage.x &&
                        node->center.y == 0.0f)
                << "at " << stage.x << ", level " << level;
        }
    }
    EXPECT_EQ(leaf->level, 6);
    EXPECT_EQ(scene.tree.countNodes(), 7u); // the old level-5 node went
    // Level 4 needs 0 + 1000 + 512, exactly its radius: that recompute changes and queues
    // nothing; from 1600 it shrinks to 1512 and queues the parent.
    TreeNode* level4 = ancestorAt(leaf, 4);
    EXPECT_EQ(scene.tree.recomputeNode(level4), 1);
    EXPECT_TRUE(scene.tree.getRecomputeQueue().empty());
    level4->radius = 1600.0f;
    scene.tree.recomputeNode(level4);
    EXPECT_EQ(level4->radius, 1512.0f);
    EXPECT_EQ(scene.tree.getRecomputeQueue(), TreeNodeList{level4->parent});
    // Just outside the shrunk level-3 node, a new leaf grows it to slack + distance score.
    TreeNode* level3 = ancestorAt(leaf, 3);
    TreeNode* outside = scene.add(3600.0f, 50.0f);
    ASSERT_EQ(scene.update(), "");
    EXPECT_EQ(ancestorAt(outside, 3), level3);
    EXPECT_EQ(level3->radius, 1000.0f + (3000.0f + (50.0f + 0.001f)));
}

TEST(SphereTreeUpdateTest, NewLeafIsPlacedByDistanceScore) {
    {
        SCOPED_TRACE("at 1900: a new level-5 node reaching beyond the level-4 node");
        TreeScene scene;
        TreeNode* first = scene.add(0.0f, 50.0f);
        scene.update();
        TreeNode* leaf = scene.add(1900.0f, 50.0f);
        ASSERT_EQ(scene.update(), "");
        TreeNode *level4 = ancestorAt(first, 4), *parent = leaf->parent;
        EXPECT_TRUE(parent->parent == level4 && parent->center.x == 1900.0f);
        EXPECT_TRUE(level4->radius == 2048.0f && level4->center.x == 0.0f); // not recomputed
        TreeScene::moveTo(leaf, 2300.0f); // still in its parent, wholly outside level 4
        ASSERT_EQ(scene.update(), "");
        EXPECT_EQ(leaf->parent, parent);
    }
    // Placement scans the snapshot when one is kept (the nodes' radii read from the nodes), the
    // children lists otherwise.
    for (QueryWalk walk : {QueryWalk::Literal, QueryWalk::Snapshot}) {
        SCOPED_TRACE("equal distance scores: the earlier child wins, though a later is larger");
        TreeScene scene;
        scene.tree.setQueryWalk(walk);
        TreeNode* first = scene.add(0.0f, 50.0f);
        scene.add(600.0f, 50.0f);
        scene.update();
        first->parent->radius = 400.0f; // as if shrunk: still holds the first leaf
        TreeNode* third = scene.add(300.0f, 50.0f);
        TreeNode* large = scene.add(-300000.0f, 600.0f);
        TreeNode* largest = scene.add(300000.0f, 511.999f);
        TreeNode* huge = scene.add(400000.0f, 2e5f); // sticks out of the root until it escapes
        ASSERT_EQ(scene.update(), "");
        EXPECT_EQ(third->parent, first->parent);
        EXPECT_EQ(large->level, 5) << "radius 600: too large for a level-5 child";
        EXPECT_EQ(largest->level, 6) << "radius 512: the largest a level-5 child may have";
        EXPECT_EQ(huge->level, 1) << "too large for any child: hung on the root itself";
    }
}

TEST(SphereTreeUpdateTest, ExactFitsAgainstParentAndRoot) {
    // 61.999f + 0.001f is 62 exactly, so these fits come out exactly 0 or 1.
    const struct {
        const char* label;
        float x, fit;
        bool staysUnderParent, alive;
    } cases[] = {
        {"fit 0 against the parent: stays", 512.0f - 62.0f, 0.0f, true, true},
        {"fit 0 against the root: escapes, keeping its parent", 524288.0f - 62.0f, 0, true, false},
        {"fit 1 against the root: placed again", 524288.0f - 63.0f, 1.0f, false, true},
    };
    // On one thread, and with the leaves refreshed and tested on two (a second leaf far away).
    for (int threads : {1, 2}) {
        for (const auto& c : cases) {
            TreeScene scene;
            scene.tree.setThreads(ThreadBudget{threads, 1});
            TreeNode* leaf = scene.add(0.0f, 61.999f);
            scene.add(-300000.0f, 50.0f);
            scene.update();
            TreeNode* parent = leaf->parent;
            TreeScene::moveTo(leaf, c.x);
            ASSERT_EQ(scene.update(), "") << c.label;
            EXPECT_TRUE(leaf->fit == c.fit && (leaf->parent == parent) == c.staysUnderParent &&
                        leaf->body->isAlive() == c.alive &&
                        scene.tree.getLeaves().size() == (c.alive ? 2u : 1u))
                << c.label << " on " << threads << " threads";
        }
    }
}

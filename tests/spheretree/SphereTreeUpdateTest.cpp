#include "spheretree/QuerySphereTree.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TreeChecker.h"

#include <gtest/gtest.h>

namespace {

/// The bounding node at level (1..5) on the path from the root to leaf.
TreeNode* ancestorAt(TreeNode* leaf, int level) {
    TreeNode* node = leaf->parent;
    while (node != nullptr && node->level != level) {
        node = node->parent;
    }
    return node;
}

void updateAndCheck(TreeScene& scene) {
    scene.tree.update();
    ASSERT_EQ(checkTree(scene.tree), "");
    ASSERT_TRUE(scene.tree.getRecomputeQueue().empty());
    ASSERT_TRUE(scene.tree.getIntegrateQueue().empty());
}

TEST(SphereTreeUpdateTest, FirstLeafBuildsOneNodePerLevelCentredOnIt) {
    TreeScene scene;
    Body* body = scene.add(Vector3::zero, 50.0f);
    updateAndCheck(scene);
    const float radii[] = {131072.0f, 32768.0f, 8192.0f, 2048.0f, 512.0f};
    TreeNode* node = scene.tree.getRoot();
    for (int level = 1; level <= 5; ++level) {
        ASSERT_EQ(node->children.size(), 1u);
        node = node->children.front();
        EXPECT_EQ(node->level, level);
        EXPECT_EQ(node->flags, unsigned(TreeNodeFlags::Bounding));
        // The level-5 recompute needs 1050.001 > 512 and is abandoned: no node shrinks.
        EXPECT_EQ(node->radius, radii[level - 1]);
        EXPECT_EQ(node->center.x, 0.0f);
    }
    ASSERT_EQ(node->children.size(), 1u);
    TreeNode* leaf = node->children.front();
    EXPECT_EQ(leaf, scene.leafOf(body));
    EXPECT_EQ(leaf->level, 6);
    EXPECT_EQ(leaf->flags, unsigned(TreeNodeFlags::Leaf));
}

TEST(SphereTreeUpdateTest, SecondLeafIsPlacedByDistanceScore) {
    auto placeSecond = [](TreeScene& scene, const Vector3& at, float radius) {
        TreeNode* first = scene.leafOf(scene.add(Vector3::zero, 50.0f));
        scene.tree.update();
        TreeNode* second = scene.leafOf(scene.add(at, radius));
        updateAndCheck(scene);
        return std::make_pair(first, second);
    };
    {
        SCOPED_TRACE("at (100, 0, 0): joins the same level-5 node");
        TreeScene scene;
        auto [first, second] = placeSecond(scene, Vector3(100.0f, 0.0f, 0.0f), 50.0f);
        EXPECT_EQ(second->parent, first->parent);
        EXPECT_EQ(scene.tree.countNodes(), 8u);
    }
    {
        SCOPED_TRACE("at (600, 0, 0): a new level-5 node under the same level-4 node");
        TreeScene scene;
        auto [first, second] = placeSecond(scene, Vector3(600.0f, 0.0f, 0.0f), 50.0f);
        EXPECT_NE(second->parent, first->parent);
        EXPECT_EQ(second->parent->parent, first->parent->parent);
        EXPECT_EQ(second->parent->center.x, 600.0f);
        EXPECT_EQ(second->parent->radius, 512.0f);
    }
    {
        SCOPED_TRACE("at (1900, 0, 0): a new level-5 node reaching beyond its parent");
        TreeScene scene;
        auto [first, second] = placeSecond(scene, Vector3(1900.0f, 0.0f, 0.0f), 50.0f);
        TreeNode* level4 = ancestorAt(first, 4);
        EXPECT_EQ(second->parent->parent, level4);
        EXPECT_EQ(second->parent->center.x, 1900.0f);
        EXPECT_EQ(level4->radius, 2048.0f); // not recomputed
        EXPECT_EQ(level4->center.x, 0.0f);

        // Moved to 2300 it still fits its own parent, now wholly outside the level-4 node.
        TreeScene::moveTo(second->body, Vector3(2300.0f, 0.0f, 0.0f));
        TreeNode* parent = second->parent;
        updateAndCheck(scene);
        EXPECT_EQ(second->parent, parent);
        EXPECT_GT(2300.0f - 50.0f, level4->radius);
    }
    {
        SCOPED_TRACE("equal distance scores: the earlier child wins, though a later one is larger");
        TreeScene scene;
        auto [first, second] = placeSecond(scene, Vector3(600.0f, 0.0f, 0.0f), 50.0f);
        first->parent->radius = 400.0f; // as if shrunk: still holds the first leaf
        TreeNode* third = scene.leafOf(scene.add(Vector3(300.0f, 0.0f, 0.0f), 50.0f));
        updateAndCheck(scene);
        EXPECT_EQ(third->parent, first->parent);
    }
    {
        SCOPED_TRACE("just outside a shrunk level-3 node: the node grows around the leaf");
        TreeScene scene;
        Body* body = scene.add(Vector3::zero, 50.0f);
        scene.tree.update();
        TreeScene::moveTo(body, Vector3(600.0f, 0.0f, 0.0f)); // levels 1-4 shrink to 4512..1512
        scene.tree.update();
        TreeNode* level3 = ancestorAt(scene.leafOf(body), 3);
        ASSERT_EQ(level3->radius, 2512.0f);
        TreeNode* leaf = scene.leafOf(scene.add(Vector3(3600.0f, 0.0f, 0.0f), 50.0f));
        updateAndCheck(scene);
        EXPECT_EQ(ancestorAt(leaf, 3), level3);
        // Grown to slack + distance score; the following recompute is abandoned.
        EXPECT_EQ(level3->radius, 1000.0f + (3000.0f + (50.0f + 0.001f)));
        EXPECT_EQ(level3->center.x, 600.0f);
    }
    {
        SCOPED_TRACE("radius 600: too large for a level-5 child, attached at level 5");
        TreeScene scene;
        TreeNode* leaf = scene.leafOf(scene.add(Vector3::zero, 600.0f));
        updateAndCheck(scene);
        EXPECT_EQ(leaf->level, 5);
        EXPECT_EQ(leaf->parent->level, 4);
    }
}

TEST(SphereTreeUpdateTest, LeafThatLeavesItsParentIsReplacedAndTheChainRecentres) {
    TreeScene scene;
    Body* body = scene.add(Vector3::zero, 50.0f);
    scene.tree.update();
    TreeNode* leaf = scene.leafOf(body);
    TreeNode* oldLevel5 = leaf->parent;
    TreeNode* level4 = oldLevel5->parent;
    TreeScene::moveTo(body, Vector3(600.0f, 0.0f, 0.0f));
    updateAndCheck(scene);

    EXPECT_NE(leaf->parent, oldLevel5); // the emptied node is gone
    EXPECT_EQ(leaf->parent->parent, level4);
    EXPECT_EQ(level4->children.size(), 1u);
    EXPECT_EQ(leaf->parent->radius, 512.0f);
    EXPECT_EQ(scene.tree.countNodes(), 7u);
    const float radii[] = {4512.0f, 3512.0f, 2512.0f, 1512.0f}; // levels 1..4
    for (int level = 1; level <= 4; ++level) {
        TreeNode* node = ancestorAt(leaf, level);
        EXPECT_EQ(node->center.x, 600.0f) << "level " << level;
        EXPECT_EQ(node->radius, radii[level - 1]) << "level " << level;
    }
}

TEST(SphereTreeUpdateTest, BoundaryFitsAndAbandonedRecomputes) {
    float sweptRadius = 62.0f;
    float radius = bodyRadiusForSweptRadius(sweptRadius);
    {
        SCOPED_TRACE("fit exactly 0 against the parent: stays attached");
        TreeScene scene;
        Body* body = scene.add(Vector3::zero, radius);
        scene.tree.update();
        TreeNode* leaf = scene.leafOf(body);
        TreeNode* parent = leaf->parent;
        TreeScene::moveTo(body, Vector3(512.0f - sweptRadius, 0.0f, 0.0f));
        updateAndCheck(scene);
        EXPECT_EQ(leaf->fit, 0.0f);
        EXPECT_EQ(leaf->parent, parent);
    }
    for (float inset : {0.0f, 1.0f}) {
        SCOPED_TRACE(inset == 0.0f ? "fit exactly 0 against the root: escapes"
                                   : "fit 1 against the root: placed again");
        TreeScene scene;
        Body* body = scene.add(Vector3::zero, radius);
        scene.tree.update();
        TreeNode* leaf = scene.leafOf(body);
        TreeNode* parent = leaf->parent;
        TreeScene::moveTo(body, Vector3(524288.0f - sweptRadius - inset, 0.0f, 0.0f));
        updateAndCheck(scene);
        bool escaped = inset == 0.0f;
        EXPECT_EQ(leaf->fit, inset);
        EXPECT_EQ(body->isAlive(), !escaped);
        EXPECT_EQ(scene.tree.getLeaves().empty(), escaped);
        EXPECT_EQ(leaf->parent == parent, escaped); // an escaped leaf keeps its parent
        EXPECT_TRUE(scene.tree.getEscapedLeaves().empty());
    }
    {
        SCOPED_TRACE("a recompute needing exactly the present radius is abandoned");
        TreeScene scene;
        Body* body = scene.add(Vector3::zero, 50.0f);
        scene.tree.update();
        TreeScene::moveTo(body, Vector3(600.0f, 0.0f, 0.0f));
        scene.tree.update();
        TreeNode* level4 = ancestorAt(scene.leafOf(body), 4);
        ASSERT_EQ(level4->radius, 1512.0f); // 0 + 1000 + 512, exactly what it needs
        EXPECT_EQ(scene.tree.recomputeNode(level4), 1);
        EXPECT_TRUE(scene.tree.getRecomputeQueue().empty());
        EXPECT_EQ(level4->radius, 1512.0f);

        level4->radius = 1600.0f;
        EXPECT_EQ(scene.tree.recomputeNode(level4), 1);
        EXPECT_EQ(level4->radius, 1512.0f);
        EXPECT_EQ(scene.tree.getRecomputeQueue().front(), level4->parent);
        scene.tree.update();
        EXPECT_EQ(checkTree(scene.tree), "");
    }
}

TEST(SphereTreeUpdateTest, QueueFlagsKeepQueuesFreeOfDuplicatesAndTheRoot) {
    TreeScene scene;
    scene.tree.queueRecompute(scene.tree.getRoot());
    scene.tree.queueIntegrate(scene.tree.getRoot());
    EXPECT_TRUE(scene.tree.getRecomputeQueue().empty());
    EXPECT_TRUE(scene.tree.getIntegrateQueue().empty());
    EXPECT_EQ(scene.tree.getRoot()->flags, unsigned(TreeNodeFlags::Root | TreeNodeFlags::Bounding));

    Body* body = scene.add(Vector3::zero, 50.0f);
    TreeNode* leaf = scene.leafOf(body);
    scene.tree.queueIntegrate(leaf); // already queued by insert
    EXPECT_EQ(scene.tree.getIntegrateQueue().size(), 1u);
    scene.tree.update();
    TreeNode* parent = leaf->parent;
    scene.tree.queueRecompute(parent);
    scene.tree.queueRecompute(parent);
    EXPECT_EQ(scene.tree.getRecomputeQueue().size(), 1u);
    EXPECT_TRUE(parent->flags & TreeNodeFlags::RecomputeQueued);
    EXPECT_EQ(checkTree(scene.tree), "");
    updateAndCheck(scene);
    EXPECT_FALSE(parent->flags & TreeNodeFlags::RecomputeQueued);

    // A leaf inserted after the update is placed with its refreshed, swept sphere.
    SphereBody mover =
        makeBody(Vector3(300.0f, 0.0f, 0.0f), 10.0f, Vector3::zero, Vector3(100.0f, 0.0f, 0.0f));
    scene.tree.insert(&mover);
    TreeNode* moverLeaf = scene.leafOf(&mover);
    EXPECT_EQ(moverLeaf->center.x, 300.0f);
    updateAndCheck(scene);
    EXPECT_EQ(moverLeaf->center.x, 200.0f);
    EXPECT_EQ(moverLeaf->radius, 200.0f + 10.0f + 0.001f);
    scene.tree.remove(&mover);
}

} // namespace

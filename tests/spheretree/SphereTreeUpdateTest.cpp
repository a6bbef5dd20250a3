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

/// A scene whose first leaf, radius 50 at the origin, is placed; the chain shrinks around it
/// when moveFirstTo600 (levels 1..4 to 4512, 3512, 2512, 1512, centred on x = 600).
struct UpdateScene : TreeScene {
    Body* first;
    explicit UpdateScene(bool moveFirstTo600 = false) {
        first = add(Vector3::zero, 50.0f);
        tree.update();
        if (moveFirstTo600) {
            moveTo(first, Vector3(600.0f, 0.0f, 0.0f));
            tree.update();
        }
    }
    /// Adds a body, updates, checks the tree and returns the body's leaf.
    TreeNode* place(const Vector3& at, float radius) {
        TreeNode* leaf = leafOf(add(at, radius));
        updateAndCheck();
        return leaf;
    }
    void updateAndCheck() {
        tree.update();
        EXPECT_EQ(checkTree(tree), "");
        EXPECT_TRUE(tree.getRecomputeQueue().empty() && tree.getIntegrateQueue().empty());
    }
};

TEST(SphereTreeUpdateTest, FirstLeafBuildsOneNodePerLevelCentredOnIt) {
    UpdateScene scene;
    EXPECT_EQ(checkTree(scene.tree), "");
    const float radii[] = {131072.0f, 32768.0f, 8192.0f, 2048.0f, 512.0f};
    TreeNode* node = scene.tree.getRoot();
    for (int level = 1; level <= 6; ++level) {
        ASSERT_EQ(node->children.size(), 1u);
        node = node->children.front();
        EXPECT_EQ(node->level, level);
        EXPECT_EQ(node->center, Vector3::zero);
        if (level <= 5) { // the level-5 recompute needs 1050.001 > 512: abandoned, none shrinks
            EXPECT_EQ(node->radius, radii[level - 1]);
        }
    }
    EXPECT_EQ(node, scene.leafOf(scene.first));
}

TEST(SphereTreeUpdateTest, NewLeafIsPlacedByDistanceScore) {
    {
        SCOPED_TRACE("at (100, 0, 0): joins the first leaf's level-5 node");
        UpdateScene scene;
        TreeNode* first = scene.leafOf(scene.first);
        EXPECT_EQ(scene.place(Vector3(100.0f, 0.0f, 0.0f), 50.0f)->parent, first->parent);
        EXPECT_EQ(scene.tree.countNodes(), 8u);
    }
    for (float x : {600.0f, 1900.0f}) {
        SCOPED_TRACE(x == 600.0f ? "at 600: a new level-5 node under the same level-4 node"
                                 : "at 1900: a new level-5 node reaching beyond its parent");
        UpdateScene scene;
        TreeNode* level4 = ancestorAt(scene.leafOf(scene.first), 4);
        TreeNode* leaf = scene.place(Vector3(x, 0.0f, 0.0f), 50.0f);
        EXPECT_EQ(leaf->parent->parent, level4);
        EXPECT_EQ(leaf->parent->center.x, x);
        EXPECT_EQ(leaf->parent->radius, 512.0f);
        EXPECT_TRUE(level4->radius == 2048.0f && level4->center.x == 0.0f); // not recomputed
        if (x == 1900.0f) { // at 2300 it still fits its own parent, wholly outside level 4
            TreeNode* parent = leaf->parent;
            TreeScene::moveTo(leaf->body, Vector3(2300.0f, 0.0f, 0.0f));
            scene.updateAndCheck();
            EXPECT_EQ(leaf->parent, parent);
        }
    }
    {
        SCOPED_TRACE("equal distance scores: the earlier child wins, though a later is larger");
        UpdateScene scene;
        TreeNode* first = scene.leafOf(scene.first);
        scene.place(Vector3(600.0f, 0.0f, 0.0f), 50.0f);
        first->parent->radius = 400.0f; // as if shrunk: still holds the first leaf
        EXPECT_EQ(scene.place(Vector3(300.0f, 0.0f, 0.0f), 50.0f)->parent, first->parent);
    }
    {
        SCOPED_TRACE("just outside a shrunk level-3 node: it grows to slack + distance score");
        UpdateScene scene(true);
        TreeNode* level3 = ancestorAt(scene.leafOf(scene.first), 3);
        ASSERT_EQ(level3->radius, 2512.0f);
        EXPECT_EQ(ancestorAt(scene.place(Vector3(3600.0f, 0.0f, 0.0f), 50.0f), 3), level3);
        EXPECT_EQ(level3->radius, 1000.0f + (3000.0f + (50.0f + 0.001f))); // recompute abandoned
        EXPECT_EQ(level3->center.x, 600.0f);
    }
    {
        SCOPED_TRACE("radius 600: too large for a level-5 child, attached at level 5");
        TreeScene scene;
        TreeNode* leaf = scene.leafOf(scene.add(Vector3::zero, 600.0f));
        scene.tree.update();
        EXPECT_EQ(checkTree(scene.tree), "");
        EXPECT_EQ(leaf->level, 5);
    }
}

TEST(SphereTreeUpdateTest, LeafThatLeavesItsParentIsReplacedAndTheChainRecentres) {
    UpdateScene scene;
    TreeNode* leaf = scene.leafOf(scene.first);
    TreeNode* oldParent = leaf->parent;
    TreeNode* level4 = oldParent->parent;
    TreeScene::moveTo(scene.first, Vector3(600.0f, 0.0f, 0.0f));
    scene.updateAndCheck();
    EXPECT_NE(leaf->parent, oldParent); // the emptied node is gone
    EXPECT_EQ(level4->children, TreeNodeList{leaf->parent});
    EXPECT_EQ(leaf->parent->radius, 512.0f);
    EXPECT_EQ(scene.tree.countNodes(), 7u);
    const float radii[] = {4512.0f, 3512.0f, 2512.0f, 1512.0f}; // levels 1..4
    for (int level = 1; level <= 4; ++level) {
        TreeNode* node = ancestorAt(leaf, level);
        EXPECT_TRUE(node->center.x == 600.0f && node->radius == radii[level - 1]) << level;
    }
}

TEST(SphereTreeUpdateTest, BoundaryFitsAndAbandonedRecomputes) {
    const float swept = 62.0f;
    struct Case {
        const char* label;
        float x;    // where the leaf's sphere is centred next
        float fit;  // against the node it is measured against
        bool stays; // still under its old parent
        bool alive;
    };
    const Case cases[] = {
        {"fit exactly 0 against the parent: stays", 512.0f - swept, 0.0f, true, true},
        {"fit exactly 0 against the root: escapes", 524288.0f - swept, 0.0f, true, false},
        {"fit 1 against the root: placed again", 524288.0f - swept - 1.0f, 1.0f, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TreeScene scene;
        Body* body = scene.add(Vector3::zero, bodyRadiusForSweptRadius(swept));
        scene.tree.update();
        TreeNode* leaf = scene.leafOf(body);
        TreeNode* parent = leaf->parent;
        TreeScene::moveTo(body, Vector3(c.x, 0.0f, 0.0f));
        scene.tree.update();
        EXPECT_EQ(checkTree(scene.tree), "");
        EXPECT_EQ(leaf->fit, c.fit);
        EXPECT_EQ(leaf->parent == parent, c.stays); // an escaped leaf keeps its parent
        EXPECT_EQ(body->isAlive(), c.alive);
        EXPECT_EQ(scene.tree.getLeaves().empty(), !c.alive);
    }
    {
        SCOPED_TRACE("a recompute needing exactly the present radius is abandoned");
        UpdateScene scene(true);
        TreeNode* level4 = ancestorAt(scene.leafOf(scene.first), 4);
        ASSERT_EQ(level4->radius, 1512.0f); // 0 + 1000 + 512, exactly what it needs
        EXPECT_EQ(scene.tree.recomputeNode(level4), 1);
        EXPECT_TRUE(scene.tree.getRecomputeQueue().empty());
        level4->radius = 1600.0f;
        EXPECT_EQ(scene.tree.recomputeNode(level4), 1);
        EXPECT_EQ(level4->radius, 1512.0f);
        EXPECT_EQ(scene.tree.getRecomputeQueue(), TreeNodeList{level4->parent});
        scene.updateAndCheck();
    }
}

} // namespace

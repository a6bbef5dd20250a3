#include "spheretree/QuerySphereTree.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TreeChecker.h"

#include <gtest/gtest.h>

namespace {

TEST(SphereTreeTest, RemoveTakesTheEarliestLeafAndTheNextUpdatePrunesTheEmptiedChain) {
    TreeScene scene;
    Body* body = scene.add(Vector3::zero, 10.0f);
    SphereBody stranger(Vector3::zero, 1.0f);
    scene.tree.remove(&stranger); // not held: nothing changes
    scene.tree.insert(body);
    TreeNode* second = scene.tree.getLeaves().back();
    scene.tree.remove(body); // the waiting leaf inserted first goes
    EXPECT_EQ(scene.tree.getLeaves(), TreeNodeList{second});
    EXPECT_EQ(scene.tree.getIntegrateQueue(), TreeNodeList{second});
    EXPECT_TRUE(scene.tree.getRecomputeQueue().empty());
    scene.tree.update();
    EXPECT_EQ(scene.tree.countNodes(), 7u); // root, five bounding levels, the leaf
    TreeNode* parent = second->parent;
    scene.tree.remove(body);
    EXPECT_TRUE(parent->children.empty());
    EXPECT_EQ(scene.tree.getRecomputeQueue(), TreeNodeList{parent});
    EXPECT_EQ(checkTree(scene.tree), "");
    scene.tree.update();
    EXPECT_EQ(scene.tree.countNodes(), 1u);
    EXPECT_EQ(checkTree(scene.tree), "");
}

TEST(TreeCheckerTest, ReportsBrokenInvariants) {
    TreeScene scene;
    TreeNode* leaf = scene.leafOf(scene.add(Vector3::zero, 50.0f));
    scene.tree.update();
    ASSERT_EQ(checkTree(scene.tree), "");
    TreeNode* parent = leaf->parent;
    for (float broken : {40.0f, 600.0f}) { // leaf sticks out; radius beyond maxRadius
        parent->radius = broken;
        EXPECT_NE(checkTree(scene.tree), "") << broken;
    }
    parent->radius = 512.0f;
    leaf->level = 7;
    EXPECT_NE(checkTree(scene.tree), "");
    leaf->level = 6;
    leaf->flags |= TreeNodeFlags::RecomputeQueued; // flag without queue entry
    EXPECT_NE(checkTree(scene.tree), "");
    leaf->flags = TreeNodeFlags::Leaf;
    EXPECT_EQ(checkTree(scene.tree), "");
}

} // namespace

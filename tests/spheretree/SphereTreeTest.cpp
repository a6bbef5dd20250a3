#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(SphereTreeTest, RemoveTakesTheEarliestLeafAndTheNextUpdatePrunesTheEmptiedChain) {
    TreeScene scene;
    Body* body = scene.add(0.0f, 10.0f)->body;
    SphereBody stranger(Vector3::zero, 1.0f);
    scene.tree.remove(&stranger); // not held: nothing changes
    scene.tree.insert(body);
    TreeNode* second = scene.tree.getLeaves().back();
    scene.tree.remove(body); // the waiting leaf inserted first goes, queueing no recompute
    EXPECT_TRUE(scene.tree.getLeaves() == TreeNodeList{second} &&
                scene.tree.getIntegrateQueue() == TreeNodeList{second});
    EXPECT_TRUE(scene.tree.getRecomputeQueue().empty());
    scene.tree.update();
    TreeNode* parent = second->parent;
    scene.tree.remove(body);
    EXPECT_EQ(scene.tree.getRecomputeQueue(), TreeNodeList{parent});
    EXPECT_EQ(checkTree(scene.tree), "");
    EXPECT_EQ(scene.update(), "");
    EXPECT_EQ(scene.tree.countNodes(), 1u);
}

TEST(TreeCheckerTest, ReportsBrokenInvariants) {
    TreeScene scene;
    TreeNode* leaf = scene.add(0.0f, 50.0f);
    ASSERT_EQ(scene.update(), "");
    const struct {
        const char* label;
        float* field;
        float broken;
    } cases[] = {{"leaf sticks out", &leaf->parent->radius, 40.0f},
                 {"radius beyond maxRadius", &leaf->parent->radius, 600.0f},
                 {"slack not derived from the parent", &leaf->parent->slack, 0.0f}};
    for (const auto& c : cases) {
        float kept = *c.field;
        *c.field = c.broken;
        EXPECT_NE(checkTree(scene.tree), "") << c.label;
        *c.field = kept;
    }
    leaf->flags |= TreeNodeFlags::RecomputeQueued; // flag without queue entry
    EXPECT_NE(checkTree(scene.tree), "");
}

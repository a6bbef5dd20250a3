#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(TreeCheckerTest, ReportsBrokenInvariants) {
    const struct {
        const char* label;
        void (*breakTree)(TreeNode* leaf);
    } cases[] = {
        {"leaf sticks out", [](TreeNode* leaf) { leaf->parent->radius = 40.0f; }},
        {"radius beyond maxRadius", [](TreeNode* leaf) { leaf->parent->radius = 600.0f; }},
        {"slack not derived from the parent", [](TreeNode* leaf) { leaf->parent->slack = 0.0f; }},
        {"flag without queue entry",
         [](TreeNode* leaf) { leaf->flags |= TreeNodeFlags::RecomputeQueued; }},
    };
    for (const auto& c : cases) {
        TreeScene scene;
        TreeNode* leaf = scene.add(0.0f, 50.0f);
        ASSERT_EQ(scene.update(), "");
        c.breakTree(leaf);
        EXPECT_NE(checkTree(scene.tree), "") << c.label;
    }
}

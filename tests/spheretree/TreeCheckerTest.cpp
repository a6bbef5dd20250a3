#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

// The checker that every other tree test relies on must see what breaks an invariant.
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

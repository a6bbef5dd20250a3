#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeParameters.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TreeChecker.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SphereTreeTest, FreshTreeHoldsOnlyTheRootAndSetsTheParameters) {
    QuerySphereTree tree;
    EXPECT_EQ(checkTree(tree), ""); // Root|Bounding at the origin, level 0, no parent
    EXPECT_EQ(tree.getRoot()->radius, 524288.0f);
    EXPECT_EQ(tree.getRoot()->slack, 1000.0f);
    EXPECT_EQ(tree.countNodes(), 1u);
    EXPECT_EQ(getMaxLevel(), 5);
    EXPECT_EQ(getChildRadiusScale(), 0.25f);
    EXPECT_EQ(slackScale, 1.0f);
}

TEST(SphereTreeTest, InsertQueuesAWaitingLeafWithThePresentSphere) {
    TreeScene scene;
    SphereBody body(Vector3(1.0f, 2.0f, 3.0f), 2.0f); // previous position still the origin
    scene.tree.insert(&body);
    TreeNode* leaf = scene.leafOf(&body);
    EXPECT_EQ(scene.tree.getIntegrateQueue(), TreeNodeList{leaf});
    EXPECT_EQ(leaf->radius, 2.0f);
    EXPECT_EQ(leaf->center.z, 3.0f);
    EXPECT_EQ(leaf->flags, unsigned(TreeNodeFlags::IntegrateQueued | TreeNodeFlags::Leaf));
    EXPECT_TRUE(scene.tree.getRoot()->children.empty());
    EXPECT_EQ(checkTree(scene.tree), ""); // no parent, level 0, listed and queued once
    scene.tree.remove(&body);
}

TEST(SphereTreeTest, RemoveTakesOutTheEarliestRemainingLeaf) {
    TreeScene scene;
    Body* held = scene.add(Vector3::zero, 10.0f);
    {
        SCOPED_TRACE("a body the tree does not hold changes nothing");
        SphereBody stranger(Vector3::zero, 1.0f);
        scene.tree.remove(&stranger);
        EXPECT_EQ(scene.tree.getLeaves().size(), 1u);
        EXPECT_EQ(scene.tree.getIntegrateQueue().size(), 1u);
    }
    {
        SCOPED_TRACE("a body inserted twice loses its earlier leaf first");
        scene.tree.insert(held);
        TreeNode* second = scene.tree.getLeaves().back();
        scene.tree.remove(held);
        ASSERT_EQ(scene.tree.getLeaves().size(), 1u);
        EXPECT_EQ(scene.tree.getLeaves().front(), second);
        EXPECT_EQ(checkTree(scene.tree), "");
    }
    {
        SCOPED_TRACE("a waiting leaf leaves both lists and queues no recompute");
        scene.tree.remove(held);
        EXPECT_TRUE(scene.tree.getLeaves().empty());
        EXPECT_TRUE(scene.tree.getIntegrateQueue().empty());
        EXPECT_TRUE(scene.tree.getRecomputeQueue().empty());
        EXPECT_EQ(scene.tree.countNodes(), 1u);
    }
    {
        SCOPED_TRACE("an attached leaf queues its parent, and the next update prunes the chain");
        Body* body = scene.add(Vector3::zero, 10.0f);
        scene.tree.update();
        TreeNode* parent = scene.leafOf(body)->parent;
        scene.tree.remove(body);
        EXPECT_TRUE(parent->children.empty());
        EXPECT_EQ(scene.tree.getRecomputeQueue().front(), parent);
        EXPECT_EQ(checkTree(scene.tree), "");
        scene.tree.update();
        EXPECT_TRUE(scene.tree.getRoot()->children.empty());
        EXPECT_EQ(scene.tree.countNodes(), 1u);
    }
}

TEST(SphereTreeTest, NodeOperationsComputeFitAndDetach) {
    TreeNode outer(nullptr, 0);
    outer.radius = 5.0f;
    TreeNode inner(nullptr, 0);
    inner.radius = 1.0f;
    const float distances[] = {3.0f, 4.0f, 5.0f};
    const float fits[] = {1.0f, 0.0f, -1.0f}; // inside, touching from inside, sticking out
    for (int i = 0; i < 3; ++i) {
        inner.center = Vector3(0.0f, distances[i], 0.0f);
        EXPECT_EQ(inner.computeFit(outer), fits[i]);
        EXPECT_EQ(inner.fit, fits[i]);
    }

    TreeNode parent(nullptr, 0);
    parent.level = 4;
    for (TreeNode* child : {&inner, &outer, &inner}) {
        parent.addChild(child);
        child->parent = &parent;
        child->level = 5;
    }
    inner.flags = TreeNodeFlags::RecomputeQueued;
    inner.detach(); // every occurrence goes; flags stay
    EXPECT_EQ(parent.children, TreeNodeList{&outer});
    EXPECT_EQ(inner.parent, nullptr);
    EXPECT_EQ(inner.level, 0);
    EXPECT_EQ(inner.flags, unsigned(TreeNodeFlags::RecomputeQueued));
}

TEST(TreeCheckerTest, ReportsEachBrokenInvariant) {
    TreeScene scene;
    TreeNode* leaf = scene.leafOf(scene.add(Vector3::zero, 50.0f));
    scene.tree.update();
    ASSERT_EQ(checkTree(scene.tree), "");
    TreeNode* parent = leaf->parent;
    auto expectReported = [&scene](float& field, float broken, const char* rule) {
        float kept = field;
        field = broken;
        EXPECT_NE(checkTree(scene.tree).find(rule), std::string::npos) << rule;
        field = kept;
    };
    expectReported(parent->radius, 40.0f, "sticks out of its parent");
    expectReported(parent->radius, 600.0f, "radius beyond maxRadius");
    expectReported(parent->slack, 0.0f, "not derived from the parent");
    expectReported(leaf->radius, INFINITY, "not finite");
    leaf->level = 7;
    EXPECT_NE(checkTree(scene.tree), "");
    leaf->level = 6;
    leaf->flags |= TreeNodeFlags::RecomputeQueued;
    EXPECT_NE(checkTree(scene.tree).find("RecomputeQueued"), std::string::npos);
    leaf->flags = TreeNodeFlags::Leaf;
    EXPECT_EQ(checkTree(scene.tree, TreeCheckMode::FiniteOnly), "");
}

} // namespace

// remove frees leaves that left the list of leaves, and bodies the tree does not accept die.
#include "spheretree/NodePool.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <tuple>

using namespace spheres;

namespace {

/// A tree with one resident leaf at the origin: root, five bounding nodes and the leaf.
struct ResidentScene : TreeScene {
    ResidentScene() {
        add(0.0f, 10.0f);
        tree.update();
    }
    /// Inserts body, then updates with it moved out of the root: its leaf escapes.
    TreeNode* escape(Body& body) {
        tree.insert(&body);
        TreeNode* leaf = tree.getLeaves().back();
        tree.update();
        body.setPosition(Vector3(600000.0f, 0.0f, 0.0f));
        tree.update();
        return leaf;
    }
};

} // namespace

TEST(SphereTreeMembershipTest, RemoveTakesListedLeavesFirstThenRetiredOnesInOrder) {
    {
        SCOPED_TRACE("an escaped leaf and a new one of the same body: the listed one goes first");
        ResidentScene scene;
        SphereBody body(Vector3::zero, 10.0f);
        TreeNode* escaped = scene.escape(body);
        ASSERT_FALSE(body.isAlive());
        ASSERT_EQ(scene.tree.getRetiredLeaves(), TreeNodeList{escaped});
        TreeNode* parent = escaped->parent;
        ASSERT_NE(parent, nullptr) << "an escaped leaf keeps its parent";
        scene.tree.insert(&body);
        EXPECT_EQ(scene.tree.countNodes(), 9u) << "the escaped leaf hangs on; one leaf waits";
        scene.tree.remove(&body);
        EXPECT_TRUE(scene.tree.getLeaves().size() == 1u && scene.tree.getIntegrateQueue().empty());
        EXPECT_EQ(scene.tree.getRetiredLeaves(), TreeNodeList{escaped});
        scene.tree.remove(&body);
        EXPECT_TRUE(scene.tree.getRetiredLeaves().empty());
        EXPECT_EQ(scene.tree.getRecomputeQueue(), TreeNodeList{parent});
        EXPECT_EQ(parent->children.size(), 1u);
        EXPECT_EQ(scene.update(), "");
        EXPECT_EQ(scene.tree.countNodes(), 7u);
    }
    SCOPED_TRACE("a body inserted twice whose leaves escape together: the earlier goes first");
    ResidentScene scene;
    SphereBody body(Vector3::zero, 10.0f);
    scene.tree.insert(&body);
    TreeNode* second = scene.escape(body);
    ASSERT_EQ(scene.tree.getRetiredLeaves().size(), 2u);
    scene.tree.remove(&body);
    EXPECT_EQ(scene.tree.getRetiredLeaves(), TreeNodeList{second});
    EXPECT_EQ(scene.update(), "");
    scene.tree.remove(&body);
    EXPECT_TRUE(scene.tree.getRetiredLeaves().empty() && scene.update().empty());
}

TEST(SphereTreeMembershipTest, BodiesWithoutFiniteNonNegativeRadiusDieAndAreCutLoose) {
    for (float radius : {0.0f, -0.0f, -1.0f, -FLT_MAX, INFINITY, -INFINITY, NAN}) {
        bool accepted = radius == 0.0f;
        // Inserted with that radius, or placed first and given it afterwards.
        for (bool placedFirst : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "radius " << radius << (placedFirst ? ", given" : ""));
            ResidentScene scene;
            TreeNode* leaf = scene.add(100.0f, placedFirst ? 10.0f : radius);
            EXPECT_EQ(checkTree(scene.tree), "") << "a waiting leaf holds an acceptable sphere";
            if (placedFirst) {
                scene.tree.update();
                leaf->body->setRadius(radius);
            }
            EXPECT_EQ(scene.update(), "");
            EXPECT_EQ(scene.tree.countNodes(), 8u) << "placed or stranded, the leaf is counted";
            EXPECT_TRUE(leaf->body->isAlive() == accepted &&
                        (leaf->parent != nullptr) == accepted &&
                        scene.tree.getRetiredLeaves().size() == (accepted ? 0u : 1u));
            scene.tree.remove(leaf->body);
            EXPECT_EQ(scene.update(), "");
            EXPECT_EQ(scene.tree.countNodes(), 7u);
        }
    }
}

TEST(SphereTreeMembershipTest, RemovedNodesAreTakenOverAsNewOnes) {
    {
        SCOPED_TRACE("the pool: a node given back returns as new, with its children's room");
        NodePool pool;
        SphereBody body(Vector3::zero, 1.0f);
        TreeNode* node = pool.make(nullptr, TreeNodeFlags::Leaf);
        TreeNode other(nullptr, 0);
        node->children = {&other, &other, &other};
        node->fit = node->maxRadius = node->radius = node->slack = 2.0f;
        node->center = Vector3(1.0f, 2.0f, 3.0f);
        node->level = 4;
        node->body = &body;
        pool.release(node);
        EXPECT_EQ(pool.inUse(), 0u);
        TreeNode* again = pool.make(&other, TreeNodeFlags::Bounding);
        TreeNode fresh(&other, TreeNodeFlags::Bounding);
        ASSERT_EQ(again, node) << "the latest node given back is the first taken";
        EXPECT_TRUE(again->children.empty() && again->children.capacity() >= 3);
        EXPECT_EQ(std::make_tuple(again->fit, again->flags, again->maxRadius, again->radius,
                                  again->center.x, again->center.y, again->center.z, again->level,
                                  again->slack, again->parent, again->body),
                  std::make_tuple(fresh.fit, fresh.flags, fresh.maxRadius, fresh.radius,
                                  fresh.center.x, fresh.center.y, fresh.center.z, fresh.level,
                                  fresh.slack, fresh.parent, fresh.body));
        EXPECT_NE(pool.make(nullptr, 0), node);
        EXPECT_EQ(pool.inUse(), 2u);
    }
    SCOPED_TRACE("a tree: the chain of a removed body is taken over by the next one's");
    ResidentScene scene;
    TreeNode* far = scene.add(300000.0f, 10.0f);
    ASSERT_EQ(scene.update(), "");
    ASSERT_EQ(scene.tree.countNodes(), 13u) << "a second chain of five nodes and a leaf";
    scene.tree.remove(far->body);
    ASSERT_EQ(scene.update(), "");
    ASSERT_EQ(scene.tree.countNodes(), 7u);
    TreeNode* next = scene.add(-300000.0f, 10.0f);
    EXPECT_EQ(scene.update(), "");
    EXPECT_TRUE(scene.tree.countNodes() == 13u && next->level == 6);
    TreeNode* near = scene.add(-300400.0f, 10.0f);
    EXPECT_EQ(scene.update(), "");
    EXPECT_TRUE(scene.tree.countNodes() == 14u && near->parent == next->parent);
}

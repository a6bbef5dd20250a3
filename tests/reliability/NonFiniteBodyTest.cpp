// Bodies that stop being finite die and leave no infinity or NaN in the tree, however they got
// there. Each case is an input the World fuzzer found (its file in fuzz/corpus is named).
#include "body/SphereBody.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace {

/// Two bodies 100 apart, placed by the start-up step, so that their leaves share every bounding
/// node. Only x components go infinite below: overflow alone, no NaN, so the traps stay on.
struct TwoBodyWorld {
    SphereBody still{Vector3(100.0f, 0.0f, 0.0f), 50.0f};
    SphereBody runaway{Vector3(0.0f, 0.0f, 0.0f), 50.0f};
    // Declared after the bodies, so destroyed before them.
    World world;

    TwoBodyWorld() {
        world.addBody(&still);
        world.addBody(&runaway);
        world.step(1.0e-9f);
    }
    QuerySphereTree& tree() { return world.getTree(); }
};

TEST(NonFiniteBodyTest, BodiesThatStopBeingFiniteDieAndLeaveTheTreeFinite) {
    {
        SCOPED_TRACE("an overflowing integration, then the dead body added again "
                     "(regress-readded-overflowed-body.bin)");
        TwoBodyWorld scene;
        scene.runaway.setVelocity(Vector3(FLT_MAX, 0.0f, 0.0f));
        scene.runaway.setAcceleration(Vector3(FLT_MAX, 0.0f, 0.0f));
        scene.world.step(1.0f);
        EXPECT_TRUE(std::isinf(scene.runaway.getPosition().x));
        EXPECT_FALSE(scene.runaway.isAlive());
        EXPECT_TRUE(scene.still.isAlive());
        EXPECT_EQ(checkTree(scene.tree()), "");

        // The new leaf waits with a finite sphere and is stranded by the next update.
        scene.world.addBody(&scene.runaway);
        EXPECT_EQ(checkTree(scene.tree()), "");
        scene.world.step(0.1f);
        EXPECT_EQ(checkTree(scene.tree()), "");
        EXPECT_EQ(scene.tree().getStrandedLeaves().size(), 2u);
        EXPECT_EQ(scene.tree().getLeaves().size(), 1u);

        // A stranded leaf removed directly is not freed a second time by the tear-down.
        scene.tree().removeNode(scene.tree().getStrandedLeaves().front());
        EXPECT_EQ(scene.tree().getStrandedLeaves().size(), 1u);
    }
    {
        SCOPED_TRACE("an infinite velocity on a body whose leaf was removed through the tree "
                     "(regress-overflow-without-leaf.bin)");
        TwoBodyWorld scene;
        scene.tree().remove(&scene.runaway);
        scene.runaway.setVelocity(Vector3(INFINITY, 0.0f, 0.0f));
        scene.world.step(0.1f);
        EXPECT_FALSE(scene.runaway.isAlive());
        EXPECT_TRUE(scene.still.isAlive());
        EXPECT_EQ(checkTree(scene.tree()), "");
    }
    {
        SCOPED_TRACE("removeNode on a leaf that is still listed "
                     "(regress-removenode-listed-leaf.bin)");
        TwoBodyWorld scene;
        scene.tree().removeNode(scene.tree().getLeaves().back());
        ASSERT_EQ(scene.tree().getLeaves().size(), 1u);
        // The update would otherwise refresh the destroyed leaf.
        scene.world.step(0.1f);
        EXPECT_EQ(checkTree(scene.tree()), "");
    }
}

} // namespace

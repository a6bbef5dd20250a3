#include "world/World.h"

#include "spheretree/QuerySphereTree.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TreeChecker.h"

#include <gtest/gtest.h>

namespace {

TEST(WorldTest, StepMovesAliveBodiesAndForgetsDeadOnesWhoseLeavesStay) {
    SphereBody moving = makeBody(Vector3::zero, 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    SphereBody dead = makeBody(Vector3(10.0f, 0.0f, 0.0f), 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    World world;
    EXPECT_EQ(world.addBody(&moving), 1);
    world.addBody(&dead);
    BodyList found;
    world.querySphere(Vector3::zero, 100.0f, found);
    EXPECT_TRUE(found.empty()); // waiting until the next step
    dead.setAlive(false);
    world.step(1.0f);
    EXPECT_EQ(moving.getPosition().x, 1.0f);
    EXPECT_EQ(dead.getPosition().x, 10.0f);
    EXPECT_EQ(world.getBodies(), std::list<Body*>{&moving});
    world.querySphere(Vector3(10.0f, 0.0f, 0.0f), 0.5f, found);
    EXPECT_EQ(found, BodyList{&dead});
}

TEST(WorldTest, BodyAddedTwiceIsIntegratedTwiceAndLosesOneLeafPerRemoval) {
    World world;
    SphereBody body = makeBody(Vector3::zero, 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    SphereBody stranger(Vector3::zero, 1.0f);
    world.addBody(&body);
    world.addBody(&body);
    world.step(1.0f);
    EXPECT_EQ(body.getPosition().x, 2.0f);
    EXPECT_EQ(world.removeBody(&body), 1);
    EXPECT_TRUE(world.getBodies().empty());
    EXPECT_EQ(world.getTree().getLeaves().size(), 1u);
    EXPECT_EQ(world.removeBody(&stranger), 1);
    EXPECT_EQ(checkTree(world.getTree()), "");
}

} // namespace

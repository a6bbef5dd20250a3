#include "world/World.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(WorldTest, StepMovesAliveBodiesAndForgetsDeadOnesWhoseLeavesStay) {
    const Vector3 at(10.0f, 0.0f, 0.0f);
    SphereBody twice = makeBody(Vector3::zero, Vector3::zero, 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    SphereBody dead = makeBody(at, at, 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    World world;
    for (Body* body : std::initializer_list<Body*>{&twice, &twice, &dead}) {
        EXPECT_EQ(world.addBody(body), 1);
    }
    BodyList found;
    world.querySphere(at, 100.0f, found);
    EXPECT_TRUE(found.empty()); // waiting until the next step
    dead.setAlive(false);
    world.step(1.0f);
    EXPECT_EQ(twice.getPosition().x, 2.0f); // added twice, integrated twice
    EXPECT_EQ(dead.getPosition(), at);
    EXPECT_EQ(world.getBodies(), (std::list<Body*>{&twice, &twice}));
    world.querySphere(at, 0.5f, found);
    EXPECT_EQ(found, BodyList{&dead});
    EXPECT_EQ(world.removeBody(&twice), 1); // every entry, one leaf
    EXPECT_TRUE(world.getBodies().empty());
    EXPECT_EQ(world.getTree().getLeaves().size(), 2u);
    EXPECT_EQ(checkTree(world.getTree()), "");
}

#include "app/ScenePopulation.h"

#include "body/SphereBody.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ScenePopulationTest, BuildsTheProgramsSceneAndTheFirstStepKeepsItsStart) {
    World scene;
    std::vector<Body*> bodies = populateScene(scene);
    ASSERT_EQ(std::vector<Body*>(scene.getBodies().begin(), scene.getBodies().end()), bodies);
    ASSERT_EQ(bodies.size(), 100u);
    Vector3 p = bodies[0]->getPosition(), v = bodies[0]->getVelocity();
    EXPECT_TRUE(bodies[0]->getRadius() == 91.0f && bodies[0]->getMass() == 358.0f);
    EXPECT_TRUE(p.x == 1500.0f && p.y == 1334.0f && p.z == 3467.0f);
    EXPECT_TRUE(v.x == -22.0f && v.y == 224.0f && v.z == -331.0f);
    // Whole numbers in range; the acceleration is -0.1 times the velocity exactly.
    auto whole = [](float value, float low, float high) {
        return std::floor(value) == value && value >= low && value <= high;
    };
    std::vector<Vector3> start;
    for (Body* body : bodies) {
        Vector3 pos = body->getPosition(), vel = body->getVelocity(), acc = body->getAcceleration();
        EXPECT_TRUE(whole(body->getRadius(), 50, 1049) && whole(body->getMass(), 0, 999));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(whole((&pos.x)[i], -5000, 4999) && whole((&vel.x)[i], -500, 499));
            EXPECT_EQ((&acc.x)[i], (&vel.x)[i] * -0.1f);
        }
        start.push_back(pos);
    }
    // The vanishing first step makes each start the previous position and barely moves it.
    scene.step(1.0e-9f);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        EXPECT_EQ((bodies[i]->getPreviousPosition() - start[i]).lengthSquared(), 0.0f) << i;
        EXPECT_LT((bodies[i]->getPosition() - start[i]).length(), 1.0e-3f);
    }
    for (Body* body : bodies) { // the caller owns them; the World's tree never reads them again
        delete static_cast<SphereBody*>(body);
    }
}

#include "app/ScenePopulation.h"

#include "body/Body.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Whole numbers in [low, high].
void expectWhole(float v, float low, float high) {
    EXPECT_TRUE(std::floor(v) == v && v >= low && v <= high) << v;
}

} // namespace

TEST(ScenePopulationTest, BuildsTheProgramsSceneAndTheFirstStepKeepsItsStart) {
    World scene;
    std::vector<Body*> bodies = populateScene(scene, 100, 1);
    ASSERT_EQ(bodies.size(), 100u);
    EXPECT_EQ(std::vector<Body*>(scene.getBodies().begin(), scene.getBodies().end()), bodies);

    SCOPED_TRACE("first body");
    Vector3 p = bodies[0]->getPosition();
    Vector3 v = bodies[0]->getVelocity();
    EXPECT_EQ(bodies[0]->getRadius(), 91.0f);
    EXPECT_TRUE(p.x == 1500.0f && p.y == 1334.0f && p.z == 3467.0f);
    EXPECT_TRUE(v.x == -22.0f && v.y == 224.0f && v.z == -331.0f);
    EXPECT_EQ(bodies[0]->getMass(), 358.0f);

    SCOPED_TRACE("every body: whole numbers in range, acceleration -0.1 x velocity exactly");
    for (Body* body : bodies) {
        expectWhole(body->getRadius(), 50.0f, 1049.0f);
        expectWhole(body->getMass(), 0.0f, 999.0f);
        Vector3 pos = body->getPosition();
        Vector3 vel = body->getVelocity();
        Vector3 acc = body->getAcceleration();
        for (int i = 0; i < 3; ++i) {
            expectWhole((&pos.x)[i], -5000.0f, 4999.0f);
            expectWhole((&vel.x)[i], -500.0f, 499.0f);
            EXPECT_EQ((&acc.x)[i], (&vel.x)[i] * -0.1f);
        }
    }

    SCOPED_TRACE("the vanishing first step makes each start the previous position");
    std::vector<Vector3> start;
    for (Body* body : bodies) {
        EXPECT_EQ(body->getPreviousPosition().lengthSquared(), 0.0f);
        start.push_back(body->getPosition());
    }
    scene.step(1.0e-9f);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        Vector3 previous = bodies[i]->getPreviousPosition();
        EXPECT_TRUE(previous.x == start[i].x && previous.y == start[i].y &&
                    previous.z == start[i].z);
        EXPECT_LT((bodies[i]->getPosition() - start[i]).length(), 1.0e-3f);
    }
}

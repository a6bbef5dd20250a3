#include "AppTestScene.h"
#include "body/Body.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

bool isWhole(float v) {
    return std::floor(v) == v;
}

} // namespace

TEST(ScenePopulationTest, BuildsTheProgramsScene) {
    World scene;
    std::vector<Body*> bodies = populateScene(scene, 100, 1);
    ASSERT_EQ(bodies.size(), 100u);

    SCOPED_TRACE("first body");
    Body* first = bodies[0];
    EXPECT_EQ(first->getRadius(), 91.0f);
    Vector3 p = first->getPosition();
    EXPECT_EQ(p.x, 1500.0f);
    EXPECT_EQ(p.y, 1334.0f);
    EXPECT_EQ(p.z, 3467.0f);
    Vector3 v = first->getVelocity();
    EXPECT_EQ(v.x, -22.0f);
    EXPECT_EQ(v.y, 224.0f);
    EXPECT_EQ(v.z, -331.0f);
    EXPECT_EQ(first->getMass(), 358.0f);

    SCOPED_TRACE("every body: whole numbers in range, acceleration -0.1 x velocity exactly");
    std::vector<Body*> listed(scene.getBodies().begin(), scene.getBodies().end());
    EXPECT_EQ(listed, bodies);
    for (Body* body : bodies) {
        float r = body->getRadius();
        EXPECT_TRUE(isWhole(r) && r >= 50.0f && r <= 1049.0f) << r;
        Vector3 pos = body->getPosition();
        Vector3 vel = body->getVelocity();
        for (float c : {pos.x, pos.y, pos.z}) {
            EXPECT_TRUE(isWhole(c) && c >= -5000.0f && c <= 4999.0f) << c;
        }
        for (float c : {vel.x, vel.y, vel.z}) {
            EXPECT_TRUE(isWhole(c) && c >= -500.0f && c <= 499.0f) << c;
        }
        Vector3 a = body->getAcceleration();
        EXPECT_EQ(a.x, vel.x * -0.1f);
        EXPECT_EQ(a.y, vel.y * -0.1f);
        EXPECT_EQ(a.z, vel.z * -0.1f);
        float m = body->getMass();
        EXPECT_TRUE(isWhole(m) && m >= 0.0f && m <= 999.0f) << m;
    }

    SCOPED_TRACE("same seed, same scene");
    World again;
    std::vector<Body*> second = populateScene(again, 100, 1);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        EXPECT_EQ(second[i]->getPosition().x, bodies[i]->getPosition().x);
        EXPECT_EQ(second[i]->getMass(), bodies[i]->getMass());
    }
}

TEST(ScenePopulationTest, VanishingFirstStepKeepsTheStartAsPreviousPosition) {
    World scene;
    std::vector<Body*> bodies = populateScene(scene, 100, 1);
    std::vector<Vector3> start;
    for (Body* body : bodies) {
        EXPECT_EQ(body->getPreviousPosition().x, 0.0f); // a fresh body's previous is the origin
        start.push_back(body->getPosition());
    }
    scene.step(1.0e-9f);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        Vector3 previous = bodies[i]->getPreviousPosition();
        EXPECT_EQ(previous.x, start[i].x);
        EXPECT_EQ(previous.y, start[i].y);
        EXPECT_EQ(previous.z, start[i].z);
        EXPECT_LT((bodies[i]->getPosition() - start[i]).length(), 1.0e-3f);
        EXPECT_TRUE(bodies[i]->isAlive());
    }
}

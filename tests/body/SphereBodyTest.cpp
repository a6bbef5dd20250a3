#include "body/SphereBody.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(SphereBodyTest, StartsWithMassOneAndIntegratesByTheMeanVelocity) {
    SphereBody body(Vector3(1.0f, 2.0f, 3.0f), 5.0f);
    EXPECT_TRUE(body.getMass() == 1.0f && body.getAuxValue() == 0.0f && body.isAlive());
    EXPECT_EQ(body.getPrototype(), &SphereBody::prototype);
    // The previous position starts at the origin, so the first swept sphere spans from there.
    EXPECT_EQ(body.getSweptCenter(), Vector3(0.5f, 1.0f, 1.5f));
    EXPECT_EQ(body.getSweptRadius(), std::sqrt(14.0f) + 5.0f + 0.001f);
    body.setVelocity(Vector3(1.0f, 0.0f, 0.0f));
    body.setAcceleration(Vector3(1.0f, 0.0f, 0.0f));
    body.integrate(2.0f); // velocity 1 -> 3: the mean velocity 2 for 2 time units
    EXPECT_EQ(body.getVelocity(), Vector3(3.0f, 0.0f, 0.0f));
    EXPECT_EQ(body.getPosition(), Vector3(5.0f, 2.0f, 3.0f));
    EXPECT_EQ(body.getPreviousPosition(), Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(body.getPreviousVelocity(), Vector3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(body.getSweptRadius(), 4.0f + 5.0f + 0.001f);
}

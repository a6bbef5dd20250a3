#include "body/SphereBody.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectVector(const Vector3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(SphereBodyTest, ConstructionSetsMassPositionRadiusAndZeroesTheRest) {
    SphereBody body(Vector3(1.0f, 2.0f, 3.0f), 5.0f);
    EXPECT_EQ(body.getMass(), 1.0f);
    EXPECT_EQ(body.getAuxValue(), 0.0f);
    EXPECT_TRUE(body.isAlive());
    EXPECT_EQ(body.getRadius(), 5.0f);
    expectVector(body.getPosition(), 1.0f, 2.0f, 3.0f);
    for (const Vector3& v :
         {body.getPreviousPosition(), body.getVelocity(), body.getPreviousVelocity(),
          body.getAcceleration(), body.getPreviousAcceleration()}) {
        expectVector(v, 0.0f, 0.0f, 0.0f);
    }
    // The previous position is the origin, so the swept sphere spans from there.
    expectVector(body.getSweptCenter(), 0.5f, 1.0f, 1.5f);
    EXPECT_EQ(body.getSweptRadius(), std::sqrt(14.0f) + 5.0f + 0.001f);
}

TEST(SphereBodyTest, EachSetterKeepsItsOwnPreviousValueOnly) {
    SphereBody body(Vector3::zero, 1.0f);
    body.setPosition(Vector3(1.0f, 0.0f, 0.0f));
    body.setPosition(Vector3(2.0f, 0.0f, 0.0f));
    body.setVelocity(Vector3(3.0f, 0.0f, 0.0f));
    expectVector(body.getPosition(), 2.0f, 0.0f, 0.0f);
    expectVector(body.getPreviousPosition(), 1.0f, 0.0f, 0.0f);
    expectVector(body.getVelocity(), 3.0f, 0.0f, 0.0f);
    expectVector(body.getPreviousVelocity(), 0.0f, 0.0f, 0.0f);
    expectVector(body.getPreviousAcceleration(), 0.0f, 0.0f, 0.0f);
}

TEST(SphereBodyTest, IntegrateAdvancesByTheMeanVelocity) {
    {
        SCOPED_TRACE("constant velocity");
        SphereBody body = makeBody(Vector3(1.0f, 1.0f, 1.0f), 1.0f, Vector3(1.0f, 0.0f, 0.0f));
        body.integrate(2.0f);
        expectVector(body.getPosition(), 3.0f, 1.0f, 1.0f);
        expectVector(body.getVelocity(), 1.0f, 0.0f, 0.0f);
        expectVector(body.getPreviousPosition(), 1.0f, 1.0f, 1.0f);
        expectVector(body.getPreviousVelocity(), 1.0f, 0.0f, 0.0f);
    }
    {
        SCOPED_TRACE("from rest under constant acceleration");
        SphereBody body(Vector3::zero, 1.0f);
        body.setAcceleration(Vector3(1.0f, 0.0f, 0.0f));
        body.integrate(2.0f);
        expectVector(body.getVelocity(), 2.0f, 0.0f, 0.0f);
        expectVector(body.getPosition(), 2.0f, 0.0f, 0.0f);
        expectVector(body.getAcceleration(), 1.0f, 0.0f, 0.0f);
        expectVector(body.getPreviousAcceleration(), 1.0f, 0.0f, 0.0f);
    }
    {
        SCOPED_TRACE("zero step collapses the swept sphere onto the body");
        SphereBody body(Vector3(4.0f, 5.0f, 6.0f), 2.0f);
        body.setVelocity(Vector3(9.0f, 9.0f, 9.0f));
        body.setAcceleration(Vector3(1.0f, 1.0f, 1.0f));
        body.integrate(0.0f);
        expectVector(body.getPreviousPosition(), 4.0f, 5.0f, 6.0f);
        expectVector(body.getPreviousVelocity(), 9.0f, 9.0f, 9.0f);
        expectVector(body.getPreviousAcceleration(), 1.0f, 1.0f, 1.0f);
        expectVector(body.getSweptCenter(), 4.0f, 5.0f, 6.0f);
        EXPECT_EQ(body.getSweptRadius(), 2.0f + 0.001f);
    }
}

TEST(SphereBodyTest, EveryBodySharesTheUnchangedPrototype) {
    SphereBody a(Vector3(1.0f, 0.0f, 0.0f), 1.0f);
    SphereBody b(Vector3(2.0f, 0.0f, 0.0f), 2.0f);
    EXPECT_EQ(a.getPrototype(), &SphereBody::prototype);
    EXPECT_EQ(b.getPrototype(), a.getPrototype());
    EXPECT_EQ(SphereBody::prototype.getRadius(), 0.0f);
    expectVector(SphereBody::prototype.getPosition(), 0.0f, 0.0f, 0.0f);
}

} // namespace

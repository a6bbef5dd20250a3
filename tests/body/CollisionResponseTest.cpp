#include "body/CollisionResponse.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

void expectVector(const Vector3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

/// A moved from (-2, 0, 0) to the origin at velocity (2, 0, 0).
SphereBody approachingFromLeft(float mass) {
    SphereBody a =
        makeBody(Vector3::zero, 1.0f, Vector3(2.0f, 0.0f, 0.0f), Vector3(-2.0f, 0.0f, 0.0f));
    a.setMass(mass);
    return a;
}

TEST(CollisionResponseTest, ExchangesMomentumAlongTheLineOfCentres) {
    {
        SCOPED_TRACE("head-on, equal masses");
        SphereBody a = approachingFromLeft(1.0f);
        SphereBody b =
            makeBody(Vector3::zero, 1.0f, Vector3(-2.0f, 0.0f, 0.0f), Vector3(2.0f, 0.0f, 0.0f));
        EXPECT_TRUE(resolveCollision(&a, &b, 0.5f));
        expectVector(a.getVelocity(), -2.0f, 0.0f, 0.0f);
        expectVector(b.getVelocity(), 2.0f, 0.0f, 0.0f);
        expectVector(a.getPosition(), -2.0f, 0.0f, 0.0f);
        expectVector(b.getPosition(), 2.0f, 0.0f, 0.0f);
        expectVector(a.getPreviousPosition(), 0.0f, 0.0f, 0.0f);
        expectVector(b.getPreviousPosition(), 0.0f, 0.0f, 0.0f);
        expectVector(a.getPreviousVelocity(), 2.0f, 0.0f, 0.0f);
    }
    {
        SCOPED_TRACE("masses 3 and 1, the lighter at rest stays put");
        SphereBody a = approachingFromLeft(3.0f);
        SphereBody b = makeBody(Vector3(1.0f, 0.0f, 0.0f), 1.0f);
        EXPECT_TRUE(resolveCollision(&a, &b, 0.5f));
        expectVector(a.getVelocity(), 1.0f, 0.0f, 0.0f);
        expectVector(b.getVelocity(), 3.0f, 0.0f, 0.0f);
        expectVector(a.getPosition(), 0.0f, 0.0f, 0.0f);
        expectVector(b.getPosition(), 1.0f, 0.0f, 0.0f);
    }
    {
        SCOPED_TRACE("both at rest go to their contact points");
        SphereBody a =
            makeBody(Vector3(-1.0f, 0.0f, 0.0f), 1.0f, Vector3::zero, Vector3(-3.0f, 0.0f, 0.0f));
        SphereBody b =
            makeBody(Vector3(1.0f, 0.0f, 0.0f), 1.0f, Vector3::zero, Vector3(3.0f, 0.0f, 0.0f));
        resolveCollision(&a, &b, 0.25f);
        expectVector(a.getVelocity(), 0.0f, 0.0f, 0.0f);
        expectVector(a.getPosition(), -2.5f, 0.0f, 0.0f);
        expectVector(b.getPosition(), 2.5f, 0.0f, 0.0f);
    }
}

TEST(CollisionResponseTest, ZeroTotalMassExchangesAsEqualMasses) {
    SphereBody a = approachingFromLeft(0.0f);
    SphereBody b =
        makeBody(Vector3::zero, 1.0f, Vector3(-2.0f, 0.0f, 0.0f), Vector3(2.0f, 0.0f, 0.0f));
    b.setMass(0.0f);
    EXPECT_TRUE(resolveCollision(&a, &b, 0.5f));
    expectVector(a.getVelocity(), -2.0f, 0.0f, 0.0f);
    expectVector(b.getVelocity(), 2.0f, 0.0f, 0.0f);
    expectVector(a.getPosition(), -2.0f, 0.0f, 0.0f);
}

TEST(CollisionResponseTest, CoincidentCentresLeaveBothBodiesUnchanged) {
    SphereBody a = makeBody(Vector3(1.0f, 0.0f, 0.0f), 0.0f, Vector3(1.0f, 0.0f, 0.0f),
                            Vector3(-1.0f, 0.0f, 0.0f));
    SphereBody b = makeBody(Vector3(-1.0f, 0.0f, 0.0f), 0.0f, Vector3(-1.0f, 0.0f, 0.0f),
                            Vector3(1.0f, 0.0f, 0.0f));
    EXPECT_FALSE(resolveCollision(&a, &b, 0.5f));
    expectVector(a.getVelocity(), 1.0f, 0.0f, 0.0f);
    expectVector(a.getPosition(), 1.0f, 0.0f, 0.0f);
    expectVector(a.getPreviousPosition(), -1.0f, 0.0f, 0.0f);
    expectVector(b.getVelocity(), -1.0f, 0.0f, 0.0f);
    expectVector(b.getPosition(), -1.0f, 0.0f, 0.0f);
}

TEST(CollisionResponseTest, EarliestContactPicksTheFirstSmallestTime) {
    SphereBody body = approachingFromLeft(1.0f);
    SphereBody x = makeBody(Vector3(5.0f, 0.0f, 0.0f), 1.0f);
    SphereBody y = makeBody(Vector3(0.0f, 1.0f, 0.0f), 1.0f);
    SphereBody z = makeBody(Vector3(0.0f, -1.0f, 0.0f), 1.0f);
    {
        SCOPED_TRACE("empty lists change nothing");
        EXPECT_FALSE(resolveEarliestContact(&body, {}, {}));
        expectVector(body.getPosition(), 0.0f, 0.0f, 0.0f);
        expectVector(body.getVelocity(), 2.0f, 0.0f, 0.0f);
    }
    {
        SCOPED_TRACE("times 1e9 and above are never picked");
        EXPECT_FALSE(resolveEarliestContact(&body, {&x, &y}, {1e9f, 2e9f}));
        expectVector(x.getPosition(), 5.0f, 0.0f, 0.0f);
    }
    {
        SCOPED_TRACE("ties go to the earlier hit");
        SphereBody expected = body;
        SphereBody expectedY = y;
        resolveCollision(&expected, &expectedY, 0.2f);
        EXPECT_TRUE(resolveEarliestContact(&body, {&x, &y, &z}, {0.7f, 0.2f, 0.2f}));
        expectVector(body.getPosition(), expected.getPosition().x, expected.getPosition().y, 0.0f);
        expectVector(y.getVelocity(), expectedY.getVelocity().x, expectedY.getVelocity().y, 0.0f);
        expectVector(z.getPosition(), 0.0f, -1.0f, 0.0f);
        expectVector(x.getPosition(), 5.0f, 0.0f, 0.0f);
    }
}

TEST(CollisionResponseTest, TimesListLongerThanHitsStopsAtTheShorter) {
    SphereBody body = approachingFromLeft(1.0f);
    SphereBody x = makeBody(Vector3(1.0f, 0.0f, 0.0f), 1.0f);
    SphereBody expectedBody = body;
    SphereBody expectedX = x;
    resolveCollision(&expectedBody, &expectedX, 0.5f);
    // The extra, smaller time has no hit and is never looked at.
    EXPECT_TRUE(resolveEarliestContact(&body, {&x}, {0.5f, 0.1f}));
    EXPECT_EQ(body.getPosition().x, expectedBody.getPosition().x);
    EXPECT_EQ(x.getVelocity().x, expectedX.getVelocity().x);
}

TEST(CollisionResponseTest, KeepsMomentumAndKineticEnergy) {
    TestRandom random(12345);
    for (int i = 0; i < 200; ++i) {
        auto randomVector = [&random](float scale) {
            return Vector3(random.nextFloat(-scale, scale), random.nextFloat(-scale, scale),
                           random.nextFloat(-scale, scale));
        };
        SphereBody a =
            makeBody(randomVector(100.0f), 1.0f, randomVector(500.0f), randomVector(100.0f));
        SphereBody b =
            makeBody(randomVector(100.0f), 1.0f, randomVector(500.0f), randomVector(100.0f));
        a.setMass(random.nextFloat(1.0f, 1000.0f));
        b.setMass(random.nextFloat(1.0f, 1000.0f));
        auto momentum = [&a, &b]() {
            return a.getVelocity() * a.getMass() + b.getVelocity() * b.getMass();
        };
        auto energy = [&a, &b]() {
            return a.getMass() * a.getVelocity().lengthSquared() +
                   b.getMass() * b.getVelocity().lengthSquared();
        };
        Vector3 momentumBefore = momentum();
        float energyBefore = energy();
        ASSERT_TRUE(resolveCollision(&a, &b, random.nextFloat(0.0f, 1.0f)));
        float scale = a.getMass() * 500.0f + b.getMass() * 500.0f;
        EXPECT_TRUE(nearlyEqual(momentum(), momentumBefore, scale * 1e-5f)) << "case " << i;
        EXPECT_TRUE(nearlyEqual(energy(), energyBefore, energyBefore * 1e-5f)) << "case " << i;
    }
}

} // namespace

#include "body/CollisionResponse.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const Vector3 left(-2.0f, 0.0f, 0.0f);
const Vector3 right(2.0f, 0.0f, 0.0f);
const Vector3 one(1.0f, 0.0f, 0.0f);

TEST(CollisionResponseTest, ExchangesMomentumAlongTheLineOfCentres) {
    // A moved from (-2, 0, 0) to the origin at velocity (2, 0, 0); contact at t = 0.5.
    struct Case {
        const char* label;
        float massA, massB;
        Vector3 previousB, positionB, velocityB, newVelocityA, newPositionA, newVelocityB,
            newPositionB;
    };
    const Case cases[] = {
        {"head-on, equal masses", 1, 1, right, Vector3::zero, left, left, left, right, right},
        {"zero total mass exchanges as equal masses", 0, 0, right, Vector3::zero, left, left, left,
         right, right},
        {"masses 3 and 1, the lighter at rest", 3, 1, one, one, Vector3::zero, one, Vector3::zero,
         Vector3(3.0f, 0.0f, 0.0f), one},
        {"zero-length normal (both at (-1, 0, 0)) leaves both bodies unchanged", 1, 1,
         Vector3::zero, left, left, right, Vector3::zero, left, left},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SphereBody a = makeBody(left, Vector3::zero, 1.0f, right);
        SphereBody b = makeBody(c.previousB, c.positionB, 1.0f, c.velocityB);
        a.setMass(c.massA);
        b.setMass(c.massB);
        EXPECT_EQ(resolveCollision(&a, &b, 0.5f), !(c.newVelocityA == right));
        EXPECT_EQ(a.getVelocity(), c.newVelocityA);
        EXPECT_EQ(a.getPosition(), c.newPositionA);
        EXPECT_EQ(b.getVelocity(), c.newVelocityB);
        EXPECT_EQ(b.getPosition(), c.newPositionB);
    }
}

TEST(CollisionResponseTest, EarliestContactPicksTheFirstSmallestTime) {
    const struct {
        const char* label;
        std::vector<int> hits; // indices into the three others, all at rest
        TimeList times;
        int picked; // the one set moving; -1: none
    } cases[] = {
        {"empty lists change nothing", {}, {}, -1},
        {"times of 1e9 and above are never picked", {0, 1}, {1e9f, 2e9f}, -1},
        {"a tie goes to the earlier hit", {0, 1, 2}, {0.7f, 0.2f, 0.2f}, 1},
        {"times list longer than hits stops at the shorter", {2}, {0.5f, 0.1f}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SphereBody body = makeBody(left, Vector3::zero, 1.0f, right);
        std::vector<SphereBody> others;
        for (const Vector3& at : {Vector3(5.0f, 0.0f, 0.0f), Vector3(0.0f, 1.0f, 0.0f), one}) {
            others.push_back(makeBody(at, at, 1.0f));
        }
        BodyList hits;
        for (int i : c.hits) {
            hits.push_back(&others[i]);
        }
        EXPECT_EQ(resolveEarliestContact(&body, hits, c.times), c.picked >= 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(others[i].getVelocity() == Vector3::zero, i != c.picked) << i;
        }
    }
}

TEST(CollisionResponseTest, KeepsMomentumAndKineticEnergy) {
    TestRandom random{12345};
    for (int i = 0; i < 200; ++i) {
        Vector3 drawn[6]; // previous, present and velocity of a, then of b; in a fixed order
        for (int k = 0; k < 6; ++k) {
            drawn[k] = random.nextVector(k % 3 == 2 ? 500.0f : 100.0f);
        }
        SphereBody a = makeBody(drawn[0], drawn[1], 1.0f, drawn[2]);
        SphereBody b = makeBody(drawn[3], drawn[4], 1.0f, drawn[5]);
        a.setMass(random.nextFloat(1.0f, 1000.0f));
        b.setMass(random.nextFloat(1.0f, 1000.0f));
        auto momentum = [&] {
            return a.getVelocity() * a.getMass() + b.getVelocity() * b.getMass();
        };
        auto energy = [&] {
            return a.getMass() * a.getVelocity().lengthSquared() +
                   b.getMass() * b.getVelocity().lengthSquared();
        };
        Vector3 momentumBefore = momentum();
        float energyBefore = energy();
        ASSERT_TRUE(resolveCollision(&a, &b, random.nextFloat(0.0f, 1.0f)));
        float tolerance = (a.getMass() + b.getMass()) * 500.0f * 1e-5f;
        EXPECT_LE((momentum() - momentumBefore).length(), tolerance) << "case " << i;
        EXPECT_NEAR(energy(), energyBefore, energyBefore * 1e-5f) << "case " << i;
    }
}

} // namespace

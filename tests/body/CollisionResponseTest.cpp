#include "body/CollisionResponse.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace spheres;

static Vector3 x(float v) {
    return Vector3(v, 0.0f, 0.0f);
}

// The exact outcomes also pin what the exchange conserves: momentum, and kinetic energy.
TEST(CollisionResponseTest, ExchangesMomentumAlongTheLineOfCentres) {
    // A moved from x = -2 to 0 at velocity 2. Every vector lies along x.
    const struct {
        const char* label;
        float t, massA, massB, previousB, positionB, velocityB, newVA, newPA, newVB, newPB;
    } cases[] = {
        {"head-on, equal masses", 0.5f, 1, 1, 2, 0, -2, -2, -2, 2, 2},
        {"zero total mass exchanges as equal masses", 0.5f, 0, 0, 2, 0, -2, -2, -2, 2, 2},
        {"masses 3 and 1, the lighter at rest", 0.5f, 3, 1, 1, 1, 0, 1, 0, 3, 1},
        {"contact at a quarter: three quarters of the step remain", 0.25f, 1, 1, 1, -1, -2, -2, -3,
         2, 2},
        {"zero-length normal (both at -1) leaves both unchanged", 0.5f, 1, 1, 0, -2, -2, 2, 0, -2,
         -2},
        // Each body's move on reads its own new velocity: the one that stops stays at contact.
        {"masses 3 and 1: A stops at contact, B moves on", 0.5f, 3, 1, 2, 0, -2, 0, -1, 4, 2},
        {"masses 1 and 3: B stops at contact, A moves on", 0.5f, 1, 3, 2, 0, -2, -4, -2, 0, 1},
    };
    for (const auto& c : cases) {
        SphereBody a = makeBody(x(-2.0f), x(0.0f), 1.0f, x(2.0f));
        SphereBody b = makeBody(x(c.previousB), x(c.positionB), 1.0f, x(c.velocityB));
        a.setMass(c.massA);
        b.setMass(c.massB);
        EXPECT_EQ(resolveCollision(&a, &b, c.t), c.newVA != 2.0f) << c.label;
        EXPECT_TRUE(a.getVelocity() == x(c.newVA) && a.getPosition() == x(c.newPA) &&
                    b.getVelocity() == x(c.newVB) && b.getPosition() == x(c.newPB))
            << c.label;
    }
}

TEST(CollisionResponseTest, EarliestContactPicksTheFirstSmallestTime) {
    const struct {
        const char* label;
        std::vector<int> hits; // indices into three bodies at rest
        TimeList times;
        int picked; // the one set moving; -1: none
    } cases[] = {
        {"empty lists change nothing", {}, {}, -1},
        {"times of 1e9 and above are never picked", {0, 1}, {1e9f, 2e9f}, -1},
        {"a time past 1 within the tolerance is picked", {1}, {1.0005f}, 1},
        {"a tie goes to the earlier hit", {0, 1, 2}, {0.7f, 0.2f, 0.2f}, 1},
        {"times list longer than hits stops at the shorter", {2}, {0.5f, 0.1f}, 2},
    };
    for (const auto& c : cases) {
        SphereBody body = makeBody(x(-2.0f), x(0.0f), 1.0f, x(2.0f));
        std::vector<SphereBody> others(3, makeBody(x(5.0f), x(5.0f), 1.0f));
        BodyList hits;
        for (int i : c.hits) {
            hits.push_back(&others[i]);
        }
        Body* partner = &body; // untouched without an exchange
        EXPECT_EQ(resolveEarliestContact(&body, hits, c.times, &partner), c.picked >= 0) << c.label;
        EXPECT_EQ(partner, c.picked >= 0 ? &others[c.picked] : &body) << c.label;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(others[i].getVelocity() == Vector3::zero, i != c.picked) << c.label << i;
        }
    }
}

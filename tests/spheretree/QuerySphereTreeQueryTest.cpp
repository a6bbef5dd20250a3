#include "frustum/MatrixFrustum.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

/// The time of a query's single result (0 without times), or -1 when it found nothing.
template <class Query> float onlyTime(TreeScene& scene, const Query& query) {
    BodyList bodies;
    TimeList times;
    query.run(scene.tree, bodies, times);
    EXPECT_LE(bodies.size(), 1u);
    return bodies.empty() ? -1.0f : times.empty() ? 0.0f : times.front();
}

Vector3 z(float v) {
    return Vector3(0.0f, 0.0f, v);
}

TEST(QuerySphereTreeQueryTest, EdgeCasesAgainstOneLeaf) {
    TreeScene scene; // one leaf sphere: centre (0, 0, 10), radius 1.999f + 0.001f = 2 exactly
    scene.add(z(10.0f), 1.999f);
    scene.tree.update();
    auto ray = [&](const Vector3& from) { return onlyTime(scene, RayQuery{from, z(1.0f)}); };
    auto segment = [&](float a, float b) { return onlyTime(scene, SegmentQuery{z(a), z(b)}); };
    auto sphere = [&](float r) { return onlyTime(scene, SphereQuery{z(5.0f), r}); };
    const struct {
        const char* label;
        float time, expected, tolerance; // time -1: no result
    } cases[] = {
        {"ray: distance to the entry", ray(z(0.0f)), 8.0f, 0},
        {"ray from inside: to the exit", ray(z(9.0f)), 3.0f, 0},
        {"ray: sphere behind", ray(z(20.0f)), -1.0f, 0},
        {"ray: passes by", ray(Vector3(0.0f, 3.0f, 0.0f)), -1.0f, 0},
        {"segment: entry parameter", segment(0.0f, 20.0f), 0.4f, 1e-6f},
        {"segment: ends short, within tolerance", segment(0.0f, 7.995f), 1.000625f, 1e-5f},
        {"segment: ends too short", segment(0.0f, 7.99f), -1.0f, 0},
        {"segment from inside: exit parameter", segment(9.0f, 20.0f), 3.0f / 11.0f, 1e-6f},
        {"segment: beyond the sphere", segment(20.0f, 30.0f), -1.0f, 0},
        {"zero-length segment strictly inside: time 0", segment(11.0f, 11.0f), 0.0f, 0},
        {"zero-length segment on the sphere: nothing", segment(12.0f, 12.0f), -1.0f, 0},
        {"zero-length segment outside: nothing", segment(30.0f, 30.0f), -1.0f, 0},
        {"sphere touching only: nothing", sphere(3.0f), -1.0f, 0},
        {"sphere overlapping", sphere(3.01f), 0.0f, 0},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.time, c.expected, c.tolerance) << c.label;
    }

    // The unit cube; the frustum tests the body's present sphere, not the leaf's.
    float identity[16];
    translationMatrix(0.0f, 0.0f, 0.0f, identity);
    MatrixFrustum cube(identity, identity);
    TreeScene touching;
    Body* body = touching.add(2.0f, 1.0f)->body;
    touching.tree.update();
    EXPECT_EQ(onlyTime(touching, FrustumQuery{&cube}), 0.0f) << "touching the right face";
    body->setRadius(0.99f);
    EXPECT_EQ(onlyTime(touching, FrustumQuery{&cube}), -1.0f) << "just outside it";
}

TEST(QuerySphereTreeQueryTest, SweepReportsTheFirstContactWithinTheStep) {
    // The query body moves from the origin to (10, 0, 0) with radius 1; another rests at x.
    SphereBody mover = makeBody(Vector3::zero, Vector3(10.0f, 0.0f, 0.0f), 1.0f);
    auto sweep = [&mover](float x, float otherMoves) {
        TreeScene scene;
        Body* other = scene.add(x, 1.0f)->body;
        other->setPosition(Vector3(x + otherMoves, 0.0f, 0.0f));
        scene.tree.update();
        EXPECT_EQ(onlyTime(scene, SweepQuery{other}), -1.0f); // never reports itself
        return onlyTime(scene, SweepQuery{&mover});
    };
    EXPECT_EQ(sweep(5.0f, 0.0f), 0.3f);
    EXPECT_EQ(sweep(5.0f, 10.0f), -1.0f);  // moving along: no relative motion
    EXPECT_EQ(sweep(12.02f, 0.0f), -1.0f); // t = 1.002
    EXPECT_EQ(sweep(1.98f, 0.0f), -1.0f);  // t = -0.002
    EXPECT_NEAR(sweep(12.005f, 0.0f), 1.0005f, 1e-5f);
}

} // namespace

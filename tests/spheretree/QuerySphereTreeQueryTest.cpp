#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

/// The time of the single result of a query on scene, or -1 when it found nothing.
template <class Query> float onlyTime(TreeScene& scene, const Query& query) {
    BodyList bodies;
    TimeList times;
    query.run(scene.tree, bodies, times);
    EXPECT_LE(bodies.size(), 1u);
    EXPECT_EQ(times.size(), Query::timed ? bodies.size() : 0u);
    return bodies.empty() ? -1.0f : times.empty() ? 0.0f : times.front();
}

TEST(QuerySphereTreeQueryTest, EdgeCasesOfEachQueryAgainstOneLeaf) {
    // One leaf with sphere centre (0, 0, 10), radius 2 to the last bit.
    TreeScene scene;
    scene.add(Vector3(0.0f, 0.0f, 10.0f), bodyRadiusForSweptRadius(2.0f));
    scene.tree.update();
    auto z = [](float v) { return Vector3(0.0f, 0.0f, v); };
    auto segment = [&](float from, float to) {
        return onlyTime(scene, SegmentQuery{z(from), z(to)});
    };
    auto sphere = [&](float at, float r) { return onlyTime(scene, SphereQuery{z(at), r}); };
    struct Case {
        const char* label;
        float time; // -1: no result
        float expected;
        float tolerance;
    };
    const Case cases[] = {
        {"ray: distance to the entry", onlyTime(scene, RayQuery{z(0.0f), Vector3::unitZ}), 8.0f, 0},
        {"ray from inside: distance to the exit",
         onlyTime(scene, RayQuery{z(9.0f), Vector3::unitZ}), 3.0f, 0},
        {"ray: sphere behind", onlyTime(scene, RayQuery{z(20.0f), Vector3::unitZ}), -1.0f, 0},
        {"ray: passes by", onlyTime(scene, RayQuery{Vector3(0.0f, 3.0f, 0.0f), Vector3::unitZ}),
         -1.0f, 0},
        {"segment: entry parameter", segment(0.0f, 20.0f), 0.4f, 1e-6f},
        {"segment: ends just short, within tolerance", segment(0.0f, 7.995f), 1.000625f, 1e-5f},
        {"segment: ends too short", segment(0.0f, 7.99f), -1.0f, 0},
        {"segment from inside: exit parameter", segment(9.0f, 20.0f), 3.0f / 11.0f, 1e-6f},
        {"segment beyond the sphere", segment(20.0f, 30.0f), -1.0f, 0},
        {"zero-length segment strictly inside: time 0", segment(11.0f, 11.0f), 0.0f, 0},
        {"zero-length segment on the sphere: nothing", segment(12.0f, 12.0f), -1.0f, 0},
        {"zero-length segment outside: nothing", segment(30.0f, 30.0f), -1.0f, 0},
        {"sphere touching only: nothing", sphere(5.0f, 3.0f), -1.0f, 0},
        {"sphere overlapping", sphere(5.0f, 3.01f), 0.0f, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(c.time, c.expected, c.tolerance) << c.label;
    }
}

TEST(QuerySphereTreeQueryTest, FrustumTestsTheBodysPresentSphere) {
    // The unit cube; a body at (2, 0, 0) with radius 1 touches its right face from outside.
    float identity[16];
    translationMatrix(0.0f, 0.0f, 0.0f, identity);
    MatrixFrustum cube(identity, identity);
    TreeScene scene;
    Body* body = scene.add(Vector3(2.0f, 0.0f, 0.0f), 1.0f);
    scene.tree.update();
    EXPECT_EQ(onlyTime(scene, FrustumQuery{&cube}), 0.0f);
    body->setRadius(0.99f); // the leaf's sphere is unchanged until the next update
    EXPECT_EQ(onlyTime(scene, FrustumQuery{&cube}), -1.0f);
}

TEST(QuerySphereTreeQueryTest, SweepReportsTheFirstContactWithinTheStep) {
    // The query body moves from the origin to (10, 0, 0) with radius 1; another rests at x.
    SphereBody mover =
        makeMovedBody(Vector3::zero, Vector3(10.0f, 0.0f, 0.0f), 1.0f, Vector3::zero);
    auto sweep = [&mover](float x, float otherMoves) {
        TreeScene scene;
        Body* other = scene.add(Vector3(x, 0.0f, 0.0f), 1.0f);
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

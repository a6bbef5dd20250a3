#include "frustum/MatrixFrustum.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

static Vector3 z(float v) {
    return Vector3(0.0f, 0.0f, v);
}

// Each boundary of the per-node tests, pinned by literal values: the tree and the references
// share these tests, so only a literal shows a fault in one.
TEST(QuerySphereTreeQueryTest, EdgeCasesAgainstOneLeaf) {
    TreeScene scene; // one leaf sphere: centre (0, 0, 10), radius 1.999f + 0.001f = 2 exactly
    Body* body = scene.add(z(10.0f), 1.999f)->body;
    scene.tree.update();
    QuerySphereTree& tree = scene.tree;
    // The time of the query's single result (0 without times), or -1 when it found nothing.
    auto onlyTime = [](const std::function<void(BodyList&, TimeList&)>& query) {
        BodyList bodies;
        TimeList times;
        query(bodies, times);
        EXPECT_LE(bodies.size(), 1u);
        return bodies.empty() ? -1.0f : times.empty() ? 0.0f : times.front();
    };
    auto ray = [&](const Vector3& from) {
        return onlyTime([&](BodyList& b, TimeList& t) { tree.queryRay(from, z(1.0f), b, t); });
    };
    auto segment = [&](float a, float e) {
        return onlyTime([&](BodyList& b, TimeList& t) { tree.querySegment(z(a), z(e), b, t); });
    };
    auto sphere = [&](float r) {
        return onlyTime([&](BodyList& b, TimeList&) { tree.querySphere(z(5.0f), r, b); });
    };
    // A body of radius 1.001f (reach 3 exactly) moving along z; at rest it reports nothing.
    auto sweep = [&](float from, float length) {
        SphereBody mover = makeBody(z(from), z(from + length), 1.001f);
        return onlyTime([&](BodyList& b, TimeList& t) { tree.querySweep(&mover, b, t); });
    };
    // Last, as it changes the body: the cube -1..1 seen from (3, 0, 10); the body's own sphere
    // touches the left face from outside at r = 2, whatever the leaf's sphere.
    Matrix identity = translation(0.0f, 0.0f, 0.0f), camera = translation(-3.0f, 0.0f, -10.0f);
    MatrixFrustum cube(identity.data(), camera.data());
    auto frustum = [&](float r) {
        body->setRadius(r);
        return onlyTime([&](BodyList& b, TimeList&) { tree.queryFrustum(cube, b); });
    };
    const struct {
        const char* label;
        float time, expected, tolerance; // time -1: no result
    } cases[] = {
        {"ray: distance to the entry", ray(z(0.0f)), 8.0f, 0},
        {"ray from inside: to the exit", ray(z(9.0f)), 3.0f, 0},
        {"ray from on the sphere: counts as outside", ray(z(8.0f)), 0.0f, 0},
        {"ray: tangent at exactly the radius", ray(Vector3(0.0f, 2.0f, 0.0f)), 10.0f, 0},
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
        {"sweep: first contact", sweep(4.0f, 10.0f), 0.3f, 0},
        {"sweep: no relative motion, though overlapping", sweep(9.0f, 0.0f), -1.0f, 0},
        {"sweep: t = 1.002", sweep(-3.02f, 10.0f), -1.0f, 0},
        {"sweep: t = -0.002", sweep(7.02f, 10.0f), -1.0f, 0},
        {"sweep: t = 1.0005, within tolerance", sweep(-3.005f, 10.0f), 1.0005f, 1e-5f},
        {"frustum: touching a face from outside", frustum(2.0f), 0.0f, 0},
        {"frustum: just outside it", frustum(1.99f), -1.0f, 0},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.time, c.expected, c.tolerance) << c.label;
    }
}

/// The cube -extent..extent on each axis, its planes set directly so that one can be spoiled.
struct CubeFrustum : MatrixFrustum {
    explicit CubeFrustum(float extent, int spoiled = -1, float value = 0.0f) {
        for (int i = 0; i < 6; ++i) {
            float sign = i % 2 ? 1.0f : -1.0f; // right, top and far face -x, -y and -z
            (&planes[i].a)[i / 2] = i == 2 || i == 3 ? -sign : sign;
            planes[i].d = extent;
        }
        if (spoiled >= 0) {
            (&planes[spoiled / 4].a)[spoiled % 4] = value;
        }
    }
};

TEST(QuerySphereTreeQueryTest, NonFiniteArgumentsFindNothing) {
    TreeScene scene;
    for (float x : {-10.0f, 0.0f, 10.0f}) {
        scene.add(x, 1.0f);
    }
    scene.tree.update();
    const float inf = INFINITY, nan = NAN;
    const Vector3 o = Vector3::zero, x(1.0f, 0.0f, 0.0f), far(-20.0f, 0.0f, 0.0f),
                  end(20.0f, 0.0f, 0.0f);
    auto found = [&](auto query) {
        BodyList bodies;
        TimeList times;
        query(bodies, times);
        return bodies.size();
    };
    auto ray = [&](Vector3 origin, Vector3 direction) {
        return found(
            [&](BodyList& b, TimeList& t) { scene.tree.queryRay(origin, direction, b, t); });
    };
    auto segment = [&](Vector3 start, Vector3 end) {
        return found([&](BodyList& b, TimeList& t) { scene.tree.querySegment(start, end, b, t); });
    };
    auto sphere = [&](Vector3 center, float radius) {
        return found([&](BodyList& b, TimeList&) { scene.tree.querySphere(center, radius, b); });
    };
    auto frustum = [&](const Frustum& f) {
        return found([&](BodyList& b, TimeList&) { scene.tree.queryFrustum(f, b); });
    };
    const struct {
        const char* label;
        std::size_t found, expected;
    } cases[] = {
        {"ray: finite", ray(far, x), 3},
        {"ray: NaN origin", ray(Vector3(nan, 0.0f, 0.0f), x), 0},
        {"ray: infinite origin", ray(Vector3(0.0f, -inf, 0.0f), x), 0},
        {"ray: NaN direction", ray(far, Vector3(1.0f, 0.0f, nan)), 0},
        {"ray: infinite direction", ray(far, Vector3(inf, 0.0f, 0.0f)), 0},
        {"segment: finite", segment(far, end), 3},
        {"segment: infinite end", segment(far, Vector3(inf, 0.0f, 0.0f)), 0},
        {"segment: NaN end", segment(far, Vector3(nan, 0.0f, 0.0f)), 0},
        {"segment: infinite start", segment(Vector3(0.0f, 0.0f, -inf), end), 0},
        {"segment: NaN start", segment(Vector3(0.0f, nan, 0.0f), end), 0},
        {"sphere: finite", sphere(o, 100.0f), 3},
        {"sphere: radius +infinity holds everything", sphere(o, inf), 3},
        {"sphere: NaN centre", sphere(Vector3(nan, 0.0f, 0.0f), 100.0f), 0},
        {"sphere: infinite centre", sphere(Vector3(0.0f, inf, 0.0f), 100.0f), 0},
        {"sphere: NaN radius", sphere(o, nan), 0},
        {"sphere: radius -infinity", sphere(o, -inf), 0},
        {"frustum: finite", frustum(CubeFrustum(100.0f)), 3},
        {"frustum: NaN normal", frustum(CubeFrustum(100.0f, 9, nan)), 0},
        {"frustum: infinite offset", frustum(CubeFrustum(100.0f, 23, inf)), 0},
        {"frustum: -infinite offset", frustum(CubeFrustum(100.0f, 3, -inf)), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.found, c.expected) << c.label;
    }
}

// The tree's queries: each boundary of their per-node tests pinned by literal values, then every
// query against a walk of every node over random scenes, through both walks. A new query adds
// its cases to the first test and a row to the table of queries of the second.
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/ScenePopulation.h"
#include "frustum/MatrixFrustum.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <iterator>
#include <memory>

using namespace spheres;

static Vector3 z(float v) {
    return Vector3(0.0f, 0.0f, v);
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

// Each boundary of the per-node tests, pinned by literal values: the tree and the references
// share these tests, so only a literal shows a fault in one. Non-finite arguments find nothing;
// finite ones of any size, and ray directions of any length, give the geometric answer.
TEST(QuerySphereTreeQueryTest, EdgeCasesAndNonFiniteArgumentsAgainstOneLeaf) {
    TreeScene scene; // one leaf sphere: centre (0, 0, 10), radius 1.999f + 0.001f = 2 exactly
    Body* body = scene.add(z(10.0f), 1.999f)->body;
    scene.tree.update();
    QuerySphereTree& tree = scene.tree;
    const float inf = INFINITY, nan = NAN;
    // The time of the query's single result (0 without times), or -1 when it found nothing.
    auto onlyTime = [](const std::function<void(BodyList&, TimeList&)>& query) {
        BodyList bodies;
        TimeList times;
        query(bodies, times);
        EXPECT_LE(bodies.size(), 1u);
        return bodies.empty() ? -1.0f : times.empty() ? 0.0f : times.front();
    };
    auto ray = [&](const Vector3& from, const Vector3& direction = z(1.0f)) {
        return onlyTime([&](BodyList& b, TimeList& t) { tree.queryRay(from, direction, b, t); });
    };
    auto segment = [&](const Vector3& a, const Vector3& e) {
        return onlyTime([&](BodyList& b, TimeList& t) { tree.querySegment(a, e, b, t); });
    };
    auto sphere = [&](float r, const Vector3& center = z(5.0f)) {
        return onlyTime([&](BodyList& b, TimeList&) { tree.querySphere(center, r, b); });
    };
    // A body of radius 1.001f (reach 3 exactly) moving along z, offset in y; at rest it reports
    // nothing. The leaf's level-5 node has radius 512 about the leaf's centre.
    auto sweep = [&](float from, float length, float offset = 0.0f, float radius = 1.001f) {
        Vector3 y(0.0f, offset, 0.0f);
        SphereBody mover = makeBody(z(from) + y, z(from + length) + y, radius);
        return onlyTime([&](BodyList& b, TimeList& t) { tree.querySweep(&mover, b, t); });
    };
    // Last, as it changes the body: the cube -1..1 seen from (3, 0, 10); the body's own sphere
    // touches the left face from outside at r = 2, whatever the leaf's sphere.
    Matrix identity = translation(0.0f, 0.0f, 0.0f), camera = translation(-3.0f, 0.0f, -10.0f);
    MatrixFrustum cube(identity.data(), camera.data());
    auto frustum = [&](float r, const Frustum& f) {
        body->setRadius(r);
        return onlyTime([&](BodyList& b, TimeList&) { tree.queryFrustum(f, b); });
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
        {"ray: NaN origin", ray(Vector3(nan, 0.0f, 0.0f)), -1.0f, 0},
        {"ray: infinite origin", ray(Vector3(0.0f, -inf, 0.0f)), -1.0f, 0},
        {"ray: NaN direction", ray(z(0.0f), Vector3(nan, 0.0f, 1.0f)), -1.0f, 0},
        {"ray: infinite direction", ray(z(0.0f), z(inf)), -1.0f, 0},
        {"ray: direction of length 1 + 5e-6 taken as given", ray(z(0.0f), z(1.000005f)), 7.9998f,
         1e-5f},
        {"ray: direction of length 0.5 normalised",
         ray(Vector3(0.0f, -6.0f, 2.0f), Vector3(0.0f, 0.3f, 0.4f)), 8.0f, 1e-5f},
        {"ray: direction of length 10 normalised", ray(z(0.0f), z(10.0f)), 8.0f, 0},
        {"ray: direction 1e30 long normalised", ray(z(0.0f), z(1e30f)), 8.0f, 0},
        {"ray: direction 1e-40 long normalised", ray(z(0.0f), z(1e-40f)), 8.0f, 0},
        {"ray: zero direction", ray(z(0.0f), Vector3::zero), -1.0f, 0},
        {"ray from 1e20 away straight at it",
         ray(Vector3(1e20f, 0.0f, 10.0f), Vector3(-1.0f, 0, 0)), 1e20f, 1e13f},
        {"ray from 1e20 away passing it by 1e20",
         ray(Vector3(1e20f, 1e20f, 0.0f), Vector3(-1, 0, 0)), -1.0f, 0},
        {"segment: entry parameter", segment(z(0.0f), z(20.0f)), 0.4f, 1e-6f},
        {"segment: ends short, within tolerance", segment(z(0.0f), z(7.995f)), 1.000625f, 1e-5f},
        {"segment: ends too short", segment(z(0.0f), z(7.99f)), -1.0f, 0},
        {"segment from inside: exit parameter", segment(z(9.0f), z(20.0f)), 3.0f / 11, 1e-6f},
        {"segment: beyond the sphere", segment(z(20.0f), z(30.0f)), -1.0f, 0},
        {"zero-length segment strictly inside: time 0", segment(z(11.0f), z(11.0f)), 0.0f, 0},
        {"zero-length segment on the sphere: nothing", segment(z(12.0f), z(12.0f)), -1.0f, 0},
        {"zero-length segment outside: nothing", segment(z(30.0f), z(30.0f)), -1.0f, 0},
        {"segment: infinite end", segment(z(0.0f), Vector3(inf, 0.0f, 20.0f)), -1.0f, 0},
        {"segment: NaN end", segment(z(0.0f), Vector3(0.0f, nan, 20.0f)), -1.0f, 0},
        {"segment: infinite start", segment(z(-inf), z(20.0f)), -1.0f, 0},
        {"segment: NaN start", segment(Vector3(nan, 0.0f, 0.0f), z(20.0f)), -1.0f, 0},
        {"segment starting on the sphere, into it: time 0", segment(z(8.0f), z(20.0f)), 0.0f, 0},
        {"segment 6e38 long through it: halfway",
         segment(Vector3(-3e38f, 0, 10), Vector3(3e38f, 0, 10)), 0.5f, 1e-6f},
        {"segment 6e38 long passing 1e30 away",
         segment(Vector3(-3e38f, 1e30f, 0), Vector3(3e38f, 1e30f, 0)), -1.0f, 0},
        {"sphere touching only: nothing", sphere(3.0f), -1.0f, 0},
        {"sphere overlapping", sphere(3.01f), 0.0f, 0},
        {"sphere: radius +infinity holds everything", sphere(inf), 0.0f, 0},
        {"sphere: NaN radius", sphere(nan), -1.0f, 0},
        {"sphere: radius -infinity", sphere(-inf), -1.0f, 0},
        {"sphere: NaN centre", sphere(3.01f, Vector3(nan, 0.0f, 5.0f)), -1.0f, 0},
        {"sphere: infinite centre", sphere(3.01f, Vector3(0.0f, inf, 5.0f)), -1.0f, 0},
        {"sphere: negative radius holds nothing", sphere(-1.0f, z(10.0f)), -1.0f, 0},
        {"sphere: radius -1e6 holds nothing", sphere(-1e6f, z(10.0f)), -1.0f, 0},
        {"sphere: radius -0 is a point", sphere(-0.0f, z(10.0f)), 0.0f, 0},
        {"sphere of radius 3e19 2e19 away holds the root", sphere(3e19f, Vector3(2e19f, 0, 0)),
         0.0f, 0},
        {"sphere of radius 3e19 4e19 away misses it", sphere(3e19f, Vector3(4e19f, 0, 0)), -1.0f,
         0},
        {"sweep: first contact", sweep(4.0f, 10.0f), 0.3f, 0},
        {"sweep: grazing at exactly the reach (discriminant 0)", sweep(4.0f, 10.0f, 3.0f), 0.6f, 0},
        {"sweep through it, ending just touching its level-5 node: pruned",
         sweep(4.0f, 519.0f, 0.0f, 1.0f), -1.0f, 0},
        {"sweep through it, ending just inside its level-5 node", sweep(4.0f, 518.0f, 0.0f, 1.0f),
         0.00579f, 1e-5f},
        {"sweep: no relative motion, though overlapping", sweep(9.0f, 0.0f), -1.0f, 0},
        {"sweep: t = 1.002", sweep(-3.02f, 10.0f), -1.0f, 0},
        {"sweep: t = -0.002", sweep(7.02f, 10.0f), -1.0f, 0},
        {"sweep: t = 1.0005, within tolerance", sweep(-3.005f, 10.0f), 1.0005f, 1e-5f},
        {"frustum: touching a face from outside", frustum(2.0f, cube), 0.0f, 0},
        {"frustum: just outside it", frustum(1.99f, cube), -1.0f, 0},
        {"frustum: the cube of 100 holds it", frustum(2.0f, CubeFrustum(100.0f)), 0.0f, 0},
        {"frustum: NaN normal", frustum(2.0f, CubeFrustum(100.0f, 9, nan)), -1.0f, 0},
        {"frustum: infinite offset", frustum(2.0f, CubeFrustum(100.0f, 23, inf)), -1.0f, 0},
        {"frustum: -infinite offset", frustum(2.0f, CubeFrustum(100.0f, 3, -inf)), -1.0f, 0},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.time, c.expected, c.tolerance) << c.label;
    }
    // The pruning's boundary in every walk: the sweep's present sphere only touching the node.
    body->setRadius(1.999f);
    for (bool literal : {true, false}) {
        for (bool vectorised : {true, false}) {
            tree.setQueryWalk(literal ? QueryWalk::Literal : QueryWalk::Snapshot);
            tree.setVectorised(vectorised);
            EXPECT_EQ(sweep(4.0f, 519.0f, 0.0f, 1.0f), -1.0f) << literal << vectorised;
            EXPECT_NEAR(sweep(4.0f, 518.0f, 0.0f, 1.0f), 0.00579f, 1e-5f) << literal << vectorised;
        }
    }
}

/// The tree's walks: the literal one, and the snapshot's with and without vector instructions.
struct Walk {
    QueryWalk walk;
    bool vectorised;
    int threads; // one leaf per thread at least
    const char* name;
};
static const Walk walks[] = {{QueryWalk::Literal, true, 1, "literal"},
                             {QueryWalk::Snapshot, true, 1, "snapshot"},
                             {QueryWalk::Snapshot, false, 1, "portable snapshot"},
                             {QueryWalk::Snapshot, true, 3, "snapshot on 3 threads"}};

/// What one probe of the scene asks, aimed at one body: its sweep, a view from a camera at a
/// random place, and a sphere, a ray and a segment aimed near it (at leaves outside an ancestor
/// too).
struct Probe {
    SweptSphere sweep; // the present sphere prunes inner nodes
    MatrixFrustum view;
    Vector3 target, origin, direction;
    float radius;
    Segment line;
};

/// Every query of the tree: the per-node test its results must follow and the query itself,
/// through whichever walk the tree is set to. A leaf the test accepts below a node it rejects
/// is a pruned miss; every query but the frustum's, whose leaves are tested with their body's
/// present sphere, must show some.
const struct {
    const char* name;
    bool (*accepts)(const Probe&, const TreeNode&, float& time);
    void (*query)(const Probe&, QuerySphereTree&, BodyList&, TimeList&);
    bool prunedMisses;
} queries[] = {
    {"sweep",
     [](const Probe& p, const TreeNode& n, float& t) { return sweepAccepts(p.sweep, n, t); },
     [](const Probe& p, QuerySphereTree& tree, BodyList& b, TimeList& t) {
         tree.querySweep(p.sweep.body, b, t);
     },
     true},
    {"frustum",
     [](const Probe& p, const TreeNode& n, float&) {
         bool leaf = n.flags & TreeNodeFlags::Leaf;
         Vector3 c = leaf ? n.body->getPosition() : n.center;
         float r = leaf ? n.body->getRadius() : n.radius;
         const Plane* planes = p.view.getPlanes();
         return std::none_of(planes, planes + 6,
                             [&](const Plane& plane) { return sphereOutsidePlane(plane, c, r); });
     },
     [](const Probe& p, QuerySphereTree& tree, BodyList& b, TimeList&) {
         tree.queryFrustum(p.view, b);
     },
     false},
    {"sphere",
     [](const Probe& p, const TreeNode& n, float&) {
         return !sphereMissesNode(p.target, p.radius, n.center, n.radius);
     },
     [](const Probe& p, QuerySphereTree& tree, BodyList& b, TimeList&) {
         tree.querySphere(p.target, p.radius, b);
     },
     true},
    {"ray",
     [](const Probe& p, const TreeNode& n, float& t) {
         return rayHitsSphere(p.origin, p.direction, n.center, n.radius, &t);
     },
     [](const Probe& p, QuerySphereTree& tree, BodyList& b, TimeList& t) {
         tree.queryRay(p.origin, p.direction, b, t);
     },
     true},
    {"segment",
     [](const Probe& p, const TreeNode& n, float& t) {
         return p.line.hitsSphere(n.center, n.radius, t);
     },
     [](const Probe& p, QuerySphereTree& tree, BodyList& b, TimeList& t) {
         tree.querySegment(p.origin, p.target, b, t);
     },
     true},
};
constexpr std::size_t queryCount = std::size(queries);

/// What a query must return: the leaves the per-node test accepts, depth first, below inner
/// nodes it accepts too; a leaf accepted below a rejected node is a miss the pruning explains.
template <class Accepts>
void walk(const Accepts& accepts, const TreeNode* node, bool pruned, BodyList& bodies,
          TimeList& times, int& prunedMisses) {
    float time = 0.0f;
    bool accepted = accepts(*node, time);
    if (!(node->flags & TreeNodeFlags::Leaf)) {
        for (const TreeNode* child : node->children) {
            walk(accepts, child, pruned || !accepted, bodies, times, prunedMisses);
        }
    } else if (accepted && pruned) {
        ++prunedMisses;
    } else if (accepted) {
        bodies.push_back(node->body);
        times.push_back(time);
    }
}

TEST(QuerySphereTreeQueryTest, RandomScenesMatchAWalkOfEveryNodeWhileBodiesMoveArriveAndLeave) {
    RandomScene scene(25);
    scene.add(300, 2024);
    scene.world.step(1e-9f);
    TestDraws draws{SceneRandom(7)};
    QuerySphereTree& tree = scene.world.getTree();
    int hits[queryCount] = {}, prunedMisses[queryCount] = {};
    float projection[16];
    defaultProjectionMatrix(projection);
    for (int step = 1; step <= 400; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        scene.frame();
        if (step == 120) {
            scene.add(40, 2025, Scene::Giants); // a leaf of radius 20 000 at depth 3
        }
        for (std::size_t i = 0; step == 200 && i < scene.bodies.size(); i += 9) {
            scene.world.removeBody(scene.bodies[i]);
        }
        ASSERT_EQ(checkTree(tree), "") << "after the step's arrivals or removals";
        ASSERT_EQ(tree.refreshSnapshot().compareWith(tree.getRoot()), "");
        ASSERT_EQ(tree.countNodes(), static_cast<const SphereTree&>(tree).countNodes());
        if (step % 20 != 0) {
            continue;
        }
        for (Body* body : scene.bodies) {
            float x = draws.between(-8000.0f, 8000.0f); // one draw per statement: one order
            Matrix modelview = translation(x, draws.between(-8000.0f, 8000.0f), -10000.0f);
            Vector3 target = body->getPosition() + draws.vector(100.0f);
            float radius = draws.between(1.0f, 500.0f);
            Vector3 origin = target + draws.vector(8000.0f);
            Probe probe{SweptSphere(body),
                        MatrixFrustum(projection, modelview.data()),
                        target,
                        origin,
                        (target - origin).normalized(),
                        radius,
                        Segment(origin, target)};
            // Each query through the literal walk and the snapshot, into lists that hold an
            // entry already: the tree must append after it.
            for (std::size_t k = 0; k < queryCount; ++k) {
                auto accepts = [&](const TreeNode& n, float& t) {
                    return queries[k].accepts(probe, n, t);
                };
                BodyList expected{nullptr};
                TimeList expectedTimes{-1.0f};
                walk(accepts, tree.getRoot(), false, expected, expectedTimes, prunedMisses[k]);
                hits[k] += static_cast<int>(expected.size()) - 1;
                for (const Walk& walk : walks) {
                    BodyList found{nullptr};
                    TimeList times{-1.0f};
                    tree.setQueryWalk(walk.walk);
                    tree.setVectorised(walk.vectorised);
                    tree.setThreads(ThreadBudget{walk.threads, 1});
                    queries[k].query(probe, tree, found, times);
                    tree.setThreads(ThreadBudget{});
                    ASSERT_TRUE(found == expected && (times.size() == 1 || times == expectedTimes))
                        << queries[k].name << " " << walk.name << " query differs from the walk";
                }
            }
        }
    }
    for (std::size_t k = 0; k < queryCount; ++k) { // else the scenes showed nothing
        EXPECT_TRUE(hits[k] > 0 && (!queries[k].prunedMisses || prunedMisses[k] > 0))
            << queries[k].name << ": " << hits[k] << " hits, " << prunedMisses[k]
            << " pruned misses";
    }
    // A body that overflows to infinity in x only dies; its leaf is stranded.
    scene.bodies[5]->setVelocity(Vector3(FLT_MAX, 0.0f, 0.0f));
    scene.bodies[5]->setAcceleration(Vector3(FLT_MAX, 0.0f, 0.0f));
    for (int step = 0; step < 3; ++step) {
        scene.frame();
    }
    EXPECT_EQ(tree.refreshSnapshot().compareWith(tree.getRoot()), "");
    EXPECT_TRUE(std::isinf(scene.bodies[5]->getPosition().x) && !scene.bodies[5]->isAlive());
    // Torn down holding attached, escaped and waiting leaves: the leak checkers see all freed.
    scene.add(5, 2026);
    EXPECT_TRUE(std::any_of(scene.bodies.begin(), scene.bodies.end(),
                            [](Body* b) { return !b->isAlive(); }) &&
                tree.getLeaves().size() > 5 && tree.getIntegrateQueue().size() == 5);
}

// The sweep through every walk on thousands of small scenes, crowded or sparse, moving or at rest,
// so that blocks of every width (past 32 and 64 children too) meet queries that accept, reject
// and straddle them: the same contacts, and the batched frame's reached leaves, in the same order.
TEST(QuerySphereTreeQueryTest, SweepWalksAgreeOnThousandsOfSmallScenes) {
    TestDraws draws{SceneRandom(11)};
    int contacts = 0, reachedLeaves = 0;
    std::size_t widest = 0;
    for (int scene = 0; scene < 2000; ++scene) {
        SCOPED_TRACE("scene " + std::to_string(scene));
        TreeScene trees;
        int count = 1 + static_cast<int>(draws.index(scene % 10 == 0 ? 150 : 40));
        float extent = draws.between(20.0f, scene % 3 == 0 ? 600.0f : 20000.0f);
        for (int i = 0; i < count; ++i) {
            Vector3 position = draws.vector(extent);
            Vector3 previous = position + draws.vector(draws.index(3) == 0 ? 0.0f : extent * 0.1f);
            trees.bodies.push_back(makeBody(previous, position, draws.between(1.0f, 300.0f)));
            trees.tree.insert(&trees.bodies.back());
        }
        ASSERT_EQ(trees.update(), "");
        for (const TreeNode* node : trees.tree.getLeaves()) {
            widest = std::max(widest, node->parent->children.size());
        }
        for (SphereBody& body : trees.bodies) {
            BodyList expected;
            TimeList expectedTimes;
            std::vector<SweepReach> expectedReached;
            for (const Walk& walk : walks) {
                BodyList found;
                TimeList times;
                std::vector<SweepReach> reached;
                trees.tree.setQueryWalk(walk.walk);
                trees.tree.setVectorised(walk.vectorised);
                trees.tree.querySweep(&body, found, times);
                trees.tree.querySweepReached(&body, reached); // the snapshot's, in any walk
                if (walk.walk == QueryWalk::Literal) {
                    expected = found;
                    expectedTimes = times;
                    expectedReached = reached;
                    contacts += static_cast<int>(found.size());
                    reachedLeaves += static_cast<int>(reached.size());
                    continue;
                }
                ASSERT_TRUE(found == expected && times == expectedTimes) << walk.name;
                ASSERT_TRUE(std::equal(reached.begin(), reached.end(), expectedReached.begin(),
                                       expectedReached.end(),
                                       [](const SweepReach& a, const SweepReach& b) {
                                           return a.leaf == b.leaf && a.contact == b.contact &&
                                                  (!a.contact || a.time == b.time);
                                       }))
                    << walk.name;
            }
        }
    }
    EXPECT_TRUE(contacts > 1000 && reachedLeaves > 10 * contacts && widest > 64)
        << contacts << " contacts, " << reachedLeaves << " leaves reached, widest block " << widest;
}

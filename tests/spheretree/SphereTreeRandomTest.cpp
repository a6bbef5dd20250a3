#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/ScenePopulation.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <iterator>
#include <memory>

using namespace spheres;

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

TEST(SphereTreeRandomTest, QueriesMatchAWalkOfEveryNodeWhileBodiesMoveArriveAndLeave) {
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
            scene.add(40, 2025);
        }
        for (std::size_t i = 0; step == 200 && i < scene.bodies.size(); i += 9) {
            scene.world.removeBody(scene.bodies[i]);
        }
        ASSERT_EQ(checkTree(tree), "") << "after the step's arrivals or removals";
        ASSERT_EQ(tree.refreshSnapshot().compareWith(tree.getRoot()), "");
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
                for (QueryWalk queryWalk : {QueryWalk::Literal, QueryWalk::Snapshot}) {
                    BodyList found{nullptr};
                    TimeList times{-1.0f};
                    tree.setQueryWalk(queryWalk);
                    queries[k].query(probe, tree, found, times);
                    ASSERT_TRUE(found == expected && (times.size() == 1 || times == expectedTimes))
                        << queries[k].name
                        << (queryWalk == QueryWalk::Literal ? " literal" : " snapshot")
                        << " query differs from the walk";
                }
            }
        }
    }
    for (std::size_t k = 0; k < queryCount; ++k)
        printf("%s %d %d\n", queries[k].name, hits[k], prunedMisses[k]);
    for (std::size_t k = 0; k < queryCount; ++k) { // or the scenes showed nothing
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

#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/ScenePopulation.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <memory>

using namespace spheres;

using Accepts = std::function<bool(const TreeNode&, float&)>;

/// The tree's walks: the literal one, and the snapshot's with and without vector instructions.
struct Walk {
    QueryWalk walk;
    bool vectorised;
    const char* name;
};
static const Walk walks[] = {{QueryWalk::Literal, true, "literal"},
                             {QueryWalk::Snapshot, true, "snapshot"},
                             {QueryWalk::Snapshot, false, "portable snapshot"}};

/// What a query must return: the leaves the per-node test accepts, depth first, below inner
/// nodes it accepts too; a leaf accepted below a rejected node is a miss the pruning explains.
static void walk(const Accepts& accepts, const TreeNode* node, bool pruned, BodyList& bodies,
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
    const char* names[] = {"sweep", "frustum", "sphere", "ray", "segment"};
    int hits[5] = {}, prunedMisses[5] = {};
    // Runs query kind k through the literal walk and the snapshot, into lists that hold an entry
    // already: the tree must append after it.
    auto compare = [&](int k, const Accepts& accepts,
                       const std::function<void(BodyList&, TimeList&)>& query) {
        BodyList expected{nullptr};
        TimeList expectedTimes{-1.0f};
        walk(accepts, tree.getRoot(), false, expected, expectedTimes, prunedMisses[k]);
        hits[k] += static_cast<int>(expected.size()) - 1;
        for (const Walk& walk : walks) {
            BodyList found{nullptr};
            TimeList times{-1.0f};
            tree.setQueryWalk(walk.walk);
            tree.setVectorised(walk.vectorised);
            query(found, times);
            ASSERT_TRUE(found == expected && (times.size() == 1 || times == expectedTimes))
                << names[k] << " " << walk.name << " query differs from the walk";
        }
    };
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
        ASSERT_EQ(tree.countNodes(), static_cast<const SphereTree&>(tree).countNodes());
        if (step % 20 != 0) {
            continue;
        }
        for (Body* body : scene.bodies) {
            SweptSphere s(body); // the present sphere prunes inner nodes
            compare(
                0, [&](const TreeNode& n, float& t) { return sweepAccepts(s, n, t); },
                [&](BodyList& b, TimeList& t) { tree.querySweep(s.body, b, t); });
        }
        float x = draws.between(-8000.0f, 8000.0f); // one draw per statement: one order
        Matrix modelview = translation(x, draws.between(-8000.0f, 8000.0f), -10000.0f);
        MatrixFrustum view(projection, modelview.data());
        compare(
            1,
            [&](const TreeNode& n, float&) { // a leaf with its body's present sphere
                bool leaf = n.flags & TreeNodeFlags::Leaf;
                Vector3 c = leaf ? n.body->getPosition() : n.center;
                float r = leaf ? n.body->getRadius() : n.radius;
                return std::none_of(view.getPlanes(), view.getPlanes() + 6,
                                    [&](const Plane& p) { return sphereOutsidePlane(p, c, r); });
            },
            [&](BodyList& b, TimeList&) { tree.queryFrustum(view, b); });
        for (int i = 0; i < 40; ++i) { // aimed at bodies, to probe leaves outside an ancestor
            Vector3 target = scene.bodies[draws.index(scene.bodies.size())]->getPosition() +
                             draws.vector(100.0f);
            float radius = draws.between(1.0f, 500.0f);
            Vector3 origin = target + draws.vector(8000.0f);
            Vector3 direction = (target - origin).normalized();
            Segment line(origin, target);
            compare(
                2,
                [&](const TreeNode& n, float&) {
                    return !sphereMissesNode(target, radius, n.center, n.radius);
                },
                [&](BodyList& b, TimeList&) { tree.querySphere(target, radius, b); });
            compare(
                3,
                [&](const TreeNode& n, float& t) {
                    return rayHitsSphere(origin, direction, n.center, n.radius, &t);
                },
                [&](BodyList& b, TimeList& t) { tree.queryRay(origin, direction, b, t); });
            compare(
                4,
                [&](const TreeNode& n, float& t) { return line.hitsSphere(n.center, n.radius, t); },
                [&](BodyList& b, TimeList& t) { tree.querySegment(origin, target, b, t); });
        }
    }
    for (int k = 0; k < 5; ++k) { // both hits and pruned misses, or the scenes showed nothing
        EXPECT_TRUE(hits[k] > 0 && (k == 1 || prunedMisses[k] > 0))
            << names[k] << ": " << hits[k] << " hits, " << prunedMisses[k] << " pruned misses";
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
TEST(SphereTreeRandomTest, SweepWalksAgreeOnThousandsOfSmallScenes) {
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

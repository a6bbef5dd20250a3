#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "frustum/MatrixFrustum.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

/// One kind of query against a walk of every node with the same per-node test: the leaves it
/// accepts, depth first, with times; those below a rejected ancestor count as misses that the
/// pruning explains.
struct Tally {
    using Accepts = std::function<bool(const TreeNode&, float&)>;
    using Run = std::function<void(BodyList&, TimeList&)>;
    const char* name;
    int hits = 0, prunedMisses = 0;
    BodyList expected{};
    TimeList expectedTimes{};

    void walk(const Accepts& accepts, const TreeNode* node, bool pruned) {
        float time = 0.0f;
        bool accepted = accepts(*node, time);
        if (!(node->flags & TreeNodeFlags::Leaf)) {
            for (const TreeNode* child : node->children) {
                walk(accepts, child, pruned || !accepted);
            }
        } else if (accepted && pruned) {
            ++prunedMisses;
        } else if (accepted) {
            expected.push_back(node->body);
            expectedTimes.push_back(time);
        }
    }
    void compare(QuerySphereTree& tree, const Accepts& accepts, const Run& run, int step) {
        BodyList bodies{nullptr}; // the tree must append after what the lists already hold
        TimeList times{-1.0f};
        expected = bodies;
        expectedTimes = times;
        walk(accepts, tree.getRoot(), false);
        run(bodies, times);
        hits += static_cast<int>(bodies.size()) - 1;
        EXPECT_TRUE(bodies == expected && (times.size() == 1 || times == expectedTimes))
            << name << " query differs from the walk of every node at step " << step;
    }
};

static bool isLeaf(const TreeNode& node) {
    return node.flags & TreeNodeFlags::Leaf;
}

TEST(SphereTreeRandomTest, TreeMatchesAWalkOfEveryNodeWhileBodiesMoveArriveAndLeave) {
    TestRandom random{2024};
    std::deque<SphereBody> bodies; // declared first: the World's tree points at them
    std::vector<Body*> order;
    World world;
    auto addBodies = [&](int count) {
        for (int i = 0; i < count; ++i) { // every 25th fast enough to leave the root sphere
            bodies.push_back(makeSceneBody(random, bodies.size() % 25 == 0 ? 400.0f : 1.0f));
            order.push_back(&bodies.back());
            world.addBody(&bodies.back());
        }
    };
    addBodies(300);
    world.step(1e-9f);
    float projection[16];
    defaultProjectionMatrix(projection);
    Tally sweep{"sweep"}, frustum{"frustum"}, sphere{"sphere"}, ray{"ray"}, segment{"segment"};
    QuerySphereTree& tree = world.getTree();
    for (int step = 1; step <= 400; ++step) {
        BodyList visible;
        simulateFrame(world, order.data(), static_cast<int>(order.size()), true, 0.1f,
                      defaultCameraFrustum(), visible);
        if (step == 120) {
            addBodies(40);
        }
        for (std::size_t i = 0; step == 200 && i < bodies.size(); i += 9) {
            world.removeBody(&bodies[i]);
        }
        ASSERT_EQ(checkTree(tree), "") << "after step " << step << " and its arrivals or removals";
        if (step % 20 != 0) {
            continue;
        }
        for (SphereBody& body : bodies) { // the body's present sphere prunes inner nodes
            SweptSphere s(&body);
            sweep.compare(
                tree,
                [&](const TreeNode& n, float& t) {
                    return isLeaf(n) ? n.body != &body && s.contactTime(n.body, t)
                                     : !sphereMissesNode(s.position, s.radius, n.center, n.radius);
                },
                [&](BodyList& b, TimeList& t) { tree.querySweep(&body, b, t); }, step);
        }
        float x = random.nextFloat(-8000.0f, 8000.0f); // one draw per statement: one order
        Matrix modelview = translation(x, random.nextFloat(-8000.0f, 8000.0f), -10000.0f);
        MatrixFrustum view(projection, modelview.data());
        frustum.compare(
            tree,
            [&](const TreeNode& n, float&) { // leaves with their body's present sphere
                Vector3 c = isLeaf(n) ? n.body->getPosition() : n.center;
                float r = isLeaf(n) ? n.body->getRadius() : n.radius;
                for (int i = 0; i < 6; ++i) {
                    if (sphereOutsidePlane(*view.getPlane(i), c, r)) {
                        return false;
                    }
                }
                return true;
            },
            [&](BodyList& b, TimeList&) { tree.queryFrustum(view, b); }, step);
        for (int i = 0; i < 40; ++i) { // aimed at bodies, to probe leaves outside an ancestor
            Body& aim = bodies[random.nextInt(static_cast<int>(bodies.size()))];
            Vector3 target = aim.getPosition() + random.nextVector(100.0f);
            float radius = random.nextFloat(1.0f, 500.0f);
            sphere.compare(
                tree,
                [&](const TreeNode& n, float&) {
                    return !sphereMissesNode(target, radius, n.center, n.radius);
                },
                [&](BodyList& b, TimeList&) { tree.querySphere(target, radius, b); }, step);
            Vector3 origin = target + random.nextVector(8000.0f);
            Vector3 direction = (target - origin).normalized();
            ray.compare(
                tree,
                [&](const TreeNode& n, float& t) {
                    return rayHitsSphere(origin, direction, n.center, n.radius, &t);
                },
                [&](BodyList& b, TimeList& t) { tree.queryRay(origin, direction, b, t); }, step);
            Segment line(origin, target);
            segment.compare(
                tree,
                [&](const TreeNode& n, float& t) { return line.hitsSphere(n.center, n.radius, t); },
                [&](BodyList& b, TimeList& t) { tree.querySegment(origin, target, b, t); }, step);
        }
    }
    for (const Tally* tally : {&sweep, &frustum, &sphere, &ray, &segment}) {
        std::printf("%s: %d hits, %d misses explained by pruning\n", tally->name, tally->hits,
                    tally->prunedMisses);
        EXPECT_GT(tally->hits, 0) << tally->name;
        EXPECT_TRUE(tally == &frustum || tally->prunedMisses > 0) << tally->name;
    }
    // Torn down holding attached, escaped and waiting leaves: the leak checkers see all freed.
    addBodies(5);
    auto dead = std::count_if(bodies.begin(), bodies.end(), [](Body& b) { return !b.isAlive(); });
    EXPECT_TRUE(dead > 0 && tree.getLeaves().size() > 5 && tree.getIntegrateQueue().size() == 5);
}

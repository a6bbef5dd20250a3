#include "world/World.h"

#include "spheretree/DebugDraw.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

using namespace spheres;

TEST(WorldTest, StepMovesAliveBodiesAndForgetsDeadOnesWhoseLeavesStay) {
    const Vector3 at(10.0f, 0.0f, 0.0f);
    SphereBody twice = makeBody(Vector3::zero, Vector3::zero, 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    SphereBody dead = makeBody(at, at, 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    World world;
    for (Body* body : std::initializer_list<Body*>{&twice, &twice, &dead}) {
        EXPECT_EQ(world.addBody(body), 1);
    }
    BodyList found;
    world.querySphere(at, 100.0f, found);
    EXPECT_TRUE(found.empty()); // waiting until the next step
    dead.setAlive(false);
    world.step(1.0f);
    EXPECT_EQ(twice.getPosition().x, 2.0f); // added twice, integrated twice
    EXPECT_EQ(dead.getPosition(), at);
    EXPECT_EQ(world.getBodies(), (std::list<Body*>{&twice, &twice}));
    world.querySphere(at, 0.5f, found);
    EXPECT_EQ(found, BodyList{&dead});
    EXPECT_EQ(world.removeBody(&twice), 1); // every entry, one leaf
    EXPECT_TRUE(world.getBodies().empty());
    EXPECT_EQ(world.getTree().getLeaves().size(), 2u);
    EXPECT_EQ(checkTree(world.getTree()), "");
    // Both entries of a dead body listed twice go in one step; the others keep their order.
    SphereBody other = makeBody(at, at, 1.0f);
    for (Body* body : std::initializer_list<Body*>{&dead, &other, &dead, &twice}) {
        world.addBody(body);
    }
    world.step(1.0f);
    EXPECT_EQ(world.getBodies(), (std::list<Body*>{&other, &twice}));
    world.removeBody(&other);
    EXPECT_EQ(world.getBodies(), std::list<Body*>{&twice});
    EXPECT_EQ(checkTree(world.getTree()), "");
    // On threads as on one: the dead go, and a body whose integration overflows dies there; when
    // it is listed twice its second entry goes in the same step.
    for (int threads : {1, 3}) {
        for (bool listedTwice : {false, true}) {
            SphereBody fast =
                makeBody(Vector3::zero, Vector3::zero, 1.0f, Vector3(3e38f, 0.0f, 0.0f));
            World threaded;
            threaded.setThreads(ThreadBudget{threads, 1});
            for (Body* body : std::initializer_list<Body*>{&fast, &dead, &other, &fast}) {
                if (body != &fast || listedTwice || threaded.getBodies().empty()) {
                    threaded.addBody(body);
                }
            }
            threaded.step(1.0f);
            EXPECT_EQ(threaded.getBodies(), (std::list<Body*>{&fast, &other})) << threads;
            EXPECT_FALSE(fast.isAlive());
            EXPECT_EQ(checkTree(threaded.getTree()), ""); // its leaves cut loose
        }
    }
}

// A body's life in the World, and which queries find it at each stage. Each query is aimed at
// the body's present position: a small sphere, a ray and a segment through it, a small frustum
// around it, and a probe body whose last step ends there.
TEST(WorldTest, QueriesFindABodyFromTheStepAfterItIsAddedUntilItIsRemovedOrCutLoose) {
    auto foundBy = [](World& world, Body& body) {
        Vector3 p = body.getPosition(), below = p - Vector3(0.0f, 0.0f, 100.0f);
        BodyList lists[5];
        TimeList times;
        world.querySphere(p, 1.0f, lists[0]);
        world.queryRay(below, Vector3::unitZ, lists[1], times);
        world.querySegment(below, p + Vector3(0.0f, 0.0f, 100.0f), lists[2], times);
        Matrix identity = translation(0.0f, 0.0f, 0.0f), camera = translation(-p.x, -p.y, -p.z);
        world.queryFrustum(MatrixFrustum(identity.data(), camera.data()), lists[3]);
        SphereBody probe = makeBody(p - Vector3(0.0f, 500.0f, 0.0f), p, 1.0f);
        world.querySweep(&probe, lists[4], times);
        std::string found;
        for (int q = 0; q < 5; ++q) {
            bool has = std::find(lists[q].begin(), lists[q].end(), &body) != lists[q].end();
            found += has ? "srgfw"[q] : '-';
        }
        return found;
    };
    // Near the root's edge (524288), so that one step of 200 takes its swept sphere out.
    SphereBody body(Vector3(523700.0f, 0.0f, 0.0f), 400.0f), cut(Vector3::zero, 10.0f);
    World world;
    auto stage = [&](Body& b, const char* label, bool listed, bool alive, const char* found) {
        bool isListed = std::count(world.getBodies().begin(), world.getBodies().end(), &b) == 1;
        EXPECT_TRUE(isListed == listed && b.isAlive() == alive) << label;
        EXPECT_EQ(foundBy(world, b), found) << label;
    };
    world.addBody(&body);
    stage(body, "added", true, true, "-----");
    world.step(1.0e-9f);
    stage(body, "placed by a step: alive", true, true, "srgfw");
    body.setVelocity(Vector3(200.0f, 0.0f, 0.0f));
    world.step(1.0f);
    stage(body, "left the root: dead, its leaf hangs on", true, false, "srgfw");
    world.step(1.0f);
    stage(body, "dead for a step: no longer listed", false, false, "srgfw");
    world.removeBody(&body);
    stage(body, "removed", false, false, "-----");
    world.addBody(&cut);
    world.step(1.0e-9f);
    stage(cut, "placed by a step: alive", true, true, "srgfw");
    cut.setRadius(-1.0f);
    world.step(1.0f);
    stage(cut, "radius turned negative: dead, cut loose", true, false, "-----");
    world.removeBody(&cut);
    stage(cut, "removed", false, false, "-----");
    EXPECT_EQ(checkTree(world.getTree()), "");
}

// A drawing callback that changes the World would leave the drawing walk in freed nodes;
// validating builds stop at the change with a message.
TEST(WorldTest, ChangingTheWorldFromItsDrawingStopsAValidatingBuild) {
#ifndef SPHERES_VALIDATE
    GTEST_SKIP() << "only validating builds check";
#else
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    struct Changer final : DebugDraw {
        std::function<void()> change;
        void drawBody(const Vector3&, float) override { change(); }
    };
    SphereBody body(Vector3::zero, 10.0f), other(Vector3::zero, 10.0f);
    World world;
    world.addBody(&body);
    world.step(1.0e-9f);
    Changer changer;
    world.getTree().setDebugDraw(&changer);
    const std::function<void()> changes[] = {
        [&] { world.removeBody(&body); }, [&] { world.step(1.0f); }, [&] { world.addBody(&other); },
        [&] { world.getTree().remove(&body); }};
    for (const auto& change : changes) {
        changer.change = change;
        EXPECT_DEATH(world.draw(), "called while the (World|tree) draws");
    }
    changer.change = [] {};
    world.draw(); // drawing alone changes nothing
    world.removeBody(&body);
#endif
}

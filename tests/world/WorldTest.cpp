#include "world/World.h"

#include "spheretree/QuerySphereTree.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TreeChecker.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

/// A body that records the order in which the World integrates it.
class RecordingBody final : public Body {
public:
    RecordingBody(int id, std::vector<int>& log) : id(id), log(&log) {
        position = Vector3(10.0f * static_cast<float>(id), 0.0f, 0.0f);
        mass = 1.0f;
        radius = 1.0f;
    }
    void integrate(float dt) override {
        log->push_back(id);
        Body::integrate(dt);
    }
    Body* getPrototype() override { return &SphereBody::prototype; }

private:
    int id;
    std::vector<int>* log;
};

TEST(WorldTest, StepIntegratesAliveBodiesInOrderAndDropsDeadOnes) {
    std::vector<int> log;
    RecordingBody first(1, log), dead(2, log), last(3, log);
    World world;
    world.step(0.1f); // an empty World steps without change
    EXPECT_EQ(world.getTree().countNodes(), 1u);
    for (Body* body : {&first, &dead, &last}) {
        EXPECT_EQ(world.addBody(body), 1);
    }
    world.step(0.1f);
    dead.setAlive(false);
    log.clear();
    world.step(0.1f);
    EXPECT_EQ(log, (std::vector<int>{1, 3}));
    EXPECT_EQ(world.getBodies(), (std::list<Body*>{&first, &last}));
    // The dropped body's leaf stays in the tree and is still found.
    BodyList found;
    world.querySphere(dead.getPosition(), 0.5f, found);
    EXPECT_EQ(found, BodyList{&dead});
}

TEST(WorldTest, AddedBodiesAreFoundAfterTheNextStep) {
    World world;
    SphereBody body = makeBody(Vector3(5.0f, 0.0f, 0.0f), 2.0f);
    world.addBody(&body);
    EXPECT_EQ(world.getBodies().size(), 1u);
    BodyList bodies;
    TimeList times;
    world.queryRay(Vector3::zero, Vector3::unitX, bodies, times);
    EXPECT_TRUE(bodies.empty());
    world.step(0.0f);
    world.queryRay(Vector3::zero, Vector3::unitX, bodies, times);
    world.querySegment(Vector3::zero, Vector3(10.0f, 0.0f, 0.0f), bodies, times);
    world.querySphere(Vector3::zero, 4.0f, bodies);
    EXPECT_EQ(bodies, (BodyList{&body, &body, &body}));
    EXPECT_EQ(times.size(), 2u);
}

TEST(WorldTest, BodyAddedTwiceIsIntegratedTwiceAndLosesOneLeafPerRemoval) {
    World world;
    SphereBody body = makeBody(Vector3::zero, 1.0f, Vector3(1.0f, 0.0f, 0.0f));
    SphereBody stranger(Vector3::zero, 1.0f);
    world.addBody(&body);
    world.addBody(&body);
    world.step(1.0f);
    EXPECT_EQ(body.getPosition().x, 2.0f);
    EXPECT_EQ(world.getTree().getLeaves().size(), 2u);
    EXPECT_EQ(world.removeBody(&body), 1);
    EXPECT_TRUE(world.getBodies().empty());
    EXPECT_EQ(world.getTree().getLeaves().size(), 1u);
    EXPECT_EQ(world.removeBody(&stranger), 1);
    EXPECT_EQ(checkTree(world.getTree()), "");
}

TEST(WorldTest, TearDownFreesWaitingAttachedAndEscapedLeaves) {
    std::deque<SphereBody> bodies;
    World world;
    for (int i = 0; i < 3; ++i) {
        bodies.push_back(makeBody(Vector3(1000.0f * i, 0.0f, 0.0f), 10.0f));
        world.addBody(&bodies.back());
    }
    world.step(0.0f);
    TreeScene::moveTo(&bodies[0], Vector3(600000.0f, 0.0f, 0.0f)); // leaves the root sphere
    world.step(0.0f);
    EXPECT_FALSE(bodies[0].isAlive());
    bodies.push_back(makeBody(Vector3::zero, 5.0f));
    world.addBody(&bodies.back()); // still waiting when the World goes
    EXPECT_EQ(world.getTree().getLeaves().size(), 3u);
    EXPECT_EQ(world.getTree().getIntegrateQueue().size(), 1u);
    EXPECT_EQ(checkTree(world.getTree()), "");
}

} // namespace

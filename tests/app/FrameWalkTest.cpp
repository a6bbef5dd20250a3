// The frame's three walks, the batched one at several thread counts, against each other.
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/ScenePopulation.h"
#include "frustum/MatrixFrustum.h"
#include "spheretree/SweepVisitor.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

namespace {

/// What a watched body's walk reported, in order: each node's sphere radius, and whether it was
/// accepted (a leaf: met, and when).
struct Recorder : SweepVisitor {
    std::vector<std::tuple<float, bool, float>> seen;
    void enterNode(const TreeNode& node, bool accepted) override {
        seen.emplace_back(node.radius, accepted, -1.0f);
    }
    void reachLeaf(const TreeNode& leaf, bool contact, float time) override {
        seen.emplace_back(leaf.radius, contact, contact ? time : -1.0f);
    }
};

/// The program's scene of 400 bodies (crowded, so that responses change later queries).
struct SceneRun {
    World world;
    std::vector<Body*> bodies = populateScene(world, 400, 7);
    FrameSettings settings;
    Recorder recorder;

    SceneRun(FrameWalk walk, int threads, bool watch) {
        world.step(1.0e-9f);
        settings.walk = walk;
        settings.threads = threads;
        settings.bodiesPerThread = 50;
        if (watch) {
            settings.watched = bodies[3];
            settings.visitor = &recorder;
        }
    }
    ~SceneRun() {
        for (Body* body : bodies) {
            delete static_cast<SphereBody*>(body);
        }
    }
    FrameOutcome frame(const Frustum& frustum, bool running) {
        BodyList visible;
        return simulateFrame(world, bodies.data(), 400, running, 0.1f, frustum, visible, settings);
    }
    auto state(int i) const {
        Vector3 p = bodies[i]->getPosition(), v = bodies[i]->getVelocity();
        return std::make_tuple(p.x, p.y, p.z, v.x, v.y, v.z, bodies[i]->isAlive());
    }
};

} // namespace

TEST(FrameWalkTest, EveryWalkAndThreadCountGivesTheLiteralFrames) {
    float projection[16], modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, modelview);
    MatrixFrustum frustum(projection, modelview);
    std::vector<std::unique_ptr<SceneRun>> runs;
    runs.push_back(std::make_unique<SceneRun>(FrameWalk::Literal, 1, true));
    runs.push_back(std::make_unique<SceneRun>(FrameWalk::Snapshot, 1, false));
    for (int threads : {1, 2, 5}) {
        runs.push_back(std::make_unique<SceneRun>(FrameWalk::Batched, threads, threads == 2));
    }
    int contacts = 0;
    for (int frame = 1; frame <= 60; ++frame) {
        bool running = frame % 15 != 0; // paused frames too
        FrameOutcome literal = runs[0]->frame(frustum, running);
        contacts += literal.contacts;
        for (std::size_t r = 1; r < runs.size(); ++r) {
            FrameOutcome outcome = runs[r]->frame(frustum, running);
            ASSERT_TRUE(outcome.contacts == literal.contacts && outcome.drawn == literal.drawn)
                << "run " << r << " frame " << frame;
            for (int i = 0; i < 400; ++i) {
                ASSERT_EQ(runs[r]->state(i), runs[0]->state(i))
                    << "run " << r << " frame " << frame << " body " << i;
            }
        }
    }
    EXPECT_GT(contacts, 200);
    // The watched body's walk is the literal one, told to the visitor, in the batched frame too.
    EXPECT_FALSE(runs[0]->recorder.seen.empty());
    EXPECT_TRUE(runs[3]->recorder.seen == runs[0]->recorder.seen);
}

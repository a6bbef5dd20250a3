// The frame's three walks, the batched one at 1, 2 and 5 threads, against each other on every
// scene; the threaded walk is forced on a scene this small by a small share of bodies per thread.
#include "spheretree/SweepVisitor.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <tuple>
#include <vector>

using namespace spheres;

namespace {

/// What a watched body's walk reported, in order: each node's sphere radius,
/// and whether it was accepted (a leaf: met, and when).
struct Recorder : SweepVisitor {
    std::vector<std::tuple<float, bool, float>> seen;
    void enterNode(const TreeNode& node, bool accepted) override {
        seen.emplace_back(node.radius, accepted, -1.0f);
    }
    void reachLeaf(const TreeNode& leaf, bool contact, float time) override {
        seen.emplace_back(leaf.radius, contact, contact ? time : -1.0f);
    }
};

/// 400 bodies of scene (crowded, so that responses change later queries), 50 to a thread, body 3
/// watched; body 0 fast enough to leave the root. The frame's array leaves the last 30 out (the
/// World moves them, and responses may touch them) and holds body 4 twice.
struct SceneRun : RandomScene {
    FrameSettings settings;
    Recorder recorder;
    std::vector<Body*> array;

    SceneRun(Scene scene, FrameWalk walk, int threads) : RandomScene(1000) {
        add(400, 7, scene);
        world.step(1.0e-9f);
        array.assign(bodies.begin(), bodies.end() - 30);
        array.push_back(bodies[4]);
        settings.walk = walk;
        settings.threads = threads;
        settings.bodiesPerThread = 50;
        settings.watched = bodies[3];
        settings.visitor = &recorder;
    }
    FrameOutcome frame(bool running) {
        BodyList visible;
        return simulateFrame(world, array.data(), static_cast<int>(array.size()), running, 0.1f,
                             defaultCameraFrustum(), visible, settings);
    }
    std::uint64_t state() const {
        std::uint64_t hash = hashFloats({});
        for (Body* b : bodies) {
            Vector3 p = b->getPosition(), v = b->getVelocity();
            hash = hashFloats({p.x, p.y, p.z, v.x, v.y, v.z, b->isAlive() ? 1.0f : 0.0f}, hash);
        }
        return hash;
    }
};

} // namespace

TEST(FrameWalkTest, EveryWalkAndThreadCountGivesTheLiteralFramesOnEveryScene) {
    for (const SceneInfo& info : sceneCatalogue()) {
        SCOPED_TRACE(info.name);
        std::deque<SceneRun> runs;
        runs.emplace_back(info.scene, FrameWalk::Literal, 1);
        runs.emplace_back(info.scene, FrameWalk::Snapshot, 1);
        for (int threads : {1, 2, 5}) {
            runs.emplace_back(info.scene, FrameWalk::Batched, threads);
        }
        int contacts = 0;
        for (int frame = 1; frame <= 45; ++frame) {
            bool running = frame % 15 != 0; // paused frames too
            FrameOutcome literal = runs[0].frame(running);
            contacts += literal.contacts;
            for (std::size_t r = 1; r < runs.size(); ++r) {
                FrameOutcome outcome = runs[r].frame(running);
                ASSERT_TRUE(outcome.contacts == literal.contacts &&
                            outcome.drawn == literal.drawn && runs[r].state() == runs[0].state())
                    << "run " << r << " frame " << frame;
            }
        }
        EXPECT_GT(contacts, 100);
        // The watched body's walk is the literal one, told to the visitor, in the batched frames
        // too.
        EXPECT_FALSE(runs[0].recorder.seen.empty());
        for (const SceneRun& run : runs) {
            EXPECT_TRUE(run.recorder.seen == runs[0].recorder.seen);
        }
    }
}

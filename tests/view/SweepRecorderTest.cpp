#include "view/SweepRecorder.h"

#include "app/FrameLogic.h"
#include "body/CollisionResponse.h"
#include "tests/support/TestSupport.h"
#include "tests/view/ViewTestScene.h"

#include <gtest/gtest.h>

namespace {

// What the walk must enter: every inner node reached (accepted or not) and every leaf below an
// accepted one, in depth-first order, by a walk of every node with the query's own tests.
void referenceWalk(const SweptSphere& query, const TreeNode& node,
                   std::vector<SweepRecorder::Node>& nodes,
                   std::vector<SweepRecorder::Leaf>& leaves) {
    float time = 0.0f;
    bool accepted = sweepAccepts(query, node, time);
    if (node.flags & TreeNodeFlags::Leaf) {
        leaves.push_back({node.center, node.radius, node.body, accepted, time});
        return;
    }
    nodes.push_back({node.center, node.radius, node.level, accepted});
    if (accepted) {
        for (const TreeNode* child : node.children) {
            referenceWalk(query, *child, nodes, leaves);
        }
    }
}

} // namespace

TEST(SweepRecorderTest, SeesExactlyTheNodesTheWalkEntersAndTheSameContacts) {
    ViewTestScene owned(300, 5, 0.6f);
    World& scene = owned.world;
    std::vector<Body*>& bodies = owned.bodies;
    int accepted = 0, rejected = 0, contacts = 0;
    for (int frame = 0; frame < 4; ++frame) {
        scene.step(0.1f);
        for (Body* body : bodies) {
            SweepRecorder recorder;
            recorder.watch(body);
            BodyList hits, plainHits;
            TimeList times, plainTimes;
            scene.getTree().querySweep(body, hits, times, recorder);
            scene.getTree().querySweep(body, plainHits, plainTimes);
            ASSERT_EQ(hits, plainHits);
            ASSERT_EQ(times, plainTimes);

            std::vector<SweepRecorder::Node> nodes;
            std::vector<SweepRecorder::Leaf> leaves;
            referenceWalk(SweptSphere(body), *scene.getTree().getRoot(), nodes, leaves);
            ASSERT_EQ(recorder.nodes().size(), nodes.size());
            for (std::size_t i = 0; i < nodes.size(); ++i) {
                const SweepRecorder::Node &seen = recorder.nodes()[i], &want = nodes[i];
                ASSERT_TRUE(seen.center == want.center && seen.radius == want.radius &&
                            seen.level == want.level && seen.accepted == want.accepted);
            }
            ASSERT_EQ(recorder.leaves().size(), leaves.size());
            auto hit = hits.begin();
            auto time = times.begin();
            for (std::size_t i = 0; i < leaves.size(); ++i) {
                const SweepRecorder::Leaf& seen = recorder.leaves()[i];
                ASSERT_TRUE(seen.body == leaves[i].body && seen.contact == leaves[i].contact);
                if (seen.contact) { // the contacts, in order, are the query's results
                    ASSERT_TRUE(seen.body == *hit++ && seen.time == *time++);
                }
            }
            // The contact the response resolves: the first of the smallest times.
            const SweepRecorder::Leaf* earliest = recorder.earliestContact();
            auto smallest = std::min_element(times.begin(), times.end());
            ASSERT_EQ(earliest != nullptr, !times.empty());
            if (earliest) {
                EXPECT_EQ(earliest->body,
                          *std::next(hits.begin(), std::distance(times.begin(), smallest)));
            }
            EXPECT_TRUE(recorder.pathStart() == body->getPreviousPosition() &&
                        recorder.pathEnd() == body->getPosition());
            accepted += recorder.acceptedCount();
            rejected += recorder.rejectedCount();
            contacts += static_cast<int>(hits.size());
            resolveEarliestContact(body, hits, times);
        }
    }
    // The scene is dense enough for every kind of visit to happen.
    EXPECT_GT(accepted, 0);
    EXPECT_GT(rejected, 0);
    EXPECT_GT(contacts, 0);
}

TEST(SweepRecorderTest, WatchingABodyLeavesEveryFrameAsItWas) {
    // Two copies of one scene, one with a body watched in every frame: equal after each frame.
    ViewTestScene first(200, 3, 0.5f), second(200, 3, 0.5f);
    World &plain = first.world, &watched = second.world;
    std::vector<Body*>&a = first.bodies, &b = second.bodies;
    MatrixFrustum frustum = defaultCameraFrustum();
    SweepRecorder recorder;
    for (int frame = 0; frame < 30; ++frame) {
        FrameSettings settings;
        settings.watched = b[static_cast<std::size_t>(frame % 7)];
        settings.visitor = &recorder;
        recorder.watch(settings.watched);
        BodyList seenA, seenB;
        FrameOutcome outA = simulateFrame(plain, a.data(), 200, true, 0.1f, frustum, seenA);
        FrameOutcome outB =
            simulateFrame(watched, b.data(), 200, true, 0.1f, frustum, seenB, settings);
        ASSERT_TRUE(recorder.recorded());
        ASSERT_TRUE(outA.contacts == outB.contacts && outA.drawn == outB.drawn);
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_TRUE(a[i]->getPosition() == b[i]->getPosition() &&
                        a[i]->getVelocity() == b[i]->getVelocity())
                << "frame " << frame << " body " << i;
        }
    }
}

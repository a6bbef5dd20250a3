#include "view/SweepRecorder.h"

#include "app/FrameLogic.h"
#include "body/CollisionResponse.h"
#include "tests/support/TestSupport.h"
#include "tests/view/ViewTestScene.h"

#include <gtest/gtest.h>

using namespace spheres;

namespace {

// What the walk must enter: every inner node reached (accepted or not) and
// every leaf below an accepted one, in depth-first order, by a walk of every
// node with the query's own tests.
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
    ViewTestScene scene(300, 5, 0.6f);
    QuerySphereTree& tree = scene.world.getTree();
    int accepted = 0, rejected = 0, contacts = 0;
    // One recorder throughout, as the view keeps it: each watch forgets the query before.
    SweepRecorder recorder;
    for (int frame = 0; frame < 4; ++frame) {
        scene.world.step(0.1f);
        for (Body* body : scene.bodies) {
            recorder.watch(body);
            BodyList hits, plainHits;
            TimeList times, plainTimes;
            tree.querySweep(body, hits, times, recorder);
            tree.querySweep(body, plainHits, plainTimes);
            ASSERT_TRUE(hits == plainHits && times == plainTimes);

            std::vector<SweepRecorder::Node> nodes;
            std::vector<SweepRecorder::Leaf> leaves;
            referenceWalk(SweptSphere(body), *tree.getRoot(), nodes, leaves);
            ASSERT_TRUE(std::equal(nodes.begin(), nodes.end(), recorder.nodes().begin(),
                                   recorder.nodes().end(), [](const auto& a, const auto& b) {
                                       return a.center == b.center && a.radius == b.radius &&
                                              a.level == b.level && a.accepted == b.accepted;
                                   }));
            ASSERT_EQ(recorder.leaves().size(), leaves.size());
            auto [hit, time] = std::pair(hits.begin(), times.begin());
            for (std::size_t i = 0; i < leaves.size(); ++i) {
                const SweepRecorder::Leaf& seen = recorder.leaves()[i];
                ASSERT_TRUE(seen.body == leaves[i].body && seen.contact == leaves[i].contact);
                if (seen.contact) { // the contacts, in order, are the query's results
                    ASSERT_TRUE(seen.body == *hit++ && seen.time == *time++);
                }
            }
            // The contact the response resolves: the first of the smallest times.
            auto smallest =
                std::distance(times.begin(), std::min_element(times.begin(), times.end()));
            const SweepRecorder::Leaf* earliest = recorder.earliestContact();
            EXPECT_EQ(earliest ? earliest->body : nullptr,
                      times.empty() ? nullptr : *std::next(hits.begin(), smallest));
            EXPECT_TRUE(recorder.pathStart() == body->getPreviousPosition() &&
                        recorder.pathEnd() == body->getPosition());
            accepted += recorder.acceptedCount();
            rejected += recorder.rejectedCount();
            contacts += static_cast<int>(hits.size());
            resolveEarliestContact(body, hits, times);
        }
    }
    // The scene is dense enough for every kind of visit to happen.
    EXPECT_TRUE(accepted > 0 && rejected > 0 && contacts > 0);
}

TEST(SweepRecorderTest, WatchingABodyLeavesEveryFrameAsItWas) {
    // Two copies of one scene, one with a body watched in every frame: equal
    // after each frame.
    ViewTestScene plain(200, 3, 0.5f), watched(200, 3, 0.5f);
    std::vector<Body*>&a = plain.bodies, &b = watched.bodies;
    MatrixFrustum frustum = defaultCameraFrustum();
    SweepRecorder recorder;
    for (int frame = 0; frame < 30; ++frame) {
        FrameSettings settings;
        settings.watched = b[static_cast<std::size_t>(frame % 7)];
        settings.visitor = &recorder;
        recorder.watch(settings.watched);
        BodyList seenA, seenB;
        FrameOutcome outA = simulateFrame(plain.world, a.data(), 200, true, 0.1f, frustum, seenA);
        FrameOutcome outB =
            simulateFrame(watched.world, b.data(), 200, true, 0.1f, frustum, seenB, settings);
        ASSERT_TRUE(recorder.recorded());
        ASSERT_TRUE(outA.contacts == outB.contacts && outA.drawn == outB.drawn);
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_TRUE(a[i]->getPosition() == b[i]->getPosition() &&
                        a[i]->getVelocity() == b[i]->getVelocity())
                << "frame " << frame << " body " << i;
        }
    }
}

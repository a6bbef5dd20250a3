// The pairwise reference against the tree, both in the program's scene.
#include "sim/BruteForceFrame.h"

#include "body/CollisionResponse.h"
#include "body/SphereBody.h"
#include "sim/SimOptions.h"
#include "sim/SimScene.h"
#include "spheretree/QuerySphereTree.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <tuple>

namespace {

// The contact resolveEarliestContact takes: the first of the smallest times; none is 1e9.
std::pair<Body*, float> earliest(const BodyList& hits, const TimeList& times) {
    auto time = std::min_element(times.begin(), times.end());
    if (time == times.end()) {
        return {nullptr, 1e9f};
    }
    return {*std::next(hits.begin(), std::distance(times.begin(), time)), *time};
}

// The topmost node above other's leaf that the query body's present sphere misses: the tree
// prunes with that sphere, not the swept path, so its walk stops there. Null if there is none.
TreeNode* prunedAt(World& world, Body* body, const Body* other) {
    TreeNode* cut = nullptr;
    for (TreeNode* leaf : world.getTree().getLeaves()) {
        for (TreeNode* node = leaf->body == other ? leaf->parent : nullptr; node != nullptr;
             node = node->parent) {
            float reach = body->getRadius() + node->radius;
            cut =
                reach * reach <= (body->getPosition() - node->center).lengthSquared() ? node : cut;
        }
    }
    return cut;
}

// Runs the tree's frame and, before each body's response, compares the tree's pick with the
// scan's; a difference must be a miss that the pruning explains, which is reported and counted.
// The tree's pick is resolved, so the scene stays the program's. Until the first miss, a second
// scene run by bruteForceFrame must keep every body's state the same.
int prunedMisses(int count, int frames) {
    World world, scanWorld;
    std::vector<Body*> bodies = buildScene(world, count, 1, defaultSpread(count));
    std::vector<Body*> scanned = buildScene(scanWorld, count, 1, defaultSpread(count));
    auto name = [&](const Body* body) {
        auto at = std::find(bodies.begin(), bodies.end(), body);
        return at == bodies.end() ? std::string("none") : std::to_string(at - bodies.begin());
    };
    auto state = [](Body* body) {
        Vector3 p = body->getPosition(), v = body->getVelocity();
        return std::make_tuple(p.x, p.y, p.z, v.x, v.y, v.z, body->isAlive());
    };
    MatrixFrustum frustum = defaultCameraFrustum();
    int contacts = 0, misses = 0;
    for (int frame = 1; frame <= frames; ++frame) {
        world.step(0.1f);
        for (Body* body : bodies) {
            BodyList hits, scanHits;
            TimeList times, scanTimes;
            world.querySweep(body, hits, times);
            bruteForceSweep(body, bodies.data(), count, scanHits, scanTimes);
            auto tree = earliest(hits, times), scan = earliest(scanHits, scanTimes);
            if (tree != scan) {
                std::ostringstream text;
                text << "frame " << frame << ": body " << name(body) << " meets body "
                     << name(scan.first) << " at " << scan.second << " by the scan, body "
                     << name(tree.first) << " at " << tree.second << " through the tree";
                TreeNode* cut = prunedAt(world, body, scan.first);
                if (cut == nullptr) {
                    ADD_FAILURE() << text.str() << ", and no pruning explains it";
                } else {
                    ++misses;
                    std::cout << text.str() << ": pruned, the level-" << cut->level
                              << " node of radius " << cut->radius
                              << " lies beyond the query body's present sphere\n";
                }
            }
            contacts += resolveEarliestContact(body, hits, times) ? 1 : 0;
        }
        BodyList visible, scanVisible;
        world.queryFrustum(frustum, visible);
        FrameOutcome outcome =
            bruteForceFrame(scanned.data(), count, true, 0.1f, frustum, scanVisible);
        for (int i = 0; i < count && misses == 0; ++i) {
            EXPECT_EQ(state(bodies[i]), state(scanned[i])) << "frame " << frame << " body " << i;
        }
        EXPECT_TRUE(misses > 0 || outcome.drawn == static_cast<int>(visible.size())) << frame;
    }
    EXPECT_GT(contacts, frames / 10) << "too few contacts for the comparison to show anything";
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        delete static_cast<SphereBody*>(bodies[i]);
        delete static_cast<SphereBody*>(scanned[i]);
    }
    return misses;
}

TEST(BruteForceFrameTest, ResolvesTheSameContactsAsTheTreeOver300Frames) {
    EXPECT_EQ(prunedMisses(100, 300), 0) << "100 bodies: every contact the same";
    EXPECT_LE(prunedMisses(1000, 300), 5) << "1000 bodies: only misses the pruning explains";
}

} // namespace

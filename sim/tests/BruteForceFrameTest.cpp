// The pairwise reference against the tree in the program's scene, and the tree's queries counted
// by a replaced allocator: they allocate nothing but the entries they append.
#include "sim/BruteForceFrame.h"

#include "body/CollisionResponse.h"
#include "body/SphereBody.h"
#include "sim/SimOptions.h"
#include "sim/SimScene.h"
#include "spheretree/QuerySphereTree.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <new>
#include <sstream>
#include <tuple>

static long long allocations = 0;

void* operator new(std::size_t size) {
    ++allocations;
    void* p = std::malloc(size != 0 ? size : 1);
    return p != nullptr ? p : throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
// The standard library's temporary buffers take the nothrow form; it must pair with the above.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

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

// Runs the tree's frame, comparing its pick with the scan's before each body's response; a
// difference must be a miss the pruning explains, and is reported and counted. Until the first
// miss, a second scene run by bruteForceFrame holds the same states and draws as many bodies.
// Every query allocates only its result entries.
void expectSameContacts(int count, int& misses) {
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
    int contacts = 0;
    for (int frame = 1; frame <= 300; ++frame) {
        world.step(0.1f);
        for (Body* body : bodies) {
            BodyList hits, scanHits;
            TimeList times, scanTimes;
            long long before = allocations;
            world.querySweep(body, hits, times);
            ASSERT_EQ(allocations - before, static_cast<long long>(hits.size() + times.size()));
            bruteForceSweep(body, bodies.data(), count, scanHits, scanTimes);
            auto tree = earliest(hits, times), scan = earliest(scanHits, scanTimes);
            if (tree != scan) {
                std::ostringstream pair;
                pair << "frame " << frame << ": body " << name(body) << " meets "
                     << name(scan.first) << " at " << scan.second << " by the scan, "
                     << name(tree.first) << " at " << tree.second << " through the tree";
                TreeNode* cut = prunedAt(world, body, scan.first);
                ASSERT_NE(cut, nullptr) << pair.str() << ", and no pruning explains it";
                std::cout << pair.str() << ": pruned at the level-" << cut->level
                          << " node of radius " << cut->radius << "\n";
                ++misses;
            }
            contacts += resolveEarliestContact(body, hits, times) ? 1 : 0;
        }
        BodyList visible, scanVisible;
        long long before = allocations;
        world.queryFrustum(frustum, visible);
        ASSERT_EQ(allocations - before, static_cast<long long>(visible.size()));
        FrameOutcome scan =
            bruteForceFrame(scanned.data(), count, true, 0.1f, frustum, scanVisible);
        for (int i = 0; i < count && misses == 0; ++i) {
            EXPECT_EQ(state(bodies[i]), state(scanned[i])) << "frame " << frame << " body " << i;
        }
        EXPECT_TRUE(misses > 0 || scan.drawn == static_cast<int>(visible.size())) << frame;
    }
    EXPECT_GT(contacts, 30) << "too few contacts for the comparison to show anything";
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        delete static_cast<SphereBody*>(bodies[i]);
        delete static_cast<SphereBody*>(scanned[i]);
    }
}

TEST(BruteForceFrameTest, ResolvesTheSameContactsAsTheTreeOver300Frames) {
    int misses = 0;
    expectSameContacts(100, misses);
    EXPECT_EQ(misses, 0) << "100 bodies: every contact the same";
    expectSameContacts(1000, misses);
    EXPECT_LE(misses, 5) << "1000 bodies: only misses the pruning explains";
}

} // namespace

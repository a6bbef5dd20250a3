// The frame with scans in place of the tree's queries against the program's frame, and the
// tree's queries counted by a replaced allocator: they allocate nothing but the entries they
// append.
#include "app/BruteForceFrame.h"

#include "app/CameraMatrices.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <tuple>

using namespace spheres;

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

// The program's scene through its frame and through the scans: every body the same in every
// frame, and the positions after 200 frames pinned by a hash that prints its actual value.
TEST(BruteForceFrameTest, SameStatesAsTheTreeFrameAndThePinnedPositionHash) {
    World world, scanWorld;
    std::vector<Body*> bodies = makeStartScene(world, 100),
                       scanned = makeStartScene(scanWorld, 100);
    MatrixFrustum frustum = defaultCameraFrustum();
    int contacts = 0;
    for (int frame = 1; frame <= 300; ++frame) {
        BodyList visible, scanVisible;
        FrameOutcome tree = simulateFrame(world, bodies.data(), 100, true, 0.1f, frustum, visible);
        FrameOutcome scan =
            bruteForceFrame(scanWorld, scanned.data(), 100, true, 0.1f, frustum, scanVisible);
        ASSERT_EQ(std::make_tuple(tree.drawn, tree.contacts, scanVisible.size()),
                  std::make_tuple(scan.drawn, scan.contacts, visible.size()))
            << "frame " << frame;
        ASSERT_EQ(hashBodies(bodies), hashBodies(scanned)) << "frame " << frame;
        contacts += tree.contacts;
        std::uint64_t hash = hashFloats({});
        for (int i = 0; frame == 200 && i < 100; ++i) {
            Vector3 p = bodies[i]->getPosition();
            hash = hashFloats({p.x, p.y, p.z}, hash);
        }
        EXPECT_TRUE(frame != 200 || hash == 0xb8a3d6b34f1b91e0ull)
            << "actual hash 0x" << std::hex << hash;
        long long before = allocations;
        std::size_t entries = 0;
        for (Body* body : bodies) {
            BodyList hits;
            TimeList times;
            world.querySweep(body, hits, times);
            entries += hits.size() + times.size();
        }
        BodyList seen;
        world.queryFrustum(frustum, seen);
        ASSERT_EQ(allocations - before, static_cast<long long>(entries + seen.size()));
    }
    EXPECT_GT(contacts, 30) << "too few contacts for the comparison to show anything";
    deleteBodies(bodies);
    deleteBodies(scanned);
}

// The brute-force frame kills exactly the bodies the tree does: only a leaf that left its parent
// is tested against the root sphere (radius 524288). The benchmarks' tree-free step tests every
// body against the root alone; a swept sphere touching it from inside counts as out.
TEST(BruteForceFrameTest, BodiesLeavingTheRootDieInBothFrames) {
    const struct {
        float x, velocity, radius;
        bool alive, aliveWithoutTree;
    } cases[] = {{520000.0f, 8000.0f, 50.0f, false, false},
                 {515000.0f, 6000.0f, 50.0f, true, true},
                 {523888.0f, 300.0f, 50.0f, true, false},  // stays in its parent
                 {524226.0f, 0.0f, 61.999f, true, false}}; // swept radius 62: touching the root
    for (int frame = 0; frame < 12; ++frame) { // the tree's frame, the scan, the tree-free step
        const auto& c = cases[frame / 3];
        SphereBody body(Vector3(c.x, 0.0f, 0.0f), c.radius);
        Body* bodies[] = {&body};
        World world;
        world.addBody(&body);
        world.step(1.0f);
        body.setVelocity(Vector3(c.velocity, 0.0f, 0.0f));
        BodyList visible;
        if (frame % 3 == 0) {
            simulateFrame(world, bodies, 1, true, 1.0f, defaultCameraFrustum(), visible);
        } else if (frame % 3 == 1) {
            bruteForceFrame(world, bodies, 1, true, 1.0f, defaultCameraFrustum(), visible);
        } else {
            stepWithoutTree(bodies, 1, 1.0f);
        }
        EXPECT_EQ(body.isAlive(), frame % 3 == 2 ? c.aliveWithoutTree : c.alive)
            << "x " << c.x << ", frame kind " << frame % 3;
    }
}

} // namespace

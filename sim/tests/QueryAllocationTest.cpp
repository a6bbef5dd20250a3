// The tree's walks allocate nothing but the entries they append to the caller's lists.
#include "body/SphereBody.h"
#include "sim/SimOptions.h"
#include "sim/SimScene.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
long long allocations = 0;
} // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

TEST(QueryAllocationTest, QueriesAllocateOnlyTheirResultEntries) {
    World world;
    std::vector<Body*> bodies = buildScene(world, 2000, 1, defaultSpread(2000));
    for (int frame = 0; frame < 20; ++frame) {
        world.step(0.1f);
    }
    BodyList hits, visible;
    TimeList times;
    long long before = allocations;
    for (Body* body : bodies) {
        world.querySweep(body, hits, times);
    }
    world.queryFrustum(defaultCameraFrustum(), visible);
    EXPECT_GT(hits.size() * visible.size(), 0u) << "an empty result proves nothing";
    EXPECT_EQ(allocations - before,
              static_cast<long long>(hits.size() + times.size() + visible.size()));
    for (Body* body : bodies) {
        delete static_cast<SphereBody*>(body);
    }
}

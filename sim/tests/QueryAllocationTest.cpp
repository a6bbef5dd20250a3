// The tree's walks allocate nothing but the entries they append to the caller's lists.
#include "body/SphereBody.h"
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
    std::vector<Body*> bodies = buildScene(world, 2000, 1, 2.71441762f);
    for (int frame = 0; frame < 20; ++frame) {
        world.step(0.1f);
    }
    BodyList hits, visible;
    TimeList times;
    std::size_t found = 0;
    for (Body* body : bodies) {
        long long before = allocations;
        world.querySweep(body, hits, times);
        ASSERT_EQ(allocations - before, static_cast<long long>(hits.size() + times.size()));
        found += hits.size();
        hits.clear();
        times.clear();
    }
    EXPECT_GT(found, 0u) << "no sweep found anything: the count proves nothing";

    MatrixFrustum frustum = defaultCameraFrustum();
    long long before = allocations;
    world.queryFrustum(frustum, visible);
    EXPECT_GT(visible.size(), 0u);
    EXPECT_EQ(allocations - before, static_cast<long long>(visible.size()));
    for (Body* body : bodies) {
        delete static_cast<SphereBody*>(body);
    }
}

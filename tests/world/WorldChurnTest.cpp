// Bodies that come and go leave nothing behind: a body added, lost to the tree (it leaves the
// root, or its radius turns negative) and removed, over and over.
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <fstream>
#include <string>

using namespace spheres;

namespace {

/// A resident body at the origin keeps a chain of bounding nodes in place, under which every
/// visitor is placed; each cycle adds the visitor, loses it and removes it.
struct ChurnWorld {
    SphereBody resident{Vector3::zero, 10.0f};
    SphereBody visitor{Vector3::zero, 10.0f};
    World world; // declared after the bodies, so destroyed before them

    ChurnWorld() {
        world.addBody(&resident);
        world.step(1.0e-9f);
    }

    /// Odd cycles escape through the root and stay attached; even ones are cut loose.
    void cycle(int n) {
        visitor.setAlive(true);
        visitor.setRadius(10.0f);
        visitor.setPosition(Vector3::zero);
        visitor.setPosition(Vector3::zero);
        world.addBody(&visitor);
        world.step(0.1f);
        if (n % 2) {
            visitor.setPosition(Vector3(600000.0f, 0.0f, 0.0f));
        } else {
            visitor.setRadius(-FLT_MAX);
        }
        world.step(0.1f);
        world.removeBody(&visitor);
    }
};

/// Resident memory of this process in kB (0 where /proc is missing).
long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

} // namespace

TEST(WorldChurnTest, NodeCountStaysFlat) {
    ChurnWorld churn;
    const std::size_t baseline = churn.world.getTree().countNodes();
    for (int n = 0; n < 100000; ++n) {
        churn.cycle(n);
        ASSERT_FALSE(churn.visitor.isAlive()) << "cycle " << n;
        ASSERT_EQ(churn.world.getTree().countNodes(), baseline) << "cycle " << n;
        if (n % 10000 < 2) {
            ASSERT_EQ(checkTree(churn.world.getTree()), "") << "cycle " << n;
        }
    }
    EXPECT_TRUE(churn.world.getTree().getRetiredLeaves().empty());
    EXPECT_EQ(churn.world.getBodies(), std::list<Body*>{&churn.resident});
}

// Registered apart (label soak) and only in unsanitized builds, whose freed memory is reused.
TEST(WorldChurnTest, ResidentMemoryStaysFlat) {
    ChurnWorld churn;
    int n = 0;
    for (; n < 20000; ++n) {
        churn.cycle(n);
    }
    long before = residentKilobytes();
    for (; n < 300000; ++n) {
        churn.cycle(n);
    }
    // A leaked leaf a cycle would be more than 20 MB here.
    EXPECT_LT(residentKilobytes() - before, 1024) << before << " kB after 20 000 cycles";
}

#include "view/SimulationClock.h"

#include <gtest/gtest.h>

using namespace spheres;

namespace {

// Frames run between start and end (seconds) when the window asks every interval seconds and
// each frame costs frameCost seconds.
int framesOver(SimulationClock& clock, double start, double end, double interval,
               double frameCost = 0.001) {
    int frames = 0;
    int steps = static_cast<int>((end - start) / interval + 0.5);
    for (int k = 0; k <= steps; ++k) {
        frames += clock.framesDue(start + k * interval, frameCost);
    }
    return frames;
}

} // namespace

TEST(SimulationClockTest, TheRateDoesNotDependOnHowOftenTheWindowDraws) {
    for (double interval : {1.0 / 120.0, 1.0 / 60.0, 1.0 / 7.0, 0.25}) {
        SimulationClock clock(30.0);
        EXPECT_NEAR(framesOver(clock, 0.0, 10.0, interval), 300, 1) << interval;
        EXPECT_EQ(clock.dropped(), 0);
    }
    // Rate 0: one frame per picture.
    SimulationClock unthrottled(0.0);
    EXPECT_EQ(framesOver(unthrottled, 0.0, 1.0, 0.1, 5.0), 11);
}

TEST(SimulationClockTest, OverrunningFramesRunFewerAndLeaveTimeToDraw) {
    // Each frame takes three slots: one frame at a time, none while the window draws for twice
    // as long as the frame took, and the time owed is not made up.
    SimulationClock clock(30.0);
    clock.framesDue(0.0, 0.1);
    EXPECT_EQ(clock.framesDue(0.5, 0.1), 1);
    EXPECT_EQ(clock.dropped(), 14);
    EXPECT_EQ(clock.framesDue(0.6, 0.1), 0);
    EXPECT_EQ(clock.framesDue(0.79, 0.1), 0);
    EXPECT_EQ(clock.framesDue(0.81, 0.1), 1);
    EXPECT_EQ(clock.dropped(), 22);
    // Cheap again: the catching up fits into one slot.
    EXPECT_EQ(clock.framesDue(0.9, 0.001), 3);
    // No frame has run yet, and the first picture took a second: one frame, then its cost
    // decides.
    SimulationClock fresh(30.0);
    EXPECT_EQ(fresh.framesDue(0.0, 0.0), 0);
    EXPECT_EQ(fresh.framesDue(1.0, 0.0), 1);
    EXPECT_EQ(fresh.framesDue(1.1, 0.5), 1);
    EXPECT_EQ(fresh.framesDue(1.2, 0.5), 0);
}

TEST(SimulationClockTest, FrozenRunsOnlyTheFramesAskedForAndOwesNothing) {
    SimulationClock clock(30.0);
    EXPECT_EQ(framesOver(clock, 0.0, 1.0, 0.1), 30);
    clock.toggleFrozen();
    clock.step(); // one frame each, whatever the time
    EXPECT_EQ(clock.framesDue(1.1, 0.001), 1);
    EXPECT_EQ(framesOver(clock, 1.2, 5.0, 0.1), 0);
    clock.step();
    clock.step();
    EXPECT_EQ(clock.framesDue(5.1, 0.001), 2);
    clock.toggleFrozen();
    clock.step(); // not frozen: nothing extra
    EXPECT_EQ(framesOver(clock, 6.0, 7.0, 0.1), 30);
}

TEST(SimulationClockTest, RateKeysHalveAndDoubleWithinTheirBounds) {
    SimulationClock clock(2.0);
    clock.slower();
    clock.slower();
    EXPECT_EQ(clock.rate(), 1.0);
    for (int i = 0; i < 9; ++i) {
        clock.faster();
    }
    EXPECT_EQ(clock.rate(), 512.0);
    clock.faster(); // past the top: one frame per picture
    EXPECT_EQ(clock.rate(), 0.0);
    clock.slower();
    EXPECT_EQ(clock.rate(), 960.0);
    // The documented highest rate is reached by doubling, not skipped.
    SimulationClock top(480.0);
    top.faster();
    EXPECT_EQ(top.rate(), 960.0);
}

TEST(SimulationClockTest, FramesFollowTheNewRateRightAfterAChange) {
    // Ten seconds at 30, then each second at a new rate: no stall after a lower rate, no burst
    // after a higher one (counted from the start, these owed none for 10 s and then 600 at once).
    SimulationClock clock(30.0);
    EXPECT_NEAR(framesOver(clock, 0.0, 10.0, 0.01), 300, 1);
    clock.slower();
    EXPECT_EQ(clock.framesDue(10.01, 0.001), 0);
    EXPECT_NEAR(framesOver(clock, 10.02, 11.0, 0.01), 15, 1);
    clock.faster();
    clock.faster();
    EXPECT_NEAR(framesOver(clock, 11.01, 12.0, 0.01), 60, 1);
    for (double seconds = 12.0; seconds < 15.0; seconds += 1.0) {
        clock.slower();
        EXPECT_GE(framesOver(clock, seconds + 0.01, seconds + 1.0, 0.01), 1) << seconds;
    }
}

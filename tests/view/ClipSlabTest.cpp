#include "view/ClipSlab.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(ClipSlabTest, StepsFromOffThroughEverySliceAndOffAgain) {
    ClipSlab slab;
    EXPECT_FALSE(slab.active());
    for (int k = 1; k <= ClipSlab::steps; ++k) {
        slab.move(1);
        EXPECT_EQ(slab.position(), k);
    }
    slab.move(1);
    EXPECT_FALSE(slab.active());
    slab.move(-1);
    EXPECT_EQ(slab.position(), ClipSlab::steps);
}

TEST(ClipSlabTest, TheSlicesTileTheFramedSphereAndTouchingCounts) {
    SceneBounds bounds{Vector3(100.0f, -40.0f, 7.0f), 1600.0f};
    Vector3 direction = Vector3(1.0f, 2.0f, -2.0f) * (1.0f / 3.0f);
    TestDraws draw{SceneRandom(9)};
    ClipSlab slab;
    slab.place(bounds, direction);
    for (int k = 0; k < 2000; ++k) {
        Vector3 point = bounds.center + draw.vector(900.0f);
        ASSERT_TRUE(slab.reaches(point, 0.0f)); // off: everything
        int slices = 0;
        for (int step = 1; step <= ClipSlab::steps; ++step) {
            slab.move(1);
            slab.place(bounds, direction);
            slices += slab.reaches(point, 0.0f) ? 1 : 0;
        }
        slab.move(1);
        ASSERT_TRUE(slices == 1 || slices == 2) << slices; // two only on a shared face
    }
    // Slice 1 of 16 is the first 200 units along the direction, from -1600 to -1400 round the
    // centre: a sphere of radius 50 reaches it from 1450, and cuts its middle plane (-1500) from
    // under 1550 on, in a circle of radius sqrt(r^2 - h^2).
    slab.move(1);
    slab.place(bounds, Vector3(0.0f, 0.0f, 1.0f));
    Vector3 c = bounds.center;
    EXPECT_TRUE(slab.reaches(c + Vector3(0.0f, 0.0f, -1350.0f), 50.0f));
    EXPECT_FALSE(slab.reaches(c + Vector3(0.0f, 0.0f, -1349.0f), 50.0f));
    Vector3 section;
    float radius = 0.0f;
    EXPECT_FALSE(slab.section(c + Vector3(0.0f, 0.0f, -1450.0f), 50.0f, section, radius));
    ASSERT_TRUE(slab.section(c + Vector3(0.0f, 0.0f, -1470.0f), 50.0f, section, radius));
    EXPECT_EQ(section, c + Vector3(0.0f, 0.0f, -1500.0f));
    EXPECT_FLOAT_EQ(radius, 40.0f);
}

#include "view/HeadsUp.h"

#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "view/SimulationClock.h"
#include "view/ViewKeys.h"
#include "view/ViewSession.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace spheres;

TEST(HeadsUpTest, RatesRefreshAfterAFullSecondAndTheSummaryAveragesSafely) {
    HeadsUp figures;
    figures.start(10.0);
    EXPECT_EQ(figures.summary(10.0), "0 frames simulated, 0 pictures drawn in 0.0 s; 0.00 ms per "
                                     "frame, 0.00 ms per picture");
    auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            figures.frameSimulated(0.002);
        }
    };
    frames(3);
    figures.pictureDrawn(0.004, 10.5);
    frames(1);
    figures.pictureDrawn(0.006, 10.999);
    EXPECT_EQ(figures.simRate(), 0.0); // not yet a full second
    figures.pictureDrawn(0.002, 11.0); // exactly one second
    EXPECT_EQ(figures.simRate(), 4.0);
    EXPECT_EQ(figures.drawRate(), 3.0);
    frames(2);
    figures.pictureDrawn(0.004, 11.5);
    EXPECT_EQ(figures.simRate(), 4.0); // kept until the next full window
    figures.pictureDrawn(0.004, 13.0); // counts since the last refresh only
    EXPECT_EQ(figures.simRate(), 1.0);
    EXPECT_EQ(figures.drawRate(), 1.0);
    EXPECT_EQ(figures.summary(14.0), "6 frames simulated, 5 pictures drawn in 4.0 s; 2.00 ms per "
                                     "frame, 4.00 ms per picture");
    figures.start(20.0);
    EXPECT_EQ(figures.simulated() + figures.pictures(), 0);
    EXPECT_EQ(figures.simRate(), 0.0);
}

TEST(HeadsUpTest, LinesShowTheSceneTheClockTheCameraTheSlabAndTheSelection) {
    std::FILE* out = std::tmpfile();
    ViewSession session(ViewOptions(), out);
    for (int i = 0; i < 3; ++i) {
        session.runFrame(defaultCameraFrustum());
    }
    HeadsUp figures;
    SimulationClock clock(0.0);
    HeadsUpDrawing drawing;
    drawing.drawnBodies = 17;
    std::vector<std::string> lines = figures.lines(session, clock, drawing);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "frame 3  alive " + std::to_string(session.alive()) + "/100  contacts " +
                            std::to_string(session.lastOutcome().contacts) + "  drawn 17");
    EXPECT_EQ(lines[1].rfind("rate max  sim ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "camera orbit  no slab");
    EXPECT_EQ(lines[3], "h: keys");

    SimulationClock paced(30.0);
    paced.toggleFrozen();
    simulationRunning = false;
    session.select(5);
    drawing.showHelp = true;
    drawing.demoCamera = true;
    drawing.slabPosition = 3;
    drawing.slabBodies = 41;
    lines = figures.lines(session, paced, drawing);
    simulationRunning = true;
    EXPECT_EQ(lines[1].rfind("rate 30/s FROZEN paused  sim ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "camera demo  slab 3/16: 41 bodies");
    EXPECT_EQ(lines[3].rfind("body 5: entered ", 0), 0u) << lines[3];
    std::size_t helpLines = 0;
    for (const ViewKey& key : viewKeys()) {
        helpLines += key.help ? 1 : 0;
    }
    EXPECT_EQ(lines.size(), 6 + helpLines);
    std::fclose(out);
}

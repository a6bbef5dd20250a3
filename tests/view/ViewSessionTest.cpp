#include "view/ViewSession.h"

#include "app/AppGlobals.h"
#include "tests/support/TestSupport.h"
#include "tests/view/ViewTestScene.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <numeric>

using namespace spheres;

namespace {

ViewOptions sessionOptions(const std::string& keys, const std::string& trace = "") {
    const char* argv[] = {"sphere-view", "--bodies",   "60",      "--seed",     "4",
                          "--keys",      keys.c_str(), "--trace", trace.c_str()};
    ViewParseResult parsed = parseViewOptions(trace.empty() ? 7 : 9, argv);
    EXPECT_EQ(parsed.error, "");
    return parsed.options;
}

std::string readAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text += static_cast<char>(c);
    }
    return text;
}

} // namespace

TEST(ViewSessionTest, ResetRebuildsTheStartUpSceneAndTheTraceStartsAgain) {
    std::string tracePath = testing::TempDir() + "view-session-trace.csv";
    std::FILE* out = std::tmpfile();
    ViewSession session(sessionOptions("", tracePath), out);
    ASSERT_TRUE(session.openTrace());
    MatrixFrustum frustum = defaultCameraFrustum();
    for (int i = 0; i < 5; ++i) {
        session.runFrame(frustum);
    }
    EXPECT_EQ(session.frame(), 5);
    session.reset();
    session.runFrame(frustum);
    ASSERT_TRUE(session.closeTrace());
    // The same as a fresh scene after one frame.
    ViewTestScene again(60, 4, defaultSpread(60));
    BodyList visible;
    simulateFrame(again.world, again.bodies.data(), 60, true, 0.1f, frustum, visible);
    for (int i = 0; i < bodyCount; ++i) {
        ASSERT_TRUE(bodyArray[i]->getPosition() == again.bodies[std::size_t(i)]->getPosition());
    }
    // Rows of frames 0 to 5, then 0 and 1 again; a line per frame on the output.
    std::ifstream trace(tracePath);
    std::string line, frames;
    std::getline(trace, line);
    for (int row = 0; std::getline(trace, line); ++row) {
        if (row % 60 == 0) {
            frames += line.substr(0, line.find(',')) + " ";
        }
    }
    EXPECT_EQ(frames, "0 1 2 3 4 5 0 1 ");
    std::string lines = readAll(out);
    EXPECT_EQ(lines.rfind("frame 0 alive 60 contacts 0\n", 0), 0u);
    EXPECT_NE(lines.find("frame 5 "), std::string::npos);
    EXPECT_EQ(lines.substr(lines.rfind("frame ", lines.size() - 2)).substr(0, 8), "frame 1 ");
}

TEST(ViewSessionTest, KeysComeDueOnceInOrderAndSelectionSkipsDeadBodies) {
    std::FILE* out = std::tmpfile();
    ViewSession session(sessionOptions("2:b,0:n,2:space,0:f"), out);
    using Keys = std::vector<unsigned char>;
    EXPECT_EQ(session.takeDueKeys(), (Keys{'n', 'f'}));
    EXPECT_EQ(session.takeDueKeys(), Keys{});
    MatrixFrustum frustum = defaultCameraFrustum();
    session.runFrame(frustum);
    session.runFrame(frustum);
    EXPECT_EQ(session.takeDueKeys(), (Keys{'b', ' '}));

    bodyArray[1]->setAlive(false);
    bodyArray[59]->setAlive(false);
    session.cycleSelection(1);
    EXPECT_EQ(session.selectedIndex(), 0);
    session.cycleSelection(1);
    EXPECT_EQ(session.selectedIndex(), 2);
    session.cycleSelection(-1);
    session.cycleSelection(-1);
    EXPECT_EQ(session.selectedIndex(), 58); // wrapped round, past the dead last one
    EXPECT_TRUE(session.sweep().recorded());
    session.selectBody(nullptr);
    EXPECT_EQ(session.selectedBody(), nullptr);
    std::string lines = readAll(out);
    EXPECT_NE(lines.find("selected 2 at "), std::string::npos);
    EXPECT_EQ(lines.substr(lines.size() - 14), "selected none\n");
}

TEST(ViewSessionTest, LevelCountsCoverEveryNodeOfTheTree) {
    std::FILE* out = std::tmpfile();
    ViewSession session(sessionOptions(""), out);
    TreeLevelCounts counts = countTreeLevels(world->getTree());
    int nodes = std::accumulate(counts.bounding.begin(), counts.bounding.end(), counts.leaves);
    EXPECT_EQ(counts.bounding.at(0), 1);
    EXPECT_EQ(counts.leaves, 60);
    EXPECT_EQ(static_cast<std::size_t>(nodes), world->getTree().countNodes());
}

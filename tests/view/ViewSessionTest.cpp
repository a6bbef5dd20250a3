#include "view/ViewSession.h"

#include "app/AppGlobals.h"
#include "spheretree/DebugDraw.h"
#include "tests/support/TestSupport.h"
#include "tests/view/ViewTestScene.h"
#include "view/SimulationClock.h"
#include "view/ViewController.h"
#include "view/ViewPicture.h"
#include "world/World.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>

using namespace spheres;

namespace {

ViewOptions sessionOptions(const std::string& keys, const std::string& trace = "",
                           const std::string& screenshot = "") {
    const char* argv[] = {"sphere-view",     "--bodies",   "60",      "--seed",      "4",
                          "--keys",          keys.c_str(), "--trace", trace.c_str(), "--screenshot",
                          screenshot.c_str()};
    ViewParseResult parsed = parseViewOptions(trace.empty()        ? 7
                                              : screenshot.empty() ? 9
                                                                   : 11,
                                              argv);
    EXPECT_EQ(parsed.error, "");
    return parsed.options;
}

std::string readPath(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
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
    ASSERT_EQ(session.closeOutputs(), "");
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

// The window's and the page's controller: one frame a call at rate 0, replayed keys between
// frames, the freeze and its step, --frames as the last, Escape stopping until a reset.
TEST(ViewSessionTest, ControllerRunsTheFramesDueAndCarriesOutTheKeys) {
    const char* argv[] = {"sphere-view", "--bodies", "30",     "--rate", "0",
                          "--frames",    "5",        "--keys", "2:f"};
    ViewParseResult parsed = parseViewOptions(9, argv);
    ASSERT_EQ(parsed.error, "");
    std::FILE* out = std::tmpfile();
    ViewSession session(parsed.options, out);
    SimulationClock clock(0.0);
    HeadsUp headsUp;
    headsUp.start(0.0);
    ViewController controller(parsed.options, session, clock, headsUp);
    controller.pressDueKeys();
    for (int call = 0; call < 4; ++call) {
        controller.runDueFrames(call, 640, 480);
    }
    EXPECT_EQ(session.frame(), 2); // frozen after frame 2
    controller.press('.');
    controller.runDueFrames(5.0, 640, 480);
    controller.runDueFrames(6.0, 640, 480);
    EXPECT_EQ(session.frame(), 3);
    controller.press('f');
    for (int call = 0; call < 4; ++call) {
        controller.runDueFrames(7.0 + call, 640, 480);
    }
    EXPECT_EQ(session.frame(), 5); // never past --frames
    EXPECT_EQ(headsUp.simulated(), 5);

    controller.press(27);
    EXPECT_TRUE(controller.stopped());
    controller.press('r');
    EXPECT_FALSE(controller.stopped());
    EXPECT_EQ(session.frame(), 0);
    controller.runDueFrames(20.0, 640, 480);
    controller.press(27);
    controller.runDueFrames(21.0, 640, 480);
    EXPECT_EQ(session.frame(), 1);
    int escapes = 0;
    controller.escape = [&escapes] { ++escapes; };
    controller.press(27);
    EXPECT_EQ(escapes, 1);
}

// The window runs the frames due on a thread of their own: the same frames, lines and key
// presses as run in place, with batches of frames that a replayed key cuts (a freeze after
// frame 4 in the middle of a batch, a selection after frame 9).
TEST(ViewSessionTest, FramesRunAsideAreTheFramesRunInPlace) {
    auto script = [](bool aside) {
        ViewOptions options = sessionOptions("4:f,9:n");
        options.rate = 10.0;
        std::FILE* out = std::tmpfile();
        ViewSession session(options, out);
        SimulationClock clock(options.rate);
        HeadsUp headsUp;
        ViewController controller(options, session, clock, headsUp);
        controller.pressDueKeys();
        auto run = [&](double now) {
            if (aside) {
                controller.startDueFrames(now, 640, 480);
                controller.finishFrames();
            } else {
                controller.runDueFrames(now, 640, 480);
            }
        };
        std::string frames;
        for (double now : {0.0, 0.1, 0.8, 1.0, 1.05}) {
            run(now);
            frames += std::to_string(session.frame()) + " ";
        }
        controller.press('f');
        for (double now : {2.0, 2.3, 3.0}) {
            run(now);
            frames += std::to_string(session.frame()) + " ";
        }
        EXPECT_EQ(headsUp.simulated(), session.frame());
        return frames + readAll(out);
    };
    std::string inPlace = script(false);
    EXPECT_EQ(inPlace.substr(0, 17), "0 1 4 4 4 4 7 14 ");
    EXPECT_NE(inPlace.find("selected 0 at "), std::string::npos);
    EXPECT_EQ(script(true), inPlace);
}

// A picture asked for again keeps its spheres only while nothing it shows has changed: a frame,
// a selection, a key, the camera, the window's size, or another begin() of the picture.
TEST(ViewSessionTest, APictureIsMadeAgainOnlyWhenWhatItShowsChanged) {
    ViewOptions options = sessionOptions("");
    options.rate = 0.0;
    ViewSession session(options, std::tmpfile());
    SimulationClock clock(0.0);
    HeadsUp headsUp;
    ViewController controller(options, session, clock, headsUp);
    ViewPicture picture;
    session.setDebugDraw(&picture);
    controller.frameBodies();
    unsigned long made = 0;
    auto remade = [&](int width = 640) {
        controller.makePicture(picture, width, 480, 480);
        bool again = picture.made() != made;
        made = picture.made();
        return again;
    };
    EXPECT_TRUE(remade());
    EXPECT_FALSE(remade());
    std::size_t bodies = picture.bodies(ViewPicture::Point).size();
    EXPECT_EQ(static_cast<int>(bodies + picture.bodies(ViewPicture::Square).size()),
              picture.drawnBodies());
    controller.runDueFrames(1.0, 640, 480);
    EXPECT_TRUE(remade());
    session.select(3);
    EXPECT_TRUE(remade());
    EXPECT_FALSE(picture.queryBodies().empty());
    controller.press('4');
    EXPECT_TRUE(remade());
    controller.press('c');
    EXPECT_TRUE(remade());
    controller.mousePressed(MouseButton::Left, 100, 100);
    controller.mouseMoved(120, 100);
    EXPECT_TRUE(remade());
    EXPECT_TRUE(remade(641));
    PictureSetup setup;
    MatrixFrustum frustum = defaultCameraFrustum();
    setup.bodyFrustum = setup.sceneFrustum = &frustum;
    LevelLegend levels;
    ClipSlab slab;
    setup.levels = &levels;
    setup.slab = &slab;
    picture.begin(setup);
    made = picture.made();
    EXPECT_TRUE(remade(641));
    EXPECT_FALSE(remade(641));

    // While frames run aside the picture made before them is kept; a new camera waits for them.
    int frame = session.frame();
    controller.startDueFrames(30.0, 641, 480);
    EXPECT_TRUE(controller.framesRunning());
    controller.startDueFrames(30.0, 641, 480);
    EXPECT_FALSE(remade(641));
    controller.wheelTurned(1);
    EXPECT_TRUE(remade(641));
    EXPECT_FALSE(controller.framesRunning());
    EXPECT_EQ(session.frame(), frame + 1);
    EXPECT_EQ(headsUp.simulated(), session.frame());
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

// The screenshot and the trace are put in place together or not at all; a FIFO gets each frame's
// rows as the frame ends.
TEST(ViewSessionTest, OutputsAreReplacedTogetherAndAFifoGetsEachFrame) {
    namespace fs = std::filesystem;
    fs::path folder = fs::path(testing::TempDir()) / "view-session-outputs";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::string trace = folder / "keep.csv", shot = folder / "shot.png";
    const unsigned char picture[2 * 3 * 3] = {255};
    MatrixFrustum frustum = defaultCameraFrustum();
    for (const std::string& screenshot : {std::string("/dev/full"), shot}) {
        std::ofstream(trace) << "old\n";
        ViewSession session(sessionOptions("", trace, screenshot), std::tmpfile());
        ASSERT_TRUE(session.openTrace());
        session.runFrame(frustum);
        std::string error = session.closeOutputs(picture, 2, 3);
        bool full = screenshot == "/dev/full";
        EXPECT_EQ(error.rfind("--screenshot: ", 0), full ? 0u : std::string::npos) << error;
        EXPECT_EQ(readPath(trace).substr(0, 6), full ? "old\n" : "frame,");
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), full ? 1 : 2);
    }
    EXPECT_EQ(readPath(shot).substr(1, 3), "PNG");

    std::string fifo = folder / "rows.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ViewSession session(sessionOptions("", fifo), std::tmpfile());
    ASSERT_TRUE(session.openTrace());
    char rows[65536];
    for (int frame = 0; frame < 3; ++frame) {
        if (frame > 0) {
            session.runFrame(frustum);
        }
        std::string got(rows,
                        static_cast<std::size_t>(std::max(0L, read(reader, rows, sizeof rows))));
        EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), frame == 0 ? 61 : 60) << frame;
    }
    close(reader);
}

// What the tree draws goes to the drawing handed to the session, also after a reset.
TEST(ViewSessionTest, BodiesAndNodesAreDrawnAfterAReset) {
    struct Counter : DebugDraw {
        int bodies = 0, bounds = 0;
        void drawBody(const Vector3&, float) override { ++bodies; }
        void drawBounds(const Vector3&, float, int) override { ++bounds; }
    } counter;
    ViewSession session(sessionOptions(""), std::tmpfile());
    session.setDebugDraw(&counter);
    for (int round = 0; round < 2; ++round) {
        counter = Counter();
        world->draw();
        EXPECT_EQ(counter.bodies, 60);
        EXPECT_GT(counter.bounds, 1);
        session.reset();
    }
}

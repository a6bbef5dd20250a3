// What sphere-sim writes, against the program's own start-up, frame and key handler run in
// process.
#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/KeyBindings.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"
#include "tests/sim/SimTestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <tuple>

namespace {

std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// A fresh path named after the running test, so that cases may run in parallel.
std::string workFile(const std::string& name) {
    std::string path = std::string(SIM_TEST_WORK_DIR) + "/" +
                       testing::UnitTest::GetInstance()->current_test_info()->name() + "." + name;
    std::remove(path.c_str());
    return path;
}

struct SimRun {
    int status;
    std::string out, err;
};

SimRun runSim(const std::string& arguments) {
    std::string out = workFile("stdout"), err = workFile("stderr");
    int raw = std::system((SPHERE_SIM_PATH " " + arguments + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
}

// A CSV file's rows as numbers read back as floats, after checking its header.
using Row = std::vector<float>;
std::vector<Row> readCsv(const std::string& path, const std::string& header) {
    std::string text = readFile(path);
    EXPECT_EQ(text.substr(0, text.find('\n')), header) << path;
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream lines(text.substr(text.find('\n') + 1));
    std::vector<Row> rows;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream cells(line);
        rows.emplace_back(std::istream_iterator<float>(cells), std::istream_iterator<float>());
    }
    return rows;
}

// Every body in creation order at start-up and at every K-th frame, and each frame's counts,
// hold what the program's frame leaves with the same presses, read back from %.9g as the very
// same floats. A press K:KEY comes after frame K's rows; esc ends the run with status 1 after
// writing them.
TEST(SphereSimTest, TraceAndFramesHoldWhatTheProgramComputesWithItsKeys) {
    for (std::string args : {"--bodies 30 --frames 25 --every 4 --seed 7 --keys 8:space,8:b,9:z,"
                             "9:Z,9:q,9:w,9:S,12:space,16:x,20:A,20:space,20:b,22:esc",
                             "--bodies 2 --frames 12 --every 3 --keys 3:b", "--frames 0"}) {
        SCOPED_TRACE(args);
        std::string trace = workFile("trace.csv"), table = workFile("frames.csv");
        SimRun run = runSim(args + " --quiet --trace " + trace + " --frames-out " + table);
        std::vector<Row> rows = readCsv(trace, "frame,index,px,py,pz,vx,vy,vz,alive");
        std::vector<Row> counts = readCsv(table, "frame,drawn,alive,contacts");

        const SimOptions opts = parseLine(args).options;
        cameraTransX = cameraTransY = cameraTransZ = cameraRotX = cameraRotY = cameraRotZ = 0.0f;
        simulationRunning = true;
        registerKeyBindings();
        World scene;
        std::vector<Body*> bodies = buildScene(scene, opts.bodies, opts.seed, opts.spread);
        float projection[16], modelview[16];
        defaultProjectionMatrix(projection);
        std::size_t row = 0;
        int ended = 0;
        auto press = opts.keys.begin();
        for (int frame = 0; frame <= opts.frames && ended == 0; ++frame) {
            if (frame > 0) {
                cameraModelviewMatrix(cameraTransX, cameraTransY, cameraTransZ, cameraRotX,
                                      cameraRotY, cameraRotZ, modelview);
                BodyList visible;
                FrameOutcome outcome =
                    simulateFrame(scene, bodyArray, bodyCount, simulationRunning, timeStep,
                                  MatrixFrustum(projection, modelview), visible);
                int alive = static_cast<int>(std::count_if(bodies.begin(), bodies.end(),
                                                           [](Body* b) { return b->isAlive(); }));
                ASSERT_GE(counts.size(), static_cast<std::size_t>(frame));
                EXPECT_EQ(counts[frame - 1],
                          Row({static_cast<float>(frame), static_cast<float>(outcome.drawn),
                               static_cast<float>(alive), static_cast<float>(outcome.contacts)}));
            }
            for (std::size_t i = 0; frame % opts.every == 0 && i < bodies.size(); ++i, ++row) {
                Vector3 p = bodies[i]->getPosition(), v = bodies[i]->getVelocity();
                ASSERT_LT(row, rows.size());
                EXPECT_EQ(rows[row],
                          Row({static_cast<float>(frame), static_cast<float>(i), p.x, p.y, p.z, v.x,
                               v.y, v.z, bodies[i]->isAlive() ? 1.0f : 0.0f}));
            }
            for (; press != opts.keys.end() && press->afterFrame == frame; ++press) {
                if (press->key == 27) {
                    ended = 1; // the handler would end this process
                    break;
                }
                handleKey(press->key, 0, 0);
            }
        }
        EXPECT_EQ(std::make_tuple(run.status, rows.size()), std::make_tuple(ended, row)) << run.err;
        for (Body* body : bodies) {
            delete static_cast<SphereBody*>(body);
        }
    }
    bodyArray = nullptr;
}

// A bad option exits with status 2 and a message naming it, writes nothing on standard output
// and creates no file.
TEST(SphereSimTest, BadOptionsCreateNothing) {
    std::string trace = workFile("trace.csv"), table = workFile("frames.csv");
    for (std::string args : {"--frame 3", "--frames ten", "--bodies 0", "--keys 5:enter",
                             "--frames-out no/such/f.csv"}) {
        SimRun sim = runSim(args + " --print-drawn --trace " + trace + " --frames-out " + table);
        EXPECT_NE(sim.err.find(args.substr(0, args.find(' '))), std::string::npos) << sim.err;
        EXPECT_EQ(std::make_tuple(sim.status, sim.out), std::make_tuple(2, "")) << args;
        EXPECT_FALSE(std::ifstream(trace).good() || std::ifstream(table).good()) << args;
    }
    EXPECT_EQ(runSim("--help").status, 0);
}

} // namespace

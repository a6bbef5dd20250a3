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

#include <cstdio>
#include <tuple>

using namespace spheres;

namespace {

// A CSV file's rows after its header, each read back as floats; the file is removed, so that a
// later run that writes nothing cannot pass on it.
using Row = std::vector<float>;
std::vector<Row> readCsv(const std::string& path, const std::string& header) {
    std::vector<std::string> lines = words(readFile(path)); // no row holds a space
    std::remove(path.c_str());
    EXPECT_EQ(lines.empty() ? "" : lines[0], header) << path;
    std::vector<Row> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::replace(lines[i].begin(), lines[i].end(), ',', ' ');
        std::istringstream cells(lines[i]);
        rows.emplace_back(std::istream_iterator<float>(cells), std::istream_iterator<float>());
    }
    return rows;
}

template <class T> float f(T value) {
    return static_cast<float>(value);
}

// Every body in creation order at start-up and at every K-th frame, and each frame's counts,
// hold what the program's start-up, frame and key handler compute in process, read back from
// %.9g as the very same floats. A press K:KEY comes after frame K's rows; esc ends the run
// with status 1 after writing them.
TEST(SphereSimTest, TraceAndFramesHoldWhatTheProgramComputesWithItsKeys) {
    for (std::string args : {"--bodies 30 --frames 25 --every 4 --seed 7 --keys 8:space,8:b,9:z,"
                             "9:Z,9:q,9:w,9:S,12:space,16:x,20:A,20:space,20:b,22:esc",
                             "--bodies 2 --frames 12 --every 3 --keys 3:b", "--frames 0"}) {
        SCOPED_TRACE(args);
        std::string trace = SIM_TEST_WORK_DIR "/keys.trace.csv",
                    table = SIM_TEST_WORK_DIR "/keys.frames.csv";
        int status = std::system(
            (SPHERE_SIM_PATH " " + args + " --quiet --trace " + trace + " --frames-out " + table)
                .c_str());
        std::vector<Row> rows = readCsv(trace, "frame,index,px,py,pz,vx,vy,vz,alive"),
                         counts = readCsv(table, "frame,drawn,alive,contacts");

        const SimOptions o = parseLine(args).options; // each row starts as the program does
        cameraTransX = cameraTransY = cameraTransZ = cameraRotX = cameraRotY = cameraRotZ = 0.0f;
        simulationRunning = true;
        registerKeyBindings();
        buildScene(o.bodies, o.seed, o.spread);
        std::vector<Body*> bodies(bodyArray, bodyArray + bodyCount);
        float projection[16], modelview[16];
        defaultProjectionMatrix(projection);
        std::size_t row = 0;
        int frame = 0;
        for (auto press = o.keys.begin(); true; ++frame) {
            if (frame > 0) {
                cameraModelviewMatrix(cameraTransX, cameraTransY, cameraTransZ, cameraRotX,
                                      cameraRotY, cameraRotZ, modelview);
                BodyList visible;
                FrameOutcome outcome =
                    simulateFrame(*world, bodyArray, bodyCount, simulationRunning, timeStep,
                                  MatrixFrustum(projection, modelview), visible);
                auto alive = std::count_if(bodies.begin(), bodies.end(),
                                           [](Body* b) { return b->isAlive(); });
                ASSERT_GE(counts.size(), static_cast<std::size_t>(frame));
                EXPECT_EQ(counts[frame - 1],
                          Row({f(frame), f(outcome.drawn), f(alive), f(outcome.contacts)}));
            }
            for (std::size_t i = 0; frame % o.every == 0 && i < bodies.size(); ++i, ++row) {
                Vector3 p = bodies[i]->getPosition(), v = bodies[i]->getVelocity();
                ASSERT_LT(row, rows.size());
                EXPECT_EQ(rows[row], Row({f(frame), f(i), p.x, p.y, p.z, v.x, v.y, v.z,
                                          f(bodies[i]->isAlive())}));
            }
            for (; press != o.keys.end() && press->afterFrame == frame && press->key != 27;
                 ++press) {
                handleKey(press->key, 0, 0);
            }
            bool escaped = press != o.keys.end() && press->afterFrame == frame;
            if (escaped || frame == o.frames) { // the handler would end this process at esc
                EXPECT_EQ(std::make_tuple(status, rows.size(), counts.size()),
                          std::make_tuple(escaped ? W_EXITCODE(1, 0) : 0, row,
                                          static_cast<std::size_t>(frame)));
                break;
            }
        }
        for (Body* body : bodies) {
            delete static_cast<SphereBody*>(body);
        }
        delete world;
        delete[] bodyArray;
    }
    bodyArray = nullptr;
}

} // namespace

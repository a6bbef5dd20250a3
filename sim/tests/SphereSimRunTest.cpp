// Runs the sphere-sim program and checks what it writes.
#include "body/SphereBody.h"
#include "sim/SimOptions.h"
#include "sim/SimScene.h"
#include "world/World.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct SimRun {
    int status;
    std::string out, err;
};

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

SimRun runSim(const std::string& arguments) {
    std::string out = workFile("stdout"), err = workFile("stderr");
    int raw = std::system((SPHERE_SIM_PATH " " + arguments + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
}

// A CSV file's rows as numbers (frame and index, then floats, alive last); checks the header.
using Row = std::vector<float>;
std::vector<Row> readCsv(const std::string& path, const std::string& header) {
    std::istringstream text(readFile(path));
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line, header);
    std::vector<Row> rows;
    while (std::getline(text, line)) {
        Row row;
        for (const char* at = line.c_str(); *at != '\0'; at += *at == ',' ? 1 : 0) {
            char* end;
            row.push_back(std::strtof(at, &end));
            at = end;
        }
        rows.push_back(row);
    }
    return rows;
}

const std::string traceHeader = "frame,index,px,py,pz,vx,vy,vz,alive";
const std::string framesHeader = "frame,drawn,alive,contacts";

TEST(SphereSimRunTest, BadInputExitsWithStatusTwoAndWritesNothing) {
    std::string trace = workFile("trace.csv"), frames = workFile("frames.csv");
    for (const char* bad : {"--bodies 0", "--frames x", "--keys 3:return", "--colour red",
                            "--frames-out /no/such/dir/f.csv"}) {
        SCOPED_TRACE(bad);
        SimRun run = runSim(std::string(bad) + " --trace " + trace + " --frames-out " + frames +
                            " --print-drawn");
        std::string option(bad, std::string(bad).find(' '));
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(option), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(std::ifstream(trace).good() || std::ifstream(frames).good());
    }
    EXPECT_EQ(runSim("--help").status, 0);
}

TEST(SphereSimRunTest, TraceHoldsEveryBodyAtStartUpAndEveryKthFrame) {
    std::string trace = workFile("trace.csv"), frames = workFile("frames.csv");
    SimRun run = runSim("--frames 25 --every 4 --bodies 30 --seed 7 --print-drawn --trace " +
                        trace + " --frames-out " + frames);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Row> rows = readCsv(trace, traceHeader);
    ASSERT_EQ(rows.size(), 30u * (25 / 4 + 1));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], static_cast<float>(i / 30 * 4));
        EXPECT_EQ(rows[i][1], static_cast<float>(i % 30));
    }

    SCOPED_TRACE("frame 0 is the start-up state, and %.9g reads back to the very same floats");
    World world;
    std::vector<Body*> bodies = buildScene(world, 30, 7, defaultSpread(30));
    for (std::size_t i = 0; i < 30; ++i) {
        Vector3 p = bodies[i]->getPosition(), v = bodies[i]->getVelocity();
        Row expected = {0.0f, static_cast<float>(i), p.x, p.y, p.z, v.x, v.y, v.z, 1.0f};
        EXPECT_EQ(rows[i], expected) << "body " << i;
        delete static_cast<SphereBody*>(bodies[i]);
    }

    SCOPED_TRACE("one row per frame, and --print-drawn prints the drawn counts");
    std::vector<Row> table = readCsv(frames, framesHeader);
    ASSERT_EQ(table.size(), 25u);
    std::string printed;
    for (std::size_t k = 0; k < table.size(); ++k) {
        EXPECT_EQ(table[k][0], k + 1.0f);
        EXPECT_EQ(table[k][2], 30.0f);
        printed +=
            table[k][1] >= 1 ? "Spheres Drawn: " + std::to_string(int(table[k][1])) + "\n" : "";
    }
    EXPECT_EQ(run.out, printed);
    EXPECT_NE(run.err.find("25 frames, 30 alive"), std::string::npos) << run.err;
}

// Two runs write the same bytes. After space then b at frame k nothing integrates: a row changes
// only through a collision response, which also changes the velocity, and each response changes two
// bodies at most.
TEST(SphereSimRunTest, KeysPauseAndRecallThroughTheProgramHandlersAlikeInEveryRun) {
    const int k = 20, frames = 30;
    std::string trace = workFile("trace.csv"), table = workFile("frames.csv");
    const std::string options = "--frames 30 --keys 20:space,20:b --quiet --trace ";
    SimRun run = runSim(options + trace + " --frames-out " + table);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string again = workFile("again.csv");
    ASSERT_EQ(runSim(options + again).status, 0);
    EXPECT_TRUE(readFile(trace) == readFile(again)) << "two runs gave different traces";
    std::vector<Row> rows = readCsv(trace, traceHeader), perFrame = readCsv(table, framesHeader);
    ASSERT_EQ(rows.size(), 100u * (frames + 1));
    for (std::size_t i = 0; i < 3; ++i) {
        // The row of frame k is written before the presses that follow it.
        EXPECT_NE(rows[static_cast<std::size_t>(k * 100) + i][2], 0.0f) << "body " << i;
    }
    int recalledAtOrigin = 0, responses = 0;
    for (int frame = k + 1; frame <= frames; ++frame) {
        int changed = 0;
        for (int i = 0; i < 100; ++i) {
            Row before = rows[static_cast<std::size_t>((frame - 1) * 100 + i)];
            Row now = rows[static_cast<std::size_t>(frame * 100 + i)];
            before[0] = now[0];
            if (frame == k + 1 && i < 3) {
                before[2] = before[3] = before[4] = 0.0f; // recalled, velocity kept
            }
            bool collided = !std::equal(now.begin() + 5, now.begin() + 8, before.begin() + 5);
            changed += collided ? 1 : 0;
            EXPECT_TRUE(collided || now == before) << "body " << i << " frame " << frame;
            recalledAtOrigin += i < 3 && !collided && now[2] == 0 && now[3] == 0 && now[4] == 0;
        }
        responses += changed;
        EXPECT_LE(changed, 2 * perFrame[static_cast<std::size_t>(frame - 1)][3]) << frame;
    }
    EXPECT_GT(recalledAtOrigin, 0) << "no recalled body stayed at the origin";
    EXPECT_GT(responses, 0) << "nothing moved while paused: the check saw nothing";

    SCOPED_TRACE("b with two bodies recalls both: the next step starts them from the origin");
    SimRun two = runSim("--bodies 2 --frames 3 --keys 1:b --trace " + trace);
    ASSERT_EQ(two.status, 0) << two.err;
    std::vector<Row> small = readCsv(trace, traceHeader);
    ASSERT_EQ(small.size(), 2u * 4u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Row& before = small[2 + i];
        const Row& after = small[4 + i];
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(after[2 + c], ((after[5 + c] + before[5 + c]) * 0.5f) * 0.1f);
        }
    }
}

TEST(SphereSimRunTest, EscapeEndsWithStatusOneAfterWritingEverything) {
    std::string trace = workFile("trace.csv"), table = workFile("frames.csv");
    SimRun run = runSim("--frames 50 --keys 5:esc,6:b --print-drawn --trace " + trace +
                        " --frames-out " + table);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(readCsv(trace, traceHeader).size(), 100u * 6u);
    EXPECT_EQ(readCsv(table, framesHeader).size(), 5u);
    EXPECT_NE(run.err.find("5 frames"), std::string::npos) << run.err;

    SCOPED_TRACE("--frames 0 runs start-up only");
    SimRun startUp = runSim("--frames 0 --print-drawn --trace " + trace + " --frames-out " + table);
    EXPECT_EQ(startUp.status, 0);
    EXPECT_EQ(startUp.out, "");
    EXPECT_EQ(readCsv(trace, traceHeader).size(), 100u);
    EXPECT_TRUE(readCsv(table, framesHeader).empty());
}

} // namespace

// Runs the sphere-sim program and checks what it writes.
#include "body/Body.h"
#include "body/SphereBody.h"
#include "sim/SimOptions.h"
#include "sim/SimScene.h"
#include "world/World.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct SimRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path) {
    return std::ifstream(path).good();
}

// A path in the test's own directory, named after the running test so cases may run in parallel.
std::string workFile(const std::string& name) {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string path = std::string(SIM_TEST_WORK_DIR) + "/" + info->name() + "." + name;
    std::remove(path.c_str());
    return path;
}

SimRun runSim(const std::string& arguments) {
    std::string out = workFile("stdout");
    std::string err = workFile("stderr");
    std::string command = std::string(SPHERE_SIM_PATH) + " " + arguments + " >" + out + " 2>" + err;
    int raw = std::system(command.c_str());
    SimRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readFile(out);
    run.err = readFile(err);
    return run;
}

struct Row {
    int frame, index;
    float p[3], v[3];
    int alive;
    bool operator==(const Row& o) const {
        return frame == o.frame && index == o.index && p[0] == o.p[0] && p[1] == o.p[1] &&
               p[2] == o.p[2] && v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2] &&
               alive == o.alive;
    }
    bool sameState(const Row& o) const {
        Row moved = o;
        moved.frame = frame;
        return *this == moved;
    }
};

// The trace's rows; the header is checked and dropped.
std::vector<Row> readTrace(const std::string& path) {
    std::istringstream text(readFile(path));
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line, "frame,index,px,py,pz,vx,vy,vz,alive");
    std::vector<Row> rows;
    while (std::getline(text, line)) {
        Row row;
        char* at = &line[0];
        row.frame = static_cast<int>(std::strtol(at, &at, 10));
        row.index = static_cast<int>(std::strtol(at + 1, &at, 10));
        for (float& value : row.p) {
            value = std::strtof(at + 1, &at);
        }
        for (float& value : row.v) {
            value = std::strtof(at + 1, &at);
        }
        row.alive = static_cast<int>(std::strtol(at + 1, &at, 10));
        EXPECT_EQ(*at, '\0') << line;
        rows.push_back(row);
    }
    return rows;
}

// Frames-out rows as {frame, drawn, alive, contacts}.
std::vector<std::vector<int>> readFrames(const std::string& path) {
    std::istringstream text(readFile(path));
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line, "frame,drawn,alive,contacts");
    std::vector<std::vector<int>> rows;
    int f, d, a, c;
    while (std::getline(text, line) && std::sscanf(line.c_str(), "%d,%d,%d,%d", &f, &d, &a, &c)) {
        rows.push_back({f, d, a, c});
    }
    return rows;
}

TEST(SphereSimRunTest, BadInputExitsWithStatusTwoAndWritesNothing) {
    std::string trace = workFile("trace.csv");
    std::string frames = workFile("frames.csv");
    const char* bad[][2] = {
        {"--bodies 0", "--bodies"},    {"--frames x", "--frames"},
        {"--spread -1", "--spread"},   {"--every 0", "--every"},
        {"--keys 3:return", "--keys"}, {"--colour red", "--colour"},
        {"--seed 1e3", "--seed"},      {"--frames-out /no/such/dir/f.csv", "--frames-out"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c[0]);
        SimRun run = runSim(std::string(c[0]) + " --trace " + trace + " --frames-out " + frames +
                            " --print-drawn");
        // Parsing stops at the first bad value, before any file is created.
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c[1]), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fileExists(trace));
        EXPECT_FALSE(fileExists(frames));
    }
    SimRun help = runSim("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--frames-out"), std::string::npos);
}

TEST(SphereSimRunTest, TraceHoldsEveryBodyAtStartUpAndEveryKthFrame) {
    std::string trace = workFile("trace.csv");
    std::string frames = workFile("frames.csv");
    SimRun run = runSim("--frames 25 --every 4 --bodies 30 --seed 7 --print-drawn --trace " +
                        trace + " --frames-out " + frames);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Row> rows = readTrace(trace);

    SCOPED_TRACE("30 bodies x (25 / 4 + 1) frames, in frame then creation order");
    ASSERT_EQ(rows.size(), 30u * 7u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].frame, static_cast<int>(i / 30) * 4);
        EXPECT_EQ(rows[i].index, static_cast<int>(i % 30));
    }

    SCOPED_TRACE("frame 0 is the start-up state, read back to the very same floats");
    World world;
    std::vector<Body*> bodies = buildScene(world, 30, 7, defaultSpread(30));
    for (int i = 0; i < 30; ++i) {
        Vector3 p = bodies[static_cast<std::size_t>(i)]->getPosition();
        Vector3 v = bodies[static_cast<std::size_t>(i)]->getVelocity();
        Row expected{0, i, {p.x, p.y, p.z}, {v.x, v.y, v.z}, 1};
        EXPECT_EQ(rows[static_cast<std::size_t>(i)], expected) << "body " << i;
        delete static_cast<SphereBody*>(bodies[static_cast<std::size_t>(i)]);
    }

    SCOPED_TRACE("one frames row per frame, and --print-drawn prints its drawn count");
    std::vector<std::vector<int>> table = readFrames(frames);
    ASSERT_EQ(table.size(), 25u);
    std::string printed;
    for (std::size_t k = 0; k < table.size(); ++k) {
        EXPECT_EQ(table[k][0], static_cast<int>(k) + 1);
        EXPECT_EQ(table[k][2], 30);
        if (table[k][1] >= 1) {
            printed += "Spheres Drawn: " + std::to_string(table[k][1]) + "\n";
        }
    }
    EXPECT_EQ(run.out, printed);
    EXPECT_NE(run.err.find("25 frames, 30 alive"), std::string::npos) << run.err;
}

TEST(SphereSimRunTest, FloatsPrintedWithNineDigitsReadBackExactly) {
    // Values that need all nine digits, tiny and huge magnitudes, and signed zero.
    const float samples[] = {0.1f,           1.0f / 3.0f, 16777217.0f, 1.17549435e-38f,
                             3.40282347e38f, -0.0f,       1234.56789f, -2.71828183e-5f};
    for (float value : samples) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
        float back = std::strtof(text, nullptr);
        EXPECT_EQ(back, value) << text;
        EXPECT_EQ(std::signbit(back), std::signbit(value)) << text;
    }
}

TEST(SphereSimRunTest, RunsAreByteIdentical) {
    std::string first = workFile("first.csv");
    std::string second = workFile("second.csv");
    const std::string options = "--frames 120 --bodies 300 --keys 40:b,60:x --quiet --trace ";
    ASSERT_EQ(runSim(options + first).status, 0);
    ASSERT_EQ(runSim(options + second).status, 0);
    std::string a = readFile(first);
    EXPECT_GT(a.size(), 300u * 121u * 20u);
    EXPECT_TRUE(a == readFile(second));
}

// After space then b at frame k, nothing integrates: a body's row changes only through a
// collision response, which also changes its velocity, and each response moves two bodies.
TEST(SphereSimRunTest, KeysPauseAndRecallThroughTheProgramHandlers) {
    const int k = 20;
    const int frames = 30;
    std::string trace = workFile("trace.csv");
    std::string table = workFile("frames.csv");
    SimRun run =
        runSim("--frames " + std::to_string(frames) + " --keys " + std::to_string(k) + ":space," +
               std::to_string(k) + ":b --trace " + trace + " --frames-out " + table);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Row> rows = readTrace(trace);
    std::vector<std::vector<int>> perFrame = readFrames(table);
    ASSERT_EQ(rows.size(), 100u * (frames + 1));
    auto row = [&](int frame, int body) {
        return rows[static_cast<std::size_t>(frame * 100 + body)];
    };

    int atOrigin = 0;
    int moved = 0;
    for (int frame = k + 1; frame <= frames; ++frame) {
        int changed = 0;
        for (int i = 0; i < 100; ++i) {
            Row before = row(frame - 1, i);
            if (frame == k + 1 && i < 3) {
                // Recalled: at the origin with the velocity it had.
                before.p[0] = before.p[1] = before.p[2] = 0.0f;
            }
            Row now = row(frame, i);
            bool collided =
                now.v[0] != before.v[0] || now.v[1] != before.v[1] || now.v[2] != before.v[2];
            changed += collided ? 1 : 0;
            if (!collided) {
                EXPECT_TRUE(now.sameState(before)) << "body " << i << " frame " << frame;
            }
            if (i < 3 && !collided && now.p[0] == 0.0f && now.p[1] == 0.0f && now.p[2] == 0.0f) {
                ++atOrigin;
            }
        }
        moved += changed;
        EXPECT_LE(changed, 2 * perFrame[static_cast<std::size_t>(frame - 1)][3]) << frame;
    }
    EXPECT_GT(atOrigin, 0) << "no recalled body stayed at the origin";
    EXPECT_GT(moved, 0) << "no response while paused: the test saw nothing move";

    SCOPED_TRACE("b with fewer than three bodies recalls those there are");
    std::string small = workFile("small.csv");
    SimRun two = runSim("--bodies 2 --frames 3 --keys 1:b --trace " + small);
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(readTrace(small).size(), 2u * 4u);
}

TEST(SphereSimRunTest, EscapeEndsWithStatusOneAfterWritingEverything) {
    std::string trace = workFile("trace.csv");
    std::string table = workFile("frames.csv");
    SimRun run = runSim("--frames 50 --keys 5:esc,6:b --print-drawn --trace " + trace +
                        " --frames-out " + table);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(readTrace(trace).size(), 100u * 6u);
    EXPECT_EQ(readFrames(table).size(), 5u);
    EXPECT_NE(run.err.find("5 frames"), std::string::npos) << run.err;

    SCOPED_TRACE("--frames 0 runs start-up only");
    SimRun startUp = runSim("--frames 0 --print-drawn --trace " + trace + " --frames-out " + table);
    EXPECT_EQ(startUp.status, 0);
    EXPECT_EQ(startUp.out, "");
    EXPECT_EQ(readTrace(trace).size(), 100u);
    EXPECT_TRUE(readFrames(table).empty());
}

} // namespace

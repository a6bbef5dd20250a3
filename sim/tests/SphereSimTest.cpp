// sphere-sim's command line, and what the program writes when it runs.
#include "app/AppGlobals.h"
#include "app/FrameLogic.h"
#include "body/SphereBody.h"
#include "sim/SimOptions.h"
#include "sim/SimScene.h"
#include "world/World.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Parses a command line given as one string of space-separated words.
ParseResult parse(const std::string& line) {
    std::istringstream text("sphere-sim " + line);
    std::vector<std::string> words{std::istream_iterator<std::string>(text), {}};
    std::vector<const char*> argv(words.size());
    std::transform(words.begin(), words.end(), argv.begin(), [](auto& w) { return w.c_str(); });
    return parseSimOptions(static_cast<int>(argv.size()), argv.data());
}

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

// A CSV file's rows as numbers, after checking its header.
using Row = std::vector<float>;
std::vector<Row> readCsv(const std::string& path,
                         const std::string& header = "frame,index,px,py,pz,vx,vy,vz,alive") {
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

TEST(SimOptionsTest, ReadsEveryOptionAndKeepsTheDensityByDefault) {
    const SimOptions none = parse("").options;
    EXPECT_EQ(std::make_tuple(none.frames, none.bodies, none.seed, none.spread, none.every),
              std::make_tuple(300, 100, 1u, 1.0f, 1));
    ParseResult all = parse("--frames 0 --bodies=8000 --seed 4294967295 --every 7 --print-drawn "
                            "--quiet --trace t.csv --frames-out=f.csv "
                            "--keys 151:z,100:b,150:space,151:Z,0:esc,7::");
    ASSERT_EQ(all.error, "");
    const SimOptions& o = all.options;
    EXPECT_EQ(std::make_tuple(o.frames, o.bodies, o.seed, o.every, o.printDrawn, o.quiet,
                              o.tracePath, o.framesPath),
              std::make_tuple(0, 8000, 4294967295u, 7, true, true, "t.csv", "f.csv"));
    // 80 times the bodies keep their density in a cube cbrt(80) times as wide.
    EXPECT_NEAR(o.spread, 4.30887f, 1e-4f);
    EXPECT_EQ(parse("--bodies 8000 --spread 0.5").options.spread, 0.5f);

    SCOPED_TRACE("presses run frame by frame, those of one frame in the order given");
    std::string keys;
    for (const KeyPress& press : o.keys) {
        keys += std::to_string(press.afterFrame) + ":" + static_cast<char>(press.key) + " ";
    }
    EXPECT_EQ(keys, "0:\x1b 7:: 100:b 150:  151:z 151:Z ");
}

// Each message names the option, the first word of the command line. Through the program, the
// first row also exits with status 2, writes nothing on standard output and creates no file.
TEST(SimOptionsTest, BadValuesAreRefusedWithTheOptionNamed) {
    const std::vector<std::string> rows[] = {
        {"--frame 3", "--frames ten", "--bodies 0", "--keys 5:enter", "--frames-out no/such/f.csv"},
        {"300", "--frames", "--frames 10x", "--frames -1", "--frames 99999999999"},
        {"--bodies 1000001", "--bodies 2.5", "--seed -1", "--seed 4294967296", "--every 0"},
        {"--spread 0", "--spread inf", "--spread nan", "--spread 1e40", "--quiet=1"},
        {"--keys b", "--keys -1:b", "--keys 5:", "--keys 5:b,,6:b"},
        {"--trace no-such-dir/t.csv", "--trace ./", "--frames-out x.csv --trace x.csv"}};
    auto expectNamed = [](const std::string& args, const std::string& error) {
        EXPECT_NE(error.find(args.substr(0, args.find_first_of(" ="))), std::string::npos)
            << args << ": " << error;
    };
    for (const std::vector<std::string>& row : rows) {
        for (const std::string& args : row) {
            expectNamed(args, parse(args).error);
        }
    }
    std::string trace = workFile("trace.csv"), table = workFile("frames.csv");
    for (const std::string& args : rows[0]) {
        SimRun sim = runSim(args + " --print-drawn --trace " + trace + " --frames-out " + table);
        expectNamed(args, sim.err);
        EXPECT_EQ(std::make_tuple(sim.status, sim.out), std::make_tuple(2, "")) << args;
        EXPECT_FALSE(std::ifstream(trace).good() || std::ifstream(table).good()) << args;
    }
    EXPECT_EQ(runSim("--help").status, 0);
}

// Every body in creation order at start-up and at every K-th frame, holding the state that the
// frame function leaves, read back from %.9g as the very same floats.
TEST(SphereSimRunTest, TraceHoldsEveryBodyAtStartUpAndEveryKthFrame) {
    for (std::string args : {"--bodies 30 --frames 25 --every 4 --seed 7",
                             "--bodies 1 --frames 12 --every 3", "--frames 0 --every 1"}) {
        SCOPED_TRACE(args);
        const SimOptions o = parse(args).options;
        std::string trace = workFile("trace.csv"), table = workFile("frames.csv");
        SimRun run = runSim(args + " --quiet --trace " + trace + " --frames-out " + table);
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<Row> rows = readCsv(trace);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(o.bodies * (o.frames / o.every + 1)));
        EXPECT_EQ(readCsv(table, "frame,drawn,alive,contacts").size(), std::size_t(o.frames));

        World world;
        std::vector<Body*> bodies = buildScene(world, o.bodies, o.seed, o.spread);
        BodyList visible;
        for (int frame = 0; frame <= o.frames; ++frame) {
            if (frame > 0) {
                simulateFrame(world, bodies.data(), o.bodies, true, timeStep,
                              defaultCameraFrustum(), visible);
            }
            for (std::size_t i = 0; frame % o.every == 0 && i < bodies.size(); ++i) {
                Vector3 p = bodies[i]->getPosition(), v = bodies[i]->getVelocity();
                float at = static_cast<float>(frame), index = static_cast<float>(i);
                float alive = bodies[i]->isAlive() ? 1.0f : 0.0f;
                EXPECT_EQ(rows[frame / o.every * bodies.size() + i],
                          Row({at, index, p.x, p.y, p.z, v.x, v.y, v.z, alive}));
            }
        }
        for (Body* body : bodies) {
            delete static_cast<SphereBody*>(body);
        }
    }
}

// After space then b at frame k nothing integrates: from frame k + 1 on a row changes only
// through a collision response, which changes the velocity too, and bodies 0 to 2 stay at the
// origin until one moves them (two bodies meet on their way there). Two runs write the same
// bytes; esc ends a run with status 1 after writing its frame's rows.
TEST(SphereSimRunTest, KeysPauseAndRecallThroughTheProgramHandlers) {
    const std::size_t k = 20, last = 30;
    for (std::size_t n : {100, 2}) {
        SCOPED_TRACE(std::to_string(n) + " bodies");
        std::string trace = workFile("trace.csv"), again = workFile("again.csv");
        std::string options = "--bodies " + std::to_string(n) +
                              " --frames 40 --keys 20:space,20:b,30:esc --quiet --trace ";
        ASSERT_EQ(runSim(options + trace).status + runSim(options + again).status, 1 + 1);
        EXPECT_TRUE(readFile(trace) == readFile(again)) << "two runs gave different traces";
        std::vector<Row> rows = readCsv(trace);
        ASSERT_EQ(rows.size(), n * (last + 1));
        int atOrigin = 0, responses = 0;
        for (std::size_t r = k * n; r + n < rows.size(); ++r) {
            Row before = rows[r], now = rows[r + n];
            before[0] = now[0];
            if (r / n == k && r % n < 3) {
                EXPECT_NE(before[2] * before[3] * before[4], 0.0f) << "frame k written after b";
                before[2] = before[3] = before[4] = 0.0f;
            }
            bool collided = !std::equal(now.begin() + 5, now.begin() + 8, before.begin() + 5);
            EXPECT_TRUE(collided || now == before) << "row " << r + n;
            responses += collided ? 1 : 0;
            atOrigin += r % n < 3 && now[2] == 0.0f && now[3] == 0.0f && now[4] == 0.0f;
        }
        EXPECT_GT(responses, 0) << "nothing moved while paused: the check saw nothing";
        EXPECT_TRUE(n < 3 || atOrigin > 0) << "no recalled body sat at the origin";
    }
}

} // namespace

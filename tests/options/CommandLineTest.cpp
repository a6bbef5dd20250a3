// The option table that both programs read: every number pinned at both bounds by one reader,
// each option once, the shared options alike in both, and usage texts made from the same rows.
#include "options/CommandLine.h"

#include "app/ScenePopulation.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <tuple>

using namespace spheres;

namespace {

template <class Options> std::string read(std::vector<std::string> words, Options& options) {
    words.insert(words.begin(), "program");
    std::vector<const char*> argv;
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    return readCommandLine(static_cast<int>(argv.size()), argv.data(), options);
}

// The message of program for words; "" when they are valid.
std::string error(Program program, const std::vector<std::string>& words) {
    SimOptions sim;
    ViewOptions view;
    return program == Program::Sim ? read(words, sim) : read(words, view);
}

TEST(CommandLineTest, EveryNumberIsReadOneWayWithinItsBoundsByEachProgramThatTakesIt) {
    struct Row {
        const char* name;
        const char *low, *below, *high, *above;
        bool sim, view;
    };
    const Row rows[] = {
        {"--frames", "0", "-1", "2147483647", "2147483648", true, true},
        {"--bodies", "1", "0", "1000000", "1000001", true, true},
        {"--seed", "0", "-1", "4294967295", "4294967296", true, true},
        {"--spread", "1.17549435e-38", "0", "3.40282347e38", "3.5e38", true, true},
        {"--every", "1", "0", "2147483647", "2147483648", true, false},
        {"--threads", "1", "0", "256", "257", true, false},
        {"--rate", "0", "-0.001", "960", "960.001", false, true},
    };
    for (const Row& row : rows) {
        for (Program program : {Program::Sim, Program::View}) {
            SCOPED_TRACE(std::string(row.name) + (program == Program::Sim ? " sim" : " view"));
            if (!(program == Program::Sim ? row.sim : row.view)) {
                EXPECT_EQ(error(program, {row.name, row.low}),
                          "unknown option '" + std::string(row.name) + "' (see --help)");
                continue;
            }
            EXPECT_EQ(error(program, {row.name, row.low}), "");
            EXPECT_EQ(error(program, {std::string(row.name) + "=" + row.high}), "");
            // Neither white space nor anything else around the number, and no NaN.
            for (const char* bad : {row.below, row.above, " 5", "\t5", "5 ", "5x", "", "nan"}) {
                EXPECT_EQ(error(program, {row.name, bad})
                              .rfind(row.name + (": '" + std::string(bad) + "'"), 0),
                          0u)
                    << bad;
            }
        }
    }
}

TEST(CommandLineTest, EachOptionIsGivenOnceAndOnlyToTheProgramThatTakesIt) {
    const std::tuple<Program, std::vector<std::string>, std::string> rows[] = {
        {Program::Sim, {"--quiet", "--quiet"}, "--quiet is given twice"},
        {Program::Sim, {"--frames", "1", "--frames=2"}, "--frames is given twice"},
        {Program::Sim, {"-h", "--help"}, "--help is given twice"},
        {Program::Sim, {"--rate", "1"}, "unknown option '--rate' (see --help)"},
        {Program::Sim, {"-display", ":1"}, "unknown option '-display' (see --help)"},
        {Program::Sim, {"--quiet=yes"}, "--quiet takes no value"},
        {Program::View, {"--rate", "10", "--rate", "20"}, "--rate is given twice"},
        {Program::View, {"--bodies=5", "--bodies", "5"}, "--bodies is given twice"},
        {Program::View, {"-sync", "-display", ":1", "-display", ":2"}, "-display is given twice"},
        {Program::View, {"--walk=literal"}, "unknown option '--walk=literal' (see --help)"},
        {Program::View, {"-display=:1"}, "unknown option '-display=:1' (see --help)"},
        {Program::View, {"--trace"}, "--trace needs a value"},
    };
    for (const auto& [program, words, message] : rows) {
        EXPECT_EQ(error(program, words), message);
    }
    SimOptions walk;
    EXPECT_EQ(read({"--walk", "fast"}, walk), "--walk: 'fast' is not literal, snapshot or batched");
    EXPECT_EQ(
        std::make_tuple(read({"--walk=snapshot", "--keys="}, walk), walk.walk, walk.keys.size()),
        std::make_tuple(std::string(), FrameWalk::Snapshot, std::size_t{0}));
}

TEST(CommandLineTest, SharedOptionsMeanTheSameInBothPrograms) {
    for (bool spreadGiven : {false, true}) {
        std::vector<std::string> words = {"--bodies=250", "--seed",    "7",
                                          "--keys",       "3:b,1:esc", "--trace",
                                          "t.csv",        "--frames",  "9"};
        if (spreadGiven) {
            words.insert(words.end(), {"--spread", "0.5"});
        }
        SimOptions sim;
        ViewOptions view;
        ASSERT_EQ(read(words, sim) + read(words, view), "");
        auto shared = [](const ProgramOptions& o) {
            std::string keys;
            for (const KeyPress& press : o.keys) {
                keys += std::to_string(press.afterFrame) + ":" + std::to_string(press.key) + " ";
            }
            return std::make_tuple(o.frames, o.bodies, o.seed, o.spread, keys, o.tracePath);
        };
        EXPECT_EQ(shared(sim), shared(view));
        EXPECT_EQ(shared(sim), std::make_tuple(9, 250, 7u, spreadGiven ? 0.5f : defaultSpread(250),
                                               std::string("1:27 3:98 "), std::string("t.csv")));
    }
}

// Each program's usage lists exactly the options it takes, an option both take with the same
// lines, none wider than 79 columns.
TEST(CommandLineTest, UsageListsWhatEachProgramTakesFromTheSameRows) {
    const char* language[] = {
        "--frames",  "--bodies",      "--seed",       "--spread",     "--keys",
        "--trace",   "--every",       "--frames-out", "--timings",    "--walk",
        "--threads", "--print-drawn", "--quiet",      "--screenshot", "--rate",
        "--help",    "--version",     "-display",     "-geometry",    "-iconic",
        "-direct",   "-indirect",     "-gldebug",     "-sync",        "--scene"};
    std::map<std::string, std::string> lines[2];
    for (Program program : {Program::Sim, Program::View}) {
        std::map<std::string, std::string>& listed = lines[program == Program::View];
        std::istringstream usage(optionUsage(program));
        std::string name;
        for (std::string line; std::getline(usage, line);) {
            EXPECT_LE(line.size(), 79u) << line;
            if (line.compare(0, 3, "  -") == 0) {
                name = line.substr(2, line.find(' ', 2) - 2);
            }
            listed[name] += line + "\n";
        }
        for (const char* option : language) {
            bool taken = error(program, {option}).find("unknown option") == std::string::npos;
            EXPECT_EQ(listed.count(option), taken ? 1u : 0u) << option;
        }
    }
    for (const auto& [name, text] : lines[0]) {
        EXPECT_TRUE(lines[1].count(name) == 0 || lines[1][name] == text) << text;
    }
    std::istringstream walk(lines[0]["--walk"]);
    std::string words;
    for (std::string word; walk >> word;) {
        words += word + " ";
    }
    EXPECT_NE(words.find(std::to_string(FrameSettings().bodiesPerThread) + " bodies"),
              std::string::npos);
}

} // namespace

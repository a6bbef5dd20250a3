// The option table that both programs read: every number pinned at both bounds by one reader,
// each option once, the shared options alike in both, and usage texts made from the same rows.
#include "options/CommandLine.h"

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
    // Option, lowest, below it, highest, above it, and whether sim and view take it.
    const std::tuple<std::string, const char*, const char*, const char*, const char*, bool, bool>
        rows[] = {
            {"--frames", "0", "-1", "2147483647", "2147483648", true, true},
            {"--bodies", "1", "0", "1000000", "1000001", true, true},
            {"--seed", "0", "-1", "4294967295", "4294967296", true, true},
            {"--spread", "1.4e-45", "0", "3.40282347e38", "3.5e38", true, true},
            {"--every", "1", "0", "2147483647", "2147483648", true, false},
            {"--threads", "1", "0", "256", "257", true, false},
            {"--rate", "0", "-0.001", "960", "960.001", false, true},
        };
    for (const auto& [name, low, below, high, above, sim, view] : rows) {
        for (Program program : {Program::Sim, Program::View}) {
            SCOPED_TRACE(name + (program == Program::Sim ? " sim" : " view"));
            if (!(program == Program::Sim ? sim : view)) {
                EXPECT_EQ(error(program, {name, low}),
                          "unknown option '" + name + "' (see --help)");
                continue;
            }
            EXPECT_EQ(error(program, {name, low}) + error(program, {name + "=" + high}), "");
            // Neither white space nor anything else around the number, and no NaN.
            for (std::string bad : {below, above, " 5", "\t5", "5 ", "5x", "", "nan"}) {
                EXPECT_EQ(error(program, {name, bad}).rfind(name + ": '" + bad + "' is not a", 0),
                          0u);
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
        {Program::Sim, {"--walk", "fast"}, "--walk: 'fast' is not literal, snapshot or batched"},
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
}

TEST(CommandLineTest, SharedOptionsMeanTheSameInBothPrograms) {
    const std::vector<std::string> words = {
        "--bodies=250", "--seed", "7", "--keys=3:b,1:esc", "--trace", "t.csv", "--frames", "9"};
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
    EXPECT_EQ(std::get<4>(shared(view)), "1:27 3:98 ");
}

// An option both programs take has the same lines in both usages, and each listed option is one
// the program takes; no line is wider than 79 columns.
TEST(CommandLineTest, UsageListsWhatEachProgramTakesFromTheSameRows) {
    std::map<std::string, std::string> lines[2];
    for (Program program : {Program::Sim, Program::View}) {
        std::istringstream usage(optionUsage(program));
        std::string name;
        for (std::string line; std::getline(usage, line);) {
            EXPECT_LE(line.size(), 79u) << line;
            name = line.compare(0, 3, "  -") == 0 ? line.substr(2, line.find(' ', 2) - 2) : name;
            lines[program == Program::View][name] += line + " ";
        }
    }
    EXPECT_GE(lines[0].size() + lines[1].size(), 30u);
    for (int view : {0, 1}) {
        for (const auto& [name, text] : lines[view]) {
            Program program = view ? Program::View : Program::Sim;
            EXPECT_EQ(error(program, {name}).find("unknown option"), std::string::npos) << name;
            EXPECT_TRUE(lines[1 - view].count(name) == 0 || lines[1 - view][name] == text) << text;
        }
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

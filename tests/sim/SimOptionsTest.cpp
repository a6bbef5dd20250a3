#include "sim/SimOptions.h"

#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace spheres;

namespace {

TEST(SimOptionsTest, ReadsEveryOptionAndKeepsTheDensityByDefault) {
    const SimOptions none = parseLine("").options;
    EXPECT_EQ(std::make_tuple(none.frames, none.bodies, none.seed, none.spread, none.every),
              std::make_tuple(300, 100, 1u, 1.0f, 1));
    ParseResult all =
        parseLine("--frames 0 --bodies=8000 --seed 4294967295 --every 7 --print-drawn "
                  "--quiet --trace t.csv --frames-out=f.csv "
                  "--keys 151:z,100:b,150:space,151:Z,0:esc,7::");
    ASSERT_EQ(all.error, "");
    const SimOptions& o = all.options;
    EXPECT_EQ(std::make_tuple(o.frames, o.bodies, o.seed, o.every, o.printDrawn, o.quiet,
                              o.tracePath, o.framesPath),
              std::make_tuple(0, 8000, 4294967295u, 7, true, true, "t.csv", "f.csv"));
    // 80 times the bodies keep their density in a cube cbrt(80) times as wide.
    EXPECT_NEAR(o.spread, 4.30887f, 1e-4f);
    EXPECT_EQ(parseLine("--bodies 8000 --spread 0.5").options.spread, 0.5f);

    SCOPED_TRACE("presses run frame by frame, those of one frame in the order given");
    std::string keys;
    for (const KeyPress& press : o.keys) {
        keys += std::to_string(press.afterFrame) + ":" + static_cast<char>(press.key) + " ";
    }
    EXPECT_EQ(keys, "0:\x1b 7:: 100:b 150:  151:z 151:Z ");
}

// Each message names the option, the first word of the command line.
TEST(SimOptionsTest, BadValuesAreRefusedWithTheOptionNamed) {
    std::istringstream rows(
        "--frame 3|--frames ten|--bodies 0|--keys 5:enter|--frames-out no/such/f.csv|300|--frames|"
        "--frames 10x|--frames -1|--frames 99999999999|--bodies 1000001|--bodies 2.5|--seed -1|"
        "--seed 4294967296|--every 0|--spread 0|--spread inf|--spread nan|--spread 1e40|"
        "--quiet=1|--keys b|--keys -1:b|--keys 5:|--keys 5:b,,6:b|--trace no-such-dir/t.csv|"
        "--trace ./|--frames-out x.csv --trace x.csv");
    for (std::string args; std::getline(rows, args, '|');) {
        std::string error = parseLine(args).error;
        EXPECT_NE(error.find(args.substr(0, args.find_first_of(" ="))), std::string::npos)
            << args << ": " << error;
    }
}

} // namespace

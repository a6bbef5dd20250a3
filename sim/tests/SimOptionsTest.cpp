#include "sim/SimOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

ParseResult parse(std::vector<const char*> args) {
    args.insert(args.begin(), "sphere-sim");
    return parseSimOptions(static_cast<int>(args.size()), args.data());
}

TEST(SimOptionsTest, ReadsEveryOptionAndKeepsDefaults) {
    const SimOptions none = parse({}).options;
    EXPECT_EQ(std::make_tuple(none.frames, none.bodies, none.seed, none.spread, none.every),
              std::make_tuple(300, 100, 1u, 1.0f, 1));

    ParseResult all =
        parse({"--frames", "0", "--bodies=8000", "--seed", "4294967295", "--every", "7",
               "--print-drawn", "--quiet", "--trace", "t.csv", "--frames-out=f.csv"});
    ASSERT_EQ(all.error, "");
    const SimOptions& o = all.options;
    EXPECT_EQ(std::make_tuple(o.frames, o.bodies, o.seed, o.every, o.printDrawn, o.quiet,
                              o.tracePath, o.framesPath),
              std::make_tuple(0, 8000, 4294967295u, 7, true, true, "t.csv", "f.csv"));
    // 80 times the bodies keep their density in a cube cbrt(80) times as wide.
    EXPECT_NEAR(o.spread, 4.30887f, 1e-4f);
    EXPECT_EQ(parse({"--bodies", "8000", "--spread", "0.5"}).options.spread, 0.5f);
    EXPECT_FLOAT_EQ(defaultSpread(100000), 10.0f);
}

TEST(SimOptionsTest, KeyListsRunFrameByFrameInTheOrderGiven) {
    std::vector<KeyPress> keys;
    std::string error;
    ASSERT_TRUE(parseKeyList("151:z,100:b,150:space,151:Z,0:esc,7::", keys, error)) << error;
    std::vector<std::pair<int, unsigned char>> got;
    for (const KeyPress& press : keys) {
        got.emplace_back(press.afterFrame, press.key);
    }
    std::vector<std::pair<int, unsigned char>> expected = {{0, 27},    {7, ':'},   {100, 'b'},
                                                           {150, ' '}, {151, 'z'}, {151, 'Z'}};
    EXPECT_EQ(got, expected);

    SCOPED_TRACE("an empty list presses nothing");
    EXPECT_TRUE(parseKeyList("", keys, error));
    EXPECT_TRUE(keys.empty());
}

TEST(SimOptionsTest, BadValuesAreRefusedWithTheOptionNamed) {
    struct Case {
        const char* label;
        std::vector<const char*> args;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"unknown option", {"--frame", "3"}, "--frame"},
        {"stray argument", {"300"}, "300"},
        {"missing value", {"--frames"}, "--frames"},
        {"non-number", {"--frames", "ten"}, "--frames"},
        {"trailing junk", {"--frames", "10x"}, "--frames"},
        {"negative frames", {"--frames", "-1"}, "--frames"},
        {"frames overflow", {"--frames", "99999999999"}, "--frames"},
        {"zero bodies", {"--bodies", "0"}, "--bodies"},
        {"negative bodies", {"--bodies=-5"}, "--bodies"},
        {"too many bodies", {"--bodies", "1000001"}, "--bodies"},
        {"fractional bodies", {"--bodies", "2.5"}, "--bodies"},
        {"negative seed", {"--seed", "-1"}, "--seed"},
        {"seed beyond 32 bits", {"--seed", "4294967296"}, "--seed"},
        {"zero spread", {"--spread", "0"}, "--spread"},
        {"negative spread", {"--spread", "-2"}, "--spread"},
        {"infinite spread", {"--spread", "inf"}, "--spread"},
        {"NaN spread", {"--spread", "nan"}, "--spread"},
        {"spread overflowing a float", {"--spread", "1e40"}, "--spread"},
        {"zero every", {"--every", "0"}, "--every"},
        {"key without frame", {"--keys", "b"}, "--keys"},
        {"negative key frame", {"--keys", "-1:b"}, "--keys"},
        {"unknown key name", {"--keys", "5:enter"}, "--keys"},
        {"empty key", {"--keys", "5:"}, "--keys"},
        {"empty item", {"--keys", "5:b,,6:b"}, "--keys"},
        {"trace in a missing directory", {"--trace", "no-such-dir/t.csv"}, "--trace"},
        {"trace naming a directory", {"--trace", "./"}, "--trace"},
        {"frames file in a missing directory", {"--frames-out", "no/such/f.csv"}, "--frames-out"},
        {"flag with a value", {"--quiet=1"}, "--quiet"},
        {"one file for both tables", {"--trace", "x.csv", "--frames-out", "x.csv"}, "--frames-out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ParseResult result = parse(c.args);
        EXPECT_NE(result.error.find(c.named), std::string::npos) << result.error;
    }
}

} // namespace

#include "view/ViewOptions.h"

#include "app/ScenePopulation.h"

#include <gtest/gtest.h>

using namespace spheres;

namespace {

ViewParseResult parse(std::vector<const char*> words) {
    words.insert(words.begin(), "sphere-view");
    return parseViewOptions(static_cast<int>(words.size()), words.data());
}

} // namespace

TEST(ViewOptionsTest, SharedOptionsMeanWhatTheyMeanToTheSimulatorAndGlutGetsItsOwn) {
    ViewParseResult r = parse({"-display", ":5", "--bodies=250", "--keys", "3:b,1:esc", "-sync",
                               "--rate", "0", "--frames", "7", "-geometry", "320x200"});
    ASSERT_EQ(r.error, "");
    const ViewOptions& o = r.options;
    EXPECT_EQ(o.scene.bodies, 250);
    EXPECT_FLOAT_EQ(o.scene.spread, defaultSpread(250));
    ASSERT_EQ(o.scene.keys.size(), 2u);
    EXPECT_EQ(o.scene.keys[0].key, 27);
    EXPECT_TRUE(o.framesGiven && o.scene.frames == 7 && o.rate == 0.0);
    EXPECT_EQ(o.glutArguments, (std::vector<std::string>{"sphere-view", "-display", ":5", "-sync",
                                                         "-geometry", "320x200"}));
    // Without --frames the view runs until it is ended.
    EXPECT_FALSE(parse({"--seed", "3"}).options.framesGiven);
}

TEST(ViewOptionsTest, BadArgumentsAreNamed) {
    struct Row {
        std::vector<const char*> words;
        const char* message;
    };
    const Row rows[] = {
        {{"--bodies", "0"}, "--bodies: '0'"},
        {{"--every", "2"}, "unknown option '--every'"},
        {{"-fullscreen"}, "unknown option '-fullscreen'"},
        {{"-display"}, "-display needs a value"},
        {{"--keys"}, "--keys needs a value"},
        {{"--rate", "-1"}, "--rate: '-1'"},
        {{"--rate=1e3"}, "--rate: '1e3'"},
        {{"--help=1"}, "--help takes no value"},
        {{"--screenshot", "no-such-dir/a.png"}, "--screenshot: cannot write"},
        {{"--trace", "x.csv", "--screenshot", "x.csv"}, "is the --trace"},
    };
    for (const Row& row : rows) {
        std::string error = parse(row.words).error;
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
}
